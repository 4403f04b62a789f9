// The main window: its settings on load and unload, the splash it hides on the first action,
// and the dispatch of tool clicks to their commands.
#include "core/regsettings.h"
#include "core/widgets/commandbar.h"
#include "core/widgets/hourglass.h"
#include "core/widgets/programstyle.h"
#include "core/widgets/splash.h"
#include "core/widgets/statusbar.h"
#include "core/widgets/toolnames.h"
#include "core/widgets/veltra.h"
#include "shell/commandtable.h"
#include "shell/modmenu.h"
#include "tests/shell/test_shell_support.h"
#include "tests/support/modalanswerer.h"

#include <QGuiApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QScreen>
#include <QSettings>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

namespace {
QRect available()
{
    return QGuiApplication::primaryScreen()->availableGeometry();
}
QString stored(const char* section, const char* key)
{
    return gRegSettings().GetSetting(QString::fromLatin1(section), QString::fromLatin1(key), QStringLiteral("<none>"));
}
} // namespace

TEST(MainWindowRules, StoredTruthValues)
{
    EXPECT_EQ(frmMain::SettingBool(QStringLiteral("True")), true);
    EXPECT_EQ(frmMain::SettingBool(QStringLiteral(" false ")), false);
    EXPECT_EQ(frmMain::SettingBool(QStringLiteral("TRUE")), true);
    EXPECT_EQ(frmMain::SettingBool(QStringLiteral("-1")), true);
    EXPECT_EQ(frmMain::SettingBool(QStringLiteral("0")), false);
    EXPECT_EQ(frmMain::SettingBool(QStringLiteral("2.5")), true);
    EXPECT_EQ(frmMain::SettingBool(QStringLiteral("maybe")), std::nullopt);
    EXPECT_EQ(frmMain::SettingBool(QString()), std::nullopt);
}

TEST(MainWindowRules, GeometryIsClampedToTheScreen)
{
    const QRect screen(0, 0, 1024, 768);
    EXPECT_EQ(frmMain::ClampToScreen(QRect(10, 20, 300, 200), screen), QRect(10, 20, 300, 200));
    // Moved back onto the screen, then shrunk to it.
    EXPECT_EQ(frmMain::ClampToScreen(QRect(5000, -50, 300, 200), screen), QRect(724, 0, 300, 200));
    EXPECT_EQ(frmMain::ClampToScreen(QRect(100, 100, 3000, 2000), screen), QRect(0, 0, 1024, 768));
}

using MainWindow = ShellTest;

TEST_F(MainWindow, FreshWindowAndLoadWithoutSettings)
{
    EXPECT_EQ(main->mNumRecents, 6);
    EXPECT_FALSE(main->mSplashUnloaded);
    EXPECT_EQ(main->windowTitle(), QStringLiteral("Korvan Pro"));
    main->Load();
    EXPECT_TRUE(main->Loaded());
    EXPECT_EQ(main->geometry(), frmMain::ClampToScreen(frmMain::kDesignedGeometry, available()));
    EXPECT_EQ(main->mNumRecents, 6);
    CCommandBar* bar = main->MainToolBar();
    EXPECT_EQ(bar->ComboItems(ToolName::NumRec).size(), 18);
    EXPECT_EQ(bar->ComboItems(ToolName::NumRec).front(), QStringLiteral("1"));
    EXPECT_EQ(bar->ComboIndex(ToolName::NumRec), 5);
    EXPECT_TRUE(bar->Checked(ToolName::ShowIMode));
}

TEST_F(MainWindow, LoadRestoresStoredPlaceAndPreferences)
{
    Utilities::SaveSetting(QStringLiteral("Window"), QStringLiteral("MainLeft"), QStringLiteral("10"));
    Utilities::SaveSetting(QStringLiteral("Window"), QStringLiteral("MainTop"), QStringLiteral("20"));
    Utilities::SaveSetting(QStringLiteral("Window"), QStringLiteral("MainWidth"), QStringLiteral("300"));
    Utilities::SaveSetting(QStringLiteral("Window"), QStringLiteral("MainHeight"), QStringLiteral("200"));
    Utilities::SaveSetting(QStringLiteral("Config"), QStringLiteral("NumRecents"), QStringLiteral("10"));
    Utilities::SaveSetting(QStringLiteral("Config"), QStringLiteral("ShowIMode"), QStringLiteral("False"));
    main->Load();
    EXPECT_EQ(main->geometry(), QRect(10, 20, 300, 200));
    EXPECT_EQ(main->mNumRecents, 10);
    EXPECT_EQ(main->MainToolBar()->ComboIndex(ToolName::NumRec), 9);
    EXPECT_FALSE(main->MainToolBar()->Checked(ToolName::ShowIMode));
}

