// What training and single predictions of both kinds share: creating the network in the
// engine, the one-row run of a prediction, forgetting a training, the prediction field.
#include "network/networkproject.h"

#include "core/errorbox.h"
#include "core/prompts.h"
#include "core/status.h"
#include "data/datadef.h"
#include "engine/korvan_engine.h"
#include "engine/trainpass.h"

#include <algorithm>
#include <chrono>
#include <limits>

int16_t CNetworkProject::FailureCode(int32_t result)
{
    // A failing answer that is not negative counts as the engine's general refusal.
    if (result >= 0)
        return -1;
    return int16_t(std::max<int32_t>(result, std::numeric_limits<int16_t>::min()));
}

QString CNetworkProject::PredictingText() const
{
    QString name;
    IgnoreErrors([&] { name = mDDO->FieldName(mPredictField); });
    return QStringLiteral("Predicting ") + name + QStringLiteral("...");
}

bool CNetworkProject::CreateNetwork(bool withTrainingRows, const QString& suffix,
                                    const QString& failureText, const QString& failureTitle)
{
    Status::Message(QStringLiteral("Normalizing..."));
    // A layout without rows, or rows without a layout, is no ground for a network: the engine
    // is not asked, and the next call tries again.
    if (!BuildArrays(0) || !mNetReady || (withTrainingRows && (!BuildArrays(1) || !mTrainBuilt))) {
        mNetReady = false;
        mDLLError = DLLErrNoArrays;
        return false;
    }
    Status::Message(PredictingText() + suffix);
    mDLLError = 0;
    mConstantFields.clear();
    const int32_t result = CallEngine(EngineInit);
    if (result == 1)
        return true;
    mNetReady = false;
    // No prediction is under way any more: the status must not say so beside the failure.
    Status::Message(QString());
    if (result == -8 || result == -7) {
        mDLLError = DLLErrConstantField;
        mConstantFields = FindConstantFields(withTrainingRows);
    } else if (result == DLLErrTooFewRows) {
        mDLLError = DLLErrTooFewRows;
    } else {
        mDLLError = FailureCode(result);
        EngineBox(failureText, result, failureTitle);
    }
    return false;
}

QStringList CNetworkProject::FindConstantFields(bool withRows) const
{
    QStringList names;
    IgnoreErrors([&] {
        const int32_t stride = PatternStride();
        std::vector<char> varies(size_t(stride), 0);
        const float* first = nullptr;
        for (int64_t r = 1; withRows && r <= mRows; ++r) {
            if (!RowUsable(r))
                continue;
            const float* row = mPatterns.data() + r * stride;
            if (!first)
                first = row;
            for (int32_t j = 1; j <= mNumInputs; ++j)
                varies[size_t(j)] |= row[j] != first[j];
        }
        for (int32_t j = 1; j <= mNumInputs; ++j)
            if (mFieldMin[size_t(j)] == mFieldMax[size_t(j)] || (first && !varies[size_t(j)]))
                names << mDDO->FieldName(mInputFields[size_t(j)]);
    });
    return names;
}

bool CNetworkProject::ReadyToTrain(const QString& suffix, const QString& failureText, const QString& failureTitle)
{
    // A failure of an earlier call must not stop a loop that now trains again.
    mDLLError = 0;
    if (!mNetReady) {
        if (!CreateNetwork(true, suffix, failureText, failureTitle))
            return false;
        mCurrentError = mBestError = -1;
        return true;
    }
    if (!mTrainBuilt) {
        Status::Message(QStringLiteral("Normalizing..."));
        if (!BuildArrays(1) || !mTrainBuilt) {
            mDLLError = DLLErrNoArrays;
            return false;
        }
        Status::Message(PredictingText() + suffix);
        mCurrentError = -1;
    }
    return true;
}

void CNetworkProject::EngineBox(const QString& text, int32_t code, const QString& title)
{
    Prompts::MsgBox(text + QString::number(code), MsgButtons::Ok, MsgIcon::Critical, title);
}

