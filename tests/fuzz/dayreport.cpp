// The record readers and the day report over any bytes: the presence of
// every row lies inside the day, in order, without overlaps, and adds up to
// its total; everyone-in lies inside every counted row, all-out outside all
// of them; no text of the file reaches the page unescaped.
//
// Fields: the file, a selector (text or XML, the report's time, a stop of
// Corvane).

#include "FuzzInput.h"

#include "events/DayReport.h"

using namespace Qt::StringLiterals;

namespace {

void checkStretches(const QList<PresenceStretch> &list, int end)
{
    int at = 0;
    for (const PresenceStretch &s : list) {
        FUZZ_CHECK(s.From >= at && s.From < s.To && s.To <= end);
        at = s.To;
    }
}

bool covers(const QList<PresenceStretch> &list, int second)
{
    for (const PresenceStretch &s : list)
        if (s.From <= second && second < s.To)
            return true;
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const fuzz::Fields f(data, size);
    const QByteArray contents = f.bytes(0);
    const QByteArray selector = f.bytes(1);
    const int pick = selector.isEmpty() ? 0 : quint8(selector[0]);
    const RecordReading r = (pick & 1) ? ReadXmlRecords(contents) : ReadTextRecords(contents);

    const QDate day = r.Blocks.isEmpty() ? QDate(2026, 12, 6) : r.Blocks.front().Date;
    const int end = (pick >> 1) * 700;
    const QList<ReportListEntry> list{{QStringLiteral("-----"), true, false},
                                      {r.Blocks.isEmpty() || r.Blocks.front().Names.isEmpty()
                                           ? QString()
                                           : r.Blocks.front().Names.front(),
                                       false, true}};
    // Corvane stopped for ten minutes in the morning.
    const QList<RunMark> runs = (pick & 4) ? QList<RunMark>{{day, 30000, false}, {day, 30600, true}} : QList<RunMark>{};
    const DayReport report = BuildDayReport(r.Blocks, day, end, (pick & 2) ? list : QList<ReportListEntry>{}, runs);
    FUZZ_CHECK(report.End >= std::min(end, SecondsPerDay) && report.End <= SecondsPerDay);

    QList<const ReportRow *> rows;
    for (const ReportRow &row : report.Rows) {
        if (row.Heading)
            continue;
        checkStretches(row.Stretches, report.End);
        int total = 0;
        for (const PresenceStretch &s : row.Stretches)
            total += s.To - s.From;
        FUZZ_CHECK(total == row.Total);
        rows << &row;
    }
    checkStretches(report.AllIn, report.End);
    checkStretches(report.AllOut, report.End);
    // While Corvane was stopped nobody is known to be out.
    checkStretches(report.Unwatched, report.End);
    for (const PresenceStretch &s : report.AllOut)
        FUZZ_CHECK(!covers(report.Unwatched, s.From));
    for (const PresenceStretch &s : report.AllOut)
        for (const ReportRow *row : rows)
            if (!(pick & 2))
                FUZZ_CHECK(!covers(row->Stretches, s.From));
    for (const PresenceStretch &s : report.AllIn)
        for (const ReportRow *row : rows)
            if (!(pick & 2))
                FUZZ_CHECK(covers(row->Stretches, s.From));

    // Every tag is one the page is made of: a text of the file cannot open one.
    static const QStringList tags{u"!DOCTYPE"_s, u"html"_s, u"head"_s,  u"meta"_s,  u"title"_s, u"style"_s,
                                  u"body"_s,     u"h1"_s,   u"h2"_s,    u"p"_s,     u"table"_s, u"thead"_s,
                                  u"tbody"_s,    u"tr"_s,   u"th"_s,    u"td"_s,    u"svg"_s,   u"rect"_s,
                                  u"path"_s,     u"text"_s, u"ul"_s,    u"li"_s,    u"br"_s};
    const QString html = DayReportHtml(report);
    for (qsizetype at = html.indexOf(u'<'); at >= 0; at = html.indexOf(u'<', at + 1)) {
        qsizetype from = at + 1, to = from;
        if (to < html.size() && html[to] == u'/')
            from = ++to;
        while (to < html.size() && html[to] != u' ' && html[to] != u'>' && html[to] != u'/')
            ++to;
        FUZZ_CHECK(tags.contains(html.sliced(from, to - from)));
    }
    return 0;
}
