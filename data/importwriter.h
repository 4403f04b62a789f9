// The shared back end of the importers: number recognition and column types, and the writing
// of the one new table into a temporary data file that replaces the old one only when complete.
#pragma once

#include "data/textlines.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace DataImport {

using Items = std::vector<std::string_view>;

// "I" 32-bit integer, "B" 64-bit integer (whole numbers beyond 32 bits), "S" single-precision
// number, "D" double-precision number (numbers a single would change), "T" text.
enum class ColumnType : char { Integer = 'I', BigInt = 'B', Single = 'S', Double = 'D', Text = 'T' };

// The text without leading and trailing spaces (tabs stay).
std::string_view TrimSpaces(std::string_view s);

enum class NumberKind { NotNumber, Number, OutOfRange };
// A number as the importers accept it: blanks around, a sign, digits with a decimal point, an
// exponent; always the point as decimal separator, so a file imports the same in every locale.
// OutOfRange: beyond single precision.
NumberKind ParseNumber(std::string_view text, double& value);
enum class WholeKind { NotWhole, Whole, TooBig };
// A whole number written as digits alone (blanks around, a sign): its exact value. TooBig: it
// does not fit in 64 bits.
WholeKind ParseWhole(std::string_view text, int64_t& value);
// True when a double holds the whole number exactly (every one up to 2 to the 53rd does).
bool DoubleHolds(int64_t value);
// True when the number stays an integer column: a whole number whose single-precision and
// 32-bit forms agree. Whole numbers beyond 32 bits are not integers here (the column becomes a
// "S" or a "D").
bool IsWholeInSingle(double value);
// True when a single-precision column gives the number back as the file wrote it: AsSingle
// keeps it.
bool SingleHolds(double value);
// The value a single-precision column stores: the number rounded to single precision, kept as
// the double that prints like the single ("0.1", not "0.100000001490116").
double AsSingle(double value);
// 32-bit integer rounding: to the nearest, halves to the even neighbour.
int64_t AsInteger(double value);

// One value of a file as a number column reads it: the column typing and the writing of the
// rows both read values this way, so that what the typing accepted is what is written.
struct NumberRead {
    enum Kind : uint8_t { NotNumber, Whole, Number, TooBig, OutOfRange };
    Kind kind = NotNumber;  // Whole and TooBig as ParseWhole, the rest as ParseNumber
    bool inDouble = false;    // a Whole that a double holds exactly (DoubleHolds)
    bool singleHolds = false; // a Whole a double holds, or a Number, that SingleHolds
    int64_t whole = 0;        // of a Whole
    double number = 0;        // of a Number, and of a Whole a double holds
};
NumberRead ReadNumber(std::string_view text);

struct ImportTable {
    QString name;                    // table name as it goes into the file
    QString keyColumnText;           // " Count AUTOINCREMENT CONSTRAINT PrimaryKey PRIMARY KEY, "
    QStringList fieldNames;
    std::vector<ColumnType> types;
    TextEncoding encoding = TextEncoding::Utf8;
    // The rows the typing read; the rows fed must be as many, each value of the kind its
    // column was typed by. The file read again may have changed meanwhile.
    int64_t rows = 0;
};

// The most fields an imported table takes beside its key column.
qsizetype MostImportFields();
// Raises KvError 3190 when a file of `count` columns cannot become a table: checked as soon as
// the line of names is read, so a line of a million names is refused without more work.
void CheckFieldCount(qsizetype count);

// Fails an import whose file, read again for its rows, is no longer the file the typing read:
// "The file changed while it was imported: " and `what`.
[[noreturn]] void ThrowFileChanged(const QString& what);

using RowSink = std::function<void(const Items&)>;
// Creates the table in a new file beside `outputFile`, lets `feed` hand every row to the sink
// (one transaction, many rows to each insert), and then replaces `outputFile` with it. A value
// its column's type does not take, or another number of rows than `table.rows`, fails the
// import naming where (the file changed after it was typed). On any failure the temporary file
// goes and `outputFile` is untouched. The saving of the rows (the commit, a long call after
// many rows) is handed to `saving` when given, which must run it.
void WriteImport(const QString& outputFile, const ImportTable& table,
                 const std::function<void(const RowSink&)>& feed,
                 const std::function<void(const std::function<void()>& save)>& saving = {});

// A fresh name for a temporary file in the folder of `target`: the target's name, ".~", this
// process's id, "-", a counter and ".tmp".
QString TempNameBeside(const QString& target);
// Removes the temporary files of TempNameBeside (and their journals) in `folder` whose process
// is gone: what a killed import or project creation left behind. Failures are ignored. True
// when files of a process that still runs stay.
bool RemoveLeftoverTemps(const QString& folder);
// Remembers a folder outside the program's own where temporary files are made, for the
// start-up sweep of RemoveRecordedLeftovers.
void RecordFolder(const QString& folder);
// The start-up sweep of the folders outside the program's own (which the start sweeps anyway)
// where TempNameBeside made files: each is swept, and forgotten once nothing of it is left.
void RemoveRecordedLeftovers();

// Removes a temporary database file (and its journal) when it goes out of scope, unless it
// was handed on.
class TempFileGuard {
public:
    explicit TempFileGuard(QString path) : m_path(std::move(path)) {}
    ~TempFileGuard();
    void Release() { m_path.clear(); }
    TempFileGuard(const TempFileGuard&) = delete;
    TempFileGuard& operator=(const TempFileGuard&) = delete;

private:
    QString m_path;
};

} // namespace DataImport
