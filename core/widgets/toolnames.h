// The names of the main window's bands and tools, the one place they are written: the bar is
// built, switched and dispatched by these names, and the widget map shows them to drivers from
// outside. The core widgets use a few of them, so they live below the shell.
#pragma once

#include <QLatin1StringView>

namespace ToolName {
// The menu titles of the menu bar.
inline constexpr QLatin1StringView File{"mnuFile"};
inline constexpr QLatin1StringView Edit{"mnuEdit"};
inline constexpr QLatin1StringView View{"mnuView"};
inline constexpr QLatin1StringView NetworkTool{"mnuNetworktool"};
inline constexpr QLatin1StringView Prop{"mnuProp"};
inline constexpr QLatin1StringView Help{"mnuHelp"};

// File.
inline constexpr QLatin1StringView New{"new"};
inline constexpr QLatin1StringView NewSFAM{"mnuNewSFAM"};
inline constexpr QLatin1StringView NewBP{"mnuNewBP"};
inline constexpr QLatin1StringView Open{"open"};
inline constexpr QLatin1StringView Close{"close"};
inline constexpr QLatin1StringView SaveSnap{"mnuSaveSnap"};
inline constexpr QLatin1StringView RevertSnap{"mnuRevertSnap"};
inline constexpr QLatin1StringView Import{"mnuImport"};
inline constexpr QLatin1StringView Export{"mnuExport"};
inline constexpr QLatin1StringView Util{"mnuUtil"};
inline constexpr QLatin1StringView Print{"mnuPrint"};
inline constexpr QLatin1StringView Exit{"exit"};
// The recent files, one copy per file (the MRU list places them).
inline constexpr QLatin1StringView MRUList{"miMRUList"};

// Edit.
inline constexpr QLatin1StringView MarkAll{"mnuMarkAll"};
inline constexpr QLatin1StringView UnmarkAll{"mnuUnmarkAll"};
inline constexpr QLatin1StringView ToggleMarks{"mnuToggleMarks"};
inline constexpr QLatin1StringView MarkSelected{"mnuMarkSelected"};
inline constexpr QLatin1StringView SortAsc{"mnuSortAsc"};
inline constexpr QLatin1StringView SortDesc{"mnuSortDesc"};
inline constexpr QLatin1StringView Find{"mnuFind"};
inline constexpr QLatin1StringView SFFindError{"mnuSFFindError"};

// View and the standard bar's result views.
inline constexpr QLatin1StringView ShowAll{"mnuShowAll"};
inline constexpr QLatin1StringView BrowseTest{"mnuBrowseTest"};
inline constexpr QLatin1StringView BPShowAll{"mnuBPShowAll"};
inline constexpr QLatin1StringView BPBrowseTest{"mnuBPBrowseTest"};
inline constexpr QLatin1StringView SFShowAll{"mnuSFShowAll"};
inline constexpr QLatin1StringView SFBrowseTest{"mnuSFBrowseTest"};
inline constexpr QLatin1StringView SFShowErrors{"mnuSFShowErrors"};
inline constexpr QLatin1StringView SFShowCorrect{"mnuSFShowCorrect"};
inline constexpr QLatin1StringView Scatter{"mnuScatter"};
inline constexpr QLatin1StringView Series{"mnuSeries"};
inline constexpr QLatin1StringView Matrix{"mnuMatrix"};

// Run.
inline constexpr QLatin1StringView Configure{"mnuConfigure"};
inline constexpr QLatin1StringView Split{"mnuSplit"};
inline constexpr QLatin1StringView TrainBP{"mnuTrainBP"};
inline constexpr QLatin1StringView Test{"mnuTest"};
inline constexpr QLatin1StringView TestBP{"mnuTestBP"};

// Preferences.
inline constexpr QLatin1StringView Autoload{"mnuAutoload"};
inline constexpr QLatin1StringView ShowIMode{"mnuShowIMode"};
inline constexpr QLatin1StringView NumRec{"mnuNumRec"};

// Window and Help.
inline constexpr QLatin1StringView TileH{"miWTileH"};
inline constexpr QLatin1StringView TileV{"miWTileV"};
inline constexpr QLatin1StringView Cascade{"miWCascade"};
inline constexpr QLatin1StringView ArrangeIcons{"miWArrangeIcons"};
inline constexpr QLatin1StringView HelpContents{"miHContents"};
inline constexpr QLatin1StringView HelpAbout{"miHAbout"};

// The training bar.
inline constexpr QLatin1StringView TrainBPExit{"mnuTrainBPExit"};
inline constexpr QLatin1StringView TrainBPGraphType{"mnuTrainBPGraphType"};
inline constexpr QLatin1StringView TrainBPJogWeights{"mnuTrainBPJogWeights"};
inline constexpr QLatin1StringView TrainBPReset{"mnuTrainBPReset"};
inline constexpr QLatin1StringView TrainBPRevert{"mnuTrainBPRevert"};
inline constexpr QLatin1StringView TrainBPStop{"mnuTrainBPStop"};
inline constexpr QLatin1StringView TrainBPTrain{"mnuTrainBPTrain"};
inline constexpr QLatin1StringView TrainBPZoom{"mnuTrainBPZoom"};

// Commands that no band carries: the status bar's date panel, a Zoom that answers its name with
// nothing (the training bar's Graph Zoom zooms the chart) and the training chart shown or hidden.
inline constexpr QLatin1StringView Date{"miDate"};
inline constexpr QLatin1StringView Zoom{"ZOOM"};
inline constexpr QLatin1StringView ShowGraph{"mnuShowGraph"};
} // namespace ToolName

namespace BandName {
inline constexpr QLatin1StringView MainMenu{"MainMenu"};
inline constexpr QLatin1StringView Standard{"Standard"};
// The menus that open from the menu bar carry the names of the tools that open them.
inline constexpr QLatin1StringView File = ToolName::File;
inline constexpr QLatin1StringView Edit = ToolName::Edit;
inline constexpr QLatin1StringView View = ToolName::View;
inline constexpr QLatin1StringView Help = ToolName::Help;
inline constexpr QLatin1StringView Network{"mnuNetwork"};
inline constexpr QLatin1StringView Pr{"mnuPr"};
inline constexpr QLatin1StringView Window{"mnuWindow"};
inline constexpr QLatin1StringView FileNew{"FileNew"};
inline constexpr QLatin1StringView Graph{"mnuGraph"};
inline constexpr QLatin1StringView TrainBPBar{"mnuTrainBPBar"};
inline constexpr QLatin1StringView Browse{"mnuBrowse"};
inline constexpr QLatin1StringView SortDirection{"mnuSortDirection"};
inline constexpr QLatin1StringView Testing{"mnuTesting"};
inline constexpr QLatin1StringView UtilPopup{"mnuUtilPopup"};
} // namespace BandName
