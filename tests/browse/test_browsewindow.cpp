// The browse window over tested fixture projects: the builders' columns and rows, the layout
// of the results browser, sorting, marks and the mark commands, the drill-downs of both kinds,
// closing the browses before a test, and the lazy reading of rows.
#include "browse/browsegrid.h"
#include "browse/browsemodel.h"
#include "browse/finddialog.h"
#include "browse/testbrowse.h"
#include "core/widgets/toolnames.h"
#include "data/exportmarked.h"
#include "data/projectschema.h"
#include "tests/browse/browsefixture.h"
#include "tests/browse/findfixture.h"
#include "tests/kdb/pgserver.h"

#include <QComboBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTest>

#include <QLocale>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScrollBar>
#include <QTableView>
#include <QThread>
#include <algorithm>
#include <cmath>

namespace {
// The project file's link table.
const QString kLink = ProjectSchema::LinkTable();
} // namespace

using namespace BrowseTest;
using kdb::Value;

namespace {

std::vector<BlockCache::Row> AllRows(frmBrowse* w)
{
    return w->Data1().Read(0, int(w->Data1().RowCount()));
}

QStringList ColumnNames(frmBrowse* w)
{
    QStringList names;
    for (const BrowseColumn& c : w->RecordSource().columns)
        names << c.table + "." + c.field;
    return names;
}

frmBrowse* Current()
{
    return qobject_cast<frmBrowse*>(gBrowseForm().data());
}

// The data pane's leftmost column starts at the pane's left edge: no column is cut there.
bool LeftColumnWhole(const QTableView* pane)
{
    const int c = pane->columnAt(0);
    return c < 0 || pane->columnViewportPosition(c) == 0;
}

bool ColumnWhole(const QTableView* pane, int column)
{
    const int x = pane->columnViewportPosition(column);
    return x >= 0 && x + pane->columnWidth(column) <= pane->viewport()->width();
}

// The column that the pane's right edge cuts, -1 when there is none.
int HalfShownOnTheRight(const QTableView* pane)
{
    const int c = pane->columnAt(pane->viewport()->width() - 1);
    return c >= 0 && !ColumnWhole(pane, c) ? c : -1;
}

class BrowseWindow : public BrowseTestBase {};

} // namespace

TEST_F(BrowseWindow, EachBuilderGivesItsColumnsInOrderAndCountsItsRows)
{
    OpenBackProp();
    BrowseViews::BrowseTest();
    frmBrowse* w = Current();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(ColumnNames(w), QStringList({"Test.Mark", kLink + ".Y", "Test.Predicted", "Test.Difference",
                                           kLink + ".ID", kLink + ".Mark", kLink + ".Predicted",
                                           kLink + ".a]b", kLink + ".MainPrimaryKey",
                                           kLink + ".DateFrom"}));
    const auto rows = AllRows(w);
    ASSERT_EQ(rows.size(), 40u);
    for (int i = 0; i < 40; ++i) {
        const int id = i + 1;   // testing rows in their order
        ASSERT_EQ(rows[size_t(i)].size(), 10);
        EXPECT_EQ(rows[size_t(i)][4].toInt(), id);
        EXPECT_DOUBLE_EQ(rows[size_t(i)][1].toDouble(), (id % 10) * 2.0 + 1.0);
        EXPECT_DOUBLE_EQ(rows[size_t(i)][5].toDouble(), id % 10);        // the source's Mark
        EXPECT_DOUBLE_EQ(rows[size_t(i)][6].toDouble(), id * 2.0);       // the source's Predicted
        EXPECT_EQ(rows[size_t(i)][7].toText(), QString("t%1").arg(id));
        EXPECT_EQ(rows[size_t(i)][0].toInt(-9), 0);                       // Test's Mark
    }
    EXPECT_EQ(w->RowCount(), 40);
    EXPECT_EQ(UserPanel(), "40 Rows");
    EXPECT_EQ(MainPanel(), "Browsing results of tested data.");
    EXPECT_EQ(w->windowTitle(), "Browse Test Results");
    EXPECT_TRUE(main->MainToolBar()->Enabled(ToolName::MarkAll));

    // The whole table: the prediction field first; earlier browse windows stay.
    frmBrowse* all = dbUtilities::BuildDefBrowser();
    ASSERT_NE(all, nullptr);
    EXPECT_EQ(ColumnNames(all), QStringList({kLink + ".Y", kLink + ".ID", kLink + ".Mark",
                                             kLink + ".Predicted", kLink + ".a]b",
                                             kLink + ".MainPrimaryKey", kLink + ".DateFrom"}));
    EXPECT_EQ(all->Data1().RowCount(), 40);
    EXPECT_FALSE(all->RecordSource().HasMarks());
    // Window keys only grow, also after a window closed.
    const int first = w->Tag().toInt();
    const int second = all->Tag().toInt();
    EXPECT_GT(second, first);
    dbUtilities::CloseBrowsers();
    FlushDeletes();
    frmBrowse* again = dbUtilities::BuildBrowser();
    ASSERT_NE(again, nullptr);
    EXPECT_GT(again->Tag().toInt(), second);
}

