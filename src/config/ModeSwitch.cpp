#include "config/ModeSwitch.h"

#include "config/PasswordFile.h"
#include "link/KeyboardWedge.h"
#include "log/ActivityLog.h"
#include "platform/Dialogs.h"
#include "platform/SafeFile.h"
#include "station/StationState.h"

#include <QFile>
#include <QFileInfo>
#include <QNetworkInterface>
#include <QUdpSocket>

ModeSwitch::ModeSwitch(StationState &state, Dialogs &dialogs, ActivityLog &log, QUdpSocket &udpRx,
                       KeyboardWedge &keyboardWedge)
    : m_state(state), m_dialogs(dialogs), m_log(log), m_udpRx(udpRx), m_keyboardWedge(keyboardWedge)
{}

QString ModeSwitch::passwordFilePath() const
{
    return m_state.configFolder() + QLatin1String(kPasswordFileName);
}

void ModeSwitch::select(int index)
{
    if (index < 0 || index > 1)
        return;
    m_state.setMode(index == 0 ? StationState::Mode::Enroll : StationState::Mode::Read);
    SW_MODE_Click(index);
}

void ModeSwitch::SW_MODE_Click(int /*Index*/)
{
    // Until start-up is over (the window is shown) the station lays out read mode whatever
    // is selected; the start-up then runs the switch again for the real mode.
    if (!(m_state.enrollMode() && m_state.started())) {
        applyReadMode();
    } else {
        if (!QFileInfo(passwordFilePath()).isFile()) {
            definePassword();
        } else if (!passwordMatches()) {
            select(1); // back to read mode, the password frame waiting for the password
            m_state.setPasswordResetOffered(false);
            return;
        } else {
            m_state.setPasswordPrompt(false);
            m_state.setPasswordResetOffered(true);
        }
        applyEnrollMode();
    }
    emit settingsChanged();
}

void ModeSwitch::applyReadMode()
{
    m_state.setPasswordText(QString());
    StationState::LastUser last = m_state.lastUser();
    last.source = ownAddress();
    m_state.setLastUser(last);
    m_keyboardWedge.readModeEntered();
    m_state.setLaidOutMode(StationState::Mode::Read);
    emit udpPortWanted();
    m_state.setTargetFrameShown(false);
}

void ModeSwitch::applyEnrollMode()
{
    m_state.setLaidOutMode(StationState::Mode::Enroll);
    m_udpRx.close(); // other stations' datagrams are handled in read mode only
    m_state.setTargetFrameShown(true);
}

void ModeSwitch::definePassword()
{
    const QString answer = m_dialogs.inputBox(
        QStringLiteral("Please define the Enroll password:\r\n* Just click on OK to not use a "
                       "Password"),
        QStringLiteral("Define the Password"));
    // A password file that cannot be written leaves enroll mode open, and the next entry
    // into enroll mode asks for a password again: the operator is told so, instead of being
    // asked to take note of a password that was not kept.
    if (!writePassword(answer)) {
        m_dialogs.beep(2);
        m_dialogs.messageBox(
            QStringLiteral("Unable to write the enroll password to: ") + passwordFilePath() +
                QStringLiteral("\r\nEnroll mode is not protected; the password "
                               "will be asked for again."),
            QStringLiteral("Error to write the password"), Dialogs::Icon::Critical);
        return;
    }
    if (!answer.isEmpty())
        m_dialogs.messageBox(QStringLiteral("Important: Take in note this Password: ") + answer,
                             QStringLiteral("Important"), Dialogs::Icon::Exclamation);
}

bool ModeSwitch::writePassword(const QString &answer)
{
    // Replaced whole or not at all (an empty or cut password file would open enroll mode to
    // anybody), readable by the group only, and never written through a planted link.
    const SafeFile::Result result =
        SafeFile::replace(passwordFilePath(), PasswordFile::content(answer));
    if (!result.ok)
        m_log.WRITE_LOG(QStringLiteral("Enroll password not written to ") + passwordFilePath() +
                        QStringLiteral(": ") + result.reason);
    return result.ok;
}

bool ModeSwitch::passwordMatches()
{
    QFile file(passwordFilePath());
    const QString stored = file.open(QIODevice::ReadOnly)
                               ? PasswordFile::storedPassword(file.read(PasswordFile::kMaxBytes))
                               : QString();
    m_state.setPasswordPrompt(true);
    emit m_state.focusRequested(StationState::Field::PasswordText);
    return PasswordFile::accepts(stored, m_state.passwordText());
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
    if (m_dialogs.messageBox(QStringLiteral("Do you want Reset the password ?"),
                             QStringLiteral("Reset Password"), Dialogs::Icon::None,
                             Dialogs::Buttons::YesNo) != Dialogs::Answer::Yes)
        return;
    QFile::remove(passwordFilePath());
    m_state.setPasswordResetOffered(false);
    SW_MODE_Click(0);
}

void ModeSwitch::INP_PREFIX_LostFocus()
{
    m_keyboardWedge.checkPrefix();
    emit settingsChanged();
}

void ModeSwitch::INP_SUFFIX_LostFocus()
{
    m_keyboardWedge.checkSuffix();
    emit settingsChanged();
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
