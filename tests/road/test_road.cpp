// The road of one training run through the real program, as a user walks it: New, the
// configuration window with its roles and advanced limits, OK, the row split, a training run
// stopped by hand, Finish and what follows. Back-propagation over the sample's WeeklySales,
// SFAM over Seeds, and back-propagation over WeeklySales reached through ODBC.
#include "core/widgets/toolnames.h"
#include "data/projectschema.h"
#include "tests/road/roadfixture.h"

#include "browse/browsemodel.h"
#include "browse/browsegrid.h"
#include "browse/finddialog.h"
#include "browse/imode.h"
#include "browse/frmbrowse.h"
#include "charts/frmmatrix.h"
#include "charts/frmscatter.h"
#include "config/advancedmodel.h"
#include "config/advancedconfiguration.h"
#include "config/configureproject.h"
#include "config/rangeselector.h"
#include "config/splitdialog.h"
#include "core/prompts.h"
#include "core/widgets/helpwindow.h"
#include "core/widgets/commandbar.h"
#include "data/datadef.h"
#include "kdb/kdb.h"
#include "network/backprop.h"
#include "network/patternarrays.h"
#include "network/workflowflags.h"
#include "network/sfam.h"
#include "shell/modmenu.h"
#include "shell/networkopener.h"
#include "browse/currentbrowse.h"
#include "shell/windowcalls.h"
#include "tests/support/browsecell.h"
#include "tests/support/fulldisk.h"
#include "tests/support/modalanswerer.h"
#include "tests/support/odbcentryprompter.h"
#include "tests/support/splitanswer.h"
#include "tests/support/testenv.h"
#include "training/frmtrainbp.h"
#include "training/frmtrainsf.h"
#include "training/trainingviews.h"

#include <QApplication>
#include <QDateTime>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QItemSelectionModel>
#include <QSpinBox>
#include <QTableView>
#include <QTest>

#include <algorithm>
#include <map>

namespace {

const QString kDsn = QStringLiteral("KorvanRoad");

// A button of the window pressed as the user presses it.
void Press(QWidget* w, const char* name)
{
    auto* b = w ? w->findChild<QPushButton*>(QString::fromLatin1(name)) : nullptr;
    ASSERT_TRUE(b) << name;
    EXPECT_TRUE(b->isEnabled()) << name;
    b->click();
}

// The browse window the commands act on.
frmBrowse* Browser()
{
    return qobject_cast<frmBrowse*>(gBrowseForm().data());
}

int ColumnOf(frmBrowse* w, const QString& table, const QString& field)
{
    const auto& columns = w->RecordSource().columns;
    for (qsizetype i = 0; i < columns.size(); ++i)
        if (columns[i].field == field && columns[i].table == table)
            return int(i);
    return -1;
}

} // namespace

class Road : public RoadTest {
protected:
    // The step `act` taken first on a full disk (back-propagation) or under another program's
    // write lock (SFAM): it says so, and it leaves the workflow flags and the row ranges as they
    // were, in memory as in the file, so that nothing written later (the flags at the close)
    // stores half of it. The road then takes the step for real.
    void Obstructed(const QString& path, const std::function<void()>& act) { Obstructed(path, act, fullDisk); }
    void Obstructed(const QString& path, const std::function<void()>& act, bool full)
    {
        SCOPED_TRACE(Kind().toStdString() + (full ? ", full disk" : ", locked"));
        const auto held = [&] {
            const Steps s = StepsOf(path);
            QStringList state{QString::number(gProcess().Byte()),
                              QStringLiteral("%1%2%3%4").arg(s.configured).arg(s.split).arg(s.trained).arg(s.tested)};
            for (const char* key : {"TrainLow", "TrainHigh", "TestLow", "TestHigh"})
                state << Config(path, QString::fromLatin1(key));
            if (const CNetworkProject* net = CurrentNetwork())
                state << QStringLiteral("%1-%2 %3-%4")
                             .arg(net->State().TrainLow())
                             .arg(net->State().TrainHigh())
                             .arg(net->State().TestLow())
                             .arg(net->State().TestHigh());
            return state;
        };
        const QStringList before = held();
        prompts.AllowAnyBox();
        const size_t boxes = prompts.Boxes().size();
        {
            const SaveRefused refused(path, full);
            act();
            Flush();
        }
        EXPECT_GT(prompts.Boxes().size(), boxes);
        EXPECT_EQ(held(), before);
        prompts.Clear();
    }

