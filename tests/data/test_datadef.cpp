#include "data/datadef.h"

#include "core/kverror.h"
#include "data/projectschema.h"
#include "kdb/kdb.h"
#include "tests/data/datatest.h"
#include "tests/support/fakeprompter.h"
#include "tests/support/testenv.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

using DataTest::MakeDb;

namespace {

QString SourceWithTable(const QString& create, const QStringList& rows,
                        const QString& file = QStringLiteral("source.mdb"))
{
    QStringList sql{create};
    sql += rows;
    return MakeDb(QStringLiteral("datadef"), file, sql);
}

KvError ErrorOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const KvError& e) {
        return e;
    }
    return KvError(0, QStringLiteral("no error"));
}

// A definition of the table filled and with statistics.
CDataDef Gathered(const QString& db, const QString& table)
{
    CDataDef d;
    d.Initialize(db, table);
    d.GatherStats(false);
    return d;
}

} // namespace

TEST(DataDefInitialize, ReadsFieldsTypesKeyAndRowCount)
{
    const QString db = SourceWithTable(
        QStringLiteral("CREATE TABLE t (id INTEGER PRIMARY KEY AUTOINCREMENT, name TEXT(20), "
                       "score DOUBLE, born DATE, small SMALLINT)"),
        {QStringLiteral("INSERT INTO t (name, score) VALUES ('a', 1)"),
         QStringLiteral("INSERT INTO t (name, score) VALUES ('b', 2)"),
         QStringLiteral("INSERT INTO t (name, score) VALUES ('c', 3)")});
    CDataDef d;
    d.Initialize(db, QStringLiteral("t"));
    ASSERT_EQ(d.NumFields(), 5);
    EXPECT_EQ(d.FieldName(1), QStringLiteral("id"));
    EXPECT_EQ(d.FieldType(1), AutoIncrType);
    EXPECT_EQ(d.FieldType(2), kdb::dbText);
    EXPECT_EQ(d.FieldType(3), kdb::dbDouble);
    EXPECT_EQ(d.FieldType(4), kdb::dbDate);
    EXPECT_EQ(d.FieldType(5), kdb::dbInteger);
    EXPECT_TRUE(d.PrimaryKeyField(1));
    EXPECT_FALSE(d.PrimaryKeyField(2));
    EXPECT_TRUE(d.KeyFieldExists());
    EXPECT_EQ(d.RecordCount(), 3);
    EXPECT_EQ(d.UserMatchType(3), roleUnused);
    EXPECT_EQ(d.UserOutOfRange(3), 1);
    EXPECT_EQ(d.UserImportance(3), 0);
    EXPECT_EQ(d.VeltraMatchType(4), fcDate);
    EXPECT_EQ(d.VeltraMatchType(1), fcNumeric);
    EXPECT_FALSE(d.InitDone());
    EXPECT_EQ(d.TableName(), QStringLiteral("t"));
    EXPECT_EQ(d.DBFileName(), db);
}

TEST(DataDefInitialize, MarksTheKeyWhereverItIs)
{
    // The key as the last field, and a two-field key of which the first key field is marked.
    const QString db = SourceWithTable(
        QStringLiteral("CREATE TABLE last (a TEXT, b DOUBLE, id INTEGER PRIMARY KEY)"),
        {QStringLiteral("CREATE TABLE pair (a INTEGER, b INTEGER, c TEXT, PRIMARY KEY (b, a))"),
         QStringLiteral("CREATE TABLE nokey (a INTEGER, b TEXT)")});
    CDataDef last;
    last.Initialize(db, QStringLiteral("last"));
    EXPECT_TRUE(last.PrimaryKeyField(3));
    EXPECT_EQ(last.KeyField(), 3);
    EXPECT_EQ(last.KeyFieldName(), QStringLiteral("id"));

    CDataDef pair;
    pair.Initialize(db, QStringLiteral("pair"));
    EXPECT_FALSE(pair.PrimaryKeyField(1));
    EXPECT_TRUE(pair.PrimaryKeyField(2));

    CDataDef none;
    none.Initialize(db, QStringLiteral("nokey"));
    EXPECT_FALSE(none.KeyFieldExists());
    EXPECT_EQ(none.KeyFieldName(), QString());
}

