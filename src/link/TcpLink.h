#pragma once

#include "link/ByteLink.h"

#include <QTcpSocket>

// A TCP connection to a unit's frame port.
class TcpLink final : public ByteLink
{
    Q_OBJECT
public:
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
