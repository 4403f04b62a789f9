// Shared test environment: private settings, program and temporary folders per test process,
// and readable printing of Qt strings in assertion messages.
#pragma once

#include <QString>
#include <QTemporaryDir>
#include <ostream>

void PrintTo(const QString& s, std::ostream* os);

namespace TestEnv {
// A fresh private folder for this process, removed at exit.
QString PrivateRoot();
// A new empty folder below the private root.
QString NewFolder(const QString& name);
// Sets QT_QPA_PLATFORM, XDG_RUNTIME_DIR and points settings and the program folder at
// private places. Called by the test mains before the application object exists.
void Prepare();
// Removes every setting of the private store.
void ClearSettings();
}
