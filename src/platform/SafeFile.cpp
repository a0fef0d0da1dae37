#include "platform/SafeFile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#ifdef Q_OS_WIN
#include <QDir>
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "platform/WindowsErrorText.h"
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

// On Windows the data folder's access rights decide who reads the files, so the mode is not
// applied. A reparse point at a name (a symbolic link, a junction) is never followed: every
// open says FILE_FLAG_OPEN_REPARSE_POINT and refuses what it finds to be one, and a replace
// renames a new file over the name with MoveFileEx, which, like rename, replaces a link
// itself, never its target.

namespace {

// Closes the handle when it goes out of scope.
class Handle
{
public:
    explicit Handle(HANDLE h) : m_h(h) {}
    ~Handle()
    {
        if (valid())
            CloseHandle(m_h);
    }
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;

    HANDLE get() const { return m_h; }
    bool valid() const { return m_h != INVALID_HANDLE_VALUE; }
    // Closes now; false when the close reported an error.
    bool close()
    {
        const HANDLE h = m_h;
        m_h = INVALID_HANDLE_VALUE;
        return CloseHandle(h) != 0;
    }

private:
    HANDLE m_h;
};

std::wstring nativeName(const QString &path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

// Opens the name itself, never what a reparse point at it leads to.
HANDLE openName(const QString &path, DWORD access, DWORD disposition, DWORD extraFlags = 0)
{
    return CreateFileW(nativeName(path).c_str(), access,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, disposition,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT | extraFlags, nullptr);
}

// Why an open name may not be written or read as a station file; empty when it may.
QString refusedKindOf(HANDLE h, BY_HANDLE_FILE_INFORMATION *info = nullptr)
{
    BY_HANDLE_FILE_INFORMATION own{};
    BY_HANDLE_FILE_INFORMATION &i = info ? *info : own;
    if (GetFileType(h) != FILE_TYPE_DISK || !GetFileInformationByHandle(h, &i))
        return QStringLiteral("is not a regular file");
    if (i.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return QStringLiteral("is a symbolic link");
    if (i.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return QStringLiteral("is a folder");
    return QString();
}

// What sits at the name now: empty when nothing, or a regular file; the refusal otherwise.
// A failure to look is a failure, not a refusal.
std::optional<Result> checkName(const QString &path)
{
    // Backup semantics: a folder opens too, so it can be named as such.
    Handle h(openName(path, FILE_READ_ATTRIBUTES, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS));
    if (!h.valid()) {
        const DWORD code = GetLastError();
        if (code == ERROR_FILE_NOT_FOUND)
            return std::nullopt;
        return failure(windowsErrorText(code));
    }
    if (const QString kind = refusedKindOf(h.get()); !kind.isEmpty())
        return refusal(kind);
    return std::nullopt;
}

bool writeAll(HANDLE h, const QByteArray &bytes)
{
    const char *data = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0) {
        DWORD n = 0;
        const DWORD chunk = DWORD(qMin<qint64>(left, 1 << 20));
        if (!WriteFile(h, data, chunk, &n, nullptr) || n == 0)
            return false;
        data += n;
        left -= n;
    }
    return true;
}

// A new, exclusive file in the same folder as path, hidden from listings of "*.DAT".
HANDLE createTemporary(const QString &path, QString &tempName)
{
    const QFileInfo info(path);
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempName = info.path() + QStringLiteral("/.") + info.fileName() +
                   QStringLiteral(".tmp-%1").arg(QRandomGenerator::system()->generate(), 8, 16,
                                                 QChar(u'0'));
        HANDLE h = openName(tempName, GENERIC_WRITE, CREATE_NEW);
        if (h != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS)
            return h;
    }
    SetLastError(ERROR_FILE_EXISTS);
    return INVALID_HANDLE_VALUE;
}

} // namespace

Result replace(const QString &path, const QByteArray &bytes, unsigned)
{
    if (const auto found = checkName(path))
        return *found;
    QString tempName;
    Handle file(createTemporary(path, tempName));
    if (!file.valid())
        return failure(windowsErrorText(GetLastError()));
    DWORD error = 0;
    if (!writeAll(file.get(), bytes) || !FlushFileBuffers(file.get()))
        error = GetLastError();
    if (!file.close() && error == 0)
        error = GetLastError();
    if (error == 0 && !MoveFileExW(nativeName(tempName).c_str(), nativeName(path).c_str(),
                                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        error = GetLastError();
    if (error != 0) {
        DeleteFileW(nativeName(tempName).c_str());
        // A folder planted at the name since the check: still the name's fault.
        if (error == ERROR_ACCESS_DENIED && QFileInfo(path).isDir())
            return refusal(QStringLiteral("is a folder"));
        return failure(windowsErrorText(error));
    }
    return success();
}

Result append(const QString &path, const QByteArray &header, const QByteArray &bytes)
{
    Handle file(openName(path, FILE_APPEND_DATA | FILE_READ_ATTRIBUTES, OPEN_ALWAYS));
    if (!file.valid()) {
        const DWORD code = GetLastError();
        if (code == ERROR_ACCESS_DENIED && QFileInfo(path).isDir())
            return refusal(QStringLiteral("is a folder"));
        return failure(windowsErrorText(code));
    }
    const bool created = GetLastError() != ERROR_ALREADY_EXISTS;
    BY_HANDLE_FILE_INFORMATION info{};
    if (const QString kind = refusedKindOf(file.get(), &info); !kind.isEmpty())
        return refusal(kind);
    // Another name of the same file may lie outside the folder: appending would write there.
    if (info.nNumberOfLinks > 1)
        return refusal(QStringLiteral("has other names (a hard link)"));
    if (!writeAll(file.get(), created ? header + bytes : bytes))
        return failure(windowsErrorText(GetLastError()));
    if (!file.close())
        return failure(windowsErrorText(GetLastError()));
    return success();
}

std::optional<QByteArray> readRegular(const QString &path, qint64 maxBytes, QString *reason)
{
    const auto refuse = [reason](const QString &why) -> std::optional<QByteArray> {
        if (reason)
            *reason = why;
        return std::nullopt;
    };
    Handle file(openName(path, GENERIC_READ, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS));
    if (!file.valid())
        return refuse(windowsErrorText(GetLastError()));
    if (const QString kind = refusedKindOf(file.get()); !kind.isEmpty())
        return refuse(kind);
    const QString tooLarge = QStringLiteral("is larger than %1 bytes").arg(maxBytes);
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size))
        return refuse(windowsErrorText(GetLastError()));
    if (size.QuadPart > maxBytes)
        return refuse(tooLarge);
    // Read to the end, but never more than the bound: the file may grow while it is read.
    QByteArray bytes;
    char buffer[65536];
    for (;;) {
        DWORD n = 0;
        if (!ReadFile(file.get(), buffer, DWORD(sizeof buffer), &n, nullptr))
            return refuse(windowsErrorText(GetLastError()));
        if (n == 0)
            break;
        bytes.append(buffer, n);
        if (bytes.size() > maxBytes)
            return refuse(tooLarge);
    }
    return bytes;
}

Result remove(const QString &path)
{
    // DeleteFile removes a symbolic link itself, never its target.
    if (DeleteFileW(nativeName(path).c_str()))
        return success();
    const DWORD code = GetLastError();
    if (code == ERROR_ACCESS_DENIED && QFileInfo(path).isDir())
        return refusal(QStringLiteral("is a folder"));
    return failure(windowsErrorText(code));
}

#else

namespace {

QString folderOf(const QString &path)
{
    const QString folder = QFileInfo(path).path();
    return folder.isEmpty() ? QStringLiteral(".") : folder;
}

QString windowsErrorText(int error)
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
        return failure(windowsErrorText(errno));
    }

    const QString folder = folderOf(path);
    QByteArray tempName;
    Descriptor file(createTemporary(folder, QFileInfo(path).fileName(), tempName));
    if (!file.valid())
        return failure(windowsErrorText(errno));
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
        return failure(windowsErrorText(error));
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
        return failure(windowsErrorText(error));
    }
    Descriptor file(fd);
    struct stat st;
    if (::fstat(file.get(), &st) != 0)
        return failure(windowsErrorText(errno));
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
    return error == 0 ? success() : failure(windowsErrorText(error));
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
        return refuse(errno == ELOOP ? QStringLiteral("is a symbolic link") : windowsErrorText(errno));
    struct stat st;
    if (::fstat(file.get(), &st) != 0)
        return refuse(windowsErrorText(errno));
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
            return refuse(windowsErrorText(errno));
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
    return failure(windowsErrorText(errno));
}

#endif

} // namespace SafeFile
