// The kdb layer on plain database files: opening, SQL, record sets, definitions, errors.
#include "kdbtestutil.h"
#include "kdb/backup.h"
#include "tests/support/hotjournal.h"
#include "tests/support/listeningsocket.h"
#include "tests/support/namedpipe.h"
#include "tests/support/unwritable.h"

#include <QDir>
#include <QFileInfo>
#include <cstring>
#include <functional>
#include <sqlite3.h>
#include <unistd.h>

using namespace kdb;
using kdbtest::ErrorOf;
using kdbtest::NewPath;

TEST(KdbValue, ConversionsReportFailure)
{
    EXPECT_EQ(Value(" 2.5 ").ToDouble(), 2.5);
    EXPECT_EQ(Value(7).ToDouble(), 7.0);
    EXPECT_FALSE(Value("2,5").ToDouble());
    EXPECT_FALSE(Value("abc").ToDouble());
    EXPECT_FALSE(Value().ToDouble());
    EXPECT_EQ(Value("12").ToInt(), 12);
    EXPECT_EQ(Value().toText(), QString());
    EXPECT_EQ(Value(0.5).toText(), QStringLiteral("0.5"));
    EXPECT_EQ(Value(QByteArray("a\0b", 3)).type(), Value::Type::Bytes);
}

TEST(KdbValue, SerialDates)
{
    EXPECT_EQ(DateSerial(QStringLiteral("1899-12-30")), 0.0);
    EXPECT_EQ(DateSerial(QStringLiteral("1900-01-01")), 2.0);
    EXPECT_DOUBLE_EQ(*DateSerial(QStringLiteral("2000-01-01 12:00:00")), 36526.5);
    EXPECT_DOUBLE_EQ(*DateSerial(QStringLiteral("2000-01-01T06:00:00.000")), 36526.25);
    EXPECT_DOUBLE_EQ(*DateSerial(Value(36526.5)), 36526.5);
    EXPECT_FALSE(DateSerial(QStringLiteral("yesterday")));
    // Shorter forms whose order is never in doubt are read; day and month in doubt are not.
    EXPECT_DOUBLE_EQ(*DateSerial(QStringLiteral("8:50")), (8 * 60 + 50) / 1440.0);
    EXPECT_EQ(DateSerial(QStringLiteral("8:05:30")), DateSerial(QStringLiteral("08:05:30")));
    EXPECT_EQ(DateSerial(QStringLiteral("2000-1-1 6:00")), 36526.25);
    EXPECT_FALSE(DateSerial(QStringLiteral("05/01/1973")));
    EXPECT_FALSE(DateSerial(QStringLiteral("24:00")));
    EXPECT_EQ(DateText(36526.5), QStringLiteral("2000-01-01 12:00:00"));
    EXPECT_EQ(DateText(36526.0, true), QStringLiteral("2000-01-01"));
}

TEST(KdbTypes, DeclaredTypesMapToDaoCodes)
{
    int size = -1;
    EXPECT_EQ(DaoTypeFromDeclared(QStringLiteral("INTEGER")), dbLong);
    EXPECT_EQ(DaoTypeFromDeclared(QStringLiteral("Long")), dbLong);
    EXPECT_EQ(DaoTypeFromDeclared(QStringLiteral("smallint")), dbInteger);
    EXPECT_EQ(DaoTypeFromDeclared(QStringLiteral("BYTE")), dbByte);
    EXPECT_EQ(DaoTypeFromDeclared(QStringLiteral("Bit")), dbBoolean);
    EXPECT_EQ(DaoTypeFromDeclared(QStringLiteral("REAL")), dbDouble);
    EXPECT_EQ(DaoTypeFromDeclared(QStringLiteral("Single")), dbSingle);
    EXPECT_EQ(DaoTypeFromDeclared(QStringLiteral("CURRENCY")), dbCurrency);
    EXPECT_EQ(DaoTypeFromDeclared(QStringLiteral("NUMERIC(10,2)")), dbDouble);
    EXPECT_EQ(DaoTypeFromDeclared(QStringLiteral("DateTime")), dbDate);
    EXPECT_EQ(DaoTypeFromDeclared(QStringLiteral("VARCHAR(40)"), &size), dbText);
    EXPECT_EQ(size, 40);
    EXPECT_EQ(DaoTypeFromDeclared(QStringLiteral("LongText")), dbMemo);
    // ODBC drivers name long text and bytes with two words: not a Long integer.
    EXPECT_EQ(DaoTypeFromDeclared(QStringLiteral("LONG VARCHAR")), dbMemo);
    EXPECT_EQ(DaoTypeFromDeclared(QStringLiteral("long nvarchar")), dbMemo);
    EXPECT_EQ(DaoTypeFromDeclared(QStringLiteral("LONG VARBINARY")), dbLongBinary);
    EXPECT_EQ(DaoTypeFromDeclared(QStringLiteral("BLOB")), dbLongBinary);
    EXPECT_EQ(DaoTypeFromDeclared(QString()), dbText);
}

