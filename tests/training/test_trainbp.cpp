// The back-propagation training window and the training bar: runs with the real engine on a
// small table, and with scripted engine answers where a code must be forced.
#include "core/widgets/toolnames.h"
#include "tests/training/trainfixture.h"

#include "core/twips.h"
#include "training/led.h"
#include "training/updown.h"
#include "tests/support/progresslistener.h"
#include "tests/support/programvisit.h"
#include "tests/shell/installedopener.h"

#include <QCursor>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QSet>
#include <QTest>

namespace {

class TrainBP : public TrainingTest {
protected:
    frmTrainBP* Open()
    {
        net = &OpenBackProp();
        frmTrainBP* w = OpenView<frmTrainBP>();
        EXPECT_NE(w, nullptr);
        return w;
    }
    // One call a pass, `steps` steps of a run, then Stop and the run's end.
    void TrainAndStop(frmTrainBP* w, int steps)
    {
        w->udVerify()->SetValue(1);
        modMenu::TrainBar(ToolName::TrainBPTrain);
        for (int step = 0; step < steps; ++step)
            w->RunPendingStep();
        modMenu::TrainBar(ToolName::TrainBPStop);
        RunToEnd(w);
    }
    ScriptedBackProp* net = nullptr;
};

} // namespace

TEST_F(TrainBP, TheViewOpensOnAnUntrainedNetwork)
{
    frmTrainBP* w = Open();
    ASSERT_TRUE(w);
    EXPECT_TRUE(main->MainToolBar()->Band(BandName::TrainBPBar).Visible());
    EXPECT_FALSE(main->MainToolBar()->Band(BandName::Standard).Visible());
    EXPECT_TRUE(main->MainToolBar()->Visible(ToolName::TrainBPStop));
    EXPECT_TRUE(Tool(ToolName::TrainBPTrain) && Tool(ToolName::TrainBPExit) && Tool(ToolName::TrainBPReset));
    EXPECT_FALSE(Tool(ToolName::TrainBPStop) || Tool(ToolName::TrainBPJogWeights));
    EXPECT_EQ(StatusText(), "Press GO to begin training.");
    EXPECT_EQ(w->Graph()->HighScale(), 100);
    EXPECT_EQ(w->Graph()->VerticalTickInterval(), 10);
    EXPECT_EQ(w->CurrentErrorText(), "");
    EXPECT_EQ(CounterValue(w), 0);
    EXPECT_EQ(w->windowTitle(), "BackProp Training");
}

TEST_F(TrainBP, VerifyRateOneGivesAPointPerCallAndStopMidPassStillCountsThePass)
{
    frmTrainBP* w = Open();
    w->udVerify()->SetValue(1);
    EXPECT_EQ(net->VerifyRate(), 1);
    modMenu::TrainBar(ToolName::TrainBPTrain);
    EXPECT_TRUE(w->RunActive());
    EXPECT_FALSE(Tool(ToolName::TrainBPTrain) || Tool(ToolName::TrainBPExit) || Tool(ToolName::TrainBPReset));
    EXPECT_TRUE(Tool(ToolName::TrainBPStop) && Tool(ToolName::TrainBPJogWeights));
    EXPECT_EQ(net->State().CyclesCompleted(), 0); // the click returns before the run begins

    w->RunPendingStep(); // the start tick
    EXPECT_EQ(StatusText(), "Predicting Y...   Press STOP to finish.");
    for (int pass = 1; pass <= 3; ++pass) {
        w->RunPendingStep(); // one engine call
        EXPECT_EQ(w->History().lastPoint(), pass - 2);
        w->RunPendingStep(); // verify and draw
        EXPECT_EQ(w->History().lastPoint(), pass - 1);
        EXPECT_EQ(CounterValue(w), net->State().CyclesCompleted());
    }
    EXPECT_EQ(net->State().CyclesCompleted(), 3);
    EXPECT_EQ(w->History().cell(0, 2), ChartCell(QStringLiteral(" 3 ")));
    EXPECT_EQ(w->CurrentErrorText(), TrainLayout::Percent(net->State().CurrentError()));
    EXPECT_TRUE(gProcess().IsTrained());

    // Verify rate 4; Stop after the first call of the pass.
    w->udVerify()->SetValue(4);
    w->RunPendingStep();
    modMenu::TrainBar(QString(ToolName::TrainBPStop).toUpper());
    EXPECT_TRUE(Tool(ToolName::TrainBPExit));
    EXPECT_EQ(StatusText(), "Please wait...");
    EXPECT_NE(QApplication::overrideCursor(), nullptr);
    w->RunPendingStep(); // the pass still verifies and draws
    EXPECT_FALSE(w->RunActive());
    EXPECT_EQ(net->State().CyclesCompleted(), 4);
    EXPECT_EQ(w->History().lastPoint(), 3);
    EXPECT_EQ(CounterValue(w), 4);
    EXPECT_TRUE(Tool(ToolName::TrainBPTrain) && Tool(ToolName::TrainBPExit) && Tool(ToolName::TrainBPReset) && Tool(ToolName::TrainBPRevert));
    EXPECT_FALSE(Tool(ToolName::TrainBPStop) || Tool(ToolName::TrainBPJogWeights));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(StatusText(), "");
    EXPECT_TRUE(prompts.Boxes().empty());
}

