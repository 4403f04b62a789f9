#include "shell/mainbands.h"

#include "core/widgets/commandbar.h"
#include "core/widgets/toolnames.h"
#include "shell/modmenu.h"
#include "shell/toolicons.h"

#include <initializer_list>

namespace {
struct T {
    QLatin1StringView name;
    const char* caption = "";
    const char* tip = "";
    bool separator = false;
    QLatin1StringView subBand = {};
};

ToolSpec spec(const T& t)
{
    ToolSpec s;
    s.name = t.name;
    s.caption = QString::fromLatin1(t.caption);
    s.description = QString::fromLatin1(t.tip);
    s.separatorBefore = t.separator;
    s.subBand = t.subBand;
    return s;
}

CBand& band(CCommandBar& bar, QLatin1StringView name, const QString& caption, BandKind kind,
            std::initializer_list<T> tools)
{
    CBand& b = bar.AddBand(name, caption, kind);
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
        ToolSpec autoload = spec({ToolName::Autoload, "Autoload"});
        autoload.checkable = true;
        define(autoload);
        ToolSpec imode = spec({ToolName::ShowIMode, "Show Interactive Mode"});
        imode.checkable = true;
        imode.checked = true;
        define(imode);
        ToolSpec numRec = spec({ToolName::NumRec, "Recent Files "});
        numRec.kind = ToolKind::ComboBox;
        numRec.comboWidth = 40;
        define(numRec);
        ToolSpec jog = spec({ToolName::TrainBPJogWeights, "Jog Weights", "Add Random Noise"});
        jog.enabled = false;
        define(jog);
        ToolSpec stop = spec({ToolName::TrainBPStop, "Stop", "Stop Training"});
        stop.enabled = false;
        define(stop);
        define(spec({ToolName::Test, "Testing", "", false, BandName::Testing}));
        define(spec({ToolName::Util, "&Utilities", "", false, BandName::UtilPopup}));
        define(spec({ToolName::TrainBPGraphType, "Graph Type", "Toggle graph type"}));
        // Commands that no band carries: the status bar's date panel, a Zoom that answers its
        // name with nothing (the training bar's Graph Zoom zooms the chart), and the training
        // chart shown or hidden.
        ToolSpec date = spec({ToolName::Date, "Date"});
        date.checkable = true;
        date.checked = true;
        define(date);
        define(spec({ToolName::Zoom, "Zoom"}));
        ToolSpec graph = spec({ToolName::ShowGraph, "Show Graph"});
        graph.checkable = true;
        graph.checked = true;
        define(graph);
        ToolSpec exit = spec({ToolName::Exit, "E&xit", "Close all documents and exit"});
        define(exit);
    }