TEST_F(MainWindow, StoredPlaceOffTheScreenIsBroughtBackAndGarbageIgnored)
{
    Utilities::SaveSetting(QStringLiteral("Window"), QStringLiteral("MainLeft"), QStringLiteral("99999"));
    Utilities::SaveSetting(QStringLiteral("Window"), QStringLiteral("MainWidth"), QStringLiteral("huge"));
    Utilities::SaveSetting(QStringLiteral("Config"), QStringLiteral("NumRecents"), QStringLiteral("0"));
    main->Load();
    EXPECT_TRUE(available().contains(main->geometry()));
    EXPECT_EQ(main->mNumRecents, 6);
}

TEST_F(MainWindow, UnloadSavesOnlyAWindowThatLoadedAndShowed)
{
    main->MainToolBar()->SetChecked(ToolName::Autoload, false);
    main->close(); // never loaded nor shown
    FlushDeletes();
    EXPECT_EQ(stored("Window", "MainLeft"), QStringLiteral("<none>"));
    EXPECT_EQ(stored("Config", "Autoload"), QStringLiteral("<none>"));

    SetUp();
    main->Load();
    main->setGeometry(30, 40, 320, 240);
    main->show();
    main->MainToolBar()->SetChecked(ToolName::Autoload, false);
    main->MainToolBar()->SetChecked(ToolName::ShowIMode, true);
    main->mNumRecents = 9;
    main->close();
    FlushDeletes();
    EXPECT_EQ(main, nullptr); // the window deletes itself
    EXPECT_EQ(stored("Window", "MainLeft"), QStringLiteral("30"));
    EXPECT_EQ(stored("Window", "MainWidth"), QStringLiteral("320"));
    EXPECT_EQ(stored("Config", "Autoload"), QStringLiteral("False"));
    EXPECT_EQ(stored("Config", "ShowIMode"), QStringLiteral("True"));
    EXPECT_EQ(stored("Config", "NumRecents"), QStringLiteral("9"));
}

TEST_F(MainWindow, UnloadClosesTheOtherWindows)
{
    main->Load();
    main->show();
    QPointer<QWidget> other = new QWidget;
    other->show();
    QPointer<frmSplash> splash = new frmSplash;
    splash->show();
    main->close();
    FlushDeletes();
    EXPECT_EQ(other, nullptr);
    EXPECT_EQ(splash, nullptr);
}

// A close while the hourglass is up or a command runs (the close box clicked during a long
// command, the command's own Exit) leaves the project to the command: nothing happens until
// the work has ended, and then the window closes with its usual steps.
TEST_F(MainWindow, ACloseWaitsForTheHourglassAndTheCommand)
{
    main->Load();
    main->show();
    {
        CHourglass busy(true);
        EXPECT_FALSE(main->close());
        FlushDeletes();
        ASSERT_NE(main, nullptr);
        EXPECT_FALSE(main->Unloaded());
        EXPECT_EQ(stored("Window", "MainLeft"), QStringLiteral("<none>"));
    }
    FlushDeletes();
    EXPECT_EQ(main, nullptr);
    EXPECT_NE(stored("Window", "MainLeft"), QStringLiteral("<none>"));

    SetUp();
    main->Load();
    main->show();
    bool unloadedInsideTheCommand = true;
    QPointer<frmMain> window = main;
    gCommands().Add(QLatin1StringView("TestCloseMidCommand"), [&](const CommandClick& click) {
        click.window->close();
        QCoreApplication::processEvents();
        unloadedInsideTheCommand = window && window->Unloaded();
    });
    main->MainToolBar_Click(QStringLiteral("File"), QStringLiteral("TestCloseMidCommand"), 0);
    EXPECT_FALSE(unloadedInsideTheCommand);
    FlushDeletes();
    EXPECT_EQ(main, nullptr);
}

