// The browse queries, built from structure: which columns a browse shows, the join of the test
// results with the linked source table, the view's filter with its values bound, and its
// ordering (a base ordering such as the distance from a point, replaced by up to three sort
// keys). Names are quoted and table-qualified, so a source field called Mark, Predicted or a]b
// never meets a column of Test by accident; values never become SQL text.
#pragma once

#include "data/projectschema.h"
#include "kdb/value.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <optional>

class CDataDef;

// One column of a browse: a column of Test or of the linked source table.
struct BrowseColumn {
    QString table;           // ProjectSchema::TestTable() or ProjectSchema::LinkTable()
    QString field;           // the column's name in that table
    int16_t fieldNumber = 0; // the source field's number in the data definition; 0 for Test
    bool operator==(const BrowseColumn& o) const { return table == o.table && field == o.field; }
    bool operator!=(const BrowseColumn& o) const { return !(*this == o); }
    bool IsTest() const { return table == ProjectSchema::TestTable(); }
    // "Table"."field"
    QString Sql() const;
};

// A sort key: a column and its direction. An empty column (no field) marks a free slot.
struct BrowseSortKey {
    BrowseColumn column;
    bool desc = false;
    bool IsFree() const { return column.field.isEmpty(); }
};
using BrowseSortKeys = std::array<BrowseSortKey, 3>;

// The most-recent list of three sort keys: sorting by the key of slot 1 swaps slots 0 and 1,
// by the key of slot 0 only changes its direction, by any other key pushes the list down (the
// old slot 2 drops out). The slots never hold one column twice.
void PushSortKey(BrowseSortKeys& keys, const BrowseColumn& column, bool desc);
// "Sorted by:  [C],  [B],  [A]"; the direction is not shown. Empty without keys.
QString SortStatusText(const BrowseSortKeys& keys);

// What a browse shows. Built by the builder functions below; the sort keys change later.
class BrowseQuery {
public:
    enum class Filter {
        None,       // every row
        ClassPair,  // SFAM rows of one actual and/or one predicted class
        Correct,    // SFAM rows whose actual value, as class text, equals Predicted
        Incorrect,  // ... differs from Predicted (rows with an actual value only)
    };

    QList<BrowseColumn> columns;
    // Test joined with the linked source table on Test's key and the source's keyField; without
    // it the linked table alone.
    bool joinTest = true;
    QString keyField;            // the source table's key field
    BrowseColumn predictColumn;  // the prediction field's column

    Filter filter = Filter::None;
    std::optional<kdb::Value> actualValue;    // ClassPair: the actual class, bound as it is
    std::optional<QString> predictedValue;    // ClassPair: the predicted class text
    // Base ordering of a back-propagation drill-down: nearest first to (predicted, actual).
    std::optional<std::pair<double, double>> distanceFrom;
    // Base ordering of the test dialog's browse: the largest Difference first.
    bool worstFirst = false;

    BrowseSortKeys sortKeys;

    // The column that identifies a row: Test.MainPrimaryKey, or the source key field.
    BrowseColumn KeyColumn() const;
    // The number of leading columns that come from Test (Mark, actual, Predicted[, Difference]).
    int ResultColumns() const;
    int ColumnIndex(const BrowseColumn& column) const; // -1 when not shown

    // The pieces of the statements; values are appended to `params` in the order of their
    // placeholders.
    QString FromSql() const;
    QString WhereSql(QList<kdb::Value>& params) const;   // "" or " WHERE ..."
    QString OrderSql(QList<kdb::Value>& params) const;   // " ORDER BY ..." (never empty)
    // Every row's key in the view's order.
    QString KeyListSql(QList<kdb::Value>& params) const;
    // Column 0 the key, then the shown columns, for the rows of `count` keys (bound after).
    QString RowsByKeySql(int count) const;
    // The mark statement over the view's rows: every row of Test when the view has no filter,
    // else only the rows it shows. `mode` -1 marks, 0 unmarks, 1 toggles (Null stays Null).
    QString MarkAllSql(int mode, QList<kdb::Value>& params) const;
    // "UPDATE "Test" SET "Mark" = ? WHERE "MainPrimaryKey" = ?"
    static QString MarkOneSql();
    // True when the view shows the Mark column of Test (marks can be set).
    bool HasMarks() const;
};

// The builders' queries over a project's data definition. `sfam` chooses the SFAM form (no
// Difference column; the prediction role 15 instead of 16). Raise KvError when the definition
// has no key or no prediction field.
namespace BrowseQueries {
// Mark, the actual value, Predicted, Difference (back-propagation), then the other source
// fields in field order (the key among them).
BrowseQuery TestResults(const CDataDef& ddo, bool sfam);
// SFAM: the rows of one actual and/or predicted class (an empty text: any); back-propagation:
// every row, nearest first to the point. The first comma of each text counts as the decimal
// point. Answers nothing when both texts are empty, or (back-propagation) when one is not a
// number.
std::optional<BrowseQuery> Outlyers(const CDataDef& ddo, bool sfam, const QString& actual, const QString& predicted);
// Back-propagation results as TestResults gives them, the largest Difference first.
BrowseQuery WorstFirst(const CDataDef& ddo);
// kind 3: correct predictions, 2: incorrect ones, anything else: every row.
BrowseQuery Special(const CDataDef& ddo, bool sfam, int kind);
// The whole linked table: the prediction field first, then the others in field order.
BrowseQuery WholeTable(const CDataDef& ddo, bool sfam);
// A text as a number the way the drill-downs pass them ("2,5" and "2.5" give 2.5).
std::optional<double> DrillNumber(const QString& text);
// A text that is a plain whole number ("12", " -3 "), held exactly as an import reads it, past
// what a double tells apart too; none for any other text.
std::optional<int64_t> WholeNumber(const QString& text);
}

constexpr int BrowseIncorrect = 2;
constexpr int BrowseCorrect = 3;

// SQL function of the browse connections: the class text of a value, as the SFAM project writes
// it into Test.Predicted (ClassValueText). Registered by RegisterBrowseFunctions.
struct sqlite3;
void RegisterBrowseFunctions(sqlite3* db);
