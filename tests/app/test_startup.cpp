// The start-up sequence run in-process: what it attaches to the main window, which project it
// opens from the command line or the recent files, and the splash's minimum time.
#include "app/sessionend.h"
#include "app/submain.h"
#include "core/apppaths.h"
#include "core/regsettings.h"
#include "core/widgets/commandbar.h"
#include "core/widgets/hourglass.h"
#include "core/widgets/splash.h"
#include "core/widgets/statusbar.h"
#include "core/widgets/toolnames.h"
#include "core/widgets/veltra.h"
#include "shell/frmmain.h"
#include "shell/navigate.h"
#include "shell/projectopener.h"
#include "tests/support/fakeprompter.h"
#include "tests/support/testenv.h"
#include "tests/shell/recordingopener.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QTest>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QPointer>
#include <QTimer>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>

namespace {

QString touch(const QString& folder, const QString& name)
{
    QFile f(folder + QLatin1Char('/') + name);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    return f.fileName();
}

void flushDeletes()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

class Startup : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestEnv::ClearSettings();
        options.splashMinimumMs = 0;
        options.currentFolder = TestEnv::NewFolder(QStringLiteral("cwd"));
    }
    void TearDown() override
    {
        if (main)
            main->close();
        flushDeletes();
    }
    // Runs start-up; the recent-file list gets `recent` first (most recent last in the list).
    frmMain* run(const QStringList& recent = {})
    {
        for (const QString& path : recent)
            gVeltra().MRUList().Add(path);
        main = SubMain::Main(options);
        return main;
    }
    QString mainPanel() const { return gVeltra().StatusBar().Panel(1).Text(); }

    FakePrompter prompts;
    RecordingOpener opener;
    StartupOptions options;
    QPointer<frmMain> main;
};
} // namespace

TEST(StartupRules, ProjectArgument)
{
    const QString folder = TestEnv::NewFolder(QStringLiteral("args"));
    const QString project = touch(folder, QStringLiteral("Sales.kvp"));
    const QString upper = touch(folder, QStringLiteral("UPPER.KVP"));
    touch(folder, QStringLiteral("notes.txt"));
    EXPECT_EQ(SubMain::ProjectArgument(QStringLiteral("  ") + project + QStringLiteral("  "), QString()), project);
    // A bare name is taken from the current folder.
    EXPECT_EQ(SubMain::ProjectArgument(QStringLiteral("Sales.kvp"), folder), project);
    EXPECT_EQ(SubMain::ProjectArgument(QStringLiteral("UPPER.KVP"), folder), upper);
    EXPECT_TRUE(SubMain::ProjectArgument(QStringLiteral("notes.txt"), folder).isEmpty());
    EXPECT_TRUE(SubMain::ProjectArgument(QStringLiteral("Missing.kvp"), folder).isEmpty());
    // A pipe of a project's name goes to the open, whose one box says it is no file.
    ASSERT_EQ(::mkfifo(QFile::encodeName(folder + QStringLiteral("/Pipe.kvp")).constData(), 0600), 0);
    EXPECT_EQ(SubMain::ProjectArgument(QStringLiteral("Pipe.kvp"), folder), folder + QStringLiteral("/Pipe.kvp"));
    // Quotes stay part of the name, which then does not end in the extension.
    EXPECT_TRUE(SubMain::ProjectArgument(QLatin1Char('"') + project + QLatin1Char('"'), QString()).isEmpty());
    EXPECT_TRUE(SubMain::ProjectArgument(QString(), folder).isEmpty());
}

TEST(StartupRules, AutoloadText)
{
    EXPECT_TRUE(SubMain::AutoloadChecked(QStringLiteral("-1")));
    EXPECT_TRUE(SubMain::AutoloadChecked(QStringLiteral("True")));
    EXPECT_FALSE(SubMain::AutoloadChecked(QStringLiteral("False")));
    EXPECT_FALSE(SubMain::AutoloadChecked(QStringLiteral("0")));
    // Unreadable text keeps the default instead of ending the program.
    EXPECT_TRUE(SubMain::AutoloadChecked(QStringLiteral("perhaps")));
}