    // New -> roles -> advanced limits -> OK -> split: the training window of the kind.
    CTrainWindow* Configure(const QString& newTool, const QString& project, const QString& table,
                            const QStringList& inputs, const QString& prediction, int rows,
                            const std::function<void(frmConfPrj*)>& source = {})
    {
        EXPECT_TRUE(On(newTool));
        EXPECT_FALSE(On(ToolName::Configure) || On(ToolName::Close));
        frmConfPrj* w = New(newTool, project);
        if (!w) {
            ADD_FAILURE() << "no configuration window";
            return nullptr;
        }
        EXPECT_TRUE(QFile::exists(folder + QLatin1Char('/') + project));
        if (source)
            source(w);
        else
            Browse(w, sample);
        auto* tables = w->findChild<QComboBox*>(QStringLiteral("cmbTableList"));
        EXPECT_GE(tables->findText(table), 0);
        w->ChooseTable(table);
        EXPECT_EQ(w->TableName(), table);
        EXPECT_EQ(Panel(QStringLiteral("User")), QStringLiteral(" %1 Rows ").arg(rows));
        GiveRoles(w, inputs, prediction);
        Shot(Kind() + QStringLiteral("-configure"));
        EXPECT_EQ(qsizetype(w->Rules().Inputs().size()), inputs.size());
        EXPECT_EQ(w->Rules().PredictionName(), prediction);

        // The advanced limits: the first input's lower bound a little lower, kept by OK.
        Press(w, "cmdAdvanced");
        Flush();
        frmConfigProj* a = frmConfigProj::Current();
        EXPECT_TRUE(a);
        if (a) {
            int row = -1;
            for (int r = 0; r < a->Model().rowCount(); ++r)
                if (a->Model().RowAt(r).name == inputs.first())
                    row = r;
            EXPECT_GE(row, 0);
            lowered = a->Model().RowAt(row).userMin - 1.0;
            EXPECT_TRUE(a->Model().SetBound(row, CFieldLimitsModel::colUserMin, QString::number(lowered, 'g', 17)));
            Shot(Kind() + QStringLiteral("-advanced"));
            Press(a, "cmdOK");
            Flush();
            EXPECT_EQ(frmConfigProj::Current(), nullptr);
            EXPECT_TRUE(w->mMinMaxChanged);
        }

        // OK, then the split: training rows and testing rows.
        const QString path = folder + QLatin1Char('/') + project;
        Obstructed(path, [&] { Press(w, "cmdOk"); });
        EXPECT_EQ(frmConfPrj::Current(), w);
        EXPECT_FALSE(gProcess().IsConfigured());
        {
            ModalAnswerer answer;
            answer.Then([this, rows](QWidget* d) {
                Shot(Kind() + QStringLiteral("-split"), d);
                SplitAnswer(1, trainHigh, trainHigh + 1, rows)(d);
            });
            Press(w, "cmdOk");
            EXPECT_TRUE(WaitFor([] { return TrainingViews::Window() != nullptr; }, 15000));
            EXPECT_EQ(answer.Answered(), 1);
        }
        Flush();
        EXPECT_EQ(frmConfPrj::Current(), nullptr);

        // What the project file now says.
        EXPECT_TRUE(gProcess().IsConfigured() && gProcess().IsSplit());
        EXPECT_FALSE(gProcess().IsTrained() || gProcess().IsTested());
        EXPECT_EQ(Config(path, QStringLiteral("TableName")), table);
        EXPECT_EQ(Config(path, QStringLiteral("TrainLow")), QStringLiteral("1"));
        EXPECT_EQ(Config(path, QStringLiteral("TrainHigh")), QString::number(trainHigh));
        EXPECT_EQ(Config(path, QStringLiteral("TestLow")), QString::number(trainHigh + 1));
        EXPECT_EQ(Config(path, QStringLiteral("TestHigh")), QString::number(rows));
        return TrainingViews::Window();
    }

    // A run started with the Train tool, left to the event loop, stopped with the Stop tool
    // once `passes` passes are done (or when it ends by itself).
    void TrainThenStop(CTrainWindow* w, int passes)
    {
        Click(ToolName::TrainBPTrain, false);
        EXPECT_TRUE(w->RunActive());
        EXPECT_FALSE(On(ToolName::TrainBPTrain) || On(ToolName::TrainBPExit));
        EXPECT_TRUE(WaitFor([&] { return !w->RunActive() || CurrentNetwork()->State().CyclesCompleted() >= passes; }));
        Shot(Kind() + QStringLiteral("-training"));
        if (w->RunActive()) {
            EXPECT_TRUE(On(ToolName::TrainBPStop));
            Click(ToolName::TrainBPStop);
            EXPECT_TRUE(WaitFor([&] { return !w->RunActive(); }));
        }
        EXPECT_TRUE(On(ToolName::TrainBPExit));
        EXPECT_TRUE(On(ToolName::TrainBPReset));
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);

