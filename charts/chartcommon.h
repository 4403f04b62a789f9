// What the scatter and the time-series chart share: the axis number format, the statistic
// texts, the way a normalised value becomes a value of the prediction field, and the display
// list that a layout produces in twips and a paint event replays.
#pragma once

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
// sqrt(1 - u) with u lowered to 1 when larger (no lower clamp).
double Correlation(double unexplained);
// n * (hi - lo) + lo in single precision.
inline float Denormalise(float n, float lo, float hi) { return n * (hi - lo) + lo; }

// The four statistic texts of both charts.
struct Statistics {
    QString error;       // "12.35%"
    QString rms;         // "2.38    "
    QString unexplained; // "0.09"
    QString correlation; // "0.95"
};
Statistics StatisticTexts(float currentError, float rmsError, float unexplained);
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

// A layout's drawing in twips, replayed by the window's paint event.
struct DisplayList {
    struct Line {
        QPoint from, to;
        uint32_t bgr = 0;
        int widthPx = 1;
    };
    struct Text {
        QPoint topLeft;
        QString text;
        uint32_t bgr = 0;
        bool bold = false;
    };
    struct Box {
        QPoint topLeft;
        QSize size;
        uint32_t bgr = 0;
    };
    std::vector<Line> lines;
    std::vector<Text> texts;
    std::vector<Box> boxes;

    void AddLine(QPoint from, QPoint to, uint32_t bgr, int widthPx = 1) { lines.push_back({from, to, bgr, widthPx}); }
    void AddText(QPoint topLeft, const QString& text, uint32_t bgr, bool bold = false)
    {
        texts.push_back({topLeft, text, bgr, bold});
    }
    // The text whose caption is `text`, or nullptr.
    const Text* FindText(const QString& text) const;
    // Boxes, then lines, then texts, converted to pixels.
    void Replay(QPainter& painter) const;
};

// Measures a caption in twips (the window's font); tests pass a fixed-width measure.
using TextMeasure = std::function<QSize(const QString&)>;
// The measure of a widget's font.
TextMeasure FontMeasure(const class QFont& font);
