// Testing of both kinds: the Test table and the rebuilt project file, failures that keep the
// project as it was, the error statistics and the hand-over of the arrays to the charts.
#include "core/errorbox.h"
#include "core/workprogress.h"
#include "data/projectschema.h"
#include "network/projectstore.h"
#include "network/teststats.h"
#include "tests/network/netscript.h"
#include "tests/support/progresslistener.h"

#include <QFile>
#include <sqlite3.h>
#include <algorithm>
#include <cmath>
#include <thread>

namespace {
// The project file's link table.
const QString kLink = ProjectSchema::LinkTable();
} // namespace

namespace {
using kdb::Value;

// Fails after the Test rows are written, as a full disk would.
class FailingRows : public ScriptedBackProp {
public:
    bool failRows = false;

protected:
    bool SavePrediction(kdb::Database& db) override
    {
        const bool written = ScriptedBackProp::SavePrediction(db);
        if (!failRows)
            return written;
        return Procedure(QStringLiteral("CBackProp::SavePrediction"), [] { throw KvError(KvErr::DeviceIO); });
    }
};

class Testing : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = TestEnv::NewFolder("testing");
        std::vector<QList<Value>> rows;
        for (int i = 1; i <= 40; ++i) {
            const Value x2 = i == 38 ? Value() : Value(double((i * 7) % 13));
            const double y = i == 39 ? 45.0 : double(i % 10) * 2.0 + 1.0;   // 45: outside 0..20
            rows.push_back({i, double(i % 10), x2, y});
        }
        source = NetTest::MakeSource(folder, "Data", "X1 REAL, X2 REAL, Y REAL", rows);
    }
    template <class BP>
    void Open(BP& bp, const QString& data, const QString& table = "Data", const QString& name = "bp.kvp")
    {
        bp.Initialize(folder + "/" + name);
        bp.Attach(data, table);
        NetTest::Configure(bp, {{"X1", roleInput, 0, 10}, {"X2", roleInput, 0, 13}, {"Y", roleBPPredict, 0, 20}});
        bp.State().SetTrainHigh(30);
        bp.State().SetTestLow(21);
        bp.State().SetTestHigh(40);
        bp.SaveConfig();
    }
    template <class BP>
    void OpenAndTrain(BP& bp)
    {
        Open(bp, source);
        bp.Train();
        bp.Verify();
    }
    // A project over 40,000 rows, every one a testing row, after one training pass.
    void OpenBigAndTrain(TestBackProp& bp)
    {
        std::vector<QList<Value>> rows;
        for (int i = 1; i <= 40000; ++i)
            rows.push_back({i, double(i % 10), double((i * 7) % 13), double(i % 10) * 2.0 + 1.0});
        Open(bp, NetTest::MakeSource(folder, "Data", "X1 REAL, X2 REAL, Y REAL", rows, "big.mdb"));
        bp.State().SetTestLow(1);
        bp.State().SetTestHigh(40000);
        bp.Train();
    }
    static QList<QList<Value>> Rows(const QString& project, const QString& sql = "SELECT * FROM Test ORDER BY MainPrimaryKey")
    {
        kdb::Database db = kdb::Database::Open(project, false, true);
        kdb::Snapshot s = db.OpenSnapshot(sql);
        QList<QList<Value>> out;
        for (int i = 0; i < s.RecordCount(); ++i)
            out << s.Row(i);
        return out;
    }
    static QByteArray Bytes(const QString& path)
    {
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }
    FakePrompter prompts;
    RecordingHost host;
    RecordingStatus status;
    QString folder, source;
};
} // namespace

TEST_F(Testing, TheTestTableHoldsOneRowPerTestingRow)
{
    ScriptedBackProp bp;
    OpenAndTrain(bp);
    const QString path = bp.State().ProjectFileName();
    status.messages.clear();
    ASSERT_EQ(bp.Test(), TestOutcome::Done);
    // The running text goes when the test is over.
    EXPECT_EQ(status.messages, QStringList({"Normalizing...", "", "Testing 20 rows.", ""}));
    EXPECT_GE(bp.State().CurrentError(), 0);
    EXPECT_TRUE(bp.State().TestBuilt());
    EXPECT_EQ(host.browsersClosed, 1);

    const QList<QList<Value>> rows = Rows(path);
    ASSERT_EQ(rows.size(), 20);
    for (int i = 0; i < 20; ++i) {
        const int key = 21 + i;
        const QList<Value>& row = rows[i];
        EXPECT_EQ(row[0].toInt(), key);
        EXPECT_EQ(row[3].toInt(-9), 0);
        const float r = bp.Results()[size_t(i + 1)];
        if (key == 38) {
            // No prediction: the marker, recognised exactly, and no difference.
            EXPECT_EQ(r, -1.0f);
            EXPECT_EQ(row[1].toDouble(), NoPrediction);
            EXPECT_TRUE(IsNoPrediction(row[1].toDouble()));
            EXPECT_TRUE(row[2].isNull());
            continue;
        }
        const double predicted = 20.0 * double(r);
        EXPECT_NEAR(row[1].toDouble(), predicted, 1e-5) << key;
        // Against the row's own value: 45 stays 45, not the clamped 20.
        const double actual = key == 39 ? 45.0 : double(key % 10) * 2.0 + 1.0;
        EXPECT_NEAR(row[2].toDouble(), std::fabs(actual - predicted), 1e-5) << key;
    }
}

