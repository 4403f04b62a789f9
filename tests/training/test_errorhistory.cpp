// The error history shared by both training windows, the scale rule, and the layout and label
// arithmetic, with the figures the windows are specified by.
#include "tests/training/fixedmeasure.h"
#include "training/errorhistory.h"
#include "training/trainlayout.h"

#include <QSet>
#include <QStringList>

#include <gtest/gtest.h>

namespace {

float ErrorAt(const CErrorHistory& h, int p)
{
    return float(h.cell(1, p).Number().value_or(-999.0));
}

bool BlankAt(const CErrorHistory& h, int p)
{
    return h.cell(0, p) == ChartCell(QStringLiteral(" - ")) && h.cell(1, p).IsNull();
}

} // namespace

TEST(ErrorHistory, BackPropKeepsSixtyOnePointsAndTheMarkWalksLeftAndGoes)
{
    CErrorHistory h(CErrorHistory::BackProp);
    EXPECT_EQ(h.lastPoint(), -1);
    EXPECT_EQ(h.chartBest(), 99999.0f);
    // Pass 1 is the best ever; later passes are worse.
    h.addPoint(5, 10.0f, 10.0f);
    EXPECT_EQ(h.markPoint(), 0);
    EXPECT_EQ(h.cell(0, 0), ChartCell(QStringLiteral(" 5 ")));
    for (int pass = 2; pass <= 61; ++pass)
        h.addPoint(pass * 5, 20.0f + float(pass), 10.0f);
    EXPECT_EQ(h.lastPoint(), 60);
    EXPECT_EQ(h.markPoint(), 0);
    EXPECT_TRUE(BlankAt(h, 61));
    EXPECT_TRUE(BlankAt(h, 62));

    // Pass 62: the oldest point drops, the mark moves past point 0 and goes.
    h.addPoint(310, 50.0f, 10.0f);
    EXPECT_EQ(h.lastPoint(), 60);
    EXPECT_EQ(h.cell(0, 0), ChartCell(QStringLiteral(" 10 ")));
    EXPECT_EQ(ErrorAt(h, 60), 50.0f);
    EXPECT_EQ(h.markPoint(), -1);
    EXPECT_TRUE(BlankAt(h, 61) && BlankAt(h, 62));

    // A new best marks the newest point; the mark then walks left one place a pass.
    h.addPoint(315, 5.0f, 5.0f);
    EXPECT_EQ(h.markPoint(), 60);
    h.addPoint(320, 6.0f, 5.0f);
    h.addPoint(325, 6.0f, 5.0f);
    EXPECT_EQ(h.markPoint(), 58);
    EXPECT_EQ(ErrorAt(h, 58), 5.0f);
}

TEST(ErrorHistory, NoBestErrorClearsTheMarkAndTheLabelPathOnlyRemembers)
{
    CErrorHistory h(CErrorHistory::BackProp);
    h.addPoint(1, 30.0f, -1);
    EXPECT_EQ(h.markPoint(), -1);
    EXPECT_EQ(h.chartBest(), 99999.0f);
    h.addPoint(2, 20.0f, 20.0f);
    EXPECT_EQ(h.markPoint(), 1);
    // Chart hidden: nothing is added, a better best is remembered but not marked.
    h.notePass(15.0f);
    EXPECT_EQ(h.lastPoint(), 1);
    EXPECT_EQ(h.chartBest(), 15.0f);
    EXPECT_EQ(h.markPoint(), 1);
    h.addPoint(3, 16.0f, 15.0f);
    EXPECT_EQ(h.markPoint(), 1); // 15 is not below the chart best 15
    h.notePass(-1);
    EXPECT_EQ(h.markPoint(), -1);
}

