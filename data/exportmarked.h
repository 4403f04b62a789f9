// Export of the test rows the user marked, each joined with its source row, to a
// comma-separated text file the user names.
#pragma once

#include <QString>

class CDataDef;

namespace Utilities {
// `projectFile` is the open project's database; `ddo` its network object's data definition
// (it names the key column). Reports through message boxes and the status bar. The chosen
// file is replaced only once the whole export is written.
void ExportMarked(const QString& projectFile, const CDataDef* ddo);
}

namespace DataExport {
// One value of an export line: written as it is unless it holds a comma, a double quote or a
// line break; then between double quotes with its quotes doubled.
QString CsvField(const QString& text);
}
