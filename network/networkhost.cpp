#include "network/networkhost.h"

#include "core/serviceslot.h"

namespace {
ServiceSlot<INetworkHost> g_slot;
} // namespace

INetworkHost* NetworkHost::Install(INetworkHost* host)
{
    return g_slot.Install(host);
}

INetworkHost& NetworkHost::Current()
{
    // Without an installed host every request does nothing.
    static INetworkHost fallback;
    return g_slot.GetOr(fallback);
}
