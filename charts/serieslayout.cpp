#include "charts/serieslayout.h"

#include <QPainter>
#include <algorithm>
#include <array>
#include <cmath>

namespace {
constexpr uint32_t kBlue = 0xFF0000;
constexpr uint32_t kRed = 0xFF;
} // namespace

SeriesLayout::RowWindow SeriesLayout::Rows(int64_t points, float zoom, int v, int vMin, int vMax, int32_t testLow,
                                           int32_t testHigh)
{
    RowWindow w;
    w.step = zoom > 0 ? float(double(points) / double(zoom) / 10.0) : 0.0f;
    w.first = int64_t(std::floor(double(v) * double(w.step) + 0.5)) + testLow - 1;
    w.last = int64_t(std::floor(double(v + 10) * double(w.step) + 0.5)) + testLow - 1;
    if (v == vMax)
        w.last = testHigh;
    if (v == vMin)
        w.first = testLow;
    // A step below half a row rounds to nothing: the window would start before TestLow or end
    // before it starts, and its end labels would name rows that are not drawn.
    if (testLow <= testHigh) {
        w.first = std::clamp<int64_t>(w.first, testLow, testHigh);
        w.last = std::clamp<int64_t>(w.last, w.first, testHigh);
    }
    return w;
}

int64_t SeriesLayout::TickRow(const RowWindow& w, int i)
{
    return w.first + int64_t(std::floor(double(w.last - w.first) * i / 10.0 + 0.5));
}

double SeriesLayout::RowPlace(const RowWindow& w, int64_t row)
{
    // A window of one row shows it in the middle of the plot.
    return w.last == w.first ? 0.5 : double(row - w.first) / double(w.last - w.first);
}

int SeriesLayout::NextZoom(int zoom, bool rightButton)
{
    for (int z = 1; z <= MaxZoom; z *= 2)
        if (z == zoom) {
            if (rightButton)
                return z == 1 ? MaxZoom : z / 2;
            return z == MaxZoom ? 1 : z * 2;
        }
    return zoom;
}

