// Storage of the data definition in a project's FieldConfig table.
#include "data/datadef.h"

#include "core/errorbox.h"
#include "core/kverror.h"
#include "core/pathutils.h"
#include "data/dbutilities.h"
#include "data/projectschema.h"

#include <cmath>
#include <limits>
#include <vector>

using modErrorHandling::Member;

namespace {

// Conversions of the values a project file stores: Null is refused (94), text must read as a
// number (13), a 16-bit value must fit (6), so that a damaged file is reported rather than read
// as a zero or a cut number.
double ToDouble(const kdb::Value& v)
{
    if (v.isNull())
        throw KvError(KvErr::InvalidUseOfNull);
    const std::optional<double> d = v.ToDouble();
    if (!d)
        throw KvError(KvErr::TypeMismatch);
    return *d;
}

int16_t ToInt16(const kdb::Value& v)
{
    const double d = ToDouble(v);
    const double r = std::nearbyint(d);
    if (r < std::numeric_limits<int16_t>::min() || r > std::numeric_limits<int16_t>::max())
        throw KvError(KvErr::Overflow);
    return int16_t(r);
}

QString ToText(const kdb::Value& v)
{
    if (v.isNull())
        throw KvError(KvErr::InvalidUseOfNull);
    return v.toText();
}

bool ToBool(const kdb::Value& v)
{
    if (v.isNull())
        throw KvError(KvErr::InvalidUseOfNull);
    if (v.type() == kdb::Value::Type::Text) {
        const QString t = v.toText().trimmed();
        if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
            return true;
        if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
            return false;
    }
    return ToDouble(v) != 0;
}

} // namespace

void CDataDef::Load(const QString& ConfigDBFile)
{
    try {
        LoadFrom(ConfigDBFile);
    } catch (...) {
        // A field list that cannot be read leaves no definition to work on, not the fields of
        // the table with the project's settings missing.
        m_fields.clear();
        m_dimensioned = false;
        m_initDone = false;
        throw;
    }
}

void CDataDef::LoadFrom(const QString& ConfigDBFile)
{
    Member("VeltraDBCfg:Load Method", [&] {
        if (!Utilities::FileExists(ConfigDBFile))
            return;
        if (!Utilities::TableExists(ConfigDBFile, ProjectSchema::FieldConfigTable())) {
            m_initDone = false;
            return;
        }
        kdb::Database db = kdb::Database::Open(ConfigDBFile);
        kdb::Snapshot rs =
            db.OpenSnapshot(QStringLiteral("SELECT * FROM ") + ProjectSchema::FieldConfigTable() + QLatin1Char(';'));
        if (rs.IsEmpty()) {
            m_initDone = false;
            return;
        }
        const int count = rs.RecordCount();
        if (count > std::numeric_limits<int16_t>::max())
            throw KvError(KvErr::Overflow);
        // Each field once: doubled rows would leave fields without names that the source is
        // then said to lack.
        std::vector<int> seen(size_t(count) + 1, 0);
        for (rs.MoveFirst(); !rs.AtEnd(); rs.MoveNext()) {
            const kdb::Value order = rs[ProjectSchema::FieldOrderColumn()];
            const double n = order.isNull() ? 0 : ToDouble(order);
            if (n >= 1 && n <= count && n == std::floor(n) && ++seen[size_t(n)] > 1)
                throw KvError(3022, {},
                              QStringLiteral("The project's field list (FieldConfig) holds field #%1 more than once: "
                                             "the project file is damaged.")
                                  .arg(int(n)));
        }
        Redim(int16_t(count));
        rs.MoveFirst();
        for (int16_t i = 1; i <= count; ++i) {
            if (!rs.FindFirst(ProjectSchema::FieldOrderColumn(), kdb::Value(int(i))))
                break;
            DataField& f = m_fields[i];
            f.name = ToText(rs[ProjectSchema::FieldNameColumn()]);
            f.type = ToInt16(rs[ProjectSchema::FieldTypeColumn()]);
            f.max = ToDouble(rs[ProjectSchema::FieldMaxColumn()]);
            f.min = ToDouble(rs[ProjectSchema::FieldMinColumn()]);
            f.avg = ToDouble(rs[ProjectSchema::FieldAvgColumn()]);
            f.stdDev = ToDouble(rs[ProjectSchema::FieldStdDevColumn()]);
            f.userImportance = ToInt16(rs[ProjectSchema::UserImportanceColumn()]);
            f.userMatchType = ToInt16(rs[ProjectSchema::UserMatchTypeColumn()]);
            f.userMax = ToDouble(rs[ProjectSchema::UserMaxColumn()]);
            f.userMin = ToDouble(rs[ProjectSchema::UserMinColumn()]);
            f.userOutOfRange = ToInt16(rs[ProjectSchema::UserOutOfRangeColumn()]);
            f.primaryKey = ToBool(rs[ProjectSchema::PrimaryKeyFieldColumn()]);
        }
        db.Close();
        m_initDone = true;
    });
}

