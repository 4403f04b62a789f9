// Builds the training arrays of a back-propagation project over 1,000,000 rows of 10 inputs
// and compares the rate with a bare sqlite3 read of the same columns in the same order; then,
// over 100,000 rows of 10 inputs, times 100 training passes through Train/Verify (as the
// training window makes them) against the bare engine on the same arrays, and one Test;
// last, the Test of an SFAM project over 1,000,000 rows against the bare work it contains
// (the read of the testing rows, the engine's run and the insert of the Test rows) and what
// Finish writes there (settings, Test, steps); and the whole road (attach, statistics, first
// Train, Test, Export Marked Rows of 32,000 rows) over 1,000,000 rows on a PostgreSQL server the
// bench starts, beside the same road over the data file and the bare driver.
#include "core/apppaths.h"
#include "core/prompts.h"
#include "data/datadef.h"
#include "data/exportmarked.h"
#include "kdb/kdb.h"
#include "engine/korvan_engine.h"
#include "network/backprop.h"
#include "network/sfam.h"
#include "network/workflowflags.h"
#include "bench/peakmemory.h"
#include "bench/support/benchsource.h"
#include "bench/support/fileprompter.h"
#include "tests/kdb/pgserver.h"

#include <QCoreApplication>
#include <QFile>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHash>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <sql.h>
#include <sqlext.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
constexpr int kRows = 1000000;
constexpr int kInputs = 10;
constexpr int kTrainRows = 100000;
constexpr int kPasses = 100;

class BenchBackProp : public CBackProp {
public:
    using CBackProp::BuildArrays;
};

constexpr int kSFamTrainRows = 2000;

// Prints every message box, so that a failure shows why.
class PrintingPrompter final : public IPrompter {
public:
    MsgResult messageBox(const MessageRequest& request) override
    {
        std::fprintf(stderr, "[box %s] %s\n", request.title.toUtf8().constData(), request.text.toUtf8().constData());
        return MsgResult::Ok;
    }
    FileDialogResult fileDialog(const FileDialogRequest&) override { return {}; }
};

const char* const kClasses[] = {"alpha", "beta", "gamma", "delta"};

// kInputs random inputs and, as the last column, a random target Y or (classColumn) a class C
// that depends on the first two inputs.
void makeSource(const QString& path, int rowCount, bool classColumn = false)
{
    BenchSource::Spec spec;
    spec.rows = rowCount;
    spec.inputs = kInputs;
    if (classColumn) {
        spec.seed = 7;
        spec.text = {{"C", [](int, const std::vector<double>& x) {
                          return QString::fromLatin1(kClasses[(x[0] > 50 ? 2 : 0) + (x[1] > 50 ? 1 : 0)]);
                      }}};
    } else {
        spec.y = [](const std::vector<double>&, QRandomGenerator& rng) { return rng.generateDouble() * 100.0; };
    }
    BenchSource::Make(path, spec);
}

// The same columns read straight through sqlite3 into an array of the engine's layout.
double bareRead(const QString& path, std::vector<float>& out)
{
    QElapsedTimer timer;
    timer.start();
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    QString sql = "SELECT ";
    for (int j = 1; j <= kInputs; ++j)
        sql += QString("X%1, ").arg(j);
    sql += "Y FROM Data ORDER BY ID";
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &st, nullptr);
    const int stride = kInputs + 1;
    out.assign(size_t(kRows + 1) * stride, 0.0f);
    int64_t r = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
        ++r;
        float* row = out.data() + r * stride;
        for (int j = 0; j < kInputs; ++j)
            row[j + 1] = float(sqlite3_column_double(st, j) / 100.0);
        row[0] = float(sqlite3_column_double(st, kInputs) / 100.0);
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return timer.nsecsElapsed() / 1e9;
}
void configure(BenchBackProp& bp, const QString& project, const QString& source, int rows)
{
    bp.Initialize(project);
    bp.Attach(source, "Data");
    CDataDef& ddo = *bp.State().DDO();
    ddo.GatherStats(false);
    for (int16_t i = 1; i <= ddo.NumFields(); ++i) {
        const QString name = ddo.FieldName(i);
        ddo.SetUserMatchType(i, name.startsWith('X') ? roleInput : name == "Y" ? roleBPPredict : roleUnused);
        ddo.SetUserMin(i, 0);
        ddo.SetUserMax(i, 100);
    }
    bp.State().SetTrainLow(1);
    bp.State().SetTrainHigh(rows);
    bp.State().SetTestLow(1);
    bp.State().SetTestHigh(rows);
}

