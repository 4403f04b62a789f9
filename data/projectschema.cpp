#include "data/projectschema.h"

namespace ProjectSchema {

QStringList BaseTables()
{
    return {FieldConfigTable(), SnapshotsTable(), ConfigTable()};
}

// Config keeps its values in a long text: a setting such as an ODBC connect string may run
// past 255 characters and must survive whole.
QStringList BaseTableStatements()
{
    return {
        QStringLiteral("CREATE TABLE FieldConfig ( "
                       "FieldOrder       Integer CONSTRAINT PrimaryKey PRIMARY KEY, "
                       "FieldName        Text, "
                       "FieldType        Text, "
                       "FieldMax         Double, "
                       "FieldMin         Double, "
                       "FieldAvg         Double, "
                       "FieldStdDev      Double, "
                       "UserImportance   Integer, "
                       "UserMatchType    Integer, "
                       "UserMax          Double, "
                       "UserMin          Double, "
                       "UserOutOfRange   Integer, "
                       "PrimaryKeyField  Bit "
                       " );"),
        QStringLiteral("CREATE TABLE Snapshots ( "
                       "DateSaved        DateTime CONSTRAINT PrimaryKey PRIMARY KEY, "
                       "ErrorAtSave      Single, "
                       "Snapshot         LongText "
                       " );"),
        QStringLiteral("CREATE TABLE Config ( "
                       "Property         Text(255) CONSTRAINT PrimaryKey PRIMARY KEY, "
                       "sValue            LongText "
                       " );"),
    };
}

QString BaseTableStatement(const QString& table)
{
    const qsizetype i = BaseTables().indexOf(table);
    return i < 0 ? QString() : BaseTableStatements().at(i);
}

QString FieldConfigColumns()
{
    return QStringList{FieldOrderColumn(),     FieldNameColumn(),     FieldTypeColumn(),    FieldMaxColumn(),
                       FieldMinColumn(),       FieldAvgColumn(),      FieldStdDevColumn(),  UserImportanceColumn(),
                       UserMatchTypeColumn(),  UserMaxColumn(),       UserMinColumn(),      UserOutOfRangeColumn(),
                       PrimaryKeyFieldColumn()}
        .join(QStringLiteral(", "));
}

QString FieldConfigInsert()
{
    return QStringLiteral("INSERT INTO FieldConfig (") + FieldConfigColumns()
           + QStringLiteral(") VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?)");
}

QString ConfigValueSelect()
{
    return QStringLiteral("SELECT sValue FROM Config WHERE Property = ?");
}

QString BackPropTestStatement(const QString& keyType)
{
    return QStringLiteral("CREATE TABLE Test ( MainPrimaryKey ") + keyType
           + QStringLiteral(" CONSTRAINT PrimaryKey PRIMARY KEY, Predicted Single, Difference Single, Mark Integer );");
}

QString SFamTestStatement(const QString& keyType)
{
    return QStringLiteral("CREATE TABLE Test ( MainPrimaryKey ") + keyType
           + QStringLiteral(" CONSTRAINT PrimaryKey PRIMARY KEY, Predicted Text(255), Mark Integer );");
}

QString BackPropTestInsert()
{
    return QStringLiteral("INSERT INTO Test (MainPrimaryKey, Predicted, Difference, Mark) VALUES (?, ?, ?, ?)");
}

QString SFamTestInsert()
{
    return QStringLiteral("INSERT INTO Test (MainPrimaryKey, Predicted, Mark) VALUES (?, ?, ?)");
}

QStringList ClassesStatements(const QString& quotedField)
{
    const QString p = LinkTable() + QLatin1Char('.') + quotedField;
    return {
        QStringLiteral("SELECT ") + p + QStringLiteral(" As Class, Count(") + p
            + QStringLiteral(") AS Total INTO Classes FROM ") + LinkTable() + QStringLiteral(" WHERE Not IsNull(") + p
            + QStringLiteral(") GROUP BY ") + p + QStringLiteral(";"),
        QStringLiteral("ALTER TABLE Classes ADD COLUMN ClassNum AUTOINCREMENT CONSTRAINT PrimaryKey PRIMARY KEY;"),
    };
}

} // namespace ProjectSchema
