#include "shell/windowcalls.h"

#include "core/errorbox.h"
#include "core/serviceslot.h"
#include "core/status.h"
#include "core/widgets/hourglass.h"
#include "core/widgets/toolstate.h"
#include "core/widgets/updatelock.h"
#include "core/widgets/veltra.h"
#include "shell/commandtable.h"
#include "shell/modmenu.h"

namespace {

ServiceSlot<IWindowCalls>& slot()
{
    static ServiceSlot<IWindowCalls> installed;
    return installed;
}

} // namespace

bool IWindowCalls::ShowConfigure(bool)
{
    return false;
}

bool IWindowCalls::StopActiveRun(std::function<void()>)
{
    return false;
}

void IWindowCalls::BrowseTestWorstFirst()
{
    Status::Message(modMenu::NotAvailableText());
}

void IWindowCalls::BrowseOutlyers(const QString&, const QString&)
{
    Status::Message(modMenu::NotAvailableText());
}

void IWindowCalls::BrowseBand(bool)
{
    Status::Message(modMenu::NotAvailableText());
}

IWindowCalls* WindowCalls::Install(IWindowCalls* calls)
{
    return slot().Install(calls);
}

IWindowCalls& WindowCalls::Current()
{
    static IWindowCalls defaults;
    return slot().GetOr(defaults);
}

void modMenu::EditConfigure(bool createdByNew)
{
    Procedure(QStringLiteral("modMenu::EditConfigure"), [&] {
        CHourglass hourglass(true);
        CUpdateLock lock(gVeltra().MainForm());
        RemoveChildForms();
        if (!WindowCalls::Current().ShowConfigure(createdByNew)) {
            // Nothing would give the tools back, so they stay as they are.
            Status::Message(NotAvailableText());
            return;
        }
        Utilities::TmpDisableTools();
    });
}

void modMenu::CloseBrowsers()
{
    WindowCalls::Current().CloseBrowsers();
}
