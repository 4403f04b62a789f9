// The connection behind a Database handle: opening files and ODBC sources, the in-process
// share/exclusive registry, and the SQL functions every connection has.
#include "kdb/internal.h"

#include "core/pathutils.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <cmath>
#include <mutex>
#include <unistd.h>

namespace kdb {

using detail::Error;

// --- in-process share/exclusive registry ---------------------------------------------------

namespace {

struct RegEntry {
    int count = 0;
    bool exclusive = false;
};

std::mutex& registryMutex()
{
    static std::mutex m;
    return m;
}

std::map<QString, RegEntry>& registry()
{
    static std::map<QString, RegEntry> r;
    return r;
}

QString registryKeyFor(const QString& path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

void registerOpen(const QString& key, bool exclusive, const QString& path)
{
    std::lock_guard lock(registryMutex());
    RegEntry& e = registry()[key];
    if (e.count > 0 && (exclusive || e.exclusive))
        throw Error(3045, path);
    ++e.count;
    e.exclusive = exclusive;
}

void unregisterOpen(const QString& key)
{
    if (key.isEmpty())
        return;
    std::lock_guard lock(registryMutex());
    auto it = registry().find(key);
    if (it == registry().end())
        return;
    if (--it->second.count <= 0)
        registry().erase(it);
}

// --- SQL functions of every connection -------------------------------------------------------

void fnDateSerial(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    switch (sqlite3_value_type(argv[0])) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
        sqlite3_result_double(ctx, sqlite3_value_double(argv[0]));
        return;
    case SQLITE_TEXT: {
        const auto* t = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
        const auto d = DateSerial(Value(QString::fromUtf8(t, sqlite3_value_bytes(argv[0]))));
        if (d)
            sqlite3_result_double(ctx, *d);
        else
            sqlite3_result_null(ctx);
        return;
    }
    default:
        sqlite3_result_null(ctx);
    }
}

struct StDevState {
    int64_t n;
    double mean;
    double m2;
};

void stdevStep(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    const int t = sqlite3_value_numeric_type(argv[0]);
    if (t != SQLITE_INTEGER && t != SQLITE_FLOAT)
        return;
    auto* s = static_cast<StDevState*>(sqlite3_aggregate_context(ctx, sizeof(StDevState)));
    if (!s)
        return;
    const double x = sqlite3_value_double(argv[0]);
    ++s->n;
    const double delta = x - s->mean;
    s->mean += delta / double(s->n);
    s->m2 += delta * (x - s->mean);
}

void stdevFinalSample(sqlite3_context* ctx)
{
    auto* s = static_cast<StDevState*>(sqlite3_aggregate_context(ctx, 0));
    if (!s || s->n < 2)
        sqlite3_result_null(ctx);
    else
        sqlite3_result_double(ctx, std::sqrt(s->m2 / double(s->n - 1)));
}

void stdevFinalPopulation(sqlite3_context* ctx)
{
    auto* s = static_cast<StDevState*>(sqlite3_aggregate_context(ctx, 0));
    if (!s || s->n < 1)
        sqlite3_result_null(ctx);
    else
        sqlite3_result_double(ctx, std::sqrt(s->m2 / double(s->n)));
}

void fnPow(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    sqlite3_result_double(ctx, std::pow(sqlite3_value_double(argv[0]), sqlite3_value_double(argv[1])));
}

// Jet's CStr: numbers in their shortest text form (2.0 -> "2"), text as it is.
void fnCStr(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    const Value v = [&]() -> Value {
        switch (sqlite3_value_type(argv[0])) {
        case SQLITE_INTEGER: return Value(static_cast<long long>(sqlite3_value_int64(argv[0])));
        case SQLITE_FLOAT: return Value(sqlite3_value_double(argv[0]));
        case SQLITE_NULL: return Value();
        default:
            return Value(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(argv[0])),
                                           sqlite3_value_bytes(argv[0])));
        }
    }();
    if (v.isNull()) {
        sqlite3_result_null(ctx);
        return;
    }
    const QByteArray u = v.toText().toUtf8();
    sqlite3_result_text(ctx, u.constData(), int(u.size()), SQLITE_TRANSIENT);
}

