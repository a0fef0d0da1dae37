#pragma once

#include "station/StationState.h"
#include "util/UserNumber.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <optional>

class BannerLines;
class Dialogs;
class SourceSender;
class TemplateBackup;
class Waits;

// The operator's side of an enrollment (the user number and the enroll command, with their
// checks) and SOURCE_COMMAND, the one procedure that builds and sends every per-user
// command to the source unit.
class Enrollment : public QObject
{
    Q_OBJECT
public:
    Enrollment(StationState &state, Dialogs &dialogs, BannerLines &bannerLines, Waits &waits,
               SourceSender &sender, TemplateBackup &templateBackup);

    // True, after telling the operator why, when no command may be sent: the link is not
    // "Connected", or the user text holds no usable user number.
    bool USER_ENTRY_ERROR();
    // The same check, giving the user the text names (UserNumber::fromOperatorText) when a
    // command may be sent, nothing after the operator was told why not.
    std::optional<UserNumber> enteredUser();

    // Sends the command "ADD", "DEL" or "LOAD" for the user. Send failures are ignored: a
    // dead link simply gives no answer.
    void SOURCE_COMMAND(const UserNumber &user, const QString &command);
    // The same for a user given as text, and "INIT" (the handshake, for any text whose
    // numeric value is not 0). A text the user field refuses (UserNumber::fromOperatorText)
    // sends nothing.
    void SOURCE_COMMAND(const QString &userText, const QString &command);

    void B_USER_ENROLL_Click();

signals:
    // The "DEL" command for a usable user: the user deletion removes the user everywhere.
    // (The deletion checks its user through this part, so it cannot be called from here.)
    void deleteUserWanted(const UserNumber &user);

private:
    void refuse(const QString &text, const QString &title, StationState::Field fieldToCorrect);

    StationState &m_state;
    Dialogs &m_dialogs;
    BannerLines &m_bannerLines;
    Waits &m_waits;
    SourceSender &m_sender;
    TemplateBackup &m_templateBackup;
};