TEST_F(Startup, AttachesTheServicesAndShowsTheMainWindow)
{
    ASSERT_NE(run(), nullptr);
    EXPECT_EQ(gRegSettings().Company(), QStringLiteral("Veltra"));
    EXPECT_EQ(gRegSettings().AppName(), QStringLiteral("Korvan"));
    EXPECT_EQ(gVeltra().MainForm(), main.data());
    EXPECT_TRUE(main->isVisible());
    EXPECT_TRUE(main->Loaded());
    EXPECT_TRUE(main->mSplashUnloaded);
    flushDeletes();
    EXPECT_EQ(frmSplash::Current(), nullptr);

    EXPECT_EQ(gVeltra().StatusBar().StatusBar(), main->MainStatusBar()->StatusBar());
    EXPECT_TRUE(gVeltra().StatusBar().DatePanelVisible());
    EXPECT_TRUE(gVeltra().StatusBar().UserPanelVisible());
    EXPECT_EQ(gVeltra().MRUList().Band(), &main->MainToolBar()->Band(BandName::File));
    EXPECT_EQ(gVeltra().MRUList().MaxItems(), main->mNumRecents);
    EXPECT_EQ(gVeltra().Project().ExtFilter(), QStringLiteral("Access DB (*.mdb)|*.MDB"));
    EXPECT_EQ(gVeltra().Project().ExtAllowed(), QStringLiteral("*.MDB"));
    EXPECT_EQ(gVeltra().Project().DriveDefault(), AppPaths::ProgramFolder());
    EXPECT_EQ(gNavigate().Bar(), main->MainToolBar());
    EXPECT_TRUE(main->MainToolBar()->Enabled(ToolName::Open));
    EXPECT_FALSE(main->MainToolBar()->Enabled(ToolName::Close));
    // No stored Autoload: checked.
    EXPECT_TRUE(main->MainToolBar()->Checked(ToolName::Autoload));
    // Nothing to open: no text.
    EXPECT_TRUE(mainPanel().trimmed().isEmpty());
    EXPECT_TRUE(opener.opened.isEmpty());
    EXPECT_TRUE(prompts.Boxes().empty());
}

TEST_F(Startup, AutoloadOffWithRecentFilesShowsTheWelcome)
{
    Utilities::SaveSetting(QStringLiteral("Config"), QStringLiteral("Autoload"), QStringLiteral("False"));
    const QString recent = touch(TestEnv::NewFolder(QStringLiteral("recent")), QStringLiteral("Last.kvp"));
    ASSERT_NE(run({recent}), nullptr);
    EXPECT_FALSE(main->MainToolBar()->Checked(ToolName::Autoload));
    EXPECT_EQ(mainPanel(), QStringLiteral(" Welcome to Korvan Pro - Use the File menu to select a project. "));
    EXPECT_TRUE(opener.opened.isEmpty());
}

TEST_F(Startup, AutoloadOnReopensTheMostRecentProject)
{
    const QString folder = TestEnv::NewFolder(QStringLiteral("recent"));
    const QString older = touch(folder, QStringLiteral("Older.kvp"));
    const QString last = touch(folder, QStringLiteral("Last.kvp"));
    ASSERT_NE(run({older, last}), nullptr);
    EXPECT_EQ(opener.opened, QStringList{last});
    EXPECT_TRUE(mainPanel().trimmed().isEmpty());
}

