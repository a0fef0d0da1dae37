#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Lock files of serial devices ("LCK..ttyS0" in /run/lock): the convention by which
// programs on Linux keep a device to themselves. The folder is open to every account, so a
// lock file says only that some process claims the port; the station names the file and
// that process so that the operator or an integrator can look.
namespace SerialLock {

// The system's lock folder; tests give a folder of their own.
QString defaultFolder();

// The process named in a lock file's first bytes: a decimal PID after optional blanks (the
// text form, also the first line of Qt's lock files), or a 4-byte binary PID (the old
// form). 0 when the bytes name none. Pure.
qint64 pidFromLockBytes(const QByteArray &bytes);

struct Holder
{
    QString lockFile;
    qint64 pid = 0;      // 0 when the file names no process
    QString processName; // empty when it cannot be read
};

// The lock file that keeps devicePath from this process, if any: the lock file of the name
// as given and of the device a link leads to. A lock file whose process has ended is stale
// and counts only when includeStale is set (an open that failed all the same); one that
// names this very process does not count.
std::optional<Holder> holderOf(const QString &devicePath, const QString &lockFolder,
                               bool includeStale = false);

// "LCK..ttyS0" for /dev/ttyS0, "LCK.._srv_station_COM1" for a path elsewhere. Pure.
QString lockFileNameFor(const QString &devicePath);

// The name of a running process, from /proc (bounded, control characters removed); empty
// when it cannot be read.
QString processName(qint64 pid);

} // namespace SerialLock
