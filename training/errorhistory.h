// The error history of a training window: the last passes (back-propagation) or cycles (SFAM)
// as the two-row table the error chart draws, with the marked best point and the scale rule.
// One class serves both windows; only the sizes and the "no best" value differ.
#pragma once

#include "training/chartlayout.h"

#include <QString>

#include <cstdint>
#include <vector>

// The value axis the scale rule chooses.
struct HistoryScale {
    double low = 0;
    double high = 100;
    double tick = 10;
    bool operator==(const HistoryScale&) const = default;
};

class CErrorHistory {
public:
    struct Shape {
        int points;       // 63 (back-propagation), 23 (SFAM)
        int lastIndex;    // the newest real point can be at most here: 60, 20
        float noBest;     // the chart best that means "none": 99999, 301
        int passHeadroom; // the unzoomed rule's headroom after a pass: 10, 1
    };
    static constexpr Shape BackProp{63, 60, 99999.0f, 10};
    static constexpr Shape SFam{23, 20, 301.0f, 1};
    // The headroom of the unzoomed rule when the zoom command applies it.
    static constexpr int kZoomHeadroom = 10;

    explicit CErrorHistory(const Shape& shape);

    const Shape& shape() const { return m_shape; }
    int points() const { return m_shape.points; }
    // Index of the newest real point; -1 none.
    int lastPoint() const { return m_lastPoint; }
    // The point drawn in the highlight colour; -1 none.
    int markPoint() const { return m_markPoint; }
    void setMarkPoint(int point) { m_markPoint = point; }
    // The best error whose point is marked; shape().noBest (or -1) means none.
    float chartBest() const { return m_chartBest; }
    void setChartBest(float best) { m_chartBest = best; }
    void forgetChartBest() { m_chartBest = m_shape.noBest; }

    // Row 0 the point labels, row 1 the errors: nothing (a table right after a reset), the
    // no-value marker, a text, a whole number or an error.
    const ChartCell& cell(int row, int point) const;
    // The table the chart draws.
    ChartTable table() const;

    // Every point blank (" - ", no value); no real point.
    void blank();
    // Every cell nothing (the table right after a reset); no real point.
    void clear();
    // Point 0 = (cycles as a whole number, error) and it becomes the newest point (a history
    // seeded from a saved network). Points 1.. keep what they hold.
    void seed(int32_t cycles, float error);
    // Points from..to become blank.
    void blankPoints(int from, int to);

    // One pass drawn on the chart: makes room (shifting the window by one once it is full),
    // stores (" n ", error), marks the point when `best` beats the chart best, moves the mark
    // left with a shift, and blanks the places after the newest point. `best` -1: no mark.
    void addPoint(int32_t cycles, float error, float best);
    // One pass while the chart is hidden: the table stays as it is; a better best is only
    // remembered (it is not marked later). `best` -1 clears the mark.
    void notePass(float best);

    // The scale rule over points 0..lastIndex: zoomed, or with the unzoomed headroom given. The
    // zoomed tick is a tenth of the scale taken up to whole hundredths, so that the chart's
    // two-decimal labels never repeat.
    HistoryScale scale(bool zoomed, int headroom) const;
    // The label text of a pass: " n ".
    static QString PassLabel(int32_t cycles);

private:
    void setPoint(int point, ChartCell label, ChartCell error);

    Shape m_shape;
    std::vector<ChartCell> m_labels;
    std::vector<ChartCell> m_errors;
    int m_lastPoint = -1;
    int m_markPoint = -1;
    float m_chartBest;
};