SeriesLayout::Result SeriesLayout::Layout(const Input& in)
{
    Result r;
    const TextMeasure& metrics = *in.measure;
    auto measure = [&](const QString& text, DisplayItem::FontRole font = DisplayItem::FontRole::Body) {
        return QSize(int(std::ceil(metrics.TextWidth(text, font))), int(std::ceil(metrics.TextHeight(text, font))));
    };
    using Role = DisplayItem::Role;
    constexpr auto TitleFont = DisplayItem::FontRole::Title;
    const auto text = in.text ? in.text : ChartFormat::NumberText({});
    r.ylText = text(in.lo);
    r.yhText = text(in.hi);
    r.xlText = QString::number(in.rows.first);
    r.xhText = QString::number(in.rows.last);
    const QSize yl = measure(r.ylText), yh = measure(r.yhText);
    const double lo = in.lo, hi = in.hi;
    std::array<QString, 11> values;
    int widest = 0;
    for (int v = 0; v <= 10; ++v) {
        values[size_t(v)] = v == 0 ? r.ylText : v == 10 ? r.yhText : text(lo + (hi - lo) * v / 10);
        widest = std::max(widest, measure(values[size_t(v)]).width());
    }
    // The widest value label sets the left margin (the wider end label as a rule, a date's
    // middle labels with their time of day); the others line up with it at the plot.
    const int graphLeft = 480 + widest + 120;
    const int ylLeft = graphLeft - yl.width() - 120, yhLeft = graphLeft - yh.width() - 120;
    const int height = std::max(1, in.client.height() - GraphTop - graphLeft - 330 - ScrollHeight);
    int width = in.client.width() - 2 * graphLeft - 120;
    if (width < 0)
        width = 1;
    width = std::max(1, width);
    r.graph = QRect(graphLeft, GraphTop, width, height);
    const int bottom = GraphTop + height;
    const int right = graphLeft + width;
    r.rightEdge = right;

    if (in.client.width() >= ZoomButtonMinWindow) {
        const int left = right + (in.client.width() - right - ZoomButtonSize.width()) / 2;
        r.zoomButton = QRect(QPoint(left, GraphTop + (height - ZoomButtonSize.height()) / 2), ZoomButtonSize);
    }

    DisplayList& list = r.list;
    // Title and legend on one line above the plot.
    const QString title1 = QStringLiteral("Actual"), title2 = QStringLiteral("Predicted");
    const QString predict = QStringLiteral("[") + in.fieldName + QStringLiteral("]");
    const int box = 255;
    const int t1Left = graphLeft + width / 2 - (measure(title1, TitleFont).width() - box) / 2;
    const int box1Left = t1Left - box - 60;
    const int t2Left = t1Left + measure(title1, TitleFont).width() + 2 * box;
    const int box2Left = t2Left - box - 60;
    const int predictLeft = t1Left - measure(predict, TitleFont).width() - box - 240;
    list.Box(Role::LegendBox, box1Left, LegendTop, box1Left + box - 15, LegendTop + box - 15, kBlue);
    list.Box(Role::LegendBox, box2Left, LegendTop, box2Left + box - 15, LegendTop + box - 15, kRed);
    list.Text(Role::LegendText, t1Left, LegendTop, title1, kBlue, TitleFont);
    list.Text(Role::LegendText, t2Left, LegendTop, title2, kRed, TitleFont);
    list.Text(Role::Title, predictLeft, LegendTop, predict, 0x800000, TitleFont);
    r.close = QPoint(right, 360); // right-aligned by the caller

    const int xLabelTop = bottom + 120;
    const QSize xl = measure(r.xlText), xh = measure(r.xhText);
    // A window of one row names it once, under the middle where the plot draws it; the ends
    // of the axis stand for no row then.
    const bool oneRow = in.rows.first == in.rows.last;
    if (!oneRow) {
        list.Text(Role::PointLabel, graphLeft - xl.width() / 2, xLabelTop, r.xlText, kBlue);
        list.Text(Role::PointLabel, right - xh.width() / 2, xLabelTop, r.xhText, kBlue);
    }
    list.Text(Role::ValueLabel, yhLeft, GraphTop - yh.height() / 2, r.yhText, kBlue);
    list.Text(Role::ValueLabel, ylLeft, bottom - yl.height() / 2, r.ylText, kBlue);
    r.scroll = QRect(graphLeft, xLabelTop + xl.height() + 60, width, ScrollHeight);
    const QString rowTitle = QStringLiteral("R O W    N U M B E R");
    r.rowTitleTop = r.scroll.bottom() + 1 + 120;
    list.Text(Role::Title, graphLeft + (width - measure(rowTitle).width()) / 2, r.rowTitleTop, rowTitle, 0);
    const QString value = QStringLiteral("V A L U E");
    const int lineHeight = measure(QStringLiteral("V")).height();
    int y = GraphTop + (height - 1815) / 2;
    for (const QChar c : value) {
        if (c == QLatin1Char(' '))
            continue;
        list.Text(Role::Title, 180, y, QString(c), 0);
        y += lineHeight;
    }

    list.Line(Role::Frame, graphLeft, GraphTop + 30, graphLeft, bottom, kBlue, 3);
    list.Line(Role::Frame, graphLeft, bottom, right - 30, bottom, kBlue, 3);
    const int halfX = measure(QStringLiteral("X")).height() / 2;
    // A middle label that would run into the one before it or into the end label is left out
    // (long row numbers, a short or narrow plot): the ticks stay. The value labels keep one
    // step, as the scatter's do.
    constexpr int gap = 60;
    int pointFree = graphLeft + (xl.width() + 1) / 2 + gap;
    const int pointEnd = right - xh.width() / 2 - gap;
    std::array<std::pair<double, double>, 11> up;
    for (int v = 0; v <= 10; ++v) {
        const int top = v == 10 ? GraphTop - yh.height() / 2
                      : v == 0  ? bottom - yl.height() / 2
                                : GraphTop + int(std::lround(height * (10 - v) / 10.0)) - halfX;
        up[size_t(v)] = {-(top + measure(values[size_t(v)]).height()), -top};
    }
    const int valueStep = ChartFormat::LabelStep(up, gap / 2);
    const RowWindow& rows = in.rows;
    int64_t ticked = rows.first;
    for (int i = 0; i <= 10; ++i) {
        const int yi = GraphTop + int(std::lround(height * i / 10.0));
        list.Line(Role::ValueTick, graphLeft, yi, graphLeft - 90, yi, kBlue);
        if (i == 0 || i == 10) {
            const int xi = i == 0 ? graphLeft : right;
            list.Line(Role::PointTick, xi, bottom, xi, bottom + 90, kBlue);
            continue;
        }
        if ((10 - i) % valueStep == 0) {
            const QString& v = values[size_t(10 - i)];
            list.Text(Role::ValueLabel, graphLeft - measure(v).width() - 120, yi - halfX, v, kBlue);
        }
        // The tick stands where the plot draws its row; the rows repeat or meet the ends only
        // in a window of fewer than ten rows, and there each row has one tick. With no row
        // between the ends the ticks keep their tenths, unlabelled.
        if (rows.last - rows.first < 2) {
            const int xi = graphLeft + int(std::lround(width * i / 10.0));
            list.Line(Role::PointTick, xi, bottom, xi, bottom + 90, kBlue);
            if (oneRow && i == 5)
                list.Text(Role::PointLabel, xi - xl.width() / 2, xLabelTop, r.xlText, kBlue);
            continue;
        }
        const int64_t row = TickRow(rows, i);
        if (row <= ticked || row >= rows.last)
            continue;
        ticked = row;
        const int xi = graphLeft + int(std::lround(width * RowPlace(rows, row)));
        list.Line(Role::PointTick, xi, bottom, xi, bottom + 90, kBlue);
        const QString text = QString::number(row);
        const int rowWidth = measure(text).width();
        const int rowLeft = xi - rowWidth / 2;
        if (rowLeft >= pointFree && rowLeft + rowWidth <= pointEnd) {
            list.Text(Role::PointLabel, rowLeft, xLabelTop, text, kBlue);
            pointFree = rowLeft + rowWidth + gap;
        }
    }
    return r;
}

