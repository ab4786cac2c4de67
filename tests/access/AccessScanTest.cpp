#include "access/AccessScan.h"
#include "config/Settings.h"
#include "engine/WatchListModel.h"
#include "events/RecordFile.h"
#include "support/FakeServerApi.h"
#include "support/TempDir.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

const QString Tab = QStringLiteral("\t");

class AccessScanTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        server.SessionTable = {{QStringLiteral("PC01"), QStringLiteral("tanaka"), 3700, 100}};
        server.ConnectionTable[QStringLiteral("PC01")] = {{QStringLiteral("DATA"), QStringLiteral("tanaka")}};
        server.ShareTable[QStringLiteral("DATA")] = QStringLiteral("/srv/data");
        server.FileTable = {{QStringLiteral("/srv/data/a.txt"), QStringLiteral("tanaka"), QStringLiteral("DATA")}};
        options.CheckLevel = 2;
        options.ReportLevel = 2;
    }

    void addWatchEntry(const QString &user, const QString &resource)
    {
        WatchListModel::Row row;
        row.texts[WatchListModel::ColUserName] = user;
        row.texts[WatchListModel::ColResourceName] = resource;
        rows.appendRow(row);
    }

    void scan(int family = 2, bool skipKnown = false)
    {
        ScanAccesses(list, server, family, rows, WatchListModel::ColResourceName, skipKnown, options);
    }

    QStringList report()
    {
        QStringList r, d;
        BuildAccessReport(list, r, d);
        detail = d;
        return r;
    }

    FakeServerApi server;
    WatchListModel rows;
    AccessScanOptions options;
    AccessSessions list;
    QStringList detail;
};

} // namespace

TEST(FormatDurationTest, TwoDigitsEachAndLongHours)
{
    EXPECT_EQ(FormatDuration(0), QStringLiteral("00:00:00"));
    EXPECT_EQ(FormatDuration(90061), QStringLiteral("25:01:01"));
    EXPECT_EQ(FormatDuration(359999), QStringLiteral("99:59:59"));
    EXPECT_EQ(FormatDuration(443045), QStringLiteral("123:04:05"));
    EXPECT_EQ(FormatDuration(0xFFFFFFFFu), QStringLiteral("1193046:28:15"));
}

TEST(RelativeFilePathTest, ShareRootsAndFolders)
{
    EXPECT_EQ(RelativeFilePath(QStringLiteral("C:\\DIR\\A.TXT"), QStringLiteral("C:\\")), QStringLiteral("DIR\\A.TXT"));
    EXPECT_EQ(RelativeFilePath(QStringLiteral("C:\\DATA\\A.TXT"), QStringLiteral("C:\\DATA")), QStringLiteral("A.TXT"));
    EXPECT_EQ(RelativeFilePath(QStringLiteral("/srv/data/sub/a.txt"), QStringLiteral("/srv/data")),
              QStringLiteral("sub/a.txt"));
    EXPECT_EQ(RelativeFilePath(QStringLiteral("/etc/x"), QStringLiteral("/")), QStringLiteral("etc/x"));
    // The share's folder itself opened: nothing is left to record.
    EXPECT_EQ(RelativeFilePath(QStringLiteral("/srv/data"), QStringLiteral("/srv/data")), QString());
    // Unknown share path, or a file elsewhere: the full path stays.
    EXPECT_EQ(RelativeFilePath(QStringLiteral("/srv/x"), QString()), QStringLiteral("/srv/x"));
    EXPECT_EQ(RelativeFilePath(QStringLiteral("/other/x"), QStringLiteral("/srv/data")), QStringLiteral("/other/x"));
}

