// The program's project opener and the network objects' host, installed into their slots for
// the object's lifetime as the program's wiring installs them.
#pragma once

#include "core/serviceslot.h"
#include "network/networkhost.h"
#include "shell/networkopener.h"
#include "shell/projectopener.h"

class InstalledOpener {
public:
    NetworkProjectOpener* operator->() { return &m_opener; }

private:
    NetworkProjectOpener m_opener;
    ScopedService<IProjectOpener*> m_projects{&ProjectOpener::Install, &m_opener};
    ScopedService<INetworkHost*> m_host{&NetworkHost::Install, &m_opener.HostService()};
};
