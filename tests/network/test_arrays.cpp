// The normalised arrays of both kinds, built from generated source tables.
#include "tests/network/netfixture.h"

#include "data/columnstats.h"

#include <cmath>

namespace {
using kdb::Value;

class Arrays : public ::testing::Test {
protected:
    void SetUp() override { folder = TestEnv::NewFolder("arrays"); }

    // Rows go in out of key order: the arrays must follow the key.
    QString BackPropSource()
    {
        return NetTest::MakeSource(folder, "Data", "X1 REAL, X2 REAL, Y REAL",
                                   {{4, -5.0, 999.0, 15.0},
                                    {1, 1.0, 10.0, 5.0},
                                    {3, 3.0, Value(), Value()},
                                    {2, Value(), 20.0, 6.0}});
    }
    void OpenBackProp(TestBackProp& bp, const QString& src)
    {
        bp.Initialize(folder + "/bp.kvp");
        bp.Attach(src, "Data");
        NetTest::Configure(bp, {{"X1", roleInput, 0, 4}, {"X2", roleInput, 0, 100}, {"Y", roleBPPredict, 0, 10}});
        bp.State().SetTrainLow(1);
        bp.State().SetTrainHigh(4);
    }
    FakePrompter prompts;
    RecordingHost host;
    QString folder;
};
} // namespace

TEST_F(Arrays, LayoutTakesInputsInFieldOrderAndTheDefaultHiddenSize)
{
    TestBackProp bp;
    OpenBackProp(bp, BackPropSource());
    ASSERT_TRUE(bp.BuildArrays(0));
    EXPECT_TRUE(bp.State().NetReady());
    EXPECT_EQ(bp.State().CurrentError(), -1);
    EXPECT_EQ(bp.State().NumInputs(), 2);
    EXPECT_EQ(bp.State().InputFields(), (std::vector<int16_t>{0, 2, 3}));
    EXPECT_EQ(bp.State().PredictFieldIndex(), 4);
    EXPECT_EQ(bp.State().FieldMinimums(), (std::vector<float>{0, 0, 0}));
    EXPECT_EQ(bp.State().FieldMaximums(), (std::vector<float>{10, 4, 100}));
    EXPECT_EQ(bp.LayerJCount(), 3);   // Int(2 * Sqr(3) + 0.5)
    EXPECT_EQ(bp.State().Rows(), 0);
    EXPECT_EQ(bp.State().Patterns().size(), 3u);
}

TEST_F(Arrays, RowsNormaliseClampAndMarkNulls)
{
    TestBackProp bp;
    OpenBackProp(bp, BackPropSource());
    ASSERT_TRUE(bp.BuildArrays(0));
    ASSERT_TRUE(bp.BuildArrays(1));
    EXPECT_TRUE(bp.State().TrainBuilt());
    ASSERT_EQ(bp.State().Rows(), 4);
    // Row 1 (ID 1): plain values.
    EXPECT_FLOAT_EQ(bp.State().Pattern(1, 1), 0.25f);
    EXPECT_FLOAT_EQ(bp.State().Pattern(2, 1), 0.1f);
    EXPECT_FLOAT_EQ(bp.State().Pattern(0, 1), 0.5f);
    EXPECT_EQ(bp.Results()[1], 0.0f);
    // Row 2 (ID 2): the first input is Null; the other input is not read, the target is.
    EXPECT_EQ(bp.Results()[2], -1.0f);
    EXPECT_EQ(bp.State().Pattern(1, 2), 0.0f);
    EXPECT_EQ(bp.State().Pattern(2, 2), 0.0f);
    EXPECT_FLOAT_EQ(bp.State().Pattern(0, 2), 0.6f);
    // Row 3 (ID 3): second input and target Null.
    EXPECT_FLOAT_EQ(bp.State().Pattern(1, 3), 0.75f);
    EXPECT_EQ(bp.Results()[3], -1.0f);
    EXPECT_EQ(bp.State().Pattern(0, 3), 0.0f);
    // Row 4 (ID 4): outside the user range on both sides.
    EXPECT_EQ(bp.State().Pattern(1, 4), 0.0f);
    EXPECT_EQ(bp.State().Pattern(2, 4), 1.0f);
    EXPECT_EQ(bp.State().Pattern(0, 4), 1.0f);
    EXPECT_EQ(bp.Results()[4], 0.0f);
}

