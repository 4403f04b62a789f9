#include "data/importwriter.h"

#include "core/apppaths.h"
#include "core/errorbox.h"
#include "core/kverror.h"
#include "kdb/backup.h"
#include "kdb/kdb.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSaveFile>

#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

#include <signal.h>

namespace DataImport {

namespace {

QString TypeWord(ColumnType t)
{
    switch (t) {
    case ColumnType::Integer:
        return QStringLiteral("LONG, ");
    case ColumnType::BigInt:
        return QStringLiteral("BIGINT, ");
    case ColumnType::Single:
        return QStringLiteral("SINGLE, ");
    case ColumnType::Double:
        return QStringLiteral("DOUBLE, ");
    case ColumnType::Text:
        break;
    }
    return QStringLiteral("Text(255), ");
}

// The database's own words for a name it cannot take ("unrecognized token", "too many
// columns on ...") say nothing about the file: these say what is wrong with it.
void CheckNames(const ImportTable& table)
{
    CheckFieldCount(table.fieldNames.size());
    for (qsizetype i = 0; i < table.fieldNames.size(); ++i) {
        if (table.fieldNames[i].contains(QChar(0)))
            throw KvError(3125, {},
                          QStringLiteral("The name of field #%1 holds a NUL character; a field name cannot contain one.")
                              .arg(i + 1));
    }
    // The names are unique as written, but a table's field names are one name when they
    // differ only in the case of their letters (A to Z, as the database compares them): say
    // which two, and the key column the import adds is one of the names.
    const auto folded = [](const QString& name) {
        QString f = name;
        for (QChar& c : f)
            if (c.unicode() < 128)
                c = c.toLower();
        return f;
    };
    const QString key = table.keyColumnText.trimmed().section(u' ', 0, 0);
    QHash<QString, qsizetype> seen;
    for (qsizetype i = 0; i < table.fieldNames.size(); ++i) {
        const QString& name = table.fieldNames[i];
        const QString cannot = QStringLiteral("Cannot define field more than once. ");
        if (folded(name) == folded(key))
            throw KvError(3191, {},
                          cannot + QStringLiteral("The field name \"%1\" (column %2) is the name of the key field \"%3\" "
                                                  "that the import adds; names that differ only in letter case are one name.")
                                       .arg(name)
                                       .arg(i + 1)
                                       .arg(key));
        const auto it = seen.constFind(folded(name));
        if (it != seen.constEnd())
            throw KvError(3191, {},
                          cannot + QStringLiteral("The field names \"%1\" (column %2) and \"%3\" (column %4) are one "
                                                  "name: names that differ only in letter case name the same field.")
                                       .arg(table.fieldNames[*it])
                                       .arg(*it + 1)
                                       .arg(name)
                                       .arg(i + 1));
        seen.insert(folded(name), i);
    }
}

// What a number column of each type takes, as the typing settled it.
QString TypeTakes(ColumnType t)
{
    switch (t) {
    case ColumnType::Integer:
        return QStringLiteral("whole numbers of 32 bits");
    case ColumnType::BigInt:
        return QStringLiteral("whole numbers of 64 bits");
    case ColumnType::Single:
        return QStringLiteral("numbers of single precision");
    case ColumnType::Double:
        break;
    case ColumnType::Text:
        return QStringLiteral("UTF-8 text");
    }
    return QStringLiteral("numbers");
}

[[noreturn]] void ThrowValueChanged(const ImportTable& table, int64_t row, size_t column, std::string_view value)
{
    QString shown = DecodeText(value.substr(0, 60), table.encoding);
    if (value.size() > 60)
        shown += QStringLiteral("...");
    ThrowFileChanged(QStringLiteral("Row #%1, Column #%2 (%3) now holds \"%4\", where the column takes %5.")
                         .arg(row + 1)
                         .arg(column + 1)
                         .arg(table.fieldNames.value(qsizetype(column)), shown, TypeTakes(table.types[column])));
}

[[noreturn]] void ThrowRowsChanged(int64_t rows, int64_t typed)
{
    ThrowFileChanged(rows > typed ? QStringLiteral("it now holds more than the %1 rows it held.").arg(typed)
                                  : QStringLiteral("it now holds %1 rows, where it held %2.").arg(rows).arg(typed));
}

// The rows of an import written many to one INSERT: the statement's run, and the update of the
// auto-numbered key's counter that goes with it, once a batch rather than once a row.
class BatchInsert {
public:
    // `head` is "INSERT INTO t (a, b) VALUES ", `row` the marks of one row, "(?,?)".
    BatchInsert(kdb::Database& db, QString head, QString row, size_t columns)
        : m_db(db), m_head(std::move(head)), m_row(std::move(row)), m_columns(columns),
          m_batch(std::max<size_t>(1, std::min<size_t>(50, 999 / std::max<size_t>(1, columns))))
    {
        m_full = m_db.Prepare(Sql(m_batch));
        m_cells.reserve(m_batch * m_columns);
    }
    void Whole(int64_t v) { m_cells.push_back({Cell::Whole, v, 0, 0, 0}); }
    void Number(double v) { m_cells.push_back({Cell::Number, 0, v, 0, 0}); }
    void Text(std::string_view v)
    {
        m_cells.push_back({Cell::Text, 0, 0, m_text.size(), v.size()});
        m_text.append(v);
    }
    void EndRow()
    {
        if (++m_rows == m_batch)
            Run(m_full);
    }
    // Writes the rows of a batch not yet full.
    void Finish()
    {
        if (m_rows > 0) {
            kdb::Statement rest = m_db.Prepare(Sql(m_rows));
            Run(rest);
        }
    }

private:
    struct Cell {
        enum Kind : uint8_t { Whole, Number, Text } kind;
        int64_t whole;
        double number;
        size_t offset;
        size_t size;
    };
    QString Sql(size_t rows) const
    {
        QString sql = m_head + m_row;
        for (size_t r = 1; r < rows; ++r)
            sql += QLatin1Char(',') + m_row;
        return sql;
    }
    // Every mark of the statement is bound again before each run: a text bound without a copy
    // is read only while its batch is.
    void Run(kdb::Statement& statement)
    {
        sqlite3_stmt* st = statement.handle();
        for (size_t i = 0; i < m_cells.size(); ++i) {
            const Cell& cell = m_cells[i];
            const int pos = int(i + 1);
            int rc = SQLITE_OK;
            switch (cell.kind) {
            case Cell::Whole:
                rc = sqlite3_bind_int64(st, pos, cell.whole);
                break;
            case Cell::Number:
                rc = sqlite3_bind_double(st, pos, cell.number);
                break;
            case Cell::Text:
                rc = sqlite3_bind_text(st, pos, m_text.data() + cell.offset, int(cell.size), SQLITE_STATIC);
                break;
            }
            if (rc != SQLITE_OK)
                throw KvError(KvErr::OutOfMemory);
        }
        statement.Step();
        statement.Reset();
        m_cells.clear();
        m_text.clear();
        m_rows = 0;
    }

