// The start-up sequence: names the settings store, shows the splash, loads and shows the main
// window with its services, opens the project of the command line or the most recent one, and
// keeps the splash up for its minimum time.
#pragma once

#include <QString>
#include <QStringList>

class frmMain;

struct StartupOptions {
    // The command line after the program's name.
    QStringList arguments;
    // Where a bare file name on the command line is looked for.
    QString currentFolder;
    // The splash's minimum time from the start.
    int splashMinimumMs = 8000;
};

namespace SubMain {
// The welcome text of the status bar when nothing is opened at start-up.
QString WelcomeText();

// The project the command line names: the trimmed text, a bare name taken from
// `currentFolder`; empty unless it ends in "kvp" (any case) and the file exists.
QString ProjectArgument(const QString& commandLine, const QString& currentFolder);
// The Autoload check from its stored text; a text that is neither a number nor True or False
// keeps the default (checked).
bool AutoloadChecked(const QString& stored);

// Runs the sequence (everything after the single-copy check). Answers the main window when
// the program goes on in its event loop, or nullptr when start-up failed before the window
// was shown (the error box has been shown) or the window was closed meanwhile.
frmMain* Main(const StartupOptions& options);
}
