// The rules of the result views without their windows: axis formats and statistics, the
// scatter's layout, scale and rendering, the time series' row window, zoom steps, pen lifts and
// rendering, and the matrix's sizing.
#include "charts/chartcommon.h"
#include "charts/matrixlayout.h"
#include "charts/scatterlayout.h"
#include "charts/serieslayout.h"

#include <QColor>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

namespace {

// Every letter 100 twips wide and 200 high.
class FixedMeasure final : public ITextMeasure {
public:
    double TextWidth(const QString& text, DisplayItem::FontRole) const override { return 100.0 * double(text.size()); }
    double TextHeight(const QString&, DisplayItem::FontRole) const override { return 200; }
};

bool hasText(const DisplayList& list, const QString& text)
{
    for (const DisplayItem& item : list.items)
        if (item.kind == DisplayItem::Kind::Text && item.text == text)
            return true;
    return false;
}

bool isRed(const QImage& image, int x, int y)
{
    return image.pixelColor(x, y) == QColor(255, 0, 0);
}

} // namespace

TEST(ChartRules, AxisFormatsAndStatistics)
{
    using ChartFormat::AxisFormat;
    EXPECT_EQ(AxisFormat(7, 0, 50), "0");
    EXPECT_EQ(AxisFormat(7, 0, 100), "0");     // strictly above 10
    EXPECT_EQ(AxisFormat(7, 0, 5), "0.0");
    EXPECT_EQ(AxisFormat(7, 0, 1), "0.00");    // strictly above 0.1, not above 1
    EXPECT_EQ(AxisFormat(7, 0, 0.5), "0.00");
    EXPECT_EQ(AxisFormat(7, 0, 0.05), "0.000");
    EXPECT_EQ(AxisFormat(7, 3, 3), "0.0000");  // a constant field
    EXPECT_EQ(AxisFormat(7, 5, 0), "0.0000");
    EXPECT_EQ(AxisFormat(5, 0, 100000), "0.00"); // currency whatever the range

    const auto s = ChartFormat::StatisticTexts(12.346f, 2.38f, 0.19f, 0.9);
    EXPECT_EQ(s.error, "12.35%");
    EXPECT_EQ(s.rms, "2.38    ");
    EXPECT_EQ(s.unexplained, "0.19");
    EXPECT_EQ(s.correlation, "0.90");
    EXPECT_EQ(ChartFormat::StatisticTexts(0, 0, 1.3f, -0.25).correlation, "-0.25");
    EXPECT_EQ(ChartFormat::StatisticTexts(0, 0, 0, std::nan("")).correlation, "N/A");
}

// The rows both charts draw: each row's own value, NaN where the network did not use the row,
// the clamped actual array only when the network kept no values; the scale reaches them all.
TEST(ChartRules, ChartRowsAreTheRowsOwnValuesOnAScaleThatCoversThem)
{
    TestedPredictions data;
    data.actual = {0, 0.25f, 1.0f, 0.5f, 0};
    data.predicted = {0, 0.5f, 0.9f, -1.0f, 0.1f};
    data.actualValues = {0, 5, 29.5, -40, std::nan("")};
    ChartFormat::ChartRows rows = ChartFormat::RowsOf(data, 0, 20);
    ASSERT_EQ(rows.Count(), 4);
    EXPECT_EQ(rows.actual[2], 29.5f);
    EXPECT_EQ(rows.predicted[2], 18.0f);
    EXPECT_TRUE(std::isnan(rows.predicted[3])); // no prediction: its -40 is not drawn
    EXPECT_TRUE(std::isnan(rows.predicted[4])); // no actual value
    const ChartFormat::ValueScale scale = ChartFormat::ScaleOf(rows, 0, 20);
    EXPECT_EQ(scale.lo, 0.0f);
    EXPECT_EQ(scale.hi, 29.5f);
    data.actualValues.clear();
    rows = ChartFormat::RowsOf(data, 0, 20);
    EXPECT_EQ(rows.actual[2], 20.0f);
    EXPECT_EQ(ChartFormat::ScaleOf(rows, 0, 20).hi, 20.0f);

    // Ten-digit values on the limits: the scale is the limits themselves, and a difference of
    // one stays a difference (a single holds neither).
    data.actual = {0, 0, 1, 0};
    data.predicted = {0, 0, 1, 0.5f};
    data.actualValues = {0, 2999923290, 3000000000, 2999923291};
    rows = ChartFormat::RowsOf(data, 2999923290, 3000000000);
    const ChartFormat::ValueScale tenDigits = ChartFormat::ScaleOf(rows, 2999923290, 3000000000);
    EXPECT_EQ(tenDigits.lo, 2999923290.0);
    EXPECT_EQ(tenDigits.hi, 3000000000.0);
    EXPECT_EQ(rows.origin + double(rows.actual[3]), 2999923291.0);
}

