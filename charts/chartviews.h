// The result views' command procedures (TestShow, ShowCMatrix, ShowScatter, ShowSeries) and
// the program's chart host, through which the network object opens the two charts.
#pragma once

namespace ChartViews {
// Installs the four procedures into modMenu::Views() and the chart host. Idempotent.
void Install();
}
