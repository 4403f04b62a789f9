#include "kdb/internal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <cmath>
#include <mutex>

namespace kdb {

using detail::Error;

// --- errors ---------------------------------------------------------------------------------

QString detail::CatalogueText(int32_t number, const QString& arg)
{
    QString text = ErrorCatalogue::Description(number);
    text.replace(u'|', arg);
    return text;
}

KvError detail::Error(int32_t number, const QString& arg)
{
    return KvError(number, {}, CatalogueText(number, arg));
}

namespace {

QString afterColon(const QString& msg)
{
    const qsizetype colon = msg.indexOf(QStringLiteral(": "));
    return colon < 0 ? QString() : msg.mid(colon + 2).trimmed();
}

QString unquoted(QString name)
{
    if (name.size() >= 2 && (name.front() == u'"' || name.front() == u'\'' || name.front() == u'['))
        name = name.mid(1, name.size() - 2);
    for (const char* schema : {"main.", "temp.", "kdb_src_"}) {
        if (name.startsWith(QLatin1String(schema))) {
            const qsizetype dot = name.indexOf(u'.');
            if (dot > 0)
                name = name.mid(dot + 1);
            break;
        }
    }
    return name;
}

} // namespace

void ThrowSqlite(ConnectionImpl* c, int rc, const QString& sql)
{
    const int ext = c && c->db ? sqlite3_extended_errcode(c->db) : rc;
    const QString msg = c && c->db ? QString::fromUtf8(sqlite3_errmsg(c->db))
                                   : QString::fromUtf8(sqlite3_errstr(rc));
    const QString name = c ? c->name : QString();
    switch (ext) {
    case SQLITE_CONSTRAINT_PRIMARYKEY:
    case SQLITE_CONSTRAINT_UNIQUE:
    case SQLITE_CONSTRAINT_ROWID:
        throw Error(3022);
    case SQLITE_CONSTRAINT_NOTNULL: {
        QString col = afterColon(msg);
        col = col.mid(col.lastIndexOf(u'.') + 1);
        throw Error(3314, col);
    }
    case SQLITE_CONSTRAINT_CHECK:
        if (msg.contains(QStringLiteral("kdb_size")))
            throw Error(3163);
        break;
    default:
        break;
    }
    switch (rc & 0xff) {
    case SQLITE_READONLY:
        throw Error(3027);
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        throw Error(3050);
    case SQLITE_NOTADB:
        throw Error(3343, name);
    case SQLITE_CORRUPT:
        throw Error(3049, name);
    case SQLITE_FULL:
        throw Error(3026);
    case SQLITE_CANTOPEN:
        throw Error(3024, name);
    case SQLITE_MISMATCH:
        throw Error(3421);
    case SQLITE_TOOBIG:
        throw Error(3163);
    case SQLITE_NOMEM:
        throw KvError(KvErr::OutOfMemory);
    default:
        break;
    }
    if (msg.startsWith(QStringLiteral("ODBC--")))
        throw KvError(msg.startsWith(QStringLiteral("ODBC--connection")) ? 3151 : 3146, {}, msg);
    if (msg.startsWith(QStringLiteral("no such table: ")))
        throw Error(3078, unquoted(afterColon(msg)));
    // A source table that an ODBC virtual table could not reach keeps its own number.
    if (msg.startsWith(detail::CatalogueText(3078, {}).section(u'\'', 0, 0)))
        throw KvError(3078, {}, msg);
    if (msg.startsWith(QStringLiteral("table ")) && msg.endsWith(QStringLiteral(" already exists"))) {
        QString t = msg.mid(6, msg.size() - 6 - 15).trimmed();
        throw Error(3010, unquoted(t));
    }
    if (msg.startsWith(QStringLiteral("no such column: ")))
        throw KvError(3061, {}, detail::CatalogueText(3061, QStringLiteral("1")) + u' '
                                    + QStringLiteral("(") + afterColon(msg) + u')');
    if (msg.contains(QStringLiteral("syntax error")) || msg.startsWith(QStringLiteral("incomplete input")))
        throw KvError(3075, {}, detail::CatalogueText(3075, sql.trimmed()) + u' ' + msg);
    throw KvError(3000, {}, msg);
}

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

bool fileHasSqliteHeader(const QString& path, bool* empty = nullptr)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = f.read(16);
    if (empty)
        *empty = head.isEmpty();
    return head == QByteArray("SQLite format 3\0", 16);
}

} // namespace

