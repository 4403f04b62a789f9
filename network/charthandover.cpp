#include "network/charthandover.h"

namespace {
IChartHost& defaultHost()
{
    static IChartHost host;
    return host;
}
IChartHost* installed = nullptr;
} // namespace

IChartHost* ChartHost::Install(IChartHost* host)
{
    IChartHost* previous = installed;
    installed = host;
    return previous;
}

IChartHost& ChartHost::Current()
{
    return installed ? *installed : defaultHost();
}
