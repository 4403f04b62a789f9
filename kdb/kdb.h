// kdb: the system's database layer. Data files (.mdb, .kvs) and projects (.kvp) are SQLite
// files; ODBC sources are reached through unixODBC. Everything is one SQLite connection.
//
// How to use
// ----------
//   #include "kdb/kdb.h"
//   kdb::Database db = kdb::Database::Open(path);                 // shared, read-write
//   kdb::Database db = kdb::Database::OpenSource(nameOrConnect, /*readOnly*/ true);
//                                   // a file path, or "ODBC;DRIVER=...;..." (exact case)
//   kdb::Database db = kdb::Database::Create(path);               // new empty file
//
//   db.Execute("DELETE FROM Test WHERE Mark = ?", {0});           // values always bound
//   db.ExecuteJet("CREATE TABLE Test ( MainPrimaryKey Long CONSTRAINT PrimaryKey "
//                 "PRIMARY KEY, Predicted Single, Difference Single, Mark Integer );");
//                 // Jet DDL/DML made to run here (AUTOINCREMENT, Text(n) sizes, SELECT INTO,
//                 // ALTER ... ADD COLUMN x AUTOINCREMENT, IsNull(), text compared ignoring case)
//   QString sql = "SELECT * FROM " + kdb::QuoteIdent(table);      // names always quoted
//
//   kdb::Reader r = db.Query("SELECT a, b FROM t WHERE k > ?", {10});   // forward-only
//   while (r.Next()) { double a = r.Double(0); QString b = r.Text(1); }
//
//   kdb::Snapshot s = db.OpenSnapshot("SELECT * FROM Config");   // all rows, movable
//   if (s.FindFirst("Property", "DatabaseFileName")) QString v = s["sValue"].toText();
//
//   db.Insert("Config", {{"Property", name}, {"sValue", value}});  // dynaset: add
//   db.Update("Config", {{"sValue", value}}, "Property", name);    // dynaset: edit by key
//
//   { kdb::Transaction t(db); ...writes...; t.Commit(); }          // rolls back unless committed
//
//   kdb::Statement ins = db.Prepare("INSERT INTO Test VALUES (?,?,?,?)");  // reused, fast
//   ins.Run({key, predicted, diff, 0});
//
// Linked tables: db.Link("Source", connect, sourceTable) with connect
// ";DATABASE=<path>" or "ODBC;...". Opening a project re-creates its links on the connection
// (file: attached read-only + temporary view; ODBC: read-only virtual table), so
// "SELECT ... FROM Test JOIN Source ..." runs as one statement.
// db.ReadLinked("Source") reads the linked rows in key order (the order that decides
// training and testing rows; a plain "SELECT * FROM Source" gives that order too); a
// join that must keep it appends db.KeyOrder("Source", "Source").
// db.RefreshLink("Source", ";DATABASE=<new path>") re-points a link (moved file).
//   kdb::Reader r = db.ReadLinked("Source"); r.Skip(low - 1); ... r.Next() ...
//
// Jet SELECTs of the system (double-quoted strings, ^, IsNull()) run through
// db.QueryJet(jetSql); CREATE/ALTER/DROP/SELECT INTO through db.ExecuteJet(jetSql).
//
// Long values: Database::BlobWriter w(db, "Snapshots", "Snapshot", "DateSaved", key);
//   w.AppendChunk(bytes) ... w.Finish();  reading: Value v = r.Get(0);
//   Database::FieldSize(v), Database::GetChunk(v, pos, n).
// Dates are stored as text "YYYY-MM-DD HH:MM:SS" (kdb::DateText); kdb::DateSerial() and the
// SQL function DateSerial() give Jet's serial days.
//
// Errors are KvError with the Jet numbers: 3343 not a database, 3024 file missing, 3050 locked,
// 3045 file in use (exclusive open against another connection of this program),
// 3022 duplicate key, 3078 no such table, 3021 no current record, 3163 text too long, 3059
// ODBC source choice cancelled, 3146/3151 ODBC failures, 3010 table exists, 3204 database
// exists, 3027 read-only.
#pragma once

#include "core/kverror.h"
#include "core/odbcname.h"
#include "kdb/value.h"

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <utility>

struct sqlite3;
struct sqlite3_stmt;