TEST_F(TrainBP, AnErrorOfZeroEndsWithTrainOffAndFinishOn)
{
    frmTrainBP* w = Open();
    w->udVerify()->SetValue(1);
    net->Answer(EngineRun, {0});
    modMenu::TrainBar(ToolName::TrainBPTrain);
    EXPECT_EQ(RunToEnd(w), 3);
    EXPECT_EQ(w->CurrentErrorText(), "0.00%");
    EXPECT_FALSE(Tool(ToolName::TrainBPTrain));
    EXPECT_TRUE(Tool(ToolName::TrainBPExit));

    // Reset switches Train on again; with cycles done it asks, and No changes nothing.
    prompts.ExpectBox(MsgResult::No);
    modMenu::TrainBar(ToolName::TrainBPReset);
    EXPECT_EQ(prompts.LastBox().title, "Reset Warning");
    EXPECT_EQ(net->State().CyclesCompleted(), 1);
    prompts.ExpectBox(MsgResult::Yes);
    modMenu::TrainBar(ToolName::TrainBPReset);
    EXPECT_EQ(net->State().CyclesCompleted(), 0);
    EXPECT_TRUE(Tool(ToolName::TrainBPTrain));
    EXPECT_FALSE(gProcess().IsTrained());
    EXPECT_EQ(CounterValue(w), 0);
    // Every cell holds nothing now: the zoom command's figures.
    modMenu::TrainBar(ToolName::TrainBPZoom);
    EXPECT_DOUBLE_EQ(w->Graph()->HighScale(), 0.125);
    EXPECT_DOUBLE_EQ(w->Graph()->LowScale(), 0);
    EXPECT_DOUBLE_EQ(w->Graph()->VerticalTickInterval(), 0.02);
    modMenu::TrainBar(ToolName::TrainBPZoom);
    EXPECT_DOUBLE_EQ(w->Graph()->HighScale(), 10);
    EXPECT_DOUBLE_EQ(w->Graph()->VerticalTickInterval(), 1);
}

TEST_F(TrainBP, EngineFailuresEndTheRunWithOneBox)
{
    frmTrainBP* w = Open();
    // A constant field at the first call (X1's user range is empty): the window's box naming
    // it, no point, Train off, Finish on.
    net->State().DDO()->SetUserMin(net->State().DDO()->FieldIndex("X1"), 10);
    prompts.ExpectBox(MsgResult::Ok);
    modMenu::TrainBar(ToolName::TrainBPTrain);
    RunToEnd(w);
    ASSERT_EQ(prompts.Boxes().size(), 1u);
    EXPECT_EQ(prompts.LastBox().title, "Normalizing Training Data");
    EXPECT_TRUE(prompts.LastBox().text.startsWith("One of the fields contains data that is all the same.\n[X1]\nThis"))
        << prompts.LastBox().text.toStdString();
    net->State().DDO()->SetUserMin(net->State().DDO()->FieldIndex("X1"), 0);
    EXPECT_EQ(w->History().lastPoint(), -1);
    EXPECT_FALSE(Tool(ToolName::TrainBPTrain));
    EXPECT_TRUE(Tool(ToolName::TrainBPExit));
    EXPECT_FALSE(gProcess().IsTrained());

    // Too few rows.
    prompts.Clear();
    net->Answer(EngineInit, {-3});
    prompts.ExpectBox(MsgResult::Ok);
    modMenu::TrainBar(ToolName::TrainBPReset);
    modMenu::TrainBar(ToolName::TrainBPTrain);
    RunToEnd(w);
    ASSERT_EQ(prompts.Boxes().size(), 1u);
    EXPECT_TRUE(prompts.LastBox().text.startsWith("There are not enough usable rows of data. (Probably too \nmany"));

    // A refused training call: the network object's box alone, once.
    prompts.Clear();
    prompts.AllowAnyBox();
    net->Answer(EngineTrain, {1, -5});
    modMenu::TrainBar(ToolName::TrainBPTrain);
    RunToEnd(w);
    ASSERT_EQ(prompts.Boxes().size(), 1u);
    EXPECT_EQ(prompts.LastBox().title, "CBackProp::Train");
    EXPECT_FALSE(w->RunActive());
}

