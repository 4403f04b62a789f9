// The project commands on real project files: new projects, reopening at the furthest step,
// snapshot copies (consistent, kill-safe), import of pattern and text files and the export of
// marked rows.
#include "core/fileclaim.h"
#include "core/regsettings.h"
#include "core/widgets/commandbar.h"
#include "core/widgets/splash.h"
#include "core/widgets/statusbar.h"
#include "core/widgets/toolnames.h"
#include "core/widgets/statusmsg.h"
#include "core/widgets/toolstate.h"
#include "core/widgets/veltra.h"
#include "data/dbutilities.h"
#include "data/projectschema.h"
#include "kdb/backup.h"
#include "data/importwriter.h"
#include "tests/support/hotjournal.h"
#include "tests/support/namedpipe.h"
#include "network/workflowflags.h"
#include "shell/modmenu.h"
#include "shell/navigate.h"
#include "shell/networkopener.h"
#include "tests/shell/installedopener.h"
#include "tests/network/netfixture.h"
#include "tests/shell/recordingviews.h"
#include "tests/shell/test_shell_support.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QApplication>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QThread>
#include <sqlite3.h>

namespace {

QString mainPanel()
{
    return gVeltra().StatusBar().StatusBar()->Panel(1).Text().trimmed();
}

QByteArray bytesOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class ProjectCommands : public ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        main->Load();
        folder = TestEnv::NewFolder("projectcmds");
        Utilities::SaveSetting("Config", "LastProjectPath", folder + "/");
        std::vector<QList<kdb::Value>> rows;
        for (int i = 1; i <= 60; ++i)
            rows.push_back({i, i * 0.5, i % 3 == 0 ? "A" : "B", i * 2.0 + 1});
        source = NetTest::MakeSource(folder, "Data", "X REAL, C TEXT, Y REAL", rows);
    }
    void TearDown() override
    {
        modMenu::FileClose();
        ShellTest::TearDown();
    }
    // A configured back-propagation project over the source with the given workflow flags.
    QString MakeProject(const QString& name, uint8_t flags, bool tested = false)
    {
        const QString path = folder + "/" + name;
        CBackProp bp;
        bp.Initialize(path);
        bp.Attach(source, "Data");
        NetTest::Configure(bp, {{"X", roleInput, 0, 30}, {"Y", roleBPPredict, 0, 130}});
        bp.State().SetTrainLow(1);
        bp.State().SetTrainHigh(40);
        bp.State().SetTestLow(41);
        bp.State().SetTestHigh(60);
        bp.SaveConfig();
        if (tested) {
            for (int i = 0; i < 5; ++i)
                bp.Train();
            bp.Verify();
            EXPECT_EQ(bp.Test(), TestOutcome::Done);
        }
        CProcess process;
        process.SetIsConfigured(flags & CProcess::kConfigured);
        process.SetIsSplit(flags & CProcess::kSplit);
        process.SetIsTrained(flags & CProcess::kTrained);
        process.SetIsTested(flags & CProcess::kTested);
        process.Save(path);
        return path;
    }
    static FileDialogResult choose(const QString& path)
    {
        FileDialogResult r;
        r.cancelled = false;
        r.fileName = path;
        return r;
    }
    RecordingViews views;
    InstalledOpener opener;
    QString folder, source;
};

} // namespace

TEST_F(ProjectCommands, NewBackPropProjectUnderAFreeNameOpensItsConfiguration)
{
    NetTest::WriteBytes(folder + "/KVProject1.kvp", "x");
    NetTest::WriteBytes(folder + "/KVProject2.kvp", "x");
    const QString path = folder + "/KVProject3.kvp";
    prompts.ExpectFile(choose(path));
    main->MainToolBar_Click(BandName::File, ToolName::NewBP, 0);

    ASSERT_EQ(prompts.FileDialogs().size(), 1u);
    const FileDialogRequest& asked = prompts.FileDialogs()[0];
    EXPECT_EQ(asked.title, QStringLiteral("Create New BackProp Project"));
    EXPECT_EQ(asked.fileName, QStringLiteral("KVProject3.kvp"));
    EXPECT_EQ(asked.initialDir, folder + "/");
    EXPECT_EQ(asked.flags, 4);
    EXPECT_TRUE(prompts.Boxes().empty());

    ASSERT_TRUE(CurrentNetworkAs<CBackProp>());
    EXPECT_EQ(CurrentKind(), ntBackProp);
    EXPECT_EQ(NetTest::ConfigValue(path, "Type").toText(), QStringLiteral("2"));
    EXPECT_EQ(views.calls, QStringList{"ShowConfigure(new)"});
    EXPECT_EQ(gNavigate().Step(), navOpened);
    EXPECT_EQ(main->windowTitle(), QStringLiteral("Korvan Pro - KVProject3"));
    EXPECT_EQ(gVeltra().StatusBar().Panel(4).Text().trimmed(),
              QStringLiteral("Backprop"));
    // The configuration holds the main tools off, help and the training bar excepted.
    CCommandBar* bar = main->MainToolBar();
    EXPECT_FALSE(bar->Enabled(ToolName::Open));
    EXPECT_FALSE(bar->Enabled(ToolName::Close));
    EXPECT_TRUE(bar->Enabled(ToolName::HelpContents));

    modMenu::FileClose();
    EXPECT_FALSE(CurrentNetworkAs<CBackProp>());
    EXPECT_TRUE(bar->Enabled(ToolName::Open));
}

TEST_F(ProjectCommands, NewSFamProjectThatCannotBeCreatedLeavesNothingOpen)
{
    prompts.AllowAnyBox();
    prompts.ExpectFile(choose(folder + "/no/such/folder/x.kvp"));
    modMenu::NewSFam();
    EXPECT_FALSE(CurrentNetworkAs<CSFam>());
    EXPECT_FALSE(CurrentNetworkAs<CBackProp>());
    EXPECT_EQ(CurrentKind(), ntNone);
    EXPECT_EQ(gNavigate().Step(), navNoProject);
    EXPECT_TRUE(views.calls.isEmpty()); // no configuration of a dead project
    EXPECT_FALSE(prompts.Boxes().empty());
    EXPECT_EQ(main->windowTitle(), QStringLiteral("Korvan Pro"));
}

