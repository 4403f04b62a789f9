#include "shell/networkopener.h"

#include "core/apppaths.h"
#include "core/errorbox.h"
#include "core/fileclaim.h"
#include "core/pathutils.h"
#include "core/prompts.h"
#include "core/regsettings.h"
#include "core/widgets/hourglass.h"
#include "core/widgets/statusmsg.h"
#include "core/widgets/veltra.h"
#include "data/datadef.h"
#include "data/dbutilities.h"
#include "data/projectschema.h"
#include "kdb/kdb.h"
#include "network/backprop.h"
#include "network/workflowflags.h"
#include "network/sfam.h"
#include "shell/commandtable.h"
#include "shell/modmenu.h"
#include "shell/navigate.h"
#include "shell/windowcalls.h"

#include <QFileInfo>
#include <QPointer>

#include <memory>

namespace {

std::shared_ptr<CNetworkProject>& openNetwork()
{
    static std::shared_ptr<CNetworkProject> project;
    return project;
}

// The open project's file, claimed against every other copy of the program from before its
// first read until after its last write: a second copy would otherwise open it too, and the
// close of either would write its own state over the other's newer work.
FileClaim& projectClaim()
{
    static FileClaim claim;
    return claim;
}

} // namespace

CNetworkProject* CurrentNetwork()
{
    return openNetwork().get();
}

std::shared_ptr<CNetworkProject> SharedNetwork()
{
    return openNetwork();
}

CNetworkProject& RequireNetwork()
{
    if (!openNetwork())
        throw KvError(KvErr::ObjectNotSet);
    return *openNetwork();
}

int32_t CurrentKind()
{
    CNetworkProject* project = openNetwork().get();
    if (dynamic_cast<CBackProp*>(project))
        return ntBackProp;
    if (dynamic_cast<CSFam*>(project))
        return ntSFam;
    return ntNone;
}

void SetCurrentNetwork(std::shared_ptr<CNetworkProject> project)
{
    openNetwork() = std::move(project);
}

namespace {

struct ProjectFacts {
    int kind = 0;
    QString dataFile;
};

ProjectFacts readFacts(const QString& path)
{
    ProjectFacts facts;
    kdb::Database db = kdb::Database::Open(path, false, true);
    const auto setting = [&](const QString& property) {
        return db.Scalar(ProjectSchema::ConfigValueSelect(), {kdb::Value(property)});
    };
    const kdb::Value type = setting(ProjectSchema::TypeKey());
    bool ok = false;
    facts.kind = type.toText().trimmed().toInt(&ok);
    if (!ok)
        facts.kind = 0;
    facts.dataFile = setting(ProjectSchema::DatabaseFileNameKey()).toText();
    db.Close();
    return facts;
}

// The folder of a path with its trailing separator, as the project dialogs start from it.
QString folderOf(const QString& path)
{
    return QFileInfo(path).absolutePath() + QLatin1Char('/');
}

// Leads the user to the view of the furthest finished step of the project's road.
void resumeAtFurthestStep()
{
    // The splash stays on top and would hide the view (the row split is a modal dialog).
    modMenu::HideSplash();
    ResumeAtFurthestStep(ResumeFrom::Opening);
}

// The new project's file was made; one that cannot even be opened (3051) was not.
bool hasProjectTables(const QString& path)
{
    bool found = false;
    IgnoreErrors([&] { found = Utilities::IsProjectFile(path); });
    return found;
}

// A new network object of the kind becomes the open one and opens or creates the project at
// path. The object stays alive through Initialize even when it closes the project from inside.
// False when it did not come through: it closed the project itself, no project file was made,
// or the opened project has no readable data definition; no object is then open. An error is
// passed on with no object open, so that no half-opened object stays in use.
bool initializeOpen(int32_t kind, const QString& path, bool creating, bool configured = true)
{
    std::shared_ptr<CNetworkProject> project;
    if (kind == ntBackProp)
        project = std::make_shared<CBackProp>();
    else
        project = std::make_shared<CSFam>();
    openNetwork() = project;
    try {
        project->Initialize(path);
    } catch (...) {
        if (openNetwork() == project)
            openNetwork().reset();
        throw;
    }
    if (openNetwork() != project)
        return false;
    // A new project must have its file; an opened one the data definition of its table, or
    // nothing can be done with it (its own box said why), unless it was never configured and
    // so has no table yet.
    const std::shared_ptr<CDataDef> ddo = project->State().DDO();
    const bool usable = creating ? hasProjectTables(path) : !configured || (ddo && ddo->NumFields() > 0);
    if (!usable) {
        openNetwork().reset();
        return false;
    }
    return true;
}

} // namespace

