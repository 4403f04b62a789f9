// The result views through the commands that open them, on small tested projects: the scatter
// chart's captions, statistics, read-out, status hint and drill-down; the time series' delayed
// zoom and scroll range; the confusion matrix's count, scroll synchronisation and drill-downs.
#include "charts/chartviews.h"
#include "charts/frmmatrix.h"
#include "charts/frmscatter.h"
#include "charts/frmseries.h"
#include "core/numformat.h"
#include "core/status.h"
#include "core/twips.h"
#include "core/widgets/hourglass.h"
#include "tests/charts/chartfixture.h"
#include "tests/network/netscript.h"
#include "training/testdialogs.h"
#include "tests/support/fakeprompter.h"
#include "tests/support/testenv.h"

#include <QApplication>
#include <QFontMetrics>
#include <QRandomGenerator>
#include <QSet>
#include <QLabel>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSpinBox>
#include <QTableView>
#include <QTest>
#include <array>

namespace {

template <class T>
T* findWindow()
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* t = qobject_cast<T*>(w); t && t->isVisible())
            return t;
        for (T* t : w->findChildren<T*>())
            if (t->isVisible())
                return t;
    }
    return nullptr;
}

void closeAll()
{
    modMenu::RemoveChildForms();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// A scripted project over eight rows (X1 = the row, Y = `y` declared `type`): Y's user range
// is lo..hi, rows 1-4 train and 5-8 test; its arrays are built. Null when they cannot be.
std::shared_ptr<ScriptedBackProp> eightRowsOf(const QString& folder, const QString& name,
                                              const std::array<kdb::Value, 8>& y, const QString& type, double lo,
                                              double hi)
{
    std::vector<QList<kdb::Value>> rows;
    for (int i = 1; i <= 8; ++i)
        rows.push_back({i, double(i), y[size_t(i - 1)]});
    const QString source = NetTest::MakeSource(folder, "Data", "X1 REAL, Y " + type, rows);
    auto bp = std::make_shared<ScriptedBackProp>();
    bp->Initialize(folder + "/" + name + ".kvp");
    bp->Attach(source, "Data");
    NetTest::Configure(*bp, {{"X1", roleInput, 0, 10}, {"Y", roleBPPredict, lo, hi}});
    bp->State().SetTrainLow(1);
    bp->State().SetTrainHigh(4);
    bp->State().SetTestLow(5);
    bp->State().SetTestHigh(8);
    bp->SaveConfig();
    return bp->BuildArrays(0) ? bp : nullptr;
}
// The same over numbers, Y's user range 0..20.
std::shared_ptr<ScriptedBackProp> eightRows(const QString& folder, const QString& name, const std::array<double, 8>& y)
{
    std::array<kdb::Value, 8> values;
    for (size_t i = 0; i < 8; ++i)
        values[i] = y[i];
    return eightRowsOf(folder, name, values, "REAL", 0, 20);
}

class ChartWindows : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = TestEnv::NewFolder("chartwindows");
        ChartViews::Install();
    }
    void TearDown() override { closeAll(); }
    FakePrompter prompts;
    ChartTest::MainWindow window;
    RecordingHost host;
    ChartTest::RecordingViews views;
    QString folder;
};

} // namespace

