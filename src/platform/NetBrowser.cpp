#include "platform/NetBrowser.h"

#include "platform/DiscoveringNetBrowser.h"
#include "platform/FixtureNetBrowser.h"
#include "platform/SmbNetBrowser.h"
#include "platform/WsDiscovery.h"

std::unique_ptr<NetBrowser> CreateNetBrowser()
{
    const QString fixture = qEnvironmentVariable(NetFixtureVariable);
    if (!fixture.isEmpty())
        return std::make_unique<FixtureNetBrowser>(fixture);
    return std::make_unique<DiscoveringNetBrowser>(std::make_unique<SmbNetBrowser>(), std::make_unique<WsDiscovery>());
}
