// The bands and tools of the main window's bar: the menu bar, its pop-up menus, the standard
// tool bar and the training bar, with the captions and tips the user sees.
#pragma once

class CCommandBar;

namespace MainBands {
void Build(CCommandBar& bar);
// The View menu carries "Browse All Data" and "Browse Test Data" once for each network kind:
// only the pair of the open project's kind is shown (back-propagation, else SFAM).
void ShowViewEntriesOfKind(CCommandBar& bar, int projectType);
}