bool IsDatabaseFile(const QString& path)
{
    return fileHasSqliteHeader(path);
}

bool IsOdbcConnect(const QString& nameOrConnect)
{
    return nameOrConnect.contains(QStringLiteral("ODBC;"), Qt::CaseSensitive);
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

// --- binding and values ----------------------------------------------------------------------

void BindValue(sqlite3_stmt* s, int position, const Value& v)
{
    switch (v.type()) {
    case Value::Type::Null:
        sqlite3_bind_null(s, position);
        break;
    case Value::Type::Integer:
        sqlite3_bind_int64(s, position, *v.ToInt());
        break;
    case Value::Type::Double:
        sqlite3_bind_double(s, position, *v.ToDouble());
        break;
    case Value::Type::Text: {
        const QByteArray u = v.toText().toUtf8();
        sqlite3_bind_text(s, position, u.constData(), int(u.size()), SQLITE_TRANSIENT);
        break;
    }
    case Value::Type::Bytes: {
        const QByteArray b = v.toBytes();
        sqlite3_bind_blob(s, position, b.constData(), int(b.size()), SQLITE_TRANSIENT);
        break;
    }
    }
}

Value ColumnValue(sqlite3_stmt* s, int column)
{
    switch (sqlite3_column_type(s, column)) {
    case SQLITE_INTEGER:
        return Value(static_cast<long long>(sqlite3_column_int64(s, column)));
    case SQLITE_FLOAT:
        return Value(sqlite3_column_double(s, column));
    case SQLITE_TEXT: {
        const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(s, column));
        return Value(QString::fromUtf8(t, sqlite3_column_bytes(s, column)));
    }
    case SQLITE_BLOB: {
        const auto* b = static_cast<const char*>(sqlite3_column_blob(s, column));
        return Value(QByteArray(b, sqlite3_column_bytes(s, column)));
    }
    default:
        return Value();
    }
}

// --- statements ------------------------------------------------------------------------------

namespace {

// A table that a failed prepare names, when the layer can make it: an ODBC table of an ODBC
// database (made on first use as a virtual table) or a link that could not be made live.
bool makeMissingTable(ConnectionImpl* c, const QString& missing)
{
    const auto link = c->links.find(missing);
    if (link != c->links.end() && !link->second.live) {
        if (link->second.errorNumber != 0)
            throw KvError(link->second.errorNumber, {}, link->second.errorText);
        return false;
    }
    if (!c->odbc || !c->odbcConn)
        return false;
    const QString actual = c->odbcConn->FindTable(missing);
    if (actual.isEmpty())
        return false;
    const auto lit = [](const QString& s) {
        QString q = s;
        q.replace(u'\'', QStringLiteral("''"));
        return u'\'' + q + u'\'';
    };
    const QString sql = QStringLiteral("CREATE VIRTUAL TABLE temp.%1 USING %2(%3, %4)")
                            .arg(QuoteIdent(missing), QString::fromLatin1(detail::kOdbcModule),
                                 lit(StripOdbcPrefix(c->connect)), lit(actual));
    c->Exec(sql.toUtf8().constData());
    return true;
}

} // namespace

