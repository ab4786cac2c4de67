// Hardware addresses and the wake packet across a veth pair between two
// private namespaces.

#include "ProbeTest.h"
#include "probe/Probe.h"
#include "support/NetNamespace.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// here 10.9.0.1 -- 10.9.0.2 peer (02:ab:cd:ef:01:23); 10.8.0.0/24 lies
// behind the peer.
bool joinPeer(NetNamespace &peer)
{
    const NetNamespace here = NetNamespace::current();
    peer = NetNamespace::create();
    return NetNamespace::link(here, "vhere", "10.9.0.1/24", peer, "vpeer", "10.9.0.2/24")
        && peer.ip({"link", "set", "vpeer", "address", "02:ab:cd:ef:01:23"})
        && here.ip({"route", "add", "10.8.0.0/24", "via", "10.9.0.2"});
}

} // namespace

TEST(Link, HardwareAddressOfAnOnLinkNeighbourOnly)
{
    NetNamespace::run({}, [] {
        NetNamespace peer = NetNamespace::current();
        ASSERT_TRUE(joinPeer(peer));
        Probe icmp;
        icmp.SetIPAddr(QStringLiteral("10.9.0.2"));
        // Without the services there is nothing to ask.
        EXPECT_EQ(icmp.GetMACAddr(), QString());
        ASSERT_TRUE(icmp.Active(true)) << icmp.StatusText().toStdString();
        // The table is empty at first: the lookup makes the kernel resolve.
        EXPECT_EQ(icmp.GetMACAddr(), QStringLiteral("02:AB:CD:EF:01:23"));
        EXPECT_EQ(icmp.GetMACAddr(), QStringLiteral("02:AB:CD:EF:01:23"));

        for (const char *none : {"10.8.0.5", "10.9.0.1", "127.0.0.1", "10.9.0.255", "10.9.0.77"}) {
            icmp.SetIPAddr(QString::fromLatin1(none));
            EXPECT_EQ(icmp.GetMACAddr(), QString()) << none;
        }
        EXPECT_TRUE(icmp.StatusText().isEmpty());
    });
}

TEST(Link, MagicPacketReachesAListenerOnTheLink)
{
    NetNamespace::run({}, [] {
        NetNamespace peer = NetNamespace::current();
        ASSERT_TRUE(joinPeer(peer));
        // The limited broadcast leaves by the default route.
        ASSERT_TRUE(NetNamespace::current().ip({"route", "add", "default", "dev", "vhere"}));
        const int listener = peer.inside([] {
            const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
            sockaddr_in sa{};
            sa.sin_family = AF_INET;
            sa.sin_port = htons(9001);
            return fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr *>(&sa), sizeof sa) == 0 ? fd : -1;
        });
        ASSERT_GE(listener, 0);

        const auto mac = Probe::StringToMAC(QStringLiteral("01:02:03:04:05:06"));
        ASSERT_TRUE(mac);
        Probe::WakeOnLan(*mac);

        pollfd pfd{listener, POLLIN, 0};
        ASSERT_EQ(::poll(&pfd, 1, 2000), 1);
        QByteArray got(200, '\0');
        sockaddr_in from{};
        socklen_t fromLen = sizeof from;
        const ssize_t n = ::recvfrom(listener, got.data(), size_t(got.size()), 0, reinterpret_cast<sockaddr *>(&from),
                                     &fromLen);
        ASSERT_EQ(n, 102);
        got.truncate(n);
        QByteArray expected(6, char(0xFF));
        for (int k = 0; k < 16; ++k)
            expected += QByteArray("\x01\x02\x03\x04\x05\x06", 6);
        EXPECT_EQ(got, expected);
        EXPECT_EQ(from.sin_addr.s_addr, ::inet_addr("10.9.0.1"));
        ::close(listener);
    });
}
