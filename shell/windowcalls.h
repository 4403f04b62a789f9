// The calls into the windows above the shell (config, training, browse) that a row of the command
// table cannot carry, since they take an argument or answer, or no tool names them: one small
// interface that the program implements and installs in app/wiring.cpp (tests install recording
// fakes through the same slot). Commands without those needs are rows of shell/commandtable.h.
#pragma once

#include <QString>

#include <functional>

class IWindowCalls {
public:
    virtual ~IWindowCalls() = default;
    // config/: shows the configuration window as a child of the main window and answers true;
    // false when there is none. `createdByNew` is true when NewSFam/NewBP has just created the
    // project file (its Cancel may then remove that never-committed project).
    virtual bool ShowConfigure(bool createdByNew);
    // training/: when a training run is active, asks it to stop, calls `then` once (after the
    // run has ended) and answers true. Answers false when no run is active (`then` is not called).
    virtual bool StopActiveRun(std::function<void()> then);
    // browse/: closes every browse window and releases its database handles (before the project
    // is tested or its file replaced). Without the browse library there is none to close.
    virtual void CloseBrowsers() {}
    // browse/: RemoveChildForms asks this first, before any child window closes: the window
    // libraries let go of what they keep over their windows (the interactive mode, then the
    // browser, then the current browse window). Nothing without them.
    virtual void ReleaseWindowState() {}
    // browse/: the back-propagation test dialog's "Browse Test Results": the results, worst first.
    virtual void BrowseTestWorstFirst();
    // browse/: the rows of a chart's point or cell, by predicted and actual value.
    virtual void BrowseOutlyers(const QString& predicted, const QString& actual);
    // browse/: the Browse pop-up band opened (true) or closed.
    virtual void BrowseBand(bool open);
};

namespace WindowCalls {
// Installs `calls` (not owned) and answers the one it replaces; nullptr restores the defaults,
// which say "Not available yet" in the main status panel where a window should have answered.
IWindowCalls* Install(IWindowCalls* calls);
IWindowCalls& Current();
} // namespace WindowCalls

namespace modMenu {
// The configuration command: closes the child windows and shows the configuration window.
void EditConfigure(bool createdByNew = false);
// dbUtilities::CloseBrowsers through the installed window calls.
void CloseBrowsers();
} // namespace modMenu