        // A reset the file refuses keeps the training.
        const int64_t cycles = CurrentNetwork()->State().CyclesCompleted();
        Obstructed(CurrentNetwork()->State().ProjectFileName(), [this] {
            prompts.ExpectBox(MsgResult::Yes);
            Click(ToolName::TrainBPReset);
        });
        EXPECT_EQ(CurrentNetwork()->State().CyclesCompleted(), cycles);
        EXPECT_TRUE(gProcess().IsTrained());
    }

    // Finish: the test over the testing rows, then the result view of the kind.
    void Finish(const QString& path, int64_t testRows)
    {
        Obstructed(path, [this] { Click(ToolName::TrainBPExit); });
        EXPECT_FALSE(gProcess().IsTested());
        EXPECT_TRUE(TrainingViews::Window());
        prompts.AllowAnyBox();
        Click(ToolName::TrainBPExit);
        EXPECT_TRUE(WaitFor([&] { return gProcess().IsTested(); }));
        Flush();
        for (const MessageRequest& box : prompts.Boxes())
            ADD_FAILURE() << "box: " << box.title.toStdString() << " / " << box.text.toStdString();
        prompts.AllowAnyBox(false);
        EXPECT_EQ(Rows(path, QStringLiteral("Test")), testRows);
        EXPECT_TRUE(On(ToolName::TestBP));
        Shot(Kind() + QStringLiteral("-finish"));
    }
    // Close: every step the walk made is in the project file.
    void CloseAndCheck(const QString& path)
    {
        Click(ToolName::Close);
        EXPECT_EQ(CurrentNetwork(), nullptr);
        EXPECT_FALSE(On(ToolName::Close) || On(ToolName::Configure));
        const Steps steps = StepsOf(path);
        EXPECT_TRUE(steps.configured && steps.split && steps.trained && steps.tested);
    }
    void FinishBackProp(const QString& path)
    {
        Finish(path, 312 - trainHigh);
    }
    void FinishSfam(const QString& path)
    {
        Finish(path, 300 - trainHigh);
    }

    // The results browser: sorted by a source column, one row marked with a double click,
    // Mark All and Unmark All, three rows selected and marked, those exported.
    void SortMarkExport(const QString& path, const QString& table, const QString& field, int64_t rows)
    {
        frmBrowse* w = Browser();
        ASSERT_TRUE(w);
        EXPECT_EQ(w->RowCount(), rows);
        EXPECT_EQ(w->windowTitle(), ResultsTitle());
        EXPECT_TRUE(On(ToolName::SortAsc) && On(ToolName::MarkAll) && On(ToolName::Export));
        const int col = ColumnOf(w, table, field);
        ASSERT_GE(col, 0);
        EXPECT_EQ(HelpWindow::PageFor(modMenu::HelpContextOf(w)),
                  CurrentKind() == ntBackProp ? QStringLiteral("qrc:/help/test-results.html") : QStringLiteral("qrc:/help/sfam-results.html"));

        // Find: a value that stands once in the column, searched downwards from the top. (The
        // SFAM browser sorts by the column the find dialog searched last.)
        QStringList texts;
        for (int r = 0; r < rows; ++r)
            texts << Cell(w, r, col).toString();
        int once = -1;
        for (int r = 5; r < rows && once < 0; ++r)
            if (texts.count(texts[r]) == 1)
                once = r;
        ASSERT_GE(once, 0);
        w->tgBrowse->SetCurrent(0, col);
        Click(ToolName::Find);
        frmFind* find = frmFind::Existing();
        ASSERT_TRUE(find);
        EXPECT_TRUE(find->isVisible());
        find->cmbFind->setEditText(texts[once]);
        find->optDown->setChecked(true);
        find->cmdFindNext->click();
        Flush();
        EXPECT_EQ(w->tgBrowse->CurrentRow(), once);
        EXPECT_EQ(find->windowTitle(), QStringLiteral("Find - '%1' Found").arg(texts[once]));
        Shot(Kind() + QStringLiteral("-find"), find);
        find->cmdCancel->click();
        Flush();

        // Sorted by that column: the status names it and the rows follow it.
        Click(ToolName::SortAsc);
        EXPECT_EQ(Status(), QStringLiteral("Sorted by:  [%1]").arg(field));
        double last = -1e300;
        for (int r = 0; r < rows; ++r) {
            const double v = Cell(w, r, col).toString().toDouble();
            EXPECT_GE(v, last) << r;
            last = v;
        }

        emit w->tgBrowse->CellDoubleClicked(0, col);
        EXPECT_EQ(Marked(path), 1);
        EXPECT_FALSE(Cell(w, 0, 0, Qt::DecorationRole).isNull());
        Obstructed(path, [this] { Click(ToolName::MarkAll); });
        EXPECT_EQ(Marked(path), 1);
        Click(ToolName::MarkAll);
        EXPECT_EQ(Marked(path), rows);
        Click(ToolName::UnmarkAll);
        EXPECT_EQ(Marked(path), 0);
        QTableView* pane = w->tgBrowse->DataPane();
        pane->selectionModel()->clearSelection();
        for (int r = 1; r <= 3; ++r)
            pane->selectionModel()->select(pane->model()->index(r, col),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
        Click(ToolName::MarkSelected);
        EXPECT_EQ(Marked(path), 3);

        EXPECT_EQ(Export(folder + QStringLiteral("/marked.txt")).size(), 4); // the field names and the three marked rows
        Shot(Kind() + QStringLiteral("-results"));
    }

    // Export Marked Rows into `out`, chosen in the file dialog: the lines written.
    QStringList Export(const QString& out)
    {
        FileDialogResult chosen;
        chosen.cancelled = false;
        chosen.fileName = out;
        prompts.ExpectFile(chosen);
        Click(ToolName::Export);
        QFile f(out);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << out.toStdString();
        return QString::fromUtf8(f.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    }

    // The scatter chart after Finish, then Browse Test Results: the browser and the column of
    // the source's `field` in it.
    void ResultsColumn(const QString& field, frmBrowse*& browser, int& column)
    {
        ASSERT_TRUE(Window<frmScatter>());
        Click(ToolName::BPBrowseTest);
        browser = Browser();
        ASSERT_TRUE(browser);
        column = ColumnOf(browser, ProjectSchema::LinkTable(), field);
        ASSERT_GE(column, 0);
    }

    // Reopened from the recent-file list: the project resumes at its results.
    void Reopen(const QString& path)
    {
        Click(ToolName::MRUList);
        EXPECT_TRUE(WaitFor([] { return Browser() != nullptr; }, 10000));
        ASSERT_TRUE(CurrentNetwork());
        EXPECT_EQ(CurrentNetwork()->State().ProjectFileName(), path);
        EXPECT_EQ(Browser()->windowTitle(), ResultsTitle());
        EXPECT_EQ(Marked(path), 3);
        EXPECT_TRUE(On(ToolName::SaveSnap));
    }

    // A snapshot, a smaller testing range (tested again at once, the marks go with the old
    // results), then the snapshot back with its range and marks.
    void SnapshotSplitRevert(const QString& path, int rows)
    {
        Obstructed(path, [this] { Click(ToolName::SaveSnap); });
        Click(ToolName::SaveSnap);
        EXPECT_EQ(Status(), QStringLiteral("Project snapshot saved."));
        EXPECT_TRUE(On(ToolName::RevertSnap));
        {
            ModalAnswerer answer;
            answer.Then(SplitAnswer(1, trainHigh, trainHigh + 1, rows - 12));
            Click(ToolName::Split);
            EXPECT_TRUE(WaitFor([&] { return answer.Answered() == 1 && QApplication::activeModalWidget() == nullptr; }, 10000));
            Flush();
        }
        EXPECT_TRUE(gProcess().IsTested());
        EXPECT_EQ(Config(path, QStringLiteral("TestHigh")), QString::number(rows - 12));
        EXPECT_EQ(Rows(path, QStringLiteral("Test")), rows - 12 - trainHigh);
        EXPECT_TRUE(CurrentKind() == ntBackProp ? Window<frmScatter>() != nullptr : Window<frmMatrix>() != nullptr);
        EXPECT_EQ(Marked(path), 0);
        EXPECT_TRUE(On(ToolName::RevertSnap));

        // (A revert under another program's lock is the replacement's own refusal.)
        Obstructed(
            path,
            [this] {
                prompts.ExpectBox(MsgResult::Yes);
                Click(ToolName::RevertSnap);
            },
            true);
        prompts.ExpectBox(MsgResult::Yes);
        Click(ToolName::RevertSnap);
        Flush();
        EXPECT_EQ(Status(), QStringLiteral("Project reverted to snapshot."));
        EXPECT_EQ(Config(path, QStringLiteral("TestHigh")), QString::number(rows));
        EXPECT_EQ(Rows(path, QStringLiteral("Test")), rows - trainHigh);
        EXPECT_TRUE(Browser() != nullptr);
        EXPECT_TRUE(gProcess().IsTested());
        EXPECT_FALSE(On(ToolName::RevertSnap));
        EXPECT_EQ(Marked(path), 3);
    }

    QString Kind() const
    {
        return QString::fromLatin1(::testing::UnitTest::GetInstance()->current_test_info()->name());
    }

    static QString ResultsTitle()
    {
        return QStringLiteral("Browse Test Results");
    }

    int trainHigh = 0;
    double lowered = 0;
    // Each road meets one obstacle: a full disk, or another program's write lock.
    FullDisk disk;
    bool fullDisk = true;
};

TEST_F(Road, BackPropagationOverWeeklySales)
{
    EXPECT_FALSE(On(ToolName::SaveSnap));
    trainHigh = 250;
    const QString project = QStringLiteral("weekly.kvp");
    const QString path = folder + QLatin1Char('/') + project;
    CTrainWindow* w = Configure(ToolName::NewBP, project, QStringLiteral("WeeklySales"),
                                {QStringLiteral("Price"), QStringLiteral("Advertising"), QStringLiteral("Temperature")},
                                QStringLiteral("Sales"), 312);
    ASSERT_TRUE(qobject_cast<frmTrainBP*>(w));
    EXPECT_EQ(w->windowTitle(), QStringLiteral("BackProp Training"));
    EXPECT_EQ(Status(), QStringLiteral("Press GO to begin training."));
    EXPECT_TRUE(main->MainToolBar()->Band(BandName::TrainBPBar).Visible());
    EXPECT_TRUE(On(ToolName::TrainBPTrain) && On(ToolName::TrainBPExit));
    EXPECT_FALSE(On(ToolName::TrainBPStop));
    const CDataDef& ddo = *CurrentNetworkAs<CBackProp>()->State().DDO();
    EXPECT_NEAR(ddo.UserMin(ddo.FieldIndex(QStringLiteral("Price"))), lowered, 1e-5);

    TrainThenStop(w, 200);
    EXPECT_GE(CurrentNetworkAs<CBackProp>()->State().CyclesCompleted(), 200);
    EXPECT_FALSE(w->CurrentErrorText().isEmpty());
    EXPECT_TRUE(gProcess().IsTrained());

    // Finish: the test over the testing rows, then the scatter chart.
    FinishBackProp(path);
    frmScatter* scatter = Window<frmScatter>();
    ASSERT_TRUE(scatter);
    EXPECT_EQ(scatter->windowTitle(), QStringLiteral("Scatter Graph Of Actual vs. Predicted"));
    EXPECT_TRUE(On(ToolName::Scatter) && On(ToolName::Series) && On(ToolName::BPBrowseTest));

    // Drill down at the plot's centre: every tested row, nearest first.
    ScatterPlot* plot = scatter->Graph();
    const QPoint centre(plot->width() / 2, plot->height() / 2);
    scatter->GraphMouseMove(QPointF(centre), false);
    QTest::mouseDClick(plot, Qt::LeftButton, {}, centre);
    EXPECT_TRUE(WaitFor([] { return Browser() != nullptr; }, 10000));
    ASSERT_TRUE(Browser());
    EXPECT_EQ(Browser()->RowCount(), 312 - trainHigh);
    Shot(Kind() + QStringLiteral("-drilldown"));
    Click(ToolName::Series);
    Shot(Kind() + QStringLiteral("-series"));

    // The whole table, then the results.
    Click(ToolName::BPShowAll);
    ASSERT_TRUE(Browser());
    EXPECT_EQ(Browser()->windowTitle(), QStringLiteral("Browse All"));
    EXPECT_EQ(Browser()->RowCount(), 312);
    EXPECT_EQ(HelpWindow::PageFor(modMenu::HelpContextOf(Browser())), QStringLiteral("qrc:/help/browse-all.html"));
    EXPECT_FALSE(On(ToolName::MarkAll) || On(ToolName::Export));
    Shot(Kind() + QStringLiteral("-browseall"));
    Click(ToolName::BPBrowseTest);
    SortMarkExport(path, ProjectSchema::LinkTable(), QStringLiteral("Advertising"), 312 - trainHigh);
    CloseAndCheck(path);
    Reopen(path);
    SnapshotSplitRevert(path, 312);
}

TEST_F(Road, SfamOverSeeds)
{
    trainHigh = 240;
    fullDisk = false;
    const QString project = QStringLiteral("seeds.kvp");
    const QString path = folder + QLatin1Char('/') + project;
    CTrainWindow* w = Configure(ToolName::NewSFAM, project, QStringLiteral("Seeds"),
                                {QStringLiteral("Length"), QStringLiteral("Width"), QStringLiteral("Weight"),
                                 QStringLiteral("Hardness")},
                                QStringLiteral("Variety"), 300);
    auto* sf = qobject_cast<frmTrainSF*>(w);
    ASSERT_TRUE(sf);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("SFAM Training"));
    EXPECT_EQ(Rows(path, QStringLiteral("Classes")), 3);
    EXPECT_FALSE(Shown(ToolName::TrainBPStop));
    sf->chkContinuous()->setChecked(true);
    TrainThenStop(w, 3);
    EXPECT_GE(CurrentNetworkAs<CSFam>()->State().CyclesCompleted(), 1);
    EXPECT_TRUE(gProcess().IsTrained());

    FinishSfam(path);
    frmMatrix* matrix = Window<frmMatrix>();
    ASSERT_TRUE(matrix);
    EXPECT_EQ(matrix->windowTitle(), QStringLiteral("SFAM Confusion Matrix"));
    EXPECT_TRUE(On(ToolName::Matrix) && On(ToolName::SFBrowseTest) && On(ToolName::SFShowErrors));

    int64_t wrong = matrix->Count().total;
    for (int c = 0; c < 3; ++c)
        wrong -= matrix->Count().At(c, c);
    // Drill down on the first class's diagonal cell.
    const QModelIndex cell = matrix->Grid->model()->index(0, 0);
    const int diagonal = cell.data().toInt();
    // A double click as the window system delivers it: press, release, then the double click.
    const QPoint at = matrix->Grid->visualRect(cell).center();
    QTest::mouseClick(matrix->Grid->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(matrix->Grid->viewport(), Qt::LeftButton, {}, at);
    EXPECT_TRUE(WaitFor([] { return Browser() != nullptr; }, 10000));
    ASSERT_TRUE(Browser());
    EXPECT_EQ(Browser()->RowCount(), diagonal);
    Shot(Kind() + QStringLiteral("-drilldown"));

    // The wrong predictions: as many as the matrix has off its diagonal.
    Click(ToolName::SFShowErrors);
    ASSERT_TRUE(Browser());
    EXPECT_EQ(Browser()->RowCount(), wrong);

    Click(ToolName::SFBrowseTest);
    SortMarkExport(path, ProjectSchema::LinkTable(), QStringLiteral("Length"), 300 - trainHigh);
    if (wrong == 0) {
        Click(ToolName::SFFindError);
        EXPECT_EQ(Status(), QStringLiteral("There are no incorect predictions in this test data."));
    }
    CloseAndCheck(path);
    Reopen(path);
    SnapshotSplitRevert(path, 300);
}

TEST_F(Road, BackPropagationOverOdbc)
{
    // A user DSN for the sample, read by unixODBC from $ODBCINI (this process's first ODBC call
    // comes after it).
    const QString ini = folder + QStringLiteral("/odbc.ini");
    {
        QFile f(ini);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QStringLiteral("[%1]\nDescription=Korvan road\nDriver=SQLite3\nDatabase=%2\nNoCreat=1\n")
                    .arg(kDsn, sample)
                    .toUtf8());
    }
    qputenv("ODBCINI", ini.toLocal8Bit());
    const kdb::DataSourceChooser previous =
        kdb::SetDataSourceChooser([](const QList<kdb::DataSourceEntry>&) -> std::optional<QString> { return kDsn; });

    trainHigh = 250;
    const QString project = QStringLiteral("odbc.kvp");
    const QString path = folder + QLatin1Char('/') + project;
    CTrainWindow* w = Configure(ToolName::NewBP, project, QStringLiteral("WeeklySales"),
                                {QStringLiteral("Price"), QStringLiteral("Advertising")}, QStringLiteral("Sales"), 312,
                                [this](frmConfPrj* c) {
                                    OdbcEntryPrompter odbc(prompts);
                                    Press(c, "cmdBrowse");
                                    Flush();
                                    EXPECT_EQ(c->DatabaseFileName(), QStringLiteral("ODBC;DSN=") + kDsn);
                                    EXPECT_TRUE(c->findChild<QCheckBox*>(QStringLiteral("chkODBC"))->isChecked());
                                });
    kdb::SetDataSourceChooser(previous);
    ASSERT_TRUE(qobject_cast<frmTrainBP*>(w));
    EXPECT_EQ(Config(path, QStringLiteral("DatabaseFileName")), QStringLiteral("ODBC;DSN=") + kDsn);
    TrainThenStop(w, 100);
    FinishBackProp(path);
    ASSERT_TRUE(Window<frmScatter>());
    Click(ToolName::BPBrowseTest);
    SortMarkExport(path, ProjectSchema::LinkTable(), QStringLiteral("Price"), 312 - trainHigh);
    CloseAndCheck(path);
    Reopen(path);
}

