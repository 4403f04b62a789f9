// The command procedures of the main window that the start-up and the services need: opening
// and closing a project file, closing the child windows, the splash, About, help and printing
// the current window.
#pragma once

#include <QString>
#include <cstdint>

class QWidget;

// The kinds of network project, as CurrentKind() (networkopener.h) tells the open one's.
enum NetworkType : int32_t { ntNone = 0, ntSFam = 1, ntBackProp = 2 };

namespace modMenu {
// Opens a project file; an empty path asks for one with the dialog "Open Project". Checks the
// extension (dialog choices only) and existence, closes the open project and hands the file to
// the installed project opener. Failures are shown here and never reach the caller.
void FileOpen(const QString& path);
// Closes the open project (harmless when none is open) and returns to the step without one.
void FileClose();
// Asks for the file of a new project of the kind (1 SFAM, 2 back-propagation), proposing the
// first free "KVProject<n>.kvp"; an existing file is overwritten only after the question, and
// never while it is the open project. "" when cancelled or the old file could not be deleted.
QString GetFileNew(int32_t kind);
// Create a new project of that kind and show its configuration.
void NewSFam();
void NewBP();

// Turns a text, comma-separated or pattern file into a new data file beside it.
void Import();
// True when the file carries both section markers "[TAGS]" and "[PATTERNS]" (exact case,
// anywhere in a line, every line looked at).
bool TestForRawFile(const QString& path);
// The marked test rows of the open project, into a text file the user names. Raises 91 when
// no project is open.
void ExportMarkedRows();

// The snapshot copy beside a project file: the file's suffix replaced by "snap" (Sales.kvp
// gives Sales.snap; a dot in a folder name is never taken for the suffix).
QString SnapshotName(const QString& projectFile);
// A consistent copy of the open project's file into its snapshot, and back again.
void SaveSnapshot();
void RevertSnapshot();
// Closes every window but the main window, the splash and the help window. The windows go
// with deleteLater, so a window may call this from inside its own handlers.
void RemoveChildForms();
// While one lives, a child window that closes is unloaded by a command (a view change, Finish,
// the project closing) and not by the user, so it leaves the bars to that command.
class CCommandUnload {
public:
    CCommandUnload();
    ~CCommandUnload();
    CCommandUnload(const CCommandUnload&) = delete;
    CCommandUnload& operator=(const CCommandUnload&) = delete;
    static bool Active();
};
// Hides the splash window when it is up; errors are ignored.
void HideSplash();
// The About window, modal.
void ShowAbout();
// The help window at the page of the current window's help context.
void ShowHelpContents();
// Pops the pop-up band (the browse grid's "mnuBrowse") up at the mouse position; its tools
// then run through the dispatcher as any click does.
void TrackPopup(const QString& band);
// Prints what the active window shows, without the bar's tools, fitted to a page.
void MENU_PrintForm();

// The main window's caption: "Korvan Pro", or "Korvan Pro - " and the project's base name
// (a name over 12 characters cut to 9 and "...").
QString MainCaption(const QString& projectFile = {});
// The help context argument: " 0001" unless a child window is loaded; then the active
// control's number, else the window's own (a window without an active control keeps " 0001"
// when its own number is 0).
QString HelpContextText(bool childLoaded, bool hasActiveControl, int32_t controlContext, int32_t formContext);
// A widget's help context number: its property "HelpContextID", 0 when it has none.
int32_t HelpContextOf(const QWidget* widget);
}
