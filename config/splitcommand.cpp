#include "config/splitcommand.h"

#include "config/splitdialog.h"
#include "core/errorbox.h"
#include "core/prompts.h"
#include "core/status.h"
#include "core/widgets/hourglass.h"
#include "core/widgets/pointerguard.h"
#include "core/widgets/statusmsg.h"
#include "core/widgets/toolnames.h"
#include "core/widgets/veltra.h"
#include "data/datadef.h"
#include "network/backprop.h"
#include "network/workflowflags.h"
#include "network/sfam.h"
#include "shell/commandtable.h"
#include "shell/modmenu.h"
#include "shell/navigate.h"
#include "shell/networkopener.h"

#include <QApplication>

#include <memory>
#include <optional>

namespace {

// The open network object (raising 91 without one), kept alive for the command: the main
// bar's shortcuts still work while the dialog is up.
struct HeldNetwork {
    std::shared_ptr<CNetworkProject> keep = SharedNetwork();
    CNetworkProject* net = &RequireNetwork();
    bool backProp = CurrentKind() == ntBackProp;
};

// The view of the current workflow state.
void currentView()
{
    ResumeAtFurthestStep(ResumeFrom::RowSplit);
}

// The training forgotten for a split: the project split, neither trained nor tested, stored
// with the reset (the flags and the row ranges in its one transaction). False when the reset
// failed (its box said why); the caller's Workflow::Change then puts the flags back.
bool resetAsSplit()
{
    gProcess().SetIsTested(false);
    gProcess().SetIsTrained(false);
    gProcess().SetIsSplit(true);
    return RequireNetwork().Reset();
}

} // namespace

SplitCommand::Road SplitCommand::Decide(bool cancelled, const Ranges& chosen, const Ranges& project)
{
    if (cancelled)
        return Road::Cancelled;
    if (chosen.trainHigh != project.trainHigh || chosen.trainLow != project.trainLow)
        return Road::TrainingChanged;
    if (chosen.testHigh != project.testHigh || chosen.testLow != project.testLow)
        return Road::TestingChanged;
    return Road::Unchanged;
}

void SplitCommand::SetLimits()
{
    // The ranges, a test and the step and flags all write the project file: a disk that is
    // full says so once.
    const ErrorBox::COneBoxPerFailure oneBox;
    Procedure(QStringLiteral("modMenu::SetLimits"), [&] {
        modMenu::RemoveChildForms();
        const HeldNetwork open;
        CNetworkProject& net = *open.net;
        // The hint speaks of the dialog: a road that ends without a view of its own (No to
        // the question, a testing range kept for later) does not leave it standing.
        const Status::CStatusText hint(DataSelectRules::SelectRowsText(), Status::CStatusText::OnEnd::Clear);

        const ProjectState& state = net.State();
        const Ranges before{state.TrainHigh(), state.TrainLow(), state.TestHigh(), state.TestLow()};
        Ranges chosen;
        bool cancelled = true;
        {
            // The dialog ends before anything it chose is applied, and goes with this scope.
            const std::shared_ptr<CDataDef> ddo = net.State().DDO();
            if (!ddo)
                throw KvError(KvErr::ObjectNotSet);
            // The default pointer while the user chooses, whatever guard is held around the command.
            const CPointerGuard pointer(Qt::ArrowCursor);
            frmDataSelect dialog(gVeltra().MainForm());
            dialog.Init(ddo->RecordCount(), before.trainHigh, before.trainLow, before.testHigh, before.testLow);
            dialog.exec();
            cancelled = dialog.Cancel();
            chosen = {dialog.TrainHigh(), dialog.TrainLow(), dialog.TestHigh(), dialog.TestLow()};
        }
        // The main bar's shortcuts work while the dialog is up: a project closed or opened
        // meanwhile is not the one the choice was made for.
        if (CurrentNetwork() != open.net)
            return;

        CProcess& process = gProcess();
        std::unique_ptr<CHourglass> hourglass;
        bool testedHere = false;
        // What the common end saves: the step and flags that the roads change after their own
        // saves, put back when that save fails.
        std::optional<Workflow::Change> toSave;
        switch (Decide(cancelled, chosen, before)) {
        case Road::Cancelled:
            currentView();
            return;

        case Road::TrainingChanged: {
            if (process.IsTrained()
                && Prompts::MsgBox(QStringLiteral("This will reset your current Training.  Continue?"), MsgButtons::YesNo,
                                   MsgIcon::Exclamation, QStringLiteral("Training Data Selection"))
                       == MsgResult::No)
                return;
            hourglass = std::make_unique<CHourglass>(true);
            // The reset stores the new ranges with the flags in one transaction: a reset that
            // fails (its box said why) leaves the project as it was, in memory as in the file.
            Workflow::Change split(&net.State());
            net.State().SetTrainHigh(chosen.trainHigh);
            net.State().SetTrainLow(chosen.trainLow);
            net.State().SetTestHigh(chosen.testHigh);
            net.State().SetTestLow(chosen.testLow);
            if (!resetAsSplit())
                return;
            split.Commit();
            gNavigate().Navigate(navSplit);
            modMenu::RunCommand(ToolName::TrainBP);
            return;
        }

        case Road::TestingChanged: {
            hourglass = std::make_unique<CHourglass>(true);
            {
                Workflow::Change ranges(&net.State());
                net.State().SetTestHigh(chosen.testHigh);
                net.State().SetTestLow(chosen.testLow);
                process.SetIsTested(false);
                net.SaveRowRanges();
                ranges.Commit();
            }
            if (!process.IsTrained())
                return;
            toSave.emplace();
            for (QLatin1StringView tool : {ToolName::SFBrowseTest, ToolName::BPBrowseTest, ToolName::SFShowAll,
                                           ToolName::BPShowAll, ToolName::Scatter, ToolName::Series, ToolName::Matrix})
                gNavigate().Disable(tool);
            modMenu::RemoveChildForms();
            QApplication::processEvents();
            // A test that fails says why in its own box, and its text goes with it.
            const Status::CStatusText testing(QStringLiteral("Testing Data..."), Status::CStatusText::OnEnd::Restore);
            if (net.Test() == TestOutcome::Done) {
                gNavigate().Navigate(navTested);
                process.SetIsTested(true);
                Status::Outcome(TestCompleteText(!open.backProp, net.State().CurrentError(),
                                                 QStringLiteral("% successful predictions.")));
                ShowTestResults(!open.backProp);
                testedHere = true;
            } else {
                // The test said why it failed; the project stays trained and untested.
                gNavigate().Navigate(navTrained);
            }
            break;
        }

        case Road::Unchanged:
            break;
        }

        if (process.IsTrained() || testedHere) {
            if (!testedHere) {
                if (!toSave)
                    toSave.emplace();
                currentView();
            }
        } else {
            {
                // OK on the rows proposed is a split too: the project is split from here on.
                Workflow::Change reset;
                if (!resetAsSplit())
                    return;
                reset.Commit();
            }
            toSave.emplace();
            gNavigate().Navigate(navSplit);
            modMenu::RemoveChildForms();
            modMenu::RunCommand(ToolName::TrainBP);
        }
        toSave->Save(net.State().ProjectFileName());
    });
}

void SplitViews::Install()
{
    gCommands().Add(ToolName::Split, &SplitCommand::SetLimits);
}
