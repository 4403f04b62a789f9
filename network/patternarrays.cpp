#include "network/patternarrays.h"

#include "core/errorbox.h"
#include "core/kverror.h"
#include "data/columnstats.h"
#include "data/datadef.h"
#include "data/rangeread.h"
#include "network/networkproject.h"
#include "network/testprogress.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <iterator>
#include <limits>
#include <optional>

namespace {
// Rows a part holds before it first grows while reading.
constexpr int64_t kFirstRows = 65536;
// Ranges of a read on several connections: enough to keep every connection busy to the end.
constexpr int kRanges = 64;
// Steps in which the memory of a read in ranges is laid out, the window drawn between.
constexpr int64_t kLayingSteps = 16;
// Different class values a float target tells apart.
constexpr size_t kMostPartClasses = size_t(1) << 24;

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

float PartClasses::Number(const QString& value, int64_t row)
{
    if (const auto it = m_numbers.constFind(value); it != m_numbers.constEnd())
        return float(it.value());
    if (m_values.size() >= kMostPartClasses)
        throw KvError(KvErr::Overflow);
    m_values.push_back(value);
    m_firstRows.push_back(row);
    const auto number = int32_t(m_values.size());
    m_numbers.insert(value, number);
    return float(number);
}

std::vector<float> PartClasses::Join(ClassNumbers& whole, int64_t rows) const
{
    std::vector<float> numbers;
    for (size_t i = 0; i < m_values.size() && m_firstRows[i] <= rows; ++i) {
        if (numbers.empty())
            numbers.push_back(0.0f);
        numbers.push_back(float(whole.Number(m_values[i])));
    }
    return numbers;
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

float PatternArrays::Scale(int32_t field, long double value) const
{
    const auto j = size_t(field);
    if (!scaledExactly[j])
        return Normalize(float(double(value)), fieldMin[j], fieldMax[j]);
    const long double v = (value - userMin[j]) / ((long double)userMax[j] - userMin[j]);
    if (!std::isfinite(v) || v < 0)
        return 0.0f;
    return v > 1 ? 1.0f : float(v);
}

long double PatternArrays::ColumnNumber(kdb::Reader& reader, int column, bool& isNull)
{
    if (const std::optional<long double> v = ColumnStats::ReadNumber(reader, column)) {
        isNull = false;
        return *v;
    }
    isNull = reader.IsNull(column);
    if (isNull)
        return 0.0L;
    throw KvError(KvErr::TypeMismatch, {},
                  ColumnStats::UnreadableText(reader.ColumnName(column), QString(), reader.Get(column).toText()));
}

double PatternArrays::ColumnValue(kdb::Reader& reader, int column, bool& isNull)
{
    return double(ColumnNumber(reader, column, isNull));
}

// --- Builds ----------------------------------------------------------------------------------

void PatternArrays::Check(size_t resultCount) const
{
    const size_t stride = size_t(Stride());
    if (rows < 0 || rows + 1 > std::numeric_limits<int32_t>::max() || resultCount != size_t(rows + 1)
        || patterns.size() != stride * size_t(rows + 1) || fieldMin.size() != stride
        || fieldMax.size() != stride)
        throw KvError(KvErr::InvalidCall);
}

void PatternArrays::BuildLayout(const CDataDef& ddo, int16_t predictRole, IPatternKind& kind)
{
    testKeys.clear();
    actuals.clear();
    numInputs = 0;
    predictField = 0;
    inputFields.assign(1, 0);
    userMin.assign(1, 0.0);
    userMax.assign(1, 0.0);
    kind.LayoutStarting(*this);
    const int16_t n = ddo.NumFields();
    for (int16_t i = 1; i <= n; ++i) {
        const int16_t role = ddo.UserMatchType(i);
        if (role == roleInput) {
            ++numInputs;
            inputFields.push_back(i);
            userMin.push_back(ddo.UserMin(i));
            userMax.push_back(ddo.UserMax(i));
        } else if (role == predictRole) {
            predictField = i;
        }
    }
    userMax[0] = ddo.UserMax(predictField);
    userMin[0] = ddo.UserMin(predictField);
    // A field whose values lie more than 2^8 times their spread from 0 keeps fewer than 16 of
    // single precision's 24 bits through the subtraction (past 2^24 times, none: every value
    // becomes the same float): it is scaled from its difference to the minimum instead. Every
    // other field is scaled as it always was, so that its arrays stay the same to the bit.
    const size_t stride = size_t(Stride());
    fieldMin.assign(stride, 0.0f);
    fieldMax.assign(stride, 0.0f);
    scaledExactly.assign(stride, 0);
    for (size_t j = 0; j < stride; ++j) {
        const long double span = (long double)userMax[j] - userMin[j];
        const long double far = std::max(std::fabs((long double)userMin[j]), std::fabs((long double)userMax[j]));
        scaledExactly[j] = span > 0 && std::isfinite(span) && far > span * 256;
        fieldMin[j] = scaledExactly[j] ? 0.0f : float(userMin[j]);
        fieldMax[j] = scaledExactly[j] ? 1.0f : float(userMax[j]);
    }
    rows = 0;
    patterns.assign(size_t(Stride()), 0.0f);
    kind.SizeResults(*this, 0);
    kind.LayoutFinished(*this);
}

// --- Row builds ------------------------------------------------------------------------------

// Rows as a build reads them, laid out as the arrays are (row 0 empty), with a mark for each
// row the engine must skip.
struct PatternArrays::RowStore {
    std::vector<float> patterns;
    std::vector<uint8_t> unusable;
    std::vector<kdb::Value> keys;
    std::vector<double> actuals;
};

// One part of the rows of a build: where its rows lie, how many were read, the class values
// first seen in them, and the failure of the row after the last.
struct PatternArrays::RowPart {
    // Rows offset + 1.. of the build's store; or, at -1, rows 1.. of `own`.
    int64_t offset = 0;
    int64_t rows = 0;
    RowStore own;
    PartClasses classes;
    std::exception_ptr error;
    // More rows came than the part had room for.
    bool full = false;
};

// The reading of parts of the rows over the layout built last: from one reader, or in ranges
// of the source's key on several connections at once.
class PatternArrays::RowReading {
public:
    RowReading(const PatternArrays& arrays, const IPatternKind& kind, bool keys, bool actuals)
        : m_arrays(arrays), m_kind(kind), m_keys(keys), m_actuals(actuals)
    {
    }

    // Sizes `store` for rows 0..rows, the rows kept.
    void Size(RowStore& store, int64_t rows) const
    {
        store.patterns.resize((size_t(rows) + 1) * size_t(m_arrays.Stride()), 0.0f);
        store.unusable.resize(size_t(rows) + 1, 0);
        if (m_keys)
            store.keys.resize(size_t(rows) + 1);
        if (m_actuals)
            store.actuals.resize(size_t(rows) + 1);
    }

    // Room for rows 0..rows in `store`, not laid out yet.
    void Reserve(RowStore& store, int64_t rows) const
    {
        store.patterns.reserve((size_t(rows) + 1) * size_t(m_arrays.Stride()));
        store.unusable.reserve(size_t(rows) + 1);
        if (m_keys)
            store.keys.reserve(size_t(rows) + 1);
        if (m_actuals)
            store.actuals.reserve(size_t(rows) + 1);
    }

    // Up to `limit` rows of `reader` for `part`, as rows at + 1.. of `store`, which grows with
    // the rows read (`grows`, `expected` of them at a guess) or has room for `limit` rows (more
    // make the part full). `go(rows read)` before each row, false to stop. A failing row ends
    // the part.
    template <class Go>
    void Read(kdb::Reader& reader, RowPart& part, RowStore& store, int64_t at, int64_t limit, bool grows,
              int64_t expected, Go&& go) const
    {
        const int32_t numInputs = m_arrays.numInputs;
        const size_t stride = size_t(m_arrays.Stride());
        const int predictColumn = numInputs;
        // A growing store grows with the rows read: a stored range far beyond the table (a
        // stale or damaged setting) costs the rows that exist, not the range.
        int64_t sized = limit;
        if (grows) {
            sized = std::clamp<int64_t>(std::min(expected, limit), 0, kFirstRows);
            Size(store, at + sized);
        }
        try {
            while (go(part.rows)) {
                if (part.rows == limit) {
                    part.full = !grows && reader.Next();
                    break;
                }
                if (!reader.Next())
                    break;
                const int64_t r = part.rows + 1;
                if (r > sized) {
                    sized = std::min(limit, std::max<int64_t>(sized * 2, 1));
                    Size(store, at + sized);
                }
                const size_t here = size_t(at + r);
                float* row = store.patterns.data() + here * stride;
                bool unusable = false;
                for (int32_t j = 1; j <= numInputs; ++j) {
                    bool isNull = false;
                    const long double v = ColumnNumber(reader, j - 1, isNull);
                    if (isNull) {
                        unusable = true;
                        break;
                    }
                    row[j] = m_arrays.Scale(j, v);
                }
                row[0] = m_kind.Target(m_arrays, reader, predictColumn, r, part.classes, unusable);
                store.unusable[here] = unusable ? 1 : 0;
                if (m_keys)
                    store.keys[here] = reader.Get(predictColumn + 1);
                if (m_actuals) {
                    bool isNull = false;
                    const double actual = ColumnValue(reader, predictColumn, isNull);
                    store.actuals[here] = isNull ? std::nan("") : actual;
                }
                part.rows = r;
            }
        } catch (...) {
            part.error = std::current_exception();
        }
        if (grows)
            Size(store, at + part.rows);
    }

    // Rows low..low + rows - 1 of `table` in the SQLite file at `file`, read in ranges of its
    // key on several connections at once, each range straight into its place in `store` when
    // the keys run one apart, with the rows read told to `progress`; the parts in row order.
    // None when the table cannot be read so (the rows are then read the ordinary way).
    std::vector<RowPart> InRanges(const QString& file, const QString& table, const QStringList& columns, int64_t low,
                                  int64_t rows, TestProgress& progress, RowStore& store) const
    {
        std::vector<kdb::Database> connections = RangeRead::Open(file, RangeRead::Threads());
        std::optional<RangeRead::KeyRanges> plan;
        try {
            if (!connections.empty())
                plan = RangeRead::PlanKeyRanges(connections.front(), table, low, rows, kRanges);
        } catch (...) {
        }
        if (!plan)
            return {};
        // A table that ends before the range gives no rows.
        const std::vector<int64_t>& bounds = plan->bounds;
        std::vector<RowPart> parts(std::max<size_t>(bounds.size(), 2) - 1);
        if (bounds.empty())
            return parts;
        for (size_t k = 0; k < parts.size(); ++k)
            parts[k].offset = bounds[k] - bounds.front();
        // New memory takes a while to be laid out: the window is drawn meanwhile.
        const int64_t room = bounds.back() - bounds.front();
        Reserve(store, room);
        for (int64_t step = 1; step <= kLayingSteps; ++step) {
            Size(store, room * step / kLayingSteps);
            progress.Fraction(0.0);
        }
        QStringList quoted;
        for (const QString& column : columns)
            quoted << kdb::QuoteIdent(column);
        const QString range = plan->Range(quoted);
        int64_t before = 0;
        // Told again when the share does not rise, so that the window is drawn.
        const auto tell = [&](int64_t read) {
            progress.Fraction(double(before + read) / double(rows));
            return true;
        };
        const auto read = [&](RowPart& part, RowStore& into, int64_t at, bool grows, RangeRead::Tally& tally,
                              kdb::Database& db, const QString& sql, const QList<kdb::Value>& values, int64_t limit) {
            try {
                kdb::Reader reader = db.Query(sql, values);
                Read(reader, part, into, at, limit, grows, limit, [&](int64_t) { return tally.Row(); });
            } catch (...) {
                part.error = std::current_exception();
            }
            if (part.error || part.full)
                tally.Fail();
        };
        RangeRead::Run(
            connections, int(parts.size()),
            [&](int k, kdb::Database& db, RangeRead::Tally& tally) {
                const int64_t from = bounds[size_t(k)];
                const int64_t to = bounds[size_t(k) + 1];
                RowPart& part = parts[size_t(k)];
                if (from < to)
                    read(part, store, part.offset, false, tally, db, range, {from, to}, to - from);
            },
            tell);
        // Keys that are no whole numbers: the rows are read the ordinary way.
        for (const RowPart& part : parts) {
            if (part.full)
                return {};
            before += part.rows;
            if (part.error)
                return parts;
        }
        // Rows the ranges missed (gaps in the keys) follow them.
        if (before >= rows)
            return parts;
        const int64_t missing = rows - before;
        parts.emplace_back();
        RowPart& rest = parts.back();
        rest.offset = -1;
        const QString restSql = plan->Rest(quoted);
        RangeRead::Run(
            connections, 1,
            [&](int, kdb::Database& db, RangeRead::Tally& tally) {
                read(rest, rest.own, 0, true, tally, db, restSql, {bounds.back(), missing}, missing);
            },
            tell);
        return parts;
    }

private:
    const PatternArrays& m_arrays;
    const IPatternKind& m_kind;
    bool m_keys;
    bool m_actuals;
};

void PatternArrays::BuildRows(const CDataDef& ddo, const RowRange& range, const RowSource& source,
                              TestProgress& progress, IPatternKind& kind)
{
    const int64_t low = range.low;
    const int64_t count = range.high - low + 1;
    if (low < 1 || count < 0)
        throw KvError(KvErr::SubscriptOutOfRange);

    QStringList columns;
    for (int32_t j = 1; j <= numInputs; ++j)
        columns << ddo.FieldName(inputFields[size_t(j)]);
    columns << ddo.FieldName(predictField);
    const bool keys = range.testing && ddo.KeyField() != 0;
    if (keys)
        columns << ddo.KeyFieldName();

    // The rows before the range are passed over by the source (a server does not send them);
    // a range past the table's end ends with "no current record" in the join.
    OpenRows opened = source(columns, low - 1);
    rows = 0;
    if (range.testing)
        progress.Begin(TestProgress::Reading, count);
    // The rows are read into the arrays' own memory: a build after a build needs no new memory.
    RowStore store;
    store.patterns = std::move(patterns);
    store.keys = std::move(testKeys);
    store.actuals = std::move(actuals);
    store.patterns.clear();
    store.keys.clear();
    store.actuals.clear();
    const RowReading reading(*this, kind, keys, range.actuals);
    std::vector<RowPart> parts;
    if (count >= RangeRead::RowsToSplit && !opened.file.isEmpty())
        parts = reading.InRanges(opened.file, opened.table, columns, low, count, progress, store);
    if (parts.empty()) {
        store.patterns.clear();
        store.unusable.clear();
        store.keys.clear();
        store.actuals.clear();
        parts.emplace_back();
        reading.Read(opened.reader, parts.front(), store, 0, count, true, count, [&](int64_t done) {
            progress.Rows(done);
            return true;
        });
    }
    JoinParts(store, parts, count, keys, range.actuals, kind);
    rows = count;
    kind.RowsFinished(*this);
}

void PatternArrays::JoinParts(RowStore& store, std::vector<RowPart>& parts, int64_t count, bool keys, bool keepActuals,
                              IPatternKind& kind)
{
    // The rows the parts give, up to the range: a part that failed ends them.
    int64_t total = 0;
    for (const RowPart& part : parts) {
        total += std::min(part.rows, count - total);
        if (total == count || part.error)
            break;
    }
    const size_t stride = size_t(Stride());
    kind.SizeResults(*this, total);
    std::exception_ptr error;
    int64_t at = 0;
    for (RowPart& part : parts) {
        const int64_t take = std::min(part.rows, count - at);
        // A part after rows that were missing moves down to its place; one of its own comes in.
        const RowStore& from = part.offset < 0 ? part.own : store;
        const int64_t first = part.offset < 0 ? 0 : part.offset;
        if (const size_t end = size_t(at + take) + 1; part.offset < 0 && store.unusable.size() < end) {
            store.patterns.resize(end * stride, 0.0f);
            store.unusable.resize(end, 0);
            if (keys)
                store.keys.resize(end);
            if (keepActuals)
                store.actuals.resize(end);
        }
        if (&from != &store || first != at) {
            std::copy_n(from.patterns.begin() + ptrdiff_t(size_t(first + 1) * stride), size_t(take) * stride,
                        store.patterns.begin() + ptrdiff_t(size_t(at + 1) * stride));
            std::copy_n(from.unusable.begin() + first + 1, take, store.unusable.begin() + at + 1);
            if (keys)
                std::copy_n(from.keys.begin() + first + 1, take, store.keys.begin() + at + 1);
            if (keepActuals)
                std::copy_n(from.actuals.begin() + first + 1, take, store.actuals.begin() + at + 1);
        }
        // Class numbers are given in row order.
        if (const std::vector<float> numbers = part.classes.Join(classes, take); !numbers.empty()) {
            for (int64_t r = at + 1; r <= at + take; ++r) {
                float& target = store.patterns[size_t(r) * stride];
                target = numbers[size_t(target)];
            }
        }
        for (int64_t r = at + 1; r <= at + take; ++r)
            if (store.unusable[size_t(r)])
                kind.MarkUnusable(*this, r);
        at += take;
        if (at == count)
            break;
        if (part.error) {
            error = part.error;
            break;
        }
    }
    patterns = std::move(store.patterns);
    patterns.resize(size_t(at + 1) * stride);
    if (keys) {
        testKeys = std::move(store.keys);
        testKeys.resize(size_t(at) + 1);
    }
    if (keepActuals) {
        actuals = std::move(store.actuals);
        actuals.resize(size_t(at) + 1);
    }
    if (error)
        std::rethrow_exception(error);
    if (at < count)
        throw KvError(KvErr::NoCurrentRecord);
}

void PatternArrays::BuildOneRow(const std::vector<long double>& values, IPatternKind& kind)
{
    for (int32_t i = 1; i <= numInputs; ++i) {
        const int16_t field = inputFields[size_t(i)];
        if (field < 0 || size_t(field) >= values.size())
            throw KvError(KvErr::SubscriptOutOfRange);
    }
    const int32_t stride = Stride();
    rows = 1;
    patterns.assign(size_t(2 * stride), 0.0f);
    kind.SizeResults(*this, 1);
    for (int32_t i = 1; i <= numInputs; ++i)
        patterns[size_t(stride + i)] = Scale(i, values[size_t(inputFields[size_t(i)])]);
}

QStringList PatternArrays::ConstantFields(const CDataDef& ddo, bool withRows, const IPatternKind& kind) const
{
    QStringList names;
    IgnoreErrors([&] {
        const int32_t stride = Stride();
        std::vector<char> varies(size_t(stride), 0);
        const float* first = nullptr;
        for (int64_t r = 1; withRows && r <= rows; ++r) {
            if (!kind.RowUsable(*this, r))
                continue;
            const float* row = patterns.data() + r * stride;
            if (!first)
                first = row;
            for (int32_t j = 1; j <= numInputs; ++j)
                varies[size_t(j)] |= row[j] != first[j];
        }
        for (int32_t j = 1; j <= numInputs; ++j)
            if (fieldMin[size_t(j)] == fieldMax[size_t(j)] || (first && !varies[size_t(j)]))
                names << ddo.FieldName(inputFields[size_t(j)]);
    });
    return names;
}
