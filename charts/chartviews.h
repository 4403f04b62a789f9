// The result views' commands: the confusion matrix, and the scatter and the series
// chart, which build their window from the open project's tested results.
#pragma once

namespace ChartViews {
// Adds the rows of the chart tools to the command table. Idempotent.
void Install();

// The SFAM test's confusion matrix, the back-propagation test's scatter and series charts.
void ShowCMatrix();
void ShowScatter();
void ShowSeries();
} // namespace ChartViews
