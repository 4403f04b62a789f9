// The main window's commands from the command table: the shell's rows reach their procedures,
// the training bar's clicks run only the training bar's rows, the bands' open and close
// handling, the close that waits for a training run, and the tool names written only once.
#include "core/widgets/commandbar.h"
#include "core/widgets/statusbar.h"
#include "core/widgets/toolnames.h"
#include "core/widgets/veltra.h"
#include "network/workflowflags.h"
#include "shell/modmenu.h"
#include "shell/navigate.h"
#include "shell/networkopener.h"
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
    void click(const QString& tool, const QString& band = BandName::File, int tag = 0)
    {
        main->MainToolBar_Click(band, tool, tag);
    }
    RecordingViews views;
    RecordingOpener opener;
};

} // namespace

TEST_F(Dispatch, TheTableHoldsEachCommandOnceUnderAToolOfTheBar)
{
    CCommandBar* bar = main->MainToolBar();
    gVeltra().MRUList().Add(QStringLiteral("/tmp/any.kvp")); // the recent-file tools come with the list
    QSet<QString> seen;
    for (const CommandRow& row : gCommands().Rows()) {
        const QString key = QString::number(int(row.bar)) + QString(row.tool).toUpper();
        EXPECT_FALSE(seen.contains(key)) << row.tool.data();
        seen.insert(key);
        EXPECT_TRUE(bar->HasTool(row.tool)) << row.tool.data();
        EXPECT_TRUE(bool(row.action)) << row.tool.data();
    }
    // The main window's own commands are there from the start, whatever the libraries add.
    for (QLatin1StringView tool : {ToolName::Open, ToolName::Exit, ToolName::MRUList, ToolName::ShowGraph})
        EXPECT_NE(gCommands().Find(CommandBar::Main, tool), nullptr) << tool.data();
    EXPECT_EQ(gCommands().Find(CommandBar::Training, ToolName::Open), nullptr);
}

TEST_F(Dispatch, ProjectCommandsReachTheirProcedures)
{
    // Each asks its first question, which the test cancels.
    for (int i = 0; i < 4; ++i)
        prompts.ExpectFile({});
    click(ToolName::Open);
    click(ToolName::NewSFAM);
    click(ToolName::NewBP);
    click(ToolName::Import);
    QStringList titles;
    for (const FileDialogRequest& request : prompts.FileDialogs())
        titles << request.title;
    EXPECT_EQ(titles, (QStringList{"Open Project", "Create New SFAM Project", "Create New BackProp Project", "Import"}));

    click(ToolName::Close);
    EXPECT_EQ(opener.closed, 1);

    // Without a project the snapshot and export commands stop at their error box; export has
    // no box of its own and reaches the dispatcher's.
    prompts.ExpectBox(MsgResult::Ok);
    prompts.ExpectBox(MsgResult::Ok);
    prompts.ExpectBox(MsgResult::Ok);
    click(ToolName::SaveSnap);
    click(ToolName::RevertSnap);
    click(ToolName::Export);
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
    const bool date = bar->Checked(ToolName::Date);
    EXPECT_TRUE(date);
    click(ToolName::Date, QString());
    EXPECT_EQ(bar->Checked(ToolName::Date), !date);
    EXPECT_EQ(gVeltra().StatusBar().DatePanelVisible(), !date);

    click(ToolName::Zoom, QString());
    click(ToolName::ShowGraph, QString());
    EXPECT_EQ(views.calls, QStringList{"ShowGraph(0)"});

    // Interactive mode rebuilds the results browser only for a tested project.
    views.calls.clear();
    click(ToolName::ShowIMode, BandName::Pr);
    EXPECT_TRUE(views.calls.isEmpty());
    gProcess().SetIsTested(true);
    click(ToolName::ShowIMode, BandName::Pr);
    gProcess().SetIsTested(false);
    EXPECT_EQ(views.calls, QStringList{"BrowseTest"});
    EXPECT_TRUE(bar->Checked(ToolName::ShowIMode));
}

TEST_F(Dispatch, TrainingBarClicksRunOnlyTheTrainingBarsCommands)
{
    // No training command in the table: the bar's tools say so instead of doing nothing.
    click(ToolName::TrainBPTrain, BandName::TrainBPBar);
    EXPECT_EQ(gVeltra().StatusBar().StatusBar()->Panel(1).Text().trimmed(), modMenu::NotAvailableText());

    views.RecordTrainingBar({ToolName::TrainBPTrain, ToolName::TrainBPReset});
    click(ToolName::TrainBPTrain, BandName::TrainBPBar);
    click(ToolName::Open, QString(BandName::TrainBPBar).toUpper());
    click(ToolName::Configure, BandName::TrainBPBar);
    // Nor does a training command run from the main bar's bands.
    click(ToolName::TrainBPTrain, BandName::Standard);
    EXPECT_EQ(views.calls, QStringList{"TrainBar(mnuTrainBPTrain)"});
    EXPECT_TRUE(prompts.FileDialogs().empty());
    // A real click on the band's tool carries the band; the commands run by name the same way.
    views.calls.clear();
    CBand& train = main->MainToolBar()->Band(BandName::TrainBPBar);
    main->MainToolBar()->Click(train.ToolAt(train.IndexOf(ToolName::TrainBPReset)));
    modMenu::TrainBar(QString(ToolName::TrainBPReset).toLower());
    EXPECT_EQ(views.calls, (QStringList{"TrainBar(mnuTrainBPReset)", "TrainBar(mnutrainbpreset)"}));
}