TEST(ChartRules, ScatterLayoutLabelsAndAxes)
{
    ScatterLayout::Input in;
    in.client = QSize(9000, 7000);
    in.lo = 0;
    in.hi = 50;
    in.text = ChartFormat::NumberText("0");
    in.fieldName = "Sales";
    const FixedMeasure measure;
    in.measure = &measure;
    const ScatterLayout::Result r = ScatterLayout::Layout(in);
    // "50" is the wider end label: it sits at 480, the plot 120 right of it.
    EXPECT_EQ(r.yh.x(), 480);
    EXPECT_EQ(r.graph.left(), 480 + 200 + 120);
    EXPECT_EQ(r.yl.x(), r.graph.left() - 100 - 120);
    const int g = r.graph.left();
    EXPECT_EQ(r.graph.height(), 7000 - ScatterLayout::GraphTop - g - 330);
    EXPECT_EQ(r.graph.width(), 9000 - g - g - 120);
    EXPECT_EQ(r.titleText, "[Sales]  Actual vs. Predicted");
    EXPECT_EQ(r.xlText, "0");
    EXPECT_EQ(r.xhText, "50");
    // Eleven ticks a side reading lo..hi by tenths, in the axis format.
    for (const char* t : {"0", "5", "10", "25", "45", "50"})
        EXPECT_TRUE(hasText(r.list, t)) << t;
    EXPECT_EQ(r.list.Of(DisplayItem::Role::ValueTick).size(), 11u);
    EXPECT_EQ(r.list.Of(DisplayItem::Role::PointTick).size(), 11u);
    ASSERT_EQ(r.list.Of(DisplayItem::Role::Frame).size(), 2u);
    EXPECT_EQ(r.list.Of(DisplayItem::Role::Frame)[0]->penPixels, 3);

    // A window too small for a plot keeps a plot of one twip and still draws its axes.
    in.client = QSize(100, 100);
    const ScatterLayout::Result tiny = ScatterLayout::Layout(in);
    EXPECT_EQ(tiny.graph.width(), 1);
    EXPECT_EQ(tiny.graph.height(), 1);
}

