// Path and file-name helpers of the Utilities module: absolute paths with the positions of
// their parts, file and base names, and the system's one existence test for data sources.
// Paths are POSIX paths: "/" separates, the root "/" ends the folder part of an absolute path.
#pragma once

#include <QString>

class QFile;

namespace Utilities {
// Positions count characters from 1, as the callers expect.
void GetDirExt(const QString& path, int& nameStart, int& folderEnd, int& extStart);
QString GetFullPath(const QString& path, int& nameStart, int& extStart, int& folderEnd);
QString ExpandPath(const QString& path);
QString GetFileName(const QString& path);
QString GetBaseName(const QString& path);
QString GetLongFileName(const QString& path);

// True for an existing, readable regular file (a link to one counts), and for a connect
// string (kdb::IsOdbcConnect).
bool FileExists(const QString& fileName);
// What a path names that is there but is no regular file: "Not a regular file (a named pipe)",
// "(a socket)", "(a device)"; empty for a regular file, a link to one, a folder or nothing.
// Such a thing is never opened: a read of a pipe waits for a writer that may never come, and
// the wait would hold the whole program.
QString NotAFileReason(const QString& fileName);
// Why a file cannot be opened for reading, in the system's words ("Permission denied", "Too
// many levels of symbolic links", "Is a directory") or NotAFileReason's; empty when it can.
// Shows nothing.
QString UnreadableReason(const QString& fileName);
// Opens `file` (by its file name) for reading, never waiting: raises KvError 53 when nothing is
// there and 75, with UnreadableReason's words, for what cannot be read or is no regular file.
void OpenForReading(QFile& file);

// True when the file can be changed where it stands: the file itself writable, and its folder
// too, where the database keeps the journal of every change.
bool CanWriteInPlace(const QString& fileName);
}