TEST_F(AccessScanTest, CheckLevelDecidesHowDeepTheTreeGoes)
{
    options.CheckLevel = 0;
    options.ReportLevel = 0;
    scan();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_TRUE(list[0].Connections.empty());

    list.clear();
    options.CheckLevel = 1;
    scan();
    ASSERT_EQ(list[0].Connections.size(), 1u);
    EXPECT_TRUE(list[0].Connections[0].Files.empty());
    EXPECT_EQ(server.FileQueries, 0);

    list.clear();
    options.CheckLevel = 2;
    scan();
    const AccessSession &s = list[0];
    EXPECT_EQ(s.Terminal, QStringLiteral("PC01"));
    EXPECT_EQ(s.UserName, QStringLiteral("*tanaka"));
    EXPECT_EQ(s.ConnectTime, QStringLiteral("01:01:40"));
    EXPECT_EQ(s.AccessTime, QStringLiteral("01:00:00"));
    ASSERT_EQ(s.Connections.size(), 1u);
    EXPECT_EQ(s.Connections[0].ShareName, QStringLiteral("DATA"));
    EXPECT_EQ(s.Connections[0].SharePath, QStringLiteral("/srv/data"));
    EXPECT_EQ(s.Connections[0].Account, QStringLiteral("tanaka"));
    ASSERT_EQ(s.Connections[0].Files.size(), 1u);
    EXPECT_EQ(s.Connections[0].Files[0].Path, QStringLiteral("a.txt"));
    EXPECT_EQ(server.FileQueryBases, QStringList{QStringLiteral("/srv/data")});
}

TEST_F(AccessScanTest, WatchListNamesTheUserOrLeavesTheTerminalOut)
{
    addWatchEntry(QStringLiteral("Other"), QStringLiteral("PC02"));
    addWatchEntry(QStringLiteral("田中"), QStringLiteral("PC01"));
    addWatchEntry(QStringLiteral("Second"), QStringLiteral("PC01"));
    scan();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].UserName, QStringLiteral("田中"));

    list.clear();
    scan(2, true);
    EXPECT_TRUE(list.empty());

    // The comparison is exact: another case is another terminal.
    list.clear();
    server.SessionTable[0].Terminal = QStringLiteral("pc01");
    scan(2, true);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].UserName, QStringLiteral("*tanaka"));
}

TEST_F(AccessScanTest, LoneIpcConnectionIsNotNewWhenIgnored)
{
    server.ConnectionTable[QStringLiteral("PC01")] = {{QStringLiteral("IPC$"), QStringLiteral("tanaka")}};
    options.IPCNoChk = true;
    scan();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_FALSE(list[0].IsNew);
    EXPECT_TRUE(list[0].Connections.empty());
    EXPECT_EQ(CountNewSessions(list), 0);

    // Not ignored, IPC$ is a connection like any other; without a share
    // path no file query is made for it.
    list.clear();
    options.IPCNoChk = false;
    scan();
    ASSERT_EQ(list[0].Connections.size(), 1u);
    EXPECT_TRUE(list[0].Connections[0].SharePath.isEmpty());
    EXPECT_EQ(server.FileQueries, 0);
    EXPECT_EQ(CountNewSessions(list), 1);

    // IPC$ beside a new share: the session is news.
    list.clear();
    options.IPCNoChk = true;
    server.ConnectionTable[QStringLiteral("PC01")].push_back({QStringLiteral("DATA"), QStringLiteral("tanaka")});
    scan();
    EXPECT_TRUE(list[0].IsNew);
    ASSERT_EQ(list[0].Connections.size(), 1u);
}

TEST_F(AccessScanTest, SysvolAndOwnComputerFilters)
{
    server.ConnectionTable[QStringLiteral("PC01")] = {{QStringLiteral("sysvol"), QStringLiteral("tanaka")},
                                                      {QStringLiteral("DATA"), QStringLiteral("tanaka")}};
    server.SessionTable.push_back({QStringLiteral("SERVER1"), QStringLiteral("server1$"), 10, 0});
    options.SysvolNoChk = true;
    options.MyPCNoChk = true;
    options.ComputerName = QStringLiteral("SERVER1");
    scan();
    ASSERT_EQ(list.size(), 1u);
    ASSERT_EQ(list[0].Connections.size(), 1u);
    EXPECT_EQ(list[0].Connections[0].ShareName, QStringLiteral("DATA"));
}

