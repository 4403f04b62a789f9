// The program run from outside, offscreen, with private settings, lock and data folders: a
// second copy ends at once and writes nothing; the first runs and ends by itself.
#include "kdb/backup.h"
#include "kdb/kdb.h"
#include "tests/support/killpoint.h"
#include "tests/support/testenv.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSettings>
#include <QThread>
#include <gtest/gtest.h>

namespace {
struct Folders {
    QString runtime, config, data;
};

Folders privateFolders(const QString& runtime = {})
{
    Folders f;
    f.runtime = runtime.isEmpty() ? TestEnv::NewFolder(QStringLiteral("run")) : runtime;
    QFile::setPermissions(f.runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    f.config = TestEnv::NewFolder(QStringLiteral("config"));
    f.data = TestEnv::NewFolder(QStringLiteral("data"));
    return f;
}

void start(QProcess& process, const Folders& f, int quitAfterMs, const QStringList& arguments = {},
           const QString& tempFolder = {})
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // A temporary folder of its own: the copy's start-up sweep must not reach the working
    // files of tests that run beside it.
    env.insert(QStringLiteral("TMPDIR"), tempFolder.isEmpty() ? TestEnv::NewFolder(QStringLiteral("tmp")) : tempFolder);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), f.runtime);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), f.config);
    env.insert(QStringLiteral("XDG_DATA_HOME"), f.data);
    env.insert(QStringLiteral("KORVAN_QUIT_AFTER_MS"), QString::number(quitAfterMs));
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(f.data);
    process.start(QStringLiteral(KORVAN_PROGRAM), arguments);
}

// What a snapshot copy killed half-way leaves beside its target: the part, pages of the copy in
// it, and its journal.
QString killedCopy(const QString& folder)
{
    const QString source = folder + QStringLiteral("/sales.kvp");
    {
        kdb::Database db = kdb::Database::Create(source);
        db.Execute(QStringLiteral("CREATE TABLE Bulk (Data BLOB)"));
        kdb::Transaction t(db);
        kdb::Statement ins = db.Prepare(QStringLiteral("INSERT INTO Bulk (Data) VALUES (?)"));
        for (int i = 0; i < 256; ++i)
            ins.Run({kdb::Value(QByteArray(64 * 1024, 's'))});
        t.Commit();
    }
    const pid_t child = KillPoint::Repeat([&] { kdb::CopyDatabaseFile(source, folder + QStringLiteral("/sales.snap")); });
    const QString part = folder + QStringLiteral("/.sales.snap.part%1").arg(child);
    EXPECT_TRUE(KillPoint::KillWhen(child, [&] {
        return QFileInfo(part).size() >= 8 * 1024 * 1024 && QFileInfo::exists(part + QStringLiteral("-journal"));
    }));
    return part;
}

QString settingsFile(const Folders& f)
{
    return f.config + QStringLiteral("/Veltra/Korvan.conf");
}
} // namespace

