// The back-propagation training window with the real engine, offscreen: passes per second of
// the window's step machine against the bare engine on the same arrays, the longest stall of the
// event loop between two steps, how soon Stop is honoured, over 100,000 and 1,000,000 rows of
// 10 inputs and over the shipped sample (WeeklySales).
#include "bench/support/benchsource.h"
#include "core/apppaths.h"
#include "core/serviceslot.h"
#include "core/status.h"
#include "core/widgets/statusbar.h"
#include "core/widgets/toolnames.h"
#include "core/widgets/veltra.h"
#include "data/datadef.h"
#include "engine/korvan_engine.h"
#include "kdb/kdb.h"
#include "network/backprop.h"
#include "shell/frmmain.h"
#include "shell/modmenu.h"
#include "shell/navigate.h"
#include "shell/networkopener.h"
#include "shell/commandtable.h"
#include "training/frmtrainbp.h"
#include "training/trainingviews.h"
#include "training/updown.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {
constexpr int kInputs = 10;

void MakeSource(const QString& path, int rows)
{
    BenchSource::Spec spec;
    spec.rows = rows;
    spec.inputs = kInputs;
    spec.y = [](const std::vector<double>& x, QRandomGenerator& rng) {
        double sum = 0;
        for (int j = 1; j <= kInputs; ++j)
            sum += x[size_t(j - 1)] * (j % 3 == 0 ? -0.5 : 1.0);
        return std::clamp(sum / 6.0 + rng.generateDouble() * 5.0, 0.0, 100.0);
    };
    BenchSource::Make(path, spec);
}

std::shared_ptr<CBackProp> Project(const QString& project, const QString& source, const QString& table, int rows,
                                   const std::function<void(CDataDef&)>& roles)
{
    auto bp = std::make_shared<CBackProp>();
    bp->Initialize(project);
    bp->Attach(source, table);
    CDataDef& ddo = *bp->State().DDO();
    ddo.GatherStats(false);
    roles(ddo);
    bp->SetLayerJCount(7);
    bp->State().SetTrainLow(1);
    bp->State().SetTrainHigh(rows);
    bp->State().SetTestLow(1);
    bp->State().SetTestHigh(rows);
    bp->SaveConfig();
    return bp;
}

// The event loop's pulse: a 1 ms probe whose longest gap is the longest stall between steps.
struct Probe {
    QTimer timer;
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;
    bool measuring = false;
    std::function<void()> onTick;
    Probe()
    {
        timer.setInterval(1);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            const qint64 now = clock.nsecsElapsed();
            if (measuring)
                longest = std::max(longest, now - last);
            last = now;
            if (onTick)
                onTick();
        });
        clock.start();
        timer.start();
    }
};

struct WindowFigures {
    double firstCall = 0;     // s: the click until the first call (rows read, network made) is done
    double passesPerSecond = 0;
    double longestStall = 0;  // ms, after the first call
    double stopHonoured = 0;  // ms: Stop until the run has ended
    double stepsPerPass = 0;  // steps of the measured passes (verify rate 5: 5 calls, 1 verify)
};

// Runs the window until `passes` passes after the first two, then presses Stop.
WindowFigures RunWindow(const std::shared_ptr<CBackProp>& bp, int passes)
{
    WindowFigures f;
    SetCurrentNetwork(bp);
    TrainingViews::MenuBProp();
    QCoreApplication::processEvents();
    auto* w = qobject_cast<frmTrainBP*>(TrainingViews::Window());
    if (!w) {
        std::printf("no training window\n");
        return f;
    }
    w->udVerify()->SetValue(5);
    const int verify = 5;
    Probe probe;
    QElapsedTimer clock;
    qint64 passStart = 0, stopAt = 0, ended = 0;
    bool done = false;
    QObject::connect(w, &CTrainWindow::runEnded, [&] {
        ended = clock.nsecsElapsed();
        done = true;
    });
    const int32_t base = bp->State().CyclesCompleted();
    int passSteps = 0;
    probe.onTick = [&] {
        const int32_t cycles = bp->State().CyclesCompleted() - base;
        if (f.firstCall == 0 && cycles >= 1) {
            f.firstCall = clock.nsecsElapsed() / 1e9;
            probe.measuring = true;
            probe.longest = 0;
        }
        if (passStart == 0 && cycles >= 2 * verify) {
            passStart = clock.nsecsElapsed();
            passSteps = w->StepCount();
        }
        if (stopAt == 0 && cycles >= (2 + passes) * verify) {
            f.passesPerSecond = passes / ((clock.nsecsElapsed() - passStart) / 1e9);
            f.stepsPerPass = double(w->StepCount() - passSteps) / passes;
            f.longestStall = probe.longest / 1e6;
            stopAt = clock.nsecsElapsed();
            modMenu::TrainBar(ToolName::TrainBPStop);
        }
    };
    clock.start();
    modMenu::TrainBar(ToolName::TrainBPTrain);
    while (!done)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    f.stopHonoured = (ended - stopAt) / 1e6;
    modMenu::TrainBar(ToolName::TrainBPExit);
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
    return f;
}