void registerFunctions(sqlite3* db)
{
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    sqlite3_create_function_v2(db, "DateSerial", 1, flags, nullptr, fnDateSerial, nullptr, nullptr,
                               nullptr);
    sqlite3_create_function_v2(db, "kdb_pow", 2, flags, nullptr, fnPow, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "CStr", 1, flags, nullptr, fnCStr, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "StDev", 1, flags, nullptr, nullptr, stdevStep,
                               stdevFinalSample, nullptr);
    sqlite3_create_function_v2(db, "StDevP", 1, flags, nullptr, nullptr, stdevStep,
                               stdevFinalPopulation, nullptr);
}

} // namespace

QString detail::NotAFileReason(const QString& path)
{
    const QString opening = QStringLiteral("Cannot open the file '%1'.  ").arg(QDir::toNativeSeparators(path));
    if (const QString why = Utilities::NotAFileReason(path); !why.isEmpty())
        return opening + why + u'.';
    for (const auto& [suffix, kind] : {std::pair{"-journal", "journal"}, std::pair{"-wal", "log"}}) {
        const QString companion = path + QLatin1String(suffix);
        if (const QString why = Utilities::NotAFileReason(companion); !why.isEmpty())
            return opening + QStringLiteral("The %1 '%2' beside it: ").arg(QLatin1String(kind), QFileInfo(companion).fileName())
                   + why + u'.';
    }
    return {};
}

namespace {

// Why the log ("-wal") beside a file must not be read with it; empty when it may. The database
// reads any log beside a file as part of it and writes it in, whatever the file's header says;
// a file in the journal mode never keeps one (the program's files, and every file until it is
// switched to the log mode), so a log beside such a file came from another file.
QString foreignLogReason(const QString& path)
{
    const QString log = path + QStringLiteral("-wal");
    if (QFileInfo(log).size() == 0)
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray head = file.read(20);
    // Bytes 18 and 19 of the header: 1 for the journal mode, 2 for the log mode.
    if (head.size() < 20 || head.at(18) != 1 || head.at(19) != 1)
        return {};
    return QStringLiteral("Cannot open the file '%1'.  The log '%2' beside it does not belong to it: the file keeps "
                          "no log, and the log's pages would be written into it.  Move the log elsewhere, then open "
                          "the file again.")
        .arg(QDir::toNativeSeparators(path), QFileInfo(log).fileName());
}

bool fileHasSqliteHeader(const QString& path, bool* empty = nullptr)
{
    if (!detail::NotAFileReason(path).isEmpty())
        return false;
    QFile f(path);
    try {
        Utilities::OpenForReading(f);
    } catch (...) {
        return false;
    }
    const QByteArray head = f.read(16);
    if (empty)
        *empty = head.isEmpty();
    return head == QByteArray("SQLite format 3\0", 16);
}

} // namespace

