#include "data/textimport.h"

#include "core/cfile.h"
#include "core/errorbox.h"
#include "core/fileclaim.h"
#include "core/kverror.h"
#include "core/pathutils.h"
#include "core/prompts.h"
#include "core/status.h"
#include "core/workprogress.h"
#include "data/importwriter.h"
#include "data/textlines.h"
#include "kdb/backup.h"

#include <QFileInfo>

#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

using namespace DataImport;

namespace {

const QString kAppTitle = QStringLiteral("Korvan Pro");
// clang-format off
const QString kTagsMissing = QStringLiteral("Section [TAGS] NOT defined (properly) in .RAW file.  Must come before [PATTERNS]");
const QString kItemCountWrong = QStringLiteral("Error in .RAW file.  Number of TAGS does NOT match number of data Items for data row number: ");
// clang-format on

// The line split of Utilities::Split on bytes: every delimiter splits, nothing is trimmed.
void SplitBytes(std::string_view line, char delimiter, Items& items)
{
    items.clear();
    size_t start = 0;
    for (;;) {
        const size_t pos = line.find(delimiter, start);
        if (pos == std::string_view::npos) {
            items.push_back(line.substr(start));
            return;
        }
        items.push_back(line.substr(start, pos - start));
        start = pos + 1;
    }
}

bool IsBlank(std::string_view s)
{
    for (const char c : s) {
        if (c != ' ')
            return false;
    }
    return true;
}

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i];
        char y = b[i];
        if (x >= 'a' && x <= 'z')
            x = char(x - 32);
        if (y >= 'a' && y <= 'z')
            y = char(y - 32);
        if (x != y)
            return false;
    }
    return true;
}

// Column typing over the rows as they are read: the state of every column, and for each the
// first event that would stop the import (a missing value, a number out of range) met before
// the column turned to text.
class ColumnTyper {
public:
    explicit ColumnTyper(bool blankIsMissing) : m_blankIsMissing(blankIsMissing) {}

    void Reset(size_t columns)
    {
        m_cols.assign(columns, Column{});
        m_rows = 0;
    }

    void Add(const Items& items)
    {
        const size_t n = std::min(items.size(), m_cols.size());
        for (size_t c = 0; c < n; ++c) {
            Column& col = m_cols[c];
            if (col.done)
                continue;
            const std::string_view v = items[c];
            if (m_blankIsMissing ? TrimSpaces(v).empty() : v.empty()) {
                col.done = true;
                col.stop = StopMissing;
                col.stopRow = m_rows;
                continue;
            }
            // Whole numbers written as digits are kept exactly: a 64-bit integer column holds
            // every one; beyond 64 bits the column keeps them as text.
            const NumberRead r = ReadNumber(v);
            switch (r.kind) {
            case NumberRead::TooBig:
            case NumberRead::NotNumber:
                col.type = ColumnType::Text;
                col.done = true;
                break;
            case NumberRead::Whole:
                if (r.whole < std::numeric_limits<int32_t>::min() || r.whole > std::numeric_limits<int32_t>::max())
                    col.beyond32 = true;
                if (r.inDouble)
                    col.singleHoldsAll = col.singleHoldsAll && r.singleHolds;
                else
                    col.beyondDouble = true;
                break;
            case NumberRead::OutOfRange:
                col.done = true;
                col.stop = StopOverflow;
                col.stopRow = m_rows;
                break;
            case NumberRead::Number:
                if (col.type == ColumnType::Integer && !IsWholeInSingle(r.number))
                    col.type = ColumnType::Single;
                col.singleHoldsAll = col.singleHoldsAll && r.singleHolds;
                break;
            }
        }
        ++m_rows;
    }

    int64_t Rows() const { return m_rows; }
    size_t Columns() const { return m_cols.size(); }
    std::vector<ColumnType> Types() const
    {
        std::vector<ColumnType> t;
        // A single-precision column that would change one of its numbers ("16777217" beside
        // "0.5", "3.14159265358979") is a double one; whole numbers a double would round as
        // well ("9007199254740993" beside "0.5") keep the column as text, as written.
        for (const Column& c : m_cols) {
            if (c.type == ColumnType::Integer)
                t.push_back(c.beyond32 ? ColumnType::BigInt : ColumnType::Integer);
            else if (c.type == ColumnType::Text || c.beyondDouble)
                t.push_back(ColumnType::Text);
            else
                t.push_back(c.singleHoldsAll ? ColumnType::Single : ColumnType::Double);
        }
        return t;
    }