TEST_F(ChartWindows, ScatterShowsTheTestAndDrillsDownAtThePoint)
{
    auto bp = ChartTest::TestedBackProp(folder);
    ChartViews::ShowScatter();
    frmScatter* form = findWindow<frmScatter>();
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->windowTitle(), "Scatter Graph Of Actual vs. Predicted");
    EXPECT_EQ(gVeltra().StatusBar().Panel(1).Text().trimmed(), "Test Set results");
    EXPECT_EQ(form->lblTrainRows->text(), "Trained: 1 to 300");
    EXPECT_EQ(form->lblTestRows->text(), " Tested: 301 to 400");
    EXPECT_EQ(form->AxisFormat(), "0"); // range 4..21
    form->Activate();
    EXPECT_EQ(form->Statistic(0)->text(), NumFormat::FormatSingle(bp->State().CurrentError(), "0.00") + "%");
    EXPECT_TRUE(form->Statistic(1)->text().endsWith("    "));
    EXPECT_FALSE(form->Statistic(3)->text().isEmpty());

    // The plot's centre reads the middle of the scale, 12.5, in the axis format.
    ScatterPlot* plot = form->Graph();
    ASSERT_GT(plot->width(), 10);
    form->GraphMouseMove(QPointF(plot->width() / 2.0, plot->height() / 2.0), false);
    EXPECT_NEAR(form->LastPredicted(), 12.5, 1e-4);
    EXPECT_NEAR(form->LastActual(), 12.5, 1e-4);
    EXPECT_TRUE(form->lblPos->text().startsWith("(P=1")) << form->lblPos->text().toStdString();
    EXPECT_TRUE(form->lblPos->text().endsWith(", D=0)"));
    EXPECT_TRUE(form->lblPos->isVisible());
    // Moving off the plot and back never loses the saved status text.
    Status::Message("Test Set results");
    form->FormMouseMove(false);
    EXPECT_FALSE(form->lblPos->isVisible());

    form->GraphMouseMove(QPointF(0, 0), false);
    const double p = form->LastPredicted(), a = form->LastActual();
    EXPECT_NEAR(p, 4 - 17 * 0.005, 1e-4);
    EXPECT_NEAR(a, 21 + 17 * 0.005, 1e-4);
    form->GraphDoubleClick();
    EXPECT_TRUE(views.calls.isEmpty()); // posted: the browse closes this window
    QCoreApplication::processEvents();
    ASSERT_EQ(views.calls.size(), 1);
    const QStringList args = views.calls[0].mid(15).chopped(1).split(','); // BrowseOutlyers(p,a)
    ASSERT_EQ(args.size(), 2);
    EXPECT_EQ(args[0].toDouble(), p);
    EXPECT_EQ(args[1].toDouble(), a);
    EXPECT_TRUE(prompts.Boxes().empty());
}

// A chart opened by a long command (a new testing range re-tests under the hourglass, which
// keeps the child windows from being activated) shows its four figures at once.
TEST_F(ChartWindows, ChartFiguresAreFilledWhenShownUnderTheHourglass)
{
    auto bp = ChartTest::TestedBackProp(folder);
    {
        CHourglass busy(true);
        ChartViews::ShowScatter();
    }
    frmScatter* scatter = findWindow<frmScatter>();
    ASSERT_NE(scatter, nullptr);
    EXPECT_EQ(scatter->Statistic(0)->text(), NumFormat::FormatSingle(bp->State().CurrentError(), "0.00") + "%");
    for (int k = 1; k < 4; ++k)
        EXPECT_FALSE(scatter->Statistic(k)->text().trimmed().isEmpty()) << k;
    {
        CHourglass busy(true);
        ChartViews::ShowSeries();
    }
    frmSeries* series = findWindow<frmSeries>();
    ASSERT_NE(series, nullptr);
    for (int k = 0; k < 4; ++k)
        EXPECT_FALSE(series->Statistic(k)->text().trimmed().isEmpty()) << k;
}

