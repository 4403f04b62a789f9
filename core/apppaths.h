// Where the program keeps its files: the read-only data installed beside it (samples, help)
// and "the program's folder" of the user, where everything the system writes goes.
#pragma once

#include <QString>

namespace AppPaths {
// The program's folder as the rest of the system means it: the user's data folder
// (~/.local/share/Veltra/Korvan), created on first use and seeded with the shipped samples.
// Ends without a separator.
QString ProgramFolder();
// Read-only data installed with the program: <prefix>/share/korvan beside <prefix>/bin, or the
// folder named by KORVAN_DATA_DIR.
QString InstallDataFolder();
// The user's temporary folder (engine working files).
QString TempFolder();

// Tests point both folders at private places.
void SetProgramFolder(const QString& folder);
void SetInstallDataFolder(const QString& folder);
}
