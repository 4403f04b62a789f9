// Training calls, verification, jog, reset and single predictions of both kinds, with the real
// engine and with scripted engine answers where a code must be forced.
#include "data/projectschema.h"
#include "tests/network/netscript.h"

#include <QFileInfo>
#include <sqlite3.h>

namespace {
using kdb::Value;

class Training : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = TestEnv::NewFolder("training");
        std::vector<QList<Value>> rows;
        for (int i = 1; i <= 40; ++i) {
            // Rows 37..40 miss an input: the SFAM tests count them as skipped.
            const Value x1 = i > 36 ? Value() : Value(double(i % 10));
            rows.push_back({i, x1, double((i * 7) % 13), double(i % 10) * 2.0 + 1.0, i % 2 ? "odd" : "even"});
        }
        source = NetTest::MakeSource(folder, "Data", "X1 REAL, X2 REAL, Y REAL, C TEXT", rows);
    }
    template <class BP>
    void OpenBackProp(BP& bp)
    {
        bp.Initialize(folder + "/bp.kvp");
        bp.Attach(source, "Data");
        NetTest::Configure(bp, {{"X1", roleInput, 0, 10}, {"X2", roleInput, 0, 13}, {"Y", roleBPPredict, 10, 30}});
        bp.State().SetTrainHigh(36);
        bp.State().SetTestHigh(40);
        bp.SaveConfig();
    }
    template <class SF>
    void OpenSFam(SF& sf)
    {
        sf.Initialize(folder + "/sf.kvp");
        sf.Attach(source, "Data");
        NetTest::Configure(sf, {{"X1", roleInput, 0, 10}, {"X2", roleInput, 0, 13}, {"C", roleSFamPredict}});
        sf.BuildClassList();
        sf.State().SetTrainHigh(40);
        sf.State().SetTestHigh(40);
        sf.SaveConfig();
    }
    int64_t SnapshotRows(const QString& project)
    {
        kdb::Database db = kdb::Database::Open(project, false, true);
        return db.RecordCount(ProjectSchema::SnapshotsTable());
    }
    FakePrompter prompts;
    RecordingHost host;
    RecordingStatus status;
    QString folder, source;
};
} // namespace

TEST_F(Training, VerifyAndJogDoNothingBeforeTheFirstTrain)
{
    ScriptedBackProp bp;
    OpenBackProp(bp);
    bp.calls.clear();
    bp.Verify();
    bp.JogWeights();
    EXPECT_TRUE(bp.calls.empty());
    EXPECT_EQ(bp.State().CurrentError(), -1);
}

TEST_F(Training, FirstTrainCreatesTheNetworkAndLaterCallsOnlyTrain)
{
    ScriptedBackProp bp;
    OpenBackProp(bp);
    bp.calls.clear();
    bp.Train();
    EXPECT_EQ(bp.calls, (std::vector<EngineCommand>{EngineInit, EngineTrain}));
    EXPECT_TRUE(bp.State().NetReady());
    EXPECT_TRUE(bp.State().TrainBuilt());
    EXPECT_EQ(bp.State().DLLError(), 0);
    EXPECT_EQ(bp.State().CyclesCompleted(), 1);
    EXPECT_EQ(bp.State().CurrentError(), -1);
    EXPECT_EQ(status.messages.first(), "Normalizing...");
    EXPECT_EQ(status.messages.last(), "Predicting Y...   Press STOP to finish.");

    status.messages.clear();
    bp.calls.clear();
    bp.Train();
    EXPECT_EQ(bp.calls, std::vector<EngineCommand>{EngineTrain});
    EXPECT_TRUE(status.messages.isEmpty());   // the arrays are not built again
    EXPECT_EQ(bp.State().CyclesCompleted(), 2);

    bp.Verify();
    EXPECT_GE(bp.State().CurrentError(), 0);
    EXPECT_EQ(bp.BestError(), bp.State().CurrentError());
    EXPECT_TRUE(QFileInfo(bp.NetFileName()).size() > 0);
    EXPECT_TRUE(prompts.Boxes().empty());
}

