// Network messages delivered to a private Samba server's message command.
#include "config/Settings.h"
#include "events/Messenger.h"
#include "platform/NoMailslotTransport.h"
#include "platform/SmbclientMessageTransport.h"
#include "support/NetNamespace.h"
#include "support/SambaTestServer.h"

#include <gtest/gtest.h>

namespace {

class MessengerSambaTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const QString why = SambaTestServer::Unavailable();
        if (!why.isEmpty())
            GTEST_SKIP() << why.toStdString();
        ASSERT_TRUE(server.Start());
        transport.Address = QStringLiteral("127.0.0.1");
        transport.Port = server.Port();
        messenger.Family = [] { return 2; };
        Settings = ProgramSettings();
    }

    bool waitForMessages(int count)
    {
        return SambaTestServer::WaitFor([&] { return server.Messages().size() >= count; });
    }

    SambaTestServer server;
    SmbclientMessageTransport transport;
    NoMailslotTransport mailslot;
    Messenger messenger{transport, mailslot, [] { return QStringLiteral("CORVANEPC"); }};
};

} // namespace

TEST_F(MessengerSambaTest, ManagerReportArrivesFromThisComputer)
{
    Settings.Config.Manager = QStringLiteral("CORVANETEST,CORVANETEST");
    const QStringList list{QStringLiteral("田中\tPC01"), QStringLiteral("ｽｽﾞｷ\tPC02")};
    messenger.ReportToManager(ReportKind::Access, &list);
    ASSERT_TRUE(waitForMessages(2));
    const auto messages = server.Messages();
    ASSERT_EQ(messages.size(), 2);
    for (const auto &m : messages) {
        EXPECT_EQ(m.Sender, QStringLiteral("CORVANEPC"));
        EXPECT_EQ(m.Text, QStringLiteral("田中：ｽｽﾞｷ\r\nにアクセスされています！"));
    }
}

TEST_F(MessengerSambaTest, GreetingOfExactlyHundredBytesArrivesAndLongerIsRefused)
{
    const QString hundred = QStringLiteral("ようこそ\r\n") + QString(90, QLatin1Char('x'));
    ASSERT_EQ(hundred.size(), 96);
    EXPECT_TRUE(messenger.SendMessenger(QStringLiteral("CORVANETEST"), hundred));
    EXPECT_FALSE(messenger.SendMessenger(QStringLiteral("CORVANETEST"), hundred + QLatin1Char('y')));
    ASSERT_TRUE(waitForMessages(1));
    QThread::msleep(300);
    const auto messages = server.Messages();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0].Sender, QStringLiteral("CORVANEPC"));
    EXPECT_EQ(messages[0].Text, hundred);
}

TEST_F(MessengerSambaTest, NoServerIsAFailure)
{
    transport.Port = SambaTestServer::FreePort();
    EXPECT_FALSE(messenger.SendMessenger(QStringLiteral("NOBODY"), QStringLiteral("x")));
}

// A manager named only by the hosts file, as every other name of the
// program may be: the SMB client's own lookup (lmhosts here) does not know
// it, the system resolver does.
TEST(MessengerNamesTest, ManagerKnownToTheResolverOnlyGetsTheMessage)
{
    const QString why = SambaTestServer::Unavailable();
    if (!why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    NetNamespace::Options options;
    options.hosts = "127.0.0.1 localhost\n127.0.0.1 manager.corvane.test MANAGER\n";
    NetNamespace::run(options, [] {
        SambaTestServer server;
        ASSERT_TRUE(server.Start());
        TempDir dir;
        ASSERT_TRUE(dir.write(QStringLiteral("client.conf"), "[global]\n  name resolve order = lmhosts\n"));
        SmbclientMessageTransport transport;
        transport.Port = server.Port();
        transport.ConfigFile = dir.path(QStringLiteral("client.conf"));
        NoMailslotTransport mailslot;
        Messenger messenger{transport, mailslot, [] { return QStringLiteral("CORVANEPC"); }};
        messenger.Family = [] { return 2; };
        EXPECT_TRUE(messenger.SendMessenger(QStringLiteral("MANAGER"), QStringLiteral("ログイン")));
        ASSERT_TRUE(SambaTestServer::WaitFor([&] { return server.Messages().size() >= 1; }));
        EXPECT_EQ(server.Messages()[0].Text, QStringLiteral("ログイン"));
    });
}
