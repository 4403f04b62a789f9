// The result views over tested projects of 1,000,000 rows and 10 inputs, in the program's main
// window: the scatter chart opened and painted into an image, a mouse move's read-out, the time
// series painted at zoom 1, 8 and 64, the confusion matrix counted and shown for 3 and for 256
// classes; beside them a bare sqlite3 read of the same rows.
#include "bench/support/benchsource.h"
#include "charts/chartviews.h"
#include "charts/frmmatrix.h"
#include "charts/matrixcount.h"
#include "charts/frmscatter.h"
#include "charts/frmseries.h"
#include "core/apppaths.h"
#include "core/serviceslot.h"
#include "core/status.h"
#include "core/widgets/statusbar.h"
#include "core/widgets/veltra.h"
#include "data/datadef.h"
#include "kdb/kdb.h"
#include "network/backprop.h"
#include "network/sfam.h"
#include "shell/frmmain.h"
#include "shell/modmenu.h"
#include "shell/networkopener.h"
#include "charts/chartviews.h"
#include "shell/windowcalls.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSpinBox>
#include <QTemporaryDir>
#include <sqlite3.h>

#include <cmath>
#include <cstdio>

namespace {
constexpr int kRows = 1000000;
constexpr int kInputs = 10;

double ms(const QElapsedTimer& t)
{
    return double(t.nsecsElapsed()) / 1e6;
}

// ID, X1..X10, Y (a smooth function of the inputs), Kind3 (3 classes), Kind256 (256 classes).
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
    spec.text = {{"Kind3", [](int r, const std::vector<double>&) { return QString("K%1").arg(r % 3); }},
                 {"Kind256", [](int r, const std::vector<double>&) { return QString("C%1").arg(r % 256); }}};
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
}

// The bare read: every row of the join of Test with the source, through sqlite3 alone.
double bareRead(const QString& project, const QString& source, const QString& column)
{
    QElapsedTimer timer;
    timer.start();
    sqlite3* db = nullptr;
    sqlite3_open_v2(project.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    const QString attach = "ATTACH DATABASE '" + source + "' AS src";
    sqlite3_exec(db, attach.toUtf8().constData(), nullptr, nullptr, nullptr);
    const QString sql = "SELECT s." + column + ", t.Predicted FROM src.Data AS s JOIN Test AS t ON s.ID = t.MainPrimaryKey";
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &st, nullptr);
    int64_t n = 0, bytes = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
        bytes += sqlite3_column_bytes(st, 0) + sqlite3_column_bytes(st, 1);
        ++n;
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    if (n != kRows)
        std::printf("  (bare read saw %lld rows)\n", static_cast<long long>(n));
    return ms(timer);
}

template <class T>
T* child(QWidget* main)
{
    const auto all = main->findChildren<T*>();
    return all.isEmpty() ? nullptr : all.front();
}

