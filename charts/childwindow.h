// How the result views live in the main window: a child window of its area (a top-level window
// when there is no main window, as in tests), deleted when closed, with its activation (MDI
// activation, not focus) reported to the view.
#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace ChildWindow {
// Adds `view` to the main window's area (or leaves it top-level), maximised when asked, and
// shows it. `onActivate` runs each time the view's window becomes the active child.
void Show(QWidget* view, bool maximised, std::function<void()> onActivate = {});
// The main status panel's trimmed text, and the second panel's text set; both ignore failures.
QString MainStatusText();
void SetRowsPanel(const QString& text);
}

namespace ChildWindow {
// Closes the view's child window (or the view itself when it has none).
void Close(QWidget* view);
}
