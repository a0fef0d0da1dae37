#pragma once

#include <QHostAddress>
#include <QUdpSocket>

// A UDP port that nothing on this host holds at the moment of asking, for a station's
// receive port in a test (so that tests never take the real 10002 or collide with each
// other). The port is released again before it is returned.
inline quint16 freeUdpPort()
{
    QUdpSocket probe;
    if (!probe.bind(QHostAddress::AnyIPv4, 0, QAbstractSocket::DontShareAddress))
        return 0;
    return probe.localPort();
}