// Every figure is measured against the rows' own actual values, not against the user range's
// clamped forms that the engine sees; the correlation is Pearson's r. A small table whose
// figures are worked out by hand: rows 1-4 train, 5-8 test, Y's user range is 0..20 and one
// row of each lies above it.
TEST_F(ChartWindows, FiguresMeasureTheRowsOwnValuesAndTheCorrelationIsPearsonsR)
{
    auto bp = eightRows(folder, "hand", {2, 4, 6, 40, 5, 10, 15, 30});
    ASSERT_TRUE(bp);
    // The network predicts 3, 4, 5, 10 for the training rows and 6, 9, 15, 19 for the testing
    // rows; the engine's own error (over clamped targets) is not what the windows show.
    bp->onScripted = [](ScriptedBackProp& net, EngineCommand) {
        net.Arrays().valueResults = net.State().TrainBuilt() ? std::vector<float>{0, 0.15f, 0.2f, 0.25f, 0.5f}
                                       : std::vector<float>{0, 0.3f, 0.45f, 0.75f, 0.95f};
    };
    bp->Answer(EngineRun, {375, 375});
    SetCurrentNetwork(bp);

    // Opening the chart closes the dialog windows; the dialog lives on the heap as in the program.
    QPointer<frmTestNetwork> dialog = new frmTestNetwork(bp);
    ASSERT_EQ(dialog->Start(), TestOutcome::Done);
    // Training: actual 2, 4, 6, 40 (mean 13), differences 1, 0, 1, 30.
    //   error 32 / 4 / 20 = 40%; RMS sqrt(902 / 4) = 15.02; SSE 902 / SST 980 = 0.920;
    //   r = 166 / sqrt(29 * 980) = 0.985 (the clamped 40 would give 0.700 from sqrt(1 - 0.51)).
    // Testing: actual 5, 10, 15, 30 (mean 15), differences 1, 1, 0, 11.
    //   error 13 / 4 / 20 = 16.25%; RMS sqrt(123 / 4) = 5.55; 123 / 350 = 0.351;
    //   r = 180 / sqrt(102.75 * 350) = 0.949.
    const std::array<QString, 8> expected{"40.00%", "15.02", "0.920", "0.985", "16.25%", "5.55", "0.351", "0.949"};
    EXPECT_EQ(dialog->Figures(), expected);
    EXPECT_NEAR(bp->State().CurrentError(), 16.25, 1e-4);
    EXPECT_NEAR(bp->ActualRMSError(), std::sqrt(123.0 / 4), 1e-4);
    EXPECT_NEAR(bp->UnexplainedVar(), 123.0 / 350, 1e-5);
    EXPECT_NEAR(bp->Correlation(), 180.0 / std::sqrt(102.75 * 350), 1e-5);
    // The figures agree with the Test rows' differences.
    {
        kdb::Database db = kdb::Database::Open(bp->State().ProjectFileName(), false, true);
        EXPECT_NEAR(db.Scalar("SELECT AVG(Difference) FROM Test").toDouble() / 20 * 100, bp->State().CurrentError(), 1e-4);
    }
    // The scatter chart shows the same figures.
    ChartViews::ShowScatter();
    frmScatter* form = findWindow<frmScatter>();
    ASSERT_NE(form, nullptr);
    form->Activate();
    EXPECT_EQ(form->Statistic(0)->text(), "16.25%");
    EXPECT_EQ(form->Statistic(1)->text(), "5.55    ");
    EXPECT_EQ(form->Statistic(2)->text(), "0.35");
    EXPECT_EQ(form->Statistic(3)->text(), "0.95");
    closeAll();

    // Predictions that do not vary have no correlation: "N/A", not a number.
    bp->onScripted = [](ScriptedBackProp& net, EngineCommand) { net.Arrays().valueResults = {0, 0.5f, 0.5f, 0.5f, 0.5f}; };
    bp->Answer(EngineRun, {0, 0});
    dialog = new frmTestNetwork(bp);
    ASSERT_EQ(dialog->Start(), TestOutcome::Done);
    EXPECT_EQ(dialog->Figures()[7], "N/A");
    ChartViews::ShowScatter();
    form = findWindow<frmScatter>();
    ASSERT_NE(form, nullptr);
    form->Activate();
    EXPECT_EQ(form->Statistic(3)->text(), "N/A");
    delete dialog;
}

