// The one seam through which every modal prompt of the system is shown: message boxes and
// file dialogs. The program installs the real one; tests install a scripted one.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

class QObject;

// Button sets, icons and answers, with fixed numbers: an answer names one button whatever the
// set it came from.
enum class MsgButtons { Ok = 0, OkCancel = 1, AbortRetryIgnore = 2, YesNoCancel = 3, YesNo = 4, RetryCancel = 5 };
enum class MsgIcon { None = 0, Critical = 16, Question = 32, Exclamation = 48, Information = 64 };
enum class MsgResult { Ok = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7 };

struct MessageRequest {
    QString text;
    QString title;
    MsgButtons buttons = MsgButtons::Ok;
    MsgIcon icon = MsgIcon::None;
    int defaultButton = 1; // 1-based: the set's first button is 1
};

// A file dialog as the system asks for it. `filter` is the pairs of description and patterns
// "Description|*.a;*.b|Other|*.c" that every caller writes; `filterIndex` is 1-based.
struct FileDialogRequest {
    enum class Kind { Open, Save };
    Kind kind = Kind::Open;
    QString title;
    QString filter;
    int filterIndex = 1;
    QString initialDir;
    QString fileName;
    QString defaultExt;
    int32_t flags = 0; // bit value 4 hides the read-only box; 0x1000: the file must exist
    // The window the dialog belongs to; none: the window the user works in.
    QObject* owner = nullptr;
    // Told the 0-based entry of the file-type list each time the user picks one; answering
    // true closes the dialog as cancelled.
    std::function<bool(int typeListEntry)> filterHook;
};

struct FileDialogResult {
    bool cancelled = true;
    QString fileName;  // full path
    int filterIndex = 1;
    int32_t flags = 0; // read-only box ticked: bit value 1
};

// Colours are 0x00BBGGRR, as the rest of the system stores them.
struct ColorDialogRequest {
    int32_t color = 0;
    int32_t flags = 0;
    QObject* owner = nullptr;
};

struct ColorDialogResult {
    bool cancelled = true;
    int32_t color = 0;
};

struct FontDialogRequest {
    QString name;
    int32_t pointSize = 0; // 0: the dialog's own default
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikethru = false;
    int32_t color = 0;
    int32_t flags = 0;
    QObject* owner = nullptr;
};

struct FontDialogResult {
    bool cancelled = true;
    QString name;
    double pointSize = 0;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikethru = false;
    int32_t color = 0;
};

struct PrintDialogRequest {
    int32_t fromPage = 0;
    int32_t toPage = 0;
    int32_t minPage = 0;
    int32_t maxPage = 0;
    int32_t copies = 1;
    int32_t flags = 0;
    QObject* owner = nullptr;
};

struct PrintDialogResult {
    bool cancelled = true;
    int32_t fromPage = 0;
    int32_t toPage = 0;
    int32_t minPage = 0;
    int32_t maxPage = 0;
    int32_t copies = 1;
};

// The program's help window: `context` picks the page (1 the contents), command 2 closes it.
struct HelpRequest {
    QString helpFile;
    int32_t command = 0;
    int32_t context = 1;
    QObject* owner = nullptr;
};

class IPrompter {
public:
    virtual ~IPrompter() = default;
    virtual MsgResult messageBox(const MessageRequest& request) = 0;
    virtual FileDialogResult fileDialog(const FileDialogRequest& request) = 0;
    // The other common dialogs answer as cancelled unless a prompter shows them.
    virtual ColorDialogResult colorDialog(const ColorDialogRequest&) { return {}; }
    virtual FontDialogResult fontDialog(const FontDialogRequest&) { return {}; }
    virtual PrintDialogResult printDialog(const PrintDialogRequest&) { return {}; }
    // Shows (not modal) or closes the help window; answers whether it did.
    virtual bool showHelp(const HelpRequest&) { return false; }
};

namespace Prompts {
// The installed prompter. Before any is installed, every prompt answers as if cancelled
// (message boxes: Cancel, or OK where OK is the only button) so nothing blocks.
IPrompter& Current();
// Installs `prompter` (not owned) and returns the one it replaces; nullptr restores the default.
IPrompter* Install(IPrompter* prompter);

// The text as a box shows it: a run of characters without a blank longer than a box can wrap
// (a field name of a hundred thousand characters) keeps its start and end around an
// ellipsis, and so does a text too long or of too many lines for a screen. Every box's text
// and title go through it.
QString Shortened(const QString& text);

MsgResult MsgBox(const QString& text, MsgButtons buttons = MsgButtons::Ok,
                 MsgIcon icon = MsgIcon::None, const QString& title = {}, int defaultButton = 1);
}