// The same passes straight on the engine over copies of the project's arrays; also the longest
// single training call and the longest verification.
double BarePasses(const CBackProp& bp, const QString& netFile, int passes, double& longestCall, double& longestRun)
{
    std::vector<float> patterns = bp.State().Patterns();
    std::vector<float> fmin = bp.State().FieldMinimums();
    std::vector<float> fmax = bp.State().FieldMaximums();
    std::vector<float> results = bp.Results();
    int32_t cycles = 0;
    const QByteArray name = QFile::encodeName(netFile);
    const auto call = [&](int16_t command) {
        return VTBACKPROP(patterns.data(), bp.State().PatternStride(), int32_t(bp.State().Rows() + 1), fmin.data(), fmax.data(),
                          results.data(), &cycles, bp.LayerJCount(), bp.JogMax(), bp.InitMax(), bp.LearnRate(),
                          bp.Momentum(), name.constData(), command);
    };
    if (call(EngineInit) != 1 || call(EngineTrain) != 1) {
        std::printf("bare engine refused the arrays\n");
        return 0;
    }
    longestCall = longestRun = 0;
    QElapsedTimer timer, one;
    timer.start();
    for (int p = 0; p < passes; ++p) {
        for (int k = 0; k < 5; ++k) {
            one.start();
            call(EngineTrain);
            longestCall = std::max(longestCall, one.nsecsElapsed() / 1e6);
        }
        one.start();
        call(EngineRun);
        longestRun = std::max(longestRun, one.nsecsElapsed() / 1e6);
    }
    const double seconds = timer.nsecsElapsed() / 1e9;
    VTRELEASE(name.constData());
    return passes / seconds;
}

void Generated(const QString& folder, int rows, int passes)
{
    const QString source = folder + QString("/data%1.mdb").arg(rows);
    QElapsedTimer t;
    t.start();
    MakeSource(source, rows);
    std::printf("\n%d rows x %d inputs, 7 hidden, verify rate 5 (table written in %.1f s)\n", rows, kInputs,
                t.nsecsElapsed() / 1e9);
    auto bp = Project(folder + QString("/p%1.kvp").arg(rows), source, "Data", rows, [](CDataDef& ddo) {
        for (int16_t i = 1; i <= ddo.NumFields(); ++i) {
            const QString name = ddo.FieldName(i);
            ddo.SetUserMatchType(i, name.startsWith('X') ? roleInput : name == "Y" ? roleBPPredict : roleUnused);
            ddo.SetUserMin(i, 0);
            ddo.SetUserMax(i, 100);
        }
    });
    const WindowFigures f = RunWindow(bp, passes);
    double longestCall = 0, longestRun = 0;
    const double bare = BarePasses(*bp, folder + "/bare.tmp", passes, longestCall, longestRun);
    std::printf("first call (rows read, network made): %.3f s\n", f.firstCall);
    std::printf("window: %.2f passes/s   bare engine: %.2f passes/s   ratio %.1f%% (target >= 90%%)\n",
                f.passesPerSecond, bare, bare > 0 ? 100.0 * f.passesPerSecond / bare : 0.0);
    std::printf("longest stall between steps after the first call: %.1f ms (target <= 250 ms; bare engine: "
                "longest training call %.1f ms, longest verification %.1f ms)\n",
                f.longestStall, longestCall, longestRun);
    std::printf("steps per pass: %.1f (5 training calls in blocks of rows, 1 verification)\n", f.stepsPerPass);
    std::printf("Stop honoured (the call finished, the pass verified) after %.1f ms\n", f.stopHonoured);
}

void Sample(const QString& folder)
{
    const QString sample = folder + "/KorvanSample.kvs";
    QFile::copy(QCoreApplication::applicationDirPath() + "/../share/korvan/samples/KorvanSample.kvs", sample);
    if (!QFile::exists(sample)) {
        std::printf("\nsample not found\n");
        return;
    }
    auto bp = Project(folder + "/sales.kvp", sample, "WeeklySales", 312, [](CDataDef& ddo) {
        struct R {
            const char* name;
            int16_t role;
            double min, max;
        };
        const R roles[] = {{"Price", roleInput, 3, 5},        {"Advertising", roleInput, 0, 25},
                           {"Temperature", roleInput, -5, 30}, {"Promotion", roleInput, 0, 1},
                           {"Sales", roleBPPredict, 250, 600}};
        for (int16_t i = 1; i <= ddo.NumFields(); ++i)
            ddo.SetUserMatchType(i, roleUnused);
        for (const R& r : roles) {
            const int16_t i = ddo.FieldIndex(r.name);
            ddo.SetUserMatchType(i, r.role);
            ddo.SetUserMin(i, r.min);
            ddo.SetUserMax(i, r.max);
        }
    });
    const WindowFigures f = RunWindow(bp, 400);
    std::printf("\nWeeklySales (312 rows, 4 inputs): window %.1f passes/s, longest stall %.1f ms\n",
                f.passesPerSecond, f.longestStall);
}

} // namespace

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    QTemporaryDir dir;
    AppPaths::SetProgramFolder(dir.path() + "/program");
    auto* main = new frmMain();
    gVeltra().SetMainForm(main);
    gVeltra().StatusBar().Initialize(main->MainStatusBar()->StatusBar());
    const ScopedService status(&Status::Install, &gVeltra().StatusBar());
    gNavigate().Bind(main->MainToolBar());
    main->resize(1000, 700);
    main->show();
    TrainingViews::Install();
    Sample(dir.path());
    Generated(dir.path(), 100000, 20);
    Generated(dir.path(), 1000000, 2);
    delete main;
    return 0;
}
