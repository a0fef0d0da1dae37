#include "enroll/Enrollment.h"

#include "enroll/TemplateBackup.h"
#include "link/Frame.h"
#include "link/SourceSender.h"
#include "log/BannerLines.h"
#include "log/Waits.h"
#include "platform/Dialogs.h"
#include "util/NumericValue.h"

Enrollment::Enrollment(StationState &state, Dialogs &dialogs, BannerLines &bannerLines,
                       Waits &waits, SourceSender &sender, TemplateBackup &templateBackup)
    : m_state(state), m_dialogs(dialogs), m_bannerLines(bannerLines), m_waits(waits),
      m_sender(sender), m_templateBackup(templateBackup)
{}

bool Enrollment::USER_ENTRY_ERROR()
{
    return !enteredUser();
}

std::optional<UserNumber> Enrollment::enteredUser()
{
    if (!m_state.sourceUp()) {
        refuse(QStringLiteral("Serial port error"), QStringLiteral("Invalid serial port number"),
               StationState::Field::SerialPort);
        return std::nullopt;
    }
    const std::optional<UserNumber> user = UserNumber::fromOperatorText(m_state.userText());
    if (!user)
        refuse(QStringLiteral("Enter a number from 1 to 4294967295"),
               QStringLiteral("Invalid user number"), StationState::Field::UserText);
    return user;
}

void Enrollment::refuse(const QString &text, const QString &title,
                        StationState::Field fieldToCorrect)
{
    m_dialogs.beep(2);
    m_dialogs.messageBox(text, title, Dialogs::Icon::Critical);
    emit m_state.focusRequested(fieldToCorrect);
}

void Enrollment::B_USER_ENROLL_Click()
{
    // Taken before the pause: what the operator types meanwhile is not this command's user.
    const std::optional<UserNumber> user = enteredUser();
    if (!user)
        return;
    m_bannerLines.AFF_LOG_MSG(QStringLiteral("Enroll User: ") + user->text(), 1);
    m_bannerLines.AFF_LOG_MSG(QString(), 2);
    m_waits.ID_PAUSE(0.2);
    SOURCE_COMMAND(*user, QStringLiteral("ADD"));
}

void Enrollment::SOURCE_COMMAND(const QString &userText, const QString &command)
{
    if (command == QLatin1String("INIT")) {
        if (numericValue(userText) != 0)
            m_sender.TX_SOURCE(Frame::handshake()); // the user bytes are not part of it
        return;
    }
    // A fractional, negative or too large number has no 4-byte form: nothing is sent for
    // it rather than a neighbouring user's number. A text that cannot name template files
    // safely is refused here too, for callers that did not check it.
    if (const std::optional<UserNumber> user = UserNumber::fromOperatorText(userText))
        SOURCE_COMMAND(*user, command);
}

void Enrollment::SOURCE_COMMAND(const UserNumber &user, const QString &command)
{
    if (command == QLatin1String("ADD")) {
        m_state.setQuality(QStringLiteral("0"));
        m_state.TRELVANE_LOAD = StationState::True;
        m_bannerLines.AFF_LOG_MSG(QStringLiteral("Place your finger on sensor and wait ..."), 1);
        m_bannerLines.AFF_LOG_MSG(QStringLiteral("User Enrollment"), 2);
        m_sender.TX_SOURCE(Frame::enroll(user.bytes()));
    } else if (command == QLatin1String("DEL")) {
        emit deleteUserWanted(user);
    } else if (command == QLatin1String("LOAD")) {
        m_templateBackup.backup(user);
    }
}
