#include "platform/DesktopDisplay.h"

namespace {
DesktopDisplayQuery s_query = nullptr;
OwnWindowQuery s_ownWindow = nullptr;
} // namespace

void setDesktopDisplayQuery(DesktopDisplayQuery query)
{
    s_query = query;
}

DesktopDisplay desktopDisplay()
{
    if (s_query)
        return s_query();
    // No windows: the display the environment names, as any X11 client would open.
    return {QStringLiteral("none"), qgetenv("DISPLAY")};
}

void setOwnWindowQuery(OwnWindowQuery query)
{
    s_ownWindow = query;
}

bool isOwnWindow(quintptr window)
{
    return s_ownWindow && s_ownWindow(window);
}
