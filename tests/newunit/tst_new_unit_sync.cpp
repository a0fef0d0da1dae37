#include "config/TargetList.h"
#include "enroll/TemplateStore.h"
#include "link/Frame.h"
#include "link/Supervision.h"
#include "support/DatagramListener.h"
#include "support/HeadlessStationFixture.h"
#include "sync/NewUnitSync.h"
#include "unit-sim/SimulatedUnit.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

namespace {

struct Announce
{
    quint32 user = 0;
    quint8 function = 0;
};

// The upload announces (command 87 with a user other than the fixed data header's) a unit
// received, in order.
QList<Announce> announcesOf(const QList<QByteArray> &frames)
{
    QList<Announce> result;
    for (const QByteArray &f : frames) {
        if (f.size() != 13 || quint8(f[1]) != 0x87 || f == Frame::uploadDataHeader())
            continue;
        Announce a;
        for (int i = 0; i < 4; ++i)
            a.user |= quint32(quint8(f[2 + i])) << (8 * i);
        a.function = quint8(f[10]);
        result.append(a);
    }
    return result;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

} // namespace

class NewUnitSyncTest : public QObject
{
    Q_OBJECT
private slots:
    void listingOrderIsUserThenTemplateNumber_data();
    void listingOrderIsUserThenTemplateNumber();
    void storeGoesToTheNewUnitInListingOrder();
    void failedUploadIsCountedAndTheRunGoesOn();
    void defaultAnswerIsTheFirstTargetOrTheLastAnswer();
    void shortAnswerOnlyShowsTheStart();
    void serialLinkDownStopsEveryAnswer();
    void shorthandAnswerIsRefusedWithOrWithoutBlanks_data();
    void shorthandAnswerIsRefusedWithOrWithoutBlanks();
};

void NewUnitSyncTest::listingOrderIsUserThenTemplateNumber_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("listed");
    QTest::newRow("template number by value, user text before longer texts")
        << QStringList{"123-01.DAT", "12-10.DAT", "12-02.DAT", "12-01.DAT"}
        << QStringList{"12-01.DAT", "12-02.DAT", "12-10.DAT", "123-01.DAT"};
    QTest::newRow("user texts compare as text, not by value")
        << QStringList{"9-01.DAT", "10-01.DAT", "100-02.DAT", "100-01.DAT"}
        << QStringList{"10-01.DAT", "100-01.DAT", "100-02.DAT", "9-01.DAT"};
    QTest::newRow("three-digit template numbers follow two-digit ones")
        << QStringList{"7-100.DAT", "7-99.DAT", "7-01.DAT"}
        << QStringList{"7-01.DAT", "7-99.DAT", "7-100.DAT"};
    QTest::newRow("letter case of the extension")
        << QStringList{"5-02.dat", "5-01.DAT", "NOTES.DAT"}
        << QStringList{"5-01.DAT", "5-02.dat", "NOTES.DAT"};
}

void NewUnitSyncTest::listingOrderIsUserThenTemplateNumber()
{
    QFETCH(QStringList, files);
    HeadlessStationFixture f;
    for (const QString &name : files)
        writeFile(f.folder() + name, "x");
    QTEST(f.station().templateStore().listAll(), "listed");
}

void NewUnitSyncTest::storeGoesToTheNewUnitInListingOrder()
{
    SimulatedUnit unit;
    QVERIFY(unit.listenUdp(0, QHostAddress::LocalHost));
    HeadlessStationFixture f(unit.udpPort());
    f.enableLog();
    f.station().supervision().setSerialStatus(LinkStatus::Connected);
    const QByteArray a = QByteArray::fromHex("00ff10") + QByteArray(300, '\x7f');
    const QByteArray b = QByteArray(200, '\0') + "\x80\x81";
    const QByteArray c = QByteArray(250, 'c');
    writeFile(f.folder() + "345-01.DAT", c);
    writeFile(f.folder() + "12-02.DAT", b);
    writeFile(f.folder() + "12-01.DAT", a);
    for (const char *junk : {"NOTES.DAT", "ABC-01.DAT", "99999999999-01.DAT"})
        writeFile(f.folder() + junk, "junk");
    QList<QByteArray> frames;
    connect(&unit, &SimulatedUnit::requestReceived, this,
            [&](const QByteArray &frame) { frames.append(frame); });
    QList<int> progressSeen;
    bool progressShown = false;
    connect(&unit, &SimulatedUnit::templateStored, this, [&] {
        progressSeen.append(f.state().syncProgress().value);
        progressShown = progressShown || f.state().syncProgress().shown;
    });
    f.dialogs.answerInput(QStringLiteral("127.0.0.1"));

    f.station().newUnitSync().B_SYNCHRONIZE_NEW_UNIT_Click();
    HeadlessStationFixture::serve(50);

    const QList<Announce> announces = announcesOf(frames);
    QCOMPARE(announces.size(), 3);
    QCOMPARE(announces[0].user, 12u);
    QCOMPARE(announces[0].function, 0x00);
    QCOMPARE(announces[1].user, 12u);
    QCOMPARE(announces[1].function, 0x71);
    QCOMPARE(announces[2].user, 345u);
    QCOMPARE(announces[2].function, 0x00);
    const auto held = unit.users();
    QCOMPARE(held.keys(), (QList<quint32>{12, 345}));
    QCOMPARE(held[12], (QList<QByteArray>{a, b}));
    QCOMPARE(held[345], QList<QByteArray>{c});
    QCOMPARE(f.state().bannerLine(0), QStringLiteral("Synchronization complete."));
    QCOMPARE(f.state().bannerLine(1), QString());
    QCOMPARE(f.state().ID_IP, QStringLiteral("127.0.0.1"));
    QVERIFY(progressShown);
    QCOMPARE(progressSeen.last(), 3);
    QVERIFY(f.state().syncProgress().text.contains(QLatin1String("3 of 3 files")));
    QCOMPARE(f.state().syncProgress().value, 3);
    QVERIFY(!f.state().syncProgress().shown);
    QCOMPARE(f.dialogs.shown().size(), 1);
}

