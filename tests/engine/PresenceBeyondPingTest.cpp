// Presence beyond the echo, in private network namespaces: terminals that
// drop echo requests, ports that answer, and logouts that wait for more
// than one missed pass.

#include "support/EngineHarness.h"

#include "support/NetNamespace.h"

#include <QProcess>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

class PresenceBeyondPing : public EngineHarness {};

// Drops the echo requests to these addresses, and only those (the rules
// live in the test's own namespace).
bool dropEchoesTo(const QStringList &addresses)
{
    QByteArray rules = "flush ruleset\ntable inet echoes {\n chain in {\n  type filter hook input priority 0;\n";
    for (const QString &a : addresses)
        rules += "  ip daddr " + a.toLatin1() + " icmp type echo-request drop\n";
    rules += " }\n}\n";
    QProcess nft;
    nft.start(u"nft"_s, {u"-f"_s, u"-"_s});
    nft.write(rules);
    nft.closeWriteChannel();
    return nft.waitForFinished(10000) && nft.exitStatus() == QProcess::NormalExit && nft.exitCode() == 0;
}

// Runs nft with these rules in a namespace of the test.
bool nftIn(const NetNamespace &where, const QByteArray &rules)
{
    QProcess nft;
    nft.start(u"nsenter"_s, {u"--net="_s + where.path(), u"nft"_s, u"-f"_s, u"-"_s});
    nft.write(rules);
    nft.closeWriteChannel();
    return nft.waitForFinished(10000) && nft.exitStatus() == QProcess::NormalExit && nft.exitCode() == 0;
}

// here 10.1.0.1 -- 10.1.0.2 router 10.2.0.1 -- far 10.2.0.2, a PC that
// drops echo requests.
struct Routed {
    const NetNamespace here = NetNamespace::current();
    const NetNamespace router = NetNamespace::create();
    const NetNamespace far = NetNamespace::create();

    bool build() const
    {
        return NetNamespace::link(here, u"vhere"_s, u"10.1.0.1/24"_s, router, u"vnear"_s, u"10.1.0.2/24"_s) &&
               NetNamespace::link(router, u"vfar"_s, u"10.2.0.1/24"_s, far, u"vpc"_s, u"10.2.0.2/24"_s) &&
               here.ip({u"route"_s, u"add"_s, u"10.2.0.0/24"_s, u"via"_s, u"10.1.0.2"_s}) &&
               far.ip({u"route"_s, u"add"_s, u"default"_s, u"via"_s, u"10.2.0.1"_s}) &&
               router.sysctl(u"net/ipv4/ip_forward"_s, u"1"_s) &&
               far.sysctl(u"net/ipv4/icmp_echo_ignore_all"_s, u"1"_s);
    }
};

} // namespace

// A laptop on Wi-Fi misses a pass now and then; one that leaves misses them
// all. With AwayPasses 3 only the second is logged out, after its third
// missed pass, and the first raises no event at all.
TEST_F(PresenceBeyondPing, ALogoutWaitsForAwayPassesMissedInARow)
{
    NetNamespace::run({}, [this] {
        if (!dropEchoesTo({}))
            GTEST_SKIP() << "nft is not installed";
        Settings.TCPIP.AwayPasses = 3;
        Settings.TCPIP.TimeOut = 200;
        Settings.Login.ManagerReport = true;
        Settings.Logout.ManagerReport = true;
        const int flaky = add(u"tanaka"_s, QString(), KindStandard, true, u"127.0.0.5"_s);
        const int leaving = add(u"suzuki"_s, QString(), KindStandard, true, u"127.0.0.6"_s);
        ASSERT_TRUE(pass());
        EXPECT_EQ(events.takeCalls(), QStringList({u"report 1 [tanaka\t|suzuki\t]"_s}));

        ASSERT_TRUE(dropEchoesTo({u"127.0.0.5"_s, u"127.0.0.6"_s}));
        ASSERT_TRUE(pass());
        EXPECT_EQ(status(flaky), StatusLoggedIn);
        EXPECT_EQ(text(flaky, WatchListModel::ColResult), u"応答なし 1/3"_s);
        ASSERT_TRUE(dropEchoesTo({u"127.0.0.6"_s}));
        ASSERT_TRUE(pass());
        EXPECT_EQ(text(leaving, WatchListModel::ColResult), u"応答なし 2/3"_s);
        ASSERT_TRUE(dropEchoesTo({u"127.0.0.5"_s, u"127.0.0.6"_s}));
        ASSERT_TRUE(pass());
        EXPECT_EQ(status(flaky), StatusLoggedIn) << "its misses started again after it answered";
        EXPECT_EQ(text(flaky, WatchListModel::ColResult), u"応答なし 1/3"_s);
        EXPECT_EQ(status(leaving), StatusLoggedOut);
        EXPECT_EQ(events.takeCalls(), QStringList({u"report 2 [suzuki\t]"_s}));
    });
}

