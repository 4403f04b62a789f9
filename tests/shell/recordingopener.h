// A project opener for tests: records what it is asked to open and answers as told; closing
// releases the open network object as the program's opener does.
#pragma once

#include "shell/networkopener.h"
#include "shell/projectopener.h"

#include <QStringList>

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
        SetCurrentNetwork(nullptr);
    }
    QString ProjectFileName() const override { return current; }

    QStringList opened;
    int closed = 0;
    bool succeed = true;
    QString current;

private:
    IProjectOpener* m_previous;
};
