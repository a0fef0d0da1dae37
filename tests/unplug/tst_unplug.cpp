// The source unit's line vanishes in the middle of work (the simulated unit's cable is
// pulled: its pseudo-terminal closes and comes back later at the same path). The work ends
// within the design's own waits, the station shows "Disconnected", and it greets the unit
// again once the line is back.
#include "backup/SourceScript.h"
#include "enroll/TemplateBackup.h"
#include "enroll/TemplateStore.h"
#include "link/Frame.h"
#include "link/ReceiveDispatcher.h"
#include "link/SerialLink.h"
#include "link/Supervision.h"
#include "support/StationFixture.h"
#include "sync/NewUnitSync.h"
#include "unit-sim/SimulatedUnit.h"

#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

const QString kEstablished = QStringLiteral("Communication with Trelvane source unit established.");
constexpr qint64 kReplyWaitMs = 600; // a backup's wait for each answer
constexpr qint64 kPassPauseMs = 200; // after each of the three synchronization passes

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QByteArray templateBytes(int seed)
{
    QByteArray bytes(400, '\0');
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = char((seed * 31 + i * 7) & 0xFF);
    return bytes;
}

int countContaining(const QStringList &lines, const QString &text)
{
    int n = 0;
    for (const QString &line : lines)
        n += line.contains(text) ? 1 : 0;
    return n;
}

} // namespace

class UnplugTest : public QObject
{
    Q_OBJECT
private slots:
    void lineVanishingDuringABackupEndsItAndTheUnitIsGreetedWhenBack();
    void closedPseudoTerminalDuringABackupEndsItAndTheUnitIsGreetedWhenBack();
    void lineVanishingDuringANewUnitSynchronizationToTheLocalUnitEndsIt();
};

void UnplugTest::lineVanishingDuringABackupEndsItAndTheUnitIsGreetedWhenBack()
{
    StationFixture f;
    F_MAIN &w = f.w();
    f.clock.setRealTimeFactor(0.5);
    f.enableLog();
    SimulatedUnit unit;
    QVERIFY(unit.listenSerial(f.folder() + QStringLiteral("COM1")));
    const QList<QByteArray> templates{templateBytes(1), templateBytes(2), templateBytes(3)};
    unit.setTemplates(12345, templates);
    QSignalSpy requests(&unit, &SimulatedUnit::requestReceived);
    QSignalSpy replugged(&unit, &SimulatedUnit::serialOpened);

    // Connected and greeted, the receive poll running as in the program.
    w.supervision().selectLink(0);
    w.INP_SERIAL_PORT->setText(QStringLiteral("1"));
    w.supervision().TIM_SERIAL_CONNECT_Timer();
    QCOMPARE(w.AFF_SERIAL_STATUS->text(), QStringLiteral("Connected"));
    w.SERIAL_RX->start();
    QTRY_COMPARE(w.AFF_MSG[0]->text(), kEstablished);

    // The cable is pulled right after the unit has answered the first request for a next
    // template; it is back 1.5 s later.
    bool pulled = false;
    connect(&unit, &SimulatedUnit::requestReceived, this, [&](const QByteArray &request) {
        if (request == Frame::nextTemplate() && !pulled) {
            pulled = true;
            QTimer::singleShot(0, &unit, [&unit] { unit.unplug(1500); });
        }
    });
    const QDateTime start = f.clock.now();
    w.templateBackup().backup(QStringLiteral("12345"));
    const qint64 waitedMs = start.msecsTo(f.clock.now());

    QVERIFY(pulled);
    QCOMPARE(w.AFF_SERIAL_STATUS->text(), QStringLiteral("Disconnected"));
    QVERIFY(!w.Serial->isOpen());
    QCOMPARE(w.TRELVANE_LOAD, F_MAIN::True); // back to frame dispatch
    QCOMPARE(w.AFF_MSG[0]->text(), QStringLiteral("User: 12345"));
    QCOMPARE(w.AFF_MSG[1]->text(), QStringLiteral("Synchronization Complete"));

    // What arrived before the line vanished is stored whole; the fetch ends at the first
    // answer that did not come, so it asked once per stored template after the first.
    const QStringList stored = w.templateStore().list(QStringLiteral("12345"));
    QVERIFY(!stored.isEmpty() && stored.size() < templates.size());
    for (int n = 1; n <= stored.size(); ++n)
        QCOMPARE(readFile(w.templateStore().path(QStringLiteral("12345"), n)), templates[n - 1]);
    const QStringList log = f.logLines();
    const int nextRequests =
        countContaining(log, QStringLiteral("TX_SERIAL: ") + TRACE_TEXT(Frame::nextTemplate()));
    QCOMPARE(nextRequests, int(stored.size()));
    QCOMPARE(countContaining(log, QStringLiteral("Serial port lost")), 1);
    // No wait beyond the design's: one per request, and the pauses of the three passes.
    QVERIFY2(waitedMs <= (1 + nextRequests) * kReplyWaitMs + 3 * kPassPauseMs,
             qPrintable(QStringLiteral("waited %1 ms").arg(waitedMs)));

    // The line comes back: the next supervision tick opens it and greets the unit.
    QTRY_COMPARE_WITH_TIMEOUT(replugged.count(), 1, 5000);
    const int before = int(requests.count());
    w.AFF_MSG[0]->clear();
    w.supervision().TIM_SERIAL_CONNECT_Timer();
    QCOMPARE(w.AFF_SERIAL_STATUS->text(), QStringLiteral("Connected"));
    QTRY_COMPARE(requests.count(), before + 1);
    QCOMPARE(requests.last().at(0).toByteArray(), Frame::handshake());
    QTRY_COMPARE(w.AFF_MSG[0]->text(), kEstablished);
    QVERIFY(w.FR_ERROR->isHidden());
}

