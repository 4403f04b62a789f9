#include "network/projectstore.h"

#include "core/errorbox.h"
#include "core/kverror.h"
#include "data/datadef.h"
#include "data/projectschema.h"

#include "core/workprogress.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

namespace {
// The saved network moves in pieces of this size.
constexpr int kChunk = 2048;
// A drop of an old Test table of fewer rows is over before anyone would miss the window.
constexpr int64_t kRowsWorthTelling = 100000;
// What a drop of a Test table usually takes, per row.
constexpr double kDropSecondsPerRow = 0.35e-6;
constexpr int64_t kFractionUnits = 1000;

QString linkConnect(const QString& source)
{
    return kdb::IsOdbcConnect(source) ? source : QStringLiteral(";DATABASE=") + source;
}
} // namespace

// --- Base tables ---------------------------------------------------------------------------

void ProjectStore::MakeTables()
{
    kdb::Transaction t(m_db);
    for (const QString& sql : ProjectSchema::BaseTableStatements())
        m_db.ExecuteJet(sql);
    t.Commit();
}

void ProjectStore::EnsureBaseTables()
{
    const QStringList names = ProjectSchema::BaseTables();
    const QStringList statements = ProjectSchema::BaseTableStatements();
    for (qsizetype i = 0; i < names.size(); ++i) {
        if (!m_db.HasTable(names[i], false))
            m_db.ExecuteJet(statements[i]);
    }
}

bool ProjectStore::IsUnfinishedProject(const QString& path)
{
    const QFileInfo info(path);
    if (!info.isFile())
        return false;
    if (info.size() == 0)
        return true;
    try {
        kdb::Database db = kdb::Database::Open(path, false, false);
        const QStringList base = ProjectSchema::BaseTables();
        for (const QString& table : db.TableNames()) {
            if (!base.contains(table))
                return false;
        }
        // Every creation writes 'Type' with the first settings.
        return !db.HasTable(ProjectSchema::ConfigTable(), false)
               || db.Scalar(QStringLiteral("SELECT COUNT(*) FROM ") + ProjectSchema::ConfigTable()
                                + QStringLiteral(" WHERE ") + ProjectSchema::PropertyColumn() + QStringLiteral(" = ?"),
                            {ProjectSchema::TypeKey()})
                          .toInt()
                      == 0;
    } catch (...) {
        // Not a database, or one we cannot read: it is the user's, not ours to replace.
        return false;
    }
}

// --- Config --------------------------------------------------------------------------------

std::optional<QString> ProjectStore::Property(const QString& name)
{
    if (!m_db.IsOpen() || name.isEmpty())
        return std::nullopt;
    kdb::Reader r = m_db.Query(ProjectSchema::ConfigValueSelect(), {name});
    if (!r.Next() || r.IsNull(0))
        return std::nullopt;
    return r.Text(0);
}

void ProjectStore::WriteProperty(const QString& name, const QString& value)
{
    m_db.Upsert(ProjectSchema::ConfigTable(),
                {{ProjectSchema::PropertyColumn(), name}, {ProjectSchema::ValueColumn(), value}},
                ProjectSchema::PropertyColumn(), name);
}

void ProjectStore::WriteNavigation(int32_t step)
{
    WriteProperty(ProjectSchema::NavigateKey(), QString::number(step));
}

// --- The link to the source table ----------------------------------------------------------

std::optional<kdb::TableInfo> ProjectStore::LinkInfo()
{
    return m_db.LinkInfo(ProjectSchema::LinkTable());
}

QString ProjectStore::LinkedFile(const kdb::TableInfo& link)
{
    const QString file = QStringLiteral(";DATABASE=");
    if (kdb::IsOdbcConnect(link.connect) || !link.connect.startsWith(file))
        return {};
    return link.connect.mid(file.size());
}

void ProjectStore::LinkSource(const QString& source, const QString& table)
{
    m_db.Link(ProjectSchema::LinkTable(), linkConnect(source), table);
}

void ProjectStore::RestoreLink(const std::optional<kdb::TableInfo>& before)
{
    if (before)
        m_db.Link(ProjectSchema::LinkTable(), before->connect, before->sourceTable);
    else
        m_db.DropTable(ProjectSchema::LinkTable());
}

void ProjectStore::MoveDataFile(const QString& dataFile)
{
    const std::optional<kdb::TableInfo> link = LinkInfo();
    if (link)
        m_db.RefreshLink(ProjectSchema::LinkTable(), linkConnect(dataFile));
    try {
        WriteProperty(ProjectSchema::DatabaseFileNameKey(), dataFile);
    } catch (...) {
        if (link)
            IgnoreErrors([&] { m_db.RefreshLink(ProjectSchema::LinkTable(), link->connect); });
        throw;
    }
}

void ProjectStore::CompactWhenMostlyFree()
{
    const int64_t free = m_db.Scalar(QStringLiteral("PRAGMA freelist_count")).toInt();
    const int64_t pages = m_db.Scalar(QStringLiteral("PRAGMA page_count")).toInt();
    if (free * 4 > pages)
        m_db.Execute(QStringLiteral("VACUUM"));
}