TEST_F(Training, OnlyAStrictlyLowerErrorIsANewBest)
{
    ScriptedBackProp bp;
    OpenBackProp(bp);
    bp.Train();
    bp.Answer(EngineRun, {500, 500, 400, 450});
    bp.Answer(EngineWrite, {1, 1});
    bp.calls.clear();
    bp.Verify();
    EXPECT_FLOAT_EQ(bp.State().CurrentError(), 5.0f);
    EXPECT_FLOAT_EQ(bp.BestError(), 5.0f);
    EXPECT_EQ(bp.Count(EngineWrite), 1);
    bp.Verify();
    EXPECT_EQ(bp.Count(EngineWrite), 1);   // equal: no new best
    bp.Verify();
    EXPECT_FLOAT_EQ(bp.BestError(), 4.0f);
    EXPECT_EQ(bp.Count(EngineWrite), 2);
    bp.Verify();
    EXPECT_FLOAT_EQ(bp.State().CurrentError(), 4.5f);
    EXPECT_FLOAT_EQ(bp.BestError(), 4.0f);
    EXPECT_EQ(bp.Count(EngineWrite), 2);
}

TEST_F(Training, WithoutBestLoggingVerifyNeverWrites)
{
    ScriptedBackProp bp;
    OpenBackProp(bp);
    bp.SetBestLogging(false);
    bp.Train();
    bp.calls.clear();
    bp.Verify();
    bp.Verify();
    EXPECT_EQ(bp.Count(EngineWrite), 0);
    EXPECT_EQ(bp.BestError(), -1);
    EXPECT_GE(bp.State().CurrentError(), 0);
}

TEST_F(Training, AFailedVerificationIsNoBestError)
{
    ScriptedBackProp bp;
    OpenBackProp(bp);
    bp.Train();
    bp.Answer(EngineRun, {300, -9});
    prompts.ExpectBox(MsgResult::Ok);
    bp.Verify();
    bp.Train();
    bp.calls.clear();
    bp.Verify();
    EXPECT_EQ(bp.Count(EngineWrite), 0);
    EXPECT_FLOAT_EQ(bp.BestError(), 3.0f);
    EXPECT_EQ(bp.State().CurrentError(), -1);
    ASSERT_EQ(prompts.Boxes().size(), 1u);
    EXPECT_EQ(prompts.LastBox().text.section("\r\n", 0, 0), "DLL Test Error.  Error #-9");
    EXPECT_EQ(prompts.LastBox().title, "CBackProp::Verify");
}

TEST_F(Training, CreationFailuresLeaveTheirCodeAndNoNetwork)
{
    ScriptedBackProp bp;
    OpenBackProp(bp);
    bp.Answer(EngineInit, {-7, -3, -5});
    bp.Train();
    EXPECT_EQ(bp.State().DLLError(), DLLErrConstantField);   // -7 is reported as -8
    EXPECT_FALSE(bp.State().NetReady());
    bp.Train();
    EXPECT_EQ(bp.State().DLLError(), DLLErrTooFewRows);
    EXPECT_TRUE(prompts.Boxes().empty());
    prompts.ExpectBox(MsgResult::Ok);
    bp.Train();
    // Another code shows its box and stays visible, so the training loop stops.
    EXPECT_EQ(bp.State().DLLError(), -5);
    ASSERT_EQ(prompts.Boxes().size(), 1u);
    EXPECT_EQ(prompts.LastBox().text, "DLL Failure.  Error #-5");
    EXPECT_EQ(prompts.LastBox().title, "Error");
    EXPECT_EQ(prompts.LastBox().icon, MsgIcon::Critical);
    EXPECT_EQ(bp.Count(EngineTrain), 0);
    bp.Train();   // the next creation starts from 0 and succeeds
    EXPECT_EQ(bp.State().DLLError(), 0);
    EXPECT_TRUE(bp.State().NetReady());
}

TEST_F(Training, ARefusedTrainingCallStopsTheLoop)
{
    ScriptedBackProp bp;
    OpenBackProp(bp);
    bp.Answer(EngineTrain, {-9});
    prompts.ExpectBox(MsgResult::Ok);
    bp.Train();
    EXPECT_EQ(prompts.LastBox().text.section("\r\n", 0, 0), "DLL Train Error. Error #-9");
    EXPECT_EQ(prompts.LastBox().title, "CBackProp::Train");
    EXPECT_LT(bp.State().DLLError(), 0);
    bp.Train();
    EXPECT_EQ(bp.State().DLLError(), 0);
}