TEST_F(ProjectCommands, GetFileNewAsksBeforeOverwritingAndNeverDeletesTheOpenProject)
{
    const QString old = folder + "/old.kvp";
    NetTest::WriteBytes(old, "old");
    // A wrong extension, then No to the overwrite question: asked again each time; cancel.
    prompts.ExpectFile(choose(folder + "/a.txt"));
    prompts.ExpectBox(MsgResult::Ok);
    prompts.ExpectFile(choose(old));
    prompts.ExpectBox(MsgResult::No);
    prompts.ExpectFile({});
    EXPECT_EQ(modMenu::GetFileNew(ntSFam), QString());
    ASSERT_EQ(prompts.Boxes().size(), 2u);
    EXPECT_EQ(prompts.Boxes()[0].title, QStringLiteral("Create New Project"));
    EXPECT_EQ(prompts.Boxes()[1].text, old + " exists.  Overwrite?");
    EXPECT_EQ(prompts.Boxes()[1].title, QStringLiteral("New Project"));
    EXPECT_EQ(prompts.FileDialogs().size(), 3u);
    EXPECT_TRUE(QFile::exists(old));

    // Yes deletes the old file.
    prompts.ExpectFile(choose(old));
    prompts.ExpectBox(MsgResult::Yes);
    EXPECT_EQ(modMenu::GetFileNew(ntSFam), old);
    EXPECT_FALSE(QFile::exists(old));

    // The open project's own file is refused.
    const QString open = MakeProject("open.kvp", CProcess::kConfigured);
    modMenu::FileOpen(open);
    ASSERT_TRUE(CurrentNetworkAs<CBackProp>());
    prompts.Clear();
    prompts.ExpectFile(choose(open));
    prompts.ExpectBox(MsgResult::Ok);
    prompts.ExpectFile({});
    EXPECT_EQ(modMenu::GetFileNew(ntBackProp), QString());
    EXPECT_TRUE(prompts.LastBox().text.contains("is the open project"));
    EXPECT_TRUE(CurrentNetworkAs<CBackProp>());
    EXPECT_TRUE(Utilities::IsProjectFile(open));

    // A file that cannot be deleted: the error, and no path (the old file is never opened as
    // the new project).
    const QString stuck = folder + "/stuck.kvp";
    QDir().mkpath(stuck);
    NetTest::WriteBytes(stuck + "/inside", "x");
    prompts.Clear();
    prompts.ExpectFile(choose(stuck));
    prompts.ExpectBox(MsgResult::Yes);
    prompts.ExpectBox(MsgResult::Ok);
    EXPECT_EQ(modMenu::GetFileNew(ntBackProp), QString());
    EXPECT_EQ(prompts.LastBox().title, QStringLiteral("modMenu::GetFileNew"));
}

// New over an existing project, one whose writer was killed: the old project's snapshot goes
// with it, and the new project, closed before it was ever configured (the main window closed
// under its configuration), reopens in its configuration, also from the command line's road.
// Killed after any step, the folder holds the old project whole, with or without its
// snapshot, or no project, or the new one alone: never a snapshot beside another project.
TEST_F(ProjectCommands, ANewProjectOverAnOldOneTakesItsSnapshotAndReopensUnconfigured)
{
    const QString path = MakeProject("sales.kvp", CProcess::kConfigured);
    const QString snap = folder + "/sales.snap";
    modMenu::FileOpen(path);
    ASSERT_TRUE(CurrentNetworkAs<CBackProp>());
    modMenu::SaveSnapshot();
    ASSERT_TRUE(QFile::exists(snap));
    CCommandBar* bar = main->MainToolBar();
    EXPECT_TRUE(bar->Enabled(ToolName::RevertSnap));
    modMenu::FileClose();
    const QString backupPath = MakeProject("backup.kvp", CProcess::kTested, true);
    NetTest::SetMarker(backupPath, "backup");
    const QByteArray backup = bytesOf(backupPath);
    KillPoint::LeaveHotJournal(path, "UPDATE Config SET sValue = sValue || 'x'");

    prompts.ExpectFile(choose(path));
    prompts.ExpectBox(MsgResult::Yes);
    QStringList moments;
    {
        KillPoint::StepCopies steps(folder, {"sales.kvp", "sales.snap"});
        modMenu::NewBP();
        ASSERT_EQ(steps.Steps(), (QStringList{"removed", "removed", "recovered", "cleared", "renamed"}));
        moments = steps.Folders();
    }
    ASSERT_TRUE(CurrentNetworkAs<CBackProp>());
    EXPECT_FALSE(QFile::exists(snap));
    EXPECT_FALSE(QFile::exists(path + "-journal"));
    EXPECT_FALSE(bar->Enabled(ToolName::RevertSnap));
    modMenu::FileClose();
    QStringList seen;
    for (const QString& moment : moments) {
        const QString copy = moment + "/sales.kvp";
        QString what = QFile::exists(moment + "/sales.snap") ? "snapshot beside " : "";
        if (!QFile::exists(copy)) {
            // The user copies a backup back: nothing the kill left is played into it.
            NetTest::WriteBytes(copy, backup);
            modMenu::FileOpen(copy);
            const bool whole = CurrentNetworkAs<CBackProp>() && NetTest::Integrity(copy) == QStringLiteral("ok")
                               && NetTest::Marker(copy) == QStringLiteral("backup");
            seen << what + (whole ? "none, a backup opens" : "none, a backup is damaged");
            modMenu::FileClose();
            continue;
        }
        modMenu::FileOpen(copy);
        const auto net = CurrentNetworkAs<CBackProp>();
        seen << what + (!net ? "damaged" : net->State().DatabaseFileName().isEmpty() ? "new" : "old");
        EXPECT_TRUE(net && !QFile::exists(copy + "-journal")) << copy.toStdString();
        modMenu::FileClose();
    }
    EXPECT_EQ(seen, (QStringList{"old", "none, a backup opens", "none, a backup opens", "none, a backup opens", "new"}));
    EXPECT_EQ(prompts.Boxes().size(), 1u) << prompts.LastBox().text.toStdString();

    views.calls.clear();
    prompts.Clear();
    modMenu::FileOpen(path);
    EXPECT_TRUE(prompts.Boxes().empty());
    ASSERT_TRUE(CurrentNetworkAs<CBackProp>());
    EXPECT_TRUE(CurrentNetworkAs<CBackProp>()->State().DatabaseFileName().isEmpty());
    EXPECT_EQ(views.calls, QStringList{"ShowConfigure"});
    EXPECT_EQ(gNavigate().Step(), navOpened);
    EXPECT_EQ(main->windowTitle(), QStringLiteral("Korvan Pro - sales"));
    EXPECT_FALSE(bar->Enabled(ToolName::RevertSnap));
    EXPECT_EQ(NetTest::ConfigValue(path, "Type").toText(), QStringLiteral("2"));
}

