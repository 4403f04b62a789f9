// The find dialog over real browse windows: the column it searches (never the mark column),
// match case switched off by pattern characters, a text with an apostrophe found, the search
// wrapping round, not found keeping the position, F3 from the browse window, a number column
// searched for a text; and the next wrong prediction of the SFAM views.
#include "browse/browsegrid.h"
#include "browse/finddialog.h"
#include "browse/findviews.h"
#include "browse/testbrowse.h"
#include "core/numformat.h"
#include "tests/browse/browsefixture.h"
#include "tests/browse/findfixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTest>

using namespace BrowseTest;
using namespace FindTest;

namespace {

QString CellText(frmBrowse* w, int row, int column)
{
    auto rows = w->Data1().Read(row, 1);
    return rows.empty() ? QString() : rows.front()[column].toText();
}

class FindSearch : public BrowseTestBase {
protected:
    void SetUp() override
    {
        BrowseTestBase::SetUp();
        FindViews::Install();
        frmFind::History() = FindHistory{};
    }
    // Types `text` into the dialog and presses Find Next.
    void Find(const QString& text, bool matchCase = false, bool down = true)
    {
        frmFind* f = frmFind::Existing();
        ASSERT_NE(f, nullptr);
        f->cmbFind->setEditText(text);
        f->chkMatchCase->setChecked(matchCase);
        (down ? f->optDown : f->optUp)->setChecked(true);
        f->cmdFindNext->click();
    }
    QString Caption() const { return frmFind::Existing()->windowTitle(); }
    // The results of a back-propagation project of `rows` rows, searched in the text column
    // a]b from the first row with the find dialog open.
    frmBrowse* FindInTextColumn(int rows = 40)
    {
        OpenBackProp(rows);
        BrowseViews::BrowseTest();
        frmBrowse* w = Current();
        if (!w)
            return nullptr;
        textColumn = w->RecordSource().ColumnIndex({ProjectSchema::LinkTable(), "a]b", 4});
        w->tgBrowse->SetCurrent(0, textColumn);
        FindViews::MenuFind();
        return w;
    }
    int textColumn = -1;
};

} // namespace

TEST_F(FindSearch, TextWithAnApostropheIsFoundAndTheSearchWrapsRound)
{
    OpenSFam("Name");
    BrowseViews::BrowseTest();
    frmBrowse* w = Current();
    ASSERT_NE(w, nullptr);
    w->tgBrowse->SetCurrent(0, 1);   // actual class column; row 0 is ID 1
    FindViews::MenuFind();
    frmFind* f = frmFind::Existing();
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(f->isVisible());
    EXPECT_FALSE(f->cmdFindNext->isEnabled());   // no text yet
    EXPECT_EQ(Caption(), "Find in [Name]");

    // The class O'Brien "Briar" stands in rows of ID 1, 4, 7, ... 28 (every third row).
    const QString briar = "O'Brien \"Briar\"";
    Find(briar, true);
    EXPECT_EQ(w->tgBrowse->CurrentRow(), 3);
    EXPECT_EQ(w->tgBrowse->CurrentColumn(), 1);
    EXPECT_EQ(CellText(w, 3, 1), briar);
    EXPECT_EQ(Caption(), "Find - '" + briar + "' Found");
    EXPECT_EQ(frmFind::History().Entries(), QStringList({briar}));

    // F3 and Alt+N in the browse window repeat the search.
    QKeyEvent f3(QEvent::KeyPress, Qt::Key_F3, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &f3);
    EXPECT_EQ(w->tgBrowse->CurrentRow(), 6);
    QKeyEvent altN(QEvent::KeyPress, Qt::Key_N, Qt::AltModifier);
    QCoreApplication::sendEvent(w, &altN);
    EXPECT_EQ(w->tgBrowse->CurrentRow(), 9);

    // From the last matching row the search goes on from the top; upwards from the first,
    // from the end.
    w->tgBrowse->SetCurrent(27, 1);
    Find("o'brien*");
    EXPECT_EQ(w->tgBrowse->CurrentRow(), 0);
    Find("o'brien*", false, false);
    EXPECT_EQ(w->tgBrowse->CurrentRow(), 27);

    // Nothing matches: the caption says so and the position stays.
    Find("Zinc");
    EXPECT_EQ(Caption(), "Find - 'Zinc' Not Found");
    EXPECT_EQ(w->tgBrowse->CurrentRow(), 27);
    EXPECT_EQ(frmFind::History().Entries(), QStringList({"Zinc", "o'brien*", briar}));

    // Match Case changes what is found: the text in other letters is no match with it, and
    // is one without it.
    const QString lower = briar.toLower();
    Find(lower, true);
    EXPECT_EQ(Caption(), "Find - '" + lower + "' Not Found");
    EXPECT_EQ(w->tgBrowse->CurrentRow(), 27);
    Find(lower, false);
    EXPECT_EQ(Caption(), "Find - '" + lower + "' Found");
    EXPECT_EQ(w->tgBrowse->CurrentRow(), 0);
    EXPECT_TRUE(prompts.Boxes().empty());
}

