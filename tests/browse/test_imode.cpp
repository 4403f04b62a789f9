// Interactive mode under the results grid of a back-propagation fixture: the strip shown, the
// fixed cells refused, each edit checked with its message, the array handed to a scripted
// Predict (empty and non-numeric cells count 0), the answer and the marker's display, the row
// reloaded with the results row, and widths and scrolling kept in step both ways.
#include "browse/browsegrid.h"
#include "browse/findviews.h"
#include "browse/imode.h"
#include "browse/testbrowse.h"
#include "core/numformat.h"
#include "core/widgets/commandbar.h"
#include "core/widgets/toolnames.h"
#include "tests/browse/browsefixture.h"
#include "tests/browse/findfixture.h"
#include "tests/kdb/pgserver.h"

#include <QFontMetrics>
#include <QHelpEvent>
#include <QToolTip>
#include <QFocusEvent>
#include <QHeaderView>
#include <QMdiSubWindow>
#include <QScrollBar>
#include <QTableView>

using namespace BrowseTest;
using namespace FindTest;

namespace {

class IModeTest : public BrowseTestBase {
protected:
    void OpenWithIMode()
    {
        OpenBackProp();
        main->MainToolBar()->SetChecked(ToolName::ShowIMode, true);
        BrowseViews::BrowseTest();
        w = Current();
        ASSERT_NE(w, nullptr);
        mode = gIMode().get();
        ASSERT_NE(mode, nullptr);
        mode->SetPredictor([this](const std::vector<long double>& v) {
            calls.push_back(v);
            return QString("7.5");
        });
    }
    int Column(const QString& field) const
    {
        return w->RecordSource().ColumnIndex({ProjectSchema::LinkTable(), field, 0});
    }
    // Under each row of the open results (`predicted`: the Predicted column) a what-if of
    // another X put back predicts what the test did; the row whose X is Null has none; a time
    // is typed as the grid shows it, its limit 06:00:00 shown so.
    void WhatIfAsTested(int predicted, const QString& kind)
    {
        w = Current();
        ASSERT_NE(w, nullptr);
        mode = gIMode().get();
        ASSERT_NE(mode, nullptr);
        IModeModel* m = mode->Model();
        const int t = Column("T"), x = Column("X");
        int compared = 0;
        for (int row = 0; row < 40; ++row) {
            w->tgBrowse->SetCurrent(row, x);
            const QString tested = Cell(w, row, predicted).toString();
            const QString xText = m->Text(x);
            if (xText.isEmpty()) {
                // Row 7: X is Null. The test has no prediction for it, nor has the row.
                EXPECT_EQ(tested, "N/A") << kind.toStdString();
                EXPECT_TRUE(m->setData(m->index(0, t), "12:00:00"));
                EXPECT_EQ(m->Text(mode->PredictedColumn()), "N/A") << kind.toStdString();
                EXPECT_EQ(MainPanel(), "[X] has no value.  No prediction.");
                continue;
            }
            ASSERT_TRUE(m->setData(m->index(0, x), xText == "1" ? "2" : "1"));
            ASSERT_TRUE(m->setData(m->index(0, x), xText));
            EXPECT_EQ(m->Text(mode->PredictedColumn()), tested)
                << kind.toStdString() << " row " << row << " at " << m->Text(t).toStdString();
            ++compared;
        }
        EXPECT_EQ(compared, 39);
        // A time typed as the grid shows it; its limits shown as times.
        EXPECT_TRUE(m->setData(m->index(0, t), "12:00:00"));
        EXPECT_EQ(MainPanel(), "");
        EXPECT_FALSE(m->Text(mode->PredictedColumn()).isEmpty());
        EXPECT_NE(m->Text(mode->PredictedColumn()), "N/A");
        EXPECT_TRUE(m->setData(m->index(0, t), "05:59:00"));
        EXPECT_EQ(MainPanel(), "[T] out of range value forced to Min: (06:00:00)");
        EXPECT_FALSE(m->setData(m->index(0, t), "24:30:00"));
        EXPECT_EQ(MainPanel(), "Invalid time.");
        EXPECT_EQ(m->Text(mode->PredictedColumn()), "");
        EXPECT_TRUE(prompts.Boxes().empty());
    }
    frmBrowse* w = nullptr;
    CIMode* mode = nullptr;
    std::vector<std::vector<long double>> calls;
};

} // namespace