size_t SeriesLayout::Plot::PointCount() const
{
    size_t n = 0;
    for (const auto& line : lines)
        for (const auto& run : line)
            n += run.size();
    return n;
}

namespace {

// Adds points to a run, keeping of the points that fall into one pixel column only the first,
// the lowest, the highest and the last: the line drawn is the same, its cost bounded by the
// plot's width.
class RunBuilder {
public:
    explicit RunBuilder(std::vector<std::vector<QPointF>>& runs) : m_runs(runs) {}
    void Start(QPointF p)
    {
        Flush();
        m_runs.emplace_back();
        Add(p);
    }
    void Add(QPointF p)
    {
        // x is never negative: truncation is the floor.
        const long column = long(p.x());
        if (!m_open || column != m_column) {
            Flush();
            m_open = true;
            m_column = column;
            m_first = m_min = m_max = m_last = p;
            m_count = 1;
            m_minAt = m_maxAt = 0;
            return;
        }
        if (p.y() < m_min.y()) {
            m_min = p;
            m_minAt = m_count;
        }
        if (p.y() > m_max.y()) {
            m_max = p;
            m_maxAt = m_count;
        }
        m_last = p;
        ++m_count;
    }
    void Flush()
    {
        if (!m_open || m_runs.empty())
            return;
        auto& run = m_runs.back();
        run.push_back(m_first);
        if (m_count > 1) {
            // Lowest and highest in the order they came.
            if (m_minAt <= m_maxAt) {
                push(run, m_min);
                push(run, m_max);
            } else {
                push(run, m_max);
                push(run, m_min);
            }
            push(run, m_last);
        }
        m_open = false;
    }

private:
    static void push(std::vector<QPointF>& run, QPointF p)
    {
        if (run.empty() || run.back() != p)
            run.push_back(p);
    }
    std::vector<std::vector<QPointF>>& m_runs;
    bool m_open = false;
    long m_column = 0;
    QPointF m_first, m_min, m_max, m_last;
    int64_t m_count = 0;
    int64_t m_minAt = 0, m_maxAt = 0;
};

} // namespace

