// The testing side of a back-propagation project: the test error, the Test rows, the error
// statistics and the hand-over of the tested arrays to the charts.
#include "network/backprop.h"

#include "core/errorbox.h"
#include "core/prompts.h"
#include "data/datadef.h"
#include "data/projectschema.h"
#include "network/enginecodes.h"
#include "network/projectstore.h"
#include "network/teststats.h"

#include <cmath>
#include <optional>

QString CBackProp::TestingText() const
{
    return QStringLiteral("Testing ") + QString::number(m_state.Arrays().rows) + QStringLiteral(" rows.");
}

TestOutcome CBackProp::TestError(int32_t result, float& error)
{
    if (result == -3) {
        Prompts::MsgBox(QStringLiteral("Not enough data was selected for testing.  Please select more."), MsgButtons::Ok,
                        MsgIcon::Exclamation, QStringLiteral("Not Enough Data"));
        return TestOutcome::NotEnoughData;
    }
    if (result < 0) {
        EngineBox(QStringLiteral("DLL Test Error.  Error #"), result, QStringLiteral("CBackProp::Test"));
        return TestOutcome::EngineFailure;
    }
    // The engine measures against the clamped normalised targets; the figure shown is measured
    // against the rows' own values, as the Test rows' Difference is.
    error = float(MeasureRows().error);
    return TestOutcome::Done;
}

QString CBackProp::TestTableStatement(const QString& keyType) const
{
    return ProjectSchema::BackPropTestStatement(keyType);
}

bool CBackProp::SavePrediction(kdb::Database& db)
{
    return Procedure(QStringLiteral("CBackProp::SavePrediction"), [&] {
        const int64_t n = int64_t(m_state.TestHigh()) - int64_t(m_state.TestLow()) + 1;
        if (n != m_state.Arrays().rows || m_state.Arrays().valueResults.size() != size_t(n + 1))
            throw KvError(KvErr::InvalidCall);
        // The keys and values came with the testing rows; the source is read again only without.
        const bool kept = m_state.Arrays().testKeys.size() == size_t(n + 1)
                          && m_state.Arrays().actuals.size() == size_t(n + 1);
        std::optional<kdb::Reader> source;
        if (!kept)
            source.emplace(TestingRows(db, {m_state.DDO()->FieldName(m_state.Arrays().predictField)}));
        const double lo = m_state.DDO()->UserMin(m_state.Arrays().predictField);
        const double hi = m_state.DDO()->UserMax(m_state.Arrays().predictField);
        kdb::Statement insert = ProjectStore(db).BackPropTestRows();
        m_testProgress.Begin(TestProgress::Writing, n);
        for (int64_t i = 1; i <= n; ++i) {
            m_testProgress.Rows(i - 1);
            if (!kept && !source->Next())
                throw KvError(KvErr::NoCurrentRecord);
            const kdb::Value key = kept ? m_state.Arrays().testKeys[size_t(i)] : source->Get(0);
            insert.Bind(1, key);
            insert.Bind(4, int64_t(m_keptMarks.Of(key)));
            const float r = m_state.Arrays().valueResults[size_t(i)];
            if (r == UnusableRow) {
                insert.Bind(2, NoPrediction);
                insert.BindNull(3);
            } else {
                const double predicted = lo + (hi - lo) * double(r);
                insert.Bind(2, predicted);
                // The error against the row's own value, not its clamped normalised form.
                bool isNull = false;
                double actual = 0;
                if (kept) {
                    actual = m_state.Arrays().actuals[size_t(i)];
                    isNull = std::isnan(actual);
                } else {
                    actual = PatternArrays::ColumnValue(*source, 1, isNull);
                }
                if (r >= 0 && !isNull)
                    insert.Bind(3, std::fabs(actual - predicted));
                else
                    insert.BindNull(3);
            }
            while (insert.Step()) {
            }
            insert.Reset();
        }
        m_testProgress.Rows(n);
    });
}

TestStats::Figures CBackProp::MeasureRows() const
{
    if (!m_state.DDO())
        throw KvError(KvErr::ObjectNotSet);
    m_state.Arrays().Check(m_state.Arrays().valueResults.size());
    if (m_state.Arrays().actuals.size() != m_state.Arrays().valueResults.size())
        throw KvError(KvErr::InvalidCall);
    const int16_t field = PredictField();
    // lo and hi as the Test rows' predictions take them, so that the figures agree with the
    // Difference column.
    const PatternArrays& a = m_state.Arrays();
    return TestStats::Measure(a.actuals.data(), a.valueResults.data(), a.rows, m_state.DDO()->UserMin(field),
                              m_state.DDO()->UserMax(field));
}

std::optional<TestStats::Figures> CBackProp::RowFigures() const
{
    if (!m_state.TrainBuilt() && !m_state.TestBuilt())
        return std::nullopt;
    return MeasureRows();
}

float CBackProp::ActualRMSError()
{
    if (!m_state.TrainBuilt() && !m_state.TestBuilt())
        return m_state.NetReady() ? -1.0f : 0.0f;
    return float(MeasureRows().rmsError);
}

float CBackProp::UnexplainedVar()
{
    if (!m_state.TrainBuilt() && !m_state.TestBuilt())
        return m_state.NetReady() ? -1.0f : 0.0f;
    float answer = 0;
    Procedure(QStringLiteral("CBackProp::UnexplainedVar"), [&] { answer = float(MeasureRows().unexplained); });
    return answer;
}

double CBackProp::Correlation()
{
    double answer = std::nan("");
    if (m_state.TrainBuilt() || m_state.TestBuilt())
        IgnoreErrors([&] { answer = MeasureRows().correlation; });
    return answer;
}

CBackProp::RowStatistics CBackProp::TrainingStatistics()
{
    RowStatistics stats;
    if (!m_state.NetReady())
        return stats;
    if (!m_state.TrainBuilt() && (!BuildArrays(1) || !m_state.TrainBuilt()))
        return stats;
    const int32_t result = CallEngine(EngineRun);
    if (result < 0) {
        EngineBox(QStringLiteral("DLL Test Error.  Error #"), result, QStringLiteral("CBackProp::Verify"));
        return stats;
    }
    TestStats::Figures figures;
    if (!Procedure(QStringLiteral("CBackProp::ActualRMSError"), [&] { figures = MeasureRows(); }))
        return stats;
    stats.error = float(figures.error);
    stats.rmsError = float(figures.rmsError);
    stats.unexplained = float(figures.unexplained);
    stats.correlation = figures.correlation;
    stats.valid = true;
    return stats;
}

TestedPredictions CBackProp::TestedResults() const
{
    TestedPredictions data;
    // The charts draw the target column only.
    const std::vector<float>& patterns = m_state.Arrays().patterns;
    const size_t stride = size_t(m_state.PatternStride());
    data.actual.reserve(patterns.size() / stride);
    for (size_t i = 0; i < patterns.size(); i += stride)
        data.actual.push_back(patterns[i]);
    data.predicted = m_state.Arrays().valueResults;
    data.actualValues = m_state.Arrays().actuals;
    data.trainedCaption = QStringLiteral("Trained: ") + QString::number(m_state.TrainLow()) + QStringLiteral(" to ")
                          + QString::number(m_state.TrainHigh());
    data.testedCaption = QStringLiteral(" Tested: ") + QString::number(m_state.TestLow()) + QStringLiteral(" to ")
                         + QString::number(m_state.TestHigh());
    data.rowsText = QString::number(qsizetype(m_state.Arrays().valueResults.size()) - 1) + QStringLiteral(" Rows");
    return data;
}
