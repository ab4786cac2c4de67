// The IP check of entries whose address or name is found during the pass,
// in a private network namespace with its own hosts file, so that every
// lookup and every echo stays inside it.

#include "support/EngineHarness.h"

#include "support/NetNamespace.h"

#include <QElapsedTimer>
#include <QRegularExpression>

namespace {

class AddressCheck : public EngineHarness {};

const QRegularExpression Answered(u"^\\d+ms / TTL:\\d+ / \\d+ Bytes$"_s);

// Here 10.9.0.1 -- 10.9.0.2 the peer, whose link has a known hardware address.
bool linkPeerWithKnownMac(const NetNamespace &peer)
{
    return NetNamespace::link(NetNamespace::current(), "vhere", "10.9.0.1/24", peer, "vpeer", "10.9.0.2/24")
        && peer.ip({"link", "set", "vpeer", "address", "02:ab:cd:ef:01:23"});
}

} // namespace

TEST_F(AddressCheck, ANameIsResolvedIntoAStarredAddressThatIsForgottenWhenTheTerminalIsGone)
{
    NetNamespace::Options options;
    options.hosts = "127.0.0.5 term5\n127.0.0.6 named6 named6.example\n";
    NetNamespace::run(options, [this] {
        Settings.Logout.AutoMAC = true;
        Settings.Login.ManagerReport = true;
        Settings.Logout.ManagerReport = true;
        const int byName = add(u"user5"_s, u"term5"_s, KindStandard, true);
        const int byAddress = add(u"user6"_s, QString(), KindStandard, true, u"127.0.0.6"_s);
        const int nowhere = add(u"user7"_s, u"nosuchhost"_s, KindStandard, true);
        model.setText(byAddress, WatchListModel::ColMAC, u"00:11:22:33:44:55"_s);

        ASSERT_TRUE(pass());
        EXPECT_EQ(text(byName, WatchListModel::ColAddress), u"*127.  0.  0.  5"_s);
        EXPECT_TRUE(Answered.match(text(byName, WatchListModel::ColResult)).hasMatch())
            << text(byName, WatchListModel::ColResult).toStdString();
        EXPECT_EQ(status(byName), StatusLoggedIn);
        EXPECT_EQ(text(byAddress, WatchListModel::ColResourceName), u"*named6"_s);
        EXPECT_EQ(status(byAddress), StatusLoggedIn);
        // A name that does not resolve leaves nothing to probe.
        EXPECT_EQ(text(nowhere, WatchListModel::ColAddress), QString());
        EXPECT_EQ(text(nowhere, WatchListModel::ColResult), QString());
        EXPECT_EQ(status(nowhere), StatusLoggedOut);
        EXPECT_EQ(events.takeCalls(), QStringList({u"report 1 [user5\tterm5|user6\tnamed6]"_s,
                                                   u"report 2 [user7\tnosuchhost]"_s}));

        // The watch list file never keeps a starred address.
        ASSERT_TRUE(SaveList(model, dir.path("list.NT")));
        WatchListModel reloaded;
        ASSERT_TRUE(LoadList(reloaded, dir.path("list.NT")));
        EXPECT_EQ(reloaded.text(byName, WatchListModel::ColAddress), QString());

        // The terminals stop answering.
        ASSERT_TRUE(NetNamespace::current().sysctl(u"net/ipv4/icmp_echo_ignore_all"_s, u"1"_s));
        ASSERT_TRUE(pass());
        EXPECT_EQ(status(byName), StatusLoggedOut);
        EXPECT_EQ(text(byName, WatchListModel::ColAddress), QString()) << "a found address is forgotten";
        EXPECT_EQ(text(byName, WatchListModel::ColResult), u"IP_REQ_TIMED_OUT"_s);
        EXPECT_EQ(status(byAddress), StatusLoggedOut);
        EXPECT_EQ(text(byAddress, WatchListModel::ColAddress), u"127.  0.  0.  6"_s) << "a given address stays";
        EXPECT_EQ(text(byAddress, WatchListModel::ColResourceName), u"*named6"_s);
        EXPECT_EQ(text(byAddress, WatchListModel::ColMAC), QString()) << "[Logout] AutoMAC clears it";
        EXPECT_EQ(events.takeCalls(), QStringList({u"report 2 [user5\tterm5|user6\t*named6]"_s}));

        // Back again: the name is looked up anew.
        ASSERT_TRUE(NetNamespace::current().sysctl(u"net/ipv4/icmp_echo_ignore_all"_s, u"0"_s));
        ASSERT_TRUE(pass());
        EXPECT_EQ(text(byName, WatchListModel::ColAddress), u"*127.  0.  0.  5"_s);
        EXPECT_EQ(status(byName), StatusLoggedIn);
    });
}

TEST_F(AddressCheck, AHardwareAddressIsFetchedAtLoginOnlyWhenTheRowHasNone)
{
    NetNamespace::run({}, [this] {
        const NetNamespace peer = NetNamespace::create();
        ASSERT_TRUE(linkPeerWithKnownMac(peer));
        Settings.Login.AutoMAC = true;
        const int empty = add(u"user1"_s, u"PEER"_s, KindStandard, true, u"10.9.0.2"_s);
        const int kept = add(u"user2"_s, u"PEER2"_s, KindStandard, true, u"10.9.0.2"_s);
        model.setText(kept, WatchListModel::ColMAC, u"00:11:22:33:44:55"_s);
        const int local = add(u"user3"_s, u"SELF"_s, KindStandard, true, u"127.0.0.1"_s);

        ASSERT_TRUE(pass());
        EXPECT_EQ(status(empty), StatusLoggedIn);
        EXPECT_EQ(text(empty, WatchListModel::ColMAC), u"02:AB:CD:EF:01:23"_s);
        EXPECT_EQ(text(kept, WatchListModel::ColMAC), u"00:11:22:33:44:55"_s) << "a MAC already there stays";
        EXPECT_EQ(text(local, WatchListModel::ColMAC), QString()) << "this machine has no neighbour entry";

        // [Logout] AutoMAC off: a terminal that goes keeps its MAC.
        ASSERT_TRUE(peer.sysctl(u"net/ipv4/icmp_echo_ignore_all"_s, u"1"_s));
        ASSERT_TRUE(pass());
        EXPECT_EQ(status(empty), StatusLoggedOut);
        EXPECT_EQ(text(empty, WatchListModel::ColMAC), u"02:AB:CD:EF:01:23"_s);
    });
}

// The console is busy (handling no events) when the pass reaches a MAC to
// fill: the worker still gets to the end of its loop, and stopping the pass
// then keeps the MAC it fetched.
TEST_F(AddressCheck, AMacFillNeedsNoConsoleAndAStopKeepsIt)
{
    NetNamespace::run({}, [this] {
        const NetNamespace peer = NetNamespace::create();
        ASSERT_TRUE(linkPeerWithKnownMac(peer));
        Settings.Login.AutoMAC = true;
        const int row = add(u"user1"_s, u"PEER"_s, KindStandard, true, u"10.9.0.2"_s);

        engine.StartPass(-1);
        QElapsedTimer busy;
        busy.start();
        while (!engine.Worker->isFinished() && busy.elapsed() < 10000)
            QThread::msleep(5);
        EXPECT_TRUE(engine.Worker->isFinished()) << "the worker waited for the console";
        engine.StopPass();
        EXPECT_FALSE(engine.PassRunning());
        EXPECT_EQ(status(row), StatusLoggedIn);
        EXPECT_EQ(text(row, WatchListModel::ColMAC), u"02:AB:CD:EF:01:23"_s);
    });
}
