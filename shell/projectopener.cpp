#include "shell/projectopener.h"

#include "core/serviceslot.h"

namespace {
ServiceSlot<IProjectOpener> g_slot;
}

IProjectOpener* ProjectOpener::Install(IProjectOpener* opener)
{
    return g_slot.Install(opener);
}

IProjectOpener* ProjectOpener::Current()
{
    return g_slot.Get();
}
