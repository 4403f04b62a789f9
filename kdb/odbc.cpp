// ODBC sources through unixODBC: the connection with its catalogue calls, and the attributes of
// a connect string. The virtual table over a source's table is in odbctable.cpp.
#include "kdb/internal.h"

#include <odbcinst.h>
#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace kdb::detail {

namespace {

SQLHENV env()
{
    static SQLHENV handle = [] {
        SQLHENV h = SQL_NULL_HENV;
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &h)))
            return SQLHENV(SQL_NULL_HENV);
        SQLSetEnvAttr(h, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        return h;
    }();
    if (handle == SQL_NULL_HENV)
        throw Error(3146, {});
    return handle;
}

} // namespace

QString OdbcDiagnostic(int handleType, void* handle, bool* linkLost)
{
    const auto type = SQLSMALLINT(handleType);
    QStringList parts;
    for (SQLSMALLINT rec = 1; rec <= 4; ++rec) {
        SQLCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLCHAR text[1024] = {};
        SQLSMALLINT len = 0;
        if (!SQL_SUCCEEDED(SQLGetDiagRec(type, handle, rec, state, &native, text, sizeof text, &len)))
            break;
        // Class 08: the connection is gone (server stopped, network down).
        if (linkLost && state[0] == '0' && state[1] == '8')
            *linkLost = true;
        parts << QString::fromUtf8(reinterpret_cast<const char*>(text));
    }
    return parts.join(u' ');
}

namespace {

// A statement handle freed at scope end.
class Stmt {
public:
    explicit Stmt(SQLHDBC dbc)
    {
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &m_h)))
            ThrowOdbc(SQL_HANDLE_DBC, dbc);
    }
    ~Stmt() { SQLFreeHandle(SQL_HANDLE_STMT, m_h); }
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;
    SQLHSTMT h() const { return m_h; }
    void check(SQLRETURN rc) const
    {
        if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA)
            ThrowOdbc(SQL_HANDLE_STMT, m_h);
    }
    bool fetch() const
    {
        const SQLRETURN rc = SQLFetch(m_h);
        if (rc == SQL_NO_DATA)
            return false;
        check(rc);
        return true;
    }
    QString text(int column) const
    {
        QByteArray out;
        char buf[1024];
        for (;;) {
            SQLLEN ind = 0;
            const SQLRETURN rc = SQLGetData(m_h, SQLUSMALLINT(column), SQL_C_CHAR, buf, sizeof buf, &ind);
            if (rc == SQL_NO_DATA || ind == SQL_NULL_DATA)
                break;
            check(rc);
            if (rc == SQL_SUCCESS_WITH_INFO && (ind == SQL_NO_TOTAL || ind >= SQLLEN(sizeof buf))) {
                out.append(buf, int(sizeof buf) - 1);
                continue;
            }
            out.append(buf, int(qMin<SQLLEN>(ind, sizeof buf - 1)));
            break;
        }
        return QString::fromUtf8(out);
    }
    int64_t integer(int column, bool* isNull = nullptr) const
    {
        SQLBIGINT v = 0;
        SQLLEN ind = 0;
        check(SQLGetData(m_h, SQLUSMALLINT(column), SQL_C_SBIGINT, &v, 0, &ind));
        if (isNull)
            *isNull = ind == SQL_NULL_DATA;
        return ind == SQL_NULL_DATA ? 0 : int64_t(v);
    }

private:
    SQLHSTMT m_h = SQL_NULL_HSTMT;
};

QByteArray utf8(const QString& s)
{
    return s.toUtf8();
}

SQLCHAR* sqlChars(QByteArray& b)
{
    return reinterpret_cast<SQLCHAR*>(b.data());
}