SeriesLayout::Plot SeriesLayout::PlotSeries(const Points& points, int64_t first, int64_t last, int32_t testLow,
                                            double lo, double hi, float rms, QSize sizePx)
{
    Plot plot;
    if (hi == lo || sizePx.width() <= 0 || sizePx.height() <= 0)
        return plot;
    // The points are offsets from the origin: the top edge is taken the same way.
    const double top = hi - points.origin;
    if (first == last) {
        // One row has no length to draw along: each of its four values becomes a short level
        // stroke, a tenth of the plot wide, in the middle where the axis names the row.
        const int64_t i = first - testLow + 1;
        if (i < 1 || i > points.count || std::isnan(points.predicted[i]))
            return plot;
        const double sy = sizePx.height() / (hi - lo);
        const double yp = (top - double(points.predicted[i])) * sy;
        const double ya = (top - double(points.actual[i])) * sy;
        const double band = double(rms) * sy;
        const double mid = sizePx.width() / 2.0;
        const double half = std::max(2.0, sizePx.width() / 20.0);
        const double ys[4] = {yp - band, yp + band, ya, yp};
        for (size_t line = 0; line < 4; ++line)
            plot.lines[line].push_back({QPointF(mid - half, ys[line]), QPointF(mid + half, ys[line])});
        return plot;
    }
    const double sx = sizePx.width() / double(last - first);
    const double sy = sizePx.height() / (hi - lo);
    auto px = [&](int64_t r, float v) { return QPointF(double(r - first) * sx, (top - double(v)) * sy); };
    auto index = [&](int64_t r) { return r - testLow + 1; };
    auto usable = [&](int64_t i) { return i >= 1 && i <= points.count && !std::isnan(points.predicted[i]); };
    auto predicted = [&](int64_t i) { return points.predicted[i]; };
    auto actual = [&](int64_t i) { return points.actual[i]; };

    // The four lines are drawn one after the other with one pen-lift flag: a line starts
    // lifted when the line before ended on a row without prediction. The rows are walked once
    // for all four.
    const bool endsLifted = !usable(index(last));
    std::array<bool, 4> lifted{false, endsLifted, endsLifted, endsLifted};
    std::array<RunBuilder, 4> runs{RunBuilder(plot.lines[0]), RunBuilder(plot.lines[1]), RunBuilder(plot.lines[2]),
                                   RunBuilder(plot.lines[3])};
    const int64_t i0 = index(first);
    // A first row without prediction starts lifted: where its start stands draws nothing.
    const bool startKnown = usable(i0);
    for (int line = 0; line < 4; ++line) {
        const float start = !startKnown ? float(lo - points.origin) : (line == 2 ? actual(i0) : predicted(i0));
        runs[size_t(line)].Start(px(first, start));
    }
    // Rows of one pixel column are gathered first (first, lowest, highest and last of the
    // prediction and of the actual value) and handed to the four lines once the column is
    // done: the band lines are the prediction shifted, so the same rows bound them.
    struct Extent {
        QPointF first, low, high, last;
        int64_t lowAt = 0, highAt = 0;
        void Start(QPointF p) { first = low = high = last = p; lowAt = highAt = 0; }
        void Add(QPointF p, int64_t at)
        {
            if (p.y() < low.y()) {
                low = p;
                lowAt = at;
            }
            if (p.y() > high.y()) {
                high = p;
                highAt = at;
            }
            last = p;
        }
    };
    Extent pred, act;
    // The lowest and highest y of one line over rows gathered into an extent, with their rows.
    struct Bounds {
        double low, high;
        int64_t lowRow, highRow;
        void Add(double y, int64_t row)
        {
            if (y < low) {
                low = y;
                lowRow = row;
            }
            if (y > high) {
                high = y;
                highRow = row;
            }
        }
    };
    // The rows after r that fall into the same pixel column and have a prediction, gathered in
    // a tight loop (a dense plot spends nearly all its rows here); returns the last row taken.
    const int64_t lastUsable = std::min(last, points.count + testLow - 1);
    auto gatherColumn = [&, actualRows = points.actual, predictedRows = points.predicted](int64_t r, long c, int64_t& at,
                                                                                           Extent& p, Extent& a) {
        // Row r itself is already in the extents: it marks "no new row".
        Bounds pb{p.low.y(), p.high.y(), r, r}, ab{a.low.y(), a.high.y(), r, r};
        int64_t lastRow = r;
        double pLast = 0, aLast = 0;
        const int64_t start = at;
        const int64_t shift = 1 - int64_t(testLow);
        for (int64_t next = r + 1; next <= lastUsable; ++next) {
            if (long(double(next - first) * sx) != c)
                break;
            const int64_t i = next + shift;
            const float n = predictedRows[i];
            if (std::isnan(n))
                break;
            pLast = (top - double(n)) * sy;
            aLast = (top - double(actualRows[i])) * sy;
            pb.Add(pLast, next);
            ab.Add(aLast, next);
            lastRow = next;
        }
        if (lastRow == r)
            return r;
        const auto xOf = [&](int64_t row) { return double(row - first) * sx; };
        const auto atOf = [&](int64_t row) { return start + (row - r); };
        const auto store = [&](const Bounds& b, Extent& e, double lastY) {
            if (b.lowRow != r) {
                e.low = QPointF(xOf(b.lowRow), b.low);
                e.lowAt = atOf(b.lowRow);
            }
            if (b.highRow != r) {
                e.high = QPointF(xOf(b.highRow), b.high);
                e.highAt = atOf(b.highRow);
            }
            e.last = QPointF(xOf(lastRow), lastY);
        };
        store(pb, p, pLast);
        store(ab, a, aLast);
        at = atOf(lastRow);
        return lastRow;
    };
    bool open = false;
    long column = 0;
    int64_t count = 0;
    const double band = double(rms) * sy;
    auto hand = [&](const Extent& e, RunBuilder& line, double shift) {
        const auto at = [shift](QPointF p) { return QPointF(p.x(), p.y() + shift); };
        line.Add(at(e.first));
        if (e.lowAt <= e.highAt) {
            line.Add(at(e.low));
            line.Add(at(e.high));
        } else {
            line.Add(at(e.high));
            line.Add(at(e.low));
        }
        line.Add(at(e.last));
    };
    auto close = [&] {
        if (!open)
            return;
        hand(pred, runs[0], -band);
        hand(pred, runs[1], band);
        hand(act, runs[2], 0);
        hand(pred, runs[3], 0);
        open = false;
    };
    const int64_t step = first <= last ? 1 : -1;
    for (int64_t r = first;; r += step) {
        const int64_t i = index(r);
        if (!usable(i)) {
            close();
            lifted.fill(true);
        } else {
            const float p = predicted(i);
            const double x = double(r - first) * sx;
            const double yp = (top - double(p)) * sy;
            const double ya = (top - double(actual(i))) * sy;
            if (lifted[0] || lifted[1] || lifted[2] || lifted[3]) {
                // Where a line resumes (or starts lifted), the row is handed over on its own.
                close();
                const double values[4] = {yp - band, yp + band, ya, yp};
                for (size_t line = 0; line < 4; ++line) {
                    if (lifted[line]) {
                        runs[line].Start(QPointF(x, line < 2 ? yp : values[line]));
                        lifted[line] = false;
                    } else {
                        runs[line].Add(QPointF(x, values[line]));
                    }
                }
            } else {
                const long c = long(x);
                if (!open || c != column) {
                    close();
                    open = true;
                    column = c;
                    count = 0;
                    pred.Start(QPointF(x, yp));
                    act.Start(QPointF(x, ya));
                } else {
                    ++count;
                    pred.Add(QPointF(x, yp), count);
                    act.Add(QPointF(x, ya), count);
                }
                if (step == 1)
                    r = gatherColumn(r, column, count, pred, act);
            }
        }
        if (r == last)
            break;
    }
    close();
    for (size_t line = 0; line < 4; ++line) {
        runs[line].Flush();
        // A run of a single point draws nothing.
        auto& lines = plot.lines[line];
        lines.erase(std::remove_if(lines.begin(), lines.end(), [](const auto& run) { return run.size() < 2; }),
                    lines.end());
    }
    return plot;
}

