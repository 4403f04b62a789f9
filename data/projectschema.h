// The project file's schema: the names of its tables, their columns and the Config keys that
// more than one part of the program reads, and the statements that create the tables. Every
// other file names the project file's tables and columns through these.
#pragma once

#include <QString>
#include <QStringList>

namespace ProjectSchema {

// --- Tables --------------------------------------------------------------------------------
inline QString FieldConfigTable() { return QStringLiteral("FieldConfig"); }
inline QString SnapshotsTable() { return QStringLiteral("Snapshots"); }
inline QString ConfigTable() { return QStringLiteral("Config"); }
// The source table, linked into the project file under this name.
inline QString LinkTable() { return QStringLiteral("LinkDataSource"); }
// One row per testing row of the last test.
inline QString TestTable() { return QStringLiteral("Test"); }
// The class list of an SFAM project.
inline QString ClassesTable() { return QStringLiteral("Classes"); }

// The tables every project holds, in the order they are created.
QStringList BaseTables();
// Their CREATE statements (Jet's dialect), in the same order.
QStringList BaseTableStatements();
// The CREATE statement of one of them; empty for another table.
QString BaseTableStatement(const QString& table);

// --- FieldConfig ---------------------------------------------------------------------------
inline QString FieldOrderColumn() { return QStringLiteral("FieldOrder"); }
inline QString FieldNameColumn() { return QStringLiteral("FieldName"); }
inline QString FieldTypeColumn() { return QStringLiteral("FieldType"); }
inline QString FieldMaxColumn() { return QStringLiteral("FieldMax"); }
inline QString FieldMinColumn() { return QStringLiteral("FieldMin"); }
inline QString FieldAvgColumn() { return QStringLiteral("FieldAvg"); }
inline QString FieldStdDevColumn() { return QStringLiteral("FieldStdDev"); }
inline QString UserImportanceColumn() { return QStringLiteral("UserImportance"); }
inline QString UserMatchTypeColumn() { return QStringLiteral("UserMatchType"); }
inline QString UserMaxColumn() { return QStringLiteral("UserMax"); }
inline QString UserMinColumn() { return QStringLiteral("UserMin"); }
inline QString UserOutOfRangeColumn() { return QStringLiteral("UserOutOfRange"); }
inline QString PrimaryKeyFieldColumn() { return QStringLiteral("PrimaryKeyField"); }
// "FieldOrder, FieldName, ..., PrimaryKeyField": the columns in the order the rows are written.
QString FieldConfigColumns();
// INSERT of one row of FieldConfigColumns, values bound in that order.
QString FieldConfigInsert();

// --- Config --------------------------------------------------------------------------------
inline QString PropertyColumn() { return QStringLiteral("Property"); }
inline QString ValueColumn() { return QStringLiteral("sValue"); }
// The value of the property bound as the statement's one parameter.
QString ConfigValueSelect();
// Keys read or written by more than one part of the program.
inline QString DatabaseFileNameKey() { return QStringLiteral("DatabaseFileName"); }
inline QString TableNameKey() { return QStringLiteral("TableName"); }
inline QString TypeKey() { return QStringLiteral("Type"); }
inline QString NavigateKey() { return QStringLiteral("Navigate"); }
inline QString ProcessKey() { return QStringLiteral("Process"); }

// --- Snapshots -----------------------------------------------------------------------------
inline QString DateSavedColumn() { return QStringLiteral("DateSaved"); }
inline QString SnapshotColumn() { return QStringLiteral("Snapshot"); }

// --- Test ----------------------------------------------------------------------------------
inline QString TestKeyColumn() { return QStringLiteral("MainPrimaryKey"); }
inline QString PredictedColumn() { return QStringLiteral("Predicted"); }
inline QString DifferenceColumn() { return QStringLiteral("Difference"); }
inline QString MarkColumn() { return QStringLiteral("Mark"); }
// The Test table of each kind, its key column of type `keyType` (a Jet column type).
QString BackPropTestStatement(const QString& keyType);
QString SFamTestStatement(const QString& keyType);
// INSERT of one Test row of each kind: key, predicted[, difference], mark.
QString BackPropTestInsert();
QString SFamTestInsert();

// --- Classes -------------------------------------------------------------------------------
inline QString ClassColumn() { return QStringLiteral("Class"); }
inline QString ClassNumberColumn() { return QStringLiteral("ClassNum"); }
// The statements that count the classes of the source's column `quotedField` (quoted) into a
// new Classes table and number them.
QStringList ClassesStatements(const QString& quotedField);

} // namespace ProjectSchema
