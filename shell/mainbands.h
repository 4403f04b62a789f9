// The bands and tools of the main window's bar: the menu bar, its pop-up menus, the standard
// tool bar and the training bar, with the captions and tips the user sees.
#pragma once

class CCommandBar;

namespace MainBands {
void Build(CCommandBar& bar);
}