    // The first stop in column order: its column and row (0-based), false when none.
    bool FirstMissing(size_t& column, int64_t& row, bool& overflow) const
    {
        for (size_t c = 0; c < m_cols.size(); ++c) {
            if (m_cols[c].stop != StopNone) {
                column = c;
                row = m_cols[c].stopRow;
                overflow = m_cols[c].stop == StopOverflow;
                return true;
            }
        }
        return false;
    }

private:
    enum Stop { StopNone, StopMissing, StopOverflow };
    struct Column {
        ColumnType type = ColumnType::Integer;
        bool singleHoldsAll = true;
        bool beyond32 = false;      // a whole number outside 32 bits
        bool beyondDouble = false;  // a whole number a double would round
        bool done = false;
        Stop stop = StopNone;
        int64_t stopRow = 0;
    };
    std::vector<Column> m_cols;
    int64_t m_rows = 0;
    bool m_blankIsMissing;
};


// A number beyond what a number column holds, named by where it stands.
[[noreturn]] void ThrowOverflow(int64_t row, size_t column)
{
    throw KvError(KvErr::Overflow, {},
                  QStringLiteral("Overflow: the number in Row #%1, Column #%2 is beyond what a number column holds.")
                      .arg(row + 1)
                      .arg(column + 1));
}

void GiveEmptyNamesNumbers(QStringList& names)
{
    for (qsizetype i = 0; i < names.size(); ++i) {
        if (names[i].isEmpty())
            names[i] = QLatin1Char('#') + QString::number(i);
    }
}

void MakeNamesUnique(QStringList& names)
{
    for (qsizetype i = 1; i < names.size(); ++i) {
        const QString numbered = QLatin1Char('#') + QString::number(i);
        for (qsizetype j = 0; j < i; ++j) {
            if (names[i] == names[j])
                names[i] = names[i] == numbered ? numbered + QLatin1Char('-') : numbered;
        }
    }
}

// The field names once the file's encoding is known: decoded, numbered where empty, unique.
QStringList FieldNames(const std::vector<std::string>& raw, TextEncoding encoding)
{
    QStringList names;
    for (const std::string& n : raw)
        names.append(DecodeText(n, encoding));
    GiveEmptyNamesNumbers(names);
    MakeNamesUnique(names);
    return names;
}

QString CleanName(QString name, bool spacesToo)
{
    for (QChar& ch : name) {
        const ushort u = ch.unicode();
        if (u < 32 || (spacesToo && u == ' ') || u == '.' || u == '!' || u == '`' || u == '['
            || u == ']')
            ch = QLatin1Char('_');
    }
    return name;
}

// The bare name and the output file of an imported file: <folder>/<bare name>.mdb.
void OutputNames(const QString& fileName, QString& bareName, QString& outputFile)
{
    CFile file;
    file.SetFileName(fileName);
    bareName = file.Name();
    outputFile = file.Path() + file.Name() + QStringLiteral(".mdb");
    // A file named only by its extension (".csv") would give a table without a name.
    if (bareName.trimmed().isEmpty())
        throw KvError(KvErr::BadFileName);
}

// True to go on: no old file, or the user agreed to replace it. A place that takes no new
// file (no regular file, a file made read-only) is refused before anything is asked.
bool AgreeToOverwrite(const QString& outputFile)
{
    if (!Utilities::FileExists(kdb::ReplacementTarget(outputFile)))
        return true;
    return Prompts::MsgBox(outputFile + QStringLiteral(" Exists.  Overwrite?"), MsgButtons::YesNo,
                           MsgIcon::Exclamation, QStringLiteral("Warning!"))
           == MsgResult::Yes;
}

void GeneralFailure(const QString& title)
{
    const KvError e = CurrentError();
    Prompts::MsgBox(ErrorBox::StandardText(e), MsgButtons::Ok, MsgIcon::None, title);
    Status::Message(QStringLiteral("Import Failed."));
}

