// The browse builders: each opens a browse window over the open project's database with the
// query of its kind of view, registers it in the project's window list, shows it maximised
// with its row count in the status bar, and returns it (nullptr after an error, which it
// shows). The caller binds a browser to the window's grid. Also the closing of every browse
// window and the drill-down entry of the scatter chart.
#pragma once

#include <QString>

class frmBrowse;

namespace dbUtilities {
// All test results joined with their source rows.
frmBrowse* BuildBrowser();
// The back-propagation results, the largest Difference first (the test dialog's browse).
frmBrowse* BuildWorstFirstBrowser();
// SFAM: the rows of one actual and/or predicted class; back-propagation: every row, nearest
// first to the point (predicted, actual). Both texts empty: nothing is closed or made.
frmBrowse* BuildOutlyerBrowser(const QString& actual, const QString& predicted);
// BrowseCorrect (3) or BrowseIncorrect (2) SFAM predictions; another kind lists every row.
frmBrowse* BuildSpcBrowser(int kind);
// The whole source table; leaves other browse windows open.
frmBrowse* BuildDefBrowser();
// Closes every browse window now, letting the project file go, and clears gBrowseForm,
// gDataBrowse and gIMode.
void CloseBrowsers();
// The scatter chart's drill-down: the rows nearest the point, through BrowseViews::BrowseOutlyers.
void ShowOutliersAt(double predicted, double actual);
}
