// The road's heavy steps through the program's real windows (offscreen) on generated projects
// of 1,000,000 rows and 10 inputs, back-propagation and a 3-class SFAM: 20 training passes (3
// SFAM cycles) in the training window with the longest stall of the event loop, Finish (the test and the result
// view), the scatter chart and the time series painted, the results browser opened, a jump to
// the last row, a sort, a mark; the confusion matrix counted and shown. Beside each, the bare
// engine or the bare sqlite3 work of the same step in the same run, and the peak memory.
// The network object's test is timed with and without its progress shown; with
// KORVAN_BENCH_SHOTS set to a folder, the main window is saved there half-way through Finish.
// Then a re-test with every testing row marked beside a plain test (32,000 rows and every row),
// and Export Marked Rows of 32,000 rows beside a bare program that reads the same join and
// writes the same file. `bench_views marks` runs only these (for before/after pairs).
#include "app/views.h"
#include "bench/support/benchsource.h"
#include "bench/support/fileprompter.h"
#include "browse/browsemodel.h"
#include "browse/browsegrid.h"
#include "browse/frmbrowse.h"
#include "browse/testbrowse.h"
#include "charts/chartviews.h"
#include "charts/frmmatrix.h"
#include "charts/frmscatter.h"
#include "charts/frmseries.h"
#include "core/apppaths.h"
#include "core/prompts.h"
#include "core/serviceslot.h"
#include "core/status.h"
#include "core/widgets/commandbar.h"
#include "core/widgets/statusbar.h"
#include "core/widgets/toolnames.h"
#include "core/widgets/veltra.h"
#include "data/datadef.h"
#include "data/exportmarked.h"
#include "data/projectschema.h"
#include "kdb/kdb.h"
#include "network/backprop.h"
#include "network/workflowflags.h"
#include "network/sfam.h"
#include "shell/frmmain.h"
#include "shell/modmenu.h"
#include "shell/navigate.h"
#include "shell/networkopener.h"
#include "browse/browseviews.h"
#include "shell/commandtable.h"
#include "browse/currentbrowse.h"
#include "shell/windowcalls.h"
#include "training/frmtrainsf.h"
#include "training/trainingviews.h"
#include "training/trainwindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileInfo>
#include <QElapsedTimer>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QRandomGenerator>
#include <QSpinBox>
#include <QTableView>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <sqlite3.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <thread>

namespace {
constexpr int kRows = 1000000;
constexpr int kInputs = 10;
constexpr int kTrainRows = 20000;

double seconds(const std::function<void()>& f)
{
    QElapsedTimer t;
    t.start();
    f();
    return t.nsecsElapsed() / 1e9;
}

double peakMb()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss / 1024.0;
}

void flush()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

// Turns the event loop until `done`; the longest gap between two turns is the stall a user
// would feel. With `marked`, the gap in which it turned true is left out of the longest and
// given in `markedMs` (the first training call, which reads the rows, is reported on its own).
double loopUntil(const std::function<bool()>& done, double& longestMs, const std::function<bool()>& marked = {},
                 double* markedMs = nullptr)
{
    QElapsedTimer total, gap;
    total.start();
    gap.start();
    longestMs = 0;
    bool wasMarked = marked && marked();
    while (!done()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        const double ms = gap.nsecsElapsed() / 1e6;
        if (marked && !wasMarked && marked()) {
            wasMarked = true;
            if (markedMs)
                *markedMs = ms;
        } else {
            longestMs = std::max(longestMs, ms);
        }
        gap.restart();
    }
    return total.nsecsElapsed() / 1e9;
}

