#include "SimulatedUnit.h"

#include "OutputPacer.h"
#include "PseudoTerminal.h"
#include "link/Frame.h"

#include <QNetworkDatagram>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTextStream>
#include <QUdpSocket>

namespace {

// Senders remembered for UDP uploads; a flood of new senders starts the table afresh.
constexpr int kMaxUdpSenders = 256;

UnitProtocol::Options engineOptions(const SimulatedUnit::Options &o)
{
    UnitProtocol::Options e;
    e.templateBytes = o.templateBytes;
    e.enrollTemplates = o.enrollTemplates;
    e.pageRecords = o.pageRecords;
    e.randomSeed = o.randomSeed;
    return e;
}

} // namespace

SimulatedUnit::SimulatedUnit(QObject *parent) : SimulatedUnit(Options{}, parent) {}

SimulatedUnit::SimulatedUnit(const Options &options, QObject *parent)
    : QObject(parent), m_options(options), m_engine(engineOptions(options))
{
    m_replug.setSingleShot(true);
    m_autoEnroll.setSingleShot(true);
    connect(&m_autoEnroll, &QTimer::timeout, this, [this] {
        if (const auto user = m_engine.pendingEnrollment())
            finger(*user, kAutoEnrollQualities);
    });
}

SimulatedUnit::~SimulatedUnit()
{
    close();
}

// --- transports -------------------------------------------------------------------------

bool SimulatedUnit::listenSerial(const QString &linkPath)
{
    m_replug.stop();
    closeSerial();
    m_pty = new PseudoTerminal(this);
    if (!m_pty->open(linkPath)) {
        m_error = m_pty->errorString();
        delete m_pty;
        m_pty = nullptr;
        return false;
    }
    m_serialLink = linkPath;
    m_serialSession = m_engine.openSession(UnitProtocol::Transport::Stream);
    PseudoTerminal *pty = m_pty;
    setUpStream(m_serialSession, pty, [pty](const QByteArray &bytes) { pty->write(bytes); });
    const int session = m_serialSession;
    connect(pty, &PseudoTerminal::readyRead, this,
            [this, pty, session] { feed(session, pty->readAll()); });
    log(QStringLiteral("serial %1 -> %2").arg(linkPath, pty->slavePath()));
    emit serialOpened(linkPath);
    return true;
}

bool SimulatedUnit::listenTcp(quint16 port, const QHostAddress &bind)
{
    delete m_tcp;
    m_tcp = new QTcpServer(this);
    if (!m_tcp->listen(bind, port)) {
        m_error = QStringLiteral("TCP port %1: %2").arg(port).arg(m_tcp->errorString());
        delete m_tcp;
        m_tcp = nullptr;
        return false;
    }
    connect(m_tcp, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_tcp->nextPendingConnection()) {
            socket->setParent(this);
            socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
            const int session = m_engine.openSession(UnitProtocol::Transport::Stream);
            m_tcpSessions.insert(socket, session);
            QPointer<QTcpSocket> guard(socket);
            setUpStream(session, socket, [guard](const QByteArray &bytes) {
                if (guard) {
                    guard->write(bytes);
                    guard->flush();
                }
            });
            connect(socket, &QTcpSocket::readyRead, this,
                    [this, socket, session] { feed(session, socket->readAll()); });
            connect(socket, &QTcpSocket::disconnected, this, [this, socket, session] {
                m_tcpSessions.remove(socket);
                closeStream(session);
                socket->deleteLater();
            });
            log(QStringLiteral("tcp client %1:%2")
                    .arg(socket->peerAddress().toString())
                    .arg(socket->peerPort()));
        }
    });
    return true;
}

bool SimulatedUnit::listenUdp(quint16 port, const QHostAddress &bind)
{
    delete m_udp;
    m_udp = new QUdpSocket(this);
    if (!m_udp->bind(bind, port)) {
        m_error = QStringLiteral("UDP port %1: %2").arg(port).arg(m_udp->errorString());
        delete m_udp;
        m_udp = nullptr;
        return false;
    }
    connect(m_udp, &QUdpSocket::readyRead, this, &SimulatedUnit::readDatagrams);
    return true;
}