TEST_F(Arrays, TestingRowsReplaceTrainingRows)
{
    TestBackProp bp;
    OpenBackProp(bp, BackPropSource());
    bp.State().SetTestLow(3);
    bp.State().SetTestHigh(4);
    ASSERT_TRUE(bp.BuildArrays(0));
    ASSERT_TRUE(bp.BuildArrays(1));
    ASSERT_TRUE(bp.BuildArrays(2));
    EXPECT_FALSE(bp.State().TrainBuilt());
    EXPECT_TRUE(bp.State().TestBuilt());
    EXPECT_EQ(bp.State().Rows(), 2);
    EXPECT_FLOAT_EQ(bp.State().Pattern(1, 1), 0.75f);   // ID 3
    bp.State().SetTrainLow(1);
    bp.State().SetTrainHigh(0);
    ASSERT_TRUE(bp.BuildArrays(0));
    ASSERT_TRUE(bp.BuildArrays(1));
    EXPECT_TRUE(bp.State().TrainBuilt());
    EXPECT_EQ(bp.State().Rows(), 0);
}

TEST_F(Arrays, EqualLimitsGiveZero)
{
    EXPECT_EQ(PatternArrays::Normalize(5, 3, 3), 0.0f);
    EXPECT_EQ(PatternArrays::Normalize(-1, 0, 2), 0.0f);
    EXPECT_EQ(PatternArrays::Normalize(3, 0, 2), 1.0f);
    EXPECT_FLOAT_EQ(PatternArrays::Normalize(1, 0, 2), 0.5f);
    EXPECT_EQ(PatternArrays::Normalize(1, -3e38f, 3e38f), 0.0f);   // the range overflows
}

TEST_F(Arrays, UninitialisedDefinitionBuildsNothing)
{
    TestBackProp bp;
    bp.Initialize(folder + "/none.kvp");
    EXPECT_TRUE(bp.BuildArrays(0));
    EXPECT_FALSE(bp.State().NetReady());
    EXPECT_EQ(bp.State().NumInputs(), 0);
    EXPECT_TRUE(prompts.Boxes().empty());
}

TEST_F(Arrays, FailuresAreReportedAndLeaveNothingBuilt)
{
    const QString src = BackPropSource();
    TestBackProp bp;
    OpenBackProp(bp, src);
    ASSERT_TRUE(bp.BuildArrays(0));

    bp.State().SetTrainHigh(5);   // past the last row
    ASSERT_TRUE(bp.BuildArrays(0));
    prompts.ExpectBox(MsgResult::Ok);
    EXPECT_FALSE(bp.BuildArrays(1));
    EXPECT_FALSE(bp.State().TrainBuilt());
    EXPECT_EQ(prompts.LastBox().title, "CBackProp::BuildArrays");
    EXPECT_EQ(prompts.LastBox().icon, MsgIcon::Critical);

    bp.State().SetTrainHigh(4);
    {
        kdb::Database db = kdb::Database::Open(src);
        db.Execute("UPDATE Data SET X2 = 'abc' WHERE ID = 1");
    }
    prompts.ExpectBox(MsgResult::Ok);
    EXPECT_FALSE(bp.BuildArrays(1));
    EXPECT_TRUE(prompts.LastBox().text.startsWith("Error: 13. ")) << prompts.LastBox().text.toStdString();
    // The box names the field and the value it could not read, and the forms it reads.
    EXPECT_TRUE(prompts.LastBox().text.contains("[X2]") && prompts.LastBox().text.contains("\"abc\"")
                && prompts.LastBox().text.contains(ColumnStats::ReadableForms()))
        << prompts.LastBox().text.toStdString();

    {
        kdb::Database db = kdb::Database::Open(src);
        db.Execute("ALTER TABLE Data RENAME COLUMN X2 TO Z2");
    }
    prompts.ExpectBox(MsgResult::Ok);
    EXPECT_FALSE(bp.BuildArrays(1));
    EXPECT_FALSE(bp.State().TrainBuilt());
}