// ID, X1..X10, Y (a smooth function of the inputs), Kind (3 classes that follow X1).
void makeSource(const QString& path)
{
    BenchSource::Spec spec;
    spec.rows = kRows;
    spec.inputs = kInputs;
    spec.y = [](const std::vector<double>& x, QRandomGenerator& rng) {
        double y = 0;
        for (double v : x)
            y += v / kInputs;
        return y + rng.generateDouble() * 5;
    };
    spec.text = {{"Kind", [](int, const std::vector<double>& x) {
                      return QString(x[0] < 33 ? "low" : x[0] < 66 ? "mid" : "high");
                  }}};
    BenchSource::Make(path, spec);
}

template <class Net>
void configure(Net& net, const QString& predict, int16_t role)
{
    CDataDef& ddo = *net.State().DDO();
    ddo.GatherStats(false);
    for (int16_t i = 1; i <= ddo.NumFields(); ++i) {
        const QString name = ddo.FieldName(i);
        ddo.SetUserMatchType(i, name.startsWith('X') ? int16_t(roleInput) : name == predict ? role : int16_t(roleUnused));
        ddo.SetUserMin(i, 0);
        ddo.SetUserMax(i, 100);
    }
    net.State().SetTrainLow(1);
    net.State().SetTrainHigh(kTrainRows);
    net.State().SetTestLow(1);
    net.State().SetTestHigh(kRows);
}

template <class T>
T* window(frmMain* main)
{
    for (QMdiSubWindow* sub : main->MdiArea()->subWindowList())
        if (auto* w = qobject_cast<T*>(sub->widget()))
            return w;
    return nullptr;
}

void showRow(frmBrowse* w, int row)
{
    for (int i = 0; i < 5 && !w->Model()->CachedRow(row); ++i) {
        w->tgBrowse->DataPane()->viewport()->repaint();
        w->tgBrowse->FixedPane()->viewport()->repaint();
        QCoreApplication::processEvents();
    }
}

// The project opened through sqlite3 alone, read-only, the source attached as "src".
sqlite3* openBare(const QString& project, const QString& source)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(project.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    const QString attach = "ATTACH DATABASE '" + source + "' AS src";
    sqlite3_exec(db, attach.toUtf8().constData(), nullptr, nullptr, nullptr);
    return db;
}

// One statement stepped to its end through sqlite3 alone, the source attached.
double bare(const QString& project, const QString& source, const QString& sql)
{
    return seconds([&] {
        sqlite3* db = openBare(project, source);
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &st, nullptr);
        while (sqlite3_step(st) == SQLITE_ROW) {
        }
        sqlite3_finalize(st);
        sqlite3_close(db);
    });
}

void line(const char* what, double value, const char* unit, const char* beside = "")
{
    std::printf("  %-46s %9.3f %-3s %s\n", what, value, unit, beside);
}

// Processor time of the process, every thread, in seconds: on a busy machine it tells added
// work apart from time spent waiting for a processor.
double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// The status bar as the program has it, with its progress reports timed: how long showing
// them took, the longest wait between two reports of the last piece of work and the report
// that ended it, and, when KORVAN_BENCH_SHOTS names a folder and `shotName` is set, the main
// window saved there once the work has come half-way.
class TimedStatus final : public IStatusSink {
public:
    TimedStatus(IStatusSink& shown, QWidget* main) : m_shown(shown), m_main(main) {}
    void message(const QString& text) override { m_shown.message(text); }
    void setProjectPanel(const QString& text) override { m_shown.setProjectPanel(text); }
    void setNodesPanel(const QString& text) override { m_shown.setNodesPanel(text); }
    void progress(int percent) override
    {
        if (percent == 0) {
            longestGapMs = 0;
        } else if (m_gap.isValid() && m_gap.nsecsElapsed() / 1e6 > longestGapMs) {
            longestGapMs = m_gap.nsecsElapsed() / 1e6;
            gapEndedAt = percent;
        }
        display += seconds([&] { m_shown.progress(percent); });
        ++reports;
        m_gap.start();
        const QString folder = qEnvironmentVariable("KORVAN_BENCH_SHOTS");
        if (!folder.isEmpty() && !shotName.isEmpty() && percent >= 50) {
            m_main->grab().save(folder + "/" + shotName);
            shotName.clear();
        }
    }

