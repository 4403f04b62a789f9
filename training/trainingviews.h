// The training commands: the training view (MenuBProp), the training bar's commands with Finish,
// the run-aware stop the main window asks for before it changes the view or closes
// (StopActiveRun), the Show Graph switch and the test (TestDialogs::TestShow); their rows in the
// command table.
#pragma once

#include <QString>

#include <functional>

class CTrainWindow;

namespace TrainingViews {
// Adds the rows of the Training tool, the Show Graph switch, the test and the training bar's
// commands to the command table.
void Install();

// The open training window, or nullptr.
CTrainWindow* Window();

void MenuBProp();
bool StopActiveRun(std::function<void()> then);
void ShowGraph(bool checked);
} // namespace TrainingViews
