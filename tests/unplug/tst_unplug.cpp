// The source unit's line vanishes in the middle of work (the simulated unit's cable is
// pulled: its pseudo-terminal closes and comes back later at the same path). The work ends
// within the design's own waits, the station shows "Disconnected", and it greets the unit
// again once the line is back.
#include "enroll/TemplateBackup.h"
#include "enroll/TemplateNumberRequest.h"
#include "enroll/TemplateStore.h"
#include "link/Frame.h"
#include "link/ReceiveDispatcher.h"
#include "link/SerialLink.h"
#include "link/Supervision.h"
#include "support/HeadlessStationFixture.h"
#include "support/SourceScript.h"
#include "sync/NewUnitSync.h"
#include "unit-sim/SimulatedUnit.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
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

// A simulated unit in a process of its own: the station reads the serial user list without
// serving events, so a unit in the test's thread could neither answer nor pull its cable
// meanwhile.
class UnitProcess
{
public:
    ~UnitProcess()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.write("quit\n");
            if (!m_process.waitForFinished(3000))
                m_process.kill();
            m_process.waitForFinished(3000);
        }
    }

    bool start(const QString &link, const QStringList &options = {})
    {
        m_process.setProgram(QStringLiteral(UNIT_PROGRAM));
        m_process.setArguments(QStringList{QStringLiteral("--serial"), link} + options);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start();
        return m_process.waitForStarted(5000) && readLine().startsWith("ready");
    }

    // Sends a line command and returns its one-line answer.
    QString command(const QByteArray &line)
    {
        m_process.write(line + '\n');
        return QString::fromLatin1(readLine()).trimmed();
    }

private:
    QByteArray readLine()
    {
        QDeadlineTimer deadline(5000);
        while (!m_process.canReadLine() && !deadline.hasExpired())
            m_process.waitForReadyRead(50);
        return m_process.readLine();
    }

    QProcess m_process;
};

} // namespace

class UnplugTest : public QObject
{
    Q_OBJECT
private slots:
    void lineVanishingDuringABackupEndsItAndTheUnitIsGreetedWhenBack();
    void closedPseudoTerminalDuringABackupEndsItAndTheUnitIsGreetedWhenBack();
    void lineVanishingDuringANewUnitSynchronizationToTheLocalUnitEndsIt();
    void lineVanishingDuringTheUserListPagesEndsTheReadAndTheUnitIsGreetedWhenBack();
};

void UnplugTest::lineVanishingDuringABackupEndsItAndTheUnitIsGreetedWhenBack()
{
    HeadlessStationFixture f;
    Station &w = f.station();
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
    w.state().setSerialPort(QStringLiteral("1"));
    w.supervision().TIM_SERIAL_CONNECT_Timer();
    QCOMPARE(captionOf(w.state().sourceStatus()), QStringLiteral("Connected"));
    w.serialRxTimer().start();
    QTRY_COMPARE(w.state().bannerLine(0), kEstablished);

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
    QCOMPARE(captionOf(w.state().sourceStatus()), QStringLiteral("Disconnected"));
    QVERIFY(!w.serial().isOpen());
    QCOMPARE(w.state().TRELVANE_LOAD, StationState::True); // back to frame dispatch
    QCOMPARE(w.state().bannerLine(0), QStringLiteral("User: 12345"));
    QCOMPARE(w.state().bannerLine(1), QStringLiteral("Synchronization Complete"));

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
    w.state().setBannerLine(0, QString());
    w.supervision().TIM_SERIAL_CONNECT_Timer();
    QCOMPARE(captionOf(w.state().sourceStatus()), QStringLiteral("Connected"));
    QTRY_COMPARE(requests.count(), before + 1);
    QCOMPARE(requests.last().at(0).toByteArray(), Frame::handshake());
    QTRY_COMPARE(w.state().bannerLine(0), kEstablished);
    QVERIFY(!w.state().handshakePending());
}

