// The data definition of one source table: its fields with their type codes, the key field,
// the row count, per-field statistics, and the user's range and role per field, stored in and
// read back from a project's FieldConfig table.
#pragma once

#include "data/fieldtypes.h"
#include "kdb/kdb.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>

// A field's role for the network: the values of UserMatchType.
enum FieldRole : int16_t {
    roleUnused = -1,
    roleInput = 1,
    roleInputAlt = 3,
    roleSFamPredict = 15,
    roleBPPredict = 16,
};

// Stands in a user limit (and in an empty date statistic) for "not set".
constexpr double NoUserLimit = -660000.0;

// Everything the definition keeps for one field. A freshly dimensioned record is all empty:
// text empty, numbers 0, flags false (Initialize then sets UserOutOfRange 1, role -1).
struct DataField {
    QString name;
    int16_t type = 0;            // DAO type code; AutoIncrType (-4) for an auto-number Long
    double max = 0;
    double min = 0;
    double avg = 0;
    double stdDev = 0;
    int16_t userImportance = 0;
    int16_t userMatchType = 0;   // a FieldRole value
    double userMax = 0;
    double userMin = 0;
    int16_t userOutOfRange = 0;
    bool primaryKey = false;
};

class CDataDef {
public:
    // Told the progress of GatherStats (PercentDone 0..100, never going back), as the status
    // bar is (Status::Progress, hidden again at the end); setting `continueGathering` false
    // stops the gathering (InitDone then stays false).
    using ProgressHandler = std::function<void(int16_t percentDone, bool& continueGathering)>;

    CDataDef() = default;

    // --- Filling, statistics, storage ---------------------------------------------------
    // Reads the table's fields, key and row count from the source (a data file path or an
    // "ODBC;" connect string). Does nothing once InitDone is true. Empty arguments show the
    // "Bad Parameter passed to CDataDef::Initialize()" box; other failures raise KvError
    // (53 missing file, 3078 unknown table) with the source "VeltraDBCfg:Initialize Method".
    void Initialize(const QString& saDatabaseFileName, const QString& saTableName);
    // One read of the rows for every numeric/date/Boolean field: max, min, mean, sample
    // standard deviation (Nulls skipped); user range mean +- 2 deviations (dates: min..max).
    // Skipped when InitDone and not Force. Reports field i's percentage once i / (fields + 1)
    // of the rows are read, and in between the whole percent of the rows read (a look every
    // 4096 rows, or every few tens of milliseconds); a stop leaves every field as it was. A
    // table of 100,000 rows or more in a data file is read on several connections at once.
    void GatherStats(bool Force);
    // "Compares the CDataDef Object to another CDataDef Object.  Returns True/False."
    // Same columns, types, names (case counts) and key as `aDDO`; nullptr gives false.
    bool IsCompatable(const CDataDef* aDDO) const;
    // Reads the fields from the project's FieldConfig (keeps DBFileName, TableName,
    // RecordCount); sets InitDone. A missing file does nothing.
    void Load(const QString& ConfigDBFile);
    // Writes one FieldConfig row per field (matched by name), creating the table if needed.
    void Save(const QString& ConfigDBFile);
    // The same on a database the caller holds open (and may hold a transaction on), without a
    // box: raises.
    void Write(kdb::Database& db);

    void SetProgressHandler(ProgressHandler handler) { m_progress = std::move(handler); }
    const ProgressHandler& GetProgressHandler() const { return m_progress; }

    // --- Plain accessors -----------------------------------------------------------------
    bool InitDone() const { return m_initDone; }
    int32_t RecordCount() const { return m_recordCount; }
    int16_t NumFields() const;
    bool Cancel() const { return m_cancel; }
    void SetCancel(bool cancel) { m_cancel = cancel; }
    QString TableName() const;
    void SetTableName(const QString& name);
    QString DBFileName() const;
    void SetDBFileName(const QString& name);
    // A record set kept for the caller; nothing in the system relies on it.
    std::shared_ptr<kdb::Snapshot> RSMain() const;
    void SetRSMain(std::shared_ptr<kdb::Snapshot> rs);

