#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// Which process holds a local UDP port, as far as the system lets an ordinary account see:
// the sockets bound to the port from /proc/net/udp and udp6, then the processes whose open
// files include one of them. Best effort and bounded: an empty answer means "could not
// tell", never "free".
namespace UdpPortHolder {

// The inodes of the sockets bound to a local port in the text of /proc/net/udp or udp6.
// Pure: malformed lines are skipped, at most maxLines are read.
QList<quint64> socketInodes(const QByteArray &procNetUdp, quint16 port, int maxLines = 65536);

struct Process
{
    qint64 pid = 0;
    QString name;
};

// The first process found holding one of the sockets bound to the port; pid 0 when none
// could be seen (another account's process, a container, a system without /proc).
Process find(quint16 port);

} // namespace UdpPortHolder