    band(bar, BandName::MainMenu, BandName::MainMenu, BandKind::MenuBar,
         {{ToolName::File, "&File", "", false, BandName::File},
          {ToolName::Edit, "&Edit", "", false, BandName::Edit},
          {ToolName::View, "&View", "", false, BandName::View},
          {ToolName::NetworkTool, "&Run", "", false, BandName::Network},
          {ToolName::Prop, "&Preferences", "", false, BandName::Pr},
          {ToolName::Help, "&Help", "", false, BandName::Help}});
    band(bar, BandName::File, "File", BandKind::Popup,
         {{ToolName::NewSFAM, "New SFAM Project..."},
          {ToolName::NewBP, "New BackProp Project..."},
          {ToolName::Open, "&Open Project...", "Open Project"},
          {ToolName::Close, "&Close Project", "Close Project"},
          {ToolName::SaveSnap, "Save Project Snapshot", "Save a snapshot of the current project", true},
          {ToolName::RevertSnap, "Revert To Latest Snapshot", "Revert project to last snapshot"},
          {ToolName::Import, "Import...", "", true},
          {ToolName::Export, "Export Marked Rows..."},
          {ToolName::Print, "Print Current Window", "Print The Current Window", true},
          {ToolName::Exit, "E&xit", "Close all documents and exit", true}});
    band(bar, BandName::Edit, "Edit", BandKind::Popup,
         {{ToolName::MarkAll, "Mark All Rows", "Mark all records"},
          {ToolName::UnmarkAll, "Unmark All Rows", "Unmark all records"},
          {ToolName::ToggleMarks, "Toggle Marks", "Toggle all marks"},
          {ToolName::MarkSelected, "Mark Selected Rows"},
          {ToolName::SortAsc, "Sort Ascending", "", true},
          {ToolName::SortDesc, "Sort Descending"},
          {ToolName::Find, "&Find...", "Find", true},
          {ToolName::SFFindError, "Find Next Bad Prediction", "Find Next Error"}});
    band(bar, BandName::View, "View", BandKind::Popup,
         {{ToolName::BPShowAll, "Browse All Data"},
          {ToolName::BPBrowseTest, "Browse Test Data"},
          {ToolName::Scatter, "Scatter Graph", "Show Scatter Graph"},
          {ToolName::Series, "Time Series Graph", "Show Time Series Graph of Actual Vs. Predicted"},
          {ToolName::SFShowAll, "Browse All Data", "Show All Rows", true},
          {ToolName::SFBrowseTest, "Browse Test Data"},
          {ToolName::SFShowErrors, "Browse Incorrect Predictions", "Show Incorrect Predictions Only"},
          {ToolName::SFShowCorrect, "Browse Correct Predictions", "Show Correct Predictions Only"},
          {ToolName::Matrix, "Confusion Matrix", "Show Confusion Matrix"}});
    band(bar, BandName::Help, "Help", BandKind::Popup,
         {{ToolName::HelpContents, "User &Manual", "Help Contents"},
          {ToolName::HelpAbout, "&About", "About this application", true}});
    band(bar, BandName::Standard, "Tool Bar", BandKind::ToolBar,
         {{ToolName::New, "&New Project", "Create New Project", false, BandName::FileNew},
          {ToolName::Open, "&Open"},
          {ToolName::Print, "Print", "", true},
          {ToolName::MarkAll, "Mark All", "", true},
          {ToolName::UnmarkAll, "Unmark All"},
          {ToolName::ToggleMarks, "Toggle Marks"},
          {ToolName::Find, "&Find", "", true},
          {ToolName::SFFindError},
          {ToolName::Configure, "Configure This Project...", "", true},
          {ToolName::Split, "Split the data..."},
          {ToolName::TrainBP, "Training...", "Go To Training", true},
          {ToolName::ShowAll, "Browse All Data", "", true},
          {ToolName::BrowseTest, "Browse Test Data", "Browse Test Results"},
          {ToolName::Scatter, "", "", true},
          {ToolName::Series},
          {ToolName::SFShowErrors, "Browse Bad Predictions", "", true},
          {ToolName::SFShowCorrect},
          {ToolName::Matrix}});
    band(bar, BandName::Window, "Window", BandKind::Popup,
         {{ToolName::TileH, "Tile &Horizontally"},
          {ToolName::TileV, "Tile &Vertically"},
          {ToolName::Cascade, "&Cascade"},
          {ToolName::ArrangeIcons, "&Arrange Icons"}});
    band(bar, BandName::FileNew, "New", BandKind::Popup, {{ToolName::NewSFAM}, {ToolName::NewBP}});
    band(bar, BandName::Network, "Run", BandKind::Popup,
         {{ToolName::Configure, "Configure This Project...", "", true},
          {ToolName::Split, "Split The Data..."},
          {ToolName::TrainBP, "Training...", "", true},
          {ToolName::Test, "", "", false, BandName::Testing}});
    band(bar, BandName::Graph, "Graphing", BandKind::Popup, {{ToolName::Scatter}, {ToolName::Series}});
    CBand& train = band(bar, BandName::TrainBPBar, "Train", BandKind::ToolBar,
                        {{ToolName::TrainBPExit, "Finish", "Exit Training And Run Test"},
                         {ToolName::TrainBPGraphType},
                         {ToolName::TrainBPJogWeights},
                         {ToolName::TrainBPReset, "Reset", "Start Over"},
                         {ToolName::TrainBPRevert, "Revert", "Revert To Best Ever"},
                         {ToolName::TrainBPStop},
                         {ToolName::TrainBPTrain, "Train", "Start Training"},
                         {ToolName::TrainBPZoom, "Graph Zoom", "Toggle Graph Zoom"}});
    // Shown in place of the standard bar only while a training window is up.
    train.SetVisible(false);
    // The standard bar's buttons show pictures; the training bar's show their captions.
    ToolIcons::Apply(bar);
    band(bar, BandName::Browse, "Browse", BandKind::Popup,
         {{ToolName::SortAsc}, {ToolName::SortDesc}, {ToolName::Find, "&Find", "", true}});
    band(bar, BandName::SortDirection, "Direction", BandKind::Popup, {{ToolName::SortAsc}, {ToolName::SortDesc}});
    band(bar, BandName::Testing, "Testing", BandKind::Popup,
         {{ToolName::TestBP, "Run Test", "", true},
          {ToolName::BrowseTest},
          {ToolName::Matrix},
          {ToolName::Scatter},
          {ToolName::Series}});
    band(bar, BandName::Pr, "Properties", BandKind::Popup,
         {{ToolName::Autoload}, {ToolName::ShowIMode}, {ToolName::NumRec}});
    band(bar, BandName::UtilPopup, "Util", BandKind::Popup,
         {{ToolName::Import, "Import"}, {ToolName::Export, "Export Marked"}});
}

void MainBands::ShowViewEntriesOfKind(CCommandBar& bar, int projectType)
{
    const bool backProp = projectType == ntBackProp;
    bar.SetVisible(ToolName::BPShowAll, backProp);
    bar.SetVisible(ToolName::BPBrowseTest, backProp);
    bar.SetVisible(ToolName::SFShowAll, !backProp);
    bar.SetVisible(ToolName::SFBrowseTest, !backProp);
}
