// The SFAM results browser and the whole-table browser over fixture projects: misclassified
// rows in red bold (case ignored, a missing actual class counts), "N/A" for the no-prediction
// marker, class names as stored, sorting by the column remembered last; the whole table's
// headings by role, its one fixed column and its tips.
#include "browse/browsegrid.h"
#include "browse/browsemodel.h"
#include "browse/sfambrowse.h"
#include "core/widgets/winhelpers.h"
#include "tests/browse/browsefixture.h"
#include "tests/browse/findfixture.h"

#include <QFont>
#include <QHeaderView>
#include <QTableView>

using namespace BrowseTest;
using namespace FindTest;
using kdb::Value;

namespace {

QVariant Heading(frmBrowse* w, int column, int role)
{
    return w->Model()->headerData(column, Qt::Horizontal, role);
}

bool Styled(frmBrowse* w, int row)
{
    const QVariant fore = Cell(w, row, 1, Qt::ForegroundRole);
    const QVariant font = Cell(w, row, 1, Qt::FontRole);
    const bool red = fore.isValid() && fore.value<QColor>() == QColor(255, 0, 0);
    const bool bold = font.isValid() && font.value<QFont>().bold();
    EXPECT_EQ(red, bold) << "row " << row;
    return red;
}

class SFamBrowse : public BrowseTestBase {};

} // namespace

TEST_F(SFamBrowse, MisclassifiedRowsAreRedBoldAndTheMarkerShowsNA)
{
    OpenSFam("Name");
    // ID 1: actual O'Brien "Briar", predicted in lower case; ID 2: actual Cobalt, predicted
    // Versicolor; ID 3: no actual class; ID 4: no prediction; ID 5: right.
    Exec("UPDATE Test SET Predicted = ? WHERE MainPrimaryKey = 1", {QString("o'brien \"briar\"")});
    Exec("UPDATE Test SET Predicted = 'Versicolor' WHERE MainPrimaryKey = 2");
    Exec("UPDATE Test SET Predicted = ? WHERE MainPrimaryKey = 4", {NoPredictionText()});
    Exec("UPDATE Test SET Predicted = 'Cobalt' WHERE MainPrimaryKey = 5");
    {
        kdb::Database db = kdb::Database::Open(folder + "/sfsource.mdb", false, false);
        db.Execute("UPDATE Seeds SET Name = NULL WHERE ID = 3");
    }
    BrowseViews::BrowseTest();
    frmBrowse* w = Current();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->windowTitle(), "Browse Test Results");
    EXPECT_EQ(w->property("HelpContextID").toInt(), 6400);
    EXPECT_EQ(w->tgBrowse->FixedColumns(), 3);
    EXPECT_FALSE(Styled(w, 0));
    EXPECT_TRUE(Styled(w, 1));
    EXPECT_TRUE(Styled(w, 2));
    EXPECT_TRUE(Styled(w, 3));
    EXPECT_FALSE(Styled(w, 4));
    EXPECT_EQ(Cell(w, 3, 2).toString(), "N/A");
    EXPECT_EQ(Cell(w, 1, 2).toString(), "Versicolor");
    // The style stays in the fixed pane.
    EXPECT_FALSE(Cell(w, 1, 4, Qt::FontRole).isValid());

    EXPECT_EQ(CSFamBrowse::PredictedText(Value()), "N/A");
    EXPECT_EQ(CSFamBrowse::PredictedText(Value(QString("-123.456 "))), "N/A");
    EXPECT_EQ(CSFamBrowse::PredictedText(Value(QString("Setosa"))), "Setosa");
    EXPECT_FALSE(CSFamBrowse::Misclassified(Value(1.0), Value(QString("1"))));
}