// The training window's loop: VerifyRate training calls, then one verification.
double projectPasses(BenchBackProp& bp)
{
    QElapsedTimer timer;
    timer.start();
    for (int done = 0; done < kPasses;) {
        for (int k = 0; k < bp.VerifyRate() && done < kPasses; ++k, ++done)
            bp.Train();
        bp.Verify();
    }
    return timer.nsecsElapsed() / 1e9;
}

// The same passes straight on the engine, over copies of the project's arrays.
double barePasses(const BenchBackProp& bp, const QString& netFile)
{
    std::vector<float> patterns = bp.State().Patterns();
    std::vector<float> fmin = bp.State().FieldMinimums();
    std::vector<float> fmax = bp.State().FieldMaximums();
    std::vector<float> results = bp.Results();
    int32_t cycles = 0;
    const QByteArray name = QFile::encodeName(netFile);
    const auto call = [&](int16_t command) {
        return VTBACKPROP(patterns.data(), bp.State().PatternStride(), int32_t(bp.State().Rows() + 1), fmin.data(), fmax.data(),
                          results.data(), &cycles, bp.LayerJCount(), bp.JogMax(), bp.InitMax(), bp.LearnRate(),
                          bp.Momentum(), name.constData(), command);
    };
    if (call(EngineInit) != 1 || call(EngineTrain) != 1) {
        std::printf("bare engine refused the arrays\n");
        return 0;
    }
    QElapsedTimer timer;
    timer.start();
    for (int done = 0; done < kPasses;) {
        for (int k = 0; k < bp.VerifyRate() && done < kPasses; ++k, ++done)
            call(EngineTrain);
        call(EngineRun);
    }
    const double seconds = timer.nsecsElapsed() / 1e9;
    VTRELEASE(name.constData());
    return seconds;
}

void trainingAndTest(const QString& folder)
{
    const QString source = folder + "/train.mdb";
    makeSource(source, kTrainRows);
    BenchBackProp bp;
    configure(bp, folder + "/train.kvp", source, kTrainRows);
    bp.SaveConfig();

    // The first call builds the arrays and creates the network; the passes after it are timed.
    QElapsedTimer timer;
    timer.start();
    bp.Train();
    const double first = timer.nsecsElapsed() / 1e9;
    if (bp.State().DLLError() != 0 || !bp.State().TrainBuilt()) {
        std::printf("training failed (DLLError %d)\n", bp.State().DLLError());
        return;
    }
    // Best of two rounds each, taken in turn, so that neither side gets the warmer machine.
    double project = 1e9;
    double bare = 1e9;
    for (int round = 0; round < 2; ++round) {
        project = std::min(project, projectPasses(bp));
        bare = std::min(bare, barePasses(bp, folder + "/bare.tmp"));
    }
    std::printf("\n%d rows x %d inputs, %d hidden nodes, VerifyRate %d\n", kTrainRows, kInputs, bp.LayerJCount(),
                bp.VerifyRate());
    std::printf("first Train (arrays + network): %.3f s\n", first);
    std::printf("%d passes Train/Verify:      %.3f s\n", kPasses, project);
    std::printf("%d passes bare engine:       %.3f s\n", kPasses, bare);
    std::printf("project layer overhead:         %+.1f%% (target at most +10%%)\n", (project / bare - 1) * 100);

    bp.Revert();
    timer.restart();
    const TestOutcome outcome = bp.Test();
    const double test = timer.nsecsElapsed() / 1e9;
    std::printf("Test of %lld rows (arrays, run, rebuild, Test rows): %.3f s (target under 2 s)%s\n",
                static_cast<long long>(bp.State().Rows()), test, outcome == TestOutcome::Done ? "" : "  FAILED");
}