TEST(DataDefInitialize, RefusesBadArgumentsMissingFilesAndUnknownTables)
{
    FakePrompter fp;
    fp.ExpectBox(MsgResult::Ok);
    CDataDef d;
    d.Initialize(QString(), QStringLiteral("t"));
    ASSERT_EQ(fp.Boxes().size(), 1u);
    EXPECT_EQ(fp.LastBox().text, QStringLiteral("Bad Parameter passed to CDataDef::Initialize()"));
    EXPECT_EQ(fp.LastBox().title, QStringLiteral("Error"));
    EXPECT_EQ(fp.LastBox().icon, MsgIcon::Critical);
    EXPECT_EQ(d.NumFields(), 0);

    const KvError missing = ErrorOf([&] {
        d.Initialize(TestEnv::NewFolder(QStringLiteral("none")) + QStringLiteral("/x.mdb"),
                     QStringLiteral("t"));
    });
    EXPECT_EQ(missing.number(), 53);
    EXPECT_EQ(missing.description(), QStringLiteral("No such database file"));
    EXPECT_EQ(missing.source(), QStringLiteral("VeltraDBCfg:Initialize Method"));

    const QString db = SourceWithTable(QStringLiteral("CREATE TABLE Sales (a INTEGER)"), {});
    const KvError unknown = ErrorOf([&] { d.Initialize(db, QStringLiteral("sales")); });
    EXPECT_EQ(unknown.number(), 3078);
    EXPECT_EQ(unknown.description(), QStringLiteral("No such table"));
    EXPECT_EQ(unknown.source(), QStringLiteral("VeltraDBCfg:Initialize Method"));
}

TEST(DataDefInitialize, LeavesACompletedDefinitionAlone)
{
    const QString db = SourceWithTable(QStringLiteral("CREATE TABLE t (id INTEGER PRIMARY KEY, v DOUBLE)"),
                                       {QStringLiteral("CREATE TABLE other (x TEXT)")});
    CDataDef d = Gathered(db, QStringLiteral("t"));
    ASSERT_TRUE(d.InitDone());
    d.Initialize(db, QStringLiteral("other"));
    EXPECT_EQ(d.TableName(), QStringLiteral("t"));
    EXPECT_EQ(d.NumFields(), 2);
}

TEST(DataDefStats, NumericStatisticsSkipNullsAndUseTheSampleDeviation)
{
    const QString db = SourceWithTable(
        QStringLiteral("CREATE TABLE t (id INTEGER PRIMARY KEY AUTOINCREMENT, v DOUBLE, "
                       "empty DOUBLE, one LONG, txt TEXT, memo MEMO)"),
        {QStringLiteral("INSERT INTO t (v, one, txt) VALUES (1, 7, 'x')"),
         QStringLiteral("INSERT INTO t (v, txt) VALUES (2, 'y')"),
         QStringLiteral("INSERT INTO t (v) VALUES (NULL)"),
         QStringLiteral("INSERT INTO t (v) VALUES (3)"),
         QStringLiteral("INSERT INTO t (v) VALUES (4)")});
    const CDataDef d = Gathered(db, QStringLiteral("t"));
    ASSERT_TRUE(d.InitDone());
    // v: 1, 2, 3, 4 (the Null is skipped).
    const double sd = std::sqrt(5.0 / 3.0);
    EXPECT_DOUBLE_EQ(d.FieldMin(2), 1);
    EXPECT_DOUBLE_EQ(d.FieldMax(2), 4);
    EXPECT_DOUBLE_EQ(d.FieldAvg(2), 2.5);
    EXPECT_NEAR(d.FieldStdDev(2), sd, 1e-12);
    EXPECT_NEAR(d.UserMax(2), 2.5 + 2 * sd, 1e-12);
    EXPECT_NEAR(d.UserMin(2), 2.5 - 2 * sd, 1e-12);
    // The auto-number key is numeric for the statistics: 1..5.
    EXPECT_DOUBLE_EQ(d.FieldMax(1), 5);
    EXPECT_DOUBLE_EQ(d.FieldAvg(1), 3);
    // Empty in every row: all zero, range 0..0.
    for (double v : {d.FieldMin(3), d.FieldMax(3), d.FieldAvg(3), d.FieldStdDev(3), d.UserMin(3),
                     d.UserMax(3)})
        EXPECT_EQ(v, 0);
    // One value: max = min = avg = 7, deviation 0, range 7..7.
    EXPECT_EQ(d.FieldMax(4), 7);
    EXPECT_EQ(d.FieldMin(4), 7);
    EXPECT_EQ(d.FieldAvg(4), 7);
    EXPECT_EQ(d.FieldStdDev(4), 0);
    EXPECT_EQ(d.UserMin(4), 7);
    EXPECT_EQ(d.UserMax(4), 7);
    // Text and memo: nothing.
    for (int16_t i : {int16_t(5), int16_t(6)}) {
        EXPECT_EQ(d.FieldMax(i), 0);
        EXPECT_EQ(d.UserMax(i), 0);
        EXPECT_EQ(d.UserMin(i), 0);
    }
}

