#pragma once

#include <QByteArray>
#include <QString>

// The desktop the program's windows are on, as the windowing library knows it: typing into
// other programs must go to that same desktop. A program with windows reports it at start;
// a program without windows types on the X11 display its environment names, if any.
struct DesktopDisplay
{
    QString platformName;   // the windowing platform: "xcb", "wayland", "offscreen", ...
    QByteArray displayName; // the X11 display, empty when there is none
};

using DesktopDisplayQuery = DesktopDisplay (*)();

// Installed once by the windowing side of the program, before anything types.
void setDesktopDisplayQuery(DesktopDisplayQuery query);
DesktopDisplay desktopDisplay();

// Whether a desktop window is one of the program's own (typing into it would type into the
// station itself). Without windows, none is.
using OwnWindowQuery = bool (*)(quintptr window);
void setOwnWindowQuery(OwnWindowQuery query);
bool isOwnWindow(quintptr window);