// A PC whose firewall drops echo requests, on this computer's own network:
// with the defaults it is absent, and the row says that it answers ARP;
// with NeighbourCheck it is present by ARP. An address nobody holds stays
// absent, and so does a PC that left after a pass, although its neighbour
// entry is still fresh in the cache.
TEST_F(PresenceBeyondPing, AnOnLinkPcThatDropsEchoesIsFoundByAddressResolution)
{
    NetNamespace::run({}, [this] {
        const NetNamespace here = NetNamespace::current();
        const NetNamespace pc = NetNamespace::create();
        ASSERT_TRUE(NetNamespace::link(here, u"vhere"_s, u"10.9.0.1/24"_s, pc, u"vpc"_s, u"10.9.0.2/24"_s));
        ASSERT_TRUE(pc.sysctl(u"net/ipv4/icmp_echo_ignore_all"_s, u"1"_s));
        Settings.TCPIP.TimeOut = 300;
        Settings.Login.ManagerReport = true;
        const int silent = add(u"tanaka"_s, u"PC01"_s, KindStandard, true, u"10.9.0.2"_s);
        const int nobody = add(u"suzuki"_s, u"PC02"_s, KindStandard, true, u"10.9.0.77"_s);

        ASSERT_TRUE(pass());
        EXPECT_EQ(status(silent), StatusLoggedOut);
        EXPECT_EQ(text(silent, WatchListModel::ColResult), u"IP_REQ_TIMED_OUT (ARPに応答)"_s);
        EXPECT_EQ(status(nobody), StatusLoggedOut);
        EXPECT_FALSE(text(nobody, WatchListModel::ColResult).contains(u"ARP"_s));

        Settings.TCPIP.NeighbourCheck = true;
        ASSERT_TRUE(pass());
        EXPECT_EQ(status(silent), StatusLoggedIn);
        EXPECT_EQ(text(silent, WatchListModel::ColResult), u"ARP"_s);
        EXPECT_EQ(status(nobody), StatusLoggedOut);
        EXPECT_EQ(events.takeCalls().filter(u"report 1"_s), QStringList({u"report 1 [tanaka\tPC01]"_s}));

        // It leaves: its neighbour entry stays REACHABLE for a while, and
        // counts for nothing.
        ASSERT_TRUE(pc.ip({u"addr"_s, u"flush"_s, u"dev"_s, u"vpc"_s}));
        ASSERT_TRUE(pass());
        EXPECT_EQ(status(silent), StatusLoggedOut);
    });
}

// Beyond a router: a PC whose firewall drops echo requests but whose
// system resets a connection to a closed port is present by TCP; an
// address nobody holds, for which the router itself refuses connections
// with "port unreachable", is not.
TEST_F(PresenceBeyondPing, ARoutedPcIsFoundByItsOwnTcpResetButNotByTheRoutersRefusal)
{
    NetNamespace::run({}, [this] {
        const Routed net;
        ASSERT_TRUE(net.build());
        if (!nftIn(net.router, "table inet f { chain forwarding { type filter hook forward priority 0;\n"
                           " ip daddr 10.2.0.9 tcp dport 445 reject with icmp type port-unreachable\n"
                           " ip daddr 10.2.0.9 icmp type echo-request drop\n }\n}\n"))
            GTEST_SKIP() << "nft is not installed";
        Settings.TCPIP.TimeOut = 300;
        Settings.TCPIP.TcpPorts = u"445"_s;
        const int routed = add(u"tanaka"_s, u"PC01"_s, KindStandard, true, u"10.2.0.2"_s);
        const int refused = add(u"suzuki"_s, u"PC09"_s, KindStandard, true, u"10.2.0.9"_s);
        ASSERT_TRUE(pass());
        EXPECT_EQ(status(routed), StatusLoggedIn);
        EXPECT_EQ(text(routed, WatchListModel::ColResult), u"TCP 445 (reset)"_s);
        EXPECT_EQ(status(refused), StatusLoggedOut) << text(refused, WatchListModel::ColResult).toStdString();
    });
}

