// How a tested back-propagation network reaches the chart windows without this layer knowing
// them: the windows' side installs an IChartHost, and ShowScatter/ShowSeries hand it copies of
// the testing arrays with the captions. Without a host nothing is shown (tests fake it).
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

class IChartHost {
public:
    virtual ~IChartHost() = default;
    // Closes every child window and releases the browse and interactive objects.
    virtual void RemoveChildForms() {}
    // Load the window, take the arrays and captions, then show it modeless. The scatter window
    // shows rowsText in the second status panel before it is displayed, the series window
    // after. The main status panel already reads "Test Set results".
    virtual void ShowScatter(const ChartHandover& data) { (void)data; }
    virtual void ShowSeries(const ChartHandover& data) { (void)data; }
};

namespace ChartHost {
// Installs `host` (not owned) and returns the one it replaces; nullptr restores the default.
IChartHost* Install(IChartHost* host);
IChartHost& Current();
}
