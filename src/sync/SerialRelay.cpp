#include "sync/SerialRelay.h"

#include "link/SerialLink.h"
#include "log/ActivityLog.h"

bool SerialRelay::admits(qint64 backlog, qint64 size) const
{
    if (backlog + size > kBacklogLimit)
        return false;
    return !m_overloaded || backlog <= kResumeAt;
}

bool SerialRelay::relay(const QByteArray &datagram)
{
    SerialLink &port = m_serial;
    if (!port.isOpen()) {
        if (m_overloaded)
            ++m_notRelayed;
        return false;
    }
    const qint64 backlog = port.bytesToWrite();
    if (!admits(backlog, datagram.size())) {
        if (!m_overloaded) {
            m_overloaded = true;
            m_notRelayed = 0;
            ++m_overloads;
            m_log.WRITE_LOG(QStringLiteral("Serial relay overloaded: %1 bytes wait for the serial "
                                           "line (at most %2, 30 s of line time); datagrams are "
                                           "mirrored but not relayed until %3 bytes remain")
                                .arg(backlog)
                                .arg(kBacklogLimit)
                                .arg(kResumeAt));
        }
        ++m_notRelayed;
        ++m_notRelayedInAll;
        return false;
    }
    if (!port.writeQueued(datagram)) {
        if (m_overloaded)
            ++m_notRelayed;
        return false;
    }
    if (m_overloaded) {
        m_overloaded = false;
        m_log.WRITE_LOG(QStringLiteral("Serial relay resumed: %1 datagram(s) were not relayed "
                                       "while the serial line was overloaded")
                            .arg(m_notRelayed));
        m_notRelayed = 0;
    }
    return true;
}
