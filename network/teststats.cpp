#include "network/teststats.h"

#include "core/numformat.h"

#include <algorithm>
#include <cmath>
#include <limits>

TestStats::Figures TestStats::Measure(const double* actuals, const float* results, int64_t rows, double lo,
                                      double hi)
{
    // One pass: sums around the first counted row's values keep the variances exact enough
    // for large fields whose values differ little.
    const double range = hi - lo;
    int64_t n = 0;
    double shiftA = 0, shiftP = 0;
    double sumAbs = 0, sse = 0;
    double sa = 0, sp = 0, saa = 0, spp = 0, sap = 0;
    for (int64_t i = 1; i <= rows; ++i) {
        const float r = results[i];
        const double a = actuals[i];
        if (!(r >= 0.0f) || std::isnan(a))
            continue;
        const double p = lo + range * double(r);
        if (n == 0) {
            shiftA = a;
            shiftP = p;
        }
        ++n;
        const double d = a - p;
        sumAbs += std::fabs(d);
        sse += d * d;
        const double x = a - shiftA;
        const double y = p - shiftP;
        sa += x;
        sp += y;
        saa += x * x;
        spp += y * y;
        sap += x * y;
    }
    Figures f;
    f.rows = n;
    f.correlation = std::numeric_limits<double>::quiet_NaN();
    if (n == 0)
        return f;
    const double count = double(n);
    f.error = range == 0 ? 0.0 : 100.0 * (sumAbs / count) / range;
    f.rmsError = std::sqrt(sse / count);
    const double sst = std::max(0.0, saa - sa * sa / count);
    const double spt = std::max(0.0, spp - sp * sp / count);
    const double cov = sap - sa * sp / count;
    f.unexplained = sst == 0 ? std::numeric_limits<double>::quiet_NaN() : sse / sst;
    if (n > 1 && sst > 0 && spt > 0)
        f.correlation = std::clamp(cov / std::sqrt(sst * spt), -1.0, 1.0);
    return f;
}

QString TestStats::FigureText(double figure, const QString& pattern)
{
    return std::isnan(figure) ? QStringLiteral("N/A") : NumFormat::Format(figure, pattern);
}

QString TestStats::FigureText(float figure, const QString& pattern)
{
    return std::isnan(figure) ? QStringLiteral("N/A") : NumFormat::FormatSingle(figure, pattern);
}
