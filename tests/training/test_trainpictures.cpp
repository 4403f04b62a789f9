// Pictures of both training windows on the shipped sample, before and during a run, for a person
// to look at. Runs only when KORVAN_SHOTS names a folder (for instance under Xvfb).
#include "core/widgets/toolnames.h"
#include "tests/training/trainfixture.h"

#include "core/apppaths.h"

#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>

namespace {

class TrainingPictures : public TrainingTest {
protected:
    void SetUp() override
    {
        shots = qEnvironmentVariable("KORVAN_SHOTS");
        if (shots.isEmpty())
            GTEST_SKIP() << "KORVAN_SHOTS is not set";
        TrainingTest::SetUp();
        main->resize(1200, 820);
        sample = folder + "/KorvanSample.kvs";
        QFile::copy(QCoreApplication::applicationDirPath() + "/../share/korvan/samples/KorvanSample.kvs", sample);
        ASSERT_TRUE(QFile::exists(sample));
    }
    void Wait(int ms)
    {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    void Shot(const QString& name)
    {
        Wait(200);
        main->grab().save(shots + "/" + name + ".png");
    }
    QString shots, sample;
};

} // namespace

TEST_F(TrainingPictures, BackPropagationOnWeeklySales)
{
    auto bp = std::make_shared<CBackProp>();
    bp->Initialize(folder + "/sales.kvp");
    bp->Attach(sample, "WeeklySales");
    NetTest::Configure(*bp, {{"Price", roleInput, 3, 5},
                             {"Advertising", roleInput, 0, 25},
                             {"Temperature", roleInput, -5, 30},
                             {"Promotion", roleInput, 0, 1},
                             {"Sales", roleBPPredict, 250, 600}});
    bp->State().SetTrainHigh(250);
    bp->State().SetTestLow(251);
    bp->State().SetTestHigh(312);
    bp->SaveConfig();
    SetCurrentNetwork(bp);
    TrainingViews::MenuBProp();
    Shot("trainbp-before");
    modMenu::TrainBar(ToolName::TrainBPTrain);
    Wait(2500);
    Shot("trainbp-during");
    modMenu::TrainBar(ToolName::TrainBPZoom);
    Shot("trainbp-during-zoomed");
    modMenu::TrainBar(ToolName::TrainBPStop);
    Wait(300);
    Shot("trainbp-after");
}

TEST_F(TrainingPictures, SFamOnSeeds)
{
    auto sf = std::make_shared<CSFam>();
    sf->Initialize(folder + "/seeds.kvp");
    sf->Attach(sample, "Seeds");
    NetTest::Configure(*sf, {{"Length", roleInput, 4, 7},
                             {"Width", roleInput, 2, 4.5},
                             {"Weight", roleInput, 7, 22},
                             {"Hardness", roleInput, 30, 75},
                             {"Variety", roleSFamPredict}});
    sf->BuildClassList();
    sf->State().SetTrainHigh(240);
    sf->State().SetTestLow(241);
    sf->State().SetTestHigh(300);
    sf->SaveConfig();
    SetCurrentNetwork(sf);
    TrainingViews::MenuBProp();
    Shot("trainsf-before");
    auto* w = qobject_cast<frmTrainSF*>(TrainingViews::Window());
    ASSERT_TRUE(w);
    w->chkContinuous()->setChecked(true);
    // The sample reaches 0 % in one cycle: the run is stepped so that the picture is mid-run.
    w->SetManualSteps(true);
    modMenu::TrainBar(ToolName::TrainBPTrain);
    w->RunPendingStep();
    Shot("trainsf-during");
    for (int step = 0; step < 50 && w->RunActive(); ++step)
        w->RunPendingStep();
    if (w->RunActive()) {
        modMenu::TrainBar(ToolName::TrainBPStop);
        w->RunPendingStep();
    }
    Shot("trainsf-after");
}