TEST_F(TrainBP, APassWithoutAnErrorStopsWithTrainOnAndARunTimeErrorStillEndsTheRun)
{
    frmTrainBP* w = Open();
    w->udVerify()->SetValue(1);
    prompts.AllowAnyBox();
    // The verification is refused: the error stays -1, which is no perfect fit.
    net->Answer(EngineRun, {-2});
    modMenu::TrainBar(ToolName::TrainBPTrain);
    RunToEnd(w);
    EXPECT_EQ(w->CurrentErrorText(), "");
    EXPECT_EQ(w->History().lastPoint(), -1);
    EXPECT_TRUE(Tool(ToolName::TrainBPTrain));

    // An unexpected error inside a step: the box, then the end of the run all the same.
    prompts.Clear();
    net->Answer(EngineTrain, {1});
    net->onScripted = [](ScriptedBackProp&, EngineCommand) { throw KvError(51, "test"); };
    modMenu::TrainBar(ToolName::TrainBPTrain);
    RunToEnd(w);
    net->onScripted = nullptr;
    ASSERT_FALSE(prompts.Boxes().empty());
    EXPECT_EQ(prompts.LastBox().title, "frmTrainBP::Train");
    EXPECT_FALSE(w->RunActive());
    EXPECT_TRUE(Tool(ToolName::TrainBPExit) && Tool(ToolName::TrainBPReset));
    EXPECT_FALSE(Tool(ToolName::TrainBPStop));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(TrainBP, SpinnerDigitsAndTheHiddenChart)
{
    frmTrainBP* w = Open();
    w->udVerify()->SetValue(7);
    EXPECT_EQ(w->LEDVerify()[0]->Value(), 0); // index 0 the tens digit
    EXPECT_EQ(w->LEDVerify()[1]->Value(), 7);
    w->udtLearnRate()->SetValue(7);
    EXPECT_EQ(w->LEDLearnRate()[0]->Value(), 7); // index 0 the units digit
    EXPECT_EQ(w->LEDLearnRate()[1]->Value(), 0);
    EXPECT_FLOAT_EQ(net->LearnRate(), 0.07f);
    w->udtMomentum()->SetValue(99);
    EXPECT_FLOAT_EQ(net->Momentum(), 0.99f);

    // Show Graph off: the labels change, the history stays.
    w->udVerify()->SetValue(1);
    TrainingViews::ShowGraph(false);
    modMenu::TrainBar(ToolName::TrainBPTrain);
    w->RunPendingStep();
    w->RunPendingStep();
    w->RunPendingStep();
    EXPECT_FALSE(w->Graph()->isVisible());
    EXPECT_EQ(w->History().lastPoint(), -1);
    EXPECT_NE(w->CurrentErrorText(), "");
    TrainingViews::ShowGraph(true);
    w->RunPendingStep();
    w->RunPendingStep();
    EXPECT_TRUE(w->Graph()->isVisible());
    EXPECT_EQ(w->History().lastPoint(), 0);
    modMenu::TrainBar(ToolName::TrainBPStop);
    RunToEnd(w);
}

TEST_F(TrainBP, FinishTestsTheTrainedNetworkAndOpensTheScatterChart)
{
    frmTrainBP* w = Open();
    modMenu::TrainBar(ToolName::TrainBPTrain);
    w->RunPendingStep();
    w->RunPendingStep();
    w->RunPendingStep();
    // Finish while the pass is still in its calls: it waits for the run, then acts once.
    modMenu::TrainBar(ToolName::TrainBPExit);
    modMenu::TrainBar(ToolName::TrainBPExit);
    EXPECT_TRUE(w->RunActive());
    EXPECT_TRUE(views.isEmpty());
    QPointer<frmTrainBP> guard(w);
    RunToEnd(w);
    EXPECT_TRUE(views.isEmpty());
    Flush();
    EXPECT_EQ(views, QStringList{"ShowScatter"});
    EXPECT_TRUE(gProcess().IsTested());
    EXPECT_TRUE(StatusText().startsWith("Test complete:  "));
    EXPECT_TRUE(StatusText().endsWith("% success."));
    EXPECT_EQ(StatusText(), TestCompleteText(false, net->State().CurrentError(), {}));
    EXPECT_TRUE(main->MainToolBar()->Band(BandName::Standard).Visible());
    EXPECT_FALSE(main->MainToolBar()->Band(BandName::TrainBPBar).Visible());
    EXPECT_FALSE(guard);
}

TEST_F(TrainBP, FinishUntrainedReturnsToTheWholeDataBrowserAndAFailedTestReportsNoSuccess)
{
    Open();
    modMenu::TrainBar(ToolName::TrainBPExit);
    Flush();
    EXPECT_EQ(views, QStringList{"ShowDefBrowser"});
    EXPECT_FALSE(gProcess().IsTested());
    EXPECT_EQ(gNavigate().Step(), navSplit);
    EXPECT_TRUE(main->MainToolBar()->Band(BandName::Standard).Visible());
    EXPECT_EQ(TrainingViews::Window(), nullptr);

    // Trained, but the test fails.
    views.clear();
    frmTrainBP* w = OpenView<frmTrainBP>();
    modMenu::TrainBar(ToolName::TrainBPTrain);
    w->RunPendingStep();
    w->RunPendingStep();
    modMenu::TrainBar(ToolName::TrainBPStop);
    RunToEnd(w);
    prompts.AllowAnyBox();
    net->Answer(EngineRun, {-4});
    modMenu::TrainBar(ToolName::TrainBPExit);
    Flush();
    EXPECT_TRUE(views.isEmpty());
    EXPECT_FALSE(StatusText().contains("Test complete"));
    EXPECT_TRUE(gProcess().IsTrained());
    EXPECT_FALSE(gProcess().IsTested());
    EXPECT_EQ(TrainingViews::Window(), w);
    EXPECT_TRUE(Tool(ToolName::TrainBPExit) && Tool(ToolName::TrainBPTrain));
}

// The working file of the trained network deleted from outside while the window is idle:
// Finish says so in one box (never nothing at all), and the window stays to train again.
TEST_F(TrainBP, FinishAfterTheWorkingFileWasDeletedSaysSoAndLeavesTheWindowUsable)
{
    frmTrainBP* w = Open();
    modMenu::TrainBar(ToolName::TrainBPTrain);
    w->RunPendingStep();
    w->RunPendingStep();
    modMenu::TrainBar(ToolName::TrainBPStop);
    RunToEnd(w);
    ASSERT_GT(QFile(net->NetFileName()).size(), 0);
    ASSERT_TRUE(QFile::remove(net->NetFileName()));

    for (int press = 1; press <= 2; ++press) {
        prompts.ExpectBox(MsgResult::Ok);
        modMenu::TrainBar(ToolName::TrainBPExit);
        Flush();
        ASSERT_EQ(prompts.Boxes().size(), size_t(press));
        EXPECT_EQ(prompts.LastBox().title, "CBackProp::Revert");
        EXPECT_TRUE(prompts.LastBox().text.endsWith("Train the network again."));
        EXPECT_TRUE(views.isEmpty());
        EXPECT_FALSE(gProcess().IsTested());
        EXPECT_EQ(TrainingViews::Window(), w);
        EXPECT_TRUE(Tool(ToolName::TrainBPExit) && Tool(ToolName::TrainBPTrain));
    }

    // Trained again, Finish tests as always.
    modMenu::TrainBar(ToolName::TrainBPTrain);
    w->RunPendingStep();
    w->RunPendingStep();
    modMenu::TrainBar(ToolName::TrainBPStop);
    RunToEnd(w);
    EXPECT_TRUE(net->State().NetReady());
    modMenu::TrainBar(ToolName::TrainBPExit);
    Flush();
    EXPECT_EQ(views, QStringList{"ShowScatter"});
    EXPECT_TRUE(gProcess().IsTested());
    EXPECT_EQ(prompts.Boxes().size(), 2u);
}

TEST_F(TrainBP, AKillDuringTheTestOfFinishReopensTheProjectTrainedWithItsNetwork)
{
    // The project as the program opens it: through the opener, into the training view.
    InstalledOpener opener;
    OpenBackProp();
    const QString path = folder + "/bp.kvp";
    gProcess().Save(path);
    SetCurrentNetwork(nullptr);
    ASSERT_TRUE(opener->OpenProject(path));
    auto* w = qobject_cast<frmTrainBP*>(TrainingViews::Window());
    ASSERT_TRUE(w);
    w->SetManualSteps(true);
    TrainAndStop(w, 6);
    const int32_t cycles = CurrentNetworkAs<CBackProp>()->State().CyclesCompleted();
    ASSERT_GT(cycles, 0);

    // A kill during the test leaves the project file as it is when the test begins.
    const QString killed = folder + "/killed.kvp";
    ProgressListener listener([&](int percent) {
        if (percent == 0 && !QFile::exists(killed))
            QFile::copy(path, killed);
    });
    modMenu::TrainBar(ToolName::TrainBPExit);
    Flush();
    ASSERT_TRUE(QFile::exists(killed));
    EXPECT_TRUE(gProcess().IsTested());
    EXPECT_EQ(views, QStringList{"ShowScatter"});

    // Started again on that file: the training view of the trained network, not a split project.
    opener->CloseProject();
    modMenu::RemoveChildForms();
    Flush();
    ASSERT_TRUE(opener->OpenProject(killed));
    EXPECT_TRUE(gProcess().IsTrained());
    EXPECT_FALSE(gProcess().IsTested());
    EXPECT_EQ(NetTest::ConfigValue(killed, "Navigate").toText(), QString::number(navTrained));
    auto* again = qobject_cast<frmTrainBP*>(TrainingViews::Window());
    ASSERT_TRUE(again);
    EXPECT_EQ(CurrentNetworkAs<CBackProp>()->State().CyclesCompleted(), cycles);
    EXPECT_TRUE(CurrentNetworkAs<CBackProp>()->State().NetReady());
    EXPECT_EQ(CounterValue(again), cycles);
    EXPECT_NE(again->CurrentErrorText(), "");
    // And its Finish tests it.
    again->SetManualSteps(true);
    views.clear();
    modMenu::TrainBar(ToolName::TrainBPExit);
    Flush();
    EXPECT_TRUE(gProcess().IsTested());
    EXPECT_EQ(views, QStringList{"ShowScatter"});
}

TEST_F(TrainBP, TheCloseBoxWaitsForTheRunAndAReopenedWindowShowsTheSavedNetwork)
{
    frmTrainBP* w = Open();
    w->udVerify()->SetValue(2);
    modMenu::TrainBar(ToolName::TrainBPTrain);
    w->RunPendingStep();
    w->RunPendingStep();
    QPointer<frmTrainBP> guard(w);
    w->SubWindow()->close();
    Flush();
    ASSERT_TRUE(guard);
    EXPECT_TRUE(w->RunActive());
    EXPECT_TRUE(w->StopRequested());
    RunToEnd(w);
    Flush();
    EXPECT_FALSE(guard);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // Opened again: one point at index 0, labelled with the cycles, marked, both labels alike.
    frmTrainBP* again = OpenView<frmTrainBP>();
    ASSERT_TRUE(again);
    EXPECT_EQ(again->History().lastPoint(), 0);
    EXPECT_EQ(again->History().cell(0, 0), ChartCell(int(net->State().CyclesCompleted())));
    EXPECT_EQ(again->Graph()->MarkPoint(), 0);
    EXPECT_EQ(again->CurrentErrorText(), again->BestErrorText());
    EXPECT_NE(again->CurrentErrorText(), "");
}

TEST_F(TrainBP, ClosingTheMainWindowWaitsForTheRunToEnd)
{
    frmTrainBP* w = Open();
    modMenu::TrainBar(ToolName::TrainBPTrain);
    w->RunPendingStep();
    w->RunPendingStep();
    main->close();
    Flush();
    EXPECT_FALSE(main->Unloaded());
    EXPECT_TRUE(w->StopRequested());
    RunToEnd(w);
    Flush();
    EXPECT_TRUE(!main || main->Unloaded());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(TrainBP, AVisitToAnotherProgramKeepsTheIdleWindowAsItWas)
{
    // Train, Stop, go to another program and come back: nothing reverts, the history stays.
    frmTrainBP* w = Open();
    ASSERT_TRUE(w);
    main->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(main));
    TrainAndStop(w, 7);
    ASSERT_FALSE(w->RunActive());
    const int lastPoint = w->History().lastPoint();
    const int32_t cycles = net->State().CyclesCompleted();
    const QString status = StatusText();
    ASSERT_GE(lastPoint, 2);

    TestEnv::VisitAnotherProgram(main);
    Flush();
    EXPECT_EQ(w->History().lastPoint(), lastPoint);
    EXPECT_EQ(net->State().CyclesCompleted(), cycles);
    EXPECT_EQ(StatusText(), status);
    EXPECT_TRUE(Tool(ToolName::TrainBPTrain) && Tool(ToolName::TrainBPExit));
}

// Revert with the chart zoomed, in both windows: the best network's point (here away from every
// point drawn since, as after a jog or a reopened window) is drawn inside a scale made for it,
// with distinct labels; the old zoomed scale widened to it once crowded ~45 labels over a flat
// point.
TEST_F(TrainingTest, RevertWithTheChartZoomedFitsTheScaleToTheBestPoint)
{
    for (const bool sfam : {false, true}) {
        SCOPED_TRACE(sfam ? "SFAM" : "back-propagation");
        CNetworkProject* net = nullptr;
        CTrainWindow* w = nullptr;
        if (sfam) {
            net = &OpenSFam();
            w = OpenView<frmTrainSF>();
        } else {
            net = &OpenBackProp();
            w = OpenView<frmTrainBP>();
            static_cast<frmTrainBP*>(w)->udVerify()->SetValue(1);
        }
        ASSERT_TRUE(w);
        modMenu::TrainBar(ToolName::TrainBPZoom);
        modMenu::TrainBar(ToolName::TrainBPTrain);
        for (int step = 0; step < 12 && w->RunActive(); ++step)
            w->RunPendingStep();
        modMenu::TrainBar(ToolName::TrainBPStop);
        RunToEnd(w);
        ASSERT_GE(w->History().lastPoint(), 0);
        // Half a percent away from every point drawn (the SFAM table is learnt at once: 0).
        const float drawn = net->State().BestError();
        const float best = drawn > 0.6f ? drawn - 0.5f : drawn + 0.5f;
        net->State().SetBestError(best);
        modMenu::TrainBar(ToolName::TrainBPRevert);
        ASSERT_TRUE(w->Zoomed());
        ASSERT_NEAR(net->State().CurrentError(), best, 1e-6);
        EXPECT_LT(w->Graph()->LowScale(), best);
        EXPECT_GT(w->Graph()->HighScale(), best);
        QStringList labels;
        for (const DisplayItem* item : w->Graph()->Display().Of(DisplayItem::Role::ValueLabel))
            labels << item->text;
        EXPECT_LE(labels.size(), 12) << labels.join(' ').toStdString();
        EXPECT_EQ(QSet<QString>(labels.begin(), labels.end()).size(), labels.size()) << labels.join(' ').toStdString();
        modMenu::RemoveChildForms();
        Flush();
    }
}

// The training window opens maximised; restored, it has its designed size (within the child
// area), not the 208 x 178 pixels of a frame that was never shown normal.
TEST_F(TrainBP, ARestoredTrainingWindowHasItsDesignedSize)
{
    main->show();
    frmTrainBP* w = Open();
    ASSERT_TRUE(w);
    QMdiSubWindow* sub = w->SubWindow();
    ASSERT_TRUE(sub);
    EXPECT_TRUE(sub->isMaximized());
    sub->showNormal();
    Flush();
    const QSize area = main->MdiArea()->viewport()->size();
    EXPECT_GE(w->width(), std::min(Twips::ToWholePixels(TrainLayout::kDesignWidth), area.width() - 20));
    EXPECT_GE(w->height(), std::min(Twips::ToWholePixels(TrainLayout::kDesignHeight), area.height() - 40));
    sub->showMaximized();
    sub->showNormal();
    Flush();
    EXPECT_GE(w->width(), std::min(Twips::ToWholePixels(TrainLayout::kDesignWidth), area.width() - 20));
}