// An import reads its file twice: once to check and type the columns, once to write the rows,
// which takes about four times as long; then the rows are saved. The status bar follows the
// bytes read, and the time while they are saved.
enum ImportStep { kTyping, kWriting, kSaving };
const std::vector<int> kImportWeights{3, 13, 1};
// What saving the rows usually takes, per byte of the file.
constexpr double kSaveSecondsPerByte = 2e-9;

// How WriteImport saves the rows of a file of `bytes`: with the progress told meanwhile.
std::function<void(const std::function<void()>&)> SavingTold(WorkProgress& progress, int64_t bytes)
{
    return [&progress, bytes](const std::function<void()>& save) {
        progress.Begin(kSaving, 1000);
        progress.During(save, double(bytes) * kSaveSecondsPerByte);
    };
}

// --- The readings ---------------------------------------------------------------------------

// One reading of a file to import. The first checks the lines and types the columns; the second
// hands the rows that go into the table to its `onRow`.
struct Reading {
    explicit Reading(WorkProgress& told) : progress(told) {}
    bool firstPass = true;
    // Results of the first reading.
    bool notUtf8 = false;
    std::vector<std::string> names;
    int rowsSection = -1;            // pattern files: serial of the [PATTERNS] section kept
    WorkProgress& progress;
};

using ReadFile = bool (*)(const QString& path, Reading& st, ColumnTyper& typer, const RowSink& onRow);

// The lines of a file as a reading takes them: the bytes read told to the status bar, and on
// the first reading any line that is no UTF-8 noted.
class LineSource {
public:
    LineSource(const QString& path, Reading& st) : m_in(path), m_st(st)
    {
        m_st.progress.Begin(m_st.firstPass ? kTyping : kWriting, m_in.Size());
    }
    bool Next(std::string_view& line)
    {
        if (!m_in.Next(line))
            return false;
        m_st.progress.Units(m_in.Consumed());
        if (m_st.firstPass && !m_st.notUtf8 && !IsValidUtf8(line))
            m_st.notUtf8 = true;
        return true;
    }

private:
    CTextLineReader m_in;
    Reading& m_st;
};

// The line of field names of the first reading.
void TakeNames(const Items& items, Reading& st, ColumnTyper& typer)
{
    CheckFieldCount(qsizetype(items.size()));
    st.names.clear();
    for (const std::string_view it : items)
        st.names.emplace_back(TrimSpaces(it));
    typer.Reset(items.size());
}

// A row whose item count the first reading had checked no longer has it.
[[noreturn]] void ThrowItemsChanged(int64_t row, size_t items, size_t fields)
{
    ThrowFileChanged(QStringLiteral("Row #%1 now holds %2 values, where the file names %3 fields.")
                         .arg(row)
                         .arg(items)
                         .arg(fields));
}

