// ODBC sources through unixODBC: the connection with its catalogue calls, and the read-only
// SQLite virtual table that makes an ODBC table usable in SQL on the layer's connection.
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

QString diagnostic(SQLSMALLINT type, SQLHANDLE handle, bool* linkLost = nullptr)
{
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

void forgetSharedConnections();

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
    const QString driver = handle ? diagnostic(SQLSMALLINT(handleType), handle, &lost) : QString();
    if (lost)
        forgetSharedConnections();   // the next use logs in again
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
    error = diagnostic(SQL_HANDLE_DBC, dbc);
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
std::map<QString, std::shared_ptr<OdbcConnection>>& sharedConnections()
{
    static std::map<QString, std::shared_ptr<OdbcConnection>> map;
    return map;
}

constexpr size_t kKeptIdle = 32;

void forgetSharedConnections()
{
    sharedConnections().clear();
}

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

} // namespace kdb::detail

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
    if (!m_helpers.empty()) {
        void* dbc = m_helpers.back();
        m_helpers.pop_back();
        return dbc;
    }
    QString driverText;
    SQLHDBC dbc = login(m_login, driverText);
    if (!dbc)
        throwRefused(m_connect, driverText);
    return dbc;
}

void OdbcConnection::GiveBack(void* dbc)
{
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

// --- virtual table ---------------------------------------------------------------------------

namespace {

constexpr SQLULEN kRowset = 256;

enum class Kind { Int, Dbl, Text, Bytes };

struct VColumn {
    QString name;
    Kind kind = Kind::Text;
    bool numeric = false;   // text from the driver for a column declared numeric
    bool nullable = true;
};

struct OdbcVtab {
    sqlite3_vtab base{};
    std::shared_ptr<OdbcConnection> conn;
    QString table;
    QString from;            // the table in the source's SQL
    std::vector<VColumn> cols;
    int keyCol = -1;
};

// How a scan reads: a key lookup, in key order; which columns the statement uses.
constexpr int kPlanLookup = 1;
constexpr int kPlanOrdered = 2;
constexpr int kPlanLimit = 4;    // LIMIT and OFFSET go to the source: skipped rows stay there
constexpr int kPlanOffset = 8;

// A long read in key order of a server source, split into statements of kChunk rows that
// helper connections read ahead, each in its own thread, while the caller works on the rows
// before: the server's work, the driver's and the caller's then overlap. The cursor's own
// statement reads the first kFirstRows (a short read needs no helper); chunk g >= 1 goes to
// helper (g - 1) % kHelpers, which starts it from the last key of its previous chunk (of the
// first rows for its first). Held rows stay bounded: each helper keeps at most about one
// chunk read ahead.
constexpr int64_t kFirstRows = 4096;
constexpr int64_t kChunk = 32768;
constexpr int kHelpers = 3;
constexpr SQLULEN kBlockRows = 1024;
constexpr size_t kQueuedBlocks = size_t(kChunk / kBlockRows) + 2;

// Rows of one fetch, column-wise as the cursor binds them; an empty block with `chunkEnd`
// closes a chunk and says how many rows it had.
struct Block {
    std::vector<std::vector<char>> data;
    std::vector<std::vector<SQLLEN>> ind;
    SQLULEN rows = 0;
    bool chunkEnd = false;
    int64_t chunkRows = 0;
    bool failed = false;
    bool linkLost = false;
    QString driverText;
};

class ReadAhead {
public:
    struct Plan {
        QString select;       // "SELECT ... FROM ... WHERE key > "
        QString order;        // " ORDER BY key"
        std::vector<bool> whole;   // per column read: a whole number (else a double)
        size_t keyAt = 0;     // the key's position among the columns read
        int64_t firstKey = 0; // the last key of the first rows
        int64_t limit = -1;   // rows the statement may return in all; -1 no limit
    };

    ReadAhead(std::shared_ptr<OdbcConnection> conn, Plan plan) : m_conn(std::move(conn)), m_plan(std::move(plan))
    {
        for (int j = 0; j < kHelpers; ++j) {
            auto h = std::make_unique<Helper>();
            h->dbc = static_cast<SQLHDBC>(m_conn->TakeHelper());
            m_helpers.push_back(std::move(h));
        }
        for (int j = 0; j < kHelpers; ++j)
            m_helpers[size_t(j)]->thread = std::thread([this, j] { Run(j); });
    }
    ~ReadAhead()
    {
        for (auto& h : m_helpers) {
            {
                std::lock_guard lock(h->m);
                h->stop = true;
            }
            h->cv.notify_all();
        }
        for (auto& h : m_helpers) {
            if (h->thread.joinable())
                h->thread.join();
            m_conn->GiveBack(h->dbc);
        }
    }
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // The next block of rows in key order; false at the end. Throws a helper's failure.
    bool Next(Block& out)
    {
        for (;;) {
            if (chunkSize(m_chunk) <= 0)
                return false;
            Helper& h = *m_helpers[size_t((m_chunk - 1) % kHelpers)];
            Block b;
            {
                std::unique_lock lock(h.m);
                h.cv.wait(lock, [&] { return !h.queue.empty(); });
                b = std::move(h.queue.front());
                h.queue.pop_front();
            }
            h.cv.notify_all();
            if (b.failed) {
                if (b.linkLost)
                    forgetSharedConnections();
                QString text = CatalogueText(3146, {});
                if (!b.driverText.isEmpty())
                    text += u' ' + b.driverText;
                throw KvError(3146, {}, text);
            }
            if (!b.chunkEnd) {
                out = std::move(b);
                return true;
            }
            if (b.chunkRows < chunkSize(m_chunk))
                return false;   // the table ends in this chunk
            ++m_chunk;
        }
    }

private:
    struct Helper {
        std::thread thread;
        std::mutex m;
        std::condition_variable cv;
        std::deque<Block> queue;
        bool stop = false;
        SQLHDBC dbc = SQL_NULL_HDBC;
    };

    int64_t chunkSize(int64_t g) const
    {
        return m_plan.limit < 0 ? kChunk
                                : std::clamp<int64_t>(m_plan.limit - kFirstRows - (g - 1) * kChunk, 0, kChunk);
    }

    // False when the reader stopped the read.
    bool push(Helper& h, Block&& b)
    {
        std::unique_lock lock(h.m);
        h.cv.wait(lock, [&] { return h.stop || h.queue.size() < kQueuedBlocks; });
        if (h.stop)
            return false;
        h.queue.push_back(std::move(b));
        lock.unlock();
        h.cv.notify_all();
        return true;
    }

    void Run(int j)
    {
        Helper& h = *m_helpers[size_t(j)];
        int64_t from = m_plan.firstKey;
        int64_t skip = int64_t(j) * kChunk;
        for (int64_t g = 1 + j;; g += kHelpers) {
            const int64_t want = chunkSize(g);
            if (want <= 0)
                return;
            int64_t got = 0;
            if (!readChunk(h, from, skip, want, got))
                return;
            Block end;
            end.chunkEnd = true;
            end.chunkRows = got;
            if (!push(h, std::move(end)) || got < want)
                return;
            skip = int64_t(kHelpers - 1) * kChunk;
        }
    }

    // Reads one chunk into blocks; false when it failed (the failure queued) or was stopped.
    bool readChunk(Helper& h, int64_t& from, int64_t skip, int64_t want, int64_t& got)
    {
        SQLHSTMT st = SQL_NULL_HSTMT;
        const auto fail = [&] {
            Block b;
            b.failed = true;
            b.driverText = st != SQL_NULL_HSTMT ? diagnostic(SQL_HANDLE_STMT, st, &b.linkLost)
                                                : diagnostic(SQL_HANDLE_DBC, h.dbc, &b.linkLost);
            if (st != SQL_NULL_HSTMT)
                SQLFreeHandle(SQL_HANDLE_STMT, st);
            push(h, std::move(b));
            return false;
        };
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, h.dbc, &st)))
            return fail();
        SQLULEN fetched = 0;
        SQLSetStmtAttr(st, SQL_ATTR_ROW_BIND_TYPE, SQL_BIND_BY_COLUMN, 0);
        SQLSetStmtAttr(st, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(kBlockRows), 0);
        SQLSetStmtAttr(st, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0);
        QByteArray sql = (m_plan.select + QString::number(from) + m_plan.order + QStringLiteral(" LIMIT ")
                          + QString::number(want) + QStringLiteral(" OFFSET ") + QString::number(skip))
                             .toUtf8();
        SQLRETURN rc = SQLExecDirect(st, reinterpret_cast<SQLCHAR*>(sql.data()), SQLINTEGER(sql.size()));
        if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA)
            return fail();
        const size_t columns = m_plan.whole.size();
        while (rc != SQL_NO_DATA) {
            Block b;
            b.data.resize(columns);
            b.ind.resize(columns);
            for (size_t i = 0; i < columns; ++i) {
                b.data[i].resize(sizeof(double) * kBlockRows);
                b.ind[i].resize(kBlockRows);
                if (!SQL_SUCCEEDED(SQLBindCol(st, SQLUSMALLINT(i + 1), m_plan.whole[i] ? SQL_C_SBIGINT : SQL_C_DOUBLE,
                                              b.data[i].data(), SQLLEN(sizeof(double)), b.ind[i].data())))
                    return fail();
            }
            rc = SQLFetch(st);
            if (rc == SQL_NO_DATA)
                break;
            if (!SQL_SUCCEEDED(rc))
                return fail();
            b.rows = fetched;
            got += int64_t(fetched);
            if (fetched > 0)
                std::memcpy(&from, b.data[m_plan.keyAt].data() + (fetched - 1) * sizeof(SQLBIGINT), sizeof from);
            if (!push(h, std::move(b))) {
                SQLFreeHandle(SQL_HANDLE_STMT, st);
                return false;
            }
        }
        SQLFreeHandle(SQL_HANDLE_STMT, st);
        return true;
    }

    std::shared_ptr<OdbcConnection> m_conn;
    Plan m_plan;
    std::vector<std::unique_ptr<Helper>> m_helpers;
    int64_t m_chunk = 1;   // the chunk the reader is in
};

