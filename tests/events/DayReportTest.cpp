#include "events/DayReport.h"

#include "config/Settings.h"
#include "events/RecordFile.h"
#include "platform/Cp932.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace {

const QDate Day(2026, 12, 6);

QDateTime at(int hour, int minute, QDate date = Day) { return QDateTime(date, QTime(hour, minute)); }

// The report's numbers, one line per row: "# heading" or
// "name <from-to ... first last total" with < for present since before the
// day and > for still present.
std::string describe(const DayReport &r)
{
    QStringList out;
    for (const ReportRow &row : r.Rows) {
        if (row.Heading) {
            out << QStringLiteral("# ") + row.Name;
            continue;
        }
        QString line = row.Name;
        for (const PresenceStretch &s : row.Stretches)
            line += QStringLiteral(" %1%2-%3%4")
                        .arg(s.OpenStart ? "<" : "")
                        .arg(s.From)
                        .arg(s.To)
                        .arg(s.OpenEnd ? ">" : "");
        out << line + QStringLiteral(" first=%1 last=%2 total=%3").arg(row.FirstLogin).arg(row.LastLogout).arg(row.Total);
    }
    return out.join(u'\n').toStdString();
}

std::string spans(const QList<PresenceStretch> &list)
{
    QStringList out;
    for (const PresenceStretch &s : list)
        out << QStringLiteral("%1-%2").arg(s.From).arg(s.To);
    return out.join(u' ').toStdString();
}

struct DayReports : ::testing::Test {
    TempDir dir;
    ProgramSettings s;

    void SetUp() override
    {
        s.ProgramDir = dir.path();
        s.Login.RecordFile = s.Logout.RecordFile = s.Access.RecordFile = QStringLiteral("KR%y%m%d");
        s.Login.RecordFileExp = s.Logout.RecordFileExp = s.Access.RecordFileExp = QStringLiteral("log");
        s.Config.XMLEncoding = QStringLiteral("UTF-8");
    }
    void record(RecordKind kind, const QStringList &lines, const QDateTime &when)
    {
        ASSERT_TRUE(WriteRecord(kind, lines, s, when, {}));
    }
    void append(const QString &name, const QByteArray &bytes)
    {
        ASSERT_TRUE(dir.write(name, dir.read(name) + bytes));
    }
};

// User names from browse comments: one that reads as a logout header, one
// that reads as a block's end. Each reads back as itself, in its block.
TEST_F(DayReports, ANameThatLooksLikeRecordSyntaxReadsBackAsThatName)
{
    const QStringList names{QStringLiteral("[Logout]-[2026/12/07(x) 08:00:00]-"), QStringLiteral("."),
                            QStringLiteral(" [x"), QStringLiteral("  ."), QStringLiteral("tanaka")};
    QStringList lines;
    for (const QString &n : names)
        lines << n + QStringLiteral("\tPC01");
    record(RecordKind::Login, lines, at(9, 0));
    record(RecordKind::Logout, {QStringLiteral("tanaka\tPC01")}, at(10, 0));
    const RecordReading r = ReadTextRecords(dir.read(QStringLiteral("KR20261206.log")));
    ASSERT_EQ(r.Blocks.size(), 2);
    EXPECT_EQ(r.Blocks[0].Kind, RecordKind::Login);
    EXPECT_EQ(r.Blocks[0].Names, names);
    EXPECT_EQ(r.Blocks[1].Kind, RecordKind::Logout);
    EXPECT_TRUE(r.Notes.isEmpty()) << r.Notes.join(u'\n').toStdString();
}