// A pattern file by its line rules: [TAGS] names the fields, the rows of the last [PATTERNS]
// section after it go into the table.
bool ReadRawFile(const QString& path, Reading& st, ColumnTyper& typer, const RowSink& onRow)
{
    LineSource in(path, st);
    std::string_view raw;
    std::string work;
    Items items;
    std::string section;
    int64_t sectionLine = 0;
    int sectionSerial = 0;
    size_t fieldCount = 0;
    while (in.Next(raw)) {
        size_t p = raw.find(';');
        if (p != std::string_view::npos)
            raw = raw.substr(0, p);
        p = raw.find('\'');
        if (p != std::string_view::npos)
            raw = raw.substr(0, p);
        if (IsBlank(raw))
            continue;
        std::string_view line = raw;
        p = raw.find(':');
        if (p != std::string_view::npos) {
            work.assign(raw);
            work[p] = ',';
            line = work;
        }
        SplitBytes(line, ',', items);
        if (items.size() > 1 && items.back().empty())
            items.pop_back();

        if (EqualsNoCase(section, "TAGS")) {
            if (sectionLine == 0) {
                fieldCount = items.size();
                if (st.firstPass) {
                    TakeNames(items, st, typer);
                    st.rowsSection = -1;
                }
            }
        } else if (EqualsNoCase(section, "PATTERNS")) {
            if (sectionLine == 0) {
                if (st.firstPass) {
                    if (fieldCount < 2)
                        Prompts::MsgBox(kTagsMissing, MsgButtons::Ok, MsgIcon::None, kAppTitle);
                    // Without any [TAGS] line no row can match: that one box says it all.
                    if (fieldCount == 0)
                        return false;
                    typer.Reset(fieldCount);
                    st.rowsSection = sectionSerial;
                }
            }
            if (items.size() != fieldCount) {
                if (!st.firstPass)
                    ThrowItemsChanged(sectionLine + 1, items.size(), fieldCount);
                Prompts::MsgBox(kItemCountWrong + QString::number(sectionLine),
                                MsgButtons::Ok, MsgIcon::None, kAppTitle);
                return false;
            }
            if (st.firstPass)
                typer.Add(items);
            else if (sectionSerial == st.rowsSection)
                onRow(items);
        }

        const std::string_view first = items.front();
        if (first.find('[') != std::string_view::npos) {
            const std::string_view head = TrimSpaces(first);
            const size_t open = head.find('[');
            const size_t close = head.find(']');
            // The name runs from after "[" for (position of "]" - 2) characters, which for a
            // header written "[NAME]" is the text between the brackets.
            const long long length =
                close == std::string_view::npos ? (long long)(head.size()) : (long long)close - 1;
            section = open + 1 <= head.size() && length > 0
                          ? std::string(head.substr(open + 1, size_t(length)))
                          : std::string();
            sectionLine = 0;
            ++sectionSerial;
            continue;
        }
        ++sectionLine;
    }
    return true;
}

// A comma-delimited text file: the first line names the fields, every other line is a row.
bool ReadTextFile(const QString& path, Reading& st, ColumnTyper& typer, const RowSink& onRow)
{
    LineSource in(path, st);
    std::string_view line;
    Items items;
    bool header = true;
    size_t fieldCount = 0;
    int64_t row = 0;
    while (in.Next(line)) {
        if (IsBlank(line))
            continue;
        SplitBytes(line, ',', items);
        if (header) {
            header = false;
            fieldCount = items.size();
            if (st.firstPass)
                TakeNames(items, st, typer);
            continue;
        }
        ++row;
        if (items.size() != fieldCount) {
            if (!st.firstPass)
                ThrowItemsChanged(row, items.size(), fieldCount);
            Prompts::MsgBox(
                QStringLiteral("Number of fields Does Not match number of field names at row #")
                    + QString::number(row),
                MsgButtons::Ok, MsgIcon::Exclamation, QStringLiteral("Bad Import Data"));
            return false;
        }
        if (st.firstPass)
            typer.Add(items);
        else
            onRow(items);
    }
    return true;
}

// --- The import -----------------------------------------------------------------------------

// What sets the two importers apart; the rest of an import is the same for both.
struct ImportKind {
    QString title;                // of the general failure's box
    ReadFile read;
    bool blankIsMissing;          // a value of blanks is missing, not a text
    bool askBeforeReading;        // an old output file is asked about before the file is read
    bool cleanNames;              // characters the database misreads in names become "_"
    QString keyColumnText;
    // A file that holds no rows or misses a value: the box's title and texts, and whether
    // the status bar says so too.
    QString badDataTitle;
    QString noRowsText;
    QString (*missingText)(int64_t row, size_t column);
    bool statusOnBadData;
};

void BadData(const ImportKind& kind, const QString& text)
{
    Prompts::MsgBox(text, MsgButtons::Ok, MsgIcon::Exclamation, kind.badDataTitle);
    if (kind.statusOnBadData)
        Status::Message(QStringLiteral("Import failed."));
}

