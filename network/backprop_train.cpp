// The training side of a back-propagation project: training calls, verification with the
// best-network log, the weight jog, the reset, and single predictions.
#include "network/backprop.h"

#include "core/errorbox.h"
#include "data/datadef.h"

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
                                 mDLLError = FailureCode(result);
                             }
                         });
    });
}

void CBackProp::Verify()
{
    Member("BackProp:Verify Method", [&] {
        if (!mTrainBuilt)
            return;
        const int32_t result = CallEngine(EngineRun);
        if (result < 0) {
            // No error was measured: nothing to compare with the best one.
            EngineBox(QStringLiteral("DLL Test Error.  Error #"), result, QStringLiteral("CBackProp::Verify"));
            return;
        }
        mCurrentError = float(result / 100.0);
        if (mBestLogging && (mBestError == -1 || mCurrentError < mBestError)) {
            mBestError = mCurrentError;
            const int32_t written = CallEngine(EngineWrite);
            if (written != 1)
                EngineBox(QStringLiteral("DLL Write Error.  Error #"), written, QStringLiteral("CBackProp::Verify"));
        }
    });
}

void CBackProp::JogWeights()
{
    Member("BackProp:JogWeights Method", [&] {
        if (!mTrainBuilt)
            return;
        const int16_t result = int16_t(CallEngine(EngineJog));
        if (result != 1)
            EngineBox(QStringLiteral("DLL Jog Error.  Error #"), result, QStringLiteral("CBackProp::JogWeights"));
    });
}

bool CBackProp::Reset()
{
    return ForgetTraining(QStringLiteral("CBackProp::Reset"), [&] {
        mJogMax = 25;
        mInitMax = 1.0f;
        mLearnRate = 0.5f;
        mMomentum = 0.5f;
        mVerifyRate = 5;
    });
}

double CBackProp::Predict(const std::vector<double>& values)
{
    return Member("BackProp:Train Method", [&]() -> double {
        if (!mNetReady) {
            if (!CreateNetwork(false, QString(), QStringLiteral("DLL Failure.  Error #"), QStringLiteral("Error")))
                return NoPrediction;
            mCurrentError = mBestError = -1;
        }
        if (RunOneRow(values) < 0)
            return NoPrediction;
        mCurrentError = -1;
        const float r = mArrays.m_valueResults[1];
        if (r == UnusableRow)
            return NoPrediction;
        const double lo = mDDO->UserMin(mArrays.m_predictField);
        const double hi = mDDO->UserMax(mArrays.m_predictField);
        return lo + double(r) * (hi - lo);
    });
}
