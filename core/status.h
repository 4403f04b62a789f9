// The status seam for code without widgets: workflow messages, progress and the project and
// node panels go to whatever sink the program installed (the main window's status bar), and
// to nowhere when none is installed, so data and network code can report without a screen.
#pragma once

#include <QString>

#include <cstdint>
#include <optional>

class IStatusSink {
public:
    virtual ~IStatusSink() = default;
    // The message panel shows a blank, the text and a blank; an empty text clears it.
    virtual void message(const QString& text) = 0;
    // 0 to 100 shows the progress bar after the message at that value; -1 hides it.
    virtual void progress(int percent) = 0;
    // The network kind ("SFAM", "Backprop"); an empty text hides the panel.
    virtual void setProjectPanel(const QString& text) = 0;
    // The node count as text (shown as " <text> Nodes "); an empty text hides the panel.
    virtual void setNodesPanel(const QString& text) = 0;
    // The text the message panel shows now, as it was given; none when the sink cannot tell.
    virtual std::optional<QString> currentMessage() const { return std::nullopt; }
};

namespace Status {
// Installs `sink` (not owned) and returns the one it replaces; nullptr removes it.
IStatusSink* Install(IStatusSink* sink);
IStatusSink* Current();

// Each forwards to the installed sink and does nothing without one.
void Message(const QString& text);
void Progress(int percent);
void SetProjectPanel(const QString& text);
void SetNodesPanel(const QString& text);

// A command's own result ("Import to ... successful."), shown as Message shows it. A failure
// told while it stands takes it away, and a later step's CStatusText in which a failure was
// told does not give it back, so that it never reads as the result of something that failed.
void Outcome(const QString& text);
// A failure or refusal is being told (every box that only tells does this): a command's
// result still on the panel goes.
void Failed();

// A message that lasts only as long as the step or the window that shows it. When its owner
// ends (or End is called), the panel is given back: Restore puts back the text it replaced
// (work that changes no view: what stood before is still true), Clear empties it (a dialog or
// a window that goes with the view it spoke of). Either only while the panel still shows this
// text: a text another step has put there since is left alone. Owners that show several texts
// one after another keep the text that stood before the first.
class CStatusText {
public:
    enum class OnEnd { Restore, Clear };
    explicit CStatusText(OnEnd onEnd) : m_onEnd(onEnd) {}
    CStatusText(const QString& text, OnEnd onEnd);
    ~CStatusText();
    CStatusText(const CStatusText&) = delete;
    CStatusText& operator=(const CStatusText&) = delete;

    void Show(const QString& text);
    void End();

private:
    bool StillShown() const;

    OnEnd m_onEnd;
    bool m_shown = false;
    QString m_text;
    QString m_replaced;
    bool m_replacedOutcome = false;
    uint64_t m_failuresBefore = 0;
};
}
