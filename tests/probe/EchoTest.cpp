// Echo exchanges against the real kernel: on the host's loopback, and inside
// private namespaces where the wire can be watched, silenced, routed and
// forged. Both socket kinds are run where the namespace allows both.

#include "ProbeTest.h"
#include "platform/IcmpSocket.h"
#include "probe/Probe.h"
#include "support/NetNamespace.h"
#include "support/RawIcmp.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <thread>

using namespace std::chrono_literals;
using Kind = IcmpEcho::Kind;

namespace {

class EchoKinds : public testing::TestWithParam<Kind> {};

} // namespace

TEST(Echo, LoopbackAnswersOnTheHost)
{
    Probe icmp;
    icmp.SetIPAddr(QStringLiteral("127.0.0.1"));
    if (!icmp.Active(true))
        GTEST_SKIP() << "no right to open an ICMP socket here (" << icmp.StatusText().toStdString()
                     << "); grant cap_net_raw or widen net.ipv4.ping_group_range";
    icmp.SetSendBytes(32);
    ASSERT_TRUE(icmp.Ping()) << icmp.StatusText().toStdString();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d+ms / TTL:\\d+ / 32 Bytes$")).match(icmp.StatusText()).hasMatch())
        << icmp.StatusText().toStdString();
    EXPECT_EQ(icmp.ReplyBytes(), 32);
    EXPECT_GT(icmp.ReplyTTL(), 0);
    // The socket stays open between exchanges.
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(icmp.Ping()) << i;
    EXPECT_TRUE(icmp.Active(false));
    EXPECT_FALSE(icmp.ActiveFlag());
}

TEST_P(EchoKinds, RequestCarriesTheSizeTtlAndFlagsAsked)
{
    const Kind kind = GetParam();
    NetNamespace::run({}, [kind] {
        const int sniffer = RawIcmp::open();
        ASSERT_GE(sniffer, 0);
        Probe icmp;
        icmp.SetEchoKind(kind);
        ASSERT_TRUE(icmp.Active(true)) << icmp.StatusText().toStdString();
        ASSERT_EQ(icmp.EchoKind(), kind);
        icmp.SetIPAddr(QStringLiteral("127.0.0.1"));

        for (qint16 size : {qint16(0), qint16(32), qint16(10240), qint16(-5)}) {
            icmp.SetSendBytes(size);
            ASSERT_TRUE(icmp.Ping()) << size << ": " << icmp.StatusText().toStdString();
            const int bytes = qMax<int>(size, 0);
            const auto seen = RawIcmp::next(sniffer, 8, 1s);
            ASSERT_TRUE(seen) << size;
            // The size asked, behind the request's token (which the Result
            // column never counts).
            EXPECT_EQ(seen->data.sliced(qMin(seen->data.size(), IcmpSocket::TokenBytes)), QByteArray(bytes, '\0'))
                << size;
            EXPECT_EQ(seen->data.size(), IcmpSocket::TokenBytes + bytes);
            EXPECT_EQ(seen->ttl, 128);
            EXPECT_EQ(seen->tos, 8);
            EXPECT_TRUE(seen->dontFragment);
            // The namespace answers with the system's default of 64.
            EXPECT_EQ(icmp.StatusText(), QStringLiteral("%1ms / TTL:64 / %2 Bytes").arg(icmp.ReplyTime()).arg(bytes));
            EXPECT_EQ(icmp.ReplyBytes(), bytes);
            EXPECT_EQ(icmp.ReplyTTL(), 64);
        }

        // Only the low byte of the time-to-live is sent; without EX the
        // request has type of service 0 and may be fragmented.
        icmp.TTL = 300;
        icmp.EX = false;
        icmp.SetSendBytes(32);
        ASSERT_TRUE(icmp.Ping()) << icmp.StatusText().toStdString();
        auto seen = RawIcmp::next(sniffer, 8, 1s);
        ASSERT_TRUE(seen);
        EXPECT_EQ(seen->ttl, 44);
        EXPECT_EQ(seen->tos, 0);
        EXPECT_FALSE(seen->dontFragment);

        // A low byte of 0 cannot go on the wire; the system's default goes.
        icmp.TTL = 256;
        icmp.EX = true;
        ASSERT_TRUE(icmp.Ping()) << icmp.StatusText().toStdString();
        seen = RawIcmp::next(sniffer, 8, 1s);
        ASSERT_TRUE(seen);
        EXPECT_EQ(seen->ttl, 64);
        EXPECT_EQ(seen->tos, 8);
        EXPECT_TRUE(seen->dontFragment);
        ::close(sniffer);
    });
}

