#include "network/enginefile.h"

#include "core/apppaths.h"
#include "engine/korvan_engine.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QTime>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// Enough draws to step past every name another object or program holds at the moment.
constexpr int kAttempts = 1000;

const QString kPrefix = QStringLiteral("~KV");

QString workingName(const QString& folder, const QString& digits)
{
    return folder + QLatin1Char('/') + kPrefix + digits + QStringLiteral(".Tmp");
}

QString lockName(const QString& folder, const QString& digits)
{
    return folder + QLatin1Char('/') + kPrefix + digits + QStringLiteral(".Lck");
}

QString candidateDigits()
{
    const double seconds = QTime::currentTime().msecsSinceStartOfDay() / 1000.0;
    const double fraction = QRandomGenerator::global()->generateDouble();
    const int digits = int(seconds + fraction * 10001) % 100000;
    return QStringLiteral("%1").arg(digits, 5, 10, QLatin1Char('0'));
}

// Opens the lock file and takes its lock without waiting. The lock counts only on the file
// that still stands under the name: a sweep may have removed it between the open and the
// lock. -1 when the file cannot be opened (or, with `fresh`, already exists) or another
// holds it. The lock goes with the process, however it ends.
int takeLock(const QString& path, bool fresh)
{
    const QByteArray native = QFile::encodeName(path);
    const int flags = O_RDWR | O_CREAT | O_CLOEXEC | (fresh ? O_EXCL : 0);
    const int fd = ::open(native.constData(), flags, 0600);
    if (fd < 0)
        return -1;
    struct stat held {};
    struct stat named {};
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::fstat(fd, &held) != 0 || ::stat(native.constData(), &named) != 0
        || held.st_dev != named.st_dev || held.st_ino != named.st_ino) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Gives a held lock up: the name goes first, so that nobody locks a file about to vanish.
void dropLock(const QString& path, int fd)
{
    QFile::remove(path);
    ::close(fd);
}
} // namespace

CEngineFile::CEngineFile()
{
    // A failure to reserve leaves a name without a file: the engine then reports its own
    // file errors when it is asked to write.
    try {
        const QString folder = QDir::cleanPath(AppPaths::TempFolder());
        QDir().mkpath(folder);
        const auto reserve = [&](const QString& digits) {
            m_name = workingName(folder, digits);
            const QString lock = lockName(folder, digits);
            const int fd = takeLock(lock, true);
            if (fd < 0)
                return false;
            // The digits are ours now; a file left under them by a copy that ended is taken over.
            QFile f(m_name);
            if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
                dropLock(lock, fd);
                return false;
            }
            m_lockName = lock;
            m_lockFd = fd;
            m_reserved = true;
            return true;
        };
        for (int i = 0; i < kAttempts && !m_reserved; ++i)
            reserve(candidateDigits());
        // The draws cover only the digits near the time of day: where copies that were killed
        // left those taken, every other name is tried before this one settles for a name that
        // may be another's.
        for (int digits = 0; digits < 100000 && !m_reserved; ++digits)
            reserve(QStringLiteral("%1").arg(digits, 5, 10, QLatin1Char('0')));
    } catch (...) {
    }
    m_native = QFile::encodeName(m_name);
}

CEngineFile::~CEngineFile()
{
    VTRELEASE(m_native.constData());
    if (m_reserved)
        QFile::remove(m_name);
    if (m_lockFd >= 0)
        dropLock(m_lockName, m_lockFd);
}

bool CEngineFile::HoldsNetwork() const
{
    const QFileInfo info(m_name);
    return info.isFile() && info.size() > 0;
}

bool CEngineFile::Missing() const
{
    return m_reserved && !QFileInfo::exists(m_name);
}

void CEngineFile::Clear()
{
    QFile f(m_name);
    if (f.exists())
        f.resize(0);
    else if (m_reserved)
        f.open(QIODevice::WriteOnly);
}

void CEngineFile::RemoveLeftovers(const QString& folder)
{
    // "~KV12345.Tmp", its lock "~KV12345.Lck", and "~KV12345.Tmp.Ab3xYz.tmp" of a write the
    // engine did not finish.
    static const QRegularExpression pattern(
        QStringLiteral("^~KV(\\d{5})\\.(?:Tmp(?:\\.[A-Za-z0-9]{6}\\.tmp)?|Lck)$"));
    QMultiHash<QString, QString> filesOf;
    QDirIterator it(folder, {QStringLiteral("~KV*")}, QDir::Files | QDir::Hidden | QDir::System);
    while (it.hasNext()) {
        const QString path = it.next();
        const QRegularExpressionMatch m = pattern.match(it.fileName());
        if (m.hasMatch())
            filesOf.insert(m.captured(1), path);
    }
    const QString base = QDir::cleanPath(folder);
    for (const QString& digits : filesOf.uniqueKeys()) {
        // Only whoever holds the lock may remove the files of these digits: while their copy
        // runs that is the copy itself, and the sweep passes them by.
        const QString lock = lockName(base, digits);
        const int fd = takeLock(lock, false);
        if (fd < 0)
            continue;
        for (const QString& path : filesOf.values(digits))
            if (QFileInfo(path).fileName() != QFileInfo(lock).fileName())
                QFile::remove(path);
        dropLock(lock, fd);
    }
}