TEST_F(IModeTest, TheStripShowsTheCurrentRowAndRefusesTheFixedCells)
{
    OpenBackProp();
    main->MainToolBar()->SetChecked(ToolName::ShowIMode, false);
    BrowseViews::BrowseTest();
    EXPECT_EQ(gIMode(), nullptr);
    EXPECT_FALSE(Current()->picIMode->isVisible());
    const int fullHeight = Current()->tgBrowse->height();

    main->MainToolBar()->SetChecked(ToolName::ShowIMode, true);
    BrowseViews::BrowseTest();
    w = Current();
    ASSERT_NE(gIMode(), nullptr);
    EXPECT_TRUE(w->picIMode->isVisible());
    EXPECT_EQ(w->tgBrowse->height(), fullHeight - w->picIMode->height());
    EXPECT_EQ(w->tgIMode->width(), w->tgBrowse->width());
    IModeModel* m = gIMode()->Model();
    for (int c = 0; c < 4; ++c)
        EXPECT_FALSE(m->flags(m->index(0, c)) & Qt::ItemIsEditable) << c;
    EXPECT_TRUE(m->flags(m->index(0, 5)) & Qt::ItemIsEditable);
    // Row 0 (ID 1): its values, its stored prediction, empty mark, actual and difference cells.
    EXPECT_EQ(m->Text(4), "1");
    EXPECT_EQ(m->Text(5), "1");
    EXPECT_TRUE(m->Text(0).isEmpty() && m->Text(1).isEmpty() && m->Text(3).isEmpty());
    EXPECT_FALSE(m->Text(2).isEmpty());
    EXPECT_EQ(m->data(m->index(0, 5), Qt::ToolTipRole).toString(), "Interactive mode. Experiment with field values.");
    // Another results row reloads it.
    w->tgBrowse->SetCurrent(4, 5);
    EXPECT_EQ(m->Text(4), "5");
    // The view changes: the strip goes with the interactive object.
    BrowseViews::ShowDefBrowser();
    EXPECT_EQ(gIMode(), nullptr);
    // The window's own close box: the interactive object goes with the window, before its
    // grids do, whatever the program around it installed.
    BrowseViews::BrowseTest();
    ASSERT_NE(gIMode(), nullptr);
    auto* frame = qobject_cast<QMdiSubWindow*>(Current()->parentWidget());
    ASSERT_NE(frame, nullptr);
    frame->close();
    FlushDeletes();
    EXPECT_EQ(gBrowseForm(), nullptr);
    EXPECT_EQ(gIMode(), nullptr);
    EXPECT_EQ(gDataBrowse(), nullptr);
}

