#pragma once

#include "sync/ReceiveState.h"
#include "sync/SerialRelay.h"

#include <QHash>
#include <QObject>

class F_MAIN;

// Read mode's UDP receiver: every datagram other stations send to the station's UDP port
// (UDP_RX) is relayed to the unit on the serial port, traced, and mirrored into the
// templates folder (uploaded templates written, deleted users' templates removed). It never
// answers.
class UdpReceiver : public QObject
{
    Q_OBJECT
public:
    // Each sender's set is followed on its own, so that uploads of several stations arriving
    // at once are never mixed; the senders heard least recently are forgotten beyond this.
    static constexpr int kMaxSenders = 64;
    // Datagrams are handled for at most this long before the window gets its turn again.
    static constexpr int kSliceMs = 20;

    explicit UdpReceiver(F_MAIN &w);

    // Takes the next datagram waiting at UDP_RX (bytesTotal long) and handles it; nothing in
    // enroll mode. False when no datagram could be taken.
    bool UDP_RX_DataArrival(qint64 bytesTotal);

    SerialRelay &relay() { return m_relay; }
    quint64 datagramsHandled() const { return m_datagramsHandled; }

private:
    // Handles every datagram waiting, in arrival order, a slice at a time.
    void UDP_RX_ReadyRead();
    ReceiveState &stateOf(quint64 sender);
    void carryOut(const ReceiveDecision &decision);
    void fileTemplate(const ReceiveDecision::Write &write);

    F_MAIN &w;
    SerialRelay m_relay;
    struct Sender
    {
        ReceiveState state;
        quint64 lastHeard = 0;
    };
    QHash<quint64, Sender> m_senders;
    quint64 m_datagramsHandled = 0;
};
