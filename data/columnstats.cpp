#include "data/columnstats.h"

#include "data/rangeread.h"

#include <QStringList>
#include <algorithm>
#include <cmath>
#include <optional>

namespace ColumnStats {

Kind KindOf(int16_t code)
{
    switch (code) {
    // Boolean belongs here too: the networks take it as a number, and without statistics its
    // user range would be 0..0, which the engine refuses as a constant input.
    case kdb::dbBoolean:
    case kdb::dbByte:
    case kdb::dbInteger:
    case kdb::dbLong:
    case kdb::dbCurrency:
    case kdb::dbSingle:
    case kdb::dbDouble:
    case kdb::dbBigInt:
    case kdb::dbNumeric:
    case kdb::dbDecimal:
    case kdb::dbFloat:
        return Kind::Numeric;
    case kdb::dbDate:
    case kdb::dbTime:
    case kdb::dbTimeStamp:
        return Kind::Date;
    default:
        return Kind::None;
    }
}

void Accumulator::Merge(const Accumulator& later)
{
    const int64_t unreadBoth = unread + later.unread;
    if (later.n == 0) {
        unread = unreadBoth;
        return;
    }
    if (n == 0) {
        *this = later;
        unread = unreadBoth;
        return;
    }
    min = std::min(min, later.min);
    max = std::max(max, later.max);
    unread = unreadBoth;
    // The later sums are shifted by their own first value: move them onto this one's.
    const long double delta = later.shift - shift;
    const auto count = (long double)later.n;
    sumSq += later.sumSq + 2 * delta * later.sum + count * delta * delta;
    sum += later.sum + count * delta;
    n += later.n;
}

double Accumulator::StdDev() const
{
    if (n < 2)
        return 0.0;
    const long double m2 = sumSq - sum * sum / n;
    return m2 > 0 ? double(std::sqrt(m2 / (n - 1))) : 0.0;
}

std::optional<long double> ReadNumber(const kdb::Reader& r, int column)
{
    switch (r.Type(column)) {
    case kdb::Value::Type::Integer:
        return (long double)r.Int(column);
    case kdb::Value::Type::Double:
        if (const double d = r.Double(column); std::isfinite(d))
            return d;
        return std::nullopt;
    case kdb::Value::Type::Text:
        return ReadNumber(r.Get(column));
    default:
        return std::nullopt;
    }
}

std::optional<long double> ReadNumber(const kdb::Value& v)
{
    switch (v.type()) {
    case kdb::Value::Type::Integer:
        return (long double)v.toInt();
    case kdb::Value::Type::Double:
        if (const double d = v.toDouble(); std::isfinite(d))
            return d;
        return std::nullopt;
    case kdb::Value::Type::Text: {
        bool whole = false;
        const qlonglong i = v.toText().trimmed().toLongLong(&whole);
        if (whole)
            return (long double)i;
        if (const std::optional<double> d = v.ToDouble())
            return *d;
        if (const std::optional<double> d = kdb::DateSerial(v.toText()))
            return *d;
        return std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

QString ReadableForms()
{
    return QStringLiteral("Values read: numbers (12, -3.5, 1e3); dates yyyy-mm-dd; times h:mm or h:mm:ss "
                          "(with fractions of a second); dates with times yyyy-mm-dd h:mm:ss.");
}

QString UnreadableText(const QString& field, const QString& where, const QString& value)
{
    const QString crlf = QStringLiteral("\r\n");
    return QStringLiteral("The field: [") + field + QStringLiteral("] holds a value that cannot be read as a number, "
                                                                 "a date or a time.")
           + crlf + (where.isEmpty() ? QString() : QStringLiteral("Row: ") + where + QStringLiteral("   "))
           + QStringLiteral("Value: \"") + value + QLatin1Char('"') + crlf + crlf + ReadableForms();
}

void AddValue(const kdb::Reader& r, int column, Kind kind, Accumulator& acc)
{
    if (kind == Kind::None)
        return;
    if (const std::optional<long double> v = ReadNumber(r, column))
        acc.Add(*v);
    else if (!r.IsNull(column))
        ++acc.unread;
}

std::optional<Unreadable> FirstUnreadable(kdb::Database& db, const QString& table, const QStringList& fields,
                                          const QString& keyField)
{
    if (fields.isEmpty())
        return std::nullopt;
    // Only text, bytes and infinite numbers can fail to be read: the rows that hold none are
    // passed over without being handed out.
    QStringList selected;
    QStringList doubtful;
    for (const QString& f : fields) {
        const QString q = kdb::QuoteIdent(f);
        selected << q;
        doubtful << QStringLiteral("typeof(%1) IN ('text', 'blob') OR abs(%1) = 9e999").arg(q);
    }
    const bool keyed = !keyField.isEmpty();
    if (keyed)
        selected << kdb::QuoteIdent(keyField);
    // The place of a row without a key is counted over every row.
    const QString where = keyed ? QStringLiteral(" WHERE ") + doubtful.join(QStringLiteral(" OR ")) : QString();
    kdb::Reader r = db.Query(QStringLiteral("SELECT ") + selected.join(QStringLiteral(", ")) + QStringLiteral(" FROM ")
                             + kdb::QuoteIdent(table) + where);
    int64_t place = 0;
    while (r.Next()) {
        ++place;
        for (qsizetype c = 0; c < fields.size(); ++c) {
            if (r.IsNull(int(c)) || ReadNumber(r, int(c)))
                continue;
            const QString at = keyed ? r.Get(int(fields.size())).toText() : QString::number(place);
            return Unreadable{fields[c], at, r.Get(int(c)).toText()};
        }
    }
    return std::nullopt;
}

namespace {

// Enough ranges to keep every thread busy to the end; the count is fixed so that the sums, and
// their rounding, never depend on the threads.
constexpr int kRanges = 64;

} // namespace

RangeOutcome ReadInRanges(const QString& path, const QString& table, const std::vector<Column>& columns,
                          int threads, const std::function<bool(int64_t)>& poll, std::vector<Accumulator>& out)
{
    // A file that cannot be opened again (held exclusively) is read the ordinary way.
    std::vector<kdb::Database> connections = RangeRead::Open(path, 1);
    if (connections.empty())
        return RangeOutcome::NotSplit;
    std::optional<QString> rowid;
    int64_t lo = 0;
    int64_t hi = 0;
    try {
        rowid = RangeRead::RowidName(connections.front(), table);
        if (!rowid)
            return RangeOutcome::NotSplit;
        // Two subqueries: each finds its end of the table at once, where one min() beside one
        // max() would read every row.
        const QString from = QStringLiteral(" FROM ") + kdb::QuoteIdent(table);
        kdb::Reader span = connections.front().Query(QStringLiteral("SELECT (SELECT min(%1)").arg(*rowid) + from
                                                      + QStringLiteral("), (SELECT max(%1)").arg(*rowid) + from
                                                      + QStringLiteral(")"));
        if (!span.Next() || span.IsNull(0)) {
            out.assign(columns.size(), Accumulator{});
            return RangeOutcome::Done;
        }
        lo = span.Int(0);
        hi = span.Int(1);
    } catch (...) {
        return RangeOutcome::NotSplit;
    }
    for (kdb::Database& more : RangeRead::Open(path, std::clamp(threads, 1, kRanges) - 1))
        connections.push_back(std::move(more));

    // Range k holds the rowids start[k] .. start[k + 1] - 1.
    std::vector<int64_t> start(kRanges + 1);
    const __int128 width = (__int128)hi - lo + 1;
    for (int k = 0; k <= kRanges; ++k)
        start[size_t(k)] = int64_t(lo + width * k / kRanges);
    QStringList selected;
    for (const Column& c : columns)
        selected << kdb::QuoteIdent(c.name);
    const QString sql = QStringLiteral("SELECT ") + selected.join(QStringLiteral(", ")) + QStringLiteral(" FROM ")
                        + kdb::QuoteIdent(table) + QStringLiteral(" WHERE %1 >= ? AND %1 <= ?").arg(*rowid);

    std::vector<std::vector<Accumulator>> parts(kRanges, std::vector<Accumulator>(columns.size()));
    const auto read = [&](int k, kdb::Database& db, RangeRead::Tally& tally) {
        if (start[size_t(k)] == start[size_t(k) + 1])
            return;
        std::vector<Accumulator>& acc = parts[size_t(k)];
        kdb::Reader r = db.Query(sql, {start[size_t(k)], start[size_t(k) + 1] - 1});
        while (r.Next()) {
            for (size_t c = 0; c < columns.size(); ++c)
                AddValue(r, int(c), columns[c].kind, acc[c]);
            if (!tally.Row())
                break;
        }
    };
    if (!RangeRead::Run(connections, kRanges, read, poll))
        return RangeOutcome::Stopped;
    std::vector<Accumulator> total(columns.size());
    for (const std::vector<Accumulator>& part : parts)
        for (size_t c = 0; c < columns.size(); ++c)
            total[c].Merge(part[c]);
    out = std::move(total);
    return RangeOutcome::Done;
}

} // namespace ColumnStats
