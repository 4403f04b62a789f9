#include "core/prompts.h"
#include "tests/support/fakeprompter.h"
#include "tests/support/testenv.h"
#include "tests/training/fixedmeasure.h"
#include "training/chartlayout.h"
#include "training/propertybag.h"
#include "training/varedodozpro.h"

#include <QImage>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {
using Role = DisplayItem::Role;

// W x H = 6000 x 4500 twips (400 x 300 pixels): plot right 5880, bottom 4500 - 2 x 240 = 4020.
constexpr int W = 6000;
constexpr int H = 4500;

// One series over `values` (Null where std::nullopt), labels "0", "1", ...
ChartTable Series(const std::vector<std::optional<double>>& values, int seriesRows = 1)
{
    ChartTable table(seriesRows, int(values.size()) - 1);
    for (int p = 0; p < int(values.size()); ++p) {
        table(0, p) = QString::number(p);
        for (int s = 1; s <= seriesRows; ++s)
            table(s, p) = values[size_t(p)] ? ChartCell(*values[size_t(p)]) : ChartCell::Null();
    }
    return table;
}

ChartState State(ChartTable table, int type = ChartBar)
{
    ChartState state;
    state.table = std::move(table);
    state.chartType = type;
    state.markPoint = -1;
    for (int s = 0; s <= state.table.UpperSeries() && s < 16; ++s)
        state.seriesColor[size_t(s)] = ChartDefaults::SeriesColors[size_t(s)];
    return state;
}

QStringList Texts(const DisplayList& list, Role role)
{
    QStringList texts;
    for (const DisplayItem* item : list.Of(role))
        texts << item->text;
    return texts;
}

ChartPainting Paint(const ChartState& state, int width = W, int height = H)
{
    return ChartLayout::Paint(state, FixedMeasure(), width, height);
}
} // namespace

TEST(ChartSeries, SlotsZeroToFifteenOnlyAndAnEmptyLegendKeepsTheOldOne)
{
    FakePrompter prompter;
    VaredOdozPro chart;
    chart.SetSeriesOptions(15, 0x123456, QStringLiteral("last"));
    EXPECT_EQ(chart.SeriesColor(15), 0x123456);
    EXPECT_EQ(chart.SeriesLegend(15), QStringLiteral("last"));

    for (int bad : {16, -1}) {
        prompter.ExpectBox(MsgResult::Ok);
        chart.SetSeriesOptions(bad, 0x111111, QStringLiteral("x"));
        ASSERT_EQ(prompter.Boxes().size(), size_t(bad == 16 ? 1 : 2));
        EXPECT_EQ(prompter.LastBox().text, QStringLiteral("Too many data series -- limit is 15"));
        EXPECT_EQ(prompter.LastBox().buttons, MsgButtons::Ok);
    }
    EXPECT_EQ(chart.SeriesColor(15), 0x123456);

    chart.SetSeriesOptions(0, 0x00FF00, QStringLiteral("error"));
    chart.SetSeriesOptions(0, 255, QString());
    EXPECT_EQ(chart.SeriesLegend(0), QStringLiteral("error"));
    EXPECT_EQ(chart.SeriesColor(0), 255);

    // RegisterData keeps a set slot and gives unset ones their default only for rows it has.
    chart.RegisterData(ChartTable(1, 3));
    EXPECT_EQ(chart.SeriesColor(0), 255);
    EXPECT_EQ(chart.SeriesColor(1), -1);
    chart.RegisterData(ChartTable(2, 3));
    EXPECT_EQ(chart.SeriesColor(1), 0x800000);

    // Seventeen series rows: every cell kept, series 17 has no slot.
    ChartTable big(17, 2);
    big(17, 2) = 5.0;
    chart.RegisterData(big);
    EXPECT_EQ(chart.State().table(17, 2), ChartCell(5.0));
    EXPECT_EQ(chart.SeriesColor(15), 0x123456);
}

