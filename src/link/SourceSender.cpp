#include "link/SourceSender.h"

#include "link/Frame.h"
#include "link/SerialLink.h"
#include "link/TcpLink.h"
#include "log/ActivityLog.h"
#include "station/StationState.h"

bool SourceSender::TX_SOURCE(const QByteArray &message)
{
    const bool serial = m_state.serialSelected();
    const bool sent = serial ? m_serial.write(message) : m_tcp.write(message);
    if (!sent)
        return false; // the failure goes back to the caller, untraced, as the send did not happen
    m_activityLog.WRITE_LOG((serial ? QStringLiteral("TX_SERIAL: ") : QStringLiteral("TX_TCP: ")) +
                            TRACE_TEXT(message));
    return true;
}
