// The workflow navigation: which steps are remembered and what each step does to the tools.
#include "core/kverror.h"
#include "core/widgets/commandbar.h"
#include "core/widgets/toolnames.h"
#include "data/projectschema.h"
#include "kdb/kdb.h"
#include "network/workflowflags.h"
#include "shell/modmenu.h"
#include "shell/navigate.h"
#include "shell/networkopener.h"
#include "tests/shell/test_shell_support.h"
#include "tests/support/testenv.h"

#include <QFile>

namespace {
bool on(frmMain* main, const QString& tool)
{
    return main->MainToolBar()->Enabled(tool);
}
} // namespace

using Navigation = ShellTest;

TEST_F(Navigation, OnlyWorkflowStagesAreRemembered)
{
    CNavigate& nav = gNavigate();
    nav.Navigate(navSplit);
    for (int32_t view : {5, 6, 7, 8, 9}) {
        nav.Navigate(view);
        EXPECT_EQ(nav.Step(), navSplit) << view;
    }
    for (int32_t stage : {0, 1, 2, 3, 4, 10, -1}) {
        nav.Navigate(stage);
        EXPECT_EQ(nav.Step(), stage);
    }
    EXPECT_FALSE(nav.HasVisited(navOpened));
}

TEST_F(Navigation, NoProjectLeavesOnlyTheToolsUsableWithoutOne)
{
    main->MainToolBar()->SetEnabled(ToolName::Close, true);
    gNavigate().Navigate(navNoProject);
    for (QLatin1StringView tool : {ToolName::Open, ToolName::New, ToolName::Exit, ToolName::NewSFAM, ToolName::Import,
                                   ToolName::HelpAbout, ToolName::HelpContents, ToolName::Autoload, ToolName::NumRec,
                                   ToolName::TrainBPExit, ToolName::File})
        EXPECT_TRUE(on(main, tool)) << tool.data();
    for (QLatin1StringView tool : {ToolName::Close, ToolName::Print, ToolName::Configure, ToolName::SaveSnap,
                                   ToolName::RevertSnap, ToolName::Find})
        EXPECT_FALSE(on(main, tool)) << tool.data();
}

TEST_F(Navigation, StepsChangeOnlyTheToolsTheyName)
{
    gNavigate().Navigate(navOpened);
    EXPECT_TRUE(on(main, ToolName::Close));
    EXPECT_TRUE(on(main, ToolName::Print));
    EXPECT_FALSE(on(main, ToolName::Import));
    EXPECT_FALSE(on(main, ToolName::Split));

    gNavigate().Navigate(navSplit);
    EXPECT_TRUE(on(main, ToolName::TrainBP));
    // Going back leaves the training tool on: the configured step does not name it.
    gNavigate().Navigate(navConfigured);
    EXPECT_TRUE(on(main, ToolName::TrainBP));
    EXPECT_TRUE(on(main, ToolName::Split));
    EXPECT_FALSE(on(main, ToolName::TestBP));
}

TEST_F(Navigation, ConfiguredStepOffersTheBrowserOfTheProjectsKind)
{
    SetCurrentNetwork(nullptr);
    gNavigate().Navigate(navConfigured);
    EXPECT_TRUE(on(main, ToolName::SFShowAll));
    EXPECT_FALSE(on(main, ToolName::BPShowAll));
    EXPECT_TRUE(on(main, ToolName::ShowAll));

    OpenKind(ntBackProp);
    gNavigate().Navigate(navConfigured);
    EXPECT_TRUE(on(main, ToolName::BPShowAll));
    EXPECT_FALSE(on(main, ToolName::SFShowAll));

    // Browsing a back-propagation project leaves the SFAM tools alone.
    gNavigate().Navigate(navBrowsing);
    EXPECT_FALSE(on(main, ToolName::SFShowErrors));
    EXPECT_TRUE(on(main, ToolName::MarkAll));
}

TEST_F(Navigation, SnapshotBesideTheProjectSwitchesRevertOn)
{
    RecordingOpener opener;
    const QString folder = TestEnv::NewFolder(QStringLiteral("snap"));
    opener.current = folder + QStringLiteral("/Sales.kvp");
    gNavigate().Navigate(navOpened);
    EXPECT_FALSE(on(main, ToolName::RevertSnap));

    QFile snap(folder + QStringLiteral("/Sales.snap"));
    ASSERT_TRUE(snap.open(QIODevice::WriteOnly));
    snap.close();
    gNavigate().Navigate(navOpened);
    EXPECT_TRUE(on(main, ToolName::RevertSnap));
}

TEST_F(Navigation, UnknownToolRaisesToTheCaller)
{
    try {
        gNavigate().Enable(QStringLiteral("noSuchTool"));
        ADD_FAILURE() << "no error";
    } catch (const KvError& e) {
        EXPECT_EQ(e.number(), KvErr::ItemNotFound);
    }
}

