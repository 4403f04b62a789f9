// The training side of an SFAM project: training calls, verification with the best network,
// the reset, and single predictions.
#include "network/sfam.h"

#include "core/errorbox.h"
#include "core/status.h"
#include "network/enginecodes.h"

using modErrorHandling::Member;

void CSFam::Train()
{
    TrainPart(true);
}

bool CSFam::TrainBlock()
{
    return TrainPart(false);
}

bool CSFam::TrainPart(bool whole)
{
    return Member("SFam:Train Method", [&] {
        return TrainCall(whole, QString(), QStringLiteral("DLL Init Failure.  Error #"),
                         QStringLiteral("Error In CSFam::Train"), [&](int32_t result) {
                             if (result < 0) {
                                 EngineBox(QStringLiteral("DLL Train Error.  Error #"), result,
                                           QStringLiteral("CSFam::Train"));
                                 m_state.SetDLLError(FailureCode(result));
                                 // A failure's code is no count of nodes: the nodes stay.
                                 return;
                             }
                             m_currentNodes = int16_t(result);
                         });
    });
}

void CSFam::Verify()
{
    Member("CSFamProject:Verify Method", [&] {
        if (!m_state.TrainBuilt())
            return;
        Status::Message(QStringLiteral("Verifying..."));
        VerifyEnded(CallEngine(EngineRun));
    });
}

bool CSFam::VerifyBlock(bool begin)
{
    return Member("CSFamProject:Verify Method", [&] {
        if (!m_state.TrainBuilt())
            return true;
        if (begin)
            Status::Message(QStringLiteral("Verifying..."));
        int32_t result = 0;
        if (!RunBlock(begin, result))
            return false;
        VerifyEnded(result);
        return true;
    });
}

void CSFam::VerifyEnded(int32_t result)
{
    // Checked before the division: in floating point it would quietly give infinity.
    const int64_t usable = m_state.Arrays().rows - m_state.Arrays().nullRows;
    if (usable <= 0)
        throw KvError(KvErr::DivisionByZero);
    if (result < 0) {
        // No error was measured: nothing to compare with the best one, no cycle's result to
        // show, and the verification is over.
        EngineBox(QStringLiteral("DLL Test Error.  Error #"), result, QStringLiteral("CSFam::Verify"));
        Status::Message(QString());
        return;
    }
    m_state.SetCurrentError(float(double(result) / double(usable) * 100.0));
    if (m_state.BestError() == -1 || m_state.CurrentError() < m_state.BestError()) {
        m_state.SetBestError(m_state.CurrentError());
        const int32_t written = CallEngine(EngineWrite);
        if (written != 1)
            EngineBox(QStringLiteral("DLL Write Error.  Error #"), written, QStringLiteral("CSFam::Verify"));
    }
    Status::Message(QStringLiteral("Train cycle complete.  ") + QString::number(100.0 - m_state.CurrentError(), 'f', 2)
                    + QStringLiteral("% success on training data."));
}

bool CSFam::Reset()
{
    return ForgetTraining(QStringLiteral("CSFam::Reset"), [&] {
        m_vigBase = 0.5f;
        m_alpha = 0.001f;
        m_beta = 1.0f;
        m_epsilon = 0.0001f;
        // The nodes were the forgotten network's.
        m_currentNodes = 0;
    });
}

QString CSFam::Predict(const std::vector<long double>& values)
{
    return Member("BackProp:Train Method", [&]() -> QString {
        if (!m_state.NetReady()
            && !CreateNetwork(false, QString(), QStringLiteral("DLL Init Failure.  Error #"),
                              QStringLiteral("Error In CSFam::Train")))
            return NoPredictionText();
        if (RunOneRow(values) < 0)
            return NoPredictionText();
        const int16_t k = m_state.Arrays().classResults[1];
        if (k < 0 || size_t(k) >= m_state.Arrays().classes.Names().size())
            return NoPredictionText();
        return m_state.Arrays().classes.Names()[size_t(k)];
    });
}