TEST_F(Training, RowsThatCannotBeReadStopTheLoopWithoutAnEngineCall)
{
    ScriptedBackProp bp;
    OpenBackProp(bp);
    bp.State().SetTrainHigh(41);   // one row past the end of the table
    prompts.ExpectBox(MsgResult::Ok);
    bp.calls.clear();
    status.messages.clear();
    bp.Train();
    EXPECT_EQ(prompts.LastBox().title, "CBackProp::BuildArrays");
    EXPECT_EQ(bp.State().DLLError(), DLLErrNoArrays);
    EXPECT_FALSE(bp.State().NetReady());
    EXPECT_TRUE(bp.calls.empty());
    // Nothing is being normalised any more.
    EXPECT_EQ(status.messages, QStringList({"Normalizing...", ""}));

    // The same for the testing rows.
    bp.State().SetTrainHigh(20);
    bp.Train();
    ASSERT_TRUE(bp.State().NetReady());
    bp.State().SetTestLow(21);
    bp.State().SetTestHigh(41);
    prompts.ExpectBox(MsgResult::Ok);
    status.messages.clear();
    bp.Test();
    EXPECT_EQ(prompts.LastBox().title, "CBackProp::BuildArrays");
    EXPECT_EQ(status.messages, QStringList({"Normalizing...", ""}));
}

TEST_F(Training, JogNeedsTheTrainingRowsAndReportsARefusal)
{
    ScriptedBackProp bp;
    OpenBackProp(bp);
    bp.Train();
    bp.JogWeights();
    EXPECT_TRUE(prompts.Boxes().empty());
    bp.Answer(EngineJog, {-1});
    prompts.ExpectBox(MsgResult::Ok);
    bp.JogWeights();
    EXPECT_EQ(prompts.LastBox().text.section("\r\n", 0, 0), "DLL Jog Error.  Error #-1");
    EXPECT_EQ(prompts.LastBox().title, "CBackProp::JogWeights");
}

