// The time-series chart's rules without widgets: the row window that the zoom and the scroll
// position select, the zoom button's steps, the layout of the window (twips), the axes as a
// display list, and the four polylines of the visible rows with their pen lifts, reduced to
// what a pixel column can show.
#pragma once

#include "charts/chartcommon.h"

#include <QImage>
#include <QPointF>
#include <QRect>
#include <QSize>
#include <array>
#include <vector>

namespace SeriesLayout {

constexpr int GraphTop = 1080;
constexpr int LegendTop = 720;
constexpr int ScrollHeight = 255;
constexpr int ZoomButtonMinWindow = 3300;
constexpr QSize ZoomButtonSize{680, 695};
constexpr int MaxZoom = 64;

// The visible rows for `points` testing rows (TestLow..TestHigh), the zoom and the scroll
// value v (of min..max): step = points / zoom / 10, first = Int(v * step + 0.5) + TestLow - 1,
// last = Int((v + 10) * step + 0.5) + TestLow - 1; at the scroll range's ends the testing
// range's ends stand instead.
struct RowWindow {
    float step = 0;
    int64_t first = 0;
    int64_t last = 0;
};
RowWindow Rows(int64_t points, float zoom, int v, int vMin, int vMax, int32_t testLow, int32_t testHigh);
// The row number of middle tick i (1..9), not replaced at the ends.
int64_t TickRow(const RowWindow& w, int v, int i, int32_t testLow);
// The scroll bar's maximum at a zoom.
inline int ScrollMax(int zoom) { return (zoom - 1) * 10; }
// The zoom button: left click doubles (64 wraps to 1), right click halves (1 wraps to 64); a
// value that is not a power of two up to 64 stays.
int NextZoom(int zoom, bool rightButton);

struct Input {
    QSize client;
    float lo = 0, hi = 0;
    QString format;
    QString fieldName;
    RowWindow rows;
    int scrollValue = 0;
    int32_t testLow = 1;
    const TextMeasure* measure = nullptr;
};

struct Result {
    QRect graph;
    QRect scroll;
    QRect zoomButton;          // empty when the button is hidden
    QPoint close;              // top-left of the Close button (its width given by the caller)
    int rightEdge = 0;
    int rowTitleTop = 0;       // the line under the scroll bar
    QString ylText, yhText, xlText, xhText;
    DisplayList list;
};
Result Layout(const Input& in);

// The rows handed over by the network object (see charthandover.h).
struct Points {
    const float* actual = nullptr;
    int stride = 1;
    const float* predicted = nullptr;
    int64_t count = 0;
};

// The four polylines (upper band, lower band, actual, predicted) in pixels of a plot of
// `sizePx` over rows first..last: each a list of runs drawn without lifting the pen. A row
// without prediction (-1), or outside the arrays, lifts the pen of all four.
struct Plot {
    std::array<std::vector<std::vector<QPointF>>, 4> lines;
    size_t PointCount() const;
};
Plot PlotSeries(const Points& points, int64_t first, int64_t last, int32_t testLow, float lo, float hi, float rms,
                QSize sizePx);
// The four lines on white, in that order: the yellow band, the blue actual and the red
// prediction.
QImage Render(const Plot& plot, QSize sizePx);

} // namespace SeriesLayout
