#include "data/datadef.h"

#include "core/errorbox.h"
#include "core/kverror.h"
#include "core/pathutils.h"
#include "core/prompts.h"
#include "data/dbutilities.h"

#include <cmath>

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
struct Accumulator {
    int64_t n = 0;
    long double mean = 0;
    long double m2 = 0;
    double min = 0;
    double max = 0;

    void Add(double x)
    {
        if (n == 0) {
            min = max = x;
        } else {
            if (x < min)
                min = x;
            if (x > max)
                max = x;
        }
        ++n;
        const long double delta = x - mean;
        mean += delta / n;
        m2 += delta * (x - mean);
    }
    bool HasStdDev() const { return n > 1; }
    double StdDev() const { return n > 1 ? double(std::sqrt(m2 / (n - 1))) : 0.0; }
};

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
    Member("VeltraDBCfg::GatherSTats Method", [&] {
        m_initDone = false;
        kdb::Database db = Utilities::OpenDb(m_dbFileName, true);
        if (!db.IsOpen())
            throw KvError(KvErr::ObjectNotSet);
        const QList<kdb::FieldInfo> columns = db.Fields(m_tableName);
        const int16_t numFields = NumFields();
        bool keepGoing = true;
        const qsizetype count = std::min<qsizetype>(columns.size(), numFields);
        // A server computes the statistics of its numbers itself, all fields at once; dates and
        // Booleans are read here, as from a file.
        QStringList onServer;
        for (qsizetype c = 0; c < count; ++c) {
            if (IsNumericType(columns[c].type) && columns[c].type != kdb::dbBoolean)
                onServer << columns[c].name;
        }
        const std::optional<QList<kdb::Database::ColumnStats>> server =
            db.IsOdbc() && !onServer.isEmpty() ? db.SourceStats(m_tableName, onServer) : std::nullopt;
        for (qsizetype c = 0; c < count; ++c) {
            const int16_t i = int16_t(c + 1);
            const qsizetype at = onServer.indexOf(columns[c].name);
            SetFieldStats(db, m_tableName, columns[c], i,
                          server && at >= 0 ? &server->at(at) : nullptr);
            // Halves go to the even neighbour, as the progress has always been rounded.
            const auto percent = int16_t(std::nearbyint(double(i) / (numFields + 1) * 100.0));
            if (m_progress)
                m_progress(percent, keepGoing);
            if (!keepGoing) {
                db.Close();
                return;
            }
        }
        if (m_progress)
            m_progress(100, keepGoing);
        db.Close();
        m_initDone = true;
    });
}

bool CDataDef::SetFieldStats(kdb::Database& db, const QString& table, const kdb::FieldInfo& column,
                             int16_t i, const kdb::Database::ColumnStats* computed)
{
    try {
        DataField& f = At(i, "CDataDef::SetFieldStats");
        const QString& field = column.name;
        const int16_t code = column.type;
        const bool numeric = IsNumericType(code);
        const bool date = IsDateType(code);
        if (!numeric && !date) {
            f.max = f.min = f.avg = f.stdDev = f.userMax = f.userMin = 0;
            return true;
        }

        if (computed) {
            if (computed->count > 0) {
                f.min = computed->min;
                f.max = computed->max;
                f.avg = computed->mean;
                f.stdDev = computed->stdDev;
            } else {
                f.min = f.max = f.avg = f.stdDev = 0;
            }
            f.userMax = f.avg + 2 * f.stdDev;
            f.userMin = f.avg - 2 * f.stdDev;
            return true;
        }
        Accumulator acc;
        kdb::Reader r = db.Query(QStringLiteral("SELECT ") + kdb::QuoteIdent(field) +
                                 QStringLiteral(" FROM ") + kdb::QuoteIdent(table));
        while (r.Next()) {
            if (r.IsNull(0))
                continue;
            if (numeric) {
                // Text that is no number (possible in an untyped column) counts as empty, and
                // so does an infinite value: it would make every statistic of the field unusable.
                if (const std::optional<double> v = r.ToDouble(0); v && std::isfinite(*v))
                    acc.Add(*v);
            } else if (const std::optional<double> d = kdb::DateSerial(r.Get(0))) {
                acc.Add(*d);
            }
        }

        if (numeric) {
            if (acc.n > 0) {
                f.min = acc.min;
                f.max = acc.max;
                f.avg = double(acc.mean);
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
            f.avg = acc.n > 0 ? double(acc.mean) : NoUserLimit;
            f.stdDev = acc.HasStdDev() ? acc.StdDev() : NoUserLimit;
            f.userMax = f.max;
            f.userMin = f.min;
        }
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
