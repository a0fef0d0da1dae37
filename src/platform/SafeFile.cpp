#include "platform/SafeFile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#ifdef Q_OS_WIN
#include <QSaveFile>
#else
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace SafeFile {

namespace {

Result success()
{
    return {true, QString(), false};
}

Result failure(const QString &reason)
{
    return {false, reason, false};
}

Result refusal(const QString &reason)
{
    return {false, reason, true};
}

} // namespace

#ifdef Q_OS_WIN

// On Windows the folder's access rights decide who reads the files, so the mode is not
// applied. A reparse point at the name (a symbolic link or a junction) must never be written
// through either; QSaveFile would follow one, so the name is checked first. Opening with
// FILE_FLAG_OPEN_REPARSE_POINT and replacing with MoveFileEx (which, like rename, replaces a
// link itself) closes the gap between the check and the write; to be done with the Windows
// build.

namespace {

QString refusedKindOf(const QFileInfo &info)
{
    if (info.isSymLink())
        return QStringLiteral("is a link");
    if (info.exists() && !info.isFile())
        return QStringLiteral("is not a regular file");
    return QString();
}

} // namespace

Result replace(const QString &path, const QByteArray &bytes, unsigned)
{
    if (const QString kind = refusedKindOf(QFileInfo(path)); !kind.isEmpty())
        return refusal(kind);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) ||
        file.write(bytes) != bytes.size() || !file.commit())
        return failure(file.errorString());
    return success();
}

Result append(const QString &path, const QByteArray &header, const QByteArray &bytes)
{
    const QFileInfo info(path);
    if (const QString kind = refusedKindOf(info); !kind.isEmpty())
        return refusal(kind);
    const bool created = !info.exists();
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return failure(file.errorString());
    const QByteArray out = created ? header + bytes : bytes;
    if (file.write(out) != out.size())
        return failure(file.errorString());
    return success();
}

std::optional<QByteArray> readRegular(const QString &path, qint64 maxBytes, QString *reason)
{
    const QFileInfo info(path);
    QString why = refusedKindOf(info);
    if (why.isEmpty() && info.size() > maxBytes)
        why = QStringLiteral("is larger than %1 bytes").arg(maxBytes);
    QFile file(path);
    if (why.isEmpty() && !file.open(QIODevice::ReadOnly))
        why = file.errorString();
    QByteArray bytes = why.isEmpty() ? file.read(maxBytes + 1) : QByteArray();
    if (why.isEmpty() && bytes.size() > maxBytes)
        why = QStringLiteral("is larger than %1 bytes").arg(maxBytes);
    if (why.isEmpty())
        return bytes;
    if (reason)
        *reason = why;
    return std::nullopt;
}

Result remove(const QString &path)
{
    QFile file(path);
    return file.remove() ? success() : failure(file.errorString());
}

#else

