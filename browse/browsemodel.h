// The table model of a browse grid. data() does no I/O: a row that is not cached shows blank
// and asks for its block, which is read at the next turn of the event loop; a generation
// counter, bumped by every reset, drops requests made before it. A block that cannot be read
// is never cached: its rows show "#Error" and are asked for again when the grid next shows
// them, and the failure is said once until a read goes through again. What a cell shows
// (texts, colours, pictures, tips) comes from the bound browser through IBrowseLook.
#pragma once

#include "browse/blockcache.h"

#include <QAbstractTableModel>
#include <QSet>

class BrowseRowSource;

class IBrowseLook {
public:
    virtual ~IBrowseLook() = default;
    // `value` is nullptr while the row is not read yet.
    virtual QVariant CellData(int64_t row, int column, const kdb::Value* value, int role) const = 0;
    virtual QVariant HeaderData(int column, int role) const = 0;
};

class BrowseModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // The value of a cell as the database gave it (a kdb::Value in the variant).
    static constexpr int ValueRole = Qt::UserRole + 1;

    explicit BrowseModel(BrowseRowSource& source, QObject* parent = nullptr);

    void SetLook(const IBrowseLook* look);
    // After the source loaded a new key list (or the look changed): every row read again.
    void Reset();
    // The source's key list grew whole in the background: the new rows join the grid.
    void RowsLoaded();
    // The cached row, or nullptr (no read is made or asked for).
    const BlockCache::Row* CachedRow(int64_t row) const;
    // The row, its block read now when it is not cached; nullptr past the last row. Raises
    // KvError when the block cannot be read.
    const BlockCache::Row* ReadRow(int64_t row);
    // Changes a cached value and repaints its cell.
    void SetCachedValue(int64_t row, int column, const kdb::Value& value);
    // Drops every cached row and repaints (after a statement changed many rows).
    void Invalidate();
    // Reads the asked-for blocks now (the event loop does it otherwise). A failed read shows
    // its box here, unless one was shown since the last read that went through.
    void FetchPending();
    uint64_t Generation() const { return m_generation; }
    const BlockCache& Cache() const { return m_cache; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    void request(int64_t block) const;
    // Reads one block into the cache and repaints its rows. Raises KvError.
    void readBlock(int64_t block);

    BrowseRowSource& m_source;
    const IBrowseLook* m_look = nullptr;
    mutable BlockCache m_cache;
    mutable QSet<int64_t> m_pending;
    mutable bool m_armed = false;
    QSet<int64_t> m_failed;      // blocks whose last read failed
    bool m_failureSaid = false;  // a failed read was said since the last one that went through
    bool m_saying = false;       // its box is up
    uint64_t m_generation = 0;
    int m_rows = 0;
    int m_columns = 0;
};

Q_DECLARE_METATYPE(kdb::Value)
