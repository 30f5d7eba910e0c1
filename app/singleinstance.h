#pragma once

#include <QLockFile>
#include <QString>
#include <optional>

// One controller per user and machine. Displays answer to port 7372 of the machine, so a second
// copy bound beside the first would take some of its answers, and both would write the same
// settings. The lock is held for the life of this object; a lock left by a copy that died is
// taken over.
class SingleInstance
{
public:
    // qb-timer.lock in the user's runtime folder.
    static QString defaultLockPath();

    explicit SingleInstance(const QString &lockPath = defaultLockPath());

    // The process id of the copy that holds the lock (0 when its lock file does not say), or
    // nothing when this process may run: it holds the lock, or the lock could not be made at
    // all, which is no reason to refuse the operator.
    std::optional<qint64> otherCopy() const { return m_otherCopy; }

private:
    QLockFile m_lock;
    std::optional<qint64> m_otherCopy;
};
