// The training commands: the training view (MenuBProp), the training bar's dispatcher with
// Finish (TrainBar), the run-aware stop the main window asks for before it changes the view or
// closes (StopActiveRun), and the Show Graph switch; installed into the command layer's table.
#pragma once

#include <QString>

#include <functional>

class CTrainWindow;

namespace TrainingViews {
// Installs MenuBProp, TrainBar, StopActiveRun and ShowGraph into modMenu::Views().
void Install();

// The open training window, or nullptr.
CTrainWindow* Window();

void MenuBProp();
void TrainBar(const QString& toolName);
bool StopActiveRun(std::function<void()> then);
void ShowGraph(bool checked);
} // namespace TrainingViews
