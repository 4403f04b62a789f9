// Closing a training window: by the user it saves and gives the main window back its standard
// bar and tools at the project's step; unloaded by a command it leaves the bars to that command.
#include "core/widgets/toolnames.h"
#include "tests/support/fulldisk.h"
#include "tests/training/trainfixture.h"

#include <QMap>

namespace {

class TrainClose : public TrainingTest {
protected:
    // The main tools outside the training bar, each with its state.
    QMap<QString, bool> MainTools() const
    {
        CCommandBar* bar = main->MainToolBar();
        QStringList train;
        if (CBand* band = bar->FindBand(BandName::TrainBPBar))
            for (int i = 0; i < band->ToolCount(); ++i)
                train << band->ToolAt(i).Name();
        QMap<QString, bool> states;
        for (const QString& name : bar->ToolNames())
            if (!train.contains(name))
                states[name] = bar->Enabled(name);
        return states;
    }

    // The training view of the split project, trained a few steps and stopped; none when it
    // did not open.
    CTrainWindow* TrainAWhile()
    {
        gNavigate().Navigate(navSplit);
        CTrainWindow* w = OpenView<CTrainWindow>();
        if (!w)
            return nullptr;
        modMenu::TrainBar(ToolName::TrainBPTrain);
        for (int step = 0; step < 12 && w->RunActive(); ++step)
            w->RunPendingStep();
        modMenu::TrainBar(ToolName::TrainBPStop);
        RunToEnd(w);
        return w;
    }

    bool TrainBandUp() const { return main->MainToolBar()->Band(BandName::TrainBPBar).Visible(); }
    bool StandardUp() const { return main->MainToolBar()->Band(BandName::Standard).Visible(); }
};

} // namespace

TEST_F(TrainClose, TheCloseBoxOfTheBackPropViewSavesAndGivesTheToolsBackEvenAfterARun)
{
    ScriptedBackProp& net = OpenBackProp();
    gNavigate().Navigate(navSplit);
    const QMap<QString, bool> before = MainTools();
    ASSERT_TRUE(before.value(ToolName::Configure));
    ASSERT_TRUE(before.value(ToolName::TrainBP));

    frmTrainBP* w = OpenView<frmTrainBP>();
    ASSERT_TRUE(w);
    EXPECT_TRUE(TrainBandUp());
    EXPECT_FALSE(StandardUp());
    EXPECT_FALSE(Tool(ToolName::Configure));

    // Closed during a run: the close waits for the run, saves, then gives everything back.
    modMenu::TrainBar(ToolName::TrainBPTrain);
    w->RunPendingStep();
    w->RunPendingStep();
    QPointer<frmTrainBP> guard(w);
    w->SubWindow()->close();
    Flush();
    ASSERT_TRUE(guard);
    EXPECT_TRUE(TrainBandUp());
    RunToEnd(w);
    Flush();
    EXPECT_FALSE(guard);
    EXPECT_GT(net.State().CyclesCompleted(), 0);
    EXPECT_FALSE(TrainBandUp());
    EXPECT_TRUE(StandardUp());
    EXPECT_EQ(gNavigate().Step(), navSplit);
    EXPECT_EQ(MainTools(), before);
    EXPECT_TRUE(views.isEmpty());

    // Opened again and closed idle: the same, and the trained network came back from the file.
    frmTrainBP* again = OpenView<frmTrainBP>();
    ASSERT_TRUE(again);
    EXPECT_NE(again->CurrentErrorText(), "");
    EXPECT_FALSE(Tool(ToolName::Configure));
    again->SubWindow()->close();
    Flush();
    EXPECT_EQ(TrainingViews::Window(), nullptr);
    EXPECT_FALSE(TrainBandUp());
    EXPECT_TRUE(StandardUp());
    EXPECT_EQ(MainTools(), before);
}

TEST_F(TrainClose, TheSFamViewClosedByTheUserGivesTheToolsBackButNotWhenACommandUnloadsIt)
{
    OpenSFam();
    gNavigate().Navigate(navSplit);
    const QMap<QString, bool> before = MainTools();

    // Another view's command unloads the window: the bars stay as that command left them.
    frmTrainSF* w = OpenView<frmTrainSF>();
    ASSERT_TRUE(w);
    QPointer<frmTrainSF> guard(w);
    modMenu::RemoveChildForms();
    Flush();
    EXPECT_FALSE(guard);
    EXPECT_TRUE(TrainBandUp());
    EXPECT_FALSE(StandardUp());
    EXPECT_FALSE(Tool(ToolName::Configure));

    // Reopening replaces the bar's tools once more; the close box now gives them back, and the
    // states are those from before the first view (switching off twice loses nothing).
    w = OpenView<frmTrainSF>();
    ASSERT_TRUE(w);
    w->SubWindow()->close();
    Flush();
    EXPECT_EQ(TrainingViews::Window(), nullptr);
    EXPECT_FALSE(TrainBandUp());
    EXPECT_TRUE(StandardUp());
    EXPECT_EQ(gNavigate().Step(), navSplit);
    EXPECT_EQ(MainTools(), before);
    EXPECT_TRUE(views.isEmpty());

    // Closing the project with the view up: the project's close sets the bar, no project step.
    OpenView<frmTrainSF>();
    modMenu::FileClose();
    Flush();
    EXPECT_EQ(TrainingViews::Window(), nullptr);
    EXPECT_FALSE(TrainBandUp());
    EXPECT_TRUE(StandardUp());
    EXPECT_EQ(gNavigate().Step(), navNoProject);
    EXPECT_FALSE(Tool(ToolName::TrainBP));
}