namespace {
QString projectWithConfig()
{
    const QString path = TestEnv::NewFolder(QStringLiteral("nav")) + QStringLiteral("/Nav.kvp");
    kdb::Database db = kdb::Database::Create(path);
    db.ExecuteJet(ProjectSchema::BaseTableStatement(ProjectSchema::ConfigTable()));
    db.Insert(QStringLiteral("Config"), {{QStringLiteral("Property"), QStringLiteral("Type")}, {QStringLiteral("sValue"), QStringLiteral("2")}});
    return path;
}

QString storedStep(const QString& path)
{
    kdb::Database db = kdb::Database::Open(path, false, true);
    return db.Scalar(QStringLiteral("SELECT sValue FROM Config WHERE Property='Navigate';")).toText();
}
} // namespace

TEST_F(Navigation, SaveAddsTheRowThenEditsIt)
{
    const QString path = projectWithConfig();
    for (int32_t step : {navOpened, navConfigured, navSplit, navTrained, navTested, navBrowsing})
        gNavigate().Navigate(step);
    gNavigate().Save(path);
    // The last workflow stage, not the view shown after it.
    EXPECT_EQ(storedStep(path), QStringLiteral("4"));
    gNavigate().Navigate(navSplit);
    gNavigate().Save(path);
    EXPECT_EQ(storedStep(path), QStringLiteral("3"));
    kdb::Database db = kdb::Database::Open(path, false, true);
    EXPECT_EQ(db.Scalar(QStringLiteral("SELECT COUNT(*) FROM Config WHERE Property='Navigate';")).toInt(), 1);
}

TEST_F(Navigation, LoadEntersTheStoredStep)
{
    const QString path = projectWithConfig();
    gNavigate().Navigate(navConfigured);
    gNavigate().Save(path);
    gNavigate().Navigate(navNoProject);
    gNavigate().Load(path);
    EXPECT_EQ(gNavigate().Step(), navConfigured);
    EXPECT_TRUE(main->MainToolBar()->Enabled(ToolName::Split));
}

TEST_F(Navigation, SaveIntoAMissingProjectShowsItsBox)
{
    prompts.ExpectBox(MsgResult::Ok);
    gNavigate().Save(QStringLiteral("/no/such/project.kvp"));
    EXPECT_EQ(prompts.LastBox().title, QStringLiteral("CNavigate::Save"));
    EXPECT_EQ(prompts.LastBox().icon, MsgIcon::Critical);
}

// Every place that takes a project's road up again, at each rung of the ladder: the steps it
// enters, then the view it opens. The flag bytes: all four, configured and split, configured
// and trained but not marked split, configured alone, none.
TEST(ResumeRoads, EachPlaceTakesUpItsOwnRungOfTheLadder)
{
    const auto rung = [](ResumeFrom from, int byte) {
        CProcess flags;
        flags.SetIsConfigured(byte & CProcess::kConfigured);
        flags.SetIsSplit(byte & CProcess::kSplit);
        flags.SetIsTrained(byte & CProcess::kTrained);
        flags.SetIsTested(byte & CProcess::kTested);
        const ResumeRung& r = ResumeRungOf(from, flags);
        QStringList steps;
        for (const std::optional<NavigateStep>& step : r.steps)
            if (step)
                steps << QString::number(*step);
        return steps.join(QLatin1Char(' ')) + QLatin1Char('>') + r.view;
    };
    struct Cell {
        const char* steps;
        QLatin1StringView view;
    };
    const int bytes[] = {15, 3, 5, 1, 0};
    using enum ResumeFrom;
    using namespace ToolName;
    const std::pair<ResumeFrom, std::array<Cell, 5>> roads[] = {
        {Opening, {{{"5 6", BrowseTest}, {"3", TrainBP}, {"3", TrainBP}, {"2", Split}, {"", Configure}}}},
        {ConfigurationUnchanged, {{{"5", BrowseTest}, {"3", TrainBP}, {"2", Split}, {"2", Split}, {"1", ShowAll}}}},
        {ConfigurationCancelled, {{{"", BrowseTest}, {"", TrainBP}, {"", Split}, {"", Split}, {"", {}}}}},
        {RowSplit, {{{"", BrowseTest}, {"", TrainBP}, {"", ShowAll}, {"", ShowAll}, {"", ShowAll}}}},
        {TrainingFinished, {{{"5", BrowseTest}, {"3", ShowAll}, {"2", ShowAll}, {"2", ShowAll}, {"1", {}}}}},
    };
    for (const auto& [from, cells] : roads)
        for (size_t i = 0; i < std::size(bytes); ++i)
            EXPECT_EQ(rung(from, bytes[i]), QString::fromLatin1(cells[i].steps) + QLatin1Char('>') + cells[i].view)
                << int(from) << " flags " << bytes[i];
}