void detail::RecoverInterruptedWrite(const QString& path)
{
    const QString journal = path + QStringLiteral("-journal");
    const bool logThere = QFileInfo::exists(path + QStringLiteral("-wal"));
    if (!QFileInfo::exists(journal) && !logThere)
        return;
    // The copy and the replacement recover a file before any open of theirs looks at it.
    if (const QString why = detail::NotAFileReason(path); !why.isEmpty())
        throw KvError(KvErr::CannotOpenFile, {}, why);
    if (const QString why = foreignLogReason(path); !why.isEmpty())
        throw KvError(KvErr::CannotOpenFile, {}, why);
    // A file in the log mode reads its own log as part of it, on every open.
    if (!QFileInfo::exists(journal))
        return;
    const QString folder = QFileInfo(path).absolutePath();
    const bool fileWritable = ::access(QFile::encodeName(path).constData(), W_OK) == 0;
    const bool folderWritable = ::access(QFile::encodeName(folder).constData(), W_OK) == 0;
    // A journal of a writer still at work is not hot while that writer holds its lock: the
    // reads below then leave it alone. Where the journal could not be removed after its
    // playback, the file would be left undone beside a journal that still claims it: a reader
    // that cannot write only asks whether the journal is hot, and the file stays as it is.
    const bool mayRecover = fileWritable && folderWritable;
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db,
                             (mayRecover ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY) | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_extended_result_codes(db, 1);
        sqlite3_busy_timeout(db, 300);
        rc = sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    }
    const QString failure = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc));
    sqlite3_close_v2(db);
    if (rc == SQLITE_OK && mayRecover && !QFileInfo::exists(journal)) {
        // Played back: the journal's removal must last, or a power cut brings it back and the
        // file's next reader undoes the change once more, over whatever came after.
        SyncFile(path);
        SyncFolder(folder);
    }
    const int primary = rc & 0xff;
    // A writer still at work holds the file: neither its journal nor the file is touched.
    if (primary == SQLITE_BUSY)
        throw FileInUseError(path);
    if (rc == SQLITE_OK || (primary != SQLITE_READONLY && primary != SQLITE_IOERR && primary != SQLITE_CANTOPEN))
        return;
    QString reason;
    if (!fileWritable)
        reason = QStringLiteral("the file itself cannot be written");
    else if (!folderWritable)
        reason = QStringLiteral("its folder '%1' cannot be written").arg(QDir::toNativeSeparators(folder));
    else
        reason = QStringLiteral("that failed (%1)").arg(failure);
    throw KvError(3051, {},
                  QStringLiteral("The file '%1' was being changed when the program writing it ended. It is whole, "
                                 "but its unfinished change must first be undone from the file '%2' beside it, "
                                 "and %3. Make the file and its folder writable, then open it again.")
                      .arg(QDir::toNativeSeparators(path), QFileInfo(journal).fileName(), reason));
}

KvError FileInUseError(const QString& path)
{
    return KvError(KvErr::FileInUse, {},
                   detail::CatalogueText(KvErr::FileInUse, path)
                       + QStringLiteral("  Another program is writing it: try again when it has finished."));
}

bool IsDatabaseFile(const QString& path)
{
    return fileHasSqliteHeader(path);
}

QString StripOdbcPrefix(const QString& connect)
{
    const qsizetype at = connect.indexOf(QStringLiteral("ODBC;"));
    return at < 0 ? connect : connect.mid(at + 5);
}

QString QuoteIdent(const QString& name)
{
    QString q = name;
    q.replace(u'"', QStringLiteral("\"\""));
    return u'"' + q + u'"';
}

// --- connection ----------------------------------------------------------------------------

namespace {
DataSourceChooser& chooserSlot()
{
    static DataSourceChooser c;
    return c;
}
} // namespace


ConnectionImpl::~ConnectionImpl()
{
    for (auto& [sql, stmt] : idle)
        sqlite3_finalize(stmt);
    idle.clear();
    if (db)
        sqlite3_close_v2(db);
    db = nullptr;
    odbcByConnect.clear();
    odbcConn.reset();
    unregisterOpen(registryKey);
}

void ConnectionImpl::Exec(const char* sql)
{
    char* err = nullptr;
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &err);
    sqlite3_free(err);
    if (rc != SQLITE_OK)
        ThrowSqlite(this, rc, QString::fromUtf8(sql));
}

std::shared_ptr<detail::OdbcConnection> ConnectionImpl::OdbcFor(const QString& connectNoPrefix)
{
    auto it = odbcByConnect.find(connectNoPrefix);
    if (it != odbcByConnect.end())
        return it->second;
    auto c = detail::OdbcConnection::Shared(connectNoPrefix);
    odbcByConnect[connectNoPrefix] = c;
    return c;
}

