#pragma once

#include <QString>
#include <QStringList>

// Starts a command script in a new console window that the operator reads and closes; the
// station does not wait for it. Tests use ScriptedLauncher instead.
class ScriptLauncher
{
public:
    virtual ~ScriptLauncher() = default;
    // False, with the reason in error, when no console could be started.
    virtual bool startInConsole(const QString &scriptPath, QString &error) = 0;
};

// The system's console: cmd.exe on Windows; elsewhere x-terminal-emulator, else xterm,
// running the script with sh.
class SystemScriptLauncher final : public ScriptLauncher
{
public:
    bool startInConsole(const QString &scriptPath, QString &error) override;
};

// Records the scripts it is asked to start; starts nothing. setFailure() makes the next
// starts fail with that reason.
class ScriptedLauncher final : public ScriptLauncher
{
public:
    bool startInConsole(const QString &scriptPath, QString &error) override
    {
        started.append(scriptPath);
        if (failure.isEmpty())
            return true;
        error = failure;
        return false;
    }
    void setFailure(const QString &reason) { failure = reason; }

    QStringList started;
    QString failure;
};
