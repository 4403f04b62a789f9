// The normalised arrays a network project hands to the engine, as a value of their own: the
// field layout and its limits, the rows scaled into 0..1, each row's result entry, the SFAM
// class index, and what the testing rows keep for the Test rows. The two kinds differ in a few
// rules, which the build asks of them through IPatternKind.
#pragma once

#include "kdb/kdb.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <vector>

class CDataDef;
class ClassNumbers;
struct PatternArrays;
class TestProgress;

// The class values of one part of the rows in the order they first appear, numbered from 1
// (0: none), for a kind whose targets are classes: the parts are read at once, and each takes
// the numbers of the whole's class list as it joins the whole in row order.
class PartClasses {
public:
    // The number of a class value, first seen at `row` of the part; raises 6 (overflow) past
    // the 16,777,216 values a float tells apart.
    float Number(const QString& value, int64_t row);
    // The whole's class numbers of the values first seen in rows 1..rows, numbered in the order
    // they were first seen, by part number (entry 0: 0); none when the part saw no value.
    std::vector<float> Join(ClassNumbers& whole, int64_t rows) const;

private:
    QHash<QString, int32_t> m_numbers;
    std::vector<QString> m_values;
    std::vector<int64_t> m_firstRows;
};

// The rules of one network kind that the build of the arrays follows.
class IPatternKind {
public:
    // Before the inputs of a layout are collected, and once their limits are set.
    virtual void LayoutStarting(PatternArrays&) {}
    virtual void LayoutFinished(PatternArrays&) {}
    // The kind's result entries for rows 0..rows, zero (usable).
    virtual void SizeResults(PatternArrays& arrays, int64_t rows) = 0;
    // A row the engine must skip (possibly marked twice), and whether a row is not one.
    virtual void MarkUnusable(PatternArrays& arrays, int64_t row) = 0;
    virtual bool RowUsable(const PatternArrays& arrays, int64_t row) const = 0;
    // The target of `row` of a part of the rows from the prediction field's value in `column`,
    // on the thread that reads the part: it touches nothing but `classes`, the part's class
    // values. A row the engine must skip sets `unusable`.
    virtual float Target(const PatternArrays& arrays, kdb::Reader& reader, int column, int64_t row,
                         PartClasses& classes, bool& unusable) const = 0;
    // After the last row of a build.
    virtual void RowsFinished(PatternArrays&) {}

protected:
    ~IPatternKind() = default;
};

// SFAM class numbers by class value: entry 0 is the empty class; a value not listed yet gets
// the next number, up to the largest class number the engine takes.
class ClassNumbers {
public:
    // Class value (ClassValueText) by class number.
    const std::vector<QString>& Names() const { return m_names; }
    // Starts again with these names (entry 0 first).
    void Reset(std::vector<QString> names);
    // The class number of a class value: its exact entry, else the entry equal to it ignoring
    // case and surrounding blanks, else a new entry up to class 256; -5 past that.
    int16_t Number(const QString& name);

private:
    std::vector<QString> m_names{QString()};
    // First class number of each exact and each folded (upper-cased, trimmed) class value.
    QHash<QString, int16_t> m_exact{{QString(), int16_t(0)}};
    QHash<QString, int16_t> m_folded{{QString(), int16_t(0)}};
};

// The arrays as the engine takes them, with their build from the data definition's layout and
// the source's rows. A plain value whose parts anyone reads: the project holds one, each build
// replaces its parts.
struct PatternArrays {
    // What a row build reads: rows low..high of the source; testing rows keep their keys (when
    // the source has a key field) and report their reading; `actuals` keeps the predicted
    // field's own values.
    struct RowRange {
        int64_t low = 1;
        int64_t high = 0;
        bool testing = false;
        bool actuals = false;
    };
    // The source's rows in row order with the columns asked for, `skip` rows passed over; and
    // the SQLite file and table they come from, whose ranges of rows are then read on
    // connections of their own (empty for any other source).
    struct OpenRows {
        kdb::Reader reader;
        QString file;
        QString table;
    };
    using RowSource = std::function<OpenRows(const QStringList& columns, int64_t skip)>;

