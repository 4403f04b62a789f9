// The current browse window, its browser and the interactive-mode object, or nothing: set by the
// browse commands (browse/), held here so that RemoveChildForms can release them (CIMode, then
// the browser, then the window) before it closes the windows.
#pragma once

#include <QPointer>
#include <QWidget>

#include <memory>

class IDataBrowse; // browse/: the browser the sort, find and mark commands drive
class CIMode;      // browse/: interactive what-if mode under the results grid

QPointer<QWidget>& gBrowseForm();
std::shared_ptr<IDataBrowse>& gDataBrowse();
std::shared_ptr<CIMode>& gIMode();
