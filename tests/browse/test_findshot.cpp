// Pictures of the SFAM results browser on the shipped Seeds sample, the whole-table browser,
// the find dialog over a browse and interactive mode with a prediction, for looking at: runs
// only when KORVAN_SHOT_DIR names a folder (and KORVAN_SAMPLE the sample file).
#include "browse/browsegrid.h"
#include "browse/finddialog.h"
#include "browse/findviews.h"
#include "browse/imode.h"
#include "browse/sfambrowse.h"
#include "core/widgets/toolnames.h"
#include "tests/browse/browsefixture.h"

#include <QComboBox>
#include <QPainter>
#include <QScreen>
#include <QPushButton>
#include <QTableView>

using namespace BrowseTest;

namespace {

class FindShot : public BrowseTestBase {
protected:
    void Settle()
    {
        for (int i = 0; i < 10; ++i) {
            QCoreApplication::processEvents();
            if (auto* w = qobject_cast<frmBrowse*>(gBrowseForm().data())) {
                w->tgBrowse->DataPane()->viewport()->repaint();
                w->tgBrowse->FixedPane()->viewport()->repaint();
            }
        }
    }
    void Save(const QString& name, QWidget* over = nullptr)
    {
        Settle();
        QPixmap shot = main->grab();
        if (over && QGuiApplication::platformName() == "xcb") {
            // On a real (virtual) screen the dialog is taken with its caption.
            QCoreApplication::processEvents();
            const QRect r = main->frameGeometry();
            shot = QGuiApplication::primaryScreen()->grabWindow(0, r.x(), r.y(), r.width(), r.height());
        } else if (over) {
            // Without a window manager the dialog has no frame: its caption is drawn above it.
            QPainter p(&shot);
            const QPoint at = over->geometry().topLeft() - main->geometry().topLeft();
            const QRect bar(at.x(), at.y() - 22, over->width(), 22);
            p.fillRect(bar, QColor(60, 90, 150));
            p.setPen(Qt::white);
            p.drawText(bar.adjusted(8, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, over->windowTitle());
            p.drawPixmap(at, over->grab());
        }
        ASSERT_TRUE(shot.save(qEnvironmentVariable("KORVAN_SHOT_DIR") + "/" + name));
    }
};

} // namespace

TEST_F(FindShot, SeedsSampleBrowsersFindAndInteractiveMode)
{
    const QString dir = qEnvironmentVariable("KORVAN_SHOT_DIR");
    const QString sample = qEnvironmentVariable("KORVAN_SAMPLE");
    if (dir.isEmpty() || sample.isEmpty())
        GTEST_SKIP() << "set KORVAN_SHOT_DIR and KORVAN_SAMPLE to take the pictures";
    FindViews::Install();
    const QString data = folder + "/sample.kvs";
    QFile::copy(sample, data);
    auto sf = std::make_shared<CSFam>();
    sf->Initialize(folder + "/seeds.kvp");
    sf->Attach(data, "Seeds");
    SetRoles(*sf, {{"Length", roleInput, 4.5, 7.0},
                   {"Width", roleInput, 2.4, 4.0},
                   {"Weight", roleInput, 8, 22},
                   {"Hardness", roleInput, 30, 70},
                   {"Variety", roleSFamPredict, 0, 0}});
    sf->BuildClassList();
    sf->State().SetTrainLow(1);
    sf->State().SetTrainHigh(200);
    sf->State().SetTestLow(201);
    sf->State().SetTestHigh(300);
    sf->SaveConfig();
    for (int i = 0; i < 3; ++i)
        sf->Train();
    sf->Verify();
    ASSERT_EQ(sf->Test(), TestOutcome::Done);
    SetCurrentNetwork(sf);
    project = sf->State().ProjectFileName();
    // A few wrong predictions and one row without a prediction, so that the styles show.
    Exec("UPDATE Test SET Predicted = 'Cobalt' WHERE MainPrimaryKey IN (203, 207)");
    Exec("UPDATE Test SET Predicted = ? WHERE MainPrimaryKey = 205", {NoPredictionText()});
    Exec("UPDATE Test SET Mark = -1 WHERE MainPrimaryKey IN (202, 206)");
    main->resize(1100, 640);

    main->MainToolBar()->SetChecked(ToolName::ShowIMode, false);
    BrowseViews::BrowseTest();
    Save("sfam-results.png");

    // The find dialog over the browse, after a search.
    auto* w = qobject_cast<frmBrowse*>(gBrowseForm().data());
    ASSERT_NE(w, nullptr);
    w->tgBrowse->SetCurrent(0, 1);
    FindViews::MenuFind();
    Settle();   // the dialog's activation comes first, as it does for a user
    frmFind* f = frmFind::Existing();
    ASSERT_NE(f, nullptr);
    f->cmbFind->setEditText("cob*");
    f->cmdFindNext->click();
    Save("find-dialog.png", f);
    f->hide();

    // Interactive mode with a prediction.
    main->MainToolBar()->SetChecked(ToolName::ShowIMode, true);
    BrowseViews::BrowseTest();
    w = qobject_cast<frmBrowse*>(gBrowseForm().data());
    ASSERT_NE(gIMode(), nullptr);
    w->tgBrowse->SetCurrent(4, 4);
    IModeModel* m = gIMode()->Model();
    const int length = w->RecordSource().ColumnIndex({ProjectSchema::LinkTable(), "Length", 0});
    m->setData(m->index(0, length), "6.3");
    Save("imode.png");

    // The whole table.
    BrowseViews::ShowDefBrowser();
    Save("browse-all.png");
}
