#include "link/TcpLink.h"

TcpLink::TcpLink(QObject *parent) : ByteLink(parent)
{
    m_socket.setReadBufferSize(kReadBufferBytes);
    connect(&m_socket, &QTcpSocket::readyRead, this, &ByteLink::readyRead);
    connect(&m_socket, &QTcpSocket::connected, this, &TcpLink::connected);
    connect(&m_socket, &QTcpSocket::errorOccurred, this,
            [this](QAbstractSocket::SocketError) { emit errorOccurred(m_socket.errorString()); });
}

void TcpLink::connectToHost(const QString &host, quint16 port)
{
    m_socket.connectToHost(host, port);
}

void TcpLink::close()
{
    m_socket.abort();
}

bool TcpLink::write(const QByteArray &bytes)
{
    if (!isOpen() || m_socket.write(bytes) != bytes.size())
        return false;
    m_socket.flush(); // on the wire now, even if a wait that serves no events follows
    return true;
}

QByteArray TcpLink::readAll()
{
    // A closed socket has nothing to give (and Qt warns on every read of one).
    return m_socket.isReadable() ? m_socket.readAll() : QByteArray();
}
