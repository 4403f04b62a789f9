// Database helpers of the data library: opening a source (file or ODBC), table existence,
// the project-file test, the re-link of a moved data file, the key test and the class count.
#pragma once

#include "kdb/kdb.h"

#include <QString>
#include <cstdint>

namespace Utilities {
// Opens a data file or an "ODBC;" source; never raises. A failure shows its box ("Open
// Database (<n>)") and gives no database (IsOpen() false); a cancelled ODBC choice is silent.
kdb::Database OpenDb(const QString& name, bool readOnly);
// True when the database file has a table of that name (trimmed, ignoring case), linked
// tables included. Errors show the "Error In TableExists" box and answer False.
bool TableExists(const QString& dbFileName, const QString& tableName);
// True when the file is a project database: it holds the tables "Config" and "FieldConfig"
// (a project never configured included). Never shows a message; writes only to finish what a
// killed writer left (its journal). Raises 3051 with the reason when the file may not be opened
// at all (unreadable, no regular file, or left unfinished where it cannot be written), 3045
// when another program is writing it, and 3049 naming the file damaged when its pages cannot be
// read (cut short, overwritten).
bool IsProjectFile(const QString& fileName);
// Re-points a project whose data file moved into the program folder's "data" folder. A
// project without a data file yet is left alone. A failure shows its box; answers false when
// the project file itself could not be read (damaged, locked), which no later step would
// read either.
bool CheckLink(const QString& projectFile);
}

namespace dbUtilities {
// True when the table has a single-field primary key (ODBC: a single-field unique index).
bool HasPrimaryKey(const QString& source, const QString& tableName);
// Rows of the project's "Classes" table; -1 when the file or the table is missing.
int16_t ClassCount(const QString& projectFile);
// Every field of `fields` must be a field of the project's link table (letter case aside):
// raises 3265 naming those that are not, as "The source table <tableName> no longer has the
// field [a] that this project uses." Reading a lost field would otherwise give a text in its
// place, or fail one row at a time.
void RequireSourceFields(const kdb::Database& project, const QStringList& fields, const QString& tableName);
}
