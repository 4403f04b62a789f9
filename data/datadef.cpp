#include "data/datadef.h"

#include "core/errorbox.h"
#include "core/kverror.h"
#include "core/numformat.h"
#include "core/pathutils.h"
#include "core/prompts.h"
#include "core/status.h"
#include "data/columnstats.h"
#include "data/dbutilities.h"
#include "data/rangeread.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

using modErrorHandling::Member;

namespace {

using ColumnStats::Accumulator;
using StatKind = ColumnStats::Kind;
using ColumnStats::AddValue;
using ColumnStats::KindOf;

// Rows between two looks at the whole percent of the rows read.
constexpr int64_t kRowsPerPercentLook = 4096;

// A number field's statistics as a server computed them.
void StoreComputed(DataField& f, const kdb::Database::ColumnStats& s)
{
    if (s.count > 0) {
        f.min = s.min;
        f.max = s.max;
        f.avg = s.mean;
        f.stdDev = s.stdDev;
    } else {
        f.min = f.max = f.avg = f.stdDev = 0;
    }
    f.userMax = f.avg + 2 * f.stdDev;
    f.userMin = f.avg - 2 * f.stdDev;
}

// A field's statistics and user range from its values: numbers mean +- 2 deviations, dates
// their span ("no limit" when there is none), other types all 0.
void StoreStats(DataField& f, StatKind kind, const Accumulator& acc)
{
    if (kind == StatKind::None) {
        f.max = f.min = f.avg = f.stdDev = f.userMax = f.userMin = 0;
    } else if (kind == StatKind::Numeric) {
        if (acc.n > 0) {
            f.min = double(acc.min);
            f.max = double(acc.max);
            f.avg = double(acc.Mean());
            f.stdDev = acc.StdDev();
        } else {
            f.min = f.max = f.avg = f.stdDev = 0;
        }
        const double d = 2 * f.stdDev;
        f.userMax = f.avg + d;
        f.userMin = f.avg - d;
    } else {
        f.max = acc.n > 0 ? double(acc.max) : NoUserLimit;
        f.min = acc.n > 0 ? double(acc.min) : NoUserLimit;
        f.avg = acc.n > 0 ? double(acc.Mean()) : NoUserLimit;
        f.stdDev = acc.HasStdDev() ? acc.StdDev() : NoUserLimit;
        f.userMax = f.max;
        f.userMin = f.min;
    }
}

} // namespace

// --- Filling ---------------------------------------------------------------------------------

void CDataDef::Redim(int16_t numFields)
{
    m_fields = QList<DataField>(qsizetype(numFields) + 1);
    m_dimensioned = true;
}

void CDataDef::Initialize(const QString& saDatabaseFileName, const QString& saTableName)
{
    if (m_initDone)
        return;
    if (saDatabaseFileName.isEmpty() || saTableName.isEmpty()) {
        Prompts::MsgBox(QStringLiteral("Bad Parameter passed to CDataDef::Initialize()"),
                        MsgButtons::Ok, MsgIcon::Critical, QStringLiteral("Error"));
        return;
    }
    // A source that cannot be read is not taken: on any failure the definition stays as it was,
    // not half made of the fields read before the failure.
    struct Kept {
        QString dbFileName, tableName;
        QList<DataField> fields;
        bool dimensioned;
        int32_t recordCount;
    } const kept{m_dbFileName, m_tableName, m_fields, m_dimensioned, m_recordCount};
    const auto restore = [&] {
        m_dbFileName = kept.dbFileName;
        m_tableName = kept.tableName;
        m_fields = kept.fields;
        m_dimensioned = kept.dimensioned;
        m_recordCount = kept.recordCount;
    };
    try {
        InitializeFrom(saDatabaseFileName, saTableName);
    } catch (...) {
        restore();
        throw;
    }
}