struct OdbcCursor {
    sqlite3_vtab_cursor base{};
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    bool eof = true;
    SQLULEN fetched = 0;
    SQLULEN pos = 0;
    int64_t rowid = 0;
    // The columns read, by position in the source's result; and each column's position there
    // (-1: not read). Only the columns the statement uses cross the wire.
    std::vector<int> sel;
    std::vector<int> at;
    // Rowsets are bound only when every column read is a number: a driver may hand out text
    // longer than the size it declares (SQLite does), which a bound buffer would cut short.
    bool bindAll = true;
    // bound rowset buffers, column-wise
    std::vector<std::vector<char>> data;
    std::vector<std::vector<SQLLEN>> ind;
    // unbound: the current row's values
    std::vector<Value> row;
    // A long read in key order of a server: the cursor's statement reads the first rows and
    // `ahead` the rest (see ReadAhead).
    int64_t mainRows = 0;
    std::optional<ReadAhead::Plan> plan;
    std::unique_ptr<ReadAhead> ahead;
    // the key value bound for a lookup
    int64_t keyInt = 0;
    double keyDbl = 0;
    QByteArray keyText;
    SQLLEN keyInd = 0;
};

QString dequote(const char* arg)
{
    QString s = QString::fromUtf8(arg).trimmed();
    if (s.size() >= 2 && (s.front() == u'\'' || s.front() == u'"')) {
        const QChar q = s.front();
        s = s.mid(1, s.size() - 2);
        s.replace(QString(q) + q, QString(q));
    }
    return s;
}

