// Shared set-up of the shell tests: a main window bound to the services as start-up binds it,
// a scripted prompter, and a project opener that records what it is asked.
#pragma once

#include "shell/frmmain.h"
#include "tests/shell/recordingopener.h"
#include "tests/support/fakeprompter.h"

#include <QPointer>
#include <QStringList>
#include <gtest/gtest.h>

// Deletes what deleteLater left.
void FlushDeletes();

class ShellTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    FakePrompter prompts;
    QPointer<frmMain> main;
};