TEST_F(DayReports, TextDayGivesStretchesTotalsAllInAllOutAndAccesses)
{
    record(RecordKind::Logout, {u"sato\tPC-SATO"_qs}, at(7, 30));
    record(RecordKind::Login, {u"tanaka\tPC-T"_qs, u"suzuki\tPC-S"_qs}, at(9, 0));
    record(RecordKind::Access, {u"0tanaka\tPC-T\t00:05:00\t00:01:00"_qs, u"1共有\ttanaka"_qs, u"2共有\\資料\\a.txt"_qs},
           at(10, 0));
    record(RecordKind::Logout, {u"suzuki\tPC-S"_qs}, at(12, 0));
    record(RecordKind::Login, {u"suzuki\tPC-S"_qs, u"<b>客&\tPC-G"_qs}, at(13, 0));
    record(RecordKind::Logout, {u"tanaka\tPC-T"_qs}, at(18, 0));
    record(RecordKind::Login, {u"sato\tPC-SATO"_qs}, at(23, 30));
    // A block whose moment cannot be read, a stray line, and a file cut off
    // inside its last block.
    append(u"KR20261206.log"_qs, "[Login]--------------[2026/13/45(\x93\xfa) 25:10:00]-----------------\r\nyamada\r\n."
                                 "\r\nstray\r\n[Logout]-------------[2026/12/06(\x93\xfa) 23:45:00]-----------------\r\n"
                                 "<b>\x8bq&\r\n");

    const QList<ReportListEntry> list{{u"営業"_qs, true, false}, {u"tanaka"_qs, false, true},
                                      {u"suzuki"_qs, false, true}, {u"総務"_qs, true, false},
                                      {u"sato"_qs, false, false}, {u"空"_qs, true, false},
                                      {u"nobody"_qs, false, false}};
    const DayReport r = MakeDayReport(s, Day, at(9, 0, Day.addDays(1)), list);

    EXPECT_EQ(describe(r), "# 営業\n"
                           "tanaka 32400-64800 first=32400 last=64800 total=32400\n"
                           "suzuki 32400-43200 46800-86400> first=32400 last=43200 total=50400\n"
                           "# 総務\n"
                           "sato 84600-86400> first=84600 last=-1 total=1800\n"
                           "# 監視リストにない名前\n"
                           "<b>客& 46800-85500 first=46800 last=85500 total=38700");
    // Everyone = the counted entries, tanaka and suzuki.
    EXPECT_EQ(spans(r.AllIn), "32400-43200 46800-64800");
    EXPECT_EQ(spans(r.AllOut), "0-32400");

    ASSERT_EQ(r.Accesses.size(), 1);
    const ReportAccess &a = r.Accesses[0];
    EXPECT_EQ(a.Second, 36000);
    EXPECT_EQ(QStringList({a.Terminal, a.UserName, a.Share, a.Account, a.ConnectTime, a.AccessTime}),
              QStringList({u"PC-T"_qs, u"tanaka"_qs, u"共有"_qs, u"tanaka"_qs, u"00:05:00"_qs, u"00:01:00"_qs}));
    EXPECT_EQ(a.Files, QStringList{u"共有\\資料\\a.txt"_qs});

    // Three notes naming the file and the lines: the unreadable block, the
    // stray line, the unended block.
    ASSERT_EQ(r.Notes.size(), 3) << r.Notes.join(u'\n').toStdString();
    EXPECT_TRUE(r.Notes[0].startsWith(u"KR20261206.log: 26 行目"_qs)) << r.Notes[0].toStdString();

    const QString html = DayReportHtml(r);
    EXPECT_FALSE(html.contains(u"yamada"_qs));
    EXPECT_FALSE(html.contains(u"<b>"_qs));
    EXPECT_TRUE(html.contains(u"&lt;b&gt;客&amp;"_qs));
    EXPECT_FALSE(html.contains(u"<script"_qs));
    EXPECT_FALSE(html.contains(u"http"_qs));
}

TEST_F(DayReports, ShiftJisXmlSpanningMidnightEndsAtTheReportsTime)
{
    s.Login.RecordFile = s.Logout.RecordFile = s.Access.RecordFile = QStringLiteral("KR%y");
    s.Login.RecordFileExp = s.Logout.RecordFileExp = s.Access.RecordFileExp = QStringLiteral("xml");
    s.Config.XMLEncoding = QStringLiteral("Shift_JIS");
    const QDate saturday = Day.addDays(-1);
    record(RecordKind::Login, {u"髙橋\tPC1"_qs, u"～さん\tPC2"_qs}, at(22, 0, saturday));
    record(RecordKind::Logout, {u"～さん\tPC2"_qs}, at(23, 0, saturday));
    record(RecordKind::Logout, {u"髙橋\tPC1"_qs}, at(8, 0));
    record(RecordKind::Login, {u"髙橋\tPC1"_qs}, at(9, 15));
    record(RecordKind::Access, {u"0髙橋\tPC1\t00:00:10\t00:00:10"_qs}, at(10, 0));
    ASSERT_TRUE(dir.read(u"KR2026.xml"_qs).contains(Cp932::encode(u"髙橋")));

    // Made at 15:00 the same day, with no list.
    const DayReport r = MakeDayReport(s, Day, at(15, 0), {});
    EXPECT_EQ(r.End, 54000);
    EXPECT_EQ(describe(r), "髙橋 <0-28800 33300-54000> first=33300 last=28800 total=49500");
    EXPECT_EQ(spans(r.AllOut), "28800-33300");
    ASSERT_EQ(r.Accesses.size(), 1);
    EXPECT_EQ(r.Accesses[0].Terminal, u"PC1"_qs);
    EXPECT_TRUE(r.Accesses[0].Share.isEmpty());
    EXPECT_TRUE(r.Notes.isEmpty()) << r.Notes.join(u'\n').toStdString();
}