void SimulatedUnit::close()
{
    m_replug.stop();
    m_autoEnroll.stop();
    closeSerial();
    if (m_tcp) {
        const auto sockets = m_tcpSessions.keys();
        for (QTcpSocket *socket : sockets) {
            socket->disconnect(this);
            closeStream(m_tcpSessions.value(socket));
            socket->abort();
            socket->deleteLater();
        }
        m_tcpSessions.clear();
        m_tcp->close();
        m_tcp->deleteLater();
        m_tcp = nullptr;
    }
    if (m_udp) {
        for (const int session : std::as_const(m_udpSessions))
            m_engine.closeSession(session);
        m_udpSessions.clear();
        m_udp->disconnect(this);
        m_udp->close();
        m_udp->deleteLater();
        m_udp = nullptr;
    }
}

void SimulatedUnit::closeSerial()
{
    if (!m_pty)
        return;
    closeStream(m_serialSession);
    m_serialSession = 0;
    // Closed at once (the link disappears now) but deleted later: this may run inside a
    // handler of the pty's own signal.
    m_pty->disconnect(this);
    m_pty->close();
    m_pty->deleteLater();
    m_pty = nullptr;
}

bool SimulatedUnit::isSerialOpen() const
{
    return m_pty && m_pty->isOpen();
}

QString SimulatedUnit::serialSlavePath() const
{
    return m_pty ? m_pty->slavePath() : QString();
}

quint16 SimulatedUnit::tcpPort() const
{
    return m_tcp ? m_tcp->serverPort() : 0;
}

quint16 SimulatedUnit::udpPort() const
{
    return m_udp ? m_udp->localPort() : 0;
}

void SimulatedUnit::setUpStream(int session, QObject *owner,
                                std::function<void(const QByteArray &)> sink)
{
    Stream stream;
    // Both belong to the transport object, so they go with it.
    stream.pacer = new OutputPacer(std::move(sink), owner);
    stream.pacer->setBaud(m_options.baud);
    stream.pacer->setSplit(m_split);
    stream.pacer->setDelay(m_delay);
    stream.idle = new QTimer(owner);
    stream.idle->setSingleShot(true);
    stream.idle->setInterval(kStreamSilenceMs);
    connect(stream.idle, &QTimer::timeout, this, [this, session] { streamIdle(session); });
    m_streams.insert(session, stream);
}

void SimulatedUnit::closeStream(int session)
{
    const Stream stream = m_streams.take(session);
    if (stream.pacer) {
        stream.pacer->clear();
        stream.pacer->deleteLater();
    }
    if (stream.idle) {
        stream.idle->stop();
        stream.idle->deleteLater();
    }
    m_engine.closeSession(session);
}

void SimulatedUnit::readDatagrams()
{
    while (m_udp && m_udp->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_udp->receiveDatagram();
        if (!datagram.isValid())
            continue;
        const QString key =
            datagram.senderAddress().toString() + ' ' + QString::number(datagram.senderPort());
        int session = m_udpSessions.value(key);
        if (session == 0) {
            if (m_udpSessions.size() >= kMaxUdpSenders) {
                for (const int old : std::as_const(m_udpSessions))
                    m_engine.closeSession(old);
                m_udpSessions.clear();
            }
            session = m_engine.openSession(UnitProtocol::Transport::Datagram);
            m_udpSessions.insert(key, session);
        }
        const QByteArray bytes = datagram.data();
        if (m_options.verbose)
            log(QStringLiteral("rx udp %1: %2").arg(key, TRACE_TEXT(bytes)));
        // Datagrams are never answered: the station does not read answers over UDP.
        handle(m_engine.receive(session, bytes).events);
    }
}

// --- receiving and sending --------------------------------------------------------------

void SimulatedUnit::feed(int session, const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    if (m_options.verbose)
        log(QStringLiteral("rx stream %1: %2").arg(session).arg(TRACE_TEXT(bytes)));
    const UnitProtocol::Result result = m_engine.receive(session, bytes);
    // The answer goes out before anyone hears of the request.
    sendTo(session, result.reply);
    const auto it = m_streams.constFind(session);
    if (it != m_streams.cend())
        it->idle->start();
    handle(result.events);
}

void SimulatedUnit::streamIdle(int session)
{
    const UnitProtocol::Result result = m_engine.streamIdle(session);
    sendTo(session, result.reply);
    handle(result.events);
}

void SimulatedUnit::sendTo(int session, const QByteArray &bytes)
{
    if (bytes.isEmpty() || m_silent)
        return;
    const auto it = m_streams.constFind(session);
    if (it == m_streams.cend())
        return;
    if (m_options.verbose)
        log(QStringLiteral("tx stream %1: %2").arg(session).arg(TRACE_TEXT(bytes)));
    it->pacer->send(bytes);
}

