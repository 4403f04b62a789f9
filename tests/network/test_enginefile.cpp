// The engine's working file of a network object.
#include "core/apppaths.h"
#include "engine/netfile.h"
#include "tests/network/netfixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

TEST(EngineFile, EachObjectReservesItsOwnNameAndRemovesOnlyIt)
{
    const QString other = AppPaths::TempFolder() + "/~KV99999.Tmp";
    {
        QFile f(other);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("someone else's");
    }
    QString first, second;
    {
        CBackProp a;
        CSFam b;
        first = a.NetFileName();
        second = b.NetFileName();
        EXPECT_NE(first, second);
        EXPECT_TRUE(QRegularExpression("^~KV\\d{5}\\.Tmp$").match(QFileInfo(first).fileName()).hasMatch()) << first.toStdString();
        EXPECT_EQ(QFileInfo(first).absolutePath(), QDir(AppPaths::TempFolder()).absolutePath());
        EXPECT_TRUE(QFile::exists(first));
        EXPECT_TRUE(QFile::exists(second));
        EXPECT_NE(first, other);
    }
    EXPECT_FALSE(QFile::exists(first));
    EXPECT_FALSE(QFile::exists(second));
    EXPECT_TRUE(QFile::exists(other));
    QFile::remove(other);
}

TEST(EngineFile, ManyObjectsNeverShareAName)
{
    std::vector<std::unique_ptr<CBackProp>> nets;
    QSet<QString> names;
    for (int i = 0; i < 50; ++i) {
        nets.push_back(std::make_unique<CBackProp>());
        names.insert(nets.back()->NetFileName());
    }
    EXPECT_EQ(names.size(), 50);
}

// Copies that were killed leave their names taken; every free name is found all the same, and
// none that another holds is ever used.
TEST(EngineFile, AFreeNameIsFoundWhereKilledCopiesTookTheRest)
{
    const QString folder = TestEnv::NewFolder("crowded");
    const QByteArray before = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(folder));
    for (int digits = 0; digits < 100000; ++digits) {
        if (digits == 77777)
            continue;
        const QByteArray lock = QFile::encodeName(folder + QStringLiteral("/~KV%1.Lck").arg(digits, 5, 10, QLatin1Char('0')));
        ::close(::open(lock.constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600));
    }
    {
        CSFam net;
        EXPECT_EQ(net.NetFileName(), folder + "/~KV77777.Tmp");
        EXPECT_TRUE(QFile::exists(net.NetFileName()));
    }
    if (before.isNull())
        qunsetenv("TMPDIR");
    else
        qputenv("TMPDIR", before);
    QDir(folder).removeRecursively();
}

namespace {
void touch(const QString& path)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("x");
}

QStringList workingFiles(const QString& folder)
{
    return QDir(folder).entryList({"~KV*"}, QDir::Files | QDir::Hidden, QDir::Name);
}
} // namespace

// The start-up sweep of a copy of the program that runs beside another (under another runtime
// folder, so both run): the other copy's working file, with the network the engine wrote into
// it, stays; what copies that have ended left goes, and so do the files of the other copy
// once it has been killed.
TEST(EngineFile, TheStartUpSweepKeepsTheFilesOfACopyThatRuns)
{
    const QString folder = TestEnv::NewFolder("sweep");
    const QStringList stale{folder + "/~KV12345.Tmp", folder + "/~KV12345.Lck", folder + "/~KV54321.Tmp.Ab3xYz.tmp",
                            folder + "/~KV22222.Tmp"};
    for (const QString& path : stale)
        touch(path);
    touch(folder + "/~KVnotes.txt");

    QProcess other;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("TMPDIR", folder);
    other.setProcessEnvironment(env);
    other.start(QCoreApplication::applicationFilePath(),
                {"--gtest_also_run_disabled_tests", "--gtest_filter=DISABLED_EngineFileHolder.Run"});
    ASSERT_TRUE(other.waitForStarted(10000));
    QByteArray out;
    while (!out.contains("held ")) {
        ASSERT_TRUE(other.waitForReadyRead(20000)) << other.readAllStandardError().toStdString();
        out += other.readAllStandardOutput();
    }
    while (!out.endsWith('\n')) {
        ASSERT_TRUE(other.waitForReadyRead(20000));
        out += other.readAllStandardOutput();
    }
    const QString theirs = QString::fromUtf8(out.mid(out.indexOf("held ") + 5).trimmed());
    ASSERT_TRUE(theirs.startsWith(folder + "/~KV")) << theirs.toStdString();

    const QByteArray oldTemp = qgetenv("TMPDIR");
    qputenv("TMPDIR", folder.toUtf8());
    auto ours = std::make_unique<CSFam>();
    qputenv("TMPDIR", oldTemp);
    ASSERT_TRUE(ours->NetFileName().startsWith(folder + "/~KV"));

    CEngineFile::RemoveLeftovers(folder);
    EXPECT_EQ(QFile(theirs).size(), 100);
    EXPECT_TRUE(QFile::exists(ours->NetFileName()));
    for (const QString& path : stale)
        EXPECT_FALSE(QFile::exists(path)) << path.toStdString();
    EXPECT_TRUE(QFile::exists(folder + "/~KVnotes.txt"));

    other.kill();
    ASSERT_TRUE(other.waitForFinished(10000));
    EXPECT_TRUE(QFile::exists(theirs));
    CEngineFile::RemoveLeftovers(folder);
    const QString mine = QFileInfo(ours->NetFileName()).fileName();
    const QString mineLock = mine.left(8) + ".Lck";
    EXPECT_EQ(workingFiles(folder), (QStringList{mineLock, mine, "~KVnotes.txt"}));
    ours.reset();
    EXPECT_EQ(workingFiles(folder), QStringList{"~KVnotes.txt"});
}

// The other copy: a network object whose working file the engine has written, held until
// the process is killed.
TEST(DISABLED_EngineFileHolder, Run)
{
    CBackProp held;
    const std::vector<uint8_t> network(100, 7);
    ASSERT_EQ(kvengine::WriteFileAtomic(QFile::encodeName(held.NetFileName()).toStdString(), network), 1);
    std::printf("held %s\n", qPrintable(held.NetFileName()));
    std::fflush(stdout);
    for (;;)
        QThread::sleep(1);
}