TEST_F(BrowseWindow, TheResultsBrowserLaysOutPanesFormatsAndMarks)
{
    OpenBackProp();
    Exec("UPDATE Test SET Predicted = ? WHERE MainPrimaryKey = 3", {NoPrediction});   // stored as Single
    Exec("UPDATE Test SET Difference = NULL, Predicted = 7.25 WHERE MainPrimaryKey = 4");
    Exec("UPDATE Test SET Mark = -1 WHERE MainPrimaryKey = 5");
    BrowseViews::BrowseTest();
    frmBrowse* w = Current();
    ASSERT_NE(w, nullptr);
    auto* browser = dynamic_cast<CBrowseBase*>(gDataBrowse().get());
    ASSERT_NE(browser, nullptr);
    const BrowseLook::Grid& look = browser->Look();
    EXPECT_EQ(look.numberFormat, "0.0");   // Y's range 0..20
    EXPECT_EQ(look.fixedColumns, 4);
    EXPECT_EQ(w->tgBrowse->FixedColumns(), 4);
    EXPECT_EQ(look.columns[0].caption, "*");
    EXPECT_EQ(look.columns[0].widthTwips, 280);
    EXPECT_EQ(look.columns[2].widthTwips, 1200);
    EXPECT_TRUE(look.columns[2].formatted && look.columns[3].formatted && !look.columns[1].formatted);
    EXPECT_EQ(look.firstUsedColumn, 5);   // the source's Mark, an input
    EXPECT_FALSE(look.columns[5].text.has_value());
    for (int unused : {4, 6, 7, 9})       // ID, Predicted, a]b, DateFrom have no role
        EXPECT_EQ(look.columns[size_t(unused)].text.value_or(0), 0x808080u) << unused;

    EXPECT_EQ(Cell(w, 2, 2).toString(), "N/A");
    EXPECT_EQ(Cell(w, 3, 2).toString(), "7.3");   // 7.25 rounds away from zero
    EXPECT_EQ(Cell(w, 3, 3).toString(), "N/A");   // a Null difference
    EXPECT_EQ(Cell(w, 4, 0).toString(), "");
    EXPECT_FALSE(Cell(w, 4, 0, Qt::DecorationRole).isNull());   // the check picture
    EXPECT_TRUE(Cell(w, 5, 0, Qt::DecorationRole).isNull());
    EXPECT_NE(Cell(w, 0, 5, Qt::BackgroundRole), Cell(w, 1, 5, Qt::BackgroundRole));   // alternating rows
    EXPECT_EQ(Cell(w, 0, 5, Qt::ToolTipRole).toString(), "Double Click Or Space Bar To Set Mark");
    EXPECT_EQ(w->Model()->headerData(5, Qt::Horizontal, Qt::ToolTipRole).toString(), "Right Click Column Header To Sort");
    EXPECT_EQ(w->Model()->headerData(1, Qt::Horizontal, Qt::BackgroundRole).value<QColor>(), QColor(255, 255, 0));

    // The data pane starts at a column's left edge, never inside one: where the first used
    // column cannot reach the left edge, the pane stops at a column that can.
    QTableView* data = w->tgBrowse->DataPane();
    for (int width = 500; width <= 1400; width += 10) {
        main->resize(width, 600);
        QCoreApplication::processEvents();
        w->tgBrowse->ScrollDataTo(look.firstUsedColumn);
        EXPECT_TRUE(LeftColumnWhole(data)) << width;
        // Laid out narrow, then grown: the pane that grows is not left inside a column.
        main->resize(width + 37, 600);
        QCoreApplication::processEvents();
        EXPECT_TRUE(LeftColumnWhole(data)) << width;
    }

    // The heading band turns the tips off while it is open.
    BrowseViews::BrowseMenuOpen();
    EXPECT_EQ(w->tgBrowse->CellTips(), 0);
    BrowseViews::BrowseMenuClose();
    EXPECT_EQ(w->tgBrowse->CellTips(), 2);
}

// The data pane starts at the first used field but never scrolls the key column (ID, which
// names the row) out of sight: not as the browser opens, not after a sort.
TEST_F(BrowseWindow, TheKeyColumnIsTheFirstShownAsTheBrowserOpensAndAfterASort)
{
    main->resize(520, 420);   // narrower than the data columns
    OpenBackProp();
    BrowseViews::BrowseTest();
    frmBrowse* w = Current();
    ASSERT_NE(w, nullptr);
    QCoreApplication::processEvents();
    QTableView* pane = w->tgBrowse->DataPane();
    ASSERT_GT(pane->horizontalScrollBar()->maximum(), 0);
    EXPECT_EQ(pane->columnAt(0), 4);
    EXPECT_EQ(w->Model()->headerData(4, Qt::Horizontal, Qt::DisplayRole).toString(), "ID");
    w->tgBrowse->SetCurrent(0, 2);
    BrowseViews::SortDESC();
    QCoreApplication::processEvents();
    EXPECT_EQ(MainPanel(), "Sorted by:  [Predicted]");
    EXPECT_EQ(w->tgBrowse->DataPane()->columnAt(0), 4);
    // A row found is brought to the middle of the pane; sideways the pane moves only as far
    // as the found cell needs, by whole columns: the key column goes out of sight whole, never
    // cut with its heading over cells that look empty.
    auto* browser = dynamic_cast<CBrowseBase*>(gDataBrowse().get());
    ASSERT_NE(browser, nullptr);
    ASSERT_LT(pane->columnViewportPosition(6) + pane->columnWidth(6), pane->viewport()->width() + pane->columnWidth(4));
    browser->ShowRow(w->Model()->rowCount() - 1, 6);
    QCoreApplication::processEvents();
    EXPECT_TRUE(ColumnWhole(pane, 6));
    EXPECT_EQ(pane->columnAt(0), ColumnWhole(pane, 4) ? 4 : 5);
    EXPECT_TRUE(LeftColumnWhole(pane));
    EXPECT_EQ(w->tgBrowse->CurrentRow(), w->Model()->rowCount() - 1);
}

