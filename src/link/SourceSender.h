#pragma once

#include <QByteArray>

class ActivityLog;
class SerialLink;
class StationState;
class TcpLink;

// Sends a message to the source unit over the selected link and traces it.
class SourceSender
{
public:
    SourceSender(const StationState &state, ActivityLog &activityLog, SerialLink &serial,
                 TcpLink &tcp)
        : m_state(state), m_activityLog(activityLog), m_serial(serial), m_tcp(tcp)
    {}

    // Writes the bytes to the serial port when "Serial Port" is selected, else to the TCP
    // connection, then logs "TX_SERIAL: " or "TX_TCP: " and the trace. Returns false when
    // the link refused the bytes; callers decide what that means.
    bool TX_SOURCE(const QByteArray &message);

private:
    const StationState &m_state;
    ActivityLog &m_activityLog;
    SerialLink &m_serial;
    TcpLink &m_tcp;
};