// The bare work of an SFAM test: the testing rows read into the engine's arrays, the engine's
// run over them, and the Test rows inserted into a fresh table. Seconds of each in `parts`.
double bareSFamTest(const CSFam& sf, const QString& source, const QString& netFile, const QString& out,
                    double parts[3])
{
    QElapsedTimer timer;
    timer.start();
    // Read.
    sqlite3* db = nullptr;
    sqlite3_open_v2(source.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    QString sql = "SELECT ID, ";
    for (int j = 1; j <= kInputs; ++j)
        sql += QString("X%1, ").arg(j);
    sql += "C FROM Data ORDER BY ID";
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &st, nullptr);
    const int stride = kInputs + 1;
    std::vector<float> patterns(size_t(kRows + 1) * stride, 0.0f);
    std::vector<int16_t> results(size_t(kRows + 1), 0);
    std::vector<int64_t> keys(size_t(kRows + 1), 0);
    QHash<QByteArray, int16_t> classes;
    for (size_t i = 1; i < sf.ClassNames().size(); ++i)
        classes.insert(sf.ClassNames()[i].toUtf8(), int16_t(i));
    int64_t r = 0;
    while (sqlite3_step(st) == SQLITE_ROW && r < kRows) {
        ++r;
        keys[size_t(r)] = sqlite3_column_int64(st, 0);
        float* row = patterns.data() + r * stride;
        for (int j = 1; j <= kInputs; ++j)
            row[j] = float(sqlite3_column_double(st, j) / 100.0);
        const QByteArray c(reinterpret_cast<const char*>(sqlite3_column_text(st, kInputs + 1)));
        row[0] = float(classes.value(c, 0));
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    parts[0] = timer.nsecsElapsed() / 1e9;

    // Run.
    timer.restart();
    std::vector<float> fmin = sf.State().FieldMinimums();
    std::vector<float> fmax = sf.State().FieldMaximums();
    int32_t cycles = 0;
    const QByteArray name = QFile::encodeName(netFile);
    const auto call = [&](int16_t command) {
        return VTSFAM(patterns.data(), stride, int32_t(kRows + 1), fmin.data(), fmax.data(), results.data(), &cycles,
                      sf.VigBase(), sf.Alpha(), sf.Beta(), sf.Epsilon(), name.constData(), command);
    };
    if (call(EngineRead) != 1)
        std::printf("bare engine could not read the network\n");
    timer.restart();
    call(EngineRun);
    parts[1] = timer.nsecsElapsed() / 1e9;
    VTRELEASE(name.constData());

    // Insert.
    timer.restart();
    QFile::remove(out);
    sqlite3_open_v2(out.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    // The table as the project holds it: the key a column of its own with a unique index.
    sqlite3_exec(db,
                 "CREATE TABLE Test (MainPrimaryKey Long CONSTRAINT PrimaryKey PRIMARY KEY, "
                 "Predicted Text(255) COLLATE NOCASE, Mark Integer)",
                 nullptr, nullptr, nullptr);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_prepare_v2(db, "INSERT INTO Test VALUES (?, ?, 0)", -1, &st, nullptr);
    std::vector<QByteArray> names;
    for (const QString& n : sf.ClassNames())
        names.push_back(n.toUtf8());
    for (int64_t i = 1; i <= r; ++i) {
        sqlite3_bind_int64(st, 1, keys[size_t(i)]);
        const int16_t c = results[size_t(i)];
        const QByteArray& text = c > 0 && size_t(c) < names.size() ? names[size_t(c)] : names[0];
        sqlite3_bind_text(st, 2, text.constData(), int(text.size()), SQLITE_STATIC);
        sqlite3_step(st);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    parts[2] = timer.nsecsElapsed() / 1e9;
    return parts[0] + parts[1] + parts[2];
}

void sfamTest(const QString& folder)
{
    const QString source = folder + "/classes.mdb";
    QElapsedTimer timer;
    timer.start();
    makeSource(source, kRows, true);
    std::printf("\nSFAM source: %d rows x %d inputs written in %.1f s\n", kRows, kInputs, timer.nsecsElapsed() / 1e9);

    CSFam sf;
    sf.Initialize(folder + "/classes.kvp");
    sf.Attach(source, "Data");
    CDataDef& ddo = *sf.State().DDO();
    ddo.GatherStats(false);
    for (int16_t i = 1; i <= ddo.NumFields(); ++i) {
        const QString name = ddo.FieldName(i);
        ddo.SetUserMatchType(i, name.startsWith('X') ? roleInput : name == "C" ? roleSFamPredict : roleUnused);
        ddo.SetUserMin(i, 0);
        ddo.SetUserMax(i, 100);
    }
    sf.State().SetTrainLow(1);
    sf.State().SetTrainHigh(kSFamTrainRows);
    sf.State().SetTestLow(1);
    sf.State().SetTestHigh(kRows);
    sf.BuildClassList();
    sf.SaveConfig();
    sf.Train();
    if (!sf.State().NetReady() || sf.State().DLLError() != 0) {
        std::printf("SFAM training failed (DLLError %d)\n", sf.State().DLLError());
        return;
    }
    sf.SaveConfig();   // the engine file holds the network from here on
    sf.Test();         // so that each timed test replaces the rows of one before it

    // Best of two rounds each, in turn. Each Test builds its testing arrays anew, as the first
    // test after a training does.
    double test = 1e9;
    double bare = 1e9;
    double parts[3] = {0, 0, 0};
    double bestParts[3] = {0, 0, 0};
    TestOutcome outcome = TestOutcome::Done;
    for (int round = 0; round < 2; ++round) {
        sf.State().SetTestHigh(kRows);   // forgets the testing rows
        timer.restart();
        outcome = sf.Test();
        test = std::min(test, timer.nsecsElapsed() / 1e9);
        // The bare run reads a copy of the network under a name of its own.
        const QString bareNet = folder + "/bare-sfam.net";
        QFile::remove(bareNet);
        QFile::copy(sf.NetFileName(), bareNet);
        const double b = bareSFamTest(sf, source, bareNet, folder + "/bare-test.mdb", parts);
        if (b < bare) {
            bare = b;
            std::copy(parts, parts + 3, bestParts);
        }
    }
    std::printf("SFAM Test of %d rows (%d nodes): %.3f s%s\n", kRows, int(sf.CurrentNodes()), test,
                outcome == TestOutcome::Done ? "" : "  FAILED");
    std::printf("bare read + run + insert:      %.3f s (%.3f + %.3f + %.3f)\n", bare, bestParts[0], bestParts[1],
                bestParts[2]);
    std::printf("ratio:                         %.2fx (target within 2x)\n", test / bare);

    // A test after the project is opened again: the class list of the unchanged source stays.
    const QString project = sf.State().ProjectFileName();
    CSFam reopened;
    reopened.Initialize(project);
    timer.restart();
    outcome = reopened.Test();
    std::printf("first Test after opening:      %.3f s%s\n", timer.nsecsElapsed() / 1e9,
                outcome == TestOutcome::Done ? "" : "  FAILED");
    // What Finish writes after a training: the settings and the network, the test, the steps.
    timer.restart();
    reopened.SaveConfig();
    outcome = reopened.Test();
    CProcess steps;
    steps.Load(project);
    steps.SetIsTested(true);
    steps.Save(project);
    std::printf("Finish (settings, Test, steps): %.3f s%s\n", timer.nsecsElapsed() / 1e9,
                outcome == TestOutcome::Done ? "" : "  FAILED");
    // What a test adds when the source changed: the classes counted over the whole table.
    timer.restart();
    reopened.BuildClassList();
    std::printf("class list counted anew:       %.3f s (added to a test after a change of the source)\n",
                timer.nsecsElapsed() / 1e9);
}

using BenchMemory::PeakMb;
using BenchMemory::ResetPeak;

struct Phase {
    double seconds = 0;
    double peak = 0;
};

template <class Body>
Phase timed(Body&& body)
{
    ResetPeak();
    QElapsedTimer timer;
    timer.start();
    body();
    return {timer.nsecsElapsed() / 1e9, PeakMb()};
}

// The road of a user over one source: attach, statistics, first Train over the training rows
// (70%), Test over the testing rows (30%), Export Marked Rows of the first 32,000 of them.
std::vector<Phase> road(const QString& project, const QString& source, const QString& table)
{
    std::vector<Phase> phases;
    BenchBackProp bp;
    phases.push_back(timed([&] {
        bp.Initialize(project);
        bp.Attach(source, table);
    }));
    phases.push_back(timed([&] { bp.State().DDO()->GatherStats(true); }));
    CDataDef& ddo = *bp.State().DDO();
    for (int16_t i = 1; i <= ddo.NumFields(); ++i) {
        const QString name = ddo.FieldName(i);
        ddo.SetUserMatchType(i, name.startsWith('X') ? roleInput : name == "Y" ? roleBPPredict : roleUnused);
    }
    bp.State().SetTrainLow(1);
    bp.State().SetTrainHigh(kRows * 7 / 10);
    bp.State().SetTestLow(kRows * 7 / 10 + 1);
    bp.State().SetTestHigh(kRows);
    bp.SaveConfig();
    phases.push_back(timed([&] { bp.Train(); }));
    if (bp.State().DLLError() != 0)
        std::printf("training failed (DLLError %d)\n", bp.State().DLLError());
    phases.push_back(timed([&] {
        if (bp.Test() != TestOutcome::Done)
            std::printf("Test failed\n");
    }));
    {
        kdb::Database db = kdb::Database::Open(project, false, false);
        db.Execute("UPDATE Test SET Mark = -1 WHERE rowid <= 32000");
    }
    const QString file = QFileInfo(project).absolutePath() + "/export.txt";
    QFile::remove(file);
    FilePrompter chosen(file);
    IPrompter* was = Prompts::Install(&chosen);
    phases.push_back(timed([&] { Utilities::ExportMarked(project, bp.State().DDO().get()); }));
    Prompts::Install(was);
    return phases;
}

// The driver alone: one aggregate statement for all columns, and the read of the columns in
// key order fetched by cursor.
std::vector<Phase> bareDriver(const QString& connect)
{
    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
    QByteArray in = (connect + "UseDeclareFetch=1;Fetch=4096;").toUtf8();
    SQLCHAR out[1024];
    SQLSMALLINT outLen = 0;
    std::vector<Phase> phases;
    if (!SQL_SUCCEEDED(SQLDriverConnect(dbc, nullptr, reinterpret_cast<SQLCHAR*>(in.data()), SQL_NTS, out,
                                        sizeof out, &outLen, SQL_DRIVER_NOPROMPT))) {
        std::printf("bare driver: connect failed\n");
        return phases;
    }
    const auto run = [&](const QString& sql, int columns) {
        SQLHSTMT st = SQL_NULL_HSTMT;
        SQLAllocHandle(SQL_HANDLE_STMT, dbc, &st);
        QByteArray text = sql.toUtf8();
        SQLExecDirect(st, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS);
        double sum = 0;
        while (SQL_SUCCEEDED(SQLFetch(st))) {
            for (int c = 1; c <= columns; ++c) {
                double v = 0;
                SQLLEN ind = 0;
                SQLGetData(st, SQLUSMALLINT(c), SQL_C_DOUBLE, &v, 0, &ind);
                sum += v;
            }
        }
        SQLFreeHandle(SQL_HANDLE_STMT, st);
        return sum;
    };
    QStringList aggregates;
    QStringList columns;
    for (int j = 1; j <= kInputs + 1; ++j) {
        const QString c = j <= kInputs ? QString("\"X%1\"").arg(j) : QString("\"Y\"");
        aggregates << QString("COUNT(%1), MIN(%1), MAX(%1), AVG(%1), STDDEV_SAMP(%1)").arg(c);
        columns << c;
    }
    phases.push_back(timed([&] { run("SELECT " + aggregates.join(", ") + " FROM data", (kInputs + 1) * 5); }));
    phases.push_back(timed([&] { run("SELECT " + columns.join(", ") + " FROM data ORDER BY \"ID\"", kInputs + 1); }));
    SQLDisconnect(dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    return phases;
}

void serverRoad(const QString& folder, const QString& fileSource)
{
    pgtest::Server& server = pgtest::Server::Get();
    QStringList columns;
    QStringList values;
    for (int j = 1; j <= kInputs; ++j) {
        columns << QString("\"X%1\" double precision").arg(j);
        values << "random() * 100";
    }
    QElapsedTimer timer;
    timer.start();
    server.Sql(QString("CREATE TABLE data (\"ID\" integer PRIMARY KEY, %1, \"Y\" double precision); "
                       "INSERT INTO data SELECT r, %2, random() * 100 FROM generate_series(1, %3) r; "
                       "VACUUM ANALYZE data;")
                   .arg(columns.join(", "), values.join(", "))
                   .arg(kRows));
    std::printf("\nserver table: %d rows x %d inputs written in %.1f s\n", kRows, kInputs,
                timer.nsecsElapsed() / 1e9);
    const std::vector<Phase> file = road(folder + "/roadfile.kvp", fileSource, "Data");
    const std::vector<Phase> pg = road(folder + "/roadserver.kvp", server.Connect(), "public.data");
    const std::vector<Phase> bare = bareDriver(server.Connect().mid(5));
    const char* names[] = {"Initialize + Attach", "GatherStats", "first Train (70%)", "Test (30% testing rows)",
                           "Export Marked, 32,000 rows"};
    std::printf("%-26s %14s %14s %14s\n", "step at 1M rows", "PostgreSQL", "SQLite file", "bare driver");
    for (size_t i = 0; i < 5; ++i) {
        QString b = "-";
        if (i == 1 && bare.size() > 0)
            b = QString("%1 s (aggregates)").arg(bare[0].seconds, 0, 'f', 2);
        if (i == 2 && bare.size() > 1)
            b = QString("%1 s (read)").arg(bare[1].seconds, 0, 'f', 2);
        std::printf("%-26s %12.2f s %12.2f s   %s\n", names[i], pg[i].seconds, file[i].seconds, qPrintable(b));
    }
    std::printf("%-26s", "peak memory per step (MB)");
    for (size_t i = 0; i < 5; ++i)
        std::printf(" %.0f/%.0f", pg[i].peak, file[i].peak);
    std::printf("  (server/file)");
    if (bare.size() > 1)
        std::printf("; bare read %.0f", bare[1].peak);
    std::printf("\ntargets: Attach < 0.5 s, GatherStats <= 2x file, Test <= 2x file, memory < 150 MB\n");
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    PrintingPrompter prompter;
    Prompts::Install(&prompter);
    QTemporaryDir dir;
    AppPaths::SetProgramFolder(dir.path() + "/program");
    // "sfam": the SFAM test figure alone.
    if (argc > 1 && QByteArray(argv[1]) == "sfam") {
        sfamTest(dir.path());
        return 0;
    }
    const QString source = dir.path() + "/big.mdb";
    const QString project = dir.path() + "/big.kvp";

    QElapsedTimer timer;
    timer.start();
    makeSource(source, kRows);
    std::printf("source table: %d rows x %d inputs written in %.1f s\n", kRows, kInputs, timer.nsecsElapsed() / 1e9);
    // "server": the road over the PostgreSQL server and the file alone; "arrays": the arrays
    // beside the bare read alone.
    if (argc > 1 && QByteArray(argv[1]) == "server") {
        serverRoad(dir.path(), source);
        return 0;
    }

    BenchBackProp bp;
    configure(bp, project, source, kRows);
    if (!bp.BuildArrays(0)) {
        std::printf("layout failed\n");
        return 1;
    }

    std::vector<float> bare;
    double best = 1e9;
    double bestBare = 1e9;
    for (int round = 0; round < 3; ++round) {
        timer.restart();
        if (!bp.BuildArrays(1) || bp.State().Rows() != kRows) {
            std::printf("BuildArrays failed\n");
            return 1;
        }
        best = std::min(best, timer.nsecsElapsed() / 1e9);
        bestBare = std::min(bestBare, bareRead(source, bare));
    }
    std::printf("BuildArrays(1):      %8.0f rows/s  (%.3f s)\n", kRows / best, best);
    std::printf("bare sqlite3 read:   %8.0f rows/s  (%.3f s)\n", kRows / bestBare, bestBare);
    std::printf("ratio:               %.2fx (target within 1.5x)\n", best / bestBare);
    if (argc > 1 && QByteArray(argv[1]) == "arrays")
        return 0;

    trainingAndTest(dir.path());
    sfamTest(dir.path());
    serverRoad(dir.path(), source);
    return 0;
}
