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
    void ExpectColor(ColorDialogResult answer) { m_colorAnswers.push_back(answer); }
    void ExpectFont(FontDialogResult answer) { m_fontAnswers.push_back(std::move(answer)); }
    void ExpectPrint(PrintDialogResult answer) { m_printAnswers.push_back(answer); }
    // Answer every message box with its first button instead of failing.
    void AllowAnyBox(bool allow = true) { m_allowAny = allow; }

    const std::vector<MessageRequest>& Boxes() const { return m_boxes; }
    const std::vector<FileDialogRequest>& FileDialogs() const { return m_files; }
    const std::vector<ColorDialogRequest>& ColorDialogs() const { return m_colors; }
    const std::vector<FontDialogRequest>& FontDialogs() const { return m_fonts; }
    const std::vector<PrintDialogRequest>& PrintDialogs() const { return m_prints; }
    // Help requests are recorded and answered as shown; they never fail a test.
    const std::vector<HelpRequest>& HelpRequests() const { return m_helps; }
    const MessageRequest& LastBox() const;
    void Clear()
    {
        m_boxes.clear();
        m_files.clear();
        m_colors.clear();
        m_fonts.clear();
        m_prints.clear();
        m_helps.clear();
    }

    MsgResult messageBox(const MessageRequest& request) override;
    FileDialogResult fileDialog(const FileDialogRequest& request) override;
    ColorDialogResult colorDialog(const ColorDialogRequest& request) override;
    FontDialogResult fontDialog(const FontDialogRequest& request) override;
    PrintDialogResult printDialog(const PrintDialogRequest& request) override;
    bool showHelp(const HelpRequest& request) override;

private:
    IPrompter* m_previous = nullptr;
    bool m_allowAny = false;
    std::deque<MsgResult> m_boxAnswers;
    std::deque<FileDialogResult> m_fileAnswers;
    std::vector<MessageRequest> m_boxes;
    std::vector<FileDialogRequest> m_files;
    std::deque<ColorDialogResult> m_colorAnswers;
    std::deque<FontDialogResult> m_fontAnswers;
    std::deque<PrintDialogResult> m_printAnswers;
    std::vector<ColorDialogRequest> m_colors;
    std::vector<FontDialogRequest> m_fonts;
    std::vector<PrintDialogRequest> m_prints;
    std::vector<HelpRequest> m_helps;
};
