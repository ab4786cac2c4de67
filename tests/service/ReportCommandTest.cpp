// "corvane REPORT": the real program writes the day's report and ends,
// without a display and without starting the console.

#include "config/Settings.h"
#include "engine/WatchList.h"
#include "engine/WatchListModel.h"
#include "events/DayReport.h"
#include "events/RecordFile.h"
#include "support/TempDir.h"

#include <QProcess>

#include <gtest/gtest.h>

namespace {

struct Finished {
    int exitCode = -1;
    QByteArray out;
};

Finished Report(const TempDir &dir, const QStringList &arguments, const char *locale = "ja_JP.UTF-8")
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("CORVANE_DIR"), dir.path());
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "LANGUAGE", "LC_ALL", "LC_MESSAGES"})
        env.remove(QString::fromLatin1(name));
    env.insert(QStringLiteral("LANG"), QString::fromLatin1(locale));
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::SeparateChannels);
    p.start(QStringLiteral(CORVANE_BINARY), QStringList{QStringLiteral("REPORT")} + arguments);
    if (!p.waitForFinished(30000)) {
        p.kill();
        p.waitForFinished(5000);
        return {};
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput()};
}

TEST(ReportCommand, WritesTheSamePageAsTheMenuToAFileOrStandardOutput)
{
    TempDir dir;
    const QByteArray ini = "[Krovan]\r\nVersion=2.10a\r\n";
    ASSERT_TRUE(dir.write(QStringLiteral("Krovan.ini"), ini));
    ProgramSettings s;
    LoadSettings(s, dir.path(), {}, nullptr);
    const QDate day(2026, 12, 6);
    ASSERT_TRUE(WriteRecord(RecordKind::Login, {QStringLiteral("suzuki\tPC-S"), QStringLiteral("tanaka\tPC-T")}, s,
                            QDateTime(day, QTime(9, 0)), {}));
    ASSERT_TRUE(WriteRecord(RecordKind::Logout, {QStringLiteral("tanaka\tPC-T")}, s, QDateTime(day, QTime(17, 0)), {}));
    WatchListModel list;
    WatchEntry group;
    group.UserName = QStringLiteral("営業");
    group.ResourceName = SeparatorText;
    group.Kind = KindSeparator;
    WatchEntry tanaka;
    tanaka.UserName = QStringLiteral("tanaka");
    tanaka.ResourceName = QStringLiteral("PC-T");
    ASSERT_TRUE(AddEntry(group, list) && AddEntry(tanaka, list));
    ASSERT_TRUE(SaveList(list, dir.path(QStringLiteral("Krovan.NT"))));

    // What the menu writes for that day, from the same list.
    const QByteArray page =
        DayReportHtml(MakeDayReport(s, day, QDateTime::currentDateTime(), ReportListEntries(list))).toUtf8();
    ASSERT_LT(page.indexOf("tanaka"), page.indexOf("suzuki"));

    const Finished toFile = Report(dir, {QStringLiteral("2026-12-06"), dir.path(QStringLiteral("out.html"))});
    EXPECT_EQ(toFile.exitCode, 0);
    EXPECT_EQ(dir.read(QStringLiteral("out.html")), page);
    const Finished toStdout = Report(dir, {QStringLiteral("2026-12-06")});
    EXPECT_EQ(toStdout.exitCode, 0);
    EXPECT_EQ(toStdout.out, page);
    // The page follows the operator's language.
    EXPECT_TRUE(Report(dir, {QStringLiteral("2026-12-06")}, "en_US.UTF-8").out.contains("<h1>Presence report "));
    // The settings file is only read.
    EXPECT_EQ(dir.read(QStringLiteral("Krovan.ini")), ini);

    EXPECT_EQ(Report(dir, {QStringLiteral("2026-02-30")}).exitCode, 2);
    // A day Corvane did not record is no error.
    const Finished quiet = Report(dir, {QStringLiteral("2026-11-01")}, "en_US.UTF-8");
    EXPECT_EQ(quiet.exitCode, 0);
    EXPECT_TRUE(quiet.out.contains("No records for this day.")) << quiet.out.constData();
    EXPECT_FALSE(quiet.out.contains("class=\"notes\""));
}

} // namespace