namespace kdb {

// Field type codes of the Jet engine, as the data definition records them.
enum DaoType : int16_t {
    dbBoolean = 1,
    dbByte = 2,
    dbInteger = 3,
    dbLong = 4,
    dbCurrency = 5,
    dbSingle = 6,
    dbDouble = 7,
    dbDate = 8,
    dbBinary = 9,
    dbText = 10,
    dbLongBinary = 11,
    dbMemo = 12,
    dbGUID = 15,
    dbBigInt = 16,
    dbVarBinary = 17,
    dbChar = 18,
    dbNumeric = 19,
    dbDecimal = 20,
    dbFloat = 21,
    dbTime = 22,
    dbTimeStamp = 23,
};

// Declared SQLite column type -> DAO code. The rule (first match, case-insensitive, on the type
// word before any "(n)"):
//   BOOLEAN BOOL BIT YESNO LOGICAL -> dbBoolean     TINYINT BYTE -> dbByte
//   SMALLINT SHORT INT2 -> dbInteger                BIGINT INT8 -> dbBigInt
//   INTEGER INT LONG INT4 COUNTER AUTOINCREMENT MEDIUMINT -> dbLong
//   CURRENCY MONEY -> dbCurrency                    DECIMAL NUMERIC -> dbDouble
//   SINGLE REAL4 FLOAT4 -> dbSingle                 REAL DOUBLE FLOAT FLOAT8 -> dbDouble
//   DATE DATETIME TIMESTAMP -> dbDate               TIME -> dbTime
//   TEXT VARCHAR CHAR NCHAR NVARCHAR STRING CHARACTER(n) -> dbText   (size from "(n)"; tables
//        made by ExecuteJet declare plain Text as Text(255), as Jet sizes it)
//   MEMO LONGTEXT LONGCHAR CLOB NOTE "LONG VARCHAR" "LONG NVARCHAR" -> dbMemo
//   BLOB LONGBINARY IMAGE OLEOBJECT "LONG VARBINARY" -> dbLongBinary
//   BINARY VARBINARY -> dbBinary                    GUID UNIQUEIDENTIFIER -> dbGUID
//   no type: dbText (SQLite's untyped column holds anything; shown as text)
//   otherwise: SQLite's affinity rule (INT -> dbLong, CHAR/CLOB/TEXT -> dbText, BLOB -> dbLongBinary,
//   REAL/FLOA/DOUB -> dbDouble, else dbDouble).
// "INTEGER PRIMARY KEY" (the row id) with AUTOINCREMENT is an auto-number dbLong; a plain
// INTEGER PRIMARY KEY is a dbLong key, not an auto-number.
// ODBC columns: by the driver's type name when the rule above knows the name (drivers pass
// the source's own declaration on), else by the ODBC SQL type (SQL_INTEGER -> dbLong,
// SQL_DOUBLE -> dbDouble, SQL_LONGVARCHAR -> dbMemo, SQL_TYPE_TIMESTAMP -> dbDate, ...).
int16_t DaoTypeFromDeclared(const QString& declaredType, int* size = nullptr);

// Quotes a name for SQL: "name" with inner double quotes doubled. Every name that goes into
// SQL text goes through it.
QString QuoteIdent(const QString& name);

struct FieldInfo {
    QString name;
    int16_t type = dbText;       // DaoType code
    bool autoNumber = false;     // auto-increment long (the data definition stores it as -4)
    int size = 0;                // declared text length; 0 when none is declared
    bool required = false;       // NOT NULL
    QString declaredType;        // as the source declares it (SQL type name for ODBC)
};

struct IndexInfo {
    QString name;                // "PrimaryKey" for the primary key
    QStringList fields;          // in index order
    bool primary = false;
    bool unique = false;
};

struct TableInfo {
    QString name;
    bool linked = false;
    QString connect;             // linked: ";DATABASE=<path>" or the ODBC connect string
    QString sourceTable;         // linked: the table's name in its source
    bool view = false;
};

// A data source for the ODBC chooser ("ODBC;" alone).
struct DataSourceEntry {
    QString name;
    QString description;
};
// Returns the chosen source's name, or nullopt for cancel (error 3059).
using DataSourceChooser = std::function<std::optional<QString>(const QList<DataSourceEntry>&)>;
// Installs the chooser that "ODBC;" alone asks (none installed: cancelled). Returns the old one.
DataSourceChooser SetDataSourceChooser(DataSourceChooser chooser);
// The ODBC data sources (user and system) unixODBC knows.
QList<DataSourceEntry> DataSources();
// The logins to data sources that the program keeps for the next open are let go: each ends
// with its last user, and the next open logs in anew, with the login's settings of then.
void EndKeptLogins();

// One attribute of a connect string as the ODBC driver manager reads it: the key trimmed of
// blanks, the value trimmed (braces taken off a braced value, "}}" inside read as "}"), and
// where the attribute stands in the text ([begin, end), its ";" not included). A part
// without "=" ("ODBC") has an empty value.
struct ConnectAttribute {
    QString key;
    QString value;
    qsizetype begin = 0;
    qsizetype end = 0;
};
// The attributes in order: ";" ends an attribute except inside a braced value.
QList<ConnectAttribute> ParseConnect(const QString& connect);
// The value of the first attribute whose key equals `key` ignoring case; nullopt when none.
std::optional<QString> ConnectValue(const QString& connect, const QString& key);
// True for the keys that carry a password (PWD, PASSWORD, in any case).
bool IsPasswordKey(const QString& key);
// The connect string without its password attributes, read as ODBC reads them: the form for
// messages, status texts and logs.
QString HidePassword(const QString& connect);
// True when the connect string carries a password.
bool HoldsPassword(const QString& connect);
// The error of a file that another program is writing right now: 3045, "Couldn't use
// '<path>'; file already in use.  Another program is writing it: try again when it has finished."
KvError FileInUseError(const QString& path);
// True when the file starts with SQLite's header (the test behind 3343).
bool IsDatabaseFile(const QString& path);

using Params = std::initializer_list<Value>;
using Assignments = QList<std::pair<QString, Value>>;

class Database;
struct ConnectionImpl;

// A prepared statement taken from the connection's cache; returned to the cache when destroyed.
class Statement {
public:
    Statement();
    Statement(Statement&&) noexcept;
    Statement& operator=(Statement&&) noexcept;
    ~Statement();

