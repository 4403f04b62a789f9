#include "network/networkhost.h"

#include "core/serviceslot.h"
#include "network/workflowflags.h"
#include "network/projectstore.h"

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

void NetworkHost::WriteNavigation(kdb::Database& db)
{
    if (const std::optional<int32_t> step = Current().NavigationStep())
        ProjectStore(db).WriteNavigation(*step);
    if (const CProcess* flags = Current().WorkflowFlags())
        flags->Write(db);
}
