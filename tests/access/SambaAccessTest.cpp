// The access scan against a private Samba server on 127.0.0.1 with real
// clients holding sessions, shares and open files.
#include "access/AccessCheck.h"
#include "access/AccessScan.h"
#include "config/Settings.h"
#include "engine/WatchListModel.h"
#include "events/Messenger.h"
#include "platform/NoMailslotTransport.h"
#include "platform/SambaServerApi.h"
#include "platform/SmbclientMessageTransport.h"
#include "process/ProcessFlags.h"
#include "support/SambaTestServer.h"
#include "support/WaitFor.h"

#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

class SambaAccessTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const QString why = SambaTestServer::Unavailable();
        if (!why.isEmpty())
            GTEST_SKIP() << why.toStdString();
        ASSERT_TRUE(server.Start());
        for (const char *name : {"a.txt", "b.txt"}) {
            QFile f(server.ShareDir() + QLatin1Char('/') + QLatin1String(name));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write("x");
        }
        api = std::make_unique<SambaServerApi>(server.Config());
        // The client's address is 127.0.0.1; give it a name without asking
        // any resolver.
        api->NameOfAddress = [](const QString &address) {
            return address == QLatin1String("127.0.0.1") ? QStringLiteral("testpc.corvane.test") : QString();
        };
        ASSERT_TRUE(api->Load());
        options.CheckLevel = 2;
        options.ReportLevel = 2;
    }

    // Scans until the tree satisfies pred (Samba shows a client a moment
    // after it has connected).
    bool scanUntil(const std::function<bool()> &pred)
    {
        return SambaTestServer::WaitFor([&] {
            ScanAccesses(list, *api, 2, rows, WatchListModel::ColResourceName, false, options);
            return pred();
        });
    }

    size_t fileCount() const
    {
        return list.empty() || list[0].Connections.empty() ? 0 : list[0].Connections[0].Files.size();
    }

    SambaTestServer server;
    std::unique_ptr<SambaServerApi> api;
    WatchListModel rows;
    AccessScanOptions options;
    AccessSessions list;
};

} // namespace

TEST_F(SambaAccessTest, ClientWithAnOpenFileGivesTreeReportAndDetail)
{
    SambaTestServer::Client client(server.Port(), QStringLiteral("DATA"));
    client.Command("open a.txt");
    ASSERT_TRUE(scanUntil([&] { return fileCount() == 1; }));
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].Terminal, QStringLiteral("TESTPC"));
    EXPECT_EQ(list[0].UserName, QStringLiteral("*nobody"));
    ASSERT_EQ(list[0].Connections.size(), 1u);
    EXPECT_EQ(list[0].Connections[0].ShareName, QStringLiteral("DATA"));
    EXPECT_EQ(list[0].Connections[0].Account, QStringLiteral("nobody"));
    EXPECT_EQ(list[0].Connections[0].SharePath, server.ShareDir());
    EXPECT_EQ(list[0].Connections[0].Files[0].Path, QStringLiteral("a.txt"));
    EXPECT_EQ(CountNewSessions(list), 1);

    QStringList report, detail;
    BuildAccessReport(list, report, detail);
    EXPECT_EQ(report, QStringList{QStringLiteral("*nobody\tTESTPC")});
    ASSERT_EQ(detail.size(), 3);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^0\\*nobody\tTESTPC\t\\d\\d:\\d\\d:\\d\\d\t\\d\\d:\\d\\d:\\d\\d$"))
                    .match(detail[0]).hasMatch()) << detail[0].toStdString();
    EXPECT_EQ(detail[1], QStringLiteral("1DATA\tnobody"));
    EXPECT_EQ(detail[2], QStringLiteral("2DATA\\a.txt"));

    // The watch list names the terminal's user.
    WatchListModel::Row row;
    row.texts[WatchListModel::ColUserName] = QStringLiteral("テスト");
    row.texts[WatchListModel::ColResourceName] = QStringLiteral("TESTPC");
    rows.appendRow(row);
    ScanAccesses(list, *api, 2, rows, WatchListModel::ColResourceName, false, options);
    EXPECT_EQ(list[0].UserName, QStringLiteral("テスト"));
    EXPECT_EQ(CountNewSessions(list), 0);

    // A client that leaves is pruned at the next scan.
    client.Disconnect();
    ASSERT_TRUE(scanUntil([&] { return list.empty(); }));
}

