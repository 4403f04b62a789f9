#include "network/backprop.h"

#include "core/kverror.h"
#include "data/datadef.h"
#include "data/projectschema.h"
#include "engine/korvan_engine.h"
#include "engine/trainpass.h"

#include <cmath>
#include <limits>

const NetworkKindTexts& CBackProp::KindData()
{
    static const NetworkKindTexts kind{
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

std::vector<ConfigSetting> CBackProp::Settings()
{
    return {
        DataFileSetting(),
        TableSetting(),
        m_state.Setting("TrainHigh"),
        m_state.Setting("TrainLow"),
        m_state.Setting("TestHigh"),
        m_state.Setting("TestLow"),
        m_state.Setting("WorkingDir"),
        CountViaSingleSetting("LayerJCount", m_layerJCount),
        CountViaSingleSetting("JogMax", m_jogMax),
        SingleSetting("InitMax", m_initMax),
        SingleSetting("LearnRate", m_learnRate),
        SingleSetting("Momentum", m_momentum),
        m_state.Setting("CyclesCompleted"),
        m_state.Setting("ShuffleNum"),
        TypeSetting(),
        BooleanSetting("BestLogging", m_bestLogging),
        m_state.Setting("BestError"),
        CountSetting("VerifyRate", m_verifyRate),
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

int32_t CBackProp::EngineOverRows(EngineCommand command, int64_t first, int64_t count)
{
    // Row first - 1 stands in for the engine's row 0, which it never reads nor writes.
    const size_t before = size_t(first - 1);
    PatternArrays& a = m_state.Arrays();
    return VTBACKPROP(a.patterns.data() + before * size_t(a.Stride()), a.Stride(), int32_t(count + 1),
                      a.fieldMin.data(), a.fieldMax.data(), a.valueResults.data() + before,
                      m_state.CyclesCounter(), m_layerJCount, m_jogMax, m_initMax, m_learnRate, m_momentum,
                      m_engineFile.NativeName(), command);
}

int32_t CBackProp::JoinRunAnswers(const std::vector<BlockAnswer>& blocks) const
{
    // The answer is the mean error of the usable rows in ten-thousandths; a test reads only
    // whether it is a failure, so the blocks' means weighted by their rows serve.
    double sum = 0;
    int64_t rows = 0;
    for (const BlockAnswer& b : blocks) {
        sum += double(b.answer) * double(b.usableRows);
        rows += b.usableRows;
    }
    if (rows == 0)
        return DLLErrTooFewRows;
    return int32_t(std::min(std::nearbyint(sum / double(rows)), double(std::numeric_limits<int32_t>::max())));
}

int32_t CBackProp::BeginEnginePass(kvengine::TrainPass& pass)
{
    PatternArrays& a = m_state.Arrays();
    a.Check(a.valueResults.size());
    return pass.BeginBackProp(a.patterns.data(), a.Stride(), int32_t(a.rows + 1), a.fieldMin.data(),
                              a.fieldMax.data(), a.valueResults.data(), m_learnRate, m_momentum,
                              m_engineFile.NativeName());
}

void CBackProp::LayoutFinished(PatternArrays& arrays)
{
    if (m_layerJCount == 0)
        m_layerJCount = DefaultHiddenNodes(arrays.numInputs);
}

void CBackProp::SizeResults(PatternArrays& arrays, int64_t rows)
{
    arrays.valueResults.assign(size_t(rows + 1), 0.0f);
}

void CBackProp::MarkUnusable(PatternArrays& arrays, int64_t row)
{
    arrays.valueResults[size_t(row)] = UnusableRow;
}

float CBackProp::Target(const PatternArrays& arrays, kdb::Reader& reader, int column, int64_t, PartClasses&,
                        bool& unusable) const
{
    // A missing target makes the row unusable and counts as 0.
    bool isNull = false;
    const long double value = PatternArrays::ColumnNumber(reader, column, isNull);
    if (isNull)
        unusable = true;
    return arrays.Scale(0, value);
}
