// Import of pattern files (.raw) and comma-delimited text files into a new data file with one
// table, and the line splitting both share. The old data file is replaced only once the new
// one is complete.
#pragma once

#include <QString>
#include <QStringList>

namespace Utilities {
// Splits `text` at every `delimiter` (plain search; quotes are ordinary characters, blanks
// stay) into `items` and returns the upper bound of `items` (item count - 1). An empty text or
// one of blanks only gives one empty item.
int Split(const QString& delimiter, const QString& text, QStringList& items);

// Imports a pattern file: [TAGS] names the fields, [PATTERNS] holds the rows; the table, named
// after the file, goes into <folder>/<name>.mdb with the auto-numbered key "Count".
void LoadRawFile(const QString& fileName);

// Imports a comma-delimited text file whose first line names the fields; the table, named
// after the file, goes into <folder>/<name>.mdb with the auto-numbered key "IndexCounter1".
void LoadTextFile(const QString& fileName);
}
