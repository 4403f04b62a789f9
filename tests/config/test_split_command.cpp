// The row-split command on real projects (the real engine, small generated tables): each road
// after the dialog, with what it saved checked in the reopened project file.
#include "config/rangeselector.h"
#include "config/splitcommand.h"
#include "config/splitdialog.h"
#include "core/widgets/statusbar.h"
#include "core/widgets/statusmsg.h"
#include "core/widgets/toolnames.h"
#include "core/widgets/veltra.h"
#include "data/projectschema.h"
#include "network/workflowflags.h"
#include "shell/modmenu.h"
#include "shell/navigate.h"
#include "shell/networkopener.h"
#include "config/splitcommand.h"
#include "shell/commandtable.h"
#include "tests/network/netfixture.h"
#include "tests/shell/installedopener.h"
#include "tests/shell/recordingviews.h"
#include "tests/shell/test_shell_support.h"
#include "tests/support/fulldisk.h"
#include "tests/support/modalanswerer.h"
#include "tests/support/splitanswer.h"

#include <QApplication>
#include <QFile>
#include <QPushButton>
#include <QTimer>

namespace {

using kdb::Value;

class SplitCommandTest : public ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        // No view may open while a dialog is still inside exec().
        for (QLatin1StringView tool :
             {ToolName::TrainBP, ToolName::BrowseTest, ToolName::ShowAll, ToolName::Scatter, ToolName::Matrix}) {
            const CommandRow* row = gCommands().Find(CommandBar::Main, tool);
            ASSERT_NE(row, nullptr);
            gCommands().Add(tool, [inner = row->action](const CommandClick& click) {
                EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
                inner(click);
            });
        }
        SplitViews::Install();

        folder = TestEnv::NewFolder("split");
        std::vector<QList<Value>> rows;
        for (int i = 1; i <= 40; ++i) {
            // Rows 39 and 40 have no first input: a network can use none of them.
            const Value x1 = i >= 39 ? Value() : Value(double(i % 10));
            rows.push_back({i, x1, double((i * 7) % 13), double(i % 10) * 2.0 + 1.0, i % 3 == 0 ? "A" : "B"});
        }
        source = NetTest::MakeSource(folder, "Data", "X1 REAL, X2 REAL, Y REAL, C TEXT", rows);
    }
    void TearDown() override
    {
        modMenu::FileClose();
        ShellTest::TearDown();
    }

    // A configured and split project over rows 1..30 for training and 31..38 for testing,
    // trained when asked (with its network saved), with those flags stored.
    QString MakeProject(NetworkType kind, bool trained, bool defaultRanges = false)
    {
        const QString path = folder + (kind == ntBackProp ? "/bp.kvp" : "/sf.kvp");
        const auto build = [&](auto& net, const std::vector<NetTest::Role>& roles) {
            net.Initialize(path);
            net.Attach(source, "Data");
            NetTest::Configure(net, roles);
            if (!defaultRanges) {
                net.State().SetTrainLow(1);
                net.State().SetTrainHigh(30);
                net.State().SetTestLow(31);
                net.State().SetTestHigh(38);
            }
        };
        if (kind == ntBackProp) {
            CBackProp bp;
            build(bp, {{"X1", roleInput, 0, 10}, {"X2", roleInput, 0, 13}, {"Y", roleBPPredict, 0, 20}});
            if (trained) {
                for (int i = 0; i < 5; ++i)
                    bp.Train();
                bp.Verify();
            }
            bp.SaveConfig();
        } else {
            CSFam sf;
            build(sf, {{"X1", roleInput, 0, 10}, {"X2", roleInput, 0, 13}, {"C", roleSFamPredict}});
            sf.BuildClassList();
            if (trained) {
                sf.Train();
                sf.Verify();
            }
            sf.SaveConfig();
        }
        CProcess p;
        p.SetIsConfigured(true);
        p.SetIsSplit(!defaultRanges);
        p.SetIsTrained(trained);
        p.Save(path);
        return path;
    }
    // Opens the project (which resumes at its step) and forgets what that did.
    void Open(const QString& path)
    {
        modMenu::FileOpen(path);
        ASSERT_TRUE(CurrentNetwork());
        prompts.Clear();
        calls.clear();
    }
    static QString Config(const QString& path, const char* key)
    {
        return NetTest::ConfigValue(path, key).toText();
    }
    static int64_t Count(const QString& path, const QString& table)
    {
        kdb::Database db = kdb::Database::Open(path, false, true);
        return db.Scalar("SELECT COUNT(*) FROM " + table).toInt();
    }
    static QList<QList<Value>> ConfigRows(const QString& path)
    {
        kdb::Database db = kdb::Database::Open(path, false, true);
        kdb::Snapshot s = db.OpenSnapshot("SELECT Property, sValue FROM Config ORDER BY Property");
        QList<QList<Value>> out;
        for (int i = 0; i < s.RecordCount(); ++i)
            out << s.Row(i);
        return out;
    }
    static CProcess Stored(const QString& path)
    {
        CProcess p;
        p.Load(path);
        return p;
    }
    static QString StatusText() { return gVeltra().StatusBar().Panel(1).Text().trimmed(); }

    InstalledOpener opener;
    RecordingViews views;
    QStringList& calls = views.calls;
    QString folder, source;
};

} // namespace

