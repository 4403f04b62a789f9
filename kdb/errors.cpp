// SQLite's and the layer's failures as KvError with the Jet numbers and the catalogue's texts.
#include "kdb/internal.h"

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

QString detail::MissingTable(const QString& message)
{
    return message.startsWith(QStringLiteral("no such table: ")) ? unquoted(afterColon(message)) : QString();
}

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
    case SQLITE_READONLY_DBMOVED:
        // The file is no longer the one the connection opened: nothing about it is read-only.
        throw KvError(3027, {},
                      QStringLiteral("Can't update.  The file '") + name
                          + QStringLiteral("' was deleted or replaced by another program after it was opened."));
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

} // namespace kdb