// Whatever moves the data pane sideways moves it by whole columns: a click on the half-shown
// right-most column, the arrow keys, the scroll bar, a row found, a sort.
TEST_F(BrowseWindow, TheDataPaneMovesByWholeColumnsOnEveryRoad)
{
    OpenBackProp();
    BrowseViews::BrowseTest();
    frmBrowse* w = Current();
    ASSERT_NE(w, nullptr);
    auto* browser = dynamic_cast<CBrowseBase*>(gDataBrowse().get());
    ASSERT_NE(browser, nullptr);
    QTableView* pane = w->tgBrowse->DataPane();
    const int last = w->Model()->columnCount() - 1;
    int clicked = 0;
    for (int width = 480; width <= 900; width += 47) {
        main->resize(width, 420);
        QCoreApplication::processEvents();
        w->tgBrowse->ScrollDataTo(4);
        w->tgBrowse->SetCurrent(1, 4);
        QCoreApplication::processEvents();
        const int cut = HalfShownOnTheRight(pane);
        if (cut < 0)
            continue;
        ++clicked;
        // The click: the column comes whole into view, and so does the one on the left.
        QTest::mouseClick(pane->viewport(), Qt::LeftButton, Qt::NoModifier,
                          QPoint(pane->columnViewportPosition(cut) + 3, pane->rowViewportPosition(1) + 5));
        EXPECT_EQ(w->tgBrowse->CurrentColumn(), cut) << width;
        // The view scrolls after the double-click time, so that a double click scrolls once.
        EXPECT_TRUE(QTest::qWaitFor([&] { return ColumnWhole(pane, cut); }, 3000)) << width;
        EXPECT_TRUE(LeftColumnWhole(pane)) << width;

        // The keys, to the last column and back.
        w->tgBrowse->SetCurrent(1, 4);
        pane->setFocus();
        for (int c = 5; c <= last; ++c) {
            QTest::keyClick(pane, Qt::Key_Right);
            EXPECT_EQ(w->tgBrowse->CurrentColumn(), c);
            EXPECT_TRUE(ColumnWhole(pane, c) && LeftColumnWhole(pane)) << width << " column " << c;
        }
        QTest::keyClick(pane, Qt::Key_Home);
        EXPECT_TRUE(LeftColumnWhole(pane)) << width;

        // The scroll bar, at every place and at its end.
        QScrollBar* bar = pane->horizontalScrollBar();
        for (int v = bar->minimum(); v <= bar->maximum(); ++v) {
            bar->setValue(v);
            EXPECT_TRUE(LeftColumnWhole(pane)) << width << " at " << v;
        }
        bar->triggerAction(QAbstractSlider::SliderToMaximum);
        EXPECT_TRUE(LeftColumnWhole(pane)) << width;
        EXPECT_TRUE(ColumnWhole(pane, last)) << width;

        // A row found in the last column, from the first.
        bar->setValue(0);
        browser->ShowRow(30, last);
        EXPECT_TRUE(ColumnWhole(pane, last) && LeftColumnWhole(pane)) << width;

        // A sort asked from the last column.
        w->tgBrowse->SetCurrent(2, last);
        BrowseViews::SortASC();
        QCoreApplication::processEvents();
        EXPECT_TRUE(ColumnWhole(pane, last) && LeftColumnWhole(pane)) << width;
    }
    EXPECT_GT(clicked, 5);

    // The whole table's browser, the keys to its last column.
    main->resize(480, 420);
    BrowseViews::ShowDefBrowser();
    frmBrowse* all = Current();
    ASSERT_NE(all, nullptr);
    QCoreApplication::processEvents();
    QTableView* allPane = all->tgBrowse->DataPane();
    ASSERT_GT(allPane->horizontalScrollBar()->maximum(), 0);
    all->tgBrowse->SetCurrent(0, 1);
    allPane->setFocus();
    for (int c = 2; c < all->Model()->columnCount(); ++c) {
        QTest::keyClick(allPane, Qt::Key_Right);
        EXPECT_TRUE(ColumnWhole(allPane, c) && LeftColumnWhole(allPane)) << "column " << c;
    }
}

// A click on a heading makes its column the current one, in either pane: the sort and the find
// take it. A drag on a heading (a resize) chooses nothing.
TEST_F(BrowseWindow, AHeadingClickedIsTheColumnTheSortAndTheFindTake)
{
    OpenBackProp();
    BrowseViews::BrowseTest();
    frmBrowse* w = Current();
    ASSERT_NE(w, nullptr);
    QCoreApplication::processEvents();
    FindTest::ClickHeading(w->tgBrowse->FixedPane(), 3);
    EXPECT_EQ(w->tgBrowse->CurrentColumn(), 3);
    BrowseViews::SortASC();
    EXPECT_EQ(MainPanel(), "Sorted by:  [Difference]");
    FindTest::ClickHeading(w->tgBrowse->DataPane(), 6);
    BrowseViews::SortDESC();
    EXPECT_EQ(MainPanel(), "Sorted by:  [Predicted],  [Difference]");
    EXPECT_EQ(w->tgBrowse->CurrentColumn(), 6);
    FindTest::ClickHeading(w->tgBrowse->DataPane(), 5);
    gDataBrowse()->ShowFind();
    ASSERT_NE(frmFind::Existing(), nullptr);
    EXPECT_EQ(frmFind::Existing()->windowTitle(), "Find in [Mark]");

    QHeaderView* header = w->tgBrowse->DataPane()->horizontalHeader();
    const int edge = header->sectionViewportPosition(4) + header->sectionSize(4) - 1;
    QTest::mousePress(header->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(edge, 5));
    QTest::mouseMove(header->viewport(), QPoint(edge + 30, 5));
    QTest::mouseRelease(header->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(edge + 30, 5));
    EXPECT_EQ(w->tgBrowse->CurrentColumn(), 5);
    EXPECT_TRUE(prompts.Boxes().empty());
}

TEST_F(BrowseWindow, SortingByAwkwardNamesOrdersRowsAndNamesTheKeys)
{
    OpenBackProp();
    BrowseViews::BrowseTest();
    frmBrowse* w = Current();
    ASSERT_NE(w, nullptr);
    Exec("UPDATE Test SET Mark = -1 WHERE MainPrimaryKey IN (7, 12, 33)");
    // The source's field Mark, ascending: 10, 20, 30, 40 (value 0) come first.
    w->tgBrowse->SetCurrent(0, 5);
    BrowseViews::SortASC();
    EXPECT_EQ(MainPanel(), "Sorted by:  [Mark]");
    auto rows = AllRows(w);
    for (size_t i = 1; i < rows.size(); ++i)
        ASSERT_LE(rows[i - 1][5].toDouble(), rows[i][5].toDouble());
    EXPECT_EQ(rows[0][4].toInt(), 10);
    EXPECT_EQ(w->tgBrowse->CurrentColumn(), 5);
    // Then Test's own Mark, ascending: the marked rows (-1) first, each group still by the
    // source's Mark.
    w->tgBrowse->SetCurrent(0, 0);
    BrowseViews::SortASC();
    EXPECT_EQ(MainPanel(), "Sorted by:  [Mark],  [Mark]");
    rows = AllRows(w);
    EXPECT_EQ(rows[0][4].toInt(), 12);   // source Mark 2
    EXPECT_EQ(rows[1][4].toInt(), 33);   // 3
    EXPECT_EQ(rows[2][4].toInt(), 7);    // 7
    EXPECT_EQ(rows[3][4].toInt(), 10);
    // A field named a]b sorts as any other; the last key drops out after three.
    w->tgBrowse->SetCurrent(0, 7);
    BrowseViews::SortDESC();
    w->tgBrowse->SetCurrent(0, 9);
    BrowseViews::SortASC();
    EXPECT_EQ(MainPanel(), "Sorted by:  [DateFrom],  [a]b],  [Mark]");
    // Nulls come first ascending and last descending, as SQLite orders them.
    {
        kdb::Database src = kdb::Database::Open(folder + "/bpsource.mdb", false, false);
        src.Execute("UPDATE Data SET Predicted = NULL WHERE ID = 17");
    }
    gDataBrowse()->Refresh();
    w->tgBrowse->SetCurrent(0, 6);
    BrowseViews::SortDESC();
    EXPECT_EQ(AllRows(w).back()[4].toInt(), 17);
    EXPECT_EQ(AllRows(w).front()[4].toInt(), 40);
    BrowseViews::SortASC();
    EXPECT_EQ(AllRows(w).front()[4].toInt(), 17);
    EXPECT_EQ(AllRows(w)[1][4].toInt(), 1);
    // Refresh clears the keys.
    gDataBrowse()->Refresh();
    EXPECT_TRUE(w->RecordSource().sortKeys[0].IsFree());
    EXPECT_EQ(AllRows(w)[0][4].toInt(), 1);
    EXPECT_TRUE(prompts.Boxes().empty());
}

