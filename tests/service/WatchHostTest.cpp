// The running system without any window: the host's watch pass and access
// check, on loopback, a fixture network and the private Samba server.

#include "access/AccessCheck.h"
#include "config/Settings.h"
#include "events/AccessEvent.h"
#include "platform/SambaPlatformQuery.h"
#include "process/ProcessFlags.h"
#include "service/SharedServices.h"
#include "service/WatchHost.h"
#include "probe/Probe.h"
#include "support/NetNamespace.h"
#include "support/EngineHarness.h"
#include "support/FakePlatform.h"
#include "support/SambaTestServer.h"
#include "support/WaitFor.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QHostAddress>
#include <QTcpSocket>
#include <QTcpServer>

namespace {

struct AccessOutlets : AccessEventOutlets {
    QStringList recorded;
    void ReportToManager(ReportKind, const QStringList &) override {}
    void RaiseAccessNotice(int, int, const QStringList &) override {}
    void ShowOpenSessionButton() override {}
    void IconAlert(int) override {}
    void ShowAccessNotice() override {}
    void WriteAccessRecord(const QStringList &detail) override { recorded = detail; }
    void OpenAccessListAutomatically() override {}
    void EnableAccessMenuItem() override {}
};

// A program folder of its own and the shared services, for a host made in
// the test.
struct HostFolder {
    TempDir dir;
    HostFolder()
    {
        ProgramDir = dir.path();
        ServiceRunning = true;
        WatchBusy = false;
        sharedServices = new SharedServices(std::make_unique<FakeShutdown>(), std::make_unique<SambaPlatformQuery>());
    }
    ~HostFolder()
    {
        delete sharedServices;
        sharedServices = nullptr;
    }
};

} // namespace

