#include "platform/SerialLock.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <csignal>

#ifdef Q_OS_UNIX
#include <sys/types.h>
#endif

namespace {

constexpr qint64 kMaxLockBytes = 64; // a PID and a little text; nothing more is read
constexpr qint64 kMaxNameBytes = 64;
constexpr qint64 kMaxPid = 0x7fffffff;

QByteArray readBounded(const QString &path, qint64 maxBytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(maxBytes);
}

bool isRunning(qint64 pid)
{
#ifdef Q_OS_UNIX
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
#else
    Q_UNUSED(pid);
    return false;
#endif
}

std::optional<SerialLock::Holder> holderFor(const QString &lockFile, bool includeStale)
{
    const QFileInfo info(lockFile);
    if (!info.exists() && !info.isSymLink())
        return std::nullopt;
    SerialLock::Holder holder{
        lockFile, SerialLock::pidFromLockBytes(readBounded(lockFile, kMaxLockBytes)), QString()};
    if (holder.pid == QCoreApplication::applicationPid())
        return std::nullopt;
    if (!isRunning(holder.pid)) {
        if (!includeStale)
            return std::nullopt;
    } else {
        holder.processName = SerialLock::processName(holder.pid);
    }
    return holder;
}

} // namespace

namespace SerialLock {

QString defaultFolder()
{
    return QStringLiteral("/run/lock/");
}

qint64 pidFromLockBytes(const QByteArray &bytes)
{
    qsizetype i = 0;
    while (i < bytes.size() && (bytes[i] == ' ' || bytes[i] == '\t'))
        ++i;
    qint64 pid = 0;
    bool digits = false;
    while (i < bytes.size() && bytes[i] >= '0' && bytes[i] <= '9') {
        pid = pid * 10 + (bytes[i] - '0');
        digits = true;
        if (pid > kMaxPid)
            return 0;
        ++i;
    }
    // A text PID ends the line or the file; a binary one is four bytes, which may well start
    // with digits ("17\0\0" is PID 14129).
    const bool textEnds = i == bytes.size() || bytes[i] == '\n';
    if (digits && textEnds)
        return pid;
    if (bytes.size() == 4) {
        const auto *b = reinterpret_cast<const uchar *>(bytes.constData());
        const quint32 binary =
            quint32(b[0]) | quint32(b[1]) << 8 | quint32(b[2]) << 16 | quint32(b[3]) << 24;
        if (binary > 0 && binary <= kMaxPid)
            return qint64(binary);
    }
    return digits ? pid : 0;
}

QString lockFileNameFor(const QString &devicePath)
{
    QString name = devicePath;
    const QString dev = QStringLiteral("/dev/");
    if (name.startsWith(dev))
        name = name.mid(dev.size());
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    return QStringLiteral("LCK..") + name;
}

QString processName(qint64 pid)
{
    if (pid <= 0)
        return {};
    const QByteArray bytes =
        readBounded(QStringLiteral("/proc/%1/comm").arg(pid), kMaxNameBytes).trimmed();
    QString name;
    for (const QChar c : QString::fromUtf8(bytes))
        if (c.isPrint())
            name += c;
    return name;
}

std::optional<Holder> holderOf(const QString &devicePath, const QString &lockFolder,
                               bool includeStale)
{
#ifdef Q_OS_WIN
    // Windows keeps a COM port to one program by itself and has no lock files; looking up a
    // port name as a file would open the device.
    Q_UNUSED(includeStale);
    Q_UNUSED(lockFolder);
    return std::nullopt;
#endif
    if (devicePath.isEmpty())
        return std::nullopt;
    QStringList names{lockFileNameFor(devicePath)};
    const QString target = QFileInfo(devicePath).canonicalFilePath();
    if (!target.isEmpty() && lockFileNameFor(target) != names.first())
        names << lockFileNameFor(target);
    for (const QString &name : names)
        if (auto holder = holderFor(lockFolder + name, includeStale))
            return holder;
    return std::nullopt;
}

} // namespace SerialLock
