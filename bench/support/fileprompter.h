// The prompter of the benchmarks: every file dialog answered with one file, and any message box
// printed (none is expected) and answered Ok.
#pragma once

#include "core/prompts.h"

#include <cstdio>
#include <utility>

class FilePrompter final : public IPrompter {
public:
    explicit FilePrompter(QString file) : m_file(std::move(file)) {}
    MsgResult messageBox(const MessageRequest& r) override
    {
        std::printf("unexpected box: %s\n", qPrintable(r.text));
        return MsgResult::Ok;
    }
    FileDialogResult fileDialog(const FileDialogRequest&) override
    {
        FileDialogResult r;
        r.cancelled = false;
        r.fileName = m_file;
        return r;
    }

private:
    QString m_file;
};
