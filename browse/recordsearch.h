// The record search behind the find dialog and the next-wrong-prediction command: what a
// search text means for a column of a given type (never SQL text: the text is compared with
// each value in code), and the next row of a browse, in its order, whose value matches,
// continuing from the other end.
#pragma once

#include "browse/browsequery.h"
#include "kdb/value.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <unordered_set>

class BrowseRowSource;

namespace RecordSearch {

enum class Kind { Text, Number, Date };
// Text and memo columns search as text, date and time columns (Date/Time, Time Stamp, Time)
// as dates, every other type as a number.
Kind KindOfType(int16_t fieldType);
// The kind of a browse column: source fields by their data definition type; Test.Predicted is
// text in an SFAM view (no Difference column) and a number otherwise.
Kind KindOfColumn(const BrowseQuery& query, const BrowseColumn& column, int16_t fieldType);

using Match = std::function<bool(const kdb::Value&)>;

struct Criteria {
    enum class Outcome {
        Search,      // `match` tells the matching values
        InvalidDate, // a date column and a text that is no date: "Invalid Date."
        NotSearched, // a number column, a text that is no number, Match Case on: not found at once
    };
    Outcome outcome = Outcome::Search;
    Match match;
    // Set when the match is plain equality with this value, which the database can then test
    // itself (the value bound, never written into the statement).
    std::optional<kdb::Value> equals;
};

// The text of a value as the grid shows it in the searched column.
using ShownText = std::function<QString(const kdb::Value&)>;

// With Match Case a text column compares exactly and a number column by value, to the
// significant digits its field holds (`digits`: 7 for a single-precision field, 15 otherwise);
// without it both compare the text the grid shows (`shown`; the stored text when empty) with
// the Like pattern, ignoring case, and a number column also finds the number typed. A date
// column finds values equal to the typed date and time, whatever Match Case says. Dates and
// numbers are read the way the grid shows them: "YYYY-MM-DD[ HH:MM[:SS]]" and a number with a
// decimal point.
Criteria Make(const QString& text, bool matchCase, Kind kind, const ShownText& shown = {}, int digits = 15);

// The row after `from` (before it when searching up) in the view's order whose key is one of
// the matching ones, wrapping round to the other end; `from` -1 starts at the first (or last)
// row. -1 when no row of the view matches. `keyMatches` is asked for keys of the view only.
int64_t NextRow(const BrowseRowSource& rows, const std::function<bool(const kdb::Value& key)>& keyMatches,
                int64_t from, bool down);

// The keys of the rows whose `column` value matches, read in one pass over that column's
// table (values never become SQL text). Raises KvError.
class KeySet {
public:
    bool Contains(const kdb::Value& key) const;
    size_t Size() const { return m_ints.size() + m_texts.size(); }
    void Add(const kdb::Value& key);

private:
    std::unordered_set<int64_t> m_ints;
    std::unordered_set<QString> m_texts;
};
KeySet MatchingKeys(const QString& databaseName, const BrowseQuery& query, const BrowseColumn& column,
                    const Criteria& criteria);
// The keys of the view's rows that are wrong predictions: the actual class present and, as
// class text, different from Predicted (the rule of the incorrect-predictions view).
KeySet WrongPredictionKeys(const QString& databaseName, const BrowseQuery& query);

// The search of a column: the next matching row from `from`, or -1. Waits for the view's key
// list to be whole.
int64_t FindNext(BrowseRowSource& rows, const BrowseColumn& column, const Criteria& criteria, int64_t from, bool down);

} // namespace RecordSearch
