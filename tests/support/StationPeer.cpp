#include "support/StationPeer.h"

#include "link/SerialLink.h"
#include "station/StationState.h"
#include "unit-sim/PseudoTerminal.h"

#include <QDeadlineTimer>
#include <QTest>

namespace StationPeer {

bool open(PseudoTerminal &peer, const QString &link, StationState &state, SerialLink &serial)
{
    if (!peer.open(link))
        return false;
    state.setSelectedLink(StationState::Link::Serial);
    serial.close();
    serial.setDevicePath(link);
    return serial.open();
}

bool feed(PseudoTerminal &peer, const SerialLink &serial, const QByteArray &bytes, int timeoutMs)
{
    const qint64 before = serial.bytesAvailable();
    peer.write(bytes);
    QDeadlineTimer deadline(timeoutMs);
    while (serial.bytesAvailable() < before + bytes.size() && !deadline.hasExpired())
        QTest::qWait(1);
    return serial.bytesAvailable() >= before + bytes.size();
}

QByteArray readSent(PseudoTerminal &peer, int minBytes, int timeoutMs)
{
    QByteArray got;
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        got += peer.readAll();
        if (got.size() >= minBytes || deadline.hasExpired())
            return got;
        QTest::qWait(1);
    }
}

QStringList logLines(const QByteArray &log)
{
    QStringList lines = QString::fromUtf8(log).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

} // namespace StationPeer
