#include "core/cfile.h"
#include "core/cproject.h"
#include "core/fileclaim.h"
#include "core/kverror.h"
#include "core/pathutils.h"
#include "tests/support/fakeprompter.h"
#include "tests/support/killpoint.h"
#include "tests/support/namedpipe.h"
#include "tests/support/testenv.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <csignal>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
QString touch(const QString& folder, const QString& name)
{
    const QString path = folder + QLatin1Char('/') + name;
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write("x");
    return path;
}
} // namespace

TEST(FileName, TakesPosixPathsApart)
{
    CFile f;
    f.SetFileName(QStringLiteral("/home/a/sales.mdb"));
    EXPECT_EQ(f.Path(), QStringLiteral("/home/a/"));
    EXPECT_EQ(f.Name(), QStringLiteral("sales"));
    EXPECT_EQ(f.Ext(), QStringLiteral("mdb"));
    EXPECT_EQ(f.Drive(), QString());
    EXPECT_EQ(f.FileName(), QStringLiteral("/home/a/sales.mdb"));

    f.SetFileName(QStringLiteral("/data/my.dir/report.2019.kvp"));
    EXPECT_EQ(f.Name(), QStringLiteral("report.2019"));
    EXPECT_EQ(f.Ext(), QStringLiteral("kvp"));
    EXPECT_EQ(f.Path(), QStringLiteral("/data/my.dir/"));

    f.SetFileName(QStringLiteral("/data/my.dir/data"));
    EXPECT_EQ(f.Name(), QStringLiteral("data"));
    EXPECT_EQ(f.Ext(), QString());

    f.SetFileName(QStringLiteral("/home/a/dir/"));
    EXPECT_EQ(f.Name(), QStringLiteral("dir"));
    EXPECT_EQ(f.Path(), QStringLiteral("/home/a/"));

    f.SetFileName(QStringLiteral("  /home/a/2019 sales.raw  "));
    EXPECT_EQ(f.Name(), QStringLiteral("2019 sales"));
    EXPECT_EQ(f.Ext(), QStringLiteral("raw"));
    EXPECT_EQ(f.FileName(), QStringLiteral("/home/a/2019 sales.raw"));

    f.SetFileName(QStringLiteral("plain.txt"));
    EXPECT_EQ(f.Name(), QStringLiteral("plain"));
    EXPECT_EQ(f.Path(), QString());
}

TEST(FileName, RejectsConnectStringsAndTakesEveryNameLinuxAllows)
{
    CFile f;
    f.SetFileName(QStringLiteral("/home/a/good.kvp"));
    f.SetFileName(QStringLiteral("ODBC;DSN=sales;UID=me"));
    EXPECT_FALSE(f.Exists());
    EXPECT_NE(f.FileName(), QStringLiteral("/home/a/good.kvp")); // the parse went as far as it did
    EXPECT_EQ(f.Name(), QString());
    // Characters another system keeps out of names are a Linux name's own, and shown; so is
    // "ODBC;" inside a name that does not begin with it.
    for (const QString& name : {QStringLiteral("say \"hi\""), QStringLiteral("a|b"), QStringLiteral("a>b"),
                                QStringLiteral("x=1 *?<"), QStringLiteral("a ODBC;b")}) {
        CFile g;
        g.SetFileName(QStringLiteral("/home/a/") + name + QStringLiteral(".kvp"));
        EXPECT_EQ(g.Name(), name);
        EXPECT_EQ(g.Ext(), QStringLiteral("kvp"));
        EXPECT_EQ(Utilities::GetBaseName(g.FileName()), name);
    }
}

TEST(FileName, BlankNameChangesNothingAndExistsIsTested)
{
    const QString folder = TestEnv::NewFolder("cfile");
    const QString path = touch(folder, "here.kvp");
    CFile f;
    f.SetFileName(path);
    EXPECT_TRUE(f.Exists());
    f.SetFileName(QStringLiteral("   "));
    EXPECT_TRUE(f.Exists());
    EXPECT_EQ(f.FileName(), path);
    f.SetFileName(folder + QStringLiteral("/missing.kvp"));
    EXPECT_FALSE(f.Exists());
}

