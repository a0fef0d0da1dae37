#pragma once

#include "link/ByteLink.h"

#include <QTcpSocket>

// A TCP connection to a unit's frame port.
class TcpLink final : public ByteLink
{
    Q_OBJECT
public:
    // The most bytes held that the station has not yet read: a unit that sends faster than
    // the station reads is held back by TCP itself instead of filling the station's memory.
    // Far above the longest reply a unit sends (a user list page of 64 kB).
    static constexpr qint64 kReadBufferBytes = 256 * 1024;

    explicit TcpLink(QObject *parent = nullptr);

    // Starts an asynchronous connection; connected() or errorOccurred() follows.
    void connectToHost(const QString &host, quint16 port);
    bool isFullyClosed() const { return m_socket.state() == QAbstractSocket::UnconnectedState; }

    bool isOpen() const override { return m_socket.state() == QAbstractSocket::ConnectedState; }
    void close() override;
    bool write(const QByteArray &bytes) override;
    QByteArray readAll() override;

signals:
    void connected();
    void errorOccurred(const QString &description);

private:
    QTcpSocket m_socket;
};