TEST(ChartScale, WidensToTheDataInRefreshAndNeverNarrows)
{
    VaredOdozPro chart;
    FixedMeasure measure;
    chart.SetTextMeasure(&measure);
    chart.resize(400, 300);
    chart.SetHighScale(100);
    chart.SetLowScale(0);
    chart.RegisterData(Series({20, 140, 60}));
    // Setting properties draws nothing and changes no scale.
    EXPECT_TRUE(chart.Display().items.empty());
    EXPECT_EQ(chart.HighScale(), 100);
    chart.Refresh();
    EXPECT_EQ(chart.HighScale(), 140);
    EXPECT_EQ(chart.LowScale(), 0);

    chart.RegisterData(Series({10, -5, 30}));
    chart.Refresh();
    EXPECT_EQ(chart.HighScale(), 140);
    EXPECT_EQ(chart.LowScale(), -5);

    // A repaint replays; it does not widen again or change anything.
    const size_t items = chart.Display().items.size();
    chart.grab();
    EXPECT_EQ(chart.Display().items.size(), items);
    EXPECT_EQ(chart.LowScale(), -5);

    // Stacked bars widen to the sums of a point.
    ChartTable stacked = Series({50, 70}, 2);
    chart.SetChartType(ChartStackedBar);
    chart.RegisterData(stacked);
    chart.Refresh();
    EXPECT_EQ(chart.HighScale(), 140);
    chart.SetHighScale(0);
    chart.Refresh();
    EXPECT_EQ(chart.HighScale(), 140); // 70 + 70
}

TEST(ChartValueAxis, TicksLabelsFormatsAndStart)
{
    ChartState state = State(Series({0, 100}));
    state.highScale = 100;
    state.verticalTickInterval = 10;
    ChartPainting painting = Paint(state);
    EXPECT_EQ(Texts(painting.list, Role::ValueLabel),
              QStringList({"0", "10", "20", "30", "40", "50", "60", "70", "80", "90", "100"}));
    // "100" is 300 wide: the margin becomes 300 + 120.
    EXPECT_EQ(painting.plotLeft, 420);
    EXPECT_EQ(painting.plotBottom, 4020);
    const auto ticks = painting.list.Of(Role::ValueTick);
    ASSERT_EQ(ticks.size(), 22u);
    EXPECT_EQ(ticks[0]->y1, 4020);                        // 0 at the bottom
    EXPECT_EQ(ticks[20]->y1, 0);                          // 100 at the top
    EXPECT_EQ(ticks[2]->y1, std::nearbyint(4020 - 402.0)); // 10
    EXPECT_EQ(ticks[0]->x1, 420);
    EXPECT_EQ(ticks[0]->x2, 480);
    EXPECT_EQ(ticks[1]->x1, 5880);
    EXPECT_EQ(ticks[1]->x2, 5820);
    const DisplayItem* label = painting.list.Of(Role::ValueLabel)[10];
    EXPECT_EQ(label->x1, 420 - (300 + 60));
    EXPECT_EQ(label->y1, -120);
    const auto frame = painting.list.Of(Role::Frame);
    ASSERT_EQ(frame.size(), 1u);
    EXPECT_EQ(frame[0]->x1, 420);
    EXPECT_EQ(frame[0]->y2, 4020);

    // A fractional tick makes every label of the painting two-decimal.
    state.highScale = 10;
    state.verticalTickInterval = 2.5;
    painting = Paint(state);
    EXPECT_EQ(Texts(painting.list, Role::ValueLabel).mid(0, 5),
              QStringList({"0.00", "2.50", "5.00", "7.50", "10.00"}));

    // Low 3 with interval 2 starts at 2.
    state.lowScale = 3;
    state.highScale = 9;
    state.table = Series({4, 8});
    state.verticalTickInterval = 2;
    painting = Paint(state);
    EXPECT_EQ(Texts(painting.list, Role::ValueLabel), QStringList({"2", "4", "6", "8"}));

    // Interval 0 paints with 1 and stays 1.
    state.verticalTickInterval = 0;
    painting = Paint(state);
    EXPECT_EQ(painting.verticalTickInterval, 1);
    EXPECT_EQ(Texts(painting.list, Role::ValueLabel).first(), QStringLiteral("3"));

    // A high limit equal to the start: one tick at the top, every point at bottom - 15.
    ChartState flat = State(Series({0, 0, 0}), ChartPoint);
    painting = Paint(flat);
    ASSERT_EQ(painting.list.Of(Role::ValueTick).size(), 2u);
    EXPECT_EQ(painting.list.Of(Role::ValueTick)[0]->y1, 0);
    for (const DisplayItem* point : painting.list.Of(Role::Point))
        EXPECT_EQ(point->y1, 4020 - 15);
}

