// Picks the "ODBC" entry of the data-source dialog as the user picks it, and counts the file
// dialogs; message boxes go on to the scripted prompter. Stands over the installed prompter
// while it lives.
#pragma once

#include "core/prompts.h"

class OdbcEntryPrompter final : public IPrompter {
public:
    explicit OdbcEntryPrompter(IPrompter& boxes) : m_boxes(boxes), m_previous(Prompts::Install(this)) {}
    ~OdbcEntryPrompter() override { Prompts::Install(m_previous); }
    OdbcEntryPrompter(const OdbcEntryPrompter&) = delete;
    OdbcEntryPrompter& operator=(const OdbcEntryPrompter&) = delete;
    MsgResult messageBox(const MessageRequest& r) override { return m_boxes.messageBox(r); }
    FileDialogResult fileDialog(const FileDialogRequest& r) override
    {
        ++dialogs;
        if (r.filterHook)
            r.filterHook(3);
        return {};
    }
    int dialogs = 0;

private:
    IPrompter& m_boxes;
    IPrompter* m_previous;
};
