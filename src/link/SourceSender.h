#pragma once

#include <QByteArray>

class F_MAIN;

// Sends a message to the source unit over the selected link and traces it.
class SourceSender
{
public:
    explicit SourceSender(F_MAIN &w) : w(w) {}

    // Writes the bytes to the serial port when "Serial Port" is selected, else to the TCP
    // connection, then logs "TX_SERIAL: " or "TX_TCP: " and the trace. Returns false when
    // the link refused the bytes; callers decide what that means.
    bool TX_SOURCE(const QByteArray &message);

private:
    F_MAIN &w;
};
