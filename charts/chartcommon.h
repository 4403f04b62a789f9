// What the scatter and the time-series chart share: the axis number format, the statistic
// texts and the way a normalised value becomes a value of the prediction field. Their layouts
// produce the display list of the self-drawn controls (training/displaylist.h).
#pragma once

#include "training/displaylist.h"

#include <QColor>
#include <QPoint>
#include <QSize>
#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

class CBackProp;
class QPainter;

namespace ChartFormat {
// The number format of every value label: "0.00" for a currency field, else by the range
// hi - lo (strictly above 100 or 10 "0", above 1 "0.0", above 0.1 "0.00", above 0.01 "0.000",
// otherwise "0.0000").
QString AxisFormat(int16_t fieldType, double lo, double hi);
// n * (hi - lo) + lo in single precision.
inline float Denormalise(float n, float lo, float hi) { return n * (hi - lo) + lo; }

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
    float lo = 0;
    float hi = 0;
    QString format = QStringLiteral("0.0000");
    QString name;
    bool valid = false;
};
FieldRange PredictionRange(CBackProp& net);
}

// Measures captions in twips (training/displaylist.h): the window's fonts in the program, a
// fixed-width measure in tests.
using TextMeasure = ITextMeasure;
