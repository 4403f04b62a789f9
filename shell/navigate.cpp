#include "shell/navigate.h"

#include "core/errorbox.h"
#include "core/pathutils.h"
#include "core/widgets/commandbar.h"
#include "core/widgets/veltra.h"
#include "kdb/kdb.h"
#include "shell/modmenu.h"
#include "shell/projectopener.h"

#include <initializer_list>

namespace {
using Names = std::initializer_list<const char*>;

// The result views that no workflow stage before testing offers.
constexpr Names kResultViews = {"mnuTestBP", "mnuSFBrowseTest", "mnuBPBrowseTest", "mnuBPShowAll",
                                "mnuSFShowAll", "mnuScatter", "mnuSeries", "mnuBrowseTest",
                                "mnuSFShowErrors", "mnuSFShowCorrect", "mnuSFFindError", "mnuMatrix"};
constexpr Names kSplitOff = {"mnuTestBP", "mnuSFBrowseTest", "mnuBPBrowseTest", "mnuBrowseTest",
                             "mnuBPShowAll", "mnuSFShowAll", "mnuSFShowErrors", "mnuSFShowCorrect",
                             "mnuSFFindError", "mnuScatter", "mnuSeries", "mnuMatrix"};
constexpr Names kMarkTools = {"mnuMarkAll", "mnuUnmarkAll", "mnuToggleMarks", "mnuMarkSelected"};
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

void CNavigate::Navigate(int32_t eNav)
{
    if (eNav < navTested || eNav > navNoGrid)
        mStep = eNav;
    ProcessNavigate(eNav);
}

void CNavigate::ProcessNavigate(int32_t eNav)
{
    Procedure(QStringLiteral("CNavigate::ProcessNavigate"), [&] {
        auto on = [&](Names names) {
            for (const char* name : names)
                Enable(QString::fromLatin1(name));
        };
        auto off = [&](Names names) {
            for (const char* name : names)
                Disable(QString::fromLatin1(name));
        };
        // What every workflow stage from an open project on starts with.
        auto stageCommon = [&] {
            on({"close", "mnuConfigure"});
            off({"mnuImport"});
            on({"mnuSaveSnap", "mnuPrint"});
            CheckForSnapshot();
        };
        switch (eNav) {
        case navNoProject: {
            CCommandBar& b = bar();
            for (const QString& name : b.ToolNames())
                b.SetEnabled(name, false);
            on({"miHContents", "mnuFile", "mnuEdit", "mnuView", "mnuHelp", "mnuNetworktool", "mnuProp", "new",
                "open", "exit", "mnuNewSFAM", "mnuNewBP", "mnuTest", "miHAbout", "mnuUtil", "mnuImport",
                "mnuTrainBPStop", "mnuTrainBPRevert", "mnuTrainBPTrain", "mnuTrainBPJogWeights",
                "mnuTrainBPReset", "mnuTrainBPGraphType", "mnuTrainBPZoom", "mnuTrainBPExit", "mnuNumRec",
                "mnuAutoload", "mnuShowIMode"});
            gVeltra().MRUList().SetEnabled(true);
            break;
        }
        case navOpened:
            stageCommon();
            break;
        case navConfigured:
            on({"close", "mnuConfigure", "mnuSplit"});
            off({"mnuImport"});
            on({"mnuSaveSnap", "mnuPrint"});
            CheckForSnapshot();
            off(kResultViews);
            on({gProjectType == ntBackProp ? "mnuBPShowAll" : "mnuSFShowAll"});
            on({"mnuShowAll"});
            break;
        case navSplit:
        case navTrained:
            stageCommon();
            on({"mnuSplit", "mnuTrainBP"});
            off(kSplitOff);
            if (eNav == navTrained)
                on({"mnuTestBP"});
            break;
        case navTested:
            stageCommon();
            on({"mnuSplit", "mnuTrainBP", "mnuTestBP"});
            if (gProjectType == ntBackProp)
                on({"mnuBPShowAll", "mnuBPBrowseTest", "mnuScatter", "mnuSeries"});
            else
                on({"mnuSFShowAll", "mnuSFBrowseTest", "mnuMatrix", "mnuSFShowErrors", "mnuSFShowCorrect"});
            on({"mnuShowAll", "mnuBrowseTest"});
            break;
        case navBrowsing:
            on({"close", "mnuConfigure", "mnuSplit", "mnuTrainBP", "mnuTestBP", "mnuPrint"});
            on(kMarkTools);
            on({"mnuFind", "mnuExport", "mnuSortAsc", "mnuSortDesc"});
            if (gProjectType == ntSFam)
                on({"mnuSFShowErrors", "mnuSFShowCorrect", "mnuSFFindError"});
            break;
        case navBrowseInactive:
            on({"close", "mnuConfigure", "mnuSplit", "mnuTrainBP", "mnuTestBP", "mnuPrint"});
            off(kMarkTools);
            off({"mnuFind", "mnuExport", "mnuSortAsc", "mnuSortDesc", "mnuSFFindError"});
            break;
        case navBrowseAll:
            off(kMarkTools);
            off({"mnuExport"});
            on({"mnuPrint"});
            if (gProjectType == ntSFam)
                off({"mnuSFFindError"});
            on({"mnuFind", "mnuSortAsc", "mnuSortDesc"});
            break;
        case navNoGrid:
            off({"mnuFind"});
            on({"mnuPrint"});
            off({"mnuSortAsc", "mnuSortDesc", "mnuSFFindError"});
            break;
        default:
            break;
        }
        bar().RecalcLayout();
        bar().Refresh();
    });
}

void CNavigate::Save(const QString& sDBFileName)
{
    Procedure(QStringLiteral("CNavigate::Save"), [&] {
        kdb::Database db = kdb::Database::Open(sDBFileName, false, false);
        // The row is edited when there is one, else added.
        db.Upsert(QStringLiteral("Config"), {{QStringLiteral("sValue"), QString::number(mStep)}},
                  QStringLiteral("Property"), QStringLiteral("Navigate"));
    });
}

void CNavigate::Load(const QString& sDBFileName)
{
    Procedure(QStringLiteral("CNavigate::Load"), [&] {
        kdb::Database db = kdb::Database::Open(sDBFileName, false, true);
        const kdb::Value value = db.Scalar(QStringLiteral("SELECT sValue FROM Config WHERE Property='Navigate';"));
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
            Enable(QStringLiteral("mnuRevertSnap"));
    });
}
