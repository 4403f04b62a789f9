// The project commands of the File menu: new projects, import and export, snapshot copies.
#include "core/widgets/toolnames.h"
#include "shell/modmenu.h"

#include "core/apppaths.h"
#include "core/commondialog.h"
#include "core/errorbox.h"
#include "core/fileclaim.h"
#include "core/pathutils.h"
#include "core/prompts.h"
#include "core/status.h"
#include "core/regsettings.h"
#include "core/widgets/hourglass.h"
#include "core/widgets/statusmsg.h"
#include "core/widgets/veltra.h"
#include "data/exportmarked.h"
#include "data/importwriter.h"
#include "data/textimport.h"
#include "kdb/backup.h"
#include "kdb/kdb.h"
#include "network/workflowflags.h"
#include "shell/navigate.h"
#include "shell/networkopener.h"
#include "shell/projectopener.h"
#include "shell/windowcalls.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <optional>

namespace {

const QString kProjectFilter = QStringLiteral("Korvan Projects (*.kvp)|*.kvp");
const QString kBadExtension =
    QStringLiteral("Unreconized file type.  Korvan projects require a .KVP file extention.");

QString lastProjectFolder()
{
    const QString folder = Utilities::GetSetting(QStringLiteral("Config"), QStringLiteral("LastProjectPath"), QString());
    return folder.isEmpty() ? AppPaths::ProgramFolder() : folder;
}

bool sameFile(const QString& a, const QString& b)
{
    if (a.isEmpty() || b.isEmpty())
        return false;
    const QFileInfo fa(a), fb(b);
    return fa.absoluteFilePath() == fb.absoluteFilePath()
           || (!fa.canonicalFilePath().isEmpty() && fa.canonicalFilePath() == fb.canonicalFilePath());
}

// Puts the progress bar and the main panel back however the creation ends.
struct ProgressReset {
    ~ProgressReset()
    {
        IgnoreErrors([] { Utilities::Progress(-1); });
        IgnoreErrors([] { Utilities::StatusMessage(QString()); });
    }
};

void newProject(int32_t kind)
{
    const bool bp = kind == ntBackProp;
    Procedure(bp ? QStringLiteral("modMenu::NewBP") : QStringLiteral("modMenu::NewSFam"), [&] {
        const QString path = modMenu::GetFileNew(kind);
        if (path.isEmpty())
            return;
        modMenu::FileClose();
        bool created = false;
        {
            ProgressReset reset;
            Utilities::StatusMessage(bp ? QStringLiteral("Creating New BackProp Project...")
                                        : QStringLiteral("Creating New SFAM Project..."));
            Utilities::Progress(30);
            IProjectOpener* opener = ProjectOpener::Current();
            try {
                created = opener && opener->NewProject(path, kind);
            } catch (...) {
                IgnoreErrors([] { modMenu::FileClose(); });
                throw;
            }
            if (created) {
                Utilities::Progress(60);
                Utilities::Progress(100);
                QCoreApplication::processEvents();
            }
        }
        // A project that could not be made leaves nothing open, and no configuration window.
        if (!created) {
            modMenu::FileClose();
            return;
        }
        gNavigate().Navigate(navOpened);
        if (QWidget* form = gVeltra().MainForm())
            form->setWindowTitle(modMenu::MainCaption(path));
        Utilities::SetProjectPanel(bp ? QStringLiteral("Backprop") : QStringLiteral("SFAM"));
        modMenu::EditConfigure(true);
    });
}

// A whole-file copy between a project and its snapshot. A copy killed half-way leaves its part
// beside the target: the folder is remembered so that the next start sweeps it.
void copyProjectFile(const QString& from, const QString& to)
{
    DataImport::RecordFolder(QDir::cleanPath(QFileInfo(to).absolutePath()));
    kdb::CopyDatabaseFile(from, to);
}

// Replaces the project file by its snapshot, removes the snapshot and reopens the project. The
// snapshot goes before the reopen: the reopened project's first step looks for it, and a window
// that the reopen shows (configuration, training) keeps the tool states of that moment and gives
// them back when it closes. The project file already holds the snapshot's content then.
void revertTo(const QString& project, const QString& snap)
{
    modMenu::FileClose();
    // No browse window may keep reading the file that is about to be replaced, and no other copy
    // of the program may open it meanwhile.
    IgnoreErrors([] { modMenu::CloseBrowsers(); });
    FileClaim claim;
    try {
        claim.Take(project);
        copyProjectFile(snap, project);
    } catch (...) {
        claim.Release();
        const KvError error = CurrentError();
        ErrorBox::ShowStandard(KvError(error.number(), error.source(),
                                       error.description() + QStringLiteral("\nThe project was not reverted.")),
                               QStringLiteral("modMenu::RevertSnapshot"));
        modMenu::FileOpen(project);
        return;
    }
    // The snapshot's removal lasts: one that came back would offer the revert again.
    std::optional<KvError> stayed;
    try {
        kdb::RemoveDatabaseFile(snap);
    } catch (const KvError& e) {
        stayed = e;
    }
    // The project is open again in any case; a snapshot that stayed is reported after.
    claim.Release();
    modMenu::FileOpen(project);
    if (stayed)
        throw KvError(stayed->number(), QStringLiteral("modMenu::RevertSnapshot"), stayed->description());
    const IProjectOpener* opener = ProjectOpener::Current();
    if (!opener || !sameFile(opener->ProjectFileName(), project))
        return;
    Status::Outcome(QStringLiteral("Project reverted to snapshot."));
    gNavigate().Disable(ToolName::RevertSnap);
}

// Whether the file is a pattern file: it holds "[TAGS]" and "[PATTERNS]". None when it could
// not be read, its box shown ("modMenu::TestForRawFile").
std::optional<bool> rawFileTest(const QString& path)
{
    int found = 0;
    const bool read = Procedure(QStringLiteral("modMenu::TestForRawFile"), [&] {
        QFile file(path);
        Utilities::OpenForReading(file);
        if (file.atEnd())
            throw KvError(KvErr::InputPastEnd, QStringLiteral("modMenu::TestForRawFile"));
        while (!file.atEnd() && found < 2) {
            const QByteArray line = file.readLine();
            if (line.contains("[TAGS]"))
                ++found;
            if (line.contains("[PATTERNS]"))
                ++found;
        }
    });
    if (!read)
        return std::nullopt;
    return found >= 2;
}

} // namespace

