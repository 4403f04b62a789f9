// Whether a name is an ODBC connect string: the one test for it, kept below the database
// layer so that the file utilities tell file names from connect strings as the database does.
#pragma once

#include <QString>

namespace kdb {
// True when the text is an ODBC connect string: it begins with "ODBC;" (exact case, blanks
// before it aside). A file name that merely holds "ODBC;" (a folder "x ODBC;y", a file
// "a ODBC;b.csv") is a file name.
bool IsOdbcConnect(const QString& nameOrConnect);
}