TEST_F(Arrays, DatesAndNumbersInTextConvert)
{
    const QString src = NetTest::MakeSource(folder, "Data", "D DATE, X TEXT, Y REAL",
                                            {{1, "1900-01-01", "2", 1.0}, {2, "1900-01-02", " 3 ", 2.0}});
    TestBackProp bp;
    bp.Initialize(folder + "/dates.kvp");
    bp.Attach(src, "Data");
    NetTest::Configure(bp, {{"D", roleInput, 2, 3}, {"X", roleInput, 0, 4}, {"Y", roleBPPredict, 0, 2}});
    bp.State().SetTrainHigh(2);
    ASSERT_TRUE(bp.BuildArrays(0));
    ASSERT_TRUE(bp.BuildArrays(1));
    EXPECT_FLOAT_EQ(bp.State().Pattern(1, 1), 0.0f);   // serial day 2
    EXPECT_FLOAT_EQ(bp.State().Pattern(1, 2), 1.0f);   // serial day 3
    EXPECT_FLOAT_EQ(bp.State().Pattern(2, 2), 0.75f);
}

// Whole numbers past 2^53 one apart, and times with and without the hour's leading zero, give
// values as far apart as they are, on both kinds: single precision takes every one of those
// numbers for the same, and a double takes neighbours for one.
TEST_F(Arrays, WholeNumbersPast2To53AndShortTimesKeepTheirDifferences)
{
    constexpr long long big = 9007199254740993LL;
    const QString src = NetTest::MakeSource(folder, "Data", "B BIGINT, T TIME, Y REAL, C TEXT",
                                            {{1, big, "8:50", 1.0, "a"},
                                             {2, big + 1, "08:50:00", 2.0, "b"},
                                             {3, big + 2, "10:00", 3.0, "a"},
                                             {4, big + 3, "23:50", 4.0, "b"}});
    const std::vector<NetTest::Role> inputs{{"B", roleInput, double(big - 1), double(big + 3)},
                                            {"T", roleInput, 0, 1}};
    NetTest::BuildOnBothKinds(folder, src, "Data", inputs, {"Y", roleBPPredict, 0, 4}, {"C", roleSFamPredict}, 4,
                              [](CNetworkProject&, const PatternArrays& a) {
                                  ASSERT_EQ(a.rows, 4);
                                  for (int r = 1; r <= 4; ++r)
                                      EXPECT_EQ(a.Pattern(1, r), float(r) / 4) << r; // (big - 1 + r - 2^53) / 4
                                  EXPECT_EQ(a.Pattern(2, 1), float((8 * 60 + 50) / 1440.0));
                                  EXPECT_EQ(a.Pattern(2, 2), a.Pattern(2, 1));
                              });
    EXPECT_TRUE(prompts.Boxes().empty());
}

namespace {
class SFamArrays : public Arrays {
protected:
    void OpenSFam(TestSFam& sf, const QString& src, int32_t rows)
    {
        sf.Initialize(folder + "/sf.kvp");
        sf.Attach(src, "Data");
        NetTest::Configure(sf, {{"X", roleInput, 0, 10}, {"C", roleSFamPredict}});
        sf.State().SetTrainLow(1);
        sf.State().SetTrainHigh(rows);
    }
};
} // namespace