TEST(DataDefStats, DatesAreSerialDaysAndEmptyDatesAreNotSet)
{
    const QString db = SourceWithTable(
        QStringLiteral("CREATE TABLE t (id INTEGER PRIMARY KEY, d DATE, none DATE, one DATETIME)"),
        {QStringLiteral("INSERT INTO t VALUES (1, '2000-01-01', NULL, '2019-06-30 12:00:00')"),
         QStringLiteral("INSERT INTO t VALUES (2, '2000-01-03', NULL, NULL)")});
    const CDataDef d = Gathered(db, QStringLiteral("t"));
    const double jan1 = *kdb::DateSerial(QStringLiteral("2000-01-01"));
    EXPECT_DOUBLE_EQ(d.FieldMin(2), jan1);
    EXPECT_DOUBLE_EQ(d.FieldMax(2), jan1 + 2);
    EXPECT_DOUBLE_EQ(d.FieldAvg(2), jan1 + 1);
    EXPECT_NEAR(d.FieldStdDev(2), std::sqrt(2.0), 1e-9);
    EXPECT_DOUBLE_EQ(d.UserMin(2), jan1);
    EXPECT_DOUBLE_EQ(d.UserMax(2), jan1 + 2);

    for (double v : {d.FieldMin(3), d.FieldMax(3), d.FieldAvg(3), d.FieldStdDev(3), d.UserMin(3),
                     d.UserMax(3)})
        EXPECT_EQ(v, NoUserLimit);

    const double one = *kdb::DateSerial(QStringLiteral("2019-06-30 12:00:00"));
    EXPECT_DOUBLE_EQ(d.FieldMax(4), one);
    EXPECT_DOUBLE_EQ(d.FieldMin(4), one);
    EXPECT_DOUBLE_EQ(d.FieldAvg(4), one);
    EXPECT_EQ(d.FieldStdDev(4), NoUserLimit);
    EXPECT_DOUBLE_EQ(d.UserMin(4), one);
    EXPECT_DOUBLE_EQ(d.UserMax(4), one);
}

TEST(DataDefStats, BooleanInputsGetAUsableRange)
{
    const QString db = SourceWithTable(
        QStringLiteral("CREATE TABLE t (id INTEGER PRIMARY KEY, flag BOOLEAN)"),
        {QStringLiteral("INSERT INTO t VALUES (1, 0)"), QStringLiteral("INSERT INTO t VALUES (2, 1)"),
         QStringLiteral("INSERT INTO t VALUES (3, 1)"), QStringLiteral("INSERT INTO t VALUES (4, 0)")});
    const CDataDef d = Gathered(db, QStringLiteral("t"));
    ASSERT_EQ(d.FieldType(2), kdb::dbBoolean);
    EXPECT_EQ(d.FieldMin(2), 0);
    EXPECT_EQ(d.FieldMax(2), 1);
    EXPECT_DOUBLE_EQ(d.FieldAvg(2), 0.5);
    EXPECT_LT(d.UserMin(2), 0);
    EXPECT_GT(d.UserMax(2), 1);
}