sqlite3_stmt* PrepareRaw(ConnectionImpl* c, const QString& sql, const char** tail,
                         const QByteArray* utf8)
{
    const QByteArray own = utf8 ? QByteArray() : sql.toUtf8();
    const QByteArray& text = utf8 ? *utf8 : own;
    for (int attempt = 0; attempt < 16; ++attempt) {
        sqlite3_stmt* stmt = nullptr;
        const char* t = nullptr;
        const int rc = sqlite3_prepare_v3(c->db, text.constData(), int(text.size()),
                                          SQLITE_PREPARE_PERSISTENT, &stmt, &t);
        if (rc == SQLITE_OK) {
            if (tail)
                *tail = t;
            return stmt;
        }
        const QString msg = QString::fromUtf8(sqlite3_errmsg(c->db));
        if (msg.startsWith(QStringLiteral("no such table: "))) {
            const QString missing = unquoted(afterColon(msg));
            if (makeMissingTable(c, missing))
                continue;
        }
        ThrowSqlite(c, rc, sql);
    }
    ThrowSqlite(c, SQLITE_ERROR, sql);
}

Statement::Statement() = default;

Statement::Statement(Statement&& o) noexcept
    : m_conn(std::move(o.m_conn)), m_stmt(o.m_stmt), m_sql(std::move(o.m_sql))
{
    o.m_stmt = nullptr;
}

Statement& Statement::operator=(Statement&& o) noexcept
{
    if (this != &o) {
        this->~Statement();
        new (this) Statement(std::move(o));
    }
    return *this;
}

Statement::~Statement()
{
    if (!m_stmt)
        return;
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
    if (m_conn && m_conn->db && m_conn->idle.size() < 64)
        m_conn->idle.emplace(m_sql, m_stmt);
    else
        sqlite3_finalize(m_stmt);
    m_stmt = nullptr;
}

Statement Database::Prepare(const QString& sql)
{
    Require();
    Statement s;
    s.m_conn = m_conn;
    s.m_sql = sql;
    auto it = m_conn->idle.find(sql);
    if (it != m_conn->idle.end()) {
        s.m_stmt = it->second;
        m_conn->idle.erase(it);
        return s;
    }
    const char* tail = nullptr;
    const QByteArray utf8 = sql.toUtf8();
    s.m_stmt = PrepareRaw(m_conn.get(), sql, &tail, &utf8);
    if (!s.m_stmt)
        throw KvError(3000, {}, QStringLiteral("Empty statement."));
    return s;
}

void Statement::Bind(int position, const Value& v)
{
    BindValue(m_stmt, position, v);
}

void Statement::Bind(int position, double d)
{
    sqlite3_bind_double(m_stmt, position, d);
}

void Statement::Bind(int position, int64_t i)
{
    sqlite3_bind_int64(m_stmt, position, i);
}

void Statement::BindNull(int position)
{
    sqlite3_bind_null(m_stmt, position);
}

bool Statement::Step()
{
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    sqlite3_reset(m_stmt);
    ThrowSqlite(m_conn.get(), rc, m_sql);
}

void Statement::Reset()
{
    sqlite3_reset(m_stmt);
}

int Statement::ColumnCount() const
{
    return sqlite3_column_count(m_stmt);
}

QString Statement::ColumnName(int column) const
{
    return QString::fromUtf8(sqlite3_column_name(m_stmt, column));
}

namespace {

int64_t runValues(Statement& s, const Value* values, qsizetype count)
{
    for (qsizetype i = 0; i < count; ++i)
        BindValue(s.handle(), int(i + 1), values[i]);
    while (s.Step()) {
    }
    s.Reset();
    return sqlite3_changes64(sqlite3_db_handle(s.handle()));
}

} // namespace

int64_t Statement::Run(Params values)
{
    return runValues(*this, values.begin(), qsizetype(values.size()));
}

int64_t Statement::Run(const QList<Value>& values)
{
    return runValues(*this, values.constData(), values.size());
}

// --- reader ----------------------------------------------------------------------------------

Reader::Reader() = default;
Reader::Reader(Reader&&) noexcept = default;
Reader& Reader::operator=(Reader&&) noexcept = default;
Reader::~Reader() = default;

bool Reader::Next()
{
    if (m_end || !m_stmt.m_stmt)
        return false;
    m_started = true;
    if (!m_stmt.Step())
        m_end = true;
    return !m_end;
}

