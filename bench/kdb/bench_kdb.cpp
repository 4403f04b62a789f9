// Rows per second of the kdb layer beside the bare sqlite3 C API on the same work: reading a
// linked source table forward in key order (file, SQLite-ODBC and PostgreSQL source, the last
// on a private server the bench starts) and writing test rows.
#include "data/projectschema.h"
#include "kdb/kdb.h"
#include "bench/peakmemory.h"
#include "tests/kdb/pgserver.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cmath>
#include <cstdio>
#include <sql.h>
#include <sqlext.h>
#include <sqlite3.h>
#include <vector>

namespace {
// The project file's link table.
const QString kLink = ProjectSchema::LinkTable();
} // namespace

namespace {

constexpr int kRows = 1000000;
constexpr int kColumns = 10;

void check(int rc, sqlite3* db)
{
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
        std::fprintf(stderr, "sqlite3: %s\n", sqlite3_errmsg(db));
        std::exit(1);
    }
}

void makeSource(const QString& path)
{
    sqlite3* db = nullptr;
    check(sqlite3_open(path.toUtf8().constData(), &db), db);
    QString create = QStringLiteral("CREATE TABLE Source (Id INTEGER PRIMARY KEY");
    QString insert = QStringLiteral("INSERT INTO Source VALUES (?");
    for (int c = 1; c <= kColumns; ++c) {
        create += QStringLiteral(", f%1 DOUBLE").arg(c);
        insert += QStringLiteral(", ?");
    }
    check(sqlite3_exec(db, (create + u')').toUtf8().constData(), nullptr, nullptr, nullptr), db);
    check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db);
    sqlite3_stmt* s = nullptr;
    check(sqlite3_prepare_v2(db, (insert + u')').toUtf8().constData(), -1, &s, nullptr), db);
    for (int r = 1; r <= kRows; ++r) {
        sqlite3_bind_int(s, 1, r);
        for (int c = 1; c <= kColumns; ++c)
            sqlite3_bind_double(s, c + 1, r * 0.001 + c);
        check(sqlite3_step(s), db);
        sqlite3_reset(s);
    }
    sqlite3_finalize(s);
    check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db);
    sqlite3_close(db);
}

double bareRead(const QString& path, double& sum)
{
    QElapsedTimer t;
    t.start();
    sqlite3* db = nullptr;
    check(sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr), db);
    sqlite3_stmt* s = nullptr;
    check(sqlite3_prepare_v2(db, "SELECT * FROM Source ORDER BY Id", -1, &s, nullptr), db);
    int n = 0;
    while (sqlite3_step(s) == SQLITE_ROW) {
        for (int c = 0; c <= kColumns; ++c)
            sum += sqlite3_column_double(s, c);
        ++n;
    }
    sqlite3_finalize(s);
    sqlite3_close(db);
    return n / (t.nsecsElapsed() / 1e9);
}

double layerRead(kdb::Database& project, double& sum)
{
    QElapsedTimer t;
    t.start();
    kdb::Reader r = project.ReadLinked(kLink);
    int n = 0;
    while (r.Next()) {
        for (int c = 0; c <= kColumns; ++c)
            sum += r.Double(c);
        ++n;
    }
    if (n != kRows)
        std::fprintf(stderr, "read %d rows\n", n);
    return n / (t.nsecsElapsed() / 1e9);
}

