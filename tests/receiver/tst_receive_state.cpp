#include "receiver/Datagrams.h"
#include "sync/DatagramClassifier.h"
#include "sync/ReceiveState.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>

using Datagram::Kind;
using namespace Datagrams;

Q_DECLARE_METATYPE(Datagram::Kind)

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

// What the state machine asks for, one line per action, for comparing sequences.
QStringList transcriptOf(ReceiveState &state, const QList<QByteArray> &datagrams)
{
    QStringList out;
    for (const QByteArray &d : datagrams) {
        const ReceiveDecision decision = receiveDatagram(state, d);
        out << decision.logLines;
        if (decision.deleteUser)
            out << QStringLiteral("DELETE ") + decision.deleteUser->text();
        if (decision.write)
            out << QStringLiteral("WRITE %1-%2 %3%4")
                       .arg(decision.write->user.text())
                       .arg(decision.write->templateNumber, 2, 10, QChar(u'0'))
                       .arg(decision.write->bytes.size())
                       .arg(decision.write->startsNewSet ? QStringLiteral(" new set") : QString());
        if (!decision.notWrittenLine.isEmpty())
            out << decision.notWrittenLine;
    }
    return out;
}

QList<QByteArray> concat(std::initializer_list<QList<QByteArray>> parts)
{
    QList<QByteArray> all;
    for (const auto &p : parts)
        all += p;
    return all;
}

const QString kInit1 = QStringLiteral("RX_UDP: RX TEMPLATE USER 01 INIT");
QString initOther(const char *number)
{
    return QStringLiteral("RX_UDP: RX TEMPLATE = %1 INIT").arg(QLatin1String(number));
}
QString dataLine(int length)
{
    return QStringLiteral("RX_UDP: RX TEMPLATE  %1").arg(length);
}

} // namespace

class ReceiveStateTest : public QObject
{
    Q_OBJECT
private slots:
    void classifiesByTheFirstRuleThatMatches_data();
    void classifiesByTheFirstRuleThatMatches();
    void everySizeUpToTheLargestDatagramIsClassified();
    void sequencesGiveTheirFilesAndLines_data();
    void sequencesGiveTheirFilesAndLines();
    void templateNumberStopsAtItsLargestValue();
    void randomDatagramsNeverNameAFileOutsideDigits();
};

void ReceiveStateTest::classifiesByTheFirstRuleThatMatches_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QString>("user");

    QTest::newRow("empty") << QByteArray() << Kind::Other << QString();
    QTest::newRow("one byte") << hex("40") << Kind::Other << QString();
    QTest::newRow("trailer") << hex("26010000") << Kind::DataTrailer << QString();
    QTest::newRow("trailer with a wrong sum") << hex("ffffffff") << Kind::DataTrailer << QString();
    QTest::newRow("three bytes") << hex("400000") << Kind::Other << QString();
    QTest::newRow("five bytes") << hex("4087000000") << Kind::Other << QString();
    QTest::newRow("header cut to 10 bytes")
        << hex("4087393000008001000000").left(10) << Kind::Other << QString();
    QTest::newRow("header body of 11 bytes")
        << hex("4087393000008001000000") << Kind::UploadHeaderFirst << QStringLiteral("12345");
    QTest::newRow("upload header, template 1")
        << hex("4087393000008001000000b10a") << Kind::UploadHeaderFirst << QStringLiteral("12345");
    QTest::newRow("wrong checksum and no line feed")
        << hex("40873930000080010000000000") << Kind::UploadHeaderFirst << QStringLiteral("12345");
    QTest::newRow("second header")
        << hex("4087010000008001000000490a") << Kind::UploadHeaderFirst << QStringLiteral("1");
    QTest::newRow("upload header, template 2")
        << hex("4087393000008001000071220a") << Kind::UploadHeaderOther << QStringLiteral("12345");
    QTest::newRow("delete user") << deleteUser(12345) << Kind::DeleteUser
                                 << QStringLiteral("12345");
    QTest::newRow("delete the largest user")
        << deleteUser(4294967295u) << Kind::DeleteUser << QStringLiteral("4294967295");
    QTest::newRow("delete user 0") << deleteUser(0) << Kind::DeleteUser << QStringLiteral("0");
    QTest::newRow("header with another function byte")
        << hex("4087393000008001000072000a") << Kind::Other << QStringLiteral("12345");
    QTest::newRow("delete with a function byte")
        << hex("4016393000000000000001000a") << Kind::Other << QStringLiteral("12345");
    QTest::newRow("header of another command")
        << hex("4088393000008001000000000a") << Kind::Other << QStringLiteral("12345");
    QTest::newRow("30 bytes of data")
        << QByteArray(30, '\x80') << Kind::Other << QStringLiteral("2155905152");
    QTest::newRow("31 bytes of data")
        << QByteArray(31, '\x00') << Kind::TemplateData << QStringLiteral("0");
    QTest::newRow("long data that starts like a header")
        << hex("4087393000008001000000") + QByteArray(400, '\xff') << Kind::UploadHeaderFirst
        << QStringLiteral("12345");
    QTest::newRow("largest datagram")
        << QByteArray(65507, '\xff') << Kind::TemplateData << QStringLiteral("4294967295");
}

