#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class ActivityLog;
class Dialogs;
class QTemporaryDir;
class ScriptLauncher;
class StationState;
class TemplateBackup;

// The ping test of the ticked target units ("Test"): writes OMBRIX_PING.BAT in the
// configuration folder and starts a private copy of it in a console window, without waiting
// for it. Also the hidden test command "Load", which backs up a typed user.
class PingTest : public QObject
{
    Q_OBJECT
public:
    // The launcher is asked for at each start: tests put their own in place after the
    // station is built.
    using LauncherSource = std::function<ScriptLauncher &()>;

    PingTest(StationState &state, Dialogs &dialogs, ActivityLog &log,
             TemplateBackup &templateBackup, LauncherSource launcher);
    ~PingTest() override;

    void B_PING_Click();
    void B_LOAD_TST_Click();

    QString scriptPath() const;

private:
    QByteArray scriptText() const;
    bool writeScript(const QString &path, const QByteArray &script, QString &error);
    // The path of a copy of the script that no other account can change, or empty (error
    // says why).
    QString privateCopy(const QByteArray &script, QString &error);

    StationState &m_state;
    Dialogs &m_dialogs;
    ActivityLog &m_log;
    TemplateBackup &m_templateBackup;
    LauncherSource m_launcher;
    std::unique_ptr<QTemporaryDir> m_privateFolder; // of the last script started
};
