#include "browse/browsemodel.h"

#include "browse/browsegrid.h"
#include "browse/browselook.h"
#include "browse/rowsource.h"
#include "core/errorbox.h"

#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <limits>
#include <optional>

BrowseModel::BrowseModel(BrowseRowSource& source, QObject* parent)
    : QAbstractTableModel(parent), m_source(source), m_cache(128, 64)
{
}

void BrowseModel::SetLook(const IBrowseLook* look)
{
    beginResetModel();
    m_look = look;
    endResetModel();
}

void BrowseModel::Reset()
{
    beginResetModel();
    ++m_generation;
    m_cache.Clear();
    m_pending.clear();
    m_failed.clear();
    m_rows = int(std::min<int64_t>(m_source.RowCount(), std::numeric_limits<int>::max()));
    m_columns = int(m_source.Query().columns.size());
    endResetModel();
}

void BrowseModel::RowsLoaded()
{
    const int rows = int(std::min<int64_t>(m_source.RowCount(), std::numeric_limits<int>::max()));
    if (rows > m_rows) {
        // The first rows are the same rows in the same order: only the new ones come in.
        beginInsertRows({}, m_rows, rows - 1);
        m_rows = rows;
        endInsertRows();
    } else if (rows != m_rows) {
        Reset();
    }
}

const BlockCache::Row* BrowseModel::CachedRow(int64_t row) const
{
    return m_cache.Find(row);
}

const BlockCache::Row* BrowseModel::ReadRow(int64_t row)
{
    if (const BlockCache::Row* cached = m_cache.Find(row))
        return cached;
    if (row < 0 || row >= m_rows)
        return nullptr;
    readBlock(m_cache.BlockOf(row));
    return m_cache.Find(row);
}

void BrowseModel::SetCachedValue(int64_t row, int column, const kdb::Value& value)
{
    m_cache.SetValue(row, column, value);
    if (row < m_rows)
        emit dataChanged(index(int(row), 0), index(int(row), std::max(0, m_columns - 1)));
}

void BrowseModel::Invalidate()
{
    ++m_generation;
    m_cache.Clear();
    m_pending.clear();
    m_failed.clear();
    if (m_rows > 0 && m_columns > 0)
        emit dataChanged(index(0, 0), index(m_rows - 1, m_columns - 1));
}

int BrowseModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int BrowseModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_columns;
}

QVariant BrowseModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    const BlockCache::Row* row = m_cache.Find(index.row());
    const kdb::Value* value = nullptr;
    if (row && index.column() < row->size()) {
        value = &(*row)[index.column()];
    } else if (!row) {
        const int64_t block = m_cache.BlockOf(index.row());
        const bool failed = m_failed.contains(block);
        // Behind the box of a failure the grid repaints: it asks for nothing until the box goes.
        if (!failed || !m_saying)
            request(block);
        // Blank is a row on its way; one that could not be read must not pass for empty data.
        if (role == Qt::DisplayRole && failed)
            return QStringLiteral("#Error");
    }
    if (role == ValueRole)
        return value ? QVariant::fromValue(*value) : QVariant();
    if (role == CBrowseGrid::NumberRole)
        return value && value->isNumber();
    if (m_look)
        return m_look->CellData(index.row(), index.column(), value, role);
    if (role == Qt::DisplayRole && value)
        return BrowseLook::CellText(*value, 15);
    return {};
}

QVariant BrowseModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Vertical)
        return role == Qt::DisplayRole ? QVariant(QString()) : QVariant();
    if (m_look)
        return m_look->HeaderData(section, role);
    if (role == Qt::DisplayRole && section < m_source.Query().columns.size())
        return m_source.Query().columns[section].field;
    return {};
}

void BrowseModel::request(int64_t block) const
{
    if (m_pending.contains(block))
        return;
    m_pending.insert(block);
    if (m_armed)
        return;
    m_armed = true;
    QPointer<BrowseModel> self(const_cast<BrowseModel*>(this));
    QTimer::singleShot(0, self, [self] {
        if (!self)
            return;
        self->m_armed = false;
        // Requests made before a reset were dropped with it; what is pending now is current.
        self->FetchPending();
    });
}

void BrowseModel::readBlock(int64_t block)
{
    const int64_t first = m_cache.FirstRowOf(block);
    std::vector<BlockCache::Row> rows = m_source.Read(first, m_cache.BlockRows());
    const int64_t last = std::min<int64_t>(first + m_cache.BlockRows(), m_rows) - 1;
    rows.resize(size_t(last - first + 1));
    m_cache.Put(block, std::move(rows));
    m_failed.remove(block);
    m_failureSaid = false;
    if (m_columns > 0)
        emit dataChanged(index(int(first), 0), index(int(last), m_columns - 1));
}

void BrowseModel::FetchPending()
{
    const QList<int64_t> blocks(m_pending.begin(), m_pending.end());
    m_pending.clear();
    std::optional<KvError> failure;
    for (int64_t block : blocks) {
        const int64_t first = m_cache.FirstRowOf(block);
        if (first >= m_rows || m_cache.HasBlock(block))
            continue;
        // After one failure the other blocks are not tried: a lost server would make the
        // user wait for each of them.
        if (!failure) {
            try {
                readBlock(block);
                continue;
            } catch (...) {
                failure = CurrentError();
            }
        }
        // Not cached, so that the grid asks for the rows again when it next shows them.
        if (!m_failed.contains(block)) {
            m_failed.insert(block);
            const int64_t last = std::min<int64_t>(first + m_cache.BlockRows(), m_rows) - 1;
            if (m_columns > 0)
                emit dataChanged(index(int(first), 0), index(int(last), m_columns - 1));
        }
    }
    if (failure && !m_failureSaid) {
        m_failureSaid = true;
        m_saying = true;
        const struct Said {
            bool& saying;
            ~Said() { saying = false; }
        } said{m_saying};
        ErrorBox::ShowStandard(KvError(failure->number(), failure->source(),
                                       failure->description()
                                           + QStringLiteral("\nThe rows that could not be read show #Error; they are "
                                                            "read again when the grid shows them.")),
                               QStringLiteral("frmBrowse::Data1"));
    }
}
