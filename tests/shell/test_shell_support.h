// Shared set-up of the shell tests: a main window bound to the services as start-up binds it,
// a scripted prompter, and a project opener that records what it is asked.
#pragma once

#include "shell/frmmain.h"
#include "shell/projectopener.h"
#include "tests/support/fakeprompter.h"

#include <QPointer>
#include <QStringList>
#include <gtest/gtest.h>

class RecordingOpener : public IProjectOpener {
public:
    RecordingOpener() : m_previous(ProjectOpener::Install(this)) {}
    ~RecordingOpener() override { ProjectOpener::Install(m_previous); }
    RecordingOpener(const RecordingOpener&) = delete;
    RecordingOpener& operator=(const RecordingOpener&) = delete;

    bool OpenProject(const QString& path) override
    {
        opened << path;
        if (succeed)
            current = path;
        return succeed;
    }
    void CloseProject() override
    {
        ++closed;
        current.clear();
    }
    QString ProjectFileName() const override { return current; }

    QStringList opened;
    int closed = 0;
    bool succeed = true;
    QString current;

private:
    IProjectOpener* m_previous;
};

// Deletes what deleteLater left.
void FlushDeletes();

class ShellTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    FakePrompter prompts;
    QPointer<frmMain> main;
};
