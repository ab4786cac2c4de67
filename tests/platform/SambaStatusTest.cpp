#include "platform/SambaServerApi.h"
#include "platform/SambaStatus.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

namespace {

// Trimmed from a real report: a client over direct TCP with one share
// connected and one file open, and a second client that gave its NetBIOS
// name.
const char Report[] = R"({"timestamp": "2026-12-07T08:21:16.054449+0000", "version": "4.17.12-Debian",
 "sessions": {
  "2985264170": {"session_id": "2985264170",
    "server_id": {"pid": "11224", "task_id": "0", "vnn": "4294967295", "unique_id": "137"},
    "uid": 65534, "gid": 65534, "username": "nobody", "groupname": "nogroup",
    "remote_machine": "127.0.0.1", "hostname": "ipv4:127.0.0.1:55498", "session_dialect": "SMB3_11"},
  "3000000000": {"session_id": "3000000000",
    "server_id": {"pid": "11300", "task_id": "0", "vnn": "4294967295", "unique_id": "200"},
    "uid": 1000, "username": "tanaka", "remote_machine": "PC01", "hostname": "ipv4:10.0.0.5:139"}},
 "tcons": {
  "3512129896": {"service": "DATA", "server_id": {"pid": "11224", "unique_id": "137"},
    "tcon_id": "3512129896", "session_id": "2985264170", "machine": "127.0.0.1",
    "connected_at": "2026-12-07T08:21:14.554259+00:00"},
  "1": {"service": "IPC$", "session_id": "2985264170", "connected_at": "2026-12-07T08:20:16.000000+00:00"}},
 "open_files": {
  "/srv/share/a.txt": {"service_path": "/srv/share", "filename": "a.txt",
    "opens": {"11224/5": {"server_id": {"pid": "11224", "unique_id": "137"}, "uid": 65534,
      "opened_at": "2026-12-07T08:21:15.054449+00:00"}}}}})";

} // namespace

TEST(SambaStatusTest, ReadsSessionsConnectionsAndFiles)
{
    SambaStatus status;
    ASSERT_TRUE(ParseSambaStatus(Report, status));
    ASSERT_EQ(status.Sessions.size(), 2u);
    EXPECT_EQ(status.Sessions[0].UserName, QStringLiteral("nobody"));
    EXPECT_EQ(status.Sessions[0].Address, QStringLiteral("127.0.0.1"));
    EXPECT_EQ(status.Sessions[0].ServerId, QStringLiteral("11224/137"));
    ASSERT_EQ(status.ShareConnections.size(), 2u);
    ASSERT_EQ(status.Files.size(), 1u);
    EXPECT_EQ(status.Files[0].Path, QStringLiteral("/srv/share/a.txt"));
    ASSERT_EQ(status.Files[0].Opens.size(), 1u);
    EXPECT_EQ(status.Files[0].Opens[0].ServerId, QStringLiteral("11224/137"));

    SambaServerApi api;
    api.NameOfAddress = [](const QString &address) {
        return address == QLatin1String("127.0.0.1") ? QStringLiteral("testpc.example.lan") : QString();
    };
    const std::vector<ServerSession> sessions = api.SessionsOf(status, status.Timestamp);
    ASSERT_EQ(sessions.size(), 2u);
    // The address's name in NetBIOS form; a NetBIOS name as it came.
    EXPECT_EQ(sessions[0].Terminal, QStringLiteral("TESTPC"));
    EXPECT_EQ(sessions[1].Terminal, QStringLiteral("PC01"));
    // Session time from the earliest connection, idle time from the newest
    // activity (the open a second before the report).
    EXPECT_EQ(sessions[0].SessionSeconds, 60u);
    EXPECT_EQ(sessions[0].IdleSeconds, 1u);
    EXPECT_EQ(sessions[1].SessionSeconds, 0u);
    EXPECT_EQ(sessions[1].IdleSeconds, 0u);

    // A name once found is kept a while rather than asked for at every scan.
    int lookups = 0;
    SambaServerApi counted;
    counted.NameOfAddress = [&lookups](const QString &) {
        ++lookups;
        return QString();
    };
    // An address without a name stays the address.
    EXPECT_EQ(counted.SessionsOf(status, status.Timestamp)[0].Terminal, QStringLiteral("127.0.0.1"));
    counted.SessionsOf(status, status.Timestamp);
    EXPECT_EQ(lookups, 1);
}