TEST(DataDefStats, ReportsProgressAndStopsWhenTheListenerSaysSo)
{
    const QString db = SourceWithTable(
        QStringLiteral("CREATE TABLE t (id INTEGER PRIMARY KEY, a DOUBLE, b DOUBLE)"),
        {QStringLiteral("INSERT INTO t VALUES (1, 10, 20)"),
         QStringLiteral("INSERT INTO t VALUES (2, 30, 40)")});
    CDataDef d;
    d.Initialize(db, QStringLiteral("t"));
    std::vector<int> seen;
    d.SetProgressHandler([&](int16_t percent, bool&) { seen.push_back(percent); });
    std::optional<StatusRecorder> status(std::in_place);
    d.GatherStats(false);
    EXPECT_EQ(seen, (std::vector<int>{25, 50, 75, 100}));
    EXPECT_TRUE(d.InitDone());
    // The status bar hears the same, from its start to its end, with no listener's help.
    EXPECT_EQ(status->progressValues, (std::vector<int>{0, 25, 50, 75, 100, -1}));
    status.reset();

    // A completed definition is not gathered again unless forced.
    d.SetUserMin(2, 99);
    seen.clear();
    d.GatherStats(false);
    EXPECT_TRUE(seen.empty());
    EXPECT_EQ(d.UserMin(2), 99);

    // Forced, and stopped after the first field: the later fields keep what they held.
    d.SetUserMin(2, 99);
    d.SetUserMin(3, 77);
    d.SetProgressHandler([&](int16_t percent, bool& go) {
        seen.push_back(percent);
        go = false;
    });
    status.emplace();
    d.GatherStats(true);
    EXPECT_EQ(seen, (std::vector<int>{25}));
    EXPECT_EQ(status->progressValues, (std::vector<int>{0, 25, -1}));
    EXPECT_FALSE(d.InitDone());
    EXPECT_EQ(d.UserMin(2), 99);
    EXPECT_EQ(d.UserMin(3), 77);
}

TEST(DataDefStats, WorksWithNamesThatNeedQuoting)
{
    const QString table = QStringLiteral("2019 o'brien-sales [q]");
    const QString db = SourceWithTable(
        QStringLiteral("CREATE TABLE ") + kdb::QuoteIdent(table) +
            QStringLiteral(" (\"key id\" INTEGER PRIMARY KEY, \"it's\" DOUBLE, \"a]b\" DOUBLE, "
                           "\"x\"\"y\" DOUBLE)"),
        {QStringLiteral("INSERT INTO ") + kdb::QuoteIdent(table) +
             QStringLiteral(" VALUES (1, 2, 3, 4)"),
         QStringLiteral("INSERT INTO ") + kdb::QuoteIdent(table) +
             QStringLiteral(" VALUES (2, 4, 5, 6)")},
        QStringLiteral("odd name's.mdb"));
    FakePrompter fp; // any box fails the test
    CDataDef d = Gathered(db, table);
    ASSERT_TRUE(d.InitDone());
    EXPECT_EQ(d.FieldName(2), QStringLiteral("it's"));
    EXPECT_EQ(d.FieldAvg(2), 3);
    EXPECT_EQ(d.FieldAvg(3), 4);
    EXPECT_EQ(d.FieldAvg(4), 5);

    const QString project = MakeDb(QStringLiteral("odd"), QStringLiteral("p.kvp"), {});
    d.Save(project);
    CDataDef back;
    back.Initialize(db, table);
    back.Load(project);
    EXPECT_TRUE(back.InitDone());
    EXPECT_EQ(back.FieldName(2), QStringLiteral("it's"));
    EXPECT_EQ(back.FieldName(4), QStringLiteral("x\"y"));
    EXPECT_EQ(back.FieldAvg(4), 5);
}

TEST(DataDefCompare, ComparesColumnsTypesAndKeyOnly)
{
    const QString db = SourceWithTable(
        QStringLiteral("CREATE TABLE a (id INTEGER PRIMARY KEY, Value DOUBLE)"),
        {QStringLiteral("CREATE TABLE b (id INTEGER PRIMARY KEY, value DOUBLE)"),
         QStringLiteral("CREATE TABLE c (id INTEGER PRIMARY KEY, Value DOUBLE)"),
         QStringLiteral("INSERT INTO c VALUES (1, 5)")});
    CDataDef a;
    a.Initialize(db, QStringLiteral("a"));
    CDataDef b;
    b.Initialize(db, QStringLiteral("b"));
    CDataDef c = Gathered(db, QStringLiteral("c"));
    c.SetUserMatchType(2, roleInput);
    EXPECT_TRUE(a.IsCompatable(&a));
    EXPECT_FALSE(a.IsCompatable(&b));
    EXPECT_TRUE(a.IsCompatable(&c));
    EXPECT_FALSE(a.IsCompatable(nullptr));
    const CDataDef none;
    EXPECT_FALSE(a.IsCompatable(&none));
}

