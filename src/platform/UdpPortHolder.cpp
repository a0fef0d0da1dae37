#include "platform/UdpPortHolder.h"

#include "platform/SerialLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

constexpr qint64 kMaxProcNetBytes = 4 * 1024 * 1024;
constexpr int kMaxProcesses = 32768;
constexpr int kMaxDescriptorsLooked = 200000; // in all processes together

QByteArray readBounded(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(kMaxProcNetBytes);
}

} // namespace

namespace UdpPortHolder {

QList<quint64> socketInodes(const QByteArray &procNetUdp, quint16 port, int maxLines)
{
    // "  sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid
    //  timeout inode ...": the local address ends with ":" and the port in hex; the inode is
    // the tenth field.
    QList<quint64> inodes;
    const QList<QByteArray> lines = procNetUdp.split('\n');
    for (qsizetype i = 1; i < lines.size() && i <= maxLines; ++i) {
        const QList<QByteArray> fields = lines[i].simplified().split(' ');
        if (fields.size() < 10)
            continue;
        const QByteArray &local = fields[1];
        const qsizetype colon = local.lastIndexOf(':');
        bool ok = false;
        const uint localPort = colon < 0 ? 0 : local.mid(colon + 1).toUInt(&ok, 16);
        if (!ok || localPort != port)
            continue;
        const quint64 inode = fields[9].toULongLong(&ok);
        if (ok && inode != 0 && !inodes.contains(inode))
            inodes << inode;
    }
    return inodes;
}

Process find(quint16 port)
{
    QList<quint64> inodes = socketInodes(readBounded(QStringLiteral("/proc/net/udp")), port);
    inodes += socketInodes(readBounded(QStringLiteral("/proc/net/udp6")), port);
    if (inodes.isEmpty())
        return {};
    QList<QByteArray> wanted;
    for (quint64 inode : inodes)
        wanted << "socket:[" + QByteArray::number(inode) + ']';

    int looked = 0;
    const QStringList pids =
        QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    int processes = 0;
    for (const QString &entry : pids) {
        bool ok = false;
        const qint64 pid = entry.toLongLong(&ok);
        if (!ok || pid <= 0)
            continue;
        if (++processes > kMaxProcesses)
            break;
        const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
        const QStringList descriptors =
            fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
        for (const QString &fd : descriptors) {
            if (++looked > kMaxDescriptorsLooked)
                return {};
            const QByteArray target = QFile::encodeName(QFile::symLinkTarget(fds.filePath(fd)));
            // symLinkTarget makes the name absolute: compare the end.
            for (const QByteArray &socket : wanted)
                if (target.endsWith(socket))
                    return {pid, SerialLock::processName(pid)};
        }
    }
    return {};
}

} // namespace UdpPortHolder
