#include "network/workflowflags.h"
#include "data/projectschema.h"
#include "tests/network/netfixture.h"

namespace {
class Process : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = TestEnv::NewFolder("process");
        project = folder + "/p.kvp";
        kdb::Database db = kdb::Database::Create(project);
        db.ExecuteJet(ProjectSchema::BaseTableStatement(ProjectSchema::ConfigTable()));
    }
    void Store(const kdb::Value& v)
    {
        kdb::Database db = kdb::Database::Open(project);
        db.Upsert("Config", {{"Property", "Process"}, {"sValue", v}}, "Property", "Process");
    }
    int64_t ProcessRows()
    {
        kdb::Database db = kdb::Database::Open(project, false, true);
        return db.Scalar("SELECT COUNT(*) FROM Config WHERE Property='Process'").toInt();
    }
    void SetAll(bool c, bool s, bool tr, bool te)
    {
        p.SetIsConfigured(c);
        p.SetIsSplit(s);
        p.SetIsTrained(tr);
        p.SetIsTested(te);
    }
    FakePrompter prompts;
    QString folder, project;
    CProcess p;
};
} // namespace

TEST_F(Process, SaveAddsTheRowOnceThenEditsIt)
{
    SetAll(true, true, false, false);
    p.Save(project);
    EXPECT_EQ(NetTest::ConfigValue(project, "Process").toText(), "3");
    p.SetIsTrained(true);
    p.Save(project);
    EXPECT_EQ(NetTest::ConfigValue(project, "Process").toText(), "7");
    EXPECT_EQ(ProcessRows(), 1);
    SetAll(false, false, false, true);
    p.Save(project);
    EXPECT_EQ(NetTest::ConfigValue(project, "Process").toText(), "8");
    SetAll(false, false, false, false);
    p.Save(project);
    EXPECT_EQ(NetTest::ConfigValue(project, "Process").toText(), "0");
}

TEST_F(Process, LoadSetsTheFlagsOfTheBitsOnly)
{
    Store("7");
    p.Load(project);
    EXPECT_TRUE(p.IsConfigured() && p.IsSplit() && p.IsTrained());
    EXPECT_FALSE(p.IsTested());
    Store("8");
    p.Load(project);
    EXPECT_TRUE(p.IsTested());
    EXPECT_FALSE(p.IsConfigured() || p.IsSplit() || p.IsTrained());
    Store("16");
    p.Load(project);
    EXPECT_EQ(p.Byte(), 0);
    Store("255");
    p.Load(project);
    EXPECT_EQ(p.Byte(), 15);
}

TEST_F(Process, MissingRowNullValueAndMissingFileClearWithoutMessage)
{
    SetAll(true, true, true, true);
    p.Load(project);
    EXPECT_EQ(p.Byte(), 0);
    Store(kdb::Value());
    SetAll(true, true, true, true);
    p.Load(project);
    EXPECT_EQ(p.Byte(), 0);
    SetAll(true, true, true, true);
    p.Load(folder + "/none.kvp");
    EXPECT_EQ(p.Byte(), 0);
    SetAll(true, false, false, false);
    p.Save(folder + "/none.kvp");
    EXPECT_FALSE(QFile::exists(folder + "/none.kvp"));
    EXPECT_TRUE(prompts.Boxes().empty());
}

TEST_F(Process, UnconvertibleValuesShowTheBoxAndLeaveAllClear)
{
    for (const char* bad : {"300", "abc"}) {
        Store(bad);
        SetAll(true, true, true, true);
        prompts.ExpectBox(MsgResult::Ok);
        p.Load(project);
        EXPECT_EQ(p.Byte(), 0) << bad;
        EXPECT_EQ(prompts.LastBox().title, "CProcess::Load");
        EXPECT_EQ(prompts.LastBox().icon, MsgIcon::Critical);
        EXPECT_TRUE(prompts.LastBox().text.startsWith("Error: ")) << prompts.LastBox().text.toStdString();
    }
}
