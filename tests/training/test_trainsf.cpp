// The SFAM training window: single and continuous runs with the real engine on a separable
// table, Escape and the Stop tool in a continuous run, the seeded chart, failures and Finish.
#include "core/widgets/toolnames.h"
#include "tests/training/trainfixture.h"

#include "training/led.h"
#include "training/updown.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QMessageBox>
#include <QTest>

namespace {

class TrainSF : public TrainingTest {
protected:
    frmTrainSF* Open()
    {
        net = &OpenSFam();
        frmTrainSF* w = OpenView<frmTrainSF>();
        EXPECT_NE(w, nullptr);
        return w;
    }
    QString Message(frmTrainSF* w) const { return w->lblSFMessage()->text(); }
    ScriptedSFam* net = nullptr;
};

const QString kCompleted = QStringLiteral("SFAM training completed.  Press 'Finish' to continue.");

} // namespace

TEST_F(TrainSF, SingleCyclesThenAContinuousRunThatEscapeStopsAndOneThatEndsAtZero)
{
    frmTrainSF* w = Open();
    ASSERT_TRUE(w);
    EXPECT_EQ(w->windowTitle(), "SFAM Training");
    EXPECT_FALSE(main->MainToolBar()->Visible(ToolName::TrainBPStop));
    EXPECT_FALSE(main->MainToolBar()->Visible(ToolName::TrainBPJogWeights));
    EXPECT_EQ(Message(w), "Press GO to train next cycle");
    EXPECT_EQ(w->History().chartBest(), 301.0f);

    // Unticked: one press, one cycle, one point.
    w->chkContinuous()->setChecked(false);
    modMenu::TrainBar(ToolName::TrainBPTrain);
    EXPECT_EQ(RunToEnd(w), 2);
    EXPECT_EQ(net->State().CyclesCompleted(), 1);
    EXPECT_EQ(w->History().lastPoint(), 0);
    EXPECT_EQ(w->History().markPoint(), 0); // the first cycle marks its point (best 301)
    EXPECT_EQ(Message(w), net->State().CurrentError() == 0 ? kCompleted : QStringLiteral("Press GO to train another cycle."));
    EXPECT_TRUE(Tool(ToolName::TrainBPExit) && Tool(ToolName::TrainBPReset));
    EXPECT_FALSE(Tool(ToolName::TrainBPStop));
    EXPECT_TRUE(gProcess().IsTrained());
    EXPECT_EQ(w->CounterDigits()[0]->Value(), net->CurrentNodes() % 10);

    // Ticked: a shown Stop tool during the run, and Escape stops it between cycles.
    prompts.ExpectBox(MsgResult::Yes);
    modMenu::TrainBar(ToolName::TrainBPReset);
    EXPECT_EQ(Message(w), "Press GO to train first cycle.");
    EXPECT_EQ(w->History().lastPoint(), -1);
    w->chkContinuous()->setChecked(true);
    modMenu::TrainBar(ToolName::TrainBPTrain);
    w->RunPendingStep();
    EXPECT_TRUE(main->MainToolBar()->Visible(ToolName::TrainBPStop));
    EXPECT_TRUE(Tool(ToolName::TrainBPStop));
    EXPECT_EQ(Message(w), "Predicting C...");
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(w, &escape);
    EXPECT_TRUE(w->StopRequested());
    RunToEnd(w);
    EXPECT_EQ(net->State().CyclesCompleted(), 0); // stopped before its first cycle
    EXPECT_FALSE(main->MainToolBar()->Visible(ToolName::TrainBPStop));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // Ticked again: cycles follow until the error is 0.
    modMenu::TrainBar(ToolName::TrainBPTrain);
    RunToEnd(w, 200);
    ASSERT_FALSE(w->RunActive());
    EXPECT_EQ(net->State().CurrentError(), 0);
    EXPECT_EQ(w->History().lastPoint(), net->State().CyclesCompleted() - 1);
    EXPECT_FALSE(Tool(ToolName::TrainBPTrain));
    EXPECT_TRUE(Tool(ToolName::TrainBPExit));
    EXPECT_EQ(Message(w), kCompleted);
    EXPECT_EQ(StatusText(), kCompleted);

    // Opened again: the chart is seeded from the saved network, headroom 1.
    frmTrainSF* again = OpenView<frmTrainSF>();
    ASSERT_TRUE(again);
    EXPECT_EQ(again->History().cell(0, 0), ChartCell(int(net->State().CyclesCompleted())));
    EXPECT_EQ(again->Graph()->MarkPoint(), 0);
    EXPECT_DOUBLE_EQ(again->Graph()->HighScale(), 1); // Int(0) + 1
    EXPECT_FALSE(Tool(ToolName::TrainBPTrain));
    EXPECT_EQ(Message(again), kCompleted);
}

