// Source tables on a database server (a private PostgreSQL through psqlODBC) against the same
// table in a data file: definition, statistics, export.
#include "data/datadef.h"
#include "data/exportmarked.h"
#include "data/fieldtypes.h"
#include "data/projectschema.h"
#include "kdb/kdb.h"
#include "tests/data/datatest.h"
#include "tests/kdb/pgserver.h"
#include "tests/support/fakeprompter.h"
#include "tests/support/testenv.h"

#include <QRandomGenerator>
#include <cmath>
#include <gtest/gtest.h>

namespace {

pgtest::Server& server()
{
    return pgtest::Server::Get();
}

// The same rows in a server table and in a data file's table made as Jet makes one.
QString MakeTwins(const QString& table)
{
    QRandomGenerator rng(11);
    QStringList values;
    const QString file = TestEnv::NewFolder(QStringLiteral("twins")) + QStringLiteral("/twin.mdb");
    kdb::Database db = kdb::Database::Create(file);
    db.ExecuteJet(QStringLiteral("CREATE TABLE %1 ( id AUTOINCREMENT CONSTRAINT PrimaryKey PRIMARY KEY, "
                                 "x Double, n Long, f Bit, d DateTime, name Text(50) );")
                      .arg(table));
    kdb::Transaction t(db);
    kdb::Statement ins = db.Prepare(QStringLiteral("INSERT INTO %1 (x, n, f, d, name) VALUES (?,?,?,?,?)").arg(table));
    for (int i = 1; i <= 700; ++i) {
        const double x = 5e5 + rng.generateDouble() * 1000;
        const int n = int(rng.bounded(100)) - 50;
        const bool f = rng.bounded(3) == 0;
        const QString d = QStringLiteral("2024-%1-%2 %3:15:00")
                              .arg(1 + i % 12, 2, 10, QLatin1Char('0'))
                              .arg(1 + i % 28, 2, 10, QLatin1Char('0'))
                              .arg(i % 24, 2, 10, QLatin1Char('0'));
        const bool nullX = i % 37 == 0;
        ins.Run({nullX ? kdb::Value() : kdb::Value(x), n, f ? 1 : 0, d, QStringLiteral("n%1").arg(i)});
        values << QStringLiteral("(%1, %2, %3, '%4', 'n%5')")
                      .arg(nullX ? QStringLiteral("NULL") : QString::number(x, 'g', 17))
                      .arg(n)
                      .arg(f ? QStringLiteral("true") : QStringLiteral("false"), d)
                      .arg(i);
    }
    t.Commit();
    server().Sql(QStringLiteral("CREATE TABLE %1 (id serial PRIMARY KEY, x double precision, n integer, "
                                "f boolean, d timestamp, name varchar(50)); "
                                "INSERT INTO %1 (x, n, f, d, name) VALUES %2;")
                     .arg(table, values.join(u',')));
    return file;
}

} // namespace

TEST(DataDefServer, TheServersTableIsDefinedAndMeasuredAsItsFileCopy)
{
    const QString file = MakeTwins(QStringLiteral("twin"));
    FakePrompter fp;
    CDataDef onFile;
    onFile.Initialize(file, QStringLiteral("twin"));
    CDataDef onServer;
    onServer.Initialize(server().Connect(), QStringLiteral("public.twin"));
    ASSERT_TRUE(fp.Boxes().empty()) << fp.LastBox().text.toStdString();
    ASSERT_EQ(onServer.NumFields(), 6);
    EXPECT_EQ(onServer.RecordCount(), 700);
    EXPECT_EQ(onServer.FieldType(1), AutoIncrType);   // serial: the auto-number of the copy
    EXPECT_EQ(onServer.KeyField(), 1);
    for (int16_t i = 1; i <= 6; ++i)
        EXPECT_EQ(onServer.FieldType(i), onFile.FieldType(i)) << onFile.FieldName(i).toStdString();
    EXPECT_TRUE(onServer.IsCompatable(&onFile));

    onFile.GatherStats(false);
    onServer.GatherStats(false);
    ASSERT_TRUE(onServer.InitDone());
    for (int16_t i = 2; i <= 5; ++i) {
        const double scale = std::max(1.0, std::abs(onFile.FieldAvg(i)));
        EXPECT_NEAR(onServer.FieldMin(i), onFile.FieldMin(i), 1e-12 * scale) << i;
        EXPECT_NEAR(onServer.FieldMax(i), onFile.FieldMax(i), 1e-12 * scale) << i;
        EXPECT_NEAR(onServer.FieldAvg(i), onFile.FieldAvg(i), 1e-12 * scale) << i;
        EXPECT_NEAR(onServer.FieldStdDev(i), onFile.FieldStdDev(i), 1e-9 * std::max(1.0, onFile.FieldStdDev(i))) << i;
        EXPECT_NEAR(onServer.UserMax(i), onFile.UserMax(i), 1e-9 * scale) << i;
    }
    // The server's own aggregates.
    const QStringList x = server().Value("SELECT avg(x)||','||stddev_samp(x)||','||min(n) FROM twin").split(u',');
    EXPECT_NEAR(onServer.FieldAvg(2), x[0].toDouble(), 1e-15 * 5e5);
    EXPECT_NEAR(onServer.FieldStdDev(2), x[1].toDouble(), 1e-12 * x[1].toDouble());
    EXPECT_EQ(onServer.FieldMin(3), x[2].toDouble());
    // Dates and Booleans are gathered as from the file.
    EXPECT_EQ(onServer.FieldMin(5), onFile.FieldMin(5));
    EXPECT_EQ(onServer.FieldMax(5), onFile.FieldMax(5));
    EXPECT_DOUBLE_EQ(onServer.FieldAvg(4), onFile.FieldAvg(4));
}