    // Binds the values (1-based positions in order) and runs the statement to its end.
    // Returns the number of rows changed.
    int64_t Run(Params values);
    int64_t Run(const QList<Value>& values);
    // Low-level form: bind, then Step() until false, then Reset().
    void Bind(int position, const Value& v);   // 1-based
    void Bind(int position, double d);
    void Bind(int position, int64_t i);
    void BindNull(int position);
    bool Step();                                // true: a row is ready
    void Reset();                               // ready to bind and run again
    int ColumnCount() const;
    QString ColumnName(int column) const;

    sqlite3_stmt* handle() const { return m_stmt; }

private:
    friend class Database;
    friend class Reader;
    std::shared_ptr<ConnectionImpl> m_conn;
    sqlite3_stmt* m_stmt = nullptr;
    QString m_sql;
};

// Forward-only, read-only rows of one statement. Reading a column allocates nothing for
// numbers; column positions are 0-based.
class Reader {
public:
    Reader();
    Reader(Reader&&) noexcept;
    Reader& operator=(Reader&&) noexcept;
    ~Reader();

    bool Next();                                // moves to the next row; false at the end
    // Moves n rows forward (Jet's Move n from the start); returns how many were skipped.
    int64_t Skip(int64_t n);
    bool AtEnd() const { return m_end; }

    int ColumnCount() const;
    QString ColumnName(int column) const;
    int ColumnIndex(const QString& name) const; // case-insensitive; -1 when missing

    bool IsNull(int column) const;
    // The storage type of the column's value in the current row (no value is made).
    Value::Type Type(int column) const;
    double Double(int column) const;            // Null and non-numbers give 0
    std::optional<double> ToDouble(int column) const; // Null/non-numeric text: nullopt
    int64_t Int(int column) const;
    QString Text(int column) const;             // Null gives ""
    QByteArray Bytes(int column) const;
    // The column's stored bytes (text as UTF-8) without a copy: valid until the next Next().
    QByteArrayView View(int column) const;
    Value Get(int column) const;
    Value Get(const QString& name) const;       // 3265 when the column is missing
    Value operator[](int column) const { return Get(column); }
    Value operator[](const QString& name) const { return Get(name); }

private:
    friend class Database;
    Statement m_stmt;
    bool m_end = false;
    bool m_started = false;
};

// All rows of a query held in memory, with a current row: Jet's snapshot record set.
class Snapshot {
public:
    Snapshot() = default;
    int RecordCount() const { return int(m_rows.size()); }
    bool IsEmpty() const { return m_rows.isEmpty(); }
    bool AtEnd() const { return m_pos >= m_rows.size(); }   // Jet's EOF
    bool AtStart() const { return m_pos < 0; }              // Jet's BOF
    void MoveFirst() { m_pos = 0; }
    void MoveLast() { m_pos = m_rows.size() - 1; }
    void MoveNext() { if (m_pos < m_rows.size()) ++m_pos; }
    void MovePrevious() { if (m_pos >= 0) --m_pos; }
    int Position() const { return int(m_pos); }
    void SetPosition(int row) { m_pos = row; }