TEST_F(SplitCommandTest, CancelReturnsToTheCurrentViewAndSavesNothing)
{
    const QString path = MakeProject(ntBackProp, true);
    Open(path);
    const auto before = ConfigRows(path);
    {
        ModalAnswerer answer;
        answer.Then(ModalAnswerer::Reject());
        gProcess().SetIsTested(true);
        SplitCommand::SetLimits();
        EXPECT_EQ(answer.Seen(), std::vector<QString>{"frmDataSelect"});
    }
    {
        // The close box is Cancel too.
        ModalAnswerer answer;
        answer.Then([](QWidget* w) { w->close(); });
        gProcess().SetIsTested(false);
        SplitCommand::SetLimits();
    }
    {
        ModalAnswerer answer;
        answer.Then(ModalAnswerer::Reject());
        gProcess().SetIsSplit(false);
        SplitCommand::SetLimits();
    }
    EXPECT_EQ(calls, QStringList({"BrowseTest", "MenuBProp", "ShowDefBrowser"}));
    EXPECT_EQ(ConfigRows(path), before);
    EXPECT_EQ(CurrentNetworkAs<CBackProp>()->State().TrainHigh(), 30);
    EXPECT_TRUE(prompts.Boxes().empty());
}

TEST_F(SplitCommandTest, ANewTrainingRangeOnATrainedProjectAsksThenResets)
{
    const QString path = MakeProject(ntBackProp, true);
    Open(path);
    ASSERT_TRUE(CurrentNetworkAs<CBackProp>()->State().NetReady());
    const int64_t snapshots = Count(path, ProjectSchema::SnapshotsTable());
    ASSERT_GT(snapshots, 0);

    // No: nothing changes, nothing is saved.
    {
        ModalAnswerer answer;
        answer.Then(SplitAnswer(1, 25, 31, 38));
        prompts.ExpectBox(MsgResult::No);
        SplitCommand::SetLimits();
    }
    ASSERT_EQ(prompts.Boxes().size(), 1u);
    EXPECT_EQ(prompts.LastBox().text, "This will reset your current Training.  Continue?");
    EXPECT_EQ(prompts.LastBox().title, "Training Data Selection");
    EXPECT_EQ(prompts.LastBox().buttons, MsgButtons::YesNo);
    EXPECT_EQ(prompts.LastBox().icon, MsgIcon::Exclamation);
    EXPECT_EQ(CurrentNetworkAs<CBackProp>()->State().TrainHigh(), 30);
    EXPECT_TRUE(CurrentNetworkAs<CBackProp>()->State().NetReady());
    EXPECT_TRUE(gProcess().IsTrained());
    EXPECT_TRUE(calls.isEmpty());
    EXPECT_EQ(Count(path, ProjectSchema::SnapshotsTable()), snapshots);

    // Yes, with both ranges new: one question, the training reset, no test.
    {
        ModalAnswerer answer;
        answer.Then(SplitAnswer(1, 25, 26, 40));
        prompts.ExpectBox(MsgResult::Yes);
        SplitCommand::SetLimits();
    }
    EXPECT_EQ(prompts.Boxes().size(), 2u);
    EXPECT_EQ(calls, QStringList{"MenuBProp"});
    EXPECT_FALSE(CurrentNetworkAs<CBackProp>()->State().NetReady());
    EXPECT_TRUE(gProcess().IsSplit());
    EXPECT_FALSE(gProcess().IsTrained());
    EXPECT_FALSE(gProcess().IsTested());
    EXPECT_EQ(gNavigate().Step(), navSplit);

    modMenu::FileClose();
    EXPECT_EQ(Config(path, "TrainHigh"), "25");
    EXPECT_EQ(Config(path, "TestLow"), "26");
    EXPECT_EQ(Config(path, "TestHigh"), "40");
    EXPECT_EQ(Count(path, ProjectSchema::SnapshotsTable()), 0);
    const CProcess stored = Stored(path);
    EXPECT_TRUE(stored.IsSplit());
    EXPECT_FALSE(stored.IsTrained());
}

