#include "tests/support/fakeprompter.h"

#include <gtest/gtest.h>

FakePrompter::FakePrompter() : m_previous(Prompts::Install(this)) {}

FakePrompter::~FakePrompter()
{
    Prompts::Install(m_previous);
    EXPECT_TRUE(m_boxAnswers.empty()) << m_boxAnswers.size() << " scripted box answer(s) unused";
    EXPECT_TRUE(m_fileAnswers.empty()) << m_fileAnswers.size() << " scripted file answer(s) unused";
    EXPECT_TRUE(m_colorAnswers.empty()) << m_colorAnswers.size() << " scripted colour answer(s) unused";
    EXPECT_TRUE(m_fontAnswers.empty()) << m_fontAnswers.size() << " scripted font answer(s) unused";
    EXPECT_TRUE(m_printAnswers.empty()) << m_printAnswers.size() << " scripted print answer(s) unused";
}

const MessageRequest& FakePrompter::LastBox() const
{
    static const MessageRequest none;
    return m_boxes.empty() ? none : m_boxes.back();
}

MsgResult FakePrompter::messageBox(const MessageRequest& request)
{
    m_boxes.push_back(request);
    if (!m_boxAnswers.empty()) {
        const MsgResult answer = m_boxAnswers.front();
        m_boxAnswers.pop_front();
        return answer;
    }
    if (!m_allowAny) {
        ADD_FAILURE() << "unexpected message box \"" << request.text.toStdString() << "\" titled \""
                      << request.title.toStdString() << "\"";
    }
    switch (request.buttons) {
    case MsgButtons::Ok:
    case MsgButtons::OkCancel: return MsgResult::Ok;
    case MsgButtons::AbortRetryIgnore: return MsgResult::Abort;
    case MsgButtons::YesNoCancel:
    case MsgButtons::YesNo: return MsgResult::Yes;
    case MsgButtons::RetryCancel: return MsgResult::Retry;
    }
    return MsgResult::Ok;
}

FileDialogResult FakePrompter::fileDialog(const FileDialogRequest& request)
{
    m_files.push_back(request);
    if (m_fileAnswers.empty()) {
        ADD_FAILURE() << "unexpected file dialog \"" << request.title.toStdString() << "\"";
        return {};
    }
    FileDialogResult answer = m_fileAnswers.front();
    m_fileAnswers.pop_front();
    return answer;
}

namespace {
// The next scripted answer of one dialog kind; an unscripted dialog fails the test and answers
// as cancelled.
template <class Result>
Result nextAnswer(std::deque<Result>& answers, const char* kind)
{
    if (answers.empty()) {
        ADD_FAILURE() << "unexpected " << kind << " dialog";
        return {};
    }
    Result answer = answers.front();
    answers.pop_front();
    return answer;
}
} // namespace

ColorDialogResult FakePrompter::colorDialog(const ColorDialogRequest& request)
{
    m_colors.push_back(request);
    return nextAnswer(m_colorAnswers, "colour");
}

FontDialogResult FakePrompter::fontDialog(const FontDialogRequest& request)
{
    m_fonts.push_back(request);
    return nextAnswer(m_fontAnswers, "font");
}

PrintDialogResult FakePrompter::printDialog(const PrintDialogRequest& request)
{
    m_prints.push_back(request);
    return nextAnswer(m_printAnswers, "print");
}

bool FakePrompter::showHelp(const HelpRequest& request)
{
    m_helps.push_back(request);
    return true;
}
