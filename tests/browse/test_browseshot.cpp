// A picture of the results browser over the shipped sample, for looking at: runs only when
// KORVAN_SHOT_DIR names a folder (and KORVAN_SAMPLE the sample file) and saves
// browse-results.png there.
#include "browse/browsegrid.h"
#include "browse/testbrowse.h"
#include "tests/browse/browsefixture.h"

#include <QDir>
#include <QMdiArea>
#include <QScreen>
#include <QTableView>
#include <QTimer>

using namespace BrowseTest;

namespace {
class BrowseShot : public BrowseTestBase {};
}

TEST_F(BrowseShot, ResultsBrowserOnTheSample)
{
    const QString dir = qEnvironmentVariable("KORVAN_SHOT_DIR");
    const QString sample = qEnvironmentVariable("KORVAN_SAMPLE");
    if (dir.isEmpty() || sample.isEmpty())
        GTEST_SKIP() << "set KORVAN_SHOT_DIR and KORVAN_SAMPLE to take the picture";
    // The project stays in the picture folder, for a run of the real program over it.
    folder = dir + "/project";
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    const QString data = folder + "/sample.kvs";
    QFile::copy(sample, data);
    OpenTestedBackProp(data, "WeeklySales",
                       {{"Price", roleInput, 3, 5},
                        {"Advertising", roleInput, 0, 25},
                        {"Temperature", roleInput, -5, 30},
                        {"Sales", roleBPPredict, 200, 500}},
                       {1, 250, 251, 312}, 40);
    Exec("UPDATE Test SET Predicted = ? WHERE MainPrimaryKey = 255", {NoPrediction});
    Exec("UPDATE Test SET Mark = -1 WHERE MainPrimaryKey IN (253, 254, 258)");
    main->resize(1100, 640);
    BrowseViews::BrowseTest();
    auto* w = qobject_cast<frmBrowse*>(gBrowseForm().data());
    ASSERT_NE(w, nullptr);
    w->tgBrowse->SetCurrent(3, 6);
    BrowseViews::SortASC();   // by Advertising, underlined
    w->tgBrowse->SetCurrent(2, 2);
    for (int i = 0; i < 10; ++i) {
        QCoreApplication::processEvents();
        w->tgBrowse->DataPane()->viewport()->repaint();
    }
    QPixmap shot = main->grab();
    ASSERT_TRUE(shot.save(dir + "/browse-results.png"));
}