TEST(ChartRules, ScatterScaleMapsPixelsAndRendersEveryPoint)
{
    const ScatterLayout::Scale s = ScatterLayout::PlotScale(0, 100);
    EXPECT_DOUBLE_EQ(s.left, -0.5);
    EXPECT_DOUBLE_EQ(s.top, 100.5);
    const QPointF mid = ScatterLayout::ValueAt(s, QPointF(100, 50), QSize(200, 100));
    EXPECT_DOUBLE_EQ(mid.x(), 50.0);
    EXPECT_DOUBLE_EQ(mid.y(), 50.0);
    const QPointF corner = ScatterLayout::ValueAt(s, QPointF(0, 0), QSize(200, 100));
    EXPECT_DOUBLE_EQ(corner.x(), -0.5);
    EXPECT_DOUBLE_EQ(corner.y(), 100.5);

    // Three rows: (P 20, A 80), a row without prediction, (P 90, A 10).
    const float none = std::nanf("");
    const std::vector<float> actual{none, 80, 50, 10};
    const std::vector<float> predicted{none, 20, none, 90};
    ScatterLayout::Points p{actual.data(), predicted.data(), 3, 0};
    const QImage image = ScatterLayout::Render(p, 0, 100, QSize(201, 201));
    const auto px = [](double v) { return int((v + 0.5) / 101.0 * 201); };
    EXPECT_TRUE(isRed(image, px(20) - 1, 200 - px(80)));
    EXPECT_TRUE(isRed(image, px(90) - 1, 200 - px(10)));
    int red = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            red += isRed(image, x, y);
    EXPECT_EQ(red, 8); // two dots of 2 x 2; the row without prediction has none

    // A constant prediction field: no scale, no points, no division by zero.
    const QImage flat = ScatterLayout::Render(p, 7, 7, QSize(50, 50));
    EXPECT_EQ(flat.pixelColor(25, 25), QColor(Qt::white));
    EXPECT_TRUE(ScatterLayout::PlotScale(7, 7).Empty());
    EXPECT_EQ(ScatterLayout::DrillText(12.5f), "12.5");
}

TEST(ChartRules, SeriesRowWindowAndZoomSteps)
{
    // 1000 points from row 1, zoom 4, scroll 5: step 25, rows 125 to 375, ticks 150..350.
    const SeriesLayout::RowWindow w = SeriesLayout::Rows(1000, 4, 5, 0, 30, 1, 1000);
    EXPECT_FLOAT_EQ(w.step, 25.0f);
    EXPECT_EQ(w.first, 125);
    EXPECT_EQ(w.last, 375);
    EXPECT_EQ(SeriesLayout::TickRow(w, 1), 150);
    EXPECT_EQ(SeriesLayout::TickRow(w, 9), 350);
    // Zoom 1: the whole testing range, whatever the step gives.
    const SeriesLayout::RowWindow all = SeriesLayout::Rows(333, 1, 0, 0, 0, 801, 1133);
    EXPECT_EQ(all.first, 801);
    EXPECT_EQ(all.last, 1133);
    // At the end of the range the window ends at TestHigh.
    EXPECT_EQ(SeriesLayout::Rows(1000, 2, 10, 0, 10, 1, 1000).last, 1000);
    EXPECT_EQ(SeriesLayout::ScrollMax(4), 30);

    std::vector<int> left{1}, right{1};
    for (int i = 0; i < 7; ++i) {
        left.push_back(SeriesLayout::NextZoom(left.back(), false));
        right.push_back(SeriesLayout::NextZoom(right.back(), true));
    }
    EXPECT_EQ(left, (std::vector<int>{1, 2, 4, 8, 16, 32, 64, 1}));
    EXPECT_EQ(right, (std::vector<int>{1, 64, 32, 16, 8, 4, 2, 1}));
    EXPECT_EQ(SeriesLayout::NextZoom(3, false), 3);
    EXPECT_EQ(SeriesLayout::NextZoom(3, true), 3);
}

