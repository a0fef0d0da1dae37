#pragma once

#include <QString>
#include <QStringList>

// The names behind serial port number n, in the order the station tries them. On Windows
// the port is COM<n> itself. Elsewhere the station folder may hold a file COM<n> (normally
// a symbolic link to a /dev/serial/by-id/... name, /dev/ttyUSB0, or a simulated unit's
// pseudo-terminal); without one, the system's own device /dev/ttyS<n-1> stands in for it.
struct SerialDeviceNames
{
    QString link;     // COM<n> in the station folder; empty on Windows
    QString fallback; // the system's device for the number

    // The link when the folder has one (a dangling link too: it still names the port the
    // operator chose), else the fallback.
    QString chosen() const;
    bool hasLink() const;
};

// Where the system's serial devices live: "/dev/" (tests give a folder of their own).
QString defaultSerialDeviceFolder();

// Nothing (both names empty) for a number that names no port (below 1).
SerialDeviceNames serialDeviceNames(int portNumber, const QString &configFolder,
                                    const QString &deviceFolder = defaultSerialDeviceFolder());

// The device the station opens for port number n: serialDeviceNames(...).chosen().
QString serialDevicePath(int portNumber, const QString &configFolder,
                         const QString &deviceFolder = defaultSerialDeviceFolder());

// The COM<n> links in the station folder that name a port number, in number order
// ("COM1", "COM3"); empty on Windows. At most maxNames are listed.
QStringList serialLinksIn(const QString &configFolder, int maxNames = 8);
