#include "enroll/Enrollment.h"

#include "app/F_MAIN.h"
#include "enroll/TemplateBackup.h"
#include "enroll/UserDeletion.h"
#include "link/Frame.h"
#include "link/SourceSender.h"
#include "platform/Dialogs.h"
#include "util/Blanks.h"
#include "util/NumericValue.h"
#include "util/TextNumber.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

const QString kConnected = QStringLiteral("Connected");

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

Enrollment::Enrollment(F_MAIN &w) : w(w)
{
    connect(w.INP_USER_NUMBER, &QLineEdit::textChanged, this, &Enrollment::INP_USER_NUMBER_Change);
    connect(w.B_USER_ENROLL, &QPushButton::clicked, this, &Enrollment::B_USER_ENROLL_Click);
}

bool Enrollment::isUsableUserText(const QString &userText)
{
    if (hasForbiddenCharacter(userText))
        return false;
    const double value = numericValue(userText);
    return value >= 1 && value <= kMaxUserNumber && isWholeNumber(value);
}

bool Enrollment::USER_ENTRY_ERROR()
{
    if (w.AFF_SERIAL_STATUS->text() != kConnected) {
        refuse(QStringLiteral("Serial port error"), QStringLiteral("Invalid serial port number"),
               w.INP_SERIAL_PORT);
        return true;
    }
    if (!isUsableUserText(w.INP_USER_NUMBER->text())) {
        refuse(QStringLiteral("Enter a number from 1 to 4294967295"),
               QStringLiteral("Invalid user number"), w.INP_USER_NUMBER);
        return true;
    }
    return false;
}

void Enrollment::refuse(const QString &text, const QString &title, QWidget *fieldToCorrect)
{
    w.dialogs().beep(2);
    w.dialogs().messageBox(text, title, Dialogs::Icon::Critical);
    fieldToCorrect->setFocus();
}

void Enrollment::INP_USER_NUMBER_Change()
{
    const QString user = trimBlanks(w.INP_USER_NUMBER->text());
    if (user.isEmpty()) {
        w.B_USER_ENROLL->setText(QStringLiteral("Enroll user"));
        w.B_USER_DELETE->setText(QStringLiteral("Delete user"));
        return;
    }
    w.B_USER_ENROLL->setText(QStringLiteral("     Enroll user    ") + user);
    w.B_USER_DELETE->setText(QStringLiteral("    Delete user   ") + user);
}

void Enrollment::B_USER_ENROLL_Click()
{
    if (USER_ENTRY_ERROR())
        return;
    const QString userText = w.INP_USER_NUMBER->text();
    w.AFF_LOG_MSG(QStringLiteral("Enroll User: ") + userText, 1);
    w.AFF_LOG_MSG(QString(), 2);
    w.ID_PAUSE(0.2);
    SOURCE_COMMAND(userText, QStringLiteral("ADD"));
}

void Enrollment::SOURCE_COMMAND(const QString &userText, const QString &command)
{
    const double value = numericValue(userText);
    if (value == 0)
        return;

    if (command == QLatin1String("INIT")) {
        w.sender().TX_SOURCE(Frame::handshake()); // the user bytes are not part of it
        return;
    }

    // A fractional, negative or too large number has no 4-byte form: nothing is sent for
    // it rather than a neighbouring user's number. A text that cannot name template files
    // safely is refused here too, for callers that did not check it.
    const std::optional<QByteArray> userBytes = USER_NUMBER_TO_BYTES(value);
    if (!userBytes || hasForbiddenCharacter(userText))
        return;

    if (command == QLatin1String("ADD")) {
        w.state().setQuality(QStringLiteral("0"));
        w.TRELVANE_LOAD = F_MAIN::True;
        w.AFF_LOG_MSG(QStringLiteral("Place your finger on sensor and wait ..."), 1);
        w.AFF_LOG_MSG(QStringLiteral("User Enrollment"), 2);
        w.sender().TX_SOURCE(Frame::enroll(*userBytes));
    } else if (command == QLatin1String("DEL")) {
        w.userDeletion().deleteUser(userText, *userBytes);
    } else if (command == QLatin1String("LOAD")) {
        w.templateBackup().backup(userText);
    }
}