// A firewall on the way that rejects with a TCP reset answers in the name of
// an address nobody holds, and nothing tells its reset from a terminal's
// own: such an entry is present, but its row and the journal's login line
// say "TCP 445 (reset)", apart from a PC that accepted the connection.
TEST_F(PresenceBeyondPing, AResetIsToldApartFromAnAcceptedConnection)
{
    NetNamespace::run({}, [this] {
        const Routed net;
        ASSERT_TRUE(net.build());
        ASSERT_TRUE(net.far.ip({u"addr"_s, u"add"_s, u"10.2.0.3/24"_s, u"dev"_s, u"vpc"_s}));
        if (!nftIn(net.router, "table inet f { chain forwarding { type filter hook forward priority 0;\n"
                               " ip daddr 10.2.0.8 tcp dport 445 reject with tcp reset\n"
                               " ip daddr 10.2.0.8 icmp type echo-request drop\n }\n}\n"))
            GTEST_SKIP() << "nft is not installed";
        const int listener = net.far.inside([] {
            const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_in sa{};
            sa.sin_family = AF_INET;
            sa.sin_port = htons(445);
            sa.sin_addr.s_addr = htonl(0x0A020003);  // 10.2.0.3
            return fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr *>(&sa), sizeof sa) == 0 && ::listen(fd, 8) == 0
                ? fd
                : -1;
        });
        ASSERT_GE(listener, 0);
        Settings.TCPIP.TimeOut = 300;
        Settings.TCPIP.TcpPorts = u"445"_s;
        const int accepting = add(u"tanaka"_s, u"PC03"_s, KindStandard, true, u"10.2.0.3"_s);
        const int nobody = add(u"sato"_s, u"PC08"_s, KindStandard, true, u"10.2.0.8"_s);
        ASSERT_TRUE(pass());
        EXPECT_EQ(text(accepting, WatchListModel::ColResult), u"TCP 445"_s);
        EXPECT_EQ(text(nobody, WatchListModel::ColResult), u"TCP 445 (reset)"_s);
        EXPECT_EQ(engine.LoginWays, QStringList({u"TCP 445"_s, u"TCP 445 (reset)"_s}));
        ::close(listener);
    });
}

// The list holds each PC's MAC. tanaka's PC drops echo requests and answers
// address resolution itself; suzuki's PC is away and another computer has
// taken its address. Only tanaka counts as present, and suzuki's row says
// that another MAC answered.
TEST_F(PresenceBeyondPing, AnAddressAnsweredByAnotherMacThanTheListedOneStaysAbsent)
{
    NetNamespace::run({}, [this] {
        const NetNamespace here = NetNamespace::current();
        const NetNamespace pc = NetNamespace::create();
        ASSERT_TRUE(NetNamespace::link(here, u"vhere"_s, u"10.9.0.1/24"_s, pc, u"vpc"_s, u"10.9.0.2/24"_s));
        ASSERT_TRUE(pc.ip({u"addr"_s, u"add"_s, u"10.9.0.3/24"_s, u"dev"_s, u"vpc"_s}));
        ASSERT_TRUE(pc.ip({u"link"_s, u"set"_s, u"vpc"_s, u"address"_s, u"02:00:00:00:0a:02"_s}));
        ASSERT_TRUE(pc.sysctl(u"net/ipv4/icmp_echo_ignore_all"_s, u"1"_s));
        Settings.TCPIP.TimeOut = 300;
        Settings.TCPIP.NeighbourCheck = true;
        const int owner = add(u"tanaka"_s, u"PC02"_s, KindStandard, true, u"10.9.0.2"_s);
        const int away = add(u"suzuki"_s, u"PC03"_s, KindStandard, true, u"10.9.0.3"_s);
        // As written by hand in another form than the one Corvane writes.
        model.setText(owner, WatchListModel::ColMAC, u"02-00-00-00-0a-02"_s);
        model.setText(away, WatchListModel::ColMAC, u"02:00:00:00:0A:63"_s);

        ASSERT_TRUE(pass());
        EXPECT_EQ(status(owner), StatusLoggedIn);
        EXPECT_EQ(text(owner, WatchListModel::ColResult), u"ARP"_s);
        EXPECT_EQ(status(away), StatusLoggedOut);
        EXPECT_EQ(text(away, WatchListModel::ColResult), u"IP_REQ_TIMED_OUT (別のMACがARPに応答)"_s);
    });
}
