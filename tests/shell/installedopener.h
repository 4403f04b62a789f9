// The program's project opener and a network host as the program's, installed into their slots
// for the object's lifetime as the program's wiring installs them. The host lets the browse
// windows go through the window calls, which stand in for the browse library here.
#pragma once

#include "core/serviceslot.h"
#include "network/networkhost.h"
#include "shell/modmenu.h"
#include "shell/networkopener.h"
#include "shell/projectopener.h"
#include "shell/windowcalls.h"

class ShellNetworkHost final : public INetworkHost {
public:
    void CloseProject() override { modMenu::FileClose(); }
    void CloseBrowsers() override { modMenu::CloseBrowsers(); }
    void HideSplash() override { modMenu::HideSplash(); }
};

class InstalledOpener {
public:
    NetworkProjectOpener* operator->() { return &m_opener; }

private:
    NetworkProjectOpener m_opener;
    ShellNetworkHost m_hostService;
    ScopedService<IProjectOpener*> m_projects{&ProjectOpener::Install, &m_opener};
    ScopedService<INetworkHost*> m_host{&NetworkHost::Install, &m_hostService};
};
