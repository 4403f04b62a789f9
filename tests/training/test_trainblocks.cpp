// Training calls of a large table worked off a block of rows per step: the run stays a step
// machine, a stop or a jog lets the call finish and then acts as before, and the errors, the
// counters and the saved network are exactly those of whole calls. Blocks of 7 rows stand in for a
// large table.
#include "core/widgets/toolnames.h"
#include "tests/training/trainfixture.h"

#include "training/updown.h"

#include <QCheckBox>
#include <QFile>

namespace {

class TrainBlocks : public TrainingTest {
protected:
    static QByteArray EngineFile(const CNetworkProject& net)
    {
        QFile f(net.NetFileName());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

} // namespace

TEST_F(TrainBlocks, BackPropCallsTakeAStepABlockStopAndJogWaitForTheCallAndNothingElseChanges)
{
    ScriptedBackProp& net = OpenBackProp();
    auto* w = OpenView<frmTrainBP>();
    ASSERT_TRUE(w);
    w->udVerify()->SetValue(2);

    // Whole calls: three passes of two calls, a jog between the two calls of the second, then
    // Stop.
    std::vector<float> whole;
    modMenu::TrainBar(ToolName::TrainBPTrain);
    w->RunPendingStep();
    for (int pass = 0; pass < 3; ++pass) {
        for (int step = 0; step < 3; ++step) {
            w->RunPendingStep();
            if (pass == 1 && step == 0)
                modMenu::TrainBar(ToolName::TrainBPJogWeights);
        }
        whole.push_back(net.State().CurrentError());
    }
    modMenu::TrainBar(ToolName::TrainBPStop);
    RunToEnd(w);
    ASSERT_EQ(net.State().CyclesCompleted(), 6);
    const QByteArray wholeFile = EngineFile(net);
    const std::vector<float> wholeResults = net.Results();
    ASSERT_FALSE(wholeFile.isEmpty());

    // The same from the start in blocks: 50 rows are 8 blocks a call, a step each.
    prompts.ExpectBox(MsgResult::Yes);
    modMenu::TrainBar(ToolName::TrainBPReset);
    w->udVerify()->SetValue(2);
    net.SetTrainBlockRows(7);
    std::vector<float> blocks;
    modMenu::TrainBar(ToolName::TrainBPTrain);
    const int start = w->StepCount();
    w->RunPendingStep();
    for (int pass = 0; pass < 3; ++pass) {
        for (int call = 0; call < 2; ++call) {
            for (int block = 1; block <= 8; ++block) {
                // A jog asked for half-way through a call comes after its last block.
                if (pass == 1 && call == 0 && block == 4)
                    modMenu::TrainBar(ToolName::TrainBPJogWeights);
                if (pass == 2 && call == 1 && block == 4) {
                    // Stop half-way through the last call: its blocks still run, one a step.
                    modMenu::TrainBar(ToolName::TrainBPStop);
                    EXPECT_TRUE(w->StopRequested());
                }
                ASSERT_TRUE(w->RunActive());
                EXPECT_EQ(net.PassOpen(), block > 1);
                w->RunPendingStep();
                EXPECT_EQ(net.State().CyclesCompleted(), 2 * pass + call + (block == 8 ? 1 : 0));
            }
        }
        EXPECT_EQ(w->History().lastPoint(), pass - 1);
        w->RunPendingStep(); // verify and draw
        EXPECT_EQ(w->History().lastPoint(), pass);
        blocks.push_back(net.State().CurrentError());
    }
    EXPECT_FALSE(w->RunActive());
    EXPECT_EQ(w->StepCount() - start, 1 + 3 * (2 * 8 + 1));
    EXPECT_EQ(net.State().CyclesCompleted(), 6);
    EXPECT_EQ(blocks, whole);
    EXPECT_EQ(net.Results(), wholeResults);
    EXPECT_EQ(EngineFile(net), wholeFile);
    EXPECT_EQ(net.Count(EngineTrain), 6); // the whole calls only
    EXPECT_TRUE(Tool(ToolName::TrainBPTrain) && Tool(ToolName::TrainBPExit));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(TrainBlocks, AnSFamCycleAndItsVerificationTakeAStepABlockAndAStopInAContinuousRunFinishesTheCycle)
{
    ScriptedSFam& net = OpenSFam();
    auto* w = OpenView<frmTrainSF>();
    ASSERT_TRUE(w);
    w->chkContinuous()->setChecked(false);
    modMenu::TrainBar(ToolName::TrainBPTrain);
    EXPECT_EQ(RunToEnd(w), 2);
    const float error = net.State().CurrentError();
    const int16_t nodes = net.CurrentNodes();
    const QByteArray wholeFile = EngineFile(net);
    ASSERT_FALSE(wholeFile.isEmpty());

    prompts.ExpectBox(MsgResult::Yes);
    modMenu::TrainBar(ToolName::TrainBPReset);
    net.SetTrainBlockRows(7);
    w->chkContinuous()->setChecked(true);
    modMenu::TrainBar(ToolName::TrainBPTrain);
    w->RunPendingStep();
    for (int block = 1; block <= 3; ++block)
        w->RunPendingStep();
    EXPECT_EQ(net.State().CyclesCompleted(), 0);
    modMenu::TrainBar(ToolName::TrainBPStop);
    // The cycle's last five blocks, then the verification's eight (the last one draws).
    EXPECT_EQ(RunToEnd(w), 13);
    EXPECT_EQ(net.State().CyclesCompleted(), 1);
    EXPECT_EQ(w->History().lastPoint(), 0);
    EXPECT_EQ(net.State().CurrentError(), error);
    EXPECT_EQ(net.CurrentNodes(), nodes);
    EXPECT_EQ(EngineFile(net), wholeFile);
    EXPECT_FALSE(main->MainToolBar()->Visible(ToolName::TrainBPStop));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}
