#include "app/singleinstance.h"

#include "link/logging.h"

#include <QStandardPaths>

QString SingleInstance::defaultLockPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) +
           QStringLiteral("/qb-timer.lock");
}

SingleInstance::SingleInstance(const QString &lockPath) : m_lock(lockPath)
{
    // Held for as long as the application runs: only a holder that is gone makes the lock
    // stale, never the lock's age.
    m_lock.setStaleLockTime(0);
    // The holder may quit between the failed attempt and the reading of its lock file.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (m_lock.tryLock(0))
            return;
        if (m_lock.error() != QLockFile::LockFailedError) {
            qCWarning(lcControl, "Cannot lock %s (error %d): not checking for another copy",
                      qUtf8Printable(lockPath), int(m_lock.error()));
            return;
        }
        qint64 pid = 0;
        QString hostName, appName;
        if (m_lock.getLockInfo(&pid, &hostName, &appName)) {
            m_otherCopy = pid;
            return;
        }
    }
    m_otherCopy = 0;
}
