// Whole-file copies of a database that can never catch a half-written transaction: SQLite's
// backup interface reads a consistent state of the source, and the copy replaces the target
// only once it is complete, so a failure or a killed process leaves the old target whole.
#pragma once

#include <QString>

namespace kdb {
// Copies the database file `source` over `target` (created when missing). The source may be
// open elsewhere, even inside a write transaction: the copy holds what was last committed.
// Raises KvError (3024 missing source, 3343 not a database, 3051 target not writable, 3046
// source stayed locked) and then leaves `target` as it was.
void CopyDatabaseFile(const QString& source, const QString& target);
}
