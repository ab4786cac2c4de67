// WS-Discovery against a real announcing host (wsdd) in a peer namespace,
// and against a hostile host in another that floods the table and claims
// others' endpoints.

#include "platform/WsDiscovery.h"

#include "support/PeerHost.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

bool has(const QList<WsdComputer> &list, const QString &name, const QString &group)
{
    return std::any_of(list.cbegin(), list.cend(),
                       [&](const WsdComputer &c) { return c.name == name && c.group == group && !c.domain; });
}

// One look, bounded: a look that hangs fails here instead of holding the test.
bool look(WsDiscovery &discovery, QList<WsdComputer> &found, std::chrono::seconds bound)
{
    auto f = std::async(std::launch::async, [&] { return discovery.Computers(found); });
    if (f.wait_for(bound) != std::future_status::ready) {
        ADD_FAILURE() << "a look did not return within " << bound.count() << " s";
        f.wait();
        return false;
    }
    return f.get();
}

sockaddr_in ipv4(const char *address, quint16 port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    inet_pton(AF_INET, address, &a.sin_addr);
    return a;
}

QByteArray envelope(const QByteArray &action, const QByteArray &header, const QByteArray &body)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
           "<soap:Envelope xmlns:soap=\"http://www.w3.org/2003/05/soap-envelope\""
           " xmlns:wsa=\"http://schemas.xmlsoap.org/ws/2004/08/addressing\""
           " xmlns:wsd=\"http://schemas.xmlsoap.org/ws/2005/04/discovery\"><soap:Header>"
           "<wsa:Action>http://schemas.xmlsoap.org/ws/2005/04/discovery/" + action + "</wsa:Action>"
           "<wsa:MessageID>" + WsdNewMessageId().toLatin1() + "</wsa:MessageID>" + header +
           "</soap:Header><soap:Body>" + body + "</soap:Body></soap:Envelope>";
}

QByteArray announced(const QByteArray &endpoint, const QByteArray &xaddr, const QByteArray &version)
{
    return "<wsa:EndpointReference><wsa:Address>" + endpoint + "</wsa:Address></wsa:EndpointReference>"
           "<wsd:Types>wsdp:Device</wsd:Types><wsd:XAddrs>" + xaddr + "</wsd:XAddrs>"
           "<wsd:MetadataVersion>" + version + "</wsd:MetadataVersion>";
}

// A hostile host at 10.78.0.2, in a namespace of its own joined to this one
// by "vflood" (10.78.0.1): it answers every Probe for `devices` devices
// never heard of before, 32 to a datagram (as many as one message is read
// for), whose metadata port accepts connections and never answers. It can
// also send a Hello or Bye naming any endpoint.
class Flooder {
public:
    static constexpr char Address[] = "10.78.0.2";
    static constexpr char XAddr[] = "http://10.78.0.2:5357/flood";

