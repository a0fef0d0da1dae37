// Runs on a real X display with a window manager and a tray host (Xvfb, openbox, trayer):
// the icon is docked in the tray and clicked there with xdotool, as a person would.
#include "app/Startup.h"
#include "app/TrayIcon.h"
#include "config/ConfigFile.h"
#include "config/ModeSwitch.h"
#include "support/FreePort.h"
#include "support/StationFixture.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>

namespace {

QString run(const QString &program, const QStringList &args)
{
    QProcess process;
    process.start(program, args);
    process.waitForFinished(5000);
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

bool writeConfig(const QString &folder, const QByteArray &mode)
{
    QFile file(folder + QLatin1String(ConfigFile::kFileName));
    // Port 9, which names no device here: a new station's port 0 would put the first-start
    // hint on the banner, which holds the window (and the menu's modes) for a few seconds.
    const QByteArray bytes = "9\r\n" + mode + "\r\n\r\n{ENTER}\r\n\r\n\r\n\r\n\r\n\r\n\r\n";
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The window the tray host embeds for our icon: one of this program's windows (found by its
// class), small, and not the main window.
QString iconWindow(const F_MAIN &w)
{
    const QStringList ids = run(QStringLiteral("xdotool"),
                                {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                 QStringLiteral("--class"), QCoreApplication::applicationName()})
                                .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    static const QRegularExpression size(QStringLiteral("WIDTH=(\\d+)\\s+HEIGHT=(\\d+)"));
    for (const QString &id : ids) {
        if (id.toULongLong() == w.winId())
            continue;
        const auto match =
            size.match(run(QStringLiteral("xdotool"),
                           {QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), id}));
        if (match.hasMatch() && match.captured(1).toInt() <= 64 && match.captured(2).toInt() <= 64)
            return id;
    }
    return QString();
}

void clickIcon(const QString &id, int button, int times = 1)
{
    run(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QStringLiteral("--window"), id,
                                    QStringLiteral("4"), QStringLiteral("4")});
    run(QStringLiteral("xdotool"),
        {QStringLiteral("click"), QStringLiteral("--repeat"), QString::number(times),
         QStringLiteral("--delay"), QStringLiteral("30"), QString::number(button)});
}

void pressKeys(const QStringList &keys)
{
    for (const QString &key : keys) {
        run(QStringLiteral("xdotool"), {QStringLiteral("key"), key});
        QTest::qWait(50);
    }
}

// A station started with Form_Load in the given mode, its timers stopped afterwards.
struct TrayStation
{
    explicit TrayStation(const QByteArray &mode)
        : f(freeUdpPort(), 0, [](StationOptions &o) { o.serialDeviceFolder = o.programFolder; })
    {
        writeConfig(f.folder(), mode);
        f.dialogs.answerInput(QString()); // no enroll password
        loaded = f.w().startup().Form_Load();
        f.stopTimers();
    }
    F_MAIN &w() { return f.w(); }
    // The icon's window once the tray host has docked it (empty if it never does).
    QString waitForIcon()
    {
        QDeadlineTimer deadline(5000);
        QString id;
        while ((id = iconWindow(w())).isEmpty() && !deadline.hasExpired())
            QTest::qWait(50);
        return id;
    }

    // Right-clicks the icon until its menu is open: a tray host that is still docking a new
    // icon may lose the first click, and a person would simply click again.
    bool openMenu()
    {
        for (int attempt = 0; attempt < 3; ++attempt) {
            const QString icon = waitForIcon();
            if (icon.isEmpty())
                return false;
            clickIcon(icon, 3);
            if (QTest::qWaitFor([this] { return w().trayIcon().menu().isVisible(); }, 3000))
                return true;
        }
        return false;
    }

    StationFixture f;
    bool loaded = false;
};

} // namespace

class TrayTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void iconIsDockedWithTheCaptionAndTheWindowLeavesTheTaskBar();
    void clickOnTheIconRestoresTheHiddenWindow_data();
    void clickOnTheIconRestoresTheHiddenWindow();
    void rightClickOpensTheMenuAndChangesNothingElse();
    void menuShowBringsTheWindowBack();
    void enrollModeFromTheMenuAsksThePasswordAsTheWindowDoes_data();
    void enrollModeFromTheMenuAsksThePasswordAsTheWindowDoes();
    void readModeFromTheMenu();
    void modesAndQuitWaitWhileTheBannerHoldsTheWindow();
    void quitFromTheMenuAsksFirst_data();
    void quitFromTheMenuAsksFirst();
    void secondStartBringsTheRunningWindowToTheFront();
    void minimisingHidesTheWindowAndTheIconBringsItBack_data();
    void minimisingHidesTheWindowAndTheIconBringsItBack();
};

void TrayTest::initTestCase()
{
    QApplication::setQuitOnLastWindowClosed(false);
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        QSKIP("Needs an X display with a tray host (scripts/with-display).");
    // The tray host may still be taking its place right after another program of the
    // display's has ended (seen under ASan after the screen-reader test).
    QTRY_VERIFY2_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(),
                              "no tray host on this display", 15000);
}

void TrayTest::init()
{
#ifdef Q_OS_WIN
    // These cases find and click the docked icon with xdotool, an X11 program that a Windows
    // program under Wine cannot start; the others run on Windows as they are.
    static const QByteArrayList clickingTheIcon{
        "iconIsDockedWithTheCaptionAndTheWindowLeavesTheTaskBar",
        "clickOnTheIconRestoresTheHiddenWindow",
        "rightClickOpensTheMenuAndChangesNothingElse",
        "menuShowBringsTheWindowBack",
        "enrollModeFromTheMenuAsksThePasswordAsTheWindowDoes",
        "quitFromTheMenuAsksFirst",
        "minimisingHidesTheWindowAndTheIconBringsItBack"};
    if (clickingTheIcon.contains(QTest::currentTestFunction()))
        QSKIP("The icon is clicked with xdotool, which a Windows program cannot start.");
#endif
}

void TrayTest::iconIsDockedWithTheCaptionAndTheWindowLeavesTheTaskBar()
{
    TrayStation s(" 0 ");
    QVERIFY(s.loaded);
    QVERIFY(s.w().isVisible());
    QVERIFY(!s.waitForIcon().isEmpty());
    QCOMPARE(s.w().trayIcon().icon().toolTip(), QString::fromLatin1(F_MAIN::kCaption));
    QTRY_VERIFY_WITH_TIMEOUT(
        run(QStringLiteral("xprop"), {QStringLiteral("-id"), QString::number(s.w().winId()),
                                      QStringLiteral("_NET_WM_STATE")})
            .contains(QLatin1String("_NET_WM_STATE_SKIP_TASKBAR")),
        5000);
}

void TrayTest::clickOnTheIconRestoresTheHiddenWindow_data()
{
    QTest::addColumn<int>("clicks");
    QTest::addColumn<int>("reason"); // what the icon must have reported
    QTest::newRow("left click") << 1 << int(QSystemTrayIcon::Trigger);
    QTest::newRow("double click") << 2 << int(QSystemTrayIcon::DoubleClick);
}

void TrayTest::clickOnTheIconRestoresTheHiddenWindow()
{
    QFETCH(int, clicks);
    QFETCH(int, reason);
    TrayStation s(" 1 ");
    QVERIFY(s.loaded);
    QVERIFY(!s.w().isVisible()); // read mode starts in the tray
    const QString icon = s.waitForIcon();
    QVERIFY(!icon.isEmpty());
    QSignalSpy activated(&s.w().trayIcon().icon(), &QSystemTrayIcon::activated);

    clickIcon(icon, 1, clicks);

    QTRY_VERIFY(s.w().isVisible());
    QTRY_COMPARE(activated.size(), clicks);
    QVERIFY(
        std::any_of(activated.cbegin(), activated.cend(),
                    [reason](const QList<QVariant> &args) { return args[0].toInt() == reason; }));
    QVERIFY(!(s.w().windowState() & (Qt::WindowMinimized | Qt::WindowMaximized)));
}