// The schema and table arguments of a catalogue call; no schema: the source's own search.
struct CatalogArgs {
    QByteArray schema;
    QByteArray name;
    CatalogArgs(const QString& s, const QString& n) : schema(s.toUtf8()), name(n.toUtf8()) {}
    SQLCHAR* Schema() { return schema.isEmpty() ? nullptr : reinterpret_cast<SQLCHAR*>(schema.data()); }
    SQLSMALLINT SchemaLength() const { return schema.isEmpty() ? 0 : SQLSMALLINT(schema.size()); }
    SQLCHAR* Name() { return reinterpret_cast<SQLCHAR*>(name.data()); }
    SQLSMALLINT NameLength() const { return SQLSMALLINT(name.size()); }
};

bool hiddenTable(const QString& name)
{
    return name.startsWith(QStringLiteral("sqlite_"), Qt::CaseInsensitive)
        || name.startsWith(QStringLiteral("__kdb_"), Qt::CaseInsensitive);
}

} // namespace

void ThrowOdbc(int handleType, void* handle, int32_t number, const QString& arg)
{
    bool lost = false;
    const QString driver = handle ? OdbcDiagnostic(handleType, handle, &lost) : QString();
    if (lost)
        ForgetSharedConnections();   // the next use logs in again
    QString text = CatalogueText(number, arg);
    if (!driver.isEmpty())
        text += u' ' + driver;
    throw KvError(number, {}, text);
}

namespace {

// psqlODBC holds a whole result in the client unless it fetches through a cursor; a source read
// must stay bounded whatever the table's size.
bool isPostgresDriverText(const QString& connect)
{
    for (const QString& part : connect.split(u';')) {
        const QString p = part.trimmed();
        if (p.startsWith(QStringLiteral("DRIVER="), Qt::CaseInsensitive)
            && (p.contains(QStringLiteral("postgres"), Qt::CaseInsensitive)
                || p.contains(QStringLiteral("psqlodbc"), Qt::CaseInsensitive)))
            return true;
    }
    return false;
}

QString withCursorFetch(const QString& connect)
{
    if (connect.contains(QStringLiteral("UseDeclareFetch"), Qt::CaseInsensitive))
        return connect;
    QString c = connect;
    if (!c.isEmpty() && !c.endsWith(u';'))
        c += u';';
    return c + QStringLiteral("UseDeclareFetch=1;Fetch=4096;");
}

// psqlODBC ends the program when the server goes away while the rows of a cursor's next group
// arrive and another statement of the login finds it gone: it reads the error of a null
// connection. Helper logins read each result whole, with no such group to fetch, and every
// read of a table goes to one of its own (see ReadsInPages); a long one fetches from a cursor
// of ours a bounded number of rows at a time.
QString withWholeFetch(const QString& connect)
{
    QString c;
    for (const ConnectAttribute& a : ParseConnect(connect)) {
        if (a.key.compare(QStringLiteral("UseDeclareFetch"), Qt::CaseInsensitive) != 0)
            c += connect.mid(a.begin, a.end - a.begin) + u';';
    }
    return c + QStringLiteral("UseDeclareFetch=0;");
}

QString driverName(SQLHDBC dbc)
{
    SQLCHAR name[256] = {};
    SQLSMALLINT len = 0;
    if (!SQL_SUCCEEDED(SQLGetInfo(dbc, SQL_DRIVER_NAME, name, sizeof name, &len)))
        return {};
    return QString::fromUtf8(reinterpret_cast<const char*>(name));
}

// Logs in; the handle, or null with the driver's diagnostic in `error`.
SQLHDBC login(const QString& connect, QString& error)
{
    SQLHDBC dbc = SQL_NULL_HDBC;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, env(), &dbc)))
        ThrowOdbc(SQL_HANDLE_ENV, env());
    SQLSetConnectAttr(dbc, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(10), 0);
    QByteArray in = utf8(connect);
    SQLCHAR out[2048] = {};
    SQLSMALLINT outLen = 0;
    const SQLRETURN rc = SQLDriverConnect(dbc, nullptr, sqlChars(in), SQLSMALLINT(in.size()), out,
                                          sizeof out, &outLen, SQL_DRIVER_NOPROMPT);
    if (SQL_SUCCEEDED(rc))
        return dbc;
    error = OdbcDiagnostic(SQL_HANDLE_DBC, dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    return SQL_NULL_HDBC;
}

