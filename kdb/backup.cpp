#include "kdb/backup.h"

#include "core/kverror.h"
#include "kdb/internal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Closes a connection at scope end.
struct Connection {
    sqlite3* db = nullptr;
    ~Connection() { sqlite3_close_v2(db); }
};

int pageSize(sqlite3* db)
{
    sqlite3_stmt* st = nullptr;
    int size = 4096;
    if (sqlite3_prepare_v2(db, "PRAGMA page_size", -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
        size = sqlite3_column_int(st, 0);
    sqlite3_finalize(st);
    return size;
}

[[noreturn]] void fail(int number, const QString& text)
{
    throw KvError(number, QStringLiteral("kdb::CopyDatabaseFile"), text);
}

bool syncPath(const QString& path, bool folder)
{
    const int fd = ::open(QFile::encodeName(path).constData(), folder ? O_RDONLY | O_DIRECTORY : O_RDONLY);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

kdb::detail::FileStepWatcher& stepWatcher()
{
    static kdb::detail::FileStepWatcher watcher;
    return watcher;
}

void stepDone(const char* step)
{
    if (stepWatcher())
        stepWatcher()(step);
}

constexpr const char* kCompanions[] = {"-journal", "-wal", "-shm"};

// Removes what SQLite keeps beside `path`; true when anything went.
bool removeCompanions(const QString& path)
{
    bool removed = false;
    for (const char* suffix : kCompanions)
        removed = QFile::remove(path + QLatin1String(suffix)) || removed;
    return removed;
}

// The companions go first: a removal cut short leaves the file itself, which a sweep still
// recognises, never a journal without it.
void removeWithCompanions(const QString& path)
{
    removeCompanions(path);
    QFile::remove(path);
}

// A copy is built in the hidden file "." + the target's name + ".part" + the process id.
QString partPrefix(const QString& targetName)
{
    return QLatin1Char('.') + targetName + QStringLiteral(".part");
}

// A part's journal: empty, or a rollback journal by its header (the journal's magic, or zeroes
// once its transaction ended).
bool looksLikeJournal(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(8);
    return head.isEmpty() || head == QByteArray(8, '\0')
           || head == QByteArray("\xd9\xd5\x05\xf9\x20\xa1\x63\xd7", 8);
}

// A part as a copy leaves it, whenever it was killed: still empty, or a database (its first
// page is written before the copy begins, and the copy writes the source's first page only when
// it ends). Copies made before the first page came first left a first page of zeroes, with the
// copy's journal beside it. A file of the user's that happens to have such a name is no part.
bool looksLikePart(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(100);
    if (head.isEmpty() || head.startsWith(QByteArray("SQLite format 3\0", 16)))
        return true;
    const QString journal = path + QStringLiteral("-journal");
    return head == QByteArray(100, '\0') && QFileInfo(journal).size() > 0 && looksLikeJournal(journal);
}

// Removes the parts in `folder` whose name starts with `prefix` and whose process has ended,
// with their journals.
bool removeDeadParts(const QString& folder, const QString& prefix)
{
    static const QRegularExpression pattern(QStringLiteral("^\\..+\\.part(\\d+)(-journal)?$"));
    bool kept = false;
    const QDir dir(folder);
    for (const QString& name : dir.entryList({prefix + QLatin1Char('*')}, QDir::Files | QDir::Hidden | QDir::System)) {
        const QRegularExpressionMatch m = pattern.match(name);
        if (!m.hasMatch())
            continue;
        bool ok = false;
        const qint64 pid = m.captured(1).toLongLong(&ok);
        if (!ok)
            continue;
        if (kdb::ProcessRuns(pid)) {
            kept = true;
            continue;
        }
        const QString path = dir.filePath(name);
        if (m.captured(2).isEmpty()) {
            if (looksLikePart(path))
                removeWithCompanions(path);
        } else if (!QFileInfo::exists(path.chopped(m.captured(2).size())) && looksLikeJournal(path)) {
            QFile::remove(path);
        }
    }
    return kept;
}

// Holds a database file against every other writer while its name is given to another file or
// taken away: a writer at work (its lock taken) makes the file in use, and none can begin before
// the name is gone (a writer that had the file open then finds it moved and writes no more).
// What is no database, or cannot be written, is held by nothing.
class WriterHold {
public:
    explicit WriterHold(const QString& path)
    {
        const QByteArray native = QFile::encodeName(path);
        if (!QFileInfo(path).isFile() || ::access(native.constData(), W_OK) != 0
            || sqlite3_open_v2(native.constData(), &m_connection.db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
            return;
        sqlite3_busy_timeout(m_connection.db, 300);
        const int rc = sqlite3_exec(m_connection.db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        if ((rc & 0xff) == SQLITE_BUSY)
            throw kdb::FileInUseError(path);
        m_held = rc == SQLITE_OK;
        // A file in the log mode would write its log back into itself, and remove it by name, as
        // its last connection closes, long after the name went to another file: it is only
        // asked (and its log played in now).
        if (m_held && !inJournalMode()) {
            sqlite3_exec(m_connection.db, "ROLLBACK", nullptr, nullptr, nullptr);
            sqlite3_close_v2(m_connection.db);
            m_connection.db = nullptr;
            m_held = false;
        }
    }
    ~WriterHold()
    {
        if (m_held)
            sqlite3_exec(m_connection.db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    WriterHold(const WriterHold&) = delete;
    WriterHold& operator=(const WriterHold&) = delete;

private:
    bool inJournalMode() const
    {
        sqlite3_stmt* st = nullptr;
        bool journal = false;
        if (sqlite3_prepare_v2(m_connection.db, "PRAGMA journal_mode", -1, &st, nullptr) == SQLITE_OK
            && sqlite3_step(st) == SQLITE_ROW) {
            const auto* mode = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
            journal = mode && std::strcmp(mode, "wal") != 0;
        }
        sqlite3_finalize(st);
        return journal;
    }

    Connection m_connection;
    bool m_held = false;
};

QString replaceFailure(const QString& target, int error)
{
    return QStringLiteral("Could not replace the file '%1' (%2).").arg(target, QString::fromLocal8Bit(std::strerror(error)));
}

} // namespace

QString kdb::ReplacementTarget(const QString& path)
{
    QString target = QFileInfo(path).absoluteFilePath();
    // As the system follows them: a chain of at most 40 links.
    for (int links = 0; QFileInfo(target).isSymLink(); ++links) {
        if (links == 40)
            throw KvError(KvErr::PathFileAccess, {}, replaceFailure(path, ELOOP));
        target = QFileInfo(target).symLinkTarget();
    }
    const QFileInfo info(target);
    if (!info.exists())
        return target;
    if (info.isDir())
        throw KvError(KvErr::PathFileAccess, {}, replaceFailure(path, EISDIR));
    if (const QString why = detail::NotAFileReason(target); !why.isEmpty())
        throw KvError(KvErr::CannotOpenFile, {}, why);
    // A file made read-only is kept from changes on purpose, also from the superuser, whom its
    // mode does not stop.
    struct stat st {};
    const QByteArray native = QFile::encodeName(target);
    if (::access(native.constData(), W_OK) != 0 || (::stat(native.constData(), &st) == 0 && !(st.st_mode & S_IWUSR)))
        throw KvError(KvErr::PermissionDenied, {}, replaceFailure(path, EACCES));
    return target;
}

bool kdb::ProcessRuns(qint64 pid)
{
    if (pid <= 0 || pid > std::numeric_limits<pid_t>::max())
        return false;
    return pid == qint64(::getpid()) || ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

bool kdb::RemoveLeftoverCopies(const QString& folder)
{
    return removeDeadParts(folder, QStringLiteral("."));
}

void kdb::KeepOwnerOnly(const QString& path)
{
    for (const char* suffix : {"", "-journal", "-wal", "-shm"}) {
        const QByteArray name = QFile::encodeName(path + QLatin1String(suffix));
        [[maybe_unused]] const int rc = ::chmod(name.constData(), S_IRUSR | S_IWUSR);
    }
}

void kdb::CopyDatabaseFile(const QString& source, const QString& targetName)
{
    if (!QFileInfo(source).isFile())
        fail(3024, QStringLiteral("Could not find file '%1'.").arg(source));
    QString target;
    try {
        target = kdb::ReplacementTarget(targetName);
    } catch (const KvError& e) {
        fail(e.number(), e.description());
    }

    // The source is read through a read-only connection, which cannot play back the journal of
    // a writer that was killed.
    try {
        kdb::detail::RecoverInterruptedWrite(source);
    } catch (const KvError& e) {
        fail(e.number(), e.description());
    }
    Connection from;
    if (sqlite3_open_v2(QFile::encodeName(source).constData(), &from.db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        fail(3343, QStringLiteral("Unrecognized database format '%1'.").arg(source));
    sqlite3_busy_timeout(from.db, 2000);
    // Reading the schema proves the file is a database before anything is written.
    if (sqlite3_exec(from.db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr) != SQLITE_OK)
        fail(3343, QStringLiteral("Unrecognized database format '%1'.").arg(source));

    // The copy is built beside the target, so that the final rename stays on one file system.
    const QFileInfo targetInfo(target);
    const QString prefix = partPrefix(targetInfo.fileName());
    const QString part = targetInfo.absolutePath() + QLatin1Char('/') + prefix + QString::number(::getpid());
    // Copies of earlier runs that were killed half-way are of no use to anyone; one that
    // another process is making right now is its own.
    removeDeadParts(targetInfo.absolutePath(), prefix);
    removeWithCompanions(part);
    bool published = false;
    struct Cleanup {
        const QString& part;
        bool& published;
        ~Cleanup()
        {
            if (!published)
                removeWithCompanions(part);
        }
    } cleanup{part, published};

    {
        // Made here, empty, with the source's permissions (less what the process's mask takes
        // away), before a byte of the copy is in it.
        struct stat from_stat {};
        const mode_t mode = ::stat(QFile::encodeName(source).constData(), &from_stat) == 0
                                ? mode_t(from_stat.st_mode & 0777)
                                : mode_t(0644);
        const int fd = ::open(QFile::encodeName(part).constData(), O_CREAT | O_EXCL | O_WRONLY, mode);
        if (fd < 0)
            fail(3051, QStringLiteral("Could not write the file '%1'.").arg(target));
        ::close(fd);
        Connection to;
        // An empty database with the source's page size first: the copy spills its pages 2..N
        // as its cache fills, and a part killed then must still begin with a database header.
        const QByteArray header = QStringLiteral("PRAGMA page_size = %1; PRAGMA user_version = 0")
                                      .arg(pageSize(from.db))
                                      .toLatin1();
        if (sqlite3_open_v2(QFile::encodeName(part).constData(), &to.db,
                            SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK
            || sqlite3_exec(to.db, header.constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
            fail(3051, QStringLiteral("Could not write the file '%1'.").arg(target));
        sqlite3_backup* backup = sqlite3_backup_init(to.db, "main", from.db, "main");
        if (!backup)
            fail(3051, QString::fromUtf8(sqlite3_errmsg(to.db)));
        // One step copies every page under one read lock; a writer committing right now makes
        // the step busy, and the step is retried for a while.
        int rc = SQLITE_OK;
        for (int attempt = 0; attempt < 100; ++attempt) {
            rc = sqlite3_backup_step(backup, -1);
            if (rc != SQLITE_BUSY && rc != SQLITE_LOCKED)
                break;
            QThread::msleep(20);
        }
        const int finished = sqlite3_backup_finish(backup);
        if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED)
            fail(3046, QStringLiteral("The file '%1' stayed locked by another user.").arg(source));
        if (rc != SQLITE_DONE || finished != SQLITE_OK)
            fail(3051, QString::fromUtf8(sqlite3_errmsg(to.db)));
    }
    try {
        kdb::ReplaceDatabaseFile(part, target);
    } catch (const KvError& e) {
        fail(e.number(), e.description());
    }
    published = true;
}

bool kdb::detail::SyncFile(const QString& path)
{
    return syncPath(path, false);
}

bool kdb::detail::SyncFolder(const QString& folder)
{
    return syncPath(folder, true);
}

void kdb::detail::SetFileStepWatcher(FileStepWatcher watcher)
{
    stepWatcher() = std::move(watcher);
}

void kdb::ReplaceDatabaseFile(const QString& temp, const QString& targetName)
{
    const QString target = ReplacementTarget(targetName);
    const QString folder = QFileInfo(target).absolutePath();
    // A rename must never publish a file whose bytes are still only in memory.
    if (!syncPath(temp, false))
        throw KvError(3051, {}, QStringLiteral("Could not write the file '%1'.").arg(target));
    // Until the rename the name keeps the old file, and that must be whole by itself at every
    // moment: its journal is played back into it first, durably, rather than removed (the old
    // file without it would be damaged) or left (it would be played into the new file). The
    // journal of a writer still at work is its own: the file is in use, and both stay.
    if (QFileInfo::exists(target))
        detail::RecoverInterruptedWrite(target);
    const WriterHold hold(target);
    stepDone("recovered");
    // What is left beside the old file holds nothing to play back, but is no part of the new one.
    if (removeCompanions(target))
        syncPath(folder, true);
    stepDone("cleared");
    if (std::rename(QFile::encodeName(temp).constData(), QFile::encodeName(target).constData()) != 0) {
        const int err = errno;
        throw KvError(err == EACCES || err == EPERM || err == EROFS ? KvErr::PermissionDenied : KvErr::PathFileAccess,
                      {}, replaceFailure(target, err));
    }
    stepDone("renamed");
    syncPath(folder, true);
}

void kdb::RemoveDatabaseFile(const QString& path)
{
    const QString folder = QFileInfo(path).absolutePath();
    QFile file(path);
    // A journal that outlived its file would be played into the next file of that name: it is
    // played back into its own first, as the replacement does, and a writer at work keeps both.
    if (QFileInfo(path).isFile())
        detail::RecoverInterruptedWrite(path);
    const WriterHold hold(path);
    // The file goes first and for good; what stays beside it for a moment holds nothing to play.
    if (QFileInfo(path).exists() || QFileInfo(path).isSymLink()) {
        if (!file.remove())
            throw KvError(KvErr::PermissionDenied, {},
                          QStringLiteral("Permission denied: ") + path + QStringLiteral(" (") + file.errorString()
                              + QLatin1Char(')'));
        syncPath(folder, true);
    }
    stepDone("removed");
    if (removeCompanions(path))
        syncPath(folder, true);
}
