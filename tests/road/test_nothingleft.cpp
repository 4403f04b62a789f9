// Nothing left over: every command of a window library is installed by the program,
// every tool of every band that opens no menu has its command in the command table and each
// view command reaches its procedure, so no tool of any band ends in "Not available yet" or
// does nothing; and every help context number the windows carry leads to a shipped help page.
#include "app/views.h"
#include "core/serviceslot.h"
#include "core/widgets/commandbar.h"
#include "core/widgets/helpwindow.h"
#include "core/widgets/statusbar.h"
#include "core/widgets/toolnames.h"
#include "core/widgets/veltra.h"
#include "shell/commandtable.h"
#include "tests/road/roadfixture.h"
#include "tests/shell/recordingviews.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>

TEST(NothingLeft, EveryWindowCommandIsInstalledByTheProgram)
{
    const std::vector<CommandRow> before = gCommands().Rows();
    AppViews::Install();
    for (QLatin1StringView tool :
         {ToolName::Split, ToolName::TrainBP, ToolName::SFBrowseTest, ToolName::BPBrowseTest, ToolName::BrowseTest,
          ToolName::SFShowAll, ToolName::BPShowAll, ToolName::ShowAll, ToolName::SFShowErrors, ToolName::SFShowCorrect,
          ToolName::SortAsc, ToolName::SortDesc, ToolName::Find, ToolName::SFFindError, ToolName::MarkAll,
          ToolName::UnmarkAll, ToolName::ToggleMarks, ToolName::MarkSelected, ToolName::TestBP, ToolName::Matrix,
          ToolName::Scatter, ToolName::Series})
        EXPECT_NE(gCommands().Find(CommandBar::Main, tool), nullptr)
            << tool.data() << " has no row: its tools say \"Not available yet\"";
    EXPECT_TRUE(gCommands().HasRows(CommandBar::Training));
    gCommands().SetRows(before);
}

using NothingLeftOnTheBar = RoadTest;

// The lists to check come from the bands and the table: a tool added to a band without its
// command, or a command under a name no band shows, is found here.
TEST_F(NothingLeftOnTheBar, EveryToolOfEveryBandHasItsCommandOnItsBar)
{
    CCommandBar* bar = main->MainToolBar();
    int tools = 0;
    for (int b = 0; b < bar->BandCount(); ++b) {
        const CBand& band = bar->BandAt(b);
        const CommandBar commands = band.Name() == BandName::TrainBPBar ? CommandBar::Training : CommandBar::Main;
        for (int i = 0; i < band.ToolCount(); ++i) {
            const CBandTool& tool = band.ToolAt(i);
            // Menu titles open their band, the recent-files count is a list to choose from.
            if (!tool.SubBand().isEmpty() || tool.Name() == ToolName::NumRec)
                continue;
            ++tools;
            EXPECT_NE(gCommands().Find(commands, tool.Name()), nullptr)
                << tool.Name().toStdString() << " on " << band.Name().toStdString();
        }
    }
    EXPECT_GT(tools, 50);
    // Every training command is a tool of the training bar, and every command a tool of the bar.
    const CBand& train = bar->Band(BandName::TrainBPBar);
    for (const CommandRow& row : gCommands().Rows()) {
        // The recent files' tools come with the list, which is empty here.
        EXPECT_TRUE(bar->HasTool(row.tool) || row.tool == ToolName::MRUList) << row.tool.data();
        if (row.bar == CommandBar::Training) {
            EXPECT_GE(train.IndexOf(row.tool), 0) << row.tool.data();
        }
    }
}

TEST_F(NothingLeftOnTheBar, ViewCommandsReachTheirProceduresWhateverTheCase)
{
    RecordingViews views;
    const std::vector<std::pair<QString, const char*>> rows = {
        {ToolName::MarkAll, "MarkAllCurrent(-1)"}, {ToolName::UnmarkAll, "MarkAllCurrent(0)"},
        {ToolName::ToggleMarks, "MarkAllCurrent(1)"}, {ToolName::MarkSelected, "MarkSelected"},
        {ToolName::Configure, "ShowConfigure"}, {ToolName::TrainBP, "MenuBProp"}, {ToolName::Split, "SetLimits"},
        {ToolName::TestBP, "TestShow"}, {ToolName::SFBrowseTest, "BrowseTest"}, {ToolName::BPBrowseTest, "BrowseTest"},
        {ToolName::BrowseTest, "BrowseTest"}, {ToolName::Matrix, "ShowCMatrix"}, {ToolName::Scatter, "ShowScatter"},
        {ToolName::Series, "ShowSeries"}, {ToolName::SFShowAll, "ShowDefBrowser"},
        {ToolName::BPShowAll, "ShowDefBrowser"},
        {QString(ToolName::ShowAll).toUpper(), "ShowDefBrowser"}, {ToolName::SFShowErrors, "MENU_SFShowErrors"},
        {ToolName::SFShowCorrect, "MENU_SFShowCorrect"}, {ToolName::SFFindError, "MENU_SFFindError"},
        {ToolName::SortAsc, "SortASC"}, {QString(ToolName::SortDesc).toLower(), "SortDESC"},
        {ToolName::Find, "MenuFind"}};
    for (const auto& [tool, procedure] : rows) {
        views.calls.clear();
        main->MainToolBar_Click(BandName::Standard, tool, 0);
        EXPECT_EQ(views.calls, QStringList{QString::fromLatin1(procedure)}) << tool.toStdString();
    }
    EXPECT_TRUE(prompts.Boxes().empty());
}

TEST(NothingLeft, EveryHelpContextOfTheWindowsLeadsToAShippedPage)
{
    // The numbers the window sources give their windows ("HelpContext = n" constants).
    const QRegularExpression constant(QStringLiteral("HelpContext\\w*\\s*=\\s*(\\d+)"));
    std::vector<int> numbers;
    for (const char* area : {"shell", "config", "training", "browse", "charts", "app"}) {
        QDirIterator it(QStringLiteral(KORVAN_SOURCE_DIR "/") + QLatin1String(area), {QStringLiteral("*.h"), QStringLiteral("*.cpp")},
                        QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile f(it.next());
            ASSERT_TRUE(f.open(QIODevice::ReadOnly));
            auto matches = constant.globalMatch(QString::fromUtf8(f.readAll()));
            while (matches.hasNext())
                numbers.push_back(matches.next().captured(1).toInt());
        }
    }
    EXPECT_FALSE(numbers.empty());
    const QString contents = HelpWindow::PageFor(1);
    for (int n : numbers) {
        const QString page = HelpWindow::PageFor(n);
        EXPECT_TRUE(n == 1 || page != contents) << n << " has no page of its own";
        HelpWindow::Show(n)->close();
        EXPECT_TRUE(QFile::exists(page.mid(3))) << page.toStdString();
    }
}