const char* declaredFor(int16_t dao)
{
    switch (dao) {
    case dbBoolean: return "BIT";
    case dbByte: return "BYTE";
    case dbInteger: return "SMALLINT";
    case dbLong: return "INTEGER";
    case dbCurrency: return "CURRENCY";
    case dbSingle: return "SINGLE";
    case dbDouble: return "DOUBLE";
    case dbDate: return "DATETIME";
    case dbBinary: return "BINARY";
    case dbLongBinary: return "BLOB";
    case dbMemo: return "MEMO";
    case dbGUID: return "GUID";
    case dbBigInt: return "BIGINT";
    case dbTime: return "TIME";
    default: return "TEXT";
    }
}

int setError(sqlite3_vtab* vtab, const QString& text)
{
    sqlite3_free(vtab->zErrMsg);
    vtab->zErrMsg = sqlite3_mprintf("%s", text.toUtf8().constData());
    return SQLITE_ERROR;
}

int vtConnect(sqlite3* db, void* aux, int argc, const char* const* argv, sqlite3_vtab** out,
              char** err)
{
    auto* owner = static_cast<ConnectionImpl*>(aux);
    if (argc < 5) {
        *err = sqlite3_mprintf("kdb_odbc needs a connect string and a table");
        return SQLITE_ERROR;
    }
    auto v = std::make_unique<OdbcVtab>();
    try {
        v->conn = owner->OdbcFor(dequote(argv[3]));
        v->table = dequote(argv[4]);
        v->from = v->conn->QuoteTable(v->table);
        const QList<OdbcColumn> cols = v->conn->Columns(v->table);
        if (cols.isEmpty())
            throw Error(3078, v->table);
        QStringList key = v->conn->PrimaryKey(v->table);
        if (key.isEmpty()) {
            for (const IndexInfo& ix : v->conn->Indexes(v->table)) {
                if (ix.unique && ix.fields.size() == 1) {
                    key = ix.fields;
                    break;
                }
            }
        }
        QStringList decl;
        for (int i = 0; i < cols.size(); ++i) {
            const OdbcColumn& c = cols.at(i);
            VColumn vc;
            vc.name = c.name;
            vc.nullable = c.nullable;
            switch (c.sqlType) {
            case SQL_BIT: case SQL_TINYINT: case SQL_SMALLINT: case SQL_INTEGER: case SQL_BIGINT:
                vc.kind = Kind::Int;
                break;
            case SQL_REAL: case SQL_FLOAT: case SQL_DOUBLE: case SQL_NUMERIC: case SQL_DECIMAL:
                vc.kind = Kind::Dbl;
                break;
            case SQL_TYPE_DATE: case SQL_DATE: case SQL_TYPE_TIMESTAMP: case SQL_TIMESTAMP:
            case SQL_TYPE_TIME: case SQL_TIME:
                vc.kind = Kind::Text;
                break;
            case SQL_BINARY: case SQL_VARBINARY: case SQL_LONGVARBINARY:
                vc.kind = Kind::Bytes;
                break;
            default:
                vc.kind = Kind::Text;
                break;
            }
            const int16_t dao = DaoTypeForColumn(c);
            vc.numeric = vc.kind == Kind::Text
                         && (dao == dbBoolean || dao == dbByte || dao == dbInteger || dao == dbLong
                             || dao == dbCurrency || dao == dbSingle || dao == dbDouble
                             || dao == dbBigInt || dao == dbNumeric || dao == dbDecimal
                             || dao == dbFloat);
            if (key.size() == 1 && c.name == key.first())
                v->keyCol = i;
            v->cols.push_back(vc);
            const int16_t daoType = DaoTypeForColumn(c);
            // Text compares ignoring case, as in Jet; the key keeps the source's own order.
            const bool caseless = (daoType == dbText || daoType == dbMemo) && v->keyCol != i;
            decl << QuoteIdent(c.name) + u' ' + QString::fromLatin1(declaredFor(daoType))
                        + (caseless ? QStringLiteral(" COLLATE NOCASE") : QString());
        }
        const QByteArray schema = QStringLiteral("CREATE TABLE x(%1)").arg(decl.join(u',')).toUtf8();
        const int rc = sqlite3_declare_vtab(db, schema.constData());
        if (rc != SQLITE_OK)
            return rc;
    } catch (...) {
        const KvError e = CurrentError();
        *err = sqlite3_mprintf("%s", e.description().toUtf8().constData());
        return SQLITE_ERROR;
    }
    *out = &v.release()->base;
    return SQLITE_OK;
}

