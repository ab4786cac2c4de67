// The day report is read by the operator only: it follows the console's
// language, while what it quotes from the records stays as written.

#include "config/Settings.h"
#include "console/Language.h"
#include "events/DayReport.h"
#include "events/RecordFile.h"
#include "support/TempDir.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

QStringList figures(const QString &html)
{
    static const QRegularExpression time(QStringLiteral(">[^<]*\\d+:\\d\\d:\\d\\d[^<]*<"));
    QStringList out;
    for (const QRegularExpressionMatch &m : time.globalMatch(html))
        out << m.captured().remove(QRegularExpression(QStringLiteral("[^0-9:]")));
    return out;
}

TEST(DayReportLanguage, EnglishPageHasEnglishTextsAndTheSameFigures)
{
    TempDir dir;
    ProgramSettings s;
    s.ProgramDir = dir.path();
    s.Login.RecordFile = s.Logout.RecordFile = s.Access.RecordFile = QStringLiteral("KR%y%m%d");
    s.Login.RecordFileExp = s.Logout.RecordFileExp = s.Access.RecordFileExp = QStringLiteral("log");
    const QDate day(2026, 12, 6);
    ASSERT_TRUE(WriteRecord(RecordKind::Login, {QStringLiteral("tanaka\tPC-T"), QStringLiteral("suzuki\tPC-S")}, s,
                            QDateTime(day, QTime(9, 0)), {}));
    ASSERT_TRUE(WriteRecord(RecordKind::Access, {QStringLiteral("0tanaka\tPC-T\t00:05:00\t00:01:00"),
                                                 QStringLiteral("1共有\ttanaka")},
                            s, QDateTime(day, QTime(10, 0)), {}));
    ASSERT_TRUE(WriteRecord(RecordKind::Logout, {QStringLiteral("tanaka\tPC-T")}, s, QDateTime(day, QTime(17, 0)), {}));
    ASSERT_TRUE(dir.write(QStringLiteral("KR20261206.log"), dir.read(QStringLiteral("KR20261206.log")) + "stray\r\n"));
    const QList<ReportListEntry> list{{QStringLiteral("営業"), true, false}, {QStringLiteral("tanaka"), false, true}};
    const QDateTime now(day, QTime(20, 0));

    const QString japanese = DayReportHtml(MakeDayReport(s, day, now, list));
    ASSERT_TRUE(UseConsoleLanguage(QStringLiteral("en")));
    struct BackToJapanese {
        ~BackToJapanese() { UseConsoleLanguage(QStringLiteral("ja")); }
    } restore;
    const QString english = DayReportHtml(MakeDayReport(s, day, now, list));

    EXPECT_TRUE(english.contains(u"<html lang=\"en\">")) << english.left(200).toStdString();
    EXPECT_TRUE(english.contains(u"<h1>Presence report Sunday 6 December 2026</h1>"));
    for (const char *text : {"First login", "Last logout", "Share access", "Names not on the watch list",
                             "still present", "Records that could not be read"})
        EXPECT_TRUE(english.contains(QLatin1String(text))) << text;
    // Nothing Japanese but what the records and the list give.
    static const QRegularExpression kana(QStringLiteral("[\\x{3040}-\\x{30ff}\\x{4e00}-\\x{9fff}]+"));
    QStringList quoted;
    for (const QRegularExpressionMatch &m : kana.globalMatch(english))
        quoted << m.captured();
    quoted.removeDuplicates();
    EXPECT_EQ(quoted, (QStringList{QStringLiteral("営業"), QStringLiteral("共有")}));
    EXPECT_FALSE(figures(japanese).isEmpty());
    EXPECT_EQ(figures(english), figures(japanese));
}

} // namespace
