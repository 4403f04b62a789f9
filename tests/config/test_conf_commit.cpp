// What a commit may never do: count a visit to a grid cell as a change and reset a trained
// network for it, drop a refused entry in silence, go on after a step that failed (a project
// file held by another connection, on every road of OK), leave an SFAM project with an awkward
// prediction field without its class list, commit a table too small to train on, or leave the
// tools of the step before it; nor may the advanced grid's refusals outlive what they refused.
#include "config/advancedmodel.h"
#include "config/advancedconfiguration.h"
#include "config/configureproject.h"
#include "core/widgets/commandbar.h"
#include "core/widgets/statusbar.h"
#include "core/widgets/toolnames.h"
#include "core/widgets/veltra.h"
#include "data/datadef.h"
#include "data/projectschema.h"
#include "kdb/kdb.h"
#include "network/backprop.h"
#include "network/workflowflags.h"
#include "network/sfam.h"
#include "shell/modmenu.h"
#include "shell/navigate.h"
#include "tests/config/test_conf_support.h"

#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableView>
#include <QTest>

namespace {

void Select(frmConfPrj* w, const QStringList& names)
{
    auto* l = w->findChild<QListWidget*>(QStringLiteral("lstFields"));
    l->clearSelection();
    for (int i = 0; i < l->count(); ++i) {
        if (names.contains(l->item(i)->text())) {
            l->item(i)->setSelected(true);
            l->setCurrentItem(l->item(i), QItemSelectionModel::Select);
        }
    }
}

void GiveRoles(frmConfPrj* w, const QStringList& inputs, const QString& prediction)
{
    Select(w, inputs);
    w->cmdOneToInput_Click();
    Select(w, {prediction});
    w->cmdToPrediction_Click();
}

QString StatusText()
{
    return gVeltra().StatusBar().Panel(1).Text().trimmed();
}

// The open editor of a pane's current cell, if any.
QLineEdit* Editor(QTableView* pane)
{
    return qobject_cast<QLineEdit*>(pane->indexWidget(pane->currentIndex()));
}

QLineEdit* OpenEditor(QTableView* pane, const QModelIndex& cell)
{
    pane->setCurrentIndex(cell);
    pane->edit(cell);
    return Editor(pane);
}

} // namespace

class CommitTest : public ConfigTest {
protected:
    // A new project of the kind over `table`, configured with `inputs` and `prediction`
    // through the window and committed.
    QString CommittedProject(int32_t kind, const QString& name, const QString& table, const QStringList& inputs,
                             const QString& prediction)
    {
        const QString project = NewProject(kind, name);
        frmConfPrj* w = OpenWindow(true);
        Browse(w, source);
        w->ChooseTable(table);
        GiveRoles(w, inputs, prediction);
        w->cmdOK_Click();
        ConfTest::Flush();
        EXPECT_TRUE(gProcess().IsConfigured());
        return project;
    }
    // A back-propagation project over `table` committed with `inputs` and `prediction`, its
    // flags saved configured, split and trained, opened again.
    QString TrainedProject(const QString& table, const QStringList& inputs, const QString& prediction)
    {
        const QString project = CommittedProject(ntBackProp, QStringLiteral("p.kvp"), table, inputs, prediction);
        gProcess().SetIsSplit(true);
        gProcess().SetIsTrained(true);
        gProcess().Save(project);
        OpenProject(ntBackProp, project);
        calls.clear();
        return project;
    }

    QTableView* Left(frmConfigProj* a) { return a->LeftPane(); }
};

