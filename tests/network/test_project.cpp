// Project database, settings and lifecycle of both network kinds.
#include "core/apppaths.h"
#include "data/projectschema.h"
#include "network/projectstore.h"
#include "tests/network/netfixture.h"

#include <QDir>

namespace {
// The project file's link table.
const QString kLink = ProjectSchema::LinkTable();
} // namespace

using NetTest::ConfigValue;

namespace {
class Project : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = TestEnv::NewFolder("project");
        source = NetTest::MakeSource(folder, "Data", "X1 REAL, X2 REAL, Y REAL",
                                     {{1, 1.0, 10.0, 5.0}, {2, 2.0, 20.0, 6.0}, {3, 3.0, 30.0, 7.0}});
        other = NetTest::MakeSource(folder, "Other", "A REAL, B TEXT", {{1, 4.0, "x"}}, "other.mdb");
    }
    QStringList Tables(const QString& project)
    {
        kdb::Database db = kdb::Database::Open(project, false, true);
        return db.TableNames();
    }
    FakePrompter prompts;
    RecordingHost host;
    QString folder, source, other;
};
} // namespace

TEST_F(Project, InitializeWithoutPathDoesNothing)
{
    CBackProp bp;
    bp.Initialize("");
    EXPECT_EQ(bp.State().Project().Count(), 0);
    EXPECT_TRUE(QDir(folder).entryList({"*.kvp"}).isEmpty());
}

TEST_F(Project, NewProjectHoldsTheBaseTablesAndTheInitialSettings)
{
    const QString path = folder + "/new.kvp";
    CBackProp bp;
    bp.Initialize(path);
    EXPECT_EQ(bp.State().ProjectFileName(), path);
    EXPECT_EQ(Tables(path), QStringList({"FieldConfig", "Snapshots", "Config"}));
    const std::vector<std::pair<const char*, const char*>> expected = {
        {"TrainHigh", "1000"}, {"TrainLow", "1"}, {"TestHigh", "1000"}, {"TestLow", "1"},
        {"JogMax", "25"}, {"InitMax", "1"}, {"LearnRate", "0.5"}, {"Momentum", "0.5"},
        {"CyclesCompleted", "0"}, {"ShuffleNum", "0"}, {"Type", "2"}, {"BestLogging", "True"},
        {"BestError", "-1"}, {"VerifyRate", "5"}, {"LayerJCount", "0"}, {"DatabaseFileName", ""},
        {"TableName", ""}, {"WorkingDir", ""}};
    for (const auto& [key, value] : expected)
        EXPECT_EQ(ConfigValue(path, key).toText(), value) << key;
    EXPECT_EQ(ConfigValue(path, "Navigate").toText(), "3");   // the host's workflow step
    EXPECT_EQ(NetTest::ConfigRows(path), int64_t(expected.size()) + 1);
    {
        kdb::Database db = kdb::Database::Open(path, false, true);
        EXPECT_EQ(db.RecordCount(ProjectSchema::SnapshotsTable()), 0);
        EXPECT_EQ(db.RecordCount(ProjectSchema::FieldConfigTable()), 0);
    }
    bp.SaveConfig();
    EXPECT_EQ(NetTest::ConfigRows(path), int64_t(expected.size()) + 1);
}

TEST_F(Project, SFamWritesItsOwnKeysOnly)
{
    const QString path = folder + "/new-sfam.kvp";
    CSFam sf;
    sf.Initialize(path);
    EXPECT_EQ(ConfigValue(path, "Type").toText(), "1");
    EXPECT_EQ(ConfigValue(path, "Alpha").toText(), "0.001");
    EXPECT_EQ(ConfigValue(path, "Epsilon").toText(), "0.0001");
    EXPECT_EQ(ConfigValue(path, "VigBase").toText(), "0.5");
    EXPECT_EQ(ConfigValue(path, "Beta").toText(), "1");
    EXPECT_EQ(ConfigValue(path, "CurrentNodes").toText(), "0");
    EXPECT_EQ(ConfigValue(path, "BestTrainError").toText(), "-1");
    for (const char* key : {"BestLogging", "BestError", "VerifyRate", "JogMax", "LayerJCount"})
        EXPECT_TRUE(ConfigValue(path, key).isNull()) << key;
    EXPECT_EQ(NetTest::ConfigRows(path), 17);   // with 'Navigate'

}

