#include "link/ReceiveDispatcher.h"

#include "app/F_MAIN.h"
#include "enroll/TemplateBackup.h"
#include "link/Frame.h"
#include "link/SerialLink.h"
#include "link/TcpLink.h"
#include "util/TextNumber.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

#include <utility>

namespace {

quint8 at(const QByteArray &b, qsizetype position) // position counted from 1
{
    return static_cast<quint8>(b[position - 1]);
}

bool allZero(const QByteArray &b, qsizetype from, qsizetype to) // positions from 1
{
    for (qsizetype i = from; i <= to; ++i)
        if (at(b, i) != 0)
            return false;
    return true;
}

// Byte 2 = command, bytes from..10 zero, byte 11 = status, byte 13 = LF.
bool isReply(const QByteArray &b, quint8 command, qsizetype zeroFrom, quint8 status)
{
    return b.size() >= 13 && at(b, 2) == command && allZero(b, zeroFrom, 10) &&
           at(b, 11) == status && at(b, 13) == 0x0A;
}

} // namespace

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
            w.AFF_LOG_MSG(QStringLiteral("Synchronise user template, please wait."), 2);
            w.RX_EMPREINTE += chunk;
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
    if (static_cast<quint8>(chunk.back()) == 0x40)
        w.RX_SCORE = chunk;
    else
        w.RX_SCORE += chunk;
    if (w.RX_SCORE.size() > kMaxPendingBytes)
        w.RX_SCORE = w.RX_SCORE.right(kMaxPendingBytes);
    if (static_cast<quint8>(w.RX_SCORE.back()) != 0x0A ||
        static_cast<quint8>(w.RX_SCORE.front()) != 0x40)
        return;
    const QByteArray frame = w.RX_SCORE;
    w.RX_SCORE.clear();
    dispatch(frame);
}

void ReceiveDispatcher::dispatch(const QByteArray &b)
{
    const qsizetype L = b.size();
    if (L >= 2 && at(b, 2) == 0x05 && L >= 3 && at(b, L - 2) == 0x62) {
        // Enrollment quality at L-6; a buffer too short to hold it is dropped.
        if (L >= 7)
            w.AFF_SCORE->setText(QString::number(at(b, L - 6)));
        return;
    }
    if (L >= 13 && at(b, 2) == 0x11 && allZero(b, 8, 10) && at(b, 11) == 0x61 &&
        at(b, 13) == 0x0A) {
        userFrame(b);
        return;
    }
    if (isReply(b, 0x16, 3, 0x61) || isReply(b, 0x16, 3, 0x69)) {
        w.AFF_LOG_MSG(
            QStringLiteral("User ") + w.INP_USER_NUMBER->text() + QStringLiteral(" deleted"), 1);
        w.AFF_LOG_MSG(QString(), 2);
        return;
    }
    if (L >= 13 && at(b, 2) == 0x01 && at(b, 3) == 0x65 && allZero(b, 4, 10) && at(b, 11) == 0x61 &&
        at(b, 13) == 0x0A) {
        w.AFF_LOG_MSG(QStringLiteral("Communication with Trelvane source unit established."), 1);
        w.AFF_LOG_MSG(QString(), 2);
        w.FR_ERROR->hide();
    }
}

void ReceiveDispatcher::userFrame(const QByteArray &b)
{
    const QString user = BYTES_TO_USER_NUMBER(b.mid(2, 4));
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
