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
// range's ends stand instead. A window of less than a row (few rows, a high zoom) keeps to the
// testing rows: TestLow <= first <= last <= TestHigh.
struct RowWindow {
    float step = 0;
    int64_t first = 0;
    int64_t last = 0;
};
RowWindow Rows(int64_t points, float zoom, int v, int vMin, int vMax, int32_t testLow, int32_t testHigh);
// The row at middle tick i (1..9): the whole row nearest i tenths of the way from first to
// last. The plot draws the rows first..last evenly over its width, so a tick and its label
// stand over the row they name. A row at an end, or the row of the tick before, has no tick of
// its own (a window of fewer than ten rows).
int64_t TickRow(const RowWindow& w, int i);
// Where the plot draws `row`, as a share (0..1) of its width; the middle in a window of one row.
double RowPlace(const RowWindow& w, int64_t row);
// The scroll bar's maximum at a zoom.
inline int ScrollMax(int zoom) { return (zoom - 1) * 10; }
// The zoom button: left click doubles (64 wraps to 1), right click halves (1 wraps to 64); a
// value that is not a power of two up to 64 stays.
int NextZoom(int zoom, bool rightButton);

struct Input {
    QSize client;
    double lo = 0, hi = 0;
    ChartFormat::AxisText text; // a value as the axis reads it
    QString fieldName;
    RowWindow rows;
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

// The testing rows as offsets from `origin` in the prediction field's units
// (ChartFormat::ChartRows), 1..count.
struct Points {
    const float* actual = nullptr;
    const float* predicted = nullptr; // NaN: a row without prediction
    int64_t count = 0;
    double origin = 0;
};

// The four polylines (upper band, lower band, actual, predicted) in pixels of a plot of
// `sizePx` over rows first..last and values lo (bottom) to hi (top): each a list of runs drawn
// without lifting the pen. A row without prediction, or outside the arrays, lifts the pen of
// all four. A window of one row draws its four values as level strokes in the middle.
struct Plot {
    std::array<std::vector<std::vector<QPointF>>, 4> lines;
    size_t PointCount() const;
};
Plot PlotSeries(const Points& points, int64_t first, int64_t last, int32_t testLow, double lo, double hi, float rms,
                QSize sizePx);
// The four lines on white, in that order: the yellow band, the blue actual and the red
// prediction.
QImage Render(const Plot& plot, QSize sizePx);

} // namespace SeriesLayout