TEST_F(BrowseWindow, TheTestDialogsBrowseListsTheWorstRowsFirstUntilASort)
{
    OpenBackProp();
    const auto differences = [](const std::vector<BlockCache::Row>& rows) {
        std::vector<double> d;
        for (const auto& r : rows)
            d.push_back(r[3].toDouble());
        return d;
    };
    // The view of Close: the testing rows in their order, which is not the worst first.
    BrowseViews::BrowseTest();
    ASSERT_NE(Current(), nullptr);
    const std::vector<double> plain = differences(AllRows(Current()));
    ASSERT_EQ(plain.size(), 40u);
    EXPECT_FALSE(std::is_sorted(plain.rbegin(), plain.rend()));

    BrowseViews::BrowseTestWorstFirst();
    frmBrowse* w = Current();
    ASSERT_NE(w, nullptr);
    std::vector<double> worst = differences(AllRows(w));
    ASSERT_EQ(worst.size(), 40u);
    EXPECT_TRUE(std::is_sorted(worst.rbegin(), worst.rend()));
    EXPECT_EQ(worst.front(), *std::max_element(plain.begin(), plain.end()));
    EXPECT_EQ(MainPanel(), "Browsing results of tested data.");
    // A sort replaces that order, as any other.
    w->tgBrowse->SetCurrent(0, 4);
    BrowseViews::SortASC();
    EXPECT_EQ(AllRows(w)[0][4].toInt(), 1);
    EXPECT_TRUE(prompts.Boxes().empty());
}

TEST_F(BrowseWindow, MarksAreWrittenByKeyAndKeptInTheProject)
{
    OpenBackProp();
    BrowseViews::BrowseTest();
    frmBrowse* w = Current();
    ASSERT_NE(w, nullptr);
    // A sorted view: the row on screen is found by its key, not its position.
    w->tgBrowse->SetCurrent(0, 6);
    BrowseViews::SortDESC();   // the source's Predicted descending: ID 40 first
    Cell(w, 0, 0);
    emit w->tgBrowse->CellDoubleClicked(0, 3);
    EXPECT_EQ(Scalar("SELECT Mark FROM Test WHERE MainPrimaryKey = 40"), -1);
    EXPECT_FALSE(Cell(w, 0, 0, Qt::DecorationRole).isNull());
    w->tgBrowse->SetCurrent(1, 5);
    emit w->tgBrowse->SpacePressed();
    EXPECT_EQ(Scalar("SELECT Mark FROM Test WHERE MainPrimaryKey = 39"), -1);
    emit w->tgBrowse->CellDoubleClicked(0, 3);   // toggles back
    EXPECT_EQ(Scalar("SELECT Mark FROM Test WHERE MainPrimaryKey = 40"), 0);
    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM Test WHERE Mark <> 0"), 1);
    // A double click on a row's record selector toggles that row's mark as well.
    QHeaderView* selectors = w->tgBrowse->FixedPane()->verticalHeader();
    const QPoint third(selectors->width() / 2, selectors->sectionViewportPosition(2) + selectors->sectionSize(2) / 2);
    QTest::mouseDClick(selectors->viewport(), Qt::LeftButton, Qt::NoModifier, third);
    EXPECT_EQ(Scalar("SELECT Mark FROM Test WHERE MainPrimaryKey = 38"), -1);
    QTest::mouseDClick(selectors->viewport(), Qt::LeftButton, Qt::NoModifier, third);
    EXPECT_EQ(Scalar("SELECT Mark FROM Test WHERE MainPrimaryKey = 38"), 0);
    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM Test WHERE Mark <> 0"), 1);

    // Closed and opened again, the project still has the mark.
    modMenu::RemoveChildForms();
    FlushDeletes();
    const QString file = CurrentNetworkAs<CBackProp>()->State().ProjectFileName();
    SetCurrentNetwork(nullptr);
    auto bp = std::make_shared<CBackProp>();
    bp->Initialize(file);
    SetCurrentNetwork(bp);
    BrowseViews::BrowseTest();
    w = Current();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(Cell(w, 38, 4).toString(), "39");
    EXPECT_FALSE(Cell(w, 38, 0, Qt::DecorationRole).isNull());
}

