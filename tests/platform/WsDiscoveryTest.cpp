// WS-Discovery against a real announcing host (wsdd) in a peer namespace.

#include "platform/WsDiscovery.h"

#include "support/PeerHost.h"

#include <gtest/gtest.h>

namespace {

bool has(const QList<WsdComputer> &list, const QString &name, const QString &group)
{
    return std::any_of(list.cbegin(), list.cend(),
                       [&](const WsdComputer &c) { return c.name == name && c.group == group && !c.domain; });
}

} // namespace

TEST(WsDiscovery, FindsAnAnnouncedComputerWithItsWorkgroupAndForgetsItAfterItsBye)
{
    NetNamespace::run({}, [] {
        PeerHost peer;
        if (!StartWsdd(peer, QStringLiteral("pc-wsd"), QStringLiteral("sales")))
            GTEST_SKIP() << peer.why;
        WsDiscovery::Options options;
        options.refreshMs = 60000;  // only Hello and Bye change the table after the first look
        WsDiscovery discovery(options);

        QList<WsdComputer> found;
        ASSERT_TRUE(discovery.Computers(found));
        EXPECT_TRUE(has(found, QStringLiteral("PC-WSD"), QStringLiteral("SALES")));

        peer.stop();
        ASSERT_TRUE(discovery.Computers(found));
        EXPECT_FALSE(has(found, QStringLiteral("PC-WSD"), QStringLiteral("SALES")));
    });
}

TEST(WsDiscovery, WithoutAnyInterfaceToDiscoverOnItFails)
{
    NetNamespace::run({}, [] {
        QList<WsdComputer> found;
        EXPECT_FALSE(WsDiscovery().Computers(found));
        EXPECT_TRUE(found.isEmpty());
    });
}
