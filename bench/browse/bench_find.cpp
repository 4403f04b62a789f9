// Find Next over the results of a tested back-propagation project of 1,000,000 rows, for a
// value that only the last row holds (by text, by Like pattern, by number), and one what-if
// prediction of the interactive row; the real windows, offscreen.
#include "browse/browsegrid.h"
#include "browse/browseviews.h"
#include "browse/builders.h"
#include "browse/finddialog.h"
#include "browse/findviews.h"
#include "browse/currentbrowse.h"
#include "browse/frmbrowse.h"
#include "browse/imode.h"
#include "core/apppaths.h"
#include "core/serviceslot.h"
#include "core/status.h"
#include "core/widgets/commandbar.h"
#include "core/widgets/statusbar.h"
#include "core/widgets/toolnames.h"
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
#include "browse/findviews.h"
#include "browse/currentbrowse.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
constexpr int kRows = 1000000;

// Readings: three inputs, a tag text per row and the value to predict.
void makeReadings(const QString& path)
{
    kdb::Database db = kdb::Database::Create(path);
    db.Execute("CREATE TABLE Readings (ID INTEGER PRIMARY KEY, A REAL, B REAL, C REAL, Tag TEXT, Y REAL)");
    kdb::Transaction t(db);
    kdb::Statement ins = db.Prepare("INSERT INTO Readings VALUES (?,?,?,?,?,?)");
    for (int r = 1; r <= kRows; ++r) {
        const double a = (r % 97) + 0.5, b = (r % 89) * 0.5, c = (r % 83) * 0.25;
        ins.Run({r, a, b, c, QString("tag-%1").arg(r), (a + b + c) / 3.0});
    }
    t.Commit();
}

double ms(QElapsedTimer& t)
{
    return t.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    AppPaths::SetProgramFolder(dir.path() + "/program");
    const QString source = dir.path() + "/readings.mdb";
    QElapsedTimer timer;
    timer.start();
    makeReadings(source);
    {
        auto bp = std::make_shared<CBackProp>();
        bp->Initialize(dir.path() + "/readings.kvp");
        bp->Attach(source, "Readings");
        CDataDef& ddo = *bp->State().DDO();
        ddo.GatherStats(false);
        for (int16_t i = 1; i <= ddo.NumFields(); ++i) {
            const QString name = ddo.FieldName(i);
            ddo.SetUserMatchType(i, name.size() == 1 && name != "Y" ? roleInput : name == "Y" ? roleBPPredict : roleUnused);
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
        if (bp->Test() != TestOutcome::Done) {
            std::printf("test failed\n");
            return 1;
        }
        SetCurrentNetwork(bp);
    }
    std::printf("tested project of %d rows ready in %.1f s\n\n", kRows, timer.nsecsElapsed() / 1e9);

    auto* main = new frmMain();
    gVeltra().SetMainForm(main);
    gVeltra().StatusBar().Initialize(main->MainStatusBar()->StatusBar());
    const ScopedService status(&Status::Install, &gVeltra().StatusBar());
    gNavigate().Bind(main->MainToolBar());
    main->resize(1280, 900);
    main->show();
    BrowseViews::Install();
    FindViews::Install();
    main->MainToolBar()->SetChecked(ToolName::ShowIMode, true);
    BrowseViews::BrowseTest();
    auto* w = qobject_cast<frmBrowse*>(gBrowseForm().data());
    if (!w || !gIMode()) {
        std::printf("the browse did not open\n");
        return 1;
    }
    w->Data1().WaitLoaded();   // the key list whole, as it is a moment after opening
    const int64_t rows = w->Data1().RowCount();
    const int tag = w->RecordSource().ColumnIndex({ProjectSchema::LinkTable(), "Tag", 0});
    const int a = w->RecordSource().ColumnIndex({ProjectSchema::LinkTable(), "A", 0});

    // Find Next from the first row for what only the last row holds.
    auto find = [&](int column, const QString& text, bool matchCase) {
        w->tgBrowse->SetCurrent(0, column);
        FindViews::MenuFind();
        frmFind* f = frmFind::Existing();
        f->cmbFind->setEditText(text);
        f->chkMatchCase->setChecked(matchCase);
        QElapsedTimer t;
        t.start();
        f->cmdFindNext->click();
        const double took = ms(t);
        if (w->tgBrowse->CurrentRow() != rows - 1)
            std::printf("  (stopped on row %d of %lld: %s)\n", w->tgBrowse->CurrentRow(), static_cast<long long>(rows),
                        qPrintable(f->windowTitle()));
        return std::make_pair(took, w->tgBrowse->CurrentRow() == rows - 1);
    };
    const auto [exact, exactOk] = find(tag, QString("tag-%1").arg(kRows), true);
    std::printf("Find Next, text with Match Case, last row:  %8.1f ms (target < 1000 ms)%s\n", exact, exactOk ? "" : "  NOT FOUND");
    const auto [like, likeOk] = find(tag, QString("TAG-%1*").arg(kRows), false);
    std::printf("Find Next, Like pattern, last row:          %8.1f ms (target < 1000 ms)%s\n", like, likeOk ? "" : "  NOT FOUND");
    // A in the last row: 1000000 % 97 + 0.5 = 27.5; the same value stands in many rows, so
    // the search stops at the first one after row 0.
    const auto [number, numberOk] = find(a, "27.5", true);
    std::printf("Find Next, number, first match:             %8.1f ms%s\n", number, numberOk ? "  (last row)" : "");
    // Without Match Case a number column compares the grid's text of every value: a value no
    // row shows reads the whole column.
    const auto [shown, shownOk] = find(a, "27.51", false);
    std::printf("Find Next, number as shown, no match:       %8.1f ms%s\n", shown, shownOk ? "  (last row)" : "");
    const auto [predicted, predictedOk] = find(2, "-1", false);
    std::printf("Find Next, prediction as shown, no match:   %8.1f ms%s\n", predicted, predictedOk ? "  (last row)" : "");
    const auto [wild, wildOk] = find(2, "-1*", false);
    std::printf("Find Next, prediction by pattern, no match: %8.1f ms%s\n", wild, wildOk ? "  (last row)" : "");

    // One what-if prediction: the edit checked, the row gathered, the network asked.
    IModeModel* m = gIMode()->Model();
    m->setData(m->index(0, a), "10");   // the first prediction makes the network ready
    std::vector<double> times;
    for (int i = 0; i < 9; ++i) {
        QElapsedTimer t;
        t.start();
        m->setData(m->index(0, a), QString::number(20 + i));
        times.push_back(ms(t));
    }
    std::sort(times.begin(), times.end());
    std::printf("one what-if prediction:                     %8.3f ms (target < 20 ms; median of 9) -> %s\n", times[4],
                qPrintable(m->Text(gIMode()->PredictedColumn())));
    dbUtilities::CloseBrowsers();
    main->close();
    QCoreApplication::processEvents();
    return 0;
}