QString modMenu::GetFileNew(int32_t kind)
{
    QString accepted;
    Procedure(QStringLiteral("modMenu::GetFileNew"), [&] {
        for (;;) {
            CCommonDialog dialog;
            const QString folder = lastProjectFolder();
            dialog.SetFilter(kProjectFilter);
            dialog.SetDefaultExt(QStringLiteral("*.kvp"));
            dialog.SetInitDir(folder);
            dialog.SetDialogTitle(kind == ntBackProp ? QStringLiteral("Create New BackProp Project")
                                                     : QStringLiteral("Create New SFAM Project"));
            dialog.SetFlags(dialog.Flags() + 4);
            int n = 1;
            while (QFileInfo::exists(QDir(folder).filePath(QStringLiteral("KVProject%1.kvp").arg(n))))
                ++n;
            dialog.SetFileName(QStringLiteral("KVProject%1.kvp").arg(n));
            dialog.SethWnd(QApplication::activeWindow());
            dialog.ShowOpen();
            if (dialog.UserCancel())
                return;
            const QString path = dialog.FileName();
            if (!path.toUpper().contains(QStringLiteral(".KVP"))) {
                Prompts::MsgBox(kBadExtension, MsgButtons::Ok, MsgIcon::Exclamation,
                                QStringLiteral("Create New Project"));
                continue;
            }
            if (QFileInfo::exists(path)) {
                const IProjectOpener* opener = ProjectOpener::Current();
                if (opener && sameFile(opener->ProjectFileName(), path)) {
                    // Overwriting would destroy the project the user is working on.
                    Prompts::MsgBox(path + QStringLiteral(" is the open project.  Choose another name."),
                                    MsgButtons::Ok, MsgIcon::Exclamation, QStringLiteral("New Project"));
                    continue;
                }
                if (Prompts::MsgBox(path + QStringLiteral(" exists.  Overwrite?"), MsgButtons::YesNo,
                                    MsgIcon::Exclamation, QStringLiteral("New Project"))
                    != MsgResult::Yes)
                    continue;
                FileClose();
                // The old project's snapshot goes with it, and for good before the project
                // does (so that a failure or a power cut leaves the old project whole): it must
                // never bring the old project back over the new. The project goes with its
                // journal, both for good before the new project is made; never while another
                // copy of the program has it open.
                FileClaim claim;
                claim.Take(path);
                kdb::RemoveDatabaseFile(SnapshotName(path));
                kdb::RemoveDatabaseFile(path);
            }
            Utilities::SaveSetting(QStringLiteral("Config"), QStringLiteral("LastProjectPath"),
                                   QFileInfo(path).absolutePath() + QLatin1Char('/'));
            accepted = path;
            return;
        }
    });
    return accepted;
}

void modMenu::NewSFam()
{
    newProject(ntSFam);
}

