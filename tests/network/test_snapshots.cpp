// The saved network: engine file into Snapshots and back, with a real engine.
#include "data/projectschema.h"
#include "tests/network/netfixture.h"

#include <QRandomGenerator>

namespace {
class Snapshots : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = TestEnv::NewFolder("snap");
        std::vector<QList<kdb::Value>> rows;
        for (int i = 1; i <= 40; ++i)
            rows.push_back({i, double(i % 10), double((i * 7) % 13), double(i % 10) * 2.0 + 1.0});
        source = NetTest::MakeSource(folder, "Data", "X1 REAL, X2 REAL, Y REAL", rows);
    }
    void Open(TestBackProp& bp, const QString& name = "bp.kvp")
    {
        bp.Initialize(folder + "/" + name);
        bp.Attach(source, "Data");
        NetTest::Configure(bp, {{"X1", roleInput, 0, 10}, {"X2", roleInput, 0, 13}, {"Y", roleBPPredict, 0, 20}});
        bp.State().SetTrainHigh(40);
        bp.State().SetTestHigh(40);
        bp.SaveConfig();
    }
    // A real network in the engine and its file, as training leaves them.
    void Train(TestBackProp& bp)
    {
        ASSERT_TRUE(bp.BuildArrays(0));
        ASSERT_TRUE(bp.BuildArrays(1));
        ASSERT_EQ(bp.CallEngine(EngineInit), 1);
        ASSERT_EQ(bp.CallEngine(EngineTrain), 1);
        ASSERT_EQ(bp.CallEngine(EngineWrite), 1);
        bp.ForceBestError(12.5f);
    }
    QByteArray Stored(const QString& project)
    {
        kdb::Database db = kdb::Database::Open(project, false, true);
        return db.Scalar("SELECT Snapshot FROM Snapshots").toBytes();
    }
    static QByteArray FileBytes(const QString& path)
    {
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }
    static void WriteBytes(const QString& path, const QByteArray& bytes)
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    FakePrompter prompts;
    RecordingHost host;
    QString folder, source;
};
} // namespace

TEST_F(Snapshots, FilesOfAnySizeAreStoredByteForByte)
{
    TestBackProp bp;
    Open(bp);
    ASSERT_TRUE(bp.BuildArrays(0));
    for (int size : {1, 2048, 2049}) {
        QByteArray bytes(size, '\0');
        for (int i = 0; i < size; ++i)
            bytes[i] = char(QRandomGenerator::global()->bounded(256));
        WriteBytes(bp.NetFileName(), bytes);
        bp.SaveCurrent();
        EXPECT_EQ(Stored(bp.State().ProjectFileName()), bytes) << size;
    }
    kdb::Database db = kdb::Database::Open(bp.State().ProjectFileName(), false, true);
    EXPECT_EQ(db.RecordCount(ProjectSchema::SnapshotsTable()), 1);
    EXPECT_TRUE(db.Scalar("SELECT ErrorAtSave FROM Snapshots").isNull());
    EXPECT_EQ(NetTest::ConfigValue(bp.State().ProjectFileName(), "BestError").toText(), "-1");
}

TEST_F(Snapshots, SecondSaveEditsTheRow)
{
    TestBackProp bp;
    Open(bp);
    ASSERT_TRUE(bp.BuildArrays(0));
    WriteBytes(bp.NetFileName(), "one");
    bp.SaveCurrent();
    kdb::Database db = kdb::Database::Open(bp.State().ProjectFileName(), false, true);
    const QString first = db.Scalar("SELECT DateSaved FROM Snapshots").toText();
    db.Close();
    WriteBytes(bp.NetFileName(), "two");
    bp.SaveCurrent();
    db = kdb::Database::Open(bp.State().ProjectFileName(), false, true);
    EXPECT_EQ(db.RecordCount(ProjectSchema::SnapshotsTable()), 1);
    EXPECT_GE(db.Scalar("SELECT DateSaved FROM Snapshots").toText(), first);
    EXPECT_EQ(Stored(bp.State().ProjectFileName()), QByteArray("two"));
}

TEST_F(Snapshots, NothingToSaveSavesNothing)
{
    TestBackProp bp;
    Open(bp);
    WriteBytes(bp.NetFileName(), "x");
    bp.SaveCurrent();   // no network ready
    ASSERT_TRUE(bp.BuildArrays(0));
    QFile(bp.NetFileName()).resize(0);
    bp.SaveCurrent();   // logging on and no engine file
    kdb::Database db = kdb::Database::Open(bp.State().ProjectFileName(), false, true);
    EXPECT_EQ(db.RecordCount(ProjectSchema::SnapshotsTable()), 0);
    EXPECT_TRUE(prompts.Boxes().empty());
}