TEST(DataDefAccessors, FieldNumbersOutsideTheFieldsAreSubscriptErrors)
{
    CDataDef empty;
    EXPECT_FALSE(empty.KeyFieldExists());
    EXPECT_EQ(empty.NumFields(), 0);
    const KvError before = ErrorOf([&] { (void)empty.UserMax(0); });
    EXPECT_EQ(before.number(), 9);
    EXPECT_EQ(before.source(), QStringLiteral("VeltraDBCfg:UserMax Property Get"));

    const QString db = SourceWithTable(QStringLiteral("CREATE TABLE t (id INTEGER PRIMARY KEY)"), {});
    CDataDef d;
    d.Initialize(db, QStringLiteral("t"));
    EXPECT_NO_THROW((void)d.FieldName(0));
    const KvError past = ErrorOf([&] { (void)d.FieldName(2); });
    EXPECT_EQ(past.number(), 9);
    EXPECT_EQ(past.source(), QStringLiteral("VeltraDBCfg:FieldName Property Get"));
    const KvError let = ErrorOf([&] { d.SetUserMin(-1, 1.0); });
    EXPECT_EQ(let.source(), QStringLiteral("VeltraDBCfg:UserMin Property Let"));
    const KvError role = ErrorOf([&] { d.SetUserMatchType(5, roleInput); });
    EXPECT_EQ(role.source(), QStringLiteral("VeltraDBCfg:UserMatchType Property Let"));
}

// --- FieldConfig --------------------------------------------------------------------------

namespace {

struct Fixture {
    QString source;
    QString project;
    CDataDef ddo;
};

Fixture Configured()
{
    Fixture f;
    f.source = SourceWithTable(
        QStringLiteral("CREATE TABLE t (id INTEGER PRIMARY KEY AUTOINCREMENT, v DOUBLE, d DATE, "
                       "name TEXT)"),
        {QStringLiteral("INSERT INTO t (v, d, name) VALUES (1.5, NULL, 'x')"),
         QStringLiteral("INSERT INTO t (v, d, name) VALUES (2.5, NULL, 'y')")});
    f.project = MakeDb(QStringLiteral("project"), QStringLiteral("p.kvp"), {});
    f.ddo.Initialize(f.source, QStringLiteral("t"));
    f.ddo.GatherStats(false);
    f.ddo.SetUserMatchType(2, roleBPPredict);
    f.ddo.SetUserMatchType(1, roleInput);
    f.ddo.SetUserImportance(2, 3);
    f.ddo.SetUserOutOfRange(3, 2);
    return f;
}

int64_t FieldConfigRows(const QString& project)
{
    kdb::Database db = kdb::Database::Open(project);
    return db.Scalar(QStringLiteral("SELECT COUNT(*) FROM FieldConfig")).toInt();
}

} // namespace

