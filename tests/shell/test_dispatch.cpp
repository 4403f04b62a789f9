// The main window's command table: every row reaches its procedure in the table's order, the
// training bar's clicks go to its own dispatcher, the bands' open and close handling, the
// close that waits for a training run, and the tool names every command uses.
#include "core/widgets/commandbar.h"
#include "core/widgets/statusbar.h"
#include "core/widgets/veltra.h"
#include "network/process.h"
#include "shell/modmenu.h"
#include "shell/navigate.h"
#include "tests/shell/recordingviews.h"
#include "tests/shell/test_shell_support.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QFile>
#include <QMdiArea>
#include <QRegularExpression>
#include <QSet>

namespace {

class Dispatch : public ShellTest {
protected:
    void click(const QString& tool, const QString& band = QStringLiteral("mnuFile"), int tag = 0)
    {
        main->MainToolBar_Click(band, tool, tag);
    }
    RecordingViews views;
    RecordingOpener opener;
};

} // namespace

TEST_F(Dispatch, TableHoldsEveryNameOnceInItsOrder)
{
    const QStringList expected = {
        "NEW", "OPEN", "MNUNEWSFAM", "MNUNEWBP", "CLOSE", "MNUSAVESNAP", "MNUREVERTSNAP", "MNUIMPORT", "MNUEXPORT",
        "MNUPRINT", "EXIT", "MIMRULIST", "MNUMARKALL", "MNUUNMARKALL", "MNUTOGGLEMARKS", "MNUMARKSELECTED",
        "MIWCASCADE", "MIWTILEH", "MIWTILEV", "MIWARRANGEICONS", "MIHABOUT", "MIHCONTENTS", "MNUCONFIGURE",
        "MNUTRAINBP", "MNUSPLIT", "MNUTESTBP", "MNUSFBROWSETEST", "MNUBPBROWSETEST", "MNUBROWSETEST", "MNUMATRIX",
        "MNUSCATTER", "MNUSERIES", "MNUSFSHOWALL", "MNUBPSHOWALL", "MNUSHOWALL", "MNUSFSHOWERRORS",
        "MNUSFSHOWCORRECT", "MNUSFFINDERROR", "MNUSORTASC", "MNUSORTDESC", "MNUFIND", "MNUAUTOLOAD",
        "MNUSHOWIMODE", "MIDATE", "ZOOM", "MNUSHOWGRAPH"};
    QStringList names;
    for (const frmMain::DispatchRow& row : frmMain::DispatchTable())
        names << QString::fromLatin1(row.name);
    EXPECT_EQ(names, expected);
}

TEST_F(Dispatch, ViewCommandsReachTheirProceduresWhateverTheCase)
{
    const std::vector<std::pair<const char*, const char*>> rows = {
        {"mnuMarkAll", "MarkAllCurrent(-1)"}, {"mnuUnmarkAll", "MarkAllCurrent(0)"},
        {"mnuToggleMarks", "MarkAllCurrent(1)"}, {"mnuMarkSelected", "MarkSelected"},
        {"mnuConfigure", "ShowConfigure"}, {"mnuTrainBP", "MenuBProp"}, {"mnuSplit", "SetLimits"},
        {"mnuTestBP", "TestShow"}, {"mnuSFBrowseTest", "BrowseTest"}, {"mnuBPBrowseTest", "BrowseTest"},
        {"mnuBrowseTest", "BrowseTest"}, {"mnuMatrix", "ShowCMatrix"}, {"mnuScatter", "ShowScatter"},
        {"mnuSeries", "ShowSeries"}, {"mnuSFShowAll", "ShowDefBrowser"}, {"mnuBPShowAll", "ShowDefBrowser"},
        {"MNUSHOWALL", "ShowDefBrowser"}, {"mnuSFShowErrors", "MENU_SFShowErrors"},
        {"mnuSFShowCorrect", "MENU_SFShowCorrect"}, {"mnuSFFindError", "MENU_SFFindError"},
        {"mnuSortAsc", "SortASC"}, {"mnusortdesc", "SortDESC"}, {"mnuFind", "MenuFind"}};
    for (const auto& [tool, procedure] : rows) {
        views.calls.clear();
        click(QString::fromLatin1(tool), QStringLiteral("Standard"));
        EXPECT_EQ(views.calls, QStringList{QString::fromLatin1(procedure)}) << tool;
    }
    EXPECT_EQ(gVeltra().StatusBar().StatusBar()->Panel(1).Text().trimmed(),
              QStringLiteral("SFAM Confusion Matrix - Double click any cell for details"));
    EXPECT_TRUE(prompts.Boxes().empty());
}

