// The find commands of the main window and interactive mode of the results browse; their rows
// in the command table.
#pragma once

namespace FindViews {
// Adds the rows of MenuFind and MENU_SFFindError to the command table. Idempotent.
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