TEST(FileName, TrimLengthAndTrimPath)
{
    CFile f;
    f.SetTrimLength(11);
    EXPECT_EQ(f.TrimLength(), 25);
    f.SetTrimLength(12);
    EXPECT_EQ(f.TrimLength(), 12);

    CFile g;
    g.SetFileName(QStringLiteral("/home/a/short.kvp"));
    EXPECT_EQ(g.TrimPath(), QStringLiteral("/home/a/short.kvp"));
    g.SetFileName(QStringLiteral("/home/user/Some Folder/Deeper/project.kvp"));
    EXPECT_EQ(g.TrimPath(), QStringLiteral("/home/user.../project.kvp"));
    EXPECT_EQ(g.TrimPath().size(), 25);
    EXPECT_TRUE(g.TrimPath().endsWith(QStringLiteral("project.kvp")));

    CFile h;
    h.SetTrimLength(12);
    h.SetFileName(QStringLiteral("/dir/sub/file.kvp"));
    EXPECT_EQ(h.TrimPath(), QStringLiteral("/...file.kvp"));
    h.SetFileName(QStringLiteral("/dir/sub/averyverylongname.kvp"));
    EXPECT_EQ(h.TrimPath(), QStringLiteral("averyvery..."));
}

TEST(FileName, TrimPathShowsTheFileNameItself)
{
    CFile f;
    // Only the last dot starts the extension: the display must not drop ".kvp".
    f.SetFileName(QStringLiteral("/home/user/Some Folder/Deeper/report.2019.kvp"));
    EXPECT_EQ(f.TrimPath(), QStringLiteral("/home/.../report.2019.kvp"));
    // A name without a dot gets none added.
    f.SetFileName(QStringLiteral("/home/user/Some Folder/Deeper/README"));
    EXPECT_EQ(f.TrimPath(), QStringLiteral("/home/user/Some.../README"));
    // A cut never splits a character of two UTF-16 units.
    f.SetFileName(QStringLiteral("/dat/") + QString::fromUtf8("\U0001F600").repeated(8) + QStringLiteral("/project.kvp"));
    const QString shown = f.TrimPath();
    EXPECT_TRUE(QStringView(shown).isValidUtf16()) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith(QStringLiteral(".../project.kvp")));
}

TEST(PathHelpers, FullPathPositions)
{
    int nameStart = 0, extStart = 0, folderEnd = 0;
    EXPECT_EQ(Utilities::GetFullPath(QStringLiteral("/data/Sales.mdb"), nameStart, extStart, folderEnd),
              QStringLiteral("/data/Sales.mdb"));
    EXPECT_EQ(folderEnd, 1);
    EXPECT_EQ(nameStart, 7);
    EXPECT_EQ(extStart, 12);
    Utilities::GetFullPath(QStringLiteral("/data/Sales"), nameStart, extStart, folderEnd);
    EXPECT_EQ(extStart, 12);
    Utilities::GetFullPath(QStringLiteral("/data.1/Sales"), nameStart, extStart, folderEnd);
    EXPECT_EQ(extStart, 14);
    EXPECT_EQ(nameStart, 9);
}

TEST(PathHelpers, RelativeNamesAndEmptyInput)
{
    const QString folder = TestEnv::NewFolder("paths");
    const QString old = QDir::currentPath();
    QDir::setCurrent(folder);
    EXPECT_EQ(Utilities::GetFileName(QStringLiteral("Sales.mdb")), QStringLiteral("Sales.mdb"));
    EXPECT_EQ(Utilities::ExpandPath(QStringLiteral("sub/../Sales.mdb")),
              QDir(folder).canonicalPath() + QStringLiteral("/Sales.mdb"));
    EXPECT_EQ(Utilities::GetBaseName(QStringLiteral("/x/y/Sales.mdb")), QStringLiteral("Sales"));
    QDir::setCurrent(old);
    FakePrompter prompts; // nothing may be shown for empty input
    EXPECT_EQ(Utilities::ExpandPath(QString()), QString());
    EXPECT_EQ(Utilities::GetFileName(QString()), QString());
    EXPECT_EQ(Utilities::GetBaseName(QString()), QString());
    EXPECT_EQ(Utilities::GetLongFileName(QString()), QString());
    EXPECT_EQ(Utilities::GetLongFileName(QStringLiteral("/tmp/")), QStringLiteral("/tmp"));
}

