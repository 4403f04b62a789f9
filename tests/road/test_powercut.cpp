// Finished work survives a power cut. Each operation that writes a file runs in a child process
// (this program again, the disabled test below) under the simulated cut of
// tests/support/powercut: cut right after the operation reported done, and at points spread over
// its file events. Then the files are opened as the program's next start opens them (its sweep,
// then the project's open, or the data file's), before anything else touches them: nothing the
// program reported as done is lost, nothing is damaged, no snapshot that does not belong to its
// project is offered. The cut's coin has a fixed seed per trial, so each trial repeats anywhere.
#include "tests/road/roadfixture.h"

#include "browse/browseviews.h"
#include "browse/currentbrowse.h"
#include "config/splitcommand.h"
#include "core/errorbox.h"
#include "core/kverror.h"
#include "core/widgets/commandbar.h"
#include "core/widgets/toolnames.h"
#include "data/importwriter.h"
#include "data/textimport.h"
#include "network/enginefile.h"
#include "network/workflowflags.h"
#include "shell/commandtable.h"
#include "shell/modmenu.h"
#include "shell/networkopener.h"
#include "tests/network/netfixture.h"
#include "tests/support/hotjournal.h"
#include "tests/support/modalanswerer.h"
#include "tests/support/splitanswer.h"
#include "tests/support/testenv.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <cstdio>
#include <cstdlib>

namespace {

const char* const kOpVar = "KORVAN_POWERCUT_OP";
const char* const kFolderVar = "KORVAN_POWERCUT_FOLDER";
const char* const kReported = "reported: ";
constexpr int kEndCuts = 20;     // right after the operation reported done
constexpr int kSpreadCuts = 8;   // over its file events
constexpr int kTestRows = 20;    // rows 41..60 are tested
constexpr int kOldImport = 1000, kNewImport = 300;

int64_t TestRows(const QString& project)
{
    kdb::Database db = kdb::Database::Open(project, false, true);
    return db.HasTable("Test") ? db.RecordCount("Test") : 0;
}

QByteArray TextFile(int rows)
{
    QByteArray text = "A,B,C\r\n";
    for (int i = 1; i <= rows; ++i)
        text += QByteArray::number(i) + ",x" + QByteArray::number(i) + "," + QByteArray::number(i % 7) + "\r\n";
    return text;
}

QByteArray RawFile(int rows)
{
    QByteArray text = "[TAGS]\r\nA, B, C\r\n[PATTERNS]\r\n";
    for (int i = 1; i <= rows; ++i)
        text += QByteArray::number(i) + ", " + QByteArray::number(i * 2) + ", " + QByteArray::number(i % 7) + "\r\n";
    return text;
}

void CopyFolder(const QString& from, const QString& to)
{
    QDir(to).removeRecursively();
    ASSERT_TRUE(QDir().mkpath(to));
    for (const QString& name : QDir(from).entryList(QDir::Files | QDir::Hidden))
        ASSERT_TRUE(QFile::copy(from + "/" + name, to + "/" + name)) << name.toStdString();
}

} // namespace

