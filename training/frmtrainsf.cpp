#include "training/frmtrainsf.h"

#include "core/errorbox.h"
#include "core/prompts.h"
#include "core/widgets/statusbar.h"
#include "core/widgets/statusmsg.h"
#include "core/widgets/toolnames.h"
#include "core/widgets/veltra.h"
#include "data/datadef.h"
#include "network/workflowflags.h"
#include "network/sfam.h"
#include "shell/navigate.h"
#include "shell/networkopener.h"
#include "training/led.h"
#include "training/trainbar.h"
#include "training/trainlayout.h"
#include "training/updown.h"
#include "training/varedodozpro.h"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiSubWindow>

#include <span>

namespace {
const QString kCompleted = QStringLiteral("SFAM training completed.  Press 'Finish' to continue.");
}

frmTrainSF::frmTrainSF(QWidget* parent)
    : CTrainWindow(CErrorHistory::SFam, 10, QStringLiteral("SFAM Training"), QStringLiteral("Nodes Created"),
                   QStringLiteral("frmTrainSF::Train"), parent)
{
    setObjectName(QStringLiteral("frmTrainSF"));
    m_vigilance = AddSpinner(m_personality, QStringLiteral("Vigilance"), 0, 99, 50, 0, false);
    m_vigilance.updown->setObjectName(QStringLiteral("udtMomentum"));
    m_vigilance.digits[1]->SetValue(5);
    m_continuous = new QCheckBox(QStringLiteral("Continuous"), m_personality);
    m_continuous->setObjectName(QStringLiteral("chkContinuous"));
    m_continuous->setGeometry(8 + 78, 28, 100, 22);
    m_personality->setFixedSize(8 + 78 + 104, 62);
    m_message = new QLabel(kCompleted, this);
    m_message->setObjectName(QStringLiteral("lblSFMessage"));
    QFont bold = m_message->font();
    bold.setBold(true);
    m_message->setFont(bold);

    connect(m_vigilance.updown, &CUpDown::Change, this, [this] {
        IgnoreErrors([&] {
            if (auto net = Net())
                net->SetVigBase(float(m_vigilance.updown->Value()) / 100.0f);
        });
        IgnoreErrors([&] {
            LEDRow::ShowNumber(std::span<LED* const>(m_vigilance.digits.data(), m_vigilance.digits.size()),
                               m_vigilance.updown->Value());
        });
    });

    InitChart();
}

frmTrainSF::~frmTrainSF()
{
    Departing();
}

std::shared_ptr<CSFam> frmTrainSF::Net() const
{
    return CurrentNetworkAs<CSFam>();
}

void frmTrainSF::SetMessage(const QString& text)
{
    m_message->setText(text);
}

void frmTrainSF::Prompt(const QString& text)
{
    Utilities::StatusMessage(text);
    SetMessage(text);
}

void frmTrainSF::resizeEvent(QResizeEvent* event)
{
    CTrainWindow::resizeEvent(event);
    // The prompt line sits under the chart.
    m_message->setGeometry(8, height() - 30, std::max(width() - 16, 0), 24);
}

void frmTrainSF::showEvent(QShowEvent* event)
{
    CTrainWindow::showEvent(event);
    m_message->setGeometry(8, height() - 30, std::max(width() - 16, 0), 24);
}

void frmTrainSF::ShowTrainingValues()
{
    auto net = Net();
    if (!net)
        return;
    IgnoreErrors([&] { m_vigilance.updown->SetValue(TrainLayout::SpinnerValue(net->VigBase())); });
    ShowCounter(ShowKnownErrors(net->State()) ? net->CurrentNodes() : 0);
}

void frmTrainSF::Activate()
{
    auto net = Net();
    if (!BeginActivate(net.get()))
        return;
    Utilities::StatusMessage(QStringLiteral("Loading best..."));
    {
        CRunPointer pointer;
        pointer.SetBusy();
        Revert();
    }
    Utilities::StatusMessage(QString());
    SetMessage(QString());
    ShowTrainingValues();
    if (net->State().CurrentError() != 0) {
        Prompt(QStringLiteral("Press GO to train next cycle"));
    } else {
        TrainBarTools::Set(ToolName::TrainBPTrain, false);
        Prompt(kCompleted);
    }
    SeedChart(net->State(), false);
}

void frmTrainSF::Revert()
{
    Procedure(QStringLiteral("frmTrainSF::Revert"), [&] {
        auto net = Net();
        if (!net)
            return;
        repaint();
        if (ErrorsKnown(net->State())) {
            net->Revert();
            mHistory.setChartBest(net->BestTrainError());
            const QString e = TrainLayout::Percent(net->State().CurrentError());
            SetErrorLabels(e, e);
            m_vigilance.updown->SetValue(TrainLayout::SpinnerValue(net->VigBase()));
            ShowCounter(net->CurrentNodes());
            // A network brought back from the project has its own node count.
            Utilities::SetNodesPanel(QString::number(net->CurrentNodes()));
            mHistory.clear();
            mHistory.blankPoints(1, mHistory.points() - 1);
        }
        if (ErrorsKnown(net->State())) {
            mHistory.seed(net->State().CyclesCompleted(), net->State().CurrentError());
            mHistory.setMarkPoint(0);
        }
        ShowRevertedHistory();
        if (net->State().CurrentError() == 0)
            TrainBarTools::Set(ToolName::TrainBPTrain, false);
    });
}