// --- FieldConfig ---------------------------------------------------------------------------

void ProjectStore::WriteFieldConfig(const CDataDef& ddo)
{
    m_db.Execute(QStringLiteral("DELETE FROM ") + ProjectSchema::FieldConfigTable());
    kdb::Statement insert = m_db.Prepare(ProjectSchema::FieldConfigInsert());
    for (int16_t i = 1; i <= ddo.NumFields(); ++i) {
        const DataField& f = ddo.Field(i);
        insert.Run({int(i), f.name, QString::number(f.type), f.max, f.min, f.avg, f.stdDev, int(f.userImportance),
                    int(f.userMatchType), f.userMax, f.userMin, int(f.userOutOfRange), f.primaryKey});
    }
}

// --- Snapshots -----------------------------------------------------------------------------

void ProjectStore::WriteSnapshot(const QString& engineFile, const QString& errorKey, const QString& error)
{
    QFile file(engineFile);
    if (!file.open(QIODevice::ReadOnly))
        throw KvError(KvErr::PathFileAccess, {}, file.errorString());

    kdb::Transaction t(m_db);
    WriteProperty(errorKey, error);
    const QString saved = kdb::DateText(QDateTime::currentDateTime());
    const QString table = ProjectSchema::SnapshotsTable();
    const QString dateSaved = ProjectSchema::DateSavedColumn();
    const kdb::Value first = m_db.Scalar(QStringLiteral("SELECT rowid FROM ") + table + QStringLiteral(" ORDER BY ")
                                         + dateSaved + QStringLiteral(" LIMIT 1"));
    if (first.isNull())
        m_db.Insert(table, {{dateSaved, saved}});
    else
        m_db.Execute(QStringLiteral("UPDATE ") + table + QStringLiteral(" SET ") + dateSaved
                         + QStringLiteral(" = ? WHERE rowid = ?"),
                     {saved, first});
    kdb::Database::BlobWriter blob(m_db, table, ProjectSchema::SnapshotColumn(), dateSaved, saved);
    const int64_t total = file.size();
    for (int64_t pos = 0; pos < total;) {
        const QByteArray chunk = file.read(qMin<int64_t>(kChunk, total - pos));
        if (chunk.isEmpty())
            throw KvError(KvErr::InputPastEnd);
        blob.AppendChunk(chunk);
        pos += chunk.size();
    }
    blob.Finish();
    t.Commit();
}

bool ProjectStore::RestoreSnapshot(const QString& engineFile)
{
    kdb::Reader r = m_db.Query(QStringLiteral("SELECT ") + ProjectSchema::SnapshotColumn() + QStringLiteral(" FROM ")
                               + ProjectSchema::SnapshotsTable() + QStringLiteral(" ORDER BY ")
                               + ProjectSchema::DateSavedColumn() + QStringLiteral(" DESC;"));
    if (!r.Next())
        return false;
    const QByteArray bytes = r.Get(0).toBytes();
    QFile file(engineFile);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw KvError(KvErr::PathFileAccess, {}, file.errorString());
    for (qsizetype pos = 0; pos < bytes.size(); pos += kChunk) {
        const qsizetype n = qMin<qsizetype>(kChunk, bytes.size() - pos);
        if (file.write(bytes.constData() + pos, n) != n)
            throw KvError(KvErr::DeviceIO, {}, file.errorString());
    }
    return true;
}

void ProjectStore::DropSnapshots()
{
    m_db.Execute(QStringLiteral("DELETE FROM ") + ProjectSchema::SnapshotsTable());
}

// --- Test ----------------------------------------------------------------------------------

void ProjectStore::ReplaceTestTable(const QString& statement, WorkProgress* progress, int step)
{
    if (m_db.HasTable(ProjectSchema::TestTable(), false)) {
        const QString drop = QStringLiteral("DROP TABLE ") + ProjectSchema::TestTable() + QLatin1Char(';');
        const int64_t rows = m_db.Scalar(QStringLiteral("SELECT max(rowid) FROM ") + ProjectSchema::TestTable()).toInt();
        if (progress && progress->Active() && rows >= kRowsWorthTelling)
            DropWhileTelling(drop, rows, *progress, step);
        else
            m_db.ExecuteJet(drop);
    }
    m_db.ExecuteJet(statement);
}