TEST_F(DayReports, XmlInEveryOfferedEncodingReadsBack)
{
    s.Login.RecordFileExp = QStringLiteral("xml");
    for (const char *encoding : {"UTF-8", "UTF-16", "EUC-JP", "ISO-8859-1"}) {
        s.Config.XMLEncoding = QLatin1String(encoding);
        s.Login.RecordFile = s.Config.XMLEncoding;
        const QString name = s.Config.XMLEncoding == u"ISO-8859-1" ? u"Müller"_qs : u"鈴木"_qs;
        record(RecordKind::Login, {name + u"\tPC1"_qs}, at(9, 5));
        const RecordReading r = ReadRecordFile(dir.path(s.Login.RecordFile + u".xml"_qs));
        ASSERT_EQ(r.Blocks.size(), 1) << encoding;
        EXPECT_EQ(r.Blocks[0].Names, QStringList{name}) << encoding;
        EXPECT_EQ(r.Blocks[0].Second, 9 * 3600 + 5 * 60) << encoding;
        EXPECT_TRUE(r.Notes.isEmpty()) << encoding;
    }
}

TEST_F(DayReports, DamagedXmlGivesWhatCouldBeReadAndNotes)
{
    s.Login.RecordFileExp = s.Logout.RecordFileExp = QStringLiteral("xml");
    record(RecordKind::Login, {u"tanaka\tPC-T"_qs}, at(9, 0));
    record(RecordKind::Logout, {u"tanaka\tPC-T"_qs}, at(12, 0));
    record(RecordKind::Login, {u"tanaka\tPC-T"_qs}, at(13, 0));
    // A foreign element, then the file cut inside the last record.
    QByteArray bytes = dir.read(u"KR20261206.xml"_qs);
    bytes.insert(bytes.indexOf("\t<login"), "\t<foreign/>\n");
    bytes.truncate(bytes.lastIndexOf("<user") + 8);
    ASSERT_TRUE(dir.write(u"KR20261206.xml"_qs, bytes));

    const DayReport r = MakeDayReport(s, Day, at(0, 0, Day.addDays(1)), {});
    ASSERT_FALSE(r.Rows.isEmpty());
    EXPECT_EQ(r.Rows[0].Stretches.front().From, 32400);
    EXPECT_EQ(r.Rows[0].Stretches.front().To, 43200);
    // The foreign element and the broken XML; an access file that is not
    // there is no fault (nobody used the shares).
    const QString notes = r.Notes.join(u'\n');
    EXPECT_EQ(r.Notes.size(), 2) << notes.toStdString();
    EXPECT_TRUE(notes.contains(u"<foreign>"_qs)) << notes.toStdString();
    EXPECT_TRUE(DayReportHtml(r).contains(u"&lt;foreign&gt;"_qs));
}

// Every start records a logout for each absent terminal and a login for each
// present one. A day with a restart at 09:30: suzuki's PC never answered,
// tanaka came at 09:00 and left at 10:00.
TEST_F(DayReports, RestartsInventNoPresence)
{
    record(RecordKind::Login, {u"tanaka\tPC-T"_qs}, at(9, 0));
    record(RecordKind::Logout, {u"suzuki\tPC-S"_qs}, at(9, 0));
    record(RecordKind::Login, {u"tanaka\tPC-T"_qs}, at(9, 30));
    record(RecordKind::Logout, {u"suzuki\tPC-S"_qs}, at(9, 30));
    record(RecordKind::Logout, {u"tanaka\tPC-T"_qs}, at(10, 0));
    const QList<ReportListEntry> list{{u"tanaka"_qs, false, true}, {u"suzuki"_qs, false, true}};

    // Records of an earlier version, no run log: the second login changes
    // nothing, the logouts of someone never in neither; suzuki still has
    // his row.
    DayReport r = MakeDayReport(s, Day, at(12, 0, Day.addDays(1)), list);
    EXPECT_EQ(describe(r), "tanaka 32400-36000 first=32400 last=36000 total=3600\n"
                           "suzuki first=-1 last=-1 total=0");
    QString html = DayReportHtml(r);
    EXPECT_TRUE(html.contains(u"終日不在"_qs));
    EXPECT_FALSE(html.contains(u"在席中</td>"_qs));

    // With the run log: Corvane stopped at 09:20 and started at 09:30. A
    // presence open at the stop ends there and says so.
    ASSERT_TRUE(dir.write(u"Krovan.runs"_qs, "start 2026-12-06 08:59:58\nstop 2026-12-06 09:20:00\n"
                                             "start 2026-12-06 09:30:00\nstop 2026-12-06 18:00:00\n"));
    r = MakeDayReport(s, Day, at(12, 0, Day.addDays(1)), list);
    EXPECT_EQ(describe(r), "tanaka 32400-33600 34200-36000 first=32400 last=36000 total=3000\n"
                           "suzuki first=-1 last=-1 total=0");
    ASSERT_TRUE(r.Rows[0].Stretches[0].AtStop);
    EXPECT_TRUE(DayReportHtml(r).contains(u"09:00:00 - 09:20:00 (監視停止)"_qs));
    // While it was stopped nobody is known to be out.
    EXPECT_EQ(spans(r.Unwatched), "33600-34200 64800-86400");
    EXPECT_EQ(spans(r.AllOut), "0-32400 36000-64800");
}

