// The current browse window, its browser and the interactive-mode object, or nothing: set by the
// browse commands, which drive them, and let go of (CIMode, then the browser, then the window)
// before any child window closes.
#pragma once

#include <QPointer>
#include <QWidget>

#include <memory>

class IDataBrowse; // the browser the sort, find and mark commands drive
class CIMode;      // interactive what-if mode under the results grid

QPointer<QWidget>& gBrowseForm();
std::shared_ptr<IDataBrowse>& gDataBrowse();
std::shared_ptr<CIMode>& gIMode();

namespace CurrentBrowse {
// Lets go of all three, the interactive mode first: it works on the browser, and the browser on
// its window. Errors are ignored.
void Release();
}