TEST_F(IModeTest, EditsAreCheckedAndTheRowGoesToPredict)
{
    OpenWithIMode();
    IModeModel* m = mode->Model();
    const int mark = Column("Mark");             // input 0..10
    const int key = Column("MainPrimaryKey");    // input 0..13
    const int ab = Column("a]b");                // unused
    ASSERT_GT(mark, 3);

    // An empty input: no prediction, as the test gives none; the status names the field.
    m->SetText(key, "");
    EXPECT_TRUE(m->setData(m->index(0, mark), "3"));
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(m->Text(mode->PredictedColumn()), "N/A");
    EXPECT_EQ(MainPanel(), "[MainPrimaryKey] has no value.  No prediction.");
    EXPECT_TRUE(mode->EditWarned());

    // In range: the row goes to Predict. The array is indexed by field number: ID 1, Mark 2,
    // Predicted 3, a]b 4, MainPrimaryKey 5, DateFrom 6, Y 7 (the prediction: not in the row);
    // each cell read as the training reads it (a date as its serial day), a text as 0.
    m->SetText(key, "0");
    EXPECT_TRUE(m->setData(m->index(0, mark), "4"));
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0], (std::vector<long double>{0, 1, 4, 2, 0, 0, *kdb::DateSerial(QString("2020-01-02")), 0}));
    EXPECT_EQ(m->Text(mode->PredictedColumn()), "7.5");
    EXPECT_EQ(MainPanel(), "");

    // Above the user range: reported, still predicted with the typed value.
    EXPECT_TRUE(m->setData(m->index(0, mark), "12"));
    EXPECT_EQ(MainPanel(), "[Mark] out of range value forced to Max: (10.00)");
    EXPECT_TRUE(mode->EditWarned());
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1][2], 12);
    EXPECT_TRUE(m->setData(m->index(0, key), "-1.5"));
    EXPECT_EQ(MainPanel(), "[MainPrimaryKey] out of range value forced to Min: (0.0)");
    EXPECT_TRUE(m->setData(m->index(0, key), "2.5"));
    EXPECT_EQ(MainPanel(), "");
    EXPECT_FALSE(mode->EditWarned());

    // Letters in a numeric input: refused, Predicted emptied, no prediction.
    EXPECT_FALSE(m->setData(m->index(0, mark), "abc"));
    EXPECT_EQ(MainPanel(), "Invalid value.  Only numeric data allowed.");
    EXPECT_EQ(m->Text(mark), "12");
    EXPECT_EQ(m->Text(mode->PredictedColumn()), "");
    EXPECT_EQ(calls.size(), 4u);

    // An unused field: the text stays, nothing is predicted.
    EXPECT_TRUE(m->setData(m->index(0, ab), "whatever"));
    EXPECT_EQ(MainPanel(), "Unused Field.  Value Ignored.");
    EXPECT_EQ(m->Text(ab), "whatever");
    EXPECT_EQ(calls.size(), 4u);

    // Entering a grey column says so; a used column clears it.
    mode->ColumnEntered(ab);
    EXPECT_TRUE(mode->UnusedWarned());
    mode->ColumnEntered(mark);
    EXPECT_EQ(MainPanel(), "");
    EXPECT_FALSE(mode->UnusedWarned());
    // Leaving the row clears the message; coming back onto the grey column shows it again.
    mode->Grid()->SetCurrent(0, ab);
    QFocusEvent out(QEvent::FocusOut);
    QCoreApplication::sendEvent(mode->Grid()->DataPane(), &out);
    EXPECT_EQ(MainPanel(), "");
    EXPECT_FALSE(mode->UnusedWarned());
    QFocusEvent in(QEvent::FocusIn);
    QCoreApplication::sendEvent(mode->Grid()->DataPane(), &in);
    EXPECT_EQ(MainPanel(), "Unused Field.  Value Ignored.");
    EXPECT_TRUE(mode->UnusedWarned());
    EXPECT_TRUE(prompts.Boxes().empty());
}

TEST_F(IModeTest, TheNetworksAnswerAndItsMarkerAreShownInTheFormat)
{
    OpenWithIMode();
    mode->SetPredictor({});   // the real network
    IModeModel* m = mode->Model();
    EXPECT_TRUE(m->setData(m->index(0, Column("Mark")), "3"));
    const QString answer = m->Text(mode->PredictedColumn());
    // Y ranges 0..20: one decimal.
    EXPECT_TRUE(QRegularExpression("^-?\\d+\\.\\d$").match(answer).hasMatch()) << answer.toStdString();
    EXPECT_EQ(IModeRules::PredictionDisplay(NoPrediction, "0.0"), "N/A");
    EXPECT_EQ(IModeRules::PredictionDisplay(12.25, "0.0"), "12.3");
    EXPECT_EQ(IModeRules::NumberFormat(kdb::dbByte, 0, 1000), "0");
    EXPECT_EQ(IModeRules::NumberFormat(kdb::dbDouble, 0, 1), "0.000");
    EXPECT_TRUE(prompts.Boxes().empty());
}

