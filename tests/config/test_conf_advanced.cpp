// The advanced grid: the number formats by range, the checks of an edited bound, and the
// window's OK (applies the working copy, tells the configuration window) and Cancel (drops it).
#include "config/advancedmodel.h"
#include "config/advancedconfiguration.h"
#include "config/configureproject.h"
#include "browse/browsegrid.h"
#include "core/numformat.h"
#include "core/widgets/statusbar.h"
#include "core/widgets/veltra.h"
#include "data/datadef.h"
#include "network/backprop.h"
#include "network/workflowflags.h"
#include "shell/modmenu.h"
#include "tests/config/test_conf_support.h"

#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>

namespace {

int RowOf(const CFieldLimitsModel& m, const QString& name)
{
    for (int r = 0; r < m.rowCount(); ++r)
        if (m.RowAt(r).name == name)
            return r;
    return -1;
}

} // namespace

TEST(ConfAdvancedModel, FormatsByTypeAndRange)
{
    EXPECT_EQ(dbUtilities::FieldDecimals(7, 0, 150), 0);
    EXPECT_EQ(dbUtilities::FieldDecimals(7, 10, 15), 2);
    EXPECT_EQ(dbUtilities::FieldDecimals(7, 1, 1.05), 4);
    EXPECT_EQ(dbUtilities::FieldDecimals(7, 0, 20), 1);
    EXPECT_EQ(dbUtilities::FieldDecimals(7, 0, 0.5), 3);
    EXPECT_EQ(dbUtilities::FieldDecimals(7, 0, 0), 5);
    EXPECT_EQ(dbUtilities::FieldDecimals(2, 0, 0.05), 0); // Byte
    EXPECT_EQ(dbUtilities::FieldDecimals(1, 0, 1), 0);    // Boolean
    EXPECT_EQ(dbUtilities::FieldDecimals(5, 0, 1000), 2); // Currency
    EXPECT_EQ(NumFormat::Pattern(0), QStringLiteral("0"));
    EXPECT_EQ(NumFormat::Pattern(4), QStringLiteral("0.0000"));
    EXPECT_EQ(CFieldLimitsModel::TypeName(AutoIncrType), QStringLiteral("AutoIncr"));
    EXPECT_EQ(CFieldLimitsModel::TypeName(8), QStringLiteral("Date/Time"));
    EXPECT_EQ(CFieldLimitsModel::TypeName(16), QStringLiteral("Big Integer"));
}

