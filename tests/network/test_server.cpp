// Projects over a source table on a database server (a private PostgreSQL through psqlODBC):
// trained, tested and reopened as over the same table in a data file.
#include "data/columnstats.h"
#include "data/projectschema.h"
#include "kdb/backup.h"
#include "kdb/odbcreadahead.h"
#include "network/workflowflags.h"
#include "tests/kdb/pgserver.h"
#include "tests/network/netscript.h"
#include "tests/support/progresslistener.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <atomic>
#include <cmath>

namespace {
using kdb::Value;

class ServerRoad : public ::testing::Test {
protected:
    void SetUp() override { folder = TestEnv::NewFolder("serverroad"); }
    FakePrompter prompts;
    RecordingHost host;
    QString folder;
};

// The same rows in a data file's table "Data" and in the server's table "road".
QString MakeTwins(const QString& folder)
{
    QRandomGenerator rng(5);
    std::vector<QList<Value>> rows;
    QStringList values;
    for (int i = 1; i <= 400; ++i) {
        double x1 = rng.generateDouble() * 10;
        if (x1 > 4.5 && x1 < 5.5)
            x1 += 1.0;
        const double x2 = rng.generateDouble() * 10;
        const double y = 10.0 + 5.0 * std::sin(x1 / 3.0) + x2 / 2.0;
        const QString side = x1 < 5 ? "left" : "right";
        rows.push_back({i, x1, x2, y, side});
        values << QStringLiteral("(%1, %2, %3, %4, '%5')")
                      .arg(i)
                      .arg(QString::number(x1, 'g', 17), QString::number(x2, 'g', 17),
                           QString::number(y, 'g', 17), side);
    }
    pgtest::Server::Get().Sql("DROP TABLE IF EXISTS road; CREATE TABLE road (\"ID\" integer PRIMARY KEY, \"X1\" double precision, "
                              "\"X2\" double precision, \"Y\" double precision, \"Side\" text); "
                              "INSERT INTO road VALUES " + values.join(',') + ";");
    return NetTest::MakeSource(folder, "Data", "X1 DOUBLE, X2 DOUBLE, Y DOUBLE, Side TEXT", rows);
}

// An SFAM project over the source, configured and saved, not yet trained.
void ConfigureSFam(CSFam& sf, const QString& project, const QString& source, const QString& table)
{
    sf.Initialize(project);
    sf.Attach(source, table);
    NetTest::Configure(sf, {{"X1", roleInput, 0, 11}, {"X2", roleInput, 0, 10}, {"Side", roleSFamPredict}});
    sf.BuildClassList();
    sf.State().SetTrainLow(1);
    sf.State().SetTrainHigh(300);
    sf.State().SetTestLow(301);
    sf.State().SetTestHigh(400);
    sf.SaveConfig();
}

// The project trained and tested; the predictions of the testing rows by key.
QStringList TrainAndTest(CSFam& sf, const QString& project)
{
    for (int pass = 0; pass < 50; ++pass) {
        sf.Train();
        sf.Verify();
        if (sf.State().CurrentError() == 0)
            break;
    }
    sf.Revert();
    EXPECT_EQ(sf.Test(), TestOutcome::Done);
    EXPECT_LT(sf.State().CurrentError(), 10.0f);
    kdb::Database db = kdb::Database::Open(project, false, true);
    QStringList predicted;
    for (kdb::Reader r = db.Query("SELECT MainPrimaryKey, Predicted FROM Test ORDER BY MainPrimaryKey"); r.Next();)
        predicted << r.Text(0) + '=' + r.Text(1);
    return predicted;
}

QStringList SFamPredictions(const QString& project, const QString& source, const QString& table)
{
    CSFam sf;
    ConfigureSFam(sf, project, source, table);
    return TrainAndTest(sf, project);
}

// The project as versions before "schema.table" names stored it: the table's name alone, in
// its settings and in its link.
void StoreTableNameAs(const QString& project, const QString& name)
{
    kdb::Database db = kdb::Database::Open(project, false, false);
    db.Execute("UPDATE Config SET sValue = ? WHERE Property = 'TableName'", {name});
    db.Execute("UPDATE __kdb_links SET SourceTable = ? WHERE Name = '" + ProjectSchema::LinkTable() + "'", {name});
}

// Opens the project with the network object of its kind, and lets it go again.
void OpenAndClose(const QString& project, bool sfam)
{
    if (sfam) {
        CSFam sf;
        sf.Initialize(project);
    } else {
        CBackProp bp;
        bp.Initialize(project);
    }
}

// An SFAM and a back-propagation project over the server's public.road, configured and saved.
void ConfigureBothOverTheServer(const QString& sfamProject, const QString& bpProject)
{
    const QString connect = pgtest::Server::Get().Connect();
    CSFam sf;
    ConfigureSFam(sf, sfamProject, connect, "public.road");
    CBackProp bp;
    bp.Initialize(bpProject);
    bp.Attach(connect, "public.road");
    NetTest::Configure(bp, {{"X1", roleInput, 0, 11}, {"X2", roleInput, 0, 10}, {"Y", roleBPPredict, 4, 21}});
    bp.SaveConfig();
}

// Opens the project with the network object of its kind: the fields and rows of the table it
// opened.
QString OpenedTable(const QString& project, bool sfam)
{
    const auto read = [](const CDataDef* ddo) {
        return ddo ? QStringLiteral("%1 fields, %2 rows").arg(ddo->NumFields()).arg(ddo->RecordCount())
                   : QStringLiteral("no definition");
    };
    if (sfam) {
        CSFam sf;
        sf.Initialize(project);
        return read(sf.State().DDO().get());
    }
    CBackProp bp;
    bp.Initialize(project);
    return read(bp.State().DDO().get());
}

QByteArray Contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

TEST_F(ServerRoad, BothKindsTrainTestAndReopenOverTheServerAsOverTheFile)
{
    const QString file = MakeTwins(folder);
    const QString connect = pgtest::Server::Get().Connect();

    const QStringList onFile = SFamPredictions(folder + "/file.kvp", file, "Data");
    const QStringList onServer = SFamPredictions(folder + "/server.kvp", connect, "public.road");
    ASSERT_EQ(onServer.size(), 100);
    EXPECT_EQ(onServer, onFile);
    EXPECT_TRUE(prompts.Boxes().empty()) << prompts.LastBox().text.toStdString();

    const QString project = folder + "/bp.kvp";
    std::vector<long double> probe;
    double before = 0;
    {
        CBackProp bp;
        bp.Initialize(project);
        bp.Attach(connect, "public.road");
        ASSERT_TRUE(prompts.Boxes().empty()) << prompts.LastBox().text.toStdString();
        EXPECT_EQ(bp.State().DDO()->RecordCount(), 400);
        NetTest::Configure(bp, {{"X1", roleInput, 0, 11}, {"X2", roleInput, 0, 10}, {"Y", roleBPPredict, 4, 21}});
        bp.State().SetTrainLow(1);
        bp.State().SetTrainHigh(300);
        bp.State().SetTestLow(301);
        bp.State().SetTestHigh(400);
        bp.SaveConfig();
        for (int pass = 0; pass < 40; ++pass) {
            for (int k = 0; k < bp.VerifyRate(); ++k)
                bp.Train();
            bp.Verify();
        }
        bp.Revert();
        const QString read = "FROM \"public\".\"road\" ORDER BY";   // a read of rows, not the catalogue
        const int asked = int(pgtest::Server::Get().Log().count(read));
        ASSERT_EQ(bp.Test(), TestOutcome::Done);
        // The testing rows are read once, from the first of them.
        const QString log = pgtest::Server::Get().Log();
        EXPECT_EQ(int(log.count(read)) - asked, 1);
        EXPECT_TRUE(log.contains("OFFSET 300"));
        gProcess().SetIsTrained(true);
        gProcess().SetIsTested(true);
        gProcess().Save(project);
        {
            kdb::Database db = kdb::Database::Open(project, false, true);
            EXPECT_EQ(db.RecordCount("Test"), 100);
            // The testing rows are the last hundred keys of the server's table.
            EXPECT_EQ(db.Scalar("SELECT MIN(MainPrimaryKey) FROM Test").toInt(), 301);
        }
        probe.assign(size_t(bp.State().DDO()->NumFields()) + 1, 0.0);
        probe[size_t(bp.State().DDO()->FieldIndex("X1"))] = 4.0;
        probe[size_t(bp.State().DDO()->FieldIndex("X2"))] = 6.0;
        before = bp.Predict(probe);
        bp.SaveConfig();
    }
    {
        kdb::Database db = kdb::Database::Open(project, false, false);
        db.Execute("UPDATE Test SET Mark = -1 WHERE MainPrimaryKey <> 350");
    }
    CBackProp again;
    again.Initialize(project);
    ASSERT_TRUE(again.State().NetReady());
    EXPECT_EQ(again.State().DatabaseFileName(), connect);
    // A view's re-test after the reopen keeps each mark by its key.
    ASSERT_EQ(again.RetestIfNotBuilt(), TestOutcome::Done);
    {
        kdb::Database db = kdb::Database::Open(project, false, true);
        EXPECT_EQ(db.Scalar("SELECT count(*) FROM Test WHERE Mark = -1").toInt(), 99);
        EXPECT_EQ(db.Scalar("SELECT Mark FROM Test WHERE MainPrimaryKey = 350").toInt(), 0);
    }
    EXPECT_NEAR(again.Predict(probe), before, 1e-9);
    EXPECT_TRUE(prompts.Boxes().empty()) << prompts.LastBox().text.toStdString();
}

// Projects that stored the table's name without its schema reopen over the server, train and
// test as the file copy does; a table that is gone is named in one box and nothing is written.
TEST_F(ServerRoad, PlainTableNamesOfOlderProjectsReopenAndAMissingTableLeavesTheProject)
{
    const QString file = MakeTwins(folder);
    const QString connect = pgtest::Server::Get().Connect();
    const QStringList onFile = SFamPredictions(folder + "/file.kvp", file, "Data");

    const QString sfamProject = folder + "/oldsfam.kvp";
    {
        CSFam sf;
        ConfigureSFam(sf, sfamProject, connect, "public.road");
    }
    StoreTableNameAs(sfamProject, "road");
    {
        CSFam sf;
        sf.Initialize(sfamProject);
        ASSERT_TRUE(prompts.Boxes().empty()) << prompts.LastBox().text.toStdString();
        ASSERT_EQ(sf.State().DDO()->NumFields(), 5);
        EXPECT_EQ(sf.State().DDO()->RecordCount(), 400);
        EXPECT_EQ(TrainAndTest(sf, sfamProject), onFile);
    }

    const QString bpProject = folder + "/oldbp.kvp";
    {
        CBackProp bp;
        bp.Initialize(bpProject);
        bp.Attach(connect, "public.road");
        NetTest::Configure(bp, {{"X1", roleInput, 0, 11}, {"X2", roleInput, 0, 10}, {"Y", roleBPPredict, 4, 21}});
        bp.SaveConfig();
    }
    StoreTableNameAs(bpProject, "road");
    {
        CBackProp bp;
        bp.Initialize(bpProject);
        EXPECT_TRUE(prompts.Boxes().empty()) << prompts.LastBox().text.toStdString();
        EXPECT_EQ(bp.State().DDO()->NumFields(), 5);
        EXPECT_EQ(host.closed, 0);

        // A table name that finds nothing keeps the project's link and definition.
        prompts.ExpectBox(MsgResult::Ok);
        bp.Attach(connect, "nosuch");
        ASSERT_EQ(prompts.Boxes().size(), 1u);
        EXPECT_EQ(prompts.LastBox().title, "CBackProp::Attach");
        kdb::Database db = kdb::Database::Open(bpProject, false, true);
        EXPECT_EQ(db.LinkInfo(ProjectSchema::LinkTable())->sourceTable, "road");
        EXPECT_EQ(db.Scalar("SELECT COUNT(*) FROM " + ProjectSchema::LinkTable()).toInt(), 400);
    }

    // The table has gone from the server: one box that names it, for each kind, and the
    // project file (its link included) stays byte for byte.
    StoreTableNameAs(sfamProject, "roadgone");
    StoreTableNameAs(bpProject, "roadgone");
    for (const QString& project : {sfamProject, bpProject}) {
        const QByteArray before = Contents(project);
        const size_t boxes = prompts.Boxes().size();
        const int closed = host.closed;
        prompts.ExpectBox(MsgResult::Ok);
        OpenAndClose(project, project == sfamProject);
        ASSERT_EQ(prompts.Boxes().size(), boxes + 1);
        EXPECT_TRUE(prompts.LastBox().text.contains("roadgone")) << prompts.LastBox().text.toStdString();
        EXPECT_EQ(prompts.LastBox().title, "Project Open Error");
        EXPECT_EQ(host.closed, closed + 1);
        EXPECT_EQ(Contents(project), before);
    }
}

// A server that refuses the login: the driver's box says why, once, for each kind; nothing
// behind it shows a second box for the connection it did not get.
TEST_F(ServerRoad, ARefusedLoginIsOneBox)
{
    MakeTwins(folder);
    const pgtest::Server& server = pgtest::Server::Get();
    server.Sql("DROP ROLE IF EXISTS guest; CREATE ROLE guest LOGIN; GRANT SELECT ON road TO guest;");
    const QString connect = server.Connect().replace("UID=kv;", "UID=guest;");
    const QString sfamProject = folder + "/guestsfam.kvp", bpProject = folder + "/guestbp.kvp";
    {
        CSFam sf;
        ConfigureSFam(sf, sfamProject, connect, "public.road");
        CBackProp bp;
        bp.Initialize(bpProject);
        bp.Attach(connect, "public.road");
        NetTest::Configure(bp, {{"X1", roleInput, 0, 11}, {"Y", roleBPPredict, 4, 21}});
        bp.SaveConfig();
    }
    ASSERT_TRUE(prompts.Boxes().empty()) << prompts.LastBox().text.toStdString();
    // The kept logins end with the right to log in: the next open must log in again.
    server.Sql("ALTER ROLE guest NOLOGIN; SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE usename = 'guest';");
    for (const QString& project : {sfamProject, bpProject}) {
        prompts.Clear();
        prompts.ExpectBox(MsgResult::Ok);
        OpenAndClose(project, project == sfamProject);
        ASSERT_EQ(prompts.Boxes().size(), 1u) << prompts.LastBox().title.toStdString() << ": "
                                              << prompts.LastBox().text.toStdString();
        EXPECT_EQ(prompts.LastBox().title, "Open Database (3151)");
    }
}

// A connect string with a password makes every file that holds it owner-only: the project (from
// the link on), its snapshot copy and the copy's temporary file.
TEST_F(ServerRoad, FilesHoldingAPasswordAreTheOwnersAlone)
{
    MakeTwins(folder);
    pgtest::Server::Get().Sql("GRANT SELECT ON road TO guarded;");
    QString connect = pgtest::Server::Get().Connect("PWD={right};");
    connect.replace("UID=kv", "UID=guarded");
    const auto ownerOnly = [](const QString& path) {
        return QFileInfo(path).permissions() == (QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
    };
    const QString project = folder + "/guarded.kvp";
    {
        CBackProp bp;
        bp.Initialize(project);
        EXPECT_FALSE(ownerOnly(project));   // no password in it yet
        bp.Attach(connect, "public.road");
        ASSERT_TRUE(prompts.Boxes().empty()) << prompts.LastBox().text.toStdString();
        EXPECT_TRUE(ownerOnly(project));
        NetTest::Configure(bp, {{"X1", roleInput, 0, 11}, {"X2", roleInput, 0, 10}, {"Y", roleBPPredict, 4, 21}});
        bp.SaveConfig();
        EXPECT_TRUE(ownerOnly(project));
    }
    const QString snap = folder + "/guarded.snap";
    kdb::CopyDatabaseFile(project, snap);
    EXPECT_TRUE(ownerOnly(snap));
    const QString back = folder + "/back.kvp";
    kdb::CopyDatabaseFile(snap, back);
    EXPECT_TRUE(ownerOnly(back));
    CBackProp again;
    again.Initialize(back);
    EXPECT_EQ(again.State().DDO()->NumFields(), 5);
    EXPECT_TRUE(prompts.Boxes().empty()) << prompts.LastBox().text.toStdString();
}

// An older project's plain table name means the table the server reads under it (its search
// path), not the one of that name the source lists first (archive.road before public.road);
// when only schemas off the path hold the name, one box names the tables and the project's
// file stays as it was. Both kinds.
TEST_F(ServerRoad, APlainTableNameMeansTheTableTheServerReadsUnderIt)
{
    MakeTwins(folder);
    const QString sfamProject = folder + "/plainsfam.kvp";
    const QString bpProject = folder + "/plainbp.kvp";
    ConfigureBothOverTheServer(sfamProject, bpProject);
    ASSERT_TRUE(prompts.Boxes().empty()) << prompts.LastBox().text.toStdString();
    for (const QString& project : {sfamProject, bpProject})
        StoreTableNameAs(project, "road");
    const auto opened = [&](const QString& project) { return OpenedTable(project, project == sfamProject); };

    pgtest::Server::Get().Sql(R"(
        CREATE SCHEMA archive;
        CREATE TABLE archive.road (code text PRIMARY KEY, w real);
        INSERT INTO archive.road VALUES ('a', 1), ('b', 2);
    )");
    for (const QString& project : {sfamProject, bpProject})
        EXPECT_EQ(opened(project), QString("5 fields, 400 rows")) << project.toStdString();
    // One layout, other rows.
    pgtest::Server::Get().Sql(R"(
        DROP TABLE archive.road;
        CREATE TABLE archive.road AS SELECT * FROM public.road WHERE "ID" <= 40;
        ALTER TABLE archive.road ADD PRIMARY KEY ("ID");
    )");
    for (const QString& project : {sfamProject, bpProject})
        EXPECT_EQ(opened(project), QString("5 fields, 400 rows")) << project.toStdString();
    EXPECT_TRUE(prompts.Boxes().empty()) << prompts.LastBox().text.toStdString();

    // Two tables of one layout, neither on the search path: the server cannot tell.
    pgtest::Server::Get().Sql(R"(
        CREATE SCHEMA y2023;
        CREATE SCHEMA y2024;
        CREATE TABLE y2023.sales AS SELECT * FROM public.road WHERE "ID" <= 200;
        CREATE TABLE y2024.sales AS SELECT * FROM public.road WHERE "ID" > 200;
    )");
    for (const QString& project : {sfamProject, bpProject}) {
        StoreTableNameAs(project, "sales");
        const QByteArray before = Contents(project);
        const size_t boxes = prompts.Boxes().size();
        prompts.ExpectBox(MsgResult::Ok);
        EXPECT_EQ(opened(project), QString("0 fields, 0 rows")) << project.toStdString();
        ASSERT_EQ(prompts.Boxes().size(), boxes + 1);
        const QString text = prompts.LastBox().text;
        EXPECT_TRUE(text.contains("y2023.sales") && text.contains("y2024.sales")) << text.toStdString();
        EXPECT_EQ(Contents(project), before);
    }
}

// A plain name stored in other letters than the server's table is the table the server reads
// under it, as the link reads it; and a project closed lets its login go, so that the next
// open reads the login's settings (here its search_path) anew.
TEST_F(ServerRoad, APlainNameInOtherLettersOpensAndAClosedProjectLetsItsLoginGo)
{
    MakeTwins(folder);
    const QString sfamProject = folder + "/uppersfam.kvp";
    const QString bpProject = folder + "/upperbp.kvp";
    ConfigureBothOverTheServer(sfamProject, bpProject);
    pgtest::Server::Get().Sql(R"(
        CREATE SCHEMA IF NOT EXISTS archive;
        DROP TABLE IF EXISTS archive.road;
        CREATE TABLE archive.road AS SELECT * FROM public.road WHERE "ID" <= 40;
        ALTER TABLE archive.road ADD PRIMARY KEY ("ID");
    )");
    const auto opened = [&](const QString& project) { return OpenedTable(project, project == sfamProject); };
    for (const QString& project : {sfamProject, bpProject}) {
        StoreTableNameAs(project, "ROAD");
        EXPECT_EQ(opened(project), QString("5 fields, 400 rows")) << project.toStdString();
        EXPECT_TRUE(prompts.Boxes().empty()) << prompts.LastBox().text.toStdString();
    }
    // The login now reads the archive first: the next open of either kind reads its rows.
    pgtest::Server::Get().Sql("ALTER ROLE kv SET search_path TO archive, public;");
    for (const QString& project : {sfamProject, bpProject})
        EXPECT_EQ(opened(project), QString("5 fields, 40 rows")) << project.toStdString();
    pgtest::Server::Get().Sql("ALTER ROLE kv RESET search_path; DROP TABLE archive.road;");
    EXPECT_TRUE(prompts.Boxes().empty()) << prompts.LastBox().text.toStdString();
}

// A server's whole numbers past 2^53 one apart and its times, on both kinds: the statistics keep
// the spread, the arrays keep values one apart apart, and the engine takes the column; the
// check at OK reads the server's link and finds every value readable.
TEST_F(ServerRoad, WholeNumbersPast2To53AndTimesTrainOnBothKinds)
{
    constexpr long long big = 9007199254740993LL;
    QStringList values;
    for (int i = 1; i <= 40; ++i)
        values << QStringLiteral("(%1, %2, '%3:%4', %5, '%6')")
                      .arg(i)
                      .arg(big + (i * 7) % 40)
                      .arg(6 + i % 12)
                      .arg(i % 60, 2, 10, QLatin1Char('0'))
                      .arg(i * 0.25)
                      .arg(i % 2 ? "odd" : "even");
    pgtest::Server::Get().Sql("DROP TABLE IF EXISTS wide; CREATE TABLE wide (\"ID\" integer PRIMARY KEY, \"Big\" bigint, "
                              "\"Clock\" time, \"Y\" double precision, \"C\" text); INSERT INTO wide VALUES "
                              + values.join(',') + ";");
    const QString connect = pgtest::Server::Get().Connect();
    const std::vector<NetTest::Role> inputs{{"Big", roleInput, double(big - 1), double(big + 39)},
                                            {"Clock", roleInput, 0.25, 0.75}};
    NetTest::BuildOnBothKinds(
        folder, connect, "public.wide", inputs, {"Y", roleBPPredict, 0, 10}, {"C", roleSFamPredict}, 40,
        [&](CNetworkProject& net, const PatternArrays& a) {
            ASSERT_EQ(a.rows, 40);
            for (int r = 1; r <= 40; ++r)
                EXPECT_EQ(a.Pattern(1, r), float(((long double)(big + (r * 7) % 40) - (long double)(big - 1)) / 40)) << r;
            const CDataDef& ddo = *net.State().DDO();
            EXPECT_DOUBLE_EQ(ddo.FieldStdDev(ddo.FieldIndex("Big")), std::sqrt(40.0 * 41.0 / 12.0));
            EXPECT_EQ(ddo.FieldMin(ddo.FieldIndex("Big")), double(big));
            kdb::Database db = kdb::Database::Open(net.State().ProjectFileName(), false, true);
            EXPECT_FALSE(ColumnStats::FirstUnreadable(db, ProjectSchema::LinkTable(), {"Big", "Clock", "Y"}, "ID"));
        });
    EXPECT_TRUE(prompts.Boxes().empty()) << prompts.LastBox().text.toStdString();
}

// The server goes away while a test reads its testing rows (for back-propagation from a helper
// of the read once it has queued rows, the others at work; for SFAM, whose class column is read
// in pages, and for back-propagation over a table keyed by text, at the reading's first report):
// one box, the test ends, and once the server is back the project opens and tests again.
TEST_F(ServerRoad, AServerLostWhileATestReadsItsRowsIsOneBoxAndTheProjectTestsOnceItIsBack)
{
    pgtest::Server& server = pgtest::Server::Get();
    server.Sql(R"(DROP TABLE IF EXISTS far; CREATE TABLE far ("ID" integer PRIMARY KEY, "X1" double precision,
                  "X2" double precision, "Y" double precision, "Side" text);
                  INSERT INTO far SELECT i, (i * 7 % 100) / 10.0, (i * 13 % 100) / 10.0,
                                         10 + (i * 7 % 100) / 20.0 + (i * 13 % 100) / 30.0,
                                         CASE WHEN i * 7 % 100 < 50 THEN 'left' ELSE 'right' END
                                  FROM generate_series(1, 150000) i;
                  DROP TABLE IF EXISTS farnamed; CREATE TABLE farnamed AS
                      SELECT 'k' || lpad("ID"::text, 6, '0') AS "ID", "X1", "X2", "Y" FROM far;
                  ALTER TABLE farnamed ADD PRIMARY KEY ("ID");
                  CHECKPOINT;)");
    const QString connect = server.Connect();
    for (const int road : {0, 1, 2}) {
        const bool sfam = road == 1;
        const bool named = road == 2;
        const QString project = folder + (sfam ? "/farsfam.kvp" : named ? "/farnamed.kvp" : "/farbp.kvp");
        {
            std::unique_ptr<CNetworkProject> net;
            if (sfam) {
                auto sf = std::make_unique<CSFam>();
                sf->Initialize(project);
                sf->Attach(connect, "public.far");
                NetTest::Configure(*sf, {{"X1", roleInput, 0, 10}, {"X2", roleInput, 0, 10}, {"Side", roleSFamPredict}});
                sf->BuildClassList();
                net = std::move(sf);
            } else {
                auto bp = std::make_unique<CBackProp>();
                bp->Initialize(project);
                bp->Attach(connect, named ? "public.farnamed" : "public.far");
                NetTest::Configure(*bp, {{"X1", roleInput, 0, 10}, {"X2", roleInput, 0, 10}, {"Y", roleBPPredict, 9, 19}});
                net = std::move(bp);
            }
            net->State().SetTrainLow(1);
            net->State().SetTrainHigh(2000);
            net->State().SetTestLow(2001);
            net->State().SetTestHigh(150000);
            net->SaveConfig();
            net->Train();
            net->Verify();
            net->Revert();
            ASSERT_TRUE(prompts.Boxes().empty()) << prompts.LastBox().text.toStdString();
            prompts.ExpectBox(MsgResult::Ok);
            std::atomic<bool> killed{false};
            const auto kill = [&] {
                if (!killed.exchange(true))
                    server.Kill();
            };
            {
                struct ProbeOff {
                    ~ProbeOff() { kdb::detail::ReadAhead::Probe() = nullptr; }
                } probeOff;
                if (road == 0)
                    kdb::detail::ReadAhead::Probe() = [&](int, int64_t) { kill(); };
                ProgressListener listener([&](int percent) {
                    if (road != 0 && percent > 0)
                        kill();
                });
                EXPECT_EQ(net->Test(), TestOutcome::Aborted);
            }
            EXPECT_TRUE(killed);
            ASSERT_EQ(prompts.Boxes().size(), 1u) << prompts.LastBox().text.toStdString();
            EXPECT_TRUE(prompts.LastBox().text.contains("ODBC--call failed")) << prompts.LastBox().text.toStdString();
            server.Start();
            prompts.Clear();
            net->SaveConfig();
        }
        // Opened again, the project tests.
        std::unique_ptr<CNetworkProject> again;
        if (sfam)
            again = std::make_unique<CSFam>();
        else
            again = std::make_unique<CBackProp>();
        again->Initialize(project);
        ASSERT_TRUE(again->State().NetReady());
        EXPECT_EQ(again->Test(), TestOutcome::Done);
        EXPECT_TRUE(prompts.Boxes().empty()) << prompts.LastBox().text.toStdString();
        kdb::Database db = kdb::Database::Open(project, false, true);
        EXPECT_EQ(db.RecordCount("Test"), 148000) << road;
    }
}