void TrayTest::rightClickOpensTheMenuAndChangesNothingElse()
{
    TrayStation s(" 1 ");
    QVERIFY(!s.w().isVisible());
    const QString icon = s.waitForIcon();
    QVERIFY(!icon.isEmpty());

    clickIcon(icon, 3);

    QTRY_COMPARE(s.w().TRAY_EVENT, int(TrayIcon::kRightButtonUp));
    QTRY_VERIFY(s.w().trayIcon().menu().isVisible());
    QStringList items;
    for (const QAction *action : s.w().trayIcon().menu().actions())
        if (!action->isSeparator())
            items << action->text();
    QCOMPARE(items, (QStringList{"Show", "Enroll mode", "Read mode", "Quit"}));
    QVERIFY(s.w().trayIcon().readModeAction()->isChecked());
    QVERIFY(!s.w().trayIcon().enrollModeAction()->isChecked());
    pressKeys({QStringLiteral("Escape")});
    QTRY_VERIFY(!s.w().trayIcon().menu().isVisible());
    QTest::qWait(200);
    QVERIFY(!s.w().isVisible());
    QVERIFY(s.w().readModeSelected());
}

void TrayTest::menuShowBringsTheWindowBack()
{
    TrayStation s(" 1 ");
    QVERIFY(s.openMenu());
    pressKeys({QStringLiteral("Down"), QStringLiteral("Return")}); // the first item
    QTRY_VERIFY(s.w().isVisible());
    QVERIFY(QTest::qWaitForWindowActive(&s.w()));
    QVERIFY(s.w().readModeSelected()); // shown, nothing else
}

void TrayTest::enrollModeFromTheMenuAsksThePasswordAsTheWindowDoes_data()
{
    QTest::addColumn<QString>("stored"); // null: no password file yet
    QTest::newRow("no password yet: it is defined") << QString();
    QTest::newRow("empty password: none asked") << QString("");
    QTest::newRow("password: typed in the window") << QString("Secret");
}

void TrayTest::enrollModeFromTheMenuAsksThePasswordAsTheWindowDoes()
{
    QFETCH(QString, stored);
    TrayStation s(" 1 ");
    QVERIFY(s.loaded);
    QFile::remove(s.w().modeSwitch().passwordFilePath());
    if (!stored.isNull())
        QVERIFY(s.w().modeSwitch().writePassword(stored));
    s.f.dialogs.clear();

    if (stored.isNull())
        s.f.dialogs.answerInput(QStringLiteral("")); // "Define the Password": just OK
    QVERIFY(s.openMenu());
    pressKeys({QStringLiteral("Down"), QStringLiteral("Down"), QStringLiteral("Return")});

    QTRY_VERIFY(s.w().isVisible());
    if (stored.isEmpty()) {
        QTRY_VERIFY(!s.w().readModeSelected());
        QVERIFY(s.w().FR_PASSWORD->isHidden());
        QVERIFY(QFile::exists(s.w().modeSwitch().passwordFilePath()));
        return;
    }
    // Not without the password: read mode, the password box waiting in the window.
    QVERIFY(s.w().readModeSelected());
    QVERIFY(s.w().FR_PASSWORD->isVisible());
    QVERIFY(QTest::qWaitForWindowActive(&s.w()));
    QTRY_VERIFY(s.w().INP_PASSWORD->hasFocus());
    run(QStringLiteral("xdotool"), {QStringLiteral("type"), QStringLiteral("secret")});
    pressKeys({QStringLiteral("Return")});
    QTRY_VERIFY(!s.w().readModeSelected());
    QVERIFY(s.w().FR_PASSWORD->isHidden());
}

void TrayTest::readModeFromTheMenu()
{
    TrayStation s(" 0 ");
    QVERIFY(!s.w().readModeSelected());
    s.w().trayIcon().updateMenu();
    QVERIFY(s.w().trayIcon().enrollModeAction()->isChecked());
    s.w().trayIcon().readModeAction()->trigger();
    QVERIFY(s.w().readModeSelected());
    QVERIFY(s.w().FR_READ_MODE->isVisible());
    s.w().trayIcon().updateMenu();
    QVERIFY(s.w().trayIcon().readModeAction()->isChecked());
}