TEST_P(EchoKinds, StepsAreReportedInOrder)
{
    const Kind kind = GetParam();
    NetNamespace::run({}, [kind] {
        Probe icmp;
        icmp.SetEchoKind(kind);
        QStringList steps;
        icmp.OnPingStep = [&](int n, const QString &text) { steps << QString::number(n) + u' ' + text; };
        icmp.SetIPAddr(QStringLiteral("127.0.0.1"));
        icmp.SetSendBytes(32);
        ASSERT_TRUE(icmp.Ping()) << icmp.StatusText().toStdString();
        EXPECT_EQ(steps, QStringList({"0 送信バッファ確保32", "1 受信バッファ確保", "2 ICMPファイル作成", "3 TTL設定 128",
                                      "4 ICMP-Flag設定", "5 SendEcho-16777343", "6 SendEcho成功-Status 0"}));

        steps.clear();
        icmp.SetSendBytes(0);
        icmp.EX = false;
        icmp.TTL = 300;
        ASSERT_TRUE(NetNamespace::current().sysctl("net/ipv4/icmp_echo_ignore_all", "1"));
        icmp.TimeOut = 100;
        EXPECT_FALSE(icmp.Ping());
        EXPECT_EQ(steps, QStringList({"0 送信バッファ不要", "1 受信バッファ確保", "2 ICMPファイル作成", "3 TTL設定 44",
                                      "5 SendEcho-16777343", "6 SendEcho失敗-IP_REQ_TIMED_OUT"}));
    });
}

TEST_P(EchoKinds, SilentHostTimesOutAndKeepsTheLastReply)
{
    const Kind kind = GetParam();
    NetNamespace::run({}, [kind] {
        Probe icmp;
        icmp.SetEchoKind(kind);
        icmp.SetIPAddr(QStringLiteral("127.0.0.1"));
        icmp.SetSendBytes(16);
        ASSERT_TRUE(icmp.Ping()) << icmp.StatusText().toStdString();
        const QString line = icmp.StatusText();

        ASSERT_TRUE(NetNamespace::current().sysctl("net/ipv4/icmp_echo_ignore_all", "1"));
        icmp.TimeOut = 400;
        icmp.SetSendBytes(48);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(icmp.Ping());
        const auto waited = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(icmp.StatusText(), QStringLiteral("IP_REQ_TIMED_OUT"));
        EXPECT_GE(waited, 400ms);
        EXPECT_LT(waited, 5s); // bounded, not a speed target
        EXPECT_EQ(icmp.ReplyBytes(), 16);
        EXPECT_EQ(icmp.ReplyTTL(), 64);

        // The same socket answers again once the host does.
        ASSERT_TRUE(NetNamespace::current().sysctl("net/ipv4/icmp_echo_ignore_all", "0"));
        EXPECT_TRUE(icmp.Ping()) << icmp.StatusText().toStdString();
        EXPECT_EQ(icmp.ReplyBytes(), 48);
    });
}

