// The browse, sort and mark commands of the main window, installed into modMenu::Views(); the
// program and the other windows reach them through the modMenu procedures.
#pragma once

namespace BrowseViews {
// Installs BrowseTest, BrowseOutlyers, MENU_SFShowErrors, MENU_SFShowCorrect, ShowDefBrowser,
// SortASC, SortDESC, BrowseMenuOpen, BrowseMenuClose, MarkAllCurrent, MarkSelected and
// CloseBrowsers. Idempotent.
void Install();
}