TEST_F(BrowseWindow, MarkCommandsActOnTheViewInOneStatement)
{
    OpenBackProp();
    Exec("UPDATE Test SET Mark = -1 WHERE MainPrimaryKey % 4 = 0");
    Exec("UPDATE Test SET Mark = NULL WHERE MainPrimaryKey = 1");
    BrowseViews::BrowseTest();
    frmBrowse* w = Current();
    ASSERT_NE(w, nullptr);
    const auto pattern = [&] {
        kdb::Database db = kdb::Database::Open(project, false, true);
        kdb::Snapshot s = db.OpenSnapshot("SELECT MainPrimaryKey, Mark FROM Test ORDER BY MainPrimaryKey");
        QString p;
        for (int i = 0; i < s.RecordCount(); ++i)
            p += s.Row(i)[1].isNull() ? 'n' : s.Row(i)[1].toInt() == -1 ? 'x' : s.Row(i)[1].toInt() == 0 ? '.' : '?';
        return p;
    };
    const QString before = pattern();
    BrowseViews::MarkAllCurrent(1);
    EXPECT_EQ(pattern(), QString(before).replace('x', 'X').replace('.', 'x').replace('X', '.'));
    BrowseViews::MarkAllCurrent(1);   // twice restores; Null stays Null
    EXPECT_EQ(pattern(), before);
    // Sorted: the same rows.
    w->tgBrowse->SetCurrent(0, 8);
    BrowseViews::SortASC();
    BrowseViews::MarkAllCurrent(-1);
    EXPECT_EQ(pattern(), QString(40, 'x'));
    EXPECT_FALSE(Cell(w, 0, 0, Qt::DecorationRole).isNull());   // the grid shows the new marks
    BrowseViews::MarkAllCurrent(0);
    EXPECT_EQ(pattern(), QString(40, '.'));

    // Marked selected: only the selected rows.
    w->tgBrowse->DataPane()->selectRow(2);
    w->tgBrowse->DataPane()->selectionModel()->select(w->Model()->index(5, 0),
                                                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
    const auto selected = w->tgBrowse->SelectedRows();
    ASSERT_EQ(selected.size(), 2u);
    BrowseViews::MarkSelected();
    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM Test WHERE Mark = -1"), 2);

    // A failure half-way changes nothing.
    Exec("CREATE TRIGGER stop BEFORE UPDATE ON Test WHEN NEW.MainPrimaryKey = 30 "
         "BEGIN SELECT RAISE(ABORT, 'disk full'); END");
    prompts.ExpectBox(MsgResult::Ok);
    BrowseViews::MarkAllCurrent(-1);
    ASSERT_EQ(prompts.Boxes().size(), 1u);
    EXPECT_EQ(prompts.Boxes()[0].title, "modMenu::MarkAllCurrent");
    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM Test WHERE Mark = -1"), 2);
}

TEST_F(BrowseWindow, BackPropDrillDownListsEveryRowNearestFirst)
{
    OpenBackProp();
    {
        // A row whose actual value is missing has no distance: it comes last, not first.
        kdb::Database db = kdb::Database::Open(folder + "/bpsource.mdb", false, false);
        db.Execute("UPDATE Data SET Y = NULL WHERE ID = 7");
    }
    BrowseViews::BrowseOutlyers("10,5", "9");   // predicted, actual
    frmBrowse* w = Current();
    ASSERT_NE(w, nullptr);
    const auto rows = AllRows(w);
    ASSERT_EQ(rows.size(), 40u);
    double last = -1;
    for (size_t i = 0; i + 1 < rows.size(); ++i) {
        const auto& r = rows[i];
        ASSERT_FALSE(r[1].isNull()) << i;
        const double d = std::pow(r[1].toDouble() - 9, 2) + std::pow(r[2].toDouble() - 10.5, 2);
        EXPECT_GE(d + 1e-9, last);
        last = d;
    }
    EXPECT_TRUE(rows.back()[1].isNull());
    EXPECT_EQ(rows.back()[4].toInt(), 7);
    // The scatter chart's entry passes its numbers exactly, whatever the locale.
    QLocale::setDefault(QLocale(QLocale::German));
    dbUtilities::ShowOutliersAt(10.5, 9.0);
    QLocale::setDefault(QLocale::c());
    ASSERT_NE(Current(), nullptr);
    EXPECT_EQ(Current()->RecordSource().distanceFrom, std::make_pair(10.5, 9.0));
    w = Current();
    // Marks of a drill-down without filter act on every row.
    BrowseViews::MarkAllCurrent(-1);
    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM Test WHERE Mark = -1"), 40);
    // A point that is no number shows a box and opens nothing.
    prompts.ExpectBox(MsgResult::Ok);
    BrowseViews::BrowseOutlyers("x", "9");
    EXPECT_EQ(prompts.Boxes().size(), 1u);
    EXPECT_EQ(Current(), nullptr);
}

TEST_F(BrowseWindow, SFamDrillDownsFilterNumericAndTextClasses)
{
    OpenSFam("Cls");
    // Every third row predicted wrong (class 9 of no row), the others right.
    {
        kdb::Database db = kdb::Database::Open(project, false, false);
        db.Execute("UPDATE Test SET Predicted = CASE WHEN MainPrimaryKey % 3 = 0 THEN '9' "
                   "ELSE CAST(MainPrimaryKey % 3 + 1 AS TEXT) END");
    }
    BrowseViews::BrowseOutlyers("2", "");   // predicted class 2
    frmBrowse* w = Current();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(ColumnNames(w).mid(0, 4),
              QStringList({"Test.Mark", kLink + ".Cls", "Test.Predicted", kLink + ".ID"}));
    EXPECT_EQ(w->Data1().RowCount(), 10);
    EXPECT_EQ(Cell(w, 0, 2).toString(), "2");   // the class as the network wrote it
    BrowseViews::BrowseOutlyers("", "1");   // actual class 1: IDs 3, 6, ... (all predicted 9)
    w = Current();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->Data1().RowCount(), 10);
    BrowseViews::BrowseOutlyers("9", "1");
    EXPECT_EQ(Current()->Data1().RowCount(), 10);
    BrowseViews::BrowseOutlyers("2", "1");
    EXPECT_EQ(Current()->Data1().RowCount(), 0);
    // A whole-number class past 2^53 is told from its neighbour, which a double takes it for.
    {
        kdb::Database db = kdb::Database::Open(folder + "/sfsource.mdb", false, false);
        db.Execute("UPDATE Seeds SET Cls = 9007199254740993 WHERE Cls = 1");
        db.Execute("UPDATE Seeds SET Cls = 9007199254740992 WHERE ID = 3");
    }
    BrowseViews::BrowseOutlyers("", "9007199254740993");
    EXPECT_EQ(Current()->Data1().RowCount(), 9);

    BrowseViews::MENU_SFShowErrors();
    w = Current();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->Data1().RowCount(), 10);
    // The SFAM browser names the window once it is bound.
    EXPECT_EQ(w->windowTitle(), "Browse Test Results");
    EXPECT_EQ(MainPanel(), "Browsing incorrect predictions.");
    EXPECT_TRUE(main->MainToolBar()->Enabled(ToolName::SFFindError));
    // Marking all in the errors view marks only its rows.
    BrowseViews::MarkAllCurrent(-1);
    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM Test WHERE Mark = -1"), 10);
    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM Test WHERE Mark = -1 AND MainPrimaryKey % 3 <> 0"), 0);
    BrowseViews::MENU_SFShowCorrect();
    EXPECT_EQ(Current()->Data1().RowCount(), 20);
    EXPECT_EQ(Current()->windowTitle(), "Browse Test Results");
    EXPECT_FALSE(main->MainToolBar()->Enabled(ToolName::SFFindError));
    // Another kind lists every row and keeps the window's caption.
    frmBrowse* any = dbUtilities::BuildSpcBrowser(7);
    ASSERT_NE(any, nullptr);
    EXPECT_EQ(any->Data1().RowCount(), 30);
    EXPECT_EQ(any->windowTitle(), "Browse");
}

