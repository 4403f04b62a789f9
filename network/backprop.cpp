#include "network/backprop.h"

#include "core/kverror.h"
#include "data/datadef.h"
#include "data/projectschema.h"
#include "engine/korvan_engine.h"
#include "engine/trainpass.h"

#include <cmath>

const CNetworkProject::Kind& CBackProp::KindData()
{
    static const Kind kind{
        "CBackProp",
        "BackProp",
        "BackProp::MakeTables Error",
        "Korvan.CBackProp",
        "Error\r\nBad property: ",
        true,
        "CBackProp::GetProperty",
        "2",
        "BestError",
        roleBPPredict,
        true,
        false,
        true,
    };
    return kind;
}

CBackProp::CBackProp() : CNetworkProject(KindData()) {}

CBackProp::~CBackProp() = default;

std::vector<CNetworkProject::Setting> CBackProp::Settings()
{
    return {
        DataFileSetting(),
        TableSetting(),
        LongSetting("TrainHigh", mTrainHigh),
        LongSetting("TrainLow", mTrainLow),
        LongSetting("TestHigh", mTestHigh),
        LongSetting("TestLow", mTestLow),
        TextSetting("WorkingDir", mWorkingDir),
        IntegerViaSingleSetting("LayerJCount", mLayerJCount),
        IntegerViaSingleSetting("JogMax", mJogMax),
        SingleSetting("InitMax", mInitMax),
        SingleSetting("LearnRate", mLearnRate),
        SingleSetting("Momentum", mMomentum),
        LongSetting("CyclesCompleted", mCyclesCompleted),
        IntegerSetting("ShuffleNum", mShuffleNum),
        TypeSetting(),
        BooleanSetting("BestLogging", mBestLogging),
        SingleSetting("BestError", mBestError),
        IntegerSetting("VerifyRate", mVerifyRate),
    };
}

QStringList CBackProp::ReadOrder() const
{
    return {QStringLiteral("TrainHigh"), QStringLiteral("TrainLow"), QStringLiteral("TestHigh"),
            QStringLiteral("TestLow"), QStringLiteral("WorkingDir"), QStringLiteral("LayerJCount"),
            QStringLiteral("JogMax"), QStringLiteral("InitMax"), QStringLiteral("LearnRate"),
            QStringLiteral("Momentum"), QStringLiteral("CyclesCompleted"), QStringLiteral("ShuffleNum"),
            QStringLiteral("BestLogging"), QStringLiteral("BestError"), QStringLiteral("VerifyRate"),
            ProjectSchema::DatabaseFileNameKey(), ProjectSchema::TableNameKey()};
}

int32_t CBackProp::CallEngine(EngineCommand command)
{
    AbandonPass();
    CheckArrays(mResults.size());
    return VTBACKPROP(mPatterns.data(), PatternStride(), int32_t(mRows + 1), mFieldMin.data(),
                      mFieldMax.data(), mResults.data(), &mCyclesCompleted, mLayerJCount, mJogMax,
                      mInitMax, mLearnRate, mMomentum, mEngineFile.NativeName(), command);
}

int32_t CBackProp::BeginEnginePass(kvengine::TrainPass& pass)
{
    CheckArrays(mResults.size());
    return pass.BeginBackProp(mPatterns.data(), PatternStride(), int32_t(mRows + 1), mFieldMin.data(),
                              mFieldMax.data(), mResults.data(), mLearnRate, mMomentum, mEngineFile.NativeName());
}

void CBackProp::LayoutFinished()
{
    if (mLayerJCount == 0)
        mLayerJCount = DefaultHiddenNodes(mNumInputs);
}

void CBackProp::SizeResults(int64_t rows)
{
    mResults.assign(size_t(rows + 1), 0.0f);
}

void CBackProp::GrowResults(int64_t rows)
{
    mResults.resize(size_t(rows + 1), 0.0f);
}

void CBackProp::MarkUnusable(int64_t row)
{
    mResults[size_t(row)] = UnusableRow;
}

float CBackProp::Target(kdb::Reader& reader, int column, int64_t row)
{
    // A missing target makes the row unusable and counts as 0.
    bool isNull = false;
    const float value = ColumnNumber(reader, column, isNull);
    if (isNull)
        MarkUnusable(row);
    return Normalize(value, mFieldMin[0], mFieldMax[0]);
}