TEST_F(CommitTest, VisitingAGridCellChangesNothingAndKeepsTheTraining)
{
    const QString project =
        TrainedProject(QStringLiteral("Ranges"), {QStringLiteral("R150"), QStringLiteral("R5")}, QStringLiteral("X"));
    const QByteArray bytes = ConfTest::Bytes(project);
    const CDataDef& ddo = *CurrentNetworkAs<CBackProp>()->State().DDO();
    const int16_t r150 = ddo.FieldIndex(QStringLiteral("R150"));
    const double stored = ddo.UserMin(r150);

    frmConfPrj* w = OpenWindow(false);
    frmConfigProj* a = frmConfigProj::Open(w);
    CFieldLimitsModel& m = a->Model();
    const QModelIndex cell = m.index(r150 - 1, CFieldLimitsModel::colUserMin);
    // The grid rounds the number for display; the editor holds all of it.
    ASSERT_NE(m.data(cell, Qt::DisplayRole).toString().toDouble(), stored);
    QLineEdit* editor = OpenEditor(Left(a), cell);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text().toDouble(), stored);

    // The editor left as it came, then OK: nothing changed anywhere.
    a->cmdOK_Click();
    ConfTest::Flush();
    EXPECT_EQ(frmConfigProj::Current(), nullptr);
    EXPECT_FALSE(w->mMinMaxChanged);
    EXPECT_TRUE(w->findChild<QPushButton*>(QStringLiteral("cmdCancel"))->isEnabled());

    // So the configuration's OK asks nothing, resets nothing, and goes to the training view.
    w->cmdOK_Click();
    ConfTest::Flush();
    EXPECT_EQ(calls, QStringList{QStringLiteral("MenuBProp")});
    EXPECT_TRUE(gProcess().IsTrained());
    EXPECT_EQ(ddo.UserMin(r150), stored);
    EXPECT_EQ(ConfTest::Bytes(project), bytes);

    // A value typed back as it stood is no change either; one really changed is.
    w = OpenWindow(false);
    a = frmConfigProj::Open(w);
    CFieldLimitsModel& again = a->Model();
    EXPECT_TRUE(again.setData(cell, again.data(cell, Qt::EditRole), Qt::EditRole));
    EXPECT_FALSE(a->ChangedFlag());
    EXPECT_TRUE(again.setData(cell, QStringLiteral("-5"), Qt::EditRole));
    EXPECT_TRUE(a->ChangedFlag());
    EXPECT_TRUE(again.setData(cell, QString::number(stored, 'g', 17), Qt::EditRole));
    EXPECT_FALSE(a->ChangedFlag()); // changed and changed back
}

TEST_F(CommitTest, AdvancedOkStaysOnARefusedEntry)
{
    NewProject(ntBackProp);
    frmConfPrj* w = OpenWindow(true);
    Browse(w, source);
    w->ChooseTable(QStringLiteral("Ranges"));
    GiveRoles(w, {QStringLiteral("R150")}, QStringLiteral("X"));
    frmConfigProj* a = frmConfigProj::Open(w);
    const int row = CurrentNetworkAs<CBackProp>()->State().DDO()->FieldIndex(QStringLiteral("R5")) - 1;
    const QModelIndex cell = a->Model().index(row, CFieldLimitsModel::colUserMax);

    // Typed into the open editor: OK checks it, refuses it and stays on it.
    QLineEdit* editor = OpenEditor(Left(a), cell);
    ASSERT_NE(editor, nullptr);
    editor->setText(QStringLiteral("12,5"));
    a->cmdOK_Click();
    ConfTest::Flush();
    ASSERT_EQ(frmConfigProj::Current(), a);
    EXPECT_EQ(StatusText(), QStringLiteral("Not a number: 12,5"));
    EXPECT_EQ(Left(a)->currentIndex(), cell);
    ASSERT_NE(Editor(Left(a)), nullptr);
    EXPECT_EQ(Editor(Left(a))->text(), QStringLiteral("12,5"));
    EXPECT_FALSE(w->mMinMaxChanged);

    // Refused earlier (Enter), then OK: the window goes back to that cell.
    Editor(Left(a))->setText(QStringLiteral("1"));
    Left(a)->setCurrentIndex(a->Model().index(0, 0)); // the editor commits "1": below User Min
    ConfTest::Flush();
    EXPECT_EQ(Editor(Left(a)), nullptr);
    EXPECT_EQ(a->Model().PendingRefusal().row, row);
    a->cmdOK_Click();
    ConfTest::Flush();
    EXPECT_EQ(frmConfigProj::Current(), a);
    EXPECT_EQ(StatusText(), QStringLiteral("User Min must not be greater than User Max."));
    ASSERT_NE(Editor(Left(a)), nullptr);
    EXPECT_EQ(Editor(Left(a))->text(), QStringLiteral("1"));

    // Mended, OK closes the window and hands the value over.
    Editor(Left(a))->setText(QStringLiteral("12.5"));
    a->cmdOK_Click();
    ConfTest::Flush();
    EXPECT_EQ(frmConfigProj::Current(), nullptr);
    EXPECT_TRUE(w->mMinMaxChanged);
    ASSERT_GT(w->PendingLimits().size(), row);
    EXPECT_EQ(w->PendingLimits()[row].second, 12.5);
}

