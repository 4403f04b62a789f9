// Internals shared by the kdb sources: the connection behind a Database handle, the error
// mapping from SQLite and ODBC to the Jet numbers, and the ODBC pieces.
#pragma once

#include "core/kverror.h"
#include "kdb/kdb.h"

#include <QHash>
#include <QSet>
#include <functional>
#include <map>
#include <optional>
#include <memory>
#include <mutex>
#include <sqlite3.h>
#include <unordered_map>
#include <mutex>
#include <vector>

namespace kdb::detail {

class OdbcConnection;

struct CaseLess {
    bool operator()(const QString& a, const QString& b) const
    {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    }
};

// A link as the project file records it, and its state on this connection.
struct LinkState {
    QString name;
    QString connect;
    QString sourceTable;
    QString schema;                 // file source: the attached schema
    bool odbc = false;
    bool live = false;              // the temporary view / virtual table exists
    int32_t errorNumber = 0;        // why it is not live
    QString errorText;
};

// The primary key as an index entry ("PrimaryKey", primary and unique).
inline IndexInfo PrimaryIndex(const QStringList& key)
{
    IndexInfo ix;
    ix.name = QStringLiteral("PrimaryKey");
    ix.fields = key;
    ix.primary = true;
    ix.unique = true;
    return ix;
}

// Catalogue text with its '|' filled in.
KvError Error(int32_t number, const QString& arg = {});
QString CatalogueText(int32_t number, const QString& arg);
// Why a file may not be opened as a database: it, or the journal or log beside it that every
// open looks into, is no regular file ("Cannot open the file '<path>'.  Not a regular file (a
// named pipe)."); empty when it may. A pipe there would be waited on for good.
QString NotAFileReason(const QString& path);
// A database file whose writer was killed inside a write keeps a hot journal beside it, which
// only a connection that may write can play back: this plays it back through a brief such
// connection before a read-only one meets it, and makes that lasting. Raises 3051 with the
// reason when the file or its folder cannot be written, and then has touched neither the file
// nor its journal; 3051 too for what NotAFileReason refuses and for a log beside a file in the
// journal mode (never written into it); 3045 (FileInUseError) while another writer holds the
// file. Any other failure is left to the open that follows.
void RecoverInterruptedWrite(const QString& path);
// Force a file's bytes, or a folder's list of names, to the disk: false when that failed.
bool SyncFile(const QString& path);
bool SyncFolder(const QString& folder);
// Called between the steps of ReplaceDatabaseFile and RemoveDatabaseFile with the step just
// done ("recovered", "cleared", "renamed", "removed"), when set: the moments a kill or a power
// cut may choose, which tests stop at. Empty by default.
using FileStepWatcher = std::function<void(const char* step)>;
void SetFileStepWatcher(FileStepWatcher watcher);
// The table of SQLite's "no such table: name" message, without its quotes or schema; empty for
// any other message.
QString MissingTable(const QString& message);

// "Database" or the file name for messages.
constexpr const char* kLinksTable = "__kdb_links";
constexpr const char* kOdbcModule = "kdb_odbc";
// A table name that could mean tables of several schemas of an ODBC source.
constexpr int32_t kAmbiguousTable = 3079;

// ODBC (odbc.cpp, odbctable.cpp, odbcreadahead.cpp).
struct OdbcColumn {
    QString name;
    int sqlType = 0;
    QString typeName;
    int size = 0;
    bool nullable = true;
    bool autoUnique = false;   // numbered by the source (serial, identity, auto-increment)
};
class OdbcConnection {
public:
    // `connect`: the connect string without "ODBC;". Raises 3151 when the source refuses; the
    // message never shows the password.
    static std::shared_ptr<OdbcConnection> Connect(const QString& connect);
    // The program's one connection for the connect text (a new login only when there is none
    // or the source dropped it).
    static std::shared_ptr<OdbcConnection> Shared(const QString& connect);
    ~OdbcConnection();
    OdbcConnection(const OdbcConnection&) = delete;
    OdbcConnection& operator=(const OdbcConnection&) = delete;