// The program as the user has it, running one operation on the files in the folder it is
// given; what the operation reported as done is printed.
class PowerCutChild : public RoadTest {
protected:
    // The operation's own report of success, or "" when it reported none.
    QString Run(const QString& op, const QString& dir)
    {
        const QString tested = dir + "/tested.kvp";
        if (op == "testbp" || op == "testsf") {
            std::unique_ptr<CNetworkProject> net;
            if (op == "testbp")
                net = std::make_unique<CBackProp>();
            else
                net = std::make_unique<CSFam>();
            net->Initialize(dir + (op == "testbp" ? "/bp.kvp" : "/sf.kvp"));
            return net->Test() == TestOutcome::Done ? QStringLiteral("Done") : QString();
        }
        if (op == "saveconfig") {
            CSFam sf;
            sf.Initialize(dir + "/sf.kvp");
            sf.SetAlpha(0.25f);
            sf.SaveConfig();
            return QStringLiteral("saved");
        }
        if (op == "csv" || op == "raw") {
            Agree();   // the earlier import's file is overwritten
            if (op == "csv")
                Utilities::LoadTextFile(dir + "/imp.csv");
            else
                Utilities::LoadRawFile(dir + "/imp.raw");
            return Status().contains("successful") ? Status() : QString();
        }
        if (op == "newover") {
            prompts.ExpectFile({.cancelled = false, .fileName = tested});
            Agree();
            Click(ToolName::NewBP);
            const auto bp = CurrentNetworkAs<CBackProp>();
            return bp && bp->State().ProjectFileName() == tested ? QStringLiteral("created") : QString();
        }
        modMenu::FileOpen(op == "finish" ? dir + "/bp.kvp" : tested);
        Flush();
        if (!CurrentNetwork())
            return {};
        if (op == "finish") {
            modMenu::TrainBar(ToolName::TrainBPExit);
            return gProcess().IsTested() ? QStringLiteral("tested") : QString();
        }
        if (op == "split") {
            ModalAnswerer answer;
            answer.Then(SplitAnswer(1, 30, 31, 60));
            Agree();   // the training is reset
            SplitCommand::SetLimits();
            return answer.Answered() == 1 ? QStringLiteral("split") : QString();
        }
        if (op == "markall") {
            if (!gBrowseForm())
                BrowseViews::BrowseTest();
            Flush();
            BrowseViews::MarkAllCurrent(-1);
            return gBrowseForm() ? QStringLiteral("marked") : QString();
        }
        if (op == "snapshot") {
            modMenu::SaveSnapshot();
            return Status() == "Project snapshot saved." ? Status() : QString();
        }
        if (op == "revert") {
            Agree();
            modMenu::RevertSnapshot();
            return Status() == "Project reverted to snapshot." ? Status() : QString();
        }
        ADD_FAILURE() << "no operation " << op.toStdString();
        return {};
    }
    // The user's Yes to the operation's own question.
    void Agree()
    {
        prompts.ExpectBox(MsgResult::Yes);
        ++questions;
    }
    size_t questions = 0;
};

TEST_F(PowerCutChild, DISABLED_Run)
{
    prompts.AllowAnyBox();   // a box is no success: the report below then stays out
    const QString report = Run(qEnvironmentVariable(kOpVar), qEnvironmentVariable(kFolderVar));
    std::printf("status: %s\n", qPrintable(Status()));
    for (const auto& box : prompts.Boxes())
        std::printf("box: %s\n", qPrintable(box.text));
    if (!report.isEmpty() && prompts.Boxes().size() == questions && !HasFailure())
        std::printf("%s%s\n", kReported, qPrintable(report));
    std::fflush(stdout);
    // The power goes now, the project still open: nothing the program would do later (its
    // close) may help, and the open project is not taken down with the program's statics.
    [[maybe_unused]] const auto* stillOpen = new std::shared_ptr<CNetworkProject>(SharedNetwork());
    std::exit(0);
}

class PowerCut : public RoadTest {
protected:
    void SetUp() override
    {
        RoadTest::SetUp();
        base = TestEnv::NewFolder("powercut");
        tmpl = base + "/template";
        trial = base + "/trial";
        stash = base + "/stash";
        QDir().mkpath(tmpl);
    }
    void TearDown() override
    {
        modMenu::FileClose();
        RoadTest::TearDown();
    }

    // The source table and the projects over it, as earlier sessions left them: bp.kvp and
    // sf.kvp trained and not yet tested, tested.kvp tested.
    void MakeProjects()
    {
        std::vector<QList<kdb::Value>> rows;
        for (int i = 1; i <= 60; ++i)
            rows.push_back({i, i * 0.5, i % 3 == 0 ? "A" : "B", i * 2.0 + 1});
        const QString source = NetTest::MakeSource(tmpl, "Data", "X REAL, C TEXT, Y REAL", rows);
        const auto ranges = [](CNetworkProject& net) {
            net.State().SetTrainLow(1);
            net.State().SetTrainHigh(40);
            net.State().SetTestLow(41);
            net.State().SetTestHigh(60);
        };
        const auto flags = [](const QString& path, bool tested) {
            CProcess process;
            process.SetIsConfigured(true);
            process.SetIsSplit(true);
            process.SetIsTrained(true);
            process.SetIsTested(tested);
            process.Save(path);
        };
        for (const bool tested : {false, true}) {
            const QString path = tmpl + (tested ? "/tested.kvp" : "/bp.kvp");
            CBackProp bp;
            bp.Initialize(path);
            bp.Attach(source, "Data");
            NetTest::Configure(bp, {{"X", roleInput, 0, 30}, {"Y", roleBPPredict, 0, 130}});
            ranges(bp);
            bp.SaveConfig();
            for (int i = 0; i < 5; ++i)
                bp.Train();
            bp.Verify();
            bp.SaveConfig();
            if (tested) {
                ASSERT_EQ(bp.Test(), TestOutcome::Done);
            }
            flags(path, tested);
        }
        CSFam sf;
        sf.Initialize(tmpl + "/sf.kvp");
        sf.Attach(source, "Data");
        NetTest::Configure(sf, {{"X", roleInput, 0, 30}, {"Y", roleInput, 0, 130}, {"C", roleSFamPredict}});
        ranges(sf);
        sf.SetAlpha(0.75f);
        sf.BuildClassList();
        sf.SaveConfig();
        sf.Train();
        ASSERT_TRUE(sf.State().NetReady());
        sf.SaveConfig();
        flags(tmpl + "/sf.kvp", false);
        ASSERT_EQ(TestRows(tmpl + "/tested.kvp"), kTestRows);
        ASSERT_EQ(TestRows(tmpl + "/bp.kvp"), 0);
    }

