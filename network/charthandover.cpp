#include "network/charthandover.h"

#include "core/serviceslot.h"

namespace {
ServiceSlot<IChartHost> g_slot;
} // namespace

IChartHost* ChartHost::Install(IChartHost* host)
{
    return g_slot.Install(host);
}

IChartHost& ChartHost::Current()
{
    // Without an installed host every request does nothing.
    static IChartHost fallback;
    return g_slot.GetOr(fallback);
}
