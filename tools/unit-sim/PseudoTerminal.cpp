#include "PseudoTerminal.h"

#include <QFile>
#include <QRandomGenerator>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

// Bytes kept for a reader or a writer that does not keep up; beyond this the oldest go, as
// they would on a serial line nobody listens to.
constexpr qsizetype kMaxBuffered = 1 << 20;
constexpr int kRetryMs = 50;

QString errnoText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

QByteArray readLink(const QByteArray &path)
{
    QByteArray target(4096, '\0');
    const ssize_t n = ::readlink(path.constData(), target.data(), size_t(target.size()));
    return n < 0 ? QByteArray() : target.left(n);
}

} // namespace

PseudoTerminal::PseudoTerminal(QObject *parent) : QObject(parent) {}

PseudoTerminal::~PseudoTerminal()
{
    close();
}

bool PseudoTerminal::fail(const QString &what)
{
    m_error = what;
    close();
    return false;
}

bool PseudoTerminal::open(const QString &linkPath)
{
    close();
    m_error.clear();
    const QByteArray link = QFile::encodeName(linkPath);

    struct stat st;
    if (::lstat(link.constData(), &st) == 0 && !S_ISLNK(st.st_mode))
        return fail(QStringLiteral("%1 exists and is not a symbolic link").arg(linkPath));

    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_master < 0)
        return fail(QStringLiteral("posix_openpt: %1").arg(errnoText()));
    ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
        return fail(QStringLiteral("grantpt/unlockpt: %1").arg(errnoText()));
    const char *slave = ::ptsname(m_master);
    if (!slave)
        return fail(QStringLiteral("ptsname: %1").arg(errnoText()));
    m_slavePath = QFile::decodeName(slave);

    // Raw before anyone opens the slave, or the slave starts cooked and echoes.
    struct termios tio;
    if (::tcgetattr(m_master, &tio) != 0)
        return fail(QStringLiteral("tcgetattr: %1").arg(errnoText()));
    ::cfmakeraw(&tio);
    if (::tcsetattr(m_master, TCSANOW, &tio) != 0)
        return fail(QStringLiteral("tcsetattr: %1").arg(errnoText()));

    // While no program has the slave open, reading the master would give EIO at once and
    // the read notifier would fire without end; our own slave descriptor prevents that.
    m_slaveKeeper = ::open(slave, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_slaveKeeper < 0)
        return fail(QStringLiteral("open %1: %2").arg(m_slavePath, errnoText()));

    // Publish atomically: a program polling the path sees either no link or a working one.
    const QByteArray temp = link + ".tmp-" + QByteArray::number(::getpid()) + "-" +
                            QByteArray::number(QRandomGenerator::global()->generate(), 16);
    if (::symlink(slave, temp.constData()) != 0)
        return fail(QStringLiteral("symlink %1: %2").arg(QFile::decodeName(temp), errnoText()));
    if (::rename(temp.constData(), link.constData()) != 0) {
        const QString why = errnoText();
        ::unlink(temp.constData());
        return fail(QStringLiteral("rename to %1: %2").arg(linkPath, why));
    }
    m_linkPath = linkPath;

    m_readNotifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, [this] {
        if (readMaster())
            emit readyRead();
    });
    m_writeNotifier = new QSocketNotifier(m_master, QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &PseudoTerminal::flushOut);
    return true;
}

void PseudoTerminal::close()
{
    delete m_readNotifier;
    m_readNotifier = nullptr;
    delete m_writeNotifier;
    m_writeNotifier = nullptr;
    if (!m_linkPath.isEmpty()) {
        // Remove the link only while it is still ours: another pty may have taken the path.
        const QByteArray link = QFile::encodeName(m_linkPath);
        if (readLink(link) == QFile::encodeName(m_slavePath))
            ::unlink(link.constData());
        m_linkPath.clear();
    }
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
    if (m_slaveKeeper >= 0)
        ::close(m_slaveKeeper);
    m_slaveKeeper = -1;
    m_slavePath.clear();
    m_in.clear();
    m_out.clear();
}

qint64 PseudoTerminal::write(const QByteArray &bytes)
{
    if (m_master < 0)
        return -1;
    m_out.append(bytes);
    if (m_out.size() > kMaxBuffered)
        m_out.remove(0, m_out.size() - kMaxBuffered);
    flushOut();
    return bytes.size();
}

QByteArray PseudoTerminal::readAll()
{
    readMaster();
    QByteArray out;
    out.swap(m_in);
    return out;
}

bool PseudoTerminal::readMaster()
{
    if (m_master < 0)
        return false;
    const qsizetype before = m_in.size();
    char chunk[4096];
    for (;;) {
        const ssize_t n = ::read(m_master, chunk, sizeof chunk);
        if (n > 0) {
            m_in.append(chunk, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && m_readNotifier) {
            // EIO or a hang-up, which our own slave descriptor should prevent: rest the
            // notifier rather than let it fire without end, and look again a little later.
            m_readNotifier->setEnabled(false);
            QTimer::singleShot(kRetryMs, this, [this] {
                if (m_readNotifier)
                    m_readNotifier->setEnabled(true);
            });
        }
        break;
    }
    const bool grew = m_in.size() > before;
    if (m_in.size() > kMaxBuffered)
        m_in.remove(0, m_in.size() - kMaxBuffered);
    return grew;
}

void PseudoTerminal::flushOut()
{
    while (m_master >= 0 && !m_out.isEmpty()) {
        const ssize_t n = ::write(m_master, m_out.constData(), size_t(m_out.size()));
        if (n > 0) {
            m_out.remove(0, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break; // EAGAIN: the pty is full; the write notifier tells when it has room
    }
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(!m_out.isEmpty());
}