// What the menus show: the Run menu's entry to the tests carries the caption its band was
// given through every later change of the tools' states, and captions keep their "...".
TEST_F(Dispatch, MenuEntriesKeepTheirCaptionsThroughToolStateChanges)
{
    CCommandBar* bar = main->MainToolBar();
    CBand& network = bar->Band(BandName::Network);
    QAction* testing = network.ToolAt(network.IndexOf(ToolName::Test)).Action();
    OpenKind(ntBackProp);
    emit bar->BandOpened(BandName::Network);
    EXPECT_EQ(testing->text(), QStringLiteral("BackProp Testing..."));
    gNavigate().Navigate(navNoProject);
    bar->SetEnabled(ToolName::Test, false);
    bar->SetEnabled(ToolName::Test, true);
    EXPECT_EQ(testing->text(), QStringLiteral("BackProp Testing..."));
    EXPECT_EQ(network.ToolAt(network.IndexOf(ToolName::Test)).Caption(), QStringLiteral("BackProp Testing..."));
    EXPECT_EQ(network.ToolAt(network.IndexOf(ToolName::Split)).Action()->text(),
              QStringLiteral("Split The Data..."));
    SetCurrentNetwork(nullptr);
}

// The View menu opened for each kind of project lists each entry once, in its groups.
TEST_F(Dispatch, TheViewMenuListsTheEntriesOfTheProjectsKindOnce)
{
    CCommandBar* bar = main->MainToolBar();
    QMenu* view = bar->Band(BandName::View).Menu();
    auto shown = [&] {
        QStringList entries;
        for (QAction* a : view->actions())
            if (a->isVisible())
                entries << (a->isSeparator() ? QStringLiteral("|") : a->text());
        return entries;
    };
    OpenKind(ntBackProp);
    emit bar->BandOpened(BandName::View);
    EXPECT_EQ(shown(), (QStringList{"Browse All Data", "Browse Test Data", "Scatter Graph", "Time Series Graph", "|",
                                    "Browse Incorrect Predictions", "Browse Correct Predictions", "Confusion Matrix"}));
    for (int kind : {int(ntSFam), int(ntNone)}) {
        OpenKind(NetworkType(kind));
        emit bar->BandOpened(BandName::View);
        EXPECT_EQ(shown(), (QStringList{"Scatter Graph", "Time Series Graph", "|", "Browse All Data", "Browse Test Data",
                                        "Browse Incorrect Predictions", "Browse Correct Predictions",
                                        "Confusion Matrix"}))
            << kind;
    }
    // The hidden pair still answers its commands' state changes.
    bar->SetEnabled(ToolName::BPShowAll, true);
    EXPECT_TRUE(bar->Enabled(ToolName::BPShowAll));
    SetCurrentNetwork(nullptr);
}

