#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QHostAddress>
#include <QList>
#include <QNetworkDatagram>
#include <QUdpSocket>

// A UDP socket on a loopback address that stands in for a target unit: it collects the
// datagrams the station sends, in arrival order, without answering.
class DatagramListener
{
public:
    // Binds to the address at the given port (0: a free one, read back with port()).
    bool bind(const QHostAddress &address = QHostAddress::LocalHost, quint16 port = 0)
    {
        return m_socket.bind(address, port);
    }
    quint16 port() const { return m_socket.localPort(); }

    // Waits up to timeoutMs until at least count datagrams have arrived, then returns
    // every datagram received so far (also those beyond count).
    QList<QByteArray> take(int count, int timeoutMs = 3000)
    {
        QList<QByteArray> got;
        QDeadlineTimer deadline(timeoutMs);
        for (;;) {
            while (m_socket.hasPendingDatagrams())
                got.append(m_socket.receiveDatagram().data());
            if (got.size() >= count || deadline.hasExpired())
                return got;
            m_socket.waitForReadyRead(10);
        }
    }
    // Everything that arrives within quietMs (for checking that nothing came).
    QList<QByteArray> drain(int quietMs = 100) { return take(INT_MAX, quietMs); }

private:
    QUdpSocket m_socket;
};
