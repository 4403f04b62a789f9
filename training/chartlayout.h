// The chart control's data and its drawing rules as plain code: the table of cells a host hands
// over, the control's state, and the layout that turns the state into a display list in twips.
#pragma once

#include "training/displaylist.h"

#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

// One cell of a chart table: nothing (counts as 0, or as an empty label), Null (no value here),
// a text, a whole number or a floating-point number.
class ChartCell {
public:
    enum class Kind { Empty, Null, Text, Whole, Number };

    ChartCell() = default;
    ChartCell(double value) : m_kind(Kind::Number), m_number(value) {}
    ChartCell(int value) : m_kind(Kind::Whole), m_number(value) {}
    ChartCell(int64_t value) : m_kind(Kind::Whole), m_number(double(value)) {}
    ChartCell(const QString& text) : m_kind(Kind::Text), m_text(text) {}
    ChartCell(const char* text) : m_kind(Kind::Text), m_text(QString::fromUtf8(text)) {}
    static ChartCell Null();

    Kind kind() const { return m_kind; }
    bool IsNull() const { return m_kind == Kind::Null; }
    bool IsEmpty() const { return m_kind == Kind::Empty; }
    // The value where the cell is a number: empty counts as 0, a text that reads as a number
    // gives that number; Null and any other text give nothing.
    std::optional<double> Number() const;
    // The cell as a label: empty and Null give "", numbers their general form.
    QString Text() const;

    bool operator==(const ChartCell& other) const = default;

private:
    Kind m_kind = Kind::Empty;
    double m_number = 0;
    QString m_text;
};

// A table of cells with both lower bounds 0: row 0 the point labels, rows 1 .. S the series;
// columns 0 .. P the points. A default table has no cells at all (nothing registered yet).
class ChartTable {
public:
    ChartTable() = default;
    // Rows 0 .. upperSeries, columns 0 .. upperPoint, every cell empty.
    ChartTable(int upperSeries, int upperPoint);

    bool IsEmpty() const { return m_rows == 0 || m_columns == 0; }
    int UpperSeries() const { return m_rows - 1; } // S, the number of series
    int UpperPoint() const { return m_columns - 1; } // n - 1
    int Rows() const { return m_rows; }
    int Columns() const { return m_columns; }

    ChartCell& operator()(int row, int point) { return m_cells[size_t(row) * m_columns + point]; }
    const ChartCell& operator()(int row, int point) const
    {
        return m_cells[size_t(row) * m_columns + point];
    }
    // The cell, or nullptr outside the table.
    const ChartCell* At(int row, int point) const;

private:
    int m_rows = 0;
    int m_columns = 0;
    std::vector<ChartCell> m_cells;
};

namespace ChartDefaults {
constexpr int SeriesSlots = 16;
constexpr int32_t Unset = -1;
// The sixteen colours a series can take, numbered 0 to 15, as 0x00BBGGRR; series s takes
// number s - 1.
constexpr std::array<int32_t, 16> SeriesColors{
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
constexpr int32_t BackColor = int32_t(0x8000000F);
constexpr int32_t ForeColor = int32_t(0x80000012);
}

enum ChartKind : int32_t { ChartBar = 0, ChartLine = 1, ChartStackedBar = 2, ChartPoint = 3 };

// Everything a painting reads. The scales, the tick interval and the plot edges are what a
// painting changes (see ChartPainting).
struct ChartState {
    ChartTable table;
    std::array<int32_t, 16> seriesColor{};
    std::array<QString, 16> seriesLegend;
    int32_t markPoint = 0;
    int32_t foreColor = ChartDefaults::ForeColor;
    double highScale = 0;
    double lowScale = 0;
    int32_t chartType = ChartBar;
    bool displayLegend = false;
    bool plotPoints = false;
    QString title;
    double verticalTickInterval = 1;
    double horizontalTickFrequency = 1;

    ChartState() { seriesColor.fill(ChartDefaults::Unset); }
};

// The outcome of one painting: the picture and the state it leaves behind.
struct ChartPainting {
    DisplayList list;
    double highScale = 0;
    double lowScale = 0;
    double verticalTickInterval = 1;
    int plotTop = 0;
    int plotRight = 0;
    int plotLeft = 0;   // the left margin the value labels left
    int plotBottom = 0;
    // The stacked-bar chart met a negative value: the host shows the box, the list is empty.
    bool negativeStack = false;
    // Where the plot stopped early, for tests and diagnostics; empty when it ran to its end.
    QString stoppedAt;
    // The error that stopped it: 0 when none, or when the stop is a quiet one (a missing table
    // or colour slot); else ChartLayout::PlotError with the description "Error <n> plotting
    // graph: <text>". Refresh ignores it, as it ignores every error of the drawing.
    int32_t errorNumber = 0;
    QString errorDescription;
};

namespace ChartLayout {
constexpr int32_t PlotError = 32007;
inline constexpr char ErrorSource[] = "VaredOdozProject.VaredOdoz";
// Paints `state` onto a surface of `width` x `height` twips. Pure: same input, same output.
ChartPainting Paint(const ChartState& state, const ITextMeasure& measure, int width, int height);
}