// Each row label stands centred on its tick over the row that the plot draws there, at every
// zoom and scroll position, the ends of the scroll range included: a peak is read at its own
// row. Rows 161..190 at zoom 4 gave 161, 161, 162, ... with the peak of row 167 over "166".
TEST(ChartRules, SeriesRowLabelsNameTheRowsDrawnUnderThem)
{
    const FixedMeasure measure;
    struct Case {
        int64_t points;
        int32_t testLow;
        int zoom;
    };
    for (const Case c : {Case{30, 161, 4}, Case{30, 161, 1}, Case{62, 251, 1}, Case{62, 251, 4}, Case{62, 251, 64},
                         Case{1000, 1, 4}, Case{1000, 1, 8}, Case{5, 1, 64}}) {
        const int32_t testHigh = int32_t(c.testLow + c.points - 1);
        const int vMax = SeriesLayout::ScrollMax(c.zoom);
        for (int v = 0; v <= vMax; ++v) {
            SCOPED_TRACE(testing::Message() << c.points << " rows from " << c.testLow << ", zoom " << c.zoom << ", v " << v);
            SeriesLayout::Input in;
            in.client = QSize(9375, 5625);
            in.lo = 0;
            in.hi = 10;
            in.text = ChartFormat::NumberText("0");
            in.fieldName = "Rate";
            in.rows = SeriesLayout::Rows(c.points, float(c.zoom), v, 0, vMax, c.testLow, testHigh);
            in.measure = &measure;
            const SeriesLayout::Result r = SeriesLayout::Layout(in);
            const int64_t first = in.rows.first, last = in.rows.last;
            ASSERT_GE(first, c.testLow);
            ASSERT_LE(last, testHigh);
            ASSERT_LE(first, last);
            EXPECT_EQ(r.xlText, QString::number(first));
            EXPECT_EQ(r.xhText, QString::number(last));
            // A window of one row names it once, in the middle where the plot draws it.
            if (first == last) {
                const auto labels = r.list.Of(DisplayItem::Role::PointLabel);
                ASSERT_EQ(labels.size(), 1u);
                EXPECT_EQ(labels[0]->text, QString::number(first));
                EXPECT_NEAR(labels[0]->x1 + 50.0 * double(labels[0]->text.size()),
                            r.graph.left() + r.graph.width() * SeriesLayout::RowPlace(in.rows, first), 1.0);
                continue;
            }
            // Where the plot draws a row, in the layout's twips.
            const auto rowX = [&](int64_t row) {
                return r.graph.left() + r.graph.width() * double(row - first) / double(last - first);
            };
            std::vector<double> ticks;
            for (const DisplayItem* tick : r.list.Of(DisplayItem::Role::PointTick))
                ticks.push_back(tick->x1);
            // From left to right, the end labels included.
            auto labels = r.list.Of(DisplayItem::Role::PointLabel);
            std::sort(labels.begin(), labels.end(), [](const DisplayItem* a, const DisplayItem* b) { return a->x1 < b->x1; });
            int64_t previous = first - 1;
            for (const DisplayItem* label : labels) {
                const int64_t row = label->text.toLongLong();
                const double centre = label->x1 + 50.0 * double(label->text.size());
                EXPECT_GT(row, previous) << label->text.toStdString();
                EXPECT_LE(row, last) << label->text.toStdString();
                EXPECT_NEAR(centre, rowX(row), 1.0) << label->text.toStdString();
                EXPECT_TRUE(std::any_of(ticks.begin(), ticks.end(), [&](double x) { return std::fabs(x - centre) <= 1.0; }))
                    << label->text.toStdString();
                previous = row;
            }
            if (c.points != 30 || c.zoom != 4 || v != 0)
                continue;
            // The peak of row 167 is drawn under the label "167".
            std::vector<float> actual(size_t(c.points + 1), 2.0f), predicted(size_t(c.points + 1), 2.0f);
            actual[167 - 161 + 1] = 9.0f;
            SeriesLayout::Points p{actual.data(), predicted.data(), c.points};
            const SeriesLayout::Plot plot =
                SeriesLayout::PlotSeries(p, first, last, c.testLow, 0, 10, 0, r.graph.size());
            double peakX = -1, peakY = 1e9;
            for (const auto& run : plot.lines[2])
                for (const QPointF& pt : run)
                    if (pt.y() < peakY) {
                        peakY = pt.y();
                        peakX = pt.x();
                    }
            bool under = false;
            for (const DisplayItem* label : r.list.Of(DisplayItem::Role::PointLabel))
                if (label->text == "167")
                    under = std::fabs(label->x1 + 150.0 - (r.graph.left() + peakX)) <= 1.0;
            EXPECT_TRUE(under);
        }
    }
}