TEST(KdbOpen, RefusesWhatIsNotADatabaseAndNeverCreates)
{
    const QString missing = NewPath(QStringLiteral("missing.mdb"));
    EXPECT_EQ(ErrorOf([&] { Database::Open(missing); }), 3024);
    EXPECT_FALSE(QFileInfo::exists(missing));

    const QString text = NewPath(QStringLiteral("text.mdb"));
    kdbtest::WriteText(text, "Name,Value\nA,1\n");
    try {
        Database::Open(text);
        FAIL() << "opened a text file";
    } catch (const KvError& e) {
        EXPECT_EQ(e.number(), 3343);
        EXPECT_EQ(e.description(), QStringLiteral("Unrecognized database format '") + text + "'.");
    }
    const QString empty = NewPath(QStringLiteral("empty.kvp"));
    kdbtest::WriteText(empty, "");
    EXPECT_EQ(ErrorOf([&] { Database::Open(empty); }), 3343);
    EXPECT_EQ(QFileInfo(empty).size(), 0);

    const QString fresh = NewPath(QStringLiteral("new.kvp"));
    Database::Create(fresh).Close();
    EXPECT_TRUE(IsDatabaseFile(fresh));   // a new database is recognisable at once
    EXPECT_EQ(ErrorOf([&] { Database::Create(fresh); }), 3204);
    EXPECT_TRUE(Database::Open(fresh).IsOpen());

    // A pipe is never opened, nor a database whose journal is one: each open would wait on it
    // for good (the data file of a link is read the same way).
    const QString pipePath = NewPath(QStringLiteral("pipe.mdb"));
    const NamedPipe pipe(pipePath);
    const NamedPipe journal(fresh + QStringLiteral("-journal"));
    ASSERT_TRUE(pipe.Made() && journal.Made());
    for (const QString& path : {pipePath, fresh}) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_FALSE(IsDatabaseFile(path));
        try {
            Database::Open(path, false, true);
            ADD_FAILURE() << "opened";
        } catch (const KvError& e) {
            EXPECT_EQ(e.number(), 3051);
            EXPECT_TRUE(e.description().endsWith(QStringLiteral("Not a regular file (a named pipe)."))) << e.description().toStdString();
        }
    }
    // The snapshot's copy and a replacement recover the old file first: that waits on nothing either.
    const QString copy = NewPath(QStringLiteral("copy.kvp"));
    EXPECT_EQ(ErrorOf([&] { kdb::CopyDatabaseFile(fresh, copy); }), 3051);
    Database::Create(copy).Close();
    EXPECT_EQ(ErrorOf([&] { kdb::CopyDatabaseFile(copy, fresh); }), 3051);
    EXPECT_TRUE(IsDatabaseFile(copy));
    EXPECT_FALSE(pipe.Waited() || journal.Waited());
}

TEST(KdbOpen, ExclusiveAndReadOnly)
{
    const QString path = NewPath(QStringLiteral("x.kvp"));
    Database::Create(path).Execute("CREATE TABLE t (a INTEGER)");
    {
        Database shared = Database::Open(path);
        EXPECT_EQ(ErrorOf([&] { Database::Open(path, true, false); }), 3045);
    }
    {
        Database alone = Database::Open(path, true, false);
        EXPECT_EQ(ErrorOf([&] { Database::Open(path); }), 3045);
    }
    // A commit that writers report as done outlives a power cut: the journal's removal that
    // ends it is made durable.
    EXPECT_EQ(Database::Open(path).Scalar("PRAGMA synchronous").toInt(), 3);
    EXPECT_EQ(Database::Open(path, true, false).Scalar("PRAGMA synchronous").toInt(), 3);
    EXPECT_EQ(Database::Create(path + ".new").Scalar("PRAGMA synchronous").toInt(), 3);
    Database ro = Database::Open(path, false, true);
    EXPECT_TRUE(ro.ReadOnly());
    EXPECT_EQ(ErrorOf([&] { ro.Execute("INSERT INTO t VALUES (1)"); }), 3027);
}

// A file that another program deleted or replaced while a connection holds it open: a write
// says so, not that the database is read-only.
TEST(KdbOpen, AFileDeletedOrReplacedWhileOpenSaysSo)
{
    for (const bool replaced : {false, true}) {
        SCOPED_TRACE(replaced ? "replaced" : "deleted");
        const QString path = NewPath(replaced ? QStringLiteral("replaced.kvp") : QStringLiteral("deleted.kvp"));
        Database::Create(path).Execute("CREATE TABLE t (a INTEGER)");
        Database db = Database::Open(path);
        EXPECT_EQ(db.Scalar("SELECT COUNT(*) FROM t").toInt(), 0);
        if (replaced) {
            const QString other = path + ".other";
            Database::Create(other).Execute("CREATE TABLE t (a INTEGER)");
            ASSERT_EQ(::rename(QFile::encodeName(other).constData(), QFile::encodeName(path).constData()), 0);
        } else {
            ASSERT_TRUE(QFile::remove(path));
        }
        try {
            db.Execute("INSERT INTO t VALUES (1)");
            ADD_FAILURE() << "the write went through";
        } catch (const KvError& e) {
            EXPECT_EQ(e.number(), 3027);
            EXPECT_EQ(e.description(), "Can't update.  The file '" + path
                                           + "' was deleted or replaced by another program after it was opened.");
        }
    }
}

// The tables of a project database, made by the statements the system writes.
static void makeProjectTables(Database& db)
{
    db.ExecuteJet(
        "CREATE TABLE FieldConfig ( FieldOrder       Integer CONSTRAINT PrimaryKey PRIMARY KEY, "
        "FieldName        Text, FieldType        Text, FieldMax         Double, "
        "FieldMin         Double, FieldAvg         Double, FieldStdDev      Double, "
        "UserImportance   Integer, UserMatchType    Integer, UserMax          Double, "
        "UserMin          Double, UserOutOfRange   Integer, PrimaryKeyField  Bit  );");
    db.ExecuteJet("CREATE TABLE Snapshots ( DateSaved        DateTime CONSTRAINT PrimaryKey "
                  "PRIMARY KEY, ErrorAtSave      Single, Snapshot         LongText  );");
    db.ExecuteJet("CREATE TABLE Config ( Property         Text(255) CONSTRAINT PrimaryKey PRIMARY "
                  "KEY, sValue            Text(255)  );");
}