TEST(ErrorHistory, SFamShiftsAfterTwentyOneCyclesAndSeedsWithTheWholeCycleCount)
{
    CErrorHistory h(CErrorHistory::SFam);
    EXPECT_EQ(h.points(), 23);
    EXPECT_EQ(h.chartBest(), 301.0f);
    for (int cycle = 1; cycle <= 21; ++cycle)
        h.addPoint(cycle, 50.0f - float(cycle), 50.0f - float(cycle));
    EXPECT_EQ(h.lastPoint(), 20);
    EXPECT_EQ(h.markPoint(), 20);
    h.addPoint(22, 40.0f, 29.0f);
    EXPECT_EQ(h.lastPoint(), 20);
    EXPECT_EQ(h.cell(0, 0), ChartCell(QStringLiteral(" 2 ")));
    EXPECT_EQ(h.markPoint(), 19);
    EXPECT_TRUE(BlankAt(h, 21) && BlankAt(h, 22));

    // Seeded from a saved network: point 0 labelled by the whole number.
    CErrorHistory seeded(CErrorHistory::SFam);
    seeded.seed(7, 12.5f);
    EXPECT_EQ(seeded.cell(0, 0), ChartCell(int(7)));
    EXPECT_EQ(seeded.lastPoint(), 0);
    seeded.addPoint(8, 11.0f, 11.0f);
    EXPECT_EQ(seeded.lastPoint(), 1);
}

TEST(ErrorHistory, ScaleRuleWithTheFiguresOfBothWindows)
{
    CErrorHistory bp(CErrorHistory::BackProp);
    // An empty history (no-value cells only).
    EXPECT_EQ(bp.scale(false, 10), (HistoryScale{0, 100, 10}));
    // Chosen for a zoom with nothing to scale: the same empty chart.
    EXPECT_EQ(bp.scale(true, 10), (HistoryScale{0, 100, 10}));

    // After a reset every cell holds nothing and counts as 0.
    bp.clear();
    EXPECT_EQ(bp.scale(false, 10), (HistoryScale{0, 10, 1}));
    const HistoryScale zoomedEmpty = bp.scale(true, 10);
    EXPECT_DOUBLE_EQ(zoomedEmpty.low, 0);
    EXPECT_DOUBLE_EQ(zoomedEmpty.high, 0.125);
    EXPECT_DOUBLE_EQ(zoomedEmpty.tick, 0.02); // 0.0125 up to whole hundredths

    bp.blank();
    bp.addPoint(1, 10.0f, 10.0f);
    bp.addPoint(2, 12.0f, 10.0f);
    const HistoryScale zoomed = bp.scale(true, 10);
    EXPECT_DOUBLE_EQ(zoomed.low, 9);
    EXPECT_DOUBLE_EQ(zoomed.high, 13);
    EXPECT_NEAR(zoomed.tick, 0.4, 1e-12);
    bp.addPoint(3, 37.4f, 10.0f);
    EXPECT_EQ(bp.scale(false, 10), (HistoryScale{0, 47, 4}));
    EXPECT_EQ(bp.scale(false, CErrorHistory::SFam.passHeadroom), (HistoryScale{0, 38, 4}));

    // SFAM: a flat history of 12.
    CErrorHistory sf(CErrorHistory::SFam);
    for (int c = 1; c <= 4; ++c)
        sf.addPoint(c, 12.0f, 12.0f);
    const HistoryScale flat = sf.scale(true, 1);
    EXPECT_DOUBLE_EQ(flat.low, 11.875);
    EXPECT_DOUBLE_EQ(flat.high, 12.125);
    EXPECT_NEAR(flat.tick, 0.03, 1e-12);
    EXPECT_EQ(sf.scale(false, CErrorHistory::kZoomHeadroom), (HistoryScale{0, 22, 2}));
    EXPECT_EQ(sf.scale(false, CErrorHistory::SFam.passHeadroom), (HistoryScale{0, 13, 2}));

    // Ties go to the lower index; a low bound below 0 becomes 0.
    CErrorHistory low(CErrorHistory::BackProp);
    low.addPoint(1, 0.5f, 0.5f);
    low.addPoint(2, 3.5f, 0.5f);
    const HistoryScale l = low.scale(true, 10);
    EXPECT_DOUBLE_EQ(l.low, 0);
    EXPECT_DOUBLE_EQ(l.high, 5);
}

