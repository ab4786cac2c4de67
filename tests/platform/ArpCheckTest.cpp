// The address-resolution check against real neighbours in private
// namespaces: who answers now, who left, who is not on the link, and the
// same through arping for a process without the raw-socket right.

#include "platform/ArpCheck.h"
#include "platform/NeighbourTable.h"
#include "support/NetNamespace.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <grp.h>
#include <unistd.h>

using namespace std::chrono_literals;
using Means = ArpCheck::Means;
using Clock = std::chrono::steady_clock;

namespace {

quint32 v4(const char *text)
{
    return ntohl(::inet_addr(text));
}

// here 10.9.0.1/24 on vhere -- peer 10.9.0.2/24 on vpeer, which ignores echo
// requests. The peer also holds 10.10.0.2 (on its loopback), which here
// reaches through it: its kernel would answer an ARP request for that
// address too.
NetNamespace::Options quietPeer()
{
    NetNamespace::Options o;
    o.ignoreEcho = true;
    return o;
}

bool linkPeer(const NetNamespace &here, const NetNamespace &peer)
{
    return NetNamespace::link(here, "vhere", "10.9.0.1/24", peer, "vpeer", "10.9.0.2/24") &&
           peer.ip({"addr", "add", "10.10.0.2/32", "dev", "lo"}) &&
           here.ip({"route", "add", "10.10.0.0/24", "via", "10.9.0.2"});
}

} // namespace

TEST(ArpCheck, OnlyAnOnLinkAddressThatAnswersNowCounts)
{
    NetNamespace::run(quietPeer(), [] {
        const NetNamespace here = NetNamespace::current();
        const NetNamespace peer = NetNamespace::create();
        ASSERT_TRUE(linkPeer(here, peer));
        ASSERT_EQ(ArpCheck::Available(), Means::PacketSocket);

        const auto a = ArpCheck::Ask({v4("10.9.0.2"), v4("10.9.0.77"), v4("10.10.0.2"), v4("10.9.0.255"),
                                      v4("10.9.0.1"), v4("10.9.0.2")},
                                     1000ms, Means::PacketSocket);
        ASSERT_EQ(a.size(), 6u);
        EXPECT_TRUE(a[0].onLink && a[0].answered) << "the peer that ignores echo requests";
        EXPECT_TRUE(a[1].onLink) << "nobody holds it";
        EXPECT_FALSE(a[1].answered) << "nobody holds it";
        EXPECT_FALSE(a[2].onLink || a[2].answered) << "behind a gateway, though the gateway would answer for it";
        EXPECT_FALSE(a[3].onLink || a[3].answered) << "the subnet's broadcast address";
        EXPECT_TRUE(a[4].onLink && a[4].answered) << "this computer's own address";
        EXPECT_TRUE(a[5].onLink && a[5].answered) << "the peer listed twice";
    });
}

TEST(ArpCheck, APeerThatLeftIsNotAnsweredWhileItsNeighbourEntryLives)
{
    NetNamespace::run(quietPeer(), [] {
        const NetNamespace here = NetNamespace::current();
        const NetNamespace peer = NetNamespace::create();
        ASSERT_TRUE(linkPeer(here, peer));
        const quint32 address = v4("10.9.0.2");
        ASSERT_TRUE(ArpCheck::Ask({address}, 1000ms, Means::PacketSocket)[0].answered);
        ASSERT_TRUE(NeighbourTable::hardwareAddress(htonl(address), 2000ms)) << "the kernel resolved it";

        ASSERT_TRUE(peer.ip({"addr", "del", "10.9.0.2/24", "dev", "vpeer"}));
        ASSERT_TRUE(NeighbourTable::hardwareAddress(htonl(address), 0ms)) << "the entry outlives the peer";
        const auto a = ArpCheck::Ask({address}, 500ms, Means::PacketSocket);
        EXPECT_TRUE(a[0].onLink);
        EXPECT_FALSE(a[0].answered);
    });
}

TEST(ArpCheck, AnOrdinaryUserAsksThroughArping)
{
    NetNamespace::run(quietPeer(), [] {
        const NetNamespace here = NetNamespace::current();
        const NetNamespace peer = NetNamespace::create();
        ASSERT_TRUE(linkPeer(here, peer));
        ASSERT_EQ(::setgroups(0, nullptr), 0);
        ASSERT_EQ(::setresgid(65534, 65534, 65534), 0);
        ASSERT_EQ(::setresuid(65534, 65534, 65534), 0);

        ASSERT_EQ(ArpCheck::Available(), Means::Arping) << "is arping installed with its capability?";
        const auto a = ArpCheck::Ask({v4("10.9.0.2"), v4("10.9.0.77")}, 1000ms, Means::Arping);
        EXPECT_TRUE(a[0].onLink && a[0].answered);
        EXPECT_TRUE(a[1].onLink);
        EXPECT_FALSE(a[1].answered);
    });
}

TEST(ArpCheck, StoppingEndsTheWait)
{
    NetNamespace::run(quietPeer(), [] {
        const NetNamespace here = NetNamespace::current();
        const NetNamespace peer = NetNamespace::create();
        ASSERT_TRUE(linkPeer(here, peer));
        for (const Means means : {Means::PacketSocket, Means::Arping}) {
            const auto start = Clock::now();
            const auto stopping = [&] { return Clock::now() - start > 200ms; };
            const auto a = ArpCheck::Ask({v4("10.9.0.77")}, 30s, means, stopping);
            EXPECT_FALSE(a[0].answered);
            // A bound against a hang, far above the stop's latency.
            EXPECT_LT(Clock::now() - start, 5s) << int(means);
        }
    });
}