TEST_F(Testing, TheRebuiltProjectHoldsWhatMemoryHoldsAndKeepsOtherRows)
{
    TestBackProp bp;
    OpenAndTrain(bp);
    const QString path = bp.State().ProjectFileName();
    {
        kdb::Database db = kdb::Database::Open(path, false, false);
        ProjectStore(db).WriteProperty("Process", "5");
    }
    bp.SetLearnRate(0.7f);
    gWorkflowStep() = 7;
    ASSERT_EQ(bp.Test(), TestOutcome::Done);
    ASSERT_EQ(bp.Test(), TestOutcome::Done);   // the second one replaces the first one's rows
    EXPECT_EQ(NetTest::ConfigValue(path, "LearnRate").toText(), "0.7");
    EXPECT_EQ(NetTest::ConfigValue(path, "Process").toText(), "5");
    EXPECT_EQ(NetTest::ConfigValue(path, "Navigate").toText(), "7");
    kdb::Database db = kdb::Database::Open(path, false, true);
    // The second test's rows took the pages the first one's freed.
    EXPECT_LE(db.Scalar("PRAGMA freelist_count").toInt(-1) * 4, db.Scalar("PRAGMA page_count").toInt());
    EXPECT_EQ(db.RecordCount("Test"), 20);
    EXPECT_EQ(db.RecordCount(ProjectSchema::FieldConfigTable()), bp.State().DDO()->NumFields());
    EXPECT_EQ(db.RecordCount(ProjectSchema::SnapshotsTable()), 1);
    EXPECT_TRUE(db.HasTable(kLink));
    EXPECT_EQ(db.Fields("Test")[0].type, kdb::dbLong);
    EXPECT_EQ(db.PrimaryKey("Test"), QStringList{"MainPrimaryKey"});
    // The stored definition reads back as the one in memory.
    CDataDef back;
    back.Initialize(source, "Data");
    back.Load(path);
    EXPECT_EQ(back.UserMatchType(back.FieldIndex("Y")), roleBPPredict);
    EXPECT_EQ(back.UserMax(back.FieldIndex("X2")), 13.0);
}

TEST_F(Testing, AKeyThatIsNotTheFirstFieldIsFound)
{
    const QString path = folder + "/late.mdb";
    {
        kdb::Database db = kdb::Database::Create(path);
        db.Execute("CREATE TABLE Data (X1 REAL, X2 REAL, Y REAL, Code INTEGER PRIMARY KEY)");
        for (int i = 1; i <= 40; ++i)
            db.Insert("Data", {{"X1", double(i % 10)}, {"X2", double(i % 7)}, {"Y", double(i % 5)}, {"Code", 100 + i}});
    }
    TestBackProp bp;
    Open(bp, path);
    bp.Train();
    ASSERT_EQ(bp.Test(), TestOutcome::Done);
    const QList<QList<Value>> rows = Rows(bp.State().ProjectFileName());
    ASSERT_EQ(rows.size(), 20);
    EXPECT_EQ(rows.first()[0].toInt(), 121);
    EXPECT_EQ(rows.last()[0].toInt(), 140);
}

TEST_F(Testing, ATextKeyGetsATextColumnAndJoinsItsRows)
{
    const QString path = folder + "/text.mdb";
    {
        kdb::Database db = kdb::Database::Create(path);
        db.Execute("CREATE TABLE Data (Name TEXT PRIMARY KEY, X1 REAL, X2 REAL, Y REAL)");
        for (int i = 1; i <= 40; ++i)
            db.Insert("Data", {{"Name", QString("row-%1").arg(i, 3, 10, QChar('0'))},
                               {"X1", double(i % 10)}, {"X2", double(i % 7)}, {"Y", double(i % 5)}});
    }
    TestBackProp bp;
    Open(bp, path);
    bp.Train();
    ASSERT_EQ(bp.Test(), TestOutcome::Done);
    const QString project = bp.State().ProjectFileName();
    const QList<QList<Value>> rows = Rows(project);
    ASSERT_EQ(rows.size(), 20);
    EXPECT_EQ(rows.first()[0].toText(), "row-021");
    kdb::Database db = kdb::Database::Open(project, false, true);
    EXPECT_EQ(db.Fields("Test")[0].type, kdb::dbText);
    // Each Test row finds its source row, and its difference is taken against that row's value.
    EXPECT_EQ(db.Scalar("SELECT COUNT(*) FROM Test INNER JOIN " + kLink + " ON Test.MainPrimaryKey = "
                        + kLink + ".Name WHERE abs(abs(Test.Predicted - " + kLink + ".Y) - Test.Difference) < 1e-9")
                  .toInt(),
              20);
}


