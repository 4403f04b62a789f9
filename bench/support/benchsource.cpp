#include "bench/support/benchsource.h"

#include "kdb/kdb.h"

namespace BenchSource {

void Make(const QString& path, const Spec& spec)
{
    kdb::Database db = kdb::Database::Create(path);
    QString columns;
    QString marks = "?";
    for (int j = 1; j <= spec.inputs; ++j) {
        columns += QString(", X%1 REAL").arg(j);
        marks += ",?";
    }
    if (spec.y) {
        columns += ", Y REAL";
        marks += ",?";
    }
    for (const TextColumn& c : spec.text) {
        columns += ", " + c.name + " TEXT";
        marks += ",?";
    }
    db.Execute("CREATE TABLE Data (ID INTEGER PRIMARY KEY" + columns + ")");
    kdb::Transaction t(db);
    kdb::Statement ins = db.Prepare("INSERT INTO Data VALUES (" + marks + ")");
    QRandomGenerator rng(spec.seed);
    std::vector<double> x(size_t(spec.inputs));
    for (int r = 1; r <= spec.rows; ++r) {
        ins.Bind(1, int64_t(r));
        for (int j = 0; j < spec.inputs; ++j) {
            x[size_t(j)] = rng.generateDouble() * 100.0;
            ins.Bind(j + 2, x[size_t(j)]);
        }
        int pos = spec.inputs + 2;
        if (spec.y)
            ins.Bind(pos++, spec.y(x, rng));
        for (const TextColumn& c : spec.text)
            ins.Bind(pos++, c.value(r, x));
        while (ins.Step()) {
        }
        ins.Reset();
    }
    t.Commit();
}

} // namespace BenchSource