void ReceiveStateTest::classifiesByTheFirstRuleThatMatches()
{
    QFETCH(QByteArray, datagram);
    QFETCH(Kind, kind);
    QFETCH(QString, user);
    QCOMPARE(Datagram::classify(datagram), kind);
    const std::optional<UserNumber> named = Datagram::user(datagram);
    QCOMPARE(named ? named->text() : QString(), user);
}

void ReceiveStateTest::everySizeUpToTheLargestDatagramIsClassified()
{
    // Views into one buffer of random bytes: every size from 0 to 65,507, through the state
    // machine as well; nothing may read past the end or name a file with other characters.
    QByteArray buffer(65507, '\0');
    QRandomGenerator random(13);
    for (char &c : buffer)
        c = static_cast<char>(random.bounded(256));
    buffer[0] = '\x40';
    buffer[1] = '\x87';
    ReceiveState state;
    for (int size = 0; size <= buffer.size(); ++size) {
        const QByteArray d = QByteArray::fromRawData(buffer.constData(), size);
        const Kind kind = Datagram::classify(d);
        if (size > 30)
            QVERIFY(kind == Kind::TemplateData || kind == Kind::UploadHeaderFirst ||
                    kind == Kind::UploadHeaderOther);
        else if (size == 4)
            QCOMPARE(kind, Kind::DataTrailer);
        QCOMPARE(!Datagram::user(d), size < 11);
        receiveDatagram(state, d);
    }
}

