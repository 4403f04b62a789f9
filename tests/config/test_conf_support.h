// Shared set-up of the configuration window tests: the main window bound as start-up binds it,
// a scripted prompter, a temporary SQLite data source with awkward names, projects made
// directly with the network objects, and recording fakes for the views that follow OK/Cancel.
#pragma once

#include "core/serviceslot.h"
#include "core/status.h"
#include "core/widgets/statusbar.h"
#include "core/widgets/veltra.h"
#include "shell/frmmain.h"
#include "tests/shell/installedopener.h"
#include "tests/support/fakeprompter.h"

#include <QPointer>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

class frmConfPrj;

namespace ConfTest {
// Deletes what deleteLater left.
void Flush();
// A data file with the tables "Order" (key ID; "Input A" Double, "Input B" Long, "When" Date,
// "Name" Text, "Big" BigInt, "Target" Double, "Class" Text with 3 classes written in mixed
// case), "a]b" and "O'Brien" (same columns), "NoKey" (no primary key) and "Many" (key K; C1,
// C2, C256, C257 with that many distinct values), "Ranges" (twelve rows: R150, R5 and R005 span
// those ranges; B Byte, C Currency, D Date, T Text, Flag Boolean, X Double). `rows` rows in
// "Order".
QString MakeSource(const QString& folder, int rows = 40);
// The file's bytes, to compare before and after.
QByteArray Bytes(const QString& path);
// A folder's file names.
QStringList Listing(const QString& folder);
}

class ConfigTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A new project of the kind (ntBackProp or ntSFam) in the test folder, open as the
    // current project with clear flags.
    QString NewProject(int32_t kind, const QString& name = QStringLiteral("p.kvp"));
    // Releases the network object (the project closes).
    void CloseProject();
    // Opens an existing project as the current one, its flags read from the file.
    void OpenProject(int32_t kind, const QString& path);
    // A network object of the kind over the project file (made when missing), current.
    void MakeNetwork(int32_t kind, const QString& path);
    // Opens the configuration window and chooses `file` in the data-source dialog.
    frmConfPrj* OpenWindow(bool createdByNew);
    void Browse(frmConfPrj* w, const QString& file);

    FakePrompter prompts;
    // The status bar as the program installs it: what code without widgets reports reaches it.
    ScopedService<IStatusSink*> status{&Status::Install, &gVeltra().StatusBar()};
    InstalledOpener opener; // FileClose releases the network object as in the program
    QPointer<frmMain> main;
    QString folder;
    QString source;
    QStringList calls; // the views called after OK and Cancel, by name
};
