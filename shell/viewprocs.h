// The command procedures whose windows live in the libraries above the shell (config, training,
// browse, charts), and the globals of the current browse. The shell declares every procedure;
// each window library offers its procedures and fills the rows of the command table
// (shell/commandtable.h) that lead its tools to them; the program installs the procedures at
// start-up (and tests install recording fakes). A procedure that nothing installed says "Not
// available yet" in the main status panel, so a tool never silently does nothing.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

class IDataBrowse; // browse/: the browser the sort, find and mark commands drive
class CIMode;      // browse/: interactive what-if mode under the results grid

// The current browse window, its browser and the interactive-mode object, or nothing. Set by
// the browse commands; RemoveChildForms and CloseBrowsers release them (CIMode, then the
// browser, then the window).
QPointer<QWidget>& gBrowseForm();
std::shared_ptr<IDataBrowse>& gDataBrowse();
std::shared_ptr<CIMode>& gIMode();

namespace modMenu {

// The installable procedures. An empty member is "not built": its modMenu procedure shows
// NotAvailableText() in the main status panel and does nothing else.
struct ViewProcedures {
    // config/ (configuration window): the window part of EditConfigure, shown as a child of
    // the main window. `createdByNew` is true when NewSFam/NewBP has just created the project
    // file (its Cancel may then remove that never-committed project).
    std::function<void(bool createdByNew)> ShowConfigure;
    // config/ (row split): the whole modMenu::SetLimits command.
    std::function<void()> SetLimits;

    // training/: the training view (its training bar's commands are rows of the command table).
    std::function<void()> MenuBProp;
    // When a training run is active: asks it to stop, calls `then` once (after the run has
    // ended) and answers true. Answers false when no run is active (`then` is not called).
    std::function<bool(std::function<void()> then)> StopActiveRun;
    // Tool mnuShowGraph: the new Checked state, for frmTrainBP::mShowGraph.
    std::function<void(bool checked)> ShowGraph;

    // browse/: the browse, sort, find and mark commands.
    std::function<void()> BrowseTest;
    // The back-propagation test dialog's "Browse Test Results": the results, worst first.
    std::function<void()> BrowseTestWorstFirst;
    std::function<void(const QString& predicted, const QString& actual)> BrowseOutlyers;
    std::function<void()> MENU_SFShowErrors;
    std::function<void()> MENU_SFShowCorrect;
    std::function<void()> ShowDefBrowser;
    std::function<void()> SortASC;
    std::function<void()> SortDESC;
    std::function<void()> MenuFind;
    std::function<void()> MENU_SFFindError;
    std::function<void()> BrowseMenuOpen;
    std::function<void()> BrowseMenuClose;
    std::function<void(int mode)> MarkAllCurrent; // -1 mark, 0 unmark, 1 toggle
    std::function<void()> MarkSelected;
    // dbUtilities::CloseBrowsers: closes every browse window and releases its database handles
    // (before the project file is rewritten). Without it the shell closes windows it knows.
    std::function<void()> CloseBrowsers;

    // charts/ (and the test dialogs of training/): the test and result-view commands.
    std::function<void()> TestShow;
    std::function<void()> ShowCMatrix;
    std::function<void()> ShowScatter;
    std::function<void()> ShowSeries;
};

// The one table of installed procedures.
ViewProcedures& Views();
// Installs a whole table and answers the one it replaces, as every other service slot does.
ViewProcedures InstallViews(ViewProcedures procedures);
// "Not available yet".
QString NotAvailableText();

// The procedures as the dispatcher and the other windows call them.
void EditConfigure(bool createdByNew = false);
void SetLimits();
void MenuBProp();
// The training bar's command of that tool from the command table, as a click on the training
// bar runs it (a tool without one does nothing); "Not available yet" while the table holds no
// training command. Errors show the box "modMenu::TrainBar".
void TrainBar(const QString& toolName);
// Tool mnuShowGraph: passes its new Checked state to the training window.
void ShowGraph(bool checked);
void BrowseTest();
void BrowseTestWorstFirst();
void BrowseOutlyers(const QString& predicted, const QString& actual);
void MENU_SFShowErrors();
void MENU_SFShowCorrect();
void ShowDefBrowser();
void SortASC();
void SortDESC();
void MenuFind();
void MENU_SFFindError();
void BrowseMenuOpen();
void BrowseMenuClose();
void MarkAllCurrent(int mode);
void MarkSelected();
void CloseBrowsers();
void TestShow();
void ShowCMatrix();
void ShowScatter();
void ShowSeries();

} // namespace modMenu