TEST(Program, SecondCopyEndsAtOnceWithoutAWindow)
{
    const Folders first = privateFolders();
    QProcess firstCopy;
    start(firstCopy, first, 8000);
    ASSERT_TRUE(firstCopy.waitForStarted(10000));
    const QString lock = first.runtime + QStringLiteral("/korvan.lock");
    QElapsedTimer clock;
    clock.start();
    while (!QFile::exists(lock) && clock.elapsed() < 10000)
        QThread::msleep(20);
    ASSERT_TRUE(QFile::exists(lock));

    // Same runtime folder, settings of its own: the second copy must not get as far as them.
    const Folders second = privateFolders(first.runtime);
    QProcess secondCopy;
    clock.restart();
    start(secondCopy, second, 5000);
    ASSERT_TRUE(secondCopy.waitForFinished(10000));
    EXPECT_LT(clock.elapsed(), 6000);
    EXPECT_EQ(secondCopy.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(secondCopy.exitCode(), 0);
    EXPECT_TRUE(secondCopy.readAllStandardOutput().isEmpty());
    EXPECT_FALSE(QFile::exists(settingsFile(second)));
    EXPECT_EQ(firstCopy.state(), QProcess::Running);

    ASSERT_TRUE(firstCopy.waitForFinished(30000));
    EXPECT_EQ(firstCopy.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(firstCopy.exitCode(), 0);
    // The first copy ran its main window and saved it on the way out.
    QSettings saved(settingsFile(first), QSettings::IniFormat);
    EXPECT_TRUE(saved.contains(QStringLiteral("Window/MainWidth")));
    EXPECT_EQ(saved.value(QStringLiteral("Config/Autoload")).toString(), QStringLiteral("True"));

    // The lock went with it: a new copy starts.
    const Folders third = privateFolders(first.runtime);
    QProcess thirdCopy;
    start(thirdCopy, third, 300, {QStringLiteral("Missing.kvp")});
    ASSERT_TRUE(thirdCopy.waitForFinished(30000));
    EXPECT_EQ(thirdCopy.exitCode(), 0);
    EXPECT_TRUE(QFile::exists(settingsFile(third)));
}

TEST(Program, StartUpRemovesWhatAKilledCopyLeftBehind)
{
    const Folders f = privateFolders();
    const QString temp = TestEnv::NewFolder(QStringLiteral("tmp"));
    const QString program = f.data + QStringLiteral("/Veltra/Korvan");
    ASSERT_TRUE(QDir().mkpath(program));
    QProcess ended;
    ended.start(QStringLiteral("true"), {});
    ASSERT_TRUE(ended.waitForStarted(5000));
    const qint64 deadPid = ended.processId();
    ASSERT_TRUE(ended.waitForFinished(5000));
    const auto touch = [](const QString& path) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("x");
    };
    // An import elsewhere recorded its folder in the program's folder before it was killed.
    const QString elsewhere = TestEnv::NewFolder(QStringLiteral("elsewhere"));
    {
        QFile record(program + QStringLiteral("/.temporary-folders"));
        ASSERT_TRUE(record.open(QIODevice::WriteOnly));
        record.write(QFile::encodeName(elsewhere) + '\n');
    }
    const QStringList leftovers{temp + QStringLiteral("/~KV12345.Tmp"), temp + QStringLiteral("/~KV54321.Tmp.Ab3xYz.tmp"),
                                program + QStringLiteral("/iris.mdb.~%1-2.tmp").arg(deadPid),
                                elsewhere + QStringLiteral("/sales.mdb.~%1-1.tmp").arg(deadPid),
                                elsewhere + QStringLiteral("/sales.mdb.~%1-1.tmp-journal").arg(deadPid)};
    // A snapshot copy killed half-way there, with its journal, and one that a version which
    // wrote the first page last left (zeroes, a journal beside); a hidden file of the user's
    // named like a part is no database and stays.
    const QString part = killedCopy(elsewhere);
    const QString oldPart = elsewhere + QStringLiteral("/.old.snap.part%1").arg(deadPid);
    const QStringList others{temp + QStringLiteral("/~KVnotes.txt"), program + QStringLiteral("/iris.mdb.bak"),
                             elsewhere + QStringLiteral("/.notes.part%1").arg(deadPid)};
    for (const QString& path : leftovers + others)
        touch(path);
    {
        QFile file(oldPart);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(8192, '\0') + QByteArray(4096, 'x'));
        QFile journal(oldPart + QStringLiteral("-journal"));
        ASSERT_TRUE(journal.open(QIODevice::WriteOnly));
        journal.write(QByteArray("\xd9\xd5\x05\xf9\x20\xa1\x63\xd7", 8) + QByteArray(504, '\0'));
    }

    QProcess copy;
    start(copy, f, 300, {}, temp);
    ASSERT_TRUE(copy.waitForFinished(30000));
    EXPECT_EQ(copy.exitCode(), 0);
    for (const QString& path : leftovers + QStringList{part, part + QStringLiteral("-journal"), oldPart,
                                                       oldPart + QStringLiteral("-journal")})
        EXPECT_FALSE(QFile::exists(path)) << path.toStdString();
    for (const QString& path : others)
        EXPECT_TRUE(QFile::exists(path)) << path.toStdString();
    // Nothing of that folder is left to sweep: it is forgotten.
    EXPECT_FALSE(QFile::exists(program + QStringLiteral("/.temporary-folders")));
}