bool connectionDead(SQLHDBC dbc)
{
    SQLUINTEGER dead = SQL_CD_FALSE;
    if (!SQL_SUCCEEDED(SQLGetConnectAttr(dbc, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr)))
        return false;
    return dead == SQL_CD_TRUE;
}

// The program's connections by connect text: one login per source for the program's life.
// Never destroyed: an object that lives as long (the open project) may let its logins go at
// the program's end after the statics made later than it are gone (an exit from inside the
// event loop, when the window system's connection broke).
std::map<QString, std::shared_ptr<OdbcConnection>>& sharedConnections()
{
    static auto* map = new std::map<QString, std::shared_ptr<OdbcConnection>>;
    return *map;
}

// Readers of several threads (a grid's loader, the ranges of a parallel read) open the same
// source at once.
std::mutex& sharedConnectionsLock()
{
    static auto* lock = new std::mutex;
    return *lock;
}

constexpr size_t kKeptIdle = 32;

// A round trip that any driver answers: a catalogue call for a table nobody has.
bool answers(SQLHDBC dbc)
{
    SQLHSTMT h = SQL_NULL_HSTMT;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &h)))
        return false;
    QByteArray none("kdb_ping_none");
    QByteArray types("TABLE");
    const SQLRETURN rc = SQLTables(h, nullptr, 0, nullptr, 0, sqlChars(none), SQL_NTS, sqlChars(types), SQL_NTS);
    bool ok = SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA;
    if (ok) {
        const SQLRETURN f = SQLFetch(h);
        ok = SQL_SUCCEEDED(f) || f == SQL_NO_DATA;
    }
    SQLFreeHandle(SQL_HANDLE_STMT, h);
    return ok;
}

} // namespace

void ForgetSharedConnections()
{
    const std::lock_guard lock(sharedConnectionsLock());
    sharedConnections().clear();
}

} // namespace kdb::detail

void kdb::EndKeptLogins()
{
    detail::ForgetSharedConnections();
}

QList<kdb::ConnectAttribute> kdb::ParseConnect(const QString& connect)
{
    QList<ConnectAttribute> list;
    const qsizetype n = connect.size();
    qsizetype pos = 0;
    while (pos < n) {
        ConnectAttribute a;
        a.begin = pos;
        const qsizetype semi = connect.indexOf(u';', pos);
        const qsizetype eq = connect.indexOf(u'=', pos);
        if (eq < 0 || (semi >= 0 && semi < eq)) {
            a.end = semi < 0 ? n : semi;
            a.key = connect.mid(pos, a.end - pos).trimmed();
            list << a;
            pos = a.end + 1;
            continue;
        }
        a.key = connect.mid(pos, eq - pos).trimmed();
        qsizetype v = eq + 1;
        while (v < n && connect[v].isSpace())
            ++v;
        qsizetype end = -1;
        if (v < n && connect[v] == u'{') {
            // A braced value runs to its closing brace, ";" included; "}}" is one "}".
            QString value;
            qsizetype i = v + 1;
            bool closed = false;
            while (i < n) {
                if (connect[i] == u'}') {
                    if (i + 1 < n && connect[i + 1] == u'}') {
                        value += u'}';
                        i += 2;
                        continue;
                    }
                    closed = true;
                    ++i;
                    break;
                }
                value += connect[i++];
            }
            a.value = value;
            end = closed ? connect.indexOf(u';', i) : -1;
        } else {
            end = connect.indexOf(u';', v);
            a.value = connect.mid(v, (end < 0 ? n : end) - v).trimmed();
        }
        a.end = end < 0 ? n : end;
        list << a;
        pos = a.end + 1;
    }
    return list;
}

std::optional<QString> kdb::ConnectValue(const QString& connect, const QString& key)
{
    for (const ConnectAttribute& a : ParseConnect(connect)) {
        if (a.key.compare(key, Qt::CaseInsensitive) == 0)
            return a.value;
    }
    return std::nullopt;
}

