// The result views' command procedures: TestShow, ShowCMatrix, and ShowScatter and ShowSeries,
// which build their window from the open project's tested results.
#pragma once

namespace ChartViews {
// Installs the four procedures into modMenu::Views(). Idempotent.
void Install();
}
