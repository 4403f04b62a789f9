// Opening and closing project files through the network objects, as File Open does it.
#include "core/regsettings.h"
#include "core/widgets/mrulist.h"
#include "core/widgets/veltra.h"
#include "network/workflowflags.h"
#include "shell/modmenu.h"
#include "shell/navigate.h"
#include "shell/networkopener.h"
#include "tests/shell/installedopener.h"
#include "tests/network/netfixture.h"
#include "tests/shell/test_shell_support.h"
#include "tests/support/hotjournal.h"
#include "tests/support/namedpipe.h"
#include "tests/support/unwritable.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <sqlite3.h>


namespace {

class OpenThroughNetwork : public ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        folder = TestEnv::NewFolder("opener");
        std::vector<QList<kdb::Value>> rows;
        for (int i = 1; i <= 20; ++i)
            rows.push_back({i, i * 0.5, i % 3 == 0 ? "A" : "B", i * 2.0});
        source = NetTest::MakeSource(folder, "Data", "X REAL, C TEXT, Y REAL", rows);
    }
    void TearDown() override
    {
        modMenu::FileClose();
        ShellTest::TearDown();
    }
    // A back-propagation project over the source, configured, with the given flags stored.
    QString MakeBackPropProject(const QString& name, uint8_t flags)
    {
        const QString path = folder + "/" + name;
        CBackProp bp;
        bp.Initialize(path);
        bp.Attach(source, "Data");
        NetTest::Configure(bp, {{"X", roleInput, 0, 10}, {"Y", roleBPPredict, 0, 40}});
        bp.SaveConfig();
        CProcess process;
        process.SetIsConfigured(flags & CProcess::kConfigured);
        process.SetIsSplit(flags & CProcess::kSplit);
        process.Save(path);
        return path;
    }
    void SetConfig(const QString& path, const QString& key, const QString& value)
    {
        kdb::Database db = kdb::Database::Open(path);
        db.Update("Config", {{"sValue", value}}, "Property", key);
    }
    static bool InRecentFiles(const QString& path)
    {
        for (int i = 1; i <= gVeltra().MRUList().Count(); ++i)
            if (gVeltra().MRUList().Item(i) == path)
                return true;
        return false;
    }
    InstalledOpener opener;
    QString folder, source;
};

} // namespace

TEST_F(OpenThroughNetwork, ProjectOpensResumesAndClosesKeepingItsFlags)
{
    const QString path = MakeBackPropProject("sales.kvp", CProcess::kConfigured | CProcess::kSplit);
    modMenu::FileOpen(path);
    ASSERT_TRUE(CurrentNetworkAs<CBackProp>());
    EXPECT_FALSE(CurrentNetworkAs<CSFam>());
    EXPECT_EQ(CurrentKind(), ntBackProp);
    EXPECT_EQ(opener->ProjectFileName(), path);
    EXPECT_EQ(main->windowTitle(), QStringLiteral("Korvan Pro - sales"));
    EXPECT_EQ(gVeltra().MRUList().Item(1), path);
    EXPECT_EQ(Utilities::GetSetting("Config", "LastProjectPath", ""), folder + "/");
    EXPECT_TRUE(gProcess().IsSplit());
    EXPECT_EQ(gNavigate().Step(), navSplit);

    modMenu::FileClose();
    EXPECT_FALSE(CurrentNetworkAs<CBackProp>());
    EXPECT_EQ(CurrentKind(), ntNone);
    EXPECT_FALSE(gProcess().IsConfigured());
    CProcess stored;
    stored.Load(path);
    EXPECT_TRUE(stored.IsConfigured());
    EXPECT_TRUE(stored.IsSplit());
    EXPECT_TRUE(prompts.Boxes().empty());
}