TEST_F(SplitCommandTest, ANewTrainingRangeOfAnUntrainedSFamProjectIsKeptWithoutAQuestion)
{
    const QString path = MakeProject(ntSFam, false);
    Open(path);
    {
        ModalAnswerer answer;
        answer.Then(SplitAnswer(5, 30, 31, 38));
        SplitCommand::SetLimits();
    }
    EXPECT_TRUE(prompts.Boxes().empty());
    EXPECT_EQ(calls, QStringList{"MenuBProp"});
    // Saved at once: the training window may close untrained without saving anything.
    EXPECT_EQ(Config(path, "TrainLow"), "5");
    modMenu::FileClose();
    EXPECT_EQ(Config(path, "TrainLow"), "5");
    EXPECT_TRUE(Stored(path).IsSplit());
}

TEST_F(SplitCommandTest, ANewTestingRangeOnATrainedBackPropProjectTestsAgain)
{
    const QString path = MakeProject(ntBackProp, true);
    Open(path);
    {
        ModalAnswerer answer;
        answer.Then(SplitAnswer(1, 30, 21, 30));
        SplitCommand::SetLimits();
    }
    EXPECT_TRUE(prompts.Boxes().empty());
    EXPECT_EQ(calls, QStringList({"CloseBrowsers", "ShowScatter"}));   // the test rewrites the file
    EXPECT_TRUE(gProcess().IsTested());
    EXPECT_GE(CurrentNetworkAs<CBackProp>()->State().CurrentError(), 0);
    EXPECT_EQ(StatusText(), TestCompleteText(false, CurrentNetworkAs<CBackProp>()->State().CurrentError(), {}));
    EXPECT_TRUE(StatusText().startsWith("Test complete:  "));
    EXPECT_TRUE(StatusText().endsWith("% success."));
    EXPECT_TRUE(main->MainToolBar()->Enabled(ToolName::Scatter));
    // Step and flags saved by the command; the results of the new rows in the file.
    EXPECT_EQ(Config(path, "Navigate"), QString::number(navSplit));
    EXPECT_TRUE(Stored(path).IsTested());
    EXPECT_EQ(Count(path, "Test"), 10);
    EXPECT_EQ(Config(path, "TestLow"), "21");
    EXPECT_EQ(Config(path, "TestHigh"), "30");

    // Reopened, the project resumes tested with the new testing rows.
    modMenu::FileClose();
    Open(path);
    EXPECT_EQ(CurrentNetworkAs<CBackProp>()->State().TestLow(), 21);
    EXPECT_EQ(CurrentNetworkAs<CBackProp>()->State().TestHigh(), 30);
    EXPECT_EQ(CurrentNetworkAs<CBackProp>()->State().TrainHigh(), 30);
    EXPECT_TRUE(gProcess().IsTested());
    EXPECT_TRUE(gProcess().IsTrained());
}