// Who was in at midnight comes from the days before (a file of its own each
// day here), unless Corvane stopped after their login; a past day's open
// presence went on into the next day, it is not "still present".
TEST_F(DayReports, MidnightComesFromTheDaysBeforeAndAPastDayEndsAt24)
{
    record(RecordKind::Login, {u"tanaka\tPC-T"_qs, u"suzuki\tPC-S"_qs}, at(22, 0, Day.addDays(-3)));
    ASSERT_TRUE(dir.write(u"Krovan.runs"_qs, "stop 2026-12-04 07:00:00\nstart 2026-12-04 07:05:00\n"));
    record(RecordKind::Login, {u"tanaka\tPC-T"_qs}, at(7, 5, Day.addDays(-2)));
    record(RecordKind::Logout, {u"yamada\tPC-Y"_qs}, at(8, 0));
    const DayReport r = MakeDayReport(s, Day, at(9, 0, Day.addDays(1)), {});
    EXPECT_EQ(describe(r), "tanaka <0-86400> first=-1 last=-1 total=86400");
    const QString html = DayReportHtml(r);
    EXPECT_TRUE(html.contains(u"翌日へ"_qs));
    EXPECT_FALSE(html.contains(u"在席中</td>"_qs));
}

// A night shift of eight names the list does not have, in since the evening
// before: the page lists them as the records give them, the same at every
// making, not in an order drawn anew by each process.
TEST_F(DayReports, NamesInSinceTheDayBeforeComeInTheRecordsOrder)
{
    QStringList lines, expected{u"# 監視リストにない名前"_qs};
    for (int i = 1; i <= 8; ++i) {
        lines << QStringLiteral("night%1\tPC%1").arg(i);
        expected << QStringLiteral("night%1 <0-86400> first=-1 last=-1 total=86400").arg(i);
    }
    record(RecordKind::Login, lines, at(22, 0, Day.addDays(-1)));
    const DayReport r = MakeDayReport(s, Day, at(9, 0, Day.addDays(1)), {{u"tanaka"_qs, false, false}});
    EXPECT_EQ(describe(r), expected.join(u'\n').toStdString());
}

// A day with no record file at all is no error: the page says so plainly.
TEST_F(DayReports, ADayWithoutRecordsSaysSoPlainly)
{
    const DayReport r = MakeDayReport(s, Day, at(9, 0, Day.addDays(1)), {{u"tanaka"_qs, false, true}});
    EXPECT_TRUE(r.NoRecords);
    EXPECT_TRUE(r.Notes.isEmpty()) << r.Notes.join(u'\n').toStdString();
    const QString html = DayReportHtml(r);
    EXPECT_TRUE(html.contains(u"この日の記録はありません。"_qs));
    EXPECT_FALSE(html.contains(u"class=\"notes\""_qs));
}

// Found by exploring: a year of many digits overflowed the reader's number.
TEST_F(DayReports, AnXmlRecordWithAnEndlessNumberIsSkippedWithANote)
{
    const RecordReading r = ReadXmlRecords(
        "<?xml version=\"1.0\"?>\n<root>\n\t<login year=\"24444444444444442026\" month=\"12\" day=\"06\" "
        "hour=\"09\" min=\"05\" sec=\"00\"><user name=\"tanaka\"/></login>\n</root>\n");
    EXPECT_TRUE(r.Blocks.isEmpty());
    EXPECT_EQ(r.Notes.size(), 1);
}

TEST_F(DayReports, ReportNeverGoesOverARecordFile)
{
    EXPECT_EQ(DayReportPath(s, Day).path, dir.path(u"KR20261206.html"_qs));
    s.Access.RecordFileExp = QStringLiteral("html");
    EXPECT_EQ(DayReportPath(s, Day).path, dir.path(u"KR20261206-report.html"_qs));
}

} // namespace