TEST_F(ProjectCommands, ReopeningResumesAtTheFurthestFinishedStep)
{
    struct Case {
        const char* name;
        uint8_t flags;
        const char* view;
        int step;
    };
    const std::vector<Case> cases = {
        {"linked.kvp", 0, "ShowConfigure", navOpened},
        {"configured.kvp", CProcess::kConfigured, "SetLimits", navConfigured},
        {"split.kvp", CProcess::kConfigured | CProcess::kSplit, "MenuBProp", navSplit},
        {"trained.kvp", CProcess::kConfigured | CProcess::kSplit | CProcess::kTrained, "MenuBProp", navSplit},
        // The views of a tested project are no workflow stage: the opened stage is remembered.
        {"tested.kvp", CProcess::kConfigured | CProcess::kSplit | CProcess::kTrained | CProcess::kTested,
         "BrowseTest", navOpened},
    };
    for (const Case& c : cases) {
        const QString path = MakeProject(QString::fromLatin1(c.name), c.flags);
        views.calls.clear();
        modMenu::FileOpen(path);
        ASSERT_TRUE(CurrentNetworkAs<CBackProp>()) << c.name;
        EXPECT_EQ(views.calls, QStringList{QString::fromLatin1(c.view)}) << c.name;
        EXPECT_EQ(gNavigate().Step(), c.step) << c.name;
        modMenu::FileClose();
    }
    EXPECT_TRUE(prompts.Boxes().empty());
}

// The splash stays on top: a view resumed at start-up (the modal row split among them) would
// open under it, its buttons hidden and the splash out of reach of the mouse.
TEST_F(ProjectCommands, TheResumedViewOpensWithTheSplashHidden)
{
    const QString path = MakeProject("configured.kvp", CProcess::kConfigured);
    QPointer<frmSplash> splash = new frmSplash;
    splash->show();
    bool splashUpAtTheView = true;
    gCommands().Add(ToolName::Split, [&](const CommandClick&) { splashUpAtTheView = splash && splash->isVisible(); });
    modMenu::FileOpen(path);
    EXPECT_FALSE(splashUpAtTheView);
    delete splash;
}