TEST(FieldConfig, SaveThenLoadGivesBackEveryValue)
{
    Fixture f = Configured();
    f.ddo.Save(f.project); // creates FieldConfig first
    EXPECT_EQ(FieldConfigRows(f.project), 4);

    CDataDef back;
    back.Initialize(f.source, QStringLiteral("t"));
    back.Load(f.project);
    ASSERT_TRUE(back.InitDone());
    ASSERT_EQ(back.NumFields(), 4);
    EXPECT_EQ(back.DBFileName(), f.source);
    EXPECT_EQ(back.TableName(), QStringLiteral("t"));
    EXPECT_EQ(back.RecordCount(), 2);
    for (int16_t i = 1; i <= 4; ++i) {
        const DataField& a = f.ddo.Field(i);
        const DataField& b = back.Field(i);
        EXPECT_EQ(a.name, b.name);
        EXPECT_EQ(a.type, b.type);
        EXPECT_EQ(a.max, b.max);
        EXPECT_EQ(a.min, b.min);
        EXPECT_EQ(a.avg, b.avg);
        EXPECT_EQ(a.stdDev, b.stdDev);
        EXPECT_EQ(a.userImportance, b.userImportance);
        EXPECT_EQ(a.userMatchType, b.userMatchType);
        EXPECT_EQ(a.userMax, b.userMax);
        EXPECT_EQ(a.userMin, b.userMin);
        EXPECT_EQ(a.userOutOfRange, b.userOutOfRange);
        EXPECT_EQ(a.primaryKey, b.primaryKey);
    }
    EXPECT_EQ(back.FieldType(1), AutoIncrType);
    EXPECT_EQ(back.UserMax(3), NoUserLimit);
    EXPECT_TRUE(back.PrimaryKeyField(1));
    // The type code is kept as its decimal text.
    kdb::Database db = kdb::Database::Open(f.project);
    EXPECT_EQ(db.Scalar(QStringLiteral("SELECT FieldType FROM FieldConfig WHERE FieldOrder = 1")).toText(),
              QStringLiteral("-4"));
}

TEST(FieldConfig, InfiniteSourceValuesLeaveALoadableDefinition)
{
    const QString source = SourceWithTable(
        QStringLiteral("CREATE TABLE t (id INTEGER PRIMARY KEY, v DOUBLE)"),
        {QStringLiteral("INSERT INTO t VALUES (1, 1.0)"), QStringLiteral("INSERT INTO t VALUES (2, 9e999)"),
         QStringLiteral("INSERT INTO t VALUES (3, 3.0)"), QStringLiteral("INSERT INTO t VALUES (4, -9e999)")});
    const QString project = MakeDb(QStringLiteral("project"), QStringLiteral("p.kvp"), {});
    CDataDef ddo;
    ddo.Initialize(source, QStringLiteral("t"));
    ddo.GatherStats(false);
    EXPECT_DOUBLE_EQ(ddo.FieldMin(2), 1);
    EXPECT_DOUBLE_EQ(ddo.FieldMax(2), 3);
    EXPECT_DOUBLE_EQ(ddo.FieldAvg(2), 2);
    ddo.Save(project);
    CDataDef back;
    back.Initialize(source, QStringLiteral("t"));
    back.Load(project);
    EXPECT_TRUE(back.InitDone());
    EXPECT_DOUBLE_EQ(back.FieldMax(2), 3);
}

TEST(FieldConfig, SavingTwiceEditsTheRows)
{
    Fixture f = Configured();
    f.ddo.Save(f.project);
    f.ddo.SetUserMin(2, -5);
    f.ddo.Save(f.project);
    EXPECT_EQ(FieldConfigRows(f.project), 4);
    CDataDef back;
    back.Initialize(f.source, QStringLiteral("t"));
    back.Load(f.project);
    EXPECT_EQ(back.UserMin(2), -5);
}

TEST(FieldConfig, LoadOfAnEmptyTableKeepsTheDefinition)
{
    Fixture f = Configured();
    kdb::Database(kdb::Database::Open(f.project))
        .ExecuteJet(ProjectSchema::BaseTableStatement(ProjectSchema::FieldConfigTable()));
    ASSERT_TRUE(f.ddo.InitDone());
    f.ddo.Load(f.project);
    EXPECT_FALSE(f.ddo.InitDone());
    EXPECT_EQ(f.ddo.NumFields(), 4);
    EXPECT_EQ(f.ddo.UserMatchType(2), roleBPPredict);

    // A missing file changes nothing at all.
    f.ddo.GatherStats(true);
    f.ddo.Load(f.project + QStringLiteral(".gone"));
    EXPECT_TRUE(f.ddo.InitDone());
}