TEST_F(OpenThroughNetwork, AFileThatIsNoProjectIsRefusedWithOneBox)
{
    // Each kind of file that is no project: one box, before any link or data-file check, and
    // the file left as it was.
    const QString text = folder + "/notes.kvp";
    {
        QFile f(text);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("FieldConfig Config\nnot a database\n");
    }
    const QString empty = folder + "/empty.kvp";
    {
        QFile f(empty);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    const QString plain = folder + "/plain.kvp";
    kdb::Database::Create(plain).Execute("CREATE TABLE Other (A INTEGER)");
    const QString project = MakeBackPropProject("open.kvp", CProcess::kConfigured);
    for (const QString& path : {text, empty, plain, source}) {
        modMenu::FileOpen(project);
        ASSERT_TRUE(CurrentNetworkAs<CBackProp>());
        const QByteArray before = [&] {
            QFile f(path);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }();
        prompts.Clear();
        prompts.ExpectBox(MsgResult::Ok);
        modMenu::FileOpen(path);
        ASSERT_EQ(prompts.Boxes().size(), 1u) << path.toStdString();
        EXPECT_EQ(prompts.LastBox().text, path + ":  is not a valid Korvan Project.");
        EXPECT_EQ(prompts.LastBox().title, QStringLiteral("Open Project"));
        EXPECT_EQ(prompts.LastBox().icon, MsgIcon::Critical);
        EXPECT_FALSE(CurrentNetwork());
        EXPECT_EQ(gNavigate().Step(), navNoProject);
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), before) << path.toStdString();
    }
}

// A project that another program is writing right now (a second copy inside Finish, a sqlite3
// shell in a transaction) is no bad file: one box says it is in use, and it opens once the
// writer is done.
TEST_F(OpenThroughNetwork, AProjectAnotherProgramIsWritingIsInUse)
{
    const QString project = MakeBackPropProject("busy.kvp", CProcess::kConfigured);
    sqlite3* writer = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(project).constData(), &writer), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(writer, "BEGIN EXCLUSIVE; UPDATE Config SET sValue = sValue", nullptr, nullptr, nullptr),
              SQLITE_OK);
    prompts.ExpectBox(MsgResult::Ok);
    modMenu::FileOpen(project);
    ASSERT_EQ(prompts.Boxes().size(), 1u);
    EXPECT_EQ(prompts.LastBox().text, "Couldn't use '" + project
                                          + "'; file already in use.  Another program is writing it: try again when "
                                            "it has finished.");
    EXPECT_EQ(prompts.LastBox().title, QStringLiteral("Open Project"));
    EXPECT_FALSE(CurrentNetwork());
    sqlite3_exec(writer, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(writer);
    prompts.Clear();
    modMenu::FileOpen(project);
    EXPECT_TRUE(CurrentNetworkAs<CBackProp>());
    EXPECT_TRUE(prompts.Boxes().empty());
}

// A log ("-wal") of another file beside a project is never written into it (it would turn a
// back-propagation project into the other's kind without a word): one box names it, nothing is
// changed, and the project opens once the log is moved away. A log that is a pipe is refused
// as a journal that is one is, and never waited on.
TEST_F(OpenThroughNetwork, ALogOfAnotherFileBesideAProjectIsNamedAndNeverWrittenIn)
{
    const QString project = MakeBackPropProject("logged.kvp", CProcess::kConfigured);
    const QString other = folder + "/other.kvp";
    ASSERT_TRUE(QFile::copy(project, other));
    const QByteArray frames = KillPoint::LogOfChange(other, "UPDATE Config SET sValue = '1' WHERE Property = 'Type'");
    ASSERT_FALSE(frames.isEmpty());
    QFile beside(project + "-wal");
    ASSERT_TRUE(beside.open(QIODevice::WriteOnly));
    beside.write(frames);
    beside.close();
    QFile file(project);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();

    prompts.ExpectBox(MsgResult::Ok);
    modMenu::FileOpen(project);
    ASSERT_EQ(prompts.Boxes().size(), 1u);
    EXPECT_TRUE(prompts.LastBox().text.contains("The log 'logged.kvp-wal' beside it does not belong to it"))
        << prompts.LastBox().text.toStdString();
    EXPECT_EQ(prompts.LastBox().title, QStringLiteral("Open Project"));
    EXPECT_FALSE(CurrentNetwork());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), before);
    file.close();

    QFile::remove(project + "-wal");
    {
        const NamedPipe pipe(project + "-wal");
        ASSERT_TRUE(pipe.Made());
        prompts.Clear();
        prompts.ExpectBox(MsgResult::Ok);
        modMenu::FileOpen(project);
        ASSERT_EQ(prompts.Boxes().size(), 1u);
        EXPECT_TRUE(prompts.LastBox().text.contains("The log 'logged.kvp-wal' beside it: Not a regular file (a named pipe)."))
            << prompts.LastBox().text.toStdString();
        EXPECT_FALSE(CurrentNetwork());
        EXPECT_FALSE(pipe.Waited());
        EXPECT_TRUE(QFileInfo(project + "-wal").exists());
    }
    prompts.Clear();
    modMenu::FileOpen(project);
    EXPECT_TRUE(CurrentNetworkAs<CBackProp>());
    EXPECT_TRUE(prompts.Boxes().empty());
}

