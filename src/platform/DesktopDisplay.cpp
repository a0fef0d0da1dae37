#include "platform/DesktopDisplay.h"

namespace {
DesktopDisplayQuery s_query = nullptr;
}

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
