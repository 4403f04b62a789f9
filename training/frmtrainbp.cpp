#include "training/frmtrainbp.h"

#include "core/errorbox.h"
#include "core/prompts.h"
#include "core/widgets/statusbar.h"
#include "core/widgets/statusmsg.h"
#include "core/widgets/toolnames.h"
#include "core/widgets/veltra.h"
#include "data/datadef.h"
#include "network/backprop.h"
#include "network/workflowflags.h"
#include "shell/navigate.h"
#include "shell/networkopener.h"
#include "training/led.h"
#include "training/trainlayout.h"
#include "training/trainbar.h"
#include "training/updown.h"
#include "training/varedodozpro.h"

#include <QLabel>
#include <QMdiSubWindow>

#include <span>

namespace {

void ShowDigits(const std::vector<LED*>& digits, int64_t number)
{
    IgnoreErrors([&] { LEDRow::ShowNumber(std::span<LED* const>(digits.data(), digits.size()), number); });
}

} // namespace

frmTrainBP::frmTrainBP(QWidget* parent)
    : CTrainWindow(CErrorHistory::BackProp, 5, QStringLiteral("BackProp Training"), QStringLiteral("Cycles Completed"),
                   QStringLiteral("frmTrainBP::Train"), parent)
{
    setObjectName(QStringLiteral("frmTrainBP"));
    m_verify = AddSpinner(m_personality, QStringLiteral("Verify Rate"), 1, 99, 5, 0, true);
    m_learn = AddSpinner(m_personality, QStringLiteral("Learn Rate"), 0, 99, 50, 1, false);
    m_momentum = AddSpinner(m_personality, QStringLiteral("Momentum"), 0, 99, 50, 2, false);
    m_verify.updown->setObjectName(QStringLiteral("udVerify"));
    m_learn.updown->setObjectName(QStringLiteral("udtLearnRate"));
    m_momentum.updown->setObjectName(QStringLiteral("udtMomentum"));
    m_personality->setFixedSize(8 + 3 * 78, 62);
    // The digits as designed: 5, 50 and 50.
    m_verify.digits[1]->SetValue(5);
    m_learn.digits[1]->SetValue(5);
    m_momentum.digits[1]->SetValue(5);

    connect(m_learn.updown, &CUpDown::Change, this, [this] {
        IgnoreErrors([&] {
            if (auto net = Net())
                net->SetLearnRate(float(m_learn.updown->Value()) / 100.0f);
        });
        ShowDigits(m_learn.digits, m_learn.updown->Value());
    });
    connect(m_momentum.updown, &CUpDown::Change, this, [this] {
        IgnoreErrors([&] {
            if (auto net = Net())
                net->SetMomentum(float(m_momentum.updown->Value()) / 100.0f);
        });
        ShowDigits(m_momentum.digits, m_momentum.updown->Value());
    });
    connect(m_verify.updown, &CUpDown::Change, this, [this] {
        const int v = m_verify.updown->Value();
        IgnoreErrors([&] {
            if (auto net = Net())
                net->SetVerifyRate(int16_t(v));
        });
        // LEDVerify runs the other way: index 0 is the tens digit.
        IgnoreErrors([&] { m_verify.digits[0]->SetValue(int16_t(v / 10)); });
        IgnoreErrors([&] { m_verify.digits[1]->SetValue(int16_t(v - 10 * m_verify.digits[0]->Value())); });
    });

    // Created: a blank history on the empty chart.
    InitChart();
    TrainBarTools::Set(ToolName::TrainBPJogWeights, false);
    TrainBarTools::Set(ToolName::TrainBPStop, false);
}

frmTrainBP::~frmTrainBP()
{
    Departing();
}

std::shared_ptr<CBackProp> frmTrainBP::Net() const
{
    return CurrentNetworkAs<CBackProp>();
}

void frmTrainBP::SpinnersFromNet(CBackProp& net)
{
    IgnoreErrors([&] { m_learn.updown->SetValue(TrainLayout::SpinnerValue(net.LearnRate())); });
    IgnoreErrors([&] { m_momentum.updown->SetValue(TrainLayout::SpinnerValue(net.Momentum())); });
    IgnoreErrors([&] { m_verify.updown->SetValue(net.VerifyRate()); });
}

void frmTrainBP::ShowTrainingValues()
{
    auto net = Net();
    if (!net)
        return;
    ShowCounter(net->State().CyclesCompleted());
    SpinnersFromNet(*net);
    ShowKnownErrors(net->State());
}

void frmTrainBP::Activate()
{
    auto net = Net();
    if (!BeginActivate(net.get()))
        return;
    ShowTrainingValues();
    SeedChart(net->State(), true);
    Revert();
    Utilities::StatusMessage(QStringLiteral("Press GO to begin training."));
}

void frmTrainBP::Revert()
{
    Procedure(QStringLiteral("frmTrainBP::Revert"), [&] {
        auto net = Net();
        if (!net)
            return;
        net->Revert();
        mHistory.forgetChartBest();
        ShowCounter(net->State().CyclesCompleted());
        mHistory.blank();
        if (net->State().CyclesCompleted() != 0) {
            // After the revert the current error is the best one.
            const QString e = TrainLayout::Percent(net->State().CurrentError());
            SetErrorLabels(e, e);
            mHistory.seed(net->State().CyclesCompleted(), net->State().CurrentError());
        }
        SpinnersFromNet(*net);
        mHistory.setMarkPoint(0);
        ShowRevertedHistory();
    });
}

