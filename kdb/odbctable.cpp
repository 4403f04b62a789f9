// The read-only SQLite virtual table that makes a table of an ODBC source usable in SQL on the
// layer's connection: its columns, its plans (key lookup, key order, LIMIT/OFFSET) and its cursor.
#include "kdb/internal.h"
#include "kdb/odbcreadahead.h"

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace kdb::detail {

namespace {

constexpr SQLULEN kRowset = 256;

enum class Kind { Int, Dbl, Text, Bytes };

struct VColumn {
    QString name;
    Kind kind = Kind::Text;
    bool numeric = false;   // text from the driver for a column declared numeric
    bool decimal = false;   // NUMERIC or DECIMAL: exact, often past the digits of a double
    bool nullable = true;
};

struct OdbcVtab {
    sqlite3_vtab base{};
    const ConnectionImpl* owner = nullptr;
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
    // A source whose login must not fetch by cursor (see ReadsInPages): the statement runs on a
    // helper login of its own, which reads each result whole. A read that may be longer than
    // kChunk rows goes through a cursor of ours, declared in a transaction of the helper's and
    // fetched kChunk rows a statement.
    struct Pages {
        SQLHDBC dbc = SQL_NULL_HDBC;
        bool cursor = false;  // the cursor is declared: the helper is in a transaction
        int64_t asked = 0;    // rows the last statement asked for
        int64_t read = 0;     // rows read of them
    };
    std::optional<Pages> pages;
    // Decimals read as the driver's text (the owner's decimalsAsText when the scan began).
    bool decimalText = false;
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
    v->owner = owner;
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
            case SQL_REAL: case SQL_FLOAT: case SQL_DOUBLE:
                vc.kind = Kind::Dbl;
                break;
            case SQL_NUMERIC: case SQL_DECIMAL:
                vc.kind = Kind::Dbl;
                vc.decimal = true;
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
            if (key.size() == 1 && c.name == key.first()) {
                v->keyCol = i;
                vc.decimal = false;   // the key stays a number: joins and lookups compare it
            }
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

constexpr char kCursorName[] = "kdb_read";

void freeStmt(OdbcCursor* c, OdbcVtab* v)
{
    c->ahead.reset();
    if (c->stmt != SQL_NULL_HSTMT) {
        SQLFreeHandle(SQL_HANDLE_STMT, c->stmt);
        c->stmt = SQL_NULL_HSTMT;
    }
    if (c->pages && c->pages->dbc != SQL_NULL_HDBC) {
        SQLHDBC dbc = c->pages->dbc;
        // Ending the transaction closes the cursor; a helper that cannot (its server went
        // away) is let go rather than kept for the next read.
        const bool sound = !c->pages->cursor
                           || (SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, dbc, SQL_ROLLBACK))
                               && SQL_SUCCEEDED(SQLSetConnectAttr(dbc, SQL_ATTR_AUTOCOMMIT,
                                                                  reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0)));
        if (sound) {
            v->conn->GiveBack(dbc);
        } else {
            SQLDisconnect(dbc);
            SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        }
    }
    c->pages.reset();
}

// Runs a statement on the cursor's handle; false when it has no rows to read.
bool execute(OdbcCursor* c, QByteArray sql)
{
    const SQLRETURN rc = SQLExecDirect(c->stmt, reinterpret_cast<SQLCHAR*>(sql.data()), SQLINTEGER(sql.size()));
    if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA)
        ThrowOdbc(SQL_HANDLE_STMT, c->stmt);
    return rc != SQL_NO_DATA;
}

// Fetches the cursor's next kChunk rows; false when the read has no more.
bool nextPage(OdbcCursor* c)
{
    OdbcCursor::Pages& p = *c->pages;
    if (!p.cursor || p.read < p.asked)
        return false;
    SQLFreeStmt(c->stmt, SQL_CLOSE);
    p.asked = kChunk;
    p.read = 0;
    return execute(c, QByteArrayLiteral("FETCH FORWARD ") + QByteArray::number(qlonglong(kChunk))
                          + QByteArrayLiteral(" FROM ") + kCursorName);
}

int vtClose(sqlite3_vtab_cursor* cur)
{
    auto* c = reinterpret_cast<OdbcCursor*>(cur);
    freeStmt(c, reinterpret_cast<OdbcVtab*>(cur->pVtab));
    delete c;
    return SQLITE_OK;
}