TEST_F(CommitTest, OkWithTheProjectFileHeldElsewhereChangesNothingAndStaysOpen)
{
    const QString project = TrainedProject(QStringLiteral("Order"), {QStringLiteral("Input A")}, QStringLiteral("Target"));
    const int64_t snapshots =
        kdb::Database::Open(project, false, true).Scalar(QStringLiteral("SELECT COUNT(*) FROM Snapshots")).toInt();
    frmConfPrj* w = OpenWindow(false);
    Select(w, {QStringLiteral("Input B")});
    w->cmdOneToInput_Click();
    const CDataDef& ddo = *CurrentNetworkAs<CBackProp>()->State().DDO();
    const int16_t inputB = ddo.FieldIndex(QStringLiteral("Input B"));

    // Another connection in the middle of writing to the project file.
    kdb::Database other = kdb::Database::Open(project, false, false);
    other.Execute(QStringLiteral("BEGIN IMMEDIATE"));
    other.Execute(QStringLiteral("UPDATE Config SET sValue = sValue"));
    const QByteArray bytes = ConfTest::Bytes(project);

    prompts.ExpectBox(MsgResult::Yes); // reset the training?
    prompts.ExpectBox(MsgResult::Ok);  // the one error box
    w->cmdOK_Click();
    ConfTest::Flush();
    ASSERT_EQ(prompts.Boxes().size(), 2u);
    EXPECT_EQ(prompts.LastBox().title, QStringLiteral("frmConfPrj::cmdOK_Click"));
    EXPECT_TRUE(prompts.LastBox().text.startsWith(QStringLiteral("Error: 3050. "))) << prompts.LastBox().text.toStdString();
    // The window stays open, no view follows, nothing changed in memory or in the file.
    EXPECT_EQ(frmConfPrj::Current(), w);
    EXPECT_TRUE(calls.isEmpty());
    EXPECT_EQ(ConfTest::Bytes(project), bytes);
    EXPECT_EQ(ddo.UserMatchType(inputB), roleUnused);
    EXPECT_TRUE(gProcess().IsTrained());
    other.Execute(QStringLiteral("ROLLBACK"));
    other.Close();
    EXPECT_EQ(kdb::Database::Open(project, false, true).Scalar(QStringLiteral("SELECT COUNT(*) FROM Snapshots")).toInt(),
              snapshots);

    // Free again, the same OK commits.
    prompts.ExpectBox(MsgResult::Yes);
    w->cmdOK_Click();
    ConfTest::Flush();
    EXPECT_EQ(calls, QStringList{QStringLiteral("SetLimits")});
    EXPECT_EQ(ddo.UserMatchType(inputB), roleInput);
    EXPECT_FALSE(gProcess().IsTrained());
}

