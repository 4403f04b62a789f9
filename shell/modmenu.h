// The command procedures of the main window that the start-up and the services need: opening
// and closing a project file, closing the child windows, the splash, About, help and printing
// the current window.
#pragma once

#include <QString>
#include <cstdint>

class QWidget;

// The kind of the open project, held in gProjectType.
enum NetworkType : int32_t { ntNone = 0, ntSFam = 1, ntBackProp = 2 };
extern int32_t gProjectType;

namespace modMenu {
// Opens a project file; an empty path asks for one with the dialog "Open Project". Checks the
// extension (dialog choices only) and existence, closes the open project and hands the file to
// the installed project opener. Failures are shown here and never reach the caller.
void FileOpen(const QString& path);
// Closes the open project (harmless when none is open) and returns to the step without one.
void FileClose();
// Closes every window but the main window, the splash and the help window. The windows go
// with deleteLater, so a window may call this from inside its own handlers.
void RemoveChildForms();
// Hides the splash window when it is up; errors are ignored.
void HideSplash();
// The About window, modal.
void ShowAbout();
// The help window at the page of the current window's help context.
void ShowHelpContents();
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
