// What a killed writer leaves (a hot journal beside its database), and the files of a folder as
// a kill at each step of a file replacement or removal would leave them: for the tests of the
// programs that link kdb.
#pragma once

#include "kdb/internal.h"
#include "kdb/kdb.h"
#include "tests/support/killpoint.h"
#include "tests/support/testenv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <gtest/gtest.h>
#include <unistd.h>

namespace KillPoint {

// Leaves beside the database `path` the hot journal of a writer killed inside a transaction
// that ran `change` and grew a table Bulk (made when missing) until it spilled into the file.
// The writer says where it is, and the kill lands there.
inline void LeaveHotJournal(const QString& path, const QString& change = {})
{
    const QString point = path + QStringLiteral(".inside");
    QFile::remove(point);
    const pid_t child = Repeat([&] {
        kdb::Database db = kdb::Database::Open(path);
        kdb::Transaction t(db);
        if (!change.isEmpty())
            db.Execute(change);
        db.Execute(QStringLiteral("CREATE TABLE IF NOT EXISTS Bulk (b BLOB)"));
        db.Execute(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
                                  "INSERT INTO Bulk SELECT randomblob(1000) FROM n"));
        db.Execute(QStringLiteral("PRAGMA cache_size = 10"));
        db.Execute(QStringLiteral("UPDATE Bulk SET b = randomblob(900)"));   // spills into the file
        QFile(point).open(QIODevice::WriteOnly);
        for (;;)
            ::pause();
    });
    ASSERT_TRUE(KillWhen(child, [&] {
        return QFileInfo::exists(point) && IsLiveJournal(path + QStringLiteral("-journal"));
    }));
    QFile::remove(point);
    ASSERT_TRUE(IsLiveJournal(path + QStringLiteral("-journal")));
}

// The log ("-wal") that a writer in the log mode keeps beside `path` after `change`, read before
// the writer's close writes it into the file; `fileThen` receives the file as it stood then. The
// file stays in the log mode.
inline QByteArray LogOfChange(const QString& path, const char* change, QByteArray* fileThen = nullptr)
{
    const auto bytes = [](const QString& file) {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    sqlite3* writer = nullptr;
    QByteArray log;
    if (sqlite3_open(QFile::encodeName(path).constData(), &writer) == SQLITE_OK
        && sqlite3_exec(writer, "PRAGMA journal_mode = WAL; PRAGMA wal_autocheckpoint = 0", nullptr, nullptr, nullptr)
               == SQLITE_OK
        && sqlite3_exec(writer, change, nullptr, nullptr, nullptr) == SQLITE_OK) {
        log = bytes(path + QStringLiteral("-wal"));
        if (fileThen)
            *fileThen = bytes(path);
    }
    sqlite3_close(writer);
    return log;
}

// While it lives, each step of a database file's replacement or removal copies the files
// `names` of `folder` (with their journals and logs) into a folder of their own: what a kill
// right after that step leaves, to be opened afterwards as the next start opens it.
class StepCopies {
public:
    StepCopies(const QString& folder, const QStringList& names)
    {
        kdb::detail::SetFileStepWatcher([this, folder, names](const char* step) {
            const QString copy = TestEnv::NewFolder(QStringLiteral("step-%1").arg(QString::fromLatin1(step)));
            for (const QString& name : names)
                for (const char* suffix : {"", "-journal", "-wal", "-shm"})
                    QFile::copy(folder + u'/' + name + QLatin1String(suffix), copy + u'/' + name + QLatin1String(suffix));
            m_folders << copy;
            m_steps << QString::fromLatin1(step);
        });
    }
    ~StepCopies() { kdb::detail::SetFileStepWatcher({}); }
    StepCopies(const StepCopies&) = delete;
    StepCopies& operator=(const StepCopies&) = delete;
    // The copies' folders and the steps they were taken after, in order.
    const QStringList& Folders() const { return m_folders; }
    const QStringList& Steps() const { return m_steps; }

private:
    QStringList m_folders;
    QStringList m_steps;
};

}
