#include "config/ModeSwitch.h"
#include "enroll/TemplateStore.h"
#include "link/SerialLink.h"
#include "receiver/Datagrams.h"
#include "support/FreePort.h"
#include "support/HeadlessStationFixture.h"
#include "sync/UdpReceiver.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>
#include <QUdpSocket>

using namespace Datagrams;

namespace {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray joined(const QList<QByteArray> &parts)
{
    QByteArray all;
    for (const QByteArray &p : parts)
        all += p;
    return all;
}

QList<QByteArray> concat(std::initializer_list<QList<QByteArray>> parts)
{
    QList<QByteArray> all;
    for (const auto &p : parts)
        all += p;
    return all;
}

QString trace(const QByteArray &d)
{
    return QStringLiteral("RX_UDP: ") + TRACE_TEXT(d);
}

// A station in read mode on a free UDP port, its templates in their own folder, its activity
// log on; optionally a pseudo-terminal on its serial port.
struct ReadModeStation
{
    explicit ReadModeStation(bool serialPeer = true) : f(freeUdpPort())
    {
        QDir(f.folder()).mkdir(QStringLiteral("templates"));
        templates = f.folder() + QStringLiteral("templates/");
        f.state().setTemplatesFolder(templates);
        if (serialPeer)
            QVERIFY(f.openSerialPeer());
        f.enableLog();
        f.station().modeSwitch().select(1);
        QVERIFY(f.state().readMode());
        QCOMPARE(f.station().udpRx().state(), QAbstractSocket::BoundState);
    }
    Station &w() { return f.station(); }

    void send(const QList<QByteArray> &datagrams, QUdpSocket &from)
    {
        for (const QByteArray &d : datagrams)
            from.writeDatagram(d, QHostAddress::LocalHost, w().options().udpPort);
    }
    void send(const QList<QByteArray> &datagrams) { send(datagrams, sender); }

    // The "RX_UDP: " lines logged so far, without their time.
    QStringList rxLines() const
    {
        QStringList out;
        for (const QString &line : f.logLines()) {
            const QString text = line.mid(9);
            if (text.startsWith(QStringLiteral("RX_UDP: ")))
                out << text;
        }
        return out;
    }
    // Waits until the station has handled this many datagrams in all.
    bool handled(int count, int timeoutMs = 5000)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (w().udpReceiver().datagramsHandled() < quint64(count) && !deadline.hasExpired())
            QTest::qWait(2);
        return w().udpReceiver().datagramsHandled() >= quint64(count);
    }
    // Waits until every datagram that arrived has been handled and no more come.
    bool quiet(int timeoutMs = 20000)
    {
        QDeadlineTimer deadline(timeoutMs);
        quint64 seen = ~quint64(0);
        while (!deadline.hasExpired()) {
            const quint64 now = w().udpReceiver().datagramsHandled();
            if (now == seen && !w().udpRx().hasPendingDatagrams())
                return true;
            seen = now;
            QTest::qWait(200);
        }
        return false;
    }
    QString path(const char *name) const { return templates + QLatin1String(name); }
    QStringList templateFiles() const
    {
        return QDir(templates).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

    HeadlessStationFixture f;
    QString templates;
    QUdpSocket sender;
};

} // namespace

class UdpReceiverTest : public QObject
{
    Q_OBJECT
private slots:
    void uploadOfTwoTemplatesIsRelayedTracedAndFiled();
    void templatesOfUserOneAndOfAnotherUserAreNotFiledInTheSet();
    void newSetReplacesOnlyThatUsersFiles();
    void deleteRemovesTheUsersFilesOneLineEach();
    void enrollModeLeavesDatagramsUnread();
    void badInputFromSeveralSendersLeavesTheNextSetFiled();
    void uploadsOfTwoStationsAtOnceAreNotMixed();
    void aSenderForgottenAmongManyFilesNothing();
    void templatesAreNotWrittenBelowTheFreeSpaceFloor();
    void aLongDatagramIsTracedShortAndNotFiled();
    void theReceiveBufferIsAsLargeAsTheSystemAllows();
};

