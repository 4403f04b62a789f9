// The rows of one browse, read lazily from the project database: the ordered list of the
// view's row keys is read once (so the row count is exact and a sort is one new key list),
// then rows are read by key in blocks. The source keeps a connection of its own that holds no
// transaction between reads; Release lets the file go, and the next read opens it again.
#pragma once

#include "browse/blockcache.h"
#include "browse/browsequery.h"
#include "kdb/kdb.h"

#include <QString>
#include <cstdint>
#include <vector>

class BrowseRowSource {
public:
    explicit BrowseRowSource(QString databaseName = {});

    // The project file the rows come from; setting it lets the old connection go.
    QString DatabaseName() const { return m_file; }
    void SetDatabaseName(const QString& file);

    // Runs the query's key list: the view's rows in its order. Raises KvError (the row count
    // is then 0).
    int64_t Load(const BrowseQuery& query);
    const BrowseQuery& Query() const { return m_query; }
    int64_t RowCount() const { return m_intKeys ? int64_t(m_ints.size()) : int64_t(m_values.size()); }
    kdb::Value Key(int64_t row) const;

    // Rows first .. first + count - 1 (as many as exist), the query's columns in order; a row
    // whose key no longer matches comes back empty. Raises KvError.
    std::vector<BlockCache::Row> Read(int64_t first, int count);

    // Marks by key, each call one transaction. Raise KvError (nothing is then changed).
    void WriteMark(int64_t row, int value);
    void WriteMarks(const std::vector<int64_t>& rows, int value);
    // The mark command over the view (see BrowseQuery::MarkAllSql); answers the rows changed.
    int64_t MarkAll(int mode);

    // The number of rows the caller expects (room is made for them before the key list is read).
    void ExpectRows(int64_t rows) { m_expectedRows = rows; }

    // Lets the project file go now; the next read or write opens it again.
    void Release();
    bool Connected() const { return m_db.IsOpen(); }

private:
    kdb::Database& connection();

    QString m_file;
    kdb::Database m_db;
    BrowseQuery m_query;
    int64_t m_expectedRows = 0;
    bool m_intKeys = true;
    std::vector<int64_t> m_ints;
    std::vector<kdb::Value> m_values;
};