// Both charts, values of every size in their designed windows: no text runs into another (the
// tick labels thinned to every second, fifth or no middle tick, long row numbers left out),
// the end labels are the limits in double precision, and a large window labels every tick.
TEST(ChartRules, AxisLabelsNeverOverlapAndTheirEndsAreTheLimits)
{
    const FixedMeasure measure;
    struct Limits {
        double lo, hi;
        const char* loText;
        const char* hiText;
        int16_t type = 7;
        const char* middle = nullptr; // the label of the middle tick
    };
    // A Time or Date/Time field reads as the grid shows its values; a date label is wider at
    // the middle ticks (a time of day after the date) than at the ends (midnight).
    const Limits cases[] = {{0.29, 0.96, "0.29", "0.96"},
                            {29999.5, 50100, "30000", "50100"},
                            {2999923290, 3000000000, "2999923290", "3000000000"},
                            {5000000000, 5200000000, "5000000000", "5200000000"},
                            {1000000000000001, 1000000100000000, "1000000000000001", "1000000100000000"},
                            {-5e15, 5e15, "-5000000000000000", "5000000000000000"},
                            {0.25, 0.75, "06:00:00", "18:00:00", 22, "12:00:00"},
                            {-1.0 / 48, 1.125, "-00:30:00", "27:00:00", 22, "13:15:00"},
                            {45292, 45297, "2024-01-01", "2024-01-06", 8, "2024-01-03 12:00:00"},
                            {32874, 43831, "1990-01-01", "2020-01-01", 23, "2004-12-31 12:00:00"}};
    // Every text of the list as a box of the fixed measure.
    const auto boxes = [](const DisplayList& list) {
        std::vector<std::pair<QRect, QString>> b;
        for (const DisplayItem& item : list.items)
            if (item.kind == DisplayItem::Kind::Text)
                b.push_back({QRect(int(item.x1), int(item.y1), int(100 * item.text.size()), 200), item.text});
        return b;
    };
    const auto expectApart = [](const std::vector<std::pair<QRect, QString>>& b) {
        for (size_t i = 0; i < b.size(); ++i)
            for (size_t j = i + 1; j < b.size(); ++j)
                EXPECT_FALSE(b[i].first.intersects(b[j].first))
                    << b[i].second.toStdString() << " and " << b[j].second.toStdString();
    };
    for (const Limits& c : cases) {
        SCOPED_TRACE(c.loText);
        const QString format = ChartFormat::AxisFormat(c.type, c.lo, c.hi);
        for (const QSize client : {QSize(10200, 7800), QSize(30000, 20000)}) {
            ScatterLayout::Input in;
            in.client = client;
            in.lo = c.lo;
            in.hi = c.hi;
            in.text = ChartFormat::FieldText(c.type, format);
            in.fieldName = "Sales";
            in.measure = &measure;
            const ScatterLayout::Result r = ScatterLayout::Layout(in);
            if (c.middle && client.width() == 30000) {
                EXPECT_TRUE(hasText(r.list, c.middle));
            }
            EXPECT_EQ(r.ylText, c.loText);
            EXPECT_EQ(r.xlText, c.loText);
            EXPECT_EQ(r.yhText, c.hiText);
            EXPECT_EQ(r.xhText, c.hiText);
            // The mouse read-out of the widest values runs into no label or title either.
            std::vector<std::pair<QRect, QString>> b = boxes(r.list);
            const QString readout = "(P=" + in.text(c.hi) + ", A=" + in.text(c.lo) + ", D="
                                  + ChartFormat::DifferenceText(c.type, format)(c.hi - c.lo) + ")";
            b.push_back({QRect(ScatterLayout::ReadoutAt(r, QSize(100 * int(readout.size()), 200)),
                               QSize(100 * int(readout.size()), 200)),
                         readout});
            expectApart(b);
            if (client.width() == 30000) {
                EXPECT_EQ(r.list.Of(DisplayItem::Role::ValueLabel).size(), 11u);
                EXPECT_EQ(r.list.Of(DisplayItem::Role::PointLabel).size(), 11u);
            }
        }
        for (const QSize client : {QSize(9375, 5625), QSize(9375, 4500), QSize(30000, 20000)}) {
            SeriesLayout::Input in;
            in.client = client;
            in.lo = c.lo;
            in.hi = c.hi;
            in.text = ChartFormat::FieldText(c.type, format);
            in.fieldName = "Sales";
            in.rows = SeriesLayout::Rows(9000000, 1, 0, 0, 0, 1000001, 9999999);
            in.measure = &measure;
            const SeriesLayout::Result r = SeriesLayout::Layout(in);
            if (c.middle && client.width() == 30000) {
                EXPECT_TRUE(hasText(r.list, c.middle));
            }
            EXPECT_EQ(r.ylText, c.loText);
            EXPECT_EQ(r.yhText, c.hiText);
            expectApart(boxes(r.list));
            if (client.width() == 30000) {
                EXPECT_EQ(r.list.Of(DisplayItem::Role::ValueLabel).size(), 11u);
                EXPECT_EQ(r.list.Of(DisplayItem::Role::PointLabel).size(), 11u);
            }
        }
    }
    // The scatter's read-out: a Time's distance from the diagonal is a span of hours, a date's
    // a number of days, a number's in the axis format.
    EXPECT_EQ(ChartFormat::DifferenceText(22, "0.00")(1.125), "27:00:00");
    EXPECT_EQ(ChartFormat::DifferenceText(8, "0")(2.4), "2");
    EXPECT_EQ(ChartFormat::DifferenceText(7, "0.0")(2.44), "2.4");
    EXPECT_EQ(ChartFormat::FieldText(5, "0.00")(2), "2.00");
}