// Both charts draw each testing row's own actual value, not its form clamped to the user
// range, and their scales reach every value they draw: Y's user range is 0..20, the testing
// rows hold -4, 10, 15 and 30 and are predicted as 6, 9, 15 and 19.
TEST_F(ChartWindows, ChartsDrawTheRowsOwnValuesOnScalesThatCoverThem)
{
    // The test predicts rows 5 to 8 at 0.3, 0.45, 0.75 and 0.95 of the user range.
    const auto tested = [](const std::shared_ptr<ScriptedBackProp>& net) {
        net->onScripted = [](ScriptedBackProp& n, EngineCommand) {
            n.Arrays().valueResults = {0, 0.3f, 0.45f, 0.75f, 0.95f};
        };
        net->Answer(EngineRun, {0});
        const TestOutcome outcome = net->Test();
        SetCurrentNetwork(net);
        return outcome;
    };
    auto bp = eightRows(folder, "beyond", {2, 4, 6, 8, -4, 10, 15, 30});
    ASSERT_TRUE(bp);
    ASSERT_EQ(tested(bp), TestOutcome::Done);

    ChartViews::ShowScatter();
    frmScatter* scatter = findWindow<frmScatter>();
    ASSERT_NE(scatter, nullptr);
    EXPECT_EQ(scatter->Layout().ylText, "-4");
    EXPECT_EQ(scatter->Layout().yhText, "30");
    EXPECT_EQ(scatter->Layout().xhText, "30");
    // The row (P 19, A 30) is a dot at its own place, not on the top edge at 20.
    const QSize size(341, 341);
    const QImage image = scatter->Render(size);
    const ScatterLayout::Scale scale = ScatterLayout::PlotScale(-4, 30);
    const int px = int((19 - scale.left) / (scale.right - scale.left) * size.width());
    const int py = int((scale.top - 30) / (scale.top - scale.bottom) * size.height());
    EXPECT_EQ(image.pixelColor(px, py), QColor(255, 0, 0));
    EXPECT_EQ(image.pixelColor(px, int((scale.top - 20) / (scale.top - scale.bottom) * size.height())),
              QColor(Qt::white));
    closeAll();

    ChartViews::ShowSeries();
    frmSeries* series = findWindow<frmSeries>();
    ASSERT_NE(series, nullptr);
    EXPECT_EQ(series->Layout().ylText, "-4");
    EXPECT_EQ(series->Layout().yhText, "30");
    // The actual line: -4 on the bottom edge, 30 on the top, 10 at 20/34 of the height.
    const QSize plot = Twips::ToWholePixels(series->Layout().graph).size();
    const auto actualAt = [&](int row) {
        const double x = plot.width() * (row - 5) / 3.0;
        double best = 1e9, at = -1;
        for (const auto& run : series->PlotLines().lines[2])
            for (const QPointF& p : run)
                if (std::fabs(p.x() - x) < best) {
                    best = std::fabs(p.x() - x);
                    at = p.y();
                }
        return at;
    };
    EXPECT_NEAR(actualAt(5), plot.height(), 0.01);
    EXPECT_NEAR(actualAt(6), plot.height() * 20.0 / 34.0, 0.01);
    EXPECT_NEAR(actualAt(8), 0, 0.01);
    EXPECT_TRUE(prompts.Boxes().empty());
    closeAll();

    // A Time prediction reads as times of day on both charts and in the read-out, not as
    // fractions of a day.
    auto times = eightRowsOf(folder, "times",
                             {"06:00:00", "08:00:00", "10:00:00", "12:00:00", "09:00:00", "12:00:00", "15:00:00",
                              "18:00:00"},
                             "TIME", 0.25, 0.75);
    ASSERT_TRUE(times);
    ASSERT_EQ(tested(times), TestOutcome::Done);
    ChartViews::ShowScatter();
    scatter = findWindow<frmScatter>();
    ASSERT_NE(scatter, nullptr);
    EXPECT_EQ(scatter->Layout().ylText, "06:00:00");
    EXPECT_EQ(scatter->Layout().xhText, "18:00:00");
    const QSize graph = scatter->Graph()->size();
    scatter->GraphMouseMove(QPointF(graph.width() / 2.0, graph.height() / 4.0), false);
    EXPECT_TRUE(QRegularExpression(R"(^\(P=1[12]:[0-5]\d:[0-5]\d, A=1[45]:[0-5]\d:[0-5]\d, D=0[23]:[0-5]\d:[0-5]\d\)$)")
                    .match(scatter->lblPos->text())
                    .hasMatch())
        << scatter->lblPos->text().toStdString();
    closeAll();
    ChartViews::ShowSeries();
    series = findWindow<frmSeries>();
    ASSERT_NE(series, nullptr);
    EXPECT_EQ(series->Layout().ylText, "06:00:00");
    EXPECT_EQ(series->Layout().yhText, "18:00:00");
    EXPECT_TRUE(prompts.Boxes().empty());
}

