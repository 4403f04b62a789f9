// Transactions, and the writes by key that run in them (the dynaset operations, long values).
#include "kdb/internal.h"

namespace kdb {

using detail::Error;


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

std::function<void(const QString& file)>& Transaction::BeforeCommit()
{
    static std::function<void(const QString&)> probe;
    return probe;
}

void Transaction::Commit()
{
    if (m_done)
        return;
    if (m_conn->savepointDepth == 1 && !m_conn->odbc && BeforeCommit()) {
        sqlite3_db_cacheflush(m_conn->db);
        BeforeCommit()(QString::fromUtf8(sqlite3_db_filename(m_conn->db, "main")));
    }
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

} // namespace kdb