    // True when some field is the key; false without fields.
    bool KeyFieldExists() const;

    // --- Per-field accessors: field numbers 1..NumFields (0 exists, unused) ---------------
    // A number outside 0..NumFields, or any use before the fields exist, raises error 9 with
    // the member's source text ("VeltraDBCfg:UserMin Property Let").
    QString FieldName(int16_t iIndex) const;
    int16_t FieldType(int16_t iIndex) const;
    double FieldMax(int16_t iIndex) const;
    double FieldMin(int16_t iIndex) const;
    double FieldAvg(int16_t iIndex) const;
    double FieldStdDev(int16_t iIndex) const;
    bool PrimaryKeyField(int16_t iIndex) const;
    // FieldClass of the field's type code (dbUtilities::FieldTypeClass).
    int32_t VeltraMatchType(int16_t iIndex) const;

    double UserMin(int16_t iIndex) const;
    void SetUserMin(int16_t iIndex, double vData);
    double UserMax(int16_t iIndex) const;
    void SetUserMax(int16_t iIndex, double vData);
    int16_t UserMatchType(int16_t iIndex) const;
    void SetUserMatchType(int16_t iIndex, int16_t vData);
    int16_t UserImportance(int16_t iIndex) const;
    void SetUserImportance(int16_t iIndex, int16_t vData);
    int16_t UserOutOfRange(int16_t iIndex) const;
    void SetUserOutOfRange(int16_t iIndex, int16_t vData);

    // --- Conveniences for callers that work on whole fields ------------------------------
    // The whole record of field iIndex (same range rule as above).
    const DataField& Field(int16_t iIndex) const;
    // Field number of the key field, 0 when there is none.
    int16_t KeyField() const;
    // Name of the key field, empty when there is none.
    QString KeyFieldName() const;
    // Field number of the first field with that name (exact case), 0 when none.
    int16_t FieldIndex(const QString& name) const;
    // Field numbers whose UserMatchType equals `role`, in field order.
    QList<int16_t> FieldsWithRole(int16_t role) const;

    // Opens the source read-only (file or ODBC); raises KvError when it cannot be opened.
    kdb::Database OpenSource() const;
    // The source table's rows in key order (row order of training and testing ranges), the
    // given columns or all; `db` is the opened source (OpenSource) and must outlive the reader.
    kdb::Reader ReadSourceRows(kdb::Database& db, const QStringList& columns = {}) const;

private:
    void Redim(int16_t numFields);
    const DataField& At(int16_t iIndex, const char* source) const;
    DataField& At(int16_t iIndex, const char* source);
    bool SetFieldStats(kdb::Database& db, const QString& table, const QString& field, int16_t i);
    enum class OnePass { Done, Stopped, Failed };
    OnePass GatherInOnePass(kdb::Database& db, const QList<kdb::FieldInfo>& columns, qsizetype count,
                            const std::function<int16_t(qsizetype)>& percentOf, bool& keepGoing);
    kdb::Database MakeSupportDB(const QString& ConfigDBFile);

    // The reading of Initialize, which leaves the definition as it was when it fails.
    void InitializeFrom(const QString& saDatabaseFileName, const QString& saTableName);
    // The reading of Load, which leaves no definition when it fails.
    void LoadFrom(const QString& ConfigDBFile);

    QString m_dbFileName;
    QString m_tableName;
    std::shared_ptr<kdb::Snapshot> m_rsMain;
    QList<DataField> m_fields;     // 0..NumFields once dimensioned, empty before
    bool m_dimensioned = false;
    int32_t m_recordCount = 0;
    bool m_cancel = false;
    bool m_initDone = false;
    ProgressHandler m_progress;
};

// A value of field `field` (a user limit, a statistic, a prediction) as the configuration grid
// shows it: a date as a date, a time as a time of day (dbUtilities::FieldValueForm), a number
// to the decimals of the field's range (dbUtilities::FieldDecimals).
QString FieldValueText(const CDataDef& ddo, int16_t field, double value);
