// The prompter the program installs: real message boxes and non-native file dialogs, parented
// to a window the user can reach.
#pragma once

#include "core/prompts.h"

#include <functional>

class QObject;
class QWidget;

class QtPrompter final : public IPrompter {
public:
    MsgResult messageBox(const MessageRequest& request) override;
    FileDialogResult fileDialog(const FileDialogRequest& request) override;
    ColorDialogResult colorDialog(const ColorDialogRequest& request) override;
    FontDialogResult fontDialog(const FontDialogRequest& request) override;
    PrintDialogResult printDialog(const PrintDialogRequest& request) override;
    bool showHelp(const HelpRequest& request) override;

    // Called before every prompt (start-up hides the splash window here, so that no box
    // ever stands hidden behind it).
    void SetBeforePrompt(std::function<void()> hook) { m_beforePrompt = std::move(hook); }

    // The window a prompt is parented to: the active modal window, else the active window,
    // else the application's main window.
    static QWidget* PromptParent();
    // The window of `owner` when it is a widget, else PromptParent().
    static QWidget* ParentFor(QObject* owner);

private:
    std::function<void()> m_beforePrompt;
};

// Converts a request's filter text "Desc|*.a;*.b|Other|*.c" into Qt's name filters, one per
// pair; a pair without patterns keeps its description alone.
QStringList QtNameFilters(const QString& classicFilter);


// The file meant by a name typed into a file dialog that holds a double quote. The dialog reads
// such a text as a list of quoted names ("a.csv" "b.csv"), but a person types one path: the
// path as typed (from `folder` when relative) when it names an existing file or folder, or,
// when the file need not exist yet, when its folder exists and the text does not begin with a
// quote. Empty: the dialog's own reading stands.
QString TypedPathWithQuote(const QString& typed, const QString& folder, bool mustExist);