// The same ODBC read with the bare ODBC API (bound doubles, 256-row fetches): the driver's own
// ceiling, which the layer's read cannot pass.
double bareOdbcRead(const QString& connect, double& sum)
{
    QElapsedTimer t;
    t.start();
    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
    SQLHSTMT st = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
    QByteArray in = connect.toUtf8();
    SQLCHAR out[1024];
    SQLSMALLINT outLen = 0;
    if (!SQL_SUCCEEDED(SQLDriverConnect(dbc, nullptr, reinterpret_cast<SQLCHAR*>(in.data()), SQL_NTS,
                                        out, sizeof out, &outLen, SQL_DRIVER_NOPROMPT))) {
        std::fprintf(stderr, "ODBC connect failed\n");
        std::exit(1);
    }
    SQLAllocHandle(SQL_HANDLE_STMT, dbc, &st);
    constexpr SQLULEN rowset = 256;
    SQLULEN fetched = 0;
    SQLSetStmtAttr(st, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(rowset), 0);
    SQLSetStmtAttr(st, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0);
    std::vector<double> data((kColumns + 1) * rowset);
    std::vector<SQLLEN> ind((kColumns + 1) * rowset);
    for (int c = 0; c <= kColumns; ++c)
        SQLBindCol(st, SQLUSMALLINT(c + 1), SQL_C_DOUBLE, &data[c * rowset], sizeof(double),
                   &ind[c * rowset]);
    SQLExecDirect(st, reinterpret_cast<SQLCHAR*>(const_cast<char*>("SELECT * FROM \"Source\" ORDER BY \"Id\"")),
                  SQL_NTS);
    long n = 0;
    while (SQL_SUCCEEDED(SQLFetch(st))) {
        for (SQLULEN r = 0; r < fetched; ++r)
            for (int c = 0; c <= kColumns; ++c)
                sum += data[c * rowset + r];
        n += long(fetched);
    }
    SQLFreeHandle(SQL_HANDLE_STMT, st);
    SQLDisconnect(dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    return n / (t.nsecsElapsed() / 1e9);
}

using BenchMemory::PeakMb;
using BenchMemory::ResetPeak;

const char* kTestTable = "CREATE TABLE Test ( MainPrimaryKey Long CONSTRAINT PrimaryKey PRIMARY KEY, "
                         "Predicted Single, Difference Single, Mark Integer );";

double bareWrite(const QString& path)
{
    QElapsedTimer t;
    t.start();
    sqlite3* db = nullptr;
    check(sqlite3_open(path.toUtf8().constData(), &db), db);
    check(sqlite3_exec(db, kTestTable, nullptr, nullptr, nullptr), db);
    check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db);
    sqlite3_stmt* s = nullptr;
    check(sqlite3_prepare_v2(db, "INSERT INTO Test VALUES (?, ?, ?, ?)", -1, &s, nullptr), db);
    for (int r = 1; r <= kRows; ++r) {
        sqlite3_bind_int(s, 1, r);
        sqlite3_bind_double(s, 2, r * 0.5);
        if (r % 10 == 0)
            sqlite3_bind_null(s, 3);
        else
            sqlite3_bind_double(s, 3, r * 0.25);
        sqlite3_bind_int(s, 4, 0);
        check(sqlite3_step(s), db);
        sqlite3_reset(s);
    }
    sqlite3_finalize(s);
    check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db);
    sqlite3_close(db);
    return kRows / (t.nsecsElapsed() / 1e9);
}

double layerWrite(const QString& path)
{
    QElapsedTimer t;
    t.start();
    kdb::Database db = kdb::Database::Create(path);
    db.ExecuteJet(QString::fromLatin1(kTestTable));
    kdb::Transaction tx(db);
    kdb::Statement ins = db.Prepare(QStringLiteral("INSERT INTO Test VALUES (?, ?, ?, ?)"));
    for (int r = 1; r <= kRows; ++r)
        ins.Run({r, r * 0.5, r % 10 == 0 ? kdb::Value() : kdb::Value(r * 0.25), 0});
    tx.Commit();
    return kRows / (t.nsecsElapsed() / 1e9);
}

