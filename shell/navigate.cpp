#include "shell/navigate.h"

#include "core/errorbox.h"
#include "core/numformat.h"
#include "core/pathutils.h"
#include "core/widgets/commandbar.h"
#include "core/widgets/toolnames.h"
#include "core/widgets/veltra.h"
#include "data/projectschema.h"
#include "kdb/kdb.h"
#include "network/projectstore.h"
#include "network/workflowflags.h"
#include "shell/commandtable.h"
#include "shell/modmenu.h"
#include "shell/networkopener.h"
#include "shell/projectopener.h"

#include <initializer_list>

namespace {
using Names = std::initializer_list<QLatin1StringView>;

// The result views that no workflow stage before testing offers.
constexpr Names kResultViews = {ToolName::TestBP, ToolName::SFBrowseTest, ToolName::BPBrowseTest, ToolName::BPShowAll,
                                ToolName::SFShowAll, ToolName::Scatter, ToolName::Series, ToolName::BrowseTest,
                                ToolName::SFShowErrors, ToolName::SFShowCorrect, ToolName::SFFindError,
                                ToolName::Matrix};
constexpr Names kSplitOff = {ToolName::TestBP, ToolName::SFBrowseTest, ToolName::BPBrowseTest, ToolName::BrowseTest,
                             ToolName::BPShowAll, ToolName::SFShowAll, ToolName::SFShowErrors, ToolName::SFShowCorrect,
                             ToolName::SFFindError, ToolName::Scatter, ToolName::Series, ToolName::Matrix};
constexpr Names kMarkTools = {ToolName::MarkAll, ToolName::UnmarkAll, ToolName::ToggleMarks, ToolName::MarkSelected};

// One place's road: whether a trained project not marked split counts as split, and its rungs.
struct ResumeRoad {
    ResumeFrom from;
    bool trainedCountsAsSplit;
    ResumeRung tested, split, configured, unconfigured;
};

// The places side by side, their rungs furthest stage first. Only opening a project takes a
// trained one for split and enters the browsing step after the tested one; the configuration's
// Cancel and the row split change no step; the row split has no view of the configured stage
// of its own; Finish opens the all-data browser for a split or configured project.
constexpr ResumeRoad kRoads[] = {
    {ResumeFrom::Opening, true,
     {{navTested, navBrowsing}, ToolName::BrowseTest},
     {{navSplit}, ToolName::TrainBP},
     {{navConfigured}, ToolName::Split},
     {{}, ToolName::Configure}},
    {ResumeFrom::ConfigurationUnchanged, false,
     {{navTested}, ToolName::BrowseTest},
     {{navSplit}, ToolName::TrainBP},
     {{navConfigured}, ToolName::Split},
     {{navOpened}, ToolName::ShowAll}},
    {ResumeFrom::ConfigurationCancelled, false,
     {{}, ToolName::BrowseTest},
     {{}, ToolName::TrainBP},
     {{}, ToolName::Split},
     {{}, {}}},
    {ResumeFrom::RowSplit, false,
     {{}, ToolName::BrowseTest},
     {{}, ToolName::TrainBP},
     {{}, ToolName::ShowAll},
     {{}, ToolName::ShowAll}},
    {ResumeFrom::TrainingFinished, false,
     {{navTested}, ToolName::BrowseTest},
     {{navSplit}, ToolName::ShowAll},
     {{navConfigured}, ToolName::ShowAll},
     {{navOpened}, {}}},
};

// Each place has its road, at its own index.
constexpr bool oneRoadPerPlace()
{
    for (size_t i = 0; i < std::size(kRoads); ++i)
        if (size_t(kRoads[i].from) != i)
            return false;
    return std::size(kRoads) == size_t(ResumeFrom::TrainingFinished) + 1;
}
static_assert(oneRoadPerPlace());

const ResumeRung& rungOf(const ResumeRoad& road, WorkflowStage stage)
{
    switch (stage) {
    case WorkflowStage::Tested:
        return road.tested;
    case WorkflowStage::Split:
        return road.split;
    case WorkflowStage::Configured:
        return road.configured;
    case WorkflowStage::Unconfigured:
        break;
    }
    return road.unconfigured;
}
} // namespace