namespace {

// Where the line stays within a pixel column, or steps to the next one, what it covers is one
// vertical span of that column: written straight into the image, a dense plot costs one store
// per pixel instead of a stroked zigzag over the whole height. Longer steps are drawn as lines.
class RunPainter {
public:
    RunPainter(QImage& image, QPainter& painter)
        : m_painter(painter), m_bits(reinterpret_cast<QRgb*>(image.bits())),
          m_line(image.bytesPerLine() / qsizetype(sizeof(QRgb))), m_width(image.width()), m_height(image.height())
    {
    }
    void SetColour(QRgb colour)
    {
        m_colour = colour;
        QPen pen{QColor(colour), 1};
        pen.setCosmetic(true);
        m_painter.setPen(pen);
    }
    void Draw(const std::vector<QPointF>& run)
    {
        if (run.empty())
            return;
        QPointF prev = run.front();
        long column = long(std::floor(prev.x()));
        double lo = prev.y(), hi = prev.y();
        for (size_t i = 1; i < run.size(); ++i) {
            const QPointF p = run[i];
            const long c = long(std::floor(p.x()));
            if (c == column) {
                lo = std::min(lo, p.y());
                hi = std::max(hi, p.y());
            } else if (c == column + 1) {
                span(column, lo, hi);
                column = c;
                lo = std::min(prev.y(), p.y());
                hi = std::max(prev.y(), p.y());
            } else {
                span(column, lo, hi);
                m_painter.drawLine(prev, p);
                column = c;
                lo = hi = p.y();
            }
            prev = p;
        }
        span(column, lo, hi);
    }

private:
    // The pixels a one-pixel pen covers from lo to hi: rows floor(lo) to floor(hi).
    void span(long column, double lo, double hi)
    {
        if (column < 0 || column >= m_width)
            return;
        const int top = int(std::max(0.0, std::floor(lo)));
        const int bottom = int(std::min(double(m_height - 1), std::floor(hi)));
        QRgb* pixel = m_bits + qsizetype(top) * m_line + column;
        for (int y = top; y <= bottom; ++y, pixel += m_line)
            *pixel = m_colour;
    }

    QPainter& m_painter;
    QRgb* m_bits;
    qsizetype m_line;
    int m_width, m_height;
    QRgb m_colour = 0;
};

} // namespace

QImage SeriesLayout::Render(const Plot& plot, QSize sizePx)
{
    QImage image(sizePx.expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    image.fill(Qt::white);
    static const QRgb colours[] = {qRgb(255, 255, 0), qRgb(255, 255, 0), qRgb(0, 0, 255), qRgb(255, 0, 0)};
    // The painter draws the long steps into the same memory as the spans, in the lines' order.
    QPainter painter(&image);
    RunPainter runs(image, painter);
    for (size_t line = 0; line < 4; ++line) {
        runs.SetColour(colours[line]);
        for (const auto& run : plot.lines[line])
            runs.Draw(run);
    }
    return image;
}