int vtDisconnect(sqlite3_vtab* vtab)
{
    delete reinterpret_cast<OdbcVtab*>(vtab);
    return SQLITE_OK;
}

int vtBestIndex(sqlite3_vtab* vtab, sqlite3_index_info* info)
{
    auto* v = reinterpret_cast<OdbcVtab*>(vtab);
    int plan = 0;
    for (int i = 0; i < info->nConstraint; ++i) {
        const auto& c = info->aConstraint[i];
        if (c.usable && c.iColumn == v->keyCol && v->keyCol >= 0 && c.op == SQLITE_INDEX_CONSTRAINT_EQ) {
            plan |= kPlanLookup;
            info->aConstraintUsage[i].argvIndex = 1;
            info->aConstraintUsage[i].omit = 1;
            break;
        }
    }
    if (plan & kPlanLookup) {
        // A round trip per lookup: dearer than reading the source once in a join.
        info->estimatedCost = 2000.0;
        info->estimatedRows = 1;
        info->idxFlags = SQLITE_INDEX_SCAN_UNIQUE;
    } else {
        info->estimatedCost = 1000000.0;
        info->estimatedRows = 1000000;
    }
    // The source sorts by its key when the statement asks for that order, and for a plain
    // read (rows of a link come in key order, the order that decides training and testing
    // rows); not for a count, a grouping or another order, which SQLite sorts itself.
    if (v->keyCol >= 0) {
        if (info->nOrderBy == 1 && info->aOrderBy[0].iColumn == v->keyCol && !info->aOrderBy[0].desc) {
            info->orderByConsumed = 1;
            plan |= kPlanOrdered;
        } else if (info->nOrderBy == 0 && info->colUsed != 0 && sqlite3_vtab_distinct(info) == 0
                   && !(plan & kPlanLookup)) {
            plan |= kPlanOrdered;
        }
    }
    // LIMIT/OFFSET of a statement over this table alone, in the order the source gives.
    if (v->conn->LimitOffset() && (info->nOrderBy == 0 || info->orderByConsumed)) {
        int next = (plan & kPlanLookup) ? 2 : 1;
        for (int i = 0; i < info->nConstraint; ++i) {
            const auto& c = info->aConstraint[i];
            if (!c.usable)
                continue;
            if (c.op == SQLITE_INDEX_CONSTRAINT_LIMIT && !(plan & kPlanLimit))
                plan |= kPlanLimit;
            else if (c.op == SQLITE_INDEX_CONSTRAINT_OFFSET && !(plan & kPlanOffset))
                plan |= kPlanOffset;
            else
                continue;
            info->aConstraintUsage[i].omit = 1;
            info->aConstraintUsage[i].argvIndex = 0;   // numbered below, LIMIT first
        }
        for (int pass = 0; pass < 2; ++pass) {
            const int op = pass == 0 ? SQLITE_INDEX_CONSTRAINT_LIMIT : SQLITE_INDEX_CONSTRAINT_OFFSET;
            for (int i = 0; i < info->nConstraint; ++i) {
                if (info->aConstraint[i].usable && info->aConstraint[i].op == op
                    && info->aConstraintUsage[i].omit) {
                    info->aConstraintUsage[i].argvIndex = next++;
                    break;
                }
            }
        }
    }
    info->idxNum = plan;
    info->idxStr = sqlite3_mprintf("%llx", static_cast<unsigned long long>(info->colUsed));
    info->needToFreeIdxStr = 1;
    return SQLITE_OK;
}

