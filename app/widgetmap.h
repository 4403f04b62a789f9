// For runs driven from outside with real input only: the place on the screen of every shown
// window, named control and bar tool, and the text of each named table's current row (what
// the user reads in it), rewritten to a file whenever it changes, so that a
// driver can find what it clicks on and which window is up. Child windows of the main window
// are no windows of their own to the window system; this is how such a driver sees them.
#pragma once

class QString;

namespace WidgetMap {
// Starts rewriting `path` every `intervalMs`; nothing happens when `path` is empty.
void Start(const QString& path, int intervalMs = 100);
// The map as it stands now: one line per entry, fields separated by tabs:
// kind, name, class, x, y, width, height, enabled (0/1), active or checked (0/1), text.
QString Current();
}