void UdpReceiverTest::uploadOfTwoTemplatesIsRelayedTracedAndFiled()
{
    ReadModeStation s;
    const QByteArray t1 = templateBytes(400, 1);
    const QByteArray t2 = templateBytes(400, 2);
    const QList<QByteArray> datagrams = concat({upload(12345, true, t1), upload(12345, false, t2)});

    s.send(datagrams);

    const QByteArray relayed = joined(datagrams);
    QCOMPARE(s.f.readSent(relayed.size()), relayed);
    QVERIFY(s.handled(8));
    QCOMPARE(readFile(s.path("12345-01.DAT")), t1);
    QCOMPARE(readFile(s.path("12345-02.DAT")), t2);
    QCOMPARE(s.templateFiles(), (QStringList{"12345-01.DAT", "12345-02.DAT"}));
    const QStringList expected{
        trace(datagrams[0]),
        "RX_UDP: RX TEMPLATE USER 01 INIT",
        trace(datagrams[1]),
        trace(datagrams[2]),
        "RX_UDP: RX TEMPLATE  400",
        trace(datagrams[3]),
        "RX_UDP: Write template to " + s.path("12345-01.DAT"),
        trace(datagrams[4]),
        "RX_UDP: RX TEMPLATE = 02 INIT",
        trace(datagrams[5]),
        trace(datagrams[6]),
        "RX_UDP: RX TEMPLATE  400",
        trace(datagrams[7]),
        "RX_UDP: Write template to " + s.path("12345-02.DAT"),
    };
    QCOMPARE(s.rxLines(), expected);
    QCOMPARE(s.w().state().LST_USER_NUMBER, QStringLiteral("12345"));
    QCOMPARE(s.w().state().LST_RX_TEMPLATE_NUMBER, qint16(2));
    QCOMPARE(s.w().state().LST_RX_TEMPLATE, t2);
}

void UdpReceiverTest::templatesOfUserOneAndOfAnotherUserAreNotFiledInTheSet()
{
    ReadModeStation s;
    const QByteArray t1 = templateBytes(400, 1);
    const QByteArray t2 = templateBytes(400, 2);
    // After the set of 12345: a template of user 777 whose template-1 header was lost, an
    // upload of user 1 (its header is the second header) and one of user 1's second template.
    const QList<QByteArray> datagrams =
        concat({upload(12345, true, t1), upload(12345, false, t2),
                upload(777, false, templateBytes(300, 5)), upload(1, true, templateBytes(300, 3)),
                upload(1, false, templateBytes(300, 4))});

    s.send(datagrams);

    QVERIFY(s.handled(datagrams.size()));
    QCOMPARE(s.templateFiles(), (QStringList{"12345-01.DAT", "12345-02.DAT"}));
    QCOMPARE(readFile(s.path("12345-01.DAT")), t1);
    QCOMPARE(readFile(s.path("12345-02.DAT")), t2);
    const QStringList notWritten =
        s.rxLines().filter(QRegularExpression(QStringLiteral("^RX_UDP: Template not written")));
    QCOMPARE(notWritten,
             (QStringList{"RX_UDP: Template not written: its header names user 777, the set "
                          "being received is of user 12345",
                          "RX_UDP: Template not written: templates of user 1 cannot be received",
                          "RX_UDP: Template not written: templates of user 1 cannot be received"}));
}