TEST_F(OpenThroughNetwork, AnUnknownKindIsABadProjectType)
{
    const QString path = MakeBackPropProject("odd.kvp", CProcess::kConfigured);
    SetConfig(path, "Type", "7");
    prompts.ExpectBox(MsgResult::Ok);
    modMenu::FileOpen(path);
    EXPECT_EQ(prompts.LastBox().text, QStringLiteral("Error: 999. \nBad Project Type"));
    EXPECT_EQ(prompts.LastBox().title, QStringLiteral("modMenu::FileOpen"));
    EXPECT_FALSE(CurrentNetwork());
    EXPECT_EQ(CurrentKind(), ntNone);
    EXPECT_FALSE(InRecentFiles(path)); // only a project that opened is listed
}

TEST_F(OpenThroughNetwork, ADamagedProjectIsOneBoxAndNoRecentFile)
{
    // The settings' own pages zeroed: the file still lists its tables, but nothing reads them.
    const QString path = MakeBackPropProject("damaged.kvp", CProcess::kConfigured);
    qint64 page = 0, pageSize = 0;
    {
        kdb::Database db = kdb::Database::Open(path, false, true);
        page = db.Scalar("SELECT rootpage FROM sqlite_master WHERE name = 'Config'").toInt();
        pageSize = db.Scalar("PRAGMA page_size").toInt();
    }
    ASSERT_GT(page, 1);
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.seek((page - 1) * pageSize));
        f.write(QByteArray(int(pageSize), '\0'));
    }
    prompts.ExpectBox(MsgResult::Ok);
    modMenu::FileOpen(path);
    ASSERT_EQ(prompts.Boxes().size(), 1u) << prompts.LastBox().text.toStdString();
    EXPECT_TRUE(prompts.LastBox().text.startsWith("Error: 3049.")) << prompts.LastBox().text.toStdString();
    EXPECT_FALSE(CurrentNetwork());
    EXPECT_EQ(gNavigate().Step(), navNoProject);
    EXPECT_FALSE(InRecentFiles(path));

    // Cut short at a page boundary (a copy that did not end): damaged, and named so.
    for (const qint64 pages : {1, 3}) {
        const QString cut = MakeBackPropProject(QStringLiteral("cut%1.kvp").arg(pages), CProcess::kConfigured);
        ASSERT_TRUE(QFile::resize(cut, pages * pageSize));
        prompts.Clear();
        prompts.ExpectBox(MsgResult::Ok);
        modMenu::FileOpen(cut);
        ASSERT_EQ(prompts.Boxes().size(), 1u) << prompts.LastBox().text.toStdString();
        EXPECT_EQ(prompts.LastBox().text, cut + ":  is damaged (part of the file is missing or overwritten) and "
                                                "cannot be opened.  Open a copy made before the damage.");
        EXPECT_EQ(prompts.LastBox().title, QStringLiteral("Open Project"));
        EXPECT_FALSE(CurrentNetwork());
    }
}

