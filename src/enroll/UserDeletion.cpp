#include "enroll/UserDeletion.h"

#include "app/F_MAIN.h"
#include "config/TargetList.h"
#include "enroll/Enrollment.h"
#include "enroll/TemplateStore.h"
#include "link/Frame.h"
#include "link/SourceSender.h"
#include "platform/Dialogs.h"
#include "sync/TemplateUpload.h"

#include <QLineEdit>
#include <QPushButton>
#include <QStringList>

UserDeletion::UserDeletion(F_MAIN &w) : w(w)
{
    connect(w.B_USER_DELETE, &QPushButton::clicked, this, &UserDeletion::B_USER_DELETE_Click);
}

namespace {

QString counted(int count, const char *singular, const char *plural)
{
    return QString::number(count) + u' ' + QLatin1String(count == 1 ? singular : plural);
}

} // namespace

QString UserDeletion::deletionQuestion(const QString &userText, int templateFiles, int targets)
{
    QStringList places{QStringLiteral("the source unit")};
    if (templateFiles > 0)
        places.append(QStringLiteral("its ") +
                      counted(templateFiles, "template file", "template files"));
    if (targets > 0)
        places.append(counted(targets, "target unit", "target units"));
    QString where = places.takeLast();
    if (!places.isEmpty())
        where = places.join(QStringLiteral(", ")) + QStringLiteral(" and ") + where;
    return QStringLiteral("Delete user ") + userText + QStringLiteral(" from ") + where +
           QLatin1Char('?');
}

bool UserDeletion::confirmDeletion(const QString &userText)
{
    const QString question = deletionQuestion(
        userText, int(w.templateStore().list(userText).size()), w.targetList().usableTickedCount());
    const bool yes =
        w.dialogs().question(question, QStringLiteral("Delete user")) == Dialogs::Answer::Yes;
    w.WRITE_LOG(question + (yes ? QStringLiteral(" Yes") : QStringLiteral(" No")));
    return yes;
}

void UserDeletion::B_USER_DELETE_Click()
{
    if (w.enrollment().USER_ENTRY_ERROR())
        return;
    if (!confirmDeletion(w.INP_USER_NUMBER->text()))
        return;
    deleteConfirmed();
}

void UserDeletion::deleteConfirmed()
{
    if (w.enrollment().USER_ENTRY_ERROR())
        return;
    const QString userText = w.INP_USER_NUMBER->text();
    w.AFF_LOG_MSG(QStringLiteral("Delete User: ") + userText, 1);
    w.AFF_LOG_MSG(QString(), 2);
    w.enrollment().SOURCE_COMMAND(userText, QStringLiteral("DEL"));
}

void UserDeletion::deleteUser(const QString &userText, const QByteArray &userBytes)
{
    w.TRELVANE_LOAD = F_MAIN::True;
    removeTemplateFiles(userText);
    const QByteArray message = Frame::deleteUser(userBytes);
    w.sender().TX_SOURCE(message);
    sendToTickedTargets(message);
}

void UserDeletion::removeTemplateFiles(const QString &userText)
{
    TemplateStore &store = w.templateStore();
    store.removeUser(userText);
    // A file that could not be removed (locked, read-only) stays; the deletion still goes to
    // the units, and the log says which file is left.
    for (const QString &name : store.list(userText))
        w.WRITE_LOG(QStringLiteral("Template file not deleted: ") + store.folder() + name);
}

void UserDeletion::sendToTickedTargets(const QByteArray &message)
{
    TemplateUpload &upload = w.templateUpload();
    for (const QString &address : w.targetList().tickedAddresses()) {
        upload.setDestination(address);
        upload.TX_UDP(message); // a target that cannot be reached fails alone
    }
}