void frmTrainBP::ResetNet()
{
    Procedure(QStringLiteral("frmTrainBP::ResetNet"), [&] {
        if (auto net = Net())
            ResetTraining(*net, [&] { SpinnersFromNet(*net); });
    });
}

void frmTrainBP::Jog()
{
    auto net = Net();
    if (!net)
        return;
    // A jog comes between two training calls, also when a call takes several steps.
    if (net->PassOpen()) {
        m_jogAfterCall = true;
        return;
    }
    net->JogWeights();
}

// --- The run -------------------------------------------------------------------------------

bool frmTrainBP::BeginRun()
{
    auto net = Net();
    if (!net)
        return false;
    m_calls = 0;
    m_verifyNext = false;
    m_passError = 0;
    m_jogAfterCall = false;
    Utilities::StatusMessage(QStringLiteral("Predicting ") + net->State().DDO()->FieldName(net->PredictField())
                             + QStringLiteral("...") + QStringLiteral("   ") + QStringLiteral("Press STOP to finish."));
    return true;
}

bool frmTrainBP::RunStep()
{
    auto net = Net();
    if (!net)
        return false;
    // A training call of a large table takes several steps, one block of rows each; a stop
    // lets the call finish.
    if (net->PassOpen())
        return TrainBlock(*net);
    // A stop that came in after a call skips the rest of the pass's calls, but the pass still
    // verifies and draws.
    if (mStop && m_calls > 0)
        m_verifyNext = true;
    if (!m_verifyNext) {
        if (m_calls == 0) {
            if (mStop)
                return false;
            // The verify rate is read once a pass; a change takes effect at the next one.
            m_callsThisPass = m_verify.updown->Value();
        }
        return TrainBlock(*net);
    }
    m_verifyNext = false;
    m_calls = 0;
    Trained();
    net->Verify();
    const float c = ShowPass(*net);
    m_passError = c;
    // A perfect fit ends the run; so does a pass without an error (-1), which is no fit at all.
    if (!(c > 0))
        mStop = true;
    ShowCounter(net->State().CyclesCompleted());
    return !mStop;
}

bool frmTrainBP::TrainBlock(CBackProp& net)
{
    if (!net.TrainBlock())
        return true;
    if (m_jogAfterCall) {
        m_jogAfterCall = false;
        net.JogWeights();
    }
    if (net.State().DLLError() < 0) {
        EngineFailure(net);
        return false;
    }
    ++m_calls;
    if (m_calls >= m_callsThisPass)
        m_verifyNext = true;
    return true;
}

float frmTrainBP::ShowPass(CBackProp& net)
{
    const float c = net.State().CurrentError();
    const float b = net.BestError();
    if (mShowGraph) {
        m_graph->setVisible(true);
        if (c == -1)
            return c;
        mHistory.addPoint(net.State().CyclesCompleted(), c, b);
        SetErrorLabels(TrainLayout::Percent(c), b == -1 ? QString() : TrainLayout::Percent(b));
        ShowHistory(mHistory.scale(mZoomed, CErrorHistory::BackProp.passHeadroom));
    } else {
        m_graph->setVisible(false);
        if (c == -1)
            return c;
        SetErrorLabels(TrainLayout::Percent(c), b == -1 ? QString() : TrainLayout::Percent(b));
        mHistory.notePass(b);
        m_graph->SetMarkPoint(mHistory.markPoint());
    }
    return c;
}

void frmTrainBP::EngineFailure(CBackProp& net)
{
    // Other codes were shown by the network object itself.
    switch (net.State().DLLError()) {
    case DLLErrConstantField:
        Prompts::MsgBox(QStringLiteral("One of the fields contains data that ") + QStringLiteral("is all the same.")
                            + QLatin1Char('\n') + TrainLayout::FieldsLine(net.State().ConstantFields())
                            + QStringLiteral("This field will need to be ")
                            + QStringLiteral("removed from the input list or the size of the training split ")
                            + QStringLiteral("should be increased."),
                        MsgButtons::Ok, MsgIcon::Critical, QStringLiteral("Normalizing Training Data"));
        break;
    case DLLErrTooFewRows:
        Prompts::MsgBox(QStringLiteral("There are not enough usable rows of data. (Probably too ") + QLatin1Char('\n')
                            + QStringLiteral("many missing values)  Try increasing the size of the training split."),
                        MsgButtons::Ok, MsgIcon::Critical, QStringLiteral("Normalizing Training Data"));
        break;
    default:
        break;
    }
    EndOnEngineFailure();
}

void frmTrainBP::EndOfRun()
{
    RestoreToolsAfterRun(Net().get());
    // Off after a perfect fit or when no pass completed; a pass without an error leaves it on.
    TrainBarTools::Set(ToolName::TrainBPTrain, m_passError > 0 || m_passError == -1);
    TrainBarTools::Refresh();
    Utilities::StatusMessage(QString());
}

bool frmTrainBP::SaveOnClose()
{
    auto net = Net();
    // The step and flags go with the network, in its transaction: never without it.
    return !net || net->SaveConfig();
}
