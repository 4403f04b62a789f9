#include "training/chartlayout.h"

#include "core/kverror.h"
#include "core/numformat.h"
#include "core/twips.h"

#include <cmath>

ChartCell ChartCell::Null()
{
    ChartCell cell;
    cell.m_kind = Kind::Null;
    return cell;
}

std::optional<double> ChartCell::Number() const
{
    switch (m_kind) {
    case Kind::Empty: return 0.0;
    case Kind::Whole:
    case Kind::Number: return m_number;
    case Kind::Text: {
        bool ok = false;
        const double value = m_text.trimmed().toDouble(&ok);
        if (ok)
            return value;
        return std::nullopt;
    }
    case Kind::Null: break;
    }
    return std::nullopt;
}

QString ChartCell::Text() const
{
    switch (m_kind) {
    case Kind::Text: return m_text;
    case Kind::Whole:
    case Kind::Number: return NumFormat::General(m_number);
    case Kind::Empty:
    case Kind::Null: break;
    }
    return {};
}

ChartTable::ChartTable(int upperSeries, int upperPoint)
    : m_rows(std::max(0, upperSeries + 1)), m_columns(std::max(0, upperPoint + 1)),
      m_cells(size_t(m_rows) * size_t(m_columns))
{
}

const ChartCell* ChartTable::At(int row, int point) const
{
    if (row < 0 || row >= m_rows || point < 0 || point >= m_columns)
        return nullptr;
    return &(*this)(row, point);
}

namespace {
using Role = DisplayItem::Role;
using Font = DisplayItem::FontRole;

// More ticks than this on the value axis are a mistaken interval, not a chart.
constexpr double MaxValueTicks = 10000;

// A colour slot left unset draws in the slot's default colour.
int32_t SlotColor(const ChartState& state, int slot)
{
    const int32_t color = state.seriesColor[size_t(slot)];
    return color == ChartDefaults::Unset ? ChartDefaults::SeriesColors[size_t(slot)] : color;
}

class Painter {
public:
    Painter(const ChartState& state, const ITextMeasure& measure, int width, int height, ChartPainting& out)
        : st(state), m(measure), W(width), H(height), r(out), list(out.list), t(state.table)
    {
    }

    void Run()
    {
        r.highScale = st.highScale;
        r.lowScale = st.lowScale;
        r.verticalTickInterval = st.verticalTickInterval;
        r.plotRight = Twips::Round(W - 120);
        r.plotTop = 0;
        if (W <= 0 || H <= 0) {
            r.stoppedAt = QStringLiteral("no surface");
            return;
        }
        if (!st.title.isEmpty())
            DrawTitle();
        if (st.displayLegend)
            DrawLegend();
        if (!DrawPlot()) {
            if (r.negativeStack)
                list.Clear();
        }
    }

private:
    double Width(const QString& text, Font font = Font::Body) const { return m.TextWidth(text, font); }
    double Height(const QString& text, Font font = Font::Body) const { return m.TextHeight(text, font); }
    double LineX() const { return Height(QStringLiteral("X")); }
    // Ends the plot as the drawing's error `number` would; 0 is a quiet end.
    bool Stop(const char* why, int32_t number = 0)
    {
        r.stoppedAt = QString::fromLatin1(why);
        if (number != 0 && number != KvErr::SubscriptOutOfRange) {
            r.errorNumber = ChartLayout::PlotError;
            r.errorDescription = QStringLiteral("Error %1 plotting graph: %2")
                                     .arg(number)
                                     .arg(ErrorCatalogue::Description(number));
        }
        return false;
    }

    void DrawTitle()
    {
        const double x = (W - Width(st.title, Font::Title)) / 2;
        list.Text(Role::Title, x, 0, st.title, st.foreColor, Font::Title);
        r.plotTop = Twips::Round(Height(st.title, Font::Title));
    }

    void DrawLegend()
    {
        if (t.IsEmpty())
            return; // nothing registered: the legend ends at its first look at the table
        const int S = t.UpperSeries();
        double legendLeft = W;
        for (int i = 0; i < S; ++i) {
            if (i >= ChartDefaults::SeriesSlots)
                return; // a series without a legend slot ends the legend before it is drawn
            legendLeft = std::min(legendLeft, W - (Width(st.seriesLegend[size_t(i)]) + 180));
        }
        r.plotRight = Twips::Round(legendLeft - 180);
        double currentY = (H - (LineX() + 120) * (S + 2)) / 2;
        for (int i = 0; i < S; ++i) {
            const QString& text = st.seriesLegend[size_t(i)];
            const double rowY = Twips::RoundEven(currentY + LineX());
            const double boxTop = rowY + (Height(text) - 60) / 2;
            list.Box(Role::LegendBox, legendLeft, boxTop, legendLeft + 60, boxTop + 60, SlotColor(st, i));
            list.items.back().series = i + 1;
            list.Text(Role::LegendText, legendLeft + 120, rowY, text, st.foreColor);
            list.items.back().series = i + 1;
            currentY = rowY + Height(text);
        }
    }

