#include "network/networkhost.h"

namespace {
INetworkHost& defaultHost()
{
    static INetworkHost host;
    return host;
}
INetworkHost* installed = nullptr;
} // namespace

INetworkHost* NetworkHost::Install(INetworkHost* host)
{
    INetworkHost* previous = installed;
    installed = host;
    return previous;
}

INetworkHost& NetworkHost::Current()
{
    return installed ? *installed : defaultHost();
}