// The file read twice (typing, then the rows into the new table) and the table written so
// that the old output file goes only once the new one is complete.
void Import(const QString& fileName, const ImportKind& kind)
{
    try {
        QString bareName;
        QString outputFile;
        // Held from the question until the new file is in place: another copy importing to the
        // same name meanwhile would replace it without a word.
        FileClaim claim;
        const auto mayWrite = [&] {
            OutputNames(fileName, bareName, outputFile);
            claim.Take(outputFile);
            return AgreeToOverwrite(outputFile);
        };
        if (kind.askBeforeReading && !mayWrite())
            return;

        ColumnTyper typer(kind.blankIsMissing);
        WorkProgress progress;
        progress.Start(kImportWeights);
        Reading st(progress);
        if (!kind.read(fileName, st, typer, [](const Items&) {}))
            return;

        if (typer.Rows() == 0) {
            BadData(kind, kind.noRowsText);
            return;
        }
        size_t column = 0;
        int64_t row = 0;
        bool overflow = false;
        if (typer.FirstMissing(column, row, overflow)) {
            if (overflow)
                ThrowOverflow(row, column);
            BadData(kind, kind.missingText(row, column));
            return;
        }

        const TextEncoding encoding = st.notUtf8 ? TextEncoding::Windows1252 : TextEncoding::Utf8;
        QStringList names = FieldNames(st.names, encoding);
        if (!kind.askBeforeReading && !mayWrite())
            return;

        ImportTable table;
        table.name = bareName;
        if (kind.cleanNames) {
            for (QString& n : names)
                n = CleanName(n.left(64), false);
            table.name = CleanName(bareName, true);
        }
        table.keyColumnText = kind.keyColumnText;
        table.fieldNames = names;
        table.types = typer.Types();
        table.encoding = encoding;
        table.rows = typer.Rows();

        st.firstPass = false;
        WriteImport(
            outputFile, table, [&](const RowSink& sink) { kind.read(fileName, st, typer, sink); },
            SavingTold(progress, QFileInfo(fileName).size()));
        Status::Outcome(QStringLiteral("Import to ") + outputFile + QStringLiteral(" successful."));
    } catch (...) {
        GeneralFailure(kind.title);
    }
}

} // namespace

// --- Public ---------------------------------------------------------------------------------

int Utilities::Split(const QString& delimiter, const QString& text, QStringList& items)
{
    items = QStringList{QString()};
    if (text.count(QLatin1Char(' ')) == text.size())
        return 0;
    items.clear();
    qsizetype start = 0;
    for (;;) {
        const qsizetype pos = delimiter.isEmpty() ? -1 : text.indexOf(delimiter, start);
        if (pos < 0) {
            items.append(text.mid(start));
            break;
        }
        items.append(text.mid(start, pos - start));
        start = pos + delimiter.size();
    }
    return int(items.size() - 1);
}

void Utilities::LoadRawFile(const QString& fileName)
{
    Import(fileName,
           {.title = QStringLiteral("LoadRawFile"),
            .read = ReadRawFile,
            .blankIsMissing = false,
            .askBeforeReading = true,
            .cleanNames = false,
            .keyColumnText = QStringLiteral(" Count AUTOINCREMENT CONSTRAINT PrimaryKey PRIMARY KEY, "),
            .badDataTitle = QStringLiteral("Import Failed"),
            .noRowsText = QStringLiteral("Invalid .raw file.\nNo data rows after [PATTERNS].  Import stoped."),
            .missingText =
                [](int64_t row, size_t) {
                    return QStringLiteral("Invalid .raw file.\nMissing value in row #") + QString::number(row + 1)
                           + QStringLiteral(".  Import stoped.");
                },
            .statusOnBadData = true});
}

void Utilities::LoadTextFile(const QString& fileName)
{
    Import(fileName,
           {.title = QStringLiteral("LoadTextFile"),
            .read = ReadTextFile,
            .blankIsMissing = true,
            .askBeforeReading = false,
            .cleanNames = true,
            .keyColumnText = QStringLiteral(" IndexCounter1 AUTOINCREMENT CONSTRAINT PrimaryKey PRIMARY KEY, "),
            .badDataTitle = QStringLiteral("Bad Data"),
            .noRowsText = QStringLiteral("No data rows: the file holds only the line of field names.  Import stoped."),
            .missingText =
                [](int64_t row, size_t column) {
                    return QStringLiteral("Missing value in Row #") + QString::number(row + 1)
                           + QStringLiteral(", Column #") + QString::number(column + 1)
                           + QStringLiteral(" .  Import stoped.");
                },
            .statusOnBadData = false});
}
