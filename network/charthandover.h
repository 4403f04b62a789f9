// What the scatter and the series window of a tested back-propagation network show: copies of
// its testing arrays with the captions, which CBackProp::TestedResults makes.
#pragma once

#include <QString>
#include <cstdint>
#include <vector>

// What the scatter and the series window receive.
struct ChartHandover {
    // Copy of the patterns: rows 0..Rows(), `stride` values per row (row-contiguous); element
    // (0, i) = actual[i * stride] is the normalised actual value of row i. Row 0 is empty.
    std::vector<float> actual;
    int32_t stride = 1;
    // Copy of the results: 0..Rows(), the normalised prediction of row i, -1 for a row the
    // network could not use. The upper bound (size - 1) is the number of points.
    std::vector<float> predicted;
    // The prediction field's own value of each row 0..Rows() (NaN: none), which the user range
    // does not clamp as it does the actual array; empty when the rows were built without them.
    std::vector<double> actualValues;
    QString trainedCaption;   // "Trained: 1 to 800" (lblTrainRows)
    QString testedCaption;    // " Tested: 801 to 1000" (lblTestRows)
    QString rowsText;         // "200 Rows", for the second status panel
};
