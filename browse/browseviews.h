// The browse, sort and mark commands of the main window, installed into modMenu::Views().
#pragma once

#include <QString>

namespace BrowseViews {
// Installs BrowseTest, BrowseOutlyers, MENU_SFShowErrors, MENU_SFShowCorrect, ShowDefBrowser,
// SortASC, SortDESC, BrowseMenuOpen, BrowseMenuClose, MarkAllCurrent, MarkSelected and
// CloseBrowsers. Idempotent.
void Install();

// The commands themselves (what the installed slots run).
void BrowseTest();
void BrowseOutlyers(const QString& predicted, const QString& actual);
void MENU_SFShowErrors();
void MENU_SFShowCorrect();
void ShowDefBrowser();
void SortASC();
void SortDESC();
void BrowseMenuOpen();
void BrowseMenuClose();
// -1 marks, 0 unmarks, 1 toggles every row of the first browse window's view.
void MarkAllCurrent(int mode);
// Marks the rows selected in the first browse window's grid. Raises (no box of its own).
void MarkSelected();
}
