#pragma once

#include "unit-sim/PseudoTerminal.h"

#include <QByteArray>
#include <QList>
#include <QObject>

#include <functional>

// The source unit as a script on a serial peer: each 13-byte request the station sends is
// recorded and answered with the next scripted reply, if any. It answers from the peer's
// readyRead, so replies arrive while the station's wait serves events.
class SourceScript : public QObject
{
public:
    explicit SourceScript(PseudoTerminal &peer) : m_peer(peer)
    {
        connect(&m_peer, &PseudoTerminal::readyRead, this, &SourceScript::onReadyRead);
    }

    QList<QByteArray> replies;                         // taken one per request, first to last
    QList<QByteArray> requests;                        // every request received, in order
    std::function<void(const QByteArray &)> onRequest; // runs before the reply is written

private:
    void onReadyRead()
    {
        m_pending += m_peer.readAll();
        while (m_pending.size() >= 13) {
            const QByteArray request = m_pending.left(13);
            m_pending.remove(0, 13);
            requests.append(request);
            if (onRequest)
                onRequest(request);
            if (!replies.isEmpty())
                m_peer.write(replies.takeFirst());
        }
    }

    PseudoTerminal &m_peer;
    QByteArray m_pending;
};
