#include "platform/ScriptLauncher.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>

bool SystemScriptLauncher::startInConsole(const QString &scriptPath, QString &error)
{
#ifdef Q_OS_WIN
    // "start" opens a new console window with the focus; the empty text is its title.
    if (QProcess::startDetached(QStringLiteral("cmd.exe"),
                                {QStringLiteral("/c"), QStringLiteral("start"), QString(),
                                 QDir::toNativeSeparators(scriptPath)}))
        return true;
    error = QStringLiteral("cmd.exe could not be started");
    return false;
#else
    for (const QString &terminal :
         {QStringLiteral("x-terminal-emulator"), QStringLiteral("xterm")}) {
        const QString program = QStandardPaths::findExecutable(terminal);
        if (program.isEmpty())
            continue;
        if (QProcess::startDetached(program,
                                    {QStringLiteral("-e"), QStringLiteral("sh"), scriptPath}))
            return true;
    }
    error = QStringLiteral("No terminal window could be started (neither x-terminal-emulator "
                           "nor xterm is installed)");
    return false;
#endif
}
