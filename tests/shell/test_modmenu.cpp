// The command procedures start-up and the services rely on: opening and closing a project
// file, closing child windows, the caption, help contexts and printing the current window.
#include "core/apppaths.h"
#include "core/widgets/commandbar.h"
#include "core/widgets/helpwindow.h"
#include "core/widgets/splash.h"
#include "core/widgets/statusbar.h"
#include "core/widgets/toolnames.h"
#include "core/widgets/veltra.h"
#include "shell/modmenu.h"
#include "shell/navigate.h"
#include "shell/networkopener.h"
#include "tests/shell/test_shell_support.h"
#include "tests/support/namedpipe.h"
#include "tests/support/testenv.h"

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPrinterInfo>
#include <QPushButton>

#include <unistd.h>

namespace {
QString touch(const QString& folder, const QString& name)
{
    QFile f(folder + QLatin1Char('/') + name);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    return f.fileName();
}

FileDialogResult chosen(const QString& path)
{
    FileDialogResult r;
    r.cancelled = false;
    r.fileName = path;
    return r;
}
} // namespace

TEST(ModMenuRules, CaptionCarriesTheProjectsShortName)
{
    EXPECT_EQ(modMenu::MainCaption(), QStringLiteral("Korvan Pro"));
    EXPECT_EQ(modMenu::MainCaption(QStringLiteral("/p/Sales.kvp")), QStringLiteral("Korvan Pro - Sales"));
    EXPECT_EQ(modMenu::MainCaption(QStringLiteral("/p/ProjectNumberOne.kvp")), QStringLiteral("Korvan Pro - ProjectNu..."));
    EXPECT_EQ(modMenu::MainCaption(QStringLiteral("/p/TwelveChars1.kvp")), QStringLiteral("Korvan Pro - TwelveChars1"));
    EXPECT_EQ(modMenu::MainCaption(QStringLiteral("/p/say \"hi\".kvp")), QStringLiteral("Korvan Pro - say \"hi\""));
}

TEST(ModMenuRules, HelpContextText)
{
    EXPECT_EQ(modMenu::HelpContextText(false, true, 55, 66), QStringLiteral(" 0001"));
    EXPECT_EQ(modMenu::HelpContextText(true, true, 55, 66), QStringLiteral(" 55"));
    EXPECT_EQ(modMenu::HelpContextText(true, true, 0, 66), QStringLiteral(" 66"));
    EXPECT_EQ(modMenu::HelpContextText(true, true, 0, 0), QStringLiteral(" 0"));
    EXPECT_EQ(modMenu::HelpContextText(true, false, 55, 0), QStringLiteral(" 0001"));
    EXPECT_EQ(modMenu::HelpContextText(true, false, 55, 6700), QStringLiteral(" 6700"));
}

using ModMenu = ShellTest;

TEST_F(ModMenu, OpenDialogAsksForAProjectFile)
{
    prompts.ExpectFile({});
    modMenu::FileOpen(QString());
    ASSERT_EQ(prompts.FileDialogs().size(), 1u);
    const FileDialogRequest& r = prompts.FileDialogs().front();
    EXPECT_EQ(r.title, QStringLiteral("Open Project"));
    EXPECT_EQ(r.filter, QStringLiteral("Korvan Projects (*.kvp)|*.kvp"));
    EXPECT_EQ(r.defaultExt, QStringLiteral("*.kvp"));
    EXPECT_EQ(r.initialDir, AppPaths::ProgramFolder());
    EXPECT_EQ(r.flags & 4, 4);
    EXPECT_TRUE(prompts.Boxes().empty());
}

TEST_F(ModMenu, DialogChoiceWithoutTheProjectExtensionIsRefused)
{
    RecordingOpener opener;
    prompts.ExpectFile(chosen(QStringLiteral("/p/data.mdb")));
    prompts.ExpectBox(MsgResult::Ok);
    modMenu::FileOpen(QString());
    EXPECT_EQ(prompts.LastBox().text,
              QStringLiteral("Unreconized file type.  Korvan projects require a .KVP file extention."));
    EXPECT_EQ(prompts.LastBox().title, QStringLiteral("Open Project"));
    EXPECT_EQ(prompts.LastBox().icon, MsgIcon::Exclamation);
    EXPECT_TRUE(opener.opened.isEmpty());
    EXPECT_EQ(opener.closed, 0); // nothing changed
}