    double display = 0;
    int reports = 0;
    double longestGapMs = 0;
    int gapEndedAt = 0;
    QString shotName;

private:
    IStatusSink& m_shown;
    QWidget* m_main;
    QElapsedTimer m_gap;
};

TimedStatus* gTimed = nullptr;

// The network object's test of every row, bare (no status bar to tell) and with the program's
// progress display (bare, shown, bare, shown: the machine's drift shows between the runs of
// one kind), wall time and processor time. Each timed run replaces the Test rows of the run
// before it, as Finish does: the first test of a project, which has no old rows to drop (a
// fifth of its time at a million rows), is not timed.
void timeTest(CNetworkProject& net)
{
    net.Test();
    gTimed->display = 0;
    gTimed->reports = 0;
    const auto once = [&](bool shown, double& cpu) {
        const ScopedService status(&Status::Install, shown ? static_cast<IStatusSink*>(gTimed) : nullptr);
        net.State().SetTestHigh(kRows); // the testing rows are read again
        const double before = cpuSeconds();
        const double wall = seconds([&] { net.Test(); });
        cpu = cpuSeconds() - before;
        return wall;
    };
    double cpu[4] = {};
    const double bare1 = once(false, cpu[0]);
    const double shown1 = once(true, cpu[1]);
    const double bare2 = once(false, cpu[2]);
    const double shown2 = once(true, cpu[3]);
    char beside[96];
    std::snprintf(beside, sizeof beside, "[%.3f / %.3f s; processor %.2f / %.2f s]", bare1, bare2, cpu[0], cpu[2]);
    line("network object's test, bare", std::min(bare1, bare2), "s", beside);
    std::snprintf(beside, sizeof beside, "[%.3f / %.3f s; processor %.2f / %.2f s; %d reports took %.3f s]", shown1,
                  shown2, cpu[1], cpu[3], gTimed->reports / 2, gTimed->display / 2);
    line("network object's test, progress shown", std::min(shown1, shown2), "s", beside);
}

int64_t markAll(const QString& project)
{
    kdb::Database db = kdb::Database::Open(project, false, false);
    db.Execute("UPDATE Test SET Mark = -1");
    return db.Scalar("SELECT count(*) FROM Test WHERE Mark <> 0").toInt();
}

// The marked rows joined with the source and written as text, through sqlite3 alone.
double bareExport(const QString& project, const QString& source, const QString& table, const QString& key,
                  const QString& file)
{
    return seconds([&] {
        sqlite3* db = openBare(project, source);
        sqlite3_stmt* st = nullptr;
        const QString sql = "SELECT * FROM Test INNER JOIN src." + table + " ON Test.MainPrimaryKey = " + table + "." + key
                            + " WHERE Test.Mark <> 0 ORDER BY " + table + "." + key;
        sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &st, nullptr);
        FILE* out = std::fopen(file.toUtf8().constData(), "wb");
        const int n = sqlite3_column_count(st);
        for (int c = 0; c < n; ++c)
            std::fprintf(out, c ? ",%s" : "%s", sqlite3_column_name(st, c));
        std::fputs("\r\n", out);
        while (sqlite3_step(st) == SQLITE_ROW) {
            for (int c = 0; c < n; ++c) {
                const unsigned char* text = sqlite3_column_text(st, c);
                if (c)
                    std::fputc(',', out);
                if (text)
                    std::fputs(reinterpret_cast<const char*>(text), out);
            }
            std::fputs("\r\n", out);
        }
        std::fclose(out);
        sqlite3_finalize(st);
        sqlite3_close(db);
    });
}