TEST_F(Testing, TextKeysDifferingOnlyInCaseAreRowsOfTheirOwn)
{
    // A source of this program or an ODBC source may hold "a" and "A" as two keys.
    const QString path = folder + "/cased.mdb";
    {
        kdb::Database db = kdb::Database::Create(path);
        db.Execute("CREATE TABLE Data (Name TEXT PRIMARY KEY, X1 REAL, X2 REAL, Y REAL)");
        for (int i = 1; i <= 40; ++i) {
            const QString name = QString(QChar('a' + (i - 1) / 2));
            db.Insert("Data", {{"Name", i % 2 ? name : name.toUpper()}, {"X1", double(i % 10)},
                               {"X2", double(i % 7)}, {"Y", double(i % 5)}});
        }
    }
    TestBackProp bp;
    Open(bp, path);
    bp.State().SetTestLow(1);
    bp.Train();
    ASSERT_EQ(bp.Test(), TestOutcome::Done);
    EXPECT_TRUE(prompts.Boxes().empty());
    kdb::Database db = kdb::Database::Open(bp.State().ProjectFileName(), false, true);
    EXPECT_EQ(db.RecordCount("Test"), 40);
    // Each Test row joins exactly its own source row, from either side of the join.
    for (const QString& on : {"Test.MainPrimaryKey = " + kLink + ".Name", kLink + ".Name = Test.MainPrimaryKey"})
        EXPECT_EQ(db.Scalar("SELECT COUNT(*) FROM Test INNER JOIN " + kLink + " ON " + on).toInt(), 40)
            << on.toStdString();
}
TEST_F(Testing, EngineFailuresKeepTheOldProjectAndNoError)
{
    ScriptedBackProp bp;
    OpenAndTrain(bp);
    const QString path = bp.State().ProjectFileName();
    ASSERT_EQ(bp.Test(), TestOutcome::Done);
    const QList<QList<Value>> before = Rows(path);
    bp.SetLearnRate(0.9f);

    bp.Answer(EngineRun, {-3, -4});
    prompts.ExpectBox(MsgResult::Ok);
    EXPECT_EQ(bp.Test(), TestOutcome::NotEnoughData);
    EXPECT_EQ(prompts.LastBox().text, "Not enough data was selected for testing.  Please select more.");
    EXPECT_EQ(prompts.LastBox().title, "Not Enough Data");
    EXPECT_EQ(prompts.LastBox().icon, MsgIcon::Exclamation);
    EXPECT_EQ(bp.State().CurrentError(), -1);
    EXPECT_FALSE(bp.State().TestBuilt());

    prompts.ExpectBox(MsgResult::Ok);
    EXPECT_EQ(bp.Test(), TestOutcome::EngineFailure);
    EXPECT_EQ(prompts.LastBox().text.section("\r\n", 0, 0), "DLL Test Error.  Error #-4");
    EXPECT_EQ(prompts.LastBox().title, "CBackProp::Test");
    EXPECT_EQ(prompts.LastBox().icon, MsgIcon::Critical);
    EXPECT_EQ(bp.State().CurrentError(), -1);

    EXPECT_EQ(Rows(path), before);
    EXPECT_EQ(NetTest::ConfigValue(path, "LearnRate").toText(), "0.5");
}

TEST_F(Testing, AFailureWhileWritingTheRowsRollsTheWholeFileBack)
{
    FailingRows bp;
    OpenAndTrain(bp);
    const QString path = bp.State().ProjectFileName();
    ASSERT_EQ(bp.Test(), TestOutcome::Done);
    const QList<QList<Value>> before = Rows(path);
    bp.SetLearnRate(0.9f);
    bp.State().SetTestLow(1);   // a different range, so the new table would differ
    bp.failRows = true;
    prompts.ExpectBox(MsgResult::Ok);
    EXPECT_EQ(bp.Test(), TestOutcome::Aborted);
    EXPECT_EQ(prompts.LastBox().title, "CBackProp::SavePrediction");
    EXPECT_EQ(bp.State().CurrentError(), -1);
    EXPECT_FALSE(bp.State().TestBuilt());
    EXPECT_EQ(Rows(path), before);
    EXPECT_EQ(NetTest::ConfigValue(path, "LearnRate").toText(), "0.5");
    EXPECT_EQ(NetTest::ConfigValue(path, "TestLow").toText(), "21");
}

TEST_F(Testing, WithoutANetworkNothingRunsAndNoOldErrorRemains)
{
    TestBackProp bp;
    Open(bp, source);
    const QByteArray before = Bytes(bp.State().ProjectFileName());
    bp.ForceCurrentError(12.0f);
    EXPECT_EQ(bp.Test(), TestOutcome::NoNetwork);
    EXPECT_EQ(bp.State().CurrentError(), -1);
    EXPECT_TRUE(prompts.Boxes().empty());
    EXPECT_EQ(Bytes(bp.State().ProjectFileName()), before);
}