// The zoomed chart's value labels, as the chart paints them, are distinct and few: errors that
// move in the third decimal once gave 8.94 four times and 8.95 five times, and one point (a
// history after a revert) a crowded axis.
TEST(ErrorHistory, ZoomedValueLabelsAreDistinctAndFew)
{
    const FixedMeasure measure;
    auto labels = [&](const CErrorHistory& h) {
        ChartState st;
        st.table = h.table();
        const HistoryScale s = h.scale(true, CErrorHistory::kZoomHeadroom);
        st.highScale = s.high;
        st.lowScale = s.low;
        st.verticalTickInterval = s.tick;
        st.horizontalTickFrequency = 5;
        const ChartPainting painting = ChartLayout::Paint(st, measure, 12000, 5000);
        QStringList texts;
        for (const DisplayItem* item : painting.list.Of(DisplayItem::Role::ValueLabel))
            texts << item->text;
        return texts;
    };
    auto check = [&](const CErrorHistory& h) {
        const QStringList texts = labels(h);
        EXPECT_GE(texts.size(), 2) << texts.join(' ').toStdString();
        EXPECT_LE(texts.size(), 12) << texts.join(' ').toStdString();
        EXPECT_EQ(QSet<QString>(texts.begin(), texts.end()).size(), texts.size()) << texts.join(' ').toStdString();
    };
    for (const CErrorHistory::Shape& shape : {CErrorHistory::BackProp, CErrorHistory::SFam}) {
        CErrorHistory h(shape);
        const float errors[] = {8.9521f, 8.9493f, 8.9478f, 8.9466f, 8.9459f, 8.9452f, 8.9449f};
        int cycles = 0;
        for (const float e : errors)
            h.addPoint(++cycles, e, e);
        check(h);
        for (int i = 0; i < 80; ++i) // a long run: the window shifted, a spread from 2.3 to 40
            h.addPoint(++cycles, 2.3f + float(i % 9) * 4.2f, 2.3f);
        check(h);
        // After a revert: the best point alone.
        h.blank();
        h.seed(cycles, 8.9449f);
        check(h);
        h.clear(); // after a reset every cell counts as 0
        check(h);
    }
}

TEST(TrainLayout, CounterCentredFramesFromWidth8500AndTheChartsMargins)
{
    TrainLayout::Sizes s{8499, 6000, 2100, 2100, 3000, 3000};
    TrainLayout::Places p = TrainLayout::Arrange(s, false);
    EXPECT_FALSE(p.framesVisible);
    EXPECT_EQ(p.counterLeft, 3200); // 3199.5: nearest, halves to even
    EXPECT_EQ(p.chartLeft, 120);
    EXPECT_EQ(p.chartTop, 1200);
    EXPECT_EQ(p.chartWidth, 8499 - 345);
    EXPECT_EQ(p.chartHeight, 6000 - 1740);

    s.width = 12000;
    p = TrainLayout::Arrange(s, false);
    EXPECT_TRUE(p.framesVisible);
    EXPECT_EQ(p.counterLeft, 4950);
    EXPECT_EQ(p.personalityLeft, 4950 / 2 - 1500);
    // Centred in the space right of the counter: 7050 + (12000 - 7050) / 2.
    EXPECT_EQ(p.errorLeft, 9525 - 1500);

    // The SFAM window keeps its chart where there is no room for the margins.
    s = {300, 1000, 2100, 2100, 3000, 3000};
    EXPECT_FALSE(TrainLayout::Arrange(s, true).chartMoved);
    EXPECT_TRUE(TrainLayout::Arrange(s, false).chartMoved);
}

TEST(TrainLayout, LabelAndSpinnerTexts)
{
    EXPECT_EQ(TrainLayout::Percent(12.345f), "12.35%");
    EXPECT_EQ(TrainLayout::Percent(0.125f), "0.13%");
    EXPECT_EQ(TrainLayout::Percent(0), "0.00%");
    EXPECT_EQ(TrainLayout::Percent(99.999f), "100.00%");
    EXPECT_EQ(TrainLayout::Percent(1.005f), "1.01%");
    EXPECT_EQ(TrainLayout::SpinnerValue(0.5f), 50);
    EXPECT_EQ(TrainLayout::SpinnerValue(0.07f), 7);
    EXPECT_EQ(TrainLayout::SpinnerValue(0.99f), 99);
}
