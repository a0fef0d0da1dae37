#pragma once

#include <QObject>
#include <QString>

class ActivityLog;
class Dialogs;
class KeyboardWedge;
class QUdpSocket;
class StationState;

// The switch between enroll mode and read mode, and the enroll password ("ADPW.CFG" in the
// configuration folder) that guards enroll mode.
class ModeSwitch : public QObject
{
    Q_OBJECT
public:
    static constexpr const char *kPasswordFileName = "ADPW.CFG";

    ModeSwitch(StationState &state, Dialogs &dialogs, ActivityLog &log, QUdpSocket &udpRx,
               KeyboardWedge &keyboardWedge);

    QString passwordFilePath() const;

    // Replaces the password file whole with this answer (blanks trimmed): written beside it
    // and renamed over it only when complete. False when it could not be written; the
    // previous file, if any, then stays as it was.
    bool writePassword(const QString &answer);

    // Lays out the mode that the selected mode and the end of start-up call for; Index is not
    // used.
    void SW_MODE_Click(int Index);
    // Selects option index in code, which runs the switch as a click would.
    void select(int index);
    void B_OK_PASSWORD_Click();
    void INP_PASSWORD_KeyPress(); // Enter in the password box
    void B_RESET_PASSWORD_Click();
    // The operator left the prefix or suffix box.
    void INP_PREFIX_LostFocus();
    void INP_SUFFIX_LostFocus();

    // The station's own IPv4 address: the first one of an interface that is up and not the
    // loopback, else 127.0.0.1.
    static QString ownAddress();

signals:
    // A setting changed: the configuration is to be saved.
    void settingsChanged();
    // Read mode listens to other stations: the UDP port is (re)opened, synchronously.
    void udpPortWanted();

private:
    void applyReadMode();
    void applyEnrollMode();
    void definePassword();
    bool passwordMatches();

    StationState &m_state;
    Dialogs &m_dialogs;
    ActivityLog &m_log;
    QUdpSocket &m_udpRx;
    KeyboardWedge &m_keyboardWedge;
};
