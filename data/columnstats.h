// Running statistics of table columns: one column's accumulator, and the read of a SQLite
// file's table in fixed rowid ranges on several read-only connections at once.
#pragma once

#include "kdb/kdb.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

namespace ColumnStats {

enum class Kind { None, Numeric, Date };

// What the statistics make of a DAO type code: numbers (Booleans among them), dates, or nothing.
Kind KindOf(int16_t typeCode);

// Statistics of one column, Nulls never fed in: sums of the values shifted by the first one
// (which keeps the variance exact when the values lie far from 0), in long double, without a
// division per value.
struct Accumulator {
    int64_t n = 0;
    double shift = 0;
    long double sum = 0;
    long double sumSq = 0;
    double min = 0;
    double max = 0;

    void Add(double x)
    {
        if (n == 0) {
            min = max = shift = x;
        } else {
            if (x < min)
                min = x;
            if (x > max)
                max = x;
        }
        ++n;
        const long double d = (long double)x - shift;
        sum += d;
        sumSq += d * d;
    }
    // Takes in the values that `later` gathered, as if they had followed this one's.
    void Merge(const Accumulator& later);
    long double Mean() const { return n > 0 ? shift + sum / n : 0.0L; }
    bool HasStdDev() const { return n > 1; }
    double StdDev() const;
};

// One value of the reader's row into `acc`: a number, or a date as its serial day. Nulls are
// skipped, and so are text that is no number and infinite values (they would make every
// statistic of the field unusable).
void AddValue(const kdb::Reader& r, int column, Kind kind, Accumulator& acc);

struct Column {
    QString name;
    Kind kind = Kind::None;
};

enum class RangeOutcome { Done, Stopped, NotSplit };

// Reads `columns` of `table` in the SQLite file at `path` on up to `threads` read-only
// connections. The rowid span is cut into a fixed number of ranges whatever the number of
// threads, each range summed on its own and the sums merged in rowid order: the figures do not
// depend on the threads. `poll` runs on the calling thread every few tens of milliseconds with
// the rows read so far; false stops the read (Stopped, `out` untouched). A view, a linked or
// virtual table, a table without rowid, or a file that cannot be opened again gives NotSplit.
// A failing read raises its error once every thread has ended.
RangeOutcome ReadInRanges(const QString& path, const QString& table, const std::vector<Column>& columns,
                          int threads, const std::function<bool(int64_t rowsRead)>& poll,
                          std::vector<Accumulator>& out);

} // namespace ColumnStats