void CDataDef::InitializeFrom(const QString& saDatabaseFileName, const QString& saTableName)
{
    Member("VeltraDBCfg:Initialize Method", [&] {
        if (!Utilities::FileExists(saDatabaseFileName))
            throw KvError(KvErr::FileNotFound, {}, QStringLiteral("No such database file"));
        m_dbFileName = saDatabaseFileName;
        kdb::Database db = Utilities::OpenDb(saDatabaseFileName, true);
        if (!db.IsOpen())
            throw KvError(KvErr::ObjectNotSet).MarkShown(); // OpenDb's box said why

        // The table as the source names it, found the way every other reader finds it (in
        // the same letter case): a name stored before tables carried their schema still finds
        // its table.
        const QString table = db.FindTable(saTableName, true);
        if (table.isEmpty())
            throw KvError(KvErr::NoSuchTable, {}, QStringLiteral("No such table"));
        m_tableName = table;

        const QList<kdb::FieldInfo> columns = db.Fields(table);
        Redim(int16_t(columns.size()));
        for (qsizetype c = 0; c < columns.size(); ++c) {
            DataField& f = m_fields[c + 1];
            f.name = columns[c].name;
            f.type = columns[c].autoNumber ? int16_t(-columns[c].type) : columns[c].type;
            f.userOutOfRange = 1;
            f.userMatchType = roleUnused;
            if (m_cancel) {
                db.Close();
                return;
            }
        }

        const QList<kdb::IndexInfo> indexes = db.Indexes(table);
        if (kdb::IsOdbcConnect(db.Connect())) {
            bool marked = false;
            for (const kdb::IndexInfo& index : indexes) {
                if (!index.unique || index.fields.size() != 1)
                    continue;
                for (qsizetype j = 1; j < m_fields.size(); ++j) {
                    if (m_fields[j].name == index.fields.first()) {
                        if (!marked) {
                            m_fields[j].primaryKey = true;
                            marked = true;
                        }
                        break;
                    }
                }
            }
            m_recordCount = int32_t(db.RecordCount(m_tableName));   // counted by the server
        } else {
            for (const kdb::IndexInfo& index : indexes) {
                if (!index.primary)
                    continue;
                bool marked = false;
                for (const QString& keyField : index.fields) {
                    for (qsizetype j = 1; j < m_fields.size() && !marked; ++j) {
                        if (m_fields[j].name == keyField) {
                            m_fields[j].primaryKey = true;
                            marked = true;
                        }
                    }
                    if (marked)
                        break;
                }
                break;
            }
            m_recordCount = int32_t(db.RecordCount(m_tableName));
        }
        db.Close();
    });
}

// --- Statistics ------------------------------------------------------------------------------

void CDataDef::GatherStats(bool Force)
{
    if (NumFields() < 1)
        return;
    if (!Force && m_initDone)
        return;
    // The status bar shows how far the reading has come, and hides the bar however it ends.
    Status::Progress(0);
    const struct HideProgress {
        ~HideProgress() { Status::Progress(-1); }
    } hideProgress;
    Member("VeltraDBCfg::GatherSTats Method", [&] {
        m_initDone = false;
        kdb::Database db = Utilities::OpenDb(m_dbFileName, true);
        if (!db.IsOpen())
            throw KvError(KvErr::ObjectNotSet).MarkShown(); // OpenDb's box said why
        const QList<kdb::FieldInfo> columns = db.Fields(m_tableName);
        const int16_t numFields = NumFields();
        bool keepGoing = true;
        const qsizetype count = std::min<qsizetype>(columns.size(), numFields);
        // Halves go to the even neighbour, as the progress has always been rounded.
        const auto percentOf = [&](qsizetype i) {
            return int16_t(std::nearbyint(double(i) / (numFields + 1) * 100.0));
        };
        const OnePass pass = GatherInOnePass(db, columns, count, percentOf, keepGoing);
        if (pass == OnePass::Failed) {
            // A table that cannot be read through (a damaged file, a disk error) fails here
            // once, not once for every field below.
            db.RecordCount(m_tableName);
            // Field by field, each failure shown and skipped on its own.
            for (qsizetype c = 0; c < count && keepGoing; ++c) {
                const int16_t i = int16_t(c + 1);
                SetFieldStats(db, m_tableName, columns[c].name, i);
                Status::Progress(percentOf(i));
                if (m_progress)
                    m_progress(percentOf(i), keepGoing);
            }
        }
        if (!keepGoing) {
            db.Close();
            return;
        }
        Status::Progress(100);
        if (m_progress)
            m_progress(100, keepGoing);
        db.Close();
        m_initDone = true;
    });
}

