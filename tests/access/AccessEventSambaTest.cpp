// The road of one access with the real pieces: a client of the private
// Samba server, the access tick, the access event, the record file and the
// manager's report delivered to the server's message command.
#include "access/AccessCheck.h"
#include "config/Settings.h"
#include "engine/WatchListModel.h"
#include "events/AccessEvent.h"
#include "events/EventActions.h"
#include "events/Messenger.h"
#include "events/RecordFile.h"
#include "platform/Cp932.h"
#include "platform/NoMailslotTransport.h"
#include "platform/SambaServerApi.h"
#include "platform/SmbclientMessageTransport.h"
#include "process/ProcessFlags.h"
#include "support/FakePlatform.h"
#include "support/SambaTestServer.h"
#include "support/WaitFor.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace {

struct Outlets : AccessEventOutlets {
    Messenger &messenger;
    QStringList recorded;
    explicit Outlets(Messenger &m) : messenger(m) {}
    void ReportToManager(ReportKind kind, const QStringList &list) override { messenger.ReportToManager(kind, list); }
    void RaiseAccessNotice(int, int, const QStringList &) override {}
    void ShowOpenSessionButton() override {}
    void IconAlert(int) override {}
    void ShowAccessNotice() override {}
    void WriteAccessRecord(const QStringList &detail) override
    {
        recorded = detail;
        WriteRecord(RecordKind::Access, detail, Settings, QDateTime::currentDateTime(), {});
    }
    void OpenAccessListAutomatically() override {}
    void EnableAccessMenuItem() override {}
};

} // namespace

TEST(AccessEventSambaTest, RecordAndManagerReportForARealClient)
{
    const QString why = SambaTestServer::Unavailable();
    if (!why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    SambaTestServer server;
    ASSERT_TRUE(server.Start());
    {
        QFile f(server.ShareDir() + QStringLiteral("/a.txt"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    TempDir records;

    Settings = ProgramSettings();
    Settings.Access.CheckLevel = 2;
    Settings.Access.ReportLevel = 2;
    Settings.Access.DoRecord = true;
    Settings.Access.RecordFile = QStringLiteral("AC");
    Settings.Access.RecordFileExp = QStringLiteral("log");
    Settings.Access.RecordFolder = records.path();
    Settings.Access.ManagerReport = true;
    Settings.Config.Manager = QStringLiteral("CORVANETEST");

    SambaServerApi api(server.Config());
    api.NameOfAddress = [](const QString &) { return QStringLiteral("client1"); };
    SmbclientMessageTransport transport;
    transport.Address = QStringLiteral("127.0.0.1");
    transport.Port = server.Port();
    NoMailslotTransport mailslot;
    Messenger messenger(transport, mailslot, [] { return QStringLiteral("CORVANEPC"); });
    messenger.Family = [] { return 2; };
    FakeSoundPlayer sound;
    FakeProcessStarter process;
    FakeShutdown shutdown;
    EventActions actions(sound, process, shutdown);
    Outlets outlets(messenger);

    WatchListModel rows;
    AccessCheck check;
    check.Server = &api;
    check.Rows = &rows;
    check.Family = [] { return 2; };
    check.RaiseAccessEvent = [&](const QStringList &report) {
        RaiseAccessEvent(report, check.AccessDetailList, Settings, false, actions, outlets);
    };
    ASSERT_TRUE(check.LoadAccessLibrary(2));

    SambaTestServer::Client client(server.Port(), QStringLiteral("DATA"));
    client.Command("open a.txt");
    ServiceRunning = true;
    // Tick until the event has listed the open file.
    const bool raised = SambaTestServer::WaitFor([&] {
        check.AccessTicks = 0;
        check.AccessTick();
        WaitFor([&] { return !check.ScanRunning(); });
        return outlets.recorded.size() == 3;
    });
    ServiceRunning = false;
    ASSERT_TRUE(raised) << outlets.recorded.join(QLatin1Char('|')).toStdString();

    const QString record = Cp932::decode(records.read(QStringLiteral("AC.log")));
    EXPECT_TRUE(record.contains(QStringLiteral("*nobody\tCLIENT1\t"))) << record.toStdString();
    EXPECT_TRUE(record.contains(QStringLiteral("DATA\tnobody"))) << record.toStdString();
    EXPECT_TRUE(record.contains(QStringLiteral("DATA\\a.txt"))) << record.toStdString();

    ASSERT_TRUE(SambaTestServer::WaitFor([&] { return !server.Messages().isEmpty(); }));
    const auto messages = server.Messages();
    EXPECT_EQ(messages.last().Sender, QStringLiteral("CORVANEPC"));
    EXPECT_EQ(messages.last().Text, QStringLiteral("*nobody\r\nにアクセスされています！"));
}
