// The result views' command procedures (TestShow, ShowCMatrix, ShowScatter, ShowSeries) and
// the chart host through which the network object opens the two charts.
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
// Installs the four procedures into modMenu::Views(). Idempotent.
void Install();
}