TEST(ChartValueAxis, UnusableIntervalsAndScalesEndThePaintingInsteadOfLooping)
{
    ChartState state = State(Series({1, 2}));
    for (double interval : {-1.0, std::nan(""), std::numeric_limits<double>::infinity(), 1e-9}) {
        state.verticalTickInterval = interval;
        const ChartPainting painting = Paint(state);
        EXPECT_TRUE(painting.list.Of(Role::ValueTick).empty()) << interval;
        EXPECT_TRUE(painting.list.Of(Role::Bar).empty()) << interval;
        EXPECT_FALSE(painting.stoppedAt.isEmpty()) << interval;
    }
    state.verticalTickInterval = 1;
    state.highScale = std::numeric_limits<double>::infinity();
    EXPECT_TRUE(Paint(state).list.Of(Role::ValueTick).empty());

    // Text in a numeric cell ends the plot where the scan meets it; title and legend stay.
    state = State(Series({1, 2}));
    state.table(1, 1) = "abc";
    state.title = "T";
    const ChartPainting painting = Paint(state);
    EXPECT_EQ(painting.list.Of(Role::Title).size(), 1u);
    EXPECT_TRUE(painting.list.Of(Role::Frame).empty());
    EXPECT_EQ(painting.errorNumber, 32007);
    EXPECT_EQ(painting.errorDescription, QStringLiteral("Error 13 plotting graph: Type mismatch"));
    // A text that reads as a number is that number.
    state.table(1, 1) = "7";
    EXPECT_EQ(Paint(state).highScale, 7);
}

TEST(ChartPointAxis, EveryNthLabelAndAFrequencyBelowOneIsOne)
{
    std::vector<std::optional<double>> values(61, 1.0);
    ChartState state = State(Series(values), ChartLine);
    state.horizontalTickFrequency = 5;
    ChartPainting painting = Paint(state);
    QStringList expected;
    for (int p = 0; p <= 60; p += 5)
        expected << QString::number(p);
    EXPECT_EQ(Texts(painting.list, Role::PointLabel), expected);
    const auto ticks = painting.list.Of(Role::PointTick);
    EXPECT_EQ(ticks.front()->x1, painting.plotLeft); // first label on the left edge
    EXPECT_EQ(ticks.back()->x1, 5880);               // last on the right edge
    EXPECT_EQ(ticks.back()->y2, 4020 - 60);

    state.horizontalTickFrequency = 0.2; // 0 after rounding: would never end
    painting = Paint(state);
    EXPECT_EQ(painting.list.Of(Role::PointLabel).size(), 61u);

    // A single point: value axis and frame, then the painting ends.
    state = State(Series({5}));
    painting = Paint(state);
    EXPECT_FALSE(painting.list.Of(Role::ValueTick).empty());
    EXPECT_EQ(painting.list.Of(Role::Frame).size(), 1u);
    EXPECT_TRUE(painting.list.Of(Role::PointTick).empty());
    EXPECT_TRUE(painting.list.Of(Role::Bar).empty());
}