TEST_F(BrowseWindow, SFamTextClassesWithQuotesAreFoundAsValues)
{
    OpenSFam("Name");
    const QString briar = "O'Brien \"Briar\"";
    {
        kdb::Database db = kdb::Database::Open(project, false, false);
        db.Execute("UPDATE Test SET Predicted = ? WHERE MainPrimaryKey % 3 = 1", {briar});
        db.Execute("UPDATE Test SET Predicted = 'Amber' WHERE MainPrimaryKey % 3 <> 1");
    }
    BrowseViews::BrowseOutlyers(briar, briar);
    frmBrowse* w = Current();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->Data1().RowCount(), 10);
    BrowseViews::BrowseOutlyers("", "amber");   // text compares ignoring case, as Jet does
    EXPECT_EQ(Current()->Data1().RowCount(), 10);
    BrowseViews::MENU_SFShowCorrect();
    EXPECT_EQ(Current()->Data1().RowCount(), 20);   // Amber rows (ID % 3 = 0) and Briar rows
    EXPECT_TRUE(prompts.Boxes().empty());
}

TEST_F(BrowseWindow, ClosingTheBrowsesBeforeATestLosesNoMarkAndLeavesNoStalePointer)
{
    OpenBackProp();
    BrowseViews::BrowseTest();
    frmBrowse* w = Current();
    ASSERT_NE(w, nullptr);
    Cell(w, 4, 0);
    emit w->tgBrowse->CellDoubleClicked(4, 0);
    EXPECT_EQ(Scalar("SELECT Mark FROM Test WHERE MainPrimaryKey = 5"), -1);
    QPointer<frmBrowse> guard(w);
    host.closed = 0;
    ASSERT_EQ(CurrentNetworkAs<CBackProp>()->Test(), TestOutcome::Done);   // rebuilds the project file
    EXPECT_EQ(host.closed, 1);
    EXPECT_FALSE(gBrowseForm());
    EXPECT_FALSE(gDataBrowse());
    EXPECT_FALSE(gIMode());
    EXPECT_TRUE(!guard || !guard->isVisible());
    FlushDeletes();
    EXPECT_FALSE(guard);
    // The commands that act on the current browse do nothing now.
    BrowseViews::SortASC();
    BrowseViews::MarkAllCurrent(-1);
    BrowseViews::MarkSelected();
    BrowseViews::BrowseMenuOpen();
    EXPECT_TRUE(prompts.Boxes().empty());
    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM Test"), 40);
}

TEST_F(BrowseWindow, RowsAreReadLazilyAndTheWindowFollowsActivation)
{
    OpenBackProp(600);
    frmBrowse* w = dbUtilities::BuildBrowser();
    ASSERT_NE(w, nullptr);
    BrowseModel* m = w->Model();
    // The first rows come at once; the loader reads the rest of the key list meanwhile, and
    // the testing range stands for the count until then.
    EXPECT_EQ(m->rowCount(), BrowseRowSource::FirstRows);
    EXPECT_EQ(UserPanel(), "600 Rows");
    for (int i = 0; i < 500 && w->Data1().Loading(); ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(5);
    }
    QCoreApplication::processEvents();
    ASSERT_FALSE(w->Data1().Loading());
    EXPECT_EQ(m->rowCount(), 600);
    EXPECT_EQ(w->RowCount(), 600);
    EXPECT_FALSE(m->Cache().HasBlock(4));
    const QModelIndex last = m->index(599, 4);
    EXPECT_FALSE(m->data(last).isValid());   // not read yet: blank, and asked for
    QCoreApplication::processEvents();
    EXPECT_EQ(m->data(last).toString(), "600");
    EXPECT_TRUE(m->Cache().HasBlock(4));
    EXPECT_FALSE(m->Cache().HasBlock(2));

    // Activation shows the row count; losing it clears the panel and the browse tools.
    gNavigate().Navigate(navBrowsing);
    w->Activated();
    EXPECT_EQ(UserPanel(), "600 Rows");
    w->Deactivated();
    EXPECT_EQ(UserPanel(), "");
    EXPECT_FALSE(main->MainToolBar()->Enabled(ToolName::MarkAll));
    w->SetRowCount(-1);
    gVeltra().StatusBar().Message("kept", true);
    w->Activated();
    w->Deactivated();
    EXPECT_EQ(UserPanel(), "kept");
    // A sort while the loader runs, and a close while it runs, wait for nothing and lose no row.
    BrowseViews::BrowseTest();
    frmBrowse* again = Current();
    ASSERT_NE(again, nullptr);
    EXPECT_TRUE(again->Data1().Loading());
    again->tgBrowse->SetCurrent(0, 5);
    BrowseViews::SortASC();
    EXPECT_FALSE(again->Data1().Loading());
    EXPECT_EQ(again->Data1().RowCount(), 600);
    frmBrowse* third = dbUtilities::BuildBrowser();
    ASSERT_NE(third, nullptr);
    dbUtilities::CloseBrowsers();
    FlushDeletes();
    w = dbUtilities::BuildBrowser();
    ASSERT_NE(w, nullptr);
    w->Data1().WaitLoaded();
    EXPECT_EQ(w->Model()->rowCount(), 600);
    // The strip takes its height off the grid.
    const int before = w->tgBrowse->height();
    w->picIMode->show();
    w->Resize();
    EXPECT_EQ(w->tgBrowse->height(), before - w->picIMode->height());
}