TEST_F(ChartWindows, SeriesZoomWaitsForTheLastChangeAndKeepsTheScrollInRange)
{
    auto bp = ChartTest::TestedBackProp(folder, 5);
    ChartViews::ShowSeries();
    QTest::qWait(50); // the maximised window settles at its size
    frmSeries* form = findWindow<frmSeries>();
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->PointCount(), 100);
    EXPECT_EQ(form->Layout().xlText, "301");
    EXPECT_EQ(form->Layout().xhText, "400");
    EXPECT_GT(form->PlotLines().PointCount(), 0u);

    // Three spinner changes within 100 ms: one redraw, at the last value.
    const int before = form->Redraws();
    form->updZoom->setValue(2);
    form->updZoom->setValue(3);
    form->updZoom->setValue(4);
    EXPECT_EQ(form->Redraws(), before);
    // The delay may run late on a busy machine.
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->Zoom() != 1.0f; }, 5000));
    EXPECT_EQ(form->Redraws(), before + 1);
    EXPECT_EQ(form->Zoom(), 4.0f);
    EXPECT_EQ(form->hscGraph->maximum(), 30);

    // At the end of the scroll range, zoom 2: the value drops to the new maximum, one redraw,
    // the window ends at TestHigh.
    form->hscGraph->setValue(30);
    const int atEnd = form->Redraws();
    form->ZoomClick(true); // 4 -> 2
    EXPECT_EQ(form->updZoom->value(), 2);
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->Zoom() != 4.0f; }, 5000));
    EXPECT_EQ(form->hscGraph->maximum(), 10);
    EXPECT_EQ(form->hscGraph->value(), 10);
    EXPECT_EQ(form->Redraws(), atEnd + 1);
    EXPECT_EQ(form->Layout().xhText, "400");
    EXPECT_EQ(form->Layout().xlText, "350");
    EXPECT_TRUE(prompts.Boxes().empty());
}