void UnplugTest::closedPseudoTerminalDuringABackupEndsItAndTheUnitIsGreetedWhenBack()
{
    HeadlessStationFixture f;
    Station &w = f.station();
    f.clock.setRealTimeFactor(0.5);
    QVERIFY(f.openSerialPeer(1));
    const QString link = f.peer().linkPath();
    const QByteArray handshakeReply = Frame::frame(QByteArray::fromHex("4001650000000000000061"));
    const QByteArray firstTemplate = templateBytes(4);
    SourceScript source(f.peer());
    source.replies = {handshakeReply,
                      QByteArray(26, '\x11') + firstTemplate + Frame::trailer(firstTemplate)};
    w.state().setSerialPort(QStringLiteral("1"));
    w.supervision().TIM_SERIAL_CONNECT_Timer();
    w.serialRxTimer().start();
    QTRY_COMPARE(w.state().bannerLine(0), kEstablished);

    // The device side goes away as the station asks for the next template.
    source.onRequest = [&f](const QByteArray &request) {
        if (request == Frame::nextTemplate())
            QTimer::singleShot(0, &f.peer(), [&f] { f.peer().close(); });
    };
    w.templateBackup().backup(QStringLiteral("12345"));

    QCOMPARE(captionOf(w.state().sourceStatus()), QStringLiteral("Disconnected"));
    QCOMPARE(w.state().TRELVANE_LOAD, StationState::True);
    QCOMPARE(readFile(w.templateStore().path(QStringLiteral("12345"), 1)), firstTemplate);
    QCOMPARE(w.templateStore().list(QStringLiteral("12345")).size(), 1);
    QCOMPARE(w.state().bannerLine(1), QStringLiteral("Synchronization Complete"));

    // A new device behind the same name: the next tick opens it and greets the unit.
    source.onRequest = {};
    source.replies = {handshakeReply};
    QVERIFY(f.peer().open(link));
    w.state().setBannerLine(0, QString());
    w.supervision().TIM_SERIAL_CONNECT_Timer();
    QCOMPARE(captionOf(w.state().sourceStatus()), QStringLiteral("Connected"));
    QTRY_COMPARE(w.state().bannerLine(0), kEstablished);
    QCOMPARE(source.requests.last(), Frame::handshake());
}

void UnplugTest::lineVanishingDuringANewUnitSynchronizationToTheLocalUnitEndsIt()
{
    HeadlessStationFixture f;
    Station &w = f.station();
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
    w.state().setSerialPort(QStringLiteral("1"));
    w.supervision().TIM_SERIAL_CONNECT_Timer();
    w.serialRxTimer().start();
    QTRY_COMPARE(w.state().bannerLine(0), kEstablished);

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
    QCOMPARE(captionOf(w.state().sourceStatus()), QStringLiteral("Disconnected"));
    QCOMPARE(w.state().bannerLine(0), QStringLiteral("Synchronization complete."));
    // Uploads on the vanished line fail and are counted; the run goes on to its end.
    const QString sent = w.state().bannerLine(1);
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
    w.state().setBannerLine(0, QString());
    w.supervision().TIM_SERIAL_CONNECT_Timer();
    QCOMPARE(captionOf(w.state().sourceStatus()), QStringLiteral("Connected"));
    QTRY_COMPARE(requests.count(), before + 1);
    QCOMPARE(requests.last().at(0).toByteArray(), Frame::handshake());
    QTRY_COMPARE(w.state().bannerLine(0), kEstablished);
}

