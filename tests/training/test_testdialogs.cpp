// The two test dialogs and the test command: the figures and their formats, the training
// column from the training rows, a failed test showing no figures, and the road through
// "Reset Data Limits" (a new testing range tests again on the dialog on screen, an unchanged
// split keeps the figures, a new training range ends the command), "Close" (the results browser
// after the dialog) and "Browse Test Results" (the results worst first).
#include "core/numformat.h"
#include "core/widgets/commandbar.h"
#include "core/widgets/toolnames.h"
#include "shell/navigate.h"
#include "tests/charts/chartfixture.h"
#include "tests/support/progresslistener.h"
#include "tests/support/modalanswerer.h"
#include "training/testdialogs.h"

#include <QLabel>
#include <QPushButton>

namespace {

ModalAnswerer::Answer click(QPushButton* frmTestNetwork::*button)
{
    return [button](QWidget* w) {
        auto* dialog = qobject_cast<frmTestNetwork*>(w);
        ASSERT_NE(dialog, nullptr);
        (dialog->*button)->click();
    };
}

class TestDialogsTest : public ::testing::Test {
protected:
    void SetUp() override { folder = TestEnv::NewFolder("testdialogs"); }
    FakePrompter prompts;
    ChartTest::MainWindow window;
    RecordingHost host;
    ChartTest::RecordingViews views;
    QString folder;
};

} // namespace

TEST(TestFigures, FormatsOfBothDialogs)
{
    const auto c = TestFigures::Column(12.346f, 2.38f, 0.19f, 0.9);
    EXPECT_EQ(c[0], "12.35%");
    EXPECT_EQ(c[1], "2.38");
    EXPECT_EQ(c[2], "0.190");
    EXPECT_EQ(c[3], "0.900");
    EXPECT_EQ(TestFigures::Column(1, 1, 1.4f, std::nan(""))[3], "N/A");
    EXPECT_EQ(TestFigures::SFamError(0), "0.00%");
    EXPECT_EQ(TestFigures::SFamError(7.5f), "7.50%");
    EXPECT_EQ(TestFigures::SFamError(-1), "N/A");
}

TEST_F(TestDialogsTest, TrainingColumnIsTheTrainingRowsAndAFailedTestShowsNoFigures)
{
    auto bp = ChartTest::TestedBackProp(folder);
    // After the test the arrays hold the testing rows; the training column must not show them.
    const float testing = bp->State().CurrentError();
    const CBackProp::RowStatistics expected = [&] {
        CBackProp::RowStatistics s = bp->TrainingStatistics();
        bp->Test();
        return s;
    }();
    ASSERT_TRUE(expected.valid);
    frmTestNetwork dialog(bp);
    EXPECT_EQ(dialog.windowTitle(), "Data Test Successful");
    EXPECT_EQ(dialog.lblTrainStat[0]->text(), NumFormat::FormatSingle(expected.error, "0.00") + "%");
    EXPECT_EQ(dialog.lblTrainStat[2]->text(), NumFormat::FormatSingle(expected.unexplained, "0.000"));
    ASSERT_EQ(dialog.Start(), TestOutcome::Done);
    EXPECT_EQ(dialog.lblTrainStat[4]->text(), NumFormat::FormatSingle(bp->State().CurrentError(), "0.00") + "%");
    EXPECT_FLOAT_EQ(bp->State().CurrentError(), testing);
    EXPECT_NE(dialog.lblTrainStat[4]->text(), dialog.lblTrainStat[0]->text());

    // No network: no training figures (grey captions), and the failed test shows "N/A".
    bp->Reset();
    frmTestNetwork failed(bp);
    EXPECT_TRUE(failed.lblTrainStat[0]->text().isEmpty());
    EXPECT_NE(failed.Start(), TestOutcome::Done);
    for (size_t k = 4; k < 8; ++k)
        EXPECT_EQ(failed.lblTrainStat[k]->text(), "N/A");
    EXPECT_EQ(bp->State().CurrentError(), -1.0f);
}

