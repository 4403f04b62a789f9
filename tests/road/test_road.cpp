// The road of one training run through the real program, as a user walks it: New, the
// configuration window with its roles and advanced limits, OK, the row split, a training run
// stopped by hand, Finish and what follows. Back-propagation over the sample's WeeklySales,
// SFAM over Seeds, and back-propagation over WeeklySales reached through ODBC.
#include "tests/road/roadfixture.h"

#include "config/advancedmodel.h"
#include "config/frmconfigproj.h"
#include "config/frmconfprj.h"
#include "config/rangeselector.h"
#include "config/splitdialog.h"
#include "core/prompts.h"
#include "core/widgets/commandbar.h"
#include "data/datadef.h"
#include "kdb/kdb.h"
#include "network/backprop.h"
#include "network/process.h"
#include "network/sfam.h"
#include "shell/modmenu.h"
#include "shell/networkopener.h"
#include "tests/support/modalanswerer.h"
#include "tests/support/testenv.h"
#include "training/frmtrainbp.h"
#include "training/frmtrainsf.h"
#include "training/trainingviews.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QSpinBox>

namespace {

// The split dialog's answer: the four bounds set as a user leaves them, then OK.
ModalAnswerer::Answer Split(int32_t trainLow, int32_t trainHigh, int32_t testLow, int32_t testHigh)
{
    return [=](QWidget* w) {
        auto* dialog = qobject_cast<frmDataSelect*>(w);
        ASSERT_TRUE(dialog);
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Split The Data"));
        dialog->dsTrainSet->SetValueHigh(std::max(trainHigh, dialog->dsTrainSet->ValueHigh()));
        dialog->dsTrainSet->SetValueLow(trainLow);
        dialog->dsTrainSet->SetValueHigh(trainHigh);
        dialog->dsTestSet->SetValueHigh(std::max(testHigh, dialog->dsTestSet->ValueHigh()));
        dialog->dsTestSet->SetValueLow(testLow);
        dialog->dsTestSet->SetValueHigh(testHigh);
        dialog->cmdOK->click();
    };
}

const QString kDsn = QStringLiteral("KorvanRoad");

// The data-source dialog's "ODBC" entry picked as the user picks it; boxes go to the script.
class OdbcEntryPrompter final : public IPrompter {
public:
    explicit OdbcEntryPrompter(IPrompter& boxes) : m_boxes(boxes), m_previous(Prompts::Install(this)) {}
    ~OdbcEntryPrompter() override { Prompts::Install(m_previous); }
    MsgResult messageBox(const MessageRequest& r) override { return m_boxes.messageBox(r); }
    FileDialogResult fileDialog(const FileDialogRequest& r) override
    {
        if (r.filterHook)
            r.filterHook(3);
        return {};
    }

private:
    IPrompter& m_boxes;
    IPrompter* m_previous;
};

// A button of the window pressed as the user presses it.
void Press(QWidget* w, const char* name)
{
    auto* b = w ? w->findChild<QPushButton*>(QString::fromLatin1(name)) : nullptr;
    ASSERT_TRUE(b) << name;
    EXPECT_TRUE(b->isEnabled()) << name;
    b->click();
}

} // namespace

class Road : public RoadTest {
protected:
    // New -> roles -> advanced limits -> OK -> split: the training window of the kind.
    CTrainWindow* Configure(const QString& newTool, const QString& project, const QString& table,
                            const QStringList& inputs, const QString& prediction, int rows,
                            const std::function<void(frmConfPrj*)>& source = {})
    {
        EXPECT_TRUE(On(newTool));
        EXPECT_FALSE(On(QStringLiteral("mnuConfigure")) || On(QStringLiteral("close")));
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
        EXPECT_EQ(w->Rules().Inputs().size(), size_t(inputs.size()));
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
            EXPECT_TRUE(a->Model().SetBound(row, CFieldLimitsModel::colUserMin, QString::number(lowered)));
            Press(a, "cmdOK");
            Flush();
            EXPECT_EQ(frmConfigProj::Current(), nullptr);
            EXPECT_TRUE(w->mMinMaxChanged);
        }

        // OK, then the split: training rows and testing rows.
        {
            ModalAnswerer answer;
            answer.Then(Split(1, trainHigh, trainHigh + 1, rows));
            Press(w, "cmdOk");
            EXPECT_TRUE(WaitFor([] { return TrainingViews::Window() != nullptr; }, 15000));
            EXPECT_EQ(answer.Answered(), 1);
        }
        Flush();
        EXPECT_EQ(frmConfPrj::Current(), nullptr);

