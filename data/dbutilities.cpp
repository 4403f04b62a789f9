#include "data/dbutilities.h"

#include "core/apppaths.h"
#include "core/errorbox.h"
#include "core/kverror.h"
#include "core/pathutils.h"
#include "core/prompts.h"
#include "data/projectschema.h"

#include <QSet>

namespace {

kdb::Database openNamed(const QString& name, bool exclusive, bool readOnly)
{
    if (!exclusive && kdb::IsOdbcConnect(name))
        return kdb::Database::OpenOdbc(name, readOnly);
    return kdb::Database::Open(name, exclusive, readOnly);
}

kdb::Database requireOpen(const QString& name, bool readOnly)
{
    kdb::Database db = Utilities::OpenDb(name, readOnly);
    if (!db)
        throw KvError(KvErr::ObjectNotSet).MarkShown(); // OpenDb's box said why
    return db;
}

} // namespace

kdb::Database Utilities::OpenDb(const QString& name, bool readOnly)
{
    KvError failure(0);
    try {
        return openNamed(name, false, readOnly);
    } catch (...) {
        failure = CurrentError();
    }
    if (failure.number() == KvErr::CouldNotLockFile) {
        // Held by someone else: one more try on the file alone, exclusively.
        try {
            return openNamed(name, true, readOnly);
        } catch (...) {
            failure = CurrentError();
        }
    }
    if (failure.number() == KvErr::OperationCancelled)
        return {};
    if (failure.number() == KvErr::UnrecognizedFormat)
        Prompts::MsgBox(QStringLiteral("Unrecognized database format '") + name + QStringLiteral("'."),
                        MsgButtons::Ok, MsgIcon::Critical, QStringLiteral("Open Database (3343)"));
    else
        Prompts::MsgBox(failure.description(), MsgButtons::Ok, MsgIcon::Critical,
                        QStringLiteral("Open Database (%1)").arg(failure.number()));
    return {};
}

bool Utilities::TableExists(const QString& dbFileName, const QString& tableName)
{
    try {
        if (dbFileName.isEmpty())
            throw KvError(KvErr::BadFileName);
        if (!Utilities::FileExists(dbFileName))
            throw KvError(KvErr::FileNotFound);
        const kdb::Database db = kdb::Database::Open(dbFileName, false, true);
        const QString wanted = tableName.trimmed().toUpper();
        for (const kdb::TableInfo& t : db.Tables()) {
            if (t.name.trimmed().toUpper() == wanted)
                return true;
        }
        return false;
    } catch (...) {
        const KvError e = CurrentError();
        Prompts::MsgBox(ErrorBox::BareText(e), MsgButtons::Ok, MsgIcon::Exclamation,
                        QStringLiteral("Error In TableExists"));
        return false;
    }
}

bool Utilities::IsProjectFile(const QString& fileName)
{
    if (!Utilities::FileExists(fileName) || kdb::IsOdbcConnect(fileName))
        return false;
    try {
        // The two tables alone decide: a project that was created but never configured has
        // no data file yet and must still open (in its configuration).
        const kdb::Database db = kdb::Database::Open(fileName, false, true);
        int found = 0;
        for (const kdb::TableInfo& t : db.Tables()) {
            if (t.name == ProjectSchema::FieldConfigTable() || t.name == ProjectSchema::ConfigTable())
                ++found;
        }
        if (found != 2)
            return false;
        // Tables of those names with other columns are another program's: every read of the
        // settings would fail with the database's words about a missing column.
        const auto hasColumns = [&](const QString& table, const QStringList& wanted) {
            QSet<QString> present;
            for (const kdb::FieldInfo& f : db.Fields(table))
                present.insert(f.name.toLower());
            for (const QString& column : wanted)
                if (!present.contains(column.toLower()))
                    return false;
            return true;
        };
        return hasColumns(ProjectSchema::ConfigTable(), {ProjectSchema::PropertyColumn(), ProjectSchema::ValueColumn()})
               && hasColumns(ProjectSchema::FieldConfigTable(),
                             {ProjectSchema::FieldOrderColumn(), ProjectSchema::FieldNameColumn()});
    } catch (...) {
        // A file that may not be opened (unreadable, or left unfinished by a killed writer in
        // a place that cannot be written) is no proof that it is no project: its reason goes on.
        const int32_t number = CurrentError().number();
        if (number == KvErr::CannotOpenFile)
            throw;
        // Nor is a file that another program is writing right now: it opens once that is done.
        if (number == KvErr::CouldNotLockFile || number == KvErr::FileInUse)
            throw kdb::FileInUseError(fileName);
        // A database whose pages cannot be read (cut short, overwritten) is damaged, which the
        // user must hear rather than that it is some other kind of file.
        if (number == KvErr::DatabaseCorrupt)
            throw KvError(KvErr::DatabaseCorrupt, {},
                          fileName + QStringLiteral(":  is damaged (part of the file is missing or overwritten) and "
                                                    "cannot be opened.  Open a copy made before the damage."));
        return false;
    }
}

