#include "browse/rowsource.h"

#include <unordered_map>

BrowseRowSource::BrowseRowSource(QString databaseName) : m_file(std::move(databaseName)) {}

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
    m_db.Close();
}

int64_t BrowseRowSource::Load(const BrowseQuery& query)
{
    m_query = query;
    m_ints.clear();
    m_values.clear();
    m_ints.shrink_to_fit();
    m_values.shrink_to_fit();
    m_intKeys = true;
    QList<kdb::Value> params;
    const QString sql = query.KeyListSql(params);
    kdb::Reader r = connection().Query(sql, params);
    while (r.Next()) {
        if (m_intKeys) {
            const kdb::Value v = r.Get(0);
            if (v.type() == kdb::Value::Type::Integer) {
                m_ints.push_back(v.toInt());
                continue;
            }
            // Keys of another kind: every key is kept as a value from here on.
            m_values.reserve(m_ints.size() + 1024);
            for (int64_t k : m_ints)
                m_values.emplace_back(static_cast<long long>(k));
            m_ints.clear();
            m_ints.shrink_to_fit();
            m_intKeys = false;
            m_values.push_back(v);
        } else {
            m_values.push_back(r.Get(0));
        }
    }
    return RowCount();
}

kdb::Value BrowseRowSource::Key(int64_t row) const
{
    if (row < 0 || row >= RowCount())
        return {};
    return m_intKeys ? kdb::Value(static_cast<long long>(m_ints[size_t(row)])) : m_values[size_t(row)];
}

std::vector<BlockCache::Row> BrowseRowSource::Read(int64_t first, int count)
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
    if (m_intKeys)
        for (int i = 0; i < n; ++i)
            intAt.emplace(m_ints[size_t(first + i)], i);
    while (r.Next()) {
        const kdb::Value key = r.Get(0);
        int at = -1;
        if (m_intKeys) {
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