TEST_F(Dispatch, ProjectCommandsReachTheirProcedures)
{
    // Each asks its first question, which the test cancels.
    for (int i = 0; i < 4; ++i)
        prompts.ExpectFile({});
    click(QStringLiteral("open"));
    click(QStringLiteral("mnuNewSFAM"));
    click(QStringLiteral("mnuNewBP"));
    click(QStringLiteral("mnuImport"));
    QStringList titles;
    for (const FileDialogRequest& request : prompts.FileDialogs())
        titles << request.title;
    EXPECT_EQ(titles, (QStringList{"Open Project", "Create New SFAM Project", "Create New BackProp Project", "Import"}));

    click(QStringLiteral("close"));
    EXPECT_EQ(opener.closed, 1);

    // Without a project the snapshot and export commands stop at their error box; export has
    // no box of its own and reaches the dispatcher's.
    prompts.ExpectBox(MsgResult::Ok);
    prompts.ExpectBox(MsgResult::Ok);
    prompts.ExpectBox(MsgResult::Ok);
    click(QStringLiteral("mnuSaveSnap"));
    click(QStringLiteral("mnuRevertSnap"));
    click(QStringLiteral("mnuExport"));
    ASSERT_EQ(prompts.Boxes().size(), 3u);
    EXPECT_EQ(prompts.Boxes()[0].title, QStringLiteral("modMenu::SaveSnapshot"));
    EXPECT_EQ(prompts.Boxes()[1].title, QStringLiteral("modMenu::RevertSnapshot"));
    EXPECT_EQ(prompts.Boxes()[2].title, QStringLiteral("frmMain::MainToolBar_Click"));
    EXPECT_TRUE(prompts.Boxes()[2].text.startsWith(QStringLiteral("Error: 91. ")));
    EXPECT_TRUE(views.calls.isEmpty());
}

TEST_F(Dispatch, ToolsWithoutABandAndTheCheckedTools)
{
    CCommandBar* bar = main->MainToolBar();
    // Start-up shows the date panel, and the tool is checked from creation.
    gVeltra().StatusBar().SetDatePanelVisible(true);
    const bool date = bar->Checked(QStringLiteral("miDate"));
    EXPECT_TRUE(date);
    click(QStringLiteral("miDate"), QString());
    EXPECT_EQ(bar->Checked(QStringLiteral("miDate")), !date);
    EXPECT_EQ(gVeltra().StatusBar().DatePanelVisible(), !date);

    click(QStringLiteral("ZOOM"), QString());
    click(QStringLiteral("mnuShowGraph"), QString());
    EXPECT_EQ(views.calls, QStringList{"ShowGraph(0)"});

    // Interactive mode rebuilds the results browser only for a tested project.
    views.calls.clear();
    click(QStringLiteral("mnuShowIMode"), QStringLiteral("mnuPr"));
    EXPECT_TRUE(views.calls.isEmpty());
    gProcess().SetIsTested(true);
    click(QStringLiteral("mnuShowIMode"), QStringLiteral("mnuPr"));
    gProcess().SetIsTested(false);
    EXPECT_EQ(views.calls, QStringList{"BrowseTest"});
    EXPECT_TRUE(bar->Checked(QStringLiteral("mnuShowIMode")));
}

TEST_F(Dispatch, TrainingBarClicksGoToTheTrainingDispatcherOnly)
{
    click(QStringLiteral("mnuTrainBPTrain"), QStringLiteral("mnuTrainBPBar"));
    click(QStringLiteral("open"), QStringLiteral("MNUTRAINBPBAR"));
    click(QStringLiteral("mnuConfigure"), QStringLiteral("mnuTrainBPBar"));
    EXPECT_EQ(views.calls, (QStringList{"TrainBar(mnuTrainBPTrain)", "TrainBar(open)", "TrainBar(mnuConfigure)"}));
    EXPECT_TRUE(prompts.FileDialogs().empty());
    // A real click on the band's tool carries the band.
    views.calls.clear();
    CBand& train = main->MainToolBar()->Band(QStringLiteral("mnuTrainBPBar"));
    main->MainToolBar()->Click(train.ToolAt(train.IndexOf(QStringLiteral("mnuTrainBPReset"))));
    EXPECT_EQ(views.calls, QStringList{"TrainBar(mnuTrainBPReset)"});
}