bool NetworkProjectOpener::OpenProject(const QString& path)
{
    // A file that is no project gets its one box before anything else reads it as one; so does
    // one that cannot be opened at all, with its reason, and one another copy holds.
    bool isProject = false;
    try {
        projectClaim().Take(path);
        isProject = Utilities::IsProjectFile(path);
    } catch (...) {
        const KvError error = CurrentError();
        modMenu::HideSplash();
        Prompts::MsgBox(error.description(), MsgButtons::Ok, MsgIcon::Critical, QStringLiteral("Open Project"));
        modMenu::FileClose();
        return false;
    }
    if (!isProject) {
        modMenu::HideSplash();
        Prompts::MsgBox(path + QStringLiteral(":  is not a valid Korvan Project."), MsgButtons::Ok,
                        MsgIcon::Critical, QStringLiteral("Open Project"));
        modMenu::FileClose();
        return false;
    }
    // Training, tests and marks go into the project file as they happen: one that cannot be
    // written would meet every later step with a failure box.
    if (!Utilities::CanWriteInPlace(path)) {
        modMenu::HideSplash();
        Prompts::MsgBox(path + QStringLiteral(":  cannot be written.") + QLatin1Char('\n')
                            + QStringLiteral("A project keeps its training, test results and marks in its own file: "
                                             "make the file and its folder writable, then open the project again."),
                        MsgButtons::Ok, MsgIcon::Exclamation, QStringLiteral("Open Project"));
        modMenu::FileClose();
        return false;
    }
    // A file its own box found unreadable is not read again for a second box.
    if (!Utilities::CheckLink(path)) {
        modMenu::FileClose();
        return false;
    }
    // Held while the project opens; the view it resumes in (a modal dialog among them) comes
    // after it, with the normal pointer.
    auto hourglass = std::make_unique<CHourglass>(true);
    Utilities::SaveSetting(QStringLiteral("Config"), QStringLiteral("LastProjectPath"), folderOf(path));

    const ProjectFacts facts = readFacts(path);
    // A project never configured has no data file yet: it opens in its configuration.
    if (!facts.dataFile.isEmpty() && !Utilities::FileExists(facts.dataFile)) {
        Prompts::MsgBox(QStringLiteral("The data file for this project could not be found.") + QLatin1Char('\n')
                            + QLatin1Char('(') + facts.dataFile + QLatin1Char(')') + QLatin1Char('\n')
                            + QStringLiteral(" OR  (") + AppPaths::ProgramFolder() + QStringLiteral("/data/")
                            + Utilities::GetFileName(facts.dataFile) + QStringLiteral(")."),
                        MsgButtons::Ok, MsgIcon::Exclamation, QStringLiteral("Unable To Open Project"));
        modMenu::FileClose();
        return false;
    }

    if (facts.kind != ntSFam && facts.kind != ntBackProp)
        throw KvError(999, QStringLiteral("modMenu::FileOpen"), QStringLiteral("Bad Project Type"));
    bool ok = false;
    try {
        ok = initializeOpen(facts.kind, path, false, !facts.dataFile.isEmpty());
    } catch (...) {
        IgnoreErrors([] { modMenu::FileClose(); });
        throw;
    }
    if (!ok) {
        modMenu::FileClose();
        return false;
    }
    Utilities::SetProjectPanel(facts.kind == ntSFam ? QStringLiteral("SFAM") : QStringLiteral("Backprop"));
    Utilities::SetNodesPanel(QString::number(openNetwork()->CurrentNodes()));

    if (QWidget* form = gVeltra().MainForm())
        form->setWindowTitle(modMenu::MainCaption(path));
    gNavigate().Navigate(navOpened);
    // Flags that could not be read are not written back over the file's own when it closes.
    gProcess().SetOfOpenProject(gProcess().Load(path));
    // Only a project that opened joins the recent files: a failed one would come back with its
    // box at every start while Autoload is on.
    gVeltra().MRUList().Add(path);
    hourglass.reset();
    resumeAtFurthestStep();
    return true;
}

bool NetworkProjectOpener::NewProject(const QString& path, int32_t kind)
{
    projectClaim().Take(path);
    bool created = false;
    try {
        created = initializeOpen(kind, path, true);
    } catch (...) {
        projectClaim().Release();
        throw;
    }
    if (!created)
        projectClaim().Release();
    gProcess().SetOfOpenProject(created);
    return created;
}

void NetworkProjectOpener::CloseProject()
{
    // Flags are written back only for a project whose flags were read: a project that fails
    // while opening would otherwise get the cleared flags of the project closed before it.
    const bool saveFlags = gProcess().OfOpenProject();
    gProcess().SetOfOpenProject(false);
    if (const auto keep = openNetwork()) { // the object may be running the member that closed it
        openNetwork().reset();
        if (saveFlags)
            IgnoreErrors([&] { gProcess().Save(keep->State().ProjectFileName()); });
    }
    projectClaim().Release();
    gProcess().SetIsConfigured(false);
    gProcess().SetIsSplit(false);
    gProcess().SetIsTrained(false);
    gProcess().SetIsTested(false);
}

QString NetworkProjectOpener::ProjectFileName() const
{
    const CNetworkProject* project = CurrentNetwork();
    return project ? project->State().ProjectFileName() : QString();
}
