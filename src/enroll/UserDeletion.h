#pragma once

#include "util/UserNumber.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

class ActivityLog;
class BannerLines;
class Dialogs;
class Enrollment;
class SourceSender;
class StationState;
class TemplateStore;

// Deletes a user everywhere the station knows of: its template files, the source unit and
// every ticked target unit. The operator is asked first, and told what will go.
class UserDeletion : public QObject
{
    Q_OBJECT
public:
    UserDeletion(StationState &state, Dialogs &dialogs, ActivityLog &activityLog,
                 BannerLines &bannerLines, SourceSender &sender, Enrollment &enrollment,
                 TemplateStore &templateStore);

    // Deletes the user of the user text after the operator answered Yes.
    void B_USER_DELETE_Click();
    // The same for a deletion the operator has already confirmed (the unit user list window
    // asks before it removes the line).
    void deleteConfirmed();

    // Asks whether the user may go, naming what will be removed; logs the answer.
    bool confirmDeletion(const QString &userText);
    // "Delete user 1002 from the source unit, its 2 template files and 3 target units?"
    static QString deletionQuestion(const QString &userText, int templateFiles, int targets);

    // The "DEL" user command: removes the user's template files, then sends the delete frame
    // to the source unit and, in list order and without pauses, to every ticked target.
    // A file or a send that fails does not stop the next step.
    void deleteUser(const UserNumber &user);

signals:
    // Sends the datagram to one target unit (the address a ticked line names); a target
    // that cannot be reached fails alone.
    void targetDatagramWanted(const QString &address, const QByteArray &datagram);

private:
    void removeTemplateFiles(const UserNumber &user);
    void sendToTickedTargets(const QByteArray &message);
    QStringList tickedAddresses() const;

    StationState &m_state;
    Dialogs &m_dialogs;
    ActivityLog &m_activityLog;
    BannerLines &m_bannerLines;
    SourceSender &m_sender;
    Enrollment &m_enrollment;
    TemplateStore &m_templateStore;
};