CNavigate& gNavigate()
{
    static CNavigate navigate;
    return navigate;
}

void CNavigate::Bind(CCommandBar* abrMainBar)
{
    mToolBar = abrMainBar;
}

CCommandBar& CNavigate::bar() const
{
    if (!mToolBar)
        throw KvError(KvErr::ObjectNotSet, QStringLiteral("CNavigate"));
    return *mToolBar;
}

void CNavigate::Enable(const QString& sToolName)
{
    bar().SetEnabled(sToolName, true);
}

void CNavigate::Disable(const QString& sToolName)
{
    bar().SetEnabled(sToolName, false);
}

int32_t CNavigate::Step() const
{
    return gWorkflowStep().value_or(navNoProject);
}

void CNavigate::Navigate(int32_t eNav)
{
    if (eNav < navTested || eNav > navNoGrid)
        gWorkflowStep() = eNav;
    ProcessNavigate(eNav);
}

void CNavigate::ProcessNavigate(int32_t eNav)
{
    Procedure(QStringLiteral("CNavigate::ProcessNavigate"), [&] {
        auto on = [&](Names names) {
            for (QLatin1StringView name : names)
                Enable(name);
        };
        auto off = [&](Names names) {
            for (QLatin1StringView name : names)
                Disable(name);
        };
        // What every workflow stage from an open project on starts with.
        auto stageCommon = [&] {
            on({ToolName::Close, ToolName::Configure});
            off({ToolName::Import});
            on({ToolName::SaveSnap, ToolName::Print});
            CheckForSnapshot();
        };
        switch (eNav) {
        case navNoProject: {
            CCommandBar& b = bar();
            for (const QString& name : b.ToolNames())
                b.SetEnabled(name, false);
            on({ToolName::HelpContents, ToolName::File, ToolName::Edit, ToolName::View, ToolName::Help,
                ToolName::NetworkTool, ToolName::Prop, ToolName::New, ToolName::Open, ToolName::Exit, ToolName::NewSFAM,
                ToolName::NewBP, ToolName::Test, ToolName::HelpAbout, ToolName::Util, ToolName::Import,
                ToolName::TrainBPStop, ToolName::TrainBPRevert, ToolName::TrainBPTrain, ToolName::TrainBPJogWeights,
                ToolName::TrainBPReset, ToolName::TrainBPGraphType, ToolName::TrainBPZoom, ToolName::TrainBPExit,
                ToolName::NumRec, ToolName::Autoload, ToolName::ShowIMode});
            gVeltra().MRUList().SetEnabled(true);
            break;
        }
        case navOpened:
            stageCommon();
            break;
        case navConfigured:
            on({ToolName::Close, ToolName::Configure, ToolName::Split});
            off({ToolName::Import});
            on({ToolName::SaveSnap, ToolName::Print});
            CheckForSnapshot();
            off(kResultViews);
            on({CurrentKind() == ntBackProp ? ToolName::BPShowAll : ToolName::SFShowAll});
            on({ToolName::ShowAll});
            break;
        case navSplit:
        case navTrained:
            stageCommon();
            on({ToolName::Split, ToolName::TrainBP});
            off(kSplitOff);
            if (eNav == navTrained)
                on({ToolName::TestBP});
            break;
        case navTested:
            stageCommon();
            on({ToolName::Split, ToolName::TrainBP, ToolName::TestBP});
            if (CurrentKind() == ntBackProp)
                on({ToolName::BPShowAll, ToolName::BPBrowseTest, ToolName::Scatter, ToolName::Series});
            else
                on({ToolName::SFShowAll, ToolName::SFBrowseTest, ToolName::Matrix, ToolName::SFShowErrors,
                    ToolName::SFShowCorrect});
            on({ToolName::ShowAll, ToolName::BrowseTest});
            break;
        case navBrowsing:
            on({ToolName::Close, ToolName::Configure, ToolName::Split, ToolName::TrainBP, ToolName::TestBP,
                ToolName::Print});
            on(kMarkTools);
            on({ToolName::Find, ToolName::Export, ToolName::SortAsc, ToolName::SortDesc});
            if (CurrentKind() == ntSFam)
                on({ToolName::SFShowErrors, ToolName::SFShowCorrect, ToolName::SFFindError});
            break;
        case navBrowseInactive:
            on({ToolName::Close, ToolName::Configure, ToolName::Split, ToolName::TrainBP, ToolName::TestBP,
                ToolName::Print});
            off(kMarkTools);
            off({ToolName::Find, ToolName::Export, ToolName::SortAsc, ToolName::SortDesc, ToolName::SFFindError});
            break;
        case navBrowseAll:
            off(kMarkTools);
            off({ToolName::Export});
            on({ToolName::Print});
            if (CurrentKind() == ntSFam)
                off({ToolName::SFFindError});
            on({ToolName::Find, ToolName::SortAsc, ToolName::SortDesc});
            break;
        case navNoGrid:
            off({ToolName::Find});
            on({ToolName::Print});
            off({ToolName::SortAsc, ToolName::SortDesc, ToolName::SFFindError});
            break;
        default:
            break;
        }
        bar().RecalcLayout();
        bar().Refresh();
    });
}

