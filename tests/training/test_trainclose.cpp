// Closing a training window: by the user it saves and gives the main window back its standard
// bar and tools at the project's step; unloaded by a command it leaves the bars to that command.
#include "core/widgets/toolnames.h"
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
    EXPECT_GT(net.CyclesCompleted(), 0);
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