TEST_F(AccessScanTest, ReportLevelDecidesWhatMakesAKnownSessionNew)
{
    options.ReportLevel = 0;
    scan();
    EXPECT_EQ(CountNewSessions(list), 1);
    report();
    EXPECT_EQ(CountNewSessions(list), 0);

    // A new share and a new file of a known session are no news at level 0.
    server.ConnectionTable[QStringLiteral("PC01")].push_back({QStringLiteral("WORK"), QStringLiteral("tanaka")});
    server.ShareTable[QStringLiteral("WORK")] = QStringLiteral("/srv/work");
    server.FileTable.push_back({QStringLiteral("/srv/data/b.txt"), QStringLiteral("tanaka"), QStringLiteral("DATA")});
    scan();
    EXPECT_EQ(CountNewSessions(list), 0);
    EXPECT_EQ(list[0].Connections.size(), 2u);
    EXPECT_EQ(list[0].Connections[0].Files.size(), 2u);

    // At level 1 a new share counts, a new file does not.
    options.ReportLevel = 1;
    server.ConnectionTable[QStringLiteral("PC01")].push_back({QStringLiteral("MORE"), QStringLiteral("tanaka")});
    scan();
    EXPECT_EQ(CountNewSessions(list), 1);
    report();
    server.FileTable.push_back({QStringLiteral("/srv/data/c.txt"), QStringLiteral("tanaka"), QStringLiteral("DATA")});
    scan();
    EXPECT_EQ(CountNewSessions(list), 0);

    // At level 2 a new file counts, and the report lists the whole tree.
    options.ReportLevel = 2;
    server.FileTable.push_back({QStringLiteral("/srv/data/d.txt"), QStringLiteral("tanaka"), QStringLiteral("DATA")});
    scan();
    EXPECT_EQ(CountNewSessions(list), 1);
    EXPECT_EQ(report(), QStringList{QStringLiteral("*tanaka") + Tab + QStringLiteral("PC01")});
    EXPECT_EQ(detail, (QStringList{
                          QStringLiteral("0*tanaka\tPC01\t01:01:40\t01:00:00"),
                          QStringLiteral("1DATA\ttanaka"),
                          QStringLiteral("2DATA\\a.txt"),
                          QStringLiteral("2DATA\\b.txt"),
                          QStringLiteral("2DATA\\c.txt"),
                          QStringLiteral("2DATA\\d.txt"),
                          QStringLiteral("1WORK\ttanaka"),
                          QStringLiteral("1MORE\ttanaka"),
                      }));
    EXPECT_EQ(CountNewSessions(list), 0);
}

// A share path or open-file query that fails once must not make the files
// open all along news again at the next scan that works.
TEST_F(AccessScanTest, AFailedFileQueryKeepsTheOpenFiles)
{
    scan();
    report();
    for (bool *fails : {&server.FilesFail, &server.SharePathFails}) {
        *fails = true;
        scan();
        EXPECT_EQ(CountNewSessions(list), 0);
        ASSERT_EQ(list[0].Connections[0].Files.size(), 1u);
        *fails = false;
        scan();
        EXPECT_EQ(CountNewSessions(list), 0);
    }
}

