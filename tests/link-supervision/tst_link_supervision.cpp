// Link supervision against real peers: a simulated unit (or a bare pseudo-terminal) published
// as COM<n> in the station's folder, and loopback TCP servers. The supervision tick is called
// directly; the waits for bytes and socket events are real.
#include "link/Banner.h"
#include "link/Frame.h"
#include "link/ReceiveDispatcher.h"
#include "link/SerialLink.h"
#include "link/Supervision.h"
#include "link/TcpLink.h"
#include "platform/SerialLock.h"
#include "support/HeadlessStationFixture.h"
#include "unit-sim/SimulatedUnit.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <unistd.h>

namespace {

const QByteArray kHandshake = QByteArray::fromHex("40010000000031000000 65D70A");
const QByteArray kHandshakeReply = Frame::frame(QByteArray::fromHex("4001650000000000000061"));

bool writeTextFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

int countContaining(const QStringList &lines, const QString &text)
{
    int n = 0;
    for (const QString &line : lines)
        n += line.contains(text) ? 1 : 0;
    return n;
}

} // namespace

class LinkSupervisionTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<HeadlessStationFixture> f;

    Station &w() { return f->station(); }
    Supervision &supervision() { return w().supervision(); }
    void tick() { supervision().TIM_SERIAL_CONNECT_Timer(); }
    QString status() { return captionOf(w().state().sourceStatus()); }
    // The status is drawn green exactly while the link is up (tst_state_view).
    bool statusIsGreen() { return w().state().sourceUp(); }
    QString comPath(int n) { return f->folder() + QStringLiteral("COM%1").arg(n); }
    void setPort(const QString &text) { w().state().setSerialPort(text); }

    void start(quint16 tcpPort = 0, const std::function<void(StationOptions &)> &adjust = {})
    {
        f = std::make_unique<HeadlessStationFixture>(0, tcpPort, adjust);
        supervision().selectLink(0);
    }
    // A station whose system devices and lock files are in folders of the test's own.
    void startWithOwnDeviceFolders()
    {
        QVERIFY(QDir().mkpath(devices.path() + QStringLiteral("/dev")));
        QVERIFY(QDir().mkpath(devices.path() + QStringLiteral("/lock")));
        start(0, [this](StationOptions &options) {
            options.serialDeviceFolder = devFolder();
            options.serialLockFolder = lockFolder();
        });
    }
    QString devFolder() const { return devices.path() + QStringLiteral("/dev/"); }
    QString lockFolder() const { return devices.path() + QStringLiteral("/lock/"); }
    QTemporaryDir devices;