TEST_F(MainWindow, FirstActionHidesTheSplash)
{
    QPointer<frmSplash> splash = new frmSplash;
    splash->show();
    main->MainToolBar_Click(BandName::MainMenu, ToolName::File, 0);
    EXPECT_FALSE(splash->isVisible());
    EXPECT_TRUE(main->mSplashUnloaded);

    main->mSplashUnloaded = false;
    splash->show();
    emit main->MainStatusBar()->Click();
    EXPECT_FALSE(splash->isVisible());
    EXPECT_TRUE(main->mSplashUnloaded);

    // Once the splash is gone, clicks leave it alone.
    splash->show();
    emit main->MainStatusBar()->Click();
    EXPECT_TRUE(splash->isVisible());
    delete splash;
}

TEST_F(MainWindow, OpenToolsOfAnyCaseReachFileOpen)
{
    prompts.ExpectFile({});
    prompts.ExpectFile({});
    main->MainToolBar_Click(BandName::Standard, ToolName::Open, 0);
    main->MainToolBar_Click(BandName::File, QStringLiteral("OPEN"), 0);
    ASSERT_EQ(prompts.FileDialogs().size(), 2u);
    EXPECT_EQ(prompts.FileDialogs().back().title, QStringLiteral("Open Project"));
}

TEST_F(MainWindow, NamesWithoutACommandAndTrainingToolsDoNothing)
{
    main->MainToolBar_Click(BandName::MainMenu, ToolName::Edit, 0);
    main->MainToolBar_Click(BandName::TrainBPBar, ToolName::Open, 0);
    EXPECT_TRUE(prompts.FileDialogs().empty());
    EXPECT_TRUE(prompts.Boxes().empty());
}

TEST_F(MainWindow, AutoloadToolFlipsItsCheck)
{
    CCommandBar* bar = main->MainToolBar();
    bar->SetChecked(ToolName::Autoload, true);
    main->MainToolBar_Click(BandName::Pr, ToolName::Autoload, 0);
    EXPECT_FALSE(bar->Checked(ToolName::Autoload));
    main->MainToolBar_Click(BandName::Pr, ToolName::Autoload, 0);
    EXPECT_TRUE(bar->Checked(ToolName::Autoload));
}

TEST_F(MainWindow, RecentFileToolOpensItsEntry)
{
    const QString missing = QStringLiteral("/no/such/folder/Recent.kvp");
    gVeltra().MRUList().Add(missing);
    prompts.ExpectBox(MsgResult::Ok);
    main->MainToolBar_Click(BandName::File, ToolName::MRUList, 1);
    EXPECT_EQ(prompts.LastBox().title, QStringLiteral("File Open Error"));
    EXPECT_TRUE(prompts.LastBox().text.endsWith(missing));
}

TEST_F(MainWindow, RecentFilesComboSetsTheListSize)
{
    emit main->MainToolBar()->ComboSelChanged(ToolName::NumRec, 9);
    EXPECT_EQ(main->mNumRecents, 10);
    EXPECT_EQ(gVeltra().MRUList().MaxItems(), 10);
    emit main->MainToolBar()->ComboSelChanged(ToolName::NumRec, 9);
    EXPECT_EQ(main->mNumRecents, 10);
}

TEST_F(MainWindow, RunMenuNamesTheTrainingOfTheProjectsKind)
{
    CBand& network = main->MainToolBar()->Band(BandName::Network);
    CBandTool& train = network.ToolAt(network.IndexOf(ToolName::TrainBP));
    train.SetEnabled(true);
    emit main->MainToolBar()->BandOpened(BandName::Network);
    EXPECT_FALSE(train.Enabled());

    OpenKind(ntSFam);
    emit main->MainToolBar()->BandOpened(BandName::Network);
    EXPECT_EQ(train.Caption(), QStringLiteral("SFAM Training..."));
    EXPECT_EQ(main->MainToolBar()->Band(BandName::Testing).Caption(), QStringLiteral("SFAM Testing..."));
}

TEST_F(MainWindow, AboutIsModal)
{
    ModalAnswerer answerer;
    QString title;
    answerer.Then([&](QWidget* w) {
        title = w->windowTitle();
        ModalAnswerer::Accept()(w);
    });
    main->MainToolBar_Click(BandName::Help, ToolName::HelpAbout, 0);
    EXPECT_EQ(answerer.Answered(), 1);
    EXPECT_TRUE(title.startsWith(QStringLiteral("About ")));
}

TEST_F(MainWindow, FileMenuShowsTheFileCommands)
{
    CBand& file = main->MainToolBar()->Band(BandName::File);
    ASSERT_NE(file.Menu(), nullptr);
    QStringList captions;
    for (int i = 0; i < file.ToolCount(); ++i)
        captions << file.ToolAt(i).Caption();
    EXPECT_TRUE(captions.contains(QStringLiteral("&Open Project...")));
    EXPECT_EQ(captions.back(), QStringLiteral("E&xit"));
}