// What the menus show: the Run menu's entry to the tests carries the caption its band was
// given through every later change of the tools' states, and captions keep their "...".
TEST_F(Dispatch, MenuEntriesKeepTheirCaptionsThroughToolStateChanges)
{
    CCommandBar* bar = main->MainToolBar();
    CBand& network = bar->Band(QStringLiteral("mnuNetwork"));
    QAction* testing = network.ToolAt(network.IndexOf(QStringLiteral("mnuTest"))).Action();
    gProjectType = ntBackProp;
    emit bar->BandOpened(QStringLiteral("mnuNetwork"));
    EXPECT_EQ(testing->text(), QStringLiteral("BackProp Testing..."));
    gNavigate().Navigate(navNoProject);
    bar->SetEnabled(QStringLiteral("mnuTest"), false);
    bar->SetEnabled(QStringLiteral("mnuTest"), true);
    EXPECT_EQ(testing->text(), QStringLiteral("BackProp Testing..."));
    EXPECT_EQ(network.ToolAt(network.IndexOf(QStringLiteral("mnuTest"))).Caption(), QStringLiteral("BackProp Testing..."));
    EXPECT_EQ(network.ToolAt(network.IndexOf(QStringLiteral("mnuSplit"))).Action()->text(),
              QStringLiteral("Split The Data..."));
    gProjectType = ntNone;
}

// The View menu opened for each kind of project lists each entry once, in its groups.
TEST_F(Dispatch, TheViewMenuListsTheEntriesOfTheProjectsKindOnce)
{
    CCommandBar* bar = main->MainToolBar();
    QMenu* view = bar->Band(QStringLiteral("mnuView")).Menu();
    auto shown = [&] {
        QStringList entries;
        for (QAction* a : view->actions())
            if (a->isVisible())
                entries << (a->isSeparator() ? QStringLiteral("|") : a->text());
        return entries;
    };
    gProjectType = ntBackProp;
    emit bar->BandOpened(QStringLiteral("mnuView"));
    EXPECT_EQ(shown(), (QStringList{"Browse All Data", "Browse Test Data", "Scatter Graph", "Time Series Graph", "|",
                                    "Browse Incorrect Predictions", "Browse Correct Predictions", "Confusion Matrix"}));
    for (int kind : {int(ntSFam), int(ntNone)}) {
        gProjectType = NetworkType(kind);
        emit bar->BandOpened(QStringLiteral("mnuView"));
        EXPECT_EQ(shown(), (QStringList{"Scatter Graph", "Time Series Graph", "|", "Browse All Data", "Browse Test Data",
                                        "Browse Incorrect Predictions", "Browse Correct Predictions",
                                        "Confusion Matrix"}))
            << kind;
    }
    // The hidden pair still answers its commands' state changes.
    bar->SetEnabled(QStringLiteral("mnuBPShowAll"), true);
    EXPECT_TRUE(bar->Enabled(QStringLiteral("mnuBPShowAll")));
    gProjectType = ntNone;
}

TEST_F(Dispatch, BandsOpenWithTheCaptionsOfTheProjectsKindAndTheBrowseMenu)
{
    CCommandBar* bar = main->MainToolBar();
    CBand& network = bar->Band(QStringLiteral("mnuNetwork"));
    CBandTool& train = network.ToolAt(network.IndexOf(QStringLiteral("mnuTrainBP")));
    gProjectType = ntBackProp;
    emit bar->BandOpened(QStringLiteral("mnuNetwork"));
    EXPECT_EQ(train.Caption(), QStringLiteral("BackProp Training..."));
    EXPECT_EQ(bar->Band(QStringLiteral("mnuTesting")).Caption(), QStringLiteral("BackProp Testing..."));
    gProjectType = ntSFam;
    emit bar->BandOpened(QStringLiteral("mnuNetwork"));
    EXPECT_EQ(train.Caption(), QStringLiteral("SFAM Training..."));
    EXPECT_EQ(bar->Band(QStringLiteral("mnuTesting")).Caption(), QStringLiteral("SFAM Testing..."));
    gProjectType = ntNone;
    train.SetEnabled(true);
    emit bar->BandOpened(QStringLiteral("mnuNetwork"));
    EXPECT_FALSE(train.Enabled());
    EXPECT_EQ(train.Caption(), QStringLiteral("SFAM Training..."));

    // The Run menu ends with the way to the tests.
    EXPECT_EQ(network.ToolAt(network.ToolCount() - 1).Name(), QStringLiteral("mnuTest"));
    EXPECT_EQ(network.ToolAt(network.ToolCount() - 1).SubBand(), QStringLiteral("mnuTesting"));

    // The browse pop-up: exact case only.
    emit bar->BandOpened(QStringLiteral("mnuBrowse"));
    emit bar->BandClosed(QStringLiteral("mnuBrowse"));
    emit bar->BandOpened(QStringLiteral("MNUBROWSE"));
    EXPECT_EQ(views.calls, (QStringList{"BrowseMenuOpen", "BrowseMenuClose"}));
    modMenu::TrackPopup(QStringLiteral("mnuBrowse"));
    EXPECT_EQ(views.calls.last(), QStringLiteral("BrowseMenuOpen"));
    bar->Band(QStringLiteral("mnuBrowse")).Menu()->hide();
    EXPECT_EQ(views.calls.last(), QStringLiteral("BrowseMenuClose"));
}

