#include "station/SingleInstance.h"
#include "app/Startup.h"
#include "app/TrayIcon.h"
#include "config/ConfigFile.h"
#include "config/ModeSwitch.h"
#include "link/Frame.h"
#include "link/SerialLink.h"
#include "support/FreePort.h"
#include "support/StationFixture.h"
#include "unit-sim/SimulatedUnit.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

#include <csignal>

namespace {

bool writeConfig(const QString &folder, const QByteArray &port, const QByteArray &mode)
{
    QFile file(folder + QLatin1String(ConfigFile::kFileName));
    const QByteArray bytes = port + "\r\n" + mode + "\r\n\r\n{ENTER}\r\n\r\n\r\n\r\n\r\n\r\n\r\n";
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A station program of its own, started on a folder; its output is read line by line.
class StationProcess
{
public:
    explicit StationProcess(const QString &folder)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        m_process.setProcessEnvironment(env);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral(STATION_HELPER), {folder, QString::number(freeUdpPort())});
    }
    ~StationProcess()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }

    // Waits for the line "Form_Load: ..." and returns everything printed up to it.
    QString waitForLoad(int timeoutMs = 15000)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (!m_output.contains(QLatin1String("Form_Load: ")) && !deadline.hasExpired()) {
            m_process.waitForReadyRead(100);
            m_output += QString::fromUtf8(m_process.readAllStandardOutput());
        }
        return m_output;
    }
    bool isRunning() const { return m_process.state() == QProcess::Running; }
    bool finishes(int timeoutMs = 10000) { return m_process.waitForFinished(timeoutMs); }
    void killHard()
    {
        ::kill(pid_t(m_process.processId()), SIGKILL);
        m_process.waitForFinished(); // reaped: its process id is gone
    }

private:
    QProcess m_process;
    QString m_output;
};

} // namespace

class StartupTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void formLoadOpensTheUnitOnCom1AndHandshakesAtOnce();
    void readModeStartsHiddenOnlyWhenThereIsATray_data();
    void readModeStartsHiddenOnlyWhenThereIsATray();
    void minimisingHidesIntoTheTrayOnlyWhenThereIsOne_data();
    void minimisingHidesIntoTheTrayOnlyWhenThereIsOne();
    void closeQuestionDecides_data();
    void closeQuestionDecides();
    void busyUdpPortIsReportedAndShowsTheWindow();
    void configurationFolderEndsWithOneSeparator_data();
    void configurationFolderEndsWithOneSeparator();
    void secondStationOnTheSameFolderEndsAfterItsErrorBox();
    void lockOfAKilledStationIsTakenOver();
};

void StartupTest::formLoadOpensTheUnitOnCom1AndHandshakesAtOnce()
{
    StationFixture f(freeUdpPort());
    SimulatedUnit unit;
    QVERIFY(unit.listenSerial(f.folder() + QStringLiteral("COM1")));
    QSignalSpy requests(&unit, &SimulatedUnit::requestReceived);
    QVERIFY(writeConfig(f.folder(), "1", " 0 "));
    f.dialogs.answerInput(QString()); // no enroll password
    f.w().state().setConfigFolder(QStringLiteral("CURDIR"));

    QVERIFY(f.w().startup().Form_Load());
    QVERIFY(f.w().SERIAL_RX->isActive());
    QVERIFY(f.w().TIM_SERIAL_CONNECT->isActive());
    QVERIFY(f.w().TIM_HIDE_MSG->isActive());
    f.stopTimers();

    // The first supervision tick ran inside Form_Load: port open, handshake on its way.
    QVERIFY(f.w().Serial->isOpen());
    QCOMPARE(f.w().AFF_SERIAL_STATUS->text(), QStringLiteral("Connected"));
    QTRY_VERIFY(requests.size() >= 1);
    QCOMPARE(requests[0][0].toByteArray(), Frame::handshake());

    QCOMPARE(f.w().AFF_CURDIR->text(), f.folder());
    QCOMPARE(f.w().TRELVANE_LOAD, F_MAIN::True);
    QVERIFY(f.w().isVisible());
    QVERIFY(f.w().SW_COMM[0]->isChecked());
    QCOMPARE(f.w().SW_LOG->text(), QStringLiteral("Log activity to Trelvane_09-12-2026.log"));
    QCOMPARE(f.w().height(), qRound(7050 / 1440.0 * f.w().logicalDpiY()));
    QVERIFY(f.w().SW_MODE[0]->isChecked());
    // Enroll mode is laid out; until the unit answers the handshake, the error panel stands
    // in place of the user management group.
    QVERIFY(f.w().FR_READ_MODE->isHidden());
    QVERIFY(f.w().FR_ERROR->isVisibleTo(&f.w()));
    QVERIFY(!f.w().FR_MANAGE_USR->isVisibleTo(&f.w()));
    QCOMPARE(f.dialogs.shown().size(), 1); // the password definition only
    QCOMPARE(f.dialogs.shown()[0].title, QStringLiteral("Define the Password"));

    // The tray record, filled after that tick (whose icon registration did nothing).
    const TrayIconData &tray = f.w().TRAY_ICON_DATA;
    QCOMPARE(tray.size, 88u);
    QCOMPARE(tray.id, 1u);
    QCOMPARE(tray.flags, 7u);
    QCOMPARE(tray.callbackMessage, 512u);
    QCOMPARE(
        tray.tip,
        (QString::fromLatin1(F_MAIN::kCaption) + QChar(0)).leftJustified(64, QLatin1Char(' ')));
    QVERIFY(!tray.icon.isNull());
}