namespace {

// A program killed while it began a write leaves a journal that holds nothing to play back;
// the database ignores it and removes it only at its next write. Writing the header's own
// value back and rolling that back has the database remove it now. Hot journals were played
// back by the read before; a journal of a writer that is still at work keeps its lock, and
// then this does nothing.
void clearStaleJournal(ConnectionImpl* c, const QString& path)
{
    if (!QFileInfo::exists(path + QStringLiteral("-journal")))
        return;
    try {
        sqlite3_stmt* st = nullptr;
        int64_t version = 0;
        if (sqlite3_prepare_v2(c->db, "PRAGMA user_version", -1, &st, nullptr) == SQLITE_OK
            && sqlite3_step(st) == SQLITE_ROW)
            version = sqlite3_column_int64(st, 0);
        sqlite3_finalize(st);
        c->Exec("BEGIN IMMEDIATE");
        try {
            c->Exec(QStringLiteral("PRAGMA user_version = %1").arg(version).toUtf8().constData());
        } catch (...) {
        }
        c->Exec("ROLLBACK");
    } catch (...) {
        sqlite3_exec(c->db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
}

std::shared_ptr<ConnectionImpl> openSqlite(const QString& path, bool exclusive, bool readOnly,
                                           bool create)
{
    auto c = std::make_shared<ConnectionImpl>();
    c->name = path;
    c->readOnly = readOnly;
    c->exclusive = exclusive;
    const QString key = registryKeyFor(path);
    registerOpen(key, exclusive, path);
    c->registryKey = key;

    // A connection that may write recovers the file itself, unless the file cannot be written.
    if (!create)
        detail::RecoverInterruptedWrite(path);
    int flags = SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX;
    flags |= readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    if (create)
        flags |= SQLITE_OPEN_CREATE;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &c->db, flags, nullptr);
    if (rc != SQLITE_OK) {
        if ((rc & 0xff) == SQLITE_CANTOPEN && !create && !readOnly && QFileInfo(path).exists()
            && !QFileInfo(path).isWritable())
            throw Error(3050);
        ThrowSqlite(c.get(), rc);
    }
    sqlite3_extended_result_codes(c->db, 1);
    sqlite3_busy_timeout(c->db, 300);
    // A commit reported as done must outlive a power cut: in the journal mode every stored file
    // keeps (DELETE), the commit is the journal's removal, which only EXTRA makes durable.
    if (!readOnly)
        c->Exec("PRAGMA synchronous = EXTRA");
    registerFunctions(c->db);
    detail::RegisterOdbcModule(c->db, c.get());
    if (create)
        c->Exec("PRAGMA application_id = 1263944770");   // writes the header at once
    // The header check happened before; this read proves the schema is readable and takes the
    // lock that an exclusive open keeps.
    if (exclusive)
        c->Exec("PRAGMA locking_mode = EXCLUSIVE");
    c->Exec("SELECT count(*) FROM sqlite_master");
    if (!readOnly && !create)
        clearStaleJournal(c.get(), path);
    if (exclusive && !readOnly)
        c->Exec("BEGIN EXCLUSIVE; COMMIT");
    return c;
}

} // namespace

Database::Database() = default;
Database::~Database() = default;
Database::Database(const Database&) = default;
Database& Database::operator=(const Database&) = default;
Database::Database(Database&&) noexcept = default;
Database& Database::operator=(Database&&) noexcept = default;
Database::Database(std::shared_ptr<ConnectionImpl> c) : m_conn(std::move(c)) {}

Database Database::Create(const QString& path)
{
    if (path.trimmed().isEmpty())
        throw Error(KvErr::BadFileName);
    const QFileInfo fi(path);
    if (fi.exists())
        throw Error(3204);
    if (!fi.absoluteDir().exists())
        throw Error(3044, QDir::toNativeSeparators(fi.absolutePath()));
    Database db(openSqlite(path, false, false, true));
    // A file reported as made is in its folder for good.
    detail::SyncFolder(fi.absolutePath());
    return db;
}

Database Database::Open(const QString& path, bool exclusive, bool readOnly)
{
    return Open(path, OpenOptions{exclusive, readOnly});
}

Database Database::Open(const QString& path, OpenOptions options)
{
    if (path.trimmed().isEmpty())
        throw Error(KvErr::BadFileName);
    const QFileInfo fi(path);
    if (!fi.exists() || fi.isDir()) {
        if (!fi.absoluteDir().exists())
            throw Error(3044, fi.absolutePath());
        throw Error(3024, path);
    }
    if (const QString why = detail::NotAFileReason(path); !why.isEmpty())
        throw KvError(KvErr::CannotOpenFile, {}, why);
    bool empty = false;
    if (!fileHasSqliteHeader(path, &empty)) {
        if (!QFileInfo(path).isReadable())
            throw Error(3051, path);
        throw Error(3343, path);
    }
    Database db(openSqlite(path, options.exclusive, options.readOnly, false));
    LoadLinks(db.m_conn.get());
    return db;
}

Database Database::OpenOdbc(const QString& connectText, bool readOnly)
{
    QString connect = connectText.startsWith(QStringLiteral("ODBC;")) ? connectText.mid(5)
                                                                      : StripOdbcPrefix(connectText);
    if (connect.trimmed().isEmpty()) {
        const DataSourceChooser& chooser = chooserSlot();
        std::optional<QString> chosen;
        if (chooser)
            chosen = chooser(DataSources());
        if (!chosen || chosen->isEmpty())
            throw Error(KvErr::OperationCancelled);
        connect = QStringLiteral("DSN=") + *chosen;
        // A source that keeps its own credentials needs none in the connect text, which the
        // project stores: it then holds the source's name alone.
        const QString dsn = ConnectValue(connect, QStringLiteral("DSN")).value_or(QString());
        if (HoldsPassword(connect) && detail::DataSourceKeepsPassword(dsn))
            connect = QStringLiteral("DSN=") + dsn;
    }
    auto c = std::make_shared<ConnectionImpl>();
    c->odbc = true;
    c->readOnly = readOnly;
    c->connect = QStringLiteral("ODBC;") + connect;
    c->name = c->connect;
    c->odbcConn = c->OdbcFor(connect);
    const int rc = sqlite3_open_v2(":memory:", &c->db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX,
                                   nullptr);
    if (rc != SQLITE_OK)
        ThrowSqlite(c.get(), rc);
    sqlite3_extended_result_codes(c->db, 1);
    registerFunctions(c->db);
    detail::RegisterOdbcModule(c->db, c.get());
    return Database(std::move(c));
}

Database Database::OpenSource(const QString& nameOrConnect, bool readOnly)
{
    if (IsOdbcConnect(nameOrConnect))
        return OpenOdbc(nameOrConnect, readOnly);
    return Open(nameOrConnect, false, readOnly);
}

void Database::Close()
{
    m_conn.reset();
}

void Database::Require() const
{
    if (!m_conn)
        throw KvError(KvErr::ObjectNotSet);
}

QString Database::Name() const
{
    return m_conn ? m_conn->name : QString();
}

QString Database::Connect() const
{
    return m_conn ? m_conn->connect : QString();
}

bool Database::IsOdbc() const
{
    return m_conn && m_conn->odbc;
}

bool Database::ReadOnly() const
{
    return m_conn && m_conn->readOnly;
}

sqlite3* Database::handle() const
{
    return m_conn ? m_conn->db : nullptr;
}

int64_t Database::LastInsertId() const
{
    Require();
    return sqlite3_last_insert_rowid(m_conn->db);
}

// --- data sources ----------------------------------------------------------------------------

DataSourceChooser SetDataSourceChooser(DataSourceChooser chooser)
{
    DataSourceChooser old = std::move(chooserSlot());
    chooserSlot() = std::move(chooser);
    return old;
}

QList<DataSourceEntry> DataSources()
{
    return detail::ListDataSources();
}

} // namespace kdb