    int ColumnCount() const { return int(m_columns.size()); }
    const QStringList& Columns() const { return m_columns; }
    int ColumnIndex(const QString& name) const;   // case-insensitive; -1 when missing

    // FindFirst: the first row (from the top) whose column equals the value the way Jet
    // compares: numbers by value, text ignoring case. Becomes current; false (NoMatch) keeps
    // the current row.
    bool FindFirst(const QString& column, const Value& value);
    bool FindFirst(const std::function<bool(const Snapshot&)>& criteria);
    bool NoMatch() const { return m_noMatch; }

    // Values of the current row; 3021 when there is none, 3265 for a missing column.
    Value Get(int column) const;
    Value Get(const QString& column) const;
    Value operator[](int column) const { return Get(column); }
    Value operator[](const QString& column) const { return Get(column); }
    const QList<Value>& Row(int row) const { return m_rows.at(row); }

private:
    friend class Database;
    QStringList m_columns;
    QList<QList<Value>> m_rows;
    qsizetype m_pos = 0;
    bool m_noMatch = false;
};

// Open options.
struct OpenOptions {
    bool exclusive = false;    // locks the file for this connection alone (3050/3045 when busy)
    bool readOnly = false;
};

// One open database: a project or data file, or an ODBC source. A handle: copies share the
// connection, which closes when the last copy goes (or at Close()). Not thread-safe.
class Database {
public:
    Database();                 // no database ("Nothing")
    ~Database();
    Database(const Database&);
    Database& operator=(const Database&);
    Database(Database&&) noexcept;
    Database& operator=(Database&&) noexcept;

    // Creates a new empty database file; 3204 when the file exists.
    static Database Create(const QString& path);
    // Opens an existing database file; never creates one. 3024 missing, 3343 not a database,
    // 3050 locked (exclusive wanted, or held exclusively elsewhere), 3051 unreadable or no
    // regular file (a pipe, a socket, a device; or such a thing as its journal), which is then
    // never opened. Links are re-created.
    static Database Open(const QString& path, OpenOptions options = {});
    static Database Open(const QString& path, bool exclusive, bool readOnly);
    // Opens an ODBC source: the connect string with or without its "ODBC;" prefix, passed to
    // SQLDriverConnect without prompt (3151 when refused). "ODBC;" alone asks the data-source
    // chooser (3059 when cancelled). The source's tables are read-only and usable in SQL under
    // their own names (made available on first use); readOnly is recorded only.
    static Database OpenOdbc(const QString& connect, bool readOnly = true);
    // OpenOdbc when the name is an ODBC connect string, otherwise Open (shared).
    static Database OpenSource(const QString& nameOrConnect, bool readOnly);

    bool IsOpen() const { return bool(m_conn); }
    explicit operator bool() const { return IsOpen(); }
    // This handle lets go; the connection (and its share/exclusive claim on the file) ends
    // with the last handle, Reader and Statement of it.
    void Close();
    QString Name() const;       // the file path, or the ODBC connect string
    // The database's connect text: "" for a file, the ODBC connect string ("ODBC;...") for ODBC.
    QString Connect() const;
    bool IsOdbc() const;
    bool ReadOnly() const;