TEST_F(OpenThroughNetwork, AMissingDataFileIsReportedAndTheFlagsSurvive)
{
    const QString path = MakeBackPropProject("moved.kvp", CProcess::kConfigured | CProcess::kSplit);
    ASSERT_TRUE(QFile::remove(source));
    prompts.ExpectBox(MsgResult::Ok);
    modMenu::FileOpen(path);
    EXPECT_EQ(prompts.LastBox().title, QStringLiteral("Unable To Open Project"));
    EXPECT_TRUE(prompts.LastBox().text.startsWith(
        QStringLiteral("The data file for this project could not be found.\n(") + source + ")\n OR  ("));
    EXPECT_FALSE(CurrentNetwork());
    EXPECT_FALSE(InRecentFiles(path));
    CProcess stored;
    stored.Load(path);
    EXPECT_TRUE(stored.IsSplit());
}

TEST_F(OpenThroughNetwork, AProjectThatCannotBeWrittenIsRefusedWithOneBox)
{
    // The file itself read-only, then its folder (where every change keeps its journal): one
    // box that says why, no project open, the file as it was; writable again, it opens.
    const QString sub = folder + "/locked";
    ASSERT_TRUE(QDir().mkpath(sub));
    const QString path = MakeBackPropProject("locked/sales.kvp", CProcess::kConfigured | CProcess::kSplit);
    const auto bytes = [&] {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    const QByteArray before = bytes();
    for (const QString& locked : {path, sub}) {
        {
            Unwritable guard(locked);
            if (!guard.Done())
                GTEST_SKIP() << "cannot make " << locked.toStdString() << " unwritable here";
            prompts.Clear();
            prompts.ExpectBox(MsgResult::Ok);
            modMenu::FileOpen(path);
            ASSERT_EQ(prompts.Boxes().size(), 1u) << locked.toStdString();
            EXPECT_EQ(prompts.LastBox().text,
                      path + ":  cannot be written.\nA project keeps its training, test results and marks in "
                             "its own file: make the file and its folder writable, then open the project again.");
            EXPECT_EQ(prompts.LastBox().title, QStringLiteral("Open Project"));
            EXPECT_FALSE(CurrentNetwork());
            EXPECT_EQ(gNavigate().Step(), navNoProject);
        }
        EXPECT_EQ(bytes(), before);
    }
    prompts.Clear();
    modMenu::FileOpen(path);
    EXPECT_TRUE(CurrentNetworkAs<CBackProp>());
    EXPECT_TRUE(prompts.Boxes().empty());
}

// A program ended from inside (the window system's connection broke, and its library called
// exit) with a project open over an ODBC source: the objects that live for the program's life
// go in any order, and none of them uses what another has already let go. The child below is
// that program; it must end with the code it was given, not abort.
TEST(ProgramEnd, AnExitFromInsideWithAnOdbcProjectOpenEndsCleanly)
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=ProgramEnd.DISABLED_ExitWithAnOdbcProjectOpen"),
                 QStringLiteral("--gtest_also_run_disabled_tests")});
    ASSERT_TRUE(child.waitForFinished(60000));
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit) << child.readAllStandardError().toStdString();
    EXPECT_EQ(child.exitCode(), 7);
}

TEST(ProgramEnd, DISABLED_ExitWithAnOdbcProjectOpen)
{
    // As in the program: the open project's holder is made at start-up, the ODBC login later.
    SetCurrentNetwork(nullptr);
    const QString folder = TestEnv::NewFolder("programend");
    const QString source = NetTest::MakeSource(folder, "Data", "X REAL", {{1, 0.5}, {2, 1.5}});
    auto bp = std::make_shared<CBackProp>();
    bp->Initialize(folder + "/odbc.kvp");
    bp->Attach("ODBC;DRIVER=SQLite3;Database=" + source + ";NoCreat=1", "Data");
    SetCurrentNetwork(bp);
    bp.reset();
    std::exit(7);
}
