// The training commands: the training view (MenuBProp), the training bar's commands with Finish,
// the run-aware stop the main window asks for before it changes the view or closes
// (StopActiveRun), and the Show Graph switch; installed into the command layer's tables.
#pragma once

#include <QString>

#include <functional>

class CTrainWindow;

namespace TrainingViews {
// Installs MenuBProp, StopActiveRun and ShowGraph into modMenu::Views(), and the Training tool
// and the training bar's commands into the command table.
void Install();

// The open training window, or nullptr.
CTrainWindow* Window();

void MenuBProp();
bool StopActiveRun(std::function<void()> then);
void ShowGraph(bool checked);
} // namespace TrainingViews
