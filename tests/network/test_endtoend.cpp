// The main road of both kinds without windows, through the calls the windows make: train in
// passes of VerifyRate calls and a verification, jog, keep the best network, revert, test,
// chart, predict, save, reopen, reset.
#include "data/projectschema.h"
#include "network/workflowflags.h"
#include "tests/network/netscript.h"

#include <QRandomGenerator>
#include <cmath>

namespace {
using kdb::Value;

double smooth(double x1, double x2)
{
    return 10.0 + 5.0 * std::sin(x1 / 3.0) + x2 / 2.0;
}

// The training window's loop: passes of VerifyRate training calls and one verification,
// until the error is low enough, the engine fails or the passes run out.
template <class Net>
void TrainLoop(Net& net, int verifyRate, int passes, float enough)
{
    for (int pass = 0; pass < passes; ++pass) {
        for (int k = 0; k < verifyRate; ++k) {
            net.Train();
            ASSERT_GE(net.State().DLLError(), 0) << "pass " << pass;
        }
        net.Verify();
        if (net.State().CurrentError() >= 0 && net.State().CurrentError() <= enough)
            return;
    }
}

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override { folder = TestEnv::NewFolder("endtoend"); }
    FakePrompter prompts;
    RecordingHost host;
    QString folder;
};
} // namespace

TEST_F(EndToEnd, BackPropagationLearnsASmoothFunction)
{
    QRandomGenerator rng(7);
    std::vector<QList<Value>> rows;
    for (int i = 1; i <= 600; ++i) {
        const double x1 = rng.generateDouble() * 10, x2 = rng.generateDouble() * 10;
        rows.push_back({i, x1, x2, smooth(x1, x2)});
    }
    const QString source = NetTest::MakeSource(folder, "Data", "X1 REAL, X2 REAL, Y REAL", rows);
    const QString project = folder + "/smooth.kvp";

    std::vector<long double> probe;
    double before = 0;
    {
        CBackProp bp;
        bp.Initialize(project);
        bp.Attach(source, "Data");
        NetTest::Configure(bp, {{"X1", roleInput, 0, 10}, {"X2", roleInput, 0, 10}, {"Y", roleBPPredict, 4, 21}});
        bp.State().SetTrainLow(1);
        bp.State().SetTrainHigh(450);
        bp.State().SetTestLow(451);
        bp.State().SetTestHigh(600);
        bp.SaveConfig();

        TrainLoop(bp, bp.VerifyRate(), 20, 0);
        bp.JogWeights();   // the window's jog, mid-training
        TrainLoop(bp, bp.VerifyRate(), 400, 2.0f);
        ASSERT_GT(bp.BestError(), 0);
        EXPECT_LT(bp.BestError(), 5.0f);
        EXPECT_LE(bp.BestError(), bp.State().CurrentError());

        // The finish-and-test tool: back to the best network, test, results.
        bp.Revert();
        EXPECT_EQ(bp.State().CurrentError(), bp.BestError());
        ASSERT_EQ(bp.Test(), TestOutcome::Done);
        EXPECT_LT(bp.State().CurrentError(), 5.0f);
        gProcess().SetIsTrained(true);
        gProcess().SetIsTested(true);
        gProcess().Save(project);
        const float rms = bp.ActualRMSError();
        EXPECT_GT(rms, 0);
        EXPECT_LT(rms, 0.05f * 17);   // within 5% of the field's range
        EXPECT_LT(bp.UnexplainedVar(), 0.05f);
        EXPECT_EQ(bp.TestedResults().predicted.size(), 151u);
        {
            kdb::Database db = kdb::Database::Open(project, false, true);
            EXPECT_EQ(db.RecordCount("Test"), 150);
            EXPECT_LT(db.Scalar("SELECT AVG(Difference) FROM Test").toDouble(), 0.05 * 17);
        }

        probe.assign(size_t(bp.State().DDO()->NumFields()) + 1, 0.0);
        probe[size_t(bp.State().DDO()->FieldIndex("X1"))] = 4.0;
        probe[size_t(bp.State().DDO()->FieldIndex("X2"))] = 6.0;
        before = bp.Predict(probe);
        EXPECT_NEAR(before, smooth(4.0, 6.0), 1.0);
        bp.SaveConfig();
    }

    // Reopened, the project brings its best network back and predicts the same.
    CBackProp again;
    again.Initialize(project);
    ASSERT_TRUE(again.State().NetReady());
    EXPECT_NEAR(again.Predict(probe), before, 1e-9);
    gProcess().Load(project);
    EXPECT_TRUE(gProcess().IsTested());

    again.Reset();
    EXPECT_FALSE(again.State().NetReady());
    EXPECT_EQ(again.Predict(probe), NoPrediction);
    EXPECT_TRUE(prompts.Boxes().empty());
}