void TrayTest::modesAndQuitWaitWhileTheBannerHoldsTheWindow()
{
    TrayStation s(" 0 ");
    s.w().AFF_LOG_MSG(QStringLiteral("Place your finger on sensor and wait ..."), 1);
    QVERIFY(!s.w().isEnabled());
    TrayIcon &tray = s.w().trayIcon();
    tray.updateMenu();
    QVERIFY(tray.showAction()->isEnabled());
    QVERIFY(!tray.readModeAction()->isEnabled());
    QVERIFY(!tray.quitAction()->isEnabled());
    tray.readModeAction()->trigger();
    tray.quitAction()->trigger();
    QVERIFY(!s.w().readModeSelected());
    QCOMPARE(s.f.dialogs.pendingAnswers(), 0);
    QVERIFY(s.f.dialogs.shown().isEmpty() ||
            !s.f.dialogs.shown().last().title.startsWith(QLatin1String("Are you sure")));
}

void TrayTest::quitFromTheMenuAsksFirst_data()
{
    QTest::addColumn<bool>("yes");
    QTest::newRow("No keeps the station") << false;
    QTest::newRow("Yes ends it") << true;
}

void TrayTest::quitFromTheMenuAsksFirst()
{
    QFETCH(bool, yes);
    TrayStation s(" 1 "); // hidden in the tray
    QVERIFY(!s.w().isVisible());
    const QString icon = s.waitForIcon();
    QVERIFY(!icon.isEmpty());
    s.f.dialogs.clear();
    s.f.dialogs.answerMessage(yes ? Dialogs::Answer::Yes : Dialogs::Answer::No);

    s.w().trayIcon().updateMenu();
    s.w().trayIcon().quitAction()->trigger();

    QCOMPARE(s.f.dialogs.pendingAnswers(), 0);
    QCOMPARE(s.f.dialogs.shown().size(), 1);
    QCOMPARE(s.f.dialogs.shown().first().title, QStringLiteral("Are you sure ..."));
    QCOMPARE(s.w().trayIcon().isShown(), !yes);
}

void TrayTest::secondStartBringsTheRunningWindowToTheFront()
{
    TrayStation s(" 1 "); // hidden in the tray
    QVERIFY(s.loaded);
    QVERIFY(!s.w().isVisible());
    QProcess second;
    second.start(QStringLiteral(STATION_HELPER), {s.f.folder(), QString::number(freeUdpPort())});
    QVERIFY(second.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(s.w().isVisible(), 10000);
    QVERIFY(QTest::qWaitForWindowActive(&s.w()));
    // Its box shown (and answered), the second start ends by itself.
    QVERIFY(QTest::qWaitFor([&] { return second.state() == QProcess::NotRunning; }, 10000));
    const QString output = QString::fromLocal8Bit(second.readAllStandardOutput());
    QVERIFY2(output.contains(QLatin1String("Error: Software already open in your system tray")),
             qPrintable(output));
    QVERIFY2(output.contains(QLatin1String("Form_Load: false")), qPrintable(output));
}

void TrayTest::minimisingHidesTheWindowAndTheIconBringsItBack_data()
{
    QTest::addColumn<bool>("byWindowManager");
    QTest::newRow("minimise button of the window manager") << true;
    QTest::newRow("minimised in code") << false;
}

void TrayTest::minimisingHidesTheWindowAndTheIconBringsItBack()
{
    QFETCH(bool, byWindowManager);
    TrayStation s(" 0 ");
    QVERIFY(QTest::qWaitForWindowExposed(&s.w()));
    const QString icon = s.waitForIcon();
    QVERIFY(!icon.isEmpty());

    if (byWindowManager)
        run(QStringLiteral("xdotool"),
            {QStringLiteral("windowminimize"), QString::number(s.w().winId())});
    else
        s.w().showMinimized();

    QTRY_VERIFY(!s.w().isVisible());
    // The window manager may report the minimised state once more after the window has
    // gone; it is put back to normal again.
    QTRY_VERIFY(!(s.w().windowState() & Qt::WindowMinimized));
    clickIcon(icon, 1);
    QTRY_VERIFY(s.w().isVisible());
    QVERIFY(QTest::qWaitForWindowExposed(&s.w()));
    QVERIFY(!(s.w().windowState() & Qt::WindowMinimized));
}

QTEST_MAIN(TrayTest)
#include "tst_tray.moc"