int64_t Reader::Skip(int64_t n)
{
    int64_t done = 0;
    while (done < n && Next())
        ++done;
    return done;
}

int Reader::ColumnCount() const
{
    return m_stmt.m_stmt ? m_stmt.ColumnCount() : 0;
}

QString Reader::ColumnName(int column) const
{
    return m_stmt.ColumnName(column);
}

int Reader::ColumnIndex(const QString& name) const
{
    const int n = ColumnCount();
    for (int i = 0; i < n; ++i) {
        if (ColumnName(i).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    // "Table.Column" and bare "Column" both find a column named either way.
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot > 0)
        return ColumnIndex(name.mid(dot + 1));
    return -1;
}

bool Reader::IsNull(int column) const
{
    return sqlite3_column_type(m_stmt.m_stmt, column) == SQLITE_NULL;
}

Value::Type Reader::Type(int column) const
{
    switch (sqlite3_column_type(m_stmt.m_stmt, column)) {
    case SQLITE_INTEGER:
        return Value::Type::Integer;
    case SQLITE_FLOAT:
        return Value::Type::Double;
    case SQLITE_TEXT:
        return Value::Type::Text;
    case SQLITE_BLOB:
        return Value::Type::Bytes;
    default:
        return Value::Type::Null;
    }
}

double Reader::Double(int column) const
{
    return sqlite3_column_double(m_stmt.m_stmt, column);
}

std::optional<double> Reader::ToDouble(int column) const
{
    // One call into the statement per number: reading whole tables, the calls cost more than
    // the values. The value is unprotected, which is sound while one thread uses a connection.
    sqlite3_value* v = sqlite3_column_value(m_stmt.m_stmt, column);
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
        return sqlite3_value_double(v);
    case SQLITE_TEXT:
        return ColumnValue(m_stmt.m_stmt, column).ToDouble();
    default:
        return std::nullopt;
    }
}

int64_t Reader::Int(int column) const
{
    return sqlite3_column_int64(m_stmt.m_stmt, column);
}

QString Reader::Text(int column) const
{
    const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt.m_stmt, column));
    return t ? QString::fromUtf8(t, sqlite3_column_bytes(m_stmt.m_stmt, column)) : QString();
}

QByteArray Reader::Bytes(int column) const
{
    return View(column).toByteArray();
}

QByteArrayView Reader::View(int column) const
{
    // The pointer first, then its length: the order sqlite3 asks for.
    const auto* b = static_cast<const char*>(sqlite3_column_blob(m_stmt.m_stmt, column));
    return b ? QByteArrayView(b, sqlite3_column_bytes(m_stmt.m_stmt, column)) : QByteArrayView();
}

Value Reader::Get(int column) const
{
    if (!m_started || m_end)
        throw Error(KvErr::NoCurrentRecord);
    if (column < 0 || column >= ColumnCount())
        throw Error(KvErr::ItemNotFound);
    return ColumnValue(m_stmt.m_stmt, column);
}

Value Reader::Get(const QString& name) const
{
    return Get(ColumnIndex(name));
}

Reader Database::Query(const QString& sql, Params values)
{
    return Query(sql, QList<Value>(values));
}

Reader Database::Query(const QString& sql, const QList<Value>& values)
{
    Reader r;
    r.m_stmt = Prepare(sql);
    int i = 1;
    for (const Value& v : values)
        BindValue(r.m_stmt.m_stmt, i++, v);
    return r;
}

// --- execute ---------------------------------------------------------------------------------

int64_t Database::Execute(const QString& sql, Params values)
{
    return Execute(sql, QList<Value>(values));
}