void line(const QString& what, double layer, double bare, const char* against)
{
    std::printf("%-34s %12.0f rows/s   %-22s %12.0f rows/s   ratio %.2fx\n", what.toUtf8().constData(), layer,
                against, bare, bare / layer);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir(QStringLiteral("/tmp/kdb-bench-XXXXXX"));
    if (!dir.isValid())
        return 1;
    const QString source = dir.filePath(QStringLiteral("source.mdb"));
    std::printf("kdb bench: %d rows, %d numeric columns and a key\n", kRows, kColumns);
    makeSource(source);
    try {
        double sumBare = 0, sumFile = 0, sumOdbc = 0;
        kdb::Database project = kdb::Database::Create(dir.filePath(QStringLiteral("p.kvp")));
        project.Link(kLink, QStringLiteral(";DATABASE=") + source,
                     QStringLiteral("Source"));
        const double bare = bareRead(source, sumBare);
        const double file = layerRead(project, sumFile);
        line("read " + kLink + " (file source)", file, bare, "bare sqlite3");

        const QString connect = QStringLiteral("DRIVER=SQLite3;Database=") + source
                                + QStringLiteral(";NoCreat=1;StepAPI=1");
        project.Link(kLink, QStringLiteral("ODBC;") + connect,
                     QStringLiteral("Source"));
        const double odbc = layerRead(project, sumOdbc);
        line("read " + kLink + " (ODBC source)", odbc, file, "file source (kdb)");
        double sumRaw = 0;
        const double raw = bareOdbcRead(connect, sumRaw);
        line("read " + kLink + " (ODBC source)", odbc, raw, "bare ODBC API");
        if (sumBare != sumFile || sumBare != sumOdbc)
            std::printf("warning: sums differ (%f %f %f)\n", sumBare, sumFile, sumOdbc);

        // The same table on a PostgreSQL server through psqlODBC.
        pgtest::Server& server = pgtest::Server::Get();
        QStringList values;
        for (int c = 1; c <= kColumns; ++c)
            values << QStringLiteral("r * 0.001::float8 + %1").arg(c);
        QStringList fields;
        for (int c = 1; c <= kColumns; ++c)
            fields << QStringLiteral("f%1 double precision").arg(c);
        server.Sql(QStringLiteral("CREATE TABLE \"Source\" (\"Id\" integer PRIMARY KEY, %1); "
                                  "INSERT INTO \"Source\" SELECT r, %2 FROM generate_series(1, %3) r; "
                                  "VACUUM ANALYZE \"Source\";")
                       .arg(fields.join(u','), values.join(u','))
                       .arg(kRows));
        const QString pg = server.Connect();
        double sumPg = 0;
        ResetPeak();
        QElapsedTimer linkTimer;
        linkTimer.start();
        project.Link(kLink, pg, QStringLiteral("Source"));
        std::printf("link to the server's table: %.3f s\n", linkTimer.nsecsElapsed() / 1e9);
        const double pgRead = layerRead(project, sumPg);
        const double pgPeak = PeakMb();
        double sumPgRaw = 0;
        ResetPeak();
        const double pgRaw =
            bareOdbcRead(pg.mid(5) + QStringLiteral("UseDeclareFetch=1;Fetch=4096;"), sumPgRaw);
        const double rawPeak = PeakMb();
        line("read " + kLink + " (PostgreSQL)", pgRead, file, "file source (kdb)");
        line("read " + kLink + " (PostgreSQL)", pgRead, pgRaw, "bare ODBC API");
        std::printf("peak memory of the read: layer %.0f MB, bare driver %.0f MB (target < 150 MB)\n",
                    pgPeak, rawPeak);
        if (std::abs(sumPg - sumBare) > 1e-6 * std::abs(sumBare))
            std::printf("warning: server sum differs (%f %f)\n", sumPg, sumBare);
        project.Close();

        const double wBare = bareWrite(dir.filePath(QStringLiteral("bare.kvp")));
        const double wLayer = layerWrite(dir.filePath(QStringLiteral("layer.kvp")));
        line("write Test rows (one transaction)", wLayer, wBare, "bare sqlite3");
    } catch (const KvError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
