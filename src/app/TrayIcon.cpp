#include "app/TrayIcon.h"

#include "app/F_MAIN.h"
#include "config/ModeSwitch.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QStyle>

#include <cmath>

#if defined(Q_OS_LINUX) && __has_include(<X11/Xlib.h>)
#define TRELVANE_HAVE_X11 1
// Last: Xlib defines macros (None, Bool, Status...) that would clash with names above.
#include <X11/Xlib.h>
#endif

namespace {

constexpr quint32 kRecordSize = 88;
constexpr quint32 kIconId = 1;
constexpr quint32 kFlagsMessageIconTip = 7;
constexpr quint32 kMouseMoveMessage = 512;

} // namespace

TrayIcon::TrayIcon(F_MAIN &w) : w(w)
{
    connect(&m_icon, &QSystemTrayIcon::activated, this, &TrayIcon::onActivated);
    buildMenu();
}

void TrayIcon::buildMenu()
{
    m_show = m_menu.addAction(QStringLiteral("Show"), this, &TrayIcon::TRAY_CLICK);
    m_menu.addSeparator();
    m_enrollMode =
        m_menu.addAction(QStringLiteral("Enroll mode"), this, &TrayIcon::chooseEnrollMode);
    m_readMode = m_menu.addAction(QStringLiteral("Read mode"), this, &TrayIcon::chooseReadMode);
    for (QAction *mode : {m_enrollMode, m_readMode}) {
        mode->setCheckable(true);
        m_modes.addAction(mode);
    }
    m_menu.addSeparator();
    m_quit = m_menu.addAction(QStringLiteral("Quit"), this, &TrayIcon::quit);
    connect(&m_menu, &QMenu::aboutToShow, this, &TrayIcon::updateMenu);
    m_icon.setContextMenu(&m_menu);
}

void TrayIcon::updateMenu()
{
    m_enrollMode->setChecked(!w.readModeSelected());
    m_readMode->setChecked(w.readModeSelected());
    // While the banner holds the window (an operation is under way) or a question waits for
    // an answer, the window takes no input: neither does the menu, apart from "Show".
    const bool idle = w.isEnabled() && !QApplication::activeModalWidget();
    for (QAction *action : {m_enrollMode, m_readMode, m_quit})
        action->setEnabled(idle);
}

void TrayIcon::chooseEnrollMode()
{
    // Enroll mode is entered only with the window in front, where the password is typed.
    TRAY_CLICK();
    w.modeSwitch().select(0);
    updateMenu();
}

void TrayIcon::chooseReadMode()
{
    w.modeSwitch().select(1);
    updateMenu();
}

void TrayIcon::quit()
{
    // The window's close question decides; the window may be hidden in the tray.
    w.close();
}

bool TrayIcon::isDataFilled() const
{
    return w.TRAY_ICON_DATA.size == kRecordSize;
}

QIcon TrayIcon::windowIconOrFallback() const
{
    const QIcon own = w.windowIcon();
    if (!own.isNull())
        return own;
    return QApplication::style()->standardIcon(QStyle::SP_ComputerIcon);
}

void TrayIcon::fillData()
{
    TrayIconData &data = w.TRAY_ICON_DATA;
    data.size = kRecordSize;
    data.window = w.pichook->effectiveWinId();
    data.id = kIconId;
    data.flags = kFlagsMessageIconTip;
    data.callbackMessage = kMouseMoveMessage;
    data.icon = windowIconOrFallback();
    QString tip = data.tip;
    tip.remove(QChar(0));
    if (tip.trimmed().isEmpty()) {
        // The caption read now stays the tip for the whole run.
        data.tip = (w.windowTitle() + QChar(0))
                       .leftJustified(kTipLength, QLatin1Char(' '), /*truncate=*/true);
    }
}

void TrayIcon::add()
{
    if (!isDataFilled() || m_removed)
        return;
    const TrayIconData &data = w.TRAY_ICON_DATA;
    // The supervision tick registers the icon every second: hand the tray only what changed,
    // since each new picture or tip is repainted in the tray and wakes the station up.
    if (m_icon.icon().cacheKey() != data.icon.cacheKey())
        m_icon.setIcon(data.icon);
    const QString tip = data.tip.section(QChar(0), 0, 0);
    if (m_icon.toolTip() != tip)
        m_icon.setToolTip(tip);
    if (!m_icon.isVisible())
        m_icon.show();
}

void TrayIcon::remove()
{
    m_removed = true;
    m_icon.hide();
}

void TrayIcon::onActivated(QSystemTrayIcon::ActivationReason reason)
{
    pichook_MouseMove(0, 0, mouseMessageFor(reason) * twipsPerPixelX(), 0);
}

qint32 TrayIcon::mouseMessageFor(QSystemTrayIcon::ActivationReason reason)
{
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        return kLeftButtonDown;
    case QSystemTrayIcon::DoubleClick:
        return kLeftButtonDoubleClick;
    case QSystemTrayIcon::Context:
        return kRightButtonUp;
    case QSystemTrayIcon::MiddleClick:
        return kMiddleButtonDown;
    case QSystemTrayIcon::Unknown:
        break;
    }
    return qint32(kMouseMoveMessage);
}

double TrayIcon::twipsPerPixelX()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInchX() : 96.0;
    return 1440.0 / (dpi > 0 ? dpi : 96.0);
}

void TrayIcon::pichook_MouseMove(int /*Button*/, int /*Shift*/, double X, double /*Y*/)
{
    w.TRAY_EVENT = qint32(std::lround(X / twipsPerPixelX()));
    if (w.TRAY_EVENT == kLeftButtonDown || w.TRAY_EVENT == kLeftButtonDoubleClick)
        TRAY_CLICK();
}

void TrayIcon::TRAY_CLICK()
{
    w.show();
    w.setWindowState(w.windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
    w.raise();
    w.activateWindow();
    hideTaskbarEntry();
}

bool TrayIcon::trayAvailable() const
{
    return m_availableOverride.value_or(QSystemTrayIcon::isSystemTrayAvailable());
}

void TrayIcon::hideTaskbarEntry()
{
    if (!trayAvailable() || !w.isVisible())
        return;
#ifdef TRELVANE_HAVE_X11
    // Ask the window manager to add the "skip task bar" state to the shown window.
    auto *x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    Display *display = x11 ? x11->display() : nullptr;
    if (!display)
        return;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = static_cast<Window>(w.winId());
    event.xclient.message_type = XInternAtom(display, "_NET_WM_STATE", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = 1; // add
    event.xclient.data.l[1] =
        static_cast<long>(XInternAtom(display, "_NET_WM_STATE_SKIP_TASKBAR", False));
    event.xclient.data.l[3] = 1; // sent by a normal application
    XSendEvent(display, DefaultRootWindow(display), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XFlush(display);
#endif
}
