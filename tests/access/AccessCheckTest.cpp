#include "access/AccessCheck.h"
#include "access/AccessListView.h"
#include "access/AccessRows.h"
#include "config/Settings.h"
#include "engine/WatchListModel.h"
#include "events/MessageQueue.h"
#include "events/Messenger.h"
#include "platform/NoMailslotTransport.h"
#include "platform/SmbclientMessageTransport.h"
#include "process/ProcessFlags.h"
#include "support/FakeServerApi.h"
#include "support/WaitFor.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QTimer>

#include <chrono>
#include <thread>

#include <gtest/gtest.h>

namespace {

class FakeListView : public AccessListView {
public:
    int Selected = -1;
    AccessRowList Rows;
    int Reselected = -2;
    bool Shown = false;
    bool Automatic = false;
    int Closes = 0;

    int SelectedIndex() const override { return Selected; }
    void SetRows(const AccessRowList &rows, int select) override
    {
        Rows = rows;
        Reselected = select;
    }
    bool IsShown() const override { return Shown; }
    bool OpenedAutomatically() const override { return Automatic; }
    void ShowAccessList(bool automatic) override
    {
        Shown = true;
        Automatic = automatic;
    }
    void CloseList() override
    {
        Shown = false;
        ++Closes;
    }
    void ShowScanFailure(const QString &why) override { Status << why; }
    QStringList Status;
};

class AccessCheckTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Settings = ProgramSettings();
        Settings.Access.CheckInterval = 3;
        Settings.Access.CheckLevel = 2;
        Settings.Access.ReportLevel = 2;
        ServiceRunning = true;
        WatchBusy = false;
        server.SessionTable = {{QStringLiteral("PC01"), QStringLiteral("tanaka"), 60, 0}};
        server.ConnectionTable[QStringLiteral("PC01")] = {{QStringLiteral("DATA"), QStringLiteral("tanaka")}};
        server.ShareTable[QStringLiteral("DATA")] = QStringLiteral("/srv/data");
        check.Server = &server;
        check.Rows = &rows;
        check.ListView = &view;
        check.Family = [this] { return family; };
        check.SendMessenger = [this](const QString &to, const QString &text, std::function<void(bool)> done) {
            sent << to + QLatin1Char('|') + text;
            done(sendResult);
        };
        check.RaiseAccessEvent = [this](const QStringList &report) {
            reports << report;
            detailAtEvent = check.AccessDetailList;
            EXPECT_TRUE(WatchBusy);
        };
        ASSERT_TRUE(check.LoadAccessLibrary(2));
    }
    void TearDown() override
    {
        ServiceRunning = false;
        WatchBusy = false;
    }

    // Ticks until a scan has run (the interval's last tick) and its result
    // has been applied.
    void tickToScan()
    {
        check.AccessTicks = int(Settings.Access.CheckInterval);
        check.AccessTick();
        ASSERT_TRUE(scanOver());
    }
    bool scanOver()
    {
        return WaitFor([this] { return !check.ScanRunning(); });
    }

    FakeServerApi server;
    WatchListModel rows;
    FakeListView view;
    AccessCheck check;
    int family = 2;
    bool sendResult = true;
    QStringList sent;
    QList<QStringList> reports;
    QStringList detailAtEvent;
};

} // namespace

TEST_F(AccessCheckTest, ScansOnTheTickAfterTheInterval)
{
    for (int i = 0; i < 3; ++i) {
        check.AccessTick();
        EXPECT_TRUE(reports.isEmpty()) << i;
        EXPECT_TRUE(check.tmAccess.isActive());
    }
    EXPECT_EQ(check.AccessTicks, 3);
    check.AccessTick();
    ASSERT_TRUE(scanOver());
    ASSERT_EQ(reports.size(), 1);
    EXPECT_EQ(check.AccessTicks, 0);
    EXPECT_FALSE(WatchBusy);
    EXPECT_TRUE(check.tmAccess.isActive());

    // Ticks that find the service stopped or the engine busy are not counted.
    ServiceRunning = false;
    check.AccessTick();
    ServiceRunning = true;
    WatchBusy = true;
    check.AccessTick();
    WatchBusy = false;
    EXPECT_EQ(check.AccessTicks, 0);
}

