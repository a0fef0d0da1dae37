#include "link/SourceSender.h"

#include "app/F_MAIN.h"
#include "link/Frame.h"
#include "link/SerialLink.h"
#include "link/TcpLink.h"

bool SourceSender::TX_SOURCE(const QByteArray &message)
{
    const bool serial = w.serialSelected();
    const bool sent = serial ? w.Serial->write(message) : w.TCP_SOURCE->write(message);
    if (!sent)
        return false; // the failure goes back to the caller, untraced, as the send did not happen
    w.WRITE_LOG((serial ? QStringLiteral("TX_SERIAL: ") : QStringLiteral("TX_TCP: ")) +
                TRACE_TEXT(message));
    return true;
}
