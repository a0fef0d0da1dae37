#include "diag/PingTest.h"

#include "app/F_MAIN.h"
#include "config/TargetList.h"
#include "diag/PingScript.h"
#include "enroll/TemplateBackup.h"
#include "platform/Dialogs.h"
#include "platform/ScriptLauncher.h"

#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSaveFile>

PingTest::PingTest(F_MAIN &w) : w(w)
{
    connect(w.B_PING, &QPushButton::clicked, this, &PingTest::B_PING_Click);
    connect(w.B_LOAD_TST, &QPushButton::clicked, this, &PingTest::B_LOAD_TST_Click);
}

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
    QString error;
    if (!writeScript(path, error)) {
        w.WRITE_LOG(QStringLiteral("Ping test: ") + error);
        w.dialogs().messageBox(error + QStringLiteral("\r\nCheck that the configuration folder is "
                                                      "writable."),
                               QStringLiteral("Ping test"), Dialogs::Icon::Exclamation);
        return;
    }
    QCoreApplication::processEvents();
    if (!w.scriptLauncher().startInConsole(path, error)) {
        w.WRITE_LOG(QStringLiteral("Ping test not started: ") + error);
        w.dialogs().messageBox(error + QStringLiteral("\r\nThe script is in ") + path,
                               QStringLiteral("Ping test"), Dialogs::Icon::Exclamation);
    }
}

bool PingTest::writeScript(const QString &path, QString &error)
{
    QList<PingScript::Entry> entries;
    for (int i = 0; i < w.LST_IP->count(); ++i) {
        const QListWidgetItem *item = w.LST_IP->item(i);
        entries.append({item->text(), item->checkState() == Qt::Checked});
    }
    const QByteArray script = PingScript::script(entries);
    // The old script is replaced whole, never appended to.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) ||
        file.write(script) != script.size() || !file.commit()) {
        error = QStringLiteral("Cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ExeOwner);
    return true;
}

void PingTest::B_LOAD_TST_Click()
{
    const QString user =
        w.dialogs().inputBox(QStringLiteral("User number"), QStringLiteral("User number"));
    w.templateBackup().backup(user);
}