TEST_F(Startup, BareNameOnTheCommandLineIsTakenFromTheCurrentFolder)
{
    Utilities::SaveSetting(QStringLiteral("Config"), QStringLiteral("Autoload"), QStringLiteral("False"));
    const QString project = touch(options.currentFolder, QStringLiteral("Here.kvp"));
    options.arguments = QStringList{QStringLiteral("Here.kvp")};
    const QString recent = touch(TestEnv::NewFolder(QStringLiteral("recent")), QStringLiteral("Last.kvp"));
    ASSERT_NE(run({recent}), nullptr);
    EXPECT_EQ(opener.opened, QStringList{project});
    EXPECT_FALSE(mainPanel().contains(QStringLiteral("Welcome")));
}

TEST_F(Startup, MissingOrForeignArgumentOpensNothingAndShowsNoWelcome)
{
    const QString recent = touch(TestEnv::NewFolder(QStringLiteral("recent")), QStringLiteral("Last.kvp"));
    touch(options.currentFolder, QStringLiteral("data.txt"));
    for (const QString& argument : {QStringLiteral("Missing.kvp"), QStringLiteral("data.txt")}) {
        options.arguments = QStringList{argument};
        ASSERT_NE(run({recent}), nullptr);
        // Autoload is on, yet the recent files are not consulted.
        EXPECT_TRUE(opener.opened.isEmpty()) << argument.toStdString();
        EXPECT_TRUE(mainPanel().trimmed().isEmpty());
        main->close();
        flushDeletes();
    }
}

TEST_F(Startup, UnreadableAutoloadSettingDoesNotStopStartUp)
{
    Utilities::SaveSetting(QStringLiteral("Config"), QStringLiteral("Autoload"), QStringLiteral("sometimes"));
    ASSERT_NE(run(), nullptr);
    EXPECT_TRUE(main->isVisible());
    EXPECT_TRUE(main->MainToolBar()->Checked(ToolName::Autoload));
    EXPECT_TRUE(prompts.Boxes().empty());
}

TEST_F(Startup, SplashStaysItsMinimumTimeUnlessClicked)
{
    // An opened project hides the splash at once; nothing is opened here.
    Utilities::SaveSetting(QStringLiteral("Config"), QStringLiteral("Autoload"), QStringLiteral("False"));
    options.splashMinimumMs = 400;
    QElapsedTimer clock;
    clock.start();
    ASSERT_NE(run(), nullptr);
    EXPECT_GE(clock.elapsed(), 350);
    main->close();
    flushDeletes();
    Utilities::SaveSetting(QStringLiteral("Config"), QStringLiteral("Autoload"), QStringLiteral("False"));

    options.splashMinimumMs = 20000;
    QTimer clicker;
    QObject::connect(&clicker, &QTimer::timeout, [] {
        if (frmSplash* splash = frmSplash::Current(); splash && splash->isVisible() && gVeltra().MainForm()
                                                      && gVeltra().MainForm()->isVisible())
            splash->hide();
    });
    clicker.start(20);
    clock.restart();
    ASSERT_NE(run(), nullptr);
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_TRUE(main->mSplashUnloaded);
}

TEST_F(Startup, MainWindowClosedDuringTheWaitEndsStartUp)
{
    Utilities::SaveSetting(QStringLiteral("Config"), QStringLiteral("Autoload"), QStringLiteral("False"));
    options.splashMinimumMs = 20000;
    // Closed by the user as soon as it shows, while the splash still waits.
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [] {
        if (QWidget* form = gVeltra().MainForm(); form && form->isVisible())
            form->close();
    });
    closer.start(20);
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(run(), nullptr);
    EXPECT_LT(clock.elapsed(), 5000);
}

TEST_F(Startup, AnOpenedProjectEndsTheSplashWait)
{
    options.splashMinimumMs = 20000;
    const QString project = touch(options.currentFolder, QStringLiteral("Quick.kvp"));
    options.arguments = QStringList{project};
    QElapsedTimer clock;
    clock.start();
    ASSERT_NE(run(), nullptr);
    EXPECT_EQ(opener.opened, QStringList{project});
    EXPECT_LT(clock.elapsed(), 5000);
}