TEST_F(CommitTest, SfamPredictionFieldWithABracketInItsNameTrains)
{
    const QString odd = folder + QStringLiteral("/odd.kvs");
    {
        kdb::Database db = kdb::Database::Create(odd);
        db.Execute(QStringLiteral("CREATE TABLE \"Odd\" (\"ID\" INTEGER PRIMARY KEY, \"Input A\" DOUBLE, \"Kind]x\" TEXT)"));
        kdb::Statement ins = db.Prepare(QStringLiteral("INSERT INTO \"Odd\" VALUES (?,?,?)"));
        const QStringList kinds{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")};
        for (int i = 1; i <= 60; ++i)
            ins.Run({int64_t(i), double(i % 3) + 0.01 * i, kinds[i % 3]});
    }
    const QString project = NewProject(ntSFam);
    frmConfPrj* w = OpenWindow(true);
    Browse(w, odd); // its one table is chosen at once
    ASSERT_EQ(w->TableName(), QStringLiteral("Odd"));
    GiveRoles(w, {QStringLiteral("Input A")}, QStringLiteral("Kind]x"));
    w->cmdOK_Click();
    ConfTest::Flush();
    EXPECT_EQ(calls, QStringList{QStringLiteral("SetLimits")});
    EXPECT_TRUE(gProcess().IsConfigured());
    EXPECT_EQ(kdb::Database::Open(project, false, true).RecordCount(ProjectSchema::ClassesTable()), 3);

    CSFam& sf = *CurrentNetworkAs<CSFam>();
    sf.State().SetTrainLow(1);
    sf.State().SetTrainHigh(60);
    sf.Train();
    EXPECT_EQ(sf.State().DLLError(), 0);
    EXPECT_TRUE(sf.State().NetReady());
    EXPECT_EQ(sf.ClassNames().size(), 4u);
}

TEST_F(CommitTest, ATableTooSmallToTrainOnIsRefusedBeforeAnythingIsWritten)
{
    for (const int rows : {0, 9}) {
        const QString sub = folder + QStringLiteral("/rows%1").arg(rows);
        QDir().mkpath(sub);
        const QString small = ConfTest::MakeSource(sub, rows);
        const QString project = NewProject(ntBackProp, QStringLiteral("small%1.kvp").arg(rows));
        frmConfPrj* w = OpenWindow(true);
        Browse(w, small);
        w->ChooseTable(QStringLiteral("Order"));
        GiveRoles(w, {QStringLiteral("Input A")}, QStringLiteral("Target"));
        const QByteArray bytes = ConfTest::Bytes(project);
        prompts.ExpectBox(MsgResult::Ok);
        w->cmdOK_Click();
        ConfTest::Flush();
        EXPECT_EQ(prompts.LastBox().title, QStringLiteral("Not Enough Rows"));
        EXPECT_EQ(prompts.LastBox().text,
                  QStringLiteral("The table: [Order] has %1 rows.  At least 10 rows are needed to train a network.\r\n\r\n"
                                 "Please select a different table.")
                      .arg(rows));
        EXPECT_EQ(frmConfPrj::Current(), w);
        EXPECT_TRUE(calls.isEmpty());
        EXPECT_FALSE(gProcess().IsConfigured());
        EXPECT_EQ(ConfTest::Bytes(project), bytes);
        w->cmdCancel_Click();
        ConfTest::Flush();
    }
}

TEST_F(CommitTest, OkWithTheProjectFileLockedStopsWithOneBoxOnEveryRoad)
{
    for (const int32_t kind : {ntSFam, ntBackProp}) {
        const bool sfam = kind == ntSFam;
        const QString prediction = sfam ? QStringLiteral("Class") : QStringLiteral("Target");
        const QString project = CommittedProject(kind, sfam ? QStringLiteral("sf.kvp") : QStringLiteral("bp.kvp"),
                                                 QStringLiteral("Order"), {QStringLiteral("Input A")}, prediction);
        gProcess().Save(project);
        OpenProject(kind, project);

        // Nothing changed, then a field moved: another program holding the file (reads
        // included) stops OK with its one box, the window open and no view after it.
        for (const bool change : {false, true}) {
            SCOPED_TRACE(std::string(sfam ? "SFAM" : "BackProp") + (change ? ", changed" : ", unchanged"));
            calls.clear();
            prompts.Clear();
            frmConfPrj* w = OpenWindow(false);
            ASSERT_NE(w, nullptr);
            if (change)
                GiveRoles(w, {QStringLiteral("Input B")}, prediction);
            kdb::Database other = kdb::Database::Open(project, false, false);
            other.Execute(QStringLiteral("BEGIN EXCLUSIVE"));
            const QByteArray bytes = ConfTest::Bytes(project);
            prompts.ExpectBox(MsgResult::Ok);
            w->cmdOK_Click();
            ConfTest::Flush();
            ASSERT_EQ(prompts.Boxes().size(), 1u);
            EXPECT_EQ(prompts.LastBox().title, QStringLiteral("frmConfPrj::cmdOK_Click"));
            EXPECT_TRUE(prompts.LastBox().text.startsWith(QStringLiteral("Error: 3050. "))) << prompts.LastBox().text.toStdString();
            EXPECT_EQ(frmConfPrj::Current(), w);
            EXPECT_TRUE(calls.isEmpty());
            EXPECT_TRUE(w->findChild<QPushButton*>(QStringLiteral("cmdOk"))->isEnabled());
            other.Execute(QStringLiteral("ROLLBACK"));
            other.Close();
            EXPECT_EQ(ConfTest::Bytes(project), bytes);

            // Free again, the same OK goes on to the row split.
            w->cmdOK_Click();
            ConfTest::Flush();
            EXPECT_EQ(calls, QStringList{QStringLiteral("SetLimits")});
            EXPECT_EQ(prompts.Boxes().size(), 1u);
        }
        CloseProject();
    }
}

TEST_F(CommitTest, AfterACommitTheToolsAreThoseOfTheConfiguredStep)
{
    CCommandBar* bar = main->MainToolBar();
    for (const int32_t kind : {ntSFam, ntBackProp}) {
        const bool sfam = kind == ntSFam;
        SCOPED_TRACE(sfam ? "SFAM" : "BackProp");
        calls.clear();
        gNavigate().Navigate(navNoProject);
        ASSERT_FALSE(bar->Enabled(ToolName::Split));
        CommittedProject(kind, sfam ? QStringLiteral("sf.kvp") : QStringLiteral("bp.kvp"), QStringLiteral("Order"),
                         {QStringLiteral("Input A")}, sfam ? QStringLiteral("Class") : QStringLiteral("Target"));
        ASSERT_EQ(calls, QStringList{QStringLiteral("SetLimits")});
        // The row split may be left with Cancel: its tools must then be there to come back to.
        EXPECT_TRUE(bar->Enabled(ToolName::Split));
        EXPECT_TRUE(bar->Enabled(ToolName::ShowAll));
        EXPECT_TRUE(bar->Enabled(sfam ? ToolName::SFShowAll : ToolName::BPShowAll));
        EXPECT_FALSE(bar->Enabled(sfam ? ToolName::BPShowAll : ToolName::SFShowAll));
        EXPECT_TRUE(bar->Enabled(ToolName::Configure));
        EXPECT_TRUE(bar->Enabled(ToolName::Close));
        EXPECT_EQ(gNavigate().Step(), navConfigured);
        CloseProject();
    }
}

TEST_F(CommitTest, TheAdvancedGridsTextsGoWithWhatTheySpokeOf)
{
    NewProject(ntBackProp);
    frmConfPrj* w = OpenWindow(true);
    Browse(w, source);
    w->ChooseTable(QStringLiteral("Ranges"));
    GiveRoles(w, {QStringLiteral("R150")}, QStringLiteral("X"));
    const int row = CurrentNetworkAs<CBackProp>()->State().DDO()->FieldIndex(QStringLiteral("R5")) - 1;

    // What may stand once a refusal is gone: the configuration window's own text, or none.
    const auto configurationText = [] {
        return StatusText().isEmpty() || StatusText() == QStringLiteral("Setup the configuration of this project.");
    };
    // Refused by OK, given up with Escape: the refusal goes, the grid then closed.
    frmConfigProj* a = frmConfigProj::Open(w);
    const QModelIndex max = a->Model().index(row, CFieldLimitsModel::colUserMax);
    QLineEdit* editor = OpenEditor(Left(a), max);
    ASSERT_NE(editor, nullptr);
    editor->setText(QStringLiteral("12,5"));
    a->cmdOK_Click();
    ConfTest::Flush();
    ASSERT_EQ(StatusText(), QStringLiteral("Not a number: 12,5"));
    ASSERT_NE(Editor(Left(a)), nullptr);
    QTest::keyClick(Editor(Left(a)), Qt::Key_Escape);
    ConfTest::Flush();
    EXPECT_EQ(Editor(Left(a)), nullptr);
    EXPECT_TRUE(configurationText()) << StatusText().toStdString();
    a->cmdCancel_Click();
    ConfTest::Flush();
    EXPECT_TRUE(configurationText()) << StatusText().toStdString();

    // Refused with Enter and left standing: the grid's Cancel takes its text along.
    a = frmConfigProj::Open(w);
    editor = OpenEditor(Left(a), a->Model().index(row, CFieldLimitsModel::colUserMax));
    ASSERT_NE(editor, nullptr);
    editor->setText(QStringLiteral("12,5"));
    QTest::keyClick(editor, Qt::Key_Return);
    ConfTest::Flush();
    ASSERT_EQ(StatusText(), QStringLiteral("Not a number: 12,5"));
    a->cmdCancel_Click();
    ConfTest::Flush();
    EXPECT_EQ(frmConfigProj::Current(), nullptr);
    EXPECT_TRUE(configurationText()) << StatusText().toStdString();
}