// At the designed size the whole standard bar shows: picture buttons, nothing behind the
// bar's overflow button, every caption (with its "...") or tip as the button's tool tip.
TEST_F(MainWindow, TheStandardBarFitsAtTheDesignedWidth)
{
    main->setGeometry(frmMain::kDesignedGeometry);
    main->show();
    QCoreApplication::processEvents();
    CBand& standard = main->MainToolBar()->Band(BandName::Standard);
    QToolBar* bar = standard.ToolBarWidget();
    ASSERT_NE(bar, nullptr);
    for (QToolButton* b : bar->findChildren<QToolButton*>(QStringLiteral("qt_toolbar_ext_button")))
        EXPECT_FALSE(b->isVisible());
    for (int i = 0; i < standard.ToolCount(); ++i) {
        const CBandTool& tool = standard.ToolAt(i);
        QWidget* button = bar->widgetForAction(tool.Action());
        ASSERT_NE(button, nullptr) << tool.Name().toStdString();
        EXPECT_TRUE(button->isVisible()) << tool.Name().toStdString();
        EXPECT_TRUE(bar->rect().contains(button->geometry())) << tool.Name().toStdString();
        EXPECT_FALSE(tool.Action()->icon().isNull()) << tool.Name().toStdString();
    }
    auto tip = [&](const QString& name) {
        return standard.ToolAt(standard.IndexOf(name)).Action()->toolTip();
    };
    EXPECT_EQ(tip(ToolName::Split), QStringLiteral("Split the data..."));
    EXPECT_EQ(tip(ToolName::Configure), QStringLiteral("Configure This Project..."));
    EXPECT_EQ(tip(ToolName::TrainBP), QStringLiteral("Go To Training"));
    EXPECT_EQ(tip(ToolName::Open), QStringLiteral("Open Project"));
}

// A maximised child window puts its window-menu button at the left of the menu bar; it shows
// nothing of Qt's (the program has no picture of its own there).
TEST_F(MainWindow, AMaximisedChildShowsNoPictureOfQtInTheMenuBar)
{
    ProgramStyle::Install();
    main->show();
    QMdiSubWindow* child = main->MdiArea()->addSubWindow(new QWidget);
    child->showMaximized();
    QCoreApplication::processEvents();
    QWidget* button = main->menuBar()->cornerWidget(Qt::TopLeftCorner);
    ASSERT_NE(button, nullptr) << "no window-menu button of the maximised child";
    const QImage seen = button->grab().toImage();
    for (int y = 0; y < seen.height(); ++y)
        for (int x = 0; x < seen.width(); ++x)
            ASSERT_EQ(seen.pixel(x, y), seen.pixel(0, 0)) << "a picture at " << x << "," << y;
    child->close();
}

// A window closed maximised comes back maximised, through the four place settings alone; a
// normal window comes back at its place.
TEST_F(MainWindow, AMaximisedWindowComesBackMaximised)
{
    // A new window over the settings the last one saved.
    auto reopen = [&] {
        const char* keys[] = {"MainLeft", "MainTop", "MainWidth", "MainHeight"};
        QStringList place;
        for (const char* key : keys)
            place << stored("Window", key);
        SetUp();
        for (int i = 0; i < 4; ++i)
            Utilities::SaveSetting(QStringLiteral("Window"), QString::fromLatin1(keys[i]), place[i]);
        main->Load();
        main->show();
        QCoreApplication::processEvents();
    };
    main->Load();
    main->show();
    main->showMaximized();
    QCoreApplication::processEvents();
    ASSERT_TRUE(main->isMaximized());
    main->close();
    FlushDeletes();
    EXPECT_EQ(stored("Window", "MainWidth"), QString::number(available().width()));

    reopen();
    EXPECT_TRUE(main->isMaximized());
    EXPECT_EQ(main->normalGeometry(), frmMain::ClampToScreen(frmMain::kDesignedGeometry, available()));
    main->showNormal();
    main->setGeometry(30, 40, 320, 240);
    QCoreApplication::processEvents();
    main->close();
    FlushDeletes();

    reopen();
    EXPECT_FALSE(main->isMaximized());
    EXPECT_EQ(main->geometry(), QRect(30, 40, 320, 240));
}