TEST_F(SplitCommandTest, ANewTestingRangeOnATrainedSFamProjectShowsTheMatrix)
{
    const QString path = MakeProject(ntSFam, true);
    Open(path);
    ASSERT_TRUE(CurrentNetworkAs<CSFam>()->State().NetReady());
    {
        ModalAnswerer answer;
        answer.Then(SplitAnswer(1, 30, 1, 30));
        SplitCommand::SetLimits();
    }
    EXPECT_EQ(calls, QStringList({"CloseBrowsers", "ShowCMatrix"}));
    EXPECT_EQ(StatusText(), TestCompleteText(true, CurrentNetworkAs<CSFam>()->State().CurrentError(), u"% successful predictions."));
    EXPECT_TRUE(StatusText().endsWith("% successful predictions."));
    EXPECT_TRUE(Stored(path).IsTested());
    EXPECT_EQ(Count(path, "Test"), 30);
}

TEST_F(SplitCommandTest, AFailedTestLeavesTheProjectTrainedNotTested)
{
    const QString path = MakeProject(ntBackProp, true);
    Open(path);
    {
        ModalAnswerer answer;
        answer.Then(SplitAnswer(1, 30, 39, 40));   // no usable row
        prompts.ExpectBox(MsgResult::Ok);
        SplitCommand::SetLimits();
    }
    ASSERT_EQ(prompts.Boxes().size(), 1u);
    EXPECT_EQ(prompts.LastBox().title, "Not Enough Data");
    EXPECT_FALSE(gProcess().IsTested());
    EXPECT_TRUE(gProcess().IsTrained());
    EXPECT_FALSE(StatusText().contains("Test complete"));
    // No results: back to the training view.
    EXPECT_EQ(calls, QStringList{"MenuBProp"});
    EXPECT_FALSE(main->MainToolBar()->Enabled(ToolName::Scatter));
    EXPECT_TRUE(main->MainToolBar()->Enabled(ToolName::TestBP));
    const CProcess stored = Stored(path);
    EXPECT_TRUE(stored.IsTrained());
    EXPECT_FALSE(stored.IsTested());
    EXPECT_EQ(Config(path, "TestLow"), "39");
}

// OK on a full disk: the ranges, the test and the step and flags each fail to be written for
// the same reason, and the user is told once, whichever road the choice takes.
TEST_F(SplitCommandTest, OkOnAFullDiskSaysItOnce)
{
    FullDisk disk;
    const QString path = MakeProject(ntBackProp, true);
    Open(path);
    prompts.AllowAnyBox();
    FullDisk::Arm(true);
    {
        ModalAnswerer answer;
        answer.Then(SplitAnswer(1, 30, 21, 30));   // a new testing range: saved, then tested
        SplitCommand::SetLimits();
    }
    ASSERT_EQ(prompts.Boxes().size(), 1u);
    EXPECT_TRUE(prompts.LastBox().text.startsWith("Error: 3026.")) << prompts.LastBox().text.toStdString();
    {
        ModalAnswerer answer;
        answer.Then([](QWidget* w) { qobject_cast<frmDataSelect*>(w)->cmdOK->click(); });   // nothing new
        SplitCommand::SetLimits();
    }
    EXPECT_EQ(prompts.Boxes().size(), 2u);
    FullDisk::Arm(false);
}

