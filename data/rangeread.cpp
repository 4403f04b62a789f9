#include "data/rangeread.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <limits>
#include <mutex>
#include <thread>

namespace RangeRead {

namespace {
constexpr std::chrono::milliseconds kPollEvery{25};

// Whether `table` is an ordinary table (no view, virtual or shadow table) that has no rowid;
// none when it is no ordinary table.
std::optional<bool> WithoutRowid(kdb::Database& db, const QString& table)
{
    kdb::Reader kind = db.Query(
        QStringLiteral("SELECT type, wr FROM pragma_table_list WHERE schema = 'main' AND name = ? COLLATE NOCASE"),
        {table});
    if (!kind.Next() || kind.Text(0) != QLatin1String("table"))
        return std::nullopt;
    return kind.Int(1) != 0;
}
} // namespace

struct Shared {
    std::atomic<int64_t> rowsRead{0};
    // Ranges after this one stop: the first that failed, or -1 once the poll said stop.
    std::atomic<int> lastToRead{std::numeric_limits<int>::max()};
};

int Threads()
{
    return int(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
}

std::vector<kdb::Database> Open(const QString& path, int count)
{
    std::vector<kdb::Database> connections;
    try {
        while (int(connections.size()) < count)
            connections.push_back(kdb::Database::Open(path, kdb::OpenOptions{false, true}));
    } catch (...) {
        // Fewer connections than asked for: the ranges are shared among those that opened.
    }
    return connections;
}

std::optional<QString> RowidName(kdb::Database& db, const QString& table)
{
    if (const std::optional<bool> withoutRowid = WithoutRowid(db, table); !withoutRowid || *withoutRowid)
        return std::nullopt;
    QStringList names;
    for (const kdb::FieldInfo& f : db.Fields(table))
        names << f.name.toLower();
    for (const char* alias : {"rowid", "_rowid_", "oid"})
        if (!names.contains(QLatin1String(alias)))
            return QString::fromLatin1(alias);
    return std::nullopt;
}

void Tally::Fail()
{
    int last = m_shared.lastToRead.load();
    while (m_range < last && !m_shared.lastToRead.compare_exchange_weak(last, m_range)) {
    }
}

bool Tally::Flush()
{
    m_shared.rowsRead += m_unTold;
    m_unTold = 0;
    return m_range <= m_shared.lastToRead.load();
}

bool Run(std::vector<kdb::Database>& connections, int count,
         const std::function<void(int, kdb::Database&, Tally&)>& read, const std::function<bool(int64_t)>& poll)
{
    Shared shared;
    std::vector<std::exception_ptr> errors(size_t(std::max(count, 0)));
    std::atomic<int> nextRange{0};
    std::mutex lock;
    std::condition_variable ended;
    int running = int(connections.size());

    const auto work = [&](kdb::Database& db) {
        for (int k = nextRange++; k < count && k <= shared.lastToRead.load(); k = nextRange++) {
            Tally tally(shared, k);
            try {
                read(k, db, tally);
            } catch (...) {
                errors[size_t(k)] = std::current_exception();
                tally.Fail();
            }
        }
        const std::lock_guard guard(lock);
        --running;
        ended.notify_one();
    };

    bool stopped = false;
    {
        std::vector<std::jthread> pool;
        for (kdb::Database& db : connections)
            pool.emplace_back(work, std::ref(db));
        std::unique_lock wait(lock);
        while (!ended.wait_for(wait, kPollEvery, [&] { return running == 0; })) {
            if (stopped)
                continue;
            wait.unlock();
            try {
                stopped = !poll(shared.rowsRead.load());
            } catch (...) {
                shared.lastToRead = -1; // the threads end before the error goes on
                throw;
            }
            if (stopped)
                shared.lastToRead = -1;
            wait.lock();
        }
    }
    for (const std::exception_ptr& e : errors)
        if (e)
            std::rethrow_exception(e);
    return !stopped;
}

QString KeyRanges::Range(const QStringList& columns) const
{
    return QStringLiteral("SELECT %1 FROM %2 WHERE %3 >= ? AND %3 < ? ORDER BY %3")
        .arg(columns.join(QStringLiteral(", ")), kdb::QuoteIdent(table), key);
}

QString KeyRanges::Rest(const QStringList& columns) const
{
    return QStringLiteral("SELECT %1 FROM %2 WHERE %3 >= ? ORDER BY %3 LIMIT ?")
        .arg(columns.join(QStringLiteral(", ")), kdb::QuoteIdent(table), key);
}

std::optional<KeyRanges> PlanKeyRanges(kdb::Database& db, const QString& table, int64_t low, int64_t rows,
                                       int ranges)
{
    KeyRanges plan;
    plan.table = table;
    if (!WithoutRowid(db, table))
        return std::nullopt;
    // The order a link reads in: the primary key's, else the rowid's.
    const QStringList key = db.PrimaryKey(table);
    if (key.size() > 1)
        return std::nullopt;
    if (key.size() == 1) {
        plan.key = kdb::QuoteIdent(key.front());
    } else {
        // A link orders such a table by _rowid_, which a column of that name would be.
        if (!RowidName(db, table))
            return std::nullopt;
        for (const kdb::FieldInfo& f : db.Fields(table))
            if (f.name.compare(QLatin1String("_rowid_"), Qt::CaseInsensitive) == 0)
                return std::nullopt;
        plan.key = QStringLiteral("_rowid_");
    }
    kdb::Reader first = db.Query(QStringLiteral("SELECT %1 FROM %2 ORDER BY %1 LIMIT 1 OFFSET ?")
                                     .arg(plan.key, kdb::QuoteIdent(table)),
                                 {std::max<int64_t>(low - 1, 0)});
    if (!first.Next())
        return plan;
    if (first.Type(0) != kdb::Value::Type::Integer)
        return std::nullopt;
    // The guess ends at the largest key, and at the rows the file could hold (a cell takes at
    // least four bytes): a range far beyond a table of sparse keys is no guess for its rows.
    const __int128 start = first.Int(0);
    __int128 end = start + std::max<int64_t>(rows, 0);
    kdb::Reader last = db.Query(QStringLiteral("SELECT max(%1) FROM %2").arg(plan.key, kdb::QuoteIdent(table)));
    if (last.Next() && last.Type(0) == kdb::Value::Type::Integer)
        end = std::min(end, __int128(last.Int(0)) + 1);
    kdb::Reader bytes =
        db.Query(QStringLiteral("SELECT page_count * page_size FROM pragma_page_count(), pragma_page_size()"));
    if (bytes.Next())
        end = std::min(end, start + bytes.Int(0) / 4);
    end = std::clamp<__int128>(end, start, std::numeric_limits<int64_t>::max());
    ranges = std::max(ranges, 1);
    for (int k = 0; k <= ranges; ++k)
        plan.bounds.push_back(int64_t(start + (end - start) * k / ranges));
    return plan;
}

} // namespace RangeRead
