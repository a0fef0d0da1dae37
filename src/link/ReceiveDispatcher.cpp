#include "link/ReceiveDispatcher.h"

#include "app/F_MAIN.h"
#include "enroll/TemplateBackup.h"
#include "link/Frame.h"
#include "link/FrameAssembler.h"
#include "link/ReplyClassifier.h"
#include "link/SerialLink.h"
#include "link/TcpLink.h"
#include "util/TextNumber.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

#include <utility>

// The bound of the pending buffer (RX_SCORE) is the assembler's.
static_assert(ReceiveDispatcher::kMaxPendingBytes == FrameAssembler::kMaxPendingBytes);

ReceiveDispatcher::ReceiveDispatcher(F_MAIN &w) : w(w)
{
    w.SERIAL_RX->setInterval(kSafetyPollMs);
    connect(w.SERIAL_RX, &QTimer::timeout, this, &ReceiveDispatcher::SERIAL_RX_Timer);
    connect(w.Serial, &ByteLink::readyRead, this, &ReceiveDispatcher::onLinkReadyRead);
    connect(w.TCP_SOURCE, &ByteLink::readyRead, this, &ReceiveDispatcher::onLinkReadyRead);
    // Bytes that arrived while the poll was stopped, or before a link was opened, have
    // already been signalled (or never will be): read them as soon as polling may resume.
    m_pollEnabled = w.SERIAL_RX->bindableActive().addNotifier([this] {
        if (this->w.SERIAL_RX->isActive())
            pollSoon();
    });
    connect(w.Serial, &SerialLink::opened, this, &ReceiveDispatcher::pollSoon);
    connect(w.TCP_SOURCE, &TcpLink::connected, this, &ReceiveDispatcher::pollSoon);
}

void ReceiveDispatcher::onLinkReadyRead()
{
    if (!w.SERIAL_RX->isActive())
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
    if (w.serialSelected())
        chunk = w.Serial->isOpen() ? w.Serial->readAll() : QByteArray();
    else
        chunk = w.TCP_SOURCE->readAll();
    if (!chunk.isEmpty()) {
        w.WRITE_LOG(QStringLiteral("RX_Serial: ") + TRACE_TEXT(chunk));
        if (w.TRELVANE_LOAD != F_MAIN::True) {
            w.AFF_LOG_MSG(QStringLiteral("Synchronize user template, please wait."), 2);
            if (w.RX_EMPREINTE.size() < kMaxCollectedBytes)
                w.RX_EMPREINTE += chunk.left(kMaxCollectedBytes - w.RX_EMPREINTE.size());
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
    if (const auto completed = FrameAssembler::add(w.RX_SCORE, chunk))
        dispatch(*completed);
}

void ReceiveDispatcher::dispatch(const QByteArray &b)
{
    const ReplyClassifier::Reply reply = ReplyClassifier::classify(b);
    switch (reply.kind) {
    case ReplyClassifier::Kind::None:
        return;
    case ReplyClassifier::Kind::Quality:
        w.state().setQuality(QString::number(reply.quality));
        return;
    case ReplyClassifier::Kind::User:
        userFrame(reply.userBytes);
        return;
    case ReplyClassifier::Kind::Deleted:
        w.AFF_LOG_MSG(
            QStringLiteral("User ") + w.INP_USER_NUMBER->text() + QStringLiteral(" deleted"), 1);
        w.AFF_LOG_MSG(QString(), 2);
        return;
    case ReplyClassifier::Kind::Handshake:
        w.AFF_LOG_MSG(QStringLiteral("Communication with Trelvane source unit established."), 1);
        w.AFF_LOG_MSG(QString(), 2);
        w.state().setHandshakePending(false);
        return;
    }
}

void ReceiveDispatcher::userFrame(const QByteArray &userBytes)
{
    const QString user = BYTES_TO_USER_NUMBER(userBytes);
    w.INP_USER_NUMBER->clear();
    w.INP_USER_NUMBER->setText(user);
    if (w.enrollModeSelected()) {
        w.templateBackup().armTrigger();
        w.AFF_LOG_MSG(QStringLiteral("Remove your finger from the sensor"), 1);
        w.AFF_LOG_MSG(QStringLiteral("Reception of template number: ") + user, 2);
        w.ID_PAUSE(1);
    } else {
        emit userRecognised(user);
    }
}