TEST_F(Snapshots, TrainedNetworkComesBackWithTheProject)
{
    QByteArray network;
    QString project;
    {
        TestBackProp bp;
        Open(bp);
        Train(bp);
        network = FileBytes(bp.NetFileName());
        ASSERT_GT(network.size(), 0);
        bp.SaveConfig();
        project = bp.State().ProjectFileName();
    }
    EXPECT_EQ(Stored(project), network);
    EXPECT_EQ(NetTest::ConfigValue(project, "BestError").toText(), "12.5");

    TestBackProp bp;
    bp.Initialize(project);   // opens and reverts to the saved network
    EXPECT_TRUE(prompts.Boxes().empty());
    EXPECT_TRUE(bp.State().NetReady());
    EXPECT_FALSE(bp.State().TrainBuilt() || bp.State().TestBuilt());
    EXPECT_EQ(bp.State().CurrentError(), 12.5f);
    EXPECT_EQ(bp.BestError(), 12.5f);
    EXPECT_EQ(FileBytes(bp.NetFileName()), network);
    ASSERT_TRUE(bp.BuildArrays(2));
    EXPECT_GE(bp.CallEngine(EngineRun), 0);
}

TEST_F(Snapshots, SFamSavesAndRestoresItsNetworkToo)
{
    std::vector<QList<kdb::Value>> rows;
    for (int i = 1; i <= 30; ++i)
        rows.push_back({i, double(i % 10), i % 10 < 5 ? "low" : "high"});
    const QString src = NetTest::MakeSource(folder, "Data", "X REAL, C TEXT", rows, "classes.mdb");
    QString project = folder + "/sf.kvp";
    QByteArray network;
    {
        TestSFam sf;
        sf.Initialize(project);
        sf.Attach(src, "Data");
        NetTest::Configure(sf, {{"X", roleInput, 0, 9}, {"C", roleSFamPredict}});
        sf.State().SetTrainHigh(30);
        sf.BuildClassList();
        ASSERT_TRUE(sf.BuildArrays(0));
        ASSERT_TRUE(sf.BuildArrays(1));
        ASSERT_EQ(sf.CallEngine(EngineInit), 1);
        ASSERT_GT(sf.CallEngine(EngineTrain), 0);
        sf.ForceBestError(3.25f);
        sf.SaveConfig();   // SFAM writes the engine file itself
        network = FileBytes(sf.NetFileName());
    }
    ASSERT_GT(network.size(), 0);
    EXPECT_EQ(NetTest::ConfigValue(project, "BestTrainError").toText(), "3.25");
    TestSFam sf;
    sf.Initialize(project);
    EXPECT_TRUE(prompts.Boxes().empty());
    EXPECT_TRUE(sf.State().NetReady());
    EXPECT_EQ(sf.BestTrainError(), 3.25f);
    EXPECT_EQ(FileBytes(sf.NetFileName()), network);
}

TEST_F(Snapshots, DamagedNetworkMeansNoNetwork)
{
    TestBackProp bp;
    Open(bp);
    ASSERT_TRUE(bp.BuildArrays(0));
    WriteBytes(bp.NetFileName(), QByteArray(2049, 'z'));
    bp.SaveCurrent();
    QFile(bp.NetFileName()).resize(0);

    // The saved network is refused: one clear message, no network.
    prompts.ExpectBox(MsgResult::Ok);
    bp.LoadCurrent();
    EXPECT_FALSE(bp.State().NetReady());
    EXPECT_EQ(bp.State().CurrentError(), -1);
    EXPECT_EQ(QFile(bp.NetFileName()).size(), 0);
    ASSERT_EQ(prompts.Boxes().size(), 1u);
    EXPECT_EQ(prompts.LastBox().title, "CBackProp::LoadSnapshot");
    EXPECT_TRUE(prompts.LastBox().text.contains("could not be read")) << prompts.LastBox().text.toStdString();

    // A working file the engine refuses: no network, and one box that says so (the damaged
    // saved network, already told, cannot stand in).
    WriteBytes(bp.NetFileName(), "garbage");
    prompts.ExpectBox(MsgResult::Ok);
    bp.Revert();
    EXPECT_FALSE(bp.State().NetReady());
    EXPECT_EQ(QFile(bp.NetFileName()).size(), 0);
    ASSERT_EQ(prompts.Boxes().size(), 2u);
    EXPECT_EQ(prompts.LastBox().title, "CBackProp::Revert");
    EXPECT_TRUE(prompts.LastBox().text.startsWith("The working file of the trained network could not be read:"));
}