TEST(ExportServer, MarkedRowsOfASourceWithItsOwnMarkColumnInTheServersOrder)
{
    // Text keys in a collation that SQLite does not have: lower case before upper case. Times,
    // time stamps with fractions of a second and decimals past a double's digits, written as
    // the server holds them.
    server().Sql(R"(
        CREATE TABLE marked (code text COLLATE "en-US-x-icu" PRIMARY KEY, "Mark" integer, v double precision,
                             t time, ts timestamp, amount numeric(20,6));
        INSERT INTO marked VALUES ('b', 7, 1.5, '02:10:00', '2024-01-02 03:04:05.123456', 12345677901234.568948),
                                  ('A', 8, 2.5, '00:00:00', '2024-01-02 00:00:00', -0.000001),
                                  ('a', 9, 3.5, NULL, NULL, NULL),
                                  ('B', 10, 4.5, '23:59:59.5', '1999-12-31 23:59:59.999', 99999999999999.999999),
                                  ('c', 11, 5.5, '01:00:00', '2000-01-01 00:00:00', 1);
    )");
    const QString folder = TestEnv::NewFolder(QStringLiteral("exportserver"));
    const QString project = folder + QStringLiteral("/m.kvp");
    {
        kdb::Database db = kdb::Database::Create(project);
        db.ExecuteJet(QStringLiteral("CREATE TABLE Test ( MainPrimaryKey Text(255) COLLATE BINARY CONSTRAINT PrimaryKey "
                                     "PRIMARY KEY, Predicted Single, Difference Single, Mark Integer );"));
        for (const char* k : {"B", "a", "b"})
            db.Execute(QStringLiteral("INSERT INTO Test VALUES (?, 1, 0, -1)"), {QString::fromLatin1(k)});
        // No prediction for "A": its Predicted cell is empty.
        db.Execute(QStringLiteral("INSERT INTO Test VALUES ('A', -123.456, NULL, -1)"));
        db.Execute(QStringLiteral("INSERT INTO Test VALUES ('c', 1, 0, 0)"));
        db.Link(ProjectSchema::LinkTable(), server().Connect(), QStringLiteral("public.marked"));
    }
    CDataDef ddo;
    ddo.Initialize(server().Connect(), QStringLiteral("public.marked"));
    const QString out = folder + QStringLiteral("/out.txt");
    FakePrompter fp;
    FileDialogResult chosen;
    chosen.cancelled = false;
    chosen.fileName = out;
    fp.ExpectFile(chosen);
    StatusRecorder status;
    Utilities::ExportMarked(project, &ddo);
    ASSERT_TRUE(fp.Boxes().empty()) << fp.LastBox().text.toStdString();
    const QStringList lines = QString::fromUtf8(DataTest::ReadFile(out)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 5) << lines.join('|').toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("MainPrimaryKey,Predicted,Difference,Mark,code,Mark,v,t,ts,amount"));
    QStringList keys, values;
    for (int i = 1; i < lines.size(); ++i) {
        keys << lines[i].section(u',', 4, 4);
        values << lines[i].section(u',', 7, 9).replace(u',', u';');
        EXPECT_EQ(lines[i].section(u',', 1, 1), QString(keys.last() == "A" ? "" : "1"));
    }
    EXPECT_EQ(values.join(u'|'), server().Value("SELECT string_agg(concat_ws(';', coalesce(t::text, ''), "
                                                "coalesce(ts::text, ''), coalesce(amount::text, '')), '|' "
                                                "ORDER BY code) FROM marked WHERE code <> 'c'"));
    EXPECT_EQ(keys.join(u','), server().Value("SELECT string_agg(code, ',' ORDER BY code) FROM marked "
                                              "WHERE code <> 'c'"));
    EXPECT_EQ(keys.join(u','), QStringLiteral("a,A,b,B"));
    EXPECT_EQ(status.Last(), QStringLiteral("Export Completed."));
}
