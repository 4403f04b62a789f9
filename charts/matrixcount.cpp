#include "charts/matrixcount.h"

#include "core/kverror.h"
#include "core/numformat.h"
#include "core/odbcname.h"
#include "data/projectschema.h"
#include "data/rangeread.h"
#include "kdb/kdb.h"
#include "network/classvalue.h"
#include "network/networkproject.h"

#include <QHash>
#include <limits>
#include <optional>
#include <vector>

namespace {

QString rate(int32_t total, int32_t diagonal)
{
    if (total == 0)
        return QStringLiteral("0.00%");
    return NumFormat::Format(double(total - diagonal) / double(total), QStringLiteral("0.00%"));
}

int32_t checkedAdd(int32_t a, int32_t b)
{
    int32_t sum = 0;
    if (__builtin_add_overflow(a, b, &sum))
        throw KvError(KvErr::Overflow);
    return sum;
}

// The classes found ignoring case, through their case-folded texts; of texts equal so the
// first class wins.
class ClassIndex {
public:
    explicit ClassIndex(const std::vector<QString>& classes)
    {
        for (size_t i = 0; i < classes.size(); ++i) {
            const QString folded = classes[i].toCaseFolded();
            if (!m_folded.contains(folded))
                m_folded.insert(folded, int(i));
        }
    }
    int Find(const QString& name) const { return m_folded.value(name.toCaseFolded(), -1); }

private:
    QHash<QString, int> m_folded;
};

// Byte strings to class indices in an open-addressed table: a row's lookup hashes a few bytes
// and compares them, without allocating or walking nodes (about twice as fast as a QHash of
// byte arrays over a million rows).
class ByteTable {
public:
    static uint64_t Hash(QByteArrayView key)
    {
        uint64_t h = 1469598103934665603ull; // FNV-1a
        for (const char c : key)
            h = (h ^ uint8_t(c)) * 1099511628211ull;
        return h ^ (h >> 29);
    }
    const int* Find(QByteArrayView key, uint64_t hash) const
    {
        for (size_t i = hash & (m_slots.size() - 1);; i = (i + 1) & (m_slots.size() - 1)) {
            const Slot& s = m_slots[i];
            if (s.offset < 0)
                return nullptr;
            if (s.hash == hash && QByteArrayView(m_bytes.constData() + s.offset, s.size) == key)
                return &s.value;
        }
    }
    void Insert(QByteArrayView key, uint64_t hash, int value)
    {
        if (2 * (m_used + 1) > m_slots.size())
            grow();
        place(Slot{hash, m_bytes.size(), key.size(), value});
        m_bytes.append(key);
        ++m_used;
    }

private:
    struct Slot {
        uint64_t hash = 0;
        qsizetype offset = -1;
        qsizetype size = 0;
        int value = 0;
    };
    void place(const Slot& slot)
    {
        size_t i = slot.hash & (m_slots.size() - 1);
        while (m_slots[i].offset >= 0)
            i = (i + 1) & (m_slots.size() - 1);
        m_slots[i] = slot;
    }
    void grow()
    {
        std::vector<Slot> old(m_slots.size() * 2);
        old.swap(m_slots);
        for (const Slot& s : old)
            if (s.offset >= 0)
                place(s);
    }
    std::vector<Slot> m_slots = std::vector<Slot>(64);
    size_t m_used = 0;
    QByteArray m_bytes;
};

// The class of each value one column of the rows holds, worked out once for each distinct
// stored value (values of one storage type equal in their bytes are one value: the number 3
// stored as a real reads "3.0" as the text "3.0" does, yet names the class "3"): a row costs a
// table probe, and no text is made for it. -1 stands for a value that names no class, and in
// the prediction column for the marker of a row the network did not use.
class ColumnClasses {
public:
    ColumnClasses(const ClassIndex& index, bool prediction) : m_index(index), m_prediction(prediction) {}
    int Of(const kdb::Reader& rows, int column)
    {
        // The type before the bytes: reading a number's bytes does not change its stored type.
        ByteTable& known = m_known[size_t(rows.Type(column))];
        const QByteArrayView bytes = rows.View(column);
        const uint64_t hash = ByteTable::Hash(bytes);
        if (const int* found = known.Find(bytes, hash))
            return *found;
        const QString text = ClassValueText(rows.Get(column));
        const int index = m_prediction && IsNoPrediction(text) ? -1 : m_index.Find(text);
        known.Insert(bytes, hash, index);
        return index;
    }

private:
    const ClassIndex& m_index;
    bool m_prediction;
    ByteTable m_known[5]; // by kdb::Value::Type
};

// Adds the rows' cells to `counts` (n x n, predicted row by actual column).
void countRows(kdb::Reader& rows, const ClassIndex& index, size_t n, std::vector<int64_t>& counts,
               RangeRead::Tally* tally = nullptr)
{
    ColumnClasses actual(index, false), predicted(index, true);
    while (rows.Next()) {
        if (tally && !tally->Row())
            break;
        const int a = actual.Of(rows, 0);
        if (a < 0)
            continue;
        const int c = predicted.Of(rows, 1);
        if (c < 0)
            continue;
        // Values that differ only in case are one class: their rows add up.
        ++counts[size_t(c) * n + size_t(a)];
    }
}

// Ranges of the Test rows read at once on several connections to the project, each counted on
// its own and added up at the end (the sums do not depend on the order): a million tested rows
// then cost about what the bare read of the join costs, counting included. False when the rows
// are not to be split (few rows, no rowid, a server table behind the link, whose connection is
// not to be multiplied), with nothing counted.
bool countInRanges(const QString& projectFile, const QString& select, const ClassIndex& index, size_t n,
                   std::vector<int64_t>& counts)
{
    constexpr int kRanges = 16;
    std::vector<kdb::Database> connections = RangeRead::Open(projectFile, 1);
    if (connections.empty())
        return false;
    std::optional<QString> rowid;
    int64_t lo = 0, hi = 0;
    try {
        kdb::Database& db = connections.front();
        if (const std::optional<kdb::TableInfo> link = db.LinkInfo(ProjectSchema::LinkTable());
            link && kdb::IsOdbcConnect(link->connect))
            return false;
        rowid = RangeRead::RowidName(db, ProjectSchema::TestTable());
        if (!rowid)
            return false;
        const QString from = QStringLiteral(" FROM ") + ProjectSchema::TestTable();
        kdb::Reader span = db.Query(QStringLiteral("SELECT (SELECT min(%1)").arg(*rowid) + from
                                    + QStringLiteral("), (SELECT max(%1)").arg(*rowid) + from + QStringLiteral(")"));
        if (!span.Next() || span.IsNull(0))
            return false;
        lo = span.Int(0);
        hi = span.Int(1);
    } catch (...) {
        return false;
    }
    if ((__int128)hi - lo + 1 < RangeRead::RowsToSplit)
        return false;
    for (kdb::Database& more : RangeRead::Open(projectFile, RangeRead::Threads() - 1))
        connections.push_back(std::move(more));

    // Range k holds the rowids start[k] .. start[k + 1] - 1.
    std::vector<int64_t> start(kRanges + 1);
    const __int128 width = (__int128)hi - lo + 1;
    for (int k = 0; k <= kRanges; ++k)
        start[size_t(k)] = int64_t(lo + width * k / kRanges);
    const QString sql = select + QStringLiteral(" AND T.%1 >= ? AND T.%1 <= ?").arg(*rowid);
    std::vector<std::vector<int64_t>> parts(kRanges, std::vector<int64_t>(n * n, 0));
    const auto read = [&](int k, kdb::Database& db, RangeRead::Tally& tally) {
        if (start[size_t(k)] == start[size_t(k) + 1])
            return;
        kdb::Reader rows = db.Query(sql, {start[size_t(k)], start[size_t(k) + 1] - 1});
        countRows(rows, index, n, parts[size_t(k)], &tally);
    };
    RangeRead::Run(connections, kRanges, read, [](int64_t) { return true; });
    for (const std::vector<int64_t>& part : parts)
        for (size_t i = 0; i < counts.size(); ++i)
            counts[i] += part[i];
    return true;
}

} // namespace