int vtOpen(sqlite3_vtab*, sqlite3_vtab_cursor** out)
{
    auto* c = new OdbcCursor;
    *out = &c->base;
    return SQLITE_OK;
}

void freeStmt(OdbcCursor* c)
{
    c->ahead.reset();
    if (c->stmt != SQL_NULL_HSTMT) {
        SQLFreeHandle(SQL_HANDLE_STMT, c->stmt);
        c->stmt = SQL_NULL_HSTMT;
    }
}

int vtClose(sqlite3_vtab_cursor* cur)
{
    auto* c = reinterpret_cast<OdbcCursor*>(cur);
    freeStmt(c);
    delete c;
    return SQLITE_OK;
}

// Reads the next row (or rowset) from the driver; false at the end.
bool fetchRows(OdbcVtab* v, OdbcCursor* c)
{
    c->pos = 0;
    if (c->ahead) {
        Block b;
        if (!c->ahead->Next(b))
            return false;
        c->data = std::move(b.data);
        c->ind = std::move(b.ind);
        c->fetched = b.rows;
        return true;
    }
    const SQLRETURN rc = SQLFetch(c->stmt);
    if (rc == SQL_NO_DATA) {
        // The first rows read whole: the helpers read the rest.
        if (c->plan && c->mainRows == kFirstRows && (c->plan->limit < 0 || c->plan->limit > kFirstRows)) {
            freeStmt(c);
            c->ahead = std::make_unique<ReadAhead>(v->conn, *c->plan);
            return fetchRows(v, c);
        }
        return false;
    }
    if (!SQL_SUCCEEDED(rc))
        ThrowOdbc(SQL_HANDLE_STMT, c->stmt);
    if (c->plan && c->fetched > 0) {
        c->mainRows += int64_t(c->fetched);
        std::memcpy(&c->plan->firstKey, c->data[c->plan->keyAt].data() + (c->fetched - 1) * sizeof(SQLBIGINT),
                    sizeof(SQLBIGINT));
    }
    if (!c->bindAll) {
        c->fetched = 1;
        c->row.assign(c->sel.size(), Value());
        for (size_t i = 0; i < c->sel.size(); ++i) {
            const VColumn& col = v->cols[size_t(c->sel[i])];
            const SQLUSMALLINT n = SQLUSMALLINT(i + 1);
            SQLLEN len = 0;
            if (col.kind == Kind::Int) {
                SQLBIGINT x = 0;
                if (!SQL_SUCCEEDED(SQLGetData(c->stmt, n, SQL_C_SBIGINT, &x, 0, &len)))
                    ThrowOdbc(SQL_HANDLE_STMT, c->stmt);
                if (len != SQL_NULL_DATA)
                    c->row[i] = Value(static_cast<long long>(x));
            } else if (col.kind == Kind::Dbl) {
                double x = 0;
                if (!SQL_SUCCEEDED(SQLGetData(c->stmt, n, SQL_C_DOUBLE, &x, 0, &len)))
                    ThrowOdbc(SQL_HANDLE_STMT, c->stmt);
                if (len != SQL_NULL_DATA)
                    c->row[i] = Value(x);
            } else {
                const SQLSMALLINT ctype = col.kind == Kind::Bytes ? SQL_C_BINARY : SQL_C_CHAR;
                QByteArray out;
                char buf[4096];
                bool isNull = false;
                for (;;) {
                    const SQLRETURN r = SQLGetData(c->stmt, n, ctype, buf, sizeof buf, &len);
                    if (r == SQL_NO_DATA)
                        break;
                    if (!SQL_SUCCEEDED(r))
                        ThrowOdbc(SQL_HANDLE_STMT, c->stmt);
                    if (len == SQL_NULL_DATA) {
                        isNull = true;
                        break;
                    }
                    const SQLLEN room = ctype == SQL_C_CHAR ? SQLLEN(sizeof buf) - 1 : SQLLEN(sizeof buf);
                    if (r == SQL_SUCCESS_WITH_INFO && (len == SQL_NO_TOTAL || len > room)) {
                        out.append(buf, int(room));
                        continue;
                    }
                    out.append(buf, int(len));
                    break;
                }
                if (!isNull)
                    c->row[i] = col.kind == Kind::Bytes ? Value(out) : Value(QString::fromUtf8(out));
            }
        }
    }
    return c->fetched > 0;
}