TEST_F(Testing, MoreThan32767TestingRows)
{
    TestBackProp bp;
    OpenBigAndTrain(bp);
    ASSERT_EQ(bp.Test(), TestOutcome::Done);
    kdb::Database db = kdb::Database::Open(bp.State().ProjectFileName(), false, true);
    EXPECT_EQ(db.RecordCount("Test"), 40000);
    EXPECT_EQ(db.Scalar("SELECT MAX(MainPrimaryKey) FROM Test").toInt(), 40000);
    const float rms = bp.ActualRMSError();
    const float uv = bp.UnexplainedVar();
    EXPECT_TRUE(std::isfinite(rms) && rms > 0);
    EXPECT_TRUE(std::isfinite(uv) && uv > 0);
    EXPECT_TRUE(prompts.Boxes().empty());
}

// What a progress handler heard: 0 first, only rising, 100 and then -1 last, and the steps
// between (reading, the engine's run when it has weight, writing) each seen on the way.
void ExpectRisingToTheEnd(const std::vector<int>& heard, int runFrom, int runTo, int runSteps)
{
    ExpectRisingToTheEnd(heard);
    const auto seen = [&](int from, int to) {
        return std::count_if(heard.begin(), heard.end(), [&](int p) { return p > from && p < to; });
    };
    EXPECT_GE(seen(0, 25), 10) << "reading";
    EXPECT_GE(seen(runFrom, runTo), runSteps) << "running";
    EXPECT_GE(seen(62, 100), 10) << "writing";
}

TEST_F(Testing, ProgressRisesToTheEndAndLeavesTheResultsAsTheyWere)
{
    TestBackProp bp;
    OpenBigAndTrain(bp);
    ASSERT_EQ(bp.Test(), TestOutcome::Done);
    const QList<QList<Value>> bare = Rows(bp.State().ProjectFileName());
    const float bareError = bp.State().CurrentError();

    std::vector<TestOutcome> nested;
    ProgressListener listener([&](int percent) {
        // Whatever runs while the progress is shown cannot start a second test inside this one.
        if (percent > 40 && nested.empty())
            nested.push_back(bp.Test());
    });
    const std::vector<int>& heard = listener.heard;
    bp.State().SetTestHigh(40000);   // the testing rows are read again
    ASSERT_FALSE(bp.State().TestBuilt());
    ASSERT_EQ(bp.Test(), TestOutcome::Done);
    // Reading 2, the engine's run in blocks 1, clearing the old rows 1, writing 3, saving 1:
    // 0..25, 25..37 with a rise after each of the five blocks, 37..50, 50..87, 87..100.
    ExpectRisingToTheEnd(heard, 25, 38, 4);
    EXPECT_EQ(heard[1], 1);
    EXPECT_EQ(nested, std::vector<TestOutcome>{TestOutcome::Aborted});
    EXPECT_EQ(bp.State().CurrentError(), bareError);
    EXPECT_EQ(Rows(bp.State().ProjectFileName()), bare);

    // A failed test ends the progress too.
    listener.heard.clear();
    bp.State().SetTestHigh(40001);
    prompts.ExpectBox(MsgResult::Ok);
    EXPECT_EQ(bp.Test(), TestOutcome::Aborted);
    ASSERT_FALSE(heard.empty());
    EXPECT_EQ(heard.front(), 0);
    EXPECT_EQ(heard.back(), -1);
}

TEST_F(Testing, AnSFamRunInBlocksPredictsAndCountsAsOneCall)
{
    // 20,000 rows run in blocks of 8,192; the second block has only skipped rows.
    std::vector<QList<Value>> rows;
    for (int i = 1; i <= 20000; ++i) {
        const Value x1 = i > 8192 && i <= 16384 ? Value() : Value(double(i % 100));
        // Classes the inputs do not tell apart, so that some predictions are wrong.
        const int kind = (i / 7) % 3;
        rows.push_back({i, x1, double((i * 7) % 13), kind == 0 ? "low" : kind == 1 ? "mid" : "high"});
    }
    const QString data = NetTest::MakeSource(folder, "Data", "X1 REAL, X2 REAL, C TEXT", rows, "classes.mdb");
    TestSFam sf;
    sf.Initialize(folder + "/sf.kvp");
    sf.Attach(data, "Data");
    NetTest::Configure(sf, {{"X1", roleInput, 0, 100}, {"X2", roleInput, 0, 13}, {"C", roleSFamPredict}});
    sf.BuildClassList();
    sf.State().SetTrainLow(1);
    sf.State().SetTrainHigh(2000);
    sf.State().SetTestLow(1);
    sf.State().SetTestHigh(20000);
    sf.SaveConfig();
    sf.Train();
    ProgressListener listener;
    ASSERT_EQ(sf.Test(), TestOutcome::Done);
    // Reading 2, running 3, clearing 1, writing 3, saving 1: 0..20, 20..50, 50..60, 60..90,
    // 90..100; a rise after each block.
    ExpectRisingToTheEnd(listener.heard, 20, 50, 2);

    const std::vector<int16_t> blocked = sf.Results();
    const float blockedError = sf.State().CurrentError();
    const int32_t wrong = sf.CallEngine(EngineRun);
    ASSERT_GT(wrong, 0);
    EXPECT_EQ(sf.Results(), blocked);
    EXPECT_EQ(std::count(blocked.begin() + 8193, blocked.begin() + 16385, UnusableRow), 8192);
    EXPECT_EQ(blockedError, float(double(wrong) / double(sf.State().Rows() - sf.NullRows()) * 100.0));
}

