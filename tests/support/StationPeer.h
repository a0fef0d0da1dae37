#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class PseudoTerminal;
class SerialLink;
class StationState;

// What both station fixtures do with the pseudo-terminal on the station's serial port, and
// with the activity log they read back.
namespace StationPeer {

// Opens peer as a raw pseudo-terminal published at link and the station's serial port on it,
// with the serial link selected (no supervision, no handshake).
bool open(PseudoTerminal &peer, const QString &link, StationState &state, SerialLink &serial);
// Writes bytes from the peer and waits until the station's serial port holds them all.
bool feed(PseudoTerminal &peer, const SerialLink &serial, const QByteArray &bytes, int timeoutMs);
// Reads what the station wrote to the peer, waiting up to timeoutMs for at least minBytes.
QByteArray readSent(PseudoTerminal &peer, int minBytes, int timeoutMs);
// The log's entry and header lines, CR LF removed.
QStringList logLines(const QByteArray &log);

} // namespace StationPeer
