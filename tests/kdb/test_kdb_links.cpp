// Linked tables over a file source and over ODBC, and ODBC databases of their own.
#include "data/projectschema.h"
#include "kdbtestutil.h"

#include <QDir>
#include <QFile>

namespace {
// The project file's link table.
const QString kLink = ProjectSchema::LinkTable();
} // namespace

using namespace kdb;
using kdbtest::ErrorOf;
using kdbtest::NewPath;
using kdbtest::OdbcConnect;

namespace {

const QString kTable = QStringLiteral("Sales 'Q1' [raw]");
const QString kKey = QStringLiteral("Id Code");

// A source whose text key is stored out of key order.
QString makeSource(const QString& name = QStringLiteral("data.mdb"))
{
    const QString path = NewPath(name);
    Database db = Database::Create(path);
    db.Execute("CREATE TABLE " + QuoteIdent(kTable) + " (" + QuoteIdent(kKey)
               + " TEXT PRIMARY KEY, [x] DOUBLE, [n] INTEGER, [label] TEXT, [when] DATETIME)");
    db.Execute("CREATE UNIQUE INDEX alt ON " + QuoteIdent(kTable) + " ([n])");
    const char* keys[] = {"k07", "k02", "k10", "k01", "k05", "k03", "k09", "k04", "k08", "k06"};
    Transaction t(db);
    int i = 0;
    for (const char* k : keys) {
        db.Insert(kTable, {{kKey, k}, {"x", 0.5 * i}, {"n", 100 - i},
                           {"label", QStringLiteral("l\u00e9 %1 'q'").arg(i)},
                           {"when", QStringLiteral("2024-01-%1 06:00:00").arg(i + 10)}});
        ++i;
    }
    t.Commit();
    return path;
}

Database makeProject()
{
    Database p = Database::Create(NewPath(QStringLiteral("p.kvp")));
    p.Execute("CREATE TABLE Test (MainPrimaryKey TEXT PRIMARY KEY, Predicted REAL, Mark INTEGER)");
    return p;
}

QStringList keysOf(Reader r)
{
    QStringList keys;
    const int c = r.ColumnIndex(kKey);
    while (r.Next())
        keys << r.Text(c);
    return keys;
}

const QStringList kOrdered{"k01", "k02", "k03", "k04", "k05", "k06", "k07", "k08", "k09", "k10"};

} // namespace

TEST(KdbLinks, FileSourceInKeyOrderAndJoined)
{
    const QString src = makeSource();
    Database p = makeProject();
    p.Link(kLink, ";DATABASE=" + src, kTable);
    EXPECT_EQ(keysOf(p.ReadLinked(kLink)), kOrdered);
    EXPECT_EQ(keysOf(p.Query("SELECT * FROM " + kLink)), kOrdered);

    const QList<TableInfo> tables = p.Tables();
    ASSERT_EQ(tables.size(), 2);   // the layer's own table is not listed
    EXPECT_TRUE(tables[1].linked);
    EXPECT_EQ(tables[1].connect, ";DATABASE=" + src);
    EXPECT_EQ(tables[1].sourceTable, kTable);
    EXPECT_EQ(p.Fields(kLink).size(), 5);
    EXPECT_EQ(p.PrimaryKey(kLink), QStringList{kKey});
    EXPECT_EQ(p.RecordCount(kLink), 10);
    // Text compares ignoring case, as in Jet.
    EXPECT_EQ(p.Scalar("SELECT count(*) FROM " + kLink + " WHERE [label] = 'L\u00e9 4 ''Q'''").toInt(), 1);

    p.Insert("Test", {{"MainPrimaryKey", "k03"}, {"Predicted", 1.5}, {"Mark", -1}});
    p.Insert("Test", {{"MainPrimaryKey", "k09"}, {"Predicted", 2.5}, {"Mark", 0}});
    Reader j = p.Query("SELECT * FROM Test INNER JOIN " + kLink + " ON Test.MainPrimaryKey = "
                       + kLink + "." + QuoteIdent(kKey) + " WHERE Mark<>0;");
    ASSERT_TRUE(j.Next());
    EXPECT_EQ(j["x"].toDouble(), 2.5);
    EXPECT_FALSE(j.Next());

    // The source is read-only through the link.
    EXPECT_NE(ErrorOf([&] { p.Execute("DELETE FROM " + kLink); }), 0);
    // Opening the project again brings the link back.
    const QString path = p.Name();
    p.Close();
    Database again = Database::Open(path, false, true);
    EXPECT_EQ(keysOf(again.ReadLinked(kLink)), kOrdered);
}

