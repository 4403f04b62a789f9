// Chooses a 1,000,000-row table of 10 inputs in the configuration window (offscreen) and times
// the road from the table chosen to the statistics shown, with the progress bar's updates and
// the longest time the window went without them (before the first one: the table's definition
// read; after it: the statistics gathered); then the same statistics in one read on one
// connection of the bare sqlite3 API.
#include "bench/support/benchsource.h"
#include "bench/support/fileprompter.h"
#include "config/configureproject.h"
#include "core/prompts.h"
#include "core/serviceslot.h"
#include "core/status.h"
#include "core/widgets/statusbar.h"
#include "core/widgets/veltra.h"
#include "data/datadef.h"
#include "kdb/kdb.h"
#include "network/backprop.h"
#include "shell/frmmain.h"
#include "shell/modmenu.h"
#include "shell/navigate.h"
#include "shell/networkopener.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QTemporaryDir>
#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {
constexpr int kRows = 1000000;
constexpr int kInputs = 10;

void makeSource(const QString& path)
{
    BenchSource::Spec spec;
    spec.rows = kRows;
    spec.inputs = kInputs;
    spec.seed = 7;
    spec.y = [](const std::vector<double>&, QRandomGenerator& rng) { return rng.generateDouble() * 100.0; };
    BenchSource::Make(path, spec);
}

// The same statistics on the bare sqlite3 API: the row count, then one read of every column with
// running sums (the way the data definition gathers them).
double bareStats(const QString& path)
{
    QElapsedTimer timer;
    timer.start();
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT COUNT(*) FROM \"Data\"", -1, &st, nullptr);
    sqlite3_step(st);
    double check = double(sqlite3_column_int64(st, 0));
    sqlite3_finalize(st);
    QString sql = QStringLiteral("SELECT \"ID\"");
    for (int j = 1; j <= kInputs; ++j)
        sql += QStringLiteral(", \"X%1\"").arg(j);
    sql += QStringLiteral(", \"Y\" FROM \"Data\"");
    sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &st, nullptr);
    constexpr int kColumns = kInputs + 2;
    double n[kColumns] = {}, sum[kColumns] = {}, sumSq[kColumns] = {}, lo[kColumns], hi[kColumns];
    std::fill(lo, lo + kColumns, HUGE_VAL);
    std::fill(hi, hi + kColumns, -HUGE_VAL);
    while (sqlite3_step(st) == SQLITE_ROW) {
        for (int c = 0; c < kColumns; ++c) {
            if (sqlite3_column_type(st, c) == SQLITE_NULL)
                continue;
            const double v = sqlite3_column_double(st, c);
            n[c] += 1;
            sum[c] += v;
            sumSq[c] += v * v;
            lo[c] = std::min(lo[c], v);
            hi[c] = std::max(hi[c], v);
        }
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    for (int c = 0; c < kColumns; ++c)
        check += sum[c] / n[c] + std::sqrt((sumSq[c] - sum[c] * sum[c] / n[c]) / (n[c] - 1)) + lo[c] + hi[c];
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    if (check == 0)
        std::printf("(no data)\n");
    return ms;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("big.kvs"));
    std::printf("building %d rows x %d inputs...\n", kRows, kInputs);
    makeSource(source);

    auto* main = new frmMain();
    gVeltra().SetMainForm(main);
    gVeltra().StatusBar().Initialize(main->MainStatusBar()->StatusBar());
    const ScopedService status(&Status::Install, &gVeltra().StatusBar());
    gNavigate().Bind(main->MainToolBar());
    main->show();
    NetworkProjectOpener opener;
    FilePrompter prompter(source);
    Prompts::Install(&prompter);
    SetCurrentNetwork(std::make_shared<CBackProp>());
    CurrentNetworkAs<CBackProp>()->Initialize(dir.filePath(QStringLiteral("big.kvp")));

    frmConfPrj* w = frmConfPrj::Open(true);
    QCoreApplication::processEvents();

    // The progress bar's updates and the longest gap between two rounds of event processing.
    QElapsedTimer clock;
    int updates = 0;
    qint64 first = -1, last = 0, longest = 0;
    QObject::connect(main->MainStatusBar()->ProgressBar(), &QProgressBar::valueChanged, [&](int) {
        ++updates;
        const qint64 now = clock.elapsed();
        if (first < 0)
            first = now;
        else
            longest = std::max(longest, now - last);
        last = now;
    });
    // The file holds one table with a key: choosing the file fixes the table at once.
    clock.start();
    w->cmdBrowse_Click();
    const double windowMs = double(clock.nsecsElapsed()) / 1e6;
    longest = std::max(longest, clock.elapsed() - last);
    const bool shown = w->Rules().Fields().size() == kInputs + 2;
    std::printf("configuration window: table chosen to statistics shown  %8.0f ms  (%s; %d progress updates, "
                "the first after %lld ms, then at most %lld ms apart)\n",
                windowMs, shown ? "fields listed" : "FIELDS MISSING", updates, static_cast<long long>(first),
                static_cast<long long>(longest));
    {
        QElapsedTimer t;
        t.start();
        CDataDef d;
        d.Initialize(source, QStringLiteral("Data"));
        const double init = double(t.nsecsElapsed()) / 1e6;
        t.restart();
        d.GatherStats(true);
        std::printf("  of which: the definition read %.0f ms, the statistics gathered %.0f ms\n", init,
                    double(t.nsecsElapsed()) / 1e6);
    }
    const double bare = bareStats(source);
    std::printf("bare sqlite3: the row count and the same statistics in one read %8.0f ms\n", bare);
    std::printf("ratio %.2f; target under 2000 ms: %s\n", windowMs / bare, windowMs < 2000 ? "met" : "MISSED");
    Prompts::Install(nullptr);
    return 0;
}
