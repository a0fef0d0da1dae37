#pragma once

#include <QString>
#include <QStringList>

class SimulatedUnit;

// The line commands of the trelvane-unit program. Each command gives one or more output
// lines; the last one starts with "ok" or "error".
class UnitConsole
{
public:
    explicit UnitConsole(SimulatedUnit &unit) : m_unit(unit) {}

    QStringList execute(const QString &line);
    bool quitRequested() const { return m_quit; }

    static QString usage();

private:
    SimulatedUnit &m_unit;
    bool m_quit = false;
};