TEST_F(Testing, WithoutBestLoggingTheSavedNetworkSurvivesATest)
{
    TestBackProp bp;
    OpenAndTrain(bp);
    bp.SaveConfig();
    const QString path = bp.State().ProjectFileName();
    const QList<QList<Value>> saved = Rows(path, "SELECT Snapshot FROM Snapshots");
    ASSERT_EQ(saved.size(), 1);
    bp.SetBestLogging(false);
    ASSERT_EQ(bp.Test(), TestOutcome::Done);
    EXPECT_EQ(Rows(path, "SELECT Snapshot FROM Snapshots"), saved);
}

// --- SFAM ------------------------------------------------------------------------------------

namespace {
class SFamTesting : public Testing {
protected:
    void SetUp() override
    {
        Testing::SetUp();
        std::vector<QList<Value>> rows;
        for (int i = 1; i <= 50; ++i) {
            const Value x1 = i <= 10 ? Value() : Value(double(i % 10));
            rows.push_back({i, x1, double(i % 7), i % 10 < 5 ? "low" : "high"});
        }
        classes = NetTest::MakeSource(folder, "Data", "X1 REAL, X2 REAL, C TEXT", rows, "classes.mdb");
    }
    template <class SF>
    void OpenSFam(SF& sf)
    {
        sf.Initialize(folder + "/sf.kvp");
        sf.Attach(classes, "Data");
        NetTest::Configure(sf, {{"X1", roleInput, 0, 10}, {"X2", roleInput, 0, 7}, {"C", roleSFamPredict}});
        sf.BuildClassList();
        sf.State().SetTrainLow(11);
        sf.State().SetTrainHigh(50);
        sf.State().SetTestLow(1);
        sf.State().SetTestHigh(50);
        sf.SaveConfig();
        sf.Train();
        sf.Verify();
    }
    QString classes;
};
} // namespace

TEST_F(SFamTesting, TheErrorLeavesSkippedRowsOutAndTheRowsNameTheirClass)
{
    ScriptedSFam sf;
    OpenSFam(sf);
    sf.Answer(EngineRun, {3});
    sf.onScripted = [](ScriptedSFam& s, EngineCommand) {
        std::vector<int16_t>& results = s.Arrays().classResults;
        for (int64_t i = 1; i <= s.State().Rows(); ++i)
            if (results[size_t(i)] != UnusableRow)
                results[size_t(i)] = int16_t(s.State().Pattern(0, i));
    };
    status.messages.clear();
    ASSERT_EQ(sf.Test(), TestOutcome::Done);
    EXPECT_FLOAT_EQ(sf.State().CurrentError(), 7.5f);   // 3 of the 40 rows not skipped
    EXPECT_EQ(status.messages.mid(status.messages.size() - 2), QStringList({"Running testing cycle...", ""}));
    const QList<QList<Value>> rows = Rows(sf.State().ProjectFileName());
    ASSERT_EQ(rows.size(), 50);
    for (int i = 0; i < 50; ++i) {
        const int key = i + 1;
        ASSERT_EQ(rows[i].size(), 3);   // no Difference column
        EXPECT_EQ(rows[i][1].toText(), key <= 10 ? "-123.456" : key % 10 < 5 ? "low" : "high") << key;
        EXPECT_EQ(rows[i][2].toInt(-9), 0);
    }
    kdb::Database db = kdb::Database::Open(sf.State().ProjectFileName(), false, true);
    EXPECT_EQ(db.RecordCount(ProjectSchema::ClassesTable()), 2);
    EXPECT_EQ(db.Fields("Test")[1].type, kdb::dbText);
}

TEST_F(SFamTesting, EveryRowSkippedIsADivisionByZeroAndChangesNothing)
{
    TestSFam sf;
    OpenSFam(sf);
    sf.State().SetTestHigh(10);
    const QByteArray before = Bytes(sf.State().ProjectFileName());
    prompts.ExpectBox(MsgResult::Ok);
    EXPECT_EQ(sf.Test(), TestOutcome::NotEnoughData);
    EXPECT_EQ(prompts.LastBox().title, "CSFam::Test");
    EXPECT_TRUE(prompts.LastBox().text.startsWith("Error: 11. "));
    EXPECT_TRUE(prompts.LastBox().text.endsWith("Division by zero"));
    EXPECT_EQ(sf.State().CurrentError(), -1);
    EXPECT_EQ(Bytes(sf.State().ProjectFileName()), before);
}

TEST_F(SFamTesting, ARefusedRunIsAnEngineFailure)
{
    ScriptedSFam sf;
    OpenSFam(sf);
    sf.Answer(EngineRun, {-2});
    prompts.ExpectBox(MsgResult::Ok);
    EXPECT_EQ(sf.Test(), TestOutcome::EngineFailure);
    EXPECT_EQ(prompts.LastBox().text.section("\r\n", 0, 0), "DLL Test Error.  Error #-2");
    EXPECT_EQ(prompts.LastBox().title, "CSFam::Test");
    EXPECT_EQ(sf.State().CurrentError(), -1);
}