TEST_F(Project, SettingsRoundTripThroughAFile)
{
    const QString path = folder + "/rt.kvp";
    const QString longDir(400, QLatin1Char('w'));
    {
        CBackProp bp;
        bp.Initialize(path);
        bp.Attach(source, "Data");
        bp.State().SetTrainLow(2);
        bp.State().SetTrainHigh(3);
        bp.State().SetTestLow(1);
        bp.State().SetTestHigh(2);
        bp.State().SetWorkingDir(longDir);
        bp.SetLayerJCount(7);
        bp.SetJogMax(12);
        bp.SetInitMax(0.25f);
        bp.SetLearnRate(0.125f);
        bp.SetMomentum(0.9f);
        bp.State().SetShuffleNum(3);
        bp.SetVerifyRate(9);
        bp.SetBestLogging(false);
        bp.SaveConfig();
    }
    EXPECT_EQ(ConfigValue(path, "WorkingDir").toText(), longDir);
    EXPECT_EQ(ConfigValue(path, "DatabaseFileName").toText(), source);
    EXPECT_EQ(ConfigValue(path, "Momentum").toText(), "0.9");
    CBackProp bp;
    bp.Initialize(path);
    EXPECT_TRUE(prompts.Boxes().empty());
    EXPECT_EQ(bp.State().TrainLow(), 2);
    EXPECT_EQ(bp.State().TrainHigh(), 3);
    EXPECT_EQ(bp.State().TestHigh(), 2);
    EXPECT_EQ(bp.State().WorkingDir(), longDir);
    EXPECT_EQ(bp.LayerJCount(), 7);
    EXPECT_EQ(bp.JogMax(), 12);
    EXPECT_EQ(bp.InitMax(), 0.25f);
    EXPECT_EQ(bp.LearnRate(), 0.125f);
    EXPECT_EQ(bp.Momentum(), 0.9f);
    EXPECT_EQ(bp.State().ShuffleNum(), 3);
    EXPECT_EQ(bp.VerifyRate(), 9);
    EXPECT_FALSE(bp.BestLogging());
    EXPECT_EQ(bp.State().DatabaseFileName(), source);
    EXPECT_EQ(bp.State().TableName(), "Data");
    EXPECT_TRUE(bp.State().DDO()->InitDone() || bp.State().DDO()->NumFields() == 4);
}

TEST_F(Project, MissingOrUnusableSettingsAreNamedAndKeepTheirDefaults)
{
    const QString path = folder + "/nojog.kvp";
    {
        CBackProp bp;
        bp.Initialize(path);
        bp.SetJogMax(3);
        bp.SaveConfig();
        kdb::Database db = kdb::Database::Open(path);
        db.Execute("DELETE FROM Config WHERE Property = 'JogMax'");
        db.Execute("UPDATE Config SET sValue = 'abc' WHERE Property = 'VerifyRate'");
        db.Execute("UPDATE Config SET sValue = '-3' WHERE Property = 'LayerJCount'");
        db.Execute("UPDATE Config SET sValue = '-5' WHERE Property = 'TrainHigh'");
        db.Execute("UPDATE Config SET sValue = '99999999999' WHERE Property = 'TestHigh'");
    }
    prompts.ExpectBox(MsgResult::Ok);
    prompts.ExpectBox(MsgResult::Ok);
    CBackProp bp;
    bp.Initialize(path);
    ASSERT_EQ(prompts.Boxes().size(), 2u);
    EXPECT_EQ(prompts.Boxes()[0].text, "Error\r\nBad property: JogMax");
    EXPECT_EQ(prompts.Boxes()[0].title, "CBackProp::GetProperty");
    EXPECT_EQ(prompts.Boxes()[0].icon, MsgIcon::Critical);
    // The settings that cannot be, in one box, in the order they are read.
    EXPECT_EQ(prompts.Boxes()[1].title, "CBackProp::OpenProject");
    EXPECT_EQ(prompts.Boxes()[1].text,
              "Error: 6. \n"
              "Overflow: the project's setting TrainHigh reads \"-5\", not a whole number from 0 to 2147483647.\n"
              "Overflow: the project's setting TestHigh reads \"99999999999\", not a whole number from 0 to 2147483647.\n"
              "Overflow: the project's setting LayerJCount reads \"-3\", not a whole number from 0 to 32767.\n"
              "Type mismatch: the project's setting VerifyRate reads \"abc\", not a whole number from 0 to 32767.\n"
              "Each of these settings keeps the value of a new project.");
    EXPECT_EQ(bp.JogMax(), 25);
    EXPECT_EQ(bp.VerifyRate(), 5);
    EXPECT_EQ(bp.LayerJCount(), 0);
    EXPECT_EQ(bp.CurrentNodes(), 0);
    EXPECT_EQ(bp.State().TrainHigh(), 1000);
    EXPECT_EQ(bp.State().TestHigh(), 1000);
    EXPECT_GE(host.splashHidden, 1);

    // The SFAM kind stops at the first, and names it.
    const QString sfam = folder + "/nodes.kvp";
    {
        CSFam sf;
        sf.Initialize(sfam);
        sf.SaveConfig();
        kdb::Database db = kdb::Database::Open(sfam);
        db.Execute("UPDATE Config SET sValue = '40000' WHERE Property = 'CurrentNodes'");
    }
    // Opened with its one box.
    const auto open = [&](CSFam& sf) {
        prompts.Clear();
        prompts.ExpectBox(MsgResult::Ok);
        sf.Initialize(sfam);
        EXPECT_EQ(prompts.Boxes().size(), 1u);
        EXPECT_EQ(prompts.LastBox().title, "CSFam::OpenProject");
        EXPECT_EQ(sf.CurrentNodes(), 0);
    };
    {
        CSFam sf;
        open(sf);
        EXPECT_EQ(prompts.LastBox().text,
                  "Error: 6. \nOverflow: the project's setting CurrentNodes reads \"40000\", not a whole number from 0 to 32767.");
    }

    // A negative node count is what a training call that failed once stored: the project opens
    // with no nodes, and says so.
    {
        kdb::Database db = kdb::Database::Open(sfam);
        db.Execute("UPDATE Config SET sValue = '-2' WHERE Property = 'CurrentNodes'");
        db.Execute("UPDATE Config SET sValue = '12.5' WHERE Property = 'BestTrainError'");
    }
    CSFam sf;
    open(sf);
    EXPECT_EQ(prompts.LastBox().icon, MsgIcon::Exclamation);
    EXPECT_EQ(prompts.LastBox().text, "The project's setting CurrentNodes reads \"-2\", the answer of a training call "
                                      "that failed: the network is taken to have no nodes.");
    EXPECT_EQ(sf.BestTrainError(), 12.5f);   // the open went on
}

