#pragma once

#include "station/StationState.h"

#include "platform/SerialDeviceNaming.h"

#include <QObject>
#include <QString>

class ActivityLog;
class BannerLines;
class Clock;
class QTimer;
class SerialLink;
class TcpLink;
class Waits;
struct StationOptions;

// Keeps the link to the source unit up: opens the serial port once a second until it is
// open (and greets the unit each time it opens), follows the operator's port number and
// "Re-Connect", selects serial or TCP, and connects the TCP link on request. The source and
// TCP statuses of the state (AFF_SERIAL_STATUS, AFF_TCP_STATUS) are what the other parts read.
class Supervision : public QObject
{
    Q_OBJECT
public:
    // Serial port numbers are 16-bit integers; numbers below 1 name no port.
    static constexpr int kMaxPortNumber = 32767;
    // Longest wait for the TCP socket to close before connecting again.
    static constexpr double kTcpCloseWaitSeconds = 2.0;

    // A handshake the unit leaves unanswered is sent again every this many supervision
    // ticks (seconds). The unit answers within milliseconds, so three seconds of silence
    // mean nobody is listening; a unit that comes back (cable put back, power restored) is
    // greeted within three seconds, inside the banner's own wait for the first answer, and
    // 13 bytes every three seconds are nothing for the line or the unit.
    static constexpr int kHandshakeRetryTicks = 3;
    // What a new station shows until its port number is typed.
    static constexpr const char *kFirstStartHint =
        "Type the number of the unit's port, then Re-Connect";

    Supervision(StationState &state, const StationOptions &options, Clock &clock,
                ActivityLog &activityLog, BannerLines &bannerLines, Waits &waits,
                SerialLink &serial, TcpLink &tcp, QTimer &connectTimer);

    void TIM_SERIAL_CONNECT_Timer();
    void INP_SERIAL_PORT_Change();
    void B_RECONNECT_Click();
    void SW_COMM_Click(int Index);
    void B_CONNECT_IP_Click();
    void TCP_SOURCE_Connect();
    void TCP_SOURCE_Error(const QString &description);

    // Sets the serial status caption; a changed caption recolours the label.
    void setSerialStatus(LinkStatus status);
    // Selects link index (0 serial, 1 TCP) and runs its click handler, as a click would.
    void selectLink(int index);

signals:
    // Each supervision tick, before anything else: the notification area may have lost the
    // station's icon (a restarted shell) and is given it again.
    void ticked();
    // The serial port was opened: the unit is greeted (the handshake command).
    void greetingWanted();
    // The operator changed the port number: the configuration is saved.
    void settingsChanged();

private:
    bool openSerialPort();
    QString openFailureWords(const QString &path) const;
    void reportOpenFailure(const QString &reason);
    void showFirstStartHint(const QString &reason);
    void onSerialLost(const QString &reason);
    void waitForTcpClosed();
    bool leaveFallbackForLink();
    void showOpenDevice();
    void greetUnit();
    void retryHandshakeWhenDue();
    void handshakeAnswered();

    void WRITE_LOG(const QString &text);
    void AFF_LOG_MSG(const QString &LIGNE, int LINE_NUMBER);

    StationState &m_state;
    const StationOptions &m_options;
    Clock &m_clock;
    ActivityLog &m_activityLog;
    BannerLines &m_bannerLines;
    Waits &m_waits;
    SerialLink &m_serial;
    TcpLink &m_tcp;
    QString m_lastLoggedFailure; // the open failure last written to the log
    bool m_lostWhileTcpSelected = false;
    SerialDeviceNames m_openNames; // the names of the port number that is open
    int m_ticksSinceHandshake = 0;
    int m_handshakeRetries = 0;    // sent again since the last open, unanswered so far
    QString m_firstStartHintShown; // the hint's failure, shown on the banner once
};
