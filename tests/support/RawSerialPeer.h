#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

// The device side of a raw pseudo-terminal that reads only when it is asked to: a serial
// unit that takes nothing (its line stalled) until the test or benchmark reads. Published
// as a symbolic link, made under a temporary name and renamed into place.
class RawSerialPeer
{
public:
    RawSerialPeer() = default;
    RawSerialPeer(const RawSerialPeer &) = delete;
    RawSerialPeer &operator=(const RawSerialPeer &) = delete;
    ~RawSerialPeer()
    {
        if (m_master >= 0)
            ::close(m_master);
        if (m_keeper >= 0)
            ::close(m_keeper);
    }

    bool open(const QString &linkPath)
    {
        m_master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0)
            return false;
        termios t{};
        if (tcgetattr(m_master, &t) != 0)
            return false;
        cfmakeraw(&t);
        if (tcsetattr(m_master, TCSANOW, &t) != 0)
            return false;
        const QByteArray slave = ptsname(m_master);
        // Our own slave descriptor: the master never reads EIO when the station closes.
        m_keeper = ::open(slave.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        const QByteArray link = QFile::encodeName(linkPath);
        const QByteArray temporary = link + ".new";
        ::unlink(temporary.constData());
        return ::symlink(slave.constData(), temporary.constData()) == 0 &&
               ::rename(temporary.constData(), link.constData()) == 0;
    }

    // Everything the station has written that the pseudo-terminal holds now, without waiting.
    QByteArray readAvailable()
    {
        QByteArray out;
        char chunk[65536];
        for (;;) {
            const ssize_t n = ::read(m_master, chunk, sizeof chunk);
            if (n <= 0)
                break;
            out.append(chunk, n);
        }
        return out;
    }

private:
    int m_master = -1;
    int m_keeper = -1;
};
