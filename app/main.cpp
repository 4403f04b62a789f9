// Korvan Pro: a development environment for neural networks used for data mining and
// prediction.
#include "app/sessionend.h"
#include "app/submain.h"
#include "app/widgetmap.h"
#include "app/wiring.h"
#include "core/apppaths.h"
#include "core/singlecopy.h"
#include "core/widgets/programstyle.h"
#include "core/widgets/veltra.h"
#include "data/importwriter.h"
#include "kdb/kdb.h"
#include "kdb/odbcreadahead.h"
#include "network/enginefile.h"
#include "shell/frmmain.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QScreen>
#include <QTimer>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace {
// The engine's working files that copies which have ended left in the temporary folder (those
// of a copy still running stay), and the half-written data files that a killed import or
// project creation left in the program's folders and wherever else it wrote.
void RemoveLeftoverFiles()
{
    CEngineFile::RemoveLeftovers(AppPaths::TempFolder());
    const QString program = AppPaths::ProgramFolder();
    DataImport::RemoveLeftoverTemps(program);
    DataImport::RemoveLeftoverTemps(program + QStringLiteral("/data"));
    DataImport::RemoveRecordedLeftovers();
}

// For automated runs only: KORVAN_QUIT_AFTER_MS ends the program that long after the start,
// saving a picture of the screen first to KORVAN_SCREENSHOT when that is set.
void armAutomaticQuit()
{
    const QByteArray after = qgetenv("KORVAN_QUIT_AFTER_MS");
    bool ok = false;
    const int ms = after.toInt(&ok);
    if (!ok || ms < 0)
        return;
    QTimer::singleShot(ms, qApp, [] {
        const QString shot = qEnvironmentVariable("KORVAN_SCREENSHOT");
        if (!shot.isEmpty())
            if (QScreen* screen = QGuiApplication::primaryScreen())
                screen->grabWindow(0).save(shot);
        if (QWidget* form = gVeltra().MainForm())
            form->close();
        QCoreApplication::quit();
    });
}

// For automated runs only: while the file `hold` is there, the program stops at the moment it
// stands for: it makes the file's name with ".held" added and waits until the file is gone (at
// most two minutes), so that a road can act at that moment (stop a server, kill the program).
void holdWhile(const QString& hold)
{
    QFile held(hold + QStringLiteral(".held"));
    if (!held.open(QIODevice::WriteOnly))
        return;
    held.close();
    for (int i = 0; i < 1200 && QFile::exists(hold); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

// KORVAN_HOLD_READ_AHEAD names a file that holds the next server read: its read-ahead's first
// helper, just before it asks the server for the rows after the first ones. KORVAN_HOLD_COMMIT
// names a file that holds a commit of a database file's outermost transaction, its changed pages
// written and its journal whole (the file may hold the number of commits that go through first):
// a kill there leaves the journal to be played.
void armHolds()
{
    const QString readAhead = qEnvironmentVariable("KORVAN_HOLD_READ_AHEAD");
    if (!readAhead.isEmpty())
        kdb::detail::ReadAhead::Probe() = [readAhead](int helper, int64_t) {
            if (helper == 0 && QFile::exists(readAhead))
                holdWhile(readAhead);
        };
    const QString commit = qEnvironmentVariable("KORVAN_HOLD_COMMIT");
    if (!commit.isEmpty())
        kdb::Transaction::BeforeCommit() = [commit](const QString&) {
            QFile file(commit);
            if (!file.exists() || !file.open(QIODevice::ReadWrite))
                return;
            // The file may hold how many commits go through first.
            const int pass = file.readAll().trimmed().toInt();
            if (pass > 0) {
                file.resize(0);
                file.write(QByteArray::number(pass - 1));
                return;
            }
            file.close();
            holdWhile(commit);
        };
}
} // namespace

int main(int argc, char* argv[])
{
    // A second copy ends at once: no window, no message.
    SingleCopy lock;
    if (!lock.TryAcquire())
        return 0;

    QApplication app(argc, argv);
    ProgramStyle::Install();
    QCoreApplication::setOrganizationName(QStringLiteral("Veltra"));
    QCoreApplication::setApplicationName(QStringLiteral("Korvan"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KORVAN_VERSION));

    // No other copy runs: what a killed one left behind goes.
    if (lock.Held())
        RemoveLeftoverFiles();

    // Every service the libraries ask of the program, until the program ends.
    const AppWiring wiring;
    // A logout, a shutdown or SIGTERM closes the main window as the user's close does.
    const SessionEnd sessionEnd;
    armAutomaticQuit();
    armHolds();
    // For runs driven with real input: where each control stands on the screen.
    WidgetMap::Start(qEnvironmentVariable("KORVAN_WIDGET_MAP"));

    StartupOptions options;
    options.arguments = QCoreApplication::arguments().mid(1);
    options.currentFolder = QDir::currentPath();
    int rc = 0;
    if (SubMain::Main(options))
        rc = app.exec();
    return rc;
}