// Clients that come back with ever new addresses: the names kept stay
// bounded, the newest among them.
TEST(SambaStatusTest, TheClientNamesKeptAreBounded)
{
    SambaServerApi api;
    api.NameOfAddress = [](const QString &address) { return QStringLiteral("pc-") + address; };
    SambaStatus status;
    status.Timestamp = QDateTime::currentDateTimeUtc();
    for (int i = 0; i < 3000; ++i) {
        SambaStatus::Session s;
        s.Id = QString::number(i);
        s.Address = s.RemoteMachine = QStringLiteral("10.%1.%2.1").arg(i / 250).arg(i % 250);
        status.Sessions = {s};
        api.SessionsOf(status, status.Timestamp);
    }
    EXPECT_LE(api.CachedNames(), 1024);
    EXPECT_GT(api.CachedNames(), 0);
}

TEST(SambaStatusTest, AClientStillLoggingOnIsNoSessionYet)
{
    const char report[] = R"json({"timestamp": "2026-12-07T08:21:16+0000", "sessions": {
      "1": {"session_id": "1", "uid": -1, "gid": -1, "username": "(auth in progress)",
            "remote_machine": "127.0.0.1", "hostname": "ipv4:127.0.0.1:50000"},
      "2": {"session_id": "2", "uid": "-1", "username": "", "remote_machine": "PC02",
            "hostname": "ipv4:10.0.0.6:445"},
      "3": {"session_id": "3", "username": "old", "remote_machine": "PC03", "hostname": "ipv4:10.0.0.7:445"},
      "4": {"session_id": "4", "uid": 65534, "username": "nobody", "remote_machine": "PC04",
            "hostname": "ipv4:10.0.0.8:445"}}})json";
    SambaStatus status;
    ASSERT_TRUE(ParseSambaStatus(report, status));
    ASSERT_EQ(status.Sessions.size(), 2u) << "a report without uids keeps its sessions";
    EXPECT_EQ(status.Sessions[0].UserName, QStringLiteral("old"));
    EXPECT_EQ(status.Sessions[1].UserName, QStringLiteral("nobody"));
}

TEST(SambaStatusTest, ClientAddressForms)
{
    EXPECT_EQ(SambaClientAddress(QStringLiteral("ipv4:10.1.2.3:445")), QStringLiteral("10.1.2.3"));
    EXPECT_EQ(SambaClientAddress(QStringLiteral("ipv6:[fe80::1]:445")), QStringLiteral("fe80::1"));
    EXPECT_EQ(SambaClientAddress(QStringLiteral("PC01")), QStringLiteral("PC01"));
}

TEST(SambaStatusTest, SharePathsFromTestparm)
{
    const QByteArray out = "# Global parameters\n[global]\n\tpath = /nope\n\n[data]\n\tpath = /srv/share\n"
                           "\tread only = No\n\n[Work]\n\tPath = /srv/work space\n[IPC$]\n";
    const QHash<QString, QString> shares = SambaServerApi::ParseSharePaths(out);
    EXPECT_EQ(shares.size(), 2);
    EXPECT_EQ(shares.value(QStringLiteral("DATA")), QStringLiteral("/srv/share"));
    EXPECT_EQ(shares.value(QStringLiteral("WORK")), QStringLiteral("/srv/work space"));
}

TEST(SambaStatusTest, MalformedReportsGiveNothing)
{
    SambaStatus status;
    for (const char *bad : {"", "{", "[]", "null", "\"x\"", "{\"sessions\": 5}", "{\"sessions\": {\"1\": \"x\"}}",
                            "{\"sessions\": {\"1\": {\"server_id\": [1,2]}}, \"tcons\": [],\"open_files\": {\"\": 1}}",
                            "{\"open_files\": {\"/a\": {\"opens\": {\"x\": null}}}, \"timestamp\": 7}"}) {
        ParseSambaStatus(bad, status);
        SambaServerApi api;
        api.NameOfAddress = [](const QString &) { return QString(); };
        EXPECT_LE(api.SessionsOf(status, QDateTime::currentDateTimeUtc()).size(), 1u) << bad;
    }
    EXPECT_FALSE(ParseSambaStatus("{\"sessions\": {", status));
    EXPECT_TRUE(status.Sessions.empty());

    // Deep nesting and random damage of a real report.
    ParseSambaStatus(QByteArray(100000, '['), status);
    QRandomGenerator rng(7);
    for (int round = 0; round < 300; ++round) {
        QByteArray damaged(Report);
        for (int i = 0; i < 8; ++i)
            damaged[rng.bounded(int(damaged.size()))] = char(rng.bounded(256));
        ParseSambaStatus(damaged, status);
    }
}
