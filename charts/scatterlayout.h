// The scatter chart's rules without widgets: where the plot and its labels go for a window
// size (twips), the axes and ticks as a display list, the plot's user scale and the mapping of
// a pixel to a (predicted, actual) pair, and the plot itself rendered into an image by binning
// every point to a pixel.
#pragma once

#include "charts/chartcommon.h"

#include <QImage>
#include <QPointF>
#include <QRect>
#include <QSize>
#include <QString>
#include <vector>

namespace ScatterLayout {

// The plot's top edge and the places of the fixed labels.
constexpr int GraphTop = 1080;
constexpr int TitleTop = 720;

struct Input {
    QSize client;       // the window's client area, twips
    double lo = 0, hi = 0;
    ChartFormat::AxisText text; // a value as the axis reads it
    QString fieldName;  // the prediction field
    const TextMeasure* measure = nullptr;
};

struct Result {
    QRect graph;               // twips
    QPoint yh, yl, xl, xh;     // top-left of the four end labels
    QString yhText, ylText, xlText, xhText;
    QPoint title, predicted, actual; // titles above, under and beside the plot
    QString titleText;
    int rightEdge = 0;         // controls right-aligned with the plot end here
    int xLabelTop = 0;
    int predictedTop = 0;
    int predictedRight = 0;    // where the horizontal axis title ends
    DisplayList list;          // axes, ticks, tick labels, titles and end labels
};

Result Layout(const Input& in);

// Where the mouse read-out of `size` stands: right-aligned with the plot beside the horizontal
// axis title, or on the line under it when it would run into the title (dates, long numbers).
QPoint ReadoutAt(const Result& r, QSize size);

// The plot's user scale: half a percent of margin on each side of lo..hi, values growing to
// the right and upwards. A zero range gives a zero-size scale: `Empty()` is then true.
struct Scale {
    double left = 0, right = 0, top = 0, bottom = 0;
    bool Empty() const { return right == left || top == bottom; }
};
Scale PlotScale(double lo, double hi);
// The (predicted, actual) pair under a pixel of a plot of `sizePx`.
QPointF ValueAt(const Scale& scale, QPointF pixel, QSize sizePx);

// The testing rows as offsets from `origin` in the prediction field's units
// (ChartFormat::ChartRows), 1..count.
struct Points {
    const float* actual = nullptr;
    const float* predicted = nullptr; // NaN: a row without prediction, which has no point
    int64_t count = 0;
    float rmsError = 0;
    double origin = 0;
};

// The plot over the scale lo..hi on both axes: white, the yellow error band, every point as a
// red dot of two pixels, the blue diagonal over them. Only the axes' frame is left to the
// window. A zero-size scale gives the white plot alone.
QImage Render(const Points& points, double lo, double hi, QSize sizePx);

// The drill-down texts of a point: the shortest decimal form that reads back as the value.
QString DrillText(double value);

} // namespace ScatterLayout
