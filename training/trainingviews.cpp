#include "training/trainingviews.h"

#include "core/errorbox.h"
#include "core/status.h"
#include "core/widgets/commandbar.h"
#include "core/widgets/hourglass.h"
#include "core/widgets/statusmsg.h"
#include "core/widgets/toolnames.h"
#include "core/widgets/toolstate.h"
#include "core/widgets/updatelock.h"
#include "core/widgets/veltra.h"
#include "network/backprop.h"
#include "network/workflowflags.h"
#include "network/sfam.h"
#include "shell/commandtable.h"
#include "shell/frmmain.h"
#include "shell/modmenu.h"
#include "shell/navigate.h"
#include "shell/networkopener.h"
#include "training/frmtrainbp.h"
#include "training/frmtrainsf.h"
#include "training/testdialogs.h"
#include "training/trainbar.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>

#include <optional>

namespace {

QPointer<CTrainWindow>& current()
{
    static QPointer<CTrainWindow> window;
    return window;
}

// Finish is waiting for the run to end.
bool& finishPending()
{
    static bool pending = false;
    return pending;
}

frmMain* mainForm()
{
    return qobject_cast<frmMain*>(gVeltra().MainForm());
}

// The training bar goes, the standard bar comes back.
void StandardBand()
{
    CUpdateLock lock(gVeltra().MainForm());
    CCommandBar* bar = MainToolBar();
    if (!bar)
        return;
    bar->Band(BandName::TrainBPBar).SetVisible(false);
    bar->Band(BandName::Standard).SetVisible(true);
    TrainBarTools::Refresh();
}

void Unload(CTrainWindow* window)
{
    if (!window)
        return;
    modMenu::CCommandUnload byCommand;
    if (QMdiSubWindow* sub = window->SubWindow())
        sub->close();
    else
        window->close();
}

// The user closed the view: the main window gets back what the view took, at the project's
// own step.
void GiveToolsBack()
{
    IgnoreErrors([] { StandardBand(); });
    IgnoreErrors([] { Utilities::TmpEnableTools(); });
    gNavigate().Navigate(gNavigate().Step());
    if (gProcess().IsTested())
        gNavigate().Navigate(navTested);
}

void Finish()
{
    CTrainWindow* window = current();
    // Nothing reverts, tests or unloads under a running step: Finish waits for the run.
    if (window && window->RunActive()) {
        window->StopTrain();
        if (!finishPending()) {
            finishPending() = true;
            window->AfterRun([] {
                finishPending() = false;
                modMenu::TrainBar(ToolName::TrainBPExit);
            });
        }
        return;
    }
    CNetworkProject* net = CurrentNetwork();
    if (!net)
        return;
    // Its saves and the test all write the project file: a disk that is full says so once.
    const ErrorBox::COneBoxPerFailure oneBox;
    const bool sfam = CurrentKind() == ntSFam;
    const QString file = net->State().ProjectFileName();
    net->Revert();
    const bool trained = gProcess().IsTrained();
    // The step and flags that Finish moves on once the network is saved and tested: put back
    // when their save fails.
    std::optional<Workflow::Change> unsaved;
    if (trained) {
        for (QLatin1StringView tool : {ToolName::TrainBPExit, ToolName::TrainBPJogWeights, ToolName::TrainBPReset,
                                       ToolName::TrainBPRevert, ToolName::TrainBPStop, ToolName::TrainBPTrain,
                                       ToolName::TrainBPGraphType, ToolName::TrainBPZoom})
            TrainBarTools::Set(tool, false);
        TrainBarTools::Refresh();
        gNavigate().Navigate(navTrained);
        TestOutcome outcome = TestOutcome::Aborted;
        {
            CHourglass hourglass(true);
            Utilities::StatusMessage(QStringLiteral("Testing Data..."));
            if (sfam && window) {
                window->SetMessage(QStringLiteral("Testing..."));
                window->repaint();
            }
            // The trained network, the step and the flags reach the project file before the
            // long test: a program that dies during the test loses the test, not the training.
            if (net->SaveConfig() && window)
                window->TrainingSaved();
            outcome = net->Test();
        }
        if (outcome != TestOutcome::Done) {
            // A failed test reports no success: the project stays trained and untested, and
            // the training view stays up for another try (the network object showed why).
            for (QLatin1StringView tool : {ToolName::TrainBPExit, ToolName::TrainBPReset, ToolName::TrainBPRevert,
                                           ToolName::TrainBPTrain, ToolName::TrainBPGraphType, ToolName::TrainBPZoom})
                TrainBarTools::Set(tool, true);
            TrainBarTools::Refresh();
            Utilities::StatusMessage(QString());
            if (window)
                window->SetMessage(QString());
            gNavigate().Save(file);
            return;
        }
        unsaved.emplace();
        gProcess().SetIsTested(true);
        StandardBand();
        Status::Outcome(TestCompleteText(sfam, net->State().CurrentError(), QStringLiteral("% correct predictions.")));
        ShowTestResults(sfam);
        Utilities::TmpEnableTools();
        gNavigate().Navigate(navTested);
    } else {
        unsaved.emplace();
        StandardBand();
    }
    Unload(current());
    // A test run here has shown its results. Without one the road takes up again; a run that
    // failed leaves the project untrained, yet its last test and results stand.
    if (!trained || !gProcess().IsTested()) {
        Utilities::TmpEnableTools();
        ResumeAtFurthestStep(ResumeFrom::TrainingFinished);
    }
    if (gNavigate().Save(file))
        unsaved->Commit();
}

} // namespace