TEST_F(AccessCheckTest, EventCarriesReportAndDetailLinesOnce)
{
    tickToScan();
    ASSERT_EQ(reports.size(), 1);
    EXPECT_EQ(reports[0], QStringList{QStringLiteral("*tanaka\tPC01")});
    EXPECT_EQ(detailAtEvent, (QStringList{QStringLiteral("0*tanaka\tPC01\t00:01:00\t00:01:00"),
                                          QStringLiteral("1DATA\ttanaka")}));
    // Nothing new at the next scan: no second event.
    tickToScan();
    EXPECT_EQ(reports.size(), 1);

    // A second terminal: the event lists both.
    server.SessionTable.push_back({QStringLiteral("PC02"), QStringLiteral("suzuki"), 5, 0});
    tickToScan();
    ASSERT_EQ(reports.size(), 2);
    EXPECT_EQ(reports[1], (QStringList{QStringLiteral("*tanaka\tPC01"), QStringLiteral("*suzuki\tPC02")}));
}

TEST_F(AccessCheckTest, RowsAndGreetingOfNewSessions)
{
    Settings.Messenger.AutoSend = true;
    Settings.Messenger.SendMessage = QStringLiteral("ようこそ\r\n2行目");
    server.SessionTable.push_back({QStringLiteral("PC02"), QStringLiteral("suzuki"), 5, 0});
    view.Selected = 1;
    tickToScan();
    EXPECT_EQ(sent, (QStringList{QStringLiteral("PC01|ようこそ\r\n2行目"), QStringLiteral("PC02|ようこそ\r\n2行目")}));
    ASSERT_EQ(view.Rows.size(), 3u);
    EXPECT_EQ(view.Rows[0].Caption, QStringLiteral("PC01"));
    EXPECT_EQ(view.Rows[0].Columns,
              (QStringList{QStringLiteral("*tanaka"), QStringLiteral("00:01:00"), QStringLiteral("00:01:00"),
                           QStringLiteral("OK")}));
    EXPECT_EQ(view.Rows[1].Level, 1);
    EXPECT_EQ(view.Reselected, 1);

    // Known sessions are not greeted again; the column empties.
    sent.clear();
    sendResult = false;
    server.SessionTable.push_back({QStringLiteral("PC03"), QStringLiteral("sato"), 5, 0});
    view.Selected = 7;
    tickToScan();
    EXPECT_EQ(sent, QStringList{QStringLiteral("PC03|ようこそ\r\n2行目")});
    EXPECT_EQ(view.Rows[0].Columns[AccessMessageColumn], QString());
    EXPECT_EQ(view.Rows.back().Columns[AccessMessageColumn], QStringLiteral("NG"));
    EXPECT_EQ(view.Reselected, -1);

    // Without a family that can send, nothing is sent and nothing shown.
    sent.clear();
    family = 3;
    check.AccessSessionList.clear();
    tickToScan();
    EXPECT_TRUE(sent.isEmpty());
}

// A client whose name leads to a port that accepts and never answers: the
// greeting goes on off the main thread, the tick returns before its outcome
// is known, and the outcome reaches the list when the send gives up.
TEST_F(AccessCheckTest, AGreetingThatHangsNeverHoldsTheScan)
{
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof at;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr *>(&at), sizeof at), 0);
    ASSERT_EQ(::listen(listener, 8), 0);  // the kernel accepts; nobody answers
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr *>(&at), &length), 0);

    SmbclientMessageTransport transport;
    transport.Address = QStringLiteral("127.0.0.1");
    transport.Port = ntohs(at.sin_port);
    transport.TimeoutMs = 2000;
    NoMailslotTransport mailslot;
    Messenger messenger(transport, mailslot, [] { return QStringLiteral("ME"); });
    messenger.Family = [] { return 2; };
    MessageQueue sends(messenger);
    check.SendMessenger = [&](const QString &to, const QString &text, std::function<void(bool)> done) {
        sends.Send(to, text, &check, std::move(done));
    };
    Settings.Messenger.AutoSend = true;
    Settings.Messenger.SendMessage = QStringLiteral("ようこそ");

    tickToScan();
    ASSERT_EQ(view.Rows.size(), 2u);
    EXPECT_EQ(view.Rows[0].Columns[AccessMessageColumn], QString()) << "the tick waited for the send";
    EXPECT_TRUE(WaitFor([&] { return view.Rows[0].Columns[AccessMessageColumn] == QStringLiteral("NG"); }, 15000));
    ::close(listener);
}

