// The SFAM class list built from the linked source table.
#include "data/dbutilities.h"
#include "tests/network/netfixture.h"

namespace {
using kdb::Value;

struct ClassRow {
    QString name;
    int64_t total;
    int64_t number;
};

class Classes : public ::testing::Test {
protected:
    void SetUp() override { folder = TestEnv::NewFolder("classes"); }
    void Open(TestSFam& sf, const QString& src, const QString& predict = "C")
    {
        sf.Initialize(folder + "/sf.kvp");
        sf.Attach(src, "Data");
        NetTest::Configure(sf, {{"X", roleInput, 0, 10}, {predict, roleSFamPredict}});
    }
    std::vector<ClassRow> Rows(const TestSFam& sf)
    {
        kdb::Database db = kdb::Database::Open(sf.State().ProjectFileName(), false, true);
        std::vector<ClassRow> rows;
        kdb::Reader r = db.Query("SELECT Class, Total, ClassNum FROM Classes ORDER BY ClassNum");
        while (r.Next())
            rows.push_back({r.Text(0), r.Int(1), r.Int(2)});
        return rows;
    }
    FakePrompter prompts;
    RecordingHost host;
    QString folder;
};
} // namespace

TEST_F(Classes, DistinctNonNullValuesWithCountsAndNumbers)
{
    const QString src = NetTest::MakeSource(folder, "Data", "X REAL, C TEXT",
                                            {{1, 1.0, "A"}, {2, 2.0, "B"}, {3, 3.0, "A"}, {4, 4.0, Value()}, {5, 5.0, "C"}});
    TestSFam sf;
    Open(sf, src);
    sf.State().SetTrainHigh(2);   // the ranges play no part
    sf.BuildClassList();
    std::vector<ClassRow> rows = Rows(sf);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].name, "A");
    EXPECT_EQ(rows[0].total, 2);
    EXPECT_EQ(rows[1].name, "B");
    EXPECT_EQ(rows[1].total, 1);
    EXPECT_EQ(rows[2].name, "C");
    EXPECT_EQ(rows[2].total, 1);
    for (size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(rows[i].number, int64_t(i + 1));
    EXPECT_EQ(dbUtilities::ClassCount(sf.State().ProjectFileName()), 3);

    sf.BuildClassList();
    const std::vector<ClassRow> again = Rows(sf);
    ASSERT_EQ(again.size(), 3u);
    EXPECT_EQ(again[2].name, "C");
    EXPECT_TRUE(prompts.Boxes().empty());
}

TEST_F(Classes, ValuesDifferingInCaseAreOneClass)
{
    const QString src = NetTest::MakeSource(folder, "Data", "X REAL, C TEXT", {{1, 1.0, "A"}, {2, 2.0, "a"}});
    TestSFam sf;
    Open(sf, src);
    sf.BuildClassList();
    const std::vector<ClassRow> rows = Rows(sf);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].total, 2);
    sf.State().SetTrainHigh(2);
    ASSERT_TRUE(sf.BuildArrays(0));
    EXPECT_EQ(sf.Arrays().classes.Number("A"), 1);
    EXPECT_EQ(sf.Arrays().classes.Number("a"), 1);
    ASSERT_TRUE(sf.BuildArrays(1));
    EXPECT_EQ(sf.State().Pattern(0, 1), 1.0f);
    EXPECT_EQ(sf.State().Pattern(0, 2), 1.0f);
}

TEST_F(Classes, FieldNameWithABlank)
{
    const QString src = NetTest::MakeSource(folder, "Data", "X REAL, \"My Class\" TEXT",
                                            {{1, 1.0, "p"}, {2, 2.0, "q"}});
    TestSFam sf;
    Open(sf, src, "My Class");
    sf.BuildClassList();
    EXPECT_TRUE(prompts.Boxes().empty());
    EXPECT_EQ(Rows(sf).size(), 2u);
}

TEST_F(Classes, AFailedRebuildKeepsTheOldList)
{
    const QString src = NetTest::MakeSource(folder, "Data", "X REAL, C TEXT", {{1, 1.0, "A"}, {2, 2.0, "B"}});
    TestSFam sf;
    Open(sf, src);
    sf.BuildClassList();
    CDataDef& ddo = *sf.State().DDO();
    ddo.SetUserMatchType(ddo.FieldIndex("C"), roleUnused);
    prompts.ExpectBox(MsgResult::Ok);
    sf.BuildClassList();
    EXPECT_EQ(prompts.LastBox().title, "CSFam::BuildClassList");
    EXPECT_EQ(Rows(sf).size(), 2u);

    ddo.SetUserMatchType(ddo.FieldIndex("C"), roleSFamPredict);
    {
        kdb::Database db = kdb::Database::Open(src);
        db.Execute("ALTER TABLE Data RENAME COLUMN C TO D");
    }
    prompts.ExpectBox(MsgResult::Ok);
    sf.BuildClassList();
    EXPECT_EQ(Rows(sf).size(), 2u);
}

TEST_F(Classes, ATestKeepsTheListOfAnUnchangedSourceAndRebuildsItAfterAChange)
{
    std::vector<QList<Value>> rows;
    for (int i = 1; i <= 30; ++i)
        rows.push_back({i, double(i % 10), QString(i % 10 < 5 ? "low" : "high")});
    const QString src = NetTest::MakeSource(folder, "Data", "X REAL, C TEXT", rows);
    {
        kdb::Database db = kdb::Database::Open(src, false, false);
        db.Execute("CREATE TABLE Data2 AS SELECT * FROM Data");
        db.Execute("UPDATE Data2 SET C = 'other' WHERE ID > 25");
    }
    TestSFam sf;
    Open(sf, src);
    sf.State().SetTrainHigh(30);
    sf.State().SetTestHigh(30);
    sf.BuildClassList();
    sf.SaveConfig();
    sf.Train();
    ASSERT_TRUE(sf.State().NetReady());
    ASSERT_EQ(sf.Test(), TestOutcome::Done);
    ASSERT_EQ(Rows(sf).size(), 2u);
    EXPECT_EQ(Rows(sf)[0].total + Rows(sf)[1].total, 30);

    // A row added to the source (outside the testing range) shows in the next test's list.
    {
        kdb::Database db = kdb::Database::Open(src, false, false);
        db.Execute("INSERT INTO Data VALUES (31, 3.0, 'middle')");
    }
    ASSERT_EQ(sf.Test(), TestOutcome::Done);
    const std::vector<ClassRow> after = Rows(sf);
    ASSERT_EQ(after.size(), 3u);
    int64_t total = 0;
    for (const ClassRow& r : after)
        total += r.total;
    EXPECT_EQ(total, 31);
    EXPECT_EQ(after[2].name, "middle");
    ASSERT_EQ(sf.Test(), TestOutcome::Done);
    EXPECT_EQ(Rows(sf).size(), 3u);

    // The link moved to another table of the same, unchanged file: the list follows it.
    sf.Attach(src, "Data2");
    ASSERT_EQ(sf.Test(), TestOutcome::Done);
    const std::vector<ClassRow> moved = Rows(sf);
    ASSERT_EQ(moved.size(), 3u);
    EXPECT_TRUE(std::any_of(moved.begin(), moved.end(), [](const ClassRow& r) { return r.name == "other"; }));
}