void SimulatedUnit::handle(const QList<UnitProtocol::Event> &events)
{
    using Kind = UnitProtocol::Event::Kind;
    for (const UnitProtocol::Event &e : events) {
        switch (e.kind) {
        case Kind::Request:
            emit requestReceived(e.bytes);
            break;
        case Kind::Ignored:
            if (m_options.verbose)
                log(QStringLiteral("ignored (%1): %2").arg(e.text, TRACE_TEXT(e.bytes)));
            break;
        case Kind::EnrollStarted:
            log(QStringLiteral("enrollment of user %1 pending").arg(e.user));
            if (m_options.autoEnrollMs >= 0)
                m_autoEnroll.start(m_options.autoEnrollMs);
            break;
        case Kind::Enrolled:
            log(QStringLiteral("user %1 enrolled").arg(e.user));
            emit enrolled(e.user);
            break;
        case Kind::TemplateStored:
            log(QStringLiteral("user %1 template %2 stored (%3 bytes)")
                    .arg(e.user)
                    .arg(e.index)
                    .arg(e.bytes.size()));
            emit templateStored(e.user, e.index);
            break;
        case Kind::UserDeleted:
            log(QStringLiteral("user %1 %2").arg(e.user).arg(e.existed ? "deleted" : "unknown"));
            emit userDeleted(e.user);
            break;
        }
    }
}

void SimulatedUnit::log(const QString &line) const
{
    if (!m_options.verbose)
        return;
    QTextStream err(stderr);
    err << "unit: " << line << Qt::endl;
}

// --- control ----------------------------------------------------------------------------

void SimulatedUnit::finger(quint32 user, const QList<int> &qualities)
{
    const UnitProtocol::FingerResult result = m_engine.finger(user, qualities);
    // A real unit reports each capture while the finger lies on the sensor and the user
    // once it is done: its frames come apart in time, never as one burst.
    int delay = 0;
    for (const UnitProtocol::Delivery &d : result.deliveries) {
        for (qsizetype at = 0; at < d.bytes.size(); at += Frame::kLength) {
            const QByteArray frame = d.bytes.mid(at, Frame::kLength);
            if (delay == 0)
                sendTo(d.session, frame);
            else
                QTimer::singleShot(delay, this,
                                   [this, session = d.session, frame] { sendTo(session, frame); });
            delay += kFingerFrameGapMs;
        }
    }
    handle(result.events);
}

void SimulatedUnit::addUser(quint32 user, int count, int bytes)
{
    QList<QByteArray> list;
    for (int i = 0; i < count; ++i)
        list.append(m_engine.randomTemplate(bytes));
    m_engine.setTemplates(user, list);
}

void SimulatedUnit::setTemplates(quint32 user, const QList<QByteArray> &templates)
{
    m_engine.setTemplates(user, templates);
}

QList<QByteArray> SimulatedUnit::templates(quint32 user) const
{
    return m_engine.templates(user);
}

QMap<quint32, QList<QByteArray>> SimulatedUnit::users() const
{
    return m_engine.users();
}

void SimulatedUnit::seedUsers(int n, int templatesPerUser)
{
    for (int i = 0; i < n; ++i)
        addUser(1001 + quint32(i), templatesPerUser, m_engine.options().templateBytes);
}

void SimulatedUnit::setSilent(bool silent)
{
    m_silent = silent;
}

void SimulatedUnit::sendNoise(int n)
{
    QByteArray noise(std::max(n, 0), '\0');
    for (char &c : noise)
        c = static_cast<char>(QRandomGenerator::global()->bounded(256));
    sendRaw(noise);
}

void SimulatedUnit::setSplit(int n)
{
    m_split = std::max(n, 0);
    for (const Stream &s : std::as_const(m_streams))
        s.pacer->setSplit(m_split);
}

void SimulatedUnit::setDelay(int ms)
{
    m_delay = std::max(ms, 0);
    for (const Stream &s : std::as_const(m_streams))
        s.pacer->setDelay(m_delay);
}

void SimulatedUnit::sendRaw(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    for (const int session : m_engine.streamSessions()) {
        const auto it = m_streams.constFind(session);
        if (it != m_streams.cend())
            it->pacer->send(bytes);
    }
}

void SimulatedUnit::unplug(int ms)
{
    if (!m_pty)
        return;
    const QString link = m_serialLink;
    log(QStringLiteral("serial unplugged for %1 ms").arg(ms));
    closeSerial();
    m_replug.disconnect(this);
    connect(&m_replug, &QTimer::timeout, this, [this, link] {
        if (!listenSerial(link))
            log(QStringLiteral("serial replug failed: %1").arg(m_error));
    });
    m_replug.start(std::max(ms, 0));
}