TEST_F(AccessCheckTest, AutomaticCloseOnlyForAListTheCheckOpened)
{
    Settings.Access.AccessListAutoClose = true;
    tickToScan();
    view.ShowAccessList(false);
    server.SessionTable.clear();
    tickToScan();
    EXPECT_EQ(view.Closes, 0);
    EXPECT_TRUE(view.Shown);

    view.ShowAccessList(true);
    tickToScan();
    EXPECT_EQ(view.Closes, 1);

    // Not while the list still has rows.
    server.SessionTable = {{QStringLiteral("PC01"), QStringLiteral("tanaka"), 60, 0}};
    view.ShowAccessList(true);
    tickToScan();
    EXPECT_EQ(view.Closes, 1);
}

TEST_F(AccessCheckTest, WithoutTheServerNothingIsScanned)
{
    server.Loadable = false;
    EXPECT_FALSE(check.LoadAccessLibrary(2));
    tickToScan();
    EXPECT_TRUE(check.AccessSessionList.empty());
    EXPECT_TRUE(reports.isEmpty());
    server.Loadable = true;
    EXPECT_FALSE(check.LoadAccessLibrary(3));
}

TEST(AddSessionRowsTest, LevelsOrderAndDuplicates)
{
    AccessSession s;
    s.Terminal = QStringLiteral("PC01");
    s.UserName = QStringLiteral("*tanaka");
    s.ConnectTime = QStringLiteral("00:01:00");
    s.AccessTime = QStringLiteral("00:00:30");
    s.Connections.resize(2);
    s.Connections[0].ShareName = QStringLiteral("DATA");
    s.Connections[0].Account = QStringLiteral("tanaka");
    s.Connections[0].Files = {{QStringLiteral("a.txt")}, {QStringLiteral("a.txt")}, {QStringLiteral("b.txt")}};
    s.Connections[1].ShareName = QStringLiteral("WORK");
    s.Connections[1].Account = QStringLiteral("tanaka");
    AccessSession other;
    other.Terminal = QStringLiteral("PC02");

    AccessRowList rows;
    EXPECT_EQ(AddSessionRows(rows, s, 2), 0u);
    EXPECT_EQ(AddSessionRows(rows, other, 2), 5u);
    // The same terminal again adds its children under the existing row,
    // before the next terminal.
    AccessSession again;
    again.Terminal = QStringLiteral("PC01");
    again.Connections.resize(1);
    again.Connections[0].ShareName = QStringLiteral("MORE");
    EXPECT_EQ(AddSessionRows(rows, again, 2), 0u);

    QStringList shape;
    for (const AccessRow &r : rows)
        shape << QStringLiteral("%1%2:%3:%4").arg(r.Level).arg(r.Image).arg(r.Caption, r.Columns.join(QLatin1Char(',')));
    EXPECT_EQ(shape, (QStringList{QStringLiteral("00:PC01:*tanaka,00:01:00,00:00:30,"), QStringLiteral("11:DATA:tanaka"),
                                  QStringLiteral("22:a.txt:"), QStringLiteral("22:b.txt:"), QStringLiteral("11:WORK:tanaka"),
                                  QStringLiteral("11:MORE:"), QStringLiteral("00:PC02:,,,")}));

    // The consumer family has no account column.
    AccessRowList consumer;
    AddSessionRows(consumer, s, 1);
    EXPECT_TRUE(consumer[1].Columns.isEmpty());
}

// Windows clients always hold IPC$ beside the share they use.
TEST_F(AccessCheckTest, IgnoredIpcBesideAShareStillMakesTheSessionNew)
{
    Settings.Access.IPCNoChk = true;
    Settings.Access.CheckLevel = 1;
    Settings.Access.ReportLevel = 0;
    Settings.Messenger.AutoSend = true;
    Settings.Messenger.SendMessage = QStringLiteral("hello");
    server.ConnectionTable[QStringLiteral("PC01")] = {{QStringLiteral("IPC$"), QStringLiteral("tanaka")},
                                                      {QStringLiteral("DATA"), QStringLiteral("tanaka")}};
    tickToScan();
    ASSERT_EQ(reports.size(), 1);
    EXPECT_EQ(sent, QStringList{QStringLiteral("PC01|hello")});

    // A client that only browses holds nothing but IPC$: no news until it
    // connects a share.
    server.SessionTable.push_back({QStringLiteral("PC02"), QStringLiteral("suzuki"), 5, 0});
    server.ConnectionTable[QStringLiteral("PC02")] = {{QStringLiteral("IPC$"), QStringLiteral("suzuki")}};
    tickToScan();
    EXPECT_EQ(reports.size(), 1);
    server.ConnectionTable[QStringLiteral("PC02")].push_back({QStringLiteral("DATA"), QStringLiteral("suzuki")});
    tickToScan();
    ASSERT_EQ(reports.size(), 2);
    EXPECT_EQ(sent.last(), QStringLiteral("PC02|hello"));
    tickToScan();
    EXPECT_EQ(reports.size(), 2);
}