TEST(FieldConfig, LoadStopsAtTheFirstMissingFieldNumber)
{
    Fixture f = Configured();
    f.ddo.Save(f.project);
    {
        kdb::Database db = kdb::Database::Open(f.project);
        db.Execute(QStringLiteral("DELETE FROM FieldConfig WHERE FieldOrder = 3"));
        db.Execute(QStringLiteral("UPDATE FieldConfig SET FieldOrder = 40 WHERE FieldOrder = 4"));
    }
    CDataDef back;
    back.Initialize(f.source, QStringLiteral("t"));
    back.Load(f.project);
    ASSERT_EQ(back.NumFields(), 3);
    EXPECT_TRUE(back.InitDone());
    EXPECT_EQ(back.FieldName(2), QStringLiteral("v"));
    EXPECT_EQ(back.FieldName(3), QString());
    EXPECT_EQ(back.UserMatchType(3), 0);
    EXPECT_EQ(back.FieldType(3), 0);
}

TEST(FieldConfig, FailuresCarryTheMethodsSource)
{
    Fixture f = Configured();
    const KvError missing =
        ErrorOf([&] { f.ddo.Save(f.project + QStringLiteral(".missing")); });
    EXPECT_NE(missing.number(), 0);
    EXPECT_EQ(missing.source(), QStringLiteral("VeltraDBCfg:Save Method"));

    f.ddo.Save(f.project);
    kdb::Database(kdb::Database::Open(f.project))
        .Execute(QStringLiteral("UPDATE FieldConfig SET FieldMax = NULL WHERE FieldOrder = 2"));
    CDataDef back;
    back.Initialize(f.source, QStringLiteral("t"));
    const KvError null = ErrorOf([&] { back.Load(f.project); });
    EXPECT_EQ(null.number(), 94);
    EXPECT_EQ(null.source(), QStringLiteral("VeltraDBCfg:Load Method"));
    EXPECT_FALSE(back.InitDone());
}

TEST(FieldConfig, AFailedSaveWritesNoRowAtAll)
{
    // The row of field 4 now carries another name, so field 4 gets a new row whose number
    // collides with it: the save fails, and the rows of fields 1 to 3 stay as they were.
    Fixture f = Configured();
    f.ddo.Save(f.project);
    kdb::Database(kdb::Database::Open(f.project))
        .Execute(QStringLiteral("UPDATE FieldConfig SET FieldName = 'gone' WHERE FieldOrder = 4"));
    f.ddo.SetUserMin(2, -5);
    const KvError e = ErrorOf([&] { f.ddo.Save(f.project); });
    EXPECT_EQ(e.number(), 3022);
    EXPECT_EQ(e.source(), QStringLiteral("VeltraDBCfg:Save Method"));
    kdb::Database db = kdb::Database::Open(f.project);
    EXPECT_EQ(db.Scalar(QStringLiteral("SELECT UserMin FROM FieldConfig WHERE FieldOrder = 2")).toDouble(),
              f.ddo.FieldAvg(2) - 2 * f.ddo.FieldStdDev(2));
    EXPECT_EQ(FieldConfigRows(f.project), 4);
}

TEST(FieldConfig, FieldsFindTheirRowsByName)
{
    // A name that differs only in case takes over its old row instead of colliding with its
    // field number.
    Fixture f = Configured();
    f.ddo.Save(f.project);
    kdb::Database(kdb::Database::Open(f.project))
        .Execute(QStringLiteral("UPDATE FieldConfig SET FieldName = 'V' WHERE FieldOrder = 2"));
    f.ddo.Save(f.project);
    EXPECT_EQ(FieldConfigRows(f.project), 4);
    kdb::Database db = kdb::Database::Open(f.project);
    EXPECT_EQ(db.Scalar(QStringLiteral("SELECT FieldName FROM FieldConfig WHERE FieldOrder = 2")).toText(),
              QStringLiteral("v"));
}

// --- ODBC sources ---------------------------------------------------------------------------

namespace {
QString ViaOdbc(const QString& file)
{
    return QStringLiteral("ODBC;DRIVER=SQLite3;Database=") + file + QStringLiteral(";NoCreat=1");
}
} // namespace

