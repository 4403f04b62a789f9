// What the scatter and the time-series chart share: the axis number format, the statistic
// texts and the way a normalised value becomes a value of the prediction field. Their layouts
// produce the display list of the self-drawn controls (training/displaylist.h).
#pragma once

#include "network/testedpredictions.h"
#include "training/displaylist.h"

#include <QColor>
#include <QPoint>
#include <QSize>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

class CBackProp;
class QPainter;

namespace ChartFormat {
// The number format of every value label: "0.00" for a currency field, else by the range
// hi - lo (strictly above 100 or 10 "0", above 1 "0.0", above 0.1 "0.00", above 0.01 "0.000",
// otherwise "0.0000").
QString AxisFormat(int16_t fieldType, double lo, double hi);
// How a value of the prediction field reads on an axis and in the read-out.
using AxisText = std::function<QString(double)>;
// The number form of `format` (an axis format).
AxisText NumberText(const QString& format);
// A value of a field of `fieldType` as the grid shows it: a Time as its time of day, a
// Date/Time or Time Stamp as its date, any other number in `format` (an axis format).
AxisText FieldText(int16_t fieldType, const QString& format);
// The distance between two such values, as the results grid gives a prediction's difference:
// a span of hours for a Time, days (a number in `format`) for a date, else a number.
AxisText DifferenceText(int16_t fieldType, const QString& format);

// The testing rows that both charts draw, rows 1..Count() (element 0 unused): each row's own
// actual value, which the user range does not clamp, and the network's prediction
// de-normalised over lo..hi. The values are kept as offsets from `origin` (the user minimum),
// so that single precision holds the differences a plot shows, whatever the values' size. A
// row the network did not use, or one without a finite actual value, has NaN for its
// prediction: it is not drawn.
struct ChartRows {
    double origin = 0;
    std::vector<float> actual{0.0f};
    std::vector<float> predicted{0.0f};
    int64_t Count() const { return int64_t(predicted.size()) - 1; }
};
ChartRows RowsOf(const TestedPredictions& data, double lo, double hi);
// The value scale of a chart in the field's units: the user range lo..hi, widened to every
// value it draws beyond it.
struct ValueScale {
    double lo = 0;
    double hi = 0;
};
ValueScale ScaleOf(const ChartRows& rows, double lo, double hi);

// Which middle ticks (1..9) of an axis of eleven carry their label: every `step`-th one, the
// step the smallest of 1, 2, 5 and 10 that keeps every label shown `gap` clear of the next
// one, the end labels (ticks 0 and 10) included. `spans[i]` is where label i stands along
// the axis, from its start to its end, in the axis's order.
int LabelStep(const std::array<std::pair<double, double>, 11>& spans, double gap);

// The four statistic texts of both charts.
struct Statistics {
    QString error;       // "12.35%"
    QString rms;         // "2.38    "
    QString unexplained; // "0.09"
    QString correlation; // "0.95"
};
Statistics StatisticTexts(float currentError, float rmsError, float unexplained, double correlation);
// The same read from the network object; a statistic it cannot give stays empty.
Statistics StatisticTexts(CBackProp& net);

// The prediction field's range and format, read from the network object.
struct FieldRange {
    double lo = 0;
    double hi = 0;
    QString format = QStringLiteral("0.0000");
    AxisText text = NumberText(QStringLiteral("0.0000"));
    AxisText difference = NumberText(QStringLiteral("0.0000"));
    QString name;
    bool valid = false;
};
FieldRange PredictionRange(CBackProp& net);
}

// Measures captions in twips (training/displaylist.h): the window's fonts in the program, a
// fixed-width measure in tests.
using TextMeasure = ITextMeasure;
