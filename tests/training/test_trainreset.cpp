// Reset and Revert from the training bar, for both kinds: the project file holds what the window
// shows, and the counters belong to the network in use.
#include "core/widgets/toolnames.h"
#include "tests/shell/installedopener.h"
#include "tests/training/trainfixture.h"
#include "training/led.h"
#include "training/updown.h"

#include <QFile>

namespace {

class TrainReset : public TrainingTest {
protected:
    CNetworkProject& OpenKind(bool sfam)
    {
        return sfam ? static_cast<CNetworkProject&>(OpenSFam()) : OpenBackProp();
    }

    // Train pressed `presses` times, each run stopped after a few steps (an SFAM run is one
    // cycle a press).
    static void Train(CTrainWindow* w, int presses)
    {
        for (int press = 0; press < presses; ++press) {
            modMenu::TrainBar(ToolName::TrainBPTrain);
            for (int step = 0; step < 8 && w->RunActive(); ++step)
                w->RunPendingStep();
            modMenu::TrainBar(ToolName::TrainBPStop);
            RunToEnd(w);
        }
    }

    QString NodesPanel() const { return gVeltra().StatusBar().StatusBar()->Panel(5).Text().trimmed(); }

    static QString Config(const QString& path, const char* key) { return NetTest::ConfigValue(path, key).toText(); }

    static int64_t SavedNetworks(const QString& path)
    {
        return kdb::Database::Open(path, false, true).RecordCount(ProjectSchema::SnapshotsTable());
    }

    void Release()
    {
        modMenu::RemoveChildForms();
        Flush();
        SetCurrentNetwork(nullptr);
        gProcess() = CProcess();
    }
};

} // namespace

// A reset is stored at once, whatever ends the window: no cycles, no nodes, no best error, no
// saved network, neither trained nor tested; the status bar's node count follows, then and
// when the project is opened again.
TEST_F(TrainReset, AResetProjectIsStoredAsReset)
{
    InstalledOpener opener;
    for (const bool sfam : {false, true}) {
        SCOPED_TRACE(sfam ? "SFAM" : "back-propagation");
        // Opened as the program opens it, into the training view.
        const QString path = OpenKind(sfam).State().ProjectFileName();
        gProcess().Save(path);
        Release();
        ASSERT_TRUE(opener->OpenProject(path));
        const char* bestKey = sfam ? "BestTrainError" : "BestError";
        CTrainWindow* w = TrainingViews::Window();
        ASSERT_TRUE(w);
        w->SetManualSteps(true);
        Train(w, 2);
        modMenu::TrainBar(ToolName::TrainBPExit);
        Flush();
        ASSERT_TRUE(gProcess().IsTested());
        ASSERT_NE(Config(path, "CyclesCompleted"), "0");
        ASSERT_EQ(SavedNetworks(path), 1);
        if (sfam) {
            ASSERT_NE(Config(path, "CurrentNodes"), "0");
        }

        w = OpenView<CTrainWindow>();
        ASSERT_TRUE(w);
        prompts.ExpectBox(MsgResult::Yes);
        modMenu::TrainBar(ToolName::TrainBPReset);
        EXPECT_EQ(prompts.LastBox().title, "Reset Warning");
        EXPECT_EQ(Config(path, "CyclesCompleted"), "0");
        EXPECT_EQ(Config(path, bestKey), "-1");
        EXPECT_EQ(SavedNetworks(path), 0);
        EXPECT_EQ(Config(path, "Process").toInt() & (CProcess::kTrained | CProcess::kTested), 0);
        if (sfam) {
            EXPECT_EQ(Config(path, "CurrentNodes"), "0");
            EXPECT_EQ(Config(path, "VigBase"), "0.5");
            EXPECT_EQ(NodesPanel(), "0 Nodes");
        } else {
            EXPECT_EQ(Config(path, "LearnRate"), "0.5");
        }

        modMenu::TrainBar(ToolName::TrainBPExit);
        Flush();
        EXPECT_FALSE(gProcess().IsTrained() || gProcess().IsTested());
        EXPECT_EQ(Config(path, "Process").toInt() & (CProcess::kTrained | CProcess::kTested), 0);
        EXPECT_EQ(Config(path, "CyclesCompleted"), "0");
        EXPECT_EQ(Config(path, bestKey), "-1");
        if (sfam) {
            EXPECT_EQ(Config(path, "CurrentNodes"), "0");
        }

        // Opened again: an untrained project.
        Release();
        ASSERT_TRUE(opener->OpenProject(path));
        Flush();
        if (sfam) {
            EXPECT_EQ(NodesPanel(), "0 Nodes");
        }
        EXPECT_FALSE(gProcess().IsTrained() || gProcess().IsTested());
        auto* again = TrainingViews::Window();
        ASSERT_TRUE(again);
        EXPECT_EQ(CounterValue(again), 0);
        EXPECT_EQ(again->CurrentErrorText(), "");
        opener->CloseProject();
        Release();
    }
}

// The working file gone, Revert falls back to the network saved with the project: the cycles
// (and an SFAM network's nodes) are that network's, as a reopened project would have them.
TEST_F(TrainReset, ARevertToTheSavedNetworkTakesItsCounts)
{
    for (const bool sfam : {false, true}) {
        SCOPED_TRACE(sfam ? "SFAM" : "back-propagation");
        CNetworkProject& net = OpenKind(sfam);
        const QString path = net.State().ProjectFileName();
        CTrainWindow* w = OpenView<CTrainWindow>();
        ASSERT_TRUE(w);
        Train(w, 2);
        modMenu::TrainBar(ToolName::TrainBPExit);
        Flush();
        ASSERT_TRUE(gProcess().IsTested());
        const int32_t savedCycles = net.State().CyclesCompleted();
        ASSERT_EQ(Config(path, "CyclesCompleted"), QString::number(savedCycles));
        const QString savedNodes = Config(path, "CurrentNodes");

        w = OpenView<CTrainWindow>();
        ASSERT_TRUE(w);
        if (sfam) {
            // Another vigilance makes another network, with its own node count.
            qobject_cast<frmTrainSF*>(w)->udtMomentum()->SetValue(90);
        }
        Train(w, 3);
        ASSERT_GT(net.State().CyclesCompleted(), savedCycles);
        ASSERT_TRUE(QFile::remove(net.NetFileName()));

        prompts.ExpectBox(MsgResult::Ok);
        const size_t boxes = prompts.Boxes().size();
        modMenu::TrainBar(ToolName::TrainBPRevert);
        ASSERT_EQ(prompts.Boxes().size(), boxes + 1);
        EXPECT_TRUE(prompts.LastBox().text.endsWith("The network last saved with the project is used instead."));
        EXPECT_TRUE(net.State().NetReady());
        EXPECT_EQ(net.State().CyclesCompleted(), savedCycles);
        if (sfam) {
            auto& sf = static_cast<CSFam&>(net);
            EXPECT_EQ(QString::number(sf.CurrentNodes()), savedNodes);
            EXPECT_EQ(CounterValue(w), sf.CurrentNodes());
            EXPECT_EQ(NodesPanel(), savedNodes + " Nodes");
        } else {
            EXPECT_EQ(CounterValue(w), savedCycles);
        }
        Release();
    }
}