void UdpReceiverTest::newSetReplacesOnlyThatUsersFiles()
{
    ReadModeStation s;
    for (const char *name : {"12-01.DAT", "12-02.DAT", "12-03.DAT", "123-01.DAT", "120-01.DAT"})
        QVERIFY(writeFile(s.path(name), name));
    const QByteArray t1 = templateBytes(200, 9);

    s.send(upload(12, true, t1));

    QVERIFY(s.handled(4));
    QCOMPARE(s.templateFiles(), (QStringList{"12-01.DAT", "120-01.DAT", "123-01.DAT"}));
    QCOMPARE(readFile(s.path("12-01.DAT")), t1);
    QCOMPARE(readFile(s.path("123-01.DAT")), QByteArray("123-01.DAT"));
    // The old files go without a line of their own.
    QCOMPARE(s.rxLines().filter(QStringLiteral("KILL")), QStringList());
}

void UdpReceiverTest::deleteRemovesTheUsersFilesOneLineEach()
{
    ReadModeStation s;
    for (const char *name : {"12345-01.DAT", "12345-02.DAT", "123456-01.DAT", "1234-01.DAT"})
        QVERIFY(writeFile(s.path(name), name));
    // A name only a wildcard would match must stay: the user's files are listed by name.
    QVERIFY(writeFile(s.path("12345-x.DAT"), "x"));
    const QList<QByteArray> datagrams{deleteUser(12345), deleteUser(0)};

    s.send(datagrams);

    QCOMPARE(s.f.readSent(26), joined(datagrams));
    QVERIFY(s.handled(2));
    QCOMPARE(s.templateFiles(), (QStringList{"1234-01.DAT", "12345-x.DAT", "123456-01.DAT"}));
    QCOMPARE(s.rxLines(),
             (QStringList{trace(datagrams[0]), "RX_UDP: KILL " + s.path("12345-01.DAT"),
                          "RX_UDP: KILL " + s.path("12345-02.DAT"), trace(datagrams[1])}));
}

void UdpReceiverTest::enrollModeLeavesDatagramsUnread()
{
    // Enroll mode selected while the window is hidden: the port is bound (read mode's
    // layout), but the mode is enroll, so datagrams are not handled.
    HeadlessStationFixture f(freeUdpPort());
    QVERIFY(f.openSerialPeer());
    f.enableLog();
    f.station().modeSwitch().select(0);
    QVERIFY(f.state().enrollMode());
    QCOMPARE(f.station().udpRx().state(), QAbstractSocket::BoundState);
    const QByteArray logBefore = f.logBytes();

    QUdpSocket sender;
    for (const QByteArray &d :
         concat({upload(12345, true, templateBytes(100, 1)), {deleteUser(12345)}}))
        sender.writeDatagram(d, QHostAddress::LocalHost, f.station().options().udpPort);

    QTRY_VERIFY(f.station().udpRx().hasPendingDatagrams());
    HeadlessStationFixture::serve(50);
    QVERIFY(f.station().udpRx().hasPendingDatagrams()); // still unread
    QCOMPARE(f.readSent(1, 50), QByteArray());
    QCOMPARE(f.logBytes(), logBefore);
    QVERIFY(!QFile::exists(f.folder() + QStringLiteral("12345-01.DAT")));
}

