// Nothing left over: every command of a window library is installed by the program,
// every tool of every band that opens no menu has its command in the command table and each
// view command reaches its procedure, so no tool of any band ends in "Not available yet" or
// does nothing; and every help context number the windows carry leads to a shipped help page.
#include "app/views.h"
#include "browse/browsegrid.h"
#include "browse/finddialog.h"
#include "charts/frmmatrix.h"
#include "charts/frmscatter.h"
#include "charts/frmseries.h"
#include "config/configureproject.h"
#include "core/serviceslot.h"
#include "core/widgets/commandbar.h"
#include "core/widgets/helpwindow.h"
#include "core/widgets/statusbar.h"
#include "core/widgets/toolnames.h"
#include "core/widgets/veltra.h"
#include "shell/commandtable.h"
#include "tests/browse/browsefixture.h"
#include "tests/road/roadfixture.h"
#include "tests/support/browsecell.h"
#include "tests/support/modalanswerer.h"
#include "training/trainingviews.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QItemSelectionModel>
#include <QRegularExpression>
#include <QTableView>
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

// The program's own rows, clicked on the main bar, some names in another case: each reaches its
// own procedure, told apart by what it leaves (the window or dialog it opens, its status text,
// the marks it sets, the order it sorts in), over a tested project of each kind.
TEST_F(NothingLeftOnTheBar, ViewCommandsReachTheirProceduresWhateverTheCase)
{
    using namespace BrowseTest;
    const auto click = [this](const QString& tool) {
        main->MainToolBar_Click(BandName::Standard, tool, 0);
        Flush();
    };
    // The class of the modal dialog the click opens, closed again.
    const auto dialogOf = [&](const QString& tool) {
        ModalAnswerer answer;
        answer.Then(ModalAnswerer::Reject());
        click(tool);
        EXPECT_TRUE(WaitFor([&] { return answer.Answered() == 1 && !QApplication::activeModalWidget(); }, 10000));
        Flush();
        return answer.Seen().empty() ? QString() : answer.Seen().front();
    };
    const auto browser = [] { return qobject_cast<frmBrowse*>(gBrowseForm().data()); };
    const QString results = QStringLiteral("Browsing results of tested data.");
    const QString everything = QStringLiteral("Browsing entire data set.");

    // Back-propagation: the browsers, the marks, sorting and Find in the results, the charts,
    // the dialogs and the windows of the other steps.
    const int rows = 40;
    const std::shared_ptr<CBackProp> bp =
        TestedBackProp(folder, MakeBackPropSource(folder, rows), QStringLiteral("Data"),
                       {{"Mark", roleInput, 0, 10}, {"MainPrimaryKey", roleInput, 0, 13}, {"Y", roleBPPredict, 0, 20}},
                       {1, rows / 2, 1, rows}, 1);
    ASSERT_TRUE(bp);
    const QString path = bp->State().ProjectFileName();
    modMenu::FileOpen(path);
    Flush();
    ASSERT_TRUE(CurrentNetwork());
    for (const auto& [tool, status] : {std::pair{QString(ToolName::BPShowAll), everything}, {ToolName::BPBrowseTest, results},
                                       {QString(ToolName::ShowAll).toUpper(), everything}, {ToolName::BrowseTest, results}}) {
        click(tool);
        EXPECT_EQ(Status(), status) << tool.toStdString();
    }
    frmBrowse* w = browser();
    ASSERT_TRUE(w);
    click(ToolName::MarkAll);
    EXPECT_EQ(Marked(path), rows);
    click(ToolName::UnmarkAll);
    EXPECT_EQ(Marked(path), 0);
    click(ToolName::ToggleMarks);
    EXPECT_EQ(Marked(path), rows);
    click(ToolName::UnmarkAll);
    QTableView* pane = w->tgBrowse->DataPane();
    for (int r = 1; r <= 3; ++r)
        pane->selectionModel()->select(pane->model()->index(r, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    click(ToolName::MarkSelected);
    EXPECT_EQ(Marked(path), 3);

    int column = -1;
    for (qsizetype i = 0; i < w->RecordSource().columns.size(); ++i)
        if (w->RecordSource().columns[i].field == QStringLiteral("MainPrimaryKey"))
            column = int(i);
    ASSERT_GE(column, 0);
    for (const auto& [tool, ascending] : {std::pair{QString(ToolName::SortAsc), true}, {QString(ToolName::SortDesc).toLower(), false}}) {
        w->tgBrowse->SetCurrent(0, column);
        click(tool);
        const double first = Cell(w, 0, column).toDouble(), last = Cell(w, rows - 1, column).toDouble();
        EXPECT_TRUE(ascending ? first < last : first > last) << tool.toStdString();
    }
    click(ToolName::Find);
    ASSERT_TRUE(frmFind::Existing());
    EXPECT_TRUE(frmFind::Existing()->isVisible());
    frmFind::Existing()->close();

    click(ToolName::Scatter);
    EXPECT_TRUE(Window<frmScatter>());
    click(ToolName::Series);
    EXPECT_TRUE(Window<frmSeries>());
    EXPECT_EQ(dialogOf(ToolName::TestBP), QStringLiteral("frmTestNetwork"));
    EXPECT_EQ(dialogOf(ToolName::Split), QStringLiteral("frmDataSelect"));
    click(ToolName::Configure);
    EXPECT_TRUE(frmConfPrj::Current());
    click(ToolName::TrainBP);
    EXPECT_TRUE(TrainingViews::Window());
    Flush();

    // SFAM: its browsers, Find Error and the confusion matrix.
    const std::shared_ptr<CSFam> sf = TestedSFam(folder, QStringLiteral("Cls"), 30);
    ASSERT_TRUE(sf);
    const QString sfPath = sf->State().ProjectFileName();
    kdb::Database::Open(sfPath, false, false).Execute(QStringLiteral("UPDATE Test SET Predicted = 'None' WHERE MainPrimaryKey = 7"));
    modMenu::FileOpen(sfPath);
    Flush();
    for (const auto& [tool, status] :
         {std::pair{QString(ToolName::SFShowAll), everything}, {ToolName::SFShowErrors, QStringLiteral("Browsing incorrect predictions.")},
          {ToolName::SFShowCorrect, QStringLiteral("Browsing correct predictions.")}, {ToolName::SFBrowseTest, results}}) {
        click(tool);
        EXPECT_EQ(Status(), status) << tool.toStdString();
    }
    ASSERT_TRUE(browser());
    browser()->tgBrowse->SetCurrent(0, 0);
    click(ToolName::SFFindError);
    EXPECT_GT(browser()->tgBrowse->CurrentRow(), 0);
    click(ToolName::Matrix);
    EXPECT_TRUE(Window<frmMatrix>());
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
