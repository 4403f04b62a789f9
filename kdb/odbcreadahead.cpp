// The read-ahead's helpers: each reads its chunks of a long read in key order on its own login
// and queues the rows in blocks for the cursor.
#include "kdb/odbcreadahead.h"

#include <sqlext.h>

#include <algorithm>
#include <cstring>

namespace kdb::detail {

ReadAhead::ReadAhead(std::shared_ptr<OdbcConnection> conn, Plan plan)
    : m_conn(std::move(conn)), m_plan(std::move(plan))
{
    try {
        for (int j = 0; j < kHelpers; ++j) {
            auto h = std::make_unique<Helper>();
            h->index = j;
            h->dbc = static_cast<SQLHDBC>(m_conn->TakeHelper());
            m_helpers.push_back(std::move(h));
        }
    } catch (...) {
        for (auto& h : m_helpers)
            m_conn->GiveBack(h->dbc);
        throw;
    }
    for (int j = 0; j < kHelpers; ++j)
        m_helpers[size_t(j)]->thread = std::thread([this, j] { Run(j); });
}

ReadAhead::~ReadAhead()
{
    for (auto& h : m_helpers) {
        {
            std::lock_guard lock(h->m);
            h->stop = true;
            // The one call another thread may make on a statement at work; the helper then
            // finds its statement failed and ends.
            if (h->executing != SQL_NULL_HSTMT)
                SQLCancel(h->executing);
        }
        h->cv.notify_all();
    }
    for (auto& h : m_helpers) {
        if (h->thread.joinable())
            h->thread.join();
        m_conn->GiveBack(h->dbc);
    }
}

bool ReadAhead::Next(Block& out)
{
    for (;;) {
        if (chunkSize(m_chunk) <= 0)
            return false;
        Helper& h = *m_helpers[size_t((m_chunk - 1) % kHelpers)];
        Block b;
        {
            std::unique_lock lock(h.m);
            h.cv.wait(lock, [&] { return !h.queue.empty(); });
            b = std::move(h.queue.front());
            h.queue.pop_front();
        }
        h.cv.notify_all();
        if (b.failed) {
            if (b.linkLost)
                ForgetSharedConnections();
            QString text = CatalogueText(3146, {});
            if (!b.driverText.isEmpty())
                text += u' ' + b.driverText;
            throw KvError(3146, {}, text);
        }
        if (!b.chunkEnd) {
            out = std::move(b);
            return true;
        }
        if (b.chunkRows < chunkSize(m_chunk))
            return false;   // the table ends in this chunk
        ++m_chunk;
    }
}

std::function<void(int, int64_t)>& ReadAhead::Probe()
{
    static std::function<void(int, int64_t)> probe;
    return probe;
}

int64_t ReadAhead::chunkSize(int64_t g) const
{
    return m_plan.limit < 0 ? kChunk
                            : std::clamp<int64_t>(m_plan.limit - kFirstRows - (g - 1) * kChunk, 0, kChunk);
}

bool ReadAhead::push(Helper& h, Block&& b)
{
    std::unique_lock lock(h.m);
    h.cv.wait(lock, [&] { return h.stop || h.queue.size() < kQueuedBlocks; });
    if (h.stop)
        return false;
    h.queue.push_back(std::move(b));
    lock.unlock();
    h.cv.notify_all();
    return true;
}

void ReadAhead::Run(int j)
{
    Helper& h = *m_helpers[size_t(j)];
    int64_t from = m_plan.firstKey;
    int64_t skip = int64_t(j) * kChunk;
    for (int64_t g = 1 + j;; g += kHelpers) {
        const int64_t want = chunkSize(g);
        if (want <= 0)
            return;
        int64_t got = 0;
        if (!readChunk(h, from, skip, want, got))
            return;
        Block end;
        end.chunkEnd = true;
        end.chunkRows = got;
        if (!push(h, std::move(end)) || got < want)
            return;
        skip = int64_t(kHelpers - 1) * kChunk;
    }
}

bool ReadAhead::readChunk(Helper& h, int64_t& from, int64_t skip, int64_t want, int64_t& got)
{
    SQLHSTMT st = SQL_NULL_HSTMT;
    const auto fail = [&] {
        Block b;
        b.failed = true;
        b.driverText = st != SQL_NULL_HSTMT ? OdbcDiagnostic(SQL_HANDLE_STMT, st, &b.linkLost)
                                            : OdbcDiagnostic(SQL_HANDLE_DBC, h.dbc, &b.linkLost);
        if (st != SQL_NULL_HSTMT)
            SQLFreeHandle(SQL_HANDLE_STMT, st);
        push(h, std::move(b));
        return false;
    };
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, h.dbc, &st)))
        return fail();
    SQLULEN fetched = 0;
    SQLSetStmtAttr(st, SQL_ATTR_ROW_BIND_TYPE, SQL_BIND_BY_COLUMN, 0);
    SQLSetStmtAttr(st, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(kBlockRows), 0);
    SQLSetStmtAttr(st, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0);
    QByteArray sql = (m_plan.select + QString::number(from) + m_plan.order + QStringLiteral(" LIMIT ")
                      + QString::number(want) + QStringLiteral(" OFFSET ") + QString::number(skip))
                         .toUtf8();
    {
        std::lock_guard lock(h.m);
        if (h.stop) {
            SQLFreeHandle(SQL_HANDLE_STMT, st);
            return false;
        }
        h.executing = st;
    }
    if (const auto& probe = Probe())
        probe(h.index, 0);
    SQLRETURN rc = SQLExecDirect(st, reinterpret_cast<SQLCHAR*>(sql.data()), SQLINTEGER(sql.size()));
    {
        std::lock_guard lock(h.m);
        h.executing = SQL_NULL_HSTMT;
    }
    if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA)
        return fail();
    const size_t columns = m_plan.whole.size();
    while (rc != SQL_NO_DATA) {
        Block b;
        b.data.resize(columns);
        b.ind.resize(columns);
        for (size_t i = 0; i < columns; ++i) {
            b.data[i].resize(sizeof(double) * kBlockRows);
            b.ind[i].resize(kBlockRows);
            if (!SQL_SUCCEEDED(SQLBindCol(st, SQLUSMALLINT(i + 1), m_plan.whole[i] ? SQL_C_SBIGINT : SQL_C_DOUBLE,
                                          b.data[i].data(), SQLLEN(sizeof(double)), b.ind[i].data())))
                return fail();
        }
        rc = SQLFetch(st);
        if (rc == SQL_NO_DATA)
            break;
        if (!SQL_SUCCEEDED(rc))
            return fail();
        b.rows = fetched;
        got += int64_t(fetched);
        if (fetched > 0)
            std::memcpy(&from, b.data[m_plan.keyAt].data() + (fetched - 1) * sizeof(SQLBIGINT), sizeof from);
        if (!push(h, std::move(b))) {
            SQLFreeHandle(SQL_HANDLE_STMT, st);
            return false;
        }
        if (const auto& probe = Probe())
            probe(h.index, got);
    }
    SQLFreeHandle(SQL_HANDLE_STMT, st);
    return true;
}

} // namespace kdb::detail
