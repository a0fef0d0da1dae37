#include "link/ReceiveDispatcher.h"

#include "link/Frame.h"
#include "link/FrameAssembler.h"
#include "link/ReplyClassifier.h"
#include "link/SerialLink.h"
#include "link/TcpLink.h"
#include "log/ActivityLog.h"
#include "log/BannerLines.h"
#include "log/Waits.h"
#include "station/StationState.h"
#include "util/UserNumber.h"

#include <QTimer>

#include <utility>

// The bound of the pending buffer (RX_SCORE) is the assembler's.
static_assert(ReceiveDispatcher::kMaxPendingBytes == FrameAssembler::kMaxPendingBytes);

ReceiveDispatcher::ReceiveDispatcher(StationState &state, ActivityLog &activityLog,
                                     BannerLines &bannerLines, Waits &waits, SerialLink &serial,
                                     TcpLink &tcp, QTimer &pollTimer)
    : m_state(state), m_activityLog(activityLog), m_bannerLines(bannerLines), m_waits(waits),
      m_serial(serial), m_tcp(tcp), m_pollTimer(pollTimer)
{
    pollTimer.setInterval(kSafetyPollMs);
    connect(&pollTimer, &QTimer::timeout, this, &ReceiveDispatcher::SERIAL_RX_Timer);
    connect(&serial, &ByteLink::readyRead, this, &ReceiveDispatcher::onLinkReadyRead);
    connect(&tcp, &ByteLink::readyRead, this, &ReceiveDispatcher::onLinkReadyRead);
    // Bytes that arrived while the poll was stopped, or before a link was opened, have
    // already been signalled (or never will be): read them as soon as polling may resume.
    m_pollEnabled = pollTimer.bindableActive().addNotifier([this] {
        if (m_pollTimer.isActive())
            pollSoon();
    });
    connect(&serial, &SerialLink::opened, this, &ReceiveDispatcher::pollSoon);
    connect(&tcp, &TcpLink::connected, this, &ReceiveDispatcher::pollSoon);
}

void ReceiveDispatcher::WRITE_LOG(const QString &text)
{
    m_activityLog.WRITE_LOG(text);
}

void ReceiveDispatcher::AFF_LOG_MSG(const QString &LIGNE, int LINE_NUMBER)
{
    m_bannerLines.AFF_LOG_MSG(LIGNE, LINE_NUMBER);
}

void ReceiveDispatcher::onLinkReadyRead()
{
    if (!m_pollTimer.isActive())
        return;
    if (m_polling) {
        m_arrivedDuringPoll = true; // read when the running poll ends
        return;
    }
    SERIAL_RX_Timer();
}

void ReceiveDispatcher::pollSoon()
{
    if (m_pollQueued)
        return;
    m_pollQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_pollQueued = false;
            onLinkReadyRead();
        },
        Qt::QueuedConnection);
}

void ReceiveDispatcher::SERIAL_RX_Timer()
{
    // A poll does not run inside itself (a wait reached from a dispatch may serve events).
    if (m_polling)
        return;
    m_polling = true;
    QByteArray chunk;
    if (m_state.serialSelected())
        chunk = m_serial.isOpen() ? m_serial.readAll() : QByteArray();
    else
        chunk = m_tcp.readAll();
    if (!chunk.isEmpty()) {
        WRITE_LOG(QStringLiteral("RX_Serial: ") + TRACE_TEXT(chunk));
        if (m_state.TRELVANE_LOAD != kDispatchFrames) {
            AFF_LOG_MSG(QStringLiteral("Synchronize user template, please wait."), 2);
            if (m_state.RX_EMPREINTE.size() < kMaxCollectedBytes)
                m_state.RX_EMPREINTE +=
                    chunk.left(kMaxCollectedBytes - m_state.RX_EMPREINTE.size());
        } else {
            reassemble(chunk);
        }
    }
    m_polling = false;
    if (std::exchange(m_arrivedDuringPoll, false))
        pollSoon();
}

void ReceiveDispatcher::reassemble(const QByteArray &chunk)
{
    if (const auto completed = FrameAssembler::add(m_state.RX_SCORE, chunk))
        dispatch(*completed);
}

void ReceiveDispatcher::dispatch(const QByteArray &b)
{
    const ReplyClassifier::Reply reply = ReplyClassifier::classify(b);
    switch (reply.kind) {
    case ReplyClassifier::Kind::None:
        return;
    case ReplyClassifier::Kind::Quality:
        m_state.setQuality(QString::number(reply.quality));
        return;
    case ReplyClassifier::Kind::User:
        userFrame(*reply.user);
        return;
    case ReplyClassifier::Kind::Deleted:
        AFF_LOG_MSG(QStringLiteral("User ") + m_state.userText() + QStringLiteral(" deleted"), 1);
        AFF_LOG_MSG(QString(), 2);
        return;
    case ReplyClassifier::Kind::Handshake:
        AFF_LOG_MSG(QStringLiteral("Communication with Trelvane source unit established."), 1);
        AFF_LOG_MSG(QString(), 2);
        m_state.setHandshakePending(false);
        return;
    }
}

void ReceiveDispatcher::userFrame(const UserNumber &userNumber)
{
    const QString user = userNumber.text();
    // Emptied first: the number changes even when the same user is heard again.
    m_state.setUserText(QString());
    m_state.setUserText(user);
    if (m_state.enrollMode()) {
        emit enrolledUserHeard();
        AFF_LOG_MSG(QStringLiteral("Remove your finger from the sensor"), 1);
        AFF_LOG_MSG(QStringLiteral("Reception of template number: ") + user, 2);
        m_waits.ID_PAUSE(1);
    } else {
        emit userRecognised(user);
    }
}