TEST_F(ChartWindows, MatrixCountsScrollsTogetherAndDrillsDown)
{
    auto sf = ChartTest::TestedSFam(folder);
    ChartViews::ShowCMatrix();
    frmMatrix* form = findWindow<frmMatrix>();
    ASSERT_NE(form, nullptr);
    const MatrixCount& m = form->Count();
    ASSERT_EQ(m.Count(), 3);
    EXPECT_GT(m.total, 90);
    EXPECT_LE(m.total, 100);
    EXPECT_EQ(form->lblSumTotal->text(), QString::number(m.total));
    EXPECT_EQ(form->Grid->model()->index(1, 1).data(Qt::BackgroundRole).value<QColor>(), QColor(255, 255, 0));
    EXPECT_EQ(form->tdbSumActual->model()->index(1, 0).data().toString(), m.ColumnRate(0));

    // A small window: fewer rows and columns show, and the four grids scroll together.
    form->resize(420, 260);
    EXPECT_LT(form->Sizes().visibleColumns, 3);
    EXPECT_TRUE(form->hscCol->isEnabled());
    form->hscCol->setValue(1);
    EXPECT_EQ(form->Grid->horizontalScrollBar()->value(), 1);
    EXPECT_EQ(form->tdbSumActual->horizontalScrollBar()->value(), 1);
    // Whatever the width, the scroll bar's end shows the last class column whole.
    for (int width = 360; width <= 640; width += 8) {
        form->resize(width, 260);
        form->hscCol->setValue(form->hscCol->maximum());
        for (QTableView* grid : {form->Grid, form->tdbSumActual}) {
            EXPECT_EQ(grid->horizontalScrollBar()->value(), form->hscCol->maximum()) << width;
            EXPECT_LE(grid->columnViewportPosition(2) + grid->columnWidth(2), grid->viewport()->width()) << width;
        }
    }
    form->resize(900, 600);
    EXPECT_FALSE(form->hscCol->isEnabled());
    EXPECT_FALSE(form->vscRow->isEnabled());

    // Each drill-down names exactly its rows: a cell (predicted, actual), a heading or a
    // column total (any predicted, the actual class), a class or a row total (the predicted
    // class, any actual). An empty cell does nothing.
    int zeroRow = -1, zeroCol = -1;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            if (m.At(r, c) == 0 && zeroRow < 0) {
                zeroRow = r;
                zeroCol = c;
            }
    EXPECT_TRUE(form->DrillGrid(0, 0));
    EXPECT_TRUE(form->DrillGrid(-1, 2));
    EXPECT_TRUE(form->DrillClasses(1));
    EXPECT_TRUE(form->DrillSumPredicted(2));
    EXPECT_TRUE(form->DrillSumActual(1));
    if (zeroRow >= 0) {
        EXPECT_FALSE(form->DrillGrid(zeroRow, zeroCol));
    }
    EXPECT_FALSE(form->DrillGrid(0, 5));
    QCoreApplication::processEvents();
    EXPECT_EQ(views.calls, QStringList({"BrowseOutlyers(Amber,Amber)", "BrowseOutlyers(,Cobalt)", "BrowseOutlyers(Briar,)",
                                        "BrowseOutlyers(Cobalt,)", "BrowseOutlyers(,Briar)"}));
    EXPECT_TRUE(prompts.Boxes().empty());
}

TEST_F(ChartWindows, MatrixNamesOfOneStartNeverReadAlike)
{
    QRandomGenerator rng(5);
    const QString names[] = {"General Electric", "General Motors", "General Mills"};
    std::vector<QList<kdb::Value>> rows;
    for (int i = 1; i <= 300; ++i) {
        const int c = int(rng.bounded(3));
        rows.push_back({i, c * 4 + rng.generateDouble() * 3, rng.generateDouble() * 10, names[c]});
    }
    const QString source = NetTest::MakeSource(folder, "Data", "X1 REAL, X2 REAL, Maker TEXT", rows);
    ChartTest::TestedSFam(folder + "/makers.kvp", source, "Data",
                          {{"X1", roleInput, 0, 12}, {"X2", roleInput, 0, 10}, {"Maker", roleSFamPredict}});
    ChartViews::ShowCMatrix();
    frmMatrix* form = findWindow<frmMatrix>();
    ASSERT_NE(form, nullptr);
    ASSERT_EQ(form->Count().Count(), 3);
    QFont bold = form->Grid->font();
    bold.setBold(true);
    const QFontMetrics metrics(bold);
    // Shown across the top and down the left; each stands whole in its column, apart from the
    // others, with the whole name as its tip.
    const auto shown = [&](QTableView* view, bool heading) {
        QStringList texts;
        for (int i = 0; i < 3; ++i) {
            const auto at = [&](int role) {
                return heading ? view->model()->headerData(i, Qt::Horizontal, role)
                               : view->model()->index(i, 0).data(role);
            };
            const QString text = at(Qt::DisplayRole).toString();
            EXPECT_LT(metrics.horizontalAdvance(text), view->columnWidth(heading ? i : 0)) << text.toStdString();
            EXPECT_EQ(at(Qt::ToolTipRole).toString(), form->Count().classes[size_t(i)]);
            texts << text;
        }
        return texts;
    };
    for (const QStringList& texts : {shown(form->Grid, true), shown(form->tdbClasses, false)}) {
        EXPECT_EQ(QSet<QString>(texts.begin(), texts.end()).size(), 3) << texts.join(" | ").toStdString();
        for (const QString& text : texts)
            EXPECT_FALSE(text.startsWith("General")) << text.toStdString();
    }
    EXPECT_TRUE(prompts.Boxes().empty());
}