    // The field layout without rows: the fields of role roleInput in field order with their
    // user limits, and the first field of `predictRole`, whose limits go in entry 0.
    void BuildLayout(const CDataDef& ddo, int16_t predictRole, IPatternKind& kind);
    // The rows of `range` over the layout built last. A row with a Null input or target is
    // marked unusable; any other value that is not a number or a date raises 13, a table that
    // ends before the range 3021, a range that starts before row 1 or ends before it starts 9;
    // the first of these in row order. Many rows of a file's table are read in ranges of its
    // key on several connections at once and joined in row order: the arrays are the same.
    void BuildRows(const CDataDef& ddo, const RowRange& range, const RowSource& source, TestProgress& progress,
                   IPatternKind& kind);
    // Replaces the rows by one row of the inputs of `values` (indexed by field number). Raises
    // 9 when `values` misses an input field.
    void BuildOneRow(const std::vector<long double>& values, IPatternKind& kind);
    // The input fields whose user range is empty or that hold one value in every usable row
    // (`withRows`), in field order.
    QStringList ConstantFields(const CDataDef& ddo, bool withRows, const IPatternKind& kind) const;
    // Raises 5 unless the arrays agree with one another and with the kind's `resultCount`
    // entries (so the engine never reads past one after a build that failed half-way) and fit
    // the engine's 32-bit row count.
    void Check(size_t resultCount) const;

    int32_t Stride() const { return numInputs + 1; }
    // Element (field, row): field 0 the target, 1..numInputs the inputs.
    float Pattern(int32_t field, int64_t row) const { return patterns[size_t(row * Stride() + field)]; }

    // One value scaled into 0..1 by the limits in single precision; 0 when they are equal or
    // the arithmetic fails.
    static float Normalize(float value, float min, float max);
    // A value of `field` (0 the target, 1..numInputs the inputs) scaled into 0..1 by the
    // field's limits: in single precision, or, for a field whose values lie far from 0 beside
    // their spread, from the difference to the minimum taken in the value's own precision.
    float Scale(int32_t field, long double value) const;
    // A source value as a number (ColumnStats::ReadNumber): numbers as they are, whole numbers
    // exactly, dates and times as serial days; Null sets isNull and gives 0; anything else
    // raises 13 (type mismatch) naming the value.
    static double ColumnValue(kdb::Reader& reader, int column, bool& isNull);
    static long double ColumnNumber(kdb::Reader& reader, int column, bool& isNull);

    // The layout and the rows of the last build; the kind and the engine write the results.
    int32_t numInputs = 0;
    std::vector<int16_t> inputFields{0};
    int16_t predictField = 0;
    // The limits the engine checks: the user limits in single precision, or 0 and 1 for a
    // field scaled from its difference to the minimum, whose limits could read alike there.
    std::vector<float> fieldMin{0.0f};
    std::vector<float> fieldMax{0.0f};
    // Each field's user limits as the data definition holds them, and whether it is scaled
    // from its difference to the minimum (Scale).
    std::vector<double> userMin{0.0};
    std::vector<double> userMax{0.0};
    std::vector<char> scaledExactly{0};
    // (0..numInputs, 0..rows), row-contiguous as the engine takes it; row 0 stays empty.
    std::vector<float> patterns{0.0f};
    int64_t rows = 0;
    // Per row 0..rows: 0 for a usable row and UnusableRow for one the engine skips going in,
    // the engine's answer after a run: a back-propagation project's normalised predictions,
    // an SFAM project's class numbers. Each kind sizes its own; the other stays as it is.
    std::vector<float> valueResults{0.0f};
    std::vector<int16_t> classResults{0};
    // SFAM: rows of the last row build marked unusable, and the class numbers of the targets.
    int64_t nullRows = 0;
    ClassNumbers classes;
    // The key of each testing row (0..rows), read with the testing rows so that the Test
    // rows need no second pass over the source; empty unless testing rows are built and the
    // source has a key field.
    std::vector<kdb::Value> testKeys;
    // The predicted field's own value of each row (NaN: Null), when the build keeps them: the
    // Test rows need no second pass, and the error figures measure against it.
    std::vector<double> actuals;

private:
    struct RowStore;
    struct RowPart;
    class RowReading;
    // The parts read, in row order, become rows 1..rows; raises the first failure of a row of
    // the range, and 3021 when the parts end before it.
    void JoinParts(RowStore& store, std::vector<RowPart>& parts, int64_t rows, bool keys, bool actuals,
                   IPatternKind& kind);
};