void flush()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QElapsedTimer timer;
    timer.start();
    {
        // The plot alone: 1,000,000 rows to four polylines, drawn into an image.
        std::vector<float> actual(kRows + 1), predicted(kRows + 1);
        QRandomGenerator rng(3);
        for (int i = 1; i <= kRows; ++i) {
            // Values of a field whose range is 0..100; every 5000th row has no prediction.
            actual[size_t(i)] = float(rng.generateDouble() * 100);
            predicted[size_t(i)] = i % 5000 == 0 ? std::nanf("") : float(rng.generateDouble() * 100);
        }
        const QSize size(1200, 700);
        for (int round = 0; round < 3; ++round) {
            timer.restart();
            SeriesLayout::Points points{actual.data(), predicted.data(), kRows};
            const SeriesLayout::Plot plot = SeriesLayout::PlotSeries(points, 1, kRows, 1, 0, 100, 5, size);
            const double lines = ms(timer);
            const QImage image = SeriesLayout::Render(plot, size);
            std::printf("plot of %d rows on 1200 pixels: %.1f ms (rows to lines %.1f ms, %zu points)\n", kRows,
                        ms(timer), lines, plot.PointCount());
        }
    }
    QTemporaryDir dir;
    AppPaths::SetProgramFolder(dir.path() + "/program");
    const QString source = dir.path() + "/source.mdb";
    timer.restart();
    makeSource(source);
    std::printf("source of %d rows and %d inputs made in %.0f ms\n", kRows, kInputs, ms(timer));

    auto* main = new frmMain();
    gVeltra().SetMainForm(main);
    gVeltra().StatusBar().Initialize(main->MainStatusBar()->StatusBar());
    const ScopedService status(&Status::Install, &gVeltra().StatusBar());
    main->resize(1280, 900);
    main->show();
    ChartViews::Install();
    // Drill-downs and browses are not measured here.
    struct : IWindowCalls {
        void CloseBrowsers() override {}
    } noBrowsers;
    const ScopedService windows(&WindowCalls::Install, &noBrowsers);

    // --- Back-propagation: trained on 2,000 rows, tested on all 1,000,000 ------------------
    auto bp = std::make_shared<CBackProp>();
    bp->Initialize(dir.path() + "/bp.kvp");
    bp->Attach(source, "Data");
    configure(*bp, "Y", roleBPPredict);
    bp->State().SetTrainLow(1);
    bp->State().SetTrainHigh(2000);
    bp->State().SetTestLow(1);
    bp->State().SetTestHigh(kRows);
    bp->SaveConfig();
    for (int pass = 0; pass < 20; ++pass) {
        for (int k = 0; k < 5; ++k)
            bp->Train();
        bp->Verify();
    }
    bp->Revert();
    timer.restart();
    if (bp->Test() != TestOutcome::Done) {
        std::printf("back-propagation test failed\n");
        return 1;
    }
    std::printf("back-propagation project tested (%d rows) in %.0f ms\n", kRows, ms(timer));
    SetCurrentNetwork(bp);

    for (int round = 0; round < 2; ++round) {
        timer.restart();
        ChartViews::ShowScatter();
        frmScatter* scatter = child<frmScatter>(main);
        const QImage image = main->grab().toImage();
        std::printf("scatter chart opened and painted into an image (%dx%d): %.1f ms%s\n", image.width(),
                    image.height(), ms(timer), round == 0 ? " (first)" : "");
        if (round == 1 && scatter) {
            const int moves = 1000;
            timer.restart();
            for (int i = 0; i < moves; ++i) {
                scatter->GraphMouseMove(QPointF(10 + i % 500, 10 + i % 300), false);
                scatter->lblPos->repaint();
            }
            std::printf("mouse move read-out: %.3f ms each (%d moves)\n", ms(timer) / moves, moves);
        }
        modMenu::RemoveChildForms();
        flush();
    }

    ChartViews::ShowSeries();
    frmSeries* series = child<frmSeries>(main);
    if (!series)
        return 1;
    series->parentWidget()->showMaximized();
    flush();
    for (int zoom : {1, 8, 64}) {
        series->updZoom->setValue(zoom);
        QElapsedTimer wait;
        wait.start();
        while (series->Zoom() != float(zoom) && wait.elapsed() < 2000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
        double best = 1e9, drawn = 1e9;
        for (int i = 0; i < 5; ++i) {
            timer.restart();
            series->Redraw();
            drawn = std::min(drawn, ms(timer));
            series->grab();
            best = std::min(best, ms(timer));
        }
        std::printf("time series at zoom %d painted: %.1f ms (rows to lines %.1f ms, %zu plotted points)\n", zoom,
                    best, drawn, series->PlotLines().PointCount());
    }
    modMenu::RemoveChildForms();
    flush();
    std::printf("bare sqlite3 read of the %d joined rows (back-propagation): %.0f ms\n", kRows,
                bareRead(bp->State().ProjectFileName(), source, "Y"));
    SetCurrentNetwork(nullptr);

    // --- SFAM: the class list from the source; Test filled as a test leaves it ---------------
    for (const QString& column : {QString("Kind3"), QString("Kind256")}) {
        auto sf = std::make_shared<CSFam>();
        sf->Initialize(dir.path() + "/" + column + ".kvp");
        sf->Attach(source, "Data");
        configure(*sf, column, roleSFamPredict);
        sf->BuildClassList();
        sf->State().SetTrainLow(1);
        sf->State().SetTrainHigh(2000);
        sf->State().SetTestLow(1);
        sf->State().SetTestHigh(kRows);
        sf->SaveConfig();
        {
            // Every tenth row predicted as the next class, one row in a thousand without prediction.
            kdb::Database db = kdb::Database::Open(sf->State().ProjectFileName(), false, false);
            db.Execute("DROP TABLE IF EXISTS Test");
            db.Execute("CREATE TABLE Test (MainPrimaryKey INTEGER PRIMARY KEY, Predicted TEXT, Mark INTEGER)");
            const int n = column == "Kind3" ? 3 : 256;
            const QString prefix = column == "Kind3" ? "K" : "C";
            kdb::Transaction t(db);
            kdb::Statement ins = db.Prepare("INSERT INTO Test VALUES (?, ?, 0)");
            for (int r = 1; r <= kRows; ++r) {
                ins.Bind(1, int64_t(r));
                const int c = r % 10 == 0 ? (r + 1) % n : r % n;
                ins.Bind(2, r % 1000 == 7 ? QString("-123.456") : prefix + QString::number(c));
                while (ins.Step()) {
                }
                ins.Reset();
            }
            t.Commit();
        }
        SetCurrentNetwork(sf);
        {
            timer.restart();
            const MatrixCount count = MatrixCounting::Count(sf->State().ProjectFileName(), column, "ID");
            std::printf("confusion matrix of %d classes counted: %.0f ms\n", count.Count(), ms(timer));
        }
        for (int round = 0; round < 2; ++round) {
            timer.restart();
            ChartViews::ShowCMatrix();
            QCoreApplication::processEvents();
            frmMatrix* matrix = child<frmMatrix>(main);
            std::printf("confusion matrix of %d classes counted and shown: %.0f ms (%d rows counted)%s\n",
                        matrix ? matrix->Count().Count() : 0, ms(timer), matrix ? matrix->Count().total : 0,
                        round == 0 ? " (first)" : "");
            modMenu::RemoveChildForms();
            flush();
        }
        std::printf("bare sqlite3 read of the %d joined rows (%s): %.0f ms\n", kRows, qPrintable(column),
                    bareRead(sf->State().ProjectFileName(), source, column));
        SetCurrentNetwork(nullptr);
    }
    main->close();
    delete main;
    return 0;
}
