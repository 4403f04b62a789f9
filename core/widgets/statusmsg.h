// The status helpers every window calls: the workflow message, the progress bar after it, and
// the project and node panels, all on the status bar of gVeltra's main window. Code without
// widgets reaches the same through core/status.h.
#pragma once

#include <QString>

class CMStatusBar;

namespace Utilities {
// Panel 1 shows " " + text + " " and the bar is repainted; errors are ignored.
void StatusMessage(const QString& text);
// 0 to 100 shows the progress bar just after panel 1's text and four blanks; -1 hides it.
// Does nothing before the main window exists; failures show the box "Utilities::Progress".
void Progress(int percent);
// Progress(percent), then the windows drawn and the other pending work done, user input left
// waiting: long work on the interface thread reports through this, so its window stays drawn.
void ShowWorkProgress(int percent);
// Panel 4 shows " " + text + " "; an empty text hides it (its old text stays). Errors ignored.
void SetProjectPanel(const QString& text);
// Panel 5 shows " " + text + " Nodes "; an empty text hides it. Errors ignored.
void SetNodesPanel(const QString& text);
}

namespace StatusProgress {
// The progress placement on one control, without the main-window lookup (the part of
// Utilities::Progress that tests drive directly). Raises on failure.
void Show(CMStatusBar& control, int percent);
}