TEST_F(ModMenu, MissingFileIsReportedAfterTheOpenProjectIsClosed)
{
    RecordingOpener opener;
    opener.current = QStringLiteral("/p/old.kvp");
    prompts.ExpectBox(MsgResult::Ok);
    modMenu::FileOpen(QStringLiteral("/no/such/New.kvp"));
    EXPECT_EQ(opener.closed, 1);
    EXPECT_EQ(prompts.LastBox().text, QStringLiteral("Cannot Find File: \n/no/such/New.kvp"));
    EXPECT_EQ(prompts.LastBox().title, QStringLiteral("File Open Error"));
    EXPECT_TRUE(opener.opened.isEmpty());
}

// A project that is there but cannot be read is not "not found", and one box says so: a loop
// of links, a folder, a pipe (never opened: it would hold the program until a writer came),
// no permission (where the user is not the superuser).
TEST_F(ModMenu, AFileThatCannotBeReadIsReportedOnceWithItsReason)
{
    RecordingOpener opener;
    prompts.AllowAnyBox();
    const QString folder = TestEnv::NewFolder(QStringLiteral("unreadable"));
    const QString loop = folder + QStringLiteral("/Loop.kvp");
    ASSERT_TRUE(QFile::link(folder + QStringLiteral("/Other.kvp"), loop));
    ASSERT_TRUE(QFile::link(loop, folder + QStringLiteral("/Other.kvp")));
    const QString dir = folder + QStringLiteral("/Dir.kvp");
    ASSERT_TRUE(QDir().mkdir(dir));
    const QString locked = touch(folder, QStringLiteral("Locked.kvp"));
    QFile::setPermissions(locked, QFileDevice::Permissions());
    const NamedPipe pipe(folder + QStringLiteral("/Pipe.kvp"));
    ASSERT_TRUE(pipe.Made());
    QStringList paths{loop, dir, folder + QStringLiteral("/Pipe.kvp")};
    if (::geteuid() != 0)
        paths << locked;
    for (const QString& path : paths) {
        SCOPED_TRACE(path.toStdString());
        prompts.Clear();
        modMenu::FileOpen(path);
        ASSERT_EQ(prompts.Boxes().size(), 1u);
        EXPECT_TRUE(prompts.LastBox().text.startsWith(QStringLiteral("Cannot Read File: \n") + path + QLatin1Char('\n')))
            << prompts.LastBox().text.toStdString();
        EXPECT_EQ(prompts.LastBox().title, QStringLiteral("File Open Error"));
        if (path.endsWith(QStringLiteral("Pipe.kvp"))) {
            EXPECT_TRUE(prompts.LastBox().text.endsWith(QStringLiteral("\nNot a regular file (a named pipe)")));
        }
    }
    EXPECT_FALSE(pipe.Waited());
    EXPECT_TRUE(opener.opened.isEmpty());
}

TEST_F(ModMenu, ExistingFileGoesToTheProjectOpener)
{
    RecordingOpener opener;
    const QString file = touch(TestEnv::NewFolder(ToolName::Open), QStringLiteral("Sales.kvp"));
    QPointer<frmSplash> splash = new frmSplash;
    splash->show();
    modMenu::FileOpen(file);
    EXPECT_EQ(opener.opened, QStringList{file});
    EXPECT_FALSE(splash->isVisible());
    delete splash;

    // A recent-file entry is not tested for its extension.
    const QString other = touch(TestEnv::NewFolder(ToolName::Open), QStringLiteral("Old.project"));
    modMenu::FileOpen(other);
    EXPECT_EQ(opener.opened.back(), other);
}

TEST_F(ModMenu, WithoutAnOpenerNothingOpens)
{
    const QString file = touch(TestEnv::NewFolder(ToolName::Open), QStringLiteral("Sales.kvp"));
    modMenu::FileOpen(file);
    EXPECT_TRUE(prompts.Boxes().empty());
}