TEST_F(AccessCheckTest, FailedScanKeepsTheTreeAndSaysWhy)
{
    Settings.Messenger.AutoSend = true;
    tickToScan();
    ASSERT_EQ(reports.size(), 1);
    ASSERT_EQ(sent.size(), 1);

    server.SessionsFail = true;
    server.Failure = QStringLiteral("smbstatus exited with code 1");
    testing::internal::CaptureStderr();
    tickToScan();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "corvane: access scan failed: smbstatus exited with code 1\n");
    EXPECT_EQ(check.AccessSessionList.size(), 1u);
    EXPECT_EQ(view.Rows.size(), 2u);

    server.SessionsFail = false;
    tickToScan();
    EXPECT_EQ(reports.size(), 1);
    EXPECT_EQ(sent.size(), 1);
}

TEST_F(AccessCheckTest, AFailureThatLastsIsToldOnceUntilTheScanWorksAgain)
{
    server.SessionsFail = true;
    server.Failure = QStringLiteral("smbstatus only works as root");
    testing::internal::CaptureStderr();
    tickToScan();
    tickToScan();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "corvane: access scan failed: smbstatus only works as root\n");
    EXPECT_EQ(view.Status, QStringList{server.Failure});

    server.SessionsFail = false;
    tickToScan();
    EXPECT_EQ(view.Status, (QStringList{server.Failure, QString()}));
    server.SessionsFail = true;
    testing::internal::CaptureStderr();
    tickToScan();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "corvane: access scan failed: smbstatus only works as root\n");
}

// A client whose name the resolver is slow to give, or a server status that
// takes seconds: the console goes on serving while the scan waits, the
// engine stays marked busy, and the result arrives once the server answers.
TEST_F(AccessCheckTest, AServerThatHangsNeverHoldsTheConsole)
{
    server.Hold();
    check.AccessTicks = int(Settings.Access.CheckInterval);
    check.AccessTick();
    ASSERT_TRUE(server.WaitHeld());

    bool served = false;
    QTimer::singleShot(0, &check, [&] { served = true; });
    EXPECT_TRUE(WaitFor([&] { return served; }));
    EXPECT_TRUE(check.ScanRunning());
    EXPECT_TRUE(WatchBusy);
    EXPECT_TRUE(reports.isEmpty());
    EXPECT_TRUE(view.Rows.empty());

    // The check command meanwhile starts no second scan.
    check.AccessTicks = int(Settings.Access.CheckInterval);
    check.AccessTick();
    server.Open();
    ASSERT_TRUE(scanOver());
    EXPECT_EQ(server.SessionQueries(), 1);
    ASSERT_EQ(reports.size(), 1);
    EXPECT_EQ(view.Rows.size(), 2u);
    EXPECT_FALSE(WatchBusy);
    EXPECT_EQ(check.AccessTicks, 0);
    EXPECT_TRUE(check.tmAccess.isActive());
}

// The program ends while the server is silent: the stop waits for the
// server's answer, and nothing of that scan is applied afterwards.
TEST_F(AccessCheckTest, StoppingWhileTheServerHangsAppliesNothing)
{
    server.Hold();
    check.AccessTicks = int(Settings.Access.CheckInterval);
    check.AccessTick();
    ASSERT_TRUE(server.WaitHeld());
    std::thread answer([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        server.Open();
    });
    check.StopScan();
    answer.join();
    EXPECT_FALSE(check.ScanRunning());
    EXPECT_FALSE(WatchBusy);

    WaitFor([] { return false; }, 300);
    EXPECT_TRUE(reports.isEmpty());
    EXPECT_TRUE(view.Rows.empty());
    EXPECT_TRUE(check.AccessSessionList.empty());
    EXPECT_FALSE(check.tmAccess.isActive());
}
