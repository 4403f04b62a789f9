// Path and file-name helpers of the Utilities module: absolute paths with the positions of
// their parts, file and base names, and the system's one existence test for data sources.
// Paths are POSIX paths: "/" separates, the root "/" ends the folder part of an absolute path.
#pragma once

#include <QString>

namespace Utilities {
// Positions count characters from 1, as the callers expect.
void GetDirExt(const QString& path, int& nameStart, int& folderEnd, int& extStart);
QString GetFullPath(const QString& path, int& nameStart, int& extStart, int& folderEnd);
QString ExpandPath(const QString& path);
QString GetFileName(const QString& path);
QString GetBaseName(const QString& path);
QString GetLongFileName(const QString& path);

// True for an existing, readable file, and for any text holding "ODBC;" (a connect string).
bool FileExists(const QString& fileName);
// Why a file cannot be opened for reading, in the system's words ("Permission denied", "Too
// many levels of symbolic links", "Is a directory"); empty when it can. Shows nothing.
QString UnreadableReason(const QString& fileName);

// True when the file can be changed where it stands: the file itself writable, and its folder
// too, where the database keeps the journal of every change.
bool CanWriteInPlace(const QString& fileName);
}