// A background read that fails keeps the rows it read and says so in a box; the view stays
// open and usable.
TEST_F(BrowseWindow, AFailedBackgroundReadKeepsItsRowsAndSaysSo)
{
    OpenBackProp(3000);
    struct ProbeGuard {
        ~ProbeGuard() { BrowseRowSource::LoaderProbe() = nullptr; }
    } guard;
    BrowseRowSource::LoaderProbe() = [](int64_t read) {
        if (read == 2048)
            throw KvError(3043, {}, QStringLiteral("Disk or network error."));
    };
    prompts.ExpectBox(MsgResult::Ok);
    frmBrowse* w = dbUtilities::BuildBrowser();
    ASSERT_NE(w, nullptr);
    w->Data1().WaitLoaded();
    ASSERT_EQ(prompts.Boxes().size(), 1u);
    EXPECT_EQ(prompts.LastBox().title, "frmBrowse::Data1");
    EXPECT_EQ(prompts.LastBox().text, "Error: 3043. \nDisk or network error.\nThe rest of the view could not be read: "
                                      "it shows the first 2048 rows only.");
    EXPECT_EQ(w->Model()->rowCount(), 2048);
    EXPECT_EQ(UserPanel(), "2048 Rows");
    EXPECT_EQ(Cell(w, 2047, 4).toString(), "2048");
    QPointer<frmBrowse> open(w);
    FlushDeletes();
    EXPECT_TRUE(open && open->isVisible());

    // Failing before it reads anything, it keeps the first rows.
    BrowseRowSource::LoaderProbe() = [](int64_t) { throw KvError(3043, {}, QStringLiteral("Disk or network error.")); };
    prompts.ExpectBox(MsgResult::Ok);
    w = dbUtilities::BuildBrowser();
    ASSERT_NE(w, nullptr);
    w->Data1().WaitLoaded();
    EXPECT_EQ(prompts.Boxes().size(), 2u);
    EXPECT_TRUE(prompts.LastBox().text.endsWith("the first 512 rows only."));
    EXPECT_EQ(w->Model()->rowCount(), 512);
}

// Another program holds the project file, both kinds: rows that cannot be read are said once,
// never cached as blank rows, and read when the grid next shows them; a mark toggled then
// says why it was not set, and the grid and the file keep the old one.
TEST_F(BrowseWindow, RowsAndMarksUnderAnotherProgramsLockSayItOnceAndAreReadAgain)
{
    for (const bool sfam : {false, true}) {
        SCOPED_TRACE(sfam ? "SFAM" : "back-propagation");
        if (sfam)
            OpenSFam("Cls");
        else
            OpenBackProp();
        prompts.Clear();
        BrowseViews::BrowseTest();
        frmBrowse* w = Current();
        ASSERT_NE(w, nullptr);
        BrowseModel* m = w->Model();
        const int key = sfam ? 3 : 4;
        kdb::Database other = kdb::Database::Open(project, false, false);
        other.Execute("BEGIN EXCLUSIVE");
        prompts.ExpectBox(MsgResult::Ok);
        EXPECT_EQ(Cell(w, 1, key).toString(), "#Error");
        ASSERT_EQ(prompts.Boxes().size(), 1u);
        EXPECT_EQ(prompts.LastBox().title, "frmBrowse::Data1");
        // Asked again while the lock holds: no second box, nothing cached.
        EXPECT_EQ(Cell(w, 1, key).toString(), "#Error");
        EXPECT_EQ(prompts.Boxes().size(), 1u);
        EXPECT_FALSE(m->Cache().HasBlock(0));
        // The space bar on a row that cannot be read says so.
        prompts.ExpectBox(MsgResult::Ok);
        w->tgBrowse->SetCurrent(1, key);
        emit w->tgBrowse->SpacePressed();
        ASSERT_EQ(prompts.Boxes().size(), 2u);
        EXPECT_EQ(prompts.LastBox().title, sfam ? "CSFamBrowse::ToggleMark" : "CTestBrowse::ToggleMark");
        other.Execute("ROLLBACK");
        // The lock gone, the rows are read when the grid next shows them.
        EXPECT_EQ(Cell(w, 1, key).toString(), "2");
        EXPECT_TRUE(Cell(w, 1, 0, Qt::DecorationRole).isNull());

        // A write lock: the mark toggled says it was not set and the grid keeps the old one.
        other.Execute("BEGIN IMMEDIATE");
        prompts.ExpectBox(MsgResult::Ok);
        emit w->tgBrowse->SpacePressed();
        ASSERT_EQ(prompts.Boxes().size(), 3u);
        EXPECT_EQ(prompts.LastBox().title, sfam ? "CSFamBrowse::ToggleMark" : "CTestBrowse::ToggleMark");
        EXPECT_TRUE(Cell(w, 1, 0, Qt::DecorationRole).isNull());
        other.Execute("ROLLBACK");
        EXPECT_EQ(Scalar("SELECT COUNT(*) FROM Test WHERE Mark <> 0"), 0);
        emit w->tgBrowse->SpacePressed();
        EXPECT_EQ(Scalar("SELECT Mark FROM Test WHERE MainPrimaryKey = 2"), -1);
        EXPECT_FALSE(Cell(w, 1, 0, Qt::DecorationRole).isNull());

        // A later failure, after reads that went through, is said again.
        m->Invalidate();
        other.Execute("BEGIN EXCLUSIVE");
        prompts.ExpectBox(MsgResult::Ok);
        EXPECT_EQ(Cell(w, 1, key).toString(), "#Error");
        EXPECT_EQ(prompts.Boxes().size(), 4u);
        other.Execute("ROLLBACK");
        EXPECT_EQ(Cell(w, 1, key).toString(), "2");
        dbUtilities::CloseBrowsers();
        FlushDeletes();
    }
}