TEST(ChartRules, SeriesPenLiftsAtRowsWithoutPrediction)
{
    // Rows 11..20 (TestLow 11); rows 14 and 15 have no prediction.
    std::vector<float> actual(11, 5.0f), predicted(11, 4.0f);
    predicted[0] = 0;
    predicted[4] = predicted[5] = std::nanf("");
    SeriesLayout::Points p{actual.data(), predicted.data(), 10};
    const SeriesLayout::Plot plot = SeriesLayout::PlotSeries(p, 11, 20, 11, 0, 10, 0.5f, QSize(900, 100));
    for (size_t line = 0; line < 4; ++line) {
        ASSERT_EQ(plot.lines[line].size(), 2u) << line;
        // The first run ends at row 13, the second starts at row 16.
        EXPECT_DOUBLE_EQ(plot.lines[line][0].back().x(), 200.0);
        EXPECT_DOUBLE_EQ(plot.lines[line][1].front().x(), 500.0);
    }
    // The band starts at the prediction with a vertical stroke to its edge.
    EXPECT_DOUBLE_EQ(plot.lines[0][0][0].y(), 60.0);
    EXPECT_DOUBLE_EQ(plot.lines[0][0][1].y(), 55.0);
    // After the gap the band resumes from the prediction, the actual line from its own point.
    EXPECT_DOUBLE_EQ(plot.lines[0][1].front().y(), 60.0);
    EXPECT_DOUBLE_EQ(plot.lines[2][1].front().y(), 50.0);

    // A window of one row (a one-row testing range, a high zoom) draws its four values as
    // level strokes across the middle: once a line of one point, with no length, drawn empty.
    const SeriesLayout::Plot one = SeriesLayout::PlotSeries(p, 12, 12, 11, 0, 10, 0.5f, QSize(900, 100));
    const double ys[4] = {55.0, 65.0, 50.0, 60.0};
    for (size_t line = 0; line < 4; ++line) {
        ASSERT_EQ(one.lines[line].size(), 1u) << line;
        const auto& run = one.lines[line][0];
        ASSERT_EQ(run.size(), 2u);
        EXPECT_DOUBLE_EQ(run[0].y(), ys[line]);
        EXPECT_DOUBLE_EQ(run[1].y(), ys[line]);
        EXPECT_LT(run[0].x(), 450.0);
        EXPECT_GT(run[1].x(), 450.0);
    }
    const QImage drawn = SeriesLayout::Render(one, QSize(900, 100));
    EXPECT_EQ(drawn.pixel(450, 50) & 0xFFFFFF, 0x0000FFu); // the actual value, blue
    EXPECT_EQ(drawn.pixel(450, 60) & 0xFFFFFF, 0xFF0000u); // the prediction, red
    // The one row without prediction, or a constant field, draws nothing.
    EXPECT_EQ(SeriesLayout::PlotSeries(p, 14, 14, 11, 0, 10, 0.5f, QSize(900, 100)).PointCount(), 0u);
    EXPECT_EQ(SeriesLayout::PlotSeries(p, 11, 20, 11, 5, 5, 0.5f, QSize(900, 100)).PointCount(), 0u);

    // A million rows on 600 pixels: at most four points a pixel column and line.
    std::vector<float> many(1000001, 0.3f), values(1000001, 0.2f);
    for (size_t i = 0; i < many.size(); ++i)
        many[i] = float(i % 7) / 7.0f;
    SeriesLayout::Points big{values.data(), many.data(), 1000000};
    const SeriesLayout::Plot dense = SeriesLayout::PlotSeries(big, 1, 1000000, 1, 0, 1, 0.1f, QSize(600, 300));
    EXPECT_LE(dense.PointCount(), 4u * 4u * 602u);
}