TEST_F(TestDialogsTest, ResetDataLimitsTestsAgainOnTheDialogItselfOnlyForANewTestingRange)
{
    auto bp = ChartTest::TestedBackProp(folder);
    std::array<QString, 8> first, unchanged, retested;
    int split = 0;
    gCommands().Add(ToolName::Split, [&](const CommandClick&) {
        // The first split changes nothing, the second ends the testing range earlier.
        if (++split == 2)
            bp->State().SetTestHigh(350);
    });
    // What the user sees of the dialog when a test begins.
    QPointer<frmTestNetwork> shown;
    struct Seen {
        bool visible, enabled;
        uint32_t colour;
        QString figure;
    };
    std::vector<Seen> seen;
    ProgressListener listener([&](int percent) {
        if (percent == 0 && shown)
            seen.push_back({shown->isVisible(), shown->isEnabled(), shown->TestingCaptionColour(),
                            shown->lblTrainStat[4]->text()});
    });
    {
        ModalAnswerer answers;
        answers.Then([&](QWidget* w) {
            shown = qobject_cast<frmTestNetwork*>(w);
            ASSERT_NE(shown, nullptr);
            first = shown->Figures();
            shown->cmdSetLimits->click();
            unchanged = shown->Figures();
            shown->cmdSetLimits->click();
            retested = shown->Figures();
            // The same dialog, still up, blue and usable again.
            EXPECT_TRUE(shown->isVisible());
            EXPECT_TRUE(shown->isEnabled());
            EXPECT_EQ(shown->TestingCaptionColour(), 0xFF0000u);
            shown->cmdExit->click();
        });
        gNavigate().Navigate(navTrained);
        TestDialogs::TestShow();
        EXPECT_EQ(answers.Answered(), 1);
    }
    EXPECT_EQ(views.Count("CloseBrowsers"), 1);
    EXPECT_EQ(split, 2);
    EXPECT_EQ(unchanged, first);
    // The new test ran on the dialog on screen: disabled, "Testing" red, its figures emptied.
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_TRUE(seen[0].visible);
    EXPECT_FALSE(seen[0].enabled);
    EXPECT_EQ(seen[0].colour, 0xFFu);
    EXPECT_EQ(seen[0].figure, "");
    EXPECT_NE(retested[4], first[4]);
    EXPECT_EQ(retested[0], first[0]);
    EXPECT_EQ(views.Count("BrowseTest"), 1); // Close opens the results browser, after the dialog
    EXPECT_TRUE(window.ToolEnabled(ToolName::Scatter)); // the tested step

    // "Browse Test Results" opens the results worst first, not the view of Close.
    {
        ModalAnswerer answers;
        answers.Then(click(&frmTestNetwork::cmdBrowse));
        TestDialogs::TestShow();
    }
    EXPECT_EQ(views.Count("BrowseTestWorstFirst"), 1);
    EXPECT_EQ(views.Count("BrowseTest"), 1);

    // A new training range ends the command: no browser, no tested step.
    gNavigate().Navigate(navTrained);
    gCommands().Add(ToolName::Split, [&](const CommandClick&) { bp->State().SetTrainHigh(250); });
    {
        ModalAnswerer answers;
        answers.Then(click(&frmTestNetwork::cmdSetLimits));
        TestDialogs::TestShow();
    }
    EXPECT_EQ(views.Count("BrowseTest"), 1);
    EXPECT_EQ(views.Count("BrowseTestWorstFirst"), 1);
    EXPECT_FALSE(window.ToolEnabled(ToolName::Scatter));
}

TEST_F(TestDialogsTest, SFamDialogShowsBothErrors)
{
    // Four groups of one input point each; a row of another class at the same point cannot be
    // told apart, so the group's own class is the best answer: every tenth training row and
    // every fourth testing row is wrong whatever the network learns.
    const char* names[] = {"Amber", "Briar", "Cobalt", "Dune"};
    std::vector<QList<kdb::Value>> rows;
    for (int i = 1; i <= 300; ++i) {
        const int group = i % 4;
        const bool odd = i <= 200 ? i % 10 == 0 : i % 4 == 1;
        rows.push_back({i, group * 3.0, group * 2.0, names[odd ? (group + 1) % 4 : group]});
    }
    const QString source = NetTest::MakeSource(folder, "Data", "X1 REAL, X2 REAL, Kind TEXT", rows);
    auto sf = ChartTest::TestedSFam(folder + "/groups.kvp", source, "Data",
                                    {{"X1", roleInput, 0, 12}, {"X2", roleInput, 0, 8}, {"Kind", roleSFamPredict}});
    std::pair<QString, QString> shown;
    {
        ModalAnswerer answers;
        answers.Then([&](QWidget* w) {
            auto* dialog = qobject_cast<frmSFTest*>(w);
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(dialog->windowTitle(), "SFAM Test Results");
            shown = {dialog->lblTrainErr->text(), dialog->lblTestErr->text()};
            dialog->cmdClose->click();
        });
        TestDialogs::TestShow();
    }
    EXPECT_EQ(shown.first, "10.00%");
    EXPECT_EQ(shown.second, "25.00%");
    EXPECT_EQ(views.Count("BrowseTest"), 0);
}