TEST(KdbLinks, OdbcSourceDeliversTheSameRows)
{
    const QString src = makeSource();
    Database p = makeProject();
    p.Link(kLink, ";DATABASE=" + src, kTable);
    QList<QList<Value>> fileRows;
    for (Reader r = p.ReadLinked(kLink); r.Next();)
        fileRows << QList<Value>{r[0], r[1], r[2], r[3], r[4]};

    p.Link(kLink, OdbcConnect(src), kTable);   // replaces the file link
    EXPECT_EQ(p.LinkInfo(kLink)->connect, OdbcConnect(src));
    QList<QList<Value>> odbcRows;
    for (Reader r = p.ReadLinked(kLink); r.Next();)
        odbcRows << QList<Value>{r[0], r[1], r[2], r[3], r[4]};
    ASSERT_EQ(odbcRows.size(), 10);
    EXPECT_EQ(odbcRows, fileRows);
    EXPECT_EQ(keysOf(p.Query("SELECT * FROM " + kLink)), kOrdered);
    EXPECT_EQ(*DateSerial(odbcRows[0][4]), *DateSerial(QStringLiteral("2024-01-13 06:00:00")));

    p.Insert("Test", {{"MainPrimaryKey", "k05"}, {"Predicted", 1.0}, {"Mark", -1}});
    Reader j = p.Query("SELECT " + kLink + ".[label] FROM Test INNER JOIN " + kLink + " ON "
                       "Test.MainPrimaryKey = " + kLink + "." + QuoteIdent(kKey) + " WHERE Mark<>0;");
    ASSERT_TRUE(j.Next());
    EXPECT_EQ(j.Text(0), QStringLiteral("l\u00e9 4 'q'"));
    EXPECT_EQ(p.RecordCount(kLink), 10);
    EXPECT_EQ(p.PrimaryKey(kLink), QStringList{kKey});
    EXPECT_EQ(p.Scalar("SELECT count(*) FROM " + kLink + " WHERE [label] = 'L\u00e9 4 ''Q'''").toInt(), 1);

    const QString path = p.Name();
    p.Close();
    EXPECT_EQ(keysOf(Database::Open(path).ReadLinked(kLink)), kOrdered);
}

// SQLite keeps a text longer than the size its column declares; the ODBC driver reports the
// declared size, and the value must still come through whole, as through a file link.
TEST(KdbLinks, OdbcTextLongerThanItsDeclaredSizeComesWhole)
{
    const QString src = NewPath(QStringLiteral("sized.mdb"));
    const QString longCode = QString(100, u'x') + QStringLiteral("\u00e9nd");
    {
        Database db = Database::Create(src);
        db.Execute("CREATE TABLE t (id INTEGER PRIMARY KEY, code VARCHAR(10), kind CHAR(2), "
                   "v DOUBLE, d DATE)");
        db.Execute("INSERT INTO t VALUES (1, ?, 'abcdef', 1.5, '2021-03-04 05:06:07')", {longCode});
        db.Execute("INSERT INTO t VALUES (2, 'short', NULL, NULL, NULL)");
    }
    Database p = makeProject();
    p.Link(kLink, OdbcConnect(src), "t");
    Reader r = p.ReadLinked(kLink);
    ASSERT_TRUE(r.Next());
    EXPECT_EQ(r.Text(1), longCode);
    EXPECT_EQ(r.Text(2), QStringLiteral("abcdef"));
    EXPECT_EQ(r.Double(3), 1.5);
    EXPECT_EQ(r.Text(4), QStringLiteral("2021-03-04 05:06:07"));
    ASSERT_TRUE(r.Next());
    EXPECT_EQ(r.Text(1), QStringLiteral("short"));
    EXPECT_TRUE(r.IsNull(2));
    EXPECT_FALSE(r.Next());
}

TEST(KdbLinks, FailedReplacementKeepsTheOldLink)
{
    const QString src = makeSource();
    Database p = makeProject();
    p.Link(kLink, ";DATABASE=" + src, kTable);
    EXPECT_EQ(ErrorOf([&] { p.Link(kLink, ";DATABASE=/no/such.mdb", kTable); }), 3024);
    EXPECT_EQ(ErrorOf([&] { p.Link(kLink, ";DATABASE=" + src, "Other"); }), 3078);
    EXPECT_EQ(ErrorOf([&] { p.Link(kLink, OdbcConnect(src + ".gone"), kTable); }), 3151);
    EXPECT_EQ(ErrorOf([&] { p.RefreshLink(kLink, ";DATABASE=/no/such.mdb"); }), 3024);
    EXPECT_EQ(p.LinkInfo(kLink)->connect, ";DATABASE=" + src);
    EXPECT_EQ(keysOf(p.ReadLinked(kLink)), kOrdered);
    const QString path = p.Name();
    p.Close();
    Database again = Database::Open(path);
    EXPECT_EQ(again.LinkInfo(kLink)->connect, ";DATABASE=" + src);
    EXPECT_EQ(again.RecordCount(kLink), 10);
    // A table of the project's own is never shadowed by a link.
    EXPECT_EQ(ErrorOf([&] { again.Link("Test", ";DATABASE=" + src, kTable); }), 3010);
}