// Ten clients holding 16 000 files open each: the record lists every session
// and share, files up to its bound, and says how many it left out.
TEST_F(AccessScanTest, ThousandsOfOpenFilesMakeABoundedRecord)
{
    server.SessionTable.clear();
    server.FileTable.clear();
    for (int s = 0; s < 10; ++s) {
        const QString pc = QStringLiteral("PC%1").arg(s), user = QStringLiteral("user%1").arg(s);
        server.SessionTable.push_back({pc, user, 60, 0});
        server.ConnectionTable[pc] = {{QStringLiteral("DATA"), user}};
        for (int f = 0; f < 16000; ++f)
            server.FileTable.push_back({QStringLiteral("/srv/data/%1/%2.txt").arg(s).arg(f), user, QStringLiteral("DATA")});
    }
    scan();
    scan();  // the second scan finds every file again
    ASSERT_EQ(list.size(), 10u);
    EXPECT_EQ(list[9].Connections[0].Files.size(), 16000u);
    report();
    EXPECT_LE(detail.size(), MaxAccessDetailLines + 3 * 10);  // beyond the bound: the 0, 1 and closing lines
    EXPECT_EQ(detail.filter(QRegularExpression(QStringLiteral("^0"))).size(), 10);
    EXPECT_EQ(detail.filter(QRegularExpression(QStringLiteral("^1"))).size(), 10);
    EXPECT_TRUE(detail.contains(QStringLiteral("2DATA\\（ほか 16000 ファイルは記録していません）")));
    EXPECT_TRUE(detail.contains(QStringLiteral("2DATA\\（ほか %1 ファイルは記録していません）").arg(16000 - (1000 - 2))));
}

TEST_F(AccessScanTest, EndedSessionsAndClosedFilesArePruned)
{
    server.SessionTable.push_back({QStringLiteral("PC02"), QStringLiteral("suzuki"), 5, 0});
    scan();
    ASSERT_EQ(list.size(), 2u);

    server.SessionTable.erase(server.SessionTable.begin());
    server.FileTable.clear();
    scan();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].Terminal, QStringLiteral("PC02"));

    // A failed enumeration tells nothing: the tree stays, nobody is new.
    report();
    server.SessionsFail = true;
    EXPECT_FALSE(ScanAccesses(list, server, 2, rows, WatchListModel::ColResourceName, false, options));
    ASSERT_EQ(list.size(), 1u);
    server.SessionsFail = false;
    scan();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_FALSE(list[0].IsNew);
}

TEST(PruneUnseenTest, RecordsWithChildrenLeftStayAndCountAsSeen)
{
    AccessSessions list(2);
    list[0].Terminal = QStringLiteral("A");
    list[0].Connections.resize(2);
    list[0].Connections[0].ShareName = QStringLiteral("KEEP");
    list[0].Connections[0].Files = {{QStringLiteral("f"), false, true}, {QStringLiteral("g"), false, false}};
    list[0].Connections[1].ShareName = QStringLiteral("GONE");
    list[1].Terminal = QStringLiteral("B");
    PruneUnseen(list);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_TRUE(list[0].Seen);
    ASSERT_EQ(list[0].Connections.size(), 1u);
    EXPECT_TRUE(list[0].Connections[0].Seen);
    ASSERT_EQ(list[0].Connections[0].Files.size(), 1u);
    EXPECT_EQ(list[0].Connections[0].Files[0].Path, QStringLiteral("f"));
}

TEST_F(AccessScanTest, MoreIdleThanSessionTimeShowsNoActivity)
{
    server.SessionTable[0].SessionSeconds = 10;
    server.SessionTable[0].IdleSeconds = 20;
    scan();
    EXPECT_EQ(list[0].AccessTime, QStringLiteral("00:00:00"));
}

TEST_F(AccessScanTest, UnknownFamilyScansNothing)
{
    scan(3);
    scan(0);
    EXPECT_TRUE(list.empty());
}