// Cells the browsers do not format show numbers as a person writes them (never "1e+06"),
// with the digits of their field: a single-precision field's 0.1 is 0.1, not its double form.
TEST_F(IModeTest, NumbersShowWithoutExponentInEveryGridAndTheInteractiveRow)
{
    const QString source = MakeBackPropSource(folder, 40);
    {
        kdb::Database db = kdb::Database::Open(source, false, false);
        db.Execute("ALTER TABLE Data ADD COLUMN Big REAL");
        db.Execute("ALTER TABLE Data ADD COLUMN Small REAL");
        db.Execute("ALTER TABLE Data ADD COLUMN Huge REAL");
        db.Execute("ALTER TABLE Data ADD COLUMN Tenth SINGLE");
        db.Execute("UPDATE Data SET Big = 1000000, Small = 0.0005, Huge = 1e300, Tenth = ?", {double(0.1f)});
        db.Execute("ALTER TABLE Data ADD COLUMN Whole BIGINT");
        db.Execute("UPDATE Data SET Whole = 9007199254740992 + ID");
    }
    OpenTestedBackProp(source, "Data",
                       {{"Mark", roleInput, 0, 10}, {"MainPrimaryKey", roleInput, 0, 13}, {"Y", roleBPPredict, 0, 20}},
                       {1, 20, 1, 40}, 1);
    const std::vector<std::pair<QString, QString>> expected{
        {"Big", "1000000"}, {"Small", "0.0005"}, {"Huge", "1E+300"}, {"Tenth", "0.1"}};

    main->MainToolBar()->SetChecked(ToolName::ShowIMode, true);
    BrowseViews::BrowseTest();
    w = Current();
    ASSERT_NE(w, nullptr);
    ASSERT_NE(gIMode(), nullptr);
    for (const auto& [field, text] : expected) {
        EXPECT_EQ(Cell(w, 0, Column(field)).toString(), text) << field.toStdString();
        EXPECT_EQ(gIMode()->Model()->Text(Column(field)), text) << field.toStdString();
    }
    // Whole numbers one apart shortened alike in a column made narrow ("9.0E+15"): the tip
    // over a cell shows its whole value, in the grid and in the interactive row.
    // They open wide enough to tell apart.
    const int wholeWidth = w->tgBrowse->DataPane()->columnWidth(Column("Whole"));
    EXPECT_GE(wholeWidth, QFontMetrics(w->tgBrowse->DataPane()->font()).horizontalAdvance("-9223372036854775808"));
    EXPECT_EQ(w->tgIMode->DataPane()->columnWidth(Column("Whole")), wholeWidth);
    for (CBrowseGrid* grid : {w->tgBrowse, w->tgIMode}) {
        QTableView* pane = grid->DataPane();
        const int col = Column("Whole");
        pane->setColumnWidth(col, 50);
        QCoreApplication::processEvents();
        const QRect cell = pane->visualRect(pane->model()->index(0, col));
        ASSERT_TRUE(cell.isValid());
        QHelpEvent tip(QEvent::ToolTip, cell.center(), pane->viewport()->mapToGlobal(cell.center()));
        QCoreApplication::sendEvent(pane->viewport(), &tip);
        const QString whole = pane->model()->index(0, col).data().toString();
        EXPECT_TRUE(whole.startsWith("900719925474099")) << whole.toStdString();
        EXPECT_TRUE(QToolTip::text().startsWith(whole)) << QToolTip::text().toStdString();
        QToolTip::hideText();
    }

    BrowseViews::ShowDefBrowser();
    w = Current();
    ASSERT_NE(w, nullptr);
    for (const auto& [field, text] : expected)
        EXPECT_EQ(Cell(w, 0, Column(field)).toString(), text) << field.toStdString();

    EXPECT_EQ(NumFormat::Plain(-1234.5), "-1234.5");
    EXPECT_EQ(NumFormat::Plain(0.1 + 0.2), "0.3");             // to the 15 digits a double holds
    EXPECT_EQ(NumFormat::Plain(123456789012345678.0), "123456789012346000");
    EXPECT_EQ(NumFormat::Plain(2.5e-12), "2.5E-12");
    EXPECT_EQ(NumFormat::Plain(1e21), "1E+21");
}