    // Tables and views, in the driver's order; `views` receives which are views. A table of a
    // source with schemas is named "schema.table".
    QStringList Tables(QList<bool>* views = nullptr);
    // The table's name as Tables() spells it (exact, else ignoring case; a name without its
    // schema finds the table of that name the server reads under it); empty when missing.
    // Raises kAmbiguousTable when the name could mean tables of several schemas and the
    // server cannot tell which.
    QString FindTable(const QString& name);
    // The functions below take a name as Tables() spells it.
    QList<OdbcColumn> Columns(const QString& table);
    QStringList PrimaryKey(const QString& table);
    QList<IndexInfo> Indexes(const QString& table);
    int64_t Count(const QString& table);
    // The table for the source's SQL: "schema"."table" with the source's quotes.
    QString QuoteTable(const QString& table);
    QString Quote(const QString& ident) const;
    // Runs a statement of the source's own SQL and answers its first row as numbers (Null:
    // nullopt); empty when there is no row.
    QList<std::optional<double>> Row(const QString& sql);
    void* Hdbc() const { return m_dbc; }
    const QString& ConnectText() const { return m_connect; }
    // True when the source's SQL takes LIMIT n OFFSET m.
    bool LimitOffset() const { return m_limitOffset; }
    // True when the source's SQL has STDDEV_SAMP, a sample deviation that keeps its digits
    // for columns far from zero.
    bool SampleDeviation() const { return m_sampleDeviation; }
    // True when a long read in key order goes faster split over several connections (a
    // server, whose own work then runs beside the driver's).
    bool ReadsInParallel() const { return m_parallel; }
    // True when each read of a table goes to a helper login of its own, which reads results
    // whole: the login's own fetch by cursor must not meet a server that goes away (see
    // odbc.cpp).
    bool ReadsInPages() const { return m_helperLogin != m_login; }
    // Another login of the same source for a helper thread's read, kept for the next read
    // when given back.
    void* TakeHelper();
    void GiveBack(void* dbc);

private:
    struct SourceTable {
        QString schema;
        QString name;
        QString display;
        bool view = false;
    };
    OdbcConnection() = default;
    void LoadTables();
    const SourceTable* Find(const QString& name, bool reload);
    // The one of `candidates` (tables of `name` in several schemas) that the server reads under
    // the plain name; raises kAmbiguousTable, naming them all, when it cannot tell.
    const SourceTable* ServersChoice(const QString& name, const QList<const SourceTable*>& candidates);
    SourceTable Resolve(const QString& table);
    void* m_dbc = nullptr;
    QString m_connect;
    QString m_login;                // the connect text logged in with
    QString m_helperLogin;          // the helpers' (see Connect)
    std::vector<void*> m_helpers;   // idle helper logins
    std::mutex m_helpersLock;       // readers of several threads share the connection
    bool m_parallel = false;
    QString m_quote = QStringLiteral("\"");
    QList<SourceTable> m_tables;
    bool m_tablesLoaded = false;
    bool m_limitOffset = false;
    bool m_sampleDeviation = false;
};
int16_t DaoTypeFromOdbc(int sqlType, int size);
// The type of an ODBC column: by its type name when that is one of the names the declared-type
// rule knows (the driver passes the source's own declaration on), else by its SQL type.
int16_t DaoTypeForColumn(const OdbcColumn& column, int* declaredSize = nullptr);
int16_t DaoTypeFromName(const QString& declaredType, int* size, bool* known);
// Registers the read-only virtual-table module over ODBC tables on the connection.
void RegisterOdbcModule(sqlite3* db, ConnectionImpl* owner);
QList<DataSourceEntry> ListDataSources();
// True when odbc.ini keeps a password for the data source (its own credentials).
bool DataSourceKeepsPassword(const QString& dsn);
// Raises the ODBC diagnostic of a failed call as 3146 (with the driver's text).
[[noreturn]] void ThrowOdbc(int handleType, void* handle, int32_t number = 3146,
                            const QString& arg = {});
// The driver's diagnostic texts of a failed call; `linkLost` is set when they say the
// connection is gone.
QString OdbcDiagnostic(int handleType, void* handle, bool* linkLost = nullptr);
// Drops the program's kept logins (a source that went away): the next use logs in again.
void ForgetSharedConnections();

} // namespace kdb::detail

namespace kdb {

struct ConnectionImpl {
    sqlite3* db = nullptr;
    QString name;                  // path, or connect string for ODBC
    QString registryKey;           // for the in-process share/exclusive registry
    bool readOnly = false;
    bool exclusive = false;
    bool odbc = false;
    QString connect;               // "ODBC;..." for an ODBC database
    std::shared_ptr<detail::OdbcConnection> odbcConn;
    // ODBC connections of linked tables and of the ODBC database, by connect text (no prefix).
    std::map<QString, std::shared_ptr<detail::OdbcConnection>> odbcByConnect;
    std::multimap<QString, sqlite3_stmt*> idle;   // prepared statements ready for reuse
    std::map<QString, detail::LinkState, detail::CaseLess> links;
    int savepointDepth = 0;
    int attachCounter = 0;
    // Server decimals read as the driver's text (Database::ReadDecimalsAsText).
    bool decimalsAsText = false;

    ~ConnectionImpl();
    std::shared_ptr<detail::OdbcConnection> OdbcFor(const QString& connectNoPrefix);
    void Exec(const char* sql);                    // internal statements without values
};

[[noreturn]] void ThrowSqlite(ConnectionImpl* c, int rc, const QString& sql = {});
sqlite3_stmt* PrepareRaw(ConnectionImpl* c, const QString& sql, const char** tail = nullptr,
                         const QByteArray* utf8 = nullptr);
void BindValue(sqlite3_stmt* s, int position, const Value& v);
Value ColumnValue(sqlite3_stmt* s, int column);
void LoadLinks(ConnectionImpl* c);
void MakeLinkLive(ConnectionImpl* c, detail::LinkState& link);
void DropLinkObjects(ConnectionImpl* c, detail::LinkState& link);
QString StripOdbcPrefix(const QString& connect);

} // namespace kdb
