#include "app/DesktopOfTheWindows.h"

#include "platform/DesktopDisplay.h"

#include <QGuiApplication>
#include <QWindow>

#include <algorithm>

#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
#include <QtGui/qguiapplication_platform.h>
#include <X11/Xlib.h>
#endif

namespace {

// Typing into other programs goes to the desktop the window is on.
DesktopDisplay desktopOfTheWindows()
{
    DesktopDisplay desktop{QGuiApplication::platformName(), {}};
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    auto *native =
        qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (Display *display = native ? native->display() : nullptr)
        desktop.displayName = DisplayString(display);
#endif
    return desktop;
}

bool isWindowOfTheProgram(quintptr focus)
{
    // Only windows the system already knows have an id; asking others for one would create
    // them.
    const QWindowList windows = QGuiApplication::topLevelWindows();
    return std::any_of(windows.cbegin(), windows.cend(), [focus](const QWindow *window) {
        return window->handle() && window->winId() == focus;
    });
}

} // namespace

void installDesktopQueries()
{
    setDesktopDisplayQuery(&desktopOfTheWindows);
    setOwnWindowQuery(&isWindowOfTheProgram);
}