TEST_F(IModeTest, WidthsAndScrollingFollowEachOther)
{
    OpenWithIMode();
    CBrowseGrid* grid = w->tgBrowse;
    CBrowseGrid* row = w->tgIMode;
    for (int c = 0; c < 4; ++c)
        EXPECT_EQ(row->FixedPane()->columnWidth(c), grid->FixedPane()->columnWidth(c)) << c;
    grid->DataPane()->setColumnWidth(6, 173);
    EXPECT_EQ(row->DataPane()->columnWidth(6), 173);
    row->DataPane()->setColumnWidth(7, 91);
    EXPECT_EQ(grid->DataPane()->columnWidth(7), 91);
    EXPECT_EQ(row->FixedPane()->horizontalHeader()->sectionResizeMode(3), QHeaderView::Fixed);

    for (int c = 4; c < w->RecordSource().columns.size(); ++c)
        grid->DataPane()->setColumnWidth(c, 600);
    QCoreApplication::processEvents();
    QScrollBar* bar = grid->DataPane()->horizontalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    bar->setValue(bar->maximum() / 2);
    EXPECT_EQ(row->DataPane()->horizontalScrollBar()->value(), bar->value());
    row->DataPane()->horizontalScrollBar()->setValue(bar->value() / 2);
    EXPECT_EQ(bar->value(), row->DataPane()->horizontalScrollBar()->value());
    // At every width of the window, the strip's columns stand under the grid's, the end of the
    // range included.
    for (int c = 4; c < w->RecordSource().columns.size(); ++c)
        grid->DataPane()->setColumnWidth(c, 100);
    for (int width = 500; width <= 1100; width += 7) {
        main->resize(width, 500);
        QCoreApplication::processEvents();
        bar->triggerAction(QAbstractSlider::SliderToMaximum);
        QCoreApplication::processEvents();
        EXPECT_EQ(row->DataPane()->horizontalHeader()->offset(), grid->DataPane()->horizontalHeader()->offset()) << width;
    }
}

TEST_F(IModeTest, DateInputsAreReadAsTheGridShowsThemAndLimitsShownAsDates)
{
    const QString source = folder + "/dated.mdb";
    {
        kdb::Database db = kdb::Database::Create(source);
        db.Execute("CREATE TABLE Dated (ID INTEGER PRIMARY KEY, D DATETIME, X REAL, Y REAL)");
        for (int i = 1; i <= 20; ++i)
            db.Execute("INSERT INTO Dated VALUES (?, ?, ?, ?)",
                       {i, QString("2020-03-%1 00:00:00").arg(i, 2, 10, QChar('0')), double(i), double(i % 5)});
    }
    auto bp = std::make_shared<CBackProp>();
    bp->Initialize(folder + "/dated.kvp");
    bp->Attach(source, "Dated");
    const double low = *kdb::DateSerial(QString("2020-03-01"));
    const double high = *kdb::DateSerial(QString("2020-03-20"));
    SetRoles(*bp, {{"D", roleInput, low, high}, {"X", roleInput, 0, 20}, {"Y", roleBPPredict, 0, 4}});
    const CDataDef& ddo = *bp->State().DDO();
    ASSERT_EQ(ddo.FieldType(ddo.FieldIndex("D")), kdb::dbDate);

    IModeRules::EditCheck c = IModeRules::CheckEdit(ddo, "D", "2020-02-31");
    EXPECT_EQ(c.message, "Invalid date.");
    EXPECT_TRUE(c.cancel);
    EXPECT_FALSE(c.predict);
    c = IModeRules::CheckEdit(ddo, "D", "2019-12-31");
    EXPECT_EQ(c.message, "[D] out of range value forced to Min: (2020-03-01)");
    EXPECT_TRUE(c.predict && !c.cancel);
    c = IModeRules::CheckEdit(ddo, "D", "2020-03-21 12:00");
    EXPECT_EQ(c.message, "[D] out of range value forced to Max: (2020-03-20)");
    c = IModeRules::CheckEdit(ddo, "X", "1,5");   // a decimal comma is no number
    EXPECT_EQ(c.message, "Invalid value.  Only numeric data allowed.");

    const std::vector<long double> values = IModeRules::GatherRow(ddo, [](const QString& name) -> std::optional<QString> {
        if (name == "D")
            return QString("2020-03-02 06:00:00");
        if (name == "X")
            return QString("2.5");
        return std::nullopt;
    }).values;
    ASSERT_EQ(values.size(), 5u);
    EXPECT_DOUBLE_EQ(values[2], low + 1.25);
    EXPECT_DOUBLE_EQ(values[3], 2.5);
    EXPECT_EQ(values[1], 0);
    EXPECT_EQ(values[4], 0);
    // A whole number past 2^53 as the arrays read it, not as the double next to it.
    EXPECT_EQ(IModeRules::CellValue("9007199254740993"), 9007199254740993.0L);
    // An input that reads as nothing the training reads stops the prediction, naming itself.
    try {
        IModeRules::GatherRow(ddo, [](const QString& name) { return std::optional<QString>(name == "X" ? "abc" : "1"); });
        ADD_FAILURE() << "an unreadable input was gathered";
    } catch (const KvError& e) {
        EXPECT_EQ(e.description(), "[X] holds no number, date or time: abc");
    }
}