TEST(PathHelpers, FileExistsRules)
{
    FakePrompter prompts;
    const QString folder = TestEnv::NewFolder("exists");
    const QString path = touch(folder, "a.mdb");
    EXPECT_TRUE(Utilities::FileExists(path));
    EXPECT_TRUE(Utilities::FileExists(QStringLiteral("ODBC;DSN=x")));
    EXPECT_TRUE(Utilities::FileExists(QStringLiteral(" ODBC;DSN=x")));
    EXPECT_FALSE(Utilities::FileExists(QStringLiteral("xx ODBC;DSN=x")));
    EXPECT_TRUE(Utilities::FileExists(touch(folder, "a ODBC;b.csv")));
    EXPECT_FALSE(Utilities::FileExists(folder + QStringLiteral("/gone ODBC;b.csv")));
    EXPECT_FALSE(Utilities::FileExists(QStringLiteral("odbc;DSN=x")));
    EXPECT_FALSE(Utilities::FileExists(folder + QStringLiteral("/nofolder/a.mdb")));
    EXPECT_FALSE(Utilities::FileExists(folder)); // a folder is no data file
    if (geteuid() != 0) {
        QFile::setPermissions(path, QFile::WriteOwner);
        EXPECT_FALSE(Utilities::FileExists(path));
    }
    EXPECT_TRUE(prompts.Boxes().empty());
    prompts.ExpectBox(MsgResult::Ok);
    EXPECT_FALSE(Utilities::FileExists(QStringLiteral("/") + QString(5000, QLatin1Char('n'))));
    EXPECT_EQ(prompts.LastBox().text, QStringLiteral("Error: 52\nBad file name or number"));
}

// A pipe, a socket or a device is no file: never counted as one and never opened, for a read of
// a pipe waits for a writer that may never come. A link to a regular file is that file.
TEST(PathHelpers, WhatIsNoRegularFileIsNeverOpened)
{
    FakePrompter prompts;
    const QString folder = TestEnv::NewFolder("special");
    const QString pipePath = folder + QStringLiteral("/x.kvp");
    NamedPipe pipe(pipePath);
    ASSERT_TRUE(pipe.Made());
    const QString socketPath = folder + QStringLiteral("/s.kvp");
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, QFile::encodeName(socketPath).constData(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(sock, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    const QString link = folder + QStringLiteral("/link.csv");
    ASSERT_TRUE(QFile::link(touch(folder, "real.csv"), link));

    const QList<std::pair<QString, QString>> special{{pipePath, QStringLiteral("Not a regular file (a named pipe)")},
                                                     {socketPath, QStringLiteral("Not a regular file (a socket)")},
                                                     {QStringLiteral("/dev/null"), QStringLiteral("Not a regular file (a device)")}};
    for (const auto& [path, why] : special) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_FALSE(Utilities::FileExists(path));
        EXPECT_EQ(Utilities::NotAFileReason(path), why);
        EXPECT_EQ(Utilities::UnreadableReason(path), why);
        QFile file(path);
        try {
            Utilities::OpenForReading(file);
            ADD_FAILURE() << "opened";
        } catch (const KvError& e) {
            EXPECT_EQ(e.number(), KvErr::PathFileAccess);
            EXPECT_TRUE(e.description().endsWith(why)) << e.description().toStdString();
        }
        EXPECT_FALSE(file.isOpen());
    }
    EXPECT_FALSE(pipe.Waited());
    ::close(sock);

    EXPECT_TRUE(Utilities::FileExists(link));
    EXPECT_EQ(Utilities::NotAFileReason(link), QString());
    EXPECT_EQ(Utilities::UnreadableReason(link), QString());
    QFile file(link);
    Utilities::OpenForReading(file);
    EXPECT_EQ(file.readAll(), QByteArray("x"));
    EXPECT_TRUE(prompts.Boxes().empty());
}

TEST(ProjectFileList, KeysPositionsAndRemove)
{
    FakePrompter prompts;
    CProject list;
    CFile* a = list.AddFile(QStringLiteral("/p/a.kvp"));
    CFile* b = list.AddFile(QStringLiteral("/p/b.kvp"));
    ASSERT_TRUE(a && b);
    EXPECT_EQ(list.Item(QStringLiteral("2")), b);
    EXPECT_EQ(list.Item(2), b);
    EXPECT_EQ(list.Item(3), nullptr);
    EXPECT_EQ(list.Item(QStringLiteral("9")), nullptr);
    list.Remove(QString());
    EXPECT_EQ(list.Count(), 2);

    list.Remove(QStringLiteral("1"));
    EXPECT_EQ(list.Count(), 1);
    prompts.ExpectBox(MsgResult::Ok); // key "2" is taken
    EXPECT_EQ(list.AddFile(QStringLiteral("/p/c.kvp")), nullptr);
    EXPECT_EQ(prompts.LastBox().title, QStringLiteral("CProject::AddFile"));
    EXPECT_EQ(list.Count(), 1);
}

TEST(ProjectFileList, AddFileAsksWhenNoNameIsGiven)
{
    FakePrompter prompts;
    CProject list;
    list.SetExtFilter(QStringLiteral("Korvan Project (*.kvp)|*.kvp"));
    prompts.ExpectFile({});
    EXPECT_EQ(list.AddFile(QString()), nullptr);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(prompts.FileDialogs().back().filter, QStringLiteral("Korvan Project (*.kvp)|*.kvp"));

    FileDialogResult chosen;
    chosen.cancelled = false;
    chosen.fileName = QStringLiteral("/p/chosen.kvp");
    chosen.flags = 1;
    prompts.ExpectFile(chosen);
    CFile* f = list.AddFile(QString());
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->Name(), QStringLiteral("chosen"));
    EXPECT_TRUE(f->ReadOnly());
}

