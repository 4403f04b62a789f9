// A scripted prompter for tests: records every message box and file dialog, answers from a
// script, and fails the running test on a prompt nobody scripted.
#pragma once

#include "core/prompts.h"

#include <QString>
#include <deque>
#include <vector>

class FakePrompter final : public IPrompter {
public:
    FakePrompter();  // installs itself
    ~FakePrompter(); // restores the previous prompter

    // Queue the answer to the next message box / file dialog.
    void ExpectBox(MsgResult answer) { m_boxAnswers.push_back(answer); }
    void ExpectFile(FileDialogResult answer) { m_fileAnswers.push_back(std::move(answer)); }
    // Answer every message box with its first button instead of failing.
    void AllowAnyBox(bool allow = true) { m_allowAny = allow; }

    const std::vector<MessageRequest>& Boxes() const { return m_boxes; }
    const std::vector<FileDialogRequest>& FileDialogs() const { return m_files; }
    const MessageRequest& LastBox() const;
    void Clear() { m_boxes.clear(); m_files.clear(); }

    MsgResult messageBox(const MessageRequest& request) override;
    FileDialogResult fileDialog(const FileDialogRequest& request) override;

private:
    IPrompter* m_previous = nullptr;
    bool m_allowAny = false;
    std::deque<MsgResult> m_boxAnswers;
    std::deque<FileDialogResult> m_fileAnswers;
    std::vector<MessageRequest> m_boxes;
    std::vector<FileDialogRequest> m_files;
};