// A split whose save fails, on a full disk or under another program's write lock, on every
// road after the dialog and for both kinds: memory keeps what the file keeps, and closing the
// project then writes no half of the split (split flags over the old ranges).
TEST_F(SplitCommandTest, AFailedSplitLeavesTheProjectAsItWas)
{
    FullDisk disk;
    struct Road {
        const char* name;
        bool trained, split;
        ModalAnswerer::Answer answer;
    };
    const auto unchanged = [](QWidget* w) { qobject_cast<frmDataSelect*>(w)->cmdOK->click(); };
    const std::vector<Road> roads = {{"new training range", true, true, SplitAnswer(1, 25, 26, 40)},
                                     {"new training range, untrained", false, true, SplitAnswer(5, 30, 31, 38)},
                                     {"new testing range", true, true, SplitAnswer(1, 30, 21, 30)},
                                     {"unchanged, never split", false, false, unchanged}};
    // Each road once per obstacle, the kinds taking turns.
    for (size_t r = 0; r < roads.size(); ++r)
        for (const bool full : {true, false}) {
            const Road& road = roads[r];
            const NetworkType kind = (r % 2 == 0) == full ? ntBackProp : ntSFam;
            SCOPED_TRACE(std::string(kind == ntBackProp ? "BackProp, " : "SFAM, ") + (full ? "full disk, " : "locked, ")
                         + road.name);
            const QString path = MakeProject(kind, road.trained);
            CProcess flags = Stored(path);
            flags.SetIsSplit(road.split);
            flags.Save(path);
            {
                // A project never split opens in the split dialog: left there with Cancel.
                ModalAnswerer answer;
                if (!road.split)
                    answer.Then(ModalAnswerer::Reject());
                Open(path);
            }
            const auto ranges = [] {
                const ProjectState& s = RequireNetwork().State();
                return std::vector<int32_t>{s.TrainLow(), s.TrainHigh(), s.TestLow(), s.TestHigh()};
            };
            const std::vector<int32_t> before = ranges();
            const uint8_t byte = gProcess().Byte();
            ASSERT_EQ(byte, Stored(path).Byte());

            prompts.AllowAnyBox();
            {
                const SaveRefused refused(path, full);
                ModalAnswerer answer;
                answer.Then(road.answer);
                SplitCommand::SetLimits();
            }
            EXPECT_GE(prompts.Boxes().size(), 1u);
            modMenu::RemoveChildForms();
            FlushDeletes();
            EXPECT_EQ(ranges(), before);
            EXPECT_EQ(gProcess().Byte(), byte);

            prompts.Clear();
            modMenu::FileClose();
            EXPECT_EQ(Stored(path).Byte(), byte);
            EXPECT_EQ(Config(path, "TrainLow"), QString::number(before[0]));
            EXPECT_EQ(Config(path, "TrainHigh"), QString::number(before[1]));
            EXPECT_EQ(Config(path, "TestLow"), QString::number(before[2]));
            EXPECT_EQ(Config(path, "TestHigh"), QString::number(before[3]));
            EXPECT_TRUE(prompts.Boxes().empty());
            QFile::remove(path);
        }
}

TEST_F(SplitCommandTest, ANewTestingRangeOfAnUntrainedProjectIsOnlyStored)
{
    const QString path = MakeProject(ntBackProp, false);
    Open(path);
    {
        ModalAnswerer answer;
        answer.Then(SplitAnswer(1, 30, 11, 20));
        SplitCommand::SetLimits();
    }
    EXPECT_TRUE(calls.isEmpty());
    // No view follows, and the dialog's hint went with the dialog.
    EXPECT_EQ(StatusText(), "");
    EXPECT_EQ(CurrentNetworkAs<CBackProp>()->State().TestLow(), 11);
    EXPECT_EQ(Config(path, "TestLow"), "11");
    EXPECT_EQ(Config(path, "TestHigh"), "20");
}

TEST_F(SplitCommandTest, OkWithoutChangesOnAnUntrainedProjectOpensTraining)
{
    const QString path = MakeProject(ntBackProp, false);
    Open(path);
    {
        ModalAnswerer answer;
        answer.Then([](QWidget* w) { qobject_cast<frmDataSelect*>(w)->cmdOK->click(); });
        SplitCommand::SetLimits();
    }
    EXPECT_EQ(calls, QStringList{"MenuBProp"});
    EXPECT_EQ(gNavigate().Step(), navSplit);
    EXPECT_EQ(Config(path, "Navigate"), QString::number(navSplit));
    EXPECT_TRUE(Stored(path).IsSplit());

    // A project never split, opened in the split dialog: OK on the rows it proposes splits it,
    // and it opens in training from then on.
    modMenu::FileClose();
    CProcess unsplit = Stored(path);
    unsplit.SetIsSplit(false);
    unsplit.Save(path);
    {
        ModalAnswerer answer;
        answer.Then([](QWidget* w) { qobject_cast<frmDataSelect*>(w)->cmdOK->click(); });
        Open(path);
    }
    EXPECT_TRUE(gProcess().IsSplit());
    modMenu::FileClose();
    EXPECT_TRUE(Stored(path).IsSplit());
    calls.clear();
    {
        ModalAnswerer noDialog(2000);
        modMenu::FileOpen(path);
    }
    EXPECT_EQ(calls, QStringList{"MenuBProp"});
}