    kdb::Database& m_db;
    QString m_head;
    QString m_row;
    size_t m_columns;
    size_t m_batch;
    kdb::Statement m_full;
    std::vector<Cell> m_cells;
    std::string m_text;
    size_t m_rows = 0;
};

} // namespace

void ThrowFileChanged(const QString& what)
{
    throw KvError(KvErr::DeviceIO, {}, QStringLiteral("The file changed while it was imported: ") + what);
}

qsizetype MostImportFields()
{
    static const qsizetype most = [] {
        sqlite3* db = nullptr;
        int columns = 2000;
        if (sqlite3_open(":memory:", &db) == SQLITE_OK)
            columns = sqlite3_limit(db, SQLITE_LIMIT_COLUMN, -1);
        sqlite3_close(db);
        // One column goes to the key.
        return qsizetype(columns) - 1;
    }();
    return most;
}

void CheckFieldCount(qsizetype count)
{
    const qsizetype most = MostImportFields();
    if (count > most)
        throw KvError(3190, {},
                      QStringLiteral("Too many fields defined: the file has %1 columns, a table holds at most %2.")
                          .arg(count)
                          .arg(most));
}

std::string_view TrimSpaces(std::string_view s)
{
    size_t b = 0;
    size_t e = s.size();
    while (b < e && s[b] == ' ')
        ++b;
    while (e > b && s[e - 1] == ' ')
        --e;
    return s.substr(b, e - b);
}

NumberKind ParseNumber(std::string_view text, double& value)
{
    text = TrimSpaces(text);
    size_t b = 0;
    const size_t e = text.size();
    if (b == e)
        return NumberKind::NotNumber;
    bool negative = false;
    if (text[b] == '+' || text[b] == '-') {
        negative = text[b] == '-';
        ++b;
    }
    // Digits or a point must follow: no second sign, no "inf" or "nan".
    if (b == e || !((text[b] >= '0' && text[b] <= '9') || text[b] == '.'))
        return NumberKind::NotNumber;
    double d = 0;
    const char* first = text.data() + b;
    const char* last = text.data() + e;
    const auto [ptr, ec] = std::from_chars(first, last, d, std::chars_format::general);
    if (ec == std::errc::result_out_of_range) {
        // from_chars tells no "which way": a negative exponent is an underflow to zero.
        const std::string_view rest(first, size_t(last - first));
        const size_t ex = rest.find_first_of("eE");
        if (ex != std::string_view::npos && ex + 1 < rest.size() && rest[ex + 1] == '-') {
            value = 0;
            return NumberKind::Number;
        }
        return NumberKind::OutOfRange;
    }
    if (ec != std::errc() || ptr != last)
        return NumberKind::NotNumber;
    if (std::fabs(d) > double(std::numeric_limits<float>::max()))
        return NumberKind::OutOfRange;
    value = negative ? -d : d;
    return NumberKind::Number;
}

WholeKind ParseWhole(std::string_view text, int64_t& value)
{
    text = TrimSpaces(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    const size_t digits = !text.empty() && text.front() == '-' ? 1 : 0;
    if (text.size() == digits)
        return WholeKind::NotWhole;
    for (size_t i = digits; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return WholeKind::NotWhole;
    }
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec == std::errc::result_out_of_range)
        return WholeKind::TooBig;
    return ec == std::errc() && ptr == text.data() + text.size() ? WholeKind::Whole : WholeKind::NotWhole;
}

bool DoubleHolds(int64_t value)
{
    constexpr int64_t kExact = int64_t(1) << 53;
    if (value >= -kExact && value <= kExact)
        return true;
    // The largest int64 rounds up to 2 to the 63rd, which is no int64 to compare with.
    const double d = double(value);
    return d < 9223372036854775808.0 && int64_t(d) == value;
}

bool IsWholeInSingle(double value)
{
    const double r = std::nearbyint(value);
    if (r < double(std::numeric_limits<int32_t>::min()) ||
        r > double(std::numeric_limits<int32_t>::max()))
        return false;
    // A fraction a single drops ("1.00000001") is no whole number.
    return value == r && double(float(value)) - r == 0.0;
}

bool SingleHolds(double value)
{
    return AsSingle(value) == value;
}

double AsSingle(double value)
{
    const float f = float(value);
    if (double(f) == value)
        return value;
    char buf[32];
    const auto res = std::to_chars(buf, buf + sizeof buf, f);
    double d = double(f);
    std::from_chars(buf, res.ptr, d);
    return d;
}

int64_t AsInteger(double value)
{
    return int64_t(std::nearbyint(value));
}

namespace {

// True when the number written as `text` has at most six significant digits and a size a
// single keeps them at (a normal single below 2 to the 24th): such a number comes back from a
// single as written, so SingleHolds, which prints and reads it back, is not needed. Checked for
// every six-digit number over the whole range.
bool SixDigitsSingleHolds(std::string_view text, double value)
{
    const double size = std::fabs(value);
    if (size >= 16777216.0 || (size < double(std::numeric_limits<float>::min()) && value != 0))
        return false;
    int digits = 0;
    int zeros = 0;   // zeros after the last other digit so far: no significant digits
    for (const char ch : text) {
        if (ch == 'e' || ch == 'E')
            break;
        if (ch < '0' || ch > '9')
            continue;
        if (ch == '0') {
            if (digits > 0)
                ++zeros;
            continue;
        }
        digits += zeros + 1;
        zeros = 0;
    }
    return digits <= 6;
}

} // namespace

NumberRead ReadNumber(std::string_view text)
{
    NumberRead r;
    switch (ParseWhole(text, r.whole)) {
    case WholeKind::TooBig:
        r.kind = NumberRead::TooBig;
        return r;
    case WholeKind::Whole:
        r.kind = NumberRead::Whole;
        r.inDouble = DoubleHolds(r.whole);
        r.number = double(r.whole);
        r.singleHolds = r.inDouble && SingleHolds(r.number);
        return r;
    case WholeKind::NotWhole:
        break;
    }
    switch (ParseNumber(text, r.number)) {
    case NumberKind::NotNumber:
        r.kind = NumberRead::NotNumber;
        break;
    case NumberKind::OutOfRange:
        r.kind = NumberRead::OutOfRange;
        break;
    case NumberKind::Number:
        r.kind = NumberRead::Number;
        r.singleHolds = SixDigitsSingleHolds(text, r.number) || SingleHolds(r.number);
        break;
    }
    return r;
}

TempFileGuard::~TempFileGuard()
{
    if (m_path.isEmpty())
        return;
    QFile::remove(m_path);
    QFile::remove(m_path + QStringLiteral("-journal"));
}

bool RemoveLeftoverTemps(const QString& folder)
{
    static const QRegularExpression pattern(QStringLiteral("\\.~(\\d+)-\\d+\\.tmp(-journal|-wal|-shm)?$"));
    bool kept = false;
    QDirIterator it(folder, {QStringLiteral("*.~*-*.tmp*")}, QDir::Files | QDir::Hidden | QDir::System);
    while (it.hasNext()) {
        const QString path = it.next();
        const QRegularExpressionMatch m = pattern.match(it.fileName());
        if (!m.hasMatch())
            continue;
        bool ok = false;
        const qint64 pid = m.captured(1).toLongLong(&ok);
        if (!ok || pid <= 0)
            continue;
        // A process that runs (ours or another user's) keeps its files.
        if (kdb::ProcessRuns(pid)) {
            kept = true;
            continue;
        }
        QFile::remove(path);
    }
    // Snapshot copies killed half-way leave their parts in the same folders.
    return kdb::RemoveLeftoverCopies(folder) || kept;
}

namespace {

// The folders outside the program's own where temporary files were made: one path a line, in
// the program's folder, so that the next start can sweep them.
QString FolderRecord()
{
    return AppPaths::ProgramFolder() + QStringLiteral("/.temporary-folders");
}

QStringList RecordedFolders()
{
    QFile file(FolderRecord());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList folders;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QString folder = QFile::decodeName(line);
        if (!folder.isEmpty() && !folders.contains(folder))
            folders << folder;
    }
    return folders;
}

bool SweptAtStart(const QString& folder)
{
    const QString program = QDir::cleanPath(AppPaths::ProgramFolder());
    return folder == program || folder == program + QStringLiteral("/data");
}

} // namespace