TEST_F(Project, MissingSFamSettingStopsTheOpen)
{
    const QString path = folder + "/noalpha.kvp";
    {
        CSFam sf;
        sf.Initialize(path);
        sf.Attach(source, "Data");
        sf.SetVigBase(0.75f);
        sf.SaveConfig();
        kdb::Database db = kdb::Database::Open(path);
        db.Execute("DELETE FROM Config WHERE Property = 'Alpha'");
    }
    prompts.ExpectBox(MsgResult::Ok);
    prompts.ExpectBox(MsgResult::Ok);
    CSFam sf;
    sf.Initialize(path);
    ASSERT_EQ(prompts.Boxes().size(), 2u);
    EXPECT_EQ(prompts.Boxes()[0].text, "Error: bad property.  CSFamProject::GetProperty");
    EXPECT_EQ(prompts.Boxes()[0].title, "Error");
    EXPECT_EQ(prompts.Boxes()[1].title, "CSFam::OpenProject");
    EXPECT_TRUE(prompts.Boxes()[1].text.startsWith("Error: 13. \r\n") || prompts.Boxes()[1].text.startsWith("Error: 13. \n"))
        << prompts.Boxes()[1].text.toStdString();
    EXPECT_EQ(sf.VigBase(), 0.75f);
    EXPECT_EQ(sf.State().DDO()->NumFields(), 0);
}

TEST_F(Project, SaveConfigOfAVanishedFileShowsError53AndWritesNothing)
{
    const QString path = folder + "/gone.kvp";
    CBackProp bp;
    bp.Initialize(path);
    QFile::remove(path);
    prompts.ExpectBox(MsgResult::Ok);
    bp.SaveConfig();
    EXPECT_EQ(prompts.LastBox().title, "CBackProp::SaveConfig");
    EXPECT_TRUE(prompts.LastBox().text.contains("53")) << prompts.LastBox().text.toStdString();
    EXPECT_TRUE(prompts.LastBox().text.endsWith("File Does Not Exist"));
    EXPECT_FALSE(QFile::exists(path));
}

TEST_F(Project, AttachReplacesTheLinkAndAFailedAttachKeepsIt)
{
    const QString path = folder + "/attach.kvp";
    CBackProp bp;
    bp.Initialize(path);
    bp.Attach(source, "Data");
    bp.Attach(other, "Other");
    {
        kdb::Database db = kdb::Database::Open(path, false, true);
        const auto link = db.LinkInfo(kLink);
        ASSERT_TRUE(link);
        EXPECT_EQ(link->connect, ";DATABASE=" + other);
        EXPECT_EQ(link->sourceTable, "Other");
        EXPECT_EQ(db.TableNames().count(kLink), 1);
    }
    prompts.ExpectBox(MsgResult::Ok);
    bp.Attach(source, "NoSuchTable");
    EXPECT_EQ(prompts.LastBox().title, "CBackProp::Attach");
    kdb::Database db = kdb::Database::Open(path, false, true);
    const auto link = db.LinkInfo(kLink);
    ASSERT_TRUE(link);
    EXPECT_EQ(link->sourceTable, "Other");
    EXPECT_EQ(db.Scalar("SELECT B FROM " + kLink).toText(), "x");
}

