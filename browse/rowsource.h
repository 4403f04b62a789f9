// The rows of one browse, read lazily from the project database: the ordered list of the
// view's row keys is read once (so the row count is exact and a sort is one new key list),
// then rows are read by key in blocks. The source keeps a connection of its own that holds no
// transaction between reads; Release lets the file go, and the next read opens it again.
#pragma once

#include "browse/blockcache.h"
#include "browse/browsequery.h"
#include "core/kverror.h"
#include "kdb/kdb.h"

#include <QPointer>
#include <atomic>
#include <QString>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

struct sqlite3;

class BrowseRowSource {
public:
    explicit BrowseRowSource(QString databaseName = {});
    ~BrowseRowSource();
    BrowseRowSource(const BrowseRowSource&) = delete;
    BrowseRowSource& operator=(const BrowseRowSource&) = delete;

    // The project file the rows come from; setting it lets the old connection go.
    QString DatabaseName() const { return m_file; }
    void SetDatabaseName(const QString& file);

    // Runs the query's key list: the view's rows in its order. Raises KvError (the row count
    // is then 0). A view in its natural order comes with its first rows at once and the rest
    // of its key list read by a loader of its own connection; LoadedHandler runs (through
    // the event loop of `context`) when the list is whole.
    int64_t Load(const BrowseQuery& query);
    const BrowseQuery& Query() const { return m_query; }
    // The rows known so far (all of them unless Loading).
    int64_t RowCount() const { return m_keys.Size(); }
    bool Loading() const { return m_loader.joinable(); }
    void SetLoadedHandler(QObject* context, std::function<void()> handler);
    // Waits for the loader and takes its keys (running the handler at once). A loader that
    // failed leaves the rows read before the failure, and its error for TakeLoadError.
    void WaitLoaded();
    // The error that ended the last background read early, once; nothing when it read all.
    std::optional<KvError> TakeLoadError();
    // Tests: the loader calls it with the number of keys read so far, at its start and after
    // every 1024 keys; what it throws fails the read as a database error would.
    static std::function<void(int64_t)>& LoaderProbe();
    kdb::Value Key(int64_t row) const;

    // Rows first .. first + count - 1 (as many as exist), the query's columns in order; a row
    // whose key no longer matches comes back empty. Raises KvError, and lets the connection
    // go: the next read opens a new one.
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

    // The rows read at once before a loader takes over.
    static constexpr int FirstRows = 512;

    // Row keys in order: whole numbers compactly, any other kind as values.
    class KeyList {
    public:
        int64_t Size() const { return m_intKeys ? int64_t(m_ints.size()) : int64_t(m_values.size()); }
        bool IntKeys() const { return m_intKeys; }
        int64_t Int(int64_t row) const { return m_ints[size_t(row)]; }
        kdb::Value Key(int64_t row) const;
        void Reserve(size_t n);
        void Add(const kdb::Reader& r, int column);
        // Rows in the order given (positions into the list).
        void Permute(const std::vector<uint32_t>& order);
        void Clear();

    private:
        bool m_intKeys = true;
        std::vector<int64_t> m_ints;
        std::vector<kdb::Value> m_values;
    };

private:
    kdb::Database& connection();
    std::vector<BlockCache::Row> readRows(int64_t first, int count);
    void startLoader(const QString& sql, const QList<kdb::Value>& params);
    void stopLoader();
    void adopt();

    QString m_file;
    kdb::Database m_db;
    BrowseQuery m_query;
    int64_t m_expectedRows = 0;
    KeyList m_keys;

    // The loader: its thread, its connection (for an interrupt), its result.
    std::thread m_loader;
    std::mutex m_loaderMutex;
    sqlite3* m_loaderDb = nullptr;
    KeyList m_loaded;
    bool m_loadFailed = false;
    std::optional<KvError> m_loadError;
    std::atomic<bool> m_cancel{false};
    uint64_t m_loadGeneration = 0;
    QPointer<QObject> m_context;
    std::function<void()> m_onLoaded;
};
