// The server information parser over recorded answers, and the real browser
// against a private Samba server on loopback.
#include "platform/Platform.h"
#include "platform/SambaPlatformQuery.h"
#include "support/SambaTestServer.h"

#include <gtest/gtest.h>

namespace {

const QByteArray Recorded = "\tCORVANETEST    Wk Sv PrQ Unx NT SNT Samba 4.17.12-Debian\n"
                            "\tplatform_id     :\t500\n"
                            "\tos version      :\t6.1\n"
                            "\tserver type     :\t0x809a03\n";

TEST(ParseServerInfo, ReadsNamePlatformAndTypeBits)
{
    ServerListEntry e;
    ASSERT_TRUE(ParseServerInfo(Recorded, e));
    EXPECT_EQ(e.Name, QStringLiteral("CORVANETEST"));
    EXPECT_EQ(e.PlatformId, 500u);
    EXPECT_EQ(e.Type, 0x809a03u);

    // An older server without a comment, type bits of a consumer-family one,
    // CR LF line ends and a name beyond ASCII.
    ASSERT_TRUE(ParseServerInfo("\r\n\tＰＣ０１\r\n\tplatform_id     :\t400\r\n\tserver type     :\t0x400003\r\n", e));
    EXPECT_EQ(e.Name, QStringLiteral("ＰＣ０１"));
    EXPECT_EQ(ServerTypeName(e.PlatformId, e.Type), QStringLiteral("Windows 9x"));
}

TEST(ParseServerInfo, ErrorsAndMalformedAnswersGiveNoEntry)
{
    const ServerListEntry before{QStringLiteral("KEEP"), 1, 2};
    const QList<QByteArray> bad{
        {},
        "Cannot connect to server.  Error was NT_STATUS_CONNECTION_REFUSED\n",
        "result was WERR_ACCESS_DENIED\n",
        // A key where the name belongs.
        "\tplatform_id     :\t500\n\tserver type     :\t0x809a03\n",
        // Missing or malformed numbers.
        "\tPC01  comment\n\tplatform_id     :\t500\n",
        "\tPC01  comment\n\tserver type     :\t0x809a03\n",
        "\tPC01  comment\n\tplatform_id     :\tfive\n\tserver type     :\t0x809a03\n",
        "\tPC01  comment\n\tplatform_id     :\t500\n\tserver type     :\t809a03\n",
        "\tPC01  comment\n\tplatform_id     :\t500\n\tserver type     :\t0x\n",
        "\tPC01  comment\n\tplatform_id     :\t99999999999\n\tserver type     :\t0x1\n",
        "\tPC01  comment\n\tplatform_id      500\n\tserver type     :\t0x1\n",
    };
    for (const QByteArray &output : bad) {
        ServerListEntry e = before;
        EXPECT_FALSE(ParseServerInfo(output, e)) << output.constData();
        EXPECT_EQ(e.Name, before.Name);
        EXPECT_EQ(e.PlatformId, before.PlatformId);
    }
}

TEST(SambaPlatformQuery, AsksAnonymouslyAndHonoursTheEnvironment)
{
    qputenv("CORVANE_SMB_ADDRESS", "127.0.0.1");
    qputenv("CORVANE_SMB_PORT", "4455");
    qputenv("CORVANE_SMB_CONF", "/tmp/x/smb.conf");
    SambaPlatformQuery b;
    qunsetenv("CORVANE_SMB_ADDRESS");
    qunsetenv("CORVANE_SMB_PORT");
    qunsetenv("CORVANE_SMB_CONF");
    const QStringList args = b.Arguments(QStringLiteral("-PC"));
    EXPECT_TRUE(args.contains(QStringLiteral("--user=%")));
    EXPECT_TRUE(args.contains(QStringLiteral("--no-pass")));
    EXPECT_TRUE(args.contains(QStringLiteral("--dest-ip=127.0.0.1")));
    EXPECT_TRUE(args.contains(QStringLiteral("--port=4455")));
    EXPECT_TRUE(args.contains(QStringLiteral("--configfile=/tmp/x/smb.conf")));
    // The computer name comes last, after the end of the options.
    ASSERT_GE(args.size(), 2);
    EXPECT_EQ(args.mid(args.size() - 2), QStringList({QStringLiteral("--"), QStringLiteral("-PC")}));

    SambaPlatformQuery plain;
    for (const QString &a : plain.Arguments(QStringLiteral("PC")))
        EXPECT_FALSE(a.startsWith(QStringLiteral("--dest-ip")) || a.startsWith(QStringLiteral("--port"))
                     || a.startsWith(QStringLiteral("--configfile")));
}

TEST(SambaPlatformQuery, NamesThisMachineWithoutTheNetwork)
{
    SambaPlatformQuery real;
    real.Program = QStringLiteral("corvane-no-such-program");
    const QString name = real.ComputerName();
    EXPECT_FALSE(name.isEmpty());
    EXPECT_EQ(name, name.toUpper());
    EXPECT_EQ(RemotePlatformName(name, QStringLiteral("WORKGROUP"), real), PlatformName());
    // Without the client there is no list.
    QList<ServerListEntry> servers{{QStringLiteral("X"), 0, 0}};
    EXPECT_FALSE(real.ListServers(QStringLiteral("WORKGROUP"), QStringLiteral("PC1"), servers));
    EXPECT_TRUE(servers.isEmpty());
}

class SambaPlatformQueryServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const QString why = SambaTestServer::Unavailable();
        if (!why.isEmpty())
            GTEST_SKIP() << why.toStdString();
        if (QStandardPaths::findExecutable(QStringLiteral("rpcclient")).isEmpty())
            GTEST_SKIP() << "rpcclient is not installed";
        ASSERT_TRUE(server.Start());
        browser.Address = QStringLiteral("127.0.0.1");
        browser.Port = server.Port();
        browser.TimeoutMs = 15000;  // the first call starts the RPC daemon
        QList<ServerListEntry> servers;
        if (!browser.ListServers({}, QStringLiteral("CORVANETEST"), servers))
            GTEST_SKIP() << "the private Samba server does not answer the server service without an account";
    }

    SambaTestServer server;
    SambaPlatformQuery browser;
};

TEST_F(SambaPlatformQueryServerTest, TheServerNamesItsOwnSystem)
{
    QList<ServerListEntry> servers;
    ASSERT_TRUE(browser.ListServers(QStringLiteral("CORVANE"), QStringLiteral("CORVANETEST"), servers));
    ASSERT_EQ(servers.size(), 1);
    EXPECT_EQ(servers[0].Name, QStringLiteral("CORVANETEST"));
    EXPECT_EQ(servers[0].PlatformId, 500u);
    EXPECT_TRUE(servers[0].Type & SV_TYPE_NT);

    EXPECT_EQ(RemotePlatformName(QStringLiteral("CORVANETEST"), QStringLiteral("CORVANE"), browser),
              QStringLiteral("Windows NT"));
    // The server at that address calls itself CORVANETEST, so another name
    // finds no entry of its own.
    EXPECT_EQ(RemotePlatformName(QStringLiteral("OTHERPC"), QStringLiteral("CORVANE"), browser), QString());
}

TEST_F(SambaPlatformQueryServerTest, NoServerAtThePortGivesNoList)
{
    browser.Port = SambaTestServer::FreePort();
    QList<ServerListEntry> servers;
    EXPECT_FALSE(browser.ListServers({}, QStringLiteral("CORVANETEST"), servers));
    EXPECT_TRUE(servers.isEmpty());
    EXPECT_EQ(RemotePlatformName(QStringLiteral("CORVANETEST"), {}, browser), QString());
}

}  // namespace