    // An earlier import of the same file, its table `imp` of kOldImport rows, and the file to
    // import now (kNewImport rows).
    void MakeImport(const QString& name, bool raw)
    {
        const QString input = tmpl + "/" + name;
        NetTest::WriteBytes(input, raw ? RawFile(kOldImport) : TextFile(kOldImport));
        if (raw)
            Utilities::LoadRawFile(input);
        else
            Utilities::LoadTextFile(input);
        ASSERT_EQ(kdb::Database::Open(tmpl + "/imp.mdb", false, true).RecordCount("imp"), kOldImport);
        NetTest::WriteBytes(input, raw ? RawFile(kNewImport) : TextFile(kNewImport));
    }

    // Opens a trial's files after the cut; `reported` tells whether the operation had reported
    // done before it.
    using Check = std::function<void(bool reported)>;

    // The child for one cut: `n` the event (0 none, -1 after the report), `seed` the coin. Answers
    // whether the operation reported done; `events` gets the count of a run without a cut.
    bool RunChild(const QString& op, long n, int seed, long* events = nullptr)
    {
        CopyFolder(tmpl, trial);
        QDir(stash).removeRecursively();
        QDir().mkpath(stash);
        // A cut child leaves its engine files and test folders behind, as a power cut does: in a
        // folder of its own, cleared for the next, not in the temporary folder everyone shares.
        const QString temp = base + "/temp";
        QDir(temp).removeRecursively();
        QDir().mkpath(temp);
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(kOpVar, op);
        env.insert(kFolderVar, trial);
        env.insert("TMPDIR", temp);
        env.insert("LD_PRELOAD", KORVAN_PCSHIM);
        env.insert("PC_DIR", trial);
        env.insert("PC_N", QString::number(n));
        env.insert("PC_EVENTS", "all");
        env.insert("PC_SEED", QString::number(seed));
        env.insert("PC_STASH", stash);
        const QString count = base + "/count";
        QFile::remove(count);
        if (events)
            env.insert("PC_COUNT", count);
        // A sanitized child has its runtime after the simulation in the load order, and it
        // leaves without cleaning up on purpose: the power goes right after the report.
        env.insert("ASAN_OPTIONS", env.value("ASAN_OPTIONS") + ":verify_asan_link_order=0:detect_leaks=0");
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(),
                    {"--gtest_also_run_disabled_tests", "--gtest_filter=PowerCutChild.DISABLED_Run"});
        EXPECT_TRUE(child.waitForStarted(10000));
        EXPECT_TRUE(child.waitForFinished(60000)) << op.toStdString();
        const QString out = QString::fromUtf8(child.readAllStandardOutput());
        lastOutput = out.right(3000) + QString::fromUtf8(child.readAllStandardError().right(3000));
        const bool cut = child.exitStatus() == QProcess::NormalExit && child.exitCode() == 9;
        EXPECT_TRUE(n == 0 ? child.exitCode() == 0 : cut) << "exit " << child.exitCode() << "\n"
                                                          << lastOutput.toStdString();
        if (events) {
            QFile f(count);
            *events = f.open(QIODevice::ReadOnly) ? f.readAll().trimmed().toLong() : 0;
        }
        return out.contains(QLatin1String(kReported));
    }

    // The next start: its sweep of what killed runs left, then `check` opens the files.
    // Answers whether the trial failed.
    bool Inspect(const QString& what, bool reported, const Check& check)
    {
        SCOPED_TRACE(what.toStdString() + (reported ? ", reported done" : ", not reported"));
        const int before = ::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count();
        const QStringList swept = QDir(trial).entryList({"*.~*-*.tmp*", ".*.part*"}, QDir::Files | QDir::Hidden);
        // Work reported as done never sits in a file that only the sweep would find.
        EXPECT_TRUE(!reported || swept.isEmpty()) << "left for the sweep: " << swept.join(", ").toStdString();
        CEngineFile::RemoveLeftovers(trial);
        DataImport::RemoveLeftoverTemps(trial);
        try {
            check(reported);
        } catch (const KvError& e) {   // the file refused: a damaged one
            ADD_FAILURE() << "Error " << e.number() << ": " << e.description().toStdString();
        }
        IgnoreErrors([] { modMenu::FileClose(); });
        Flush();
        const bool failed = ::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count() > before;
        return failed;
    }

    // The dry run counts the operation's file events; cuts at points spread over them, then
    // right after its report. Each failing trial is counted in the line printed at the end.
    void Trials(const QString& op, const Check& check)
    {
        long events = 0;
        ASSERT_TRUE(RunChild(op, 0, 0, &events)) << op.toStdString() << " does not report done without a cut:\n"
                                                 << lastOutput.toStdString();
        ASSERT_GT(events, 0);
        int spreadFailed = 0, endFailed = 0;
        for (int k = 1; k <= kSpreadCuts; ++k) {
            const long n = std::max(1L, events * k / (kSpreadCuts + 1));
            const bool reported = RunChild(op, n, k);
            spreadFailed += Inspect(QStringLiteral("%1 cut at event %2 of %3").arg(op).arg(n).arg(events), reported, check);
        }
        for (int seed = 1; seed <= kEndCuts; ++seed) {
            const bool reported = RunChild(op, -1, 100 + seed);
            EXPECT_TRUE(reported) << op.toStdString() << " seed " << seed << ":\n" << lastOutput.toStdString();
            endFailed += Inspect(QStringLiteral("%1 cut after its end, seed %2").arg(op).arg(100 + seed), reported, check);
        }
        std::printf("[power cut] %s: %ld events; %d of %d cuts after the end failed, %d of %d cuts during it\n",
                    qPrintable(op), events, endFailed, kEndCuts, spreadFailed, kSpreadCuts);
        std::fflush(stdout);
    }

    // The project opened as the program's next start opens it (no box may come), and the
    // files of the folder afterwards.
    void OpenProject(const QString& path)
    {
        modMenu::FileOpen(path);
        Flush();
        ASSERT_TRUE(CurrentNetwork()) << path.toStdString();
        EXPECT_EQ(NetTest::Integrity(path), "ok");
        EXPECT_FALSE(QFileInfo::exists(path + "-journal"));
    }

    QString base, tmpl, trial, stash;
    QString lastOutput;   // the last child's, for the messages
};

