#include "training/errorhistory.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

const ChartCell kNothing{};

ChartCell BlankLabel() { return ChartCell(QStringLiteral(" - ")); }

// A cell's number for the scale rule: nothing counts as 0; the no-value marker compares false
// with everything.
std::optional<double> Number(const ChartCell& cell)
{
    return cell.Number();
}

bool Greater(const ChartCell& a, const ChartCell& b)
{
    const auto x = Number(a), y = Number(b);
    return x && y && *x > *y;
}

bool Less(const ChartCell& a, const ChartCell& b)
{
    const auto x = Number(a), y = Number(b);
    return x && y && *x < *y;
}

// The chart labels a scale that is not whole with two decimals: a tick of less than a hundredth,
// or one between hundredths, repeats labels (8.94, 8.94, 8.95 ...). The tick is taken up to whole
// hundredths, so that every tick lies on its own label; the scale's ends stay.
double LabelledTick(double tick)
{
    const double hundredths = std::ceil(tick * 100 - 1e-6);
    return std::max(1.0, hundredths) / 100;
}

} // namespace

CErrorHistory::CErrorHistory(const Shape& shape)
    : m_shape(shape), m_labels(size_t(shape.points)), m_errors(size_t(shape.points)), m_chartBest(shape.noBest)
{
    blank();
}

ChartTable CErrorHistory::table() const
{
    ChartTable t(1, m_shape.points - 1);
    for (int p = 0; p < m_shape.points; ++p) {
        t(0, p) = m_labels[size_t(p)];
        t(1, p) = m_errors[size_t(p)];
    }
    return t;
}

const ChartCell& CErrorHistory::cell(int row, int point) const
{
    if (point < 0 || point >= m_shape.points || row < 0 || row > 1)
        return kNothing;
    return row == 0 ? m_labels[size_t(point)] : m_errors[size_t(point)];
}

void CErrorHistory::setPoint(int point, ChartCell label, ChartCell error)
{
    m_labels[size_t(point)] = std::move(label);
    m_errors[size_t(point)] = std::move(error);
}

void CErrorHistory::blank()
{
    blankPoints(0, m_shape.points - 1);
    m_lastPoint = -1;
}

void CErrorHistory::clear()
{
    for (int p = 0; p < m_shape.points; ++p)
        setPoint(p, {}, {});
    m_lastPoint = -1;
}

void CErrorHistory::blankPoints(int from, int to)
{
    for (int p = std::max(from, 0); p <= to && p < m_shape.points; ++p)
        setPoint(p, BlankLabel(), ChartCell::Null());
}

void CErrorHistory::seed(int32_t cycles, float error)
{
    setPoint(0, ChartCell(int(cycles)), ChartCell(double(error)));
    m_lastPoint = 0;
}

QString CErrorHistory::PassLabel(int32_t cycles)
{
    return QLatin1Char(' ') + QString::number(cycles) + QLatin1Char(' ');
}

void CErrorHistory::addPoint(int32_t cycles, float error, float best)
{
    const int last = m_shape.lastIndex;
    const bool shifted = m_lastPoint >= last;
    if (shifted) {
        for (int p = 0; p < last; ++p)
            setPoint(p, m_labels[size_t(p + 1)], m_errors[size_t(p + 1)]);
        m_lastPoint = last;
    } else {
        ++m_lastPoint;
    }
    setPoint(m_lastPoint, ChartCell(PassLabel(cycles)), ChartCell(double(error)));

    if (best == -1) {
        m_markPoint = -1;
    } else if (m_chartBest == -1 || best < m_chartBest) {
        m_chartBest = best;
        m_markPoint = m_lastPoint;
    } else if (shifted && m_markPoint >= 0) {
        // The marked point moved left with the window; past point 0 it is gone.
        --m_markPoint;
    }

    blankPoints(m_lastPoint + 1, last);
    blankPoints(last + 1, m_shape.points - 1);
}

void CErrorHistory::notePass(float best)
{
    if (best == -1)
        m_markPoint = -1;
    else if (best < m_chartBest)
        m_chartBest = best;
}

HistoryScale CErrorHistory::scale(bool zoomed, int headroom) const
{
    int iMax = 0, iMin = 0;
    for (int i = 1; i <= m_shape.lastIndex && i < m_shape.points; ++i) {
        if (Greater(m_errors[size_t(i)], m_errors[size_t(iMax)]))
            iMax = i;
        else if (Less(m_errors[size_t(i)], m_errors[size_t(iMin)]))
            iMin = i;
    }
    const std::optional<double> top = Number(m_errors[size_t(iMax)]);
    const std::optional<double> bottom = Number(m_errors[size_t(iMin)]);
    HistoryScale s;
    // A history of no-value cells only has nothing to scale: the empty chart's 0 to 100.
    if (!top || !bottom)
        return s;
    if (zoomed) {
        float range = float(*top) - float(*bottom);
        if (range == 0)
            range = 0.25f;
        const float high = float(*top) + range / 2;
        float low = float(*bottom) - range / 2;
        if (!(low >= 0))
            low = 0;
        s.high = high;
        s.low = low;
        s.tick = LabelledTick((s.high - s.low) / 10);
    } else {
        s.high = std::floor(*top) + headroom;
        s.tick = std::floor(*top / 10) + 1;
        s.low = 0;
    }
    return s;
}