void NewUnitSyncTest::failedUploadIsCountedAndTheRunGoesOn()
{
    DatagramListener target;
    QVERIFY(target.bind());
    HeadlessStationFixture f(target.port());
    f.station().supervision().setSerialStatus(LinkStatus::Connected);
    writeFile(f.folder() + "12-01.DAT", "first");
    writeFile(f.folder() + "12-02.DAT", QByteArray(70000, 'x')); // too large for a datagram
    writeFile(f.folder() + "345-01.DAT", "third");
    f.dialogs.answerInput(QStringLiteral("127.0.0.1"));

    f.station().newUnitSync().B_SYNCHRONIZE_NEW_UNIT_Click();

    const QList<QByteArray> sent = target.drain();
    const QList<Announce> announces = announcesOf(sent);
    QCOMPARE(announces.size(), 3);
    QCOMPARE(announces[2].user, 345u);
    QVERIFY(sent.contains("third"));
    QCOMPARE(f.state().bannerLine(0), QStringLiteral("Synchronization complete."));
    QCOMPARE(f.state().bannerLine(1), QStringLiteral("2 of 3 template files sent."));
}

void NewUnitSyncTest::defaultAnswerIsTheFirstTargetOrTheLastAnswer()
{
    HeadlessStationFixture f;
    f.station().targetList().addEntry(TargetList::entryText(QStringLiteral("10.0.0.7"), "Hall"));
    f.station().targetList().addEntry(QStringLiteral("10.0.0.8"));
    f.station().newUnitSync().B_SYNCHRONIZE_NEW_UNIT_Click(); // cancelled
    f.state().ID_IP = QStringLiteral("10.0.0.9");
    f.station().newUnitSync().B_SYNCHRONIZE_NEW_UNIT_Click();
    QCOMPARE(f.dialogs.shown().size(), 2);
    QCOMPARE(f.dialogs.shown()[0].preset, QStringLiteral("10.0.0.7"));
    QCOMPARE(f.dialogs.shown()[0].title, QStringLiteral("Synchronize new Trelvane unit"));
    QCOMPARE(f.dialogs.shown()[0].text,
             QStringLiteral("Enter the IP address of this new unit:\r\n* To synchronize the local "
                            "serial unit, enter: COM "));
    QCOMPARE(f.dialogs.shown()[1].preset, QStringLiteral("10.0.0.9"));
    QCOMPARE(f.state().ID_IP, QString()); // cancel empties it
}

void NewUnitSyncTest::shortAnswerOnlyShowsTheStart()
{
    HeadlessStationFixture f;
    f.station().supervision().setSerialStatus(LinkStatus::Connected);
    writeFile(f.folder() + "12-01.DAT", "x");
    f.dialogs.answerInput(QStringLiteral("1.2.3.4"));
    f.station().newUnitSync().B_SYNCHRONIZE_NEW_UNIT_Click();
    QCOMPARE(f.state().bannerLine(0), QStringLiteral("Synchronize new Trelvane unit: 1.2.3.4"));
    QVERIFY(!f.state().syncProgress().shown);
}

void NewUnitSyncTest::shorthandAnswerIsRefusedWithOrWithoutBlanks_data()
{
    // "127.0.10" would be taken as 127.0.0.10: a blank around it must not let it through.
    QTest::addColumn<QString>("answer");
    QTest::newRow("as typed") << "127.0.10";
    QTest::newRow("trailing blank") << "127.0.10 ";
    QTest::newRow("leading blank") << " 127.0.10";
}

void NewUnitSyncTest::shorthandAnswerIsRefusedWithOrWithoutBlanks()
{
    QFETCH(QString, answer);
    DatagramListener target;
    QVERIFY(target.bind());
    HeadlessStationFixture f(target.port());
    f.enableLog();
    f.station().supervision().setSerialStatus(LinkStatus::Connected);
    writeFile(f.folder() + "12-01.DAT", "first");
    f.dialogs.answerInput(answer);

    f.station().newUnitSync().B_SYNCHRONIZE_NEW_UNIT_Click();

    QVERIFY(!f.logLines().join(u'\n').contains(QStringLiteral("TX_UDP[")));
    QCOMPARE(f.state().bannerLine(1), QStringLiteral("0 of 1 template files sent."));
}

void NewUnitSyncTest::serialLinkDownStopsEveryAnswer()
{
    HeadlessStationFixture f;
    writeFile(f.folder() + "12-01.DAT", "x");
    f.dialogs.answerInput(QStringLiteral("COM 3"));
    const QString before = f.state().bannerLine(0);
    QSignalSpy focus(&f.state(), &StationState::focusRequested);
    f.station().newUnitSync().B_SYNCHRONIZE_NEW_UNIT_Click();
    QCOMPARE(f.dialogs.beeps(), 2);
    // The operator corrects the serial port: the keyboard goes there.
    QCOMPARE(focus.count(), 1);
    QCOMPARE(focus[0][0].value<StationState::Field>(), StationState::Field::SerialPort);
    QCOMPARE(f.dialogs.shown().size(), 2);
    QCOMPARE(f.dialogs.shown()[1].text, QStringLiteral("Serial port error"));
    QCOMPARE(f.dialogs.shown()[1].title, QStringLiteral("Invalid serial port number"));
    QCOMPARE(f.state().bannerLine(0), before);
}

QTEST_GUILESS_MAIN(NewUnitSyncTest)
#include "tst_new_unit_sync.moc"
