// The road on the shipped sample data in the program's main window: Finish tests and opens the
// scatter chart (WeeklySales) or the matrix (Seeds); the View tools open the other views and
// the Testing tool the test dialog. With KORVAN_SHOTS naming a folder, a picture of each view
// is saved there to be looked at (scatter, time series at zoom 1 and 8, matrix, both dialogs).
#include "charts/chartviews.h"
#include "charts/frmmatrix.h"
#include "charts/frmscatter.h"
#include "charts/frmseries.h"
#include "core/widgets/toolnames.h"
#include "tests/charts/chartfixture.h"
#include "tests/support/fakeprompter.h"
#include "tests/support/testenv.h"
#include "network/workflowflags.h"
#include "tests/support/modalanswerer.h"
#include "training/testdialogs.h"
#include "training/trainingviews.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

namespace {

QString samplePath()
{
    return QCoreApplication::applicationDirPath() + "/../share/korvan/samples/KorvanSample.kvs";
}

void save(QWidget* w, const QString& name)
{
    const QString folder = qEnvironmentVariable("KORVAN_SHOTS");
    if (folder.isEmpty() || !w)
        return;
    QDir().mkpath(folder);
    QTest::qWait(50);
    w->grab().save(folder + "/" + name + ".png");
}

template <class T>
T* child(QWidget* main)
{
    const auto all = main->findChildren<T*>();
    return all.isEmpty() ? nullptr : all.front();
}

} // namespace

// Finish of the training view: the test, then the result view of the project's kind.
void finish()
{
    gProcess().SetIsTrained(true);
    TrainingViews::MenuBProp();
    QCoreApplication::processEvents();
    modMenu::TrainBar(QString(ToolName::TrainBPExit).toUpper());
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// A tool of the main bar clicked, and the windows it closed gone.
void click(QWidget* main, const QString& tool)
{
    static_cast<frmMain*>(main)->MainToolBar_Click(BandName::Standard, tool, 0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST(ResultRoad, ShippedSamplesThroughFinishAndTheMenus)
{
    if (!QFile::exists(samplePath()))
        GTEST_SKIP() << "no sample file";
    FakePrompter prompts;
    ChartTest::MainWindow window;
    RecordingHost host;
    ChartTest::RecordingViews views;
    TrainingViews::Install();
    ChartViews::Install();
    window.main->resize(1100, 760);
    const QString folder = TestEnv::NewFolder("chartpictures");
    const QString data = folder + "/KorvanSample.kvs";
    QFile::copy(samplePath(), data);
    QFile::setPermissions(data, QFile::ReadOwner | QFile::WriteOwner);

    // WeeklySales: weeks 1..250 train, 251..312 test.
    auto bp = std::make_shared<CBackProp>();
    bp->Initialize(folder + "/sales.kvp");
    bp->Attach(data, "WeeklySales");
    NetTest::Configure(*bp, {{"WeekNo", roleInput, 1, 312},
                             {"Price", roleInput, 3, 5},
                             {"Advertising", roleInput, 0, 25},
                             {"Temperature", roleInput, -5, 30},
                             {"Promotion", roleInput, 0, 1},
                             {"Sales", roleBPPredict, 250, 575}});
    bp->State().SetTrainLow(1);
    bp->State().SetTrainHigh(250);
    bp->State().SetTestLow(251);
    bp->State().SetTestHigh(312);
    bp->SaveConfig();
    for (int pass = 0; pass < 150; ++pass) {
        for (int k = 0; k < 5; ++k)
            bp->Train();
        bp->Verify();
    }
    bp->Revert();
    SetCurrentNetwork(bp);
    gNavigate().Navigate(navTrained);
    // Finish tests and opens the scatter chart.
    finish();
    ASSERT_EQ(bp->State().TestBuilt(), true);
    frmScatter* scatter = child<frmScatter>(window.main);
    ASSERT_NE(scatter, nullptr);
    scatter->GraphMouseMove(QPointF(scatter->Graph()->width() * 0.6, scatter->Graph()->height() * 0.4), false);
    save(window.main, "scatter");
    // The View menu's tools.
    click(window.main, ToolName::Series);
    frmSeries* series = child<frmSeries>(window.main);
    ASSERT_NE(series, nullptr);
    EXPECT_EQ(child<frmScatter>(window.main), nullptr); // one result view at a time
    save(window.main, "series-zoom1");
    series->updZoom->setValue(8);
    EXPECT_TRUE(QTest::qWaitFor([&] { return series->Zoom() == 8.0f; }, 5000));
    save(window.main, "series-zoom8");
    click(window.main, ToolName::Scatter);
    EXPECT_NE(child<frmScatter>(window.main), nullptr);
    // The Run band's Testing menu: the test dialog, then the results browser.
    {
        ModalAnswerer answer;
        answer.Then([](QWidget* w) {
            auto* dialog = qobject_cast<frmTestNetwork*>(w);
            ASSERT_NE(dialog, nullptr);
            save(dialog, "testnetwork");
            dialog->cmdExit->click();
        });
        click(window.main, ToolName::TestBP);
    }
    EXPECT_EQ(views.Count("BrowseTest"), 1);
    modMenu::RemoveChildForms();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    // Seeds: rows 1..200 train, 201..300 test.
    auto sf = ChartTest::TestedSFam(folder + "/seeds.kvp", data, "Seeds",
                                    {{"Length", roleInput, 4, 8},
                                     {"Width", roleInput, 2, 5},
                                     {"Weight", roleInput, 5, 25},
                                     {"Hardness", roleInput, 20, 80},
                                     {"Variety", roleSFamPredict}});
    gNavigate().Navigate(navTrained);
    finish();
    // Finish's matrix keeps the test's figure; the tool's click says how to drill down.
    const auto statusText = [] { return gVeltra().StatusBar().StatusBar()->Panel(1).Text().trimmed(); };
    EXPECT_TRUE(statusText().startsWith("Test complete:")) << statusText().toStdString();
    frmMatrix* matrix = child<frmMatrix>(window.main);
    ASSERT_NE(matrix, nullptr);
    EXPECT_EQ(matrix->Count().Count(), 3);
    EXPECT_EQ(matrix->Count().total, 100);
    save(window.main, "matrix");
    click(window.main, ToolName::Matrix);
    EXPECT_NE(child<frmMatrix>(window.main), nullptr);
    EXPECT_EQ(statusText(), "SFAM Confusion Matrix - Double click any cell for details");
    {
        ModalAnswerer answer;
        answer.Then([](QWidget* w) {
            auto* dialog = qobject_cast<frmSFTest*>(w);
            ASSERT_NE(dialog, nullptr);
            save(dialog, "sftest");
            dialog->cmdClose->click();
        });
        click(window.main, ToolName::TestBP);
    }
    EXPECT_TRUE(prompts.Boxes().empty());
}