namespace {

QString folderOf(const QString &path)
{
    const QString folder = QFileInfo(path).path();
    return folder.isEmpty() ? QStringLiteral(".") : folder;
}

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Why a name found with lstat or fstat may not be written or read as a station file.
QString refusedKindOf(const struct stat &st)
{
    if (S_ISLNK(st.st_mode))
        return QStringLiteral("is a symbolic link");
    if (S_ISDIR(st.st_mode))
        return QStringLiteral("is a folder");
    if (!S_ISREG(st.st_mode))
        return QStringLiteral("is not a regular file");
    return QString();
}

// Closes the descriptor when it goes out of scope.
class Descriptor
{
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    // Closes now and tells whether the close reported an error (NFS reports late writes).
    int close()
    {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0 ? 0 : errno;
    }

private:
    int m_fd;
};

int openNoFollow(const QByteArray &name, int flags, mode_t mode = 0)
{
    int fd;
    do {
        fd = ::open(name.constData(), flags | O_NOFOLLOW | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// Writes every byte; 0 or the error.
int writeAll(int fd, const QByteArray &bytes)
{
    const char *data = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, size_t(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            return EIO;
        data += n;
        left -= n;
    }
    return 0;
}

// The mode is set on the open file: the umask can neither widen nor narrow it.
int setMode(int fd, unsigned mode)
{
    return ::fchmod(fd, mode_t(mode)) == 0 ? 0 : errno;
}

// A new, exclusive file in the folder, hidden from listings of "*.DAT" and "*.log".
int createTemporary(const QString &folder, const QString &baseName, QByteArray &tempName)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempName =
            QFile::encodeName(folder + QStringLiteral("/.") + baseName +
                              QStringLiteral(".tmp-%1").arg(QRandomGenerator::system()->generate(),
                                                            8, 16, QChar(u'0')));
        const int fd = openNoFollow(tempName, O_WRONLY | O_CREAT | O_EXCL, 0600);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

} // namespace

Result replace(const QString &path, const QByteArray &bytes, unsigned mode)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st;
    if (::lstat(name.constData(), &st) == 0) {
        if (const QString kind = refusedKindOf(st); !kind.isEmpty())
            return refusal(kind);
    } else if (errno != ENOENT) {
        return failure(systemError(errno));
    }

    const QString folder = folderOf(path);
    QByteArray tempName;
    Descriptor file(createTemporary(folder, QFileInfo(path).fileName(), tempName));
    if (!file.valid())
        return failure(systemError(errno));
    int error = setMode(file.get(), mode);
    if (error == 0)
        error = writeAll(file.get(), bytes);
    if (error == 0 && ::fsync(file.get()) != 0)
        error = errno;
    if (const int closeError = file.close(); error == 0)
        error = closeError;
    if (error == 0 && ::rename(tempName.constData(), name.constData()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(tempName.constData());
        // A folder planted at the name since the check: still the name's fault.
        if (error == EISDIR || error == ENOTDIR)
            return refusal(QStringLiteral("is a folder"));
        return failure(systemError(error));
    }
    // The folder itself is not flushed: after a crash the name holds either the old file or
    // the new one, both whole, and a flush per template would hold up the backup's replies.
    return success();
}

Result append(const QString &path, const QByteArray &header, const QByteArray &bytes)
{
    const QByteArray name = QFile::encodeName(path);
    // Created here, or opened as it is: O_EXCL never follows a link at the name, and
    // O_NOFOLLOW refuses one that was there already.
    bool created = true;
    int fd = openNoFollow(name, O_WRONLY | O_APPEND | O_CREAT | O_EXCL, 0600);
    if (fd < 0 && errno == EEXIST) {
        created = false;
        // O_NONBLOCK: a pipe planted at the name must not hold the station up.
        fd = openNoFollow(name, O_WRONLY | O_APPEND | O_NONBLOCK);
    }
    if (fd < 0) {
        const int error = errno;
        if (error == ELOOP)
            return refusal(QStringLiteral("is a symbolic link"));
        if (error == EISDIR)
            return refusal(QStringLiteral("is a folder"));
        if (error == ENXIO)
            return refusal(QStringLiteral("is not a regular file"));
        return failure(systemError(error));
    }
    Descriptor file(fd);
    struct stat st;
    if (::fstat(file.get(), &st) != 0)
        return failure(systemError(errno));
    if (const QString kind = refusedKindOf(st); !kind.isEmpty())
        return refusal(kind);
    // Another name of the same file may lie outside the folder: appending would write there.
    if (st.st_nlink > 1)
        return refusal(QStringLiteral("has other names (a hard link)"));
    int error = created ? setMode(file.get(), kGroupMode) : 0;
    if (error == 0)
        error = writeAll(file.get(), created ? header + bytes : bytes);
    if (const int closeError = file.close(); error == 0)
        error = closeError;
    return error == 0 ? success() : failure(systemError(error));
}

std::optional<QByteArray> readRegular(const QString &path, qint64 maxBytes, QString *reason)
{
    const auto refuse = [reason](const QString &why) -> std::optional<QByteArray> {
        if (reason)
            *reason = why;
        return std::nullopt;
    };
    // O_NONBLOCK: opening a pipe planted at the name must not wait for a writer.
    Descriptor file(openNoFollow(QFile::encodeName(path), O_RDONLY | O_NONBLOCK));
    if (!file.valid())
        return refuse(errno == ELOOP ? QStringLiteral("is a symbolic link") : systemError(errno));
    struct stat st;
    if (::fstat(file.get(), &st) != 0)
        return refuse(systemError(errno));
    if (const QString kind = refusedKindOf(st); !kind.isEmpty())
        return refuse(kind);
    const QString tooLarge = QStringLiteral("is larger than %1 bytes").arg(maxBytes);
    if (st.st_size > maxBytes)
        return refuse(tooLarge);
    // Read to the end, but never more than the bound: the file may grow while it is read.
    QByteArray bytes(qsizetype(st.st_size), Qt::Uninitialized);
    qint64 filled = 0;
    char spill[4096];
    for (;;) {
        char *into = filled < bytes.size() ? bytes.data() + filled : spill;
        const size_t room = filled < bytes.size() ? size_t(bytes.size() - filled) : sizeof spill;
        const ssize_t n = ::read(file.get(), into, room);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return refuse(systemError(errno));
        }
        if (n == 0)
            break;
        if (into == spill)
            bytes.append(spill, n);
        filled += n;
        if (filled > maxBytes)
            return refuse(tooLarge);
    }
    bytes.truncate(qsizetype(filled));
    return bytes;
}

Result remove(const QString &path)
{
    if (::unlink(QFile::encodeName(path).constData()) == 0)
        return success();
    if (errno == EISDIR)
        return refusal(QStringLiteral("is a folder"));
    return failure(systemError(errno));
}

#endif

} // namespace SafeFile
