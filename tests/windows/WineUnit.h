#pragma once

// The Linux simulated unit the Windows lane starts for a test (tests/windows/with-unit): the
// Wine COM port it listens on, and its console.

#include <QByteArray>
#include <QFile>
#include <QString>

// The unit's COM port ("COM7"), or empty when the test runs without the unit.
inline QString unitPort()
{
    return qEnvironmentVariable("TRELVANE_UNIT_COM");
}

// Passes a console command to the simulated unit.
inline bool tellUnit(const QByteArray &command)
{
    QFile console(qEnvironmentVariable("TRELVANE_UNIT_CONSOLE"));
    return console.open(QIODevice::WriteOnly | QIODevice::Append) &&
           console.write(command + '\n') == command.size() + 1;
}