bool kdb::IsPasswordKey(const QString& key)
{
    return key.compare(QLatin1String("PWD"), Qt::CaseInsensitive) == 0
           || key.compare(QLatin1String("PASSWORD"), Qt::CaseInsensitive) == 0;
}

QString kdb::HidePassword(const QString& connect)
{
    QString shown;
    qsizetype from = 0;
    for (const ConnectAttribute& a : ParseConnect(connect)) {
        if (!IsPasswordKey(a.key))
            continue;
        // The attribute goes with its ";" (the one before it when it is the last).
        qsizetype cut = a.begin;
        qsizetype to = a.end + 1;
        if (a.end >= connect.size() && cut > from)
            --cut;
        shown += connect.mid(from, cut - from);
        from = std::min(to, connect.size());
    }
    shown += connect.mid(from);
    return shown;
}

bool kdb::HoldsPassword(const QString& connect)
{
    for (const ConnectAttribute& a : ParseConnect(connect)) {
        if (IsPasswordKey(a.key))
            return true;
    }
    return false;
}

namespace kdb::detail {

namespace {

// 3151 for a refused login; the message names the source without its password.
[[noreturn]] void throwRefused(const QString& connect, const QString& driverText)
{
    const QString dsn = ConnectValue(connect, QStringLiteral("DSN")).value_or(HidePassword(connect));
    QString text = CatalogueText(3151, dsn);
    if (!driverText.isEmpty())
        text += u' ' + driverText;
    throw KvError(3151, {}, text);
}

} // namespace

std::shared_ptr<OdbcConnection> OdbcConnection::Shared(const QString& connect)
{
    const std::lock_guard lock(sharedConnectionsLock());
    auto& map = sharedConnections();
    const auto it = map.find(connect);
    if (it != map.end()) {
        // A round trip proves the kept connection before it serves again: a server restarted
        // since, or a network that dropped it, is not always known to the driver (a catalogue
        // call may then answer "no columns" rather than fail).
        OdbcConnection& kept = *it->second;
        if (!connectionDead(static_cast<SQLHDBC>(kept.m_dbc)) && answers(static_cast<SQLHDBC>(kept.m_dbc))) {
            return it->second;
        }
        map.erase(it);   // the server went away: log in again (or say why not)
    }
    auto c = Connect(connect);
    if (map.size() >= kKeptIdle) {
        for (auto i = map.begin(); i != map.end(); ++i) {
            if (i->second.use_count() == 1) {
                map.erase(i);
                break;
            }
        }
    }
    map[connect] = c;
    return c;
}

std::shared_ptr<OdbcConnection> OdbcConnection::Connect(const QString& connect)
{
    std::shared_ptr<OdbcConnection> c(new OdbcConnection);
    c->m_connect = connect;
    const QString used = isPostgresDriverText(connect) ? withCursorFetch(connect) : connect;
    c->m_login = used;
    QString driverText;
    SQLHDBC dbc = login(used, driverText);
    if (dbc && used == connect && driverName(dbc).startsWith(QStringLiteral("psqlodbc"))
        && !connect.contains(QStringLiteral("UseDeclareFetch"), Qt::CaseInsensitive)) {
        // A data source name that leads to psqlODBC: log in again fetching by cursor.
        QString again;
        if (SQLHDBC second = login(withCursorFetch(connect), again)) {
            SQLDisconnect(dbc);
            SQLFreeHandle(SQL_HANDLE_DBC, dbc);
            dbc = second;
            c->m_login = withCursorFetch(connect);
        }
    }
    if (!dbc)
        throwRefused(connect, driverText);
    c->m_dbc = dbc;
    c->m_helperLogin = isPostgresDriverText(connect) || driverName(dbc).startsWith(QStringLiteral("psqlodbc"))
                           ? withWholeFetch(c->m_login)
                           : c->m_login;
    SQLCHAR dbms[64] = {};
    SQLSMALLINT dlen = 0;
    if (SQL_SUCCEEDED(SQLGetInfo(dbc, SQL_DBMS_NAME, dbms, sizeof dbms, &dlen))) {
        const QString name = QString::fromUtf8(reinterpret_cast<const char*>(dbms));
        const auto is = [&](const char* dbmsName) {
            return name.startsWith(QLatin1String(dbmsName), Qt::CaseInsensitive);
        };
        c->m_parallel = is("PostgreSQL");
        c->m_sampleDeviation = is("PostgreSQL") || is("MySQL") || is("MariaDB");
        c->m_limitOffset = c->m_sampleDeviation || is("SQLite");
    }
    SQLCHAR quote[8] = {};
    SQLSMALLINT qlen = 0;
    if (SQL_SUCCEEDED(SQLGetInfo(dbc, SQL_IDENTIFIER_QUOTE_CHAR, quote, sizeof quote, &qlen))
        && qlen > 0 && quote[0] != ' ')
        c->m_quote = QString::fromLatin1(reinterpret_cast<const char*>(quote), qlen);
    return c;
}

OdbcConnection::~OdbcConnection()
{
    m_helpers.push_back(m_dbc);
    for (void* dbc : m_helpers) {
        if (dbc) {
            SQLDisconnect(dbc);
            SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        }
    }
}

void* OdbcConnection::TakeHelper()
{
    {
        const std::lock_guard lock(m_helpersLock);
        if (!m_helpers.empty()) {
            void* dbc = m_helpers.back();
            m_helpers.pop_back();
            return dbc;
        }
    }
    QString driverText;
    SQLHDBC dbc = login(m_helperLogin, driverText);
    if (!dbc)
        throwRefused(m_connect, driverText);
    return dbc;
}

void OdbcConnection::GiveBack(void* dbc)
{
    const std::lock_guard lock(m_helpersLock);
    m_helpers.push_back(dbc);
}

QString OdbcConnection::Quote(const QString& ident) const
{
    QString q = ident;
    q.replace(m_quote, m_quote + m_quote);
    return m_quote + q + m_quote;
}

void OdbcConnection::LoadTables()
{
    Stmt s(static_cast<SQLHDBC>(m_dbc));
    QByteArray types("TABLE,VIEW");
    s.check(SQLTables(s.h(), nullptr, 0, nullptr, 0, nullptr, 0, sqlChars(types), SQL_NTS));
    QList<SourceTable> list;
    while (s.fetch()) {
        SourceTable t;
        t.schema = s.text(2);
        t.name = s.text(3);
        t.view = s.text(4).compare(QStringLiteral("VIEW"), Qt::CaseInsensitive) == 0;
        if (hiddenTable(t.name))
            continue;
        // Tables of a source with schemas are named with theirs: sales.Leads and public.Leads
        // are two tables.
        t.display = t.schema.isEmpty() ? t.name : t.schema + u'.' + t.name;
        list << t;
    }
    m_tables = list;
    m_tablesLoaded = true;
}

QStringList OdbcConnection::Tables(QList<bool>* views)
{
    LoadTables();
    QStringList names;
    for (const SourceTable& t : m_tables) {
        names << t.display;
        if (views)
            *views << t.view;
    }
    return names;
}

const OdbcConnection::SourceTable* OdbcConnection::Find(const QString& name, bool reload)
{
    if (!m_tablesLoaded || reload)
        LoadTables();
    // The name as the list spells it: exact, then ignoring case.
    for (const Qt::CaseSensitivity cs : {Qt::CaseSensitive, Qt::CaseInsensitive}) {
        for (const SourceTable& t : m_tables) {
            if (t.display.compare(name, cs) == 0)
                return &t;
        }
    }
    // A name without its schema (a project made before schemas were shown). Two schemas may
    // each hold a table of that name, and taking the first listed would read another table's
    // rows: the name means what the server reads under it.
    for (const Qt::CaseSensitivity cs : {Qt::CaseSensitive, Qt::CaseInsensitive}) {
        QList<const SourceTable*> same;
        for (const SourceTable& t : m_tables) {
            if (t.name.compare(name, cs) == 0)
                same << &t;
        }
        if (same.size() == 1)
            return same.front();
        if (!same.isEmpty())
            return ServersChoice(name, same);
    }
    return nullptr;
}

const OdbcConnection::SourceTable* OdbcConnection::ServersChoice(const QString& name,
                                                                  const QList<const SourceTable*>& candidates)
{
    // The server resolves a plain name by its own rules (PostgreSQL's search_path, the login's
    // default schema elsewhere); the schema of the table it read is the answer. The statement
    // reads no row.
    QString schema;
    const QString spelling = candidates.front()->name;
    const bool oneSpelling = std::all_of(candidates.begin(), candidates.end(),
                                         [&](const SourceTable* t) { return t->name == spelling; });
    if (oneSpelling) {
        Stmt s(static_cast<SQLHDBC>(m_dbc));
        QByteArray sql = utf8(QStringLiteral("SELECT * FROM ") + Quote(spelling) + QStringLiteral(" WHERE 1=0"));
        SQLSMALLINT columns = 0;
        if (SQL_SUCCEEDED(SQLExecDirect(s.h(), sqlChars(sql), SQLINTEGER(sql.size())))
            && SQL_SUCCEEDED(SQLNumResultCols(s.h(), &columns))) {
            // A computed column of a view comes from no table: the next one may say.
            for (SQLSMALLINT c = 1; c <= columns && schema.isEmpty(); ++c) {
                SQLCHAR text[512] = {};
                SQLSMALLINT len = 0;
                if (SQL_SUCCEEDED(SQLColAttribute(s.h(), SQLUSMALLINT(c), SQL_DESC_SCHEMA_NAME, text, sizeof text,
                                                  &len, nullptr)))
                    schema = QString::fromUtf8(reinterpret_cast<const char*>(text));
            }
        }
    }
    for (const SourceTable* t : candidates) {
        if (!schema.isEmpty() && t->schema == schema)
            return t;
    }
    // The server cannot tell (the name is off its search path, or the driver does not say
    // where a column comes from): no guess, the user is told which tables the name could mean.
    QStringList names;
    for (const SourceTable* t : candidates)
        names << t->display;
    throw KvError(kAmbiguousTable, {},
                  QStringLiteral("The table name '%1' could mean %2, and the data source does not say which: "
                                 "nothing was opened. Put the wanted table's schema on the login's search path "
                                 "(its default schema).")
                      .arg(name, names.join(QStringLiteral(" or "))));
}

QString OdbcConnection::FindTable(const QString& name)
{
    // The list read before serves while it knows the table (a connection lives as long as the
    // program: every open of a project would list the whole source again); a table it does not
    // know makes it read the list anew.
    if (m_tablesLoaded) {
        for (const SourceTable& known : m_tables) {
            if (known.display == name)
                return known.display;
        }
    }
    const SourceTable* t = Find(name, true);
    return t ? t->display : QString();
}

OdbcConnection::SourceTable OdbcConnection::Resolve(const QString& table)
{
    const SourceTable* t = Find(table, false);
    if (!t || t->display != table)
        t = Find(table, true);
    if (t)
        return *t;
    SourceTable plain;
    plain.name = plain.display = table;
    return plain;
}

QString OdbcConnection::QuoteTable(const QString& table)
{
    const SourceTable t = Resolve(table);
    return t.schema.isEmpty() ? Quote(t.name) : Quote(t.schema) + u'.' + Quote(t.name);
}

QList<OdbcColumn> OdbcConnection::Columns(const QString& table)
{
    const SourceTable t = Resolve(table);
    QList<OdbcColumn> cols;
    {
        Stmt s(static_cast<SQLHDBC>(m_dbc));
        CatalogArgs a(t.schema, t.name);
        s.check(SQLColumns(s.h(), nullptr, 0, a.Schema(), a.SchemaLength(), a.Name(), a.NameLength(), nullptr, 0));
        while (s.fetch()) {
            if (s.text(3) != t.name)   // the table argument is a pattern
                continue;
            if (!t.schema.isEmpty() && s.text(2) != t.schema)
                continue;
            OdbcColumn c;
            c.name = s.text(4);
            c.sqlType = int(s.integer(5));
            c.typeName = s.text(6);
            bool null = false;
            c.size = int(s.integer(7, &null));
            c.nullable = s.integer(11) != SQL_NO_NULLS;
            cols << c;
        }
    }
    if (cols.isEmpty())
        return cols;
    // Auto-numbered columns (serial, identity, auto-increment) by the driver's own attribute of
    // a result column: the catalogue does not tell them apart from plain integers.
    Stmt s(static_cast<SQLHDBC>(m_dbc));
    QByteArray sql = utf8(QStringLiteral("SELECT * FROM ") + QuoteTable(table)
                          + QStringLiteral(" WHERE 1=0"));
    if (SQL_SUCCEEDED(SQLExecDirect(s.h(), sqlChars(sql), SQLINTEGER(sql.size())))) {
        SQLSMALLINT n = 0;
        SQLNumResultCols(s.h(), &n);
        for (SQLSMALLINT i = 1; i <= n && i <= cols.size(); ++i) {
            SQLLEN autoUnique = SQL_FALSE;
            if (SQL_SUCCEEDED(SQLColAttribute(s.h(), SQLUSMALLINT(i), SQL_DESC_AUTO_UNIQUE_VALUE,
                                              nullptr, 0, nullptr, &autoUnique)))
                cols[i - 1].autoUnique = autoUnique == SQL_TRUE;
        }
    }
    return cols;
}

QStringList OdbcConnection::PrimaryKey(const QString& table)
{
    const SourceTable t = Resolve(table);
    Stmt s(static_cast<SQLHDBC>(m_dbc));
    CatalogArgs a(t.schema, t.name);
    s.check(SQLPrimaryKeys(s.h(), nullptr, 0, a.Schema(), a.SchemaLength(), a.Name(), a.NameLength()));
    QList<std::pair<int64_t, QString>> parts;
    while (s.fetch())
        parts << std::pair{s.integer(5), s.text(4)};
    std::sort(parts.begin(), parts.end());
    QStringList key;
    for (const auto& p : parts)
        key << p.second;
    return key;
}

QList<IndexInfo> OdbcConnection::Indexes(const QString& table)
{
    QList<IndexInfo> list;
    const QStringList key = PrimaryKey(table);
    if (!key.isEmpty())
        list << PrimaryIndex(key);
    const SourceTable t = Resolve(table);
    Stmt s(static_cast<SQLHDBC>(m_dbc));
    CatalogArgs a(t.schema, t.name);
    s.check(SQLStatistics(s.h(), nullptr, 0, a.Schema(), a.SchemaLength(), a.Name(), a.NameLength(),
                          SQL_INDEX_ALL, SQL_QUICK));
    QList<IndexInfo> others;
    while (s.fetch()) {
        const int64_t nonUnique = s.integer(4);
        const QString name = s.text(6);
        const int64_t type = s.integer(7);
        const QString column = s.text(9);
        if (type == SQL_TABLE_STAT || name.isEmpty())
            continue;
        if (others.isEmpty() || others.last().name != name) {
            IndexInfo ix;
            ix.name = name;
            ix.unique = nonUnique == SQL_FALSE;
            others << ix;
        }
        others.last().fields << column;
    }
    for (const IndexInfo& ix : others) {
        if (!key.isEmpty() && ix.fields == key && ix.unique)
            continue;   // the key's own index
        list << ix;
    }
    return list;
}

int64_t OdbcConnection::Count(const QString& table)
{
    Stmt s(static_cast<SQLHDBC>(m_dbc));
    QByteArray sql = utf8(QStringLiteral("SELECT COUNT(*) FROM ") + QuoteTable(table));
    if (m_parallel)
        sql.prepend("/* one row */ ");   // no cursor for one row (see Row)
    s.check(SQLExecDirect(s.h(), sqlChars(sql), SQLINTEGER(sql.size())));
    if (!s.fetch())
        return 0;
    return s.integer(1);
}

QList<std::optional<double>> OdbcConnection::Row(const QString& sql)
{
    Stmt s(static_cast<SQLHDBC>(m_dbc));
    QByteArray text = utf8(sql);
    // psqlODBC, fetching in blocks, runs a statement it sees starting with SELECT under a
    // cursor, and the server plans no parallel work for a cursor (an aggregate over a big
    // table then takes two to three times as long). One row needs no cursor; a leading
    // comment keeps the driver from taking the statement for a SELECT.
    if (m_parallel)
        text.prepend("/* one row */ ");
    s.check(SQLExecDirect(s.h(), sqlChars(text), SQLINTEGER(text.size())));
    SQLSMALLINT n = 0;
    s.check(SQLNumResultCols(s.h(), &n));
    QList<std::optional<double>> row;
    if (!s.fetch())
        return row;
    for (SQLSMALLINT i = 1; i <= n; ++i) {
        double v = 0;
        SQLLEN ind = 0;
        s.check(SQLGetData(s.h(), SQLUSMALLINT(i), SQL_C_DOUBLE, &v, 0, &ind));
        row << (ind == SQL_NULL_DATA ? std::nullopt : std::optional<double>(v));
    }
    return row;
}

int16_t DaoTypeFromOdbc(int sqlType, int size)
{
    switch (sqlType) {
    case SQL_BIT:
        return dbBoolean;
    case SQL_TINYINT:
        return dbByte;
    case SQL_SMALLINT:
        return dbInteger;
    case SQL_INTEGER:
        return dbLong;
    case SQL_BIGINT:
        return dbBigInt;
    case SQL_REAL:
        return dbSingle;
    case SQL_FLOAT:
    case SQL_DOUBLE:
        return dbDouble;
    case SQL_NUMERIC:
    case SQL_DECIMAL:
        return dbDouble;
    case SQL_TYPE_DATE:
    case SQL_DATE:
    case SQL_TYPE_TIMESTAMP:
    case SQL_TIMESTAMP:
        return dbDate;
    case SQL_TYPE_TIME:
    case SQL_TIME:
        return dbTime;
    case SQL_CHAR:
    case SQL_VARCHAR:
    case SQL_WCHAR:
    case SQL_WVARCHAR:
        return (size > 0 && size <= 255) || size == 0 ? dbText : dbMemo;
    case SQL_LONGVARCHAR:
    case SQL_WLONGVARCHAR:
        return dbMemo;
    case SQL_BINARY:
    case SQL_VARBINARY:
        return dbBinary;
    case SQL_LONGVARBINARY:
        return dbLongBinary;
    case SQL_GUID:
        return dbGUID;
    default:
        return dbText;
    }
}

int16_t DaoTypeForColumn(const OdbcColumn& column, int* declaredSize)
{
    bool known = false;
    int size = 0;
    const int16_t byName = DaoTypeFromName(column.typeName, &size, &known);
    if (declaredSize)
        *declaredSize = size;
    return known ? byName : DaoTypeFromOdbc(column.sqlType, column.size);
}

QList<DataSourceEntry> ListDataSources()
{
    QList<DataSourceEntry> list;
    SQLCHAR name[SQL_MAX_DSN_LENGTH + 1];
    SQLCHAR desc[512];
    SQLSMALLINT nameLen = 0;
    SQLSMALLINT descLen = 0;
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    SQLHENV h = env();
    while (SQL_SUCCEEDED(SQLDataSources(h, direction, name, sizeof name, &nameLen, desc, sizeof desc,
                                        &descLen))) {
        list << DataSourceEntry{QString::fromUtf8(reinterpret_cast<const char*>(name)),
                                QString::fromUtf8(reinterpret_cast<const char*>(desc))};
        direction = SQL_FETCH_NEXT;
    }
    return list;
}

bool DataSourceKeepsPassword(const QString& dsn)
{
    const QByteArray section = dsn.toUtf8();
    for (const char* key : {"Password", "PWD"}) {
        char value[256] = {};
        if (SQLGetPrivateProfileString(section.constData(), key, "", value, sizeof value, "odbc.ini") > 0
            && value[0] != '\0')
            return true;
    }
    return false;
}

} // namespace kdb::detail