TEST_F(SplitCommandTest, StaleRangesBeyondTheTableAreClampedAndSplitAgain)
{
    // A configured project whose ranges were never lowered from 1000 over a table of 40 rows:
    // opening it goes on to the split.
    const QString path = MakeProject(ntBackProp, false, true);
    int shownHigh = 0;
    {
        ModalAnswerer answer;
        answer.Then([&](QWidget* w) {
            auto* dialog = qobject_cast<frmDataSelect*>(w);
            ASSERT_TRUE(dialog);
            EXPECT_EQ(CurrentNetworkAs<CBackProp>()->State().TrainHigh(), 1000);
            shownHigh = dialog->dsTrainSet->ValueHigh();
            dialog->cmdOK->click();
        });
        modMenu::FileOpen(path);
    }
    EXPECT_EQ(shownHigh, 40);
    EXPECT_EQ(calls, QStringList{"MenuBProp"});
    EXPECT_EQ(CurrentNetworkAs<CBackProp>()->State().TrainHigh(), 40);
    EXPECT_EQ(CurrentNetworkAs<CBackProp>()->State().TestHigh(), 40);
    EXPECT_EQ(Config(path, "TrainHigh"), "40");
    EXPECT_TRUE(gProcess().IsSplit());
}

TEST_F(SplitCommandTest, WithoutAProjectTheCommandShowsItsError)
{
    prompts.ExpectBox(MsgResult::Ok);
    SplitCommand::SetLimits();
    ASSERT_EQ(prompts.Boxes().size(), 1u);
    EXPECT_EQ(prompts.LastBox().title, "modMenu::SetLimits");
    EXPECT_TRUE(prompts.LastBox().text.startsWith("Error: 91. "));
}

TEST_F(SplitCommandTest, ResetDataLimitsOfATestDialogRunsAfterItsExec)
{
    const QString path = MakeProject(ntBackProp, true);
    Open(path);
    // A stand-in for the test dialog: its "Reset Data Limits" button ends the dialog with its
    // own outcome; the code that ran exec() then runs the split.
    // Like every window, it goes on the heap: the split unloads the windows it finds.
    constexpr int ResetLimits = 2;
    QPointer<QDialog> dialog = new QDialog(main);
    auto* button = new QPushButton("Reset Data Limits", dialog);
    QObject::connect(button, &QPushButton::clicked, dialog, [dialog] { dialog->done(ResetLimits); });
    QTimer::singleShot(0, button, [button] { button->click(); });
    ASSERT_EQ(dialog->exec(), ResetLimits);
    delete dialog;
    {
        ModalAnswerer answer;
        answer.Then(SplitAnswer(1, 30, 21, 30));
        SplitCommand::SetLimits();
    }
    EXPECT_EQ(calls, QStringList({"CloseBrowsers", "ShowScatter"}));   // the test rewrites the file
    EXPECT_TRUE(gProcess().IsTested());

    // Run from inside a dialog still in exec(), the split closes the child windows but never
    // that dialog (its view then opens under the dialog).
    gCommands().Add(ToolName::BrowseTest, [this](const CommandClick&) { calls << "BrowseTest"; }); // under the dialog
    QPointer<QDialog> stillOpen = new QDialog(main);
    QTimer::singleShot(0, stillOpen, [&] {
        ModalAnswerer answer;
        // The dialog in exec() is no dialog of the split's: the poller may see it between steps.
        answer.Then(ModalAnswerer::Reject());   // stillOpen was up before: never answered
        SplitCommand::SetLimits();
        FlushDeletes();
        EXPECT_TRUE(stillOpen);
        if (stillOpen)
            stillOpen->done(QDialog::Accepted);
    });
    EXPECT_EQ(stillOpen->exec(), QDialog::Accepted);
    ASSERT_TRUE(stillOpen);
    delete stillOpen;
}