    // --- SQL -----------------------------------------------------------------------------
    // Runs SQLite SQL (one or more statements) with values bound to its ? placeholders.
    // Returns the number of rows changed by the last statement.
    int64_t Execute(const QString& sql, Params values = {});
    int64_t Execute(const QString& sql, const QList<Value>& values);
    // Runs Jet SQL as the system writes it (see TranslateJet), in one transaction.
    void ExecuteJet(const QString& jetSql);
    // A Jet SELECT as a forward-only reader: TranslateJet with "text" taken as a string
    // literal, as Jet reads it (names in such text go in [brackets]).
    Reader QueryJet(const QString& jetSql, Params values = {});
    // The cached prepared statement for the text.
    Statement Prepare(const QString& sql);
    Reader Query(const QString& sql, Params values = {});
    Reader Query(const QString& sql, const QList<Value>& values);
    Snapshot OpenSnapshot(const QString& sql, Params values = {});
    Snapshot OpenSnapshot(const QString& sql, const QList<Value>& values);
    // The first column of the first row, or Null.
    Value Scalar(const QString& sql, Params values = {});
    Value Scalar(const QString& sql, const QList<Value>& values);
    int64_t LastInsertId() const;

    // --- Rows by key (the dynaset operations) --------------------------------------------
    // INSERT INTO table (names...) VALUES (?...).
    void Insert(const QString& table, const Assignments& values);
    // UPDATE table SET ... WHERE keyColumn = key; returns the rows changed.
    int64_t Update(const QString& table, const Assignments& values, const QString& keyColumn,
                   const Value& key);
    // DELETE FROM table WHERE keyColumn = key; returns the rows deleted.
    int64_t Delete(const QString& table, const QString& keyColumn, const Value& key);
    // Edits the row of the key, or adds it when missing (Jet FindFirst + Edit/AddNew).
    void Upsert(const QString& table, const Assignments& values, const QString& keyColumn,
                const Value& key);

    // --- Table definitions --------------------------------------------------------------
    // User tables and views, linked tables included, in creation order; the layer's own
    // tables and sqlite_* are not listed.
    QList<TableInfo> Tables() const;
    QStringList TableNames() const;
    // Exact name (case-sensitive) when exact, else ignoring case and surrounding blanks.
    bool HasTable(const QString& name, bool exact = true) const;
    // The table's own name as this layer finds a table everywhere (Fields, links, SQL): the
    // exact name, else the name ignoring case; on an ODBC source also a name without its
    // schema (a project made before tables were named "schema.table"): the first table of
    // that name the source lists. With exactCase only a file's names of the same letter case
    // count; a server's table is found as its links find it. Empty when there is none.
    QString FindTable(const QString& name, bool exactCase = false) const;
    // Fields in table order; 3078 for an unknown table.
    QList<FieldInfo> Fields(const QString& table) const;
    // Indexes: the primary key first (named "PrimaryKey"), then the others.
    QList<IndexInfo> Indexes(const QString& table) const;
    // The primary-key fields (empty: no primary key).
    QStringList PrimaryKey(const QString& table) const;
    // Counted by the source itself for an ODBC table (the database's own or a link to one).
    int64_t RecordCount(const QString& table) const;
    // Statistics of numeric columns computed by an ODBC source itself (a table of an ODBC
    // database, or a link to one) in one aggregate statement for all the columns (two where the
    // source has no sample deviation of its own: the mean first), instead of
    // shipping every row: per column the count of values (Nulls skipped), min, max, mean and
    // sample standard deviation. nullopt for a table that is not on an ODBC source.
    struct ColumnStats {
        int64_t count = 0;
        double min = 0;
        double max = 0;
        double mean = 0;
        double stdDev = 0;
    };
    std::optional<QList<ColumnStats>> SourceStats(const QString& table,
                                                  const QStringList& columns) const;
    void DropTable(const QString& table);      // a linked table: its link goes