// A forger in the namespace answers each request before anyone else can
// (the kernel itself is silenced) with replies that are not the answer:
// another sequence, other data, too little or too much data, a broken
// checksum, another identifier, an error about another request, an error
// about a request to another host. Then, if asked, with the true answer
// carrying time-to-live 77.
TEST_P(EchoKinds, RepliesThatAreNotOursAreIgnored)
{
    const Kind kind = GetParam();
    for (const bool answerAtLast : {false, true}) {
        NetNamespace::Options options;
        options.ignoreEcho = true;
        NetNamespace::run(options, [kind, answerAtLast] {
            const int forger = RawIcmp::open();
            ASSERT_GE(forger, 0);
            std::thread t([forger, answerAtLast] {
                const auto rq = RawIcmp::next(forger, 8, 3s);
                if (!rq)
                    return;
                const quint32 to = rq->source;
                QByteArray other = rq->data;
                other[5] = char(other[5] ^ 1);  // one bit of the token, whatever it is
                RawIcmp::send(forger, to, 0, rq->ident, quint16(rq->sequence + 1), rq->data);
                RawIcmp::send(forger, to, 0, rq->ident, quint16(rq->sequence - 1), rq->data);
                RawIcmp::send(forger, to, 0, rq->ident, rq->sequence, other);
                RawIcmp::send(forger, to, 0, rq->ident, rq->sequence, rq->data.left(rq->data.size() - 1));
                RawIcmp::send(forger, to, 0, rq->ident, rq->sequence, rq->data + '\0');
                RawIcmp::send(forger, to, 0, rq->ident, rq->sequence, rq->data, 64, true);
                RawIcmp::send(forger, to, 0, quint16(rq->ident + 1), rq->sequence, rq->data);
                // An error about another request of ours.
                QByteArray quoted(20, '\0');
                quoted[0] = 0x45;
                quoted[3] = char(28 + rq->data.size());
                quoted[8] = 1;
                quoted[9] = IPPROTO_ICMP;
                std::memcpy(quoted.data() + 12, &to, 4);
                std::memcpy(quoted.data() + 16, &to, 4);
                QByteArray echo(8, '\0');
                echo[0] = 8;
                echo[4] = char(rq->ident >> 8);
                echo[5] = char(rq->ident);
                echo[6] = char((rq->sequence + 7) >> 8);
                echo[7] = char(rq->sequence + 7);
                quoted += echo + rq->data;
                RawIcmp::sendMessage(forger, to, 11, 0, quoted);
                // An error quoting our numbers on a request to another host.
                const quint32 elsewhere = ::inet_addr("127.0.0.9");
                std::memcpy(quoted.data() + 16, &elsewhere, 4);
                quoted[20 + 6] = char(rq->sequence >> 8);
                quoted[20 + 7] = char(rq->sequence);
                RawIcmp::sendMessage(forger, to, 3, 1, quoted);
                if (answerAtLast) {
                    std::this_thread::sleep_for(100ms);
                    RawIcmp::send(forger, to, 0, rq->ident, rq->sequence, rq->data, 77);
                }
            });
            Probe icmp;
            icmp.SetEchoKind(kind);
            icmp.SetIPAddr(QStringLiteral("127.0.0.1"));
            icmp.SetSendBytes(32);
            icmp.TimeOut = 700;
            const bool answered = icmp.Ping();
            t.join();
            ::close(forger);
            if (answerAtLast) {
                EXPECT_TRUE(answered) << icmp.StatusText().toStdString();
                EXPECT_EQ(icmp.ReplyTTL(), 77);
                EXPECT_EQ(icmp.ReplyBytes(), 32);
            } else {
                EXPECT_FALSE(answered) << icmp.StatusText().toStdString();
                EXPECT_EQ(icmp.StatusText(), QStringLiteral("IP_REQ_TIMED_OUT"));
                EXPECT_EQ(icmp.ReplyBytes(), 0);
            }
        });
    }
}

