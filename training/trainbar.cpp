#include "training/trainbar.h"

#include "core/errorbox.h"
#include "core/widgets/commandbar.h"
#include "shell/navigate.h"

namespace TrainBarTools {

void Set(const QString& tool, bool enabled)
{
    IgnoreErrors([&] {
        if (enabled)
            gNavigate().Enable(tool);
        else
            gNavigate().Disable(tool);
    });
}

void SetVisible(const QString& tool, bool visible)
{
    IgnoreErrors([&] {
        if (CCommandBar* bar = MainToolBar())
            bar->SetVisible(tool, visible);
    });
}

bool Enabled(const QString& tool)
{
    bool on = false;
    IgnoreErrors([&] {
        if (CCommandBar* bar = MainToolBar())
            on = bar->Enabled(tool);
    });
    return on;
}

void Refresh()
{
    IgnoreErrors([&] {
        if (CCommandBar* bar = MainToolBar()) {
            bar->RecalcLayout();
            bar->Refresh();
        }
    });
}

} // namespace TrainBarTools