    explicit Flooder(int devices) : devices_(devices), ns_(NetNamespace::create())
    {
        if (!NetNamespace::link(NetNamespace::current(), QStringLiteral("vflood"), QStringLiteral("10.78.0.1/24"), ns_,
                                QStringLiteral("vatk"), QStringLiteral("10.78.0.2/24")))
            return;
        ns_.inside([this] {
            udp_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
            tcp_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        });
        const int on = 1;
        const sockaddr_in any = ipv4("0.0.0.0", WsdPort);
        const sockaddr_in web = ipv4(Address, 5357);
        const ip_mreq join{ipv4(WsdGroup, 0).sin_addr, web.sin_addr};
        ::setsockopt(udp_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        ::setsockopt(tcp_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        ready = ::bind(udp_, reinterpret_cast<const sockaddr *>(&any), sizeof any) == 0 &&
                ::setsockopt(udp_, IPPROTO_IP, IP_ADD_MEMBERSHIP, &join, sizeof join) == 0 &&
                ::setsockopt(udp_, IPPROTO_IP, IP_MULTICAST_IF, &join.imr_interface, sizeof join.imr_interface) == 0 &&
                ::bind(tcp_, reinterpret_cast<const sockaddr *>(&web), sizeof web) == 0 && ::listen(tcp_, 256) == 0;
        stop_ = ::eventfd(0, EFD_CLOEXEC);
        if (ready && stop_ >= 0)
            thread_ = std::thread([this] { serve(); });
    }

    ~Flooder()
    {
        const quint64 one = 1;
        if (stop_ >= 0)
            (void)!::write(stop_, &one, sizeof one);
        if (thread_.joinable())
            thread_.join();
        for (const int fd : {udp_, tcp_, stop_})
            if (fd >= 0)
                ::close(fd);
    }

    // A Hello or Bye to the group, naming this host's metadata address.
    void announce(const QByteArray &kind, const QString &endpoint, const QByteArray &version)
    {
        const QByteArray message = envelope(kind, {}, "<wsd:" + kind + ">" + announced(endpoint.toLatin1(), XAddr, version) +
                                                          "</wsd:" + kind + ">");
        const sockaddr_in to = ipv4(WsdGroup, WsdPort);
        ::sendto(udp_, message.constData(), size_t(message.size()), 0, reinterpret_cast<const sockaddr *>(&to), sizeof to);
    }

    bool ready = false;
    std::atomic<int> probesAnswered{0};
    std::atomic<int> connections{0};

private:
    void answer(const QByteArray &probe, const sockaddr_in &from)
    {
        static const QRegularExpression id(QStringLiteral("<wsa:MessageID>([^<]+)</wsa:MessageID>"));
        const auto m = id.match(QString::fromUtf8(probe));
        if (!probe.contains("discovery/Probe</wsa:Action>") || !m.hasMatch())
            return;
        const int round = ++probesAnswered;
        for (int first = 0; first < devices_; first += 32) {
            QByteArray matches;
            for (int i = first; i < std::min(devices_, first + 32); ++i) {
                const QByteArray endpoint = "urn:uuid:f100d000-0000-4000-8000-" +
                                            QByteArray::number(round * 100000 + i).rightJustified(12, '0');
                matches += "<wsd:ProbeMatch>" + announced(endpoint, XAddr, "1") + "</wsd:ProbeMatch>";
            }
            const QByteArray message =
                envelope("ProbeMatches", "<wsa:RelatesTo>" + m.captured(1).toLatin1() + "</wsa:RelatesTo>",
                         "<wsd:ProbeMatches>" + matches + "</wsd:ProbeMatches>");
            ::sendto(udp_, message.constData(), size_t(message.size()), 0,
                     reinterpret_cast<const sockaddr *>(&from), sizeof from);
        }
    }

    // Bounded in time and turns; connections are held open, unanswered.
    void serve()
    {
        std::vector<int> held;
        const auto end = std::chrono::steady_clock::now() + 60s;
        for (int turn = 0; turn < 100000 && std::chrono::steady_clock::now() < end; ++turn) {
            pollfd polls[] = {{stop_, POLLIN, 0}, {udp_, POLLIN, 0}, {tcp_, POLLIN, 0}};
            if (::poll(polls, 3, 200) < 0 || (polls[0].revents & POLLIN))
                break;
            if (polls[1].revents & POLLIN) {
                QByteArray buffer(WsdMaxMessage, Qt::Uninitialized);
                sockaddr_in from{};
                socklen_t length = sizeof from;
                const ssize_t got = ::recvfrom(udp_, buffer.data(), size_t(buffer.size()), 0,
                                               reinterpret_cast<sockaddr *>(&from), &length);
                if (got > 0)
                    answer(buffer.left(got), from);
            }
            if (polls[2].revents & POLLIN) {
                const int fd = ::accept4(tcp_, nullptr, nullptr, SOCK_CLOEXEC);
                if (fd >= 0 && held.size() < 4096) {
                    held.push_back(fd);
                    ++connections;
                } else if (fd >= 0) {
                    ::close(fd);
                }
            }
        }
        for (const int fd : held)
            ::close(fd);
    }

    const int devices_;
    NetNamespace ns_;
    int udp_ = -1;
    int tcp_ = -1;
    int stop_ = -1;
    std::thread thread_;
};

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

TEST(WsDiscovery, AHostAnsweringForMoreDevicesThanTheTableHoldsBehindSilentPortsDoesNotHideARealComputer)
{
    NetNamespace::Options limits;
    limits.limit = 60s;
    NetNamespace::run(limits, [] {
        PeerHost peer;
        if (!StartWsdd(peer, QStringLiteral("pc-wsd"), QStringLiteral("sales")))
            GTEST_SKIP() << peer.why;
        Flooder flood(1100);
        ASSERT_TRUE(flood.ready);
        WsDiscovery::Options options;
        options.refreshMs = 1500;
        // A look that waited on one of the flood's exchanges would wait this
        // long, well past the bound each look is given below.
        options.metadataTimeoutMs = 20000;
        WsDiscovery discovery(options);

        QList<WsdComputer> found;
        ASSERT_TRUE(look(discovery, found, 15s));
        EXPECT_TRUE(has(found, QStringLiteral("PC-WSD"), QStringLiteral("SALES")));

        // Round after round of fresh devices: the real computer stays, the
        // looks answer from the table, and the table keeps its bounds (one
        // sender's share of unverified devices, and the verified computer).
        for (int i = 0; i < 10 && flood.probesAnswered < 6; ++i) {
            std::this_thread::sleep_for(500ms);
            ASSERT_TRUE(look(discovery, found, 5s));
            EXPECT_TRUE(has(found, QStringLiteral("PC-WSD"), QStringLiteral("SALES")));
            EXPECT_LE(discovery.DeviceCount(), options.maxUnverifiedPerSender + 1);
        }
        EXPECT_GE(flood.probesAnswered, 4);  // the flood kept coming, round after round
        EXPECT_GE(flood.connections, 1);     // and its silent port was asked
    });
}

TEST(WsDiscovery, AnotherHostNamingAVerifiedComputersEndpointNeitherTakesItOverNorSaysByeForIt)
{
    NetNamespace::Options limits;
    limits.limit = 40s;
    NetNamespace::run(limits, [] {
        const QString uuid = QStringLiteral("5eed0000-0000-4000-8000-000000000001");
        PeerHost peer;
        if (!StartWsdd(peer, QStringLiteral("pc-wsd"), QStringLiteral("sales"), uuid))
            GTEST_SKIP() << peer.why;
        Flooder impostor(0);
        ASSERT_TRUE(impostor.ready);
        WsDiscovery::Options options;
        options.refreshMs = 60000;  // only Hello and Bye change the table after the first look
        WsDiscovery discovery(options);

        QList<WsdComputer> found;
        ASSERT_TRUE(look(discovery, found, 15s));
        ASSERT_TRUE(has(found, QStringLiteral("PC-WSD"), QStringLiteral("SALES")));
        const QString endpoint = QStringLiteral("urn:uuid:") + uuid;

        // A new metadata version at the impostor's address, then a Bye;
        // last a Hello of its own, which the table takes: once that is
        // there, the two before it have been read too.
        impostor.announce("Hello", endpoint, "99");
        impostor.announce("Bye", endpoint, "99");
        impostor.announce("Hello", QStringLiteral("urn:uuid:0b5e55ed-0000-4000-8000-000000000001"), "1");
        for (int i = 0; i < 50 && discovery.DeviceCount() < 2; ++i) {
            std::this_thread::sleep_for(100ms);
            ASSERT_TRUE(look(discovery, found, 5s));
        }
        ASSERT_TRUE(look(discovery, found, 5s));
        EXPECT_TRUE(has(found, QStringLiteral("PC-WSD"), QStringLiteral("SALES")));
        EXPECT_EQ(discovery.DeviceCount(), 2);  // the real computer and the impostor's own device
    });
}
