// The status seam for code without widgets: workflow messages, progress and the project and
// node panels go to whatever sink the program installed (the main window's status bar), and
// to nowhere when none is installed, so data and network code can report without a screen.
#pragma once

#include <QString>

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
}