void CNetworkProject::ForgetTraining(const QString& title, const std::function<void()>& defaults)
{
    Procedure(title, [&] {
        DropSavedNetwork();
        defaults();
        mCyclesCompleted = 0;
        mCurrentError = mBestError = -1;
        mTrainBuilt = mTestBuilt = mNetReady = false;
    });
}

bool CNetworkProject::PassOpen() const { return mPass && mPass->Open(); }

void CNetworkProject::AbandonPass()
{
    if (mPass)
        mPass->Abandon();
}

size_t CNetworkProject::BlockRows(size_t remaining) const
{
    return mBlockRows > 0 ? mBlockRows : mPacer.NextBlock(remaining);
}

bool CNetworkProject::TrainCall(bool whole, const QString& suffix, const QString& failureText,
                                const QString& failureTitle, const std::function<void(int32_t)>& ended)
{
    using Clock = std::chrono::steady_clock;
    const auto timed = [&](size_t rows, const std::function<int32_t()>& call) {
        const auto start = Clock::now();
        const int32_t answer = call();
        mPacer.Measured(rows, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        mCurrentError = -1;
        return answer;
    };
    if (!PassOpen()) {
        if (!ReadyToTrain(suffix, failureText, failureTitle))
            return true;
        // A pass that fits one block is the Train command itself.
        const size_t rows = size_t(std::max<int64_t>(mRows, 0));
        if (whole || rows <= BlockRows(rows)) {
            ended(timed(rows, [&] { return CallEngine(EngineTrain); }));
            return true;
        }
        if (!mPass)
            mPass = std::make_unique<kvengine::TrainPass>();
        const int32_t begun = BeginEnginePass(*mPass);
        if (begun != KV_ENGINE_SUCCESS) {
            mCurrentError = -1;
            ended(begun);
            return true;
        }
    }
    const size_t remaining = mPass->Rows() - mPass->RowsDone();
    const size_t rows = whole ? remaining : std::min(remaining, BlockRows(remaining));
    const int32_t answer = timed(rows, [&] { return mPass->Next(rows, &mCyclesCompleted); });
    if (answer == 0)
        return false;
    ended(answer);
    return true;
}

int32_t CNetworkProject::RunOneRow(const std::vector<double>& values)
{
    AbandonPass();
    for (int32_t i = 1; i <= mNumInputs; ++i) {
        const int16_t field = mInputFields[size_t(i)];
        if (field < 0 || size_t(field) >= values.size())
            throw KvError(KvErr::SubscriptOutOfRange);
    }
    const int32_t stride = PatternStride();
    mRows = 1;
    mPatterns.assign(size_t(2 * stride), 0.0f);
    SizeResults(1);
    for (int32_t i = 1; i <= mNumInputs; ++i)
        mPatterns[size_t(stride + i)] = Normalize(float(values[size_t(mInputFields[size_t(i)])]),
                                                  mFieldMin[size_t(i)], mFieldMax[size_t(i)]);
    mTrainBuilt = mTestBuilt = false;
    return CallEngine(EngineRun);
}

void CNetworkProject::DropSavedNetwork()
{
    if (mEngineFile.HoldsNetwork())
        mEngineFile.Clear();
    kdb::Database db = kdb::Database::Open(ProjectFileName(), false, false);
    // Every saved network goes, not only the first row: one left behind would come back at
    // the next open.
    db.Execute(QStringLiteral("DELETE FROM SnapShots"));
}

int16_t CNetworkProject::PredictField() const
{
    int16_t field = -1;
    IgnoreErrors([&] {
        if (!mDDO)
            return;
        for (int16_t i = 1; i <= mDDO->NumFields(); ++i) {
            if (mDDO->UserMatchType(i) == mKind.predictRole) {
                field = i;
                return;
            }
        }
    });
    return field;
}