int64_t Database::Execute(const QString& sql, const QList<Value>& values)
{
    Require();
    const QByteArray utf8 = sql.toUtf8();
    const char* start = utf8.constData();
    const char* end = start + utf8.size();
    int next = 0;
    int64_t changes = 0;
    while (start < end) {
        const QByteArray rest(start, int(end - start));
        const char* tail = nullptr;
        sqlite3_stmt* stmt = PrepareRaw(m_conn.get(), sql, &tail, &rest);
        if (!stmt)
            break;   // only blanks or comments left
        const int count = sqlite3_bind_parameter_count(stmt);
        for (int p = 1; p <= count && next < values.size(); ++p)
            BindValue(stmt, p, values.at(next++));
        int rc;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        }
        if (rc != SQLITE_DONE) {
            const QString failed = QString::fromUtf8(sqlite3_sql(stmt));
            // keep the error text before finalize resets it
            try {
                ThrowSqlite(m_conn.get(), rc, failed);
            } catch (...) {
                sqlite3_finalize(stmt);
                throw;
            }
        }
        changes = sqlite3_changes64(m_conn->db);
        sqlite3_finalize(stmt);
        start += tail - rest.constData();
    }
    return changes;
}

Value Database::Scalar(const QString& sql, Params values)
{
    return Scalar(sql, QList<Value>(values));
}

Value Database::Scalar(const QString& sql, const QList<Value>& values)
{
    Reader r = Query(sql, values);
    if (!r.Next() || r.ColumnCount() < 1)
        return Value();
    return r.Get(0);
}

// --- snapshot --------------------------------------------------------------------------------

Snapshot Database::OpenSnapshot(const QString& sql, Params values)
{
    return OpenSnapshot(sql, QList<Value>(values));
}

Snapshot Database::OpenSnapshot(const QString& sql, const QList<Value>& values)
{
    Reader r = Query(sql, values);
    Snapshot s;
    const int n = r.ColumnCount();
    for (int i = 0; i < n; ++i)
        s.m_columns << r.ColumnName(i);
    while (r.Next()) {
        QList<Value> row;
        row.reserve(n);
        for (int i = 0; i < n; ++i)
            row << ColumnValue(r.m_stmt.m_stmt, i);
        s.m_rows << std::move(row);
    }
    s.m_pos = 0;
    return s;
}