TEST_F(SFamBrowse, NumericClassesKeepTheirTextAndSortingUsesTheRememberedColumn)
{
    OpenSFam("Cls");
    BrowseViews::BrowseTest();
    frmBrowse* w = Current();
    ASSERT_NE(w, nullptr);
    // A class 2 is shown as 2, not in a number format.
    for (int row = 0; row < 3; ++row) {
        const QString predicted = Cell(w, row, 2).toString();
        EXPECT_FALSE(predicted.contains('.')) << predicted.toStdString();
    }
    // Right after opening the sort key is Mark.
    BrowseViews::SortASC();
    EXPECT_EQ(MainPanel(), "Sorted by:  [Mark]");
    // A right click in the heading of column 4 (X1): the sort takes it even after a click
    // elsewhere.
    auto* browser = dynamic_cast<CSFamBrowse*>(gDataBrowse().get());
    ASSERT_NE(browser, nullptr);
    browser->HeadingMenu(4);
    w->tgBrowse->SetCurrent(2, 5);
    BrowseViews::SortDESC();
    EXPECT_EQ(MainPanel(), "Sorted by:  [X1],  [Mark]");
    EXPECT_EQ(w->tgBrowse->CurrentColumn(), 4);
    EXPECT_EQ(w->RecordSource().sortKeys[0].column.field, "X1");
    EXPECT_TRUE(w->RecordSource().sortKeys[0].desc);
    // The fixed columns keep their width; the data columns may be resized.
    EXPECT_EQ(w->tgBrowse->FixedPane()->horizontalHeader()->sectionResizeMode(2), QHeaderView::Fixed);
    EXPECT_EQ(w->tgBrowse->DataPane()->horizontalHeader()->sectionResizeMode(3), QHeaderView::Interactive);
    EXPECT_TRUE(prompts.Boxes().empty());
}

// The SFAM browser sorts by the column chosen last in the headings: a left click chooses as a
// right click does, and a click on a cell later does not.
TEST_F(SFamBrowse, AHeadingClickedIsTheColumnTheSortTakes)
{
    OpenSFam("Cls");
    BrowseViews::BrowseTest();
    frmBrowse* w = Current();
    ASSERT_NE(w, nullptr);
    QCoreApplication::processEvents();
    ClickHeading(w->tgBrowse->FixedPane(), 2);
    EXPECT_EQ(w->tgBrowse->CurrentColumn(), 2);
    w->tgBrowse->SetCurrent(3, 5);
    BrowseViews::SortASC();
    EXPECT_EQ(MainPanel(), "Sorted by:  [Predicted]");
    EXPECT_EQ(w->tgBrowse->CurrentColumn(), 2);
}

TEST_F(SFamBrowse, TheWholeTableColoursItsHeadingsByRole)
{
    OpenBackProp();
    // Predicted: the alternative input role, shown like an unused field.
    CDataDef& ddo = *CurrentNetworkAs<CBackProp>()->State().DDO();
    ddo.SetUserMatchType(ddo.FieldIndex("Predicted"), roleInputAlt);
    BrowseViews::ShowDefBrowser();
    frmBrowse* w = Current();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->windowTitle(), "Browse All");
    EXPECT_EQ(w->property("HelpContextID").toInt(), 5410);
    EXPECT_EQ(MainPanel(), "Browsing entire data set.");
    EXPECT_EQ(w->tgBrowse->FixedColumns(), 1);
    const auto colour = [&](int c) { return Heading(w, c, Qt::BackgroundRole).value<QColor>(); };
    const QColor yellow = Utilities::ColorFromBgr(0x00FFFF);
    const QColor cyan = Utilities::ColorFromBgr(0xFFFF00);
    const QColor grey = Utilities::ColorFromBgr(0x80000011);
    const BrowseQuery& q = w->RecordSource();
    ASSERT_EQ(q.columns[0].field, "Y");
    EXPECT_EQ(colour(0), yellow);
    EXPECT_EQ(Cell(w, 0, 0, Qt::TextAlignmentRole).toInt(), int(Qt::AlignCenter));
    for (int c = 1; c < q.columns.size(); ++c) {
        const QString f = q.columns[c].field;
        const bool input = f == "Mark" || f == "MainPrimaryKey";
        EXPECT_EQ(colour(c), input ? cyan : grey) << f.toStdString();
        EXPECT_EQ(Cell(w, 0, c, Qt::ForegroundRole).isValid(), !input) << f.toStdString();
        EXPECT_EQ(w->tgBrowse->DataPane()->horizontalHeader()->sectionResizeMode(c), QHeaderView::Interactive);
    }
    EXPECT_EQ(w->tgBrowse->FixedPane()->horizontalHeader()->sectionResizeMode(0), QHeaderView::Interactive);
    // Only the headings carry a tip; a double click marks nothing.
    EXPECT_FALSE(Cell(w, 0, 2, Qt::ToolTipRole).isValid());
    EXPECT_EQ(Heading(w, 2, Qt::ToolTipRole).toString(), "Right Click Column Header To Sort");
    emit w->tgBrowse->CellDoubleClicked(0, 2);
    // The first sort is by the prediction field.
    BrowseViews::SortASC();
    EXPECT_EQ(MainPanel(), "Sorted by:  [Y]");
    EXPECT_TRUE(prompts.Boxes().empty());
}
