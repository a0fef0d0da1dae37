#pragma once

#include "station/StationState.h"

#include "platform/SerialDeviceNaming.h"

#include <QObject>
#include <QString>

class F_MAIN;

// Keeps the link to the source unit up: opens the serial port once a second until it is
// open (and greets the unit each time it opens), follows the operator's port number and
// "Re-Connect", selects serial or TCP, and connects the TCP link on request. The two status
// labels AFF_SERIAL_STATUS and AFF_TCP_STATUS are the state the other parts read.
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

    explicit Supervision(F_MAIN &w);

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

    F_MAIN &w;
    QString m_lastLoggedFailure; // the open failure last written to the log
    bool m_lostWhileTcpSelected = false;
    SerialDeviceNames m_openNames; // the names of the port number that is open
    int m_ticksSinceHandshake = 0;
    int m_handshakeRetries = 0;    // sent again since the last open, unanswered so far
    QString m_firstStartHintShown; // the hint's failure, shown on the banner once
};
