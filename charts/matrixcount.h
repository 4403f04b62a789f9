// The confusion matrix of a tested SFAM project, counted without widgets: how many tested rows
// of each actual class the network put into each class, with row and column totals and the
// two overall error rates. Reads the project database only.
#pragma once

#include <QString>
#include <cstdint>
#include <vector>

struct MatrixCount {
    std::vector<QString> classes;   // the Classes table's values, in its row order
    std::vector<int32_t> cells;     // n x n: predicted class p (row), actual class a (column)
    std::vector<int32_t> sumPredicted; // row totals
    std::vector<int32_t> sumActual;    // column totals
    int32_t total = 0;
    float predErr = 0; // fractions, 0 to 1
    float actErr = 0;

    int Count() const { return int(classes.size()); }
    int32_t At(int p, int a) const { return cells[size_t(p) * classes.size() + size_t(a)]; }
    // A row's or a column's error rate: "0.00%" for an empty total, else
    // (total - diagonal) / total as "0.00%".
    QString RowRate(int p) const;
    QString ColumnRate(int a) const;

    // The index of the class equal to `name` ignoring case, or -1 when none is.
    int FindClassIndex(const QString& name) const;
    // The sums and rates of the cells.
    void Totals();
};

namespace MatrixCounting {
// Counts the project's Test rows joined with the linked source table on the key field
// `keyField`, by the prediction field `predictField` (actual) and Test.Predicted. Rows without
// prediction and rows whose actual value is Null are left out. Raises KvError (a missing file
// or table, an empty class list, a failing query).
MatrixCount Count(const QString& projectFile, const QString& predictField, const QString& keyField);
}
