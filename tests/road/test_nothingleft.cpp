// Nothing left over: every command procedure of a window library is installed by the program,
// so no tool of any band ends in "Not available yet", and every help context number the
// windows carry leads to a help page that is shipped.
#include "app/views.h"
#include "core/widgets/helpwindow.h"
#include "shell/viewprocs.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>

TEST(NothingLeft, EveryViewProcedureIsInstalledByTheProgram)
{
    modMenu::Views() = modMenu::ViewProcedures{};
    AppViews::Install();
    const modMenu::ViewProcedures& v = modMenu::Views();
    const std::vector<std::pair<const char*, bool>> procedures{
        {"ShowConfigure", bool(v.ShowConfigure)},
        {"SetLimits", bool(v.SetLimits)},
        {"MenuBProp", bool(v.MenuBProp)},
        {"TrainBar", bool(v.TrainBar)},
        {"StopActiveRun", bool(v.StopActiveRun)},
        {"ShowGraph", bool(v.ShowGraph)},
        {"BrowseTest", bool(v.BrowseTest)},
        {"BrowseTestWorstFirst", bool(v.BrowseTestWorstFirst)},
        {"BrowseOutlyers", bool(v.BrowseOutlyers)},
        {"MENU_SFShowErrors", bool(v.MENU_SFShowErrors)},
        {"MENU_SFShowCorrect", bool(v.MENU_SFShowCorrect)},
        {"ShowDefBrowser", bool(v.ShowDefBrowser)},
        {"SortASC", bool(v.SortASC)},
        {"SortDESC", bool(v.SortDESC)},
        {"MenuFind", bool(v.MenuFind)},
        {"MENU_SFFindError", bool(v.MENU_SFFindError)},
        {"BrowseMenuOpen", bool(v.BrowseMenuOpen)},
        {"BrowseMenuClose", bool(v.BrowseMenuClose)},
        {"MarkAllCurrent", bool(v.MarkAllCurrent)},
        {"MarkSelected", bool(v.MarkSelected)},
        {"CloseBrowsers", bool(v.CloseBrowsers)},
        {"TestShow", bool(v.TestShow)},
        {"ShowCMatrix", bool(v.ShowCMatrix)},
        {"ShowScatter", bool(v.ShowScatter)},
        {"ShowSeries", bool(v.ShowSeries)},
    };
    for (const auto& [name, installed] : procedures)
        EXPECT_TRUE(installed) << name << " is not installed: its tools say \"Not available yet\"";
    modMenu::Views() = modMenu::ViewProcedures{};
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