    // --- Linked tables ------------------------------------------------------------------
    // Creates or replaces the link `name` to `sourceTable` of `connect` (";DATABASE=<path>"
    // or an ODBC connect string) in one transaction: when the new source cannot be reached
    // the old link stays as it was. Not inside a Transaction (sources are attached outside
    // of transactions). 3024/3343 missing or foreign file, 3078 no such source table, 3151
    // ODBC refused, 3010 a table of that name exists, 3027 read-only database.
    void Link(const QString& name, const QString& connect, const QString& sourceTable);
    // Points the link at a new connect text (a moved data file); a failure keeps the old one.
    void RefreshLink(const QString& name, const QString& connect);
    std::optional<TableInfo> LinkInfo(const QString& name) const;
    // On this connection only, the exact decimals (NUMERIC, DECIMAL) of server tables are read
    // as the text the driver gives, every digit the server holds, rather than as the nearest
    // double: for a reader that writes the values out as they are (an export) and orders or
    // counts none of them.
    void ReadDecimalsAsText(bool asText);
    // Reads a linked (or any) table in primary-key order (row id order without a key):
    // the row order of training and testing ranges.
    // `skip` rows are passed over first: a server source skips them without sending them.
    Reader ReadLinked(const QString& name, const QStringList& columns = {}, int64_t skip = 0);
    // "ORDER BY <key>" for the table (quoted, with the table qualifier when given); for a
    // local table without key "ORDER BY _rowid_"; "" for a link whose source has no key (its
    // rows then come in the source's storage order). For joins that must keep the order.
    // Links without key: ODBC sources use their first single-field unique index.
    QString KeyOrder(const QString& table, const QString& qualifier = {}) const;

    // --- Long values in chunks (blobs) ----------------------------------------------------
    // Stores bytes in one column of one row chosen by its key: the chunks appended since
    // Begin replace the old content at Finish.
    class BlobWriter {
    public:
        BlobWriter(Database& db, QString table, QString column, QString keyColumn, Value key);
        void AppendChunk(const QByteArray& chunk);
        void Finish();           // writes; 3021 when no row has the key
    private:
        Database* m_db;
        QString m_table, m_column, m_keyColumn;
        Value m_key;
        QByteArray m_data;
    };
    // The size in bytes of a long value and its piece at a position (0-based).
    static int64_t FieldSize(const Value& longValue) { return longValue.toBytes().size(); }
    static QByteArray GetChunk(const Value& longValue, int64_t offset, int64_t length);

    sqlite3* handle() const;

private:
    friend class Statement;
    friend class Transaction;
    std::shared_ptr<ConnectionImpl> m_conn;
    explicit Database(std::shared_ptr<ConnectionImpl> c);
    void Require() const;
};

// Scoped transaction: rolls back unless committed. Nests (inner ones are savepoints).
class Transaction {
public:
    explicit Transaction(Database& db);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void Commit();
    void Rollback();
    // Called, when set, as the outermost transaction of a file's connection is about to commit,
    // with the file's name, once every page it changed so far is in the file and its journal is
    // whole: a test holds the program there to end it inside a write.
    static std::function<void(const QString& file)>& BeforeCommit();
private:
    std::shared_ptr<ConnectionImpl> m_conn;
    QString m_savepoint;
    bool m_done = false;
};

// Jet SQL -> SQLite SQL (one or more statements):
//  - CREATE TABLE: a column typed AUTOINCREMENT or COUNTER becomes the auto-number row id
//    (INTEGER PRIMARY KEY AUTOINCREMENT, keeping its CONSTRAINT name); Text(n) and plain
//    Text (255) get their size checked (3163) and, like all text columns, COLLATE NOCASE
//    (Jet compares text ignoring case); Memo/LongText COLLATE NOCASE.
//  - SELECT ... INTO t FROM ... -> CREATE TABLE t AS SELECT ... FROM ...
//  - GROUP BY terms get COLLATE NOCASE (Jet groups text ignoring case; numbers unaffected).
//  - with doubleQuotedStrings (QueryJet): "text" is a string literal as in Jet ('text');
//    otherwise "name" stays a name, so QuoteIdent names work in ExecuteJet.
//  - x ^ y -> kdb_pow(x, y) (x, y: a name, number, bracketed group or function call).
// ExecuteJet also runs, with the database's help:
//  - ALTER TABLE t ADD COLUMN c AUTOINCREMENT ... PRIMARY KEY -> the table rebuilt with c as
//    its auto-number key, existing rows numbered 1, 2, ... in their order;
//  - DROP TABLE of a linked table -> the link is removed.
// IsNull(x) is rewritten to ((x) IS NULL). StDev(x) (sample), StDevP(x), CStr(x) (Jet's
// number-to-text) and DateSerial(x) (a date text or number -> serial day) are SQL functions of
// every connection, in Execute/Query too; [name] quoting is SQLite's own.
QStringList TranslateJet(const QString& jetSql);
QStringList TranslateJet(const QString& jetSql, bool doubleQuotedStrings);

} // namespace kdb
