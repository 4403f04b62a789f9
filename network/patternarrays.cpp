#include "network/patternarrays.h"

#include "core/errorbox.h"
#include "core/kverror.h"
#include "data/datadef.h"
#include "network/networkproject.h"
#include "network/testprogress.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
// Rows the arrays hold before they first grow while reading.
constexpr int64_t kFirstRows = 65536;

QString folded(const QString& name)
{
    return name.toUpper().trimmed();
}
} // namespace

// --- Class index -----------------------------------------------------------------------------

void ClassNumbers::Reset(std::vector<QString> names)
{
    m_names = std::move(names);
    // QHash::insert replaces, so walking back to front leaves the first index of each value.
    m_exact.clear();
    m_folded.clear();
    for (size_t i = m_names.size(); i-- > 0;) {
        m_exact.insert(m_names[i], int16_t(i));
        m_folded.insert(folded(m_names[i]), int16_t(i));
    }
}

int16_t ClassNumbers::Number(const QString& name)
{
    if (const auto it = m_exact.constFind(name); it != m_exact.constEnd())
        return it.value();
    const QString key = folded(name);
    if (const auto it = m_folded.constFind(key); it != m_folded.constEnd())
        return it.value();
    const size_t index = m_names.size();
    if (index >= size_t(MaxSFamClasses) + 1)
        return -5;
    m_names.push_back(name);
    m_exact.insert(name, int16_t(index));
    m_folded.insert(key, int16_t(index));
    return int16_t(index);
}

// --- Values ----------------------------------------------------------------------------------

float PatternArrays::Normalize(float value, float min, float max)
{
    const float range = max - min;
    if (range == 0.0f || !std::isfinite(range))
        return 0.0f;
    const float v = (value - min) / range;
    if (!std::isfinite(v))
        return 0.0f;
    if (v < 0.0f)
        return 0.0f;
    if (v > 1.0f)
        return 1.0f;
    return v;
}

double PatternArrays::ColumnValue(kdb::Reader& reader, int column, bool& isNull)
{
    if (const std::optional<double> d = reader.ToDouble(column)) {
        isNull = false;
        return *d;
    }
    if (reader.IsNull(column)) {
        isNull = true;
        return 0.0;
    }
    isNull = false;
    if (const std::optional<double> serial = kdb::DateSerial(reader.Get(column)))
        return *serial;
    throw KvError(KvErr::TypeMismatch);
}

float PatternArrays::ColumnNumber(kdb::Reader& reader, int column, bool& isNull)
{
    return float(ColumnValue(reader, column, isNull));
}

// --- Builds ----------------------------------------------------------------------------------

void PatternArrays::Check(size_t resultCount) const
{
    const size_t stride = size_t(Stride());
    if (m_rows < 0 || m_rows + 1 > std::numeric_limits<int32_t>::max() || resultCount != size_t(m_rows + 1)
        || m_patterns.size() != stride * size_t(m_rows + 1) || m_fieldMin.size() != stride
        || m_fieldMax.size() != stride)
        throw KvError(KvErr::InvalidCall);
}

void PatternArrays::BuildLayout(const CDataDef& ddo, int16_t predictRole, IPatternKind& kind)
{
    m_testKeys.clear();
    m_actuals.clear();
    m_numInputs = 0;
    m_predictField = 0;
    m_inputFields.assign(1, 0);
    m_fieldMin.assign(1, 0.0f);
    m_fieldMax.assign(1, 0.0f);
    kind.LayoutStarting(*this);
    const int16_t n = ddo.NumFields();
    for (int16_t i = 1; i <= n; ++i) {
        const int16_t role = ddo.UserMatchType(i);
        if (role == roleInput) {
            ++m_numInputs;
            m_inputFields.push_back(i);
            m_fieldMin.push_back(float(ddo.UserMin(i)));
            m_fieldMax.push_back(float(ddo.UserMax(i)));
        } else if (role == predictRole) {
            m_predictField = i;
        }
    }
    m_fieldMax[0] = float(ddo.UserMax(m_predictField));
    m_fieldMin[0] = float(ddo.UserMin(m_predictField));
    m_rows = 0;
    m_patterns.assign(size_t(Stride()), 0.0f);
    kind.SizeResults(*this, 0);
    kind.LayoutFinished(*this);
}