// A number's limit reads as the configuration grid shows it: a Long field of range 1 to 5
// shows two decimals, not the fifteen digits a gathered limit holds.
TEST_F(IModeTest, ANumberLimitIsShownAsTheConfigurationGridShowsIt)
{
    const QString source = folder + "/rates.mdb";
    {
        kdb::Database db = kdb::Database::Create(source);
        db.Execute("CREATE TABLE Rates (ID INTEGER PRIMARY KEY, R INTEGER, Y REAL)");
        for (int i = 1; i <= 20; ++i)
            db.Execute("INSERT INTO Rates VALUES (?, ?, ?)", {i, i % 5 + 1, double(i % 3)});
    }
    auto bp = std::make_shared<CBackProp>();
    bp->Initialize(folder + "/rates.kvp");
    bp->Attach(source, "Rates");
    SetRoles(*bp, {{"R", roleInput, 2.18678579987308, 4.81321420012692}, {"Y", roleBPPredict, 0, 2}});
    const CDataDef& ddo = *bp->State().DDO();
    ASSERT_EQ(ddo.FieldType(ddo.FieldIndex("R")), kdb::dbLong);
    EXPECT_EQ(IModeRules::CheckEdit(ddo, "R", "1").message, "[R] out of range value forced to Min: (2.19)");
    EXPECT_EQ(IModeRules::CheckEdit(ddo, "R", "7").message, "[R] out of range value forced to Max: (4.81)");
}