TEST_F(SFamArrays, TargetsAreClassNumbersIgnoringCaseAndBlanks)
{
    const QString src = NetTest::MakeSource(folder, "Data", "X REAL, C TEXT",
                                            {{1, 1.0, "A"}, {2, 2.0, "b"}, {3, 3.0, "a"}, {4, Value(), Value()},
                                             {5, 5.0, " B "}, {6, 6.0, ""}, {7, 7.0, Value()}});
    TestSFam sf;
    OpenSFam(sf, src, 7);
    sf.BuildClassList();
    ASSERT_TRUE(sf.BuildArrays(0));
    // Classes "", " B ", "A" and "b": "A" and "a" group together, surrounding blanks do not.
    const std::vector<QString>& names = sf.ClassNames();
    ASSERT_EQ(names.size(), 5u);
    const auto number = [&](const QString& name) {
        for (size_t i = 0; i < names.size(); ++i)
            if (names[i].compare(name, Qt::CaseInsensitive) == 0)
                return float(i);
        return -100.0f;
    };
    ASSERT_TRUE(sf.BuildArrays(1));
    EXPECT_EQ(sf.State().Pattern(0, 1), number("a"));
    EXPECT_EQ(sf.State().Pattern(0, 3), number("a"));
    EXPECT_EQ(sf.State().Pattern(0, 2), number("b"));
    EXPECT_EQ(sf.State().Pattern(0, 5), number(" B "));
    EXPECT_NE(number("a"), number("b"));
    EXPECT_EQ(sf.State().Pattern(0, 6), 0.0f);   // the empty class text is entry 0
    EXPECT_EQ(sf.Results()[4], -1);
    EXPECT_EQ(sf.Results()[7], -1);
    EXPECT_EQ(sf.Results()[1], 0);
    EXPECT_EQ(sf.NullRows(), 2);        // row 4 has two Nulls and counts once
    EXPECT_EQ(sf.State().CurrentError(), -1);
}

TEST_F(SFamArrays, NumericClassesAreNamedWithoutFraction)
{
    const QString src = NetTest::MakeSource(folder, "Data", "X REAL, C REAL",
                                            {{1, 1.0, 1.0}, {2, 2.0, 2.0}, {3, 3.0, 1.0}});
    TestSFam sf;
    OpenSFam(sf, src, 3);
    sf.BuildClassList();
    ASSERT_TRUE(sf.BuildArrays(0));
    EXPECT_EQ(sf.ClassNames(), (std::vector<QString>{"", "1", "2"}));
    ASSERT_TRUE(sf.BuildArrays(1));
    EXPECT_EQ(sf.State().Pattern(0, 3), 1.0f);
}

TEST_F(SFamArrays, NewClassesGrowTheListUpTo256)
{
    std::vector<QList<Value>> rows;
    rows.push_back({1, 1.0, "seed"});
    const QString src = NetTest::MakeSource(folder, "Data", "X REAL, C TEXT", rows);
    TestSFam sf;
    OpenSFam(sf, src, 1);
    sf.BuildClassList();
    {
        kdb::Database db = kdb::Database::Open(src);
        kdb::Transaction t(db);
        for (int i = 2; i <= 258; ++i)
            db.Execute("INSERT INTO Data VALUES (?, ?, ?)", {i, double(i % 7), QString("class%1").arg(i)});
        t.Commit();
    }
    sf.State().SetTrainHigh(258);
    ASSERT_TRUE(sf.BuildArrays(0));
    ASSERT_TRUE(sf.BuildArrays(1));
    EXPECT_EQ(sf.State().Pattern(0, 1), 1.0f);
    EXPECT_EQ(sf.State().Pattern(0, 2), 2.0f);
    EXPECT_EQ(sf.State().Pattern(0, 256), 256.0f);   // the 256th class
    EXPECT_EQ(sf.State().Pattern(0, 257), -5.0f);    // the 257th has no number
    EXPECT_EQ(sf.ClassNames().size(), 257u);
    EXPECT_EQ(sf.Arrays().classes.Number("CLASS2"), 2);
    EXPECT_EQ(sf.Arrays().classes.Number("   "), 0);
}