void StartupTest::readModeStartsHiddenOnlyWhenThereIsATray_data()
{
    QTest::addColumn<int>("tray"); // 1 a tray, 0 none, -1 whatever this desktop has
    QTest::addColumn<bool>("hidden");
    QTest::newRow("with a tray") << 1 << true;
    QTest::newRow("without a tray") << 0 << false;
    QTest::newRow("this desktop (offscreen: no tray)") << -1 << false;
}

void StartupTest::readModeStartsHiddenOnlyWhenThereIsATray()
{
    QFETCH(int, tray);
    QFETCH(bool, hidden);
    StationFixture f(freeUdpPort());
    if (tray >= 0)
        f.w().trayIcon().setTrayAvailableOverride(tray == 1);
    else
        QVERIFY(!QSystemTrayIcon::isSystemTrayAvailable());
    QVERIFY(writeConfig(f.folder(), "0", " 1 "));
    QFile password(f.w().modeSwitch().passwordFilePath());
    QVERIFY(password.open(QIODevice::WriteOnly) && password.write("Secret\r\n") > 0);
    password.close();

    QVERIFY(f.w().startup().Form_Load());
    f.stopTimers();

    QCOMPARE(f.w().isVisible(), !hidden);
    QVERIFY(f.w().SW_MODE[1]->isChecked());
    QVERIFY(f.w().FR_READ_MODE->isVisibleTo(&f.w()));
    QVERIFY(!f.w().FR_PASSWORD->isVisibleTo(&f.w())); // the password is never asked for
    QCOMPARE(f.w().UDP_RX->state(), QAbstractSocket::BoundState);
    QCOMPARE(f.w().UDP_RX->localPort(), f.w().options().udpPort);
    QCOMPARE(f.dialogs.shown().size(), 0);
}

void StartupTest::minimisingHidesIntoTheTrayOnlyWhenThereIsOne_data()
{
    QTest::addColumn<bool>("tray");
    QTest::newRow("with a tray") << true;
    QTest::newRow("without a tray") << false;
}

void StartupTest::minimisingHidesIntoTheTrayOnlyWhenThereIsOne()
{
    QFETCH(bool, tray);
    StationFixture f(freeUdpPort());
    f.w().trayIcon().setTrayAvailableOverride(tray);
    f.w().show();

    f.w().setWindowState(Qt::WindowMinimized);

    if (tray) {
        QTRY_VERIFY(!f.w().isVisible());
        QVERIFY(!(f.w().windowState() & Qt::WindowMinimized));
        f.w().trayIcon().TRAY_CLICK();
    } else {
        QTest::qWait(50);
        QVERIFY(f.w().isVisible()); // still on the task bar, the only way back
        QVERIFY(f.w().windowState() & Qt::WindowMinimized);
        f.w().SHOW_MAIN_WINDOW();
    }
    QVERIFY(f.w().isVisible());
    QVERIFY(!(f.w().windowState() & (Qt::WindowMinimized | Qt::WindowMaximized)));
}

void StartupTest::closeQuestionDecides_data()
{
    QTest::addColumn<bool>("yes");
    QTest::newRow("No keeps everything") << false;
    QTest::newRow("Yes closes") << true;
}