void ReceiveStateTest::sequencesGiveTheirFilesAndLines_data()
{
    QTest::addColumn<QList<QByteArray>>("datagrams");
    QTest::addColumn<QStringList>("transcript");

    const QByteArray t1 = templateBytes(400, 1);
    const QByteArray t2 = templateBytes(400, 2);
    const QList<QByteArray> set12345 = concat({upload(12345, true, t1), upload(12345, false, t2)});
    const QStringList set12345Lines{kInit1,          dataLine(400), "WRITE 12345-01 400 new set",
                                    initOther("02"), dataLine(400), "WRITE 12345-02 400"};

    QTest::newRow("two templates of user 12345") << set12345 << set12345Lines;

    QTest::newRow("a set of user 1 after it is not filed under 12345")
        << concat({set12345, upload(1, true, templateBytes(50, 3)),
                   upload(1, false, templateBytes(60, 4))})
        << set12345Lines + QStringList{dataLine(50),
                                       "RX_UDP: Template not written: templates of user 1 cannot "
                                       "be received",
                                       initOther("03"), dataLine(60),
                                       "RX_UDP: Template not written: templates of user 1 cannot "
                                       "be received"};

    QTest::newRow("a lost template-1 header files nothing under the previous user")
        << concat({set12345, upload(777, true, t1).mid(1)})
        << set12345Lines + QStringList{dataLine(400), "RX_UDP: Template not written: templates of "
                                                      "user 1 cannot be received"};

    QTest::newRow("a template of another user is not filed in the set")
        << concat({set12345, upload(777, false, t1)})
        << set12345Lines +
               QStringList{initOther("03"), dataLine(400),
                           "RX_UDP: Template not written: its header names user 777, the set "
                           "being received is of user 12345"};

    QTest::newRow("template 2 with no set since start writes nothing")
        << upload(12345, false, t2) << QStringList{initOther("01"), dataLine(400)};

    QTest::newRow("trailer before any header")
        << QList<QByteArray>{Frame::trailer(t1)} << QStringList();
    QTest::newRow("data and trailer before any header")
        << QList<QByteArray>{t1, Frame::trailer(t1)} << QStringList{dataLine(400)};

    QTest::newRow("30 bytes are not kept, 31 are")
        << concat(
               {upload(5, true, QByteArray(30, '\x01')), upload(6, true, QByteArray(31, '\x02'))})
        << QStringList{kInit1, kInit1, dataLine(31), "WRITE 6-01 31 new set"};

    QTest::newRow("a second trailer rewrites the same file")
        << concat({upload(12345, true, t1), {Frame::trailer(t1)}})
        << QStringList{kInit1, dataLine(400), "WRITE 12345-01 400 new set",
                       "WRITE 12345-01 400 new set"};

    QTest::newRow("a trailer with a wrong sum still writes")
        << QList<QByteArray>{header(9, true), secondHeader(), t1, hex("00000000")}
        << QStringList{kInit1, dataLine(400), "WRITE 9-01 400 new set"};

    QTest::newRow("templates 01 and 03 of a sender arrive as 01 and 02")
        << concat({upload(7, true, t1), upload(7, false, t2)})
        << QStringList{kInit1,          dataLine(400), "WRITE 7-01 400 new set",
                       initOther("02"), dataLine(400), "WRITE 7-02 400"};

    QTest::newRow("data lost after a header: the previous template is not filed again")
        << concat({upload(12345, true, t1),
                   {header(12345, false), secondHeader(), Frame::trailer(t2)}})
        << QStringList{kInit1, dataLine(400), "WRITE 12345-01 400 new set", initOther("02")};

    QTest::newRow("delete user 12345, then user 0")
        << QList<QByteArray>{deleteUser(12345), deleteUser(0)} << QStringList{"DELETE 12345"};

    QTest::newRow("a delete between sets changes no state")
        << concat({upload(12345, true, t1), {deleteUser(12345), Frame::trailer(t1)}})
        << QStringList{kInit1, dataLine(400), "WRITE 12345-01 400 new set", "DELETE 12345",
                       "WRITE 12345-01 400 new set"};

    const QByteArray largest = templateBytes(int(kLargestTemplate), 5);
    const QByteArray tooLong = templateBytes(int(kLargestTemplate) + 1, 6);
    const QString tooLongLine = QStringLiteral("RX_UDP: Template not kept: %1 bytes, more than "
                                               "the largest template (%2 bytes)")
                                    .arg(tooLong.size())
                                    .arg(kLargestTemplate);
    QTest::newRow("the largest template is filed")
        << upload(9, true, largest)
        << QStringList{kInit1, dataLine(largest.size()),
                       QStringLiteral("WRITE 9-01 %1 new set").arg(largest.size())};
    QTest::newRow("a longer one is not, nor the data held before in its place")
        << QList<QByteArray>{header(9, true), secondHeader(), t1, tooLong, Frame::trailer(tooLong)}
        << QStringList{kInit1, dataLine(400), tooLongLine};
    QTest::newRow("a longer template in a set: the next one is filed")
        << concat(
               {upload(12345, true, t1), upload(12345, false, tooLong), upload(12345, false, t2)})
        << QStringList{kInit1,          dataLine(400),       "WRITE 12345-01 400 new set",
                       initOther("02"), tooLongLine,         initOther("03"),
                       dataLine(400),   "WRITE 12345-03 400"};

    const QString user0 = QStringLiteral("RX_UDP: Templates of user 0 are not filed");
    const QString notUser0 =
        QStringLiteral("RX_UDP: Template not written: user 0 is not a user number");
    QTest::newRow("templates of user 0 are not filed")
        << concat({upload(0, true, t1), upload(0, false, t2)})
        << QStringList{user0, dataLine(400), notUser0, initOther("01"), dataLine(400), notUser0};
    QTest::newRow("nor under the user of the set before")
        << concat({set12345, upload(0, true, t1), upload(777, false, t2)})
        << set12345Lines + QStringList{user0,
                                       dataLine(400),
                                       notUser0,
                                       initOther("03"),
                                       dataLine(400),
                                       "RX_UDP: Template not written: its header names user "
                                       "777, the set being received is of user 0"};

    QTest::newRow("largest user number")
        << upload(4294967295u, true, t1)
        << QStringList{kInit1, dataLine(400), "WRITE 4294967295-01 400 new set"};
}

