// The address-resolution check against real neighbours in private
// namespaces: who answers now, who left, who is not on the link, who
// answers in another's name, and the same through arping for a process
// without the raw-socket right.

#include "platform/ArpCheck.h"
#include "platform/NeighbourTable.h"
#include "support/NetNamespace.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstring>
#include <grp.h>
#include <net/if.h>
#include <netpacket/packet.h>
#include <sys/socket.h>
#include <thread>
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

void dropToNobody()
{
    ASSERT_EQ(::setgroups(0, nullptr), 0);
    ASSERT_EQ(::setresgid(65534, 65534, 65534), 0);
    ASSERT_EQ(::setresuid(65534, 65534, 65534), 0);
}

using Hardware = ArpCheck::Hardware;
const Hardware kHere{0x02, 0, 0, 0, 0x09, 0x01}, kPeer{0x02, 0, 0, 0, 0x09, 0x02};
const Hardware kAway{0x02, 0, 0, 0, 0x09, 0x63}, kForger{0x02, 0, 0, 0, 0x09, 0x66};
const Hardware kEveryone{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

// A computer on the peer's side of the link that sends ARP replies of its
// own making, unasked, every 2 ms (for at most 4 s) until it is dropped.
class Forger {
public:
    Forger(const NetNamespace &peer, const Hardware &sender, quint32 senderAddress, const Hardware &target,
           quint32 targetAddress)
    {
        const auto bytes = [](const auto &v) { return QByteArray(reinterpret_cast<const char *>(&v), sizeof v); };
        // Ethernet header, then the ARP reply (Ethernet and IPv4, 6 and 4
        // bytes, opcode 2).
        const QByteArray frame = bytes(target) + bytes(sender) + QByteArray::fromHex("08060001080006040002") +
                                 bytes(sender) + bytes(htonl(senderAddress)) + bytes(target) +
                                 bytes(htonl(targetAddress));
        sockaddr_ll to{AF_PACKET, 0, int(peer.inside([] { return ::if_nametoindex("vpeer"); })), 0, 0, 6, {}};
        std::memcpy(to.sll_addr, target.data(), 6);
        fd_ = peer.inside([] { return ::socket(AF_PACKET, SOCK_RAW | SOCK_CLOEXEC, 0); });
        thread_ = std::thread([this, to, frame] {
            for (int i = 0; i < 2000 && !stop_; ++i) {
                ::sendto(fd_, frame.constData(), size_t(frame.size()), 0, reinterpret_cast<const sockaddr *>(&to),
                         sizeof to);
                std::this_thread::sleep_for(2ms);
            }
        });
    }
    ~Forger()
    {
        stop_ = true;
        thread_.join();
        ::close(fd_);
    }
    bool ok() const { return fd_ >= 0; }

private:
    int fd_ = -1;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

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
        dropToNobody();

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

// The list holds a terminal's MAC. Its address is taken by another computer
// while it is away, and a forger on the link floods replies for an address
// nobody holds, and announcements in the away terminal's name: only the
// listed hardware address answers for a terminal, whether this process asks
// itself or through arping. An entry without a MAC takes any reply, as
// before.
TEST(ArpCheck, AReplyCountsOnlyFromTheListedHardwareAddress)
{
    for (const Means means : {Means::PacketSocket, Means::Arping}) {
        NetNamespace::run(quietPeer(), [means] {
            const NetNamespace here = NetNamespace::current();
            const NetNamespace peer = NetNamespace::create();
            ASSERT_TRUE(linkPeer(here, peer));
            ASSERT_TRUE(here.ip({"link", "set", "vhere", "address", "02:00:00:00:09:01"}));
            ASSERT_TRUE(peer.ip({"link", "set", "vpeer", "address", "02:00:00:00:09:02"}));
            const Forger blind(peer, kForger, v4("10.9.0.50"), kHere, v4("10.9.0.1"));
            const Forger announcing(peer, kAway, v4("10.9.0.60"), kEveryone, v4("10.9.0.60"));
            ASSERT_TRUE(blind.ok() && announcing.ok());
            if (means == Means::Arping)
                dropToNobody();

            const auto a = ArpCheck::Ask({v4("10.9.0.2"), v4("10.9.0.2"), v4("10.9.0.50"), v4("10.9.0.50"),
                                          v4("10.9.0.60")},
                                         500ms, means, {}, {kPeer, kAway, kAway, std::nullopt, kAway});
            ASSERT_EQ(a.size(), 5u);
            EXPECT_TRUE(a[0].answered) << "its owner holds it: " << int(means);
            EXPECT_FALSE(a[1].answered) << "another computer holds the away terminal's address: " << int(means);
            EXPECT_TRUE(a[1].otherSender) << int(means);
            EXPECT_FALSE(a[2].answered) << "forged in the name of a listed terminal: " << int(means);
            EXPECT_TRUE(a[3].answered) << "without a MAC any reply counts: " << int(means);
            EXPECT_FALSE(a[4].answered || a[4].otherSender) << "an announcement answers nobody: " << int(means);
        });
    }
}
