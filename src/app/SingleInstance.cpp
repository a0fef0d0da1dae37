#include "app/SingleInstance.h"

SingleInstance::SingleInstance(const QString &folder)
    : m_lock(folder + QLatin1String(kLockFileName))
{
    // A lock is stale only when its process is gone, never because of its age: a station
    // runs for months.
    m_lock.setStaleLockTime(0);
}

bool SingleInstance::acquire()
{
    if (m_lock.isLocked() || m_lock.tryLock(0))
        return true;
    return m_lock.error() != QLockFile::LockFailedError;
}