TEST_F(SFamArrays, LayoutWithoutClassTableFails)
{
    const QString src = NetTest::MakeSource(folder, "Data", "X REAL, C TEXT", {{1, 1.0, "A"}});
    TestSFam sf;
    OpenSFam(sf, src, 1);
    prompts.ExpectBox(MsgResult::Ok);
    EXPECT_FALSE(sf.BuildArrays(0));
    EXPECT_FALSE(sf.State().NetReady());
    EXPECT_EQ(prompts.LastBox().title, "CSFam::BuildArrays");
}

namespace {
// The same rows in two files: keyed by a whole number, stored out of key order with gaps in
// the key (read in ranges of the key on several connections), and keyed by that number as
// text of eight digits (read by one reader).
void MakeTwinSources(const QString& ranged, const QString& single)
{
    kdb::Database db = kdb::Database::Create(ranged);
    db.Execute("CREATE TABLE Data (ID LONG PRIMARY KEY, X1 REAL, X2 REAL, Y REAL, C TEXT)");
    db.Execute("INSERT INTO Data WITH RECURSIVE s(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM s WHERE i < 130000) "
               "SELECT i, CASE WHEN i % 13 = 0 THEN NULL ELSE i * 37 % 1000 / 10.0 END, i * 11 % 100, "
               "CASE WHEN i % 17 = 0 THEN NULL ELSE i % 50 END, "
               "CASE WHEN i % 19 = 0 THEN NULL ELSE char(97 + i % 3) END FROM s ORDER BY i * 7919 % 130003");
    db.Execute("DELETE FROM Data WHERE ID BETWEEN 40000 AND 40999 OR ID % 97 = 0");
    db.Close();
    kdb::Database twin = kdb::Database::Create(single);
    twin.Execute("CREATE TABLE Data (K TEXT PRIMARY KEY, X1 REAL, X2 REAL, Y REAL, C TEXT)");
    twin.Execute("ATTACH DATABASE ? AS a", {ranged});
    twin.Execute("INSERT INTO Data SELECT printf('%08d', ID), X1, X2, Y, C FROM a.Data ORDER BY X2, ID DESC");
}

void Twice(const QString& ranged, const QString& single, const QString& sql)
{
    for (const QString& path : {ranged, single})
        kdb::Database::Open(path).Execute(QString(sql).replace("$ID", path == ranged ? "ID" : "CAST(K AS INTEGER)"));
}

void ExpectSameArrays(PatternArrays& ranged, PatternArrays& single, bool keys)
{
    EXPECT_EQ(ranged.rows, single.rows);
    EXPECT_EQ(ranged.patterns, single.patterns);
    EXPECT_EQ(ranged.valueResults, single.valueResults);
    EXPECT_EQ(ranged.classResults, single.classResults);
    EXPECT_EQ(ranged.nullRows, single.nullRows);
    EXPECT_EQ(ranged.classes.Names(), single.classes.Names());
    ASSERT_EQ(ranged.actuals.size(), single.actuals.size());
    for (size_t r = 1; r < ranged.actuals.size(); ++r)
        ASSERT_TRUE(ranged.actuals[r] == single.actuals[r]
                    || (std::isnan(ranged.actuals[r]) && std::isnan(single.actuals[r])))
            << r;
    ASSERT_EQ(ranged.testKeys.size(), keys ? size_t(ranged.rows + 1) : 0u);
    ASSERT_EQ(single.testKeys.size(), ranged.testKeys.size());
    for (size_t r = 1; r < ranged.testKeys.size(); ++r)
        ASSERT_EQ(QString::number(ranged.testKeys[r].toInt()).rightJustified(8, '0'), single.testKeys[r].toText())
            << r;
}
} // namespace