TEST_F(Snapshots, AProjectWithADamagedSavedNetworkOpensWithOneMessage)
{
    QString path;
    {
        TestSFam sf;
        sf.Initialize(folder + "/damaged.kvp");
        sf.Attach(source, "Data");
        NetTest::Configure(sf, {{"X1", roleInput, 0, 10}, {"X2", roleInput, 0, 13}, {"Y", roleSFamPredict}});
        sf.State().SetTrainHigh(40);
        sf.State().SetTestHigh(40);
        sf.SetAlpha(0.25f);
        sf.BuildClassList();
        sf.SaveConfig();
        path = sf.State().ProjectFileName();
        kdb::Database db = kdb::Database::Open(path, false, false);
        db.Execute("INSERT INTO Snapshots (DateSaved, Snapshot) VALUES ('2026-01-01 00:00:00', ?)",
                   {QByteArray("KVNET damaged beyond reading")});
    }
    prompts.ExpectBox(MsgResult::Ok);
    TestSFam sf;
    sf.Initialize(path);
    ASSERT_EQ(prompts.Boxes().size(), 1u);
    EXPECT_EQ(prompts.LastBox().title, "CSFam::LoadSnapshot");
    EXPECT_FALSE(sf.State().NetReady());
    EXPECT_EQ(sf.Alpha(), 0.25f);   // the other settings as they were
    EXPECT_EQ(sf.State().TableName(), "Data");
    EXPECT_EQ(sf.Test(), TestOutcome::NoNetwork);
    sf.Revert();   // once per project
    EXPECT_EQ(prompts.Boxes().size(), 1u);
    EXPECT_EQ(NetTest::ConfigValue(path, "Alpha").toText(), "0.25");
}

TEST_F(Snapshots, LoadingWhileTheEngineFileHoldsANetworkKeepsTheBestErrorInMemory)
{
    TestBackProp bp;
    Open(bp);
    Train(bp);
    bp.SaveConfig();
    bp.ForceBestError(4.0f);
    bp.LoadCurrent();
    EXPECT_TRUE(bp.State().NetReady());
    EXPECT_EQ(bp.State().CurrentError(), 4.0f);
}

// The best network lives in the working file while training goes: a file deleted from outside
// (another copy of the program, a cleaner of the temporary folder) is told at the revert,
// and at every later one until a network is there again; the saved network stands in when
// the project has one.
TEST_F(Snapshots, AWorkingFileDeletedFromOutsideIsToldAtEveryRevertUntilANetworkComesBack)
{
    TestBackProp bp;
    Open(bp);
    ASSERT_TRUE(bp.BestLogging());
    for (int i = 0; i < 3; ++i)
        bp.Train();
    bp.Verify();
    ASSERT_TRUE(bp.State().NetReady());
    ASSERT_GT(QFile(bp.NetFileName()).size(), 0);
    ASSERT_TRUE(QFile::remove(bp.NetFileName()));

    prompts.ExpectBox(MsgResult::Ok);
    bp.Revert();
    ASSERT_EQ(prompts.Boxes().size(), 1u);
    EXPECT_EQ(prompts.LastBox().title, "CBackProp::Revert");
    EXPECT_EQ(prompts.LastBox().icon, MsgIcon::Exclamation);
    EXPECT_EQ(prompts.LastBox().text, "The working file of the trained network has been deleted:\r\n" + bp.NetFileName()
                                          + "\r\nTrain the network again.");
    EXPECT_FALSE(bp.State().NetReady());
    EXPECT_EQ(bp.Test(), TestOutcome::NoNetwork);
    prompts.ExpectBox(MsgResult::Ok);
    bp.Revert();
    ASSERT_EQ(prompts.Boxes().size(), 2u);
    EXPECT_EQ(prompts.LastBox().text, "The trained network is no longer available.\r\nTrain the network again.");

    // Trained again and saved with the project, then trained on and the file deleted again:
    // the saved network comes back.
    for (int i = 0; i < 3; ++i)
        bp.Train();
    bp.Verify();
    bp.SaveConfig();
    const QByteArray saved = Stored(bp.State().ProjectFileName());
    ASSERT_GT(saved.size(), 0);
    bp.Revert();
    EXPECT_EQ(prompts.Boxes().size(), 2u);   // the network is back: nothing to tell
    ASSERT_TRUE(QFile::remove(bp.NetFileName()));
    prompts.ExpectBox(MsgResult::Ok);
    bp.Revert();
    ASSERT_EQ(prompts.Boxes().size(), 3u);
    EXPECT_TRUE(prompts.LastBox().text.endsWith("\r\nThe network last saved with the project is used instead."));
    EXPECT_TRUE(bp.State().NetReady());
    EXPECT_EQ(FileBytes(bp.NetFileName()), saved);
    EXPECT_EQ(bp.Test(), TestOutcome::Done);
    bp.Revert();
    EXPECT_EQ(prompts.Boxes().size(), 3u);
}
