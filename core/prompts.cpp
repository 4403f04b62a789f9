#include "core/prompts.h"

#include "core/serviceslot.h"

namespace {

class SilentPrompter final : public IPrompter {
public:
    MsgResult messageBox(const MessageRequest& request) override
    {
        return request.buttons == MsgButtons::Ok ? MsgResult::Ok : MsgResult::Cancel;
    }
    FileDialogResult fileDialog(const FileDialogRequest&) override { return {}; }
};

ServiceSlot<IPrompter> g_slot;

} // namespace

IPrompter& Prompts::Current()
{
    static SilentPrompter silent;
    return g_slot.GetOr(silent);
}

IPrompter* Prompts::Install(IPrompter* prompter)
{
    return g_slot.Install(prompter);
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