void frmTrainSF::ResetNet()
{
    Procedure(QStringLiteral("frmTrainSF::ResetNet"), [&] {
        auto net = Net();
        const auto showVigilance = [&] { m_vigilance.updown->SetValue(TrainLayout::SpinnerValue(net->VigBase())); };
        if (!net || !ResetTraining(*net, showVigilance))
            return;
        Utilities::SetNodesPanel(QString::number(net->CurrentNodes()));
        Prompt(QStringLiteral("Press GO to train first cycle."));
    });
}

// --- The run -------------------------------------------------------------------------------

bool frmTrainSF::BeginRun()
{
    auto net = Net();
    if (!net)
        return false;
    m_c = -1;
    m_verifyNext = false;
    Prompt(QStringLiteral("Predicting ") + net->State().DDO()->FieldName(net->PredictField()) + QStringLiteral("..."));
    // The run keeps its parameters; the pointer is busy, but Escape and a shown Stop tool still
    // reach the run between cycles (a continuous run would otherwise end only at 0 %).
    // The keyboard stays with the window when the frame that had it goes grey.
    if (QWidget* focus = QApplication::focusWidget(); focus && m_personality->isAncestorOf(focus))
        setFocus();
    m_personality->setEnabled(false);
    SetBusyPointer();
    qApp->installEventFilter(this);
    if (m_continuous->isChecked()) {
        m_stopShown = true;
        TrainBarTools::SetVisible(ToolName::TrainBPStop, true);
        TrainBarTools::Refresh();
    }
    return true;
}

bool frmTrainSF::RunStep()
{
    auto net = Net();
    if (!net)
        return false;
    // A cycle of a large table takes a step per block of rows, then one per block to verify; a stop lets
    // the cycle finish.
    if (!m_verifyNext) {
        if (mStop && !net->PassOpen())
            return false;
        const bool inBlocks = net->PassOpen();
        if (!net->TrainBlock())
            return true;
        if (net->State().DLLError() < 0) {
            EngineFailure(*net);
            return false;
        }
        Trained();
        Utilities::SetNodesPanel(QString::number(net->CurrentNodes()));
        ShowCounter(net->CurrentNodes());
        if (inBlocks) {
            m_verifyNext = true;
            m_verifyBegun = false;
            return true;
        }
        net->Verify();
    } else {
        // Checking every row over every category is as long as the pass: it too takes a step
        // per block.
        const bool begin = !m_verifyBegun;
        m_verifyBegun = true;
        if (!net->VerifyBlock(begin))
            return true;
        m_verifyNext = false;
    }
    m_c = DrawCycle(*net);
    // One cycle unless "Continuous"; a perfect fit, or a cycle without an error, ends the run.
    if (!m_continuous->isChecked() || m_c == 0 || m_c == -1)
        mStop = true;
    ShowCounter(net->CurrentNodes());
    return !mStop;
}

float frmTrainSF::DrawCycle(CSFam& net)
{
    m_graph->setVisible(true);
    const float c = net.State().CurrentError();
    const float b = net.BestTrainError();
    if (c == -1)
        return c;
    mHistory.addPoint(net.State().CyclesCompleted(), c, b);
    SetErrorLabels(TrainLayout::Percent(c), b == -1 ? QString() : TrainLayout::Percent(b));
    ShowHistory(mHistory.scale(mZoomed, CErrorHistory::SFam.passHeadroom));
    return c;
}

void frmTrainSF::EngineFailure(CSFam& net)
{
    // The network object showed the boxes of its other failures itself.
    if (net.State().DLLError() == DLLErrConstantField)
        Prompts::MsgBox(QStringLiteral("One of the fields used as an input contains data that ")
                            + QStringLiteral("is all the same.") + QLatin1Char('\n')
                            + TrainLayout::FieldsLine(net.State().ConstantFields())
                            + QStringLiteral("This field will need to be ")
                            + QStringLiteral("removed from the input list or the size of the training split ")
                            + QStringLiteral("should be increased."),
                        MsgButtons::Ok, MsgIcon::Critical, QStringLiteral("Normalizing Training Data"));
    else if (net.State().DLLError() == DLLErrTooFewRows)
        Prompts::MsgBox(QStringLiteral("Unknown Korkan DLL Error"), MsgButtons::Ok, MsgIcon::Critical,
                        QStringLiteral("Training Error"));
    EndOnEngineFailure();
}

void frmTrainSF::EndOfRun()
{
    RestoreToolsAfterRun(Net().get());
    qApp->removeEventFilter(this);
    m_personality->setEnabled(true);
    TrainBarTools::Set(ToolName::TrainBPTrain, true);
    if (m_stopShown) {
        m_stopShown = false;
        TrainBarTools::SetVisible(ToolName::TrainBPStop, false);
    }
    if (m_c != 0) {
        SetMessage(QStringLiteral("Press GO to train another cycle."));
    } else {
        TrainBarTools::Set(ToolName::TrainBPTrain, false);
        Prompt(kCompleted);
    }
    TrainBarTools::Refresh();
}

bool frmTrainSF::eventFilter(QObject* watched, QEvent* event)
{
    // Escape stops the run only when it is meant for this window: a box shown meanwhile, or any
    // other window with the keyboard, gets its Escape as usual.
    auto* target = qobject_cast<QWidget*>(watched);
    if (event->type() == QEvent::KeyPress && RunActive()
        && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && target
        && (target == this || isAncestorOf(target))) {
        StopTrain();
        return true;
    }
    return CTrainWindow::eventFilter(watched, event);
}

bool frmTrainSF::SaveOnClose()
{
    auto net = Net();
    return !net || !gProcess().IsTrained() || net->SaveConfig();
}
