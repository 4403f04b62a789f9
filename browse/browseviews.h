// The browse, sort and mark commands of the main window and their rows in the command table;
// the other windows reach them through the table (shell/commandtable.h) or, where an argument
// is needed, through the window calls (shell/windowcalls.h).
#pragma once

#include <QString>

namespace BrowseViews {
// Adds the rows of the browse, sort and mark tools to the command table. Idempotent.
void Install();

// The results of the test, in the browser of the project's kind.
void BrowseTest();
// The back-propagation test dialog's "Browse Test Results": the results, worst first.
void BrowseTestWorstFirst();
// The rows of a chart's point or cell; two empty texts leave the views as they are.
void BrowseOutlyers(const QString& predicted, const QString& actual);
// The SFAM test's wrong and right predictions.
void MENU_SFShowErrors();
void MENU_SFShowCorrect();
// The whole source table.
void ShowDefBrowser();
// The current browser sorted by its current column.
void SortASC();
void SortDESC();
// The Browse pop-up band opened or closed: the grid's cell tips follow it.
void BrowseMenuOpen();
void BrowseMenuClose();
// The marks of the first browse window: -1 mark, 0 unmark, 1 toggle every row.
void MarkAllCurrent(int mode);
// Marks the selected rows of the first browse window.
void MarkSelected();
} // namespace BrowseViews
