#include "enroll/UserDeletion.h"

#include "enroll/Enrollment.h"
#include "enroll/TemplateStore.h"
#include "link/Frame.h"
#include "link/SourceSender.h"
#include "log/ActivityLog.h"
#include "log/BannerLines.h"
#include "platform/Dialogs.h"
#include "station/StationState.h"

UserDeletion::UserDeletion(StationState &state, Dialogs &dialogs, ActivityLog &activityLog,
                           BannerLines &bannerLines, SourceSender &sender, Enrollment &enrollment,
                           TemplateStore &templateStore)
    : m_state(state), m_dialogs(dialogs), m_activityLog(activityLog), m_bannerLines(bannerLines),
      m_sender(sender), m_enrollment(enrollment), m_templateStore(templateStore)
{}

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
    const QString question = deletionQuestion(userText, int(m_templateStore.list(userText).size()),
                                              int(m_state.usableTickedAddresses().size()));
    const bool yes =
        m_dialogs.question(question, QStringLiteral("Delete user")) == Dialogs::Answer::Yes;
    m_activityLog.WRITE_LOG(question + (yes ? QStringLiteral(" Yes") : QStringLiteral(" No")));
    return yes;
}

void UserDeletion::B_USER_DELETE_Click()
{
    const std::optional<UserNumber> user = m_enrollment.enteredUser();
    if (!user || !confirmDeletion(user->text()))
        return;
    deleteConfirmed();
}

void UserDeletion::deleteConfirmed()
{
    // Checked again: the field may have changed while the question was open.
    const std::optional<UserNumber> user = m_enrollment.enteredUser();
    if (!user)
        return;
    m_bannerLines.AFF_LOG_MSG(QStringLiteral("Delete User: ") + user->text(), 1);
    m_bannerLines.AFF_LOG_MSG(QString(), 2);
    m_enrollment.SOURCE_COMMAND(*user, QStringLiteral("DEL"));
}

void UserDeletion::deleteUser(const UserNumber &user)
{
    m_state.TRELVANE_LOAD = StationState::True;
    removeTemplateFiles(user);
    const QByteArray message = Frame::deleteUser(user.bytes());
    m_sender.TX_SOURCE(message);
    sendToTickedTargets(message);
}

void UserDeletion::removeTemplateFiles(const UserNumber &user)
{
    m_templateStore.removeUser(user.text());
    // A file that could not be removed (locked, read-only) stays; the deletion still goes to
    // the units, and the log says which file is left.
    for (const QString &name : m_templateStore.list(user.text()))
        m_activityLog.WRITE_LOG(QStringLiteral("Template file not deleted: ") +
                                m_templateStore.folder() + name);
}

void UserDeletion::sendToTickedTargets(const QByteArray &message)
{
    for (const QString &address : tickedAddresses())
        emit targetDatagramWanted(address, message);
}

QStringList UserDeletion::tickedAddresses() const
{
    return m_state.usableTickedAddresses([this](const QString &problem) {
        m_activityLog.WRITE_LOG(QStringLiteral("Target unit skipped: ") + problem);
    });
}