bool Utilities::CheckLink(const QString& projectFile)
{
    if (projectFile.isEmpty())
        return true;
    bool read = false;
    const bool done = Procedure(QStringLiteral("Utilities::CheckLink"), [&] {
        QString dataFile;
        {
            kdb::Database db = requireOpen(projectFile, true);
            kdb::Reader r = db.Query(ProjectSchema::ConfigValueSelect(), {ProjectSchema::DatabaseFileNameKey()});
            const bool found = r.Next();
            read = true;
            if (!found)
                throw KvError(KvErr::NoCurrentRecord);
            dataFile = r.Get(0).toText();
            // A project never configured has no data file and no link: nothing to re-point.
            if (dataFile.isEmpty())
                return;
            if (!db.LinkInfo(ProjectSchema::LinkTable()))
                throw KvError(KvErr::ItemNotFound);
        }
        if (Utilities::FileExists(dataFile))
            return;
        const QString candidate =
            AppPaths::ProgramFolder() + QStringLiteral("/data/") + Utilities::GetFileName(dataFile);
        if (!Utilities::FileExists(candidate))
            return;
        kdb::Database db = requireOpen(projectFile, false);
        const std::optional<kdb::TableInfo> old = db.LinkInfo(ProjectSchema::LinkTable());
        // The link goes first: it is replaced whole or not at all, and the setting follows
        // only a link that now reaches the data file.
        db.RefreshLink(ProjectSchema::LinkTable(), QStringLiteral(";DATABASE=") + candidate);
        try {
            if (db.Update(ProjectSchema::ConfigTable(), {{ProjectSchema::ValueColumn(), candidate}},
                          ProjectSchema::PropertyColumn(), ProjectSchema::DatabaseFileNameKey())
                == 0)
                throw KvError(KvErr::NoCurrentRecord);
        } catch (...) {
            const KvError e = CurrentError();
            IgnoreErrors([&] { db.RefreshLink(ProjectSchema::LinkTable(), old->connect); });
            throw e;
        }
    });
    return done || read;
}

bool dbUtilities::HasPrimaryKey(const QString& source, const QString& tableName)
{
    bool answer = false;
    Procedure(QStringLiteral("dbUtilities::HasPrimaryKey"), [&] {
        const kdb::Database db = requireOpen(source, true);
        const QList<kdb::IndexInfo> indexes = db.Indexes(tableName);
        if (indexes.size() < 1)
            return;
        const bool odbc = kdb::IsOdbcConnect(db.Connect());
        for (const kdb::IndexInfo& ix : indexes) {
            if (ix.fields.size() != 1)
                continue;
            if (odbc ? ix.unique : ix.primary) {
                answer = true;
                return;
            }
        }
    });
    return answer;
}

int16_t dbUtilities::ClassCount(const QString& projectFile)
{
    if (!Utilities::FileExists(projectFile))
        return -1;
    if (!Utilities::TableExists(projectFile, ProjectSchema::ClassesTable()))
        return -1;
    int16_t count = -1;
    Procedure(QStringLiteral("dbUtilities::ClassCount"), [&] {
        const kdb::Database db = kdb::Database::Open(projectFile, false, true);
        const int64_t n = db.RecordCount(ProjectSchema::ClassesTable());
        if (n > 32767)
            throw KvError(KvErr::Overflow);
        count = int16_t(n);
    });
    return count;
}

void dbUtilities::RequireSourceFields(const kdb::Database& project, const QStringList& fields,
                                      const QString& tableName)
{
    QSet<QString> present;
    for (const kdb::FieldInfo& f : project.Fields(ProjectSchema::LinkTable()))
        present.insert(f.name.toLower());
    QStringList missing;
    for (const QString& field : fields)
        if (!present.contains(field.toLower()) && !missing.contains(field))
            missing << field;
    if (missing.isEmpty())
        return;
    const QString names = QStringLiteral("[") + missing.join(QStringLiteral("], [")) + QStringLiteral("]");
    throw KvError(KvErr::ItemNotFound, {},
                  QStringLiteral("The source table ") + tableName
                      + (missing.size() == 1 ? QStringLiteral(" no longer has the field ")
                                             : QStringLiteral(" no longer has the fields "))
                      + names + QStringLiteral(" that this project uses."));
}
