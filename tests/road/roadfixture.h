// The ground of the road tests: the real program started in-process (its wiring and the
// start-up sequence), the shipped sample copied into a private folder, and
// the helpers a walk needs: a tool clicked as a user clicks it (only when it is on), the
// status texts, the project file's settings, and waits on the event loop.
#pragma once

#include "app/wiring.h"
#include "shell/frmmain.h"
#include "tests/support/fakeprompter.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QString>
#include <functional>
#include <gtest/gtest.h>

class frmConfPrj;

class RoadTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Deletes what deleteLater left and lets queued calls run.
    static void Flush();
    // Turns the event loop until `done` holds or `ms` have passed; answers `done`.
    static bool WaitFor(const std::function<bool()>& done, int ms = 20000);

    // A click on the tool's first copy, as the user's click; the tool must be visible and on.
    // Then the event loop turns a little, unless `settle` is false (a click that starts a run
    // is looked at before the run's first step).
    void Click(const QString& tool, bool settle = true);
    bool On(const QString& tool) const;
    bool Shown(const QString& tool) const;
    // The status bar's main panel, trimmed, and a named panel as it is.
    static QString Status();
    static QString Panel(const QString& key);

    // The New command of the kind (mnuNewBP or mnuNewSFAM) answered with `name` in the folder;
    // the configuration window it opens.
    frmConfPrj* New(const QString& tool, const QString& name);
    // The data source chosen through the window's Browse button.
    void Browse(frmConfPrj* w, const QString& file);
    // Roles given with the window's own buttons.
    static void GiveRoles(frmConfPrj* w, const QStringList& inputs, const QString& prediction);

    // With KORVAN_SHOTS naming a folder, a picture of the main window (or of `w`) saved there
    // as road-<name>.png, for a person to look at; otherwise nothing.
    void Shot(const QString& name, QWidget* w = nullptr) const;

    // A setting of the project file's Config table ("" when missing).
    static QString Config(const QString& project, const QString& property);
    static int64_t Rows(const QString& project, const QString& table);
    // The rows of the project's Test table that carry a mark.
    static int64_t Marked(const QString& project);
    // The main window's child window of class T, if one is open.
    template <class T>
    T* Window() const
    {
        for (QMdiSubWindow* sub : main->MdiArea()->subWindowList())
            if (auto* w = qobject_cast<T*>(sub->widget()))
                return w;
        return nullptr;
    }
    // The project's remembered steps, read from the file as the next open reads them.
    struct Steps {
        bool configured, split, trained, tested;
    };
    static Steps StepsOf(const QString& project);

    // The program's services, with the scripted prompter standing over the program's.
    AppWiring wiring;
    FakePrompter prompts;
    QPointer<frmMain> main;
    QString folder;
    QString sample;
};