// Project files damaged in their settings: the box says what is wrong in the file, and the
// open writes nothing into it. Settings tables of another program's columns, a field list with
// doubled rows, a workflow step that is no number.
TEST_F(ProjectCommands, DamagedSettingsAreNamedAndTheOpenWritesNothing)
{
    prompts.AllowAnyBox();
    const QString columns = MakeProject("columns.kvp", CProcess::kConfigured);
    {
        kdb::Database db = kdb::Database::Open(columns);
        db.Execute("ALTER TABLE Config RENAME COLUMN sValue TO Setting");
    }
    const QString doubled = MakeProject("doubled.kvp", CProcess::kConfigured);
    {
        kdb::Database db = kdb::Database::Open(doubled);
        // As another program writes it: without the key that keeps each field once.
        db.Execute("CREATE TABLE Twice AS SELECT * FROM FieldConfig");
        db.Execute("INSERT INTO Twice SELECT * FROM FieldConfig");
        db.Execute("DROP TABLE FieldConfig");
        db.Execute("ALTER TABLE Twice RENAME TO FieldConfig");
    }
    const QString step = MakeProject("step.kvp", CProcess::kConfigured);
    NetTest::SetMarker(step, "kept");
    {
        kdb::Database db = kdb::Database::Open(step);
        db.Upsert("Config", {{"sValue", "abc"}}, "Property", "Process");
    }
    const QString nodes = MakeProject("nodes.kvp", CProcess::kConfigured);
    {
        kdb::Database db = kdb::Database::Open(nodes);
        db.Upsert("Config", {{"sValue", "-3"}}, "Property", "LayerJCount");
    }
    const struct {
        QString path;
        QString says;
    } cases[] = {
        {columns, columns + QStringLiteral(":  is not a valid Korvan Project.")},
        {doubled, QStringLiteral("holds field #1 more than once: the project file is damaged.")},
        {step, QStringLiteral("Type mismatch: the project's workflow step (setting Process) reads \"abc\"")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        const QByteArray before = bytesOf(c.path);
        prompts.Clear();
        modMenu::FileOpen(c.path);
        modMenu::FileClose();
        ASSERT_EQ(prompts.Boxes().size(), 1u);
        EXPECT_TRUE(prompts.LastBox().text.contains(c.says)) << prompts.LastBox().text.toStdString();
        EXPECT_EQ(bytesOf(c.path), before);
    }
    // A setting that cannot be: named, and the open goes on without it.
    prompts.Clear();
    modMenu::FileOpen(nodes);
    ASSERT_EQ(prompts.Boxes().size(), 1u);
    EXPECT_TRUE(prompts.LastBox().text.contains(
        QStringLiteral("Overflow: the project's setting LayerJCount reads \"-3\", not a whole number from 0 to 32767.")))
        << prompts.LastBox().text.toStdString();
    ASSERT_TRUE(CurrentNetworkAs<CBackProp>());
    EXPECT_EQ(gVeltra().StatusBar().StatusBar()->Panel(5).Text().trimmed(), QStringLiteral("0 Nodes"));
}

TEST_F(ProjectCommands, AProjectThatFailsToOpenLeavesNoNetworkObjectInUse)
{
    const QString path = folder + "/broken.kvp";
    {
        CSFam sf;
        sf.Initialize(path);
        sf.Attach(source, "Data");
        NetTest::Configure(sf, {{"X", roleInput, 0, 30}, {"C", roleSFamPredict}});
        sf.SaveConfig();
    }
    CProcess process;
    process.SetIsConfigured(true);
    process.Save(path);
    const QString bp = MakeProject("brokenbp.kvp", CProcess::kConfigured);
    // The data file can no longer be read: both kinds say so and nothing stays open.
    NetTest::WriteBytes(source, "this data file is no database");
    prompts.AllowAnyBox();
    for (const QString& project : {path, bp}) {
        prompts.Clear();
        modMenu::FileOpen(project);
        EXPECT_FALSE(prompts.Boxes().empty());
        EXPECT_FALSE(CurrentNetworkAs<CBackProp>());
        EXPECT_FALSE(CurrentNetworkAs<CSFam>());
        EXPECT_EQ(CurrentKind(), ntNone);
        EXPECT_EQ(gNavigate().Step(), navNoProject);
        EXPECT_TRUE(views.calls.isEmpty());
        EXPECT_EQ(main->windowTitle(), QStringLiteral("Korvan Pro"));
    }
}

TEST(SnapshotNames, OnlyTheFileSuffixIsReplaced)
{
    EXPECT_EQ(modMenu::SnapshotName("/data/Sales.kvp"), QStringLiteral("/data/Sales.snap"));
    EXPECT_EQ(modMenu::SnapshotName("/data/Sales.2001/Sales.kvp"), QStringLiteral("/data/Sales.2001/Sales.snap"));
    EXPECT_EQ(modMenu::SnapshotName("/data/Sales.2001/Sales"), QStringLiteral("/data/Sales.2001/Sales.snap"));
    EXPECT_EQ(modMenu::SnapshotName("C:\\Sales.2001\\Sales.kvp"), QStringLiteral("C:\\Sales.2001\\Sales.snap"));
}

TEST_F(ProjectCommands, SnapshotSavedAndRevertedOnARealProject)
{
    const QString path = MakeProject("sales.kvp", CProcess::kConfigured);
    const QString snap = folder + "/sales.snap";
    modMenu::FileOpen(path);
    ASSERT_TRUE(CurrentNetworkAs<CBackProp>());
    CCommandBar* bar = main->MainToolBar();
    EXPECT_FALSE(bar->Enabled(ToolName::RevertSnap));

    NetTest::SetMarker(path, "first");
    main->MainToolBar_Click(BandName::File, ToolName::SaveSnap, 0);
    EXPECT_EQ(mainPanel(), QStringLiteral("Project snapshot saved."));
    EXPECT_TRUE(bar->Enabled(ToolName::RevertSnap));
    NetTest::SetMarker(path, "second");
    modMenu::SaveSnapshot(); // a second save keeps only the newer copy
    EXPECT_EQ(NetTest::Marker(snap), QStringLiteral("second"));
    EXPECT_EQ(NetTest::Integrity(snap), QStringLiteral("ok"));

    // No leaves everything as it was.
    NetTest::SetMarker(path, "third");
    prompts.ExpectBox(MsgResult::No);
    main->MainToolBar_Click(BandName::File, ToolName::RevertSnap, 0);
    EXPECT_EQ(prompts.LastBox().title, QStringLiteral("Revert To Snapshot"));
    EXPECT_EQ(NetTest::Marker(path), QStringLiteral("third"));
    EXPECT_TRUE(CurrentNetworkAs<CBackProp>());

    prompts.ExpectBox(MsgResult::Yes);
    views.calls.clear();
    modMenu::RevertSnapshot();
    EXPECT_EQ(NetTest::Marker(path), QStringLiteral("second"));
    EXPECT_FALSE(QFile::exists(snap));
    EXPECT_TRUE(CurrentNetworkAs<CBackProp>()); // open again, at its step
    EXPECT_EQ(views.calls, (QStringList{"CloseBrowsers", "SetLimits"}));
    EXPECT_EQ(mainPanel(), QStringLiteral("Project reverted to snapshot."));
    EXPECT_FALSE(bar->Enabled(ToolName::RevertSnap));
    EXPECT_EQ(prompts.Boxes().size(), 2u);

    // Reopened later, the tool stays off; with a snapshot beside it, it comes on.
    modMenu::FileClose();
    modMenu::FileOpen(path);
    EXPECT_FALSE(bar->Enabled(ToolName::RevertSnap));
    modMenu::SaveSnapshot();
    modMenu::FileClose();
    modMenu::FileOpen(path);
    EXPECT_TRUE(bar->Enabled(ToolName::RevertSnap));
}

// A revert that reopens into a window holding the tools off (configuration, training): the
// states that window gives back when it closes have the revert tool off, the snapshot gone.
TEST_F(ProjectCommands, RevertLeavesTheToolOffBehindTheWindowItReopensInto)
{
    CCommandBar* bar = main->MainToolBar();
    // What the windows do when they open: keep the tools' states and switch them off. The
    // training row stays in the command table past one round, so what it reads outlives the loop.
    QString snap;
    bool snapshotThere = true;
    const auto opening = [&] {
        snapshotThere = QFile::exists(snap);
        Utilities::TmpDisableTools();
    };
    for (const uint8_t flags : {uint8_t(0), uint8_t(CProcess::kConfigured | CProcess::kSplit)}) {
        SCOPED_TRACE(int(flags));
        const QString path = MakeProject(flags ? "split.kvp" : "fresh.kvp", flags);
        snap = modMenu::SnapshotName(path);
        modMenu::FileOpen(path);
        ASSERT_TRUE(CurrentNetworkAs<CBackProp>());
        modMenu::SaveSnapshot();
        ASSERT_TRUE(bar->Enabled(ToolName::RevertSnap));
        snapshotThere = true;
        views.onShowConfigure = opening;
        gCommands().Add(ToolName::TrainBP, [&](const CommandClick&) { opening(); });
        prompts.ExpectBox(MsgResult::Yes);
        modMenu::RevertSnapshot();
        EXPECT_FALSE(snapshotThere);
        Utilities::TmpEnableTools(); // the window's Cancel or Finish
        EXPECT_FALSE(bar->Enabled(ToolName::RevertSnap));
        EXPECT_FALSE(QFile::exists(snap));
        EXPECT_EQ(mainPanel(), QStringLiteral("Project reverted to snapshot."));
        views.onShowConfigure = nullptr;
        modMenu::FileClose();
    }
}

// A snapshot holds the project as it stands right after each step, before anything saved the
// step's flags (they reach the file at close): reverted, the project goes on from that step.
// The marks set on the results are in it too.
TEST_F(ProjectCommands, ASnapshotAfterEachStepRevertsToThatStep)
{
    const QString path = MakeProject("steps.kvp", 0, true);
    const QString snap = modMenu::SnapshotName(path);
    modMenu::FileOpen(path);
    ASSERT_TRUE(CurrentNetworkAs<CBackProp>());
    struct Step {
        const char* name;
        void (CProcess::*flag)(bool);
        NavigateStep step;
        const char* view;   // where the reverted project goes on
    };
    for (const Step& s : {Step{"configured", &CProcess::SetIsConfigured, navConfigured, "SetLimits"},
                          Step{"split", &CProcess::SetIsSplit, navSplit, "MenuBProp"},
                          Step{"trained", &CProcess::SetIsTrained, navTrained, "MenuBProp"},
                          Step{"tested", &CProcess::SetIsTested, navTested, "BrowseTest"}}) {
        SCOPED_TRACE(s.name);
        (gProcess().*s.flag)(true);
        gNavigate().Navigate(s.step);
        const uint8_t flags = gProcess().Byte();
        const int32_t step = gNavigate().Step();
        modMenu::SaveSnapshot();
        EXPECT_EQ(NetTest::ConfigValue(snap, "Process").toText(), QString::number(flags));
        EXPECT_EQ(NetTest::ConfigValue(snap, "Navigate").toText(), QString::number(step));
        views.calls.clear();
        prompts.ExpectBox(MsgResult::Yes);
        modMenu::RevertSnapshot();
        ASSERT_TRUE(CurrentNetworkAs<CBackProp>());
        EXPECT_EQ(gProcess().Byte(), flags);
        EXPECT_TRUE(views.calls.contains(QString::fromLatin1(s.view))) << views.calls.join(' ').toStdString();
    }

    // Marks changed on the results: the snapshot has them, and the revert brings them back.
    const auto marks = [&] {
        return kdb::Database::Open(path, false, true).Scalar("SELECT COUNT(*) FROM Test WHERE Mark <> 0").toInt();
    };
    kdb::Database::Open(path).Execute("UPDATE Test SET Mark = -1 WHERE MainPrimaryKey IN (41, 50)");
    modMenu::SaveSnapshot();
    kdb::Database::Open(path).Execute("UPDATE Test SET Mark = 0");
    ASSERT_EQ(marks(), 0);
    prompts.ExpectBox(MsgResult::Yes);
    modMenu::RevertSnapshot();
    EXPECT_EQ(marks(), 2);
    EXPECT_TRUE(gProcess().IsTested());
    EXPECT_EQ(prompts.Boxes().size(), 5u);   // the five revert questions, nothing else
}

TEST_F(ProjectCommands, SnapshotOfAProjectInsideAWriteTransactionIsConsistent)
{
    const QString path = MakeProject("busy.kvp", CProcess::kConfigured);
    modMenu::FileOpen(path);
    ASSERT_TRUE(CurrentNetworkAs<CBackProp>());
    NetTest::SetMarker(path, "committed");
    // The first snapshot writes the workflow state the open left in memory; the file then
    // holds it, and a snapshot needs no lock of its own.
    modMenu::SaveSnapshot();
    kdb::Database writer = kdb::Database::Open(path);
    {
        kdb::Transaction t(writer);
        writer.Upsert("Config", {{"sValue", QString("uncommitted")}}, "Property", "Marker");
        writer.Execute("CREATE TABLE Half (A INTEGER)");
        modMenu::SaveSnapshot();
        EXPECT_EQ(mainPanel(), QStringLiteral("Project snapshot saved."));
        t.Rollback();
    }
    const QString snap = folder + "/busy.snap";
    EXPECT_EQ(NetTest::Integrity(snap), QStringLiteral("ok"));
    EXPECT_EQ(NetTest::Marker(snap), QStringLiteral("committed"));
    EXPECT_FALSE(kdb::Database::Open(snap, false, true).HasTable("Half"));
    EXPECT_TRUE(prompts.Boxes().empty());

    // A workflow step the file does not hold yet cannot be written past the other writer: no
    // snapshot then, rather than one the project cannot go on from; the earlier one stays.
    const QString process = NetTest::ConfigValue(snap, "Process").toText();
    gProcess().SetIsSplit(true);
    {
        kdb::Transaction t(writer);
        writer.Upsert("Config", {{"sValue", QString("uncommitted")}}, "Property", "Marker");
        Utilities::StatusMessage(QString());
        prompts.ExpectBox(MsgResult::Ok);
        modMenu::SaveSnapshot();
        t.Rollback();
    }
    ASSERT_EQ(prompts.Boxes().size(), 1u);
    EXPECT_EQ(prompts.LastBox().title, QStringLiteral("modMenu::SaveSnapshot"));
    EXPECT_NE(mainPanel(), QStringLiteral("Project snapshot saved."));
    EXPECT_EQ(NetTest::ConfigValue(snap, "Process").toText(), process);
    EXPECT_EQ(NetTest::Integrity(snap), QStringLiteral("ok"));
}

TEST_F(ProjectCommands, FailedCopiesAreReportedAndLoseNothing)
{
    const QString path = MakeProject("keep.kvp", CProcess::kConfigured);
    const QString snap = folder + "/keep.snap";
    modMenu::FileOpen(path);
    ASSERT_TRUE(CurrentNetworkAs<CBackProp>());

    // A snapshot place that cannot be replaced: the error, never "saved", not even the text
    // of the snapshot saved before.
    modMenu::SaveSnapshot();
    ASSERT_EQ(mainPanel(), QStringLiteral("Project snapshot saved."));
    QFile::remove(snap);
    QDir().mkpath(snap);
    NetTest::WriteBytes(snap + "/inside", "x");
    prompts.ExpectBox(MsgResult::Ok);
    modMenu::SaveSnapshot();
    EXPECT_EQ(prompts.LastBox().title, QStringLiteral("modMenu::SaveSnapshot"));
    EXPECT_NE(mainPanel(), QStringLiteral("Project snapshot saved."));
    EXPECT_TRUE(QFile::exists(snap + "/inside"));
    QDir(snap).removeRecursively();

    // A snapshot that is no database: the project file stays as it was, the snapshot too,
    // and the project is open again.
    NetTest::WriteBytes(snap, "this is not a database");
    NetTest::SetMarker(path, "mine");
    prompts.ExpectBox(MsgResult::Yes);
    prompts.ExpectBox(MsgResult::Ok);
    modMenu::RevertSnapshot();
    EXPECT_EQ(prompts.LastBox().title, QStringLiteral("modMenu::RevertSnapshot"));
    EXPECT_TRUE(prompts.LastBox().text.contains("not reverted"));
    EXPECT_EQ(NetTest::Marker(path), QStringLiteral("mine"));
    EXPECT_EQ(NetTest::Integrity(path), QStringLiteral("ok"));
    EXPECT_TRUE(QFile::exists(snap));
    EXPECT_TRUE(CurrentNetworkAs<CBackProp>());
    EXPECT_NE(mainPanel(), QStringLiteral("Project reverted to snapshot."));
}

// A copy killed anywhere in a 48 MB file, in both directions (snapshot and revert), leaves the
// target as the old file or the new one, and a part that the start-up sweep removes. Each kill
// lands where the part has reached the size the trial asks for, whatever the machine.
TEST(SnapshotCopies, KilledCopyLeavesAFileThatOpens)
{
    const QString folder = TestEnv::NewFolder("snapkill");
    auto makeDb = [&](const QString& path, const QString& mark) {
        kdb::Database db = kdb::Database::Create(path);
        db.ExecuteJet(ProjectSchema::BaseTableStatement(ProjectSchema::ConfigTable()));
        db.Execute("CREATE TABLE Bulk (Id INTEGER PRIMARY KEY, Data BLOB)");
        kdb::Transaction t(db);
        db.Execute("INSERT INTO Config VALUES ('Marker', ?)", {mark});
        kdb::Statement ins = db.Prepare("INSERT INTO Bulk (Data) VALUES (?)");
        const QByteArray blob(64 * 1024, mark.at(0).toLatin1());
        for (int i = 0; i < 768; ++i)
            ins.Run({kdb::Value(blob)});
        t.Commit();
    };
    const QString project = folder + "/p.kvp", snap = folder + "/p.snap";
    makeDb(project, "project");
    makeDb(snap, "snapshot");
    const qint64 size = QFileInfo(project).size();
    struct Direction {
        QString from, to;
    };
    for (const Direction& d : {Direction{project, snap}, Direction{snap, project}}) {
        // Just made, a few pages in, half-way, nearly done, complete but not yet in place.
        for (const qint64 reached : {qint64(0), qint64(64 * 1024), size / 2, size * 9 / 10, size}) {
            const pid_t child = KillPoint::Repeat([&] { kdb::CopyDatabaseFile(d.from, d.to); });
            const QString part = folder + "/." + QFileInfo(d.to).fileName() + ".part" + QString::number(child);
            ASSERT_TRUE(KillPoint::KillWhen(child, [&] {
                const QFileInfo info(part);
                return info.exists() && info.size() >= reached;
            })) << reached;
            ASSERT_TRUE(QFileInfo::exists(part));
            // Opened as the program opens it, first.
            const QString m = NetTest::Marker(d.to);
            EXPECT_TRUE(m == "project" || m == "snapshot") << m.toStdString();
            EXPECT_EQ(NetTest::Integrity(d.to), QStringLiteral("ok"));
        }
    }
    // The sweep of the next start leaves nothing hidden behind.
    DataImport::RemoveLeftoverTemps(folder);
    EXPECT_TRUE(QDir(folder).entryList({".*"}, QDir::Files | QDir::Hidden).isEmpty())
        << QDir(folder).entryList({".*"}, QDir::Files | QDir::Hidden).join(", ").toStdString();
    kdb::CopyDatabaseFile(project, snap);
    EXPECT_EQ(NetTest::Marker(snap), NetTest::Marker(project));
}

TEST_F(ProjectCommands, PatternFileTestLooksAtEveryLine)
{
    auto raw = [&](const QString& name, const QByteArray& text) {
        const QString p = folder + "/" + name;
        NetTest::WriteBytes(p, text);
        return p;
    };
    EXPECT_TRUE(modMenu::TestForRawFile(raw("two.raw", "[TAGS]\n[PATTERNS]")));
    EXPECT_TRUE(modMenu::TestForRawFile(raw("one.raw", "x [TAGS] y [PATTERNS]\n")));
    EXPECT_TRUE(modMenu::TestForRawFile(raw("last.raw", "[TAGS]\na,b\n1,2\n[PATTERNS]")));
    EXPECT_FALSE(modMenu::TestForRawFile(raw("tags.raw", "[TAGS]\n")));
    EXPECT_FALSE(modMenu::TestForRawFile(raw("small.raw", "[tags]\n[patterns]\n")));
    EXPECT_TRUE(prompts.Boxes().empty());

    // A file that cannot be read (empty, or gone since it was chosen): the box that says why,
    // and no second one calling it corrupt.
    for (const QString& unreadable : {raw("empty.raw", ""), folder + "/gone.raw"}) {
        SCOPED_TRACE(unreadable.toStdString());
        prompts.Clear();
        prompts.ExpectFile(choose(unreadable));
        prompts.ExpectBox(MsgResult::Ok);
        main->MainToolBar_Click(BandName::File, ToolName::Import, 0);
        ASSERT_EQ(prompts.Boxes().size(), 1u);
        EXPECT_EQ(prompts.Boxes()[0].title, QStringLiteral("modMenu::TestForRawFile"));
        EXPECT_EQ(mainPanel(), QStringLiteral("Import failed."));
    }
    // A file read through that is no pattern file: the import's own refusal.
    prompts.Clear();
    prompts.ExpectFile(choose(raw("plain.raw", "a,b\n1,2\n")));
    prompts.ExpectBox(MsgResult::Ok);
    main->MainToolBar_Click(BandName::File, ToolName::Import, 0);
    ASSERT_EQ(prompts.Boxes().size(), 1u);
    EXPECT_EQ(prompts.Boxes()[0].text, QStringLiteral("Invalid or corrupt .raw file."));
    EXPECT_EQ(prompts.Boxes()[0].title, QStringLiteral("Import Failed"));
    EXPECT_EQ(mainPanel(), QStringLiteral("Import failed."));
}

TEST_F(ProjectCommands, ImportOfPatternAndCommaFilesFromTheFileMenu)
{
    const QString raw = folder + "/plants.raw";
    NetTest::WriteBytes(raw, "[TAGS]\nheight, width\n[PATTERNS]\n1, 2\n3, 4\n5, 6\n");
    const QString csv = folder + "/shops.csv";
    NetTest::WriteBytes(csv, "Name,Sales\nNorth,10\nSouth,20\n");
    prompts.ExpectFile(choose(raw));
    prompts.ExpectFile(choose(csv));
    main->MainToolBar_Click(BandName::File, ToolName::Import, 0);
    main->MainToolBar_Click(BandName::UtilPopup, ToolName::Import, 0);
    ASSERT_EQ(prompts.FileDialogs().size(), 2u);
    const FileDialogRequest& asked = prompts.FileDialogs()[0];
    EXPECT_EQ(asked.title, QStringLiteral("Import"));
    EXPECT_EQ(asked.fileName, QStringLiteral("*.txt;*.csv;*.raw"));
    EXPECT_EQ(asked.flags, 4);
    EXPECT_TRUE(prompts.Boxes().empty());
    EXPECT_EQ(kdb::Database::Open(folder + "/plants.mdb", false, true).RecordCount("plants"), 3);
    EXPECT_EQ(kdb::Database::Open(folder + "/shops.mdb", false, true).RecordCount("shops"), 2);
    // No project was opened or created by it.
    EXPECT_EQ(CurrentKind(), ntNone);
    EXPECT_TRUE(views.calls.isEmpty());
}

// An import the file refuses says so in its box and leaves no "Importing ..." behind, as if
// it still ran: the panel shows again what it showed before, unless that was an earlier
// import's success, which would read as this one's. Both kinds of file.
TEST_F(ProjectCommands, AFailedImportLeavesNoImportingTextInTheStatusBar)
{
    const QString csv = folder + "/empty.csv";
    NetTest::WriteBytes(csv, "a,b\n1,2\n3,\n");
    const QString raw = folder + "/short.raw";
    NetTest::WriteBytes(raw, "[TAGS]\na, b\n[PATTERNS]\n1, 2\n3\n");
    const QString good = folder + "/shops.csv";
    NetTest::WriteBytes(good, "Name,Sales\nNorth,10\nSouth,20\n");
    for (const QString& source : {csv, raw}) {
        SCOPED_TRACE(source.toStdString());
        Utilities::StatusMessage(QStringLiteral("Ready"));
        prompts.ExpectFile(choose(source));
        prompts.ExpectBox(MsgResult::Ok);
        main->MainToolBar_Click(BandName::File, ToolName::Import, 0);
        ASSERT_EQ(prompts.Boxes().size(), 1u);
        EXPECT_EQ(mainPanel(), QStringLiteral("Ready"));

        QFile::remove(folder + "/shops.mdb");
        prompts.ExpectFile(choose(good));
        main->MainToolBar_Click(BandName::File, ToolName::Import, 0);
        ASSERT_EQ(mainPanel(), "Import to " + folder + "/shops.mdb successful.");
        prompts.ExpectFile(choose(source));
        prompts.ExpectBox(MsgResult::Ok);
        main->MainToolBar_Click(BandName::File, ToolName::Import, 0);
        ASSERT_EQ(prompts.Boxes().size(), 2u);
        EXPECT_EQ(mainPanel(), QString());
        prompts.Clear();
    }
}

// A pipe chosen to import from, or as the data source of a configuration, is never opened (the
// program would wait on it for good): one box says what it is, and nothing was written.
TEST_F(ProjectCommands, APipeChosenToReadFromGetsOneBox)
{
    const NamedPipe csv(folder + "/pipe.csv");
    const NamedPipe raw(folder + "/pipe.raw");
    ASSERT_TRUE(csv.Made() && raw.Made());
    for (const QString& source : {folder + "/pipe.csv", folder + "/pipe.raw"}) {
        SCOPED_TRACE(source.toStdString());
        prompts.Clear();
        prompts.ExpectFile(choose(source));
        prompts.ExpectBox(MsgResult::Ok);
        main->MainToolBar_Click(BandName::File, ToolName::Import, 0);
        ASSERT_EQ(prompts.Boxes().size(), 1u);
        EXPECT_TRUE(prompts.LastBox().text.contains(QStringLiteral("Not a regular file (a named pipe)")))
            << prompts.LastBox().text.toStdString();
        EXPECT_EQ(mainPanel().toLower(), QStringLiteral("import failed."));
    }
    prompts.Clear();
    prompts.ExpectBox(MsgResult::Ok);
    EXPECT_FALSE(Utilities::OpenDb(folder + "/pipe.csv", true).IsOpen());
    ASSERT_EQ(prompts.Boxes().size(), 1u);
    EXPECT_EQ(prompts.LastBox().title, QStringLiteral("Open Database (3051)"));
    EXPECT_FALSE(csv.Waited() || raw.Waited());
    EXPECT_FALSE(QFileInfo::exists(folder + "/pipe.mdb"));
}

TEST_F(ProjectCommands, ExportOfMarkedRowsEndToEnd)
{
    const QString path = MakeProject("marked.kvp", CProcess::kConfigured | CProcess::kSplit | CProcess::kTrained
                                                       | CProcess::kTested, true);
    {
        kdb::Database db = kdb::Database::Open(path);
        db.Execute("UPDATE Test SET Mark = -1 WHERE MainPrimaryKey IN (41, 45, 50)");
    }
    modMenu::FileOpen(path);
    ASSERT_TRUE(CurrentNetworkAs<CBackProp>());
    EXPECT_EQ(views.calls.last(), QStringLiteral("BrowseTest"));
    // A pipe in the place of the file is neither asked about nor replaced.
    const QString pipePath = folder + "/marked-pipe.txt";
    const NamedPipe pipe(pipePath);
    prompts.ExpectFile(choose(pipePath));
    prompts.ExpectBox(MsgResult::Ok);
    main->MainToolBar_Click(BandName::File, ToolName::Export, 0);
    ASSERT_EQ(prompts.Boxes().size(), 1u);
    EXPECT_TRUE(prompts.LastBox().text.contains(QStringLiteral("Not a regular file (a named pipe)")));
    EXPECT_FALSE(QFileInfo(pipePath).isFile());
    prompts.Clear();
    const QString out = folder + "/marked-out.txt";
    prompts.ExpectFile(choose(out));
    main->MainToolBar_Click(BandName::File, ToolName::Export, 0);
    ASSERT_FALSE(prompts.FileDialogs().empty());
    EXPECT_EQ(prompts.FileDialogs().back().title, QStringLiteral("Export Marked Rows"));
    const QStringList lines = QString::fromUtf8(bytesOf(out)).split('\n', Qt::SkipEmptyParts);
    EXPECT_EQ(lines.size(), 4); // the field names and the three marked rows
    EXPECT_TRUE(prompts.Boxes().empty());
}

// Not a check: pictures of the main window with a project open and the File, Run and Edit
// menus dropped down, for a person to look at. Run under a display with
// --gtest_also_run_disabled_tests and KORVAN_SHOTS naming the folder for the pictures.
TEST_F(ProjectCommands, DISABLED_PicturesOfTheMainWindowWithItsMenus)
{
    const QString shots = qEnvironmentVariable("KORVAN_SHOTS", QDir::tempPath());
    const QString path = MakeProject("Sales.kvp", CProcess::kConfigured | CProcess::kSplit);
    main->setGeometry(0, 0, 900, 600);
    main->show();
    modMenu::FileOpen(path);
    ASSERT_TRUE(CurrentNetworkAs<CBackProp>());
    modMenu::SaveSnapshot();
    CCommandBar* bar = main->MainToolBar();
    CBand& menus = bar->Band(BandName::MainMenu);
    for (QLatin1StringView title : {ToolName::File, ToolName::NetworkTool, ToolName::Edit}) {
        QAction* action = menus.ToolAt(menus.IndexOf(title)).Action();
        main->menuBar()->setActiveAction(action);
        for (int i = 0; i < 30; ++i) {
            QCoreApplication::processEvents();
            QThread::msleep(10);
        }
        const QPixmap picture = QGuiApplication::primaryScreen()->grabWindow(0, 0, 0, 900, 600);
        EXPECT_TRUE(picture.save(shots + "/i12-menu-" + title + ".png"));
        if (QMenu* open = qobject_cast<QMenu*>(QApplication::activePopupWidget()))
            open->close();
        QCoreApplication::processEvents();
    }
}

// Another copy of the program holds the project (or the name an import writes): its open, a new
// project over it and an import to it are refused with one box naming the holder, and nothing
// is written; once that copy lets go, the project opens and is held in turn while it is open.
TEST_F(ProjectCommands, WhatAnotherCopyHoldsIsRefusedWithOneBoxAndNothingWritten)
{
    const QString path = MakeProject("shared.kvp", CProcess::kConfigured);
    const QByteArray before = bytesOf(path);
    const QString holder = "file already in use.  It is held by another copy of Korvan Pro (user ";
    FileClaim other;
    other.Take(path);
    prompts.ExpectBox(MsgResult::Ok);
    modMenu::FileOpen(path);
    ASSERT_EQ(prompts.Boxes().size(), 1u);
    EXPECT_TRUE(prompts.LastBox().text.startsWith("Couldn't use '" + path + "'; " + holder)) << prompts.LastBox().text.toStdString();
    EXPECT_EQ(prompts.LastBox().title, QStringLiteral("Open Project"));
    EXPECT_EQ(CurrentKind(), ntNone);

    prompts.Clear();
    prompts.ExpectFile(choose(path));
    prompts.ExpectBox(MsgResult::Yes);
    prompts.ExpectBox(MsgResult::Ok);
    EXPECT_EQ(modMenu::GetFileNew(ntBackProp), QString());
    EXPECT_EQ(prompts.LastBox().title, QStringLiteral("modMenu::GetFileNew"));
    EXPECT_TRUE(prompts.LastBox().text.contains(holder)) << prompts.LastBox().text.toStdString();
    EXPECT_EQ(bytesOf(path), before);

    const QString csv = folder + "/shops.csv";
    NetTest::WriteBytes(csv, "Name,Sales\nNorth,10\nSouth,20\n");
    FileClaim importing;
    importing.Take(folder + "/shops.mdb");
    prompts.Clear();
    prompts.ExpectFile(choose(csv));
    prompts.ExpectBox(MsgResult::Ok);
    main->MainToolBar_Click(BandName::File, ToolName::Import, 0);
    ASSERT_EQ(prompts.Boxes().size(), 1u);
    EXPECT_TRUE(prompts.LastBox().text.contains(holder)) << prompts.LastBox().text.toStdString();
    EXPECT_FALSE(QFileInfo::exists(folder + "/shops.mdb"));
    importing.Release();

    other.Release();
    prompts.Clear();
    modMenu::FileOpen(path);
    ASSERT_TRUE(CurrentNetworkAs<CBackProp>());
    EXPECT_TRUE(prompts.Boxes().empty());
    EXPECT_THROW(other.Take(path), KvError);
    modMenu::FileClose();
    other.Take(path);
    EXPECT_TRUE(other.Held());

    // An SFAM project alike.
    const QString sfam = folder + "/shared-sfam.kvp";
    {
        CSFam sf;
        sf.Initialize(sfam);
        sf.Attach(source, "Data");
        NetTest::Configure(sf, {{"X", roleInput, 0, 30}, {"C", roleSFamPredict}});
        sf.SaveConfig();
    }
    CProcess process;
    process.SetIsConfigured(true);
    process.Save(sfam);
    FileClaim sfamHolder;
    sfamHolder.Take(sfam);
    prompts.Clear();
    prompts.ExpectBox(MsgResult::Ok);
    modMenu::FileOpen(sfam);
    ASSERT_EQ(prompts.Boxes().size(), 1u);
    EXPECT_TRUE(prompts.LastBox().text.contains(holder)) << prompts.LastBox().text.toStdString();
    EXPECT_EQ(CurrentKind(), ntNone);
    sfamHolder.Release();
    prompts.Clear();
    modMenu::FileOpen(sfam);
    ASSERT_TRUE(CurrentNetworkAs<CSFam>());
    EXPECT_THROW(sfamHolder.Take(sfam), KvError);
}

// Snapshots where the program writes or reads them: a snapshot that is a pipe is neither written
// over nor waited on, and named by the box every open gives; a revert over a project another
// program is writing keeps both, its writer's change lands; a project opened through a link
// is reverted through it.
TEST_F(ProjectCommands, SnapshotsNeverGoOverPipesOrWritersAndGoThroughLinks)
{
    const QString path = MakeProject("piped.kvp", CProcess::kConfigured);
    modMenu::FileOpen(path);
    ASSERT_TRUE(CurrentNetworkAs<CBackProp>());
    {
        const NamedPipe snap(folder + "/piped.snap");
        ASSERT_TRUE(snap.Made());
        prompts.ExpectBox(MsgResult::Ok);
        modMenu::SaveSnapshot();
        ASSERT_EQ(prompts.Boxes().size(), 1u);
        EXPECT_EQ(prompts.LastBox().title, QStringLiteral("modMenu::SaveSnapshot"));
        EXPECT_TRUE(prompts.LastBox().text.contains("Not a regular file (a named pipe)")) << prompts.LastBox().text.toStdString();
        prompts.ExpectBox(MsgResult::Ok);
        modMenu::RevertSnapshot();
        ASSERT_EQ(prompts.Boxes().size(), 2u);
        EXPECT_EQ(prompts.LastBox().title, QStringLiteral("modMenu::RevertSnapshot"));
        EXPECT_TRUE(prompts.LastBox().text.contains("Not a regular file (a named pipe)")) << prompts.LastBox().text.toStdString();
        EXPECT_FALSE(snap.Waited());
        EXPECT_TRUE(QFileInfo(folder + "/piped.snap").exists());
        EXPECT_TRUE(CurrentNetworkAs<CBackProp>());
    }

    NetTest::SetMarker(path, "snapped");
    modMenu::SaveSnapshot();
    NetTest::SetMarker(path, "later");
    sqlite3* writer = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &writer), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(writer, "BEGIN; UPDATE Config SET sValue = 'writer' WHERE Property = 'Marker'", nullptr,
                           nullptr, nullptr),
              SQLITE_OK);
    prompts.Clear();
    prompts.ExpectBox(MsgResult::Yes);
    prompts.ExpectBox(MsgResult::Ok);
    prompts.ExpectBox(MsgResult::Ok);   // the close's own save of the steps meets the lock too
    modMenu::RevertSnapshot();
    const auto refused = std::find_if(prompts.Boxes().begin(), prompts.Boxes().end(), [](const MessageRequest& box) {
        return box.title == QStringLiteral("modMenu::RevertSnapshot");
    });
    ASSERT_NE(refused, prompts.Boxes().end());
    EXPECT_TRUE(refused->text.contains("file already in use.  Another program is writing it")) << refused->text.toStdString();
    EXPECT_TRUE(refused->text.endsWith("The project was not reverted.")) << refused->text.toStdString();
    EXPECT_TRUE(QFileInfo::exists(folder + "/piped.snap"));
    ASSERT_EQ(sqlite3_exec(writer, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(writer);
    EXPECT_EQ(NetTest::Marker(path), QStringLiteral("writer"));
    modMenu::FileClose();

    const QString link = folder + "/through.kvp";
    ASSERT_TRUE(QFile::link(path, link));
    modMenu::FileOpen(link);
    ASSERT_TRUE(CurrentNetworkAs<CBackProp>());
    NetTest::SetMarker(link, "linked snapshot");
    modMenu::SaveSnapshot();
    NetTest::SetMarker(link, "after");
    prompts.Clear();
    prompts.ExpectBox(MsgResult::Yes);
    modMenu::RevertSnapshot();
    EXPECT_EQ(prompts.Boxes().size(), 1u);
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(NetTest::Marker(path), QStringLiteral("linked snapshot"));
    EXPECT_TRUE(CurrentNetworkAs<CBackProp>());
}