// A logout, a shutdown or a closed terminal (SIGTERM, SIGHUP) ends the program as its own close
// does: the main window closes from the event loop, never inside the signal handler, with
// its close steps and the settings saved.
TEST_F(Startup, EndSignalsCloseTheMainWindowAsItsOwnCloseDoes)
{
    const SessionEnd sessionEnd;
    ASSERT_TRUE(run());
    ::raise(SIGTERM);
    EXPECT_TRUE(main && !main->Unloaded());
    EXPECT_TRUE(QTest::qWaitFor([&] { return main.isNull(); }, 3000));
    EXPECT_NE(gRegSettings().GetSetting(QStringLiteral("Window"), QStringLiteral("MainWidth"), QStringLiteral("<none>")),
              QStringLiteral("<none>"));
}

// The end waits for work under the hourglass to finish, and closes a box that waits for an
// answer as its close box does, so that the command behind it returns before the window goes.
TEST_F(Startup, AnEndSignalWaitsForTheHourglassAndClosesAnOpenBox)
{
    const SessionEnd sessionEnd;
    ASSERT_TRUE(run());
    {
        CHourglass busy(true);
        ::raise(SIGHUP);
        QTest::qWait(3 * SessionEnd::kRetryMs);
        ASSERT_TRUE(main);
        EXPECT_FALSE(main->Unloaded());
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return main.isNull(); }, 3000));

    ASSERT_TRUE(run());
    // The main window's close deletes every other window, as its own close does.
    QPointer<QDialog> box = new QDialog;
    QTimer::singleShot(10, [] { ::raise(SIGTERM); });
    EXPECT_EQ(box->exec(), QDialog::Rejected);
    ASSERT_TRUE(main) << "the window went while the box's command was still running";
    EXPECT_TRUE(QTest::qWaitFor([&] { return main.isNull(); }, 3000));
}

// An end that comes while start-up still pumps messages, before its last steps, closes the
// main window in silence: its close steps find the bar they need.
TEST_F(Startup, AnEndDuringStartUpClosesWithoutABox)
{
    SessionEnd sessionEnd;
    struct FirstEventOfTheMainWindow : QObject {
        SessionEnd& end;
        bool sent = false;
        explicit FirstEventOfTheMainWindow(SessionEnd& e) : end(e) {}
        bool eventFilter(QObject* watched, QEvent*) override
        {
            if (!sent && qobject_cast<frmMain*>(watched) && gVeltra().MainForm() == watched) {
                sent = true;
                end.Request();
            }
            return false;
        }
    } filter(sessionEnd);
    qApp->installEventFilter(&filter);
    EXPECT_EQ(run(), nullptr);
    qApp->removeEventFilter(&filter);
    EXPECT_TRUE(filter.sent);
    EXPECT_TRUE(prompts.Boxes().empty()) << prompts.Boxes().front().title.toStdString() << ": "
                                         << prompts.Boxes().front().text.toStdString();
}

// A request ends with the window it closed: a retry still due when that window has gone by
// another way leaves a main window that comes after it alone.
TEST_F(Startup, AnEndRequestDoesNotOutliveItsWindow)
{
    const SessionEnd sessionEnd;
    ASSERT_TRUE(run());
    {
        CHourglass busy(true);
        ::raise(SIGHUP);
        ASSERT_TRUE(QTest::qWaitFor([&] { return sessionEnd.Requested(); }, 3000));
        main->close();
    }
    // The window closes as the hourglass drops, before the end's next try.
    EXPECT_TRUE(QTest::qWaitFor([&] { return main.isNull(); }, 3000));
    QPointer<frmMain> next = new frmMain;
    gVeltra().SetMainForm(next);
    QTest::qWait(3 * SessionEnd::kRetryMs);
    EXPECT_TRUE(next && !next->Unloaded()) << "the end of the first window closed the next one";
    EXPECT_FALSE(sessionEnd.Requested());
    delete next;
}