TEST_F(Training, ResetForgetsTheTrainingButKeepsTheHiddenSize)
{
    TestBackProp bp;
    OpenBackProp(bp);
    bp.SetLayerJCount(6);
    bp.SetLearnRate(0.9f);
    bp.SetJogMax(3);
    bp.SetVerifyRate(9);
    bp.Train();
    bp.Verify();
    bp.SaveConfig();
    ASSERT_EQ(SnapshotRows(bp.State().ProjectFileName()), 1);
    const int32_t cycles = bp.State().CyclesCompleted();

    // A project file another program holds: nothing is forgotten, in the object or the file.
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(bp.State().ProjectFileName().toUtf8().constData(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE;", nullptr, nullptr, nullptr),
              SQLITE_OK);
    prompts.ExpectBox(MsgResult::Ok);
    EXPECT_FALSE(bp.Reset());
    EXPECT_EQ(prompts.LastBox().title, "CBackProp::Reset");
    sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_EQ(bp.LearnRate(), 0.9f);
    EXPECT_EQ(bp.State().CyclesCompleted(), cycles);
    EXPECT_NE(bp.BestError(), -1);
    EXPECT_TRUE(QFileInfo(bp.NetFileName()).size() > 0);
    EXPECT_EQ(SnapshotRows(bp.State().ProjectFileName()), 1);
    EXPECT_EQ(NetTest::ConfigValue(bp.State().ProjectFileName(), "CyclesCompleted").toText(), QString::number(cycles));
    prompts.Clear();

    EXPECT_TRUE(bp.Reset());
    EXPECT_EQ(NetTest::ConfigValue(bp.State().ProjectFileName(), "CyclesCompleted").toText(), "0");
    EXPECT_EQ(NetTest::ConfigValue(bp.State().ProjectFileName(), "BestError").toText(), "-1");
    EXPECT_EQ(NetTest::ConfigValue(bp.State().ProjectFileName(), "LearnRate").toText(), "0.5");
    EXPECT_FALSE(QFileInfo(bp.NetFileName()).size() > 0);
    EXPECT_EQ(SnapshotRows(bp.State().ProjectFileName()), 0);
    EXPECT_FALSE(bp.State().NetReady() || bp.State().TrainBuilt() || bp.State().TestBuilt());
    EXPECT_EQ(bp.LearnRate(), 0.5f);
    EXPECT_EQ(bp.JogMax(), 25);
    EXPECT_EQ(bp.VerifyRate(), 5);
    EXPECT_EQ(bp.State().CyclesCompleted(), 0);
    EXPECT_EQ(bp.State().CurrentError(), -1);
    EXPECT_EQ(bp.BestError(), -1);
    EXPECT_EQ(bp.LayerJCount(), 6);
    EXPECT_TRUE(bp.BestLogging());
    bp.Revert();   // nothing saved any more
    EXPECT_FALSE(bp.State().NetReady());
    EXPECT_TRUE(prompts.Boxes().empty());
}

TEST_F(Training, ResetOfAHiddenSizeOfZeroRecomputesItAtTheNextBuild)
{
    TestBackProp bp;
    OpenBackProp(bp);
    bp.Train();
    EXPECT_EQ(bp.LayerJCount(), 3);
    bp.Reset();
    bp.SetLayerJCount(0);
    bp.Train();
    EXPECT_EQ(bp.LayerJCount(), 3);
}

TEST_F(Training, TrainingAfterATestReadsTheTrainingRowsAgain)
{
    ScriptedBackProp bp;
    OpenBackProp(bp);
    bp.Train();
    ASSERT_EQ(bp.Test(), TestOutcome::Done);
    EXPECT_FALSE(bp.State().TrainBuilt());
    bp.Verify();   // the arrays hold the testing rows: nothing to verify
    bp.calls.clear();
    status.messages.clear();
    bp.Train();
    EXPECT_TRUE(bp.State().TrainBuilt());
    EXPECT_EQ(bp.State().Rows(), 36);
    EXPECT_EQ(bp.calls, std::vector<EngineCommand>{EngineTrain});
    EXPECT_EQ(status.messages, QStringList({"Normalizing...", "Predicting Y...   Press STOP to finish."}));
}

TEST_F(Training, APredictionIsInTheUnitsOfThePredictionField)
{
    ScriptedBackProp bp;
    OpenBackProp(bp);
    bp.Train();
    bp.onScripted = [](ScriptedBackProp& b, EngineCommand) { b.Arrays().valueResults[1] = 0.25f; };
    bp.Answer(EngineRun, {0});
    std::vector<long double> values(bp.State().DDO()->NumFields() + 1, 0.0);
    values[bp.State().DDO()->FieldIndex("X1")] = 25.0;   // above the user range 0..10
    values[bp.State().DDO()->FieldIndex("X2")] = 6.5;
    EXPECT_DOUBLE_EQ(bp.Predict(values), 15.0);   // 10 + 0.25 * (30 - 10)
    EXPECT_EQ(bp.State().Rows(), 1);
    EXPECT_EQ(bp.State().Pattern(1, 1), 1.0f);   // clamped before the run
    EXPECT_FLOAT_EQ(bp.State().Pattern(2, 1), 0.5f);
    EXPECT_FALSE(bp.State().TrainBuilt());
    bp.calls.clear();
    bp.Verify();
    EXPECT_TRUE(bp.calls.empty());
    // An unusable answer and a refused run give the marker.
    bp.onScripted = [](ScriptedBackProp& b, EngineCommand) { b.Arrays().valueResults[1] = -1.0f; };
    bp.Answer(EngineRun, {0, -2});
    EXPECT_EQ(bp.Predict(values), NoPrediction);
    EXPECT_EQ(bp.Predict(values), NoPrediction);
    // With the real engine the answer lies inside the field's range.
    const double real = bp.Predict(values);
    EXPECT_GE(real, 10.0);
    EXPECT_LE(real, 30.0);
}

TEST_F(Training, PredictionWithoutANetworkGivesTheMarkerNotZero)
{
    TestBackProp bp;
    OpenBackProp(bp);
    std::vector<long double> values(bp.State().DDO()->NumFields() + 1, 1.0);
    // The layout alone holds no rows to make a network of.
    EXPECT_EQ(bp.Predict(values), NoPrediction);
    EXPECT_EQ(bp.State().DLLError(), DLLErrTooFewRows);
    EXPECT_FALSE(bp.State().NetReady());
    EXPECT_TRUE(prompts.Boxes().empty());
}

TEST_F(Training, APredictionMissingAnInputRaisesWithTheTrainSource)
{
    TestBackProp bp;
    OpenBackProp(bp);
    bp.Train();
    try {
        bp.Predict({0.0, 1.0});
        FAIL() << "no error";
    } catch (const KvError& e) {
        EXPECT_EQ(e.number(), KvErr::SubscriptOutOfRange);
        EXPECT_EQ(e.source(), "BackProp:Train Method");
    }
}

// --- SFAM ------------------------------------------------------------------------------------

TEST_F(Training, SFamErrorLeavesSkippedRowsOut)
{
    ScriptedSFam sf;
    OpenSFam(sf);
    sf.Train();
    ASSERT_TRUE(sf.State().TrainBuilt());
    ASSERT_EQ(sf.State().Rows(), 40);
    ASSERT_EQ(sf.NullRows(), 4);
    sf.Answer(EngineRun, {3});
    status.messages.clear();
    sf.Verify();
    EXPECT_NEAR(sf.State().CurrentError(), 8.333f, 0.001f);   // 3 / 36 * 100
    EXPECT_EQ(sf.BestTrainError(), sf.State().CurrentError());
    EXPECT_EQ(status.messages,
              QStringList({"Verifying...", "Train cycle complete.  91.67% success on training data."}));

    // A refused verification measured nothing: the status neither claims a cycle's result nor
    // that a verification is still under way.
    sf.Answer(EngineRun, {-2});
    status.messages.clear();
    prompts.ExpectBox(MsgResult::Ok);
    sf.Verify();
    EXPECT_EQ(prompts.LastBox().title, "CSFam::Verify");
    EXPECT_EQ(status.messages, QStringList({"Verifying...", ""}));
}

TEST_F(Training, SFamBestNetworkIsWrittenOnlyForAStrictlyLowerError)
{
    ScriptedSFam sf;
    OpenSFam(sf);
    sf.Train();
    sf.Answer(EngineRun, {4, 4, 2});
    sf.calls.clear();
    sf.Verify();
    sf.Verify();
    EXPECT_EQ(sf.Count(EngineWrite), 1);
    sf.Verify();
    EXPECT_EQ(sf.Count(EngineWrite), 2);
    EXPECT_NEAR(sf.BestTrainError(), 2.0f / 36 * 100, 1e-4);
}

TEST_F(Training, SFamNodesComeFromTheTrainingAnswer)
{
    ScriptedSFam sf;
    OpenSFam(sf);
    sf.Answer(EngineTrain, {17, -9});
    sf.Train();
    EXPECT_EQ(sf.CurrentNodes(), 17);
    EXPECT_EQ(sf.State().DLLError(), 0);
    prompts.ExpectBox(MsgResult::Ok);
    sf.Train();
    EXPECT_EQ(sf.CurrentNodes(), 17);   // a failure's code is no count of nodes
    EXPECT_EQ(sf.State().DLLError(), -9);
    EXPECT_EQ(prompts.LastBox().text.section("\r\n", 0, 0), "DLL Train Error.  Error #-9");
    EXPECT_EQ(prompts.LastBox().title, "CSFam::Train");
    sf.Train();   // the real engine: category nodes
    EXPECT_GT(sf.CurrentNodes(), 0);
    EXPECT_EQ(sf.State().DLLError(), 0);
}

TEST_F(Training, SFamCreationCodesStayAsTheyCame)
{
    ScriptedSFam sf;
    OpenSFam(sf);
    sf.Answer(EngineInit, {-5, -7});
    prompts.ExpectBox(MsgResult::Ok);
    sf.Train();
    EXPECT_EQ(sf.State().DLLError(), -5);
    EXPECT_EQ(prompts.LastBox().text, "DLL Init Failure.  Error #-5");
    EXPECT_EQ(prompts.LastBox().title, "Error In CSFam::Train");
    sf.Train();
    EXPECT_EQ(sf.State().DLLError(), DLLErrConstantField);
    EXPECT_FALSE(sf.State().NetReady());
}

// The nodes were the forgotten network's: none are left, in the object and in the file.
TEST_F(Training, SFamResetForgetsTheNodeCount)
{
    TestSFam sf;
    OpenSFam(sf);
    sf.SetVigBase(0.9f);
    sf.Train();
    sf.Verify();
    const int16_t nodes = sf.CurrentNodes();
    ASSERT_GT(nodes, 0);
    sf.SaveConfig();
    ASSERT_EQ(NetTest::ConfigValue(sf.State().ProjectFileName(), "CurrentNodes").toText(), QString::number(nodes));
    sf.Reset();
    EXPECT_EQ(sf.CurrentNodes(), 0);
    EXPECT_EQ(NetTest::ConfigValue(sf.State().ProjectFileName(), "CurrentNodes").toText(), "0");
    EXPECT_EQ(sf.VigBase(), 0.5f);
    EXPECT_EQ(sf.BestTrainError(), -1);
    EXPECT_EQ(sf.State().CyclesCompleted(), 0);
    EXPECT_FALSE(sf.State().NetReady());
    EXPECT_EQ(SnapshotRows(sf.State().ProjectFileName()), 0);
}

TEST_F(Training, SFamVerifyWithEveryRowSkippedRaisesDivisionByZero)
{
    ScriptedSFam sf;
    OpenSFam(sf);
    sf.Train();
    sf.State().SetTrainLow(37);   // rows 37..40 all miss an input
    sf.ForceNetReady(true);
    sf.Answer(EngineTrain, {5});
    sf.Train();
    ASSERT_EQ(sf.NullRows(), sf.State().Rows());
    try {
        sf.Verify();
        FAIL() << "no error";
    } catch (const KvError& e) {
        EXPECT_EQ(e.number(), KvErr::DivisionByZero);
        EXPECT_EQ(e.source(), "CSFamProject:Verify Method");
    }
}

TEST_F(Training, SFamPredictionNamesTheClass)
{
    ScriptedSFam sf;
    OpenSFam(sf);
    sf.Train();
    std::vector<long double> values(sf.State().DDO()->NumFields() + 1, 3.0);
    int16_t answer = 2;
    sf.onScripted = [&](ScriptedSFam& s, EngineCommand) { s.Arrays().classResults[1] = answer; };
    sf.Answer(EngineRun, {0, 0, 0, 0});
    EXPECT_EQ(sf.Predict(values), sf.ClassNames()[2]);
    answer = 0;
    EXPECT_EQ(sf.Predict(values), QString());   // entry 0 stays empty
    answer = -1;
    EXPECT_EQ(sf.Predict(values), "-123.456");
    answer = 99;
    EXPECT_EQ(sf.Predict(values), "-123.456");
    EXPECT_TRUE(sf.ClassNames().size() == 3);
    const QString real = sf.Predict(values);
    EXPECT_TRUE(real == "odd" || real == "even") << real.toStdString();
}

// Blocks of about the target time once one was timed; a pass that fits a block is one block,
// and a short tail goes with the block before it.
TEST(BlockPacer, PacesBlocksToTheTargetTime)
{
    CBlockPacer pacer;
    EXPECT_EQ(pacer.NextBlock(60), 60u);
    EXPECT_EQ(pacer.NextBlock(1000000), CBlockPacer::kFirstRows);
    pacer.Measured(CBlockPacer::kFirstRows, 4.0);  // 2048 rows a millisecond
    const size_t paced = size_t(2048 * CBlockPacer::kTargetMs);
    EXPECT_EQ(pacer.NextBlock(1000000), paced);
    EXPECT_EQ(pacer.NextBlock(paced + paced / 8), paced + paced / 8);
    EXPECT_EQ(pacer.NextBlock(paced + paced / 4), paced);
    // A faster block moves the estimate half-way; a slower one (an SFAM network that grew)
    // counts at once.
    pacer.Measured(8192, 2.0);
    EXPECT_EQ(pacer.NextBlock(1000000), size_t(3072 * CBlockPacer::kTargetMs));
    pacer.Measured(1024, 2.0);
    EXPECT_EQ(pacer.NextBlock(1000000), size_t(512 * CBlockPacer::kTargetMs));
    // Blocks too short to time cannot make the estimate run away.
    CBlockPacer fast;
    fast.Measured(100, 0.0);
    EXPECT_EQ(fast.NextBlock(1000000), size_t(50 * CBlockPacer::kTargetMs));
}