TEST_F(FindSearch, PatternCharactersSwitchMatchCaseOffAndTheMarkColumnIsNeverSearched)
{
    OpenBackProp();
    BrowseViews::BrowseTest();
    frmBrowse* w = Current();
    ASSERT_NE(w, nullptr);
    w->tgBrowse->SetCurrent(2, 0);   // the mark column
    // Before any find dialog of this main window, F3 does nothing.
    QKeyEvent f3(QEvent::KeyPress, Qt::Key_F3, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &f3);
    EXPECT_EQ(w->tgBrowse->CurrentRow(), 2);
    FindViews::MenuFind();
    frmFind* f = frmFind::Existing();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(w->tgBrowse->CurrentColumn(), 1);
    EXPECT_EQ(Caption(), "Find in [Y]");

    f->chkMatchCase->setChecked(true);
    f->cmbFind->setEditText("t1*");
    EXPECT_FALSE(f->chkMatchCase->isEnabled());
    EXPECT_TRUE(f->chkMatchCase->isChecked());   // the check mark stays
    EXPECT_TRUE(f->cmdFindNext->isEnabled());
    f->cmbFind->setEditText("t1");
    EXPECT_TRUE(f->chkMatchCase->isEnabled());
    f->cmbFind->setEditText("");
    EXPECT_FALSE(f->cmdFindNext->isEnabled());

    // A number column searched for a text: with Match Case nothing moves at once; without
    // it the text's Like form is searched.
    const int markField = w->RecordSource().ColumnIndex({ProjectSchema::LinkTable(), "Mark", 2});
    ASSERT_GT(markField, 3);
    w->tgBrowse->SetCurrent(2, markField);
    Find("abc", true);
    EXPECT_EQ(Caption(), "Find - 'abc' Not Found");
    EXPECT_EQ(w->tgBrowse->CurrentRow(), 2);
    Find("7", true);   // Mark = i % 10: row 6 is ID 7
    EXPECT_EQ(w->tgBrowse->CurrentRow(), 6);
    EXPECT_EQ(CellText(w, 6, markField), "7");
    // The text column a]b: t1, t10 .. t19 by Like.
    const int ab = w->RecordSource().ColumnIndex({ProjectSchema::LinkTable(), "a]b", 4});
    w->tgBrowse->SetCurrent(0, ab);
    Find("T1#");
    EXPECT_EQ(CellText(w, w->tgBrowse->CurrentRow(), ab), "t10");
    EXPECT_TRUE(prompts.Boxes().empty());
}

TEST_F(FindSearch, TheNextWrongPredictionWrapsRoundAndSaysWhenThereIsNone)
{
    OpenSFam("Cls");
    // Every third row (ID 3, 6, ...) predicted wrongly.
    Exec("UPDATE Test SET Predicted = CASE WHEN MainPrimaryKey % 3 = 0 THEN '9' "
         "ELSE CAST(MainPrimaryKey % 3 + 1 AS TEXT) END");
    BrowseViews::BrowseTest();
    frmBrowse* w = Current();
    ASSERT_NE(w, nullptr);
    w->tgBrowse->SetCurrent(0, 4);
    FindViews::MENU_SFFindError();
    EXPECT_EQ(w->tgBrowse->CurrentRow(), 2);   // ID 3
    FindViews::MENU_SFFindError();
    EXPECT_EQ(w->tgBrowse->CurrentRow(), 5);
    w->tgBrowse->SetCurrent(29, 4);            // ID 30, the last wrong row
    FindViews::MENU_SFFindError();
    EXPECT_EQ(w->tgBrowse->CurrentRow(), 2);   // round from the top

    // The correct-predictions view has none: the status says so and the row stays.
    BrowseViews::MENU_SFShowCorrect();
    w = Current();
    ASSERT_NE(w, nullptr);
    w->tgBrowse->SetCurrent(4, 3);
    FindViews::MENU_SFFindError();
    EXPECT_EQ(MainPanel(), "There are no incorect predictions in this test data.");
    EXPECT_EQ(w->tgBrowse->CurrentRow(), 4);
    EXPECT_TRUE(prompts.Boxes().empty());
}