TEST(WatchHost, WatchesAndChecksAccessWithNoWindow)
{
    const QString why = SambaTestServer::Unavailable();
    if (!why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    SambaTestServer server;
    ASSERT_TRUE(server.Start());
    {
        QFile f(server.ShareDir() + u"/a.txt"_s);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    TempDir dir;
    ASSERT_TRUE(dir.write("net.txt", "Microsoft Windows Network\n  WORKGROUP\n    PC01\n"));
    qputenv(NetFixtureVariable, dir.path("net.txt").toLocal8Bit());
    qputenv("CORVANE_SMB_CONF", server.Config().toLocal8Bit());
    ProgramDir = dir.path();
    ServiceRunning = true;
    WatchBusy = false;
    sharedServices = new SharedServices(std::make_unique<FakeShutdown>(), std::make_unique<SambaPlatformQuery>());
    {
        WatchHost host({});
        Settings.Config.StartCheck = true;
        Settings.Config.StartCheckMsg = true;
        Settings.Access.CheckLevel = 2;
        Settings.Access.ReportLevel = 2;
        Settings.Access.CheckInterval = 0;
        Settings.Access.DoRecord = true;
        WatchListModel list;
        WatchEntry entry;
        entry.Domain = u"WORKGROUP"_s;
        entry.Provider = SmbProviderName;
        entry.StatusText = StatusUnconfirmed;
        entry.ImageIndex = ImageUnconfirmed;
        entry.State = StateUnconfirmed;
        entry.UserName = u"user1"_s;
        entry.ResourceName = u"PC01"_s;
        AddEntry(entry, list);
        entry.UserName = u"user2"_s;
        entry.ResourceName = u"LOOP"_s;
        entry.IPCheck = true;
        NormaliseAddress(u"127.0.0.1"_s, entry.Address);
        AddEntry(entry, list);
        ASSERT_TRUE(SaveList(list, host.ListFilePath));

        RecordingEvents events;
        AccessOutlets outlets;
        host.AttachOutlets(&events, &outlets);
        host.Start();
        ASSERT_TRUE(host.Engine->PassRunning()) << "the start-up check runs unasked";
        ASSERT_TRUE(WaitFor([&] { return !host.Engine->PassRunning(); }, 30000));
        EXPECT_EQ(host.Model->text(0, WatchListModel::ColStatus), StatusLoggedIn);
        EXPECT_EQ(host.Model->text(1, WatchListModel::ColStatus), StatusLoggedIn);

        SambaTestServer::Client client(server.Port(), u"DATA"_s);
        client.Command("open a.txt");
        EXPECT_TRUE(WaitFor([&] { return outlets.recorded.size() == 3; }, 20000))
            << outlets.recorded.join(u'|').toStdString();
        EXPECT_TRUE(outlets.recorded.join(u'|').contains(u"a.txt"_s)) << outlets.recorded.join(u'|').toStdString();

        host.Stop();
        EXPECT_FALSE(host.Engine->tmWatch->isActive());
        EXPECT_FALSE(host.Access->tmAccess.isActive());
        EXPECT_FALSE(WatchBusy);
        EXPECT_TRUE(QFile::exists(dir.path("Krovan.ini")));
        host.DetachOutlets();
    }
    delete sharedServices;
    sharedServices = nullptr;
    qunsetenv(NetFixtureVariable);
    qunsetenv("CORVANE_SMB_CONF");
}

// A display that goes away ends the process with no close: the window's
// size, changed during the run, must already be on disk by then.
TEST(WatchHost, TheRunsSettingsReachTheDiskWithoutAClose)
{
    TempDir dir;
    ProgramDir = dir.path();
    ServiceRunning = true;
    WatchBusy = false;
    const bool ownDm = !sharedServices;
    if (ownDm)
        sharedServices = new SharedServices(std::make_unique<FakeShutdown>(), std::make_unique<SambaPlatformQuery>());
    {
        WatchHost host({});
        host.KeepSettingsMs = 50;
        QString size = u"640,480"_s;
        host.BeforeKeepSettings = [&] { Settings.MainWnd.Size = size; };
        host.StartTimers();
        EXPECT_TRUE(WaitFor([&] { return dir.read("Krovan.ini").contains("Size=640,480"); }, 5000))
            << dir.read("Krovan.ini").toStdString();
        size = u"800,600"_s;
        MarkSettingsChanged();  // as the window's resize does
        EXPECT_TRUE(WaitFor([&] { return dir.read("Krovan.ini").contains("Size=800,600"); }, 5000));
        host.Engine->tmWatch->stop();
        host.Access->tmAccess.stop();
    }
    if (ownDm) {
        delete sharedServices;
        sharedServices = nullptr;
    }
}

// An idle Corvane runs for weeks: while nothing changes nothing wakes to
// look at the settings; a burst of changes is looked at once, a change
// after the host has stopped not at all.
TEST(WatchHost, TheSettingsAreLookedAtOnlyAfterAChange)
{
    HostFolder folder;
    int looks = 0;
    {
        WatchHost host({});
        host.KeepSettingsMs = 20;
        host.BeforeKeepSettings = [&] { ++looks; };
        host.StartTimers();
        ASSERT_TRUE(WaitFor([&] { return looks == 1; }));  // the windows as the start left them
        WaitFor([] { return false; }, 300);
        EXPECT_EQ(looks, 1);

        for (int i = 0; i < 5; ++i)
            MarkSettingsChanged();
        EXPECT_TRUE(WaitFor([&] { return looks == 2; }));
        WaitFor([] { return false; }, 200);
        EXPECT_EQ(looks, 2);
        host.Stop();
    }
    MarkSettingsChanged();
    WaitFor([] { return false; }, 100);
    EXPECT_EQ(looks, 2);
}

// Without the right to send echo requests every IP-checked terminal that
// answers would show as logged out: the start says so where the operator
// looks, not only in the journal.
TEST(WatchHost, WithoutTheRightToSendEchoesTheStartSaysSo)
{
    NetNamespace::Options options;
    options.pingSockets = false;
    NetNamespace::run(options, [] {
        HostFolder folder;
        {
            WatchHost host({});
            host.PassProbe->SetEchoKind(IcmpEcho::Kind::PingSocket); // as an ordinary user finds it
            WatchListModel list;
            WatchEntry entry;
            entry.UserName = u"tanaka"_s;
            entry.ResourceName = u"PC01"_s;
            entry.IPCheck = true;
            NormaliseAddress(u"127.0.0.1"_s, entry.Address);
            AddEntry(entry, list);
            ASSERT_TRUE(SaveList(list, host.ListFilePath));
            host.LoadList();
            host.StartTimers();
            ASSERT_EQ(host.StartWarnings().size(), 1);
            EXPECT_TRUE(host.StartWarnings()[0].startsWith(u"ICMPエコー要求を送る権限がない"_s));
            EXPECT_TRUE(host.StartWarnings()[0].contains(u"ping_group_range"_s));
            host.Stop();
        }
    });
}

// What other systems read: after a pass the snapshot holds each entry under
// its group with its state, since when and how it was seen, and the
// counters; an entry set to rest shows so in the next snapshot.
TEST(WatchHost, TheSnapshotFollowsThePassesAndTheList)
{
    HostFolder folder;
    {
        WatchHost host({});
        host.SnapshotDelayMs = 10;
        WatchListModel list;
        WatchEntry entry;
        entry.UserName = u"総務"_s;
        entry.ResourceName = SeparatorText;
        entry.Kind = KindSeparator;
        entry.StatusText = SeparatorText;
        entry.ImageIndex = ImageSeparator;
        AddEntry(entry, list);
        entry = WatchEntry{};
        entry.UserName = u"tanaka"_s;
        entry.ResourceName = u"PC01"_s;
        entry.IPCheck = true;
        entry.StatusText = StatusUnconfirmed;
        entry.ImageIndex = ImageUnconfirmed;
        entry.State = StateUnconfirmed;
        NormaliseAddress(u"127.0.0.1"_s, entry.Address);
        AddEntry(entry, list);
        ASSERT_TRUE(SaveList(list, host.ListFilePath));
        RecordingEvents events;
        host.AttachOutlets(&events, nullptr);
        host.LoadList();
        host.Engine->StartPass(-1);
        ASSERT_TRUE(WaitFor([&] { return host.Board.current()->passes == 1; }, 30000));
        WatchSnapshotPtr s = host.Board.current();
        ASSERT_EQ(s->terminals.size(), 1);
        const TerminalState &t = s->terminals[0];
        EXPECT_EQ(t.group, u"総務"_s);
        EXPECT_EQ(t.resource, u"PC01"_s);
        EXPECT_EQ(t.address, u"127.0.0.1"_s);
        EXPECT_EQ(t.state, u"in"_s);
        EXPECT_EQ(t.seenBy, u"echo"_s);
        EXPECT_TRUE(t.since.isValid());
        EXPECT_EQ(s->events[size_t(CountedEvent::Login)], 1u);

        const quint64 before = host.Board.version();
        host.Model->setImageIndex(1, ImageResting);
        ASSERT_TRUE(WaitFor([&] { return host.Board.version() > before; }, 5000));
        EXPECT_EQ(host.Board.current()->terminals[0].state, u"resting"_s);
        host.Stop();
        host.DetachOutlets();
    }
}

// A session's times are the last scan's: while the endpoint serves the
// snapshots, a scan that still finds a session shows its times in the next
// one, and a scan that finds none clears them.
TEST(WatchHost, AScansSessionsReachTheSnapshotWhileItIsRead)
{
    HostFolder folder;
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
    const quint16 port = probe.serverPort();
    probe.close();
    WatchHost host({});
    host.SnapshotDelayMs = 10;
    host.Access->FreeAccessLibrary();  // the scan keeps the sessions it is given
    Settings.Web.Port = port;
    host.StartTimers();
    const auto scan = [&](const AccessSessions &found) {
        host.Access->AccessSessionList = found;
        host.Access->AccessTicks = int(Settings.Access.CheckInterval);
        host.Access->AccessTick();
    };
    AccessSession session;
    session.Terminal = u"PC02"_s;
    session.UserName = u"*suzuki"_s;
    session.ConnectTime = u"00:05:00"_s;
    session.AccessTime = u"00:01:00"_s;
    scan({session});
    ASSERT_TRUE(WaitFor([&] { return host.Board.current()->sessions.size() == 1; }));
    EXPECT_EQ(host.Board.current()->sessions[0].connectedSeconds, 300);
    scan({});
    EXPECT_TRUE(WaitFor([&] { return host.Board.current()->sessions.isEmpty(); }));
    host.Stop();
}

// With [Web] Port set, the running host answers on loopback with its list
// and its day report; the close stops it.
TEST(WatchHost, TheWebEndpointServesTheRunningList)
{
    HostFolder folder;
    const auto get = [](quint16 port, const QByteArray &path) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port);
        if (!socket.waitForConnected(5000))
            return QByteArray();
        socket.write("GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
        QByteArray answer;
        QDeadlineTimer deadline(10000);
        while (socket.state() == QAbstractSocket::ConnectedState && !deadline.hasExpired() && socket.waitForReadyRead(1000))
            answer += socket.readAll();
        return answer + socket.readAll();
    };
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
        const quint16 port = probe.serverPort();
        probe.close();
        WatchHost host({});
        Settings.Web.Port = port;
        WatchListModel list;
        WatchEntry entry;
        entry.UserName = u"tanaka"_s;
        entry.ResourceName = u"PC01"_s;
        entry.StatusText = StatusUnconfirmed;
        entry.ImageIndex = ImageUnconfirmed;
        entry.State = StateUnconfirmed;
        AddEntry(entry, list);
        ASSERT_TRUE(SaveList(list, host.ListFilePath));
        host.LoadList();
        host.StartTimers();
        host.PublishSnapshot();
        const QByteArray terminals = get(port, "/api/terminals");
        EXPECT_TRUE(terminals.startsWith("HTTP/1.1 200")) << terminals.left(200).constData();
        EXPECT_TRUE(terminals.contains("\"resource\":\"PC01\"") || terminals.contains("\"resource\": \"PC01\""))
            << terminals.constData();
        const QByteArray report = get(port, "/report");
        EXPECT_TRUE(report.startsWith("HTTP/1.1 200")) << report.left(200).constData();
        EXPECT_TRUE(report.contains("<!DOCTYPE html>"));
        host.Stop();
        EXPECT_TRUE(get(port, "/api/terminals").isEmpty()) << "the close stops the endpoint";
    }
}
