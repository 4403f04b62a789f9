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
// The copy (and the temporary file it is built in) has the source's permissions from its
// first byte on: a project that holds a password is copied owner-only.
void CopyDatabaseFile(const QString& source, const QString& target);

// Removes from `folder` the half-built copies (and their journals) that copies killed half-way
// left, those of processes that have ended; a copy still running keeps its file. True when
// files of a running process stay.
bool RemoveLeftoverCopies(const QString& folder);

// True while the process `pid` exists (this one, or another user's that this one may not
// signal): its temporary files are still in use.
bool ProcessRuns(qint64 pid);

// Makes a database file and its journal and log readable and writable by its owner alone
// (mode 0600): the form of every file that holds a password. Failures are ignored.
void KeepOwnerOnly(const QString& path);
}
