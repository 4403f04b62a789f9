#include "app/submain.h"

#include "core/apppaths.h"
#include "core/errorbox.h"
#include "core/pathutils.h"
#include "core/regsettings.h"
#include "core/splashwait.h"
#include "core/widgets/commandbar.h"
#include "core/widgets/pointerguard.h"
#include "core/widgets/splash.h"
#include "core/widgets/statusbar.h"
#include "core/widgets/statusmsg.h"
#include "core/widgets/toolnames.h"
#include "core/widgets/veltra.h"
#include "shell/frmmain.h"
#include "shell/modmenu.h"
#include "shell/navigate.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>

namespace {

void pump()
{
    QCoreApplication::processEvents();
}

// One pass of the splash wait. The window stays answerable meanwhile: a click on the splash
// or the main window is handled at once, not after the pass.
void waitPass(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void openProject(const StartupOptions& options, CCommandBar& bar)
{
    const QString commandLine = options.arguments.join(QLatin1Char(' ')).trimmed();
    if (!commandLine.isEmpty()) {
        // Any other argument is passed over in silence, and the recent files stay unread.
        const QString path = SubMain::ProjectArgument(commandLine, options.currentFolder);
        if (!path.isEmpty())
            modMenu::FileOpen(path);
        return;
    }
    CMRUList& recent = gVeltra().MRUList();
    if (recent.Count() < 1)
        return;
    if (bar.Checked(ToolName::Autoload)) {
        const CPointerGuard cursor(Qt::WaitCursor);
        Utilities::StatusMessage(QStringLiteral("Loading previous project..."));
        pump();
        modMenu::FileOpen(recent.Item(1));
        Utilities::StatusMessage(QStringLiteral(" "));
    } else {
        Utilities::StatusMessage(SubMain::WelcomeText());
    }
}

} // namespace

QString SubMain::WelcomeText()
{
    return QStringLiteral("Welcome to Korvan Pro - Use the File menu to select a project.");
}

QString SubMain::ProjectArgument(const QString& commandLine, const QString& currentFolder)
{
    QString path = commandLine.trimmed();
    if (path.isEmpty())
        return {};
    if (!path.contains(QLatin1Char('/')))
        path = QDir(currentFolder).path() + QLatin1Char('/') + path;
    // Both tests are made, the extension's first.
    const bool projectExtension = path.right(3).toUpper() == QLatin1String("KVP");
    const bool exists = Utilities::FileExists(path);
    // A pipe or a device of that name is no project, yet the user named it: the open's one box
    // says so, and it is never read.
    const bool notAFile = !exists && !Utilities::NotAFileReason(path).isEmpty();
    if (!projectExtension || (!exists && !notAFile))
        return {};
    return Utilities::GetLongFileName(path);
}

bool SubMain::AutoloadChecked(const QString& stored)
{
    return frmMain::SettingBool(stored).value_or(true);
}

frmMain* SubMain::Main(const StartupOptions& options)
{
    QPointer<frmSplash> splash;
    QPointer<frmMain> main;
    // The user (or the system) may close the main window whenever messages are pumped.
    auto alive = [&] { return main && !main->Unloaded(); };
    try {
        gRegSettings().SetCompany(QStringLiteral("Veltra"));
        gRegSettings().SetAppName(QStringLiteral("Korvan"));
        QElapsedTimer clock;
        clock.start();

        splash = new frmSplash();
        splash->setAttribute(Qt::WA_DeleteOnClose);
        splash->show();
        splash->repaint();
        pump();

        main = new frmMain();
        gVeltra().SetMainForm(main);
        // Bound before the first pump: a window closed from there on (a logout, a signal) runs
        // its close steps, which navigate, against its own bar.
        gNavigate().Bind(main->MainToolBar());
        main->Load();
        pump();

        if (!alive())
            return nullptr;
        gVeltra().StatusBar().Initialize(main->MainStatusBar()->StatusBar());
        gVeltra().StatusBar().SetDatePanelVisible(true);
        gVeltra().StatusBar().SetUserPanelVisible(true);
        pump();

        if (!alive())
            return nullptr;
        gVeltra().MRUList().Initialize(&main->MainToolBar()->Band(BandName::File));
        gVeltra().MRUList().SetMaxItems(main->mNumRecents);
        pump();

        if (!alive())
            return nullptr;
        CProject& project = gVeltra().Project();
        project.SetDriveDefault(AppPaths::ProgramFolder());
        project.SetExtFilter(QStringLiteral("Access DB (*.mdb)|*.MDB"));
        project.SetExtAllowed(QStringLiteral("*.MDB"));

        gNavigate().Navigate(navNoProject);

        main->MainToolBar()->SetChecked(
            ToolName::Autoload,
            AutoloadChecked(Utilities::GetSetting(QStringLiteral("Config"), QStringLiteral("Autoload"), QStringLiteral("-1"))));

        main->show();
        // Kept above the main window also where no window manager honours the on-top hint.
        if (splash)
            splash->raise();
        pump();

        if (!alive())
            return nullptr;
        openProject(options, *main->MainToolBar());

        if (splash && splash->isVisible()) {
            const int wait = SplashWait::RemainingMs(clock.elapsed(), options.splashMinimumMs);
            SplashWait::Run(wait, [&] { return splash && splash->isVisible() && alive(); }, pump, waitPass);
        }

        if (splash)
            splash->close();
        if (alive())
            main->mSplashUnloaded = true;
    } catch (...) {
        const KvError error = CurrentError();
        if (splash)
            splash->hide();
        ErrorBox::ShowStandard(error, QStringLiteral("Sub Main"));
        if (main && !main->isVisible()) {
            main->close();
            if (splash)
                splash->close();
            return nullptr;
        }
    }
    if (!alive() || !main->isVisible())
        return nullptr;
    return main;
}