void RecordFolder(const QString& folder)
{
    IgnoreErrors([&] {
        if (SweptAtStart(folder) || RecordedFolders().contains(folder))
            return;
        QFile file(FolderRecord());
        if (file.open(QIODevice::WriteOnly | QIODevice::Append))
            file.write(QFile::encodeName(folder) + '\n');
    });
}

void RemoveRecordedLeftovers()
{
    IgnoreErrors([] {
        QStringList still;
        for (const QString& folder : RecordedFolders()) {
            if (RemoveLeftoverTemps(folder))
                still << folder;
        }
        if (still.isEmpty()) {
            QFile::remove(FolderRecord());
            return;
        }
        QSaveFile file(FolderRecord());
        if (!file.open(QIODevice::WriteOnly))
            return;
        for (const QString& folder : still)
            file.write(QFile::encodeName(folder) + '\n');
        file.commit();
    });
}

QString TempNameBeside(const QString& target)
{
    // A process killed while the file exists leaves it; whoever starts next sweeps the folder.
    RecordFolder(QDir::cleanPath(QFileInfo(target).absolutePath()));
    static std::atomic<int> counter{0};
    for (;;) {
        const QString name = target + QStringLiteral(".~%1-%2.tmp")
                                          .arg(QCoreApplication::applicationPid())
                                          .arg(++counter);
        if (!QFile::exists(name))
            return name;
    }
}