TEST_F(SplitCommandTest, TheSplitsTextsEndWithTheirSteps)
{
    const QString path = MakeProject(ntBackProp, true);
    Open(path);
    // No to the reset of the training, from the menu: no view follows, and the dialog's hint
    // does not stand over the empty area.
    {
        ModalAnswerer answer;
        answer.Then(SplitAnswer(1, 25, 31, 38));
        prompts.ExpectBox(MsgResult::No);
        SplitCommand::SetLimits();
    }
    EXPECT_EQ(calls, QStringList());
    EXPECT_EQ(StatusText(), "");

    // From a test dialog still in exec() ("Reset Data Limits"): the same No; then a new testing
    // range, tested by the split, and tested again by the dialog for its own figures: the
    // status under the new chart still says how the test went.
    gCommands().Add(ToolName::Scatter, [this](const CommandClick&) { calls << "ShowScatter"; }); // under the dialog
    QPointer<QDialog> testDialog = new QDialog(main);
    QString afterNo, complete, afterSecondTest;
    QTimer::singleShot(0, testDialog, [&] {
        ModalAnswerer answer;
        answer.Then(SplitAnswer(1, 25, 31, 38)).Then(SplitAnswer(1, 30, 21, 30));
        prompts.ExpectBox(MsgResult::No);
        Utilities::StatusMessage("Test Set results");
        SplitCommand::SetLimits();
        afterNo = StatusText();
        SplitCommand::SetLimits();
        complete = StatusText();
        CurrentNetworkAs<CBackProp>()->Test();
        afterSecondTest = StatusText();
        if (testDialog)
            testDialog->done(QDialog::Accepted);
    });
    testDialog->exec();
    delete testDialog;
    EXPECT_EQ(afterNo, "");
    EXPECT_EQ(complete, TestCompleteText(false, CurrentNetworkAs<CBackProp>()->State().CurrentError(), {}));
    EXPECT_EQ(afterSecondTest, complete);
    EXPECT_EQ(prompts.Boxes().size(), 2u);

    // A test that fails after them takes that text away: it would read as the failed test's.
    ASSERT_EQ(StatusText(), complete);
    CurrentNetworkAs<CBackProp>()->State().SetTestLow(500);
    CurrentNetworkAs<CBackProp>()->State().SetTestHigh(600);
    prompts.ExpectBox(MsgResult::Ok);
    EXPECT_NE(CurrentNetworkAs<CBackProp>()->Test(), TestOutcome::Done);
    EXPECT_EQ(prompts.Boxes().size(), 3u);
    EXPECT_EQ(StatusText(), "");
}

TEST_F(SplitCommandTest, AProjectClosedWhileTheDialogIsUpIsLeftAlone)
{
    const QString path = MakeProject(ntBackProp, false);
    Open(path);
    const auto before = ConfigRows(path);
    {
        ModalAnswerer answer;
        answer.Then([](QWidget* w) {
            auto* dialog = qobject_cast<frmDataSelect*>(w);
            ASSERT_TRUE(dialog);
            modMenu::FileClose();   // a shortcut of the main bar
            dialog->dsTestSet->SetValueLow(11);
            dialog->cmdOK->click();
        });
        SplitCommand::SetLimits();
    }
    EXPECT_FALSE(CurrentNetwork());
    EXPECT_TRUE(calls.isEmpty());
    EXPECT_TRUE(prompts.Boxes().empty());
    EXPECT_EQ(ConfigRows(path), before);
}

// The texts after a good test, of the row split and of Finish alike (one formatter): a
// back-propagation rate in its shortest general form, an SFAM rate with two decimals.
TEST(SplitCommandRules, CompletionTexts)
{
    EXPECT_EQ(TestCompleteText(false, 12.5f, {}), "Test complete:  87.5% success.");
    EXPECT_EQ(TestCompleteText(false, 0.0f, {}), "Test complete:  100% success.");
    EXPECT_EQ(TestCompleteText(false, 12.35f, {}), "Test complete:  87.65% success.");
    EXPECT_EQ(TestCompleteText(false, 5.0f, {}), "Test complete:  95% success.");
    EXPECT_EQ(TestCompleteText(false, 4.3f, {}), "Test complete:  95.7% success.");
    // 100 less the largest error below 100 that a single holds: the exponent as in every other
    // general figure.
    EXPECT_EQ(TestCompleteText(false, 100.0f - 0x1p-17f, {}), "Test complete:  7.6293945E-06% success.");
    EXPECT_EQ(TestCompleteText(true, 10.0f, u"% successful predictions."), "Test complete:  90.00% successful predictions.");
    EXPECT_EQ(TestCompleteText(true, 12.5f, u"% correct predictions."), "Test complete:  87.50% correct predictions.");
}