TEST_F(Dispatch, BandsOpenWithTheCaptionsOfTheProjectsKindAndTheBrowseMenu)
{
    CCommandBar* bar = main->MainToolBar();
    CBand& network = bar->Band(BandName::Network);
    CBandTool& train = network.ToolAt(network.IndexOf(ToolName::TrainBP));
    OpenKind(ntBackProp);
    emit bar->BandOpened(BandName::Network);
    EXPECT_EQ(train.Caption(), QStringLiteral("BackProp Training..."));
    EXPECT_EQ(bar->Band(BandName::Testing).Caption(), QStringLiteral("BackProp Testing..."));
    OpenKind(ntSFam);
    emit bar->BandOpened(BandName::Network);
    EXPECT_EQ(train.Caption(), QStringLiteral("SFAM Training..."));
    EXPECT_EQ(bar->Band(BandName::Testing).Caption(), QStringLiteral("SFAM Testing..."));
    SetCurrentNetwork(nullptr);
    train.SetEnabled(true);
    emit bar->BandOpened(BandName::Network);
    EXPECT_FALSE(train.Enabled());
    EXPECT_EQ(train.Caption(), QStringLiteral("SFAM Training..."));

    // The Run menu ends with the way to the tests.
    EXPECT_EQ(network.ToolAt(network.ToolCount() - 1).Name(), ToolName::Test);
    EXPECT_EQ(network.ToolAt(network.ToolCount() - 1).SubBand(), BandName::Testing);

    // The browse pop-up: exact case only.
    emit bar->BandOpened(BandName::Browse);
    emit bar->BandClosed(BandName::Browse);
    emit bar->BandOpened(QString(BandName::Browse).toUpper());
    EXPECT_EQ(views.calls, (QStringList{"BrowseMenuOpen", "BrowseMenuClose"}));
    modMenu::TrackPopup(BandName::Browse);
    EXPECT_EQ(views.calls.last(), QStringLiteral("BrowseMenuOpen"));
    bar->Band(BandName::Browse).Menu()->hide();
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

// Typos in tool names are the realistic fault: every name is written once, in the names'
// header, and each one there is a tool or a band of the bar.
TEST_F(Dispatch, ToolNamesAreWrittenOnlyWhereTheyAreDefined)
{
    CCommandBar* bar = main->MainToolBar();
    gVeltra().MRUList().Add(QStringLiteral("/tmp/any.kvp")); // the recent-file tools come with the list
    const QString header = QStringLiteral(KORVAN_SOURCE_DIR "/core/widgets/toolnames.h");
    QFile names(header);
    ASSERT_TRUE(names.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(names.readAll());
    const qsizetype bands = text.indexOf(QStringLiteral("namespace BandName"));
    ASSERT_GT(bands, 0);
    const QRegularExpression defined(QStringLiteral(R"re(QLatin1StringView (\w+)\{"(\w+)"\})re"));
    QSet<QString> all;
    for (auto it = defined.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const QString name = m.captured(2);
        EXPECT_FALSE(all.contains(name)) << name.toStdString() << " is defined twice";
        all.insert(name);
        if (m.capturedStart() < bands) {
            EXPECT_TRUE(bar->HasTool(name)) << name.toStdString();
        } else {
            EXPECT_NE(bar->FindBand(name), nullptr) << name.toStdString();
        }
    }
    EXPECT_GT(all.size(), 60);
    CBand& train = bar->Band(BandName::TrainBPBar);
    EXPECT_EQ(train.ToolAt(1).Name(), ToolName::TrainBPGraphType);

    // Every workflow step of both kinds: an unknown name would show the step's error box.
    for (int kind : {ntNone, ntSFam, ntBackProp}) {
        OpenKind(kind);
        for (int step = navNoProject; step <= navNoGrid; ++step)
            gNavigate().Navigate(step);
    }
    EXPECT_TRUE(prompts.Boxes().empty());

    // No source but the header writes a name as a string, in any case; the short common words
    // count only where a bar or a command takes them.
    const QRegularExpression literal(QStringLiteral(R"re("([A-Za-z]\w*)")re"));
    const QRegularExpression call(QStringLiteral(
        R"re((?:Enable|Disable|SetEnabled|Enabled|SetChecked|Checked|SetCaption|SetVisible|Visible|Copies|Band|Click|TrainBar)\(\s*(?:\w+\s*\(\s*)?"(\w+)")re"));
    // Names with the bar's prefixes are found in any case (the commands compare them upper-cased);
    // the others only as they are written, as a caption ("Zoom") may be the same word.
    QSet<QString> prefixed;
    QSet<QString> exact;
    QSet<QString> shortWords;
    const QRegularExpression prefix(QStringLiteral("^(mnu|mi)[A-Z]"));
    for (const QString& name : all) {
        if (name == name.toLower())
            shortWords.insert(name.toUpper());
        else if (prefix.match(name).hasMatch())
            prefixed.insert(name.toUpper());
        else
            exact.insert(name);
    }
    int files = 0;
    for (const char* area : {"shell", "core", "config", "training", "browse", "charts", "app", "tests", "bench"}) {
        QDirIterator it(QStringLiteral(KORVAN_SOURCE_DIR "/") + QString::fromLatin1(area),
                        {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            if (path == header)
                continue;
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            ++files;
            for (QString line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
                if (line.trimmed().startsWith(QLatin1String("//")))
                    continue;
                for (auto m = literal.globalMatch(line); m.hasNext();) {
                    const QString word = m.next().captured(1);
                    EXPECT_FALSE(prefixed.contains(word.toUpper()) || exact.contains(word))
                        << word.toStdString() << " in " << path.toStdString();
                }
                for (auto m = call.globalMatch(line); m.hasNext();) {
                    const QString word = m.next().captured(1);
                    EXPECT_FALSE(shortWords.contains(word.toUpper())) << word.toStdString() << " in " << path.toStdString();
                }
            }
        }
    }
    EXPECT_GT(files, 100);
}
