#pragma once

#include <QString>

// The device behind serial port number n. On Windows it is COM<n>. Elsewhere it is the file
// COM<n> in the configuration folder when there is one (normally a symbolic link to a
// /dev/serial/by-id/... name, /dev/ttyUSB0, or a simulated unit's pseudo-terminal), and
// /dev/ttyS<n-1> otherwise. Returns an empty text for a number that names no port (below 1).
QString serialDevicePath(int portNumber, const QString &configFolder);
