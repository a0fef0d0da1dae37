#include "app/Startup.h"

#include "app/F_MAIN.h"
#include "station/SingleInstance.h"
#include "app/TrayIcon.h"
#include "config/ConfigFile.h"
#include "config/ModeSwitch.h"
#include "link/Banner.h"
#include "link/SerialLink.h"
#include "link/Supervision.h"
#include "platform/Dialogs.h"

#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QThread>
#include <QTimer>
#include <QUdpSocket>

namespace {

constexpr double kTwipsPerInch = 1440.0;

} // namespace

Startup::Startup(F_MAIN &w) : w(w) {}

Startup::~Startup() = default;

QString Startup::configurationFolderFor(const QString &programFolder)
{
    return ConfigFile::withTrailingSeparator(programFolder);
}

bool Startup::isAnotherInstanceRunning(const QString &folder)
{
    if (!m_instance)
        m_instance = std::make_unique<SingleInstance>(folder);
    return !m_instance->acquire();
}

bool Startup::Form_Load()
{
    const QString folder = configurationFolderFor(w.options().programFolder);
    if (isAnotherInstanceRunning(folder)) {
        // The running copy comes to the front too, so the operator sees where it is.
        m_instance->askRunningCopyToShow();
        w.dialogs().beep(3);
        w.dialogs().messageBox(QStringLiteral("Error: Software already open in your system tray"),
                               QStringLiteral("Error"), Dialogs::Icon::Critical);
        return false;
    }
    if (m_instance && m_instance->isHeld() && m_instance->listen())
        QObject::connect(m_instance.get(), &SingleInstance::showRequested, &w,
                         [this] { w.trayIcon().TRAY_CLICK(); });
    // The timers run from here on. Not before the instance check: a second copy must not
    // touch the serial port of the first while its error box is open.
    startTimers();

    w.state().setConfigFolder(folder);
    // FR_TCP already sits under FR_COMM in the layout.
    w.supervision().selectLink(0);
    w.TRELVANE_LOAD = F_MAIN::True; // before anything lets events run: the poll dispatches
    placeOverlays();
    setStartHeight();
    w.banner().TIM_HIDE_MSG_Timer();
    w.configFile().LOAD_CFG();
    w.show();
    w.state().setStarted(true);
    w.INP_PASSWORD->setFocus();
    w.supervision().TIM_SERIAL_CONNECT_Timer();
    w.trayIcon().fillData();
    w.trayIcon().add();
    w.trayIcon().hideTaskbarEntry();
    // Read mode starts in the tray, when there is one to come back from.
    if (w.readModeSelected() && w.trayIcon().trayAvailable())
        w.hide();
    w.modeSwitch().SW_MODE_Click(0);
    return true;
}

void Startup::startTimers()
{
    for (QTimer *timer : {w.SERIAL_RX, w.TIM_SERIAL_CONNECT, w.TIM_HIDE_MSG})
        timer->start();
}

void Startup::placeOverlays()
{
    // The overlays share their grid cell with the frame they cover; on top, they hide it
    // whenever they are shown.
    w.FR_MSG->raise();
    w.FR_ERROR->raise();
    w.FR_READ_MODE->raise();
}

void Startup::setStartHeight()
{
    const int height = qRound(kWindowHeightTwips / kTwipsPerInch * w.logicalDpiY());
    w.resize(w.sizeHint().width(), height);
}

void Startup::Form_Resize()
{
    if (!(w.windowState() & Qt::WindowMinimized))
        return;
    // Minimising hides the window into the tray. Without a tray nothing could bring it
    // back, so it stays minimised on the task bar.
    if (!w.trayIcon().trayAvailable())
        return;
    // Hidden once the state change has been handled to its end: a minimise asked for in
    // code (showMinimized) shows the window again right after announcing the new state.
    QTimer::singleShot(0, this, [this] {
        if (!(w.windowState() & Qt::WindowMinimized))
            return;
        w.hide();
        w.setWindowState(w.windowState() & ~Qt::WindowMinimized);
    });
}

bool Startup::Form_Unload()
{
    if (w.dialogs().messageBox(
            QStringLiteral("Are you sure you want to \r\nclose this software ? "),
            QStringLiteral("Are you sure ..."), Dialogs::Icon::None,
            Dialogs::Buttons::YesNo) != Dialogs::Answer::Yes)
        return false;
    w.Serial->close();
    w.trayIcon().remove();
    // The window closes and the program ends: the application keeps running while the
    // window is only hidden in the tray, so it is told to end here. Only the program's own
    // loop is ended; with none running (a caller without one) there is nothing to end.
    if (QThread::currentThread()->loopLevel() > 0)
        QCoreApplication::exit(0);
    return true;
}

void Startup::SHOW_MAIN_WINDOW()
{
    w.show();
    w.setWindowState(w.windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
    // Shown again, the window gets a task-bar entry from some desktops; the tray is its way
    // back, as after a click on the icon.
    w.trayIcon().hideTaskbarEntry();
}

bool Startup::OPEN_UDP_PORT()
{
    return w.station().OPEN_UDP_PORT();
}
