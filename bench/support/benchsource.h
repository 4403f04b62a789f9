// The generated source table of the benchmarks: Data (ID INTEGER PRIMARY KEY, X1..Xn REAL,
// [Y REAL], [text columns...]), filled from one seeded random generator in a single transaction.
#pragma once

#include <QRandomGenerator>
#include <QString>

#include <functional>
#include <vector>

namespace BenchSource {

// A text column after the inputs (and Y): its value from the row number and that row's inputs.
struct TextColumn {
    QString name;
    std::function<QString(int row, const std::vector<double>& x)> value;
};

struct Spec {
    int rows = 0;
    int inputs = 10;
    quint32 seed = 42;
    // Y from the row's inputs, drawn before it; it may draw more from the generator. Without
    // it the table has no Y column.
    std::function<double(const std::vector<double>& x, QRandomGenerator& rng)> y;
    std::vector<TextColumn> text;
};

// Creates the database at `path` with its Data table. Each row draws its inputs in order
// (uniform 0..100), then Y, then the text columns.
void Make(const QString& path, const Spec& spec);

} // namespace BenchSource
