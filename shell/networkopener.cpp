#include "shell/networkopener.h"

#include "core/apppaths.h"
#include "core/errorbox.h"
#include "core/pathutils.h"
#include "core/prompts.h"
#include "core/regsettings.h"
#include "core/widgets/hourglass.h"
#include "core/widgets/statusmsg.h"
#include "core/widgets/veltra.h"
#include "data/dbutilities.h"
#include "kdb/kdb.h"
#include "network/backprop.h"
#include "network/process.h"
#include "network/sfam.h"
#include "shell/modmenu.h"
#include "shell/navigate.h"
#include "shell/viewprocs.h"

#include <QFileInfo>
#include <QPointer>

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
    const auto setting = [&](const char* property) {
        return db.Scalar(QStringLiteral("SELECT sValue FROM Config WHERE Property = ?"),
                         {kdb::Value(QString::fromLatin1(property))});
    };
    const kdb::Value type = setting("Type");
    bool ok = false;
    facts.kind = type.toText().trimmed().toInt(&ok);
    if (!ok)
        facts.kind = 0;
    facts.dataFile = setting("DatabaseFileName").toText();
    db.Close();
    return facts;
}

// The folder of a path with its trailing separator, as the project dialogs start from it.
QString folderOf(const QString& path)
{
    return QFileInfo(path).absolutePath() + QLatin1Char('/');
}

void resumeAtFurthestStep()
{
    CProcess& process = gProcess();
    if (process.IsTested()) {
        gNavigate().Navigate(navTested);
        gNavigate().Navigate(navBrowsing);
    } else if (process.IsTrained() || process.IsSplit()) {
        gNavigate().Navigate(navSplit);
    } else if (process.IsConfigured()) {
        gNavigate().Navigate(navConfigured);
    }
}

} // namespace

NetworkProjectOpener::NetworkProjectOpener()
    : m_previousOpener(ProjectOpener::Install(this)), m_previousHost(NetworkHost::Install(&m_host))
{
}

NetworkProjectOpener::~NetworkProjectOpener()
{
    ProjectOpener::Install(m_previousOpener);
    NetworkHost::Install(m_previousHost);
}

bool NetworkProjectOpener::OpenProject(const QString& path)
{
    Utilities::CheckLink(path);
    if (!Utilities::IsProjectFile(path)) {
        modMenu::HideSplash();
        Prompts::MsgBox(path + QStringLiteral(":  is not a valid Korvan Project."), MsgButtons::Ok,
                        MsgIcon::Critical, QStringLiteral("Open Project"));
        modMenu::FileClose();
        return false;
    }
    CHourglass hourglass(true);
    gVeltra().MRUList().Add(path);
    Utilities::SaveSetting(QStringLiteral("Config"), QStringLiteral("LastProjectPath"), folderOf(path));

    const ProjectFacts facts = readFacts(path);
    if (!Utilities::FileExists(facts.dataFile)) {
        Prompts::MsgBox(QStringLiteral("The data file for this project could not be found.") + QLatin1Char('\n')
                            + QLatin1Char('(') + facts.dataFile + QLatin1Char(')') + QLatin1Char('\n')
                            + QStringLiteral(" OR  (") + AppPaths::ProgramFolder() + QStringLiteral("/data/")
                            + Utilities::GetFileName(facts.dataFile) + QStringLiteral(")."),
                        MsgButtons::Ok, MsgIcon::Exclamation, QStringLiteral("Unable To Open Project"));
        modMenu::FileClose();
        return false;
    }

    // The object stays alive through Initialize even when it closes the project from inside.
    if (facts.kind == ntSFam) {
        gProjectType = ntSFam;
        auto project = std::make_shared<CSFam>();
        gSFam() = project;
        project->Initialize(path);
        if (!gSFam())
            return false;
        Utilities::SetProjectPanel(QStringLiteral("SFAM"));
        Utilities::SetNodesPanel(QString::number(project->CurrentNodes()));
    } else if (facts.kind == ntBackProp) {
        gProjectType = ntBackProp;
        auto project = std::make_shared<CBackProp>();
        gBackProp() = project;
        project->Initialize(path);
        if (!gBackProp())
            return false;
        Utilities::SetProjectPanel(QStringLiteral("Backprop"));
        Utilities::SetNodesPanel(QString::number(project->CurrentNodes()));
    } else {
        throw KvError(999, QStringLiteral("modMenu::FileOpen"), QStringLiteral("Bad Project Type"));
    }

    if (QWidget* form = gVeltra().MainForm())
        form->setWindowTitle(modMenu::MainCaption(path));
    gNavigate().Navigate(navOpened);
    gProcess().Load(path);
    m_flagsLoaded = true;
    resumeAtFurthestStep();
    return true;
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
    // The browse library closes its windows at once and lets the project file go.
    if (modMenu::Views().CloseBrowsers) {
        IgnoreErrors([] { modMenu::Views().CloseBrowsers(); });
        return;
    }
    // Every browse window of the project closes, so that none holds the project file open.
    for (auto& entry : gVeltra().Project().Forms()) {
        IgnoreErrors([&] {
            if (entry.form && entry.form->objectName() == QLatin1String("frmBrowse"))
                entry.form->deleteLater();
        });
    }
}

void NetworkProjectOpener::Host::HideSplash()
{
    modMenu::HideSplash();
}

void NetworkProjectOpener::Host::SaveNavigation(const QString& projectFile)
{
    gNavigate().Save(projectFile);
}