void ReceiveStateTest::sequencesGiveTheirFilesAndLines()
{
    QFETCH(QList<QByteArray>, datagrams);
    QFETCH(QStringList, transcript);
    ReceiveState state;
    QCOMPARE(transcriptOf(state, datagrams), transcript);
}

void ReceiveStateTest::templateNumberStopsAtItsLargestValue()
{
    ReceiveState state;
    transcriptOf(state, upload(5, true, templateBytes(40, 1)));
    state.templateNumber = kLastTemplateNumber - 1;
    const QStringList lines = transcriptOf(state, concat({upload(5, false, templateBytes(40, 2)),
                                                          upload(5, false, templateBytes(40, 3))}));
    QCOMPARE(lines, (QStringList{initOther("32767"), dataLine(40), "WRITE 5-32767 40",
                                 initOther("32767"), dataLine(40), "WRITE 5-32767 40"}));
    QCOMPARE(state.templateNumber, kLastTemplateNumber);
}

void ReceiveStateTest::randomDatagramsNeverNameAFileOutsideDigits()
{
    // Random mixes of real upload pieces and random bytes.
    QRandomGenerator random(12);
    ReceiveState state;
    const QRegularExpression digits(QStringLiteral("^[0-9]{1,10}$"));
    for (int i = 0; i < 20000; ++i) {
        QByteArray d;
        switch (random.bounded(6)) {
        case 0:
            d = header(random.generate(), random.bounded(2));
            break;
        case 1:
            d = secondHeader();
            break;
        case 2:
            d = deleteUser(random.generate());
            break;
        case 3:
            d = Frame::trailer(templateBytes(random.bounded(8), i));
            break;
        default:
            d = QByteArray(random.bounded(100), '\0');
            for (char &c : d)
                c = static_cast<char>(random.bounded(256));
        }
        const ReceiveDecision decision = receiveDatagram(state, d);
        if (decision.write) {
            QVERIFY(digits.match(decision.write->user.text()).hasMatch());
            QVERIFY(decision.write->user.text() != QStringLiteral("1"));
            QVERIFY(decision.write->templateNumber >= 1);
            QVERIFY(decision.write->bytes.size() > 30);
        }
        if (decision.deleteUser)
            QVERIFY(digits.match(decision.deleteUser->text()).hasMatch());
    }
}

QTEST_GUILESS_MAIN(ReceiveStateTest)
#include "tst_receive_state.moc"
