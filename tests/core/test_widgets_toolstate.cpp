#include "core/widgets/toolnames.h"
#include "tests/core/test_widgets_bars.h"

#include "core/widgets/mrulist.h"
#include "core/widgets/toolstate.h"
#include "tests/support/fakeprompter.h"
#include "tests/support/testenv.h"

#include <QComboBox>
#include <QListWidget>
#include <gtest/gtest.h>

namespace {

std::map<QString, bool> statesOf(const CCommandBar& bar)
{
    std::map<QString, bool> out;
    for (const QString& name : bar.ToolNames())
        out[name] = bar.Enabled(name);
    return out;
}

void fill(QListWidget& list, const std::vector<std::pair<QString, int>>& entries)
{
    for (const auto& [text, number] : entries) {
        auto* item = new QListWidgetItem(text, &list);
        item->setData(Utilities::ItemDataRole, number);
    }
}

QStringList entries(const QListWidget& list)
{
    QStringList out;
    for (int i = 0; i < list.count(); ++i)
        out << QStringLiteral("%1:%2").arg(list.item(i)->text()).arg(list.item(i)->data(Utilities::ItemDataRole).toInt());
    return out;
}

} // namespace

TEST(ToolStates, RoundTripSurvivesARecentFileInsertedInBetween)
{
    TestEnv::ClearSettings();
    TestMainWindow w;
    CMRUList list;
    list.Initialize(&w.bar->Band(BandName::File));
    w.bar->SetEnabled(ToolName::Close, false);
    w.bar->SetEnabled(ToolName::Configure, false);
    const auto before = statesOf(*w.bar);

    CToolStates states;
    states.SwitchOff(*w.bar);
    EXPECT_FALSE(w.bar->Enabled(ToolName::Open));
    EXPECT_TRUE(w.bar->Enabled(ToolName::HelpContents));
    EXPECT_TRUE(w.bar->Enabled(ToolName::TrainBPExit));
    EXPECT_TRUE(w.bar->Enabled(ToolName::TrainBPTrain));

    // The configuration commit opens a project: the first recent file comes in on the File
    // band ahead of Exit, a tool the switch-off never saw.
    list.Add(QStringLiteral("/data/a.kvp"));
    ASSERT_TRUE(w.bar->HasTool(ToolName::MRUList));
    states.Restore(*w.bar);
    auto after = statesOf(*w.bar);
    EXPECT_TRUE(after[ToolName::MRUList]);
    after.erase(ToolName::MRUList);
    EXPECT_EQ(after, before);
    EXPECT_FALSE(states.Holding());

    // Once there, the recent-file tools keep their own state across a second round.
    w.bar->SetEnabled(ToolName::MRUList, false);
    const auto second = statesOf(*w.bar);
    states.SwitchOff(*w.bar);
    list.Add(QStringLiteral("/data/b.kvp"));
    states.Restore(*w.bar);
    EXPECT_EQ(statesOf(*w.bar), second);
}

TEST(ToolStates, ASecondSwitchOffKeepsTheFirstStatesAndAnEmptyRestoreDoesNothing)
{
    TestMainWindow w;
    w.bar->SetEnabled(ToolName::Close, false);
    const auto before = statesOf(*w.bar);
    CToolStates states;
    states.Restore(*w.bar);
    EXPECT_EQ(statesOf(*w.bar), before);

    states.SwitchOff(*w.bar);
    states.SwitchOff(*w.bar);
    states.Restore(*w.bar);
    EXPECT_EQ(statesOf(*w.bar), before);
    // A second restore has nothing left to give back.
    w.bar->SetEnabled(ToolName::Open, false);
    states.Restore(*w.bar);
    EXPECT_FALSE(w.bar->Enabled(ToolName::Open));
}

TEST(ToolStates, TheModuleHelpersWorkOnTheMainWindowsBar)
{
    TestMainWindow w;
    Utilities::TmpDisableTools();
    EXPECT_FALSE(w.bar->Enabled(ToolName::Exit));
    Utilities::TmpEnableTools();
    EXPECT_TRUE(w.bar->Enabled(ToolName::Exit));

    // Without a main window the failure is shown under the helper's name.
    gVeltra().SetMainForm(nullptr);
    FakePrompter fp;
    fp.ExpectBox(MsgResult::Ok);
    Utilities::TmpDisableTools();
    EXPECT_EQ(fp.LastBox().title, QStringLiteral("Utilities::TmpDisableTools"));
    EXPECT_EQ(fp.LastBox().icon, MsgIcon::Critical);
}

TEST(CopyListItems, SelectedEntriesGoToTheirNumberedPlace)
{
    QListWidget source, target;
    source.setSelectionMode(QAbstractItemView::MultiSelection);
    fill(source, {{"d", 4}, {"x", 9}, {"b", 2}});
    fill(target, {{"a", 1}, {"c", 3}, {"e", 5}});
    source.item(0)->setSelected(true);
    source.item(2)->setSelected(true);
    Utilities::CopyListBoxItemsToCB(&source, &target, true);
    EXPECT_EQ(entries(target), (QStringList{"a:1", "b:2", "c:3", "d:4", "e:5"}));
    EXPECT_EQ(entries(source), (QStringList{"x:9"}));

    // Nothing selected: nothing moves.
    source.clearSelection();
    Utilities::CopyListBoxItemsToCB(&source, &target, true);
    EXPECT_EQ(source.count(), 1);
}

TEST(CopyListItems, AllEntriesArriveReversedAndSingleSelectionAppends)
{
    QListWidget source, target;
    fill(source, {{"A", 1}, {"B", 2}, {"C", 3}});
    fill(target, {{"Z", 0}});
    Utilities::CopyListBoxItemsToCB(&source, &target, false);
    EXPECT_EQ(entries(target), (QStringList{"Z:0", "C:3", "B:2", "A:1"}));
    EXPECT_EQ(source.count(), 0);

    QListWidget single;
    single.setSelectionMode(QAbstractItemView::SingleSelection);
    fill(single, {{"m", 7}, {"n", 1}});
    single.item(1)->setSelected(true);
    Utilities::CopyListBoxItemsToCB(&single, &target, true);
    EXPECT_EQ(entries(target).last(), QStringLiteral("n:1"));
    EXPECT_EQ(entries(single), (QStringList{"m:7"}));

    QComboBox combo;
    Utilities::CopyListBoxItemsToCB(&single, &combo, false);
    ASSERT_EQ(combo.count(), 1);
    EXPECT_EQ(combo.itemData(0, Utilities::ItemDataRole).toInt(), 7);
}

TEST(CopyListItems, AMissingListShowsThePlainForm)
{
    FakePrompter fp;
    fp.ExpectBox(MsgResult::Ok);
    QListWidget target;
    Utilities::CopyListBoxItemsToCB(static_cast<QListWidget*>(nullptr), &target, false);
    EXPECT_EQ(fp.LastBox().title, QStringLiteral("CopyListBoxItemsToCB"));
    EXPECT_EQ(fp.LastBox().text, QStringLiteral("Error: 91. Object variable or With block variable not set"));
    EXPECT_EQ(fp.LastBox().icon, MsgIcon::None);
}