TEST_F(EndToEnd, SFamSeparatesTwoClasses)
{
    QRandomGenerator rng(11);
    std::vector<QList<Value>> rows;
    for (int i = 1; i <= 400; ++i) {
        double x1 = rng.generateDouble() * 10;
        if (x1 > 4.5 && x1 < 5.5)
            x1 += 1.0;   // a gap between the classes
        const double x2 = rng.generateDouble() * 10;
        rows.push_back({i, x1, x2, x1 < 5 ? "left" : "right"});
    }
    const QString source = NetTest::MakeSource(folder, "Data", "X1 REAL, X2 REAL, Side TEXT", rows);
    const QString project = folder + "/sides.kvp";

    CSFam sf;
    sf.Initialize(project);
    sf.Attach(source, "Data");
    NetTest::Configure(sf, {{"X1", roleInput, 0, 11}, {"X2", roleInput, 0, 10}, {"Side", roleSFamPredict}});
    sf.BuildClassList();
    sf.State().SetTrainLow(1);
    sf.State().SetTrainHigh(300);
    sf.State().SetTestLow(301);
    sf.State().SetTestHigh(400);
    sf.SaveConfig();

    TrainLoop(sf, 1, 50, 0);
    ASSERT_GE(sf.BestTrainError(), 0);
    EXPECT_GT(sf.CurrentNodes(), 0);
    sf.Revert();
    ASSERT_EQ(sf.Test(), TestOutcome::Done);
    EXPECT_LT(sf.State().CurrentError(), 10.0f);   // above 90% correct
    {
        kdb::Database db = kdb::Database::Open(project, false, true);
        EXPECT_EQ(db.RecordCount("Test"), 100);
        EXPECT_EQ(db.RecordCount(ProjectSchema::ClassesTable()), 2);
        const QString link = ProjectSchema::LinkTable();
        const int64_t right = db.Scalar("SELECT COUNT(*) FROM Test INNER JOIN " + link + " ON Test.MainPrimaryKey = "
                                        + link + ".ID WHERE Test.Predicted = " + link + ".Side")
                                  .toInt();
        EXPECT_GT(right, 90);
    }
    std::vector<long double> probe(size_t(sf.State().DDO()->NumFields()) + 1, 0.0);
    probe[size_t(sf.State().DDO()->FieldIndex("X1"))] = 1.0;
    probe[size_t(sf.State().DDO()->FieldIndex("X2"))] = 5.0;
    EXPECT_EQ(sf.Predict(probe), "left");
    probe[size_t(sf.State().DDO()->FieldIndex("X1"))] = 9.0;
    EXPECT_EQ(sf.Predict(probe), "right");
    EXPECT_TRUE(prompts.Boxes().empty());
}

// More rows than the engine has category nodes for, each a category of its own at full
// vigilance: the box gives the code as ever and says in words what was refused and why.
TEST_F(EndToEnd, SFamOverTheCategoryLimitSaysWhy)
{
    std::vector<QList<Value>> rows;
    const int count = 33000;
    for (int i = 1; i <= count; ++i)
        rows.push_back({i, double(i % 256), double(i / 256), i % 2 ? "odd" : "even"});
    const QString source = NetTest::MakeSource(folder, "Many", "X1 DOUBLE, X2 DOUBLE, Side TEXT", rows);
    CSFam sf;
    sf.Initialize(folder + "/many.kvp");
    sf.Attach(source, "Many");
    NetTest::Configure(sf, {{"X1", roleInput, 0, 255}, {"X2", roleInput, 0, 130}, {"Side", roleSFamPredict}});
    sf.BuildClassList();
    sf.State().SetTrainLow(1);
    sf.State().SetTrainHigh(count);
    sf.SetVigBase(1.0f);
    prompts.ExpectBox(MsgResult::Ok);
    sf.Train();
    ASSERT_EQ(prompts.Boxes().size(), 1u);
    const QString text = prompts.LastBox().text;
    EXPECT_TRUE(text.startsWith("DLL Train Error.  Error #-13\r\n")) << text.toStdString();
    EXPECT_TRUE(text.contains("more than 32767 category nodes")) << text.toStdString();
    EXPECT_EQ(sf.State().DLLError(), -13);
}
