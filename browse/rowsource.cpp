#include "browse/rowsource.h"

#include <QMetaObject>
#include <sqlite3.h>

#include <algorithm>
#include <unordered_map>

namespace {

// One row's sort values, kept inline so that sorting moves through memory in order: each
// value compares the way SQLite orders a column: Null first, then numbers, then text (ignoring
// ASCII case unless the column compares exactly; the text itself lives in a pool), then bytes.
constexpr int kMaxSortKeys = 3;
// A number as the source holds it: a whole number keeps all its 64 bits (past 2^53 a double
// would make neighbours equal), any other is a double; which one, the holder keeps beside it.
union SortNumber {
    double real;
    int64_t whole;
};

// Exact for every pair: a long double holds each 64-bit whole number and each double.
bool numberLess(SortNumber a, bool aWhole, SortNumber b, bool bWhole)
{
    if (aWhole && bWhole)
        return a.whole < b.whole;
    if (!aWhole && !bWhole)
        return a.real < b.real;
    return (aWhole ? (long double)a.whole : (long double)a.real) < (bWhole ? (long double)b.whole : (long double)b.real);
}

struct SortEntry {
    uint32_t row = 0;
    int8_t cls[kMaxSortKeys] = {0, 0, 0};
    bool whole[kMaxSortKeys] = {false, false, false};
    SortNumber number[kMaxSortKeys] = {};
    uint32_t text[kMaxSortKeys] = {0, 0, 0};
};

// One row of a column of numbers, small enough for a fast sort.
struct NumberRow {
    SortNumber number;
    uint32_t row;
    bool whole;
    bool operator<(const NumberRow& o) const { return numberLess(number, whole, o.number, o.whole); }
};

void readSortValue(const kdb::Reader& r, int column, SortEntry& e, int j, std::vector<QString>& pool)
{
    switch (r.Type(column)) {
    case kdb::Value::Type::Null:
        e.cls[j] = 0;
        break;
    case kdb::Value::Type::Integer:
        e.cls[j] = 1;
        e.number[j].whole = r.Int(column);
        e.whole[j] = true;
        break;
    case kdb::Value::Type::Double:
        e.cls[j] = 1;
        e.number[j].real = r.Double(column);
        break;
    case kdb::Value::Type::Text:
        e.cls[j] = 2;
        e.text[j] = uint32_t(pool.size());
        pool.push_back(r.Text(column));
        break;
    case kdb::Value::Type::Bytes:
        e.cls[j] = 3;
        e.text[j] = uint32_t(pool.size());
        pool.push_back(QString::fromLatin1(r.Bytes(column).toHex()));
        break;
    }
}

int foldedCompare(const QString& a, const QString& b)
{
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        char16_t x = a.at(i).unicode();
        char16_t y = b.at(i).unicode();
        if (x >= u'A' && x <= u'Z')
            x = char16_t(x + 32);
        if (y >= u'A' && y <= u'Z')
            y = char16_t(y + 32);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

int compareValues(const SortEntry& a, const SortEntry& b, int j, bool exact, const std::vector<QString>& pool)
{
    if (a.cls[j] != b.cls[j])
        return a.cls[j] < b.cls[j] ? -1 : 1;
    switch (a.cls[j]) {
    case 1:
        return numberLess(a.number[j], a.whole[j], b.number[j], b.whole[j])
                   ? -1
                   : (numberLess(b.number[j], b.whole[j], a.number[j], a.whole[j]) ? 1 : 0);
    case 2:
        return exact ? pool[a.text[j]].compare(pool[b.text[j]]) : foldedCompare(pool[a.text[j]], pool[b.text[j]]);
    case 3:
        return pool[a.text[j]].compare(pool[b.text[j]]);
    default:
        return 0;
    }
}

} // namespace

BrowseRowSource::BrowseRowSource(QString databaseName) : m_file(std::move(databaseName)) {}

BrowseRowSource::~BrowseRowSource()
{
    stopLoader();
}

kdb::Value BrowseRowSource::KeyList::Key(int64_t row) const
{
    return m_intKeys ? kdb::Value(static_cast<long long>(m_ints[size_t(row)])) : m_values[size_t(row)];
}

void BrowseRowSource::KeyList::Reserve(size_t n)
{
    if (m_intKeys)
        m_ints.reserve(n);
    else
        m_values.reserve(n);
}

void BrowseRowSource::KeyList::Add(const kdb::Reader& r, int column)
{
    if (m_intKeys) {
        if (r.Type(column) == kdb::Value::Type::Integer) {
            m_ints.push_back(r.Int(column));
            return;
        }
        // Keys of another kind: every key is kept as a value from here on.
        m_values.reserve(m_ints.size() + 1024);
        for (int64_t k : m_ints)
            m_values.emplace_back(static_cast<long long>(k));
        m_ints = {};
        m_intKeys = false;
    }
    m_values.push_back(r.Get(column));
}

void BrowseRowSource::KeyList::Permute(const std::vector<uint32_t>& order)
{
    const size_t n = order.size();
    if (m_intKeys) {
        std::vector<int64_t> sorted(n);
        for (size_t i = 0; i < n; ++i)
            sorted[i] = m_ints[order[i]];
        m_ints.swap(sorted);
    } else {
        std::vector<kdb::Value> sorted(n);
        for (size_t i = 0; i < n; ++i)
            sorted[i] = std::move(m_values[order[i]]);
        m_values.swap(sorted);
    }
}

void BrowseRowSource::KeyList::Clear()
{
    m_intKeys = true;
    m_ints = {};
    m_values = {};
}

void BrowseRowSource::SetLoadedHandler(QObject* context, std::function<void()> handler)
{
    m_context = context;
    m_onLoaded = std::move(handler);
}

void BrowseRowSource::startLoader(const QString& sql, const QList<kdb::Value>& params)
{
    const uint64_t generation = ++m_loadGeneration;
    m_loaded.Clear();
    m_loadFailed = false;
    m_loadError.reset();
    m_cancel = false;
    const QString file = m_file;
    const size_t expected = size_t(std::clamp<int64_t>(m_expectedRows, 0, 16 * 1024 * 1024));
    QObject* context = m_context.data();
    // The owner joins the loader before its context object goes (the destructor and every new
    // load stop it first), so the context outlives the thread.
    m_loader = std::thread([this, file, sql, params, expected, context, generation] {
        try {
            // A connection of the loader's own, read-only; nothing else touches it.
            kdb::Database db = kdb::Database::Open(file, false, true);
            RegisterBrowseFunctions(db.handle());
            {
                std::lock_guard<std::mutex> lock(m_loaderMutex);
                m_loaderDb = db.handle();
            }
            m_loaded.Reserve(expected);
            const auto& probe = LoaderProbe();
            if (probe)
                probe(0);
            {
                kdb::Reader r = db.Query(sql, params);
                while (!m_cancel && r.Next()) {
                    m_loaded.Add(r, 0);
                    if (probe && m_loaded.Size() % 1024 == 0)
                        probe(m_loaded.Size());
                }
            }
            std::lock_guard<std::mutex> lock(m_loaderMutex);
            m_loaderDb = nullptr;
            m_loadFailed = m_cancel;
        } catch (...) {
            const KvError error = CurrentError();
            std::lock_guard<std::mutex> lock(m_loaderMutex);
            m_loaderDb = nullptr;
            m_loadFailed = true;
            // A read stopped on purpose is no failure to report.
            if (!m_cancel)
                m_loadError = error;
        }
        if (context)
            QMetaObject::invokeMethod(
                context,
                [this, generation] {
                    if (generation == m_loadGeneration)
                        WaitLoaded();
                },
                Qt::QueuedConnection);
    });
}

void BrowseRowSource::stopLoader()
{
    if (!m_loader.joinable())
        return;
    m_cancel = true;
    {
        std::lock_guard<std::mutex> lock(m_loaderMutex);
        if (m_loaderDb)
            sqlite3_interrupt(m_loaderDb);
    }
    m_loader.join();
    ++m_loadGeneration;
    m_loaded.Clear();
}

void BrowseRowSource::WaitLoaded()
{
    if (!m_loader.joinable())
        return;
    m_loader.join();
    // Both lists run in the view's order from its first row: a loader that failed leaves the
    // longer of the rows known before it and the rows it read.
    if (m_loaded.Size() >= m_keys.Size() && (!m_loadFailed || m_loadError))
        std::swap(m_keys, m_loaded);
    m_loaded.Clear();
    if (m_onLoaded)
        m_onLoaded();
}

std::optional<KvError> BrowseRowSource::TakeLoadError()
{
    std::optional<KvError> error;
    std::swap(error, m_loadError);
    return error;
}

std::function<void(int64_t)>& BrowseRowSource::LoaderProbe()
{
    static std::function<void(int64_t)> probe;
    return probe;
}

void BrowseRowSource::SetDatabaseName(const QString& file)
{
    if (file == m_file)
        return;
    Release();
    m_file = file;
}

kdb::Database& BrowseRowSource::connection()
{
    if (!m_db.IsOpen()) {
        if (m_file.isEmpty())
            throw KvError(KvErr::FileNotFound, {}, QStringLiteral("The browse has no database."));
        m_db = kdb::Database::Open(m_file, false, false);
        RegisterBrowseFunctions(m_db.handle());
    }
    return m_db;
}

void BrowseRowSource::Release()
{
    stopLoader();
    m_db.Close();
}

int64_t BrowseRowSource::Load(const BrowseQuery& query)
{
    stopLoader();
    const int64_t previousRows = RowCount();
    m_query = query;
    m_keys.Clear();
    // Sort keys order the rows here, in memory, over the view's rows in their base order: one
    // pass over the join instead of a sort inside it, and ties keep the base order.
    BrowseQuery base = query;
    base.sortKeys = {};
    std::vector<const BrowseSortKey*> keys;
    for (const BrowseSortKey& k : query.sortKeys)
        if (!k.IsFree())
            keys.push_back(&k);
    QList<kdb::Value> params;
    QString sql;
    // The natural order of the test results: the first rows now, the rest by the loader.
    const bool natural = keys.empty() && query.joinTest && !query.distanceFrom;
    if (keys.empty()) {
        sql = query.KeyListSql(params);
    } else {
        QStringList select{query.KeyColumn().Sql()};
        for (const BrowseSortKey* k : keys)
            select << k->column.Sql();
        sql = QStringLiteral("SELECT ") + select.join(QStringLiteral(", ")) + QStringLiteral(" FROM ") + base.FromSql();
        sql += base.WhereSql(params);
        sql += base.OrderSql(params);
    }
    std::vector<SortEntry> entries;
    std::vector<QString> pool;
    {
        const QString first = natural ? sql + QStringLiteral(" LIMIT %1").arg(FirstRows) : sql;
        kdb::Reader r = connection().Query(first, params);
        // Room for the rows expected (the last count, or the caller's), within reason.
        const size_t expected = natural ? size_t(FirstRows)
                                        : size_t(std::clamp<int64_t>(std::max(m_expectedRows, previousRows), 0,
                                                                     16 * 1024 * 1024));
        m_keys.Reserve(expected);
        if (!keys.empty())
            entries.reserve(expected);
        while (r.Next()) {
            if (!keys.empty()) {
                SortEntry e;
                e.row = uint32_t(entries.size());
                for (size_t j = 0; j < keys.size(); ++j)
                    readSortValue(r, int(j) + 1, e, int(j), pool);
                entries.push_back(e);
            }
            m_keys.Add(r, 0);
        }
    }
    if (natural && RowCount() == FirstRows)
        startLoader(sql, params);
    if (!keys.empty()) {
        const BrowseColumn keyColumn = query.KeyColumn();
        const BrowseColumn sourceKey{ProjectSchema::LinkTable(), query.keyField, 0};
        std::vector<bool> exact;
        std::vector<bool> desc;
        for (const BrowseSortKey* k : keys) {
            // The key columns compare exactly; every other text column ignores case.
            exact.push_back(k->column == keyColumn || k->column == sourceKey);
            desc.push_back(k->desc);
        }
        const size_t n = size_t(RowCount());
        const int width = int(keys.size());
        std::vector<uint32_t> order(n);
        const bool numbersOnly = width == 1 && std::all_of(entries.begin(), entries.end(), [](const SortEntry& e) {
                                     return e.cls[0] <= 1;
                                 });
        if (numbersOnly) {
            // One column of numbers (and Nulls): small pairs sort much faster than whole entries.
            std::vector<NumberRow> numbers;
            std::vector<uint32_t> nulls;
            numbers.reserve(n);
            for (const SortEntry& e : entries) {
                if (e.cls[0] == 0)
                    nulls.push_back(e.row);
                else
                    numbers.push_back({e.number[0], e.row, e.whole[0]});
            }
            entries = {};
            if (desc[0])
                std::stable_sort(numbers.begin(), numbers.end(),
                                 [](const NumberRow& a, const NumberRow& b) { return b < a; });
            else
                std::stable_sort(numbers.begin(), numbers.end());
            // Nulls come first ascending and last descending, as SQLite orders them.
            size_t at = 0;
            if (!desc[0])
                for (uint32_t row : nulls)
                    order[at++] = row;
            for (const NumberRow& number : numbers)
                order[at++] = number.row;
            if (desc[0])
                for (uint32_t row : nulls)
                    order[at++] = row;
        } else {
            std::stable_sort(entries.begin(), entries.end(), [&](const SortEntry& a, const SortEntry& b) {
                for (int j = 0; j < width; ++j) {
                    int c = compareValues(a, b, j, exact[size_t(j)], pool);
                    if (desc[size_t(j)])
                        c = -c;
                    if (c != 0)
                        return c < 0;
                }
                return false;
            });
            for (size_t i = 0; i < n; ++i)
                order[i] = entries[i].row;
        }
        entries = {};
        pool = {};
        m_keys.Permute(order);
    }
    return RowCount();
}

kdb::Value BrowseRowSource::Key(int64_t row) const
{
    if (row < 0 || row >= RowCount())
        return {};
    return m_keys.Key(row);
}

std::vector<BlockCache::Row> BrowseRowSource::Read(int64_t first, int count)
{
    try {
        return readRows(first, count);
    } catch (...) {
        // The connection may hold a link to a server that went away: the next read opens a
        // new one, which logs in again once the server is back.
        m_db.Close();
        throw;
    }
}

std::vector<BlockCache::Row> BrowseRowSource::readRows(int64_t first, int count)
{
    std::vector<BlockCache::Row> rows;
    if (first < 0 || first >= RowCount() || count <= 0)
        return rows;
    const int n = int(std::min<int64_t>(count, RowCount() - first));
    rows.resize(size_t(n));
    QList<kdb::Value> keys;
    keys.reserve(n);
    for (int i = 0; i < n; ++i)
        keys << Key(first + i);
    kdb::Reader r = connection().Query(m_query.RowsByKeySql(n), keys);
    const int columns = int(m_query.columns.size());
    std::unordered_map<int64_t, int> intAt;
    if (m_keys.IntKeys())
        for (int i = 0; i < n; ++i)
            intAt.emplace(m_keys.Int(first + i), i);
    while (r.Next()) {
        const kdb::Value key = r.Get(0);
        int at = -1;
        if (m_keys.IntKeys()) {
            const auto it = intAt.find(key.toInt());
            if (it != intAt.end())
                at = it->second;
        } else {
            for (int i = 0; i < n; ++i)
                if (keys[i] == key) {
                    at = i;
                    break;
                }
        }
        if (at < 0)
            continue;
        BlockCache::Row row;
        row.reserve(columns);
        for (int c = 1; c <= columns; ++c)
            row << r.Get(c);
        rows[size_t(at)] = std::move(row);
    }
    return rows;
}

void BrowseRowSource::WriteMark(int64_t row, int value)
{
    WriteMarks({row}, value);
}

void BrowseRowSource::WriteMarks(const std::vector<int64_t>& rows, int value)
{
    if (rows.empty())
        return;
    kdb::Database& db = connection();
    kdb::Transaction t(db);
    kdb::Statement update = db.Prepare(BrowseQuery::MarkOneSql());
    for (int64_t row : rows) {
        if (row < 0 || row >= RowCount())
            continue;
        update.Run({kdb::Value(value), Key(row)});
    }
    t.Commit();
}

int64_t BrowseRowSource::MarkAll(int mode)
{
    kdb::Database& db = connection();
    QList<kdb::Value> params;
    const QString sql = m_query.MarkAllSql(mode, params);
    kdb::Transaction t(db);
    const int64_t changed = db.Execute(sql, params);
    t.Commit();
    return changed;
}
