#include "data/datadef.h"

#include "core/errorbox.h"
#include "core/kverror.h"
#include "core/pathutils.h"
#include "core/prompts.h"
#include "data/dbutilities.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

using modErrorHandling::Member;

namespace {

bool IsNumericType(int16_t code)
{
    switch (code) {
    // Boolean belongs here too: the networks take it as a number, and without statistics its
    // user range would be 0..0, which the engine refuses as a constant input.
    case kdb::dbBoolean:
    case kdb::dbByte:
    case kdb::dbInteger:
    case kdb::dbLong:
    case kdb::dbCurrency:
    case kdb::dbSingle:
    case kdb::dbDouble:
    case kdb::dbBigInt:
    case kdb::dbNumeric:
    case kdb::dbDecimal:
    case kdb::dbFloat:
        return true;
    default:
        return false;
    }
}

bool IsDateType(int16_t code)
{
    return code == kdb::dbDate || code == kdb::dbTime || code == kdb::dbTimeStamp;
}

// Running statistics of one column in one pass (Welford), Nulls never fed in.
// Running statistics of one column in one pass, Nulls never fed in: sums of the values shifted
// by the first one (which keeps the variance exact when the values lie far from 0), in long
// double, without a division per value.
struct Accumulator {
    int64_t n = 0;
    double shift = 0;
    long double sum = 0;
    long double sumSq = 0;
    double min = 0;
    double max = 0;

    void Add(double x)
    {
        if (n == 0) {
            min = max = shift = x;
        } else {
            if (x < min)
                min = x;
            if (x > max)
                max = x;
        }
        ++n;
        const long double d = (long double)x - shift;
        sum += d;
        sumSq += d * d;
    }
    long double Mean() const { return n > 0 ? shift + sum / n : 0.0L; }
    bool HasStdDev() const { return n > 1; }
    double StdDev() const
    {
        if (n < 2)
            return 0.0;
        const long double m2 = sumSq - sum * sum / n;
        return m2 > 0 ? double(std::sqrt(m2 / (n - 1))) : 0.0;
    }
};

enum class StatKind { None, Numeric, Date };

StatKind KindOf(int16_t code)
{
    return IsNumericType(code) ? StatKind::Numeric : IsDateType(code) ? StatKind::Date : StatKind::None;
}

// One value of a column into its statistics; Nulls are skipped.
void AddValue(kdb::Reader& r, int column, StatKind kind, Accumulator& acc)
{
    if (r.IsNull(column))
        return;
    if (kind == StatKind::Numeric) {
        // Text that is no number (possible in an untyped column) counts as empty, and so does
        // an infinite value: it would make every statistic of the field unusable.
        if (const std::optional<double> v = r.ToDouble(column); v && std::isfinite(*v))
            acc.Add(*v);
    } else if (const std::optional<double> d = kdb::DateSerial(r.Get(column))) {
        acc.Add(*d);
    }
}

// A field's statistics and user range from its values: numbers mean +- 2 deviations, dates
// their span ("no limit" when there is none), other types all 0.
void StoreStats(DataField& f, StatKind kind, const Accumulator& acc)
{
    if (kind == StatKind::None) {
        f.max = f.min = f.avg = f.stdDev = f.userMax = f.userMin = 0;
    } else if (kind == StatKind::Numeric) {
        if (acc.n > 0) {
            f.min = acc.min;
            f.max = acc.max;
            f.avg = double(acc.Mean());
            f.stdDev = acc.StdDev();
        } else {
            f.min = f.max = f.avg = f.stdDev = 0;
        }
        const double d = 2 * f.stdDev;
        f.userMax = f.avg + d;
        f.userMin = f.avg - d;
    } else {
        f.max = acc.n > 0 ? acc.max : NoUserLimit;
        f.min = acc.n > 0 ? acc.min : NoUserLimit;
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
    Member("VeltraDBCfg:Initialize Method", [&] {
        if (!Utilities::FileExists(saDatabaseFileName))
            throw KvError(KvErr::FileNotFound, {}, QStringLiteral("No such database file"));
        m_dbFileName = saDatabaseFileName;
        kdb::Database db = Utilities::OpenDb(saDatabaseFileName, true);
        if (!db.IsOpen())
            throw KvError(KvErr::ObjectNotSet);

        bool found = false;
        for (const kdb::TableInfo& t : db.Tables()) {
            if (t.name == saTableName) {
                found = true;
                break;
            }
        }
        if (!found)
            throw KvError(KvErr::NoSuchTable, {}, QStringLiteral("No such table"));
        m_tableName = saTableName;

        const QList<kdb::FieldInfo> columns = db.Fields(saTableName);
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

        const QList<kdb::IndexInfo> indexes = db.Indexes(saTableName);
        if (db.Connect().contains(QLatin1String("ODBC;"))) {
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
            const kdb::Value count =
                db.Scalar(QStringLiteral("SELECT COUNT(*) FROM ") + kdb::QuoteIdent(m_tableName));
            m_recordCount = int32_t(count.toInt());
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
    Member("VeltraDBCfg::GatherSTats Method", [&] {
        m_initDone = false;
        kdb::Database db = Utilities::OpenDb(m_dbFileName, true);
        if (!db.IsOpen())
            throw KvError(KvErr::ObjectNotSet);
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
            // Field by field, each failure shown and skipped on its own.
            for (qsizetype c = 0; c < count && keepGoing; ++c) {
                const int16_t i = int16_t(c + 1);
                SetFieldStats(db, m_tableName, columns[c].name, i);
                if (m_progress)
                    m_progress(percentOf(i), keepGoing);
            }
        }
        if (!keepGoing) {
            db.Close();
            return;
        }
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
    QStringList selected;
    for (qsizetype c = 0; c < count; ++c) {
        kinds[size_t(c)] = KindOf(columns[c].type);
        if (kinds[size_t(c)] != StatKind::None) {
            columnOf[size_t(c)] = int(selected.size());
            selected << kdb::QuoteIdent(columns[c].name);
        }
    }
    std::vector<Accumulator> acc(static_cast<size_t>(count));
    qsizetype next = 1;
    const auto tellUpTo = [&](qsizetype upTo) {
        for (; next <= upTo && keepGoing; ++next)
            if (m_progress)
                m_progress(percentOf(next), keepGoing);
        return keepGoing;
    };
    try {
        if (!selected.isEmpty()) {
            const int64_t expected = std::max<int64_t>(m_recordCount, 1);
            const int64_t parts = int64_t(NumFields()) + 1;
            int64_t rows = 0;
            kdb::Reader r = db.Query(QStringLiteral("SELECT ") + selected.join(QStringLiteral(", "))
                                     + QStringLiteral(" FROM ") + kdb::QuoteIdent(m_tableName));
            while (r.Next()) {
                for (qsizetype c = 0; c < count; ++c)
                    if (columnOf[size_t(c)] >= 0)
                        AddValue(r, columnOf[size_t(c)], kinds[size_t(c)], acc[size_t(c)]);
                ++rows;
                const qsizetype due = qsizetype(std::min<int64_t>(count, rows * parts / expected));
                if (due >= next && !tellUpTo(due))
                    return OnePass::Stopped;
            }
        }
    } catch (...) {
        if (next > 1)
            throw; // the listener has already been told of fields: no second round
        return OnePass::Failed;
    }
    if (!tellUpTo(count))
        return OnePass::Stopped;
    for (qsizetype c = 0; c < count; ++c)
        StoreStats(m_fields[c + 1], kinds[size_t(c)], acc[size_t(c)]);
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