TEST(KdbJet, ProjectStatementsRunWithJetSemantics)
{
    Database db = Database::Create(NewPath(QStringLiteral("p.kvp")));
    makeProjectTables(db);
    EXPECT_EQ(db.TableNames(), (QStringList{"FieldConfig", "Snapshots", "Config"}));

    db.Insert("Config", {{"Property", "DatabaseFileName"}, {"sValue", "/data/a.mdb"}});
    // Jet compares text ignoring case: the key and the lookups follow that.
    EXPECT_EQ(db.Scalar("SELECT sValue FROM Config WHERE Property = 'DATABASEFILENAME'").toText(),
              QStringLiteral("/data/a.mdb"));
    EXPECT_EQ(ErrorOf([&] { db.Insert("Config", {{"Property", "databasefilename"}}); }), 3022);
    // Text(255) holds 255 characters and refuses more, as Jet does.
    db.Upsert("Config", {{"sValue", QString(255, u'x')}}, "Property", "Long");
    EXPECT_EQ(ErrorOf([&] {
                  db.Upsert("Config", {{"sValue", QString(256, u'x')}}, "Property", "Long");
              }),
              3163);
    EXPECT_EQ(db.Scalar("SELECT length(sValue) FROM Config WHERE Property='Long'").toInt(), 255);

    const QList<FieldInfo> f = db.Fields("Config");
    ASSERT_EQ(f.size(), 2);
    EXPECT_EQ(f[0].type, dbText);
    EXPECT_EQ(f[0].size, 255);
    EXPECT_EQ(db.Fields("FieldConfig").last().type, dbBoolean);
    EXPECT_EQ(db.Fields("Snapshots")[0].type, dbDate);
    EXPECT_EQ(db.Fields("Snapshots")[2].type, dbMemo);

    db.ExecuteJet("CREATE TABLE Test ( MainPrimaryKey Long CONSTRAINT PrimaryKey PRIMARY KEY, "
                  "Predicted Single, Difference Single, Mark Integer );");
    db.ExecuteJet("DROP TABLE TEST;");
    db.ExecuteJet("CREATE TABLE Test ( MainPrimaryKey Long CONSTRAINT PrimaryKey PRIMARY KEY, "
                  "Predicted Text(255), Mark Integer );");
    EXPECT_EQ(db.PrimaryKey("Test"), QStringList{"MainPrimaryKey"});
}

TEST(KdbJet, ImportTableWithAutoNumberKey)
{
    Database db = Database::Create(NewPath(QStringLiteral("imp.mdb")));
    db.ExecuteJet("CREATE TABLE sales ( Count AUTOINCREMENT CONSTRAINT PrimaryKey PRIMARY KEY, "
                  "[a] LONG, [b] SINGLE, [c] Text(255));");
    for (int i = 0; i < 3; ++i)
        db.Insert("sales", {{"a", i}, {"b", 0.5 * i}, {"c", QStringLiteral(" t%1 ").arg(i)}});
    EXPECT_EQ(db.Scalar("SELECT max(Count) FROM sales").toInt(), 3);
    const QList<FieldInfo> f = db.Fields("sales");
    EXPECT_TRUE(f[0].autoNumber);
    EXPECT_EQ(f[0].type, dbLong);
    EXPECT_EQ(f[2].type, dbSingle);
    EXPECT_EQ(db.Scalar("SELECT c FROM sales WHERE Count = 2").toText(), QStringLiteral(" t1 "));
}

TEST(KdbJet, ClassListStatements)
{
    Database db = Database::Create(NewPath(QStringLiteral("c.kvp")));
    db.Execute("CREATE TABLE src (k INTEGER PRIMARY KEY, [p q] TEXT)");
    for (const char* v : std::initializer_list<const char*>{"b", "A", "a", nullptr, "B", "c"})
        db.Insert("src", {{"p q", v ? Value(v) : Value()}});
    db.ExecuteJet("SELECT src.[p q] As Class, Count([p q]) AS Total INTO Classes FROM src WHERE Not "
                  "IsNull(src.[p q]) GROUP BY src.[p q];");
    db.ExecuteJet("ALTER TABLE Classes ADD COLUMN ClassNum AUTOINCREMENT CONSTRAINT PrimaryKey "
                  "PRIMARY KEY;");
    Snapshot s = db.OpenSnapshot("SELECT * FROM Classes ORDER BY ClassNum");
    ASSERT_EQ(s.RecordCount(), 3);   // a/A and b/B group together, Null left out
    EXPECT_EQ(s.Columns(), (QStringList{"Class", "Total", "ClassNum"}));
    EXPECT_EQ(s.Row(0).at(1).toInt(), 2);
    EXPECT_EQ(s.Row(2).at(0).toText(), QStringLiteral("c"));
    EXPECT_EQ(s.Row(2).at(2).toInt(), 3);
    EXPECT_TRUE(db.Fields("Classes")[2].autoNumber);
}

TEST(KdbJet, AggregatesOfTheEngine)
{
    Database db = Database::Create(NewPath(QStringLiteral("s.mdb")));
    db.Execute("CREATE TABLE t (x DOUBLE, d DATETIME)");
    db.Execute("INSERT INTO t VALUES (2, '2000-01-01'), (4, '2000-01-03'), (NULL, NULL)");
    Reader r = db.Query("SELECT Max([t].[x]), Min([t].[x]), Avg([t].[x]), StDev([t].[x]), "
                        "StDev(DateSerial(d)), Max(DateSerial(d)) FROM [t];");
    ASSERT_TRUE(r.Next());
    EXPECT_EQ(r.Double(0), 4.0);
    EXPECT_DOUBLE_EQ(r.Double(3), std::sqrt(2.0));
    EXPECT_DOUBLE_EQ(r.Double(4), std::sqrt(2.0));
    EXPECT_EQ(r.Double(5), 36528.0);
    EXPECT_TRUE(db.Scalar("SELECT StDev(x) FROM t WHERE x = 2").isNull());
}

