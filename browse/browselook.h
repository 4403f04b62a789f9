// How a results browse looks, as plain rules the browsers apply to their grid: the number
// format of the prediction, the cell text of a prediction ("N/A" for the no-prediction marker
// and Null), and the per-column layout of the fixed and the data pane (widths in twips,
// colours as 0x00BBGGRR values).
#pragma once

#include "browse/browsequery.h"
#include "data/fieldtypes.h"
#include "kdb/value.h"

#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

class CDataDef;

namespace BrowseLook {

// Colours of the layout.
constexpr uint32_t FixedHeading = 0x00FFFF;  // yellow
constexpr uint32_t UnusedField = 0x808080;   // grey heading and text of an unused field
constexpr uint32_t MarkCell = 0x2C0C0C0;     // palette-relative light grey
constexpr uint32_t RowEven = 0xEAFFEA;       // light green
constexpr uint32_t RowOdd = 0xFFFFFF;        // white
constexpr int MarkWidth = 280;               // twips
constexpr int ResultWidth = 1200;            // twips
constexpr int HelpContext = 6700;

// The format of the prediction columns: "0.00" for a currency field, else by the user range
// r = max - min: r > 100 "0", > 10 "0.0", > 1 "0.00", > 0.1 "0.000", > 0.01 "0.0000",
// otherwise "0.00000".
QString PredictionFormat(int16_t fieldType, double userMin, double userMax);

// The text of a Predicted or Difference cell: "N/A" for the no-prediction marker (also after a
// trip through single precision) and for Null; an empty text stays empty; a number by
// `format` (an empty format: as it is); any other text as it is.
// A Predicted cell of a date or a time shows its value in the grid's form (`form`).
QString PredictionText(const kdb::Value& value, const QString& format,
                       dbUtilities::ValueForm form = dbUtilities::ValueForm::Number);

// The text of a cell the browser does not format: a number as a person writes it, to the
// significant digits of its field (`FieldDigits`), never "1e+06"; anything else as stored.
QString CellText(const kdb::Value& value, int digits);
// The significant digits a number field holds.
constexpr int SingleDigits = 7;
constexpr int DoubleDigits = 15;
// SingleDigits for a single-precision source field, else DoubleDigits.
int FieldDigits(const CDataDef& ddo, int16_t field);
// The width a source field's column opens with: wide enough for a Big Integer's 19 digits and
// its sign (shortened, its numbers past 2^53 would read alike), else `otherwise`.
constexpr int WholeNumberWidth = 2400;       // twips
int FieldWidth(const CDataDef& ddo, int16_t field, int otherwise);

// The cell tips.
QString HeadingTip();  // "Right Click Column Header To Sort"
QString CellTip();     // "Double Click Or Space Bar To Set Mark"

struct Column {
    bool fixedPane = false;             // shown in the fixed pane, else in the data pane
    int widthTwips = -1;                // -1: the grid's default width
    QString caption;                    // the heading
    std::optional<uint32_t> heading;    // heading background
    std::optional<uint32_t> text;       // cell text colour
    std::optional<uint32_t> background; // cell background
    bool centred = false;
    bool underline = false;             // a sort key
    bool formatted = false;             // cells through PredictionText
    dbUtilities::ValueForm form = dbUtilities::ValueForm::Number; // the form of a formatted cell
    bool resizable = true;
    bool markPicture = false;           // -1 shows the check picture, 0 nothing
    int digits = DoubleDigits;          // significant digits the column's numbers hold
};

struct Grid {
    QString numberFormat;
    int fixedColumns = 0;
    int firstUsedColumn = 0;            // the first column of a field with a role
    // The data pane's leftmost column as the grid is laid out (-1: it keeps its place): the
    // first used column, but never past the key column, which names the row.
    int leftColumn = 0;
    std::vector<Column> columns;
};

// True when `column` is one of the sort keys (up to the first free slot): its heading is
// underlined.
bool IsSortKey(const BrowseSortKeys& keys, const BrowseColumn& column);

// The layout of a test-results browse over `query` (fixed result columns first). The
// prediction field's type and range choose the number format of a numeric prediction (SFAM
// classes keep their text); unused fields are grey; sort keys are underlined.
Grid TestResults(const BrowseQuery& query, const CDataDef& ddo);

} // namespace BrowseLook
