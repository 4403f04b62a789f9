#include "core/prompts.h"

namespace {

class SilentPrompter final : public IPrompter {
public:
    MsgResult messageBox(const MessageRequest& request) override
    {
        return request.buttons == MsgButtons::Ok ? MsgResult::Ok : MsgResult::Cancel;
    }
    FileDialogResult fileDialog(const FileDialogRequest&) override { return {}; }
};

SilentPrompter g_silent;
IPrompter* g_current = nullptr;

} // namespace

IPrompter& Prompts::Current()
{
    return g_current ? *g_current : g_silent;
}

IPrompter* Prompts::Install(IPrompter* prompter)
{
    IPrompter* previous = g_current;
    g_current = prompter;
    return previous;
}

MsgResult Prompts::MsgBox(const QString& text, MsgButtons buttons, MsgIcon icon,
                          const QString& title, int defaultButton)
{
    MessageRequest request;
    request.text = text;
    request.title = title;
    request.buttons = buttons;
    request.icon = icon;
    request.defaultButton = defaultButton;
    return Current().messageBox(request);
}