void WriteImport(const QString& outputName, const ImportTable& table,
                 const std::function<void(const RowSink&)>& feed,
                 const std::function<void(const std::function<void()>& save)>& saving)
{
    // Built beside the file it replaces: through a link, that is where the link points.
    const QString outputFile = kdb::ReplacementTarget(outputName);
    RemoveLeftoverTemps(QFileInfo(outputFile).absolutePath());
    const QString temp = TempNameBeside(outputFile);
    TempFileGuard guard(temp);
    {
        // The file holds its text as UTF-8, and the text columns the program's SQL makes
        // compare ignoring case: a project over the table finds, groups and sorts the
        // imported values however they were typed.
        kdb::Database db = kdb::Database::Create(temp);
        CheckNames(table);
        QString create = QStringLiteral("CREATE TABLE ") + kdb::QuoteIdent(table.name) +
                         QStringLiteral(" (") + table.keyColumnText;
        QString columns;
        QString marks;
        for (qsizetype i = 0; i < table.fieldNames.size(); ++i) {
            const QString quoted = kdb::QuoteIdent(table.fieldNames[i]);
            create += quoted + QLatin1Char(' ') + TypeWord(table.types[size_t(i)]);
            columns += (i ? QStringLiteral(", ") : QString()) + quoted;
            marks += i ? QStringLiteral(",?") : QStringLiteral("?");
        }
        create.chop(2);
        create += QStringLiteral(");");
        db.ExecuteJet(create);

        kdb::Transaction transaction(db);
        BatchInsert insert(db, QStringLiteral("INSERT INTO ") + kdb::QuoteIdent(table.name) + QStringLiteral(" (")
                                   + columns + QStringLiteral(") VALUES "),
                           QStringLiteral("(") + marks + QStringLiteral(")"), table.types.size());
        const size_t n = table.types.size();
        std::string converted;
        int64_t row = 0;
        feed([&](const Items& items) {
            if (row == table.rows)
                ThrowRowsChanged(table.rows + 1, table.rows);
            for (size_t c = 0; c < n; ++c) {
                const std::string_view v = items[c];
                const ColumnType type = table.types[c];
                switch (type) {
                case ColumnType::Integer:
                case ColumnType::BigInt: {
                    // Digits are taken exactly; "2.0" or "1e1" through the number.
                    const NumberRead r = ReadNumber(v);
                    int64_t whole = r.whole;
                    if (r.kind == NumberRead::Number && IsWholeInSingle(r.number))
                        whole = AsInteger(r.number);
                    else if (r.kind != NumberRead::Whole)
                        ThrowValueChanged(table, row, c, v);
                    if (type == ColumnType::Integer
                        && (whole < std::numeric_limits<int32_t>::min() || whole > std::numeric_limits<int32_t>::max()))
                        ThrowValueChanged(table, row, c, v);
                    insert.Whole(whole);
                    break;
                }
                case ColumnType::Single:
                case ColumnType::Double: {
                    // A single column holds only numbers it gives back as written: AsSingle
                    // would change none of them.
                    const NumberRead r = ReadNumber(v);
                    const bool number = r.kind == NumberRead::Number || (r.kind == NumberRead::Whole && r.inDouble);
                    if (!number || (type == ColumnType::Single && !r.singleHolds))
                        ThrowValueChanged(table, row, c, v);
                    insert.Number(r.number);
                    break;
                }
                case ColumnType::Text:
                    // The typing found every line UTF-8: bytes that are not would go in broken.
                    if (table.encoding == TextEncoding::Utf8 && !IsValidUtf8(v))
                        ThrowValueChanged(table, row, c, v);
                    if (table.encoding != TextEncoding::Utf8) {
                        converted.clear();
                        AppendAsUtf8(converted, v, table.encoding);
                        insert.Text(converted);
                    } else {
                        insert.Text(v);
                    }
                    break;
                }
            }
            insert.EndRow();
            ++row;
        });
        insert.Finish();
        if (row != table.rows)
            ThrowRowsChanged(row, table.rows);
        const auto save = [&] {
            transaction.Commit();
            db.Close();
        };
        if (saving)
            saving(save);
        else
            save();
    }
    kdb::ReplaceDatabaseFile(temp, outputFile);
    guard.Release();
}

} // namespace DataImport