// A table of 300 rows on the tests' database server.
pgtest::Server& ServerWithRows300()
{
    pgtest::Server& server = pgtest::Server::Get();
    QStringList values;
    for (int i = 1; i <= 300; ++i)
        values << QStringLiteral("(%1, %2, %3)").arg(i).arg(i % 10).arg(double(i % 10) * 2.0 + 1.0);
    server.Sql("DROP TABLE IF EXISTS rows300; CREATE TABLE rows300 (\"ID\" integer PRIMARY KEY, \"X\" double precision, "
               "\"Y\" double precision); INSERT INTO rows300 VALUES " + values.join(',') + ";");
    return server;
}

// The same over a table on a database server that stops: the rows it cannot give are said once
// and read when the grid next shows them after the server is back.
TEST_F(BrowseWindow, RowsOfAStoppedServerAreSaidOnceAndReadWhenItIsBack)
{
    pgtest::Server& server = ServerWithRows300();
    OpenTestedBackProp(server.Connect(), "public.rows300", {{"X", roleInput, 0, 10}, {"Y", roleBPPredict, 0, 20}},
                       {1, 150, 1, 300}, 1);
    BrowseViews::BrowseTest();
    frmBrowse* w = Current();
    ASSERT_NE(w, nullptr);
    w->Data1().WaitLoaded();
    EXPECT_EQ(Cell(w, 1, 4).toString(), "2");
    server.Stop();
    prompts.ExpectBox(MsgResult::Ok);
    EXPECT_EQ(Cell(w, 200, 4).toString(), "#Error");
    EXPECT_EQ(Cell(w, 200, 4).toString(), "#Error");
    EXPECT_EQ(prompts.Boxes().size(), 1u);
    server.Start();
    EXPECT_EQ(Cell(w, 200, 4).toString(), "201");
    EXPECT_EQ(prompts.Boxes().size(), 1u);
}

// The other reads of a server's table with the server stopped: the statistics fail with one
// error, Find and Export Marked Rows with one box each, the program goes on, and each works
// once the server is back.
TEST_F(BrowseWindow, StatisticsFindAndExportOfAStoppedServerAreOneErrorEachAndWorkWhenItIsBack)
{
    pgtest::Server& server = ServerWithRows300();
    const std::shared_ptr<CBackProp> bp = TestedBackProp(
        folder, server.Connect(), "public.rows300", {{"X", roleInput, 0, 10}, {"Y", roleBPPredict, 0, 20}}, {1, 150, 1, 300}, 1);
    ASSERT_TRUE(bp);
    SetCurrentNetwork(bp);
    project = bp->State().ProjectFileName();
    const std::shared_ptr<CDataDef> ddo = bp->State().DDO();
    BrowseViews::BrowseTest();
    frmBrowse* w = Current();
    ASSERT_NE(w, nullptr);
    w->Data1().WaitLoaded();
    w->tgBrowse->SetCurrent(0, 4);
    gDataBrowse()->ShowFind();
    frmFind* f = frmFind::Existing();
    ASSERT_NE(f, nullptr);
    f->cmbFind->setEditText("201");
    const QString csv = folder + "/marked.csv";
    Exec("UPDATE Test SET Mark = -1 WHERE MainPrimaryKey <= 3");

    server.Stop();
    // Boxes by title: the grid's own read, when it repaints meanwhile, says its loss once too.
    const auto boxes = [&](const QString& title) {
        return std::count_if(prompts.Boxes().begin(), prompts.Boxes().end(),
                             [&](const auto& b) { return b.title == title; });
    };
    prompts.AllowAnyBox();
    try {
        ddo->GatherStats(true);
        ADD_FAILURE() << "statistics over a stopped server";
    } catch (const KvError& e) {
        EXPECT_TRUE(e.shown());
    }
    EXPECT_EQ(boxes("Open Database (3151)"), 1);
    f->cmdFindNext->click();
    EXPECT_EQ(boxes("CTestBrowse::mFFind_FindNext"), 1);
    // The export asks for no file: its read of the source fails first.
    Utilities::ExportMarked(project, ddo.get());
    EXPECT_EQ(boxes("Export Marked"), 1);
    EXPECT_FALSE(QFile::exists(csv));
    EXPECT_LE(boxes("frmBrowse::Data1"), 1);
    const size_t said = prompts.Boxes().size();
    EXPECT_EQ(said, 3u + size_t(boxes("frmBrowse::Data1")));

    server.Start();
    ddo->GatherStats(true);
    EXPECT_EQ(ddo->RecordCount(), 300);
    f->cmdFindNext->click();
    EXPECT_EQ(w->tgBrowse->CurrentRow(), 200);
    prompts.ExpectFile({false, csv});
    Utilities::ExportMarked(project, ddo.get());
    EXPECT_TRUE(QFile::exists(csv));
    EXPECT_EQ(prompts.Boxes().size(), said);
}

// A source table that lost a field the views read: one box names the field, and no window
// opens (neither the results grid nor its interactive row).
TEST_F(BrowseWindow, ASourceTableThatLostAFieldIsNamedAndNothingOpens)
{
    OpenBackProp();
    {
        kdb::Database db = kdb::Database::Open(folder + "/bpsource.mdb", false, false);
        db.Execute("ALTER TABLE Data DROP COLUMN DateFrom");
    }
    main->MainToolBar()->SetChecked(ToolName::ShowIMode, true);
    prompts.ExpectBox(MsgResult::Ok);
    BrowseViews::BrowseTest();
    FlushDeletes();
    ASSERT_EQ(prompts.Boxes().size(), 1u);
    EXPECT_EQ(prompts.LastBox().title, "dbUtilities::BuildBrowser");
    EXPECT_EQ(prompts.LastBox().text,
              "Error: 3265. \nThe source table Data no longer has the field [DateFrom] that this project uses.");
    EXPECT_EQ(Current(), nullptr);
    EXPECT_EQ(gIMode(), nullptr);
    EXPECT_TRUE(main->findChildren<frmBrowse*>().isEmpty());
    EXPECT_EQ(MainPanel(), QString()); // no text speaks of a browse that is not there

    prompts.ExpectBox(MsgResult::Ok);
    BrowseViews::ShowDefBrowser();
    FlushDeletes();
    ASSERT_EQ(prompts.Boxes().size(), 2u);
    EXPECT_EQ(prompts.LastBox().title, "dbUtilities::BuildDefBrowser");
    EXPECT_TRUE(main->findChildren<frmBrowse*>().isEmpty());
}
