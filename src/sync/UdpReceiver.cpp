#include "sync/UdpReceiver.h"

#include "enroll/TemplateStore.h"
#include "link/Frame.h"
#include "log/ActivityLog.h"
#include "station/StationState.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QNetworkDatagram>
#include <QStorageInfo>
#include <QUdpSocket>

// A template a station files is also traced whole in the log.
static_assert(kLargestTemplate <= kLongestFullTrace);

namespace {

const QString kPrefix = QStringLiteral("RX_UDP: ");

quint64 senderKey(const QHostAddress &address, int port)
{
    bool ipv4 = false;
    const quint32 ip = address.toIPv4Address(&ipv4);
    return (quint64(ipv4 ? ip : qHash(address)) << 16) | quint16(port);
}

qint64 freeSpaceOf(const QString &folder)
{
    const QStorageInfo storage(folder);
    return storage.isValid() && storage.isReady() ? storage.bytesAvailable() : -1;
}

QString megabytes(qint64 bytes)
{
    return QString::number(bytes / (1024 * 1024)) + QStringLiteral(" MB");
}

} // namespace

UdpReceiver::UdpReceiver(StationState &state, QUdpSocket &udpRx, SerialLink &serial,
                         ActivityLog &log, TemplateStore &store)
    : m_state(state), m_udpRx(udpRx), m_log(log), m_store(store), m_relay(serial, log),
      m_freeSpace(freeSpaceOf)
{
    connect(&m_udpRx, &QUdpSocket::readyRead, this, &UdpReceiver::UDP_RX_ReadyRead);
    connect(&m_udpRx, &QAbstractSocket::stateChanged, this,
            [this](QAbstractSocket::SocketState state) {
                if (state == QAbstractSocket::BoundState)
                    enlargeReceiveBuffer();
            });
    if (m_udpRx.state() == QAbstractSocket::BoundState)
        enlargeReceiveBuffer();
}

void UdpReceiver::enlargeReceiveBuffer()
{
    QUdpSocket &socket = m_udpRx;
    socket.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, kReceiveBufferBytes);
    m_receiveBufferBytes =
        socket.socketOption(QAbstractSocket::ReceiveBufferSizeSocketOption).toLongLong();
    // Also outside the activity log, which is never on at start-up when the port is bound.
    const QString line = QStringLiteral("UDP port %2: receive buffer of %1 bytes")
                             .arg(m_receiveBufferBytes)
                             .arg(socket.localPort());
    qInfo().noquote() << line;
    m_log.WRITE_LOG(line);
}

void UdpReceiver::UDP_RX_ReadyRead()
{
    QElapsedTimer slice;
    slice.start();
    // The socket signals once for any number of datagrams, and not again until one is read:
    // every datagram waiting is handled. A flood is handled a slice at a time so that the
    // window and the other parts are served in between: once a datagram has been read the
    // socket signals again at the next turn of the event loop while more wait, and the order
    // stays the arrival order. (A continuation of our own could drain the socket between its
    // report and its signal; a signal answered with no read leaves it silent for good.)
    while (m_state.readMode() && m_udpRx.hasPendingDatagrams()) {
        if (!UDP_RX_DataArrival(m_udpRx.pendingDatagramSize()))
            return;
        if (slice.elapsed() >= kSliceMs)
            return;
    }
}

bool UdpReceiver::UDP_RX_DataArrival(qint64 bytesTotal)
{
    if (!m_state.readMode())
        return false; // nothing is read, relayed or logged
    const QNetworkDatagram received = m_udpRx.receiveDatagram(qMax<qint64>(bytesTotal, 0));
    if (!received.isValid())
        return false;
    const QByteArray datagram = received.data();
    ++m_datagramsHandled;

    m_relay.relay(datagram);
    m_log.WRITE_LOG(kPrefix + TRACE_TEXT(datagram));

    ReceiveState &state = stateOf(senderKey(received.senderAddress(), received.senderPort()));
    const ReceiveDecision decision = receiveDatagram(state, datagram);
    // The form's receive state shows the set of the sender heard last.
    m_state.LST_USER_NUMBER = state.user ? state.user->text() : QString();
    m_state.LST_RX_TEMPLATE = state.rxTemplate;
    m_state.LST_RX_TEMPLATE_NUMBER = state.templateNumber;
    carryOut(decision);
    return true;
}

ReceiveState &UdpReceiver::stateOf(quint64 sender)
{
    auto it = m_senders.find(sender);
    if (it == m_senders.end()) {
        if (m_senders.size() >= kMaxSenders) {
            auto oldest = m_senders.begin();
            for (auto s = m_senders.begin(); s != m_senders.end(); ++s) {
                if (s->lastHeard < oldest->lastHeard)
                    oldest = s;
            }
            m_senders.erase(oldest);
        }
        it = m_senders.insert(sender, Sender{});
    }
    it->lastHeard = m_datagramsHandled;
    return it->state;
}

void UdpReceiver::carryOut(const ReceiveDecision &decision)
{
    for (const QString &line : decision.logLines)
        m_log.WRITE_LOG(line);
    if (decision.deleteUser) {
        // Exactly this user's files, listed by name: never a pattern made of network bytes.
        m_store.removeUser(decision.deleteUser->text(), [this](const QString &path) {
            m_log.WRITE_LOG(kPrefix + QStringLiteral("KILL ") + path);
        });
    }
    if (decision.write)
        fileTemplate(*decision.write);
    if (!decision.notWrittenLine.isEmpty())
        m_log.WRITE_LOG(decision.notWrittenLine);
}

bool UdpReceiver::roomFor(qsizetype bytes)
{
    const QString folder = m_store.folder();
    const qint64 free = m_freeSpace(folder);
    if (free < 0)
        return true; // unknown: the write itself says whether it went through
    const bool below = free - bytes < kFreeSpaceFloor;
    if (below && !m_belowFloor)
        m_log.WRITE_LOG(
            kPrefix + QStringLiteral("Templates not written: ") + megabytes(free) +
            QStringLiteral(" free for ") + folder +
            QStringLiteral(", less than the %1 kept free").arg(megabytes(kFreeSpaceFloor)));
    else if (!below && m_belowFloor)
        m_log.WRITE_LOG(kPrefix + QStringLiteral("Templates written again: ") + megabytes(free) +
                        QStringLiteral(" free for ") + folder);
    m_belowFloor = below;
    return !below;
}

void UdpReceiver::fileTemplate(const ReceiveDecision::Write &write)
{
    // Checked before the old set goes: a full disk keeps the templates it holds.
    if (!roomFor(write.bytes.size()))
        return;
    TemplateStore &store = m_store;
    const QString path = store.path(write.user.text(), write.templateNumber);
    // A new set of this user replaces the old one whole: no template of it survives.
    if (write.startsNewSet && QFileInfo::exists(path))
        store.removeUser(write.user.text());
    SafeFile::Result outcome;
    if (store.write(write.user.text(), write.templateNumber, write.bytes, &outcome))
        m_log.WRITE_LOG(kPrefix + QStringLiteral("Write template to ") + path);
    else
        m_log.WRITE_LOG(kPrefix + QStringLiteral("Template could not be written to ") + path +
                        QStringLiteral(": ") + outcome.reason);
}