TEST(ChartRules, SeriesRenderPaintsColumnSpansInLineOrderCutAtTheImage)
{
    // 1000 rows on 10 pixel columns: the actual value swings between 0.25 and 0.375 (y 75 and
    // 62.5), the prediction stays at 0.5 (y 50), the band of 0.625 lies outside the image.
    std::vector<float> actual(1001), predicted(1001, 0.5f);
    for (size_t i = 1; i < actual.size(); ++i)
        actual[i] = i % 2 == 1 ? 0.25f : 0.375f;
    SeriesLayout::Points p{actual.data(), predicted.data(), 1000};
    const QSize size(10, 100);
    const QImage image = SeriesLayout::Render(SeriesLayout::PlotSeries(p, 1, 1000, 1, 0, 1, 0.625f, size), size);
    ASSERT_EQ(image.size(), size);
    auto column = [&](int x) {
        std::string c;
        for (int y = 0; y < image.height(); ++y) {
            const QRgb v = image.pixel(x, y) & 0xFFFFFF;
            c += v == 0xFFFFFF ? 'W' : v == 0xFFFF00 ? 'Y' : v == 0x0000FF ? 'B' : v == 0xFF0000 ? 'R' : '?';
        }
        return c;
    };
    // The first column holds the band's strokes from the prediction to the image's edges; the
    // actual line covers them and the prediction is drawn last.
    EXPECT_EQ(column(0), std::string(50, 'Y') + "R" + std::string(11, 'Y') + std::string(14, 'B') + std::string(24, 'Y'));
    for (int x : {1, 5, 9})
        EXPECT_EQ(column(x), std::string(50, 'W') + "R" + std::string(11, 'W') + std::string(14, 'B') + std::string(24, 'W')) << x;
}