TEST_F(FindSearch, TheLastRowOfALargeViewIsFoundRightAfterOpening)
{
    // More rows than the browse reads at once: the rest of the key list is still coming.
    frmBrowse* w = FindInTextColumn(1500);
    ASSERT_NE(w, nullptr);
    Find("t1500", true);
    EXPECT_EQ(w->tgBrowse->CurrentRow(), 1499);
    EXPECT_EQ(Caption(), "Find - 't1500' Found");
}

TEST_F(FindSearch, WhatTheUserTypesReplacesTheLastSearch)
{
    OpenSFam("Name");
    BrowseViews::BrowseTest();
    frmBrowse* w = Current();
    ASSERT_NE(w, nullptr);
    w->tgBrowse->SetCurrent(0, 1);
    FindViews::MenuFind();
    frmFind* f = frmFind::Existing();
    ASSERT_NE(f, nullptr);
    f->chkMatchCase->setChecked(false);
    QLineEdit* box = f->cmbFind->lineEdit();
    ASSERT_NE(box, nullptr);
    const auto type = [&](const QString& text) {
        QTest::keyClicks(box, text);
        return f->cmbFind->currentText();
    };

    EXPECT_EQ(type("Zinc"), "Zinc");
    f->cmdFindNext->click();
    EXPECT_EQ(Caption(), QString("Find - 'Zinc' Not Found"));
    // Straight after a search, and after the dialog was closed and opened again: a new text
    // typed is the new search, not the old one with the new one after it.
    EXPECT_EQ(type("o'brien*"), "o'brien*");
    f->cmdCancel->click();
    EXPECT_FALSE(f->isVisible());
    FindViews::MenuFind();
    EXPECT_EQ(f->cmbFind->currentText(), "Zinc");
    EXPECT_EQ(type("o'brien*"), "o'brien*");
    f->cmdFindNext->click();
    EXPECT_EQ(Caption(), QString("Find - 'o'brien*' Found"));
    EXPECT_EQ(w->tgBrowse->CurrentRow(), 3);   // the next O'Brien row below the first
    EXPECT_EQ(frmFind::History().Entries(), QStringList({"o'brien*", "Zinc"}));
}

// The box keeps what the user typed: no completion from the history while typing.
TEST_F(FindSearch, TheBoxSearchesWhatWasTypedNotAnEarlierSearch)
{
    frmBrowse* w = FindInTextColumn();
    ASSERT_NE(w, nullptr);
    frmFind* f = frmFind::Existing();
    ASSERT_NE(f, nullptr);
    QLineEdit* box = f->cmbFind->lineEdit();
    ASSERT_NE(box, nullptr);
    f->chkMatchCase->setChecked(false);
    // Typed into the box of the active dialog, where a completer would act.
    QApplication::setActiveWindow(f);
    ASSERT_TRUE(QTest::qWaitForWindowActive(f));
    f->cmbFind->setFocus();
    ASSERT_TRUE(box->hasFocus());
    for (const QString earlier : {"t1*", "t12"}) {
        box->selectAll();
        QTest::keyClicks(box, earlier);
        f->cmdFindNext->click();
    }
    // "t1" after "t12" and "t1*": with Match Case still on offer, and searched as typed.
    box->selectAll();
    QTest::keyClicks(box, "t1");
    EXPECT_EQ(f->cmbFind->currentText(), "t1");
    EXPECT_TRUE(f->chkMatchCase->isEnabled());
    f->chkMatchCase->setChecked(true);
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(Caption(), "Find - 't1' Found");
    EXPECT_EQ(CellText(w, w->tgBrowse->CurrentRow(), textColumn), "t1");
    EXPECT_EQ(frmFind::History().Entries(), QStringList({"t1", "t12", "t1*"}));
    // The history is still the list to choose from.
    EXPECT_EQ(f->cmbFind->count(), 3);
}