namespace TrainingViews {

CTrainWindow* Window()
{
    return current();
}

void MenuBProp()
{
    Procedure(QStringLiteral("modMenu::MenuBProp"), [&] {
        CHourglass hourglass(true);
        CUpdateLock lock(gVeltra().MainForm());
        modMenu::RemoveChildForms();
        const bool sfam = CurrentKind() == ntSFam;
        TrainBarTools::SetVisible(ToolName::TrainBPJogWeights, !sfam);
        TrainBarTools::SetVisible(ToolName::TrainBPStop, !sfam);
        if (CCommandBar* bar = MainToolBar()) {
            bar->Band(BandName::Standard).SetVisible(false);
            bar->Band(BandName::TrainBPBar).SetVisible(true);
            TrainBarTools::Refresh();
        }
        Utilities::TmpDisableTools();
        if (CurrentKind() == ntNone)
            return;
        frmMain* main = mainForm();
        if (!main)
            return;
        CTrainWindow* window = sfam ? static_cast<CTrainWindow*>(new frmTrainSF) : new frmTrainBP;
        current() = window;
        QObject::connect(window, &CTrainWindow::closedByUser, window, &GiveToolsBack);
        QMdiSubWindow* sub = main->AddChild(window);
        // Only a change of the active child counts: a box, a pop-up menu or a visit to another
        // program never reverts.
        QObject::connect(main, &frmMain::ChildActivated, window, [window](QMdiSubWindow* active) {
            if (active && active == window->SubWindow())
                window->Activate();
        });
        window->Activate();
        sub->showMaximized();
    });
}

bool StopActiveRun(std::function<void()> then)
{
    CTrainWindow* window = current();
    if (!window || !window->RunActive())
        return false;
    window->StopTrain();
    window->AfterRun(std::move(then));
    return true;
}

void ShowGraph(bool checked)
{
    if (auto* bp = qobject_cast<frmTrainBP*>(current().data()))
        bp->mShowGraph = checked;
}

void Install()
{
    CCommandTable& commands = gCommands();
    commands.Add(ToolName::TrainBP, &TrainingViews::MenuBProp);
    commands.Add(ToolName::ShowGraph, [](const CommandClick& click) { ShowGraph(ToggleClicked(click)); });
    commands.Add(ToolName::TestBP, TestDialogs::TestShow);
    // The training bar's commands act on the open training window.
    const auto train = [&commands](QLatin1StringView tool, void (*action)(CTrainWindow* window, bool idle)) {
        commands.Add(
            tool,
            [action](const CommandClick&) {
                CTrainWindow* window = current();
                action(window, window && !window->RunActive());
            },
            CommandBar::Training);
    };
    train(ToolName::TrainBPJogWeights, [](CTrainWindow* window, bool) {
        if (window)
            window->Jog();
    });
    train(ToolName::TrainBPReset, [](CTrainWindow* window, bool idle) {
        if (idle)
            window->ResetNet();
    });
    train(ToolName::TrainBPRevert, [](CTrainWindow* window, bool idle) {
        if (idle)
            window->Revert();
    });
    train(ToolName::TrainBPStop, [](CTrainWindow* window, bool) {
        if (window)
            window->StopTrain();
        TrainBarTools::Set(ToolName::TrainBPExit, true);
    });
    train(ToolName::TrainBPTrain, [](CTrainWindow* window, bool idle) {
        if (!idle)
            return;
        TrainBarTools::Set(ToolName::TrainBPExit, false);
        TrainBarTools::Set(ToolName::TrainBPJogWeights, true);
        TrainBarTools::Set(ToolName::TrainBPReset, false);
        TrainBarTools::Set(ToolName::TrainBPRevert, false);
        TrainBarTools::Set(ToolName::TrainBPStop, true);
        TrainBarTools::Set(ToolName::TrainBPTrain, false);
        TrainBarTools::Refresh();
        window->StartTrain();
    });
    train(ToolName::TrainBPGraphType, [](CTrainWindow* window, bool) {
        if (window)
            window->GraphType();
    });
    train(ToolName::TrainBPZoom, [](CTrainWindow* window, bool) {
        if (window)
            window->GraphZoom();
    });
    train(ToolName::TrainBPExit, [](CTrainWindow*, bool) { Finish(); });
}

} // namespace TrainingViews