int Snapshot::ColumnIndex(const QString& name) const
{
    for (int i = 0; i < m_columns.size(); ++i) {
        if (m_columns.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

namespace {

bool jetEqual(const Value& a, const Value& b)
{
    if (a.isNull() || b.isNull())
        return false;
    if (a.isNumber() || b.isNumber()) {
        const auto x = a.ToDouble();
        const auto y = b.ToDouble();
        return x && y && *x == *y;
    }
    if (a.type() == Value::Type::Bytes || b.type() == Value::Type::Bytes)
        return a.toBytes() == b.toBytes();
    return a.toText().compare(b.toText(), Qt::CaseInsensitive) == 0;
}

} // namespace

bool Snapshot::FindFirst(const QString& column, const Value& value)
{
    const int c = ColumnIndex(column);
    if (c < 0)
        throw Error(KvErr::ItemNotFound);
    for (qsizetype i = 0; i < m_rows.size(); ++i) {
        if (jetEqual(m_rows.at(i).at(c), value)) {
            m_pos = i;
            m_noMatch = false;
            return true;
        }
    }
    m_noMatch = true;
    return false;
}

bool Snapshot::FindFirst(const std::function<bool(const Snapshot&)>& criteria)
{
    const qsizetype keep = m_pos;
    for (qsizetype i = 0; i < m_rows.size(); ++i) {
        m_pos = i;
        if (criteria(*this)) {
            m_noMatch = false;
            return true;
        }
    }
    m_pos = keep;
    m_noMatch = true;
    return false;
}

Value Snapshot::Get(int column) const
{
    if (m_pos < 0 || m_pos >= m_rows.size())
        throw Error(KvErr::NoCurrentRecord);
    if (column < 0 || column >= m_columns.size())
        throw Error(KvErr::ItemNotFound);
    return m_rows.at(m_pos).at(column);
}

Value Snapshot::Get(const QString& column) const
{
    return Get(ColumnIndex(column));
}

// --- rows by key -----------------------------------------------------------------------------

void Database::Insert(const QString& table, const Assignments& values)
{
    QStringList names;
    QStringList marks;
    QList<Value> bound;
    for (const auto& [name, v] : values) {
        names << QuoteIdent(name);
        marks << QStringLiteral("?");
        bound << v;
    }
    const QString sql = values.isEmpty()
                            ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(QuoteIdent(table))
                            : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                  .arg(QuoteIdent(table), names.join(u','), marks.join(u','));
    Prepare(sql).Run(bound);
}

int64_t Database::Update(const QString& table, const Assignments& values, const QString& keyColumn,
                         const Value& key)
{
    if (values.isEmpty())
        return 0;
    QStringList sets;
    QList<Value> bound;
    for (const auto& [name, v] : values) {
        sets << QuoteIdent(name) + QStringLiteral(" = ?");
        bound << v;
    }
    bound << key;
    const QString sql = QStringLiteral("UPDATE %1 SET %2 WHERE %3 = ?")
                            .arg(QuoteIdent(table), sets.join(u','), QuoteIdent(keyColumn));
    return Prepare(sql).Run(bound);
}

int64_t Database::Delete(const QString& table, const QString& keyColumn, const Value& key)
{
    const QString sql = QStringLiteral("DELETE FROM %1 WHERE %2 = ?")
                            .arg(QuoteIdent(table), QuoteIdent(keyColumn));
    return Prepare(sql).Run({key});
}

void Database::Upsert(const QString& table, const Assignments& values, const QString& keyColumn,
                      const Value& key)
{
    Transaction t(*this);
    if (Update(table, values, keyColumn, key) == 0) {
        Assignments all = values;
        bool hasKey = false;
        for (const auto& a : values)
            hasKey = hasKey || a.first.compare(keyColumn, Qt::CaseInsensitive) == 0;
        if (!hasKey)
            all.prepend({keyColumn, key});
        Insert(table, all);
    }
    t.Commit();
}

// --- blobs -----------------------------------------------------------------------------------

Database::BlobWriter::BlobWriter(Database& db, QString table, QString column, QString keyColumn,
                                 Value key)
    : m_db(&db), m_table(std::move(table)), m_column(std::move(column)),
      m_keyColumn(std::move(keyColumn)), m_key(std::move(key))
{
}

void Database::BlobWriter::AppendChunk(const QByteArray& chunk)
{
    m_data.append(chunk);
}

void Database::BlobWriter::Finish()
{
    if (m_db->Update(m_table, {{m_column, Value(m_data)}}, m_keyColumn, m_key) == 0)
        throw Error(KvErr::NoCurrentRecord);
}

QByteArray Database::GetChunk(const Value& longValue, int64_t offset, int64_t length)
{
    const QByteArray all = longValue.toBytes();
    if (offset < 0 || offset >= all.size() || length <= 0)
        return {};
    return all.mid(offset, length);
}

// --- transactions ----------------------------------------------------------------------------

Transaction::Transaction(Database& db)
{
    db.Require();
    m_conn = db.m_conn;
    m_savepoint = QStringLiteral("kdb_tx_%1").arg(m_conn->savepointDepth + 1);
    m_conn->Exec(("SAVEPOINT " + m_savepoint).toUtf8().constData());
    ++m_conn->savepointDepth;
}

Transaction::~Transaction()
{
    if (!m_done) {
        try {
            Rollback();
        } catch (...) {
        }
    }
}

void Transaction::Commit()
{
    if (m_done)
        return;
    m_conn->Exec(("RELEASE " + m_savepoint).toUtf8().constData());
    m_done = true;
    --m_conn->savepointDepth;
}

void Transaction::Rollback()
{
    if (m_done)
        return;
    m_done = true;
    --m_conn->savepointDepth;
    char* err = nullptr;
    sqlite3_exec(m_conn->db, ("ROLLBACK TO " + m_savepoint + "; RELEASE " + m_savepoint).toUtf8().constData(),
                 nullptr, nullptr, &err);
    sqlite3_free(err);
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