void StartupTest::closeQuestionDecides()
{
    QFETCH(bool, yes);
    StationFixture f(freeUdpPort());
    QVERIFY(f.openSerialPeer(3));
    f.w().trayIcon().setTrayAvailableOverride(true);
    f.w().show();
    f.w().trayIcon().fillData();
    f.w().trayIcon().add();
    QVERIFY(f.w().trayIcon().isShown());
    f.dialogs.answerMessage(yes ? Dialogs::Answer::Yes : Dialogs::Answer::No);

    const bool closed = f.w().close();

    QCOMPARE(closed, yes);
    QCOMPARE(f.dialogs.shown().size(), 1);
    const auto &box = f.dialogs.shown()[0];
    QCOMPARE(box.text, QStringLiteral("Are you sure you want to \r\nclose this software ? "));
    QCOMPARE(box.title, QStringLiteral("Are you sure ..."));
    QCOMPARE(box.buttons, Dialogs::Buttons::YesNo);
    QCOMPARE(f.w().isVisible(), !yes);
    QCOMPARE(f.w().Serial->isOpen(), !yes);
    QCOMPARE(f.w().trayIcon().isShown(), !yes);
    // A removed icon stays removed, even for the periodic registration.
    f.w().trayIcon().add();
    QCOMPARE(f.w().trayIcon().isShown(), !yes);
}

void StartupTest::busyUdpPortIsReportedAndShowsTheWindow()
{
    QUdpSocket holder;
    QVERIFY(holder.bind(QHostAddress::AnyIPv4, 0, QAbstractSocket::DontShareAddress));
    StationFixture f(holder.localPort());

    QVERIFY(!f.w().startup().OPEN_UDP_PORT());

    QVERIFY(f.w().isVisible());
    QCOMPARE(f.dialogs.shown().size(), 1);
    const auto &box = f.dialogs.shown()[0];
    const QString head =
        QStringLiteral("ERROR: UDP PORT %1 not available !\r\n").arg(holder.localPort());
    QVERIFY2(box.text.startsWith(head) && box.text.size() > head.size(), qPrintable(box.text));
    QCOMPARE(box.title, QString());
    QCOMPARE(box.icon, Dialogs::Icon::None);
    QCOMPARE(box.buttons, Dialogs::Buttons::Ok);
    // What holds the port (this test's own socket) and what to do.
    QVERIFY2(box.text.contains(QStringLiteral("\r\nIt is held by tst_startup (process %1).\r\n")
                                   .arg(QCoreApplication::applicationPid())),
             qPrintable(box.text));
    QVERIFY2(box.text.endsWith(QStringLiteral("another program on this PC uses UDP port %1: close "
                                              "it or use read mode on one station only")
                                   .arg(holder.localPort())),
             qPrintable(box.text));

    // Once the port is free, the next attempt binds it.
    const quint16 port = holder.localPort();
    holder.close();
    QVERIFY(f.w().startup().OPEN_UDP_PORT());
    QCOMPARE(f.w().UDP_RX->localPort(), port);
}

void StartupTest::configurationFolderEndsWithOneSeparator_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("folder");
    QTest::newRow("without separator") << "/opt/trelvane"
                                       << "/opt/trelvane/";
    QTest::newRow("with separator") << "/opt/trelvane/"
                                    << "/opt/trelvane/";
    QTest::newRow("root") << "/"
                          << "/";
}

void StartupTest::configurationFolderEndsWithOneSeparator()
{
    QFETCH(QString, program);
    QFETCH(QString, folder);
    QCOMPARE(Startup::configurationFolderFor(program), folder);
}

void StartupTest::secondStationOnTheSameFolderEndsAfterItsErrorBox()
{
    QTemporaryDir dir;
    StationProcess first(dir.path());
    QVERIFY2(first.waitForLoad().contains(QLatin1String("Form_Load: true")),
             qPrintable(first.waitForLoad()));

    StationProcess second(dir.path());
    const QString output = second.waitForLoad();
    QVERIFY(second.finishes());
    QVERIFY2(output.contains(QLatin1String("Form_Load: false")), qPrintable(output));
    QVERIFY(output.contains(QLatin1String("beeps: 3\n")));
    QVERIFY(output.contains(
        QStringLiteral("box: Error: Software already open in your system tray | title: Error | "
                       "icon: %1\n")
            .arg(int(Dialogs::Icon::Critical))));
    QCOMPARE(output.count(QLatin1String("box: ")), 1);
    QVERIFY(first.isRunning()); // the first copy is not disturbed
}

void StartupTest::lockOfAKilledStationIsTakenOver()
{
    QTemporaryDir dir;
    {
        StationProcess crashed(dir.path());
        QVERIFY(crashed.waitForLoad().contains(QLatin1String("Form_Load: true")));
        crashed.killHard();
    }
    QVERIFY(QFile::exists(dir.filePath(QLatin1String(SingleInstance::kLockFileName))));

    StationProcess next(dir.path());
    const QString output = next.waitForLoad();
    QVERIFY2(output.contains(QLatin1String("Form_Load: true")), qPrintable(output));
    QVERIFY(next.isRunning());
}

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