// How the scan reads a column: a decimal as the driver's text when the connection asks so.
Kind readKind(const OdbcCursor* c, const VColumn& col)
{
    return c->decimalText && col.decimal ? Kind::Text : col.kind;
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
        if (c->pages && nextPage(c))
            return fetchRows(v, c);
        // The first rows read whole: the helpers read the rest.
        if (c->plan && c->mainRows == kFirstRows && (c->plan->limit < 0 || c->plan->limit > kFirstRows)) {
            freeStmt(c, v);
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
            const Kind kind = readKind(c, col);
            const SQLUSMALLINT n = SQLUSMALLINT(i + 1);
            SQLLEN len = 0;
            if (kind == Kind::Int) {
                SQLBIGINT x = 0;
                if (!SQL_SUCCEEDED(SQLGetData(c->stmt, n, SQL_C_SBIGINT, &x, 0, &len)))
                    ThrowOdbc(SQL_HANDLE_STMT, c->stmt);
                if (len != SQL_NULL_DATA)
                    c->row[i] = Value(static_cast<long long>(x));
            } else if (kind == Kind::Dbl) {
                double x = 0;
                if (!SQL_SUCCEEDED(SQLGetData(c->stmt, n, SQL_C_DOUBLE, &x, 0, &len)))
                    ThrowOdbc(SQL_HANDLE_STMT, c->stmt);
                if (len != SQL_NULL_DATA)
                    c->row[i] = Value(x);
            } else {
                const SQLSMALLINT ctype = kind == Kind::Bytes ? SQL_C_BINARY : SQL_C_CHAR;
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
                    c->row[i] = kind == Kind::Bytes ? Value(out) : Value(QString::fromUtf8(out));
            }
        }
    }
    if (c->pages)
        c->pages->read += int64_t(c->fetched);
    return c->fetched > 0;
}

int vtFilter(sqlite3_vtab_cursor* cur, int idxNum, const char* idxStr, int argc,
             sqlite3_value** argv)
{
    auto* c = reinterpret_cast<OdbcCursor*>(cur);
    auto* v = reinterpret_cast<OdbcVtab*>(cur->pVtab);
    try {
        freeStmt(c, v);
        c->eof = true;
        c->rowid = 0;
        SQLHDBC dbc = static_cast<SQLHDBC>(v->conn->Hdbc());
        if (v->conn->ReadsInPages()) {
            c->pages.emplace();
            c->pages->dbc = dbc = static_cast<SQLHDBC>(v->conn->TakeHelper());
        }
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &c->stmt)))
            ThrowOdbc(SQL_HANDLE_DBC, dbc);
        const unsigned long long used = idxStr ? std::strtoull(idxStr, nullptr, 16) : ~0ULL;
        c->sel.clear();
        c->at.assign(v->cols.size(), -1);
        c->bindAll = true;
        c->decimalText = v->owner && v->owner->decimalsAsText;
        QStringList names;
        for (size_t i = 0; i < v->cols.size(); ++i) {
            if (!(used & (1ULL << std::min<size_t>(i, 63))))
                continue;
            c->at[i] = int(c->sel.size());
            c->sel.push_back(int(i));
            names << v->conn->Quote(v->cols[i].name);
            const Kind kind = readKind(c, v->cols[i]);
            if (kind == Kind::Text || kind == Kind::Bytes)
                c->bindAll = false;
        }
        c->plan.reset();
        c->mainRows = 0;
        const VColumn* key = v->keyCol >= 0 ? &v->cols[size_t(v->keyCol)] : nullptr;
        // A read that goes on from the last key read reads the key too; its position.
        const auto readKey = [&] {
            if (c->at[size_t(v->keyCol)] < 0) {
                c->at[size_t(v->keyCol)] = int(c->sel.size());
                c->sel.push_back(v->keyCol);
                names << v->conn->Quote(key->name);
            }
            return size_t(c->at[size_t(v->keyCol)]);
        };
        if (v->conn->ReadsInParallel() && (idxNum & kPlanOrdered) && !(idxNum & kPlanLookup) && c->bindAll
            && !c->sel.empty() && key && key->kind == Kind::Int && !key->nullable) {
            ReadAhead::Plan plan;
            plan.keyAt = readKey();
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
        if (c->pages && !(idxNum & kPlanLookup) && !c->plan && (limit < 0 || limit > kChunk)) {
            if (!SQL_SUCCEEDED(SQLSetConnectAttr(c->pages->dbc, SQL_ATTR_AUTOCOMMIT,
                                                 reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0)))
                ThrowOdbc(SQL_HANDLE_DBC, c->pages->dbc);
            c->pages->cursor = true;
            execute(c, QByteArrayLiteral("DECLARE ") + kCursorName + QByteArrayLiteral(" NO SCROLL CURSOR FOR ")
                           + sql.toUtf8());
            c->eof = !nextPage(c) || !fetchRows(v, c);
        } else {
            c->eof = !execute(c, sql.toUtf8()) || !fetchRows(v, c);
        }
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
            resultText(ctx, u.constData(), int(u.size()), col.numeric && !(c->decimalText && col.decimal));
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
