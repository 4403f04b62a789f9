#include "core/fileclaim.h"

#include "core/kverror.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>

FileClaim::FileClaim() = default;

FileClaim::~FileClaim() = default;

QString FileClaim::LockPath(const QString& path)
{
    // One name for the file however it is reached: through its links, or (a file not made
    // yet) through the links of its folder.
    const QFileInfo file(path);
    QString canonical = file.canonicalFilePath();
    if (canonical.isEmpty()) {
        const QString folder = QFileInfo(file.absolutePath()).canonicalFilePath();
        canonical = (folder.isEmpty() ? file.absolutePath() : folder) + u'/' + file.fileName();
    }
    const QFileInfo named(canonical);
    return named.absolutePath() + QStringLiteral("/.") + named.fileName() + QStringLiteral(".lock");
}

void FileClaim::Take(const QString& path)
{
    Release();
    auto lock = std::make_unique<QLockFile>(LockPath(path));
    // No age limit: a copy may keep a project open for days. Only a holder that is gone lets go.
    lock->setStaleLockTime(0);
    if (lock->tryLock(0)) {
        m_lock = std::move(lock);
        return;
    }
    if (lock->error() != QLockFile::LockFailedError)
        return;
    qint64 pid = 0;
    QString host;
    QString application;
    const bool named = lock->getLockInfo(&pid, &host, &application);
    // A lock file that names nobody was left by a copy killed (or a power cut) as it was made;
    // one that was made a moment ago may still be being written.
    const QDateTime made = QFileInfo(LockPath(path)).lastModified();
    if (!named && made.isValid() && made.secsTo(QDateTime::currentDateTime()) > 10) {
        lock->removeStaleLockFile();
        if (lock->tryLock(0)) {
            m_lock = std::move(lock);
            return;
        }
    }
    QString holder = QStringLiteral("another copy of Korvan Pro");
    if (named) {
        const QString user = QFileInfo(LockPath(path)).owner();
        holder += QStringLiteral(" (user %1 on %2, process %3)")
                      .arg(user.isEmpty() ? QStringLiteral("unknown") : user, host)
                      .arg(pid);
    }
    throw KvError(KvErr::FileInUse, {},
                  ErrorCatalogue::Description(KvErr::FileInUse).replace(u'|', QDir::toNativeSeparators(path))
                      + QStringLiteral("  It is held by ") + holder
                      + QStringLiteral(": try again when it has finished with it."));
}

void FileClaim::Release()
{
    m_lock.reset();
}

bool FileClaim::Held() const
{
    return m_lock && m_lock->isLocked();
}
