// The one seam through which every modal prompt of the system is shown: message boxes and
// file dialogs. The program installs the real one; tests install a scripted one.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

// Button sets, icons and answers keep the numeric values of the classic message-box calls, so
// that code reading `vbYes`-style answers translates one to one.
enum class MsgButtons { Ok = 0, OkCancel = 1, AbortRetryIgnore = 2, YesNoCancel = 3, YesNo = 4, RetryCancel = 5 };
enum class MsgIcon { None = 0, Critical = 16, Question = 32, Exclamation = 48, Information = 64 };
enum class MsgResult { Ok = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7 };

struct MessageRequest {
    QString text;
    QString title;
    MsgButtons buttons = MsgButtons::Ok;
    MsgIcon icon = MsgIcon::None;
    int defaultButton = 1; // 1-based, as in the classic call
};

// A file dialog as the system asks for it. `filter` is the classic form
// "Description|*.a;*.b|Other|*.c"; `filterIndex` is 1-based.
struct FileDialogRequest {
    enum class Kind { Open, Save };
    Kind kind = Kind::Open;
    QString title;
    QString filter;
    int filterIndex = 1;
    QString initialDir;
    QString fileName;
    QString defaultExt;
    int32_t flags = 0;
};

struct FileDialogResult {
    bool cancelled = true;
    QString fileName;  // full path
    int filterIndex = 1;
    int32_t flags = 0; // read-only box ticked: bit value 1
};

class IPrompter {
public:
    virtual ~IPrompter() = default;
    virtual MsgResult messageBox(const MessageRequest& request) = 0;
    virtual FileDialogResult fileDialog(const FileDialogRequest& request) = 0;
};

namespace Prompts {
// The installed prompter. Before any is installed, every prompt answers as if cancelled
// (message boxes: Cancel, or OK where OK is the only button) so nothing blocks.
IPrompter& Current();
// Installs `prompter` (not owned) and returns the one it replaces; nullptr restores the default.
IPrompter* Install(IPrompter* prompter);

MsgResult MsgBox(const QString& text, MsgButtons buttons = MsgButtons::Ok,
                 MsgIcon icon = MsgIcon::None, const QString& title = {}, int defaultButton = 1);
}