TEST_F(Project, AttachWithoutProjectFileDoesNothing)
{
    CSFam sf;
    sf.Attach(source, "Data");
    EXPECT_EQ(sf.State().DDO()->NumFields(), 0);
}

TEST_F(Project, GetAndPutPropertyOfOneRow)
{
    const QString path = folder + "/props.kvp";
    TestBackProp bp;
    bp.Initialize(path);
    kdb::Database db = kdb::Database::Open(path);
    ProjectStore store(db);
    EXPECT_EQ(store.Property("Nothing"), std::nullopt);
    store.WriteProperty("Nothing", "1");
    store.WriteProperty("Nothing", "2");
    EXPECT_EQ(store.Property("Nothing"), "2");
    EXPECT_EQ(db.Scalar("SELECT COUNT(*) FROM Config WHERE Property='Nothing'").toInt(), 1);
    kdb::Database none;
    EXPECT_EQ(ProjectStore(none).Property("Nothing"), std::nullopt);
    EXPECT_EQ(store.Property(""), std::nullopt);
    EXPECT_TRUE(prompts.Boxes().empty());
}

TEST_F(Project, MovedDataFileIsFoundInTheProgramDataFolderAndRelinked)
{
    const QString path = folder + "/moved.kvp";
    const QString away = NetTest::MakeSource(folder, "Data", "X1 REAL, X2 REAL, Y REAL",
                                             {{1, 1.0, 10.0, 5.0}, {2, 2.0, 20.0, 6.0}}, "moving.mdb");
    {
        CBackProp bp;
        bp.Initialize(path);
        bp.Attach(away, "Data");
        NetTest::Configure(bp, {{"X1", roleInput, 0, 4}, {"Y", roleBPPredict, 0, 10}});
        bp.SaveConfig();
    }
    const QString dataFolder = AppPaths::ProgramFolder() + "/data";
    QDir().mkpath(dataFolder);
    const QString moved = dataFolder + "/moving.mdb";
    QFile::remove(moved);
    ASSERT_TRUE(QFile::rename(away, moved));

    CBackProp bp;
    bp.Initialize(path);
    EXPECT_TRUE(prompts.Boxes().empty());
    EXPECT_EQ(ConfigValue(path, "DatabaseFileName").toText(), moved);
    kdb::Database db = kdb::Database::Open(path, false, true);
    EXPECT_EQ(db.LinkInfo(kLink)->connect, ";DATABASE=" + moved);
    EXPECT_EQ(db.RecordCount(kLink), 2);
    EXPECT_EQ(bp.State().DatabaseFileName(), moved);
    EXPECT_TRUE(bp.State().DDO()->InitDone());
    QFile::remove(moved);
}

TEST_F(Project, DataFileNowhereToBeFoundClosesTheProject)
{
    const QString path = folder + "/lost.kvp";
    const QString lost = NetTest::MakeSource(folder, "Data", "X1 REAL", {{1, 1.0}}, "lost-data.mdb");
    {
        CSFam sf;
        sf.Initialize(path);
        sf.Attach(lost, "Data");
        sf.SaveConfig();
    }
    QFile::remove(lost);
    prompts.ExpectBox(MsgResult::Ok);
    CSFam sf;
    sf.Initialize(path);
    EXPECT_EQ(prompts.LastBox().title, "Project Open Error");
    EXPECT_EQ(prompts.LastBox().icon, MsgIcon::Exclamation);
    EXPECT_EQ(prompts.LastBox().text,
              "Cannot Locate Database File: \r\n" + AppPaths::ProgramFolder() + "/data/lost-data.mdb");
    EXPECT_EQ(host.closed, 1);
    EXPECT_GE(host.splashHidden, 1);
}

TEST_F(Project, UnconfiguredProjectOpensWithoutDefinition)
{
    const QString path = folder + "/empty.kvp";
    {
        CBackProp bp;
        bp.Initialize(path);
    }
    CBackProp bp;
    bp.Initialize(path);
    EXPECT_TRUE(prompts.Boxes().empty());
    EXPECT_EQ(bp.State().DDO()->NumFields(), 0);
    EXPECT_FALSE(bp.State().NetReady());
}