// A tested project whose source table lost a field it uses: Train says so in the one box the
// result views give, and Finish on the project (no longer trained, still tested) gives the
// tools back and leads to its results.
TEST_F(TrainClose, ASourceThatLostAFieldStopsTheRunWithOneBoxAndFinishLeadsBackToTheResults)
{
    Record(ToolName::BrowseTest, "BrowseTest");
    for (const bool sfam : {false, true}) {
        SCOPED_TRACE(sfam ? "SFAM" : "back-propagation");
        CNetworkProject& net = sfam ? static_cast<CNetworkProject&>(OpenSFam()) : OpenBackProp();
        const QString source = net.State().DatabaseFileName();
        const QString path = net.State().ProjectFileName();
        CTrainWindow* w = TrainAWhile();
        ASSERT_TRUE(w);
        modMenu::TrainBar(ToolName::TrainBPExit);
        Flush();
        ASSERT_TRUE(gProcess().IsTested());
        const QMap<QString, bool> tested = MainTools();

        {
            kdb::Database db = kdb::Database::Open(source, false, false);
            db.Execute("ALTER TABLE Data RENAME COLUMN X2 TO X2b");
        }
        views.clear();
        const size_t boxes = prompts.Boxes().size();
        w = OpenView<CTrainWindow>();
        ASSERT_TRUE(w);
        EXPECT_FALSE(Tool(ToolName::Open));
        prompts.ExpectBox(MsgResult::Ok);
        modMenu::TrainBar(ToolName::TrainBPTrain);
        RunToEnd(w);
        ASSERT_EQ(prompts.Boxes().size(), boxes + 1);
        EXPECT_EQ(prompts.LastBox().title, sfam ? "CSFam::BuildArrays" : "CBackProp::BuildArrays");
        EXPECT_EQ(prompts.LastBox().text,
                  "Error: 3265. \nThe source table Data no longer has the field [X2] that this project uses.");
        EXPECT_FALSE(gProcess().IsTrained());

        modMenu::TrainBar(ToolName::TrainBPExit);
        Flush();
        EXPECT_EQ(prompts.Boxes().size(), boxes + 1);
        EXPECT_EQ(views, QStringList{"BrowseTest"});
        EXPECT_EQ(TrainingViews::Window(), nullptr);
        EXPECT_TRUE(StandardUp());
        EXPECT_EQ(MainTools(), tested);
        EXPECT_TRUE(Tool(ToolName::Open) && Tool(ToolName::New) && Tool(ToolName::TrainBP));
        EXPECT_EQ(NetTest::ConfigValue(path, "Process").toText(),
                  QString::number(CProcess::kConfigured | CProcess::kSplit | CProcess::kTested));

        modMenu::RemoveChildForms();
        Flush();
        SetCurrentNetwork(nullptr);
        gProcess() = CProcess();
    }
}

// Finish on a full disk: its saves and the test each fail with "Not enough space on disk", and
// the user is told once; closing the project then tells it once more, not once per save.
TEST_F(TrainClose, FinishOnAFullDiskSaysItOnce)
{
    FullDisk disk;
    OpenBackProp();
    ASSERT_TRUE(TrainAWhile());
    ASSERT_TRUE(gProcess().IsTrained());
    prompts.AllowAnyBox();
    const size_t before = prompts.Boxes().size();
    FullDisk::Arm(true);
    modMenu::TrainBar(ToolName::TrainBPExit);
    Flush();
    ASSERT_EQ(prompts.Boxes().size(), before + 1);
    EXPECT_TRUE(prompts.LastBox().text.startsWith(QStringLiteral("Error: 3026."))) << prompts.LastBox().text.toStdString();
    EXPECT_FALSE(gProcess().IsTested());
    modMenu::FileClose();
    Flush();
    EXPECT_LE(prompts.Boxes().size(), before + 2);
    FullDisk::Arm(false);
    modMenu::RemoveChildForms();
    Flush();
    SetCurrentNetwork(nullptr);
}

// The view closed on a full disk after a run: its save fails, and the project counts as
// trained no more than its file says, so that no later save of the flags (a snapshot, the
// project's close) stores "trained" without the network. Both kinds.
TEST_F(TrainClose, AViewWhoseSaveFailsLeavesTheFlagsAsTheFileHoldsThem)
{
    FullDisk disk;
    for (const bool sfam : {false, true}) {
        SCOPED_TRACE(sfam ? "SFAM" : "back-propagation");
        CNetworkProject& net = sfam ? static_cast<CNetworkProject&>(OpenSFam()) : OpenBackProp();
        const QString path = net.State().ProjectFileName();
        CTrainWindow* w = TrainAWhile();
        ASSERT_TRUE(w);
        ASSERT_TRUE(gProcess().IsTrained());
        prompts.AllowAnyBox();
        FullDisk::Arm(true);
        w->SubWindow()->close();
        Flush();
        FullDisk::Arm(false);
        EXPECT_EQ(TrainingViews::Window(), nullptr);
        EXPECT_FALSE(gProcess().IsTrained());
        gNavigate().Save(path);
        CProcess stored;
        stored.Load(path);
        EXPECT_FALSE(stored.IsTrained());

        modMenu::RemoveChildForms();
        Flush();
        SetCurrentNetwork(nullptr);
        gProcess() = CProcess();
        prompts.Clear();
    }
}
