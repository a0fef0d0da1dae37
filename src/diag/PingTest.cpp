#include "diag/PingTest.h"

#include "config/TargetEntry.h"
#include "diag/PingScript.h"
#include "enroll/TemplateBackup.h"
#include "log/ActivityLog.h"
#include "platform/Dialogs.h"
#include "platform/SafeFile.h"
#include "platform/ScriptLauncher.h"
#include "station/StationState.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>

PingTest::PingTest(StationState &state, Dialogs &dialogs, ActivityLog &log,
                   TemplateBackup &templateBackup, LauncherSource launcher)
    : m_state(state), m_dialogs(dialogs), m_log(log), m_templateBackup(templateBackup),
      m_launcher(std::move(launcher))
{}

PingTest::~PingTest() = default;

QString PingTest::scriptPath() const
{
    return m_state.configFolder() + QString::fromLatin1(PingScript::kFileName);
}

void PingTest::B_PING_Click()
{
    const int row = m_state.currentTarget();
    if (row < 0 || row >= m_state.targets().size())
        return;
    m_state.setTcpAddress(TargetEntry::addressOf(m_state.targets().at(row).line));
    const QString path = scriptPath();
    const QByteArray script = scriptText();
    QString error;
    if (!writeScript(path, script, error)) {
        m_log.WRITE_LOG(QStringLiteral("Ping test: ") + error);
        m_dialogs.messageBox(error + QStringLiteral("\r\nCheck that the configuration folder is "
                                                    "writable and that nothing else has "
                                                    "taken the script's name."),
                             QStringLiteral("Ping test"), Dialogs::Icon::Exclamation);
        return;
    }
    QCoreApplication::processEvents();
    const QString running = privateCopy(script, error);
    if (running.isEmpty()) {
        m_log.WRITE_LOG(QStringLiteral("Ping test not started: ") + error);
        m_dialogs.messageBox(error, QStringLiteral("Ping test"), Dialogs::Icon::Exclamation);
        return;
    }
    if (!m_launcher().startInConsole(running, error)) {
        m_log.WRITE_LOG(QStringLiteral("Ping test not started: ") + error);
        m_dialogs.messageBox(error + QStringLiteral("\r\nThe script is in ") + path,
                             QStringLiteral("Ping test"), Dialogs::Icon::Exclamation);
    }
}

QByteArray PingTest::scriptText() const
{
    QList<PingScript::Entry> entries;
    for (const TargetUnit &target : m_state.targets())
        entries.append({target.line, target.ticked});
    return PingScript::script(entries);
}

bool PingTest::writeScript(const QString &path, const QByteArray &script, QString &error)
{
    // The old script is replaced whole, never appended to, and never written through a link
    // planted at its name.
    const SafeFile::Result result = SafeFile::replace(path, script);
    if (!result.ok)
        error = QStringLiteral("Cannot write %1: %2").arg(path, result.reason);
    return result.ok;
}

QString PingTest::privateCopy(const QByteArray &script, QString &error)
{
    // The folder's script can be changed by every member of the group between the write and
    // the start. What runs is the same text in a fresh folder that only this account can
    // enter (created exclusively, mode 0700); it is kept until the next test, or until the
    // station closes, so that the console can still read it.
#ifdef Q_OS_WIN
    const QString base = QDir::tempPath(); // the account's own, under its profile
#else
    QString base = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (base.isEmpty())
        base = QDir::tempPath(); // the new folder is still 0700 and made exclusively
#endif
    auto folder = std::make_unique<QTemporaryDir>(base + QStringLiteral("/trelvane-ping-XXXXXX"));
    if (!folder->isValid()) {
        error = QStringLiteral("Cannot make a private folder for the ping script in %1: %2")
                    .arg(base, folder->errorString());
        return QString();
    }
    const QString path = folder->filePath(QString::fromLatin1(PingScript::kFileName));
    const SafeFile::Result result = SafeFile::replace(path, script, SafeFile::kPrivateMode);
    if (!result.ok) {
        error = QStringLiteral("Cannot write %1: %2").arg(path, result.reason);
        return QString();
    }
    m_privateFolder = std::move(folder);
    return path;
}

void PingTest::B_LOAD_TST_Click()
{
    const QString user =
        m_dialogs.inputBox(QStringLiteral("User number"), QStringLiteral("User number"));
    m_templateBackup.backup(user);
}
