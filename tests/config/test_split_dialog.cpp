// "Split The Data": the training minimum, the close box, an empty table and stale ranges.
#include "config/rangeselector.h"
#include "config/splitdialog.h"
#include <QLineEdit>
#include "tests/support/fakeprompter.h"
#include "tests/support/testenv.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

TEST(SplitDialog, TenTrainingRowsAtLeast)
{
    FakePrompter prompts;
    frmDataSelect dialog;
    EXPECT_EQ(dialog.windowTitle(), "Split The Data");
    dialog.Init(100, 50, 1, 100, 51);
    dialog.show();
    EXPECT_EQ(dialog.dsTrainSet->HorzPos(), 1);
    EXPECT_EQ(dialog.dsTestSet->HorzPos(), 2);
    EXPECT_EQ(dialog.dsTrainSet->MaxDataSelect(), 32000);
    EXPECT_EQ(dialog.dsTestSet->MaxDataSelect(), 32000);
    EXPECT_EQ(dialog.dsTrainSet->Max(), 100);
    EXPECT_EQ(dialog.dsTrainSet->ValueLow(), 1);
    EXPECT_EQ(dialog.dsTrainSet->ValueHigh(), 50);
    EXPECT_EQ(dialog.dsTestSet->ValueLow(), 51);
    EXPECT_EQ(dialog.dsTestSet->ValueHigh(), 100);
    EXPECT_EQ(dialog.lblTrainRows->text(), "50");
    EXPECT_EQ(dialog.lblTestRows->text(), "50");

    dialog.dsTrainSet->SetValueHigh(10);
    EXPECT_EQ(dialog.lblTrainRows->text(), "10");
    EXPECT_TRUE(dialog.cmdOK->isEnabled());
    dialog.dsTrainSet->SetValueHigh(9);
    EXPECT_EQ(dialog.lblTrainRows->text(), "9");
    EXPECT_FALSE(dialog.cmdOK->isEnabled());

    // OK with too few rows (reached without the button) says so and keeps the dialog open.
    prompts.ExpectBox(MsgResult::Ok);
    dialog.cmdOK_Click();
    ASSERT_EQ(prompts.Boxes().size(), 1u);
    EXPECT_EQ(prompts.LastBox().text, "Must have at least 10 records to train.");
    EXPECT_EQ(prompts.LastBox().title, "Split The Data");
    EXPECT_EQ(prompts.LastBox().icon, MsgIcon::Exclamation);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(dialog.Cancel());
    EXPECT_EQ(dialog.TrainHigh(), 50);

    // A single testing row overlapping the training rows is accepted.
    dialog.dsTrainSet->SetValueHigh(10);
    dialog.dsTestSet->SetValueLow(1);
    dialog.dsTestSet->SetValueHigh(1);
    EXPECT_EQ(dialog.lblTestRows->text(), "1");
    dialog.cmdOK_Click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(dialog.Cancel());
    EXPECT_EQ(dialog.TrainLow(), 1);
    EXPECT_EQ(dialog.TrainHigh(), 10);
    EXPECT_EQ(dialog.TestLow(), 1);
    EXPECT_EQ(dialog.TestHigh(), 1);
}

TEST(SplitDialog, TheCloseBoxAndEscapeAreCancel)
{
    frmDataSelect dialog;
    dialog.Init(100, 50, 1, 100, 51);
    dialog.show();
    dialog.dsTrainSet->SetValueHigh(70);
    dialog.close();
    EXPECT_TRUE(dialog.Cancel());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(dialog.TrainHigh(), 50);   // the bounds given by Init

    frmDataSelect other;
    other.Init(100, 50, 1, 100, 51);
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    // Escape in an open number box commits it and leaves the dialog open.
    // A double-click is a click and then the double-click event.
    QTest::mouseClick(other.dsTrainSet, Qt::LeftButton, {}, QPoint(85, 16));
    QTest::mouseDClick(other.dsTrainSet, Qt::LeftButton, {}, QPoint(85, 16));
    ASSERT_TRUE(other.dsTrainSet->LowBox()->hasFocus());
    QTest::keyClicks(other.dsTrainSet->LowBox(), "20");
    QTest::keyClick(other.dsTrainSet->LowBox(), Qt::Key_Escape);
    EXPECT_TRUE(other.isVisible());
    EXPECT_FALSE(other.Cancel());
    EXPECT_EQ(other.dsTrainSet->ValueLow(), 20);
    EXPECT_EQ(other.lblTrainRows->text(), "31");
    QTest::keyClick(&other, Qt::Key_Escape);
    EXPECT_TRUE(other.Cancel());
    EXPECT_FALSE(other.isVisible());
}

TEST(SplitDialog, NoRowsDisableBothControls)
{
    frmDataSelect dialog;
    dialog.Init(0, 1000, 1, 1000, 1);
    EXPECT_EQ(dialog.MaxRow(), 0);
    EXPECT_EQ(dialog.TrainHigh(), 0);
    dialog.show();
    EXPECT_FALSE(dialog.dsTrainSet->Enabled());
    EXPECT_FALSE(dialog.dsTestSet->Enabled());
    EXPECT_FALSE(dialog.dsTrainSet->isEnabled());
    EXPECT_FALSE(dialog.cmdOK->isEnabled());
}

TEST(SplitDialog, StaleRangesAreClampedToTheTable)
{
    EXPECT_EQ(DataSelectRules::ClampToRows(40, {1, 1000}).high, 40);
    EXPECT_EQ(DataSelectRules::ClampToRows(40, {900, 1000}).low, 40);
    EXPECT_EQ(DataSelectRules::ClampToRows(40, {0, 20}).low, 1);
    EXPECT_EQ(DataSelectRules::ClampToRows(0, {5, 1000}).high, 1000);

    frmDataSelect dialog;
    dialog.Init(40, 1000, 1, 1000, 900);
    EXPECT_EQ(dialog.TrainHigh(), 40);
    EXPECT_EQ(dialog.TrainLow(), 1);
    EXPECT_EQ(dialog.TestLow(), 40);
    EXPECT_EQ(dialog.TestHigh(), 40);
    dialog.show();
    EXPECT_EQ(dialog.dsTrainSet->ValueHigh(), 40);
    EXPECT_EQ(dialog.dsTestSet->ValueLow(), 40);
    EXPECT_EQ(dialog.lblTrainRows->text(), "40");
    EXPECT_TRUE(dialog.cmdOK->isEnabled());
}