TEST(KdbLinks, MovedDataFileIsReportedAndRefreshed)
{
    const QString src = makeSource();
    Database p = makeProject();
    p.Link(kLink, ";DATABASE=" + src, kTable);
    const QString path = p.Name();
    p.Close();
    const QString moved = NewPath(QStringLiteral("moved.mdb"));
    ASSERT_TRUE(QFile::rename(src, moved));

    Database broken = Database::Open(path);   // opens; the link names its missing file
    EXPECT_TRUE(broken.HasTable(kLink));
    try {
        broken.Query("SELECT * FROM " + kLink);
        FAIL();
    } catch (const KvError& e) {
        EXPECT_EQ(e.number(), 3024);
        EXPECT_TRUE(e.description().contains(src));
    }
    broken.RefreshLink(kLink, ";DATABASE=" + moved);
    EXPECT_EQ(broken.RecordCount(kLink), 10);
    broken.Close();
    EXPECT_EQ(keysOf(Database::Open(path).ReadLinked(kLink)), kOrdered);
}

TEST(KdbLinks, DroppingTheLink)
{
    const QString src = makeSource();
    Database p = makeProject();
    p.Link(kLink, ";DATABASE=" + src, kTable);
    p.ExecuteJet("DROP TABLE " + kLink + ";");
    EXPECT_FALSE(p.HasTable(kLink));
    EXPECT_EQ(ErrorOf([&] { p.Query("SELECT * FROM " + kLink); }), 3078);
    p.Link(kLink, ";DATABASE=" + src, kTable);
    EXPECT_EQ(p.RecordCount(kLink), 10);
}

TEST(KdbOdbc, DatabaseOverAnOdbcSource)
{
    const QString src = makeSource();
    Database db = Database::OpenSource(OdbcConnect(src), true);
    EXPECT_TRUE(db.IsOdbc());
    EXPECT_EQ(db.Connect(), OdbcConnect(src));
    EXPECT_EQ(db.TableNames(), QStringList{kTable});
    const QList<FieldInfo> f = db.Fields(kTable);
    ASSERT_EQ(f.size(), 5);
    EXPECT_EQ(f[0].name, kKey);
    EXPECT_EQ(f[1].type, dbDouble);
    EXPECT_EQ(f[2].type, dbLong);
    EXPECT_EQ(db.PrimaryKey(kTable), QStringList{kKey});
    bool uniqueN = false;
    for (const IndexInfo& ix : db.Indexes(kTable))
        uniqueN = uniqueN || (ix.unique && !ix.primary && ix.fields == QStringList{"n"});
    EXPECT_TRUE(uniqueN);
    EXPECT_EQ(db.RecordCount(kTable), 10);
    // SQL of the system runs over the source's tables, made available on first use.
    const QString t = QuoteIdent(kTable);
    Reader r = db.Query("SELECT Max(" + t + ".[x]), Min(" + t + ".[x]), StDev(" + t + ".[x]) FROM " + t);
    ASSERT_TRUE(r.Next());
    EXPECT_EQ(r.Double(0), 4.5);
    EXPECT_EQ(r.Double(1), 0.0);
    EXPECT_EQ(db.Scalar("SELECT COUNT(*) FROM " + t).toInt(), 10);
    EXPECT_EQ(db.Scalar("SELECT [label] FROM " + t + " WHERE " + QuoteIdent(kKey) + " = ?", {"k02"}).toText(),
              QStringLiteral("l\u00e9 1 'q'"));
    EXPECT_EQ(ErrorOf([&] { db.Query("SELECT * FROM nothere"); }), 3078);
    EXPECT_EQ(ErrorOf([&] { db.Execute("DELETE FROM " + t); }), 3000);   // read-only
}

TEST(KdbOdbc, ConnectFailuresAndTheChooser)
{
    EXPECT_EQ(ErrorOf([&] { Database::OpenOdbc(OdbcConnect("/no/such/file.db")); }), 3151);
    EXPECT_EQ(ErrorOf([&] { Database::OpenOdbc("ODBC;"); }), 3059);   // nobody to ask
    bool asked = false;
    const DataSourceChooser old = SetDataSourceChooser([&](const QList<DataSourceEntry>&) {
        asked = true;
        return std::optional<QString>();
    });
    EXPECT_EQ(ErrorOf([&] { Database::OpenSource("ODBC;", true); }), 3059);
    EXPECT_TRUE(asked);
    SetDataSourceChooser(old);
    // Only the exact "ODBC;" marks a connect string.
    EXPECT_FALSE(IsOdbcConnect("odbc;DRIVER=SQLite3"));
    EXPECT_FALSE(IsOdbcConnect("/tmp/a ODBC;b.csv"));
    EXPECT_EQ(ErrorOf([&] { Database::OpenSource("odbc;DRIVER=SQLite3", true); }), 3024);
}