        // What the project file now says.
        const QString path = folder + QLatin1Char('/') + project;
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
        Click(QStringLiteral("mnuTrainBPTrain"));
        EXPECT_TRUE(w->RunActive());
        EXPECT_FALSE(On(QStringLiteral("mnuTrainBPTrain")) || On(QStringLiteral("mnuTrainBPExit")));
        EXPECT_TRUE(WaitFor([&] { return !w->RunActive() || CurrentNetwork()->CyclesCompleted() >= passes; }));
        if (w->RunActive()) {
            EXPECT_TRUE(On(QStringLiteral("mnuTrainBPStop")));
            Click(QStringLiteral("mnuTrainBPStop"));
            EXPECT_TRUE(WaitFor([&] { return !w->RunActive(); }));
        }
        EXPECT_TRUE(On(QStringLiteral("mnuTrainBPExit")));
        EXPECT_TRUE(On(QStringLiteral("mnuTrainBPReset")));
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }

    // Finish: the test over the testing rows, then the result view of the kind.
    void Finish(const QString& path, int64_t testRows)
    {
        prompts.AllowAnyBox();
        Click(QStringLiteral("mnuTrainBPExit"));
        EXPECT_TRUE(WaitFor([&] { return gProcess().IsTested(); }));
        Flush();
        for (const MessageRequest& box : prompts.Boxes())
            ADD_FAILURE() << "box: " << box.title.toStdString() << " / " << box.text.toStdString();
        prompts.AllowAnyBox(false);
        EXPECT_EQ(Rows(path, QStringLiteral("Test")), testRows);
        EXPECT_TRUE(On(QStringLiteral("mnuTestBP")));
    }
    // Close: every step the walk made is in the project file.
    void CloseAndCheck(const QString& path)
    {
        Click(QStringLiteral("close"));
        EXPECT_EQ(CurrentNetwork(), nullptr);
        EXPECT_FALSE(On(QStringLiteral("close")) || On(QStringLiteral("mnuConfigure")));
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

    int trainHigh = 0;
    double lowered = 0;
};

TEST_F(Road, BackPropagationOverWeeklySales)
{
    EXPECT_FALSE(On(QStringLiteral("mnuSaveSnap")));
    trainHigh = 250;
    const QString project = QStringLiteral("weekly.kvp");
    const QString path = folder + QLatin1Char('/') + project;
    CTrainWindow* w = Configure(QStringLiteral("mnuNewBP"), project, QStringLiteral("WeeklySales"),
                                {QStringLiteral("Price"), QStringLiteral("Advertising"), QStringLiteral("Temperature")},
                                QStringLiteral("Sales"), 312);
    ASSERT_TRUE(qobject_cast<frmTrainBP*>(w));
    EXPECT_EQ(w->windowTitle(), QStringLiteral("BackProp Training"));
    EXPECT_EQ(Status(), QStringLiteral("Press GO to begin training."));
    EXPECT_TRUE(main->MainToolBar()->Band(QStringLiteral("mnuTrainBPBar")).Visible());
    EXPECT_TRUE(On(QStringLiteral("mnuTrainBPTrain")) && On(QStringLiteral("mnuTrainBPExit")));
    EXPECT_FALSE(On(QStringLiteral("mnuTrainBPStop")));
    EXPECT_NEAR(gBackProp()->DDO()->UserMin(gBackProp()->DDO()->FieldIndex(QStringLiteral("Price"))), lowered, 1e-5);

    TrainThenStop(w, 200);
    EXPECT_GE(gBackProp()->CyclesCompleted(), 200);
    EXPECT_FALSE(w->CurrentErrorText().isEmpty());
    EXPECT_TRUE(gProcess().IsTrained());

    // Finish: the test over the testing rows, then the scatter chart.
    FinishBackProp(path);
    CloseAndCheck(path);
}

TEST_F(Road, SfamOverSeeds)
{
    trainHigh = 240;
    const QString project = QStringLiteral("seeds.kvp");
    const QString path = folder + QLatin1Char('/') + project;
    CTrainWindow* w = Configure(QStringLiteral("mnuNewSFAM"), project, QStringLiteral("Seeds"),
                                {QStringLiteral("Length"), QStringLiteral("Width"), QStringLiteral("Weight"),
                                 QStringLiteral("Hardness")},
                                QStringLiteral("Variety"), 300);
    auto* sf = qobject_cast<frmTrainSF*>(w);
    ASSERT_TRUE(sf);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("SFAM Training"));
    EXPECT_EQ(Rows(path, QStringLiteral("Classes")), 3);
    EXPECT_FALSE(Shown(QStringLiteral("mnuTrainBPStop")));
    sf->chkContinuous()->setChecked(true);
    TrainThenStop(w, 3);
    EXPECT_GE(gSFam()->CyclesCompleted(), 1);
    EXPECT_TRUE(gProcess().IsTrained());

    FinishSfam(path);
    CloseAndCheck(path);
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
    CTrainWindow* w = Configure(QStringLiteral("mnuNewBP"), project, QStringLiteral("WeeklySales"),
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
}