CDataDef::OnePass CDataDef::GatherInOnePass(kdb::Database& db, const QList<kdb::FieldInfo>& columns,
                                            qsizetype count, const std::function<int16_t(qsizetype)>& percentOf,
                                            bool& keepGoing)
{
    // Every field's statistics come from one read of the rows; the progress of field i is told
    // once i / (fields + 1) of the rows are read. A stop leaves every field as it was.
    std::vector<StatKind> kinds(size_t(count), StatKind::None);
    std::vector<int> columnOf(size_t(count), -1);
    // A server computes the statistics of its numbers itself, all fields at once; only dates
    // and Booleans are read here, as from a file.
    std::vector<std::optional<kdb::Database::ColumnStats>> computed(static_cast<size_t>(count));
    if (db.IsOdbc()) {
        QStringList names;
        std::vector<qsizetype> fieldOf;
        for (qsizetype c = 0; c < count; ++c) {
            if (KindOf(columns[c].type) == StatKind::Numeric && columns[c].type != kdb::dbBoolean) {
                names << columns[c].name;
                fieldOf.push_back(c);
            }
        }
        try {
            if (const auto stats = names.isEmpty() ? std::nullopt : db.SourceStats(m_tableName, names)) {
                for (size_t k = 0; k < fieldOf.size(); ++k)
                    computed[size_t(fieldOf[k])] = stats->at(qsizetype(k));
            }
        } catch (...) {
            return OnePass::Failed;
        }
    }
    QStringList selected;
    std::vector<ColumnStats::Column> read;
    for (qsizetype c = 0; c < count; ++c) {
        kinds[size_t(c)] = KindOf(columns[c].type);
        if (kinds[size_t(c)] != StatKind::None && !computed[size_t(c)]) {
            columnOf[size_t(c)] = int(selected.size());
            selected << kdb::QuoteIdent(columns[c].name);
            read.push_back({columns[c].name, kinds[size_t(c)]});
        }
    }
    std::vector<Accumulator> acc(static_cast<size_t>(count));
    qsizetype next = 1;
    int16_t told = -1;
    const auto tell = [&](int16_t percent) {
        told = percent;
        Status::Progress(percent);
        if (m_progress)
            m_progress(percent, keepGoing);
    };
    const auto tellUpTo = [&](qsizetype upTo) {
        for (; next <= upTo && keepGoing; ++next)
            tell(percentOf(next));
        return keepGoing;
    };
    // Field i is told once i / (fields + 1) of the rows are read; `between` also tells the
    // whole percent of the rows read, so that a long read keeps the bar moving.
    const int64_t expected = std::max<int64_t>(m_recordCount, 1);
    const int64_t parts = int64_t(NumFields()) + 1;
    const auto tellRows = [&](int64_t rows, bool between) {
        const qsizetype due = qsizetype(std::min<int64_t>(count, rows * parts / expected));
        if (due >= next && !tellUpTo(due))
            return false;
        if (between) {
            const auto percent = int16_t(std::min<int64_t>(99, rows * 100 / expected));
            if (percent > told && (next > count || percent < percentOf(next)))
                tell(percent);
        }
        return keepGoing;
    };
    try {
        ColumnStats::RangeOutcome split = ColumnStats::RangeOutcome::NotSplit;
        if (!read.empty() && !db.IsOdbc() && m_recordCount >= RangeRead::RowsToSplit) {
            std::vector<Accumulator> sums;
            split = ColumnStats::ReadInRanges(
                m_dbFileName, m_tableName, read, RangeRead::Threads(), [&](int64_t rows) { return tellRows(rows, true); },
                sums);
            if (split == ColumnStats::RangeOutcome::Stopped)
                return OnePass::Stopped;
            for (qsizetype c = 0; c < count && split == ColumnStats::RangeOutcome::Done; ++c)
                if (columnOf[size_t(c)] >= 0)
                    acc[size_t(c)] = sums[size_t(columnOf[size_t(c)])];
        }
        if (!read.empty() && split == ColumnStats::RangeOutcome::NotSplit) {
            int64_t rows = 0;
            kdb::Reader r = db.Query(QStringLiteral("SELECT ") + selected.join(QStringLiteral(", "))
                                     + QStringLiteral(" FROM ") + kdb::QuoteIdent(m_tableName));
            while (r.Next()) {
                for (qsizetype c = 0; c < count; ++c)
                    if (columnOf[size_t(c)] >= 0)
                        AddValue(r, columnOf[size_t(c)], kinds[size_t(c)], acc[size_t(c)]);
                ++rows;
                if (!tellRows(rows, rows % kRowsPerPercentLook == 0))
                    return OnePass::Stopped;
            }
        }
    } catch (...) {
        if (told >= 0)
            throw; // the listener has already been told of progress: no second round
        return OnePass::Failed;
    }
    if (!tellUpTo(count))
        return OnePass::Stopped;
    for (qsizetype c = 0; c < count; ++c) {
        if (const auto& s = computed[size_t(c)])
            StoreComputed(m_fields[c + 1], *s);
        else
            StoreStats(m_fields[c + 1], kinds[size_t(c)], acc[size_t(c)]);
    }
    return OnePass::Done;
}