// A re-test for a view with every testing row marked (the marks kept by key) beside a plain
// test of the same rows, both with the progress shown, at 32,000 rows and at every row; at
// 32,000 marked rows, Export Marked Rows beside the bare export. The project's source is
// `table` with its key `key`.
void timeMarks(CNetworkProject& net, const QString& source, const QString& table, const QString& key)
{
    const QString project = net.State().ProjectFileName();
    double ratio32k = 0;
    for (int rows : {32000, kRows}) {
        if (rows == kRows && ratio32k > 5) {
            line("re-test of every row, every row marked", 0, "s", "(skipped: the marks cost their square)");
            continue;
        }
        // Each test reads the testing rows and replaces a Test table of its own size; the best
        // of three runs of each.
        net.State().SetTestLow(1);
        net.State().SetTestHigh(rows);
        net.Test();
        double plain = 1e9, plainGap = 0, retest = 1e9, retestGap = 0;
        int64_t marked = 0, kept = 0;
        for (int run = 0; run < 3; ++run) {
            net.State().SetTestHigh(rows); // the testing rows are read again, as for a re-test
            plain = std::min(plain, seconds([&] { net.Test(); }));
            plainGap = std::max(plainGap, gTimed->longestGapMs);
        }
        double unmarked = 1e9;
        for (int run = 0; run < 3; ++run) {
            net.State().SetTestBuilt(false);
            unmarked = std::min(unmarked, seconds([&] { net.RetestIfNotBuilt(); }));
        }
        for (int run = 0; run < 3; ++run) {
            marked = markAll(project);
            net.State().SetTestBuilt(false);
            retest = std::min(retest, seconds([&] { net.RetestIfNotBuilt(); }));
            retestGap = std::max(retestGap, gTimed->longestGapMs);
            kept = markAll(project);
        }
        char what[64], beside[128];
        std::snprintf(what, sizeof what, "plain test of %d rows, progress shown", rows);
        std::snprintf(beside, sizeof beside, "[longest wait between reports %.0f ms]", plainGap);
        line(what, plain, "s", beside);
        std::snprintf(what, sizeof what, "re-test of %d rows, no row marked", rows);
        line(what, unmarked, "s");
        std::snprintf(what, sizeof what, "re-test of %d rows, every row marked", rows);
        std::snprintf(beside, sizeof beside, "[%.2fx of the plain test (target <= 1.2x); %lld of %lld marks kept; "
                      "longest wait %.0f ms]", retest / plain, static_cast<long long>(kept), static_cast<long long>(marked),
                      retestGap);
        line(what, retest, "s", beside);
        if (rows == 32000) {
            ratio32k = retest / plain;
            const QString file = QFileInfo(project).absolutePath() + "/export.txt";
            const QString bareFile = QFileInfo(project).absolutePath() + "/bare-export.txt";
            FilePrompter chosen(file);
            IPrompter* was = Prompts::Install(&chosen);
            QFile::remove(file);
            gTimed->reports = 0;
            const double exported = seconds([&] { Utilities::ExportMarked(project, net.State().DDO().get()); });
            const int reports = gTimed->reports;
            const double exportGap = gTimed->longestGapMs;
            Prompts::Install(was);
            const double bareTime = bareExport(project, source, table, key, bareFile);
            std::snprintf(beside, sizeof beside, "[%.2fx of the bare export (target <= 2x); %d reports, longest wait %.0f ms]",
                          exported / bareTime, reports, exportGap);
            line("Export Marked Rows, 32,000 rows", exported, "s", beside);
            std::snprintf(beside, sizeof beside, "[%lld and %lld bytes written]", static_cast<long long>(QFileInfo(bareFile).size()),
                          static_cast<long long>(QFileInfo(file).size()));
            line("bare sqlite3, the same join read and written", bareTime, "s", beside);
        }
    }
    net.State().SetTestHigh(kRows);
}