TEST_F(AccessScanTest, ConsumerFamilyBuffersAndFileUsers)
{
    // Sessions: 26-byte records plus both names with their zeros; 39 of
    // these fit 1300 bytes, 40 are the more-data answer, which sees none.
    server.SessionTable.clear();
    for (int i = 0; i < 40; ++i)
        server.SessionTable.push_back({QStringLiteral("P%1").arg(i, 3, 10, QLatin1Char('0')), QStringLiteral("u"), 60, 7});
    options.CheckLevel = 0;
    scan(1);
    EXPECT_TRUE(list.empty());
    server.SessionTable.pop_back();
    scan(1);
    ASSERT_EQ(list.size(), 39u);
    // The consumer family reports the idle time as the access time.
    EXPECT_EQ(list[0].AccessTime, QStringLiteral("00:00:07"));

    // One file enumeration per scan; the file's user stands for the
    // terminal, and connections carry no account.
    list.clear();
    server.SessionTable = {{QStringLiteral("PC01"), QStringLiteral("tanaka"), 60, 7}};
    server.ShareTable[QStringLiteral("DATA")] = QStringLiteral("C:\\DATA");
    server.FileTable = {{QStringLiteral("C:\\DATA\\A.TXT"), QStringLiteral("PC01"), QStringLiteral("DATA")},
                        {QStringLiteral("C:\\DATA\\B.TXT"), QStringLiteral("GUEST"), QStringLiteral("DATA")}};
    options.CheckLevel = 2;
    scan(1);
    EXPECT_EQ(server.FileQueries, 1);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].Connections[0].Account, QString());
    EXPECT_EQ(list[0].Connections[0].Files[0].Path, QStringLiteral("A.TXT"));
    EXPECT_EQ(list[1].Terminal, QStringLiteral("GUEST"));
    ASSERT_EQ(list[1].Connections.size(), 1u);
    EXPECT_EQ(list[1].Connections[0].Files[0].Path, QStringLiteral("C:\\DATA\\B.TXT"));

    // Files: 20-byte records plus path, user and share; those that fit count.
    list.clear();
    server.FileTable.clear();
    for (int i = 0; i < 60; ++i)
        server.FileTable.push_back({QStringLiteral("C:\\DATA\\F%1").arg(i, 2, 10, QLatin1Char('0')), QStringLiteral("PC01"),
                                    QStringLiteral("DATA")});
    scan(1);
    // 20 + 12 + 5 + 5 = 42 bytes each: 47 fit in 2000.
    EXPECT_EQ(list[0].Connections[0].Files.size(), 47u);
}

// Names and paths come from clients; one holding a line break or a TAB
// must not start a record line of its own or shift the columns.
TEST_F(AccessScanTest, ControlCharactersFromClientsCannotForgeTextRecordLines)
{
    server.SessionTable[0].Terminal = QStringLiteral("PC\t01");
    server.SessionTable[0].Account = QStringLiteral("x\r\n0forged");
    server.ConnectionTable[QStringLiteral("PC\t01")] = {{QStringLiteral("DA\tTA"), QStringLiteral("ta\tnaka")}};
    server.ShareTable[QStringLiteral("DA\tTA")] = QStringLiteral("/srv/data");
    server.FileTable = {{QStringLiteral("/srv/data/a\nb\x7f\tc.txt"), QStringLiteral("ta\tnaka"), QStringLiteral("DA\tTA")}};
    scan();
    report();

    TempDir dir;
    ProgramSettings settings;
    settings.ProgramDir = dir.path();
    settings.Access.RecordFile = QStringLiteral("KR");
    settings.Access.RecordFileExp = QStringLiteral("log");
    ASSERT_TRUE(WriteRecord(RecordKind::Access, detail, settings, QDateTime(QDate(2026, 12, 6), QTime(9, 5)), {}));
    QList<QByteArray> lines = dir.read(QStringLiteral("KR.log")).split('\n');
    ASSERT_EQ(lines.takeLast(), QByteArray());
    EXPECT_EQ(lines.mid(1), (QList<QByteArray>{"*x  0forged\tPC 01\t01:01:40\t01:00:00\r", "DA TA\tta naka\r",
                                                "DA TA\\a b  c.txt\r", ".\r"}));
}
