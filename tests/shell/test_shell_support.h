// Shared set-up of the shell tests: a main window bound to the services as start-up binds it,
// a scripted prompter, and a project opener that records what it is asked.
#pragma once

#include "core/serviceslot.h"
#include "core/status.h"
#include "core/widgets/statusbar.h"
#include "core/widgets/veltra.h"
#include "shell/frmmain.h"
#include "tests/shell/recordingopener.h"
#include "tests/support/fakeprompter.h"

#include <QPointer>
#include <QStringList>
#include <gtest/gtest.h>

// Deletes what deleteLater left.
void FlushDeletes();
// Makes a new network object of the kind (none for ntNone) the open one, without a project
// file: for what asks only the open project's kind.
void OpenKind(int32_t kind);

class ShellTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    FakePrompter prompts;
    // The status bar as the program installs it: what code without widgets reports reaches it.
    ScopedService<IStatusSink*> status{&Status::Install, &gVeltra().StatusBar()};
    QPointer<frmMain> main;
};