bool CDataDef::SetFieldStats(kdb::Database& db, const QString& table, const QString& field,
                             int16_t i)
{
    try {
        DataField& f = At(i, "CDataDef::SetFieldStats");
        int16_t code = 0;
        for (const kdb::FieldInfo& column : db.Fields(table)) {
            if (column.name == field) {
                code = column.type;
                break;
            }
        }
        const StatKind kind = KindOf(code);
        Accumulator acc;
        if (kind != StatKind::None) {
            kdb::Reader r = db.Query(QStringLiteral("SELECT ") + kdb::QuoteIdent(field) +
                                     QStringLiteral(" FROM ") + kdb::QuoteIdent(table));
            while (r.Next())
                AddValue(r, 0, kind, acc);
        }
        StoreStats(f, kind, acc);
        return true;
    } catch (...) {
        ErrorBox::ShowPlain(CurrentError(), QStringLiteral("CDataDef::SetFieldStats"));
        return false;
    }
}

// --- Comparison ------------------------------------------------------------------------------

bool CDataDef::IsCompatable(const CDataDef* aDDO) const
{
    try {
        if (!aDDO || aDDO->NumFields() != NumFields())
            return false;
        for (int16_t i = 1; i <= NumFields(); ++i) {
            const DataField& a = m_fields[i];
            const DataField& b = aDDO->m_fields[i];
            if (a.type != b.type || a.name != b.name || a.primaryKey != b.primaryKey)
                return false;
        }
        return true;
    } catch (...) {
        ErrorBox::ShowStandard(CurrentError(), QStringLiteral("CDataDef::IsCompatable"));
        return false;
    }
}

// --- Accessors -------------------------------------------------------------------------------

const DataField& CDataDef::At(int16_t iIndex, const char* source) const
{
    if (!m_dimensioned || iIndex < 0 || iIndex >= m_fields.size())
        throw KvError(KvErr::SubscriptOutOfRange, QString::fromUtf8(source));
    return m_fields[iIndex];
}

DataField& CDataDef::At(int16_t iIndex, const char* source)
{
    if (!m_dimensioned || iIndex < 0 || iIndex >= m_fields.size())
        throw KvError(KvErr::SubscriptOutOfRange, QString::fromUtf8(source));
    return m_fields[iIndex];
}

int16_t CDataDef::NumFields() const
{
    return m_dimensioned ? int16_t(m_fields.size() - 1) : int16_t(0);
}

QString CDataDef::TableName() const { return m_tableName; }
void CDataDef::SetTableName(const QString& name) { m_tableName = name; }
QString CDataDef::DBFileName() const { return m_dbFileName; }
void CDataDef::SetDBFileName(const QString& name) { m_dbFileName = name; }
std::shared_ptr<kdb::Snapshot> CDataDef::RSMain() const { return m_rsMain; }
void CDataDef::SetRSMain(std::shared_ptr<kdb::Snapshot> rs) { m_rsMain = std::move(rs); }

bool CDataDef::KeyFieldExists() const
{
    return KeyField() != 0;
}

