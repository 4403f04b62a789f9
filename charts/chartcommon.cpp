#include "charts/chartcommon.h"

#include "core/errorbox.h"
#include "core/numformat.h"
#include "core/widgets/winhelpers.h"
#include "data/datadef.h"
#include "data/fieldtypes.h"
#include "network/backprop.h"
#include "network/networkconstants.h"
#include "network/teststats.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr int16_t kCurrency = 5;
}

QString ChartFormat::AxisFormat(int16_t fieldType, double lo, double hi)
{
    if (fieldType == kCurrency)
        return QStringLiteral("0.00");
    const double r = hi - lo;
    if (r > 100 || r > 10)
        return QStringLiteral("0");
    if (r > 1)
        return QStringLiteral("0.0");
    if (r > 0.1)
        return QStringLiteral("0.00");
    if (r > 0.01)
        return QStringLiteral("0.000");
    return QStringLiteral("0.0000");
}

ChartFormat::AxisText ChartFormat::NumberText(const QString& format)
{
    return [format](double value) { return NumFormat::Format(value, format); };
}

ChartFormat::AxisText ChartFormat::FieldText(int16_t fieldType, const QString& format)
{
    if (const dbUtilities::ValueForm form = dbUtilities::FieldValueForm(fieldType); form != dbUtilities::ValueForm::Number)
        return [form](double value) { return dbUtilities::SerialText(value, form); };
    return NumberText(format);
}

ChartFormat::AxisText ChartFormat::DifferenceText(int16_t fieldType, const QString& format)
{
    if (dbUtilities::FieldValueForm(fieldType) == dbUtilities::ValueForm::Time)
        return FieldText(fieldType, format);
    return NumberText(format);
}

ChartFormat::ChartRows ChartFormat::RowsOf(const TestedPredictions& data, double lo, double hi)
{
    ChartRows rows;
    rows.origin = lo;
    const double range = hi - lo;
    const size_t n = std::max<size_t>(data.predicted.size(), 1);
    // The rows' own values when the network kept them; otherwise the actual array's, which
    // the user range clamps.
    const bool own = data.actualValues.size() == data.predicted.size();
    rows.actual.assign(n, std::nanf(""));
    rows.predicted.assign(n, std::nanf(""));
    for (size_t i = 1; i < data.predicted.size(); ++i) {
        float actual = std::nanf("");
        if (own)
            actual = float(data.actualValues[i] - lo);
        else if (i < data.actual.size())
            actual = float(double(data.actual[i]) * range);
        const float p = data.predicted[i];
        // A value beyond a single's range has no place on a scale either.
        if (p == float(UnusableRow) || !std::isfinite(actual))
            continue;
        rows.actual[i] = actual;
        rows.predicted[i] = float(double(p) * range);
    }
    return rows;
}

ChartFormat::ValueScale ChartFormat::ScaleOf(const ChartRows& rows, double lo, double hi)
{
    ValueScale scale{lo, hi};
    if (!(lo <= hi))
        return scale;
    // Compared as the rows hold them: a value on a limit is that limit, not its rounding.
    float low = 0, high = float(hi - rows.origin);
    const float top = high;
    for (int64_t i = 1; i <= rows.Count(); ++i) {
        const float p = rows.predicted[size_t(i)];
        if (std::isnan(p))
            continue;
        for (const float v : {p, rows.actual[size_t(i)]})
            if (std::isfinite(v)) {
                low = std::min(low, v);
                high = std::max(high, v);
            }
    }
    if (low < 0)
        scale.lo = rows.origin + double(low);
    if (high > top)
        scale.hi = rows.origin + double(high);
    return scale;
}

int ChartFormat::LabelStep(const std::array<std::pair<double, double>, 11>& spans, double gap)
{
    for (const int step : {1, 2, 5}) {
        bool clear = true;
        for (int i = 0; i < 10 && clear; i += step) {
            const int next = std::min(i + step, 10);
            clear = spans[size_t(i)].second + gap <= spans[size_t(next)].first;
        }
        if (clear)
            return step;
    }
    return 10;
}

ChartFormat::Statistics ChartFormat::StatisticTexts(float currentError, float rmsError, float unexplained,
                                                    double correlation)
{
    Statistics s;
    s.error = NumFormat::FormatSingle(currentError, QStringLiteral("0.00")) + QLatin1Char('%');
    s.rms = NumFormat::FormatSingle(rmsError, QStringLiteral("0.00    "));
    s.unexplained = TestStats::FigureText(unexplained, QStringLiteral("0.00"));
    s.correlation = TestStats::FigureText(correlation, QStringLiteral("0.00"));
    return s;
}

ChartFormat::Statistics ChartFormat::StatisticTexts(CBackProp& net)
{
    float error = -1, rms = -1, u = 0;
    double r = std::nan("");
    IgnoreErrors([&] { error = net.State().CurrentError(); });
    const bool rows = net.State().TrainBuilt() || net.State().TestBuilt();
    if (rows) {
        // One pass over the rows for the three figures.
        IgnoreErrors([&] {
            if (const auto f = net.RowFigures()) {
                rms = float(f->rmsError);
                u = float(f->unexplained);
                r = f->correlation;
            }
        });
    } else {
        IgnoreErrors([&] { rms = net.ActualRMSError(); });
    }
    Statistics s = StatisticTexts(error, rms, u, r);
    // A failed test leaves -1, and without rows there is nothing to measure: no figure then.
    if (error < 0)
        s.error.clear();
    if (rms < 0)
        s.rms.clear();
    if (!rows) {
        s.unexplained.clear();
        s.correlation.clear();
    }
    return s;
}

ChartFormat::FieldRange ChartFormat::PredictionRange(CBackProp& net)
{
    FieldRange range;
    IgnoreErrors([&] {
        const int16_t f = net.PredictField();
        auto ddo = net.State().DDO();
        if (f < 1 || !ddo)
            return;
        range.lo = ddo->UserMin(f);
        range.hi = ddo->UserMax(f);
        const int16_t type = ddo->FieldType(f);
        range.format = AxisFormat(type, range.lo, range.hi);
        range.text = FieldText(type, range.format);
        range.difference = DifferenceText(type, range.format);
        range.name = ddo->FieldName(f);
        range.valid = true;
    });
    return range;
}