QString MatrixCount::RowRate(int p) const
{
    return rate(sumPredicted[size_t(p)], At(p, p));
}

QString MatrixCount::ColumnRate(int a) const
{
    return rate(sumActual[size_t(a)], At(a, a));
}

int MatrixCount::FindClassIndex(const QString& name) const
{
    return ClassIndex(classes).Find(name);
}

void MatrixCount::Totals()
{
    const size_t n = classes.size();
    if (cells.size() != n * n)
        cells.assign(n * n, 0);
    sumPredicted.assign(n, 0);
    sumActual.assign(n, 0);
    total = 0;
    int32_t predWrong = 0, actWrong = 0;
    for (size_t i = 0; i < n; ++i) {
        for (size_t j = 0; j < n; ++j) {
            sumActual[i] = checkedAdd(sumActual[i], At(int(j), int(i)));
            sumPredicted[i] = checkedAdd(sumPredicted[i], At(int(i), int(j)));
        }
        total = checkedAdd(total, sumPredicted[i]);
        predWrong = checkedAdd(predWrong, sumPredicted[i] - At(int(i), int(i)));
        actWrong = checkedAdd(actWrong, sumActual[i] - At(int(i), int(i)));
    }
    predErr = total != 0 ? float(double(predWrong) / total) : 0.0f;
    actErr = total != 0 ? float(double(actWrong) / total) : 0.0f;
}