void UdpReceiverTest::badInputFromSeveralSendersLeavesTheNextSetFiled()
{
    // No serial device: the relay fails, and the rest goes on.
    ReadModeStation s(false);
    QVERIFY(!s.w().serial().isOpen());
    QList<QUdpSocket *> senders;
    for (int i = 0; i < 4; ++i)
        senders << new QUdpSocket(this);

    QRandomGenerator random(4);
    QList<int> sizes{0, 1, 3, 4, 5, 10, 11, 12, 13, 30, 31, 1000, 9000, 65507};
    for (int i = 0; i < 60; ++i)
        sizes << random.bounded(65508);
    // All at once: the socket's buffer may drop some, as a real flood makes it do.
    for (int i = 0; i < sizes.size(); ++i) {
        QByteArray d(sizes[i], '\0');
        for (char &c : d)
            c = static_cast<char>(random.bounded(256));
        // Some look like the station's own datagrams, with anything in the user bytes.
        if (i % 3 == 0 && d.size() >= 11)
            d.replace(0, 11, header(random.generate(), i % 2).left(11));
        else if (i % 5 == 0 && d.size() >= 13)
            d.replace(0, 13, deleteUser(random.generate()));
        QList<QByteArray> batch{d};
        if (i % 4 == 0) // a wrong-checksum header, a trailer out of order
            batch << header(i, false).replace(11, 1, "\x77") << Frame::trailer(d);
        s.send(batch, *senders[i % senders.size()]);
    }
    QVERIFY(s.quiet());
    QVERIFY(s.w().udpReceiver().datagramsHandled() > 0);
    const int sent = int(s.w().udpReceiver().datagramsHandled());

    const QByteArray t1 = templateBytes(500, 7);
    s.send(upload(4242, true, t1), *senders[2]);
    QVERIFY(s.handled(sent + 4));
    QCOMPARE(readFile(s.path("4242-01.DAT")), t1);
    const QRegularExpression templateName(QStringLiteral("^[0-9]{1,10}-[0-9]{2,5}\\.DAT$"));
    for (const QString &name : s.templateFiles())
        QVERIFY2(templateName.match(name).hasMatch(), qPrintable(name));
    // Nothing beside the templates folder but the station's own files.
    QStringList others = QDir(s.f.folder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    others.removeOne(QStringLiteral("templates"));
    for (const QString &name : others)
        QVERIFY2(name.endsWith(QStringLiteral(".log")) || name.endsWith(QStringLiteral(".cfg")) ||
                     name.startsWith(QStringLiteral("Trelvane")),
                 qPrintable(name));
}

void UdpReceiverTest::uploadsOfTwoStationsAtOnceAreNotMixed()
{
    ReadModeStation s;
    QUdpSocket a;
    QUdpSocket b;
    const QList<QByteArray> fromA = upload(1001, true, templateBytes(300, 1));
    const QList<QByteArray> fromB = upload(2002, true, templateBytes(300, 2));
    // Interleaved datagram by datagram, as two stations uploading at once arrive.
    for (int i = 0; i < 4; ++i) {
        s.send({fromA[i]}, a);
        s.send({fromB[i]}, b);
    }
    QVERIFY(s.handled(8));
    QCOMPARE(readFile(s.path("1001-01.DAT")), fromA[2]);
    QCOMPARE(readFile(s.path("2002-01.DAT")), fromB[2]);
    QCOMPARE(s.templateFiles(), (QStringList{"1001-01.DAT", "2002-01.DAT"}));
}

void UdpReceiverTest::aSenderForgottenAmongManyFilesNothing()
{
    // The sets of at most kMaxSenders senders are followed; the one heard least recently is
    // forgotten, so its next template is not filed at all (rather than under another user).
    ReadModeStation s;
    const QList<QByteArray> first = upload(1001, true, templateBytes(300, 1));
    QUdpSocket a;
    s.send(first.mid(0, 2), a);
    QVERIFY(s.handled(2));
    std::vector<std::unique_ptr<QUdpSocket>> others;
    for (int i = 0; i < UdpReceiver::kMaxSenders; ++i) {
        others.push_back(std::make_unique<QUdpSocket>());
        s.send({header(5000 + i, true)}, *others.back());
    }
    QVERIFY(s.handled(2 + UdpReceiver::kMaxSenders));
    s.send(first.mid(2), a);
    s.send(upload(6000, true, templateBytes(300, 2)), *others.back());
    QVERIFY(s.handled(2 + UdpReceiver::kMaxSenders + 6));
    QCOMPARE(s.templateFiles(), QStringList{"6000-01.DAT"});
}

void UdpReceiverTest::templatesAreNotWrittenBelowTheFreeSpaceFloor()
{
    ReadModeStation s;
    qint64 free = UdpReceiver::kFreeSpaceFloor + 10 * 1024 * 1024;
    QStringList asked;
    s.w().udpReceiver().setFreeSpaceQuery([&](const QString &folder) {
        asked << folder;
        return free;
    });
    const QByteArray t1 = templateBytes(400, 1);
    const QByteArray t2 = templateBytes(500, 2);
    const auto notes = [&s] {
        return s.rxLines().filter(QRegularExpression(QStringLiteral("Templates (not )?written")));
    };

    s.send(upload(12, true, t1));
    QVERIFY(s.handled(4));
    QCOMPARE(readFile(s.path("12-01.DAT")), t1);

    // Below the floor: nothing is written (the old set stays whole), and it is said once.
    free = UdpReceiver::kFreeSpaceFloor - 5 * 1024 * 1024;
    s.send(concat({upload(12, true, t2), upload(12, false, t2), upload(34, true, t2)}));
    QVERIFY(s.handled(16));
    QCOMPARE(s.templateFiles(), QStringList{"12-01.DAT"});
    QCOMPARE(readFile(s.path("12-01.DAT")), t1);
    QCOMPARE(notes(), QStringList{"RX_UDP: Templates not written: 95 MB free for " + s.templates +
                                  ", less than the 100 MB kept free"});
    QVERIFY(s.rxLines().filter(QStringLiteral("Write template")).size() == 1);

    // Space is back: the next template is written, and the log says so.
    free = UdpReceiver::kFreeSpaceFloor + 1024 * 1024 * 1024;
    s.send(upload(56, true, t2));
    QVERIFY(s.handled(20));
    QCOMPARE(s.templateFiles(), (QStringList{"12-01.DAT", "56-01.DAT"}));
    QCOMPARE(notes().size(), 2);
    QCOMPARE(notes().last(), "RX_UDP: Templates written again: 1124 MB free for " + s.templates);
    QVERIFY(!asked.isEmpty());
    QVERIFY(asked.filter(s.templates).size() == asked.size());
}

void UdpReceiverTest::aLongDatagramIsTracedShortAndNotFiled()
{
    ReadModeStation s;
    const QByteArray tooLong = templateBytes(60000, 3);
    const QList<QByteArray> datagrams = upload(77, true, tooLong);

    s.send(datagrams);

    QCOMPARE(s.f.readSent(joined(datagrams).size()), joined(datagrams)); // still relayed whole
    QVERIFY(s.handled(4));
    QCOMPARE(s.templateFiles(), QStringList());
    const QStringList lines = s.rxLines();
    QCOMPARE(lines.size(), 6);
    QCOMPARE(lines[3],
             "RX_UDP: " + TRACE_TEXT(tooLong.left(kLongestFullTrace)) + "... (60000 bytes)");
    QCOMPARE(lines[4], QStringLiteral("RX_UDP: Template not kept: 60000 bytes, more than the "
                                      "largest template (16384 bytes)"));
    for (const QString &line : s.f.logLines())
        QVERIFY(line.size() < 6 * kLongestFullTrace);
}

void UdpReceiverTest::theReceiveBufferIsAsLargeAsTheSystemAllows()
{
    QFile rmemMax(QStringLiteral("/proc/sys/net/core/rmem_max"));
    if (!rmemMax.open(QIODevice::ReadOnly))
        QSKIP("the system does not say how large a receive buffer may be");
    const qint64 allowed = rmemMax.readAll().trimmed().toLongLong();
    ReadModeStation s;
    // Linux gives twice what is asked (the rest is its bookkeeping), up to twice its maximum.
    const qint64 got = s.w().udpReceiver().receiveBufferBytes();
    QVERIFY2(got >= std::min<qint64>(UdpReceiver::kReceiveBufferBytes, allowed),
             qPrintable(QStringLiteral("%1 of %2 allowed").arg(got).arg(allowed)));
    QCOMPARE(
        got,
        s.w().udpRx().socketOption(QAbstractSocket::ReceiveBufferSizeSocketOption).toLongLong());
}

QTEST_GUILESS_MAIN(UdpReceiverTest)
#include "tst_udp_receiver.moc"