    bool Widen()
    {
        const int S = t.UpperSeries(), n = t.Columns();
        if (st.chartType != ChartStackedBar) {
            for (int s = 1; s <= S; ++s) {
                for (int p = 0; p < n; ++p) {
                    const ChartCell& cell = t(s, p);
                    if (cell.IsNull())
                        continue;
                    const std::optional<double> v = cell.Number();
                    if (!v)
                        return Stop("text in a numeric cell", KvErr::TypeMismatch);
                    if (!std::isfinite(*v))
                        return Stop("value not finite", KvErr::Overflow);
                    if (*v > r.highScale)
                        r.highScale = *v;
                    if (*v < r.lowScale)
                        r.lowScale = *v;
                }
            }
            return true;
        }
        for (int p = 0; p < n; ++p) {
            double sum = 0;
            for (int s = 1; s <= S; ++s) {
                const ChartCell& cell = t(s, p);
                if (cell.IsNull())
                    return Stop("Null in a stacked bar", KvErr::InvalidUseOfNull);
                const std::optional<double> v = cell.Number();
                if (!v)
                    return Stop("text in a numeric cell", KvErr::TypeMismatch);
                sum += *v;
            }
            if (!std::isfinite(sum))
                return Stop("value not finite", KvErr::Overflow);
            if (r.highScale < sum)
                r.highScale = sum;
            if (r.lowScale > sum)
                r.lowScale = sum;
        }
        return true;
    }

    // y of a value by the value-to-height rule; nothing when it would divide by zero.
    std::optional<double> ValueY(double v) const
    {
        if (v == start)
            return bottom - 15;
        if (r.highScale == start)
            return std::nullopt;
        return Twips::RoundEven(bottom - (v - start) / (r.highScale - start) * (bottom - r.plotTop) - 15);
    }

    bool ValueAxis()
    {
        left = 120;
        bottom = Twips::RoundEven(H - 2 * LineX());
        if (r.verticalTickInterval == 0)
            r.verticalTickInterval = 1;
        const double interval = r.verticalTickInterval;
        if (!std::isfinite(interval) || interval < 0 || !std::isfinite(r.highScale)
            || !std::isfinite(r.lowScale))
            return Stop("tick interval or scale unusable", KvErr::Overflow);
        const double q = r.lowScale / interval;
        start = q == std::floor(q) ? r.lowScale : std::floor(q) * interval;
        if (!std::isfinite(start) || (r.highScale - start) / interval > MaxValueTicks)
            return Stop("too many ticks", KvErr::Overflow);

        QString format;
        for (double tick = start; tick <= r.highScale; tick += interval) {
            if (tick != std::floor(tick))
                format = QStringLiteral("0.00");
            const double w = Width(NumFormat::Format(tick, format)) + 120;
            if (w > left)
                left = Twips::RoundEven(w);
        }
        const double first = Width(t(0, 0).Text()) / 2 + 60;
        if (first > left)
            left = Twips::RoundEven(first);
        r.plotLeft = int(left);
        r.plotBottom = int(bottom);

        for (double tick = start; tick <= r.highScale; tick += interval) {
            const double y = r.highScale == start
                ? 0.0
                : Twips::RoundEven(bottom - (tick - start) / (r.highScale - start) * (bottom - r.plotTop));
            list.Line(Role::ValueTick, left, y, left + 60, y, st.foreColor);
            list.Line(Role::ValueTick, r.plotRight, y, r.plotRight - 60, y, st.foreColor);
            const QString label = NumFormat::Format(tick, format);
            list.Text(Role::ValueLabel, left - (Width(label) + 60), y - LineX() / 2, label, st.foreColor);
        }
        list.Outline(Role::Frame, left, r.plotTop, r.plotRight, bottom, st.foreColor);
        return true;
    }