// A test that reported Done keeps its whole Test table, in both kinds.
TEST_F(PowerCut, TestOfBothKinds)
{
    MakeProjects();
    for (const char* op : {"testbp", "testsf"}) {
        const QString project = trial + (QString(op) == "testbp" ? "/bp.kvp" : "/sf.kvp");
        Trials(op, [&](bool reported) {
            OpenProject(project);
            const int64_t rows = TestRows(project);
            EXPECT_TRUE(rows == kTestRows || (!reported && rows == 0)) << rows;
        });
    }
}

// Finish's commit keeps the project tested, with its test.
TEST_F(PowerCut, FinishCommitsTheTest)
{
    MakeProjects();
    const QString project = trial + "/bp.kvp";
    Trials("finish", [&](bool reported) {
        OpenProject(project);
        const bool tested = StepsOf(project).tested;
        EXPECT_TRUE(tested || !reported);
        if (tested) {
            EXPECT_EQ(TestRows(project), kTestRows);
        }
    });
}

// SaveConfig, the split and Mark All: the settings, the ranges and the marks written.
TEST_F(PowerCut, SettingsRangesAndMarks)
{
    MakeProjects();
    Trials("saveconfig", [&](bool reported) {
        OpenProject(trial + "/sf.kvp");
        const QString alpha = NetTest::ConfigValue(trial + "/sf.kvp", "Alpha").toText();
        EXPECT_TRUE(alpha == "0.25" || (!reported && alpha == "0.75")) << alpha.toStdString();
    });
    const QString tested = trial + "/tested.kvp";
    Trials("split", [&](bool reported) {
        OpenProject(tested);
        const QString high = Config(tested, "TrainHigh"), low = Config(tested, "TestLow");
        EXPECT_TRUE((high == "30" && low == "31") || (!reported && high == "40" && low == "41"))
            << high.toStdString() << " " << low.toStdString();
    });
    Trials("markall", [&](bool reported) {
        OpenProject(tested);
        const int64_t marked = Marked(tested);
        EXPECT_TRUE(marked == kTestRows || (!reported && marked == 0)) << marked;
    });
}