int vtFilter(sqlite3_vtab_cursor* cur, int idxNum, const char* idxStr, int argc,
             sqlite3_value** argv)
{
    auto* c = reinterpret_cast<OdbcCursor*>(cur);
    auto* v = reinterpret_cast<OdbcVtab*>(cur->pVtab);
    try {
        freeStmt(c);
        c->eof = true;
        c->rowid = 0;
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, v->conn->Hdbc(), &c->stmt)))
            ThrowOdbc(SQL_HANDLE_DBC, v->conn->Hdbc());
        const unsigned long long used = idxStr ? std::strtoull(idxStr, nullptr, 16) : ~0ULL;
        c->sel.clear();
        c->at.assign(v->cols.size(), -1);
        c->bindAll = true;
        QStringList names;
        for (size_t i = 0; i < v->cols.size(); ++i) {
            if (!(used & (1ULL << std::min<size_t>(i, 63))))
                continue;
            c->at[i] = int(c->sel.size());
            c->sel.push_back(int(i));
            names << v->conn->Quote(v->cols[i].name);
            if (v->cols[i].kind == Kind::Text || v->cols[i].kind == Kind::Bytes)
                c->bindAll = false;
        }
        c->plan.reset();
        c->mainRows = 0;
        const VColumn* key = v->keyCol >= 0 ? &v->cols[size_t(v->keyCol)] : nullptr;
        if (v->conn->ReadsInParallel() && (idxNum & kPlanOrdered) && !(idxNum & kPlanLookup) && c->bindAll
            && !c->sel.empty() && key && key->kind == Kind::Int && !key->nullable) {
            // The helpers go on from the last key read: read it too.
            if (c->at[size_t(v->keyCol)] < 0) {
                c->at[size_t(v->keyCol)] = int(c->sel.size());
                c->sel.push_back(v->keyCol);
                names << v->conn->Quote(key->name);
            }
            ReadAhead::Plan plan;
            plan.keyAt = size_t(c->at[size_t(v->keyCol)]);
            for (const int col : c->sel)
                plan.whole.push_back(v->cols[size_t(col)].kind == Kind::Int);
            plan.select = QStringLiteral("SELECT ") + names.join(u',') + QStringLiteral(" FROM ") + v->from
                          + QStringLiteral(" WHERE ") + v->conn->Quote(key->name) + QStringLiteral(" > ");
            plan.order = QStringLiteral(" ORDER BY ") + v->conn->Quote(key->name);
            c->plan = std::move(plan);
        }
        if (names.isEmpty())
            names << QStringLiteral("1");   // count(*): rows without columns
        QString sql = QStringLiteral("SELECT ") + names.join(u',') + QStringLiteral(" FROM ") + v->from;
        if ((idxNum & kPlanLookup) && argc == 1) {
            sql += QStringLiteral(" WHERE ") + v->conn->Quote(v->cols[size_t(v->keyCol)].name)
                   + QStringLiteral(" = ?");
            sqlite3_value* key = argv[0];
            SQLRETURN rc;
            switch (sqlite3_value_type(key)) {
            case SQLITE_INTEGER:
                c->keyInt = sqlite3_value_int64(key);
                c->keyInd = 0;
                rc = SQLBindParameter(c->stmt, 1, SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_BIGINT, 0, 0,
                                      &c->keyInt, 0, &c->keyInd);
                break;
            case SQLITE_FLOAT:
                c->keyDbl = sqlite3_value_double(key);
                c->keyInd = 0;
                rc = SQLBindParameter(c->stmt, 1, SQL_PARAM_INPUT, SQL_C_DOUBLE, SQL_DOUBLE, 0, 0,
                                      &c->keyDbl, 0, &c->keyInd);
                break;
            case SQLITE_NULL:
                return SQLITE_OK;   // nothing equals Null
            default:
                c->keyText = QByteArray(reinterpret_cast<const char*>(sqlite3_value_text(key)),
                                        sqlite3_value_bytes(key));
                c->keyInd = SQLLEN(c->keyText.size());
                rc = SQLBindParameter(c->stmt, 1, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR,
                                      SQLULEN(qMax<qsizetype>(1, c->keyText.size())), 0,
                                      c->keyText.data(), c->keyInd, &c->keyInd);
                break;
            }
            if (!SQL_SUCCEEDED(rc))
                ThrowOdbc(SQL_HANDLE_STMT, c->stmt);
        }
        if ((idxNum & kPlanOrdered) && v->keyCol >= 0)
            sql += QStringLiteral(" ORDER BY ") + v->conn->Quote(v->cols[size_t(v->keyCol)].name);
        int64_t limit = -1;
        int64_t offset = 0;
        if (idxNum & (kPlanLimit | kPlanOffset)) {
            int at = (idxNum & kPlanLookup) ? 1 : 0;
            if ((idxNum & kPlanLimit) && at < argc)
                limit = sqlite3_value_int64(argv[at++]);
            if ((idxNum & kPlanOffset) && at < argc)
                offset = std::max<int64_t>(0, sqlite3_value_int64(argv[at]));
        }
        if (c->plan) {
            c->plan->limit = limit;
            limit = limit < 0 ? kFirstRows : std::min(limit, kFirstRows);
        }
        if (limit >= 0 || offset > 0) {
            if (limit >= 0)
                sql += QStringLiteral(" LIMIT ") + QString::number(limit);
            if (offset > 0)
                sql += (limit >= 0 ? QString() : QStringLiteral(" LIMIT ") + QString::number(INT64_MAX))
                       + QStringLiteral(" OFFSET ") + QString::number(offset);
        }
        if (c->sel.empty())
            c->bindAll = false;
        if (c->bindAll) {
            SQLSetStmtAttr(c->stmt, SQL_ATTR_ROW_BIND_TYPE, SQL_BIND_BY_COLUMN, 0);
            SQLSetStmtAttr(c->stmt, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(kRowset), 0);
            SQLSetStmtAttr(c->stmt, SQL_ATTR_ROWS_FETCHED_PTR, &c->fetched, 0);
            c->data.assign(c->sel.size(), {});
            c->ind.assign(c->sel.size(), std::vector<SQLLEN>(kRowset));
            for (size_t i = 0; i < c->sel.size(); ++i) {
                const bool whole = v->cols[size_t(c->sel[i])].kind == Kind::Int;
                const SQLSMALLINT ctype = whole ? SQL_C_SBIGINT : SQL_C_DOUBLE;
                const SQLLEN width = whole ? SQLLEN(sizeof(SQLBIGINT)) : SQLLEN(sizeof(double));
                c->data[i].assign(size_t(width) * kRowset, 0);
                if (!SQL_SUCCEEDED(SQLBindCol(c->stmt, SQLUSMALLINT(i + 1), ctype, c->data[i].data(),
                                              width, c->ind[i].data())))
                    ThrowOdbc(SQL_HANDLE_STMT, c->stmt);
            }
        }
        QByteArray text = sql.toUtf8();
        const SQLRETURN rc = SQLExecDirect(c->stmt, reinterpret_cast<SQLCHAR*>(text.data()),
                                           SQLINTEGER(text.size()));
        if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA)
            ThrowOdbc(SQL_HANDLE_STMT, c->stmt);
        c->eof = rc == SQL_NO_DATA || !fetchRows(v, c);
        return SQLITE_OK;
    } catch (...) {
        return setError(cur->pVtab, CurrentError().description());
    }
}

