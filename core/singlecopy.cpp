#include "core/singlecopy.h"

#include <QDir>
#include <QLockFile>
#include <QStandardPaths>

SingleCopy::SingleCopy(QString lockFolder)
{
    if (lockFolder.isEmpty())
        lockFolder = DefaultFolder();
    QDir().mkpath(lockFolder);
    m_path = QDir(lockFolder).filePath(QStringLiteral("korvan.lock"));
}

SingleCopy::~SingleCopy() = default;

QString SingleCopy::DefaultFolder()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return folder;
}

bool SingleCopy::TryAcquire()
{
    if (Held())
        return true;
    auto lock = std::make_unique<QLockFile>(m_path);
    // No age limit: a copy that has run for hours still owns its lock. Staleness is decided
    // only by whether the owning process is still alive.
    lock->setStaleLockTime(0);
    if (lock->tryLock(0)) {
        m_lock = std::move(lock);
        return true;
    }
    // Only a lock held by a live copy means another copy runs. A folder that cannot take the
    // lock file must not keep the program from starting at all.
    return lock->error() != QLockFile::LockFailedError;
}

bool SingleCopy::Held() const
{
    return m_lock && m_lock->isLocked();
}
