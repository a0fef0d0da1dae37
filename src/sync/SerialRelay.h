#pragma once

#include <QByteArray>
#include <QString>

class ActivityLog;
class SerialLink;

// Passes datagrams received from other stations to the unit on the serial port, unchanged
// and whole, while keeping the bytes that wait for the serial line bounded: the network can
// bring far more than the line carries, and every byte queued is held in memory until the
// line has taken it.
//
// The bound is 30 s of line time: at 57600 baud with 10 bits per byte the line carries
// 5,760 bytes a second, so 172,800 bytes. That holds the uploads of many stations
// synchronizing to this one at once (a template set is a few kilobytes) and more than two of
// the largest datagrams, while anything queued behind it would reach the unit more than half
// a minute late. Once the bound is hit no datagram is relayed until half of it has been
// sent, so a sustained flood gives one pair of log lines every 15 s at most, not one per
// datagram.
class SerialRelay
{
public:
    static constexpr qint64 kLineBytesPerSecond = 57600 / 10;
    static constexpr qint64 kBacklogLimit = 30 * kLineBytesPerSecond; // 172,800 bytes
    static constexpr qint64 kResumeAt = kBacklogLimit / 2;

    SerialRelay(SerialLink &serial, ActivityLog &log) : m_serial(serial), m_log(log) {}

    // Writes the datagram to the serial port of the source link, whatever link is selected.
    // False when it was not relayed: the port is closed, or the backlog is full. Never waits
    // for the line.
    bool relay(const QByteArray &datagram);

    bool overloaded() const { return m_overloaded; }
    qint64 notRelayed() const { return m_notRelayed; }
    // Since start: datagrams not relayed because the backlog was full, and how often the
    // relay stopped for it.
    qint64 notRelayedInAll() const { return m_notRelayedInAll; }
    qint64 overloads() const { return m_overloads; }

private:
    bool admits(qint64 backlog, qint64 size) const;

    SerialLink &m_serial;
    ActivityLog &m_log;
    bool m_overloaded = false;
    qint64 m_notRelayed = 0; // since the relay stopped
    qint64 m_notRelayedInAll = 0;
    qint64 m_overloads = 0;
};
