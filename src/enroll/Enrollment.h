#pragma once

#include "station/StationState.h"

#include <QByteArray>
#include <QObject>
#include <QString>

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

    // Sends the command "ADD", "DEL", "INIT" or "LOAD" for the user given as decimal text.
    // Does nothing for a text whose numeric value is 0 or cannot be carried in 4 bytes, or
    // that holds a character no template file name may hold (see isUsableUserText).
    // Send failures are ignored: a dead link simply gives no answer.
    void SOURCE_COMMAND(const QString &userText, const QString &command);

    void B_USER_ENROLL_Click();

    // True when the text may name template files and be sent: a whole number from 1 to
    // 4294967295 at its start, and no character that is a path separator, a drive colon,
    // a control character or a file name pattern.
    static bool isUsableUserText(const QString &userText);

signals:
    // The "DEL" command for a usable user: the user deletion removes the user everywhere.
    // (The deletion checks its user through this part, so it cannot be called from here.)
    void deleteUserWanted(const QString &userText, const QByteArray &userBytes);

private:
    void refuse(const QString &text, const QString &title, StationState::Field fieldToCorrect);

    StationState &m_state;
    Dialogs &m_dialogs;
    BannerLines &m_bannerLines;
    Waits &m_waits;
    SourceSender &m_sender;
    TemplateBackup &m_templateBackup;
};