// --- Statistics, prediction field, charts ------------------------------------------------------

TEST(TestStatistics, FiguresInFieldUnitsAndPearsonsR)
{
    // Range 0..100. Actual 10, 20, 30 against predictions 12, 18, 33; row 4 has no prediction,
    // row 5 no actual value: neither counts.
    const double nan = std::nan("");
    const std::vector<double> actuals{0, 10, 20, 30, 90, nan};
    const std::vector<float> results{0, 0.12f, 0.18f, 0.33f, -1, 0.5f};
    auto f = TestStats::Measure(actuals.data(), results.data(), 5, 0, 100);
    EXPECT_EQ(f.rows, 3);
    EXPECT_NEAR(f.error, 100.0 * (7.0 / 3) / 100, 1e-4);   // mean |a - p| in percent of the range
    EXPECT_NEAR(f.rmsError, std::sqrt(17.0 / 3), 1e-4);
    EXPECT_NEAR(f.unexplained, 17.0 / 200, 1e-5);
    // Predictions mean 21: deviations -9, -3, 12 against -10, 0, 10: r = 210 / sqrt(234 * 200).
    EXPECT_NEAR(f.correlation, 210.0 / std::sqrt(234.0 * 200.0), 1e-5);

    // Predictions with more error than the actual values vary (unexplained above 1) still
    // correlate: 1.09 once gave "0.00". Actual 0, 10, 20; predictions 8, 16, 40 (range 0..100).
    const std::vector<double> spread{0, 0, 10, 20};
    const std::vector<float> wide{0, 0.08f, 0.16f, 0.40f};
    f = TestStats::Measure(spread.data(), wide.data(), 3, 0, 100);
    EXPECT_GT(f.unexplained, 1.0);
    // Predictions mean 64 / 3: r = 320 / sqrt(1664 / 3 * 200).
    EXPECT_NEAR(f.correlation, 320.0 / std::sqrt(1664.0 / 3.0 * 200.0), 1e-5);

    // Undefined: constant predictions, constant actual values, no rows at all. Actual values
    // that never vary leave no variance to explain: the share is undefined, never 0 (a perfect
    // model) while the predictions spread.
    const std::vector<float> flat{0, 0.5f, 0.5f, 0.5f};
    EXPECT_TRUE(std::isnan(TestStats::Measure(spread.data(), flat.data(), 3, 0, 100).correlation));
    const std::vector<double> same{0, 7, 7, 7};
    f = TestStats::Measure(same.data(), wide.data(), 3, 0, 100);
    EXPECT_TRUE(std::isnan(f.correlation));
    EXPECT_TRUE(std::isnan(f.unexplained));
    EXPECT_EQ(TestStats::FigureText(float(f.unexplained), "0.000"), "N/A");
    EXPECT_EQ(TestStats::FigureText(0.0851f, "0.000"), "0.085");
    const std::vector<float> none{0, -1, -1, -1};
    f = TestStats::Measure(spread.data(), none.data(), 3, 0, 100);
    EXPECT_EQ(f.rmsError, 0);
    EXPECT_TRUE(std::isnan(f.correlation));
    EXPECT_EQ(TestStats::FigureText(f.correlation, "0.00"), "N/A");
    EXPECT_EQ(TestStats::FigureText(-0.456, "0.00"), "-0.46");
}

TEST(TestStatistics, TheMarkerIsRecognisedInEveryStoredForm)
{
    EXPECT_TRUE(IsNoPrediction(NoPrediction));
    EXPECT_TRUE(IsNoPrediction(double(float(NoPrediction))));
    EXPECT_FALSE(IsNoPrediction(-123.4));
    EXPECT_FALSE(IsNoPrediction(0.0));
    EXPECT_TRUE(IsNoPrediction(QString("-123.456")));
    EXPECT_FALSE(IsNoPrediction(QString("low")));
}

TEST_F(Testing, StatisticsFollowWhatTheArraysHold)
{
    TestBackProp bp;
    Open(bp, source);
    EXPECT_EQ(bp.ActualRMSError(), 0);   // no network, nothing built
    EXPECT_EQ(bp.UnexplainedVar(), 0);
    ASSERT_TRUE(bp.BuildArrays(0));
    EXPECT_EQ(bp.ActualRMSError(), -1);   // a network, but no rows
    EXPECT_EQ(bp.UnexplainedVar(), -1);
    bp.State().DDO()->SetUserMax(bp.PredictField(), 100);
    // Testing rows built, then replaced by three rows set by hand.
    ASSERT_TRUE(bp.BuildArrays(2));
    PatternArrays& arrays = bp.Arrays();
    arrays.rows = 3;
    arrays.patterns = {0, 0, 0, 0.1f, 0, 0, 0.2f, 0, 0, 0.3f, 0, 0};
    arrays.actuals = {0, 10, 20, 30};
    arrays.valueResults = {0, 0.12f, 0.18f, 0.33f};
    ASSERT_TRUE(bp.State().TestBuilt());
    EXPECT_NEAR(bp.ActualRMSError(), 2.380, 1e-3);
    EXPECT_NEAR(bp.UnexplainedVar(), 0.085, 1e-5);
}

