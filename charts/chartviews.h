// The result views' commands (the test, the confusion matrix, the scatter and the series chart)
// and the chart host through which the network object opens the two charts.
#pragma once

#include "network/charthandover.h"

// The chart windows as the network objects reach them: the scatter and the series window as
// children of the main window. The program installs it into ChartHost.
class ChartWindowsHost final : public IChartHost {
public:
    void RemoveChildForms() override;
    void ShowScatter(const ChartHandover& data) override;
    void ShowSeries(const ChartHandover& data) override;
};

namespace ChartViews {
// Adds the rows of the test and chart tools to the command table. Idempotent.
void Install();

// The SFAM test's confusion matrix, the back-propagation test's scatter and series charts.
void ShowCMatrix();
void ShowScatter();
void ShowSeries();
} // namespace ChartViews
