// The training side of a back-propagation project: training calls, verification with the
// best-network log, the weight jog, the reset, and single predictions.
#include "network/backprop.h"

#include "core/errorbox.h"
#include "data/datadef.h"
#include "network/enginecodes.h"

using modErrorHandling::Member;

void CBackProp::Train()
{
    TrainPart(true);
}

bool CBackProp::TrainBlock()
{
    return TrainPart(false);
}

bool CBackProp::TrainPart(bool whole)
{
    return Member("BackProp:Train Method", [&] {
        return TrainCall(whole, QStringLiteral("   ") + QStringLiteral("Press STOP to finish."),
                         QStringLiteral("DLL Failure.  Error #"), QStringLiteral("Error"), [&](int32_t result) {
                             if (result != 1) {
                                 EngineBox(QStringLiteral("DLL Train Error. Error #"), result,
                                           QStringLiteral("CBackProp::Train"));
                                 m_state.SetDLLError(FailureCode(result));
                             }
                         });
    });
}

void CBackProp::Verify()
{
    Member("BackProp:Verify Method", [&] {
        if (!m_state.TrainBuilt())
            return;
        const int32_t result = CallEngine(EngineRun);
        if (result < 0) {
            // No error was measured: nothing to compare with the best one.
            EngineBox(QStringLiteral("DLL Test Error.  Error #"), result, QStringLiteral("CBackProp::Verify"));
            return;
        }
        m_state.SetCurrentError(float(result / 100.0));
        if (m_bestLogging && (m_state.BestError() == -1 || m_state.CurrentError() < m_state.BestError())) {
            m_state.SetBestError(m_state.CurrentError());
            const int32_t written = CallEngine(EngineWrite);
            if (written != 1)
                EngineBox(QStringLiteral("DLL Write Error.  Error #"), written, QStringLiteral("CBackProp::Verify"));
        }
    });
}

void CBackProp::JogWeights()
{
    Member("BackProp:JogWeights Method", [&] {
        if (!m_state.TrainBuilt())
            return;
        const int16_t result = int16_t(CallEngine(EngineJog));
        if (result != 1)
            EngineBox(QStringLiteral("DLL Jog Error.  Error #"), result, QStringLiteral("CBackProp::JogWeights"));
    });
}

bool CBackProp::Reset()
{
    return ForgetTraining(QStringLiteral("CBackProp::Reset"), [&] {
        m_jogMax = 25;
        m_initMax = 1.0f;
        m_learnRate = 0.5f;
        m_momentum = 0.5f;
        m_verifyRate = 5;
    });
}

double CBackProp::Predict(const std::vector<long double>& values)
{
    return Member("BackProp:Train Method", [&]() -> double {
        if (!m_state.NetReady()) {
            if (!CreateNetwork(false, QString(), QStringLiteral("DLL Failure.  Error #"), QStringLiteral("Error")))
                return NoPrediction;
            m_state.SetCurrentError(-1);
            m_state.SetBestError(-1);
        }
        if (RunOneRow(values) < 0)
            return NoPrediction;
        m_state.SetCurrentError(-1);
        const float r = m_state.Arrays().valueResults[1];
        if (r == UnusableRow)
            return NoPrediction;
        const double lo = m_state.DDO()->UserMin(m_state.Arrays().predictField);
        const double hi = m_state.DDO()->UserMax(m_state.Arrays().predictField);
        return lo + double(r) * (hi - lo);
    });
}