// Without Match Case a number is found by the text the grid shows (a single-precision field to
// its 7 digits, a double to 15, a prediction in its format) or by its value; with Match Case by
// its value, to the digits its field holds.
TEST_F(FindSearch, ANumberIsFoundAsTheGridShowsIt)
{
    // W is a single-precision field: 14.9 is stored as 14.8999996185302734375.
    const QString source = folder + "/single.mdb";
    {
        kdb::Database db = kdb::Database::Create(source);
        db.Execute("CREATE TABLE Data (ID INTEGER PRIMARY KEY, W SINGLE, D DOUBLE, Y REAL)");
        kdb::Statement ins = db.Prepare("INSERT INTO Data VALUES (?,?,?,?)");
        for (int i = 1; i <= 40; ++i)
            ins.Run({i, double(float(11.0 + i * 0.1)), i * 0.1 * 3, double(i % 7) * 0.7 + 1.3});
    }
    OpenTestedBackProp(source, "Data", {{"W", roleInput, 11, 15}, {"D", roleInput, 0, 12}, {"Y", roleBPPredict, 1, 6}},
                       {1, 20, 1, 40}, 1);
    BrowseViews::BrowseTest();
    frmBrowse* w = Current();
    ASSERT_NE(w, nullptr);
    const int wColumn = w->RecordSource().ColumnIndex({ProjectSchema::LinkTable(), "W", 2});
    const int dColumn = w->RecordSource().ColumnIndex({ProjectSchema::LinkTable(), "D", 3});
    ASSERT_GT(wColumn, 3);
    ASSERT_GT(dColumn, 3);
    const auto find = [&](int column, const QString& text, bool matchCase) {
        w->tgBrowse->SetCurrent(0, column);
        FindViews::MenuFind();
        Find(text, matchCase);
        return Caption() == "Find - '" + text + "' Found" ? w->tgBrowse->CurrentRow() : -1;
    };
    // Row 38 is ID 39, W 14.9; row 36 is ID 37, D 11.1 (stored 11.100000000000001).
    EXPECT_EQ(Cell(w, 38, wColumn).toString(), "14.9");
    EXPECT_EQ(find(wColumn, "14.9", false), 38);
    EXPECT_EQ(find(wColumn, "14.9", true), 38);
    EXPECT_EQ(find(wColumn, "14.9*", false), 38);
    EXPECT_EQ(find(wColumn, "14.91", false), -1);
    EXPECT_EQ(find(wColumn, "14.91", true), -1);
    EXPECT_EQ(Cell(w, 36, dColumn).toString(), "11.1");
    EXPECT_EQ(find(dColumn, "11.1", false), 36);
    EXPECT_EQ(find(dColumn, "11.1", true), 36);

    // The prediction columns: by their text in the format of the prediction ("0.00", the range
    // being 5) and by the value to single precision.
    for (int column : {2, 3}) {
        const QString shown = Cell(w, 0, column).toString();
        const double stored = w->Data1().Read(0, 1).front()[column].toDouble();
        ASSERT_EQ(shown, NumFormat::Format(stored, "0.00"));
        w->tgBrowse->SetCurrent(39, column);
        Find(shown, false);
        EXPECT_EQ(Caption(), "Find - '" + shown + "' Found") << column;
        EXPECT_EQ(Cell(w, w->tgBrowse->CurrentRow(), column).toString(), shown);
        const QString full = NumFormat::Plain(stored, 7);
        for (bool matchCase : {false, true}) {
            w->tgBrowse->SetCurrent(39, column);
            Find(full, matchCase);
            EXPECT_EQ(Caption(), "Find - '" + full + "' Found") << column << matchCase;
        }
    }

    // The whole table's browser finds it the same way.
    BrowseViews::ShowDefBrowser();
    w = Current();
    ASSERT_NE(w, nullptr);
    const int allW = w->RecordSource().ColumnIndex({ProjectSchema::LinkTable(), "W", 2});
    ASSERT_GT(allW, 0);
    EXPECT_EQ(find(allW, "14.9", false), 38);
    EXPECT_EQ(find(allW, "14.9", true), 38);
    EXPECT_TRUE(prompts.Boxes().empty());
}