TEST(ChartBars, WidthsPositionsTheThirtyRuleAndTheMarkedPoint)
{
    // Labels "0".."9", values up to 9: left margin 120 + 100 = 220.
    std::vector<std::optional<double>> values;
    for (int p = 0; p < 10; ++p)
        values.push_back(p);
    ChartState state = State(Series(values, 2));
    state.markPoint = 3;
    state.seriesColor[2] = 0xFF0000;
    ChartPainting painting = Paint(state);
    ASSERT_EQ(painting.plotLeft, 220);
    // (5880 - 280) / (2 x 10) - 30 = 250
    const auto bars = painting.list.Of(Role::Bar);
    ASSERT_EQ(bars.size(), 20u);
    const DisplayItem* first = bars[0];
    EXPECT_EQ(first->x2 - first->x1, 250);
    // Point 3 of series 2: (5660 / 10 x 3 + 220 - 15) + 30 + 280 = 2233 (2232.8 rounded).
    const DisplayItem* s2p3 = bars[13];
    EXPECT_EQ(s2p3->series, 2);
    EXPECT_EQ(s2p3->point, 3);
    EXPECT_EQ(s2p3->x1, std::nearbyint(5660.0 / 10 * 3 + 205) + 30 + 280);
    EXPECT_EQ(s2p3->y2, 4020 - 15);
    // The marked bar of each series takes the next slot's colour.
    EXPECT_EQ(bars[3]->fillColor, ChartDefaults::SeriesColors[1]);
    EXPECT_EQ(s2p3->fillColor, 0xFF0000);
    EXPECT_EQ(bars[4]->fillColor, ChartDefaults::SeriesColors[0]);
    state.markPoint = -1;
    // The painting is kept: a range over a temporary's list would read freed items.
    const ChartPainting unmarked = Paint(state);
    for (const DisplayItem* bar : unmarked.list.Of(Role::Bar))
        EXPECT_EQ(bar->fillColor, ChartDefaults::SeriesColors[size_t(bar->series - 1)]);

    // Width 15 or less becomes 30; halves go to the even width. Plot right = width - 120,
    // left 220: (width - 400) / 10 - 30.
    state = State(Series(values));
    const auto width = [&](int w) {
        const ChartPainting p = Paint(state, w);
        return p.list.Of(Role::Bar)[0]->x2 - p.list.Of(Role::Bar)[0]->x1;
    };
    EXPECT_EQ(width(850), 30); // 15
    EXPECT_EQ(width(860), 16);
    EXPECT_EQ(width(865), 16); // 16.5 to even
    EXPECT_EQ(width(875), 18); // 17.5 to even
    EXPECT_EQ(width(600), 30); // below zero

    // No series in a bar chart: axes only, nothing divides by zero.
    state = State(ChartTable(0, 4));
    painting = Paint(state);
    EXPECT_EQ(painting.list.Of(Role::PointTick).size(), 5u);
    EXPECT_TRUE(painting.list.Of(Role::Bar).empty());
}

TEST(ChartLines, HighlightedSegmentNullsAndMarkers)
{
    ChartState state = State(Series({10, std::nullopt, 30, 40, 20, std::nullopt, std::nullopt}), ChartLine);
    state.seriesColor[0] = 255;
    state.seriesColor[1] = 0xFF0000;
    state.markPoint = 3;
    state.plotPoints = true;
    const ChartPainting painting = Paint(state);
    const auto segments = painting.list.Of(Role::Segment);
    ASSERT_EQ(segments.size(), 3u); // 0-2 bridged, 2-3, 3-4; the line ends at point 4
    EXPECT_EQ(segments[0]->point, 2);
    EXPECT_EQ(segments[1]->point, 3);
    EXPECT_EQ(segments[2]->point, 4);
    EXPECT_EQ(segments[0]->color, 255);
    EXPECT_EQ(segments[1]->color, 0xFF0000); // the segment that ends at the marked point
    EXPECT_EQ(segments[2]->color, 255);
    const auto markers = painting.list.Of(Role::Marker);
    ASSERT_EQ(markers.size(), 4u);
    // A segment joins the centres of the 30 x 30 squares.
    EXPECT_EQ(segments[0]->x1, markers[0]->x1 + 15);
    EXPECT_EQ(segments[0]->y2, markers[1]->y1 + 15);
    EXPECT_EQ(markers[0]->x2 - markers[0]->x1, 30);
    // x of point p: (right - left) / (n - 1) x p + left - 15.
    EXPECT_EQ(markers[1]->x1, std::nearbyint((5880.0 - painting.plotLeft) / 6 * 2 + painting.plotLeft - 15));
}

