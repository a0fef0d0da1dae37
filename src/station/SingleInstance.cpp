#include "station/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QPointer>
#include <QStandardPaths>
#include <QTimer>

namespace {

// Long enough for a copy that is busy with a short wait; a second start does not hang on a
// copy that never answers.
constexpr int kConnectMs = 2000;
// A peer that connects and says nothing, or too much, is dropped after this.
constexpr int kRequestMs = 2000;

QString serverNameFor(const QString &folder)
{
    // One name per folder: the folder's canonical path, hashed (socket paths are short).
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    const QByteArray key = (canonical.isEmpty() ? folder : canonical).toUtf8();
    const QString hash = QString::fromLatin1(
        QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex().left(24));
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    return QDir(dir).filePath(QStringLiteral("trelvane-") + hash);
}

} // namespace

SingleInstance::SingleInstance(const QString &folder)
    : m_lock(folder + QLatin1String(kLockFileName)), m_serverName(serverNameFor(folder))
{
    // A lock is stale only when its process is gone, never because of its age: a station
    // runs for months.
    m_lock.setStaleLockTime(0);
    // Only the operator's own account may ask for the window.
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    m_server.setMaxPendingConnections(4);
    connect(&m_server, &QLocalServer::newConnection, this, &SingleInstance::onConnection);
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::acquire()
{
    if (m_lock.isLocked() || m_lock.tryLock(0))
        return true;
    return m_lock.error() != QLockFile::LockFailedError;
}

bool SingleInstance::listen()
{
    if (m_server.isListening())
        return true;
    // We hold the lock: a socket of that name is left over from a copy that died.
    QLocalServer::removeServer(m_serverName);
    return m_server.listen(m_serverName);
}

bool SingleInstance::askRunningCopyToShow() const
{
    QLocalSocket socket;
    socket.connectToServer(m_serverName);
    if (!socket.waitForConnected(kConnectMs))
        return false;
    const QByteArray request(kShowRequest);
    if (socket.write(request) != request.size() || !socket.waitForBytesWritten(kConnectMs))
        return false;
    socket.disconnectFromServer();
    return true;
}

void SingleInstance::onConnection()
{
    while (QLocalSocket *peer = m_server.nextPendingConnection()) {
        QPointer<QLocalSocket> guarded(peer);
        peer->setReadBufferSize(64);
        connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
        QTimer::singleShot(kRequestMs, peer, [guarded] {
            if (guarded)
                guarded->abort();
        });
        connect(peer, &QLocalSocket::readyRead, this, [this, peer] {
            const QByteArray request(kShowRequest);
            // Read no more than the request: a peer cannot make the station hold more.
            if (peer->bytesAvailable() < request.size())
                return;
            const QByteArray got = peer->read(request.size());
            peer->abort();
            if (got == request)
                emit showRequested();
        });
    }
}