TEST(ChartRules, MatrixSizeGrids)
{
    // The window widths that leave A = 2600 and A = 3000 for the class columns.
    MatrixLayout::SizeInput in;
    in.vscWidth = 255;
    in.classesWidth = 1215;
    in.sumPredictedWidth = 2415;
    in.hscHeight = 255;
    in.sumActualHeight = 615;
    in.titleActualHeight = 285;
    in.formTitleHeight = 570;
    in.rowHeight = 300;
    in.classes = 3;
    const int fixed = 45 + 1215 + 2415 + 600 + 255;
    in.windowHeight = 20000;
    in.windowWidth = 2600 + fixed;
    MatrixLayout::Size s = MatrixLayout::SizeGrids(in);
    EXPECT_EQ(s.columnWidth, 1300);
    EXPECT_EQ(s.visibleColumns, 2);
    EXPECT_EQ(s.gridWidth, 2600 - 30);
    in.windowWidth = 3000 + fixed;
    s = MatrixLayout::SizeGrids(in);
    EXPECT_EQ(s.columnWidth, 1000);
    EXPECT_EQ(s.visibleColumns, 3);
    // Wide enough for all: n x 1200, the matrix n x 1200 - 30 wide.
    in.windowWidth = 20000;
    s = MatrixLayout::SizeGrids(in);
    EXPECT_EQ(s.columnWidth, 1200);
    EXPECT_EQ(s.gridWidth, 3 * 1200 - 30);
    EXPECT_EQ(s.visibleRows, 3);
    EXPECT_EQ(s.height, 900);

    // Room for 3.2 rows of five classes: four rows and the header.
    in.classes = 5;
    const int rest = 420 + 45 + 2 * 285 + 615 + 570 + 255 + 300 + 45;
    in.windowHeight = rest + 960;
    s = MatrixLayout::SizeGrids(in);
    EXPECT_EQ(s.height, 1200);
    EXPECT_EQ(s.visibleRows, 4);
    EXPECT_EQ(s.gridHeight, (1200 - 30) + 300 + 45);

    // No classes, no row height: nothing divides by zero.
    in.classes = 0;
    in.rowHeight = 0;
    s = MatrixLayout::SizeGrids(in);
    EXPECT_EQ(s.visibleRows, 0);
    EXPECT_EQ(s.visibleColumns, 0);
}

// Ten units a character: "General …" is nine characters, 90 units.
TEST(ChartRules, MatrixClassLabelsNeverReadAlike)
{
    const auto widthOf = [](const QString& t) { return int(t.size()) * 10; };
    const auto labels = [&](const std::vector<QString>& names, int room) {
        return MatrixLayout::ClassLabels(names, room, widthOf);
    };
    // Short names stand whole; a long one alone is cut at its end.
    EXPECT_EQ(labels({"Ford", "General Electric"}, 90), (std::vector<QString>{"Ford", "General …"}));
    // Two that would both read "General …" show where they part.
    EXPECT_EQ(labels({"General Electric", "General Motors", "Ford", "General Mills"}, 90),
              (std::vector<QString>{"…Electric", "…Motors", "Ford", "…Mills"}));
    EXPECT_EQ(labels({"Batch0000017", "Batch0000018"}, 90), (std::vector<QString>{"…7", "…8"}));
    EXPECT_EQ(labels({"General Electric Company", "General Motors Company"}, 90),
              (std::vector<QString>{"…Electri…", "…Motors …"}));
    // Alike even from where they part: each is led by its number.
    EXPECT_EQ(labels({"Big Red Car 1", "Big Red Boat 2", "Big Blue Car 3", "Big Blue Boat 4"}, 60),
              (std::vector<QString>{"…Car 1", "#2 Bi…", "…Car 3", "#4 Bi…"}));
    // A label never equals another class's whole name, whatever the room.
    for (int room : {10, 30, 60, 90, 200}) {
        const std::vector<QString> names{"North", "Northern", "Northern Lights", "Northern Light", "N", "No"};
        const auto shown = labels(names, room);
        for (size_t i = 0; i < shown.size(); ++i)
            for (size_t j = i + 1; j < shown.size(); ++j)
                EXPECT_NE(shown[i], shown[j]) << room << ": " << names[i].toStdString() << " / " << names[j].toStdString();
    }
}