TEST(KdbNames, OddNamesAndValuesRoundTrip)
{
    Database db = Database::Create(NewPath(QStringLiteral("odd names.mdb")));
    const QString table = QStringLiteral("Tab 'le' [x] \"q\" é");
    const QStringList cols{"it's", "a [b]", "sp ace", "na\u00efve", "quo\"te"};
    QStringList defs;
    for (const QString& c : cols)
        defs << QuoteIdent(c) + " TEXT";
    db.Execute("CREATE TABLE " + QuoteIdent(table) + " (id INTEGER PRIMARY KEY, " + defs.join(',') + ")");
    Assignments row;
    for (const QString& c : cols)
        row << std::pair{c, Value(QStringLiteral("it's \"v\" [") + c + "] ; --")};
    db.Insert(table, row);
    EXPECT_TRUE(db.HasTable(table));
    QStringList names;
    for (const FieldInfo& f : db.Fields(table))
        names << f.name;
    EXPECT_EQ(names.mid(1), cols);
    Reader r = db.Query("SELECT * FROM " + QuoteIdent(table) + " WHERE " + QuoteIdent("it's") + " = ?",
                        {QStringLiteral("it's \"v\" [it's] ; --")});
    ASSERT_TRUE(r.Next());
    for (const QString& c : cols)
        EXPECT_EQ(r[c].toText(), QStringLiteral("it's \"v\" [") + c + "] ; --");
    EXPECT_EQ(db.Update(table, {{"sp ace", "x"}}, "na\u00efve", QStringLiteral("it's \"v\" [na\u00efve] ; --")), 1);
}

TEST(KdbRecords, ForwardSnapshotAndKeyedWrites)
{
    Database db = Database::Create(NewPath(QStringLiteral("r.mdb")));
    db.Execute("CREATE TABLE t (k INTEGER PRIMARY KEY, v TEXT)");
    {
        Transaction tx(db);
        Statement ins = db.Prepare("INSERT INTO t VALUES (?, ?)");
        for (int i = 1; i <= 10; ++i)
            ins.Run({i, QStringLiteral("Row%1").arg(i)});
        tx.Commit();
    }
    Reader r = db.Query("SELECT k FROM t ORDER BY k");
    EXPECT_EQ(r.Skip(3), 3);
    ASSERT_TRUE(r.Next());
    EXPECT_EQ(r.Int(0), 4);
    EXPECT_EQ(r.Skip(100), 6);
    EXPECT_EQ(ErrorOf([&] { r.Get(0); }), 3021);
    // A reader moved over one mid-read: the statement it held goes back to the cache, free for
    // the next query of its text; a reader moved onto itself reads on.
    Reader a = db.Query("SELECT k FROM t ORDER BY k");
    ASSERT_TRUE(a.Next());
    Reader b = db.Query("SELECT k FROM t ORDER BY k DESC");
    ASSERT_TRUE(b.Next());
    a = std::move(b);
    Reader c = db.Query("SELECT k FROM t ORDER BY k");
    ASSERT_TRUE(c.Next());
    EXPECT_EQ(c.Int(0), 1);
    Reader& same = a;
    a = std::move(same);
    ASSERT_TRUE(a.Next());
    EXPECT_EQ(a.Int(0), 9);

    Snapshot s = db.OpenSnapshot("SELECT * FROM t");
    s.MoveLast();
    EXPECT_EQ(s.RecordCount(), 10);
    EXPECT_TRUE(s.FindFirst("v", "ROW7"));
    EXPECT_EQ(s["k"].toInt(), 7);
    EXPECT_TRUE(s.FindFirst("k", "5"));   // numbers by value
    EXPECT_FALSE(s.FindFirst("v", "Row11"));
    EXPECT_TRUE(s.NoMatch());
    EXPECT_EQ(s["k"].toInt(), 5);         // a miss keeps the current row
    EXPECT_EQ(ErrorOf([&] { s["nope"]; }), 3265);

    EXPECT_EQ(db.Update("t", {{"v", "x"}}, "k", 3), 1);
    EXPECT_EQ(db.Delete("t", "k", 3), 1);
    db.Upsert("t", {{"v", "back"}}, "k", 3);
    EXPECT_EQ(db.Scalar("SELECT v FROM t WHERE k = ?", {3}).toText(), QStringLiteral("back"));
    EXPECT_EQ(ErrorOf([&] { db.Insert("t", {{"k", 3}}); }), 3022);
    EXPECT_EQ(ErrorOf([&] { db.Query("SELECT * FROM nothere"); }), 3078);
    EXPECT_EQ(db.RecordCount("t"), 10);
}

TEST(KdbRecords, TransactionsRollBackUnlessCommitted)
{
    Database db = Database::Create(NewPath(QStringLiteral("tx.mdb")));
    db.Execute("CREATE TABLE t (k INTEGER PRIMARY KEY)");
    {
        Transaction outer(db);
        db.Insert("t", {{"k", 1}});
        {
            Transaction inner(db);
            db.Insert("t", {{"k", 2}});
        }   // inner rolled back
        outer.Commit();
    }
    EXPECT_EQ(db.RecordCount("t"), 1);
    try {
        Transaction tx(db);
        db.Insert("t", {{"k", 5}});
        db.Insert("t", {{"k", 1}});   // duplicate: the whole group goes
        tx.Commit();
    } catch (const KvError& e) {
        EXPECT_EQ(e.number(), 3022);
    }
    EXPECT_EQ(db.RecordCount("t"), 1);
}

