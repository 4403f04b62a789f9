// The read-ahead of a long read in key order of a server source: helper connections read the
// rows that follow, each in its own thread, while the virtual table's cursor works on those before.
#pragma once

#include "kdb/internal.h"

#include <sql.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace kdb::detail {


// A long read in key order of a server source, split into statements of kChunk rows that
// helper connections read ahead, each in its own thread, while the caller works on the rows
// before: the server's work, the driver's and the caller's then overlap. The cursor's own
// statement reads the first kFirstRows (a short read needs no helper); chunk g >= 1 goes to
// helper (g - 1) % kHelpers, which starts it from the last key of its previous chunk (of the
// first rows for its first). Held rows stay bounded: each helper keeps at most about one
// chunk read ahead. A read that ends early (the reader stops, or a helper lost the server)
// cancels the statements still waiting for the server before it waits for the helpers.
constexpr int64_t kFirstRows = 4096;
constexpr int64_t kChunk = 32768;
constexpr int kHelpers = 3;
constexpr SQLULEN kBlockRows = 1024;
constexpr size_t kQueuedBlocks = size_t(kChunk / kBlockRows) + 2;

// Rows of one fetch, column-wise as the cursor binds them; an empty block with `chunkEnd`
// closes a chunk and says how many rows it had.
struct Block {
    std::vector<std::vector<char>> data;
    std::vector<std::vector<SQLLEN>> ind;
    SQLULEN rows = 0;
    bool chunkEnd = false;
    int64_t chunkRows = 0;
    bool failed = false;
    bool linkLost = false;
    QString driverText;
};

class ReadAhead {
public:
    struct Plan {
        QString select;       // "SELECT ... FROM ... WHERE key > "
        QString order;        // " ORDER BY key"
        std::vector<bool> whole;   // per column read: a whole number (else a double)
        size_t keyAt = 0;     // the key's position among the columns read
        int64_t firstKey = 0; // the last key of the first rows
        int64_t limit = -1;   // rows the statement may return in all; -1 no limit
    };

    ReadAhead(std::shared_ptr<OdbcConnection> conn, Plan plan);
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // The next block of rows in key order; false at the end. Throws a helper's failure.
    bool Next(Block& out);

    // Called by helper `helper` with 0 rows before it asks the server for a chunk, and after
    // each block it queued, `rows` rows into its chunk (tests stop the server there).
    static std::function<void(int helper, int64_t rows)>& Probe();

private:
    struct Helper {
        std::thread thread;
        std::mutex m;
        std::condition_variable cv;
        std::deque<Block> queue;
        bool stop = false;
        int index = 0;
        SQLHDBC dbc = SQL_NULL_HDBC;
        // The statement while it waits for the server's rows, to be cancelled from the reader.
        SQLHSTMT executing = SQL_NULL_HSTMT;
    };

    int64_t chunkSize(int64_t g) const;
    // False when the reader stopped the read.
    bool push(Helper& h, Block&& b);
    void Run(int j);
    // Reads one chunk into blocks; false when it failed (the failure queued) or was stopped.
    bool readChunk(Helper& h, int64_t& from, int64_t skip, int64_t want, int64_t& got);

    std::shared_ptr<OdbcConnection> m_conn;
    Plan m_plan;
    std::vector<std::unique_ptr<Helper>> m_helpers;
    int64_t m_chunk = 1;   // the chunk the reader is in
};

} // namespace kdb::detail