TEST_F(SambaAccessTest, CheckAndReportLevelsAgainstNewFiles)
{
    SambaTestServer::Client client(server.Port(), QStringLiteral("DATA"));
    client.Command("open a.txt");
    options.CheckLevel = 0;
    options.ReportLevel = 0;
    ASSERT_TRUE(scanUntil([&] { return !list.empty(); }));
    EXPECT_TRUE(list[0].Connections.empty());

    options.CheckLevel = 1;
    ScanAccesses(list, *api, 2, rows, WatchListModel::ColResourceName, false, options);
    ASSERT_EQ(list[0].Connections.size(), 1u);
    EXPECT_TRUE(list[0].Connections[0].Files.empty());

    // Known session, report level 0: the file is recorded but is no news.
    QStringList report, detail;
    BuildAccessReport(list, report, detail);
    options.CheckLevel = 2;
    ASSERT_TRUE(scanUntil([&] { return fileCount() == 1; }));
    EXPECT_EQ(CountNewSessions(list), 0);

    // Report level 2: a second file makes the session new again.
    options.ReportLevel = 2;
    client.Command("open b.txt");
    ASSERT_TRUE(scanUntil([&] { return fileCount() == 2; }));
    EXPECT_EQ(CountNewSessions(list), 1);
}

TEST_F(SambaAccessTest, ServerInformationAndUnknownShares)
{
    ServerInformation info;
    ASSERT_TRUE(api->ServerInfo(info));
    EXPECT_EQ(info.Name, QStringLiteral("CORVANETEST"));
    EXPECT_EQ(info.PlatformId, 500u);
    QString path;
    EXPECT_TRUE(api->SharePath(QStringLiteral("data"), path));
    EXPECT_EQ(path, server.ShareDir());
    EXPECT_FALSE(api->SharePath(QStringLiteral("IPC$"), path));
    EXPECT_TRUE(path.isEmpty());

    // Without its tools the server cannot be asked.
    SambaServerApi missing(server.Config());
    missing.StatusProgram = QStringLiteral("/nonexistent/smbstatus");
    EXPECT_FALSE(missing.Load());
    std::vector<ServerSession> sessions;
    EXPECT_FALSE(missing.Sessions(sessions));
}

TEST_F(SambaAccessTest, LoneIpcConnectionIsNotNew)
{
    SambaTestServer::Client client(server.Port(), QStringLiteral("IPC$"));
    options.IPCNoChk = true;
    // Wait until the server shows the connection, then take one fresh scan.
    ASSERT_TRUE(SambaTestServer::WaitFor([&] {
        std::vector<ServerSession> sessions;
        std::vector<ServerConnection> connections;
        return api->Sessions(sessions) && api->Connections(QStringLiteral("\\\\TESTPC"), connections)
               && !connections.empty();
    }));
    ScanAccesses(list, *api, 2, rows, WatchListModel::ColResourceName, false, options);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_FALSE(list[0].IsNew);
    EXPECT_TRUE(list[0].Connections.empty());
    EXPECT_EQ(CountNewSessions(list), 0);
}

TEST_F(SambaAccessTest, AccessTickGreetsTheNewTerminalAndRaisesTheEvent)
{
    SmbclientMessageTransport transport;
    transport.Address = QStringLiteral("127.0.0.1");
    transport.Port = server.Port();
    NoMailslotTransport mailslot;
    Messenger messenger(transport, mailslot, [] { return QStringLiteral("CORVANEPC"); });
    messenger.Family = [] { return 2; };

    Settings = ProgramSettings();
    Settings.Access.CheckLevel = 2;
    Settings.Access.ReportLevel = 2;
    Settings.Messenger.AutoSend = true;
    Settings.Messenger.SendMessage = QStringLiteral("共有ﾌｫﾙﾀﾞを使用中です。\r\nようこそ");
    AccessCheck check;
    check.Server = api.get();
    check.Rows = &rows;
    check.Family = [] { return 2; };
    check.SendMessenger = [&](const QString &to, const QString &text, std::function<void(bool)> done) {
        done(messenger.SendMessenger(to, text));
    };
    QList<QStringList> reports;
    check.RaiseAccessEvent = [&](const QStringList &report) { reports << report; };
    ASSERT_TRUE(check.LoadAccessLibrary(2));
    ServiceRunning = true;

    SambaTestServer::Client client(server.Port(), QStringLiteral("DATA"));
    client.Command("open a.txt");
    ASSERT_TRUE(SambaTestServer::WaitFor([&] {
        check.AccessTicks = 0;
        check.AccessTick();
        WaitFor([&] { return !check.ScanRunning(); });
        return !reports.isEmpty();
    }));
    ServiceRunning = false;
    EXPECT_EQ(reports[0], QStringList{QStringLiteral("*nobody\tTESTPC")});
    EXPECT_TRUE(check.AccessDetailList.first().startsWith(QStringLiteral("0*nobody\tTESTPC\t")));
    ASSERT_TRUE(SambaTestServer::WaitFor([&] { return !server.Messages().isEmpty(); }));
    const auto messages = server.Messages();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0].Sender, QStringLiteral("CORVANEPC"));
    EXPECT_EQ(messages[0].Text, Settings.Messenger.SendMessage);
}