TEST(KdbRecords, LongValuesInChunks)
{
    Database db = Database::Create(NewPath(QStringLiteral("b.kvp")));
    makeProjectTables(db);
    QByteArray file;
    for (int i = 0; i < 5000; ++i)
        file.append(char(i % 256));
    const QString when = DateText(QDateTime(QDate(2024, 5, 1), QTime(10, 0)));
    db.Insert("Snapshots", {{"DateSaved", when}});
    Database::BlobWriter w(db, "Snapshots", "Snapshot", "DateSaved", when);
    for (int pos = 0; pos < file.size(); pos += 2048)
        w.AppendChunk(file.mid(pos, 2048));
    w.Finish();
    Reader r = db.Query("SELECT Snapshot FROM Snapshots ORDER BY DateSaved DESC;");
    ASSERT_TRUE(r.Next());
    const Value v = r.Get(0);
    EXPECT_EQ(v.type(), Value::Type::Bytes);
    QByteArray back;
    const int64_t size = Database::FieldSize(v);
    for (int64_t pos = 0; pos < size; pos += 2048)
        back += Database::GetChunk(v, pos, qMin<int64_t>(2048, size - pos));
    EXPECT_EQ(back, file);
    Database::BlobWriter none(db, "Snapshots", "Snapshot", "DateSaved", "1999-01-01");
    EXPECT_EQ(ErrorOf([&] { none.Finish(); }), 3021);
}

TEST(KdbDefinitions, KeysAndAutoNumbersAreToldApart)
{
    Database db = Database::Create(NewPath(QStringLiteral("keys.mdb")));
    db.Execute("CREATE TABLE nokey (a INTEGER, b TEXT)");
    db.Execute("CREATE TABLE textkey (code TEXT PRIMARY KEY, v REAL)");
    db.Execute("CREATE TABLE autokey (id INTEGER PRIMARY KEY AUTOINCREMENT, v REAL)");
    db.Execute("CREATE TABLE twokey (a INTEGER, b INTEGER, PRIMARY KEY (a, b))");
    db.Execute("CREATE TABLE uniq (a INTEGER, b INTEGER UNIQUE)");

    EXPECT_TRUE(db.Indexes("nokey").isEmpty());
    EXPECT_TRUE(db.PrimaryKey("nokey").isEmpty());

    const QList<IndexInfo> t = db.Indexes("textkey");
    ASSERT_EQ(t.size(), 1);
    EXPECT_TRUE(t[0].primary);
    EXPECT_EQ(t[0].fields, QStringList{"code"});
    EXPECT_FALSE(db.Fields("textkey")[0].autoNumber);
    EXPECT_EQ(db.Fields("textkey")[0].type, dbText);

    const QList<IndexInfo> a = db.Indexes("autokey");
    ASSERT_EQ(a.size(), 1);
    EXPECT_TRUE(a[0].primary);
    EXPECT_EQ(a[0].name, QStringLiteral("PrimaryKey"));
    EXPECT_TRUE(db.Fields("autokey")[0].autoNumber);

    EXPECT_EQ(db.Indexes("twokey")[0].fields, (QStringList{"a", "b"}));
    const QList<IndexInfo> u = db.Indexes("uniq");
    ASSERT_EQ(u.size(), 1);
    EXPECT_FALSE(u[0].primary);
    EXPECT_TRUE(u[0].unique);
    EXPECT_EQ(ErrorOf([&] { db.Fields("none"); }), 3078);
}

TEST(KdbJet, TranslationLeavesStringsAlone)
{
    const QStringList out = TranslateJet(
        "SELECT 'IsNull(x) INTO y' AS s, a INTO [new t] FROM t GROUP BY a, lower(b) ORDER BY a;");
    ASSERT_EQ(out.size(), 1);
    EXPECT_EQ(out[0], QStringLiteral("CREATE TABLE [new t] AS SELECT 'IsNull(x) INTO y' AS s, a  "
                                     "FROM t GROUP BY a COLLATE NOCASE, lower(b) COLLATE NOCASE "
                                     "ORDER BY a"));
}

TEST(KdbJet, StringsPowersAndCStrOfJetQueries)
{
    Database db = Database::Create(NewPath(QStringLiteral("q.kvp")));
    db.Execute("CREATE TABLE t (k INTEGER PRIMARY KEY, x DOUBLE, s TEXT)");
    db.Execute("INSERT INTO t VALUES (1, 1, 'a'), (2, 3, '-123.456'), (3, 2.5, 'B'), (4, 2, '2')");
    QList<int64_t> keys;
    for (Reader r = db.QueryJet("SELECT t.k FROM t WHERE (((t.s)<>\"-123.456\")) "
                                "ORDER BY (t.[x] - 2.5) ^2 + (t.k - 1) ^2 ;");
         r.Next();)
        keys << r.Int(0);
    EXPECT_EQ(keys, (QList<int64_t>{1, 3, 4}));   // distances 2.25, 4, 9.25
    EXPECT_EQ(db.QueryJet("SELECT count(*) FROM t WHERE CStr([x]) = [s]").Skip(1), 1);
    EXPECT_EQ(db.Scalar("SELECT count(*) FROM t WHERE CStr([x]) = [s]").toInt(), 1);   // 2 = "2"
    EXPECT_DOUBLE_EQ(db.Scalar(TranslateJet("SELECT 2 ^ 3 ^ 2").first()).toDouble(), 64.0);
    EXPECT_EQ(TranslateJet("SELECT \"it's\" AS a", true).first(), QStringLiteral("SELECT 'it''s' AS a"));
    EXPECT_EQ(TranslateJet("SELECT \"it's\" AS a").first(), QStringLiteral("SELECT \"it's\" AS a"));
    // Names quoted by the layer keep working in Jet DDL, with their size checks.
    db.ExecuteJet("CREATE TABLE " + QuoteIdent("my \"t\"") + " (" + QuoteIdent("it's") + " Text(3))");
    db.Insert("my \"t\"", {{"it's", "abc"}});
    EXPECT_EQ(ErrorOf([&] { db.Insert("my \"t\"", {{"it's", "abcd"}}); }), 3163);
    // A name holding "%1" or "%2" (a header such as "Growth %1") is no placeholder.
    db.ExecuteJet("CREATE TABLE pct ([r%1] Text(3), [p%2] Text(3))");
    db.Insert("pct", {{"r%1", "abc"}, {"p%2", "abc"}});
    EXPECT_EQ(ErrorOf([&] { db.Insert("pct", {{"r%1", "abcd"}}); }), 3163);
    EXPECT_EQ(ErrorOf([&] { db.Insert("pct", {{"p%2", "abcd"}}); }), 3163);
}

