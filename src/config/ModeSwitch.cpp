#include "config/ModeSwitch.h"

#include "app/F_MAIN.h"
#include "app/Startup.h"
#include "config/ConfigFile.h"
#include "config/PasswordFile.h"
#include "link/KeyboardWedge.h"
#include "platform/Dialogs.h"
#include "platform/SafeFile.h"

#include <QFile>
#include <QFileInfo>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkInterface>
#include <QPushButton>
#include <QRadioButton>
#include <QUdpSocket>

ModeSwitch::ModeSwitch(F_MAIN &w) : w(w)
{
    for (int i = 0; i < int(w.SW_MODE.size()); ++i)
        connect(w.SW_MODE[i], &QRadioButton::clicked, this, [this, i] { SW_MODE_Click(i); });
    connect(w.B_OK_PASSWORD, &QPushButton::clicked, this, &ModeSwitch::B_OK_PASSWORD_Click);
    connect(w.INP_PASSWORD, &QLineEdit::returnPressed, this, &ModeSwitch::INP_PASSWORD_KeyPress);
    connect(w.B_RESET_PASSWORD, &QPushButton::clicked, this, &ModeSwitch::B_RESET_PASSWORD_Click);
    // Leaving the box saves, whether or not its text changed.
    w.INP_PREFIX->installEventFilter(this);
    w.INP_SUFFIX->installEventFilter(this);
}

bool ModeSwitch::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusOut &&
        static_cast<QFocusEvent *>(event)->reason() != Qt::PopupFocusReason) {
        if (watched == w.INP_PREFIX)
            INP_PREFIX_LostFocus();
        else if (watched == w.INP_SUFFIX)
            INP_SUFFIX_LostFocus();
    }
    return QObject::eventFilter(watched, event);
}

QString ModeSwitch::passwordFilePath() const
{
    return w.AFF_CURDIR->text() + QLatin1String(kPasswordFileName);
}

void ModeSwitch::select(int index)
{
    if (index < 0 || index >= int(w.SW_MODE.size()))
        return;
    w.SW_MODE[index]->setChecked(true);
    SW_MODE_Click(index);
}

void ModeSwitch::SW_MODE_Click(int /*Index*/)
{
    // Until the window is shown (during start-up) the station lays out read mode whatever
    // is selected; the start-up then runs the switch again for the real mode.
    if (!(w.enrollModeSelected() && w.isVisible())) {
        applyReadMode();
    } else {
        if (!QFileInfo(passwordFilePath()).isFile()) {
            definePassword();
        } else if (!passwordMatches()) {
            select(1); // back to read mode, the password frame waiting for the password
            w.state().setPasswordResetOffered(false);
            return;
        } else {
            w.state().setPasswordPrompt(false);
            w.state().setPasswordResetOffered(true);
        }
        applyEnrollMode();
    }
    w.configFile().B_SAVE_CFG_Click();
}

void ModeSwitch::applyReadMode()
{
    w.INP_PASSWORD->clear();
    w.FR_MANAGE_USR->hide();
    StationState::LastUser last = w.state().lastUser();
    last.source = ownAddress();
    w.state().setLastUser(last);
    w.keyboardWedge().readModeEntered();
    w.FR_READ_MODE->show();
    w.startup().OPEN_UDP_PORT();
    w.FR_TARGET->hide();
}

void ModeSwitch::applyEnrollMode()
{
    w.FR_MANAGE_USR->show();
    w.FR_READ_MODE->hide();
    w.UDP_RX->close(); // other stations' datagrams are handled in read mode only
    w.FR_TARGET->show();
}

void ModeSwitch::definePassword()
{
    const QString answer = w.dialogs().inputBox(
        QStringLiteral("Please define the Enroll password:\r\n* Just click on OK to not use a "
                       "Password"),
        QStringLiteral("Define the Password"));
    // A password file that cannot be written leaves enroll mode open, and the next entry
    // into enroll mode asks for a password again: the operator is told so, instead of being
    // asked to take note of a password that was not kept.
    if (!writePassword(answer)) {
        w.dialogs().beep(2);
        w.dialogs().messageBox(
            QStringLiteral("Unable to write the enroll password to: ") + passwordFilePath() +
                QStringLiteral("\r\nEnroll mode is not protected; the password "
                               "will be asked for again."),
            QStringLiteral("Error to write the password"), Dialogs::Icon::Critical);
        return;
    }
    if (!answer.isEmpty())
        w.dialogs().messageBox(QStringLiteral("Important: Take in note this Password: ") + answer,
                               QStringLiteral("Important"), Dialogs::Icon::Exclamation);
}

bool ModeSwitch::writePassword(const QString &answer)
{
    // Replaced whole or not at all (an empty or cut password file would open enroll mode to
    // anybody), readable by the group only, and never written through a planted link.
    const SafeFile::Result result =
        SafeFile::replace(passwordFilePath(), PasswordFile::content(answer));
    if (!result.ok)
        w.WRITE_LOG(QStringLiteral("Enroll password not written to ") + passwordFilePath() +
                    QStringLiteral(": ") + result.reason);
    return result.ok;
}

bool ModeSwitch::passwordMatches()
{
    QFile file(passwordFilePath());
    const QString stored = file.open(QIODevice::ReadOnly)
                               ? PasswordFile::storedPassword(file.read(PasswordFile::kMaxBytes))
                               : QString();
    w.state().setPasswordPrompt(true);
    w.INP_PASSWORD->setFocus();
    return PasswordFile::accepts(stored, w.INP_PASSWORD->text());
}

void ModeSwitch::B_OK_PASSWORD_Click()
{
    select(0);
}

void ModeSwitch::INP_PASSWORD_KeyPress()
{
    B_OK_PASSWORD_Click();
}

void ModeSwitch::B_RESET_PASSWORD_Click()
{
    if (w.dialogs().messageBox(QStringLiteral("Do you want Reset the password ?"),
                               QStringLiteral("Reset Password"), Dialogs::Icon::None,
                               Dialogs::Buttons::YesNo) != Dialogs::Answer::Yes)
        return;
    QFile::remove(passwordFilePath());
    w.state().setPasswordResetOffered(false);
    SW_MODE_Click(0);
}

void ModeSwitch::INP_PREFIX_LostFocus()
{
    w.keyboardWedge().checkPrefix();
    w.configFile().B_SAVE_CFG_Click();
}

void ModeSwitch::INP_SUFFIX_LostFocus()
{
    w.keyboardWedge().checkSuffix();
    w.configFile().B_SAVE_CFG_Click();
}

QString ModeSwitch::ownAddress()
{
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &nic : interfaces) {
        const auto flags = nic.flags();
        if (!flags.testFlag(QNetworkInterface::IsUp) ||
            flags.testFlag(QNetworkInterface::IsLoopBack))
            continue;
        for (const QNetworkAddressEntry &entry : nic.addressEntries()) {
            const QHostAddress ip = entry.ip();
            if (ip.protocol() == QAbstractSocket::IPv4Protocol && !ip.isLoopback())
                return ip.toString();
        }
    }
    return QStringLiteral("127.0.0.1");
}
