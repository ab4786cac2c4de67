// TCP connection attempts against real hosts in private namespaces: a
// terminal behind a router shows itself by a reset or an accepted
// connection, a router's rejection in its name does not, and a long list
// gets through on few descriptors.

#include "platform/RunTool.h"
#include "platform/TcpKnock.h"
#include "support/NetNamespace.h"

#include <gtest/gtest.h>

#include <QStandardPaths>

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <dirent.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

constexpr quint16 kOpen = 8080;
constexpr quint16 kClosed = 8081;

quint32 v4(const char *text)
{
    return ntohl(::inet_addr(text));
}

// here 10.7.0.2/24 -- 10.7.0.1/24 router 10.8.0.1/24 -- far 10.8.0.2/24,
// which listens on kOpen. Nobody holds 10.8.0.99, and the router rejects
// whatever it would forward there with an ICMP "port unreachable" of its
// own.
struct Routed {
    const NetNamespace here = NetNamespace::current();
    const NetNamespace router = NetNamespace::create();
    const NetNamespace far = NetNamespace::create();

    bool build() const
    {
        const QByteArray rules = "table ip gate {\n"
                                 "  chain forward {\n"
                                 "    type filter hook forward priority 0;\n"
                                 "    ip daddr 10.8.0.99 reject with icmp type port-unreachable\n"
                                 "  }\n"
                                 "}\n";
        return NetNamespace::link(here, "vhere", "10.7.0.2/24", router, "vnear", "10.7.0.1/24") &&
               NetNamespace::link(router, "vout", "10.8.0.1/24", far, "vfar", "10.8.0.2/24") &&
               router.sysctl("net/ipv4/ip_forward", "1") &&
               here.ip({"route", "add", "10.8.0.0/24", "via", "10.7.0.1"}) &&
               far.ip({"route", "add", "default", "via", "10.8.0.1"}) &&
               router.inside([&] { return RunTool("nft", {"-f", "-"}, 5000, ToolChannels::Separate, rules); })
                   .Succeeded();
    }

    // A socket of far's listening on the port, or -1.
    int listen(quint16 port) const
    {
        return far.inside([port] {
            const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_in sa{};
            sa.sin_family = AF_INET;
            sa.sin_port = htons(port);
            if (fd >= 0 && (::bind(fd, reinterpret_cast<sockaddr *>(&sa), sizeof sa) != 0 || ::listen(fd, 8) != 0)) {
                ::close(fd);
                return -1;
            }
            return fd;
        });
    }
};

// The errno a plain connection attempt ends with, within two seconds.
int connectError(quint32 address, quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(address);
    int err = ::connect(fd, reinterpret_cast<sockaddr *>(&to), sizeof to) == 0 ? 0 : errno;
    pollfd pfd{fd, POLLOUT, 0};
    if (err == EINPROGRESS && ::poll(&pfd, 1, 2000) == 1) {
        socklen_t len = sizeof err;
        ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len);
    }
    ::close(fd);
    return err;
}

int openDescriptors()
{
    int n = 0;
    if (DIR *d = ::opendir("/proc/self/fd")) {
        while (const dirent *e = ::readdir(d))
            n += e->d_name[0] != '.';
        ::closedir(d);
    }
    return n;
}

} // namespace

TEST(TcpKnock, ARoutedTerminalIsPresentByAResetOrAnAcceptedConnection)
{
    if (QStandardPaths::findExecutable("nft").isEmpty())
        GTEST_SKIP() << "nft is not installed";
    NetNamespace::run({}, [] {
        const Routed net;
        ASSERT_TRUE(net.build());
        const int listener = net.listen(kOpen);
        ASSERT_GE(listener, 0);
        const quint32 far = v4("10.8.0.2");

        auto a = KnockTcp({far}, {kClosed}, 2000ms);
        EXPECT_TRUE(a[0].present);
        EXPECT_EQ(a[0].port, kClosed);
        EXPECT_FALSE(a[0].accepted);

        a = KnockTcp({far}, {kOpen}, 2000ms);
        EXPECT_TRUE(a[0].present);
        EXPECT_EQ(a[0].port, kOpen);
        EXPECT_TRUE(a[0].accepted);
        ::close(listener);
    });
}

TEST(TcpKnock, ARoutersRefusalInTheTerminalsPlaceDoesNotCount)
{
    if (QStandardPaths::findExecutable("nft").isEmpty())
        GTEST_SKIP() << "nft is not installed";
    NetNamespace::run({}, [] {
        const Routed net;
        ASSERT_TRUE(net.build());
        const quint32 nobody = v4("10.8.0.99");
        ASSERT_EQ(connectError(nobody, kClosed), ECONNREFUSED) << "the router refuses in its place";

        const auto a = KnockTcp({nobody, v4("10.8.0.2")}, {kClosed}, 2000ms);
        EXPECT_FALSE(a[0].present);
        EXPECT_TRUE(a[1].present) << "the terminal beside it resets";
    });
}

TEST(TcpKnock, HundredsOfTerminalsGetThroughOnFewDescriptors)
{
    NetNamespace::run({}, [] {
        const rlimit few{40, 40};
        ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &few), 0);
        std::vector<quint32> addresses;
        for (quint32 a = v4("127.0.1.1"); addresses.size() < 300; ++a)
            addresses.push_back(a);
        const int before = openDescriptors();

        const auto a = KnockTcp(addresses, {1, 2, 3, 4}, 2000ms);
        ASSERT_EQ(a.size(), addresses.size());
        int present = 0;
        for (const TcpAnswer &t : a)
            present += t.present && !t.accepted;
        EXPECT_EQ(present, 300);
        EXPECT_EQ(openDescriptors(), before);
    });
}

TEST(TcpKnock, StoppingEndsTheAttempts)
{
    NetNamespace::run({}, [] {
        const NetNamespace here = NetNamespace::current();
        const NetNamespace peer = NetNamespace::create();
        ASSERT_TRUE(NetNamespace::link(here, "vhere", "10.9.0.1/24", peer, "vpeer", "10.9.0.2/24"));
        // Its frames go to a hardware address nobody has: never an answer.
        ASSERT_TRUE(here.ip({"neigh", "add", "10.9.0.50", "lladdr", "02:00:00:00:00:01", "dev", "vhere", "nud",
                             "permanent"}));
        const auto start = Clock::now();
        const auto a = KnockTcp({v4("10.9.0.50")}, {80, 443}, 30s, [&] { return Clock::now() - start > 200ms; });
        EXPECT_FALSE(a[0].present);
        // A bound against a hang, far above the stop's latency.
        EXPECT_LT(Clock::now() - start, 5s);
    });
}