TEST(KdbOpen, AJournalLeftWithNothingToPlayBackGoesAtTheNextWritableOpen)
{
    const QString path = NewPath(QStringLiteral("stale.db"));
    {
        Database db = Database::Create(path);
        db.Execute(QStringLiteral("CREATE TABLE t (a INTEGER)"));
        db.Execute(QStringLiteral("INSERT INTO t VALUES (1), (2)"));
    }
    // What a program killed as it began to write leaves behind: an empty journal.
    const QString journal = path + QStringLiteral("-journal");
    {
        QFile f(journal);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    {
        Database reader = Database::Open(path, false, true);   // a read-only open leaves it
        EXPECT_EQ(reader.Scalar(QStringLiteral("SELECT COUNT(*) FROM t")).toInt(), 2);
    }
    EXPECT_TRUE(QFileInfo::exists(journal));
    Database db = Database::Open(path, false, false);
    EXPECT_FALSE(QFileInfo::exists(journal));
    EXPECT_EQ(db.Scalar(QStringLiteral("SELECT COUNT(*) FROM t")).toInt(), 2);
    EXPECT_EQ(db.Scalar(QStringLiteral("PRAGMA integrity_check")).toText(), QStringLiteral("ok"));
}

namespace {

// A database with a table Marker ('old') and, beside it, the hot journal of a writer killed
// while it changed Marker to 'new' and grew a table.
void LeaveHotJournal(const QString& path)
{
    QFile::remove(path);
    {
        Database db = Database::Create(path);
        db.Execute(QStringLiteral("CREATE TABLE Marker (v TEXT)"));
        db.Execute(QStringLiteral("CREATE TABLE Bulk (b BLOB)"));
        db.Execute(QStringLiteral("INSERT INTO Marker VALUES ('old')"));
    }
    KillPoint::LeaveHotJournal(path, QStringLiteral("UPDATE Marker SET v = 'new'"));
}

} // namespace

// Every read-only road finishes what a killed writer left (its hot journal) and reads the last
// committed state; where the file cannot be written, the open says so and leaves it as it was.
TEST(KdbOpen, ReadOnlyRoadsRecoverAFileWhoseWriterWasKilled)
{
    const QString path = NewPath(QStringLiteral("killed.db"));
    const QString journal = path + QStringLiteral("-journal");
    LeaveHotJournal(path);
    {
        Database db = Database::Open(path, false, true);
        EXPECT_EQ(db.Scalar(QStringLiteral("SELECT v FROM Marker")).toText(), QStringLiteral("old"));
        EXPECT_EQ(db.RecordCount(QStringLiteral("Bulk")), 0);
    }
    EXPECT_FALSE(QFileInfo::exists(journal));

    // A data file reached through a link, read-only.
    LeaveHotJournal(path);
    {
        const QString project = QFileInfo(path).absolutePath() + QStringLiteral("/project.db");
        Database db = Database::Create(project);
        db.Link(QStringLiteral("Source"), QStringLiteral(";DATABASE=") + path, QStringLiteral("Marker"));
        EXPECT_EQ(db.Scalar(QStringLiteral("SELECT v FROM Source")).toText(), QStringLiteral("old"));
    }
    EXPECT_FALSE(QFileInfo::exists(journal));

    // The source of a whole-file copy.
    LeaveHotJournal(path);
    const QString copy = QFileInfo(path).absolutePath() + QStringLiteral("/copy.db");
    CopyDatabaseFile(path, copy);
    EXPECT_EQ(Database::Open(copy, false, true).Scalar(QStringLiteral("SELECT v FROM Marker")).toText(),
              QStringLiteral("old"));

    // A file or a folder that cannot be written: one clear reason, nothing changed, neither the
    // journal nor the file (played back, its journal could not be removed after).
    const auto bytes = [](const QString& file) {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    for (const QString& locked : {path, QFileInfo(path).absolutePath()}) {
        LeaveHotJournal(path);
        const QByteArray before = bytes(journal);
        const QByteArray file = bytes(path);
        {
            Unwritable guard(locked);
            ASSERT_TRUE(guard.Done());
            try {
                Database::Open(path, false, true);
                ADD_FAILURE() << "opened";
            } catch (const KvError& e) {
                EXPECT_EQ(e.number(), 3051);
                EXPECT_TRUE(e.description().contains(QStringLiteral("killed.db-journal"))) << e.what();
                EXPECT_TRUE(e.description().contains(locked == path ? QStringLiteral("the file itself cannot be written")
                                                                    : QStringLiteral("its folder")))
                    << e.what();
            }
            EXPECT_EQ(ErrorOf([&] { CopyDatabaseFile(path, copy); }), 3051);
            EXPECT_TRUE(bytes(journal) == before);
            EXPECT_TRUE(bytes(path) == file);
        }
        EXPECT_EQ(Database::Open(path, false, true).Scalar(QStringLiteral("SELECT v FROM Marker")).toText(),
                  QStringLiteral("old"));
    }
}

// A file replaced or removed while a killed writer's journal lies beside it: a kill after any
// step leaves under its name the old file whole (its journal played back or still beside it),
// the new file alone, or nothing, never a file beside another's journal. Each copy is opened
// as the next start opens it.
TEST(KdbReplace, AKillAtAnyStepLeavesOneWholeFile)
{
    const QString path = NewPath(QStringLiteral("target.db"));
    const QString folder = QFileInfo(path).absolutePath();
    const auto marker = [](const QString& file) {
        Database db = Database::Open(file);
        const QString v = db.Scalar(QStringLiteral("SELECT v FROM Marker")).toText();
        EXPECT_EQ(db.Scalar(QStringLiteral("PRAGMA integrity_check")).toText(), QStringLiteral("ok")) << file.toStdString();
        if (v == QStringLiteral("old")) {
            EXPECT_EQ(db.RecordCount(QStringLiteral("Bulk")), 0) << file.toStdString();
        }
        return v;
    };
    LeaveHotJournal(path);
    const QString temp = folder + QStringLiteral("/new.tmp");
    {
        Database db = Database::Create(temp);
        db.Execute(QStringLiteral("CREATE TABLE Marker (v TEXT)"));
        db.Execute(QStringLiteral("INSERT INTO Marker VALUES ('replacement')"));
    }
    QStringList seen;
    {
        KillPoint::StepCopies steps(folder, {QStringLiteral("target.db")});
        ReplaceDatabaseFile(temp, path);
        ASSERT_EQ(steps.Steps(), (QStringList{"recovered", "cleared", "renamed"}));
        for (const QString& copy : steps.Folders())
            seen << marker(copy + QStringLiteral("/target.db"));
    }
    EXPECT_EQ(seen, (QStringList{"old", "old", "replacement"}));
    EXPECT_FALSE(QFileInfo::exists(temp));
    EXPECT_FALSE(QFileInfo::exists(path + QStringLiteral("-journal")));
    EXPECT_EQ(marker(path), QStringLiteral("replacement"));

    // Removed: the journal is played back first, so that what a kill leaves can never damage a
    // later file of that name (the user copies a backup back).
    LeaveHotJournal(path);
    {
        KillPoint::StepCopies steps(folder, {QStringLiteral("target.db")});
        RemoveDatabaseFile(path);
        ASSERT_EQ(steps.Steps(), QStringList{"removed"});
        const QString left = steps.Folders()[0] + QStringLiteral("/target.db");
        EXPECT_FALSE(QFileInfo::exists(left));
        const QString backup = folder + QStringLiteral("/backup.db");
        {
            Database db = Database::Create(backup);
            db.Execute(QStringLiteral("CREATE TABLE Marker (v TEXT)"));
            db.Execute(QStringLiteral("CREATE TABLE Bulk (b BLOB)"));
            db.Execute(QStringLiteral("INSERT INTO Marker VALUES ('backup')"));
        }
        ASSERT_TRUE(QFile::copy(backup, left));
        QFile::remove(backup);
        EXPECT_EQ(marker(left), QStringLiteral("backup"));
    }
    EXPECT_TRUE(QDir(folder).entryList(QDir::Files | QDir::Hidden).isEmpty())
        << QDir(folder).entryList(QDir::Files | QDir::Hidden).join(u' ').toStdString();
}

namespace {

// A database with a table Marker holding `value`.
void MakeMarked(const QString& path, const char* value)
{
    Database db = Database::Create(path);
    db.Execute(QStringLiteral("CREATE TABLE Marker (v TEXT)"));
    db.Execute(QStringLiteral("INSERT INTO Marker VALUES (?)"), {QString::fromLatin1(value)});
}

QString MarkerOf(const QString& path)
{
    return Database::Open(path, false, true).Scalar(QStringLiteral("SELECT v FROM Marker")).toText();
}

} // namespace

// Another program inside a write of the file (its lock taken, its journal beside it): the file
// is in use, and neither a replacement, a copy over it nor a removal touches the file or the
// journal; the writer's commit lands in the file that keeps the name.
TEST(KdbReplace, AFileAnotherProgramIsWritingIsInUseAndKeepsBothFiles)
{
    const QString path = NewPath(QStringLiteral("busy.db"));
    const QString folder = QFileInfo(path).absolutePath();
    const QString journal = path + QStringLiteral("-journal");
    MakeMarked(path, "old");
    const QString temp = folder + QStringLiteral("/new.tmp");
    const QString other = folder + QStringLiteral("/other.db");
    MakeMarked(other, "other");
    for (const char* begin : {"BEGIN", "BEGIN EXCLUSIVE"}) {
        SCOPED_TRACE(begin);
        QFile::remove(temp);
        MakeMarked(temp, "replacement");
        sqlite3* writer = nullptr;
        ASSERT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &writer), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(writer, begin, nullptr, nullptr, nullptr), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(writer, "UPDATE Marker SET v = 'writer'", nullptr, nullptr, nullptr), SQLITE_OK);
        ASSERT_TRUE(QFileInfo::exists(journal));
        const auto inUse = [&](const std::function<void()>& step) {
            try {
                step();
                ADD_FAILURE() << "went on";
            } catch (const KvError& e) {
                EXPECT_EQ(e.number(), 3045);
                EXPECT_EQ(e.description(), "Couldn't use '" + path
                                               + "'; file already in use.  Another program is writing it: try again "
                                                 "when it has finished.");
            }
            EXPECT_TRUE(QFileInfo::exists(journal));
        };
        inUse([&] { ReplaceDatabaseFile(temp, path); });
        EXPECT_TRUE(QFileInfo::exists(temp));
        inUse([&] { CopyDatabaseFile(other, path); });
        inUse([&] { RemoveDatabaseFile(path); });
        ASSERT_EQ(sqlite3_exec(writer, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(writer);
        EXPECT_EQ(MarkerOf(path), QStringLiteral("writer"));
        Database::Open(path).Execute(QStringLiteral("UPDATE Marker SET v = 'old'"));
    }
    ReplaceDatabaseFile(temp, path);
    EXPECT_EQ(MarkerOf(path), QStringLiteral("replacement"));
}

// Every open, copy and replacement takes a log ("-wal") beside a file as it takes a journal: one
// that is no regular file is refused, one beside a file that keeps no log is never written into
// it; a file in the log mode reads its own.
TEST(KdbOpen, ALogBesideAFileIsTakenAsAJournalIs)
{
    const QString path = NewPath(QStringLiteral("plain.db"));
    const QString folder = QFileInfo(path).absolutePath();
    const QString log = path + QStringLiteral("-wal");
    MakeMarked(path, "plain");
    const auto bytes = [](const QString& file) {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    const QByteArray before = bytes(path);
    const auto refused = [&](const QString& words) {
        for (const auto& step : std::initializer_list<std::function<void()>>{
                 [&] { Database::Open(path); }, [&] { Database::Open(path, false, true); },
                 [&] { CopyDatabaseFile(path, folder + QStringLiteral("/copy.db")); }}) {
            try {
                step();
                ADD_FAILURE() << "opened";
            } catch (const KvError& e) {
                EXPECT_EQ(e.number(), 3051);
                EXPECT_TRUE(e.description().contains(words)) << e.what();
            }
        }
        EXPECT_EQ(bytes(path), before);
        EXPECT_TRUE(QFileInfo::exists(log));
        EXPECT_FALSE(QFileInfo::exists(folder + QStringLiteral("/copy.db")));
    };
    {
        NamedPipe pipe(log);
        ASSERT_TRUE(pipe.Made());
        refused(QStringLiteral("The log 'plain.db-wal' beside it: Not a regular file (a named pipe)."));
        EXPECT_FALSE(pipe.Waited());
    }

    // The log of another file, which holds a change of its own.
    const QString walFile = folder + QStringLiteral("/logged.db");
    MakeMarked(walFile, "logged");
    QByteArray logged;
    const QByteArray foreign = KillPoint::LogOfChange(walFile, "UPDATE Marker SET v = 'from the log'", &logged);
    ASSERT_FALSE(foreign.isEmpty());
    {
        QFile f(log);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(foreign);
    }
    refused(QStringLiteral("The log 'plain.db-wal' beside it does not belong to it"));
    QFile::remove(log);
    EXPECT_EQ(MarkerOf(path), QStringLiteral("plain"));

    // A file in the log mode, with its log as a killed writer left it.
    {
        QFile f(walFile);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(logged);
        QFile l(walFile + QStringLiteral("-wal"));
        ASSERT_TRUE(l.open(QIODevice::WriteOnly));
        l.write(foreign);
    }
    EXPECT_EQ(MarkerOf(walFile), QStringLiteral("from the log"));
}

// Where a copy or a replacement writes: a link is written through to the file it points to (a
// link to nothing makes that file); a pipe, a socket, a loop of links or a read-only file is
// refused with its reason and left as it was.
TEST(KdbReplace, LinksAreWrittenThroughAndSpecialFilesRefused)
{
    const QString folder = QFileInfo(NewPath(QStringLiteral("x"))).absolutePath();
    const QString source = folder + QStringLiteral("/source.db");
    MakeMarked(source, "new");
    const QString real = folder + QStringLiteral("/real.db");
    MakeMarked(real, "old");
    const QString link = folder + QStringLiteral("/link.db");
    ASSERT_TRUE(QFile::link(real, link));
    CopyDatabaseFile(source, link);
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(MarkerOf(real), QStringLiteral("new"));

    const QString dangling = folder + QStringLiteral("/dangling.db");
    const QString made = folder + QStringLiteral("/made.db");
    ASSERT_TRUE(QFile::link(made, dangling));
    CopyDatabaseFile(source, dangling);
    EXPECT_TRUE(QFileInfo(dangling).isSymLink());
    EXPECT_EQ(MarkerOf(made), QStringLiteral("new"));

    const auto refused = [&](const QString& target, int number, const QString& words) {
        try {
            CopyDatabaseFile(source, target);
            ADD_FAILURE() << "replaced " << target.toStdString();
        } catch (const KvError& e) {
            EXPECT_EQ(e.number(), number);
            EXPECT_TRUE(e.description().contains(words)) << e.what();
        }
        EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System).filter(QStringLiteral(".part")),
                  QStringList());
    };
    {
        NamedPipe pipe(folder + QStringLiteral("/pipe.db"));
        ASSERT_TRUE(pipe.Made());
        refused(folder + QStringLiteral("/pipe.db"), 3051, QStringLiteral("Not a regular file (a named pipe)"));
        EXPECT_TRUE(QFileInfo(folder + QStringLiteral("/pipe.db")).exists());
        EXPECT_FALSE(pipe.Waited());
    }
    {
        const QString socketPath = folder + QStringLiteral("/socket.db");
        const ListeningSocket socket(socketPath);
        ASSERT_TRUE(socket.Made());
        refused(socketPath, 3051, QStringLiteral("Not a regular file (a socket)"));
        EXPECT_TRUE(QFileInfo(socketPath).exists());
    }
    const QString loop = folder + QStringLiteral("/loop.db");
    ASSERT_TRUE(QFile::link(loop, loop));
    refused(loop, 75, QStringLiteral("Too many levels of symbolic links"));
    EXPECT_TRUE(QFileInfo(loop).isSymLink());

    ASSERT_TRUE(QFile::setPermissions(real, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    refused(link, 70, QStringLiteral("Permission denied"));
    EXPECT_EQ(QFileInfo(real).permissions() & (QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther), 0);
    EXPECT_EQ(MarkerOf(real), QStringLiteral("new"));
    QFile::setPermissions(real, QFile::ReadOwner | QFile::WriteOwner);
}