void modMenu::NewBP()
{
    newProject(ntBackProp);
}

void modMenu::Import()
{
    Procedure(QStringLiteral("modMenu::Import"), [&] {
        CCommonDialog dialog;
        dialog.SetDialogTitle(QStringLiteral("Import"));
        dialog.SetFlags(dialog.Flags() + 4);
        // clang-format off
        dialog.SetFilter(QStringLiteral("Text (*.txt)|*.txt|CSV (comma delimited) (*.csv)|*.csv|Korvan 1.x (*.raw)|*.raw|Any - Text Format (*.txt)|*.txt"));
        // clang-format on
        dialog.SetFileName(QStringLiteral("*.txt;*.csv;*.raw"));
        dialog.SethWnd(QApplication::activeWindow());
        dialog.ShowOpen();
        if (dialog.UserCancel())
            return;
        CHourglass hourglass(true);
        const QString path = dialog.FileName();
        // An import that ends without a text of its own (a refused file) gives the panel back.
        const Status::CStatusText importing(QStringLiteral("Importing ") + path + QStringLiteral("..."),
                                            Status::CStatusText::OnEnd::Restore);
        const QString title = dialog.FileTitle().isEmpty() ? QFileInfo(path).fileName() : dialog.FileTitle();
        if (title.toUpper().contains(QStringLiteral(".RAW"))) {
            // A file that could not be read (a pipe, a device, a file gone or empty) had its one
            // box say why: it is no corrupt file.
            const std::optional<bool> pattern = rawFileTest(path);
            if (pattern == true) {
                Utilities::LoadRawFile(path);
            } else if (!pattern) {
                Utilities::StatusMessage(QStringLiteral("Import failed."));
            } else {
                Prompts::MsgBox(QStringLiteral("Invalid or corrupt .raw file."), MsgButtons::Ok, MsgIcon::Critical,
                                QStringLiteral("Import Failed"));
                Utilities::StatusMessage(QStringLiteral("Import failed."));
            }
        } else {
            Utilities::LoadTextFile(path);
        }
    });
}

bool modMenu::TestForRawFile(const QString& path)
{
    return rawFileTest(path).value_or(false);
}

void modMenu::ExportMarkedRows()
{
    // Without a project this raises to the caller's box: there is nothing to export from.
    const CNetworkProject& net = RequireNetwork();
    const QString project = net.State().ProjectFileName();
    const std::shared_ptr<CDataDef> ddo = net.State().DDO();
    Utilities::ExportMarked(project, ddo.get());
}

QString modMenu::SnapshotName(const QString& projectFile)
{
    const int slash = int(std::max(projectFile.lastIndexOf(QLatin1Char('/')), projectFile.lastIndexOf(QLatin1Char('\\'))));
    const int dot = int(projectFile.lastIndexOf(QLatin1Char('.')));
    if (dot > slash)
        return projectFile.left(dot + 1) + QStringLiteral("snap");
    // A name without a suffix gets one: the snapshot must never be the project file itself.
    return projectFile + QStringLiteral(".snap");
}

void modMenu::SaveSnapshot()
{
    Procedure(QStringLiteral("modMenu::SaveSnapshot"), [&] {
        CHourglass hourglass(true);
        const QString project = RequireNetwork().State().ProjectFileName();
        // The snapshot holds the project as it stands: the workflow step and flags, which the
        // file otherwise gets at close, go in first. A revert must be able to go on from it.
        Workflow::Save(project);
        copyProjectFile(project, SnapshotName(project));
        Status::Outcome(QStringLiteral("Project snapshot saved."));
        gNavigate().Enable(ToolName::RevertSnap);
    });
}

void modMenu::RevertSnapshot()
{
    Procedure(QStringLiteral("modMenu::RevertSnapshot"), [&] {
        const QString project = RequireNetwork().State().ProjectFileName();
        const QString snap = SnapshotName(project);
        if (!Utilities::FileExists(snap)) {
            // Only no snapshot at all is nothing to revert to: one that is there but cannot be
            // read (a pipe, a link to nothing) gets the box every open gives.
            const QFileInfo there(snap);
            if (there.exists() || there.isSymLink())
                kdb::Database::Open(snap, false, true);
            return;
        }
        const QString question =
            QStringLiteral("Reverting to snapshot will destroy any work done since that snapshot was taken.  Continue?");
        if (Prompts::MsgBox(question, MsgButtons::YesNo, MsgIcon::Exclamation, QStringLiteral("Revert To Snapshot"))
            != MsgResult::Yes)
            return;
        CHourglass hourglass(true);
        revertTo(project, snap);
    });
}