TEST_F(TrainSF, EscapeDuringARunReachesABoxAndAStoppedRunLeavesNoWaitText)
{
    frmTrainSF* w = Open();
    ASSERT_TRUE(w);
    main->activateWindow();
    // The user ticks "Continuous", then presses Train.
    w->chkContinuous()->setChecked(true);
    w->chkContinuous()->setFocus();
    modMenu::TrainBar(ToolName::TrainBPTrain);
    w->RunPendingStep();
    ASSERT_TRUE(w->RunActive());

    // A box shown during the run closes on Escape, and the run goes on.
    {
        QMessageBox box(QMessageBox::Critical, "Training Error", "Unknown Korkan DLL Error", QMessageBox::Ok, main);
        box.open();
        QTest::keyClick(&box, Qt::Key_Escape);
        EXPECT_FALSE(box.isVisible());
        EXPECT_FALSE(w->StopRequested());
    }
    // Escape meant for the training window stops the run, though the frame that had the
    // keyboard went grey with the run.
    main->activateWindow();
    QWidget* focus = QApplication::focusWidget();
    ASSERT_TRUE(focus && (focus == w || w->isAncestorOf(focus))) << (focus ? focus->metaObject()->className() : "none");
    QTest::keyClick(focus, Qt::Key_Escape);
    EXPECT_TRUE(w->StopRequested());
    EXPECT_EQ(StatusText(), "Please wait...");
    RunToEnd(w);
    EXPECT_EQ(StatusText(), "");
    EXPECT_EQ(Message(w), "Press GO to train another cycle.");

    // The Stop tool: the wait text goes with the run as well.
    modMenu::TrainBar(ToolName::TrainBPTrain);
    w->RunPendingStep();
    ASSERT_TRUE(w->RunActive());
    modMenu::TrainBar(ToolName::TrainBPStop);
    EXPECT_EQ(StatusText(), "Please wait...");
    RunToEnd(w);
    EXPECT_EQ(StatusText(), "");
}

TEST_F(TrainSF, FailureOnTheFirstCycleAndTheVigilanceSpinner)
{
    frmTrainSF* w = Open();
    w->udtMomentum()->SetValue(99);
    EXPECT_FLOAT_EQ(net->VigBase(), 0.99f);
    EXPECT_EQ(w->LEDMomentum()[0]->Value(), 9);
    EXPECT_EQ(w->LEDMomentum()[1]->Value(), 9);

    net->Answer(EngineInit, {-3});
    prompts.ExpectBox(MsgResult::Ok);
    modMenu::TrainBar(ToolName::TrainBPTrain);
    RunToEnd(w);
    ASSERT_EQ(prompts.Boxes().size(), 1u);
    EXPECT_EQ(prompts.LastBox().text, "Unknown Korkan DLL Error");
    EXPECT_EQ(prompts.LastBox().title, "Training Error");
    EXPECT_EQ(w->History().lastPoint(), -1);
    EXPECT_TRUE(Tool(ToolName::TrainBPTrain) && Tool(ToolName::TrainBPExit));
    EXPECT_EQ(Message(w), "Press GO to train another cycle.");
    EXPECT_FALSE(gProcess().IsTrained());

    // X2 holds one value in every training row: the engine refuses it, and the box names it
    // on a line of its own; the status no longer claims a prediction under way.
    {
        kdb::Database db = kdb::Database::Open(folder + "/source.mdb", false, false);
        db.Execute("UPDATE Data SET X2 = 4 WHERE ID <= 50");
    }
    prompts.ExpectBox(MsgResult::Ok);
    modMenu::TrainBar(ToolName::TrainBPTrain);
    RunToEnd(w);
    EXPECT_EQ(net->State().DLLError(), DLLErrConstantField);
    EXPECT_EQ(prompts.LastBox().text, "One of the fields used as an input contains data that is all the same.\n"
                                      "[X2]\n"
                                      "This field will need to be removed from the input list or the size of the "
                                      "training split should be increased.");
    EXPECT_EQ(Message(w), "Press GO to train another cycle.");
    EXPECT_FALSE(StatusText().startsWith("Predicting")) << StatusText().toStdString();

    // The engine takes the network and then refuses the training call itself: no prediction
    // is under way once the box is answered.
    {
        kdb::Database db = kdb::Database::Open(folder + "/source.mdb", false, false);
        db.Execute("UPDATE Data SET X2 = ID WHERE ID <= 50");
    }
    net->Answer(EngineTrain, {-5});
    const size_t shown = prompts.Boxes().size();
    prompts.ExpectBox(MsgResult::Ok);
    modMenu::TrainBar(ToolName::TrainBPTrain);
    RunToEnd(w);
    ASSERT_EQ(prompts.Boxes().size(), shown + 1);
    EXPECT_EQ(prompts.LastBox().title, "CSFam::Train");
    EXPECT_EQ(Message(w), "Press GO to train another cycle.");
    EXPECT_FALSE(StatusText().startsWith("Predicting")) << StatusText().toStdString();
}

TEST_F(TrainSF, FinishTestsAndOpensTheConfusionMatrix)
{
    frmTrainSF* w = Open();
    w->chkContinuous()->setChecked(false);
    modMenu::TrainBar(ToolName::TrainBPTrain);
    RunToEnd(w);
    modMenu::TrainBar(QString(ToolName::TrainBPExit).replace(0, 1, QLatin1Char('M')));
    Flush();
    EXPECT_EQ(views, QStringList{"ShowCMatrix"});
    EXPECT_TRUE(gProcess().IsTested());
    EXPECT_EQ(StatusText(), TestCompleteText(true, net->State().CurrentError(), u"% correct predictions."));
    EXPECT_EQ(TrainingViews::Window(), nullptr);
}