TEST_F(ConfigTest, AdvancedGridShowsAndChecksTheLimits)
{
    CDataDef d;
    d.Initialize(source, QStringLiteral("Ranges"));
    d.GatherStats(true);
    CFieldLimitsModel m;
    m.Load(d);
    ASSERT_EQ(m.rowCount(), d.NumFields());
    const int r150 = RowOf(m, QStringLiteral("R150")), r5 = RowOf(m, QStringLiteral("R5")),
              r005 = RowOf(m, QStringLiteral("R005")), date = RowOf(m, QStringLiteral("D")),
              text = RowOf(m, QStringLiteral("T")), flag = RowOf(m, QStringLiteral("Flag"));
    using C = CFieldLimitsModel;
    EXPECT_EQ(m.CellText(r150, C::colMax), QStringLiteral("150"));
    EXPECT_EQ(m.CellText(r5, C::colMax), QStringLiteral("15.00"));
    EXPECT_EQ(m.CellText(r005, C::colMax), QStringLiteral("1.0500"));
    EXPECT_EQ(m.CellText(date, C::colMin), QStringLiteral("2020-01-01"));
    EXPECT_EQ(m.CellText(text, C::colMin), QString());
    EXPECT_EQ(m.headerData(C::colUserMin, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("User Min"));

    // Which cells may be edited.
    EXPECT_TRUE(m.flags(m.index(r150, C::colUserMin)) & Qt::ItemIsEditable);
    EXPECT_FALSE(m.flags(m.index(r150, C::colMin)) & Qt::ItemIsEditable);
    EXPECT_FALSE(m.flags(m.index(flag, C::colUserMin)) & Qt::ItemIsEditable);
    EXPECT_FALSE(m.flags(m.index(text, C::colUserMax)) & Qt::ItemIsEditable);

    // Numbers: the whole text, C locale; a refused cell keeps its value.
    const QString old = m.CellText(r150, C::colUserMin);
    EXPECT_FALSE(m.setData(m.index(r150, C::colUserMin), QStringLiteral("abc"), Qt::EditRole));
    EXPECT_EQ(m.RefusalText(), QStringLiteral("Not a number: abc"));
    EXPECT_FALSE(m.SetBound(r150, C::colUserMin, QStringLiteral("1,5")));
    EXPECT_FALSE(m.SetBound(r150, C::colUserMin, QStringLiteral("12abc")));
    EXPECT_EQ(m.CellText(r150, C::colUserMin), old);
    EXPECT_FALSE(m.Changed());
    EXPECT_TRUE(m.SetBound(r150, C::colUserMin, QStringLiteral(" 12.5 ")));
    EXPECT_EQ(m.RowAt(r150).userMin, 12.5);
    EXPECT_FALSE(m.SetBound(r150, C::colUserMax, QStringLiteral("12")));
    EXPECT_EQ(m.RefusalText(), QStringLiteral("User Min must not be greater than User Max."));
    // An emptied number goes back to the gathered bound, never to the "no limit" marker.
    EXPECT_TRUE(m.SetBound(r150, C::colUserMin, QString()));
    EXPECT_DOUBLE_EQ(m.RowAt(r150).userMin, d.UserMin(int16_t(r150 + 1)));
    EXPECT_NE(m.RowAt(r150).userMin, NoUserLimit);

    // Dates: an emptied bound is the field's own first or last date again, never the "no
    // limit" marker (training scales every date by it); a text that is no date is refused.
    const QString dateMax = m.CellText(date, C::colUserMax);
    EXPECT_FALSE(m.SetBound(date, C::colUserMin, QStringLiteral("abc")));
    EXPECT_TRUE(m.SetBound(date, C::colUserMin, QStringLiteral("2020-01-05")));
    EXPECT_TRUE(m.SetBound(date, C::colUserMin, QString()));
    EXPECT_EQ(m.RowAt(date).userMin, m.RowAt(date).min);
    EXPECT_NE(m.RowAt(date).userMin, NoUserLimit);
    EXPECT_EQ(m.CellText(date, C::colUserMin), m.CellText(date, C::colMin));
    EXPECT_EQ(m.CellText(date, C::colUserMax), dateMax);
    EXPECT_TRUE(m.SetBound(date, C::colUserMax, QString()));
    EXPECT_EQ(m.RowAt(date).userMax, m.RowAt(date).max);
    EXPECT_TRUE(m.SetBound(date, C::colUserMin, QStringLiteral("2020-02-01")));
    EXPECT_EQ(m.CellText(date, C::colUserMin), QStringLiteral("2020-02-01"));

    // Nothing reaches the definition before ApplyTo.
    EXPECT_NE(d.UserMin(int16_t(date + 1)), m.RowAt(date).userMin);
    m.ApplyTo(d);
    EXPECT_EQ(d.UserMin(int16_t(date + 1)), m.RowAt(date).userMin);
}

// A Time field's limits and statistics read and are typed as the data grids show its values,
// never as fractions of a day; a limit outside the day keeps its sign.
TEST_F(ConfigTest, AdvancedGridShowsAndTakesTimesAsTimes)
{
    {
        kdb::Database db = kdb::Database::Open(source, false, false);
        db.Execute("ALTER TABLE Ranges ADD COLUMN Tm TIME");
        db.Execute("UPDATE Ranges SET Tm = printf('%02d:30:00', rowid)");
    }
    CDataDef d;
    d.Initialize(source, QStringLiteral("Ranges"));
    d.GatherStats(true);
    CFieldLimitsModel m;
    m.Load(d);
    const int tm = RowOf(m, QStringLiteral("Tm"));
    ASSERT_GE(tm, 0);
    ASSERT_EQ(m.RowAt(tm).type, kdb::dbTime);
    using C = CFieldLimitsModel;
    EXPECT_EQ(m.CellText(tm, C::colMin), QStringLiteral("01:30:00"));
    EXPECT_EQ(m.CellText(tm, C::colMax), QStringLiteral("12:30:00"));
    EXPECT_EQ(m.CellText(tm, C::colAvg), QStringLiteral("07:00:00"));
    EXPECT_FALSE(m.data(m.index(tm, C::colMin), CBrowseGrid::NumberRole).toBool());
    EXPECT_EQ(m.CellText(tm, C::colUserMin), QStringLiteral("01:30:00"));
    // An emptied User Min (the mean less two deviations) lies before midnight: shown signed,
    // edited as the number it is.
    EXPECT_TRUE(m.SetBound(tm, C::colUserMin, QString()));
    ASSERT_LT(m.RowAt(tm).userMin, 0);
    EXPECT_TRUE(m.CellText(tm, C::colUserMin).startsWith(QLatin1Char('-')));
    const double gathered = m.RowAt(tm).userMin;
    EXPECT_TRUE(m.SetBound(tm, C::colUserMin, m.EditText(tm, C::colUserMin)));
    EXPECT_EQ(m.RowAt(tm).userMin, gathered);

    EXPECT_FALSE(m.SetBound(tm, C::colUserMin, QStringLiteral("08:00:99")));
    EXPECT_EQ(m.RefusalText(), QStringLiteral("Not a time: 08:00:99"));
    EXPECT_TRUE(m.SetBound(tm, C::colUserMin, QStringLiteral("08:00:00")));
    EXPECT_DOUBLE_EQ(m.RowAt(tm).userMin, 8.0 / 24);
    EXPECT_EQ(m.CellText(tm, C::colUserMin), QStringLiteral("08:00:00"));
    EXPECT_EQ(m.EditText(tm, C::colUserMin), QStringLiteral("08:00:00"));
    EXPECT_FALSE(m.SetBound(tm, C::colUserMax, QStringLiteral("07:00:00")));
    EXPECT_EQ(m.RefusalText(), QStringLiteral("User Min must not be greater than User Max."));
    m.ApplyTo(d);
    EXPECT_EQ(FieldValueText(d, int16_t(tm + 1), d.UserMin(int16_t(tm + 1))), QStringLiteral("08:00:00"));
}

TEST_F(ConfigTest, AdvancedOkTellsTheWindowAndCancelDropsTheCopy)
{
    NewProject(ntBackProp);
    frmConfPrj* w = OpenWindow(true);
    Browse(w, source);
    w->ChooseTable(QStringLiteral("Ranges"));
    w->cmdAllToInput_Click();
    ASSERT_EQ(w->InputCount(), 9); // every field but the text
    auto& ddo = *CurrentNetworkAs<CBackProp>()->State().DDO();
    const int16_t r150 = ddo.FieldIndex(QStringLiteral("R150"));
    const double gathered = ddo.UserMin(r150);

    // Cancel: the copy goes, the window is not told.
    frmConfigProj* a = frmConfigProj::Open(w);
    ASSERT_TRUE(a->Model().SetBound(r150 - 1, CFieldLimitsModel::colUserMin, QStringLiteral("3")));
    a->cmdCancel_Click();
    ConfTest::Flush();
    EXPECT_EQ(ddo.UserMin(r150), gathered);
    EXPECT_FALSE(w->mMinMaxChanged);
    EXPECT_TRUE(w->findChild<QPushButton*>(QStringLiteral("cmdCancel"))->isEnabled());

    // OK: a node count outside 2..64 is refused in the status and replaced by the suggestion.
    a = frmConfigProj::Open(w);
    EXPECT_EQ(a->NodesBox()->value(), 6); // the window's own count for 9 inputs
    a->NodesBox()->setValue(99);
    EXPECT_EQ(gVeltra().StatusBar().Panel(1).Text(), QStringLiteral(" Number of nodes must be between 2 and 64. "));
    ASSERT_TRUE(a->Model().SetBound(r150 - 1, CFieldLimitsModel::colUserMin, QStringLiteral("3")));
    a->cmdOK_Click();
    ConfTest::Flush();
    // Handed to the configuration window; the definition changes only with its OK.
    EXPECT_EQ(ddo.UserMin(r150), gathered);
    a = frmConfigProj::Open(w);
    EXPECT_EQ(a->Model().RowAt(r150 - 1).userMin, 3.0);
    a->cmdCancel_Click();
    ConfTest::Flush();
    EXPECT_TRUE(w->mMinMaxChanged);
    EXPECT_FALSE(w->findChild<QPushButton*>(QStringLiteral("cmdCancel"))->isEnabled());
    EXPECT_EQ(w->Nodes(), 6);
    EXPECT_EQ(CurrentNetworkAs<CBackProp>()->CurrentNodes(), 0); // the project's own count waits for OK

    // A trained project whose limits changed: OK asks nothing and commits.
    gProcess().SetIsTrained(true);
    w->findChild<QListWidget*>(QStringLiteral("lstFields"))->setCurrentRow(0);
    w->cmdAllFromInput_Click();
    w->findChild<QListWidget*>(QStringLiteral("lstFields"))->item(1)->setSelected(true);
    w->cmdOneToInput_Click();
    w->findChild<QListWidget*>(QStringLiteral("lstFields"))->clearSelection();
    w->findChild<QListWidget*>(QStringLiteral("lstFields"))->setCurrentRow(2);
    w->cmdToPrediction_Click();
    w->cmdOK_Click();
    ConfTest::Flush();
    EXPECT_EQ(calls, QStringList{QStringLiteral("SetLimits")});
    EXPECT_FALSE(gProcess().IsTrained());
    EXPECT_TRUE(gProcess().IsConfigured());
    EXPECT_EQ(CurrentNetworkAs<CBackProp>()->CurrentNodes(), 3); // the window's count after the last input move
    EXPECT_EQ(ddo.UserMin(r150), 3.0);
}

// Each configuration window does its activation steps each time it becomes the active child:
// the advanced grid reads the inputs again after the user changed them in the configuration
// window, and the configuration window gives its prompt back.
TEST_F(ConfigTest, EachActivationOfAConfigurationWindowRunsItsSteps)
{
    NewProject(ntBackProp);
    frmConfPrj* w = OpenWindow(true);
    Browse(w, source);
    w->ChooseTable(QStringLiteral("Ranges"));
    w->cmdAllToInput_Click();
    frmConfigProj* a = frmConfigProj::Open(w);
    ConfTest::Flush();
    ASSERT_TRUE(a->NodesBox()->isEnabled());

    CConfigWindow::Activate(w);
    EXPECT_EQ(gVeltra().StatusBar().Panel(1).Text(), QStringLiteral(" Setup the configuration of this project. "));
    w->cmdAllFromInput_Click();
    ASSERT_EQ(w->InputCount(), 0);
    CConfigWindow::Activate(a);
    EXPECT_FALSE(a->NodesBox()->isEnabled());
    EXPECT_EQ(a->NodesBox()->value(), 0);
    EXPECT_EQ(gVeltra().StatusBar().Panel(1).Text(), QStringLiteral(" No input fields are selected. "));
    a->cmdCancel_Click();
    ConfTest::Flush();
}
