// Table definitions (tables, fields, indexes, counts) and linked tables.
#include "kdb/internal.h"

#include <cmath>

#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>

namespace kdb {

using detail::Error;
using detail::LinkState;

// --- declared types --------------------------------------------------------------------------

int16_t DaoTypeFromDeclared(const QString& declaredType, int* size)
{
    return detail::DaoTypeFromName(declaredType, size, nullptr);
}

int16_t detail::DaoTypeFromName(const QString& declaredType, int* size, bool* known)
{
    if (known)
        *known = true;
    QString t = declaredType.trimmed().toUpper();
    int n = 0;
    const qsizetype paren = t.indexOf(u'(');
    if (paren >= 0) {
        const qsizetype close = t.indexOf(u')', paren);
        const QString inner = t.mid(paren + 1, close < 0 ? -1 : close - paren - 1);
        n = inner.section(u',', 0, 0).trimmed().toInt();
        t = t.left(paren).trimmed();
    }
    t = t.simplified();
    if (size)
        *size = 0;
    struct Rule {
        const char* word;
        int16_t code;
        bool sized;
    };
    static const Rule rules[] = {
        {"BOOLEAN", dbBoolean, false}, {"BOOL", dbBoolean, false}, {"BIT", dbBoolean, false},
        {"YESNO", dbBoolean, false}, {"LOGICAL", dbBoolean, false},
        {"TINYINT", dbByte, false}, {"BYTE", dbByte, false},
        {"SMALLINT", dbInteger, false}, {"SHORT", dbInteger, false}, {"INT2", dbInteger, false},
        {"BIGINT", dbBigInt, false}, {"INT8", dbBigInt, false},
        {"UNSIGNED BIG INT", dbBigInt, false},
        {"INTEGER", dbLong, false}, {"INT", dbLong, false}, {"LONG", dbLong, false},
        {"INT4", dbLong, false}, {"COUNTER", dbLong, false}, {"AUTOINCREMENT", dbLong, false},
        {"MEDIUMINT", dbLong, false},
        {"CURRENCY", dbCurrency, false}, {"MONEY", dbCurrency, false},
        {"DECIMAL", dbDouble, false}, {"NUMERIC", dbDouble, false},
        {"SINGLE", dbSingle, false}, {"REAL4", dbSingle, false}, {"FLOAT4", dbSingle, false},
        {"REAL", dbDouble, false}, {"DOUBLE", dbDouble, false},
        {"DOUBLE PRECISION", dbDouble, false}, {"FLOAT", dbDouble, false},
        {"FLOAT8", dbDouble, false},
        {"DATE", dbDate, false}, {"DATETIME", dbDate, false}, {"TIMESTAMP", dbDate, false},
        {"TIME", dbTime, false},
        {"TEXT", dbText, true}, {"VARCHAR", dbText, true}, {"CHAR", dbText, true},
        {"NCHAR", dbText, true}, {"NVARCHAR", dbText, true}, {"STRING", dbText, true},
        {"CHARACTER", dbText, true}, {"VARYING CHARACTER", dbText, true},
        {"CHARACTER VARYING", dbText, true}, {"NATIVE CHARACTER", dbText, true},
        {"MEMO", dbMemo, false}, {"LONGTEXT", dbMemo, false}, {"LONGCHAR", dbMemo, false},
        {"CLOB", dbMemo, false}, {"NOTE", dbMemo, false},
        {"LONG VARCHAR", dbMemo, false}, {"LONG NVARCHAR", dbMemo, false},
        {"LONG VARBINARY", dbLongBinary, false},
        {"BLOB", dbLongBinary, false}, {"LONGBINARY", dbLongBinary, false},
        {"IMAGE", dbLongBinary, false}, {"OLEOBJECT", dbLongBinary, false},
        {"BINARY", dbBinary, false}, {"VARBINARY", dbBinary, false},
        {"GUID", dbGUID, false}, {"UNIQUEIDENTIFIER", dbGUID, false},
    };
    if (t.isEmpty())
        return dbText;
    const QString first = t.section(u' ', 0, 0);
    for (const QString& candidate : {t, first}) {
        for (const Rule& r : rules) {
            if (candidate == QLatin1String(r.word)) {
                if (size && r.sized)
                    *size = n;
                return r.code;
            }
        }
    }
    // SQLite's own affinity rule for any other name.
    if (known)
        *known = false;
    if (t.contains(QStringLiteral("INT")))
        return dbLong;
    if (t.contains(QStringLiteral("CHAR")) || t.contains(QStringLiteral("CLOB"))
        || t.contains(QStringLiteral("TEXT"))) {
        if (size)
            *size = n;
        return dbText;
    }
    if (t.contains(QStringLiteral("BLOB")))
        return dbLongBinary;
    return dbDouble;
}

// --- helpers ---------------------------------------------------------------------------------

namespace {

bool isHiddenName(const QString& name)
{
    return name.startsWith(QStringLiteral("sqlite_"), Qt::CaseInsensitive)
        || name.startsWith(QStringLiteral("__kdb_"), Qt::CaseInsensitive);
}

bool hasLinksTable(ConnectionImpl* c)
{
    sqlite3_stmt* s = PrepareRaw(c, QStringLiteral(
        "SELECT 1 FROM main.sqlite_master WHERE type = 'table' AND name = '__kdb_links'"));
    const bool found = sqlite3_step(s) == SQLITE_ROW;
    sqlite3_finalize(s);
    return found;
}

// The name of a table or view of a schema as it is spelled there (ignoring case); "" if none.
QString schemaTable(ConnectionImpl* c, const QString& schema, const QString& name)
{
    sqlite3_stmt* s = PrepareRaw(c, QStringLiteral(
        "SELECT name FROM %1.sqlite_master WHERE type IN ('table','view') AND name = ? "
        "COLLATE NOCASE").arg(QuoteIdent(schema)));
    BindValue(s, 1, name);
    QString found;
    if (sqlite3_step(s) == SQLITE_ROW)
        found = ColumnValue(s, 0).toText();
    sqlite3_finalize(s);
    return found;
}

bool schemaIsView(ConnectionImpl* c, const QString& schema, const QString& name)
{
    sqlite3_stmt* s = PrepareRaw(c, QStringLiteral(
        "SELECT type FROM %1.sqlite_master WHERE name = ?").arg(QuoteIdent(schema)));
    BindValue(s, 1, name);
    bool view = false;
    if (sqlite3_step(s) == SQLITE_ROW)
        view = ColumnValue(s, 0).toText() == QLatin1String("view");
    sqlite3_finalize(s);
    return view;
}

QList<FieldInfo> sqliteFields(ConnectionImpl* c, const QString& schema, const QString& table)
{
    sqlite3_stmt* s = PrepareRaw(c, QStringLiteral(
        "SELECT name, type, \"notnull\", pk FROM pragma_table_info(?, ?) ORDER BY cid"));
    BindValue(s, 1, table);
    BindValue(s, 2, schema);
    QList<FieldInfo> fields;
    const QByteArray schemaUtf8 = schema.toUtf8();
    const QByteArray tableUtf8 = table.toUtf8();
    while (sqlite3_step(s) == SQLITE_ROW) {
        FieldInfo f;
        f.name = ColumnValue(s, 0).toText();
        f.declaredType = ColumnValue(s, 1).toText();
        f.type = DaoTypeFromDeclared(f.declaredType, &f.size);
        f.required = sqlite3_column_int(s, 2) != 0;
        int autoinc = 0;
        int notNull = 0;
        int pk = 0;
        const QByteArray col = f.name.toUtf8();
        if (sqlite3_table_column_metadata(c->db, schemaUtf8.constData(), tableUtf8.constData(),
                                          col.constData(), nullptr, nullptr, &notNull, &pk,
                                          &autoinc) == SQLITE_OK)
            f.autoNumber = autoinc != 0;
        fields << f;
    }
    sqlite3_finalize(s);
    return fields;
}

QStringList sqlitePrimaryKey(ConnectionImpl* c, const QString& schema, const QString& table)
{
    sqlite3_stmt* s = PrepareRaw(c, QStringLiteral(
        "SELECT name FROM pragma_table_info(?, ?) WHERE pk > 0 ORDER BY pk"));
    BindValue(s, 1, table);
    BindValue(s, 2, schema);
    QStringList key;
    while (sqlite3_step(s) == SQLITE_ROW)
        key << ColumnValue(s, 0).toText();
    sqlite3_finalize(s);
    return key;
}

QList<IndexInfo> sqliteIndexes(ConnectionImpl* c, const QString& schema, const QString& table)
{
    QList<IndexInfo> list;
    sqlite3_stmt* s = PrepareRaw(c, QStringLiteral(
        "SELECT name, \"unique\", origin FROM pragma_index_list(?, ?) ORDER BY seq DESC"));
    BindValue(s, 1, table);
    BindValue(s, 2, schema);
    bool primaryFound = false;
    while (sqlite3_step(s) == SQLITE_ROW) {
        IndexInfo ix;
        const QString internal = ColumnValue(s, 0).toText();
        ix.name = internal;
        ix.unique = sqlite3_column_int(s, 1) != 0;
        ix.primary = ColumnValue(s, 2).toText() == QLatin1String("pk");
        sqlite3_stmt* cols = PrepareRaw(c, QStringLiteral(
            "SELECT name FROM pragma_index_info(?, ?) ORDER BY seqno"));
        BindValue(cols, 1, internal);
        BindValue(cols, 2, schema);
        while (sqlite3_step(cols) == SQLITE_ROW)
            ix.fields << ColumnValue(cols, 0).toText();
        sqlite3_finalize(cols);
        if (ix.primary) {
            ix.name = QStringLiteral("PrimaryKey");
            primaryFound = true;
            list.prepend(ix);
        } else {
            list << ix;
        }
    }
    sqlite3_finalize(s);
    if (!primaryFound) {
        // An INTEGER PRIMARY KEY is the row id itself and has no index entry of its own.
        const QStringList key = sqlitePrimaryKey(c, schema, table);
        if (!key.isEmpty())
            list.prepend(detail::PrimaryIndex(key));
    }
    return list;
}

FieldInfo odbcField(const detail::OdbcColumn& col)
{
    FieldInfo f;
    f.name = col.name;
    f.declaredType = col.typeName;
    int declared = 0;
    f.type = detail::DaoTypeForColumn(col, &declared);
    f.size = (f.type == dbText) ? (col.size > 0 ? col.size : declared) : 0;
    f.required = !col.nullable;
    // A number the source gives itself is the auto-number Long of a Jet table, so that a
    // table keeps its definition between a server and a file copy.
    f.autoNumber = col.autoUnique && f.type == dbLong;
    return f;
}

QString fileOfConnect(const QString& connect)
{
    const qsizetype at = connect.indexOf(QStringLiteral("DATABASE="), 0, Qt::CaseInsensitive);
    if (at < 0)
        return connect.startsWith(u';') ? QString() : connect;
    return connect.mid(at + 9);
}

QString roUri(const QString& path)
{
    QString abs = QFileInfo(path).absoluteFilePath();
    QByteArray enc = QUrl::toPercentEncoding(abs, "/");
    return QStringLiteral("file:") + QString::fromLatin1(enc) + QStringLiteral("?mode=ro");
}

QString keyOrderTerms(const QStringList& key, const QString& qualifier)
{
    QStringList terms;
    for (const QString& k : key)
        terms << (qualifier.isEmpty() ? QString() : QuoteIdent(qualifier) + u'.') + QuoteIdent(k);
    return terms.join(QStringLiteral(", "));
}

QString sqlLiteral(const QString& s)
{
    QString q = s;
    q.replace(u'\'', QStringLiteral("''"));
    return u'\'' + q + u'\'';
}

// Attaches the file of a file link read-only under a new schema and finds its table.
// Leaves link.schema set; raises 3024/3343/3078 with nothing attached.
QString attachFileSource(ConnectionImpl* c, LinkState& link)
{
    const QString path = fileOfConnect(link.connect);
    if (path.isEmpty() || !QFileInfo(path).isFile())
        throw Error(3024, path);
    if (!IsDatabaseFile(path))
        throw Error(3343, path);
    // Attached read-only: a data file whose writer was killed is recovered first.
    detail::RecoverInterruptedWrite(path);
    const QString alias = QStringLiteral("kdb_src_%1").arg(++c->attachCounter);
    sqlite3_stmt* s = PrepareRaw(c, QStringLiteral("ATTACH DATABASE ? AS %1").arg(QuoteIdent(alias)));
    BindValue(s, 1, roUri(path));
    const int rc = sqlite3_step(s);
    sqlite3_finalize(s);
    if (rc != SQLITE_DONE)
        ThrowSqlite(c, rc);
    QString actual;
    try {
        actual = schemaTable(c, alias, link.sourceTable);
    } catch (...) {
        c->Exec(QStringLiteral("DETACH DATABASE %1").arg(QuoteIdent(alias)).toUtf8().constData());
        throw;
    }
    if (actual.isEmpty()) {
        c->Exec(QStringLiteral("DETACH DATABASE %1").arg(QuoteIdent(alias)).toUtf8().constData());
        throw Error(3078, link.sourceTable);
    }
    link.schema = alias;
    return actual;
}

void detachQuietly(ConnectionImpl* c, const QString& alias)
{
    if (alias.isEmpty())
        return;
    char* err = nullptr;
    sqlite3_exec(c->db, QStringLiteral("DETACH DATABASE %1").arg(QuoteIdent(alias)).toUtf8().constData(),
                 nullptr, nullptr, &err);
    sqlite3_free(err);
}

// The statement that makes the link's temporary object; the source must be reachable
// (attached or connected) already. `actual` is the source table's own spelling.
QString linkObjectSql(ConnectionImpl* c, const LinkState& link, const QString& actual)
{
    if (link.odbc)
        return QStringLiteral("CREATE VIRTUAL TABLE temp.%1 USING %2(%3, %4)")
            .arg(QuoteIdent(link.name), QString::fromLatin1(detail::kOdbcModule),
                 sqlLiteral(StripOdbcPrefix(link.connect)), sqlLiteral(actual));
    // Key order is part of the view, so that a plain read of the link delivers its rows in
    // the order that decides training and testing rows; a source without key keeps its
    // storage (row id) order.
    const QStringList key = sqlitePrimaryKey(c, link.schema, actual);
    QString order;
    if (!key.isEmpty())
        order = QStringLiteral(" ORDER BY ") + keyOrderTerms(key, {});
    else if (!schemaIsView(c, link.schema, actual))
        order = QStringLiteral(" ORDER BY _rowid_");
    // Jet compares text ignoring case: the text columns compare so through the link. The key
    // keeps its own collation, so that joins on it use the source's index.
    QStringList select;
    for (const FieldInfo& f : sqliteFields(c, link.schema, actual)) {
        if ((f.type == dbText || f.type == dbMemo) && !key.contains(f.name))
            select << QuoteIdent(f.name) + QStringLiteral(" COLLATE NOCASE AS ") + QuoteIdent(f.name);
        else
            select << QuoteIdent(f.name);
    }
    return QStringLiteral("CREATE TEMP VIEW %1 AS SELECT %5 FROM %2.%3%4")
        .arg(QuoteIdent(link.name), QuoteIdent(link.schema), QuoteIdent(actual), order,
             select.join(QStringLiteral(", ")));
}

// Makes the source reachable; returns the source table's own spelling.
QString reachSource(ConnectionImpl* c, LinkState& link)
{
    link.odbc = IsOdbcConnect(link.connect);
    if (link.odbc) {
        auto odbc = c->OdbcFor(StripOdbcPrefix(link.connect));
        const QString actual = odbc->FindTable(link.sourceTable);
        // A table listed but out of reach (no columns to read) cannot be linked either.
        if (actual.isEmpty() || odbc->Columns(actual).isEmpty())
            throw Error(3078, link.sourceTable);
        return actual;
    }
    return attachFileSource(c, link);
}

QString dropObjectSql(const LinkState& link)
{
    return link.odbc ? QStringLiteral("DROP TABLE IF EXISTS temp.%1").arg(QuoteIdent(link.name))
                     : QStringLiteral("DROP VIEW IF EXISTS temp.%1").arg(QuoteIdent(link.name));
}

} // namespace

void MakeLinkLive(ConnectionImpl* c, LinkState& link)
{
    link.live = false;
    link.errorNumber = 0;
    try {
        const QString actual = reachSource(c, link);
        try {
            c->Exec(linkObjectSql(c, link, actual).toUtf8().constData());
        } catch (...) {
            if (!link.odbc)
                detachQuietly(c, link.schema);
            link.schema.clear();
            throw;
        }
        link.live = true;
    } catch (...) {
        const KvError e = CurrentError();
        link.errorNumber = e.number();
        link.errorText = e.description();
    }
}

void DropLinkObjects(ConnectionImpl* c, LinkState& link)
{
    if (link.live) {
        char* err = nullptr;
        sqlite3_exec(c->db, dropObjectSql(link).toUtf8().constData(), nullptr, nullptr, &err);
        sqlite3_free(err);
    }
    if (!link.odbc)
        detachQuietly(c, link.schema);
    link.schema.clear();
    link.live = false;
}

void LoadLinks(ConnectionImpl* c)
{
    if (!hasLinksTable(c))
        return;
    sqlite3_stmt* s = PrepareRaw(c, QStringLiteral(
        "SELECT Name, Connect, SourceTable FROM main.__kdb_links ORDER BY rowid"));
    QList<LinkState> found;
    while (sqlite3_step(s) == SQLITE_ROW) {
        LinkState l;
        l.name = ColumnValue(s, 0).toText();
        l.connect = ColumnValue(s, 1).toText();
        l.sourceTable = ColumnValue(s, 2).toText();
        found << l;
    }
    sqlite3_finalize(s);
    for (LinkState& l : found) {
        MakeLinkLive(c, l);
        c->links[l.name] = l;
    }
}

// --- table definitions -----------------------------------------------------------------------

QList<TableInfo> Database::Tables() const
{
    Require();
    ConnectionImpl* c = m_conn.get();
    QList<TableInfo> list;
    if (c->odbc) {
        QList<bool> views;
        const QStringList names = c->odbcConn->Tables(&views);
        for (int i = 0; i < names.size(); ++i) {
            TableInfo t;
            t.name = names.at(i);
            t.view = views.value(i);
            list << t;
        }
        return list;
    }
    sqlite3_stmt* s = PrepareRaw(c, QStringLiteral(
        "SELECT name, type FROM main.sqlite_master WHERE type IN ('table','view') ORDER BY rowid"));
    while (sqlite3_step(s) == SQLITE_ROW) {
        TableInfo t;
        t.name = ColumnValue(s, 0).toText();
        if (isHiddenName(t.name))
            continue;
        t.view = ColumnValue(s, 1).toText() == QLatin1String("view");
        list << t;
    }
    sqlite3_finalize(s);
    if (hasLinksTable(c)) {
        s = PrepareRaw(c, QStringLiteral(
            "SELECT Name, Connect, SourceTable FROM main.__kdb_links ORDER BY rowid"));
        while (sqlite3_step(s) == SQLITE_ROW) {
            TableInfo t;
            t.name = ColumnValue(s, 0).toText();
            t.connect = ColumnValue(s, 1).toText();
            t.sourceTable = ColumnValue(s, 2).toText();
            t.linked = true;
            list << t;
        }
        sqlite3_finalize(s);
    }
    return list;
}

QStringList Database::TableNames() const
{
    QStringList names;
    for (const TableInfo& t : Tables())
        names << t.name;
    return names;
}

bool Database::HasTable(const QString& name, bool exact) const
{
    const QString wanted = exact ? name : name.trimmed();
    for (const TableInfo& t : Tables()) {
        if (exact ? t.name == wanted
                  : t.name.trimmed().compare(wanted, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QString Database::FindTable(const QString& name, bool exactCase) const
{
    Require();
    ConnectionImpl* c = m_conn.get();
    if (c->odbc) {
        // A server's table is the one its links and statements read under the name, whatever
        // the letters: a plain name is the server's to resolve (ROAD is road), and a name
        // that could mean several tables is refused there.
        return c->odbcConn->FindTable(name);
    }
    const QList<TableInfo> tables = Tables();
    for (const Qt::CaseSensitivity cs : {Qt::CaseSensitive, Qt::CaseInsensitive}) {
        if (exactCase && cs == Qt::CaseInsensitive)
            break;
        for (const TableInfo& t : tables) {
            if (t.name.compare(name, cs) == 0)
                return t.name;
        }
    }
    return {};
}

void Database::ReadDecimalsAsText(bool asText)
{
    Require();
    m_conn->decimalsAsText = asText;
}

std::optional<TableInfo> Database::LinkInfo(const QString& name) const
{
    Require();
    const auto it = m_conn->links.find(name);
    if (it == m_conn->links.end())
        return std::nullopt;
    TableInfo t;
    t.name = it->second.name;
    t.connect = it->second.connect;
    t.sourceTable = it->second.sourceTable;
    t.linked = true;
    return t;
}

namespace {

// Where a table's definition lives: (schema, table) of SQLite, or an ODBC connection + name.
struct Where {
    QString schema;
    QString table;
    std::shared_ptr<detail::OdbcConnection> odbc;
};

Where locate(ConnectionImpl* c, const QString& table)
{
    Where w;
    if (c->odbc) {
        w.odbc = c->odbcConn;
        w.table = c->odbcConn->FindTable(table);
        if (w.table.isEmpty())
            throw Error(3078, table);
        return w;
    }
    const QString local = schemaTable(c, QStringLiteral("main"), table);
    if (!local.isEmpty() && !isHiddenName(local)) {
        w.schema = QStringLiteral("main");
        w.table = local;
        return w;
    }
    const auto it = c->links.find(table);
    if (it != c->links.end()) {
        LinkState& l = it->second;
        if (!l.live) {
            if (l.errorNumber)
                throw KvError(l.errorNumber, {}, l.errorText);
            throw Error(3078, table);
        }
        if (l.odbc) {
            w.odbc = c->OdbcFor(StripOdbcPrefix(l.connect));
            w.table = w.odbc->FindTable(l.sourceTable);
        } else {
            w.schema = l.schema;
            w.table = schemaTable(c, l.schema, l.sourceTable);
        }
        if (w.table.isEmpty())
            throw Error(3078, l.sourceTable);
        return w;
    }
    const QString temp = schemaTable(c, QStringLiteral("temp"), table);
    if (!temp.isEmpty()) {
        w.schema = QStringLiteral("temp");
        w.table = temp;
        return w;
    }
    throw Error(3078, table);
}

} // namespace

QList<FieldInfo> Database::Fields(const QString& table) const
{
    Require();
    const Where w = locate(m_conn.get(), table);
    if (w.odbc) {
        QList<FieldInfo> list;
        for (const detail::OdbcColumn& col : w.odbc->Columns(w.table))
            list << odbcField(col);
        return list;
    }
    return sqliteFields(m_conn.get(), w.schema, w.table);
}

QList<IndexInfo> Database::Indexes(const QString& table) const
{
    Require();
    const Where w = locate(m_conn.get(), table);
    if (w.odbc)
        return w.odbc->Indexes(w.table);
    return sqliteIndexes(m_conn.get(), w.schema, w.table);
}

QStringList Database::PrimaryKey(const QString& table) const
{
    Require();
    const Where w = locate(m_conn.get(), table);
    if (w.odbc)
        return w.odbc->PrimaryKey(w.table);
    return sqlitePrimaryKey(m_conn.get(), w.schema, w.table);
}

int64_t Database::RecordCount(const QString& table) const
{
    Require();
    const Where w = locate(m_conn.get(), table);
    if (w.odbc)
        return w.odbc->Count(w.table);
    sqlite3_stmt* s = PrepareRaw(m_conn.get(), QStringLiteral("SELECT count(*) FROM %1.%2")
                                                   .arg(QuoteIdent(w.schema), QuoteIdent(w.table)));
    int64_t n = 0;
    const int rc = sqlite3_step(s);
    if (rc == SQLITE_ROW)
        n = sqlite3_column_int64(s, 0);
    sqlite3_finalize(s);
    if (rc != SQLITE_ROW)
        ThrowSqlite(m_conn.get(), rc);
    return n;
}

std::optional<QList<Database::ColumnStats>> Database::SourceStats(const QString& table,
                                                                 const QStringList& columns) const
{
    Require();
    const Where w = locate(m_conn.get(), table);
    if (!w.odbc)
        return std::nullopt;
    QList<ColumnStats> stats(columns.size());
    if (columns.isEmpty())
        return stats;
    const QString from = w.odbc->QuoteTable(w.table);
    // A source with its own sample deviation does everything in one reading of the rows.
    const bool oneRead = w.odbc->SampleDeviation();
    const int per = oneRead ? 5 : 4;
    QStringList first;
    for (const QString& c : columns) {
        const QString q = w.odbc->Quote(c);
        first << QStringLiteral("COUNT(%1), MIN(%1), MAX(%1), AVG(%1)").arg(q);
        if (oneRead)
            first.last() += QStringLiteral(", STDDEV_SAMP(%1)").arg(q);
    }
    const QList<std::optional<double>> a =
        w.odbc->Row(QStringLiteral("SELECT ") + first.join(QStringLiteral(", ")) + QStringLiteral(" FROM ") + from);
    if (a.size() != columns.size() * per)
        throw Error(3146);
    if (oneRead) {
        for (qsizetype i = 0; i < columns.size(); ++i) {
            ColumnStats& s = stats[i];
            s.count = int64_t(a[i * per].value_or(0));
            s.min = a[i * per + 1].value_or(0);
            s.max = a[i * per + 2].value_or(0);
            s.mean = a[i * per + 3].value_or(0);
            s.stdDev = s.count > 1 ? a[i * per + 4].value_or(0) : 0.0;
        }
        return stats;
    }
    // The deviation about the mean found first: a sum of squares alone loses the digits of a
    // column far from zero.
    QStringList second;
    for (qsizetype i = 0; i < columns.size(); ++i) {
        ColumnStats& s = stats[i];
        s.count = int64_t(a[i * 4].value_or(0));
        s.min = a[i * 4 + 1].value_or(0);
        s.max = a[i * 4 + 2].value_or(0);
        s.mean = a[i * 4 + 3].value_or(0);
        const QString q = w.odbc->Quote(columns[i]);
        const QString m = QString::number(s.mean, 'g', 17);
        second << QStringLiteral("SUM((%1 - (%2)) * (%1 - (%2)))").arg(q, m);
    }
    const QList<std::optional<double>> b =
        w.odbc->Row(QStringLiteral("SELECT ") + second.join(QStringLiteral(", ")) + QStringLiteral(" FROM ") + from);
    for (qsizetype i = 0; i < columns.size() && i < b.size(); ++i) {
        ColumnStats& s = stats[i];
        s.stdDev = s.count > 1 ? std::sqrt(b[i].value_or(0) / double(s.count - 1)) : 0.0;
    }
    return stats;
}

void Database::DropTable(const QString& table)
{
    Require();
    ConnectionImpl* c = m_conn.get();
    const auto it = c->links.find(table);
    if (it != c->links.end() && schemaTable(c, QStringLiteral("main"), table).isEmpty()) {
        {
            Transaction t(*this);
            Execute(QStringLiteral("DELETE FROM main.__kdb_links WHERE Name = ?"), {it->second.name});
            t.Commit();
        }
        DropLinkObjects(c, it->second);
        c->links.erase(it);
        return;
    }
    const QString local = schemaTable(c, QStringLiteral("main"), table);
    if (local.isEmpty() || isHiddenName(local))
        throw Error(3376, table);
    const bool view = schemaIsView(c, QStringLiteral("main"), local);
    Execute(QStringLiteral("DROP %1 main.%2").arg(view ? "VIEW" : "TABLE", QuoteIdent(local)));
}

// --- linked tables ---------------------------------------------------------------------------

void Database::Link(const QString& name, const QString& connect, const QString& sourceTable)
{
    Require();
    ConnectionImpl* c = m_conn.get();
    if (c->odbc || c->readOnly)
        throw Error(3027);
    if (name.trimmed().isEmpty() || sourceTable.trimmed().isEmpty())
        throw Error(KvErr::InvalidCall);
    if (c->savepointDepth > 0)
        throw KvError(3000, {}, QStringLiteral("A link cannot be changed inside a transaction."));
    if (const QString local = schemaTable(c, QStringLiteral("main"), name); !local.isEmpty())
        throw Error(3010, local);

    LinkState fresh;
    fresh.name = name;
    fresh.connect = connect;
    fresh.sourceTable = sourceTable;
    const QString actual = reachSource(c, fresh);   // nothing changed yet when this fails

    const auto old = c->links.find(name);
    try {
        Transaction t(*this);
        Execute(QStringLiteral("CREATE TABLE IF NOT EXISTS main.__kdb_links ("
                               "Name TEXT PRIMARY KEY COLLATE NOCASE, Connect TEXT NOT NULL, "
                               "SourceTable TEXT NOT NULL)"));
        Execute(QStringLiteral("DELETE FROM main.__kdb_links WHERE Name = ?"), {name});
        Execute(QStringLiteral("INSERT INTO main.__kdb_links (Name, Connect, SourceTable) "
                               "VALUES (?, ?, ?)"),
                {name, connect, sourceTable});
        if (old != c->links.end() && old->second.live)
            Execute(dropObjectSql(old->second));
        Execute(linkObjectSql(c, fresh, actual));
        t.Commit();
    } catch (...) {
        if (!fresh.odbc)
            detachQuietly(c, fresh.schema);
        throw;
    }
    fresh.live = true;
    if (old != c->links.end()) {
        if (!old->second.odbc)
            detachQuietly(c, old->second.schema);
        old->second = fresh;
    } else {
        c->links[name] = fresh;
    }
}

void Database::RefreshLink(const QString& name, const QString& connect)
{
    Require();
    const auto it = m_conn->links.find(name);
    if (it == m_conn->links.end())
        throw Error(KvErr::ItemNotFound);
    const QString stored = it->second.name;
    const QString source = it->second.sourceTable;
    Link(stored, connect, source);
}

QString Database::KeyOrder(const QString& table, const QString& qualifier) const
{
    Require();
    ConnectionImpl* c = m_conn.get();
    const Where w = locate(c, table);
    QStringList key = w.odbc ? w.odbc->PrimaryKey(w.table) : sqlitePrimaryKey(c, w.schema, w.table);
    if (key.isEmpty() && w.odbc) {
        for (const IndexInfo& ix : w.odbc->Indexes(w.table)) {
            if (ix.unique && ix.fields.size() == 1) {
                key = ix.fields;
                break;
            }
        }
    }
    if (!key.isEmpty())
        return QStringLiteral("ORDER BY ") + keyOrderTerms(key, qualifier);
    const bool linked = c->links.find(table) != c->links.end()
                        && schemaTable(c, QStringLiteral("main"), table).isEmpty();
    if (w.odbc || linked || schemaIsView(c, w.schema, w.table))
        return {};   // the link's own order (storage order of its source)
    return QStringLiteral("ORDER BY ")
         + (qualifier.isEmpty() ? QString() : QuoteIdent(qualifier) + u'.') + QStringLiteral("_rowid_");
}

Reader Database::ReadLinked(const QString& name, const QStringList& columns, int64_t skip)
{
    QStringList cols;
    for (const QString& col : columns)
        cols << QuoteIdent(col);
    QString sql = QStringLiteral("SELECT %1 FROM %2 %3")
                      .arg(cols.isEmpty() ? QStringLiteral("*") : cols.join(u','), QuoteIdent(name),
                           KeyOrder(name))
                      .trimmed();
    if (skip > 0)
        sql += QStringLiteral(" LIMIT -1 OFFSET ") + QString::number(skip);
    return Query(sql);
}

} // namespace kdb
