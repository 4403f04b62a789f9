// Running statistics of table columns: one column's accumulator, and the read of a SQLite
// file's table in fixed rowid ranges on several read-only connections at once.
#pragma once

#include "kdb/kdb.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace ColumnStats {

enum class Kind { None, Numeric, Date };

// What the statistics make of a DAO type code: numbers (Booleans among them), dates, or nothing.
Kind KindOf(int16_t typeCode);

// A value as the networks and the statistics read it: a number as it is (a whole number,
// also one past 2^53, exactly: a long double holds every 64-bit integer), a date or time text
// as its serial day (kdb::DateSerial). Null, and anything neither reads (text of another form,
// bytes, an infinite number), give nullopt; the reader's IsNull tells the two apart.
std::optional<long double> ReadNumber(const kdb::Reader& r, int column);
std::optional<long double> ReadNumber(const kdb::Value& v);

// The forms of a value that ReadNumber reads, as the user is told them.
QString ReadableForms();
// What tells the user that `value` of `field` cannot be read, `where` naming its row (its key
// or its place; none when empty), with the forms that are read.
QString UnreadableText(const QString& field, const QString& where, const QString& value);

// Statistics of one column, Nulls never fed in: sums of the values shifted by the first one
// (which keeps the variance exact when the values lie far from 0), in long double, without a
// division per value. Whole numbers come in exactly, so that numbers past 2^53 that differ by
// one still differ.
struct Accumulator {
    int64_t n = 0;
    long double shift = 0;
    long double sum = 0;
    long double sumSq = 0;
    long double min = 0;
    long double max = 0;
    // Values that are neither Null nor read (ReadNumber): they are in no figure, and the
    // configuration refuses the column that holds them.
    int64_t unread = 0;

    void Add(long double x)
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
        const long double d = x - shift;
        sum += d;
        sumSq += d * d;
    }
    // Takes in the values that `later` gathered, as if they had followed this one's.
    void Merge(const Accumulator& later);
    long double Mean() const { return n > 0 ? shift + sum / n : 0.0L; }
    bool HasStdDev() const { return n > 1; }
    double StdDev() const;
};

// One value of the reader's row into `acc` as ReadNumber reads it. Nulls are passed over; a
// value that is not read is counted in `unread`.
void AddValue(const kdb::Reader& r, int column, Kind kind, Accumulator& acc);

// The first row of `table` of `db` in which one of `fields` holds a value that ReadNumber
// does not read: the field, the row's `keyField` value (its place in the table when there is
// no key field) and the value as text.
struct Unreadable {
    QString field;
    QString where;
    QString value;
};
std::optional<Unreadable> FirstUnreadable(kdb::Database& db, const QString& table, const QStringList& fields,
                                          const QString& keyField);

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