int vtNext(sqlite3_vtab_cursor* cur)
{
    auto* c = reinterpret_cast<OdbcCursor*>(cur);
    auto* v = reinterpret_cast<OdbcVtab*>(cur->pVtab);
    ++c->rowid;
    if (++c->pos < c->fetched)
        return SQLITE_OK;
    try {
        c->eof = !fetchRows(v, c);
        return SQLITE_OK;
    } catch (...) {
        return setError(cur->pVtab, CurrentError().description());
    }
}

int vtEof(sqlite3_vtab_cursor* cur)
{
    return reinterpret_cast<OdbcCursor*>(cur)->eof ? 1 : 0;
}

// Text, or for a column declared numeric the number it spells (as SQLite's numeric affinity
// would store it), so that comparisons and aggregates see numbers.
void resultText(sqlite3_context* ctx, const char* text, int len, bool numeric)
{
    if (numeric && len > 0) {
        const Value v(QString::fromUtf8(text, len));
        bool ok = false;
        const qlonglong i = v.toText().trimmed().toLongLong(&ok);
        if (ok) {
            sqlite3_result_int64(ctx, i);
            return;
        }
        if (const auto d = v.ToDouble()) {
            sqlite3_result_double(ctx, *d);
            return;
        }
    }
    sqlite3_result_text(ctx, text, len, SQLITE_TRANSIENT);
}

