// Presence beyond the echo, in private network namespaces: terminals that
// drop echo requests, ports that answer, and logouts that wait for more
// than one missed pass.

#include "support/EngineHarness.h"

#include "support/NetNamespace.h"

#include <QProcess>

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
