// Saving the row ranges alone, as the row split does when nothing else is saved.
#include "tests/network/netfixture.h"

TEST(SaveRowRanges, WritesTheFourBoundsAndNothingElse)
{
    FakePrompter prompts;
    RecordingHost host;
    const QString folder = TestEnv::NewFolder("rowranges");
    std::vector<QList<kdb::Value>> rows;
    for (int i = 1; i <= 20; ++i)
        rows.push_back({i, double(i), double(i % 4)});
    const QString source = NetTest::MakeSource(folder, "Data", "X REAL, Y REAL", rows);
    const QString path = folder + "/p.kvp";

    CBackProp bp;
    bp.Initialize(path);
    bp.Attach(source, "Data");
    bp.SaveConfig();
    const QString cycles = NetTest::ConfigValue(path, "VerifyRate").toText();
    bp.State().SetTrainLow(2);
    bp.State().SetTrainHigh(15);
    bp.State().SetTestLow(16);
    bp.State().SetTestHigh(20);
    bp.SetVerifyRate(9);
    bp.SaveRowRanges();
    EXPECT_EQ(NetTest::ConfigValue(path, "TrainLow").toText(), "2");
    EXPECT_EQ(NetTest::ConfigValue(path, "TrainHigh").toText(), "15");
    EXPECT_EQ(NetTest::ConfigValue(path, "TestLow").toText(), "16");
    EXPECT_EQ(NetTest::ConfigValue(path, "TestHigh").toText(), "20");
    EXPECT_EQ(NetTest::ConfigValue(path, "VerifyRate").toText(), cycles);

    ASSERT_TRUE(QFile::remove(path));
    try {
        bp.SaveRowRanges();
        ADD_FAILURE() << "a missing project file must raise";
    } catch (const KvError& e) {
        EXPECT_EQ(e.number(), KvErr::FileNotFound);
        EXPECT_EQ(e.source(), "BackProp:SaveRowRanges Method");
    }
    EXPECT_TRUE(prompts.Boxes().empty());
}