void CDataDef::Save(const QString& ConfigDBFile)
{
    Member("VeltraDBCfg:Save Method", [&] {
        if (!Utilities::FileExists(ConfigDBFile))
            throw KvError(KvErr::FileNotFound);
        kdb::Database db;
        if (Utilities::TableExists(ConfigDBFile, ProjectSchema::FieldConfigTable()))
            db = kdb::Database::Open(ConfigDBFile);
        else
            db = MakeSupportDB(ConfigDBFile);
        if (!db.IsOpen())
            throw KvError(KvErr::ObjectNotSet);
        Write(db);
        db.Close();
    });
}

void CDataDef::Write(kdb::Database& db)
{
    if (!db.HasTable(ProjectSchema::FieldConfigTable(), false))
        throw KvError(KvErr::NoSuchTable);

    // The rows as they are before this save, by row id, so a field finds its row by name
    // without pasting the name into a criterion.
    struct Row {
        int64_t rowid;
        QString name;
        bool claimed;
    };
    QList<Row> rows;
    {
        kdb::Reader r = db.Query(QStringLiteral("SELECT rowid, ") + ProjectSchema::FieldNameColumn()
                                 + QStringLiteral(" FROM ") + ProjectSchema::FieldConfigTable());
        while (r.Next())
            rows.append({r.Int(0), r.Text(1), false});
    }
    kdb::Statement insert = db.Prepare(ProjectSchema::FieldConfigInsert());
    kdb::Statement update = db.Prepare(QStringLiteral("UPDATE ") + ProjectSchema::FieldConfigTable()
                                       + QStringLiteral(" SET ")
                                       + ProjectSchema::FieldConfigColumns().replace(QStringLiteral(","),
                                                                                     QStringLiteral(" = ?,"))
                                       + QStringLiteral(" = ? WHERE rowid = ?"));

    // The rows belong together: a save that fails part way leaves the old ones whole.
    kdb::Transaction transaction(db);
    for (int16_t i = 1; i <= NumFields(); ++i) {
        const DataField& f = m_fields[i];
        // The exact name first; otherwise a row whose name differs only in case (the
        // engine compared names that way), unless another field already took it.
        Row* match = nullptr;
        for (Row& row : rows) {
            if (row.name == f.name) {
                match = &row;
                break;
            }
        }
        if (!match) {
            for (Row& row : rows) {
                if (!row.claimed && row.name.compare(f.name, Qt::CaseInsensitive) == 0) {
                    match = &row;
                    break;
                }
            }
        }
        QList<kdb::Value> values{int(i),
                                 f.name,
                                 QString::number(f.type),
                                 f.max,
                                 f.min,
                                 f.avg,
                                 f.stdDev,
                                 int(f.userImportance),
                                 int(f.userMatchType),
                                 f.userMax,
                                 f.userMin,
                                 int(f.userOutOfRange),
                                 f.primaryKey};
        if (match) {
            match->claimed = true;
            values.append(kdb::Value(static_cast<long long>(match->rowid)));
            update.Run(values);
        } else {
            insert.Run(values);
        }
    }
    transaction.Commit();
}

kdb::Database CDataDef::MakeSupportDB(const QString& ConfigDBFile)
{
    try {
        if (!Utilities::FileExists(m_dbFileName))
            return {};
        kdb::Database db = kdb::Database::Open(ConfigDBFile);
        db.ExecuteJet(ProjectSchema::BaseTableStatement(ProjectSchema::FieldConfigTable()));
        return db;
    } catch (...) {
        ErrorBox::ShowStandard(CurrentError(), QStringLiteral("CDataDef::MakeSupportDB"));
        return {};
    }
}