// Many rows of a file's table are read in ranges of its key on several connections at once:
// the arrays, the class numbers given as values first appear, and the failure reported must be
// those of one read in key order.
TEST_F(Arrays, RowsReadInRangesAreThoseOfOneRead)
{
    const QString ranged = folder + "/ranged.mdb";
    const QString single = folder + "/single.mdb";
    MakeTwinSources(ranged, single);
    const int64_t rows = kdb::Database::Open(ranged).Scalar("SELECT count(*) FROM Data").toInt();
    ASSERT_GT(rows, 120000);

    TestBackProp bp[2];
    TestSFam sf[2];
    for (int i = 0; i < 2; ++i) {
        const QString tag = i == 0 ? "ranged" : "single";
        bp[i].Initialize(folder + "/bp-" + tag + ".kvp");
        bp[i].Attach(i == 0 ? ranged : single, "Data");
        NetTest::Configure(bp[i], {{"X1", roleInput, 0, 90}, {"X2", roleInput, 0, 100}, {"Y", roleBPPredict, 0, 40}});
        sf[i].Initialize(folder + "/sf-" + tag + ".kvp");
        sf[i].Attach(i == 0 ? ranged : single, "Data");
        NetTest::Configure(sf[i], {{"X1", roleInput, 0, 100}, {"C", roleSFamPredict}});
        sf[i].BuildClassList();
    }
    // Class values new to the list, some alike but for case and blanks, first seen in
    // different ranges.
    Twice(ranged, single,
          "UPDATE Data SET C = CASE WHEN $ID % 1000 = 7 THEN 'zz' WHEN $ID % 1000 = 8 THEN ' ZZ' "
          "WHEN $ID = 90001 THEN 'New' WHEN $ID = 20002 THEN 'nEW ' ELSE C END");
    for (int i = 0; i < 2; ++i) {
        bp[i].State().SetTrainLow(1);
        bp[i].State().SetTrainHigh(int32_t(rows));
        bp[i].State().SetTestLow(2001);
        bp[i].State().SetTestHigh(int32_t(rows) + 5000);   // past the end
        sf[i].State().SetTrainLow(1);
        sf[i].State().SetTrainHigh(int32_t(rows));
        ASSERT_TRUE(bp[i].BuildArrays(0) && bp[i].BuildArrays(1));
        ASSERT_TRUE(sf[i].BuildArrays(0) && sf[i].BuildArrays(1));
    }
    ExpectSameArrays(bp[0].Arrays(), bp[1].Arrays(), false);
    ExpectSameArrays(sf[0].Arrays(), sf[1].Arrays(), false);
    EXPECT_GT(sf[0].ClassNames().size(), 5u);

    // Past the table's end, and a value that is no number in the middle of the range before it.
    QString reported[2];
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < 2; ++i) {
            prompts.ExpectBox(MsgResult::Ok);
            EXPECT_FALSE(bp[i].BuildArrays(2));
            reported[i] = prompts.LastBox().text;
        }
        EXPECT_TRUE(reported[0].startsWith(round == 0 ? "Error: 3021. " : "Error: 13. "))
            << reported[0].toStdString();
        EXPECT_EQ(reported[0], reported[1]);
        Twice(ranged, single, "UPDATE Data SET X2 = 'abc' WHERE $ID IN (70001, 110001)");
    }
    Twice(ranged, single, "UPDATE Data SET X2 = 5 WHERE $ID IN (70001, 110001)");
    for (int i = 0; i < 2; ++i) {
        bp[i].State().SetTestHigh(int32_t(rows));
        ASSERT_TRUE(bp[i].BuildArrays(2));
    }
    ExpectSameArrays(bp[0].Arrays(), bp[1].Arrays(), true);
    EXPECT_EQ(bp[0].State().Rows(), rows - 2000);
}