TEST_F(Testing, ThePredictionFieldIsTheFirstOfTheKindsRole)
{
    TestBackProp bp;
    Open(bp, source);
    EXPECT_EQ(bp.PredictField(), bp.State().DDO()->FieldIndex("Y"));
    TestSFam sf;
    sf.State().SetDDO(bp.State().DDO());
    EXPECT_EQ(sf.PredictField(), -1);   // role 16 is not the SFAM prediction role
    bp.State().SetDDO(nullptr);
    EXPECT_EQ(bp.PredictField(), -1);
}

TEST_F(Testing, ChartsGetTheTestedArraysWithoutTestingAgain)
{
    ScriptedBackProp bp;
    OpenAndTrain(bp);
    ASSERT_EQ(bp.Test(), TestOutcome::Done);
    const QByteArray before = Bytes(bp.State().ProjectFileName());
    bp.calls.clear();
    EXPECT_EQ(bp.RetestIfNotBuilt(), TestOutcome::Done);
    const TestedPredictions data = bp.TestedResults();
    EXPECT_TRUE(bp.calls.empty());
    EXPECT_EQ(Bytes(bp.State().ProjectFileName()), before);
    EXPECT_EQ(data.trainedCaption, "Trained: 1 to 30");
    EXPECT_EQ(data.testedCaption, " Tested: 21 to 40");
    EXPECT_EQ(data.rowsText, "20 Rows");
    std::vector<float> targets;   // the target column of three values a row
    for (size_t i = 0; i < bp.State().Patterns().size(); i += 3)
        targets.push_back(bp.State().Patterns()[i]);
    EXPECT_EQ(data.actual, targets);
    EXPECT_EQ(data.predicted, bp.Results());
}

// A view that needs the testing rows while they are not built tests again: after a one-row
// prediction, after a reopen, after a new testing range. Each row keeps the user's mark by its
// key; a test the user asks for starts the marks anew.
TEST_F(Testing, ARetestForAViewKeepsTheMarksByKey)
{
    TestBackProp bp;
    OpenAndTrain(bp);
    ASSERT_EQ(bp.Test(), TestOutcome::Done);
    const QString path = bp.State().ProjectFileName();
    const auto marked = [&] {
        QList<int> keys;
        for (const QList<Value>& row : Rows(path, "SELECT MainPrimaryKey FROM Test WHERE Mark <> 0 ORDER BY 1"))
            keys << int(row[0].toInt());
        return keys;
    };
    const auto predicted = [&] { return Rows(path, "SELECT MainPrimaryKey, Predicted FROM Test ORDER BY 1"); };
    {
        kdb::Database db = kdb::Database::Open(path, false, false);
        db.Execute("UPDATE Test SET Mark = -1 WHERE MainPrimaryKey IN (22, 35)");
    }
    const auto tested = predicted();

    std::vector<long double> probe(size_t(bp.State().DDO()->NumFields()) + 1, 1.0);
    bp.Predict(probe);
    ASSERT_FALSE(bp.State().TestBuilt());
    ASSERT_EQ(bp.RetestIfNotBuilt(), TestOutcome::Done);
    EXPECT_TRUE(bp.State().TestBuilt());
    EXPECT_EQ(bp.TestedResults().predicted.size(), 21u);
    EXPECT_EQ(Rows(path).size(), 20);
    EXPECT_EQ(marked(), QList<int>({22, 35}));
    EXPECT_EQ(predicted(), tested);
    bp.SaveConfig();

    TestBackProp again;
    again.Initialize(path);
    ASSERT_TRUE(again.State().NetReady());
    ASSERT_FALSE(again.State().TestBuilt());
    ASSERT_EQ(again.RetestIfNotBuilt(), TestOutcome::Done);
    EXPECT_EQ(marked(), QList<int>({22, 35}));
    EXPECT_EQ(predicted(), tested);

    again.State().SetTestLow(30);
    ASSERT_EQ(again.RetestIfNotBuilt(), TestOutcome::Done);
    EXPECT_EQ(Rows(path).size(), 11);
    EXPECT_EQ(marked(), QList<int>{35});

    ASSERT_EQ(again.Test(), TestOutcome::Done);
    EXPECT_EQ(marked(), QList<int>());
    EXPECT_TRUE(prompts.Boxes().empty());
}

// Each statement's steps through whole tables, on every connection the process opens.
int64_t gScanned = 0;
int CountScans(sqlite3* db, char**, const sqlite3_api_routines*)
{
    sqlite3_trace_v2(db, SQLITE_TRACE_PROFILE, [](unsigned, void*, void* stmt, void*) {
        gScanned += sqlite3_stmt_status(static_cast<sqlite3_stmt*>(stmt), SQLITE_STMTSTATUS_FULLSCAN_STEP, 0);
        return 0;
    }, nullptr);
    return SQLITE_OK;
}

