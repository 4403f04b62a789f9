// The results browser over a tested back-propagation project of 1,000,000 rows (10 inputs),
// with the real window offscreen: opened to its first rows, a jump to the last row, a sort by
// a source column, one mark toggled, Mark All in a filtered view, and the memory the open
// browse adds; beside them the bare sqlite3 time of the same queries in the same run.
#include "bench/support/benchsource.h"
#include "browse/browsegrid.h"
#include "browse/browsemodel.h"
#include "browse/browseviews.h"
#include "browse/currentbrowse.h"
#include "browse/builders.h"
#include "browse/frmbrowse.h"
#include "browse/testbrowse.h"
#include "core/apppaths.h"
#include "core/serviceslot.h"
#include "core/status.h"
#include "core/widgets/statusbar.h"
#include "core/widgets/veltra.h"
#include "data/datadef.h"
#include "data/projectschema.h"
#include "kdb/kdb.h"
#include "network/backprop.h"
#include "shell/frmmain.h"
#include "shell/modmenu.h"
#include "shell/navigate.h"
#include "shell/networkopener.h"
#include "browse/browseviews.h"
#include "browse/currentbrowse.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTableView>
#include <QThread>
#include <QTemporaryDir>
#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>
#include <functional>

namespace {
// The project file's link table.
const QString kLink = ProjectSchema::LinkTable();
} // namespace

