// The read of one table of a SQLite file in ranges of rows on several read-only connections at
// once: the connections, the ranges of the table's rowids or of its key, and the threads that
// read the ranges while the calling thread is told how far they came. Each range is read on
// its own and the caller joins them in order, so that nothing depends on the threads.
#pragma once

#include "kdb/kdb.h"

#include <QString>
#include <QStringList>
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace RangeRead {

// Tables from this many rows on are read on several connections at once: below it one read
// takes a few tenths of a second at most.
constexpr int64_t RowsToSplit = 100000;

// The connections a read takes: one a processor, up to four.
int Threads();

// Up to `count` read-only connections to the file at `path`, opened before any thread starts;
// fewer when the file cannot be opened that often (none: a file held exclusively).
std::vector<kdb::Database> Open(const QString& path, int count);

// The name under which the table's rowid can be read, or none: only an ordinary table that has
// rowids is split, and a column may hide an alias.
std::optional<QString> RowidName(kdb::Database& db, const QString& table);

struct Shared;

// What the reader of one range tells the others: the rows it read, and that it failed.
class Tally {
public:
    Tally(Shared& shared, int range) : m_shared(shared), m_range(range) {}
    ~Tally() { Flush(); }
    Tally(const Tally&) = delete;
    Tally& operator=(const Tally&) = delete;

    // One more row read; false once the range is to stop.
    bool Row()
    {
        if (++m_unTold < kRowsPerTell)
            return true;
        return Flush();
    }
    // The range failed: the ranges after it stop, those before it are read to their end.
    void Fail();

private:
    // Rows a range reads before it adds them to the shared count and looks for a stop.
    static constexpr int kRowsPerTell = 4096;
    bool Flush();

    Shared& m_shared;
    int m_range;
    int m_unTold = 0;
};

// Reads ranges 0..count-1, each by `read` on one of `connections` (one thread each), while
// `poll` runs on the calling thread every few tens of milliseconds with the rows read so far;
// a false poll stops every range, and Run returns false. An error that `read` raises counts as
// a failure of its range and is raised once every thread has ended, the first range's first.
bool Run(std::vector<kdb::Database>& connections, int count,
         const std::function<void(int range, kdb::Database& db, Tally& tally)>& read,
         const std::function<bool(int64_t rowsRead)>& poll);

// The rows of a table from position `low` on in its key order (the primary key's, else the
// rowid's: the order in which a link to the table reads it), cut into ranges of key values on
// the guess that the `rows` rows from there have whole-number keys one apart, up to the
// largest key: range k holds the keys Bounds[k] <= key < Bounds[k + 1], and the rows the guess
// missed follow from Bounds.back() on (Rest). In order, the ranges and the rest hold the rows
// low..low + rows - 1 when the table has them, and perhaps more after them.
struct KeyRanges {
    std::vector<int64_t> bounds;
    // Statements of columns in key order: one range (the bounds bound first), and the rest
    // (the start and the count of rows bound).
    QString Range(const QStringList& columns) const;
    QString Rest(const QStringList& columns) const;

    QString table;
    QString key;
};

// The ranges, or none when they are not to be had: a table that is no ordinary table, a key of
// several columns, a key at position `low` that is no whole number. No ranges at all when the
// table ends before `low`.
std::optional<KeyRanges> PlanKeyRanges(kdb::Database& db, const QString& table, int64_t low, int64_t rows,
                                       int ranges);

} // namespace RangeRead