// `passes` passes (or SFAM cycles) through the training window, then Finish; its time. Only the
// first round of a project prints its lines.
double trainAndFinish(frmMain* main, int passes, bool sfam, bool report = true)
{
    TrainingViews::MenuBProp();
    flush();
    CTrainWindow* w = TrainingViews::Window();
    if (!w) {
        std::printf("  the training window did not open\n");
        return 0;
    }
    if (sfam) {
        if (auto* sf = qobject_cast<frmTrainSF*>(w))
            sf->chkContinuous()->setChecked(passes > 1);
    }
    double stall = 0, firstCall = 0;
    modMenu::TrainBar(ToolName::TrainBPTrain);
    const double run = loopUntil([&] { return !w->RunActive() || CurrentNetwork()->State().CyclesCompleted() >= passes; }, stall,
                                 [] { return CurrentNetwork()->State().TrainBuilt(); }, &firstCall);
    if (w->RunActive()) {
        modMenu::TrainBar(ToolName::TrainBPStop);
        double stopStall = 0;
        loopUntil([&] { return !w->RunActive(); }, stopStall);
        stall = std::max(stall, stopStall);
    }
    const int done = CurrentNetwork()->State().CyclesCompleted();
    if (report) {
        char beside[96];
        std::snprintf(beside, sizeof beside, "[%d %s, %.2f per s]", done, sfam ? "cycles" : "passes", done / run);
        line("training in the window", run, "s", beside);
        line("  first call (rows read, network made)", firstCall, "ms");
        line("  longest stall of the event loop after it", stall, "ms", "(target <= 250 ms)");
    }
    double finishStall = 0;
    const double finish = seconds([&] {
        modMenu::TrainBar(ToolName::TrainBPExit);
        loopUntil([&] { return gProcess().IsTested() && (window<frmScatter>(main) || window<frmMatrix>(main)); },
                  finishStall);
    });
    if (report) {
        line(sfam ? "Finish: test and confusion matrix shown" : "Finish: test and scatter chart shown", finish, "s");
        char ended[48];
        std::snprintf(ended, sizeof ended, "(ended by the report of %d %%)", gTimed->gapEndedAt);
        line("  longest wait between two progress reports", gTimed->longestGapMs, "ms", ended);
    }
    return finish;
}

// The project untrained again at the split, as the training window finds it.
void backToSplit(const std::shared_ptr<CNetworkProject>& net)
{
    net->Reset();
    SetCurrentNetwork(net);
    gProcess() = CProcess();
    gProcess().SetIsConfigured(true);
    gProcess().SetIsSplit(true);
    gNavigate().Navigate(navSplit);
}