TEST_F(Dispatch, ClosingDuringATrainingRunStopsItFirstAndClosesWhenItEnded)
{
    main->Load();
    main->show();
    views.runActive = true;
    main->close();
    EXPECT_TRUE(main);
    EXPECT_TRUE(main->isVisible());
    EXPECT_EQ(opener.closed, 0); // the project stays open under the running step
    EXPECT_EQ(views.calls, QStringList{"StopActiveRun"});
    ASSERT_TRUE(views.pendingAfterRun);

    // The run ends: the window closes once, without asking the run again.
    views.runActive = false;
    views.pendingAfterRun();
    FlushDeletes();
    EXPECT_EQ(main, nullptr);
    EXPECT_EQ(opener.closed, 1);
    EXPECT_EQ(views.calls, QStringList{"StopActiveRun"});
}

TEST_F(Dispatch, ClosingWithoutARunClosesAtOnce)
{
    main->show();
    main->close();
    FlushDeletes();
    EXPECT_EQ(main, nullptr);
    EXPECT_EQ(views.calls, QStringList{"StopActiveRun"});
}

TEST_F(Dispatch, ResizeKeepsTheLeastHeightAndTellsTheWindowState)
{
    main->show();
    QList<int> states;
    QObject::connect(main, &frmMain::Resize, [&](int state) { states << state; });
    main->resize(500, 600);
    QCoreApplication::processEvents();
    ASSERT_FALSE(states.isEmpty());
    EXPECT_EQ(states.last(), int(Qt::WindowNoState));
    EXPECT_GE(main->height(), StatusGeometry::Px(2000));
}

// Typos in tool names are the realistic fault: every name a command, a workflow step, the
// training dispatcher or a direct Enable/Disable uses must be a tool of the bar.
TEST_F(Dispatch, EveryToolNameInUseIsOnTheBar)
{
    CCommandBar* bar = main->MainToolBar();
    gVeltra().MRUList().Add(QStringLiteral("/tmp/any.kvp")); // the recent-file tools come with the list
    QSet<QString> upper;
    for (const QString& name : bar->ToolNames())
        upper.insert(name.toUpper());

    for (const frmMain::DispatchRow& row : frmMain::DispatchTable())
        EXPECT_TRUE(upper.contains(QString::fromLatin1(row.name))) << row.name;

    // The training dispatcher's names.
    for (const char* name : {"MNUTRAINBPTRAIN", "MNUTRAINBPSTOP", "MNUTRAINBPJOGWEIGHTS", "MNUTRAINBPRESET",
                             "MNUTRAINBPREVERT", "MNUTRAINBPGRAPHTYPE", "MNUTRAINBPZOOM", "MNUTRAINBPEXIT"})
        EXPECT_TRUE(upper.contains(QString::fromLatin1(name))) << name;
    CBand& train = bar->Band(QStringLiteral("mnuTrainBPBar"));
    EXPECT_EQ(train.ToolAt(1).Name(), QStringLiteral("mnuTrainBPGraphType"));

    // Every workflow step of both kinds: an unknown name would show the step's error box.
    for (int kind : {ntNone, ntSFam, ntBackProp}) {
        gProjectType = kind;
        for (int step = navNoProject; step <= navNoGrid; ++step)
            gNavigate().Navigate(step);
    }
    EXPECT_TRUE(prompts.Boxes().empty());

    // Names written into the sources of the windows and commands.
    const QRegularExpression call(
        QStringLiteral(R"re((?:Enable|Disable|SetEnabled|Enabled|SetChecked|Checked|SetCaption|SetVisible|Visible|Copies)\(\s*(?:QStringLiteral|QLatin1String|QString::fromLatin1)\("([A-Za-z]\w*)"\))re"));
    const QRegularExpression toolLike(QStringLiteral(R"(^(mnu|mi)[A-Z]\w*$|^(new|open|close|exit)$)"));
    int seen = 0;
    for (const char* area : {"shell", "core", "config", "training", "browse", "charts", "app"}) {
        QDirIterator files(QStringLiteral(KORVAN_SOURCE_DIR "/") + QString::fromLatin1(area),
                           {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files, QDirIterator::Subdirectories);
        while (files.hasNext()) {
            QFile file(files.next());
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            const QString text = QString::fromUtf8(file.readAll());
            for (auto it = call.globalMatch(text); it.hasNext();) {
                const QString name = it.next().captured(1);
                if (!toolLike.match(name).hasMatch())
                    continue;
                ++seen;
                EXPECT_TRUE(bar->HasTool(name)) << name.toStdString() << " in " << file.fileName().toStdString();
            }
        }
    }
    EXPECT_GT(seen, 5);
}