bool CNavigate::Save(const QString& sDBFileName)
{
    return Procedure(QStringLiteral("CNavigate::Save"), [&] { Workflow::Save(sDBFileName); });
}

void CNavigate::Load(const QString& sDBFileName)
{
    Procedure(QStringLiteral("CNavigate::Load"), [&] {
        kdb::Database db = kdb::Database::Open(sDBFileName, false, true);
        const kdb::Value value = db.Scalar(ProjectSchema::ConfigValueSelect(), {ProjectSchema::NavigateKey()});
        db.Close();
        if (value.isNull())
            return;
        const std::optional<int64_t> step = value.ToInt();
        if (!step || *step < INT16_MIN || *step > INT16_MAX)
            throw KvError(KvErr::TypeMismatch);
        Navigate(int32_t(*step));
    });
}

void CNavigate::CheckForSnapshot()
{
    Procedure(QStringLiteral("CNavigate::CheckForSnapshot"), [&] {
        const IProjectOpener* opener = ProjectOpener::Current();
        const QString path = opener ? opener->ProjectFileName() : QString();
        if (path.isEmpty())
            return;
        if (Utilities::FileExists(modMenu::SnapshotName(path)))
            Enable(ToolName::RevertSnap);
    });
}

const ResumeRung& ResumeRungOf(ResumeFrom from, const CProcess& flags)
{
    const ResumeRoad& road = kRoads[size_t(from)];
    return rungOf(road, flags.FurthestStage(road.trainedCountsAsSplit));
}

void ResumeAtFurthestStep(ResumeFrom from)
{
    const ResumeRung& rung = ResumeRungOf(from, gProcess());
    for (const std::optional<NavigateStep>& step : rung.steps)
        if (step)
            gNavigate().Navigate(*step);
    if (!rung.view.isEmpty())
        modMenu::RunCommand(rung.view);
}

void ShowTestResults(bool sfam)
{
    modMenu::RunCommand(sfam ? ToolName::Matrix : ToolName::Scatter);
}

QString TestCompleteText(bool sfam, float currentError, QStringView sfamEnd)
{
    const float success = 100.0f - currentError;
    if (sfam)
        return QStringLiteral("Test complete:  ") + NumFormat::FormatSingle(success, QStringLiteral("0.00"))
               + sfamEnd.toString();
    return QStringLiteral("Test complete:  ") + NumFormat::General(NumFormat::SingleAsDecimal(success))
           + QStringLiteral("% success.");
}
