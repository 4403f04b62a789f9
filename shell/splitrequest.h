// "Reset Data Limits" from inside a modal dialog. The row split unloads every child window and
// may open other views, so it never runs under the handler of a dialog that is still inside
// exec(): the button ends its dialog with SplitRequest::Outcome, and the code that called
// exec() runs the split once exec() has returned.
#pragma once

class QDialog;

namespace SplitRequest {
// The result code of a dialog ended for the row split (beside Rejected 0 and Accepted 1).
constexpr int Outcome = 0x5E7;
// From the button's handler: ends `dialog` with Outcome.
void EndDialog(QDialog& dialog);
// After exec() returned `result`: runs modMenu::SetLimits when it is Outcome, and answers
// whether it did.
bool RunAfter(int result);
}