// client 10.1.0.2 -- 10.1.0.1 router 10.2.0.1 -- 10.2.0.2 server, the
// router's link to the server with a small MTU and a route that refuses.
TEST_P(EchoKinds, RouterErrorsMapToTheirStatus)
{
    const Kind kind = GetParam();
    NetNamespace::run({}, [kind] {
        const NetNamespace client = NetNamespace::current();
        const NetNamespace router = NetNamespace::create();
        const NetNamespace server = NetNamespace::create();
        ASSERT_TRUE(NetNamespace::link(client, "vclient", "10.1.0.2/24", router, "vrouter1", "10.1.0.1/24"));
        ASSERT_TRUE(NetNamespace::link(router, "vrouter2", "10.2.0.1/24", server, "vserver", "10.2.0.2/24"));
        ASSERT_TRUE(client.ip({"route", "add", "default", "via", "10.1.0.1"}));
        ASSERT_TRUE(server.ip({"route", "add", "default", "via", "10.2.0.1"}));
        ASSERT_TRUE(router.sysctl("net/ipv4/ip_forward", "1"));
        ASSERT_TRUE(router.sysctl("net/ipv4/icmp_ratelimit", "0"));
        ASSERT_TRUE(router.ip({"link", "set", "vrouter2", "mtu", "1200"}));
        ASSERT_TRUE(server.ip({"link", "set", "vserver", "mtu", "1200"}));
        ASSERT_TRUE(router.ip({"route", "add", "unreachable", "10.4.0.0/16"}));

        Probe icmp;
        icmp.SetEchoKind(kind);
        icmp.TimeOut = 1500;
        QStringList steps;
        icmp.OnPingStep = [&](int n, const QString &text) {
            if (n == 6)
                steps << text;
        };
        auto ping = [&](const char *to, int ttl, qint16 bytes, bool ex) {
            icmp.SetIPAddr(QString::fromLatin1(to));
            icmp.TTL = ttl;
            icmp.SetSendBytes(bytes);
            icmp.EX = ex;
            steps.clear();
            return icmp.Ping();
        };

        ASSERT_TRUE(ping("10.2.0.2", 128, 32, true)) << icmp.StatusText().toStdString();
        EXPECT_EQ(icmp.ReplyTTL(), 63); // one hop back

        // The router's "no route" answers share a token bucket per sender with
        // its other errors, so they go first.
        EXPECT_FALSE(ping("10.3.0.1", 128, 32, true));
        EXPECT_EQ(icmp.StatusText(), QStringLiteral("IP_DEST_NET_UNREACHABLE"));
        EXPECT_FALSE(ping("10.4.0.1", 128, 32, true));
        EXPECT_EQ(icmp.StatusText(), QStringLiteral("IP_DEST_HOST_UNREACHABLE"));

        EXPECT_FALSE(ping("10.2.0.2", 1, 32, true));
        EXPECT_EQ(icmp.StatusText(), QStringLiteral("IP_TTL_EXPIRED_TRANSIT"));
        EXPECT_EQ(steps, QStringList{"SendEcho成功-Status 11013"});

        // Too big for the router's next link with don't-fragment: the
        // router says so; without EX it fragments and the echo gets through.
        EXPECT_FALSE(ping("10.2.0.2", 128, 1300, true));
        EXPECT_EQ(icmp.StatusText(), QStringLiteral("IP_PACKET_TOO_BIG"));
        EXPECT_TRUE(ping("10.2.0.2", 128, 1300, false)) << icmp.StatusText().toStdString();
        EXPECT_EQ(icmp.ReplyBytes(), 1300);

        // Too big for our own link: refused before it leaves.
        EXPECT_FALSE(ping("10.2.0.2", 128, 10240, true));
        EXPECT_EQ(icmp.StatusText(), QStringLiteral("IP_PACKET_TOO_BIG"));
        EXPECT_EQ(steps, QStringList{"SendEcho失敗-IP_PACKET_TOO_BIG"});
        EXPECT_TRUE(ping("10.2.0.2", 128, 10240, false)) << icmp.StatusText().toStdString();
    });
}

