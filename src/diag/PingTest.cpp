#include "diag/PingTest.h"

#include "app/F_MAIN.h"
#include "config/TargetList.h"
#include "diag/PingScript.h"
#include "enroll/TemplateBackup.h"
#include "platform/Dialogs.h"
#include "platform/SafeFile.h"
#include "platform/ScriptLauncher.h"

#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>

PingTest::PingTest(F_MAIN &w) : w(w)
{
    connect(w.B_PING, &QPushButton::clicked, this, &PingTest::B_PING_Click);
    connect(w.B_LOAD_TST, &QPushButton::clicked, this, &PingTest::B_LOAD_TST_Click);
}

PingTest::~PingTest() = default;

QString PingTest::scriptPath() const
{
    return w.AFF_CURDIR->text() + QString::fromLatin1(PingScript::kFileName);
}

void PingTest::B_PING_Click()
{
    const QListWidgetItem *current = w.targetList().selectedEntry();
    if (!current)
        return;
    w.INP_IP->setText(TargetList::addressOf(current->text()));
    const QString path = scriptPath();
    const QByteArray script = scriptText();
    QString error;
    if (!writeScript(path, script, error)) {
        w.WRITE_LOG(QStringLiteral("Ping test: ") + error);
        w.dialogs().messageBox(error + QStringLiteral("\r\nCheck that the configuration folder is "
                                                      "writable and that nothing else has "
                                                      "taken the script's name."),
                               QStringLiteral("Ping test"), Dialogs::Icon::Exclamation);
        return;
    }
    QCoreApplication::processEvents();
    const QString running = privateCopy(script, error);
    if (running.isEmpty()) {
        w.WRITE_LOG(QStringLiteral("Ping test not started: ") + error);
        w.dialogs().messageBox(error, QStringLiteral("Ping test"), Dialogs::Icon::Exclamation);
        return;
    }
    if (!w.scriptLauncher().startInConsole(running, error)) {
        w.WRITE_LOG(QStringLiteral("Ping test not started: ") + error);
        w.dialogs().messageBox(error + QStringLiteral("\r\nThe script is in ") + path,
                               QStringLiteral("Ping test"), Dialogs::Icon::Exclamation);
    }
}

QByteArray PingTest::scriptText() const
{
    QList<PingScript::Entry> entries;
    for (int i = 0; i < w.LST_IP->count(); ++i) {
        const QListWidgetItem *item = w.LST_IP->item(i);
        entries.append({item->text(), item->checkState() == Qt::Checked});
    }
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
        w.dialogs().inputBox(QStringLiteral("User number"), QStringLiteral("User number"));
    w.templateBackup().backup(user);
}
