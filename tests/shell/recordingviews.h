// The windows above the shell replaced by recorders, for the tests of the commands that lead to
// them: every row of the command table that opens such a window records its procedure's name
// (and argument), and the window calls record theirs. The command table and the window calls
// are put back at the end.
#pragma once

#include "core/serviceslot.h"
#include "core/widgets/toolnames.h"
#include "shell/commandtable.h"
#include "shell/windowcalls.h"

#include <QStringList>

class RecordingViews : public IWindowCalls {
public:
    RecordingViews()
    {
        const auto rec = [this](std::initializer_list<QLatin1StringView> tools, const char* name) {
            for (QLatin1StringView tool : tools)
                gCommands().Add(tool, [this, name](const CommandClick&) { calls << QString::fromLatin1(name); });
        };
        rec({ToolName::Split}, "SetLimits");
        rec({ToolName::TrainBP}, "MenuBProp");
        rec({ToolName::SFBrowseTest, ToolName::BPBrowseTest, ToolName::BrowseTest}, "BrowseTest");
        rec({ToolName::SFShowErrors}, "MENU_SFShowErrors");
        rec({ToolName::SFShowCorrect}, "MENU_SFShowCorrect");
        rec({ToolName::SFShowAll, ToolName::BPShowAll, ToolName::ShowAll}, "ShowDefBrowser");
        rec({ToolName::SortAsc}, "SortASC");
        rec({ToolName::SortDesc}, "SortDESC");
        rec({ToolName::Find}, "MenuFind");
        rec({ToolName::SFFindError}, "MENU_SFFindError");
        rec({ToolName::MarkAll}, "MarkAllCurrent(-1)");
        rec({ToolName::UnmarkAll}, "MarkAllCurrent(0)");
        rec({ToolName::ToggleMarks}, "MarkAllCurrent(1)");
        rec({ToolName::MarkSelected}, "MarkSelected");
        rec({ToolName::TestBP}, "TestShow");
        rec({ToolName::Matrix}, "ShowCMatrix");
        rec({ToolName::Scatter}, "ShowScatter");
        rec({ToolName::Series}, "ShowSeries");
        gCommands().Add(ToolName::ShowGraph, [this](const CommandClick& click) {
            calls << QStringLiteral("ShowGraph(%1)").arg(ToggleClicked(click));
        });
    }
    ~RecordingViews() override { gCommands().SetRows(m_commands); }
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

    bool ShowConfigure(bool createdByNew) override
    {
        calls << (createdByNew ? "ShowConfigure(new)" : "ShowConfigure");
        if (onShowConfigure)
            onShowConfigure();
        return true;
    }
    bool StopActiveRun(std::function<void()> then) override
    {
        calls << "StopActiveRun";
        if (!runActive)
            return false;
        pendingAfterRun = std::move(then);
        return true;
    }
    void CloseBrowsers() override { calls << "CloseBrowsers"; }
    void BrowseTestWorstFirst() override { calls << "BrowseTestWorstFirst"; }
    void BrowseOutlyers(const QString& p, const QString& a) override { calls << "BrowseOutlyers(" + p + "," + a + ")"; }
    void BrowseBand(bool open) override { calls << (open ? "BrowseMenuOpen" : "BrowseMenuClose"); }

    QStringList calls;
    // StopActiveRun answers true (a run is active) and keeps `then` for the test to call.
    bool runActive = false;
    std::function<void()> pendingAfterRun;
    // Runs inside ShowConfigure, after the call is recorded.
    std::function<void()> onShowConfigure;

private:
    // The command table as it was, given back at the end.
    std::vector<CommandRow> m_commands = gCommands().Rows();
    ScopedService<IWindowCalls*> m_installed{&WindowCalls::Install, this};
};