TEST(ProjectFileList, FormsForgetAWindowThatIsGone)
{
    CProject list;
    auto* form = new QObject;
    list.Forms().push_back({QStringLiteral("1"), form});
    delete form; // the user closed the window
    ASSERT_EQ(list.Forms().size(), 1u);
    EXPECT_EQ(list.Forms().front().form, nullptr);
}

// A file one copy of the program claims is refused to every other, which is told who holds it;
// the claim of a copy killed with SIGKILL is no claim. Every name of the file shares one claim.
TEST(FileClaims, AnotherProcessHoldsAClaimUntilItEndsHoweverItEnds)
{
    const QString folder = TestEnv::NewFolder(QStringLiteral("claims"));
    const QString project = touch(folder, QStringLiteral("p.kvp"));
    const QString link = folder + QStringLiteral("/other name.kvp");
    ASSERT_TRUE(QFile::link(project, link));
    const QString held = folder + QStringLiteral("/held");
    const pid_t child = KillPoint::Repeat([&] {
        FileClaim claim;
        claim.Take(project);
        QFile(held).open(QIODevice::WriteOnly);
        for (;;)
            ::pause();
    });
    QElapsedTimer waited;
    waited.start();
    while (!QFileInfo::exists(held) && waited.elapsed() < 20000)
        QThread::msleep(5);
    ASSERT_TRUE(QFileInfo::exists(held));
    for (const QString& name : {project, link}) {
        FileClaim claim;
        try {
            claim.Take(name);
            ADD_FAILURE() << "claimed " << name.toStdString();
        } catch (const KvError& e) {
            EXPECT_EQ(e.number(), KvErr::FileInUse);
            EXPECT_TRUE(e.description().startsWith("Couldn't use '" + name + "'; file already in use.  It is held by "
                                                   "another copy of Korvan Pro (user "))
                << e.what();
            EXPECT_TRUE(e.description().contains(QStringLiteral(", process %1)").arg(child))) << e.what();
        }
        EXPECT_FALSE(claim.Held());
    }
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ASSERT_TRUE(QFileInfo::exists(FileClaim::LockPath(project)));
    FileClaim mine;
    mine.Take(link);
    EXPECT_TRUE(mine.Held());
    FileClaim second;   // one claim at a time, in this copy too
    EXPECT_THROW(second.Take(project), KvError);
    mine.Release();
    EXPECT_FALSE(QFileInfo::exists(FileClaim::LockPath(project)));
    second.Take(project);
    EXPECT_TRUE(second.Held());
    second.Release();

    // A lock file that names nobody: one being made right now is a claim; one left so by a copy
    // killed (or a power cut) as it made it is none.
    QFile lock(FileClaim::LockPath(project));
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    FileClaim after;
    EXPECT_THROW(after.Take(project), KvError);
    ASSERT_TRUE(lock.setFileTime(QDateTime::currentDateTime().addSecs(-60), QFileDevice::FileModificationTime));
    lock.close();
    after.Take(project);
    EXPECT_TRUE(after.Held());
}