int vtColumn(sqlite3_vtab_cursor* cur, sqlite3_context* ctx, int i)
{
    auto* c = reinterpret_cast<OdbcCursor*>(cur);
    auto* v = reinterpret_cast<OdbcVtab*>(cur->pVtab);
    const VColumn& col = v->cols[size_t(i)];
    const int at = c->at.empty() ? -1 : c->at[size_t(i)];
    if (at < 0) {
        sqlite3_result_null(ctx);   // a column the statement does not use
        return SQLITE_OK;
    }
    if (!c->bindAll) {
        const Value& val = c->row[size_t(at)];
        switch (val.type()) {
        case Value::Type::Null: sqlite3_result_null(ctx); break;
        case Value::Type::Integer: sqlite3_result_int64(ctx, *val.ToInt()); break;
        case Value::Type::Double: sqlite3_result_double(ctx, *val.ToDouble()); break;
        case Value::Type::Text: {
            const QByteArray u = val.toText().toUtf8();
            resultText(ctx, u.constData(), int(u.size()), col.numeric);
            break;
        }
        case Value::Type::Bytes: {
            const QByteArray b = val.toBytes();
            sqlite3_result_blob(ctx, b.constData(), int(b.size()), SQLITE_TRANSIENT);
            break;
        }
        }
        return SQLITE_OK;
    }
    const SQLLEN ind = c->ind[size_t(at)][c->pos];
    if (ind == SQL_NULL_DATA) {
        sqlite3_result_null(ctx);
        return SQLITE_OK;
    }
    const char* base = c->data[size_t(at)].data();
    switch (col.kind) {
    case Kind::Int: {
        SQLBIGINT x;
        memcpy(&x, base + c->pos * sizeof(SQLBIGINT), sizeof x);
        sqlite3_result_int64(ctx, x);
        break;
    }
    default: {
        double x;
        memcpy(&x, base + c->pos * sizeof(double), sizeof x);
        sqlite3_result_double(ctx, x);
        break;
    }
    }
    return SQLITE_OK;
}

int vtRowid(sqlite3_vtab_cursor* cur, sqlite3_int64* rowid)
{
    *rowid = reinterpret_cast<OdbcCursor*>(cur)->rowid;
    return SQLITE_OK;
}

sqlite3_module& odbcModule()
{
    static sqlite3_module m = [] {
        sqlite3_module x{};
        x.iVersion = 1;
        x.xCreate = vtConnect;
        x.xConnect = vtConnect;
        x.xBestIndex = vtBestIndex;
        x.xDisconnect = vtDisconnect;
        x.xDestroy = vtDisconnect;
        x.xOpen = vtOpen;
        x.xClose = vtClose;
        x.xFilter = vtFilter;
        x.xNext = vtNext;
        x.xEof = vtEof;
        x.xColumn = vtColumn;
        x.xRowid = vtRowid;
        return x;
    }();
    return m;
}

} // namespace

void RegisterOdbcModule(sqlite3* db, ConnectionImpl* owner)
{
    sqlite3_create_module_v2(db, kOdbcModule, &odbcModule(), owner, nullptr);
}

} // namespace kdb::detail
