#pragma once

#include <QLockFile>
#include <QString>

// Keeps a second copy of the station from running on the same configuration folder: the
// first copy holds a lock file there for as long as it runs. A lock left behind by a copy
// that died (crash, kill) is recognised by its dead process and taken over.
class SingleInstance
{
public:
    static constexpr const char *kLockFileName = "TrelvaneEnrollment.lock";

    explicit SingleInstance(const QString &folder);

    // False only when another running copy holds the lock. A folder where no lock can be
    // made at all (read-only, missing) does not keep the station from starting.
    bool acquire();
    bool isHeld() const { return m_lock.isLocked(); }

private:
    QLockFile m_lock;
};
