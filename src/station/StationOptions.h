#pragma once

#include <QString>
#include <QtGlobal>

class Clock;
class Dialogs;

// What the operating system provides, as the station's creator hands it in: the real
// services in the program, scripted ones in tests.
struct StationPlatform
{
    Clock &clock;
    Dialogs &dialogs;
};

// Where the station lives and which ports it uses. The program passes its own folder and
// the units' ports; tests pass a temporary folder and free ports.
struct StationOptions
{
    QString programFolder;
    quint16 udpPort = 10002; // target units and other stations listen here
    quint16 tcpPort = 10001; // a unit's frame protocol over TCP
    // Where the system keeps its serial devices and their lock files.
    QString serialDeviceFolder = QStringLiteral("/dev/");
    QString serialLockFolder = QStringLiteral("/run/lock/");
};