KeptMarks ProjectStore::KeepMarks(WorkProgress* progress, int step)
{
    KeptMarks kept;
    const QString test = m_db.FindTable(ProjectSchema::TestTable());
    if (test.isEmpty())
        return kept;
    bool marked = false;
    for (const kdb::FieldInfo& f : m_db.Fields(test))
        marked = marked || f.name.compare(ProjectSchema::MarkColumn(), Qt::CaseInsensitive) == 0;
    if (!marked)
        return kept;
    const QString table = QStringLiteral("main.") + kdb::QuoteIdent(test);
    const bool telling = progress && progress->Active();
    if (telling)
        progress->Begin(step, m_db.Scalar(QStringLiteral("SELECT max(rowid) FROM ") + table).toInt());
    // In the order of the rows, which is the order in which a test of the same range writes
    // them again: each new row then meets its own mark next in line.
    kdb::Reader r = m_db.Query(QStringLiteral("SELECT rowid, MainPrimaryKey, Mark FROM ") + table
                               + QStringLiteral(" WHERE Mark <> 0 ORDER BY rowid;"));
    while (r.Next()) {
        kept.m_kept.push_back({r.Get(1), int(r.Int(2))});
        if (telling)
            progress->Units(r.Int(0));
    }
    return kept;
}

namespace {

// Two keys are one as the Test table's key compares them: numbers by their value (a whole
// number kept as 5 and asked as 5.0 is one key), text and bytes exactly.
bool SameKey(const kdb::Value& a, const kdb::Value& b)
{
    using T = kdb::Value::Type;
    if (a.type() == T::Integer && b.type() == T::Double)
        return SameKey(b, a);
    if (a.type() == T::Double && b.type() == T::Integer) {
        const double d = *a.ToDouble();
        const int64_t i = *b.ToInt();
        return double(i) == d && d >= -0x1p63 && d < 0x1p63 && int64_t(d) == i;
    }
    return a == b;
}

size_t KeyHash(const kdb::Value& v)
{
    switch (v.type()) {
    case kdb::Value::Type::Integer:
    case kdb::Value::Type::Double: {
        // A whole number hashes as its double when that is exact, so that 5 and 5.0 meet.
        const double d = *v.ToDouble();
        if (v.type() == kdb::Value::Type::Integer && int64_t(d) != *v.ToInt())
            return std::hash<int64_t>()(*v.ToInt());
        return std::hash<double>()(d == 0 ? 0.0 : d);
    }
    case kdb::Value::Type::Text:
        return qHash(v.toText());
    case kdb::Value::Type::Bytes:
        return qHash(v.toBytes());
    case kdb::Value::Type::Null:
        break;
    }
    return 0;
}

} // namespace

int KeptMarks::Of(const kdb::Value& key)
{
    if (m_next < m_kept.size() && SameKey(m_kept[m_next].key, key))
        return m_kept[m_next++].mark;
    if (m_kept.empty())
        return 0;
    if (m_at.empty()) {
        m_at.reserve(m_kept.size());
        for (size_t i = 0; i < m_kept.size(); ++i)
            m_at.emplace(KeyHash(m_kept[i].key), i);
    }
    const auto [first, last] = m_at.equal_range(KeyHash(key));
    for (auto it = first; it != last; ++it) {
        if (SameKey(m_kept[it->second].key, key)) {
            m_next = it->second + 1;
            return m_kept[it->second].mark;
        }
    }
    return 0;
}

void ProjectStore::DropWhileTelling(const QString& drop, int64_t rows, WorkProgress& progress, int step)
{
    // A drop reads every page of the table in one call, a few hundred milliseconds for a
    // million rows: it runs while the progress is told, over this connection, which nothing
    // else uses meanwhile.
    progress.Begin(step, kFractionUnits);
    progress.During([&] { m_db.ExecuteJet(drop); }, double(rows) * kDropSecondsPerRow);
}

kdb::Statement ProjectStore::BackPropTestRows()
{
    return m_db.Prepare(ProjectSchema::BackPropTestInsert());
}

kdb::Statement ProjectStore::SFamTestRows()
{
    return m_db.Prepare(ProjectSchema::SFamTestInsert());
}

// --- Classes -------------------------------------------------------------------------------

void ProjectStore::WriteClassList(const QString& predictField, const QString& stampKey, const QString& stamp)
{
    kdb::Transaction t(m_db);
    if (m_db.HasTable(ProjectSchema::ClassesTable()))
        m_db.ExecuteJet(QStringLiteral("DROP TABLE ") + ProjectSchema::ClassesTable() + QLatin1Char(';'));
    // Quoted, not bracketed: a bracket cannot hold a name that has "]" in it.
    for (const QString& sql : ProjectSchema::ClassesStatements(kdb::QuoteIdent(predictField)))
        m_db.ExecuteJet(sql);
    // With the list, in its transaction: what it was counted from.
    if (m_db.HasTable(ProjectSchema::ConfigTable(), false))
        WriteProperty(stampKey, stamp);
    t.Commit();
}

bool ProjectStore::ClassListCounted(const QString& stampKey, const QString& stamp)
{
    if (stamp.isEmpty() || !m_db.HasTable(ProjectSchema::ClassesTable(), false)
        || !m_db.HasTable(ProjectSchema::ConfigTable(), false))
        return false;
    return m_db.Scalar(ProjectSchema::ConfigValueSelect(), {stampKey}).toText() == stamp;
}