void PatternArrays::BuildRows(const CDataDef& ddo, const RowRange& range, const RowSource& source,
                              TestProgress& progress, IPatternKind& kind)
{
    const int64_t low = range.low;
    const int64_t rows = range.high - low + 1;
    if (low < 1 || rows < 0)
        throw KvError(KvErr::SubscriptOutOfRange);

    QStringList columns;
    for (int32_t j = 1; j <= m_numInputs; ++j)
        columns << ddo.FieldName(m_inputFields[size_t(j)]);
    columns << ddo.FieldName(m_predictField);
    m_testKeys.clear();
    m_actuals.clear();
    const bool keys = range.testing && ddo.KeyField() != 0;
    if (keys)
        columns << ddo.KeyFieldName();
    const bool actuals = range.actuals;

    // The rows before the range are passed over by the source (a server does not send them);
    // a range past the table's end ends with "no current record" below.
    kdb::Reader reader = source(columns, low - 1);

    // The arrays grow with the rows read, up to the range: a stored range far beyond the
    // table (a stale or damaged setting) then costs the rows that exist, not the range, and
    // ends with "no current record" at the table's end.
    const int32_t stride = Stride();
    int64_t sized = std::min<int64_t>(rows, kFirstRows);
    m_rows = 0;
    m_patterns.assign(size_t((sized + 1) * stride), 0.0f);
    kind.SizeResults(*this, sized);
    if (keys)
        m_testKeys.resize(size_t(sized + 1));
    if (actuals)
        m_actuals.resize(size_t(sized + 1));
    const int predictColumn = m_numInputs;
    const float* fmin = m_fieldMin.data();
    const float* fmax = m_fieldMax.data();
    if (range.testing)
        progress.Begin(TestProgress::Reading, rows);
    for (int64_t r = 1; r <= rows; ++r) {
        progress.Rows(r - 1);
        if (!reader.Next())
            throw KvError(KvErr::NoCurrentRecord);
        if (r > sized) {
            sized = std::min<int64_t>(rows, sized * 2);
            m_patterns.resize(size_t((sized + 1) * stride), 0.0f);
            kind.GrowResults(*this, sized);
            if (keys)
                m_testKeys.resize(size_t(sized + 1));
            if (actuals)
                m_actuals.resize(size_t(sized + 1));
        }
        float* row = m_patterns.data() + r * stride;
        for (int32_t j = 1; j <= m_numInputs; ++j) {
            bool isNull = false;
            const float v = ColumnNumber(reader, j - 1, isNull);
            if (isNull) {
                kind.MarkUnusable(*this, r);
                break;
            }
            row[j] = Normalize(v, fmin[j], fmax[j]);
        }
        row[0] = kind.Target(*this, reader, predictColumn, r);
        if (keys)
            m_testKeys[size_t(r)] = reader.Get(predictColumn + 1);
        if (actuals) {
            bool isNull = false;
            const double actual = ColumnValue(reader, predictColumn, isNull);
            m_actuals[size_t(r)] = isNull ? std::nan("") : actual;
        }
    }
    if (keys)
        m_testKeys.resize(size_t(rows + 1));
    if (actuals)
        m_actuals.resize(size_t(rows + 1));
    m_rows = rows;
    kind.RowsFinished(*this);
}

void PatternArrays::BuildOneRow(const std::vector<double>& values, IPatternKind& kind)
{
    for (int32_t i = 1; i <= m_numInputs; ++i) {
        const int16_t field = m_inputFields[size_t(i)];
        if (field < 0 || size_t(field) >= values.size())
            throw KvError(KvErr::SubscriptOutOfRange);
    }
    const int32_t stride = Stride();
    m_rows = 1;
    m_patterns.assign(size_t(2 * stride), 0.0f);
    kind.SizeResults(*this, 1);
    for (int32_t i = 1; i <= m_numInputs; ++i)
        m_patterns[size_t(stride + i)] =
            Normalize(float(values[size_t(m_inputFields[size_t(i)])]), m_fieldMin[size_t(i)], m_fieldMax[size_t(i)]);
}

QStringList PatternArrays::ConstantFields(const CDataDef& ddo, bool withRows, const IPatternKind& kind) const
{
    QStringList names;
    IgnoreErrors([&] {
        const int32_t stride = Stride();
        std::vector<char> varies(size_t(stride), 0);
        const float* first = nullptr;
        for (int64_t r = 1; withRows && r <= m_rows; ++r) {
            if (!kind.RowUsable(*this, r))
                continue;
            const float* row = m_patterns.data() + r * stride;
            if (!first)
                first = row;
            for (int32_t j = 1; j <= m_numInputs; ++j)
                varies[size_t(j)] |= row[j] != first[j];
        }
        for (int32_t j = 1; j <= m_numInputs; ++j)
            if (m_fieldMin[size_t(j)] == m_fieldMax[size_t(j)] || (first && !varies[size_t(j)]))
                names << ddo.FieldName(m_inputFields[size_t(j)]);
    });
    return names;
}