namespace {
constexpr int kRows = 1000000;
constexpr int kInputs = 10;

void makeSource(const QString& path)
{
    BenchSource::Spec spec;
    spec.rows = kRows;
    spec.inputs = kInputs;
    // Whole numbers, so that a view of one value of it lists a few per cent of the rows.
    spec.y = [](const std::vector<double>& x, QRandomGenerator&) {
        double sum = 0;
        for (double v : x)
            sum += v;
        return std::round(sum / kInputs);
    };
    BenchSource::Make(path, spec);
}

long rssKb()
{
    QFile f("/proc/self/status");
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return 0;
}

double seconds(const std::function<void()>& f)
{
    QElapsedTimer t;
    t.start();
    f();
    return t.nsecsElapsed() / 1e9;
}

// Repaints the grid and lets the model read what the paint asked for, until `row` is read.
void showRow(frmBrowse* w, int row)
{
    for (int i = 0; i < 5 && !w->Model()->CachedRow(row); ++i) {
        w->tgBrowse->DataPane()->viewport()->repaint();
        w->tgBrowse->FixedPane()->viewport()->repaint();
        QCoreApplication::processEvents();
    }
}

// The same statement stepped to its end straight through sqlite3, with the link made as the
// program makes it (the source attached, a view in key order).
double bare(const QString& project, const QString& source, const QString& sql, const QList<kdb::Value>& params)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(project.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    RegisterBrowseFunctions(db);
    const QString attach = "ATTACH DATABASE '" + source + "' AS src; CREATE TEMP VIEW " + kLink
                           + " AS SELECT * FROM src.Data ORDER BY ID;";
    sqlite3_exec(db, attach.toUtf8().constData(), nullptr, nullptr, nullptr);
    QElapsedTimer t;
    t.start();
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &st, nullptr) != SQLITE_OK) {
        std::printf("bare prepare failed: %s\n", sqlite3_errmsg(db));
        sqlite3_close(db);
        return -1;
    }
    for (int i = 0; i < params.size(); ++i)
        sqlite3_bind_double(st, i + 1, params[i].toDouble());
    int64_t n = 0;
    while (sqlite3_step(st) == SQLITE_ROW)
        ++n;
    sqlite3_finalize(st);
    const double s = t.nsecsElapsed() / 1e9;
    sqlite3_close(db);
    return s;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    AppPaths::SetProgramFolder(dir.path() + "/program");
    const QString source = dir.path() + "/big.mdb";
    const QString project = dir.path() + "/big.kvp";

    QElapsedTimer timer;
    timer.start();
    makeSource(source);
    std::printf("source table: %d rows x %d inputs in %.1f s\n", kRows, kInputs, timer.nsecsElapsed() / 1e9);

    {
        auto bp = std::make_shared<CBackProp>();
        bp->Initialize(project);
        bp->Attach(source, "Data");
        CDataDef& ddo = *bp->State().DDO();
        ddo.GatherStats(false);
        for (int16_t i = 1; i <= ddo.NumFields(); ++i) {
            const QString name = ddo.FieldName(i);
            ddo.SetUserMatchType(i, name.startsWith('X') ? roleInput : name == "Y" ? roleBPPredict : roleUnused);
            ddo.SetUserMin(i, 0);
            ddo.SetUserMax(i, 100);
        }
        bp->State().SetTrainLow(1);
        bp->State().SetTrainHigh(2000);
        bp->State().SetTestLow(1);
        bp->State().SetTestHigh(kRows);
        bp->SaveConfig();
        for (int i = 0; i < 5; ++i)
            bp->Train();
        bp->Verify();
        timer.restart();
        if (bp->Test() != TestOutcome::Done) {
            std::printf("test failed\n");
            return 1;
        }
        std::printf("tested: %d Test rows in %.1f s\n\n", kRows, timer.nsecsElapsed() / 1e9);
        SetCurrentNetwork(bp);
    }

    auto* main = new frmMain();
    gVeltra().SetMainForm(main);
    gVeltra().StatusBar().Initialize(main->MainStatusBar()->StatusBar());
    const ScopedService status(&Status::Install, &gVeltra().StatusBar());
    gNavigate().Bind(main->MainToolBar());
    main->resize(1280, 900);
    main->show();
    BrowseViews::Install();
    QCoreApplication::processEvents();

    const long rssBefore = rssKb();
    frmBrowse* w = nullptr;
    const double open = seconds([&] {
        BrowseViews::BrowseTest();
        w = qobject_cast<frmBrowse*>(gBrowseForm().data());
        if (w)
            showRow(w, 0);
    });
    if (!w || !w->Model()->CachedRow(0)) {
        std::printf("the browse did not open\n");
        return 1;
    }
    std::printf("results opened, first rows shown:   %7.3f s  (target < 0.5 s)\n", open);
    // The rest of the key list comes from the loader while the first rows are on screen.
    const double whole = seconds([&] {
        while (w->Data1().Loading()) {
            QCoreApplication::processEvents();
            QThread::msleep(1);
        }
        QCoreApplication::processEvents();
    });
    const int rows = w->Model()->rowCount();
    std::printf("  the whole key list %.3f s later    [%d rows]\n", whole, rows);
    const double keyList = seconds([&] { w->Data1().Load(w->RecordSource()); w->Data1().WaitLoaded(); });
    std::printf("  the key list read again (first rows + loader): %.3f s\n", keyList);

    const double jump = seconds([&] {
        w->tgBrowse->DataPane()->scrollToBottom();
        showRow(w, rows - 1);
    });
    std::printf("jump to the last row:               %7.3f s  (target < 0.1 s)%s\n", jump,
                w->Model()->CachedRow(rows - 1) ? "" : "  NOT SHOWN");

    const int x5 = w->RecordSource().ColumnIndex({kLink, "X5", 0});
    const double sort = seconds([&] {
        w->tgBrowse->SetCurrent(0, x5);
        BrowseViews::SortASC();
        showRow(w, 0);
    });
    std::printf("sort by a source column (X5):       %7.3f s  (target < 2 s)\n", sort);

    auto* browser = dynamic_cast<CBrowseBase*>(gDataBrowse().get());
    browser->ToggleMark(0);   // the first write prepares its statement
    std::vector<double> marks;
    for (int i = 1; i <= 9; ++i)
        marks.push_back(seconds([&] { browser->ToggleMark(i); }));
    std::sort(marks.begin(), marks.end());
    std::printf("a mark toggled and written:         %7.3f ms (target < 10 ms; median of 9)\n", marks[4] * 1000);

    // A filtered view over every row whose prediction misses its actual value.
    BrowseQuery filtered = w->RecordSource();
    filtered.filter = BrowseQuery::Filter::Incorrect;
    filtered.sortKeys = {};
    w->SetRecordSource(filtered);
    w->Data1().WaitLoaded();
    const int64_t filteredRows = w->Data1().RowCount();
    const double markAll = seconds([&] { BrowseViews::MarkAllCurrent(-1); });
    std::printf("Mark All in a filtered view:        %7.3f s  (target < 2 s)  [%lld rows]\n", markAll,
                static_cast<long long>(filteredRows));

    // A view of the rows of one actual value: a few per cent of them.
    BrowseQuery some = filtered;
    some.filter = BrowseQuery::Filter::ClassPair;
    some.actualValue = kdb::Value(50.0);
    w->SetRecordSource(some);
    w->Data1().WaitLoaded();
    const int64_t someRows = w->Data1().RowCount();
    const double markSome = seconds([&] { BrowseViews::MarkAllCurrent(1); });
    std::printf("Mark All (toggle) in a smaller view: %7.3f s  (target < 2 s)  [%lld rows]\n", markSome,
                static_cast<long long>(someRows));

    const long rssAfter = rssKb();
    std::printf("memory the open browse adds:        %7.1f MB (target < 150 MB)\n\n", (rssAfter - rssBefore) / 1024.0);

    // The same queries straight through sqlite3.
    BrowseQuery plain = BrowseQueries::TestResults(*CurrentNetworkAs<CBackProp>()->State().DDO(), false);
    QList<kdb::Value> p;
    std::printf("bare sqlite3, key list of the results:       %7.3f s\n", bare(project, source, plain.KeyListSql(p), p));
    QStringList cols;
    for (const BrowseColumn& c : plain.columns)
        cols << c.Sql();
    p.clear();
    std::printf("bare sqlite3, every row of the results:      %7.3f s\n",
                bare(project, source, "SELECT " + cols.join(", ") + " FROM " + plain.FromSql() + plain.OrderSql(p), p));
    PushSortKey(plain.sortKeys, {kLink, "X5", 0}, false);
    p.clear();
    std::printf("bare sqlite3, key list sorted by X5:         %7.3f s\n", bare(project, source, plain.KeyListSql(p), p));

    dbUtilities::CloseBrowsers();
    {
        // The same writes straight through sqlite3: one mark, and the filtered Mark All.
        sqlite3* db = nullptr;
        sqlite3_open_v2(project.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
        RegisterBrowseFunctions(db);
        const QString attach = "ATTACH DATABASE '" + source
            + "' AS src; CREATE TEMP VIEW " + kLink + " AS SELECT * FROM src.Data ORDER BY ID;";
        sqlite3_exec(db, attach.toUtf8().constData(), nullptr, nullptr, nullptr);
        std::vector<double> one;
        for (int i = 100; i < 109; ++i) {
            const QByteArray sql = QString("UPDATE Test SET Mark = ~Mark WHERE MainPrimaryKey = %1").arg(i).toUtf8();
            one.push_back(seconds([&] { sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr); }));
        }
        std::sort(one.begin(), one.end());
        std::printf("bare sqlite3, one mark written:              %7.3f ms\n", one[4] * 1000);
        QList<kdb::Value> mp;
        const QByteArray all = filtered.MarkAllSql(1, mp).toUtf8();
        std::printf("bare sqlite3, the filtered Mark All:         %7.3f s\n",
                    seconds([&] { sqlite3_exec(db, all.constData(), nullptr, nullptr, nullptr); }));
        std::printf("bare sqlite3, every row of Test marked:      %7.3f s\n",
                    seconds([&] { sqlite3_exec(db, "UPDATE Test SET Mark = ~Mark", nullptr, nullptr, nullptr); }));
        sqlite3_close(db);
    }
    main->close();
    QCoreApplication::processEvents();
    return 0;
}
