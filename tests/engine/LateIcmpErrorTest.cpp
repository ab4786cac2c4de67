// A terminal switched off on the local link: its echo times out, and address
// resolution gives up on it only later. What the kernel then reports belongs
// to that terminal alone and must not reach the terminals checked after it.

#include "support/EngineHarness.h"

#include "support/NetNamespace.h"

#include <QRegularExpression>

#include <chrono>
#include <thread>

namespace {

class LateIcmpError : public EngineHarness {};

} // namespace

TEST_F(LateIcmpError, AnsweringTerminalStaysLoggedInAfterASilentNeighbour)
{
    NetNamespace::run({}, [this] {
        // here 10.9.0.1 -- 10.9.0.2 peer; nobody has 10.9.0.77. Resolution
        // gives up after two probes 400 ms apart, after the echo's 500 ms.
        const NetNamespace here = NetNamespace::current();
        const NetNamespace peer = NetNamespace::create();
        ASSERT_TRUE(NetNamespace::link(here, "vhere", "10.9.0.1/24", peer, "vpeer", "10.9.0.2/24"));
        ASSERT_TRUE(here.sysctl(u"net/ipv4/neigh/vhere/ucast_solicit"_s, u"0"_s));
        ASSERT_TRUE(here.sysctl(u"net/ipv4/neigh/vhere/mcast_solicit"_s, u"2"_s));
        ASSERT_TRUE(here.sysctl(u"net/ipv4/neigh/vhere/retrans_time_ms"_s, u"400"_s));
        Settings.Logout.ManagerReport = true;
        Settings.Logout.AutoMAC = true;
        const int live = add(u"user1"_s, u"LIVE"_s, KindStandard, true, u"10.9.0.2"_s);
        const int gone = add(u"user2"_s, u"GONE"_s, KindStandard, true, u"10.9.0.77"_s);
        model.setText(live, WatchListModel::ColMAC, u"02:AB:CD:EF:01:23"_s);

        ASSERT_TRUE(pass());
        EXPECT_EQ(status(live), StatusLoggedIn);
        EXPECT_EQ(text(gone, WatchListModel::ColResult), u"IP_REQ_TIMED_OUT"_s);
        events.takeCalls();
        // The next pass comes after resolution has given up.
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));

        ASSERT_TRUE(pass());
        EXPECT_EQ(status(live), StatusLoggedIn);
        EXPECT_TRUE(QRegularExpression(u"^\\d+ms / TTL:64 / 0 Bytes$"_s)
                        .match(text(live, WatchListModel::ColResult))
                        .hasMatch())
            << text(live, WatchListModel::ColResult).toStdString();
        EXPECT_EQ(text(live, WatchListModel::ColMAC), u"02:AB:CD:EF:01:23"_s);
        EXPECT_EQ(status(gone), StatusLoggedOut);
        EXPECT_EQ(events.takeCalls(), QStringList());
    });
}
