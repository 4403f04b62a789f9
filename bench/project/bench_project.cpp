// Builds the training arrays of a back-propagation project over 1,000,000 rows of 10 inputs
// and compares the rate with a bare sqlite3 read of the same columns in the same order.
#include "core/apppaths.h"
#include "data/datadef.h"
#include "kdb/kdb.h"
#include "network/backprop.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <sqlite3.h>

#include <cstdio>
#include <vector>

namespace {
constexpr int kRows = 1000000;
constexpr int kInputs = 10;

class BenchBackProp : public CBackProp {
public:
    using CBackProp::BuildArrays;
};

void makeSource(const QString& path)
{
    kdb::Database db = kdb::Database::Create(path);
    QString columns;
    QString marks = "?";
    for (int j = 1; j <= kInputs; ++j) {
        columns += QString(", X%1 REAL").arg(j);
        marks += ",?";
    }
    db.Execute("CREATE TABLE Data (ID INTEGER PRIMARY KEY" + columns + ", Y REAL)");
    kdb::Transaction t(db);
    kdb::Statement ins = db.Prepare("INSERT INTO Data VALUES (" + marks + ",?)");
    QRandomGenerator rng(42);
    for (int r = 1; r <= kRows; ++r) {
        ins.Bind(1, int64_t(r));
        for (int j = 1; j <= kInputs + 1; ++j)
            ins.Bind(j + 1, rng.generateDouble() * 100.0);
        while (ins.Step()) {
        }
        ins.Reset();
    }
    t.Commit();
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
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    AppPaths::SetProgramFolder(dir.path() + "/program");
    const QString source = dir.path() + "/big.mdb";
    const QString project = dir.path() + "/big.kvp";

    QElapsedTimer timer;
    timer.start();
    makeSource(source);
    std::printf("source table: %d rows x %d inputs written in %.1f s\n", kRows, kInputs, timer.nsecsElapsed() / 1e9);

    BenchBackProp bp;
    bp.Initialize(project);
    bp.Attach(source, "Data");
    CDataDef& ddo = *bp.DDO();
    ddo.GatherStats(false);
    for (int16_t i = 1; i <= ddo.NumFields(); ++i) {
        const QString name = ddo.FieldName(i);
        ddo.SetUserMatchType(i, name.startsWith('X') ? roleInput : name == "Y" ? roleBPPredict : roleUnused);
        ddo.SetUserMin(i, 0);
        ddo.SetUserMax(i, 100);
    }
    bp.SetTrainLow(1);
    bp.SetTrainHigh(kRows);
    if (!bp.BuildArrays(0)) {
        std::printf("layout failed\n");
        return 1;
    }

    std::vector<float> bare;
    double best = 1e9;
    double bestBare = 1e9;
    for (int round = 0; round < 3; ++round) {
        timer.restart();
        if (!bp.BuildArrays(1) || bp.Rows() != kRows) {
            std::printf("BuildArrays failed\n");
            return 1;
        }
        best = std::min(best, timer.nsecsElapsed() / 1e9);
        bestBare = std::min(bestBare, bareRead(source, bare));
    }
    std::printf("BuildArrays(1):      %8.0f rows/s  (%.3f s)\n", kRows / best, best);
    std::printf("bare sqlite3 read:   %8.0f rows/s  (%.3f s)\n", kRows / bestBare, bestBare);
    std::printf("ratio:               %.2fx (target within 1.5x)\n", best / bestBare);
    return 0;
}