QString CDataDef::FieldName(int16_t i) const { return At(i, "VeltraDBCfg:FieldName Property Get").name; }
int16_t CDataDef::FieldType(int16_t i) const { return At(i, "VeltraDBCfg:FieldType Property Get").type; }
double CDataDef::FieldMax(int16_t i) const { return At(i, "VeltraDBCfg:FieldMax Property Get").max; }
double CDataDef::FieldMin(int16_t i) const { return At(i, "VeltraDBCfg:FieldMin Property Get").min; }
double CDataDef::FieldAvg(int16_t i) const { return At(i, "VeltraDBCfg:FieldAvg Property Get").avg; }
double CDataDef::FieldStdDev(int16_t i) const
{
    return At(i, "VeltraDBCfg:FieldStdDev Property Get").stdDev;
}
bool CDataDef::PrimaryKeyField(int16_t i) const { return At(i, "").primaryKey; }
int32_t CDataDef::VeltraMatchType(int16_t i) const
{
    return dbUtilities::FieldTypeClass(At(i, "").type);
}

double CDataDef::UserMin(int16_t i) const { return At(i, "VeltraDBCfg:UserMin Property Get").userMin; }
void CDataDef::SetUserMin(int16_t i, double v) { At(i, "VeltraDBCfg:UserMin Property Let").userMin = v; }
double CDataDef::UserMax(int16_t i) const { return At(i, "VeltraDBCfg:UserMax Property Get").userMax; }
void CDataDef::SetUserMax(int16_t i, double v) { At(i, "VeltraDBCfg:UserMax Property Let").userMax = v; }
int16_t CDataDef::UserMatchType(int16_t i) const
{
    return At(i, "VeltraDBCfg:UserMatchType Property Get").userMatchType;
}
void CDataDef::SetUserMatchType(int16_t i, int16_t v)
{
    At(i, "VeltraDBCfg:UserMatchType Property Let").userMatchType = v;
}
int16_t CDataDef::UserImportance(int16_t i) const
{
    return At(i, "VeltraDBCfg:UserImportance Property Get").userImportance;
}
void CDataDef::SetUserImportance(int16_t i, int16_t v)
{
    At(i, "VeltraDBCfg:UserImportance Property Let").userImportance = v;
}
int16_t CDataDef::UserOutOfRange(int16_t i) const
{
    return At(i, "VeltraDBCfg:UserOutOfRange Property Get").userOutOfRange;
}
void CDataDef::SetUserOutOfRange(int16_t i, int16_t v)
{
    At(i, "VeltraDBCfg:UserOutOfRange Property Let").userOutOfRange = v;
}

const DataField& CDataDef::Field(int16_t i) const { return At(i, "VeltraDBCfg:Field Property Get"); }

int16_t CDataDef::KeyField() const
{
    for (int16_t i = 1; i <= NumFields(); ++i) {
        if (m_fields[i].primaryKey)
            return i;
    }
    return 0;
}

QString CDataDef::KeyFieldName() const
{
    const int16_t key = KeyField();
    return key ? m_fields[key].name : QString();
}

int16_t CDataDef::FieldIndex(const QString& name) const
{
    for (int16_t i = 1; i <= NumFields(); ++i) {
        if (m_fields[i].name == name)
            return i;
    }
    return 0;
}

QList<int16_t> CDataDef::FieldsWithRole(int16_t role) const
{
    QList<int16_t> result;
    for (int16_t i = 1; i <= NumFields(); ++i) {
        if (m_fields[i].userMatchType == role)
            result.append(i);
    }
    return result;
}

kdb::Database CDataDef::OpenSource() const
{
    return kdb::Database::OpenSource(m_dbFileName, true);
}

kdb::Reader CDataDef::ReadSourceRows(kdb::Database& db, const QStringList& columns) const
{
    return db.ReadLinked(m_tableName, columns);
}

QString FieldValueText(const CDataDef& ddo, int16_t field, double value)
{
    const int16_t type = ddo.FieldType(field);
    if (const dbUtilities::ValueForm form = dbUtilities::FieldValueForm(type); form != dbUtilities::ValueForm::Number)
        return dbUtilities::SerialText(value, form);
    return NumFormat::Shown(value, NumFormat::Pattern(dbUtilities::FieldDecimals(type, ddo.FieldMin(field),
                                                                                  ddo.FieldMax(field))));
}