TEST(ChartStacked, BarsStackAndNegativeDataShowsTheBoxAndClears)
{
    ChartState state = State(Series({10, 20}, 2), ChartStackedBar);
    state.highScale = 40;
    state.verticalTickInterval = 10;
    ChartPainting painting = Paint(state);
    const auto bars = painting.list.Of(Role::Bar);
    ASSERT_EQ(bars.size(), 4u);
    // Series 2 at point 0 sits on series 1: its base is series 1's top.
    const double h10 = std::nearbyint(4020 - 10.0 / 40 * 4020 - 15);
    EXPECT_EQ(bars[0]->y2, 4020 - 15);
    EXPECT_EQ(bars[2]->y2, h10);
    EXPECT_EQ(bars[2]->x1, bars[0]->x1);

    FakePrompter prompter;
    VaredOdozPro chart;
    FixedMeasure measure;
    chart.SetTextMeasure(&measure);
    chart.resize(400, 300);
    chart.SetChartType(ChartStackedBar);
    chart.SetTitle(QStringLiteral("Errors"));
    ChartTable table = Series({10, 20}, 2);
    table(2, 1) = -1.0;
    chart.RegisterData(table);
    prompter.ExpectBox(MsgResult::Ok);
    chart.Refresh();
    ASSERT_EQ(prompter.Boxes().size(), 1u);
    EXPECT_EQ(prompter.LastBox().text, QStringLiteral("Cannot plot stacked bar graph with negative data"));
    EXPECT_EQ(prompter.LastBox().title, QStringLiteral("Plot Error"));
    EXPECT_EQ(prompter.LastBox().icon, MsgIcon::Critical);
    EXPECT_TRUE(chart.Display().items.empty());
    // A repaint shows no box again.
    chart.grab();
    EXPECT_EQ(prompter.Boxes().size(), 1u);

    // A Null anywhere in a stacked chart: no plot, the title still drawn.
    table(2, 1) = ChartCell::Null();
    chart.RegisterData(table);
    chart.Refresh();
    EXPECT_EQ(chart.Display().Of(Role::Title).size(), 1u);
    EXPECT_TRUE(chart.Display().Of(Role::Frame).empty());
}

TEST(ChartLayoutRules, TitleLegendEmptyCellsAndNothingRegistered)
{
    ChartState state = State(Series({1, 2, 3}));
    state.title = "Error";
    state.displayLegend = true;
    state.seriesLegend[0] = QString(10, QLatin1Char('x')); // 1000 twips
    ChartPainting painting = Paint(state);
    EXPECT_EQ(painting.plotRight, W - 1360);
    EXPECT_EQ(painting.plotTop, 240);
    const DisplayItem* title = painting.list.Of(Role::Title)[0];
    EXPECT_EQ(title->x1, (W - 500) / 2.0);
    EXPECT_EQ(title->font, DisplayItem::FontRole::Title);
    const DisplayItem* box = painting.list.Of(Role::LegendBox)[0];
    EXPECT_EQ(box->x1, W - 1180);
    // Column centred: (4500 - (240 + 120) x 3) / 2 = 1710, first row at 1710 + 240.
    EXPECT_EQ(painting.list.Of(Role::LegendText)[0]->y1, 1950);
    EXPECT_EQ(box->y1, 1950 + 90);
    EXPECT_EQ(painting.list.Of(Role::Frame)[0]->x2, W - 1360);

    // Cells that hold nothing: value 0 everywhere, empty labels.
    state = State(ChartTable(1, 4), ChartPoint);
    painting = Paint(state);
    EXPECT_EQ(painting.list.Of(Role::Point).size(), 5u);
    EXPECT_EQ(Texts(painting.list, Role::PointLabel), QStringList({"", "", "", "", ""}));
    for (const DisplayItem* point : painting.list.Of(Role::Point))
        EXPECT_EQ(point->y1, 4020 - 15);

    // Nothing registered: the title and nothing else.
    ChartState empty;
    empty.title = "Error";
    empty.displayLegend = true;
    painting = Paint(empty);
    ASSERT_EQ(painting.list.items.size(), 1u);
    EXPECT_EQ(painting.list.items[0].role, Role::Title);

    // An unknown chart type: frame, ticks and labels, no data.
    state = State(Series({1, 2}), 7);
    painting = Paint(state);
    EXPECT_EQ(painting.list.Of(Role::Frame).size(), 1u);
    EXPECT_TRUE(painting.list.Of(Role::Bar).empty());
    EXPECT_TRUE(painting.list.Of(Role::Point).empty());

    // A surface without area draws nothing.
    EXPECT_TRUE(Paint(State(Series({1, 2})), 0, 4500).list.items.empty());
    EXPECT_TRUE(Paint(State(Series({1, 2})), 6000, 0).list.items.empty());
    VaredOdozPro chart;
    chart.resize(0, 0);
    chart.RegisterData(Series({1, 2}));
    chart.Refresh();
    EXPECT_TRUE(chart.Display().items.empty());
}