// Finish beside the bare test of the same project run just after it, three times over (the first
// Finish is the one after `passes`, whose time is given): the median of the three ratios. The
// machine's drift over the run and the file's state weigh alike on both sides of a pair.
void pairFinish(frmMain* main, const std::shared_ptr<CNetworkProject>& net, double firstFinish, bool sfam)
{
    std::vector<double> ratios;
    double finish = firstFinish;
    for (int round = 0; round < 3; ++round) {
        if (round > 0) {
            modMenu::RemoveChildForms();
            flush();
            backToSplit(net);
            finish = trainAndFinish(main, sfam ? 1 : 2, sfam, false);
        }
        modMenu::RemoveChildForms();
        flush();
        const ScopedService quiet(&Status::Install, static_cast<IStatusSink*>(nullptr));
        net->State().SetTestHigh(kRows); // the testing rows are read again, as Finish read them
        ratios.push_back(finish / seconds([&] { net->Test(); }));
    }
    std::sort(ratios.begin(), ratios.end());
    char beside[96];
    std::snprintf(beside, sizeof beside, "[%.3f %.3f %.3f] (target <= 1.12)", ratios[0], ratios[1], ratios[2]);
    line("Finish / the bare test just after it, median", ratios[1], "x", beside);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const bool onlyMarks = argc > 1 && QByteArray(argv[1]) == "marks";
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QTemporaryDir dir;
    AppPaths::SetProgramFolder(dir.path() + "/program");
    const QString source = dir.path() + "/source.mdb";
    std::printf("bench_views: %d rows, %d inputs, %u cores\n", kRows, kInputs, std::thread::hardware_concurrency());
    std::printf("  %-46s %9.3f s\n", "source made", seconds([&] { makeSource(source); }));

    NetworkProjectOpener opener;
    const ScopedService projects(&ProjectOpener::Install, &opener);
    AppNetworkHost host;
    const ScopedService networkHost(&NetworkHost::Install, static_cast<INetworkHost*>(&host));
    auto* main = new frmMain();
    gVeltra().SetMainForm(main);
    gVeltra().StatusBar().Initialize(main->MainStatusBar()->StatusBar());
    const ScopedService status(&Status::Install, &gVeltra().StatusBar());
    TimedStatus timed(gVeltra().StatusBar(), main);
    gTimed = &timed;
    const ScopedService timedStatus(&Status::Install, static_cast<IStatusSink*>(&timed));
    gNavigate().Bind(main->MainToolBar());
    main->resize(1280, 1000);
    main->show();
    AppViews::Install();
    AppWindowCalls windowCalls;
    const ScopedService windows(&WindowCalls::Install, &windowCalls);
    flush();

    // --- Back-propagation --------------------------------------------------------------------
    std::printf("back-propagation (training rows 1-%d, testing rows 1-%d)\n", kTrainRows, kRows);
    const QString bpFile = dir.path() + "/bp.kvp";
    std::shared_ptr<CNetworkProject> net;
    {
        auto bp = std::make_shared<CBackProp>();
        net = bp;
        bp->Initialize(bpFile);
        bp->Attach(source, "Data");
        configure(*bp, "Y", roleBPPredict);
        bp->SaveConfig();
        // The bare engine: five passes and a test of every row, straight on the network object.
        double longest = 0;
        const double five = seconds([&] {
            for (int p = 0; p < 5; ++p)
                longest = std::max(longest, seconds([&] { bp->Train(); }) * 1000);
        });
        char beside[64];
        std::snprintf(beside, sizeof beside, "[%.2f per s, longest call %.0f ms]", 5 / five, longest);
        line("bare engine, 5 training calls", five, "s", beside);
        bp->Verify();
        if (!onlyMarks)
            timeTest(*bp);
        timeMarks(*bp, source, "Data", "ID");
        // The same rows under text keys ("k0000001", ...).
        {
            kdb::Database db = kdb::Database::Open(source, false, false);
            QStringList inputs;
            for (int i = 1; i <= kInputs; ++i)
                inputs << QString("X%1").arg(i);
            db.Execute("CREATE TABLE TextData (Code TEXT PRIMARY KEY, " + inputs.join(" REAL, ") + " REAL, Y REAL)");
            db.Execute("INSERT INTO TextData SELECT printf('k%07d', ID), " + inputs.join(", ") + ", Y FROM Data ORDER BY ID");
        }
        auto text = std::make_shared<CBackProp>();
        text->Initialize(dir.path() + "/textkeys.kvp");
        text->Attach(source, "TextData");
        configure(*text, "Y", roleBPPredict);
        text->SaveConfig();
        for (int p = 0; p < 5; ++p)
            text->Train();
        text->Verify();
        std::printf("back-propagation, text keys (testing rows 1-%d)\n", kRows);
        timeMarks(*text, source, "TextData", "Code");
        if (onlyMarks) {
            main->close();
            flush();
            return 0;
        }
        timed.shotName = "bench-finish-bp.png";
        backToSplit(bp);
    }
    const double bpFinish = trainAndFinish(main, 20, false);
    if (frmScatter* scatter = window<frmScatter>(main)) {
        line("scatter chart painted into an image", seconds([&] { scatter->Render(QSize(1000, 700)); }) * 1000, "ms");
    }
    for (int zoom : {1, 8, 64}) {
        ChartViews::ShowSeries();
        flush();
        frmSeries* series = window<frmSeries>(main);
        if (!series)
            break;
        series->updZoom->setValue(zoom);
        char what[64];
        std::snprintf(what, sizeof what, "time series painted at zoom %d", zoom);
        line(what, seconds([&] { series->grab(); }) * 1000, "ms");
    }

    {
        frmBrowse* w = nullptr;
        const double open = seconds([&] {
            BrowseViews::BrowseTest();
            w = qobject_cast<frmBrowse*>(gBrowseForm().data());
            if (w)
                showRow(w, 0);
        });
        line("results browser opened, first rows shown", open, "s", "(target < 0.5 s)");
        if (w) {
            while (w->Data1().Loading()) {
                QCoreApplication::processEvents();
                QThread::msleep(1);
            }
            const int rows = w->Model()->rowCount();
            line("jump to the last row", seconds([&] {
                     w->tgBrowse->DataPane()->scrollToBottom();
                     showRow(w, rows - 1);
                 }), "s", "(target < 0.1 s)");
            const int x5 = w->RecordSource().ColumnIndex({ProjectSchema::LinkTable(), "X5", 0});
            line("sort by a source column (X5)", seconds([&] {
                     w->tgBrowse->SetCurrent(0, x5);
                     BrowseViews::SortASC();
                     showRow(w, 0);
                 }), "s", "(target < 2 s)");
            if (auto* browser = dynamic_cast<CBrowseBase*>(gDataBrowse().get())) {
                browser->ToggleMark(0);
                line("a mark toggled and written", seconds([&] { browser->ToggleMark(1); }) * 1000, "ms", "(target < 10 ms)");
            }
        }
        modMenu::CloseBrowsers();
        flush();
        line("bare sqlite3, the results joined in key order",
             bare(bpFile, source, "SELECT t.MainPrimaryKey FROM Test AS t JOIN src.Data AS s ON s.ID = t.MainPrimaryKey ORDER BY t.rowid"), "s");
        line("bare sqlite3, the same sorted by X5",
             bare(bpFile, source, "SELECT t.MainPrimaryKey FROM Test AS t JOIN src.Data AS s ON s.ID = t.MainPrimaryKey ORDER BY s.X5"), "s");
    }
    pairFinish(main, net, bpFinish, false);
    std::printf("  %-46s %9.1f MB\n", "peak memory so far", peakMb());
    modMenu::RemoveChildForms();
    flush();
    SetCurrentNetwork(nullptr);

    // --- SFAM, 3 classes ---------------------------------------------------------------------
    std::printf("SFAM, 3 classes (training rows 1-%d, testing rows 1-%d)\n", kTrainRows, kRows);
    const QString sfFile = dir.path() + "/sf.kvp";
    {
        auto sf = std::make_shared<CSFam>();
        net = sf;
        sf->Initialize(sfFile);
        sf->Attach(source, "Data");
        configure(*sf, "Kind", roleSFamPredict);
        sf->BuildClassList();
        sf->SaveConfig();
        line("bare engine, first training cycle (rows read)", seconds([&] { sf->Train(); }), "s");
        line("bare engine, second training cycle", seconds([&] { sf->Train(); }), "s");
        timeTest(*sf);
        timed.shotName = "bench-finish-sfam.png";
        backToSplit(sf);
    }
    const double sfFinish = trainAndFinish(main, 3, true);
    line("bare sqlite3, the matrix's join read",
         bare(sfFile, source, "SELECT s.Kind, t.Predicted FROM Test AS t JOIN src.Data AS s ON s.ID = t.MainPrimaryKey"), "s");
    pairFinish(main, net, sfFinish, true);
    std::printf("  %-46s %9.1f MB\n", "peak memory", peakMb());
    modMenu::RemoveChildForms();
    main->close();
    flush();
    return 0;
}
