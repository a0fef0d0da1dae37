#pragma once

#include "sync/ReceiveState.h"
#include "sync/SerialRelay.h"

#include <QHash>
#include <QObject>

#include <functional>

class QUdpSocket;
class ActivityLog;
class SerialLink;
class StationState;
class TemplateStore;

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
    // The receive buffer asked for: bursts of many stations wait there while the station is
    // busy (a wait that serves no events, a slow disk). The system may give less; what it
    // gives is logged. The default (about 200 kB) holds about 270 small datagrams, a pause of
    // a few tens of milliseconds under load; this holds some 5,000.
    static constexpr int kReceiveBufferBytes = 4 * 1024 * 1024;
    // Received templates are not written while the templates folder's file system has less
    // free space than this: room for the system's own logs and updates and for the station's
    // log and settings, so that other stations' uploads cannot fill the disk.
    static constexpr qint64 kFreeSpaceFloor = 100LL * 1024 * 1024;

    // Bytes free for the station on the file system of a folder; negative when unknown.
    using FreeSpaceQuery = std::function<qint64(const QString &folder)>;

    UdpReceiver(StationState &state, QUdpSocket &udpRx, SerialLink &serial, ActivityLog &log,
                TemplateStore &store);

    // Replaces the free-space query (tests pretend a full disk).
    void setFreeSpaceQuery(FreeSpaceQuery query) { m_freeSpace = std::move(query); }
    // The receive buffer the system gave UDP_RX when it was bound (0 before).
    qint64 receiveBufferBytes() const { return m_receiveBufferBytes; }

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
    bool roomFor(qsizetype bytes);
    void enlargeReceiveBuffer();

    StationState &m_state;
    QUdpSocket &m_udpRx;
    ActivityLog &m_log;
    TemplateStore &m_store;
    SerialRelay m_relay;
    struct Sender
    {
        ReceiveState state;
        quint64 lastHeard = 0;
    };
    QHash<quint64, Sender> m_senders;
    quint64 m_datagramsHandled = 0;
    FreeSpaceQuery m_freeSpace;
    bool m_belowFloor = false; // said once in the log, until space is back
    qint64 m_receiveBufferBytes = 0;
};