TEST(DataDefOdbc, TheFirstUniqueOneFieldIndexIsTheKeyAndRowsAreCounted)
{
    const QString db = SourceWithTable(
        QStringLiteral("CREATE TABLE t (a INTEGER, code TEXT, b DOUBLE, pair1 INT, pair2 INT)"),
        {QStringLiteral("CREATE UNIQUE INDEX twoFields ON t (pair1, pair2)"),
         QStringLiteral("CREATE UNIQUE INDEX byCode ON t (code)"),
         QStringLiteral("INSERT INTO t VALUES (1, 'x', 2.5, 1, 1)"),
         QStringLiteral("INSERT INTO t VALUES (2, 'y', 3.5, 1, 2)"),
         QStringLiteral("INSERT INTO t VALUES (3, 'z', NULL, 1, 3)")},
        QStringLiteral("odbc source.mdb"));
    FakePrompter fp;
    CDataDef d;
    d.Initialize(ViaOdbc(db), QStringLiteral("t"));
    ASSERT_EQ(d.NumFields(), 5);
    EXPECT_EQ(d.RecordCount(), 3);
    EXPECT_EQ(d.KeyField(), 2);
    EXPECT_EQ(d.DBFileName(), ViaOdbc(db));
    d.GatherStats(false);
    ASSERT_TRUE(d.InitDone());
    EXPECT_DOUBLE_EQ(d.FieldAvg(3), 3.0);
    EXPECT_DOUBLE_EQ(d.FieldStdDev(3), std::sqrt(0.5));
    EXPECT_DOUBLE_EQ(d.FieldMax(1), 3);
}

TEST(DataDefRows, SourceRowsComeInKeyOrder)
{
    const QString db = SourceWithTable(
        QStringLiteral("CREATE TABLE t (v DOUBLE, id INTEGER PRIMARY KEY)"),
        {QStringLiteral("INSERT INTO t VALUES (30, 3)"), QStringLiteral("INSERT INTO t VALUES (10, 1)"),
         QStringLiteral("INSERT INTO t VALUES (20, 2)")});
    CDataDef d;
    d.Initialize(db, QStringLiteral("t"));
    kdb::Database src = d.OpenSource();
    kdb::Reader r = d.ReadSourceRows(src, {d.FieldName(1)});
    std::vector<double> seen;
    while (r.Next())
        seen.push_back(r.Double(0));
    EXPECT_EQ(seen, (std::vector<double>{10, 20, 30}));
    EXPECT_EQ(d.FieldsWithRole(roleUnused), (QList<int16_t>{1, 2}));
    EXPECT_EQ(d.FieldIndex(QStringLiteral("id")), 2);
    EXPECT_EQ(d.FieldIndex(QStringLiteral("ID")), 0);
}

TEST(DataDefStats, OneReadGivesExactStatisticsAndSpreadsTheProgressOverTheRows)
{
    // Values far from 0 with a small spread: the deviation must not drown in the magnitude.
    QStringList rows;
    for (int i = 1; i <= 40; ++i)
        rows << QStringLiteral("INSERT INTO t VALUES (%1, %2, NULL, '2020-01-%3')")
                    .arg(i)
                    .arg(1e9 + (i % 2), 0, 'f', 0)
                    .arg(1 + i % 2, 2, 10, QLatin1Char('0'));
    const QString db = SourceWithTable(
        QStringLiteral("CREATE TABLE t (id INTEGER PRIMARY KEY, big DOUBLE, empty DOUBLE, d DATE)"), rows,
        QStringLiteral("onepass.mdb"));
    CDataDef d;
    d.Initialize(db, QStringLiteral("t"));
    std::vector<int> seen;
    d.SetProgressHandler([&](int16_t percent, bool&) { seen.push_back(percent); });
    d.GatherStats(true);
    EXPECT_EQ(seen, (std::vector<int>{20, 40, 60, 80, 100}));
    EXPECT_DOUBLE_EQ(d.FieldAvg(2), 1e9 + 0.5);
    EXPECT_NEAR(d.FieldStdDev(2), std::sqrt(10.0 / 39.0), 1e-9);
    EXPECT_EQ(d.FieldMin(2), 1e9);
    EXPECT_EQ(d.FieldMax(2), 1e9 + 1);
    EXPECT_EQ(d.FieldAvg(3), 0); // only Nulls
    EXPECT_EQ(d.FieldMin(4), kdb::DateSerial(QStringLiteral("2020-01-01")).value());
    EXPECT_EQ(d.FieldMax(4), kdb::DateSerial(QStringLiteral("2020-01-02")).value());
    EXPECT_DOUBLE_EQ(d.UserMax(2), d.FieldAvg(2) + 2 * d.FieldStdDev(2));
}