// A what-if row reads each cell as the training read it, in both kinds of network: a row the
// user edits and puts back predicts what the test did, whatever the time of day in it (a Time
// text read as midnight changed every answer); a time is typed as the grid shows it, its limit
// shown so; a row with a missing input has no prediction, as in the test. A Time prediction
// reads as a time in the results and in the row.
TEST_F(IModeTest, TimeInputsAndMissingInputsAreReadAsTheTestReadThem)
{
    const QString source = folder + "/times.mdb";
    {
        kdb::Database db = kdb::Database::Create(source);
        db.Execute("CREATE TABLE Times (ID INTEGER PRIMARY KEY, T TIME, X REAL, C INTEGER, Y REAL)");
        for (int i = 1; i <= 40; ++i) {
            const int minutes = (i * 437) % 1440;
            db.Execute("INSERT INTO Times VALUES (?, ?, ?, ?, ?)",
                       {i, QTime(0, 0).addSecs(minutes * 60).toString("HH:mm:ss"),
                        i == 7 ? kdb::Value() : kdb::Value(double(i % 5)), minutes < 720 ? 1 : 2,
                        minutes / 60.0 + (i % 5) * 0.1});
        }
    }
    const double six = 0.25, eighteen = 0.75;
    main->MainToolBar()->SetChecked(ToolName::ShowIMode, true);
    OpenTestedBackProp(source, "Times", {{"T", roleInput, six, eighteen}, {"X", roleInput, 0, 4}, {"Y", roleBPPredict, 0, 25}},
                       {1, 40, 1, 40}, 5);
    BrowseViews::BrowseTest();
    WhatIfAsTested(2, "back-propagation");

    const std::shared_ptr<CSFam> sf = TestedSFam(folder + "/timesf.kvp", source, "Times",
        {{"T", roleInput, six, eighteen}, {"X", roleInput, 0, 4}, {"C", roleSFamPredict, 0, 0}}, 40);
    ASSERT_TRUE(sf);
    SetCurrentNetwork(sf);
    BrowseViews::BrowseTest();
    WhatIfAsTested(2, "SFAM");

    // A Time prediction: a time of day in the results grid (its difference a span of hours) and
    // in the row.
    OpenTestedBackProp(source, "Times", {{"X", roleInput, 0, 4}, {"T", roleBPPredict, 0, 1}}, {1, 40, 1, 40}, 1);
    BrowseViews::BrowseTest();
    w = Current();
    ASSERT_NE(w, nullptr);
    const QRegularExpression time("^\\d\\d:\\d\\d:\\d\\d$");
    EXPECT_TRUE(time.match(Cell(w, 0, 2).toString()).hasMatch()) << Cell(w, 0, 2).toString().toStdString();
    EXPECT_TRUE(time.match(Cell(w, 0, 3).toString()).hasMatch()) << Cell(w, 0, 3).toString().toStdString();
    IModeModel* m = gIMode()->Model();
    EXPECT_TRUE(m->setData(m->index(0, Column("X")), "3"));
    EXPECT_TRUE(time.match(m->Text(gIMode()->PredictedColumn())).hasMatch()) << m->Text(gIMode()->PredictedColumn()).toStdString();
    EXPECT_EQ(IModeRules::PredictionDisplay(0.5, "0.000", dbUtilities::ValueForm::Time), "12:00:00");
    EXPECT_EQ(IModeRules::PredictionDisplay(33219.5, "0", dbUtilities::ValueForm::Date), "1990-12-12 12:00:00");
    EXPECT_EQ(dbUtilities::SerialText(-1.0 / 48, dbUtilities::ValueForm::Time), "-00:30:00");
    EXPECT_EQ(dbUtilities::SerialText(1 + 1.0 / 12, dbUtilities::ValueForm::Time), "26:00:00");
}

// The same over a server's table through ODBC: its `time` column is a Time field whose texts
// the what-if row reads as the test read them.
TEST_F(IModeTest, ATimeInputOfAServerTableIsReadAsTheTestReadIt)
{
    QStringList rows;
    for (int i = 1; i <= 40; ++i) {
        const int minutes = (i * 437) % 1440;
        rows << QString("(%1, '%2', %3, %4)")
                    .arg(i)
                    .arg(QTime(0, 0).addSecs(minutes * 60).toString("HH:mm:ss"))
                    .arg(i == 7 ? QString("NULL") : QString::number(i % 5))
                    .arg(minutes / 60.0 + (i % 5) * 0.1, 0, 'g', 17);
    }
    pgtest::Server::Get().Sql("DROP TABLE IF EXISTS times; CREATE TABLE times (\"ID\" integer PRIMARY KEY, \"T\" time, "
                              "\"X\" double precision, \"Y\" double precision); INSERT INTO times VALUES "
                              + rows.join(',') + ";");
    main->MainToolBar()->SetChecked(ToolName::ShowIMode, true);
    OpenTestedBackProp(pgtest::Server::Get().Connect(), "public.times",
                       {{"T", roleInput, 0.25, 0.75}, {"X", roleInput, 0, 4}, {"Y", roleBPPredict, 0, 25}}, {1, 40, 1, 40}, 5);
    const CDataDef& ddo = *CurrentNetwork()->State().DDO();
    ASSERT_EQ(ddo.FieldType(ddo.FieldIndex("T")), kdb::dbTime);
    BrowseViews::BrowseTest();
    WhatIfAsTested(2, "back-propagation over the server");
}