// A re-test with every row marked keeps the marks by key, both kinds, whole-number and text
// keys alike (text exactly: "k22" and "K22" are two keys), reading each kept mark once: never
// all of them for every row.
TEST_F(SFamTesting, ARetestWithEveryRowMarkedReadsEachMarkOnce)
{
    std::vector<QList<Value>> rows;
    for (int i = 1; i <= 40; ++i)
        rows.push_back({QString("%1%2").arg(i == 22 ? "K" : "k").arg(i, 2, 10, QChar('0')), double(i % 10),
                        double((i * 7) % 13), double(i % 10) * 2.0 + 1.0});
    const QString textKeys = folder + "/textkeys.mdb";
    {
        kdb::Database db = kdb::Database::Create(textKeys);
        db.Execute("CREATE TABLE Data (ID TEXT PRIMARY KEY, X1 REAL, X2 REAL, Y REAL)");
        kdb::Transaction t(db);
        for (const QList<Value>& row : rows)
            db.Execute("INSERT INTO Data VALUES (?, ?, ?, ?)", row);
        t.Commit();
    }
    const auto check = [&](CNetworkProject& net) {
        const QString path = net.State().ProjectFileName();
        ASSERT_EQ(net.Test(), TestOutcome::Done);
        net.State().SetTestBuilt(false);
        gScanned = 0;
        ASSERT_EQ(net.RetestIfNotBuilt(), TestOutcome::Done);
        const int64_t unmarked = gScanned;
        {
            kdb::Database db = kdb::Database::Open(path, false, false);
            db.Execute("UPDATE Test SET Mark = -1");
            db.Execute("UPDATE Test SET Mark = 0 WHERE rowid = 5");
        }
        const auto tested = Rows(path);
        net.State().SetTestBuilt(false);
        gScanned = 0;
        ASSERT_EQ(net.RetestIfNotBuilt(), TestOutcome::Done);
        EXPECT_LE(gScanned, unmarked + 2 * tested.size());
        EXPECT_EQ(Rows(path), tested);
    };
    // Every connection opened from here on counts; none after the test, however it ends.
    struct Counting {
        Counting() { sqlite3_auto_extension(reinterpret_cast<void (*)()>(CountScans)); }
        ~Counting() { sqlite3_cancel_auto_extension(reinterpret_cast<void (*)()>(CountScans)); }
    } counting;
    for (const QString& data : {source, textKeys}) {
        SCOPED_TRACE(data.toStdString());
        TestBackProp bp;
        Open(bp, data, "Data", data == source ? "longkeys.kvp" : "textkeys.kvp");
        bp.Train();
        bp.Verify();
        check(bp);
    }
    TestSFam sf;
    OpenSFam(sf);
    check(sf);
}

TEST_F(Testing, AViewWithoutANetworkRunsNoTest)
{
    ScriptedBackProp bp;
    Open(bp, source);
    EXPECT_EQ(bp.RetestIfNotBuilt(), TestOutcome::NoNetwork);
    bp.TestedResults();
    EXPECT_TRUE(bp.calls.empty());
    EXPECT_FALSE(bp.State().NetReady());
    EXPECT_TRUE(prompts.Boxes().empty());
}

// The old Test table of a big test goes while the progress is told and the window drawn, and
// still inside the rebuild's transaction: rolled back, it is there again with every row.
TEST_F(Testing, ABigOldTestTableIsDroppedWithTheProgressToldAndInTheTransaction)
{
    const QString path = folder + "/drop.kvp";
    {
        kdb::Database db = kdb::Database::Create(path);
        db.ExecuteJet(ProjectSchema::BackPropTestStatement("Long"));
        db.Execute("WITH RECURSIVE n(k) AS (SELECT 1 UNION ALL SELECT k + 1 FROM n WHERE k < 300000) "
                   "INSERT INTO Test (MainPrimaryKey, Predicted, Difference, Mark) SELECT k, k * 0.5, 1, 0 FROM n");
    }
    std::vector<std::thread::id> tellers;
    ProgressListener listener([&](int) { tellers.push_back(std::this_thread::get_id()); });
    kdb::Database db = kdb::Database::Open(path, false, false);
    {
        kdb::Transaction t(db);
        WorkProgress progress;
        progress.Start({1, 1});
        ProjectStore(db).ReplaceTestTable(ProjectSchema::SFamTestStatement("Long"), &progress, 0);
        EXPECT_EQ(db.RecordCount("Test"), 0);
        EXPECT_EQ(db.Fields("Test").size(), 3);
        // The drop's step ran from 0 to its end at 50, told on this thread only.
        ASSERT_GE(listener.heard.size(), 2u);
        EXPECT_EQ(listener.heard.front(), 0);
        EXPECT_EQ(listener.heard.back(), 50);
        for (size_t i = 1; i < listener.heard.size(); ++i)
            EXPECT_GE(listener.heard[i], listener.heard[i - 1]);
        EXPECT_EQ(std::count(tellers.begin(), tellers.end(), std::this_thread::get_id()), tellers.size());
    }
    EXPECT_EQ(db.RecordCount("Test"), 300000);
    EXPECT_EQ(db.Fields("Test").size(), 4);
}
