// Statements and what reads through them: binding values, the prepared-statement cache, the
// forward-only Reader, Execute and Snapshot.
#include "kdb/internal.h"

namespace kdb {

using detail::Error;


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
        const QString missing = detail::MissingTable(QString::fromUtf8(sqlite3_errmsg(c->db)));
        if (!missing.isEmpty() && makeMissingTable(c, missing))
            continue;
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
    // The statement held before goes back to the cache with `taken`; a move onto itself takes
    // the statement out and swaps it back.
    Statement taken(std::move(o));
    std::swap(m_conn, taken.m_conn);
    std::swap(m_stmt, taken.m_stmt);
    std::swap(m_sql, taken.m_sql);
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
} // namespace kdb