// Whole numbers past 32 bits, imported from a text file, are numbers on every road: an input,
// the prediction, their limits, training, the test, the what-if row, Find, the marks and the
// export, each value shown and written as it stands in the file.
TEST_F(Road, BackPropagationOverBigWholeNumbers)
{
    const QString csv = folder + QStringLiteral("/bigwhole.csv");
    QStringList bigs;
    {
        QFile f(csv);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("Big,X,Total\n");
        for (int i = 1; i <= 200; ++i) {
            // Small numbers, then 3000000000 and beyond.
            const qint64 big = i <= 150 ? i * 7 : 3000000000LL + (i - 150) * 20000000LL;
            bigs << QString::number(big);
            f.write(QStringLiteral("%1,%2,%3\n").arg(big).arg(i % 9).arg(big * 2 + i % 9).toUtf8());
        }
    }
    FileDialogResult chosen;
    chosen.cancelled = false;
    chosen.fileName = csv;
    prompts.ExpectFile(chosen);
    Click(ToolName::Import);
    const QString data = folder + QStringLiteral("/bigwhole.mdb");
    EXPECT_EQ(Status(), QStringLiteral("Import to %1 successful.").arg(data));

    trainHigh = 150;
    const QString project = QStringLiteral("bigwhole.kvp");
    const QString path = folder + QLatin1Char('/') + project;
    CTrainWindow* w = Configure(ToolName::NewBP, project, QStringLiteral("bigwhole"),
                                {QStringLiteral("Big"), QStringLiteral("X")}, QStringLiteral("Total"), 200,
                                [&](frmConfPrj* c) { Browse(c, data); });
    ASSERT_TRUE(qobject_cast<frmTrainBP*>(w));
    const CDataDef& ddo = *CurrentNetworkAs<CBackProp>()->State().DDO();
    const int16_t big = ddo.FieldIndex(QStringLiteral("Big"));
    EXPECT_EQ(ddo.FieldType(big), kdb::dbBigInt);
    EXPECT_EQ(ddo.FieldMax(big), 4000000000.0);
    EXPECT_NEAR(ddo.UserMin(big), lowered, 1e-3);
    TrainThenStop(w, 50);
    Finish(path, 200 - trainHigh);
    frmBrowse* b = nullptr;
    int col = -1;
    ResultsColumn(QStringLiteral("Big"), b, col);
    ASSERT_TRUE(b && col >= 0);
    for (int r = 0; r < b->RowCount(); ++r)
        EXPECT_EQ(Cell(b, r, col).toString(), bigs[trainHigh + r]) << r;

    // The what-if row (on from the start): a value past 32 bits typed into the input is
    // predicted from.
    CIMode* mode = gIMode().get();
    ASSERT_TRUE(mode);
    EXPECT_EQ(mode->Model()->Text(col), bigs[trainHigh]);
    EXPECT_TRUE(mode->Model()->setData(mode->Model()->index(0, col), QStringLiteral("3500000000")));
    const QString predicted = mode->Model()->Text(mode->PredictedColumn());
    EXPECT_FALSE(predicted.isEmpty() || predicted == QStringLiteral("N/A")) << predicted.toStdString();
    EXPECT_EQ(Status(), QString());

    SortMarkExport(path, ProjectSchema::LinkTable(), QStringLiteral("Big"), 200 - trainHigh);
    // The rows marked and exported are the sorted rows 1 to 3, their big numbers as written.
    QFile f(folder + QStringLiteral("/marked.txt"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString exported = QString::fromUtf8(f.readAll());
    for (int r = 1; r <= 3; ++r)
        EXPECT_TRUE(exported.contains(QLatin1Char(',') + bigs[trainHigh + r] + QLatin1Char(','))) << r;
    CloseAndCheck(path);
}

// One data file holding a value of every kind the networks read: a Time written with and
// without its leading zero, a Date/Time, whole numbers past 2^53 one apart (in no order), a
// number with Nulls in testing rows, and a decimal of more digits than a double holds. Each
// is walked through the statistics, the arrays, the test, the sort and Find, the what-if row
// and the export, and compared with a value computed here from the numbers the rows were made of.
TEST_F(Road, BackPropagationOverEveryType)
{
    constexpr int kRows = 60;
    constexpr int64_t kBig = 9007199254740993LL; // 2^53 + 1: a double reads it as 2^53
    const auto minutesOf = [](int i) { return (i * 37 + 300) % 1440; };
    const auto bigOf = [](int i) { return kBig + (i * 17) % kRows; };
    const auto stampOf = [](int i) { return QDateTime(QDate(2020, 3, 1), QTime(6, 0)).addSecs(qint64(i) * 7 * 3600); };
    const auto gapOf = [](int i) { return i == 45 || i == 52 ? kdb::Value() : kdb::Value((i % 10) * 1.5); };
    const auto totalOf = [&](int i) { return minutesOf(i) / 60.0 + (i % 7) * 2.0 + double((i * 17) % kRows) / 10.0; };
    const auto timeOf = [&](int i) { return QTime(0, 0).addSecs(minutesOf(i) * 60).toString(QStringLiteral("HH:mm:ss")); };
    // Odd rows without the hour's leading zero ("8:50"), even rows in the full form.
    const auto clockOf = [&](int i) {
        const int m = minutesOf(i);
        return i % 2 ? QStringLiteral("%1:%2").arg(m / 60).arg(m % 60, 2, 10, QLatin1Char('0')) : timeOf(i);
    };
    const QString data = folder + QStringLiteral("/everytype.mdb");
    {
        kdb::Database db = kdb::Database::Create(data);
        db.Execute(QStringLiteral("CREATE TABLE every (ID INTEGER PRIMARY KEY, Clock TIME, Stamp DATETIME, Big BIGINT, "
                                  "Gap DOUBLE, Exact TEXT, Total DOUBLE, Kind INTEGER)"));
        kdb::Transaction t(db);
        for (int i = 1; i <= kRows; ++i) {
            db.Execute(QStringLiteral("INSERT INTO every VALUES (?, ?, ?, ?, ?, ?, ?, ?)"),
                       {i, clockOf(i), kdb::DateText(stampOf(i)), (long long)bigOf(i), gapOf(i),
                        QStringLiteral("12345677901234.5689%1").arg(i, 2, 10, QLatin1Char('0')),
                        totalOf(i), i % 3 + 1});
        }
        t.Commit();
    }

    // The what-if row, row by row: the time typed as the grid shows it (and in its full form),
    // Gap changed and put back, predicts what the test did; a row whose Gap is Null has no prediction and the status names the field. Then every
    // testing row marked and exported: each source value as written or as the grid shows it,
    // the Nulls and the predictions not made as empty cells.
    const auto WhatIfAndExport = [&](const QString& path, frmBrowse* b) {
        SCOPED_TRACE(path.toStdString());
        CIMode* mode = gIMode().get();
        ASSERT_TRUE(mode);
        IModeModel* m = mode->Model();
        const int idCol = ColumnOf(b, ProjectSchema::LinkTable(), QStringLiteral("ID"));
        const int clockCol = ColumnOf(b, ProjectSchema::LinkTable(), QStringLiteral("Clock"));
        const int gapCol = ColumnOf(b, ProjectSchema::LinkTable(), QStringLiteral("Gap"));
        const int predictedCol = ColumnOf(b, ProjectSchema::TestTable(), ProjectSchema::PredictedColumn());
        ASSERT_TRUE(idCol >= 0 && clockCol >= 0 && gapCol >= 0 && predictedCol >= 0);
        int compared = 0;
        for (int r = 0; r < b->RowCount(); ++r) {
            b->tgBrowse->SetCurrent(r, gapCol);
            const int key = Cell(b, r, idCol).toInt();
            const QString tested = Cell(b, r, predictedCol).toString();
            SCOPED_TRACE(key);
            // The grid shows the time as the source holds it; the what-if row takes it typed so,
            // and in the full form.
            const QString shown = Cell(b, r, clockCol).toString();
            EXPECT_EQ(shown, clockOf(key));
            EXPECT_EQ(kdb::DateSerial(shown), minutesOf(key) / 1440.0);
            ASSERT_EQ(m->Text(clockCol), shown);
            EXPECT_TRUE(m->setData(m->index(0, clockCol), shown == timeOf(key) ? QStringLiteral("12:00:00") : timeOf(key)));
            if (shown != timeOf(key)) {
                EXPECT_EQ(m->Text(mode->PredictedColumn()), tested);
            }
            EXPECT_TRUE(m->setData(m->index(0, clockCol), shown));
            if (key == 45 || key == 52) {
                EXPECT_EQ(tested, QStringLiteral("N/A"));
                EXPECT_EQ(m->Text(mode->PredictedColumn()), QStringLiteral("N/A"));
                EXPECT_EQ(Status(), QStringLiteral("[Gap] has no value.  No prediction."));
                continue;
            }
            EXPECT_EQ(m->Text(mode->PredictedColumn()), tested);
            const QString gap = m->Text(gapCol);
            EXPECT_EQ(gap.toDouble(), (key % 10) * 1.5);
            ASSERT_TRUE(m->setData(m->index(0, gapCol), gap == QStringLiteral("3") ? QStringLiteral("6") : QStringLiteral("3")));
            ASSERT_TRUE(m->setData(m->index(0, gapCol), gap));
            EXPECT_EQ(m->Text(mode->PredictedColumn()), tested);
            ++compared;
        }
        EXPECT_EQ(compared, kRows - trainHigh - 2);

        Click(ToolName::MarkAll);
        QStringList lines = Export(path + QStringLiteral(".txt"));
        ASSERT_EQ(lines.size(), kRows - trainHigh + 1);
        const QStringList header = lines.takeFirst().split(QLatin1Char(','));
        const auto at = [&](const char* name) { return header.indexOf(QString::fromLatin1(name)); };
        EXPECT_EQ(header.mid(at("ID")), QStringLiteral("ID,Clock,Stamp,Big,Gap,Exact,Total,Kind").split(QLatin1Char(',')));
        std::map<int, double> predicted;
        {
            kdb::Database db = kdb::Database::Open(path, false, true);
            kdb::Reader r = db.Query(QStringLiteral("SELECT MainPrimaryKey, Predicted FROM Test"));
            while (r.Next())
                predicted[int(r.Int(0))] = r.Double(1);
        }
        int key = trainHigh;
        for (const QString& line : lines) {
            const QStringList v = line.split(QLatin1Char(','));
            ASSERT_EQ(v.size(), header.size()) << line.toStdString();
            ++key;
            SCOPED_TRACE(key);
            EXPECT_EQ(v[at("MainPrimaryKey")], QString::number(key));
            EXPECT_EQ(v[at("ID")], QString::number(key));
            const bool none = key == 45 || key == 52;
            EXPECT_EQ(v[at("Predicted")].isEmpty(), none);
            if (!none) {
                // Test's Predicted is a Single column: written with the 7 digits it holds.
                EXPECT_NEAR(v[at("Predicted")].toDouble(), predicted[key], 5e-7 * std::abs(predicted[key]));
            }
            EXPECT_EQ(v[at("Mark")], QStringLiteral("-1"));
            EXPECT_EQ(v[at("Clock")], clockOf(key));
            EXPECT_EQ(v[at("Stamp")], stampOf(key).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
            EXPECT_EQ(v[at("Big")], QString::number(bigOf(key)));
            EXPECT_EQ(v[at("Gap")], none ? QString() : QString::number((key % 10) * 1.5));
            EXPECT_EQ(v[at("Exact")], QStringLiteral("12345677901234.5689%1").arg(key));
            EXPECT_NEAR(v[at("Total")].toDouble(), totalOf(key), 1e-13 * totalOf(key));
            EXPECT_EQ(v[at("Kind")], QString::number(key % 3 + 1));
        }
    };

    trainHigh = 40;
    const QString project = QStringLiteral("everytype.kvp");
    const QString path = folder + QLatin1Char('/') + project;
    CTrainWindow* w = Configure(ToolName::NewBP, project, QStringLiteral("every"),
                                {QStringLiteral("Gap"), QStringLiteral("Clock"), QStringLiteral("Stamp"), QStringLiteral("Big")},
                                QStringLiteral("Total"), kRows, [&](frmConfPrj* c) { Browse(c, data); });
    ASSERT_TRUE(qobject_cast<frmTrainBP*>(w));
    CBackProp& bp = *CurrentNetworkAs<CBackProp>();
    const CDataDef& ddo = *bp.State().DDO();

    // Statistics: every value counted (the short times too), differences one apart kept.
    const int16_t clock = ddo.FieldIndex(QStringLiteral("Clock"));
    const int16_t big = ddo.FieldIndex(QStringLiteral("Big"));
    EXPECT_EQ(ddo.FieldType(clock), kdb::dbTime);
    EXPECT_EQ(ddo.FieldType(big), kdb::dbBigInt);
    long double clockSum = 0;
    int clockMin = 1440;
    for (int i = 1; i <= kRows; ++i) {
        clockSum += minutesOf(i);
        clockMin = std::min(clockMin, minutesOf(i));
    }
    const long double clockMean = clockSum / kRows;
    long double clockSq = 0;
    for (int i = 1; i <= kRows; ++i)
        clockSq += (minutesOf(i) - clockMean) * (minutesOf(i) - clockMean);
    EXPECT_EQ(ddo.FieldMin(clock), clockMin * 60000 / 86400000.0);
    EXPECT_NEAR(ddo.FieldAvg(clock), double(clockMean / 1440), 1e-12);
    EXPECT_NEAR(ddo.FieldStdDev(clock), double(std::sqrt(clockSq / (kRows - 1)) / 1440), 1e-12);
    // Big: kBig + 0..59, the sample deviation of 0..59 is sqrt(60 * 61 / 12).
    EXPECT_EQ(ddo.FieldMin(big), double(kBig));
    EXPECT_EQ(ddo.FieldMax(big), double(kBig + kRows - 1));
    EXPECT_EQ(ddo.FieldAvg(big), double((long double)kBig + 29.5L));
    EXPECT_DOUBLE_EQ(ddo.FieldStdDev(big), std::sqrt(305.0));

    // The arrays: each training row's Big scaled from its difference to the user minimum, so
    // that values one apart stay apart; the time read from either form.
    TrainThenStop(w, 20);
    const PatternArrays& a = bp.State().Arrays();
    ASSERT_EQ(a.rows, trainHigh);
    int32_t bigAt = 0;
    int32_t clockAt = 0;
    for (int32_t j = 1; j <= a.numInputs; ++j) {
        if (a.inputFields[size_t(j)] == big)
            bigAt = j;
        if (a.inputFields[size_t(j)] == clock)
            clockAt = j;
    }
    ASSERT_TRUE(bigAt > 0 && clockAt > 0);
    const long double bigMin = ddo.UserMin(big);
    const long double bigSpan = (long double)ddo.UserMax(big) - bigMin;
    std::map<int64_t, float> byBig;
    for (int r = 1; r <= trainHigh; ++r) {
        const long double v = std::clamp(((long double)bigOf(r) - bigMin) / bigSpan, 0.0L, 1.0L);
        EXPECT_EQ(a.Pattern(bigAt, r), float(v)) << r;
        byBig[bigOf(r)] = a.Pattern(bigAt, r);
        const float serial = float(minutesOf(r) * 60000 / 86400000.0);
        EXPECT_EQ(a.Pattern(clockAt, r),
                  PatternArrays::Normalize(serial, float(ddo.UserMin(clock)), float(ddo.UserMax(clock))))
            << r;
    }
    for (auto it = byBig.begin(); std::next(it) != byBig.end(); ++it) {
        if (it->second > 0 && std::next(it)->second < 1) {
            EXPECT_LT(it->second, std::next(it)->second) << it->first;
        }
    }

    // The test: the rows with a missing input have no prediction.
    Finish(path, kRows - trainHigh);
    {
        kdb::Database db = kdb::Database::Open(path, false, true);
        kdb::Reader r = db.Query(QStringLiteral("SELECT MainPrimaryKey, Predicted FROM Test"));
        while (r.Next()) {
            const int64_t key = r.Int(0);
            EXPECT_EQ(r.Double(1) == NoPrediction, key == 45 || key == 52) << key;
        }
    }

    // Sort and Find in the results: the whole numbers in their exact order, each as written,
    // and the decimal of more digits than a double holds as it was written.
    frmBrowse* b = nullptr;
    int col = -1;
    ResultsColumn(QStringLiteral("Big"), b, col);
    ASSERT_TRUE(b && col >= 0);
    const int exact = ColumnOf(b, ProjectSchema::LinkTable(), QStringLiteral("Exact"));
    for (int r = 0; r < b->RowCount(); ++r)
        EXPECT_EQ(Cell(b, r, exact).toString(), QStringLiteral("12345677901234.5689%1").arg(trainHigh + 1 + r)) << r;
    b->tgBrowse->SetCurrent(0, col);
    Click(ToolName::SortAsc);
    std::vector<int64_t> expected;
    for (int i = trainHigh + 1; i <= kRows; ++i)
        expected.push_back(bigOf(i));
    std::sort(expected.begin(), expected.end());
    ASSERT_EQ(b->RowCount(), int64_t(expected.size()));
    for (int r = 0; r < b->RowCount(); ++r)
        EXPECT_EQ(Cell(b, r, col).toString(), QString::number(expected[size_t(r)])) << r;
    // A value whose neighbour in the column is one less: Find stops on it, not on the neighbour.
    size_t pick = 1;
    while (pick + 1 < expected.size() && expected[pick] != expected[pick - 1] + 1)
        ++pick;
    Click(ToolName::Find);
    frmFind* find = frmFind::Existing();
    ASSERT_TRUE(find);
    find->cmbFind->setEditText(QString::number(expected[pick]));
    find->optDown->setChecked(true);
    find->cmdFindNext->click();
    Flush();
    EXPECT_EQ(b->tgBrowse->CurrentRow(), int(pick));
    find->cmdCancel->click();
    Flush();

    WhatIfAndExport(path, b);
    CloseAndCheck(path);

    // The same over SFAM, its class field Kind.
    fullDisk = false;
    const QString sfProject = QStringLiteral("everytypesf.kvp");
    const QString sfPath = folder + QLatin1Char('/') + sfProject;
    auto* sf = qobject_cast<frmTrainSF*>(Configure(ToolName::NewSFAM, sfProject, QStringLiteral("every"),
                                                   {QStringLiteral("Gap"), QStringLiteral("Clock"), QStringLiteral("Stamp"), QStringLiteral("Big")},
                                                   QStringLiteral("Kind"), kRows, [&](frmConfPrj* c) { Browse(c, data); }));
    ASSERT_TRUE(sf);
    sf->chkContinuous()->setChecked(true);
    TrainThenStop(sf, 3);
    Finish(sfPath, kRows - trainHigh);
    Click(ToolName::SFBrowseTest);
    ASSERT_TRUE(Browser());
    WhatIfAndExport(sfPath, Browser());
    CloseAndCheck(sfPath);
}
