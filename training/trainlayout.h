// The arithmetic of the training windows kept out of the widgets: where the counter, the two
// side frames and the chart go for a window size (twips in, twips out), and the texts of the
// error labels and spinners.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

namespace TrainLayout {

// The side frames show from this window width on.
constexpr int kFramesFromWidth = 8500;
// The window's designed size, its size when it is not maximised: the frames and a readable
// chart of the last passes.
constexpr int kDesignWidth = 9600;
constexpr int kDesignHeight = 6600;

struct Sizes {
    int width = 0;              // the window
    int height = 0;
    int counterWidth = 0;       // Picture2, the counter's box
    int counterCaptionWidth = 0; // Label13
    int personalityWidth = 0;   // fraPersonality
    int errorWidth = 0;         // fraError
};

struct Places {
    int counterLeft = 0;        // Picture2 and Label13
    bool framesVisible = false;
    int personalityLeft = 0;
    int errorLeft = 0;
    bool chartMoved = false;    // false: the chart keeps its place
    int chartLeft = 120, chartTop = 1200, chartWidth = 0, chartHeight = 0;
};

// The back-propagation window moves its chart at every size; the SFAM window only while the
// window is larger than the chart's margins (W > 345 and H > 1740).
Places Arrange(const Sizes& s, bool chartOnlyWhenRoom);

// The error labels: the value with two decimals and "%".
QString Percent(float value);
// The fields a message names, on a line of their own: "[A], [B]" followed by a line break;
// nothing when there are none.
QString FieldsLine(const QStringList& fields);

// A spinner value from a network parameter: x 100, to the nearest whole number, halves to even.
int SpinnerValue(float parameter);

} // namespace TrainLayout
