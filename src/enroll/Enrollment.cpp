#include "enroll/Enrollment.h"

#include "enroll/TemplateBackup.h"
#include "link/Frame.h"
#include "link/SourceSender.h"
#include "log/BannerLines.h"
#include "log/Waits.h"
#include "platform/Dialogs.h"
#include "util/NumericValue.h"
#include "util/TextNumber.h"

namespace {

// The user text becomes part of template file names: a separator or drive colon would
// reach outside the templates folder, and a pattern character would make a listing or a
// deletion match other users' files on systems that expand it.
bool hasForbiddenCharacter(const QString &userText)
{
    for (const QChar c : userText) {
        if (c.category() == QChar::Other_Control)
            return true;
        switch (c.unicode()) {
        case u'/':
        case u'\\':
        case u':':
        case u'*':
        case u'?':
        case u'[':
        case u']':
            return true;
        default:
            break;
        }
    }
    return false;
}

} // namespace

Enrollment::Enrollment(StationState &state, Dialogs &dialogs, BannerLines &bannerLines,
                       Waits &waits, SourceSender &sender, TemplateBackup &templateBackup)
    : m_state(state), m_dialogs(dialogs), m_bannerLines(bannerLines), m_waits(waits),
      m_sender(sender), m_templateBackup(templateBackup)
{}

bool Enrollment::isUsableUserText(const QString &userText)
{
    if (hasForbiddenCharacter(userText))
        return false;
    const double value = numericValue(userText);
    return value >= 1 && value <= kMaxUserNumber && isWholeNumber(value);
}

bool Enrollment::USER_ENTRY_ERROR()
{
    if (!m_state.sourceUp()) {
        refuse(QStringLiteral("Serial port error"), QStringLiteral("Invalid serial port number"),
               StationState::Field::SerialPort);
        return true;
    }
    if (!isUsableUserText(m_state.userText())) {
        refuse(QStringLiteral("Enter a number from 1 to 4294967295"),
               QStringLiteral("Invalid user number"), StationState::Field::UserText);
        return true;
    }
    return false;
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
    if (USER_ENTRY_ERROR())
        return;
    const QString userText = m_state.userText();
    m_bannerLines.AFF_LOG_MSG(QStringLiteral("Enroll User: ") + userText, 1);
    m_bannerLines.AFF_LOG_MSG(QString(), 2);
    m_waits.ID_PAUSE(0.2);
    SOURCE_COMMAND(userText, QStringLiteral("ADD"));
}

void Enrollment::SOURCE_COMMAND(const QString &userText, const QString &command)
{
    const double value = numericValue(userText);
    if (value == 0)
        return;

    if (command == QLatin1String("INIT")) {
        m_sender.TX_SOURCE(Frame::handshake()); // the user bytes are not part of it
        return;
    }

    // A fractional, negative or too large number has no 4-byte form: nothing is sent for
    // it rather than a neighbouring user's number. A text that cannot name template files
    // safely is refused here too, for callers that did not check it.
    const std::optional<QByteArray> userBytes = USER_NUMBER_TO_BYTES(value);
    if (!userBytes || hasForbiddenCharacter(userText))
        return;

    if (command == QLatin1String("ADD")) {
        m_state.setQuality(QStringLiteral("0"));
        m_state.TRELVANE_LOAD = StationState::True;
        m_bannerLines.AFF_LOG_MSG(QStringLiteral("Place your finger on sensor and wait ..."), 1);
        m_bannerLines.AFF_LOG_MSG(QStringLiteral("User Enrollment"), 2);
        m_sender.TX_SOURCE(Frame::enroll(*userBytes));
    } else if (command == QLatin1String("DEL")) {
        emit deleteUserWanted(userText, *userBytes);
    } else if (command == QLatin1String("LOAD")) {
        m_templateBackup.backup(userText);
    }
}
