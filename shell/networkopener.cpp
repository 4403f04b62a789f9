#include "shell/networkopener.h"

#include "core/apppaths.h"
#include "core/errorbox.h"
#include "core/pathutils.h"
#include "core/prompts.h"
#include "core/regsettings.h"
#include "core/widgets/hourglass.h"
#include "core/widgets/statusmsg.h"
#include "core/widgets/toolnames.h"
#include "core/widgets/veltra.h"
#include "data/datadef.h"
#include "data/dbutilities.h"
#include "data/projectschema.h"
#include "kdb/kdb.h"
#include "network/backprop.h"
#include "network/process.h"
#include "network/sfam.h"
#include "shell/commandtable.h"
#include "shell/modmenu.h"
#include "shell/navigate.h"
#include "shell/windowcalls.h"

#include <QFileInfo>
#include <QPointer>

#include <memory>

std::shared_ptr<CBackProp>& gBackProp()
{
    static std::shared_ptr<CBackProp> project;
    return project;
}

std::shared_ptr<CSFam>& gSFam()
{
    static std::shared_ptr<CSFam> project;
    return project;
}

CNetworkProject* CurrentNetwork()
{
    if (gBackProp())
        return gBackProp().get();
    return gSFam().get();
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
    CProcess& process = gProcess();
    if (process.IsTested()) {
        gNavigate().Navigate(navTested);
        gNavigate().Navigate(navBrowsing);
        modMenu::RunCommand(ToolName::BrowseTest);
    } else if (process.IsTrained() || process.IsSplit()) {
        gNavigate().Navigate(navSplit);
        modMenu::RunCommand(ToolName::TrainBP);
    } else if (process.IsConfigured()) {
        gNavigate().Navigate(navConfigured);
        modMenu::RunCommand(ToolName::Split);
    } else {
        modMenu::EditConfigure();
    }
}

// A project database was made: the file holds the base tables (a new project has no data
// file yet, so IsProjectFile does not answer for it).
bool hasProjectTables(const QString& path)
{
    bool found = false;
    IgnoreErrors([&] {
        const kdb::Database db = kdb::Database::Open(path, false, true);
        found = db.HasTable(ProjectSchema::ConfigTable()) && db.HasTable(ProjectSchema::FieldConfigTable());
    });
    return found;
}

// A new network object of type T becomes `global` and opens or creates the project at path.
// The object stays alive through Initialize even when it closes the project from inside.
// False when it did not come through: it closed the project itself, no project file was made,
// or the opened project has no readable data definition; the global is then unset. An error is passed on with the global
// unset, so that no half-opened object stays in use.
template <class T>
bool initializeInto(std::shared_ptr<T>& global, const QString& path, bool creating, bool configured = true)
{
    auto project = std::make_shared<T>();
    global = project;
    try {
        project->Initialize(path);
    } catch (...) {
        if (global == project)
            global.reset();
        throw;
    }
    if (global != project)
        return false;
    // A new project must have its file; an opened one the data definition of its table, or
    // nothing can be done with it (its own box said why), unless it was never configured and
    // so has no table yet.
    const bool usable = creating ? hasProjectTables(path)
                                 : !configured || (project->DDO() && project->DDO()->NumFields() > 0);
    if (!usable) {
        global.reset();
        return false;
    }
    return true;
}

} // namespace

bool NetworkProjectOpener::OpenProject(const QString& path)
{
    // A file that is no project gets its one box before anything else reads it as one.
    if (!Utilities::IsProjectFile(path)) {
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

    const auto opened = [&](auto& global) {
        bool ok = false;
        try {
            ok = initializeInto(global, path, false, !facts.dataFile.isEmpty());
        } catch (...) {
            IgnoreErrors([] { modMenu::FileClose(); });
            throw;
        }
        if (!ok)
            modMenu::FileClose();
        return ok;
    };
    if (facts.kind == ntSFam) {
        gProjectType = ntSFam;
        if (!opened(gSFam()))
            return false;
        Utilities::SetProjectPanel(QStringLiteral("SFAM"));
        Utilities::SetNodesPanel(QString::number(gSFam()->CurrentNodes()));
    } else if (facts.kind == ntBackProp) {
        gProjectType = ntBackProp;
        if (!opened(gBackProp()))
            return false;
        Utilities::SetProjectPanel(QStringLiteral("Backprop"));
        Utilities::SetNodesPanel(QString::number(gBackProp()->CurrentNodes()));
    } else {
        throw KvError(999, QStringLiteral("modMenu::FileOpen"), QStringLiteral("Bad Project Type"));
    }

    if (QWidget* form = gVeltra().MainForm())
        form->setWindowTitle(modMenu::MainCaption(path));
    gNavigate().Navigate(navOpened);
    gProcess().Load(path);
    m_flagsLoaded = true;
    // Only a project that opened joins the recent files: a failed one would come back with its
    // box at every start while Autoload is on.
    gVeltra().MRUList().Add(path);
    hourglass.reset();
    resumeAtFurthestStep();
    return true;
}

bool NetworkProjectOpener::NewProject(const QString& path, int32_t kind)
{
    const bool created = kind == ntBackProp ? initializeInto(gBackProp(), path, true)
                                            : initializeInto(gSFam(), path, true);
    m_flagsLoaded = created;
    return created;
}

void NetworkProjectOpener::CloseProject()
{
    // Flags are written back only for a project whose flags were read: a project that fails
    // while opening would otherwise get the cleared flags of the project closed before it.
    const bool saveFlags = m_flagsLoaded;
    m_flagsLoaded = false;
    const auto release = [saveFlags](auto& project) {
        if (!project)
            return;
        const auto keep = project; // the object may be running the member that closed it
        project.reset();
        if (saveFlags)
            IgnoreErrors([&] { gProcess().Save(keep->ProjectFileName()); });
    };
    release(gSFam());
    release(gBackProp());
    gProcess().SetIsConfigured(false);
    gProcess().SetIsSplit(false);
    gProcess().SetIsTrained(false);
    gProcess().SetIsTested(false);
}

QString NetworkProjectOpener::ProjectFileName() const
{
    const CNetworkProject* project = CurrentNetwork();
    return project ? project->ProjectFileName() : QString();
}

void NetworkProjectOpener::Host::CloseProject()
{
    modMenu::FileClose();
}

void NetworkProjectOpener::Host::CloseBrowsers()
{
    modMenu::CloseBrowsers();
}

void NetworkProjectOpener::Host::HideSplash()
{
    modMenu::HideSplash();
}

std::optional<int32_t> NetworkProjectOpener::Host::NavigationStep()
{
    return gNavigate().Step();
}

const CProcess* NetworkProjectOpener::Host::WorkflowFlags()
{
    return m_flagsLoaded ? &gProcess() : nullptr;
}
