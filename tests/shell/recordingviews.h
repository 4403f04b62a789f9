// Every installable view procedure replaced by one that records its name (and argument), for
// the tests of the commands that lead to the windows above the shell. The procedures are emptied
// and the command table is put back at the end.
#pragma once

#include "shell/commandtable.h"
#include "shell/viewprocs.h"

#include <QStringList>

class RecordingViews {
public:
    RecordingViews()
    {
        auto& v = modMenu::Views();
        v.ShowConfigure = [this](bool createdByNew) { calls << (createdByNew ? "ShowConfigure(new)" : "ShowConfigure"); };
        v.SetLimits = rec("SetLimits");
        v.MenuBProp = rec("MenuBProp");
        v.StopActiveRun = [this](std::function<void()> then) {
            calls << "StopActiveRun";
            if (!runActive)
                return false;
            pendingAfterRun = std::move(then);
            return true;
        };
        v.ShowGraph = [this](bool on) { calls << QStringLiteral("ShowGraph(%1)").arg(on); };
        v.BrowseTest = rec("BrowseTest");
        v.BrowseTestWorstFirst = rec("BrowseTestWorstFirst");
        v.BrowseOutlyers = [this](const QString& p, const QString& a) { calls << "BrowseOutlyers(" + p + "," + a + ")"; };
        v.MENU_SFShowErrors = rec("MENU_SFShowErrors");
        v.MENU_SFShowCorrect = rec("MENU_SFShowCorrect");
        v.ShowDefBrowser = rec("ShowDefBrowser");
        v.SortASC = rec("SortASC");
        v.SortDESC = rec("SortDESC");
        v.MenuFind = rec("MenuFind");
        v.MENU_SFFindError = rec("MENU_SFFindError");
        v.BrowseMenuOpen = rec("BrowseMenuOpen");
        v.BrowseMenuClose = rec("BrowseMenuClose");
        v.MarkAllCurrent = [this](int mode) { calls << QStringLiteral("MarkAllCurrent(%1)").arg(mode); };
        v.MarkSelected = rec("MarkSelected");
        v.CloseBrowsers = rec("CloseBrowsers");
        v.TestShow = rec("TestShow");
        v.ShowCMatrix = rec("ShowCMatrix");
        v.ShowScatter = rec("ShowScatter");
        v.ShowSeries = rec("ShowSeries");
    }
    ~RecordingViews()
    {
        modMenu::Views() = {};
        gCommands().SetRows(m_commands);
    }
    RecordingViews(const RecordingViews&) = delete;
    RecordingViews& operator=(const RecordingViews&) = delete;

    // The training bar's commands of these tools record "TrainBar(<tool>)".
    void RecordTrainingBar(std::initializer_list<QLatin1StringView> tools)
    {
        for (QLatin1StringView tool : tools)
            gCommands().Add(
                tool, [this](const CommandClick& click) { calls << "TrainBar(" + click.tool + ")"; },
                CommandBar::Training);
    }

    QStringList calls;
    // StopActiveRun answers true (a run is active) and keeps `then` for the test to call.
    bool runActive = false;
    std::function<void()> pendingAfterRun;

private:
    // The command table as it was, given back at the end.
    std::vector<CommandRow> m_commands = gCommands().Rows();
    std::function<void()> rec(const char* name)
    {
        return [this, name] { calls << QString::fromLatin1(name); };
    }
};