    bool PointAxis()
    {
        const int n = t.Columns();
        double f = std::isfinite(st.horizontalTickFrequency) ? Twips::RoundEven(st.horizontalTickFrequency) : 1;
        if (f < 1)
            f = 1; // a frequency of 0 would never reach the last point
        if (n - 1 == 0)
            return Stop("single point", KvErr::DivisionByZero);
        const int step = int(std::min<double>(f, n));
        for (int p = 0; p <= n - 1; p += step) {
            const double x = Twips::RoundEven((r.plotRight - left) / (n - 1) * p + left);
            list.Line(Role::PointTick, x, bottom, x, bottom - 60, st.foreColor);
            list.items.back().point = p;
            const QString label = t(0, p).Text();
            list.Text(Role::PointLabel, x - Width(label) / 2, bottom + LineX() / 2, label, st.foreColor);
            list.items.back().point = p;
        }
        return true;
    }

    bool BarWidth()
    {
        const int S = t.UpperSeries(), n = t.Columns();
        double width = 0;
        if (st.chartType == ChartBar) {
            if (S * n == 0)
                return Stop("no series", KvErr::DivisionByZero);
            width = Twips::RoundEven((r.plotRight - (left + 60)) / double(S * n) - 30);
        } else if (st.chartType == ChartStackedBar) {
            width = Twips::RoundEven((r.plotRight - (left + 60)) / n - 30);
        } else {
            return true;
        }
        barWidth = width <= 15 ? 30 : width;
        return true;
    }

    bool Data()
    {
        const int S = t.UpperSeries(), n = t.Columns();
        for (int s = 1; s <= S; ++s) {
            bool havePrevious = false;
            double px = 0, py = 0;
            for (int p = 0; p < n; ++p) {
                const ChartCell& cell = t(s, p);
                if (cell.IsNull())
                    continue;
                const double v = cell.Number().value_or(0.0); // checked while widening
                const double x = Twips::RoundEven((r.plotRight - left) / (n - 1) * p + left - 15);
                const std::optional<double> yv = ValueY(v);
                if (!yv)
                    return Stop("value scale has no height", KvErr::DivisionByZero);
                const double y = *yv;
                if (s - 1 >= ChartDefaults::SeriesSlots)
                    return Stop("series without a colour slot");
                const int32_t color = SlotColor(st, s - 1);
                const bool marked = p == st.markPoint;
                if (marked && s >= ChartDefaults::SeriesSlots
                    && (st.chartType == ChartBar || (st.chartType == ChartLine && havePrevious)))
                    return Stop("series without a highlight slot");
                const auto highlight = [&] { return marked ? SlotColor(st, s) : color; };
                switch (st.chartType) {
                case ChartBar: {
                    const double barLeft = Twips::RoundEven((r.plotRight - left) / n * p + left - 15) + 30
                                           + (barWidth + 30) * (s - 1);
                    list.Box(Role::Bar, barLeft, y, barLeft + barWidth, bottom - 15, highlight());
                    break;
                }
                case ChartLine:
                    if (st.plotPoints)
                        list.Box(Role::Marker, x, y, x + 30, y + 30, color);
                    if (havePrevious)
                        list.Line(Role::Segment, px + 15, py + 15, x + 15, y + 15, highlight());
                    break;
                case ChartStackedBar: {
                    if (v < 0) {
                        r.negativeStack = true;
                        return Stop("negative value in a stacked bar");
                    }
                    double sum = 0;
                    for (int k = 1; k < s; ++k)
                        sum += t(k, p).Number().value_or(0.0);
                    const std::optional<double> sumY = ValueY(sum);
                    if (!sumY)
                        return Stop("value scale has no height", KvErr::DivisionByZero);
                    const double base = *sumY;
                    const double top = y - (bottom - base);
                    const double barLeft = Twips::RoundEven((r.plotRight - left) / n * p + left + 15);
                    list.Box(Role::Bar, barLeft, top, barLeft + barWidth, base, color);
                    break;
                }
                case ChartPoint:
                    list.Box(Role::Point, x, y, x + 30, y + 30, color);
                    break;
                default:
                    break;
                }
                if (st.chartType >= ChartBar && st.chartType <= ChartPoint) {
                    list.items.back().series = s;
                    list.items.back().point = p;
                }
                havePrevious = true;
                px = x;
                py = y;
            }
        }
        return true;
    }

    bool DrawPlot()
    {
        if (t.IsEmpty())
            return Stop("no table");
        return Widen() && ValueAxis() && PointAxis() && BarWidth() && Data();
    }

    const ChartState& st;
    const ITextMeasure& m;
    const int W;
    const int H;
    ChartPainting& r;
    DisplayList& list;
    const ChartTable& t;
    double left = 120;
    double bottom = 0;
    double start = 0;
    double barWidth = 30;
};
}

ChartPainting ChartLayout::Paint(const ChartState& state, const ITextMeasure& measure, int width, int height)
{
    ChartPainting result;
    Painter(state, measure, width, height, result).Run();
    return result;
}