TEST(ChartControl, SavedPropertiesWritersAndAHighlightedBarIsBlue)
{
    VaredOdozPro chart;
    QSignalSpy changed(&chart, &VaredOdozPro::PropertyChanged);
    chart.InitProperties();
    EXPECT_EQ(chart.MarkPoint(), 0);
    chart.SetMarkPoint(2);
    chart.SetChartType(7);
    EXPECT_EQ(chart.ChartType(), 7);
    ASSERT_EQ(changed.count(), 2);
    EXPECT_EQ(changed[0][0].toString(), QStringLiteral("MarkPoint"));
    EXPECT_TRUE(chart.Display().items.empty()); // no writer repaints

    PropertyBag bag;
    chart.WriteProperties(bag);
    const QStringList names = {"MarkPoint", "BackColor", "ForeColor", "Enabled", "Font", "BackStyle",
                               "BorderStyle", "ChartType", "DisplayLegend", "PlotPoints", "Title",
                               "VerticalTickInterval", "HorizontalTickFrequency", "TitleFont"};
    EXPECT_EQ(bag.WriteOrder(), names);
    EXPECT_EQ(bag.Find("MarkPoint")->defaultValue.toInt(), -1);
    EXPECT_EQ(bag.Find("BackColor")->defaultValue.toInt(), int32_t(0x8000000F));
    EXPECT_EQ(bag.Find("ForeColor")->defaultValue.toInt(), int32_t(0x80000012));
    EXPECT_EQ(bag.Find("BackStyle")->defaultValue.toInt(), 1);
    EXPECT_EQ(bag.Find("VerticalTickInterval")->defaultValue.toDouble(), 1);

    VaredOdozPro fresh;
    PropertyBag empty;
    fresh.ReadProperties(empty);
    EXPECT_EQ(empty.ReadOrder(), names);
    EXPECT_EQ(fresh.MarkPoint(), -1);
    EXPECT_EQ(fresh.BackColor(), int32_t(0x8000000F));
    EXPECT_EQ(fresh.ChartType(), 0);
    fresh.ReadProperties(bag);
    EXPECT_EQ(fresh.ChartType(), 7);
    EXPECT_EQ(fresh.MarkPoint(), 2);
    EXPECT_EQ(fresh.HighScale(), 0); // scales are not saved

    // Rendered: the marked bar in slot 1's blue, the others in slot 0's red.
    VaredOdozPro render;
    render.resize(300, 200);
    render.SetBackColor(0xFFFFFF);
    render.SetSeriesOptions(0, 255);
    render.SetSeriesOptions(1, 0xFF0000);
    render.SetMarkPoint(1);
    render.SetVerticalTickInterval(10);
    render.RegisterData(Series({50, 50, 50}));
    render.Refresh();
    const QImage image = render.grab().toImage();
    const auto bars = render.Display().Of(Role::Bar);
    ASSERT_EQ(bars.size(), 3u);
    const auto centre = [&](const DisplayItem* bar) {
        return QColor(image.pixel(int((bar->x1 + bar->x2) / 30), int((bar->y1 + bar->y2) / 30)));
    };
    EXPECT_EQ(centre(bars[1]), QColor(0, 0, 255));
    EXPECT_EQ(centre(bars[0]), QColor(255, 0, 0));
    EXPECT_EQ(QColor(image.pixel(2, 2)), QColor(255, 255, 255));
}
