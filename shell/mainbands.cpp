#include "shell/mainbands.h"

#include "core/widgets/commandbar.h"
#include "shell/modmenu.h"
#include "shell/toolicons.h"

#include <initializer_list>

namespace {
struct T {
    const char* name;
    const char* caption = "";
    const char* tip = "";
    bool separator = false;
    const char* subBand = "";
};

ToolSpec spec(const T& t)
{
    ToolSpec s;
    s.name = QString::fromLatin1(t.name);
    s.caption = QString::fromLatin1(t.caption);
    s.description = QString::fromLatin1(t.tip);
    s.separatorBefore = t.separator;
    s.subBand = QString::fromLatin1(t.subBand);
    return s;
}

CBand& band(CCommandBar& bar, const char* name, const char* caption, BandKind kind, std::initializer_list<T> tools)
{
    CBand& b = bar.AddBand(QString::fromLatin1(name), QString::fromLatin1(caption), kind);
    for (const T& t : tools)
        b.AddTool(spec(t));
    return b;
}
} // namespace

void MainBands::Build(CCommandBar& bar)
{
    // Tools that some band shows differently from its first appearance, or that only the
    // commands address by name, are defined first so that their shared state is right.
    auto define = [&](ToolSpec s) { bar.DefineTool(s); };
    {
        ToolSpec autoload = spec({"mnuAutoload", "Autoload"});
        autoload.checkable = true;
        define(autoload);
        ToolSpec imode = spec({"mnuShowIMode", "Show Interactive Mode"});
        imode.checkable = true;
        imode.checked = true;
        define(imode);
        ToolSpec numRec = spec({"mnuNumRec", "Recent Files "});
        numRec.kind = ToolKind::ComboBox;
        numRec.comboWidth = 40;
        define(numRec);
        ToolSpec jog = spec({"mnuTrainBPJogWeights", "Jog Weights", "Add Random Noise"});
        jog.enabled = false;
        define(jog);
        ToolSpec stop = spec({"mnuTrainBPStop", "Stop", "Stop Training"});
        stop.enabled = false;
        define(stop);
        define(spec({"mnuTest", "Testing", "", false, "mnuTesting"}));
        define(spec({"mnuUtil", "&Utilities", "", false, "mnuUtilPopup"}));
        define(spec({"mnuTrainBPGraphType", "Graph Type", "Toggle graph type"}));
        // Commands that no band carries: the status bar's date panel, the graph zoom of the
        // old menus, and the training chart shown or hidden.
        ToolSpec date = spec({"miDate", "Date"});
        date.checkable = true;
        date.checked = true;
        define(date);
        define(spec({"ZOOM", "Zoom"}));
        ToolSpec graph = spec({"mnuShowGraph", "Show Graph"});
        graph.checkable = true;
        graph.checked = true;
        define(graph);
        ToolSpec exit = spec({"exit", "E&xit", "Close all documents and exit"});
        define(exit);
    }

    band(bar, "MainMenu", "MainMenu", BandKind::MenuBar,
         {{"mnuFile", "&File", "", false, "mnuFile"},
          {"mnuEdit", "&Edit", "", false, "mnuEdit"},
          {"mnuView", "&View", "", false, "mnuView"},
          {"mnuNetworktool", "&Run", "", false, "mnuNetwork"},
          {"mnuProp", "&Preferences", "", false, "mnuPr"},
          {"mnuHelp", "&Help", "", false, "mnuHelp"}});
    band(bar, "mnuFile", "File", BandKind::Popup,
         {{"mnuNewSFAM", "New SFAM Project..."},
          {"mnuNewBP", "New BackProp Project..."},
          {"open", "&Open Project...", "Open Project"},
          {"close", "&Close Project", "Close Project"},
          {"mnuSaveSnap", "Save Project Snapshot", "Save a snapshot of the current project", true},
          {"mnuRevertSnap", "Revert To Latest Snapshot", "Revert project to last snapshot"},
          {"mnuImport", "Import...", "", true},
          {"mnuExport", "Export Marked Rows..."},
          {"mnuPrint", "Print Current Window", "Print The Current Window", true},
          {"exit", "E&xit", "Close all documents and exit", true}});
    band(bar, "mnuEdit", "Edit", BandKind::Popup,
         {{"mnuMarkAll", "Mark All Rows", "Mark all records"},
          {"mnuUnmarkAll", "Unmark All Rows", "Unmark all records"},
          {"mnuToggleMarks", "Toggle Marks", "Toggle all marks"},
          {"mnuMarkSelected", "Mark Selected Rows"},
          {"mnuSortAsc", "Sort Ascending", "", true},
          {"mnuSortDesc", "Sort Descending"},
          {"mnuFind", "&Find...", "Find", true},
          {"mnuSFFindError", "Find Next Bad Prediction", "Find Next Error"}});
    band(bar, "mnuView", "View", BandKind::Popup,
         {{"mnuBPShowAll", "Browse All Data"},
          {"mnuBPBrowseTest", "Browse Test Data"},
          {"mnuScatter", "Scatter Graph", "Show Scatter Graph"},
          {"mnuSeries", "Time Series Graph", "Show Time Series Graph of Actual Vs. Predicted"},
          {"mnuSFShowAll", "Browse All Data", "Show All Rows", true},
          {"mnuSFBrowseTest", "Browse Test Data"},
          {"mnuSFShowErrors", "Browse Incorrect Predictions", "Show Incorrect Predictions Only"},
          {"mnuSFShowCorrect", "Browse Correct Predictions", "Show Correct Predictions Only"},
          {"mnuMatrix", "Confusion Matrix", "Show Confusion Matrix"}});
    band(bar, "mnuHelp", "Help", BandKind::Popup,
         {{"miHContents", "User &Manual", "Help Contents"},
          {"miHAbout", "&About", "About this application", true}});
    band(bar, "Standard", "Tool Bar", BandKind::ToolBar,
         {{"new", "&New Project", "Create New Project", false, "FileNew"},
          {"open", "&Open"},
          {"mnuPrint", "Print", "", true},
          {"mnuMarkAll", "Mark All", "", true},
          {"mnuUnmarkAll", "Unmark All"},
          {"mnuToggleMarks", "Toggle Marks"},
          {"mnuFind", "&Find", "", true},
          {"mnuSFFindError"},
          {"mnuConfigure", "Configure This Project...", "", true},
          {"mnuSplit", "Split the data..."},
          {"mnuTrainBP", "Training...", "Go To Training", true},
          {"mnuShowAll", "Browse All Data", "", true},
          {"mnuBrowseTest", "Browse Test Data", "Browse Test Results"},
          {"mnuScatter", "", "", true},
          {"mnuSeries"},
          {"mnuSFShowErrors", "Browse Bad Predictions", "", true},
          {"mnuSFShowCorrect"},
          {"mnuMatrix"}});
    band(bar, "mnuWindow", "Window", BandKind::Popup,
         {{"miWTileH", "Tile &Horizontally"},
          {"miWTileV", "Tile &Vertically"},
          {"miWCascade", "&Cascade"},
          {"miWArrangeIcons", "&Arrange Icons"}});
    band(bar, "FileNew", "New", BandKind::Popup, {{"mnuNewSFAM"}, {"mnuNewBP"}});
    band(bar, "mnuNetwork", "Run", BandKind::Popup,
         {{"mnuConfigure", "Configure This Project...", "", true},
          {"mnuSplit", "Split The Data..."},
          {"mnuTrainBP", "Training...", "", true},
          {"mnuTest", "", "", false, "mnuTesting"}});
    band(bar, "mnuGraph", "Graphing", BandKind::Popup, {{"mnuScatter"}, {"mnuSeries"}});
    CBand& train = band(bar, "mnuTrainBPBar", "Train", BandKind::ToolBar,
                        {{"mnuTrainBPExit", "Finish", "Exit Training And Run Test"},
                         {"mnuTrainBPGraphType"},
                         {"mnuTrainBPJogWeights"},
                         {"mnuTrainBPReset", "Reset", "Start Over"},
                         {"mnuTrainBPRevert", "Revert", "Revert To Best Ever"},
                         {"mnuTrainBPStop"},
                         {"mnuTrainBPTrain", "Train", "Start Training"},
                         {"mnuTrainBPZoom", "Graph Zoom", "Toggle Graph Zoom"}});
    // Shown in place of the standard bar only while a training window is up.
    train.SetVisible(false);
    // The standard bar's buttons show pictures; the training bar's show their captions.
    ToolIcons::Apply(bar);
    band(bar, "mnuBrowse", "Browse", BandKind::Popup,
         {{"mnuSortAsc"}, {"mnuSortDesc"}, {"mnuFind", "&Find", "", true}});
    band(bar, "mnuSortDirection", "Direction", BandKind::Popup, {{"mnuSortAsc"}, {"mnuSortDesc"}});
    band(bar, "mnuTesting", "Testing", BandKind::Popup,
         {{"mnuTestBP", "Run Test", "", true}, {"mnuBrowseTest"}, {"mnuMatrix"}, {"mnuScatter"}, {"mnuSeries"}});
    band(bar, "mnuPr", "Properties", BandKind::Popup, {{"mnuAutoload"}, {"mnuShowIMode"}, {"mnuNumRec"}});
    band(bar, "mnuUtilPopup", "Util", BandKind::Popup,
         {{"mnuImport", "Import"}, {"mnuExport", "Export Marked"}});
}

void MainBands::ShowViewEntriesOfKind(CCommandBar& bar, int projectType)
{
    const bool backProp = projectType == ntBackProp;
    bar.SetVisible(QStringLiteral("mnuBPShowAll"), backProp);
    bar.SetVisible(QStringLiteral("mnuBPBrowseTest"), backProp);
    bar.SetVisible(QStringLiteral("mnuSFShowAll"), !backProp);
    bar.SetVisible(QStringLiteral("mnuSFBrowseTest"), !backProp);
}
