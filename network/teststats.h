// The error figures of a back-propagation run in the prediction field's units, measured against
// the rows' own actual values (not their normalised forms, which the user range clamps).
#pragma once

#include <QString>
#include <cstdint>

namespace TestStats {
struct Figures {
    // Mean |actual - predicted| in percent of the range hi - lo: the engine's own measure of
    // the error, here against the actual values themselves. 0 for a range of 0.
    double error = 0;
    // Root-mean-square error.
    double rmsError = 0;
    // SSE / SST; NaN when the actual values do not vary (SST 0): no share of no variance can
    // be told, and 0 would read as a perfect model.
    double unexplained = 0;
    // Pearson's r of predicted against actual; NaN when either side does not vary (or fewer
    // than two rows count).
    double correlation = 0;
    int64_t rows = 0;
};
// Rows 1..rows: `actuals` the prediction field's own values (NaN: missing), `results` the
// normalised predictions (-1, or any negative value, for a row without one), which stand for
// lo + (hi - lo) * v. A row counts when it has both. With no row counting every figure is 0
// and the correlation NaN. Sums are kept in double precision.
Figures Measure(const double* actuals, const float* results, int64_t rows, double lo, double hi);
// The unexplained variance and the correlation coefficient as the windows show them: by the
// number pattern (a Single's figure as a Single), "N/A" when the figure is undefined (NaN).
QString FigureText(double figure, const QString& pattern);
QString FigureText(float figure, const QString& pattern);
}