// Both imports over the table of an earlier one; beside the comma file's old table lies the
// journal of a writer that was killed.
TEST_F(PowerCut, ImportsOverAnEarlierTable)
{
    for (const char* op : {"raw", "csv"}) {
        const bool raw = QString(op) == "raw";
        QDir(tmpl).removeRecursively();
        QDir().mkpath(tmpl);
        MakeImport(raw ? "imp.raw" : "imp.csv", raw);
        if (!raw)
            KillPoint::LeaveHotJournal(tmpl + "/imp.mdb", "UPDATE imp SET rowid = rowid + 100000");
        const QString output = trial + "/imp.mdb";
        Trials(op, [&](bool reported) {
            ASSERT_TRUE(QFileInfo::exists(output));
            // A data file is opened for reading, as a project's source is.
            kdb::Database db = kdb::Database::Open(output, false, true);
            const int64_t rows = db.RecordCount("imp");
            EXPECT_TRUE(rows == kNewImport || (!reported && rows == kOldImport)) << rows;
            EXPECT_EQ(db.Scalar("SELECT MAX(A) FROM imp").toInt(), rows);
            EXPECT_FALSE(db.HasTable("Bulk"));
            db.Close();
            EXPECT_EQ(NetTest::Integrity(output), "ok");
        });
    }
}

// A snapshot over an older one, a revert, and a new project over an old one that has a
// snapshot and the journal of a killed writer.
TEST_F(PowerCut, SnapshotRevertAndNewProjectOverAnOldOne)
{
    MakeProjects();
    const QString project = trial + "/tested.kvp", snap = trial + "/tested.snap";
    NetTest::SetMarker(tmpl + "/tested.kvp", "old");
    ASSERT_TRUE(QFile::copy(tmpl + "/tested.kvp", tmpl + "/tested.snap"));
    NetTest::SetMarker(tmpl + "/tested.kvp", "new");
    Trials("snapshot", [&](bool reported) {
        OpenProject(project);
        EXPECT_TRUE(On(ToolName::RevertSnap));
        EXPECT_EQ(NetTest::Integrity(snap), "ok");
        const QString m = NetTest::Marker(snap);
        EXPECT_TRUE(m == "new" || (!reported && m == "old")) << m.toStdString();
    });
    Trials("revert", [&](bool reported) {
        OpenProject(project);
        const QString m = NetTest::Marker(project);
        EXPECT_TRUE(m == "old" || (!reported && m == "new")) << m.toStdString();
        // Once reverted, the snapshot is gone and Revert is not offered again.
        if (reported) {
            EXPECT_FALSE(QFileInfo::exists(snap));
            EXPECT_FALSE(On(ToolName::RevertSnap));
        }
    });
    KillPoint::LeaveHotJournal(tmpl + "/tested.kvp", "UPDATE Test SET rowid = rowid + 100000");
    Trials("newover", [&](bool reported) {
        EXPECT_TRUE(QFileInfo::exists(project) || !reported);
        bool fresh = true;
        if (QFileInfo::exists(project)) {
            OpenProject(project);
            fresh = Config(project, "DatabaseFileName").isEmpty();
            EXPECT_TRUE(fresh || !reported);
            if (!fresh) {   // the old project, whole
                EXPECT_EQ(NetTest::Marker(project), "new");
                EXPECT_EQ(TestRows(project), kTestRows);
            }
            EXPECT_FALSE(kdb::Database::Open(project, false, true).HasTable("Bulk"));
        }
        // The old project's snapshot never stays beside a new project, nor alone.
        if (fresh) {
            EXPECT_FALSE(QFileInfo::exists(snap));
            if (CurrentNetwork()) {
                EXPECT_FALSE(On(ToolName::RevertSnap));
            }
        }
    });
}