MatrixCount MatrixCounting::Count(const QString& projectFile, const QString& predictField, const QString& keyField)
{
    kdb::Database db = kdb::Database::Open(projectFile, false, true);
    MatrixCount m;
    {
        kdb::Reader classes = db.Query(QStringLiteral("SELECT ") + kdb::QuoteIdent(ProjectSchema::ClassColumn())
                                       + QStringLiteral(" FROM ") + ProjectSchema::ClassesTable());
        while (classes.Next())
            m.classes.push_back(ClassValueText(classes.Get(0)));
    }
    // An empty class list has nothing to count: stop here rather than read past its last row.
    if (m.classes.empty())
        throw KvError(KvErr::NoCurrentRecord);
    m.cells.assign(m.classes.size() * m.classes.size(), 0);

    // The rows are read once and counted here: grouping in SQL sorts every row first, which
    // costs several times the read itself.
    const QString p = QStringLiteral("L.") + kdb::QuoteIdent(predictField);
    const QString k = QStringLiteral("L.") + kdb::QuoteIdent(keyField);
    const QString predictedSql = QStringLiteral("T.") + ProjectSchema::PredictedColumn();
    const QString sql = QStringLiteral("SELECT ") + p + QStringLiteral(", ") + predictedSql + QStringLiteral(" FROM ")
                        + ProjectSchema::LinkTable() + QStringLiteral(" AS L INNER JOIN ") + ProjectSchema::TestTable()
                        + QStringLiteral(" AS T ON ") + k + QStringLiteral(" = T.") + ProjectSchema::TestKeyColumn()
                        + QStringLiteral(" WHERE ") + p + QStringLiteral(" IS NOT NULL AND ") + predictedSql
                        + QStringLiteral(" IS NOT NULL");
    const ClassIndex index(m.classes);
    const size_t n = m.classes.size();
    std::vector<int64_t> counts(n * n, 0);
    if (!countInRanges(projectFile, sql, index, n, counts)) {
        kdb::Reader rows = db.Query(sql);
        countRows(rows, index, n, counts);
    }
    for (size_t i = 0; i < counts.size(); ++i) {
        if (counts[i] > std::numeric_limits<int32_t>::max())
            throw KvError(KvErr::Overflow);
        m.cells[i] = int32_t(counts[i]);
    }
    m.Totals();
    return m;
}