TEST_F(ModMenu, FileCloseReturnsToTheStateWithoutAProject)
{
    RecordingOpener opener;
    OpenKind(ntBackProp);
    main->setWindowTitle(modMenu::MainCaption(QStringLiteral("/p/Sales.kvp")));
    CCommandBar* bar = main->MainToolBar();
    bar->SetEnabled(ToolName::Close, true);
    bar->Band(BandName::TrainBPBar).SetVisible(true);
    bar->Band(BandName::Standard).SetVisible(false);
    gVeltra().StatusBar().Message(QStringLiteral("busy"));
    gVeltra().StatusBar().Message(QStringLiteral("user"), true);

    modMenu::FileClose();
    EXPECT_EQ(CurrentKind(), ntNone);
    EXPECT_EQ(opener.closed, 1);
    EXPECT_EQ(main->windowTitle(), QStringLiteral("Korvan Pro"));
    EXPECT_FALSE(bar->Enabled(ToolName::Close));
    EXPECT_FALSE(bar->Band(BandName::TrainBPBar).Visible());
    EXPECT_TRUE(bar->Band(BandName::Standard).Visible());
    EXPECT_TRUE(gVeltra().StatusBar().Panel(1).Text().isEmpty());
    EXPECT_TRUE(gVeltra().StatusBar().Panel(2).Text().isEmpty());
    EXPECT_EQ(gNavigate().Step(), navNoProject);
}

TEST_F(ModMenu, RemoveChildFormsClosesAllButMainSplashAndHelp)
{
    QPointer<QWidget> child = new QWidget;
    QPointer<QMdiSubWindow> sub = main->MdiArea()->addSubWindow(new QWidget);
    QPointer<QDialog> dialog = new QDialog;
    QPointer<frmSplash> splash = new frmSplash;
    QPointer<frmHelp> help = HelpWindow::Show(1);
    child->show();
    sub->show();
    dialog->show();
    splash->show();
    modMenu::RemoveChildForms();
    // Gone from the screen at once, deleted once control is back in the event loop.
    EXPECT_FALSE(child->isVisible());
    EXPECT_FALSE(dialog->isVisible());
    FlushDeletes();
    EXPECT_EQ(child, nullptr);
    EXPECT_EQ(sub, nullptr);
    EXPECT_EQ(dialog, nullptr);
    ASSERT_NE(splash, nullptr);
    EXPECT_TRUE(splash->isVisible());
    ASSERT_NE(help, nullptr);
    EXPECT_NE(main, nullptr);
    delete splash;
    delete help;
}

TEST_F(ModMenu, AWindowMayCloseTheChildWindowsFromItsOwnHandler)
{
    QPointer<QWidget> child = new QWidget;
    auto* button = new QPushButton(QStringLiteral("Close all"), child);
    bool after = false;
    QObject::connect(button, &QPushButton::clicked, button, [&, button] {
        modMenu::RemoveChildForms();
        // Still alive here: the window is deleted later.
        after = button->text() == QLatin1String("Close all");
    });
    child->show();
    button->click();
    EXPECT_TRUE(after);
    FlushDeletes();
    EXPECT_EQ(child, nullptr);
}

TEST_F(ModMenu, HelpShowsTheContextOfTheActiveChildWindow)
{
    modMenu::ShowHelpContents();
    ASSERT_EQ(prompts.HelpRequests().size(), 1u);
    EXPECT_EQ(prompts.HelpRequests().back().context, 1);

    auto* results = new QWidget;
    results->setProperty("HelpContextID", 6700);
    QMdiSubWindow* sub = main->MdiArea()->addSubWindow(results);
    sub->show();
    main->MdiArea()->setActiveSubWindow(sub);
    modMenu::ShowHelpContents();
    EXPECT_EQ(prompts.HelpRequests().back().context, 6700);
}

TEST_F(ModMenu, PrintingRestoresTheToolsAndTheToolBar)
{
    // A test run must never put a page on a real printer.
    if (!QPrinterInfo::defaultPrinter().isNull())
        GTEST_SKIP() << "a default printer is installed";
    main->Load();
    main->show();
    CCommandBar* bar = main->MainToolBar();
    bar->SetVisible(ToolName::Find, false); // hidden before the command
    const QString pdf = TestEnv::NewFolder(QStringLiteral("print")) + QStringLiteral("/window.pdf");
    prompts.ExpectFile(chosen(pdf));
    modMenu::MENU_PrintForm();
    EXPECT_TRUE(prompts.Boxes().empty()) << prompts.LastBox().text.toStdString();
    EXPECT_TRUE(QFile::exists(pdf));
    EXPECT_FALSE(bar->Visible(ToolName::Find));
    EXPECT_TRUE(bar->Visible(ToolName::Open));
    EXPECT_TRUE(bar->Visible(ToolName::Exit));
    EXPECT_TRUE(bar->Band(BandName::Standard).Displayed());
}