void UnplugTest::lineVanishingDuringTheUserListPagesEndsTheReadAndTheUnitIsGreetedWhenBack()
{
    HeadlessStationFixture f;
    Station &w = f.station();
    f.clock.setRealTimeFactor(0.5);
    f.enableLog();
    // One template a user and two records a page: a list of many pages, each taken about
    // 0.35 s (0.18 s of real time) after it was asked for.
    constexpr int kUsers = 40;
    // A port number whose fallback device (/dev/ttyS98) exists nowhere, so that a tick while
    // the unit is away finds no device at all.
    UnitProcess unit;
    QVERIFY(unit.start(f.folder() + QStringLiteral("COM99"),
                       {QStringLiteral("--page-records"), QStringLiteral("2"),
                        QStringLiteral("--seed-users"), QString::number(kUsers),
                        QStringLiteral("--templates-per-user"), QStringLiteral("1")}));
    w.supervision().selectLink(0);
    w.state().setSerialPort(QStringLiteral("99"));
    w.supervision().TIM_SERIAL_CONNECT_Timer();
    QCOMPARE(captionOf(w.state().sourceStatus()), QStringLiteral("Connected"));
    w.serialRxTimer().start();
    QTRY_COMPARE(w.state().bannerLine(0), kEstablished);

    // The cable is pulled a few pages into the list; it is back 3 s later.
    QCOMPARE(unit.command("unplug 600 3000"), QStringLiteral("ok"));
    QElapsedTimer real;
    real.start();
    const QDateTime start = f.clock.now();
    w.templateNumberRequest().B_REQ_TMP_NO_Click();
    const qint64 waitedMs = start.msecsTo(f.clock.now());
    const qint64 realMs = real.elapsed();

    // The users of the pages that arrived before the line vanished are listed, two a page.
    // At most one page is asked for after the cut (the closed port refuses it), so the read
    // ends within one page's wait and the pause after the list.
    const QStringList log = f.logLines();
    const int asked =
        countContaining(log,
                        QStringLiteral("TX_SERIAL: ") + TRACE_TEXT(Frame::userListFirstPage())) +
        countContaining(log, QStringLiteral("TX_SERIAL: ") + TRACE_TEXT(Frame::userListNextPage()));
    const QStringList lines = w.templateNumberRequest().lastLines();
    QVERIFY2(!lines.isEmpty() && lines.size() < kUsers, qPrintable(lines.join(u'|')));
    for (int i = 0; i < lines.size(); ++i)
        QVERIFY2(lines[i].startsWith(QString::number(1001 + i) + u' ') &&
                     lines[i].endsWith(QStringLiteral(" 1")),
                 qPrintable(lines[i]));
    QVERIFY2(asked <= (lines.size() + 1) / 2 + 1, qPrintable(QString::number(asked)));
    QVERIFY2(waitedMs <= qint64(1000 * (asked * TemplateNumberRequest::kLengthAfterSeconds +
                                        TemplateNumberRequest::kPageSeconds +
                                        TemplateNumberRequest::kAfterListSeconds)) +
                             asked * 20,
             qPrintable(QStringLiteral("waited %1 ms").arg(waitedMs)));
    QVERIFY2(realMs < 10000, qPrintable(QStringLiteral("took %1 ms").arg(realMs)));

    QVERIFY(!w.templateNumberRequest().isRunning());
    QVERIFY(!w.serial().isOpen());
    QCOMPARE(w.state().TRELVANE_LOAD, StationState::True); // back to frame dispatch
    QVERIFY(w.serialRxTimer().isActive());
    QCOMPARE(countContaining(log, QStringLiteral("Serial port lost")), 1);
    // The loss is seen by the read itself; while the unit is away, a tick finds no device.
    QCOMPARE(captionOf(w.state().sourceStatus()), QStringLiteral("Disconnected"));
    w.supervision().TIM_SERIAL_CONNECT_Timer();
    QCOMPARE(captionOf(w.state().sourceStatus()), QStringLiteral("Error"));
    QVERIFY(!w.serial().isOpen());

    // The line comes back: a later tick opens it and greets the unit, which answers.
    const qsizetype logBefore = f.logLines().size();
    const QDeadlineTimer back(8000);
    while (!w.serial().isOpen() && !back.hasExpired()) {
        QTest::qWait(100);
        w.supervision().TIM_SERIAL_CONNECT_Timer();
    }
    QCOMPARE(captionOf(w.state().sourceStatus()), QStringLiteral("Connected"));
    w.state().setBannerLine(0, QString());
    QTRY_COMPARE(w.state().bannerLine(0), kEstablished);
    QVERIFY(countContaining(f.logLines().mid(logBefore),
                            QStringLiteral("TX_SERIAL: ") + TRACE_TEXT(Frame::handshake())) >= 1);
}

QTEST_GUILESS_MAIN(UnplugTest)
#include "tst_unplug.moc"