TEST_F(Project, RangesClearWhatDependsOnThem)
{
    const QString path = folder + "/ranges.kvp";
    TestBackProp bp;
    bp.Initialize(path);
    bp.Attach(source, "Data");
    NetTest::Configure(bp, {{"X1", roleInput, 0, 4}, {"Y", roleBPPredict, 0, 10}});
    bp.State().SetTrainHigh(3);
    bp.State().SetTestHigh(3);
    ASSERT_TRUE(bp.BuildArrays(0));
    ASSERT_TRUE(bp.BuildArrays(1));
    bp.State().SetTestLow(2);
    EXPECT_TRUE(bp.State().NetReady());
    EXPECT_TRUE(bp.State().TrainBuilt());
    bp.State().SetTrainLow(bp.State().TrainLow());
    EXPECT_FALSE(bp.State().NetReady() || bp.State().TrainBuilt() || bp.State().TestBuilt());
}

TEST_F(Project, ProjectFileNameReplacesTheFirstFile)
{
    CSFam sf;
    sf.State().SetProjectFileName(folder + "/a.kvp");
    sf.State().SetProjectFileName("");
    EXPECT_EQ(sf.State().ProjectFileName(), folder + "/a.kvp");
    sf.State().SetProjectFileName(folder + "/b.kvp");
    EXPECT_EQ(sf.State().ProjectFileName(), folder + "/b.kvp");
    EXPECT_EQ(sf.State().Project().Count(), 1);
}

TEST_F(Project, OdbcSourceIsLinkedByItsConnectStringAndNeverSearched)
{
    const QString path = folder + "/odbc.kvp";
    // A connect string well past 255 characters: the driver ignores the unknown attribute.
    const QString connect = "ODBC;DRIVER=SQLite3;Database=" + source + ";NoCreat=1;Padding=" + QString(300, 'p') + ";";
    {
        CBackProp bp;
        bp.Initialize(path);
        bp.Attach(connect, "Data");
        ASSERT_TRUE(prompts.Boxes().empty()) << prompts.LastBox().text.toStdString();
        NetTest::Configure(bp, {{"X1", roleInput, 0, 4}, {"Y", roleBPPredict, 0, 10}});
        bp.SaveConfig();
    }
    EXPECT_EQ(ConfigValue(path, "DatabaseFileName").toText(), connect);
    {
        kdb::Database db = kdb::Database::Open(path, false, true);
        EXPECT_EQ(db.LinkInfo(kLink)->connect, connect);
    }
    CBackProp bp;
    bp.Initialize(path);
    EXPECT_TRUE(prompts.Boxes().empty()) << prompts.LastBox().text.toStdString();
    EXPECT_EQ(bp.State().DatabaseFileName(), connect);
    EXPECT_EQ(host.closed, 0);

    CBackProp lower;
    lower.Initialize(folder + "/lower.kvp");
    prompts.ExpectBox(MsgResult::Ok);
    lower.Attach("odbc;DRIVER=SQLite3;Database=" + source, "Data");   // small letters: a file name
    EXPECT_EQ(prompts.LastBox().title, "CBackProp::Attach");
}

TEST_F(Project, AFailedRelinkKeepsTheOldLinkAndName)
{
    const QString path = folder + "/relink.kvp";
    const QString away = NetTest::MakeSource(folder, "Data", "X1 REAL, Y REAL", {{1, 1.0, 5.0}}, "wander.mdb");
    {
        CBackProp bp;
        bp.Initialize(path);
        bp.Attach(away, "Data");
        bp.SaveConfig();
    }
    // The program's data folder holds a file of that name, but without the table.
    const QString dataFolder = AppPaths::ProgramFolder() + "/data";
    QDir().mkpath(dataFolder);
    const QString impostor = NetTest::MakeSource(dataFolder, "Elsewhere", "Z REAL", {}, "wander.mdb");
    QFile::remove(away);

    // The file found there has no such table: the box names it and the project is closed.
    prompts.ExpectBox(MsgResult::Ok);
    CBackProp bp;
    bp.Initialize(path);
    EXPECT_TRUE(prompts.LastBox().text.startsWith("Cannot Locate Table: \r\nData")) << prompts.LastBox().text.toStdString();
    EXPECT_EQ(ConfigValue(path, "DatabaseFileName").toText(), away);
    kdb::Database db = kdb::Database::Open(path, false, true);
    EXPECT_EQ(db.LinkInfo(kLink)->connect, ";DATABASE=" + away);
    db.Close();
    QFile::remove(impostor);
}