// here 10.9.0.1 -- 10.9.0.2 peer. Nobody on the link has 10.9.0.77, so
// its echo times out first and address resolution gives up only later; the
// "host unreachable" that follows belongs to that old request alone.
TEST_P(EchoKinds, LateUnreachableOfASilentNeighbourSparesTheNextEcho)
{
    const Kind kind = GetParam();
    NetNamespace::run({}, [kind] {
        const NetNamespace here = NetNamespace::current();
        const NetNamespace peer = NetNamespace::create();
        ASSERT_TRUE(NetNamespace::link(here, "vhere", "10.9.0.1/24", peer, "vpeer", "10.9.0.2/24"));
        // Resolution gives up after two probes 200 ms apart.
        ASSERT_TRUE(here.sysctl("net/ipv4/neigh/vhere/ucast_solicit", "0"));
        ASSERT_TRUE(here.sysctl("net/ipv4/neigh/vhere/mcast_solicit", "2"));
        ASSERT_TRUE(here.sysctl("net/ipv4/neigh/vhere/retrans_time_ms", "200"));
        Probe icmp;
        icmp.SetEchoKind(kind);
        icmp.SetSendBytes(32);
        icmp.TimeOut = 100;
        icmp.SetIPAddr(QStringLiteral("10.9.0.77"));
        EXPECT_FALSE(icmp.Ping());
        EXPECT_EQ(icmp.StatusText(), QStringLiteral("IP_REQ_TIMED_OUT"));
        std::this_thread::sleep_for(1s);

        icmp.TimeOut = 2000;
        icmp.SetIPAddr(QStringLiteral("10.9.0.2"));
        EXPECT_TRUE(icmp.Ping()) << icmp.StatusText().toStdString();
        EXPECT_EQ(icmp.ReplyBytes(), 32);
    });
}

// Addresses that name no single host: this network, multicast groups, the
// reserved class and the limited broadcast. The local host would answer some
// of them itself.
TEST_P(EchoKinds, AddressesOfNoSingleHostAreRefused)
{
    const Kind kind = GetParam();
    NetNamespace::run({}, [kind] {
        ASSERT_TRUE(NetNamespace::current().ip({"route", "add", "224.0.0.0/4", "dev", "lo"}));
        Probe icmp;
        icmp.SetEchoKind(kind);
        icmp.TimeOut = 300;
        for (const char *to : {"0.0.0.0", "0.1.2.3", "224.0.0.1", "239.255.255.250", "240.0.0.1", "255.255.255.255"}) {
            icmp.SetIPAddr(QString::fromLatin1(to));
            EXPECT_FALSE(icmp.Ping()) << to;
            EXPECT_EQ(icmp.StatusText(), QStringLiteral("IP_BAD_DESTINATION")) << to;
        }
        EXPECT_EQ(icmp.ReplyBytes(), 0);
        icmp.SetIPAddr(QStringLiteral("127.0.0.1"));
        EXPECT_TRUE(icmp.Ping()) << icmp.StatusText().toStdString();
    });
}

INSTANTIATE_TEST_SUITE_P(Sockets, EchoKinds, testing::Values(Kind::PingSocket, Kind::RawSocket),
                         [](const testing::TestParamInfo<Kind> &info) {
                             return info.param == Kind::PingSocket ? std::string("Ping") : std::string("Raw");
                         });

TEST(Echo, NoPermittedSocketFailsActivationWithItsMessage)
{
    NetNamespace::Options options;
    options.pingSockets = false;
    NetNamespace::run(options, [] {
        Probe icmp;
        icmp.SetEchoKind(Kind::PingSocket); // as an unprivileged user would find it
        EXPECT_FALSE(icmp.Active(true));
        EXPECT_FALSE(icmp.ActiveFlag());
        EXPECT_EQ(icmp.StatusText(), QStringLiteral("ICMP.DLLのロードに失敗しました。"));
        icmp.SetIPAddr(QStringLiteral("127.0.0.1"));
        EXPECT_FALSE(icmp.Ping());
        EXPECT_EQ(icmp.StatusText(), QStringLiteral("ICMP.DLLのロードに失敗しました。"));
        // With the right it opens, and the next use tries again.
        icmp.SetEchoKind(Kind::Auto);
        EXPECT_TRUE(icmp.Ping()) << icmp.StatusText().toStdString();
        EXPECT_EQ(icmp.EchoKind(), Kind::RawSocket);
    });
}
