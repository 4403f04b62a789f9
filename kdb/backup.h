// Whole-file copies of a database that can never catch a half-written transaction: SQLite's
// backup interface reads a consistent state of the source, and the copy replaces the target
// only once it is complete, so a failure or a killed process leaves the old target whole.
#pragma once

#include <QString>

namespace kdb {
// Copies the database file `source` over `target` (created when missing). The source may be
// open elsewhere, even inside a write transaction: the copy holds what was last committed.
// Raises KvError (3024 missing source, 3343 not a database, 3051 target not writable, 3046
// source stayed locked, and ReplaceDatabaseFile's) and then leaves `target` as it was. A link
// is written through (ReplacementTarget).
// The copy (and the temporary file it is built in) has the source's permissions from its
// first byte on: a project that holds a password is copied owner-only.
void CopyDatabaseFile(const QString& source, const QString& target);

// The file that a replacement of `path` writes: `path`, or the file its link (or chain of
// links) points to, written through as editors do (the file may not exist yet). Raises KvError,
// and nothing is written, for a place that takes no database file: no regular file (3051, the
// words of every open), a loop of links or a folder (75), a file made read-only (70, its mode
// kept).
QString ReplacementTarget(const QString& path);

// Puts the complete database file `temp` (in the folder of `target`) in the place of `target`,
// so that a crash or a power cut at any moment leaves under that name the old file whole or the
// new one whole, never a file beside the journal of another. The new file's bytes reach the
// disk first; a journal that a killed writer left beside the old file is played back into it
// and that made durable; what else SQLite keeps beside the old file goes; the rename follows
// and is made durable. `target` is taken as ReplacementTarget takes it (`temp` must lie in the
// folder of the file that gives). Raises KvError and leaves both files as they were when the old
// file's journal cannot be played back (3051), another program is writing the old file (3045:
// its journal is its own, and its commits would go into a file that no longer has the name), or
// the rename fails (70 not allowed, 75 any other reason), and ReplacementTarget's refusals.
void ReplaceDatabaseFile(const QString& temp, const QString& target);

// Removes a database file and the journal and log beside it, each removal durable before the
// next. A journal a killed writer left is played back into the file first, so that what a cut
// leaves (the file whole, or a journal with nothing to play) can never damage a later file of
// that name. Raises KvError, and then removes nothing, when the file cannot be removed (70), its
// journal cannot be played back (3051), or another program is writing it (3045).
void RemoveDatabaseFile(const QString& path);

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
