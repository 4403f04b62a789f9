// The find commands of the main window and interactive mode of the results browse, installed
// into modMenu::Views().
#pragma once

namespace FindViews {
// Installs MenuFind and MENU_SFFindError. Idempotent.
void Install();

// The find dialog for the current browser.
void MenuFind();
// The next wrong prediction of the current browse window after its current row, wrapping
// round; "There are no incorect predictions in this test data." when there is none.
void MENU_SFFindError();
// When "Show Interactive Mode" is checked: a new interactive row bound to the current browser
// (gIMode); otherwise gIMode stays empty.
void AttachIMode();
}