private slots:
    void cleanup() { f.reset(); }

    void statusIsGreenExactlyWhileItReadsConnected_data()
    {
        QTest::addColumn<LinkStatus>("link");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<bool>("green");
        QTest::newRow("Connected") << LinkStatus::Connected << "Connected" << true;
        QTest::newRow("Error") << LinkStatus::Error << "Error" << false;
        QTest::newRow("Disconnected") << LinkStatus::Disconnected << "Disconnected" << false;
    }
    void statusIsGreenExactlyWhileItReadsConnected()
    {
        QFETCH(LinkStatus, link);
        QFETCH(QString, caption);
        QFETCH(bool, green);
        start();
        supervision().setSerialStatus(LinkStatus::Connected);
        supervision().setSerialStatus(LinkStatus::Error);
        supervision().setSerialStatus(link);
        QCOMPARE(status(), caption);
        QCOMPARE(statusIsGreen(), green);
    }

    void firstTickOpensThePortAndSendsExactlyOneHandshake()
    {
        start();
        QVERIFY(f->peer().open(comPath(1)));
        setPort(QStringLiteral("1"));
        tick();

        QCOMPARE(status(), QStringLiteral("Connected"));
        QVERIFY(statusIsGreen());
        QVERIFY(w().serial().isOpen());
        QVERIFY(w().state().handshakePending());
        QCOMPARE(w().state().bannerLine(0),
                 QStringLiteral("Establish communication with Trelvane source unit"));
        QCOMPARE(f->readSent(13).toHex(' '), kHandshake.toHex(' '));

        // Connected: further ticks leave the link alone.
        tick();
        tick();
        QCOMPARE(f->readSent(1, 200), QByteArray());

        QVERIFY(f->feedSerial(kHandshakeReply));
        w().dispatcher().SERIAL_RX_Timer();
        QVERIFY(!w().state().handshakePending());
        QCOMPARE(w().state().bannerLine(0),
                 QStringLiteral("Communication with Trelvane source unit established."));
    }

    void unitAnswersTheHandshakeAndTheErrorFrameGoes()
    {
        start();
        SimulatedUnit unit;
        QVERIFY(unit.listenSerial(comPath(1)));
        setPort(QStringLiteral("1"));
        w().serialRxTimer().start(); // the receive poll runs as the unit's bytes arrive
        tick();
        QVERIFY(w().state().handshakePending());
        QTRY_VERIFY(!w().state().handshakePending());
        QCOMPARE(w().state().bannerLine(0),
                 QStringLiteral("Communication with Trelvane source unit established."));
        QCOMPARE(status(), QStringLiteral("Connected"));
    }

    void silentUnitIsReportedByTheBannerAndTheLinkStaysConnected()
    {
        start();
        SimulatedUnit unit;
        unit.setSilent(true);
        QVERIFY(unit.listenSerial(comPath(1)));
        setPort(QStringLiteral("1"));
        w().serialRxTimer().start();
        QSignalSpy requests(&unit, &SimulatedUnit::requestReceived);
        tick();
        QTRY_COMPARE(requests.size(), 1);
        // The countdown of the waiting text runs out on the ninth tick.
        for (int i = 0; i < 9; ++i)
            w().banner().TIM_HIDE_MSG_Timer();
        QCOMPARE(w().state().bannerLine(0),
                 QStringLiteral("Communication Error with Trelvane source unit."));
        QCOMPARE(f->dialogs.beeps(), 3);
        QCOMPARE(status(), QStringLiteral("Connected")); // nothing retries on its own
        QVERIFY(w().state().handshakePending());
        tick();
        QCOMPARE(requests.size(), 1);
    }

    void reconnectSendsExactlyOneNewHandshake()
    {
        start();
        SimulatedUnit unit;
        QSignalSpy requests(&unit, &SimulatedUnit::requestReceived);
        QVERIFY(unit.listenSerial(comPath(1)));
        setPort(QStringLiteral("1"));
        tick();
        QTRY_COMPARE(requests.count(), 1);

        w().state().setBusy(false); // the banner has run its time: the button takes clicks
        supervision().B_RECONNECT_Click();
        QCOMPARE(w().state().serialPort(), QStringLiteral("1"));
        QCOMPARE(status(), QStringLiteral("Disconnected"));
        QVERIFY(!statusIsGreen());
        QVERIFY(!w().serial().isOpen());

        tick();
        QCOMPARE(status(), QStringLiteral("Connected"));
        QTRY_COMPARE(requests.count(), 2);
        tick();
        QTest::qWait(200);
        QCOMPARE(requests.count(), 2);
        for (const QList<QVariant> &request : requests)
            QCOMPARE(request.at(0).toByteArray(), kHandshake);
    }

    void portNumberChangeClosesAtOnceAndReopensOnTheNextTick()
    {
        start();
        SimulatedUnit first;
        SimulatedUnit second;
        QSignalSpy toFirst(&first, &SimulatedUnit::requestReceived);
        QSignalSpy toSecond(&second, &SimulatedUnit::requestReceived);
        QVERIFY(first.listenSerial(comPath(1)));
        QVERIFY(second.listenSerial(comPath(2)));
        setPort(QStringLiteral("1"));
        tick();
        QTRY_COMPARE(toFirst.count(), 1);

        setPort(QStringLiteral("2"));
        QCOMPARE(status(), QStringLiteral("Disconnected"));
        QVERIFY(!w().serial().isOpen());
        // The new number is saved at once.
        QFile config(f->folder() + QStringLiteral("Trelvane.cfg"));
        QVERIFY(config.open(QIODevice::ReadOnly));
        QCOMPARE(config.readLine().trimmed(), QByteArray("2"));

        tick();
        QCOMPARE(status(), QStringLiteral("Connected"));
        QCOMPARE(w().serial().devicePath(), comPath(2));
        QTRY_COMPARE(toSecond.count(), 1);
        QCOMPARE(toSecond.at(0).at(0).toByteArray(), kHandshake);
        QCOMPARE(toFirst.count(), 1);
    }

    void openPortUnderAnotherStatusIsClosedByOneTickAndReopenedByTheNext()
    {
        start();
        setPort(QStringLiteral("1"));
        QVERIFY(f->openSerialPeer(1)); // opened behind the supervision's back
        QCOMPARE(status(), QStringLiteral("Disconnected"));

        tick();
        QVERIFY(!w().serial().isOpen());
        QCOMPARE(status(), QStringLiteral("Disconnected"));
        QCOMPARE(f->readSent(1, 100), QByteArray());

        tick();
        QVERIFY(w().serial().isOpen());
        QCOMPARE(status(), QStringLiteral("Connected"));
        QCOMPARE(f->readSent(13).toHex(' '), kHandshake.toHex(' '));
    }

    void missingDeviceShowsErrorWithPathAndReasonAndLogsEachReasonOnce()
    {
        start();
        f->enableLog();
        // A published port whose device has gone: the link points nowhere.
        QVERIFY(QFile::link(f->folder() + QStringLiteral("no-such-device"), comPath(5)));
        setPort(QStringLiteral("5"));
        QSignalSpy windowWanted(&w().state(), &StationState::windowWanted);
        tick();

        QCOMPARE(status(), QStringLiteral("Error"));
        QVERIFY(!statusIsGreen());
        QVERIFY(!w().serial().isOpen());
        QVERIFY(!windowWanted.isEmpty()); // brought forward
        const QString tip = w().state().sourceStatusDetail();
        QVERIFY2(tip.contains(comPath(5)), qPrintable(tip));
        QVERIFY2(tip.size() > comPath(5).size() + 2, qPrintable(tip)); // and the reason

        tick();
        tick();
        QCOMPARE(countContaining(f->logLines(), QStringLiteral("Serial port not opened")), 1);
        QVERIFY(countContaining(f->logLines(), tip) == 1);

        setPort(QStringLiteral("abc"));
        tick();
        tick();
        QCOMPARE(status(), QStringLiteral("Error"));
        QVERIFY(w().state().sourceStatusDetail().contains(QStringLiteral("abc")));
        QCOMPARE(countContaining(f->logLines(), QStringLiteral("Serial port not opened")), 2);
    }

    void portTextsThatNameNoPortGiveError_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("letters") << "abc";
        QTest::newRow("negative") << "-3";
        QTest::newRow("beyond 16 bits") << "99999999";
        QTest::newRow("just beyond 16 bits") << "32768";
        QTest::newRow("zero") << "0";
        QTest::newRow("fraction") << "1.5";
        QTest::newRow("empty") << "";
    }
    void portTextsThatNameNoPortGiveError()
    {
        QFETCH(QString, text);
        start();
        // Units on COM1 and COM2, so that no rounding or truncation may reach a real port.
        SimulatedUnit one;
        SimulatedUnit two;
        QVERIFY(one.listenSerial(comPath(1)));
        QVERIFY(two.listenSerial(comPath(2)));
        setPort(QStringLiteral("7"));
        setPort(text);
        tick();
        QCOMPARE(status(), QStringLiteral("Error"));
        QVERIFY(!w().serial().isOpen());
        QVERIFY(w().state().sourceStatusDetail().contains(QLatin1Char('"') + text + '"'));
    }

    void vanishedDeviceIsReportedOnceAndHandshakesAgainWhenBack()
    {
        start();
        SimulatedUnit unit;
        QSignalSpy requests(&unit, &SimulatedUnit::requestReceived);
        QVERIFY(unit.listenSerial(comPath(1)));
        QSignalSpy replugged(&unit, &SimulatedUnit::serialOpened);
        setPort(QStringLiteral("1"));
        tick();
        QTRY_COMPARE(requests.count(), 1);
        f->enableLog();
        QSignalSpy lost(&w().serial(), &SerialLink::lost);

        unit.unplug(600);
        QTRY_COMPARE_WITH_TIMEOUT(status(), QStringLiteral("Disconnected"), 500);
        QVERIFY(!w().serial().isOpen());
        QVERIFY(w().state().sourceStatusDetail().contains(comPath(1)));
        QTest::qWait(200);
        QCOMPARE(lost.count(), 1);
        QCOMPARE(countContaining(f->logLines(), QStringLiteral("Serial port lost")), 1);

        QTRY_COMPARE_WITH_TIMEOUT(replugged.count(), 1, 3000);
        tick();
        QCOMPARE(status(), QStringLiteral("Connected"));
        QTRY_COMPARE(requests.count(), 2);
        QCOMPARE(requests.at(1).at(0).toByteArray(), kHandshake);
    }

    void vanishedDeviceWhileTcpIsSelectedIsReopenedAfterSwitchingBack()
    {
        start();
        SimulatedUnit unit;
        QSignalSpy requests(&unit, &SimulatedUnit::requestReceived);
        QVERIFY(unit.listenSerial(comPath(1)));
        setPort(QStringLiteral("1"));
        tick();
        QTRY_COMPARE(requests.count(), 1);

        supervision().selectLink(1);
        unit.unplug(100);
        QTRY_VERIFY(!w().serial().isOpen());
        QCOMPARE(status(), QStringLiteral("Connected")); // the TCP link's, meanwhile
        QTRY_VERIFY(unit.isSerialOpen());

        supervision().selectLink(0);
        QCOMPARE(status(), QStringLiteral("Disconnected"));
        tick();
        QCOMPARE(status(), QStringLiteral("Connected"));
        QTRY_COMPARE(requests.count(), 2);
    }

    // The unit's cable is out (nothing answers) and comes back: the handshake goes again
    // every few seconds, without a trace each time, and the unit that answers is greeted.
    void unitThatComesBackIsGreetedAgainByItself()
    {
        start();
        SimulatedUnit unit;
        unit.setSilent(true);
        QVERIFY(unit.listenSerial(comPath(1)));
        QSignalSpy requests(&unit, &SimulatedUnit::requestReceived);
        f->enableLog();
        setPort(QStringLiteral("1"));
        w().serialRxTimer().start();
        tick();
        QTRY_COMPARE(requests.size(), 1);

        const int retries = 5;
        for (int i = 0; i < retries * Supervision::kHandshakeRetryTicks; ++i)
            tick();
        QTRY_COMPARE(requests.size(), 1 + retries);
        for (const QList<QVariant> &request : requests)
            QCOMPARE(request.at(0).toByteArray(), kHandshake);
        QCOMPARE(status(), QStringLiteral("Connected"));
        QVERIFY(w().state().handshakePending());
        // A unit that never answers fills no log: one line for the first handshake's trace,
        // one that the retries started.
        QCOMPARE(countContaining(f->logLines(), QStringLiteral("TX_SERIAL: ")), 1);
        QCOMPARE(countContaining(f->logLines(), QStringLiteral("No answer from the Trelvane")), 1);

        // Not while a part collects a long answer raw: the reply would land in it.
        w().state().TRELVANE_LOAD = 0;
        for (int i = 0; i < 2 * Supervision::kHandshakeRetryTicks; ++i)
            tick();
        QTest::qWait(100);
        QCOMPARE(requests.size(), 1 + retries);
        w().state().TRELVANE_LOAD = StationState::True;

        unit.setSilent(false); // the cable is back
        for (int i = 0; i < Supervision::kHandshakeRetryTicks; ++i)
            tick();
        QTRY_VERIFY(!w().state().handshakePending());
        QCOMPARE(w().state().bannerLine(0),
                 QStringLiteral("Communication with Trelvane source unit established."));
        tick(); // notes the answer
        QCOMPARE(
            countContaining(
                f->logLines(),
                QStringLiteral("answered the handshake, sent again %1 times").arg(retries + 1)),
            1);

        // Answered: nothing more is sent.
        const qsizetype answered = requests.size();
        for (int i = 0; i < 3 * Supervision::kHandshakeRetryTicks; ++i)
            tick();
        QTest::qWait(100);
        QCOMPARE(requests.size(), answered);
        QCOMPARE(countContaining(f->logLines(), QStringLiteral("No answer from the Trelvane")), 1);
    }

    // No COM<n> link at the moment of a tick: the system's device for the number is opened.
    // Once the link appears, the next tick moves to it, and the tooltip names the device.
    void fallbackDeviceGivesWayToTheLinkWhenItAppears()
    {
        startWithOwnDeviceFolders();
        f->enableLog();
        PseudoTerminal fallback;
        QVERIFY(fallback.open(devFolder() + QStringLiteral("ttyS0")));
        setPort(QStringLiteral("1"));
        tick();
        QCOMPARE(status(), QStringLiteral("Connected"));
        QCOMPARE(w().serial().devicePath(), devFolder() + QStringLiteral("ttyS0"));
        QString tip = w().state().sourceStatusDetail();
        QVERIFY2(tip.startsWith(devFolder() + QStringLiteral("ttyS0 (") + fallback.slavePath()),
                 qPrintable(tip));
        QVERIFY2(tip.contains(QStringLiteral("no COM1 link in the station folder")),
                 qPrintable(tip));
        QByteArray got;
        QTRY_COMPARE((got += fallback.readAll()).size(), kHandshake.size());

        // No link yet: the fallback stays (the retries of the unanswered handshake aside).
        tick();
        tick();
        QCOMPARE(w().serial().devicePath(), devFolder() + QStringLiteral("ttyS0"));

        SimulatedUnit unit;
        QSignalSpy requests(&unit, &SimulatedUnit::requestReceived);
        QVERIFY(unit.listenSerial(comPath(1)));
        w().serialRxTimer().start();
        tick();
        QCOMPARE(w().serial().devicePath(), comPath(1));
        QCOMPARE(status(), QStringLiteral("Connected"));
        tip = w().state().sourceStatusDetail();
        QCOMPARE(tip, comPath(1) + QStringLiteral(" (") + unit.serialSlavePath() + ')');
        QTRY_COMPARE(requests.size(), 1);
        QCOMPARE(requests.at(0).at(0).toByteArray(), kHandshake);
        QTRY_VERIFY(!w().state().handshakePending());
        QCOMPARE(countContaining(f->logLines(), QStringLiteral(" appeared in the station folder")),
                 1);
        // Nothing more went to the fallback: no retry there, no second greeting.
        QCOMPARE(fallback.readAll().toHex(' '), QByteArray());
    }

    void portThatCannotBeOpenedSaysWhatWasTriedAndWhy_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<QString>("tip"); // <cfg>/, <dev>/ the folders
        QTest::newRow("no link and no device")
            << "none"
            << "Serial port 5: tried <cfg>/COM5 (not in the station folder), then <dev>/ttyS4: "
               "no such device: is the adapter plugged in?";
        QTest::newRow("link to an adapter that is gone")
            << "dangling link"
            << "Serial port 5: tried <cfg>/COM5: no such device: is the adapter plugged in?";
        QTest::newRow("device the account may not use")
            << "no permission"
            << "Serial port 5: tried <cfg>/COM5 (not in the station folder), then <dev>/ttyS4: "
               "permission denied: is your account in the dialout group?";
    }
    void portThatCannotBeOpenedSaysWhatWasTriedAndWhy()
    {
        QFETCH(QString, situation);
        QFETCH(QString, tip);
        startWithOwnDeviceFolders();
        PseudoTerminal device;
        if (situation == QLatin1String("dangling link")) {
            QVERIFY(QFile::link(f->folder() + QStringLiteral("no-such-adapter"), comPath(5)));
        } else if (situation == QLatin1String("no permission")) {
            if (geteuid() == 0)
                QSKIP("Running as root: permission bits do not keep root from a device.");
            QVERIFY(device.open(devFolder() + QStringLiteral("ttyS4")));
            QVERIFY(QFile::setPermissions(device.slavePath(), QFile::Permissions()));
        }
        setPort(QStringLiteral("5"));
        tick();
        QCOMPARE(status(), QStringLiteral("Error"));
        tip.replace(QStringLiteral("<cfg>/"), f->folder())
            .replace(QStringLiteral("<dev>/"), devFolder());
        QCOMPARE(w().state().sourceStatusDetail(), tip);
    }

    // Any account can leave a lock file for the port in the system's lock folder: the
    // station names the file and its process instead of sending the operator to the
    // dialout group, and opens the port once the process has ended.
    void portLockedByAnotherProcessNamesTheLockFileAndItsProcess_data()
    {
        QTest::addColumn<QString>("lockedName"); // link: the COM3 path; device: the pty
        QTest::addColumn<QString>("form");       // how the PID is written
        QTest::newRow("lock of the link, text form") << "link"
                                                     << "text";
        QTest::newRow("lock of the device, text form") << "device"
                                                       << "text";
        QTest::newRow("lock of the link, binary form") << "link"
                                                       << "binary";
    }
    void portLockedByAnotherProcessNamesTheLockFileAndItsProcess()
    {
        QFETCH(QString, lockedName);
        QFETCH(QString, form);
        startWithOwnDeviceFolders();
        QVERIFY(f->peer().open(comPath(3)));
        QProcess holder;
        holder.start(QStringLiteral("sleep"), {QStringLiteral("60")});
        QVERIFY(holder.waitForStarted());
        const qint64 pid = holder.processId();
        const QString lockFile =
            lockFolder() + SerialLock::lockFileNameFor(lockedName == QLatin1String("link")
                                                           ? comPath(3)
                                                           : f->peer().slavePath());
        QByteArray bytes = QByteArray::number(pid).rightJustified(10, ' ') + '\n';
        if (form == QLatin1String("binary"))
            bytes = QByteArray(reinterpret_cast<const char *>(&pid), 4);
        QFile lock(lockFile);
        QVERIFY(lock.open(QIODevice::WriteOnly) && lock.write(bytes) == bytes.size());
        lock.close();
        f->enableLog();
        setPort(QStringLiteral("3"));

        tick();

        QCOMPARE(status(), QStringLiteral("Error"));
        QVERIFY(!w().serial().isOpen());
        const QString tip = w().state().sourceStatusDetail();
        QCOMPARE(tip, QStringLiteral("Serial port 3: tried %1: the port is locked by another "
                                     "process: the lock file %2 names process %3 (sleep)")
                          .arg(comPath(3), lockFile)
                          .arg(pid));
        QCOMPARE(countContaining(f->logLines(), tip), 1);

        holder.kill();
        QVERIFY(holder.waitForFinished());
        tick(); // the lock is stale now
        QCOMPARE(status(), QStringLiteral("Connected"));
        QCOMPARE(f->readSent(13).toHex(' '), kHandshake.toHex(' '));
    }

    // Anybody can write a lock file: what it holds is read bounded and never trusted further.
    void lockFileBytesNameAProcessOrNone_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<qint64>("pid");
        QTest::newRow("text form") << QByteArray("      4242\n") << qint64(4242);
        QTest::newRow("Qt's form") << QByteArray("4242\nprogram\nhost\n") << qint64(4242);
        QTest::newRow("binary form") << QByteArray("\x92\x10\x00\x00", 4) << qint64(4242);
        QTest::newRow("binary form that starts with digits")
            << QByteArray("17\x00\x00", 4) << qint64(14129);
        QTest::newRow("four digits") << QByteArray("1234") << qint64(1234);
        QTest::newRow("empty") << QByteArray() << qint64(0);
        QTest::newRow("words") << QByteArray("locked by me\n") << qint64(0);
        QTest::newRow("beyond any PID") << QByteArray("99999999999999999999999\n") << qint64(0);
        QTest::newRow("negative") << QByteArray("-1\n") << qint64(0);
        QTest::newRow("binary beyond any PID") << QByteArray("\xff\xff\xff\xff", 4) << qint64(0);
    }
    void lockFileBytesNameAProcessOrNone()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(qint64, pid);
        QCOMPARE(SerialLock::pidFromLockBytes(bytes), pid);
    }

    // A new station (port 0) says what to do, on the banner once and in the tooltip, and
    // names the COM<n> links the station folder already has.
    void newStationSaysWhatToDo()
    {
        start();
        f->enableLog();
        PseudoTerminal one;
        PseudoTerminal three;
        QVERIFY(one.open(comPath(1)));
        QVERIFY(three.open(comPath(12)));
        QVERIFY(QFile::link(f->folder() + QStringLiteral("gone"), comPath(3)));
        QVERIFY(writeTextFile(f->folder() + QStringLiteral("COMMENTS"), "not a port"));
        QCOMPARE(w().state().serialPort(), QStringLiteral("0"));
        tick();
        tick();
        tick();

        QCOMPARE(status(), QStringLiteral("Error"));
        const QString hint = QLatin1String(Supervision::kFirstStartHint);
        QCOMPARE(hint, QStringLiteral("Type the number of the unit's port, then Re-Connect"));
        const QString tip = w().state().sourceStatusDetail();
        QVERIFY2(tip.contains(hint + QStringLiteral(" (in the station folder: COM1, COM3, COM12)")),
                 qPrintable(tip));
        QCOMPARE(w().state().bannerLine(0), hint);
        QCOMPARE(w().state().bannerLine(1),
                 QStringLiteral("Serial ports in the station folder: COM1, COM3, COM12"));
        QCOMPARE(countContaining(f->logLines(), QStringLiteral(" ") + hint), 2); // banner, tooltip
        QCOMPARE(f->dialogs.beeps(), 0);

        // The operator types the number: the link opens.
        w().state().setBusy(false);
        setPort(QStringLiteral("1"));
        tick();
        QCOMPARE(status(), QStringLiteral("Connected"));
        QCOMPARE(w().serial().devicePath(), comPath(1));
    }

    void tickWithTcpSelectedLeavesTheSerialPortAlone()
    {
        start();
        SimulatedUnit unit;
        QSignalSpy requests(&unit, &SimulatedUnit::requestReceived);
        QVERIFY(unit.listenSerial(comPath(1)));
        setPort(QStringLiteral("1"));
        supervision().selectLink(1);
        // The tick tells the window, whatever the link (it puts a lost tray icon back).
        QSignalSpy ticked(&w(), &Station::supervisionTicked);
        tick();
        QCOMPARE(ticked.count(), 1);
        tick();
        QCOMPARE(status(), QStringLiteral("Disconnected"));
        QVERIFY(!w().serial().isOpen());
        QVERIFY(!w().state().handshakePending());
        QTest::qWait(100);
        QCOMPARE(requests.count(), 0);
    }

    void tcpConnectSetsBothLabelsAndSelectingSerialClosesIt()
    {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        start(server.serverPort());
        w().state().setTcpAddress(QStringLiteral("127.0.0.1"));
        w().state().setSelectedLink(StationState::Link::Tcp);
        supervision().SW_COMM_Click(1);
        QVERIFY(!w().state().serialSelected());

        supervision().B_CONNECT_IP_Click();
        QCOMPARE(w().state().tcpStatus(), QStringLiteral("Disconnect"));
        QTRY_COMPARE(w().state().tcpStatus(), QStringLiteral("Connected"));
        QCOMPARE(status(), QStringLiteral("Connected"));
        QVERIFY(statusIsGreen());
        QTRY_VERIFY(server.hasPendingConnections());
        QTcpSocket *first = server.nextPendingConnection();

        // Connecting again drops the first connection before making the new one.
        supervision().B_CONNECT_IP_Click();
        QTRY_COMPARE(w().state().tcpStatus(), QStringLiteral("Connected"));
        QTRY_VERIFY(server.hasPendingConnections());
        QTcpSocket *second = server.nextPendingConnection();
        QTRY_COMPARE(first->state(), QAbstractSocket::UnconnectedState);

        w().state().setSelectedLink(StationState::Link::Serial);
        supervision().SW_COMM_Click(0);
        QVERIFY(w().tcp().isFullyClosed());
        QTRY_COMPARE(second->state(), QAbstractSocket::UnconnectedState);
    }

    void tcpConnectToAClosedPortShowsTheErrorOnTheTcpLabelOnly()
    {
        quint16 closedPort = 0;
        {
            QTcpServer probe;
            QVERIFY(probe.listen(QHostAddress::LocalHost));
            closedPort = probe.serverPort();
        }
        start(closedPort);
        supervision().setSerialStatus(LinkStatus::Error);
        w().state().setTcpAddress(QStringLiteral("127.0.0.1"));
        supervision().selectLink(1);
        supervision().B_CONNECT_IP_Click();
        QTRY_VERIFY(w().state().tcpStatus().startsWith(QStringLiteral("Error: ")));
        QVERIFY(w().state().tcpStatus().size() > 7);
        QCOMPARE(status(), QStringLiteral("Error"));
    }
};

QTEST_GUILESS_MAIN(LinkSupervisionTest)
#include "tst_link_supervision.moc"