void UnplugTest::closedPseudoTerminalDuringABackupEndsItAndTheUnitIsGreetedWhenBack()
{
    StationFixture f;
    F_MAIN &w = f.w();
    f.clock.setRealTimeFactor(0.5);
    QVERIFY(f.openSerialPeer(1));
    const QString link = f.peer().linkPath();
    const QByteArray handshakeReply = Frame::frame(QByteArray::fromHex("4001650000000000000061"));
    const QByteArray firstTemplate = templateBytes(4);
    SourceScript source(f);
    source.replies = {handshakeReply,
                      QByteArray(26, '\x11') + firstTemplate + Frame::trailer(firstTemplate)};
    w.INP_SERIAL_PORT->setText(QStringLiteral("1"));
    w.supervision().TIM_SERIAL_CONNECT_Timer();
    w.SERIAL_RX->start();
    QTRY_COMPARE(w.AFF_MSG[0]->text(), kEstablished);

    // The device side goes away as the station asks for the next template.
    source.onRequest = [&f](const QByteArray &request) {
        if (request == Frame::nextTemplate())
            QTimer::singleShot(0, &f.peer(), [&f] { f.peer().close(); });
    };
    w.templateBackup().backup(QStringLiteral("12345"));

    QCOMPARE(w.AFF_SERIAL_STATUS->text(), QStringLiteral("Disconnected"));
    QCOMPARE(w.TRELVANE_LOAD, F_MAIN::True);
    QCOMPARE(readFile(w.templateStore().path(QStringLiteral("12345"), 1)), firstTemplate);
    QCOMPARE(w.templateStore().list(QStringLiteral("12345")).size(), 1);
    QCOMPARE(w.AFF_MSG[1]->text(), QStringLiteral("Synchronization Complete"));

    // A new device behind the same name: the next tick opens it and greets the unit.
    source.onRequest = {};
    source.replies = {handshakeReply};
    QVERIFY(f.peer().open(link));
    w.AFF_MSG[0]->clear();
    w.supervision().TIM_SERIAL_CONNECT_Timer();
    QCOMPARE(w.AFF_SERIAL_STATUS->text(), QStringLiteral("Connected"));
    QTRY_COMPARE(w.AFF_MSG[0]->text(), kEstablished);
    QCOMPARE(source.requests.last(), Frame::handshake());
}

void UnplugTest::lineVanishingDuringANewUnitSynchronizationToTheLocalUnitEndsIt()
{
    StationFixture f;
    F_MAIN &w = f.w();
    SimulatedUnit unit;
    QVERIFY(unit.listenSerial(f.folder() + QStringLiteral("COM1")));
    constexpr int kFiles = 6;
    for (int n = 1; n <= kFiles; ++n) {
        QFile file(f.folder() + QStringLiteral("%1-01.DAT").arg(100 + n));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(templateBytes(n)), 400);
    }
    QSignalSpy requests(&unit, &SimulatedUnit::requestReceived);
    QSignalSpy replugged(&unit, &SimulatedUnit::serialOpened);
    w.supervision().selectLink(0);
    w.INP_SERIAL_PORT->setText(QStringLiteral("1"));
    w.supervision().TIM_SERIAL_CONNECT_Timer();
    w.SERIAL_RX->start();
    QTRY_COMPARE(w.AFF_MSG[0]->text(), kEstablished);

    // The cable is pulled once the first upload has reached the unit; back 1.5 s later.
    bool pulled = false;
    connect(&unit, &SimulatedUnit::requestReceived, this, [&](const QByteArray &request) {
        if (!pulled && quint8(request[1]) == 0x87) {
            pulled = true;
            QTimer::singleShot(0, &unit, [&unit] { unit.unplug(1500); });
        }
    });
    f.dialogs.answerInput(QStringLiteral("COM"));
    const QDateTime start = f.clock.now();
    w.newUnitSync().B_SYNCHRONIZE_NEW_UNIT_Click();
    const qint64 waitedMs = start.msecsTo(f.clock.now());

    QVERIFY(pulled);
    QVERIFY(!w.newUnitSync().isRunning());
    QCOMPARE(w.AFF_SERIAL_STATUS->text(), QStringLiteral("Disconnected"));
    QCOMPARE(w.AFF_MSG[0]->text(), QStringLiteral("Synchronization complete."));
    // Uploads on the vanished line fail and are counted; the run goes on to its end.
    const QString sent = w.AFF_MSG[1]->text();
    QVERIFY2(sent.endsWith(QStringLiteral(" of %1 template files sent.").arg(kFiles)),
             qPrintable(sent));
    QVERIFY(sent.section(QLatin1Char(' '), 0, 0).toInt() < kFiles);
    // No wait beyond the design's: the pause before the first upload and one upload's
    // pauses per file.
    QVERIFY2(waitedMs <= qint64(1000 * (NewUnitSync::kBeforeFirstUpload +
                                        kFiles * NewUnitSync::kSecondsPerUpload)) +
                             kFiles,
             qPrintable(QStringLiteral("waited %1 ms").arg(waitedMs)));

    QTRY_COMPARE_WITH_TIMEOUT(replugged.count(), 1, 5000);
    const int before = int(requests.count());
    w.AFF_MSG[0]->clear();
    w.supervision().TIM_SERIAL_CONNECT_Timer();
    QCOMPARE(w.AFF_SERIAL_STATUS->text(), QStringLiteral("Connected"));
    QTRY_COMPARE(requests.count(), before + 1);
    QCOMPARE(requests.last().at(0).toByteArray(), Frame::handshake());
    QTRY_COMPARE(w.AFF_MSG[0]->text(), kEstablished);
}

QTEST_MAIN(UnplugTest)
#include "tst_unplug.moc"
