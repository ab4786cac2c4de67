#include "events/DayReport.h"

#include "config/Settings.h"
#include "engine/WatchList.h"
#include "engine/WatchListModel.h"
#include "events/RecordFile.h"
#include "platform/SafeFile.h"
#include "process/ProcessFlags.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

// The page is read by the operator alone: its texts follow the console's
// language (the translation installed in the application). What it quotes
// from the records and the list stays as written.

namespace {

QString translated(const char *text) { return QCoreApplication::translate("DayReport", text); }

// --- Presence --------------------------------------------------------------

void appendStretch(QList<PresenceStretch> &out, PresenceStretch s)
{
    if (s.To <= s.From)
        return;
    if (!out.isEmpty() && out.back().To >= s.From) {
        out.back().To = std::max(out.back().To, s.To);
        out.back().OpenEnd = s.OpenEnd;
        out.back().AtStop = s.AtStop;
        return;
    }
    out.append(s);
}

// One name's presence: how many of its terminals are in (at most as many as
// carry it), and since when.
struct Presence {
    int In = 0;
    int Cap = 1;
    int From = 0;
    bool SinceBefore = false;
};

QList<PresenceStretch> intersect(const QList<PresenceStretch> &a, const QList<PresenceStretch> &b)
{
    QList<PresenceStretch> out;
    for (qsizetype i = 0, j = 0; i < a.size() && j < b.size();) {
        const int from = std::max(a[i].From, b[j].From), to = std::min(a[i].To, b[j].To);
        if (from < to)
            out.append({from, to, false, false});
        (a[i].To < b[j].To) ? ++i : ++j;
    }
    return out;
}

// The parts of [0, end) that none of the stretches of the lists cover: how
// many cover each second, from where each begins and ends (a busy day has
// more stretches than sorting them all would be worth).
QList<PresenceStretch> uncovered(std::initializer_list<QList<const QList<PresenceStretch> *>> groups, int end)
{
    QList<PresenceStretch> out;
    if (end <= 0)
        return out;
    std::vector<int> change(size_t(end) + 1);
    for (const auto &lists : groups)
        for (const QList<PresenceStretch> *list : lists)
            for (const PresenceStretch &s : *list) {
                const int from = std::clamp(s.From, 0, end), to = std::clamp(s.To, 0, end);
                if (from < to) {
                    ++change[size_t(from)];
                    --change[size_t(to)];
                }
            }
    int depth = 0;
    int gap = -1; // where the uncovered part now running began
    for (int second = 0; second < end; ++second) {
        depth += change[size_t(second)];
        if (depth == 0 && gap < 0) {
            gap = second;
        } else if (depth > 0 && gap >= 0) {
            out.append({gap, second, false, false});
            gap = -1;
        }
    }
    if (gap >= 0)
        out.append({gap, end, false, false});
    return out;
}

void addAccesses(DayReport &report, const RecordBlock &block)
{
    for (const RecordedSession &s : block.Sessions) {
        const ReportAccess session{block.Second, s.Terminal, s.UserName, {}, {}, {}, s.ConnectTime, s.AccessTime};
        if (s.Connections.isEmpty())
            report.Accesses << session;
        for (const RecordedConnection &c : s.Connections) {
            ReportAccess row = session;
            row.Share = c.Share;
            row.Account = c.Account;
            row.Files = c.Files;
            report.Accesses << row;
        }
    }
}

// --- The page --------------------------------------------------------------

// Characters a page cannot show (control characters, non-characters) as the
// replacement character; the rest escaped.
QString esc(QString text)
{
    for (QChar &c : text) {
        const char16_t u = c.unicode();
        if ((u < 0x20 && u != u'\t' && u != u'\n') || u == 0x7F || u == 0xFFFE || u == 0xFFFF)
            c = QChar(0xFFFD);
    }
    return text.toHtmlEscaped();
}

QString clock(int second)
{
    const char text[] = {char('0' + second / 36000),      char('0' + second / 3600 % 10), ':',
                         char('0' + second / 600 % 6),     char('0' + second / 60 % 10),   ':',
                         char('0' + second % 60 / 10),     char('0' + second % 10)};
    return QString::fromLatin1(text, sizeof text);
}

QString stretchText(const PresenceStretch &s) { return clock(s.From) + QStringLiteral(" - ") + clock(s.To); }

QString stretchesText(const QList<PresenceStretch> &list)
{
    if (list.isEmpty())
        return QCoreApplication::translate("DayReport", "なし");
    QStringList parts;
    for (const PresenceStretch &s : list)
        parts << stretchText(s);
    return parts.join(QCoreApplication::translate("DayReport", "、"));
}

// One minute is one unit across; a stretch of seconds stays visible.
QString x(int second) { return QString::number(second / 60.0, 'f', 1); }

const char BarStyle[] = R"(
body{font-family:"IPAexGothic","IPAGothic","Noto Sans CJK JP",sans-serif;color:#000;background:#fff;margin:1.2em}
h1{font-size:1.35em;margin:0 0 .2em}h2{font-size:1.1em;margin:1.4em 0 .4em}
p.when{margin:0 0 1em;color:#333}
table{border-collapse:collapse;width:100%}
th,td{border-bottom:1px solid #c8c8c8;padding:2px 6px;text-align:left;vertical-align:middle}
td.t{text-align:right;font-variant-numeric:tabular-nums;white-space:nowrap}
td.bar,th.bar{width:58%;padding:1px 1.5em 1px 0}table.presence th{white-space:nowrap}
tr.group th{background:#e6e6e6;font-weight:bold}
tr.sum th,tr.sum td{border-top:2px solid #666}
svg{display:block;width:100%;height:auto}
.track{fill:#f3f3f3}.late{fill:#fff}.grid{stroke:#ccc}.grid6{stroke:#888}
.off{fill:#e8dcc4}.in{fill:#1f6fb2}.open{fill:#86b6e0}.allin{fill:#2e8b3d}.allout{fill:#9b9b9b}
.axis{font-size:34px;fill:#000}
ul.notes{color:#8a1c1c}
*{-webkit-print-color-adjust:exact;print-color-adjust:exact}
@media print{body{margin:0;font-size:9pt}tr{break-inside:avoid}thead{display:table-header-group}
td.bar,th.bar{width:50%}}
)";

QString gridLines()
{
    QString minor, major;
    for (int h = 1; h < 24; ++h)
        (h % 6 ? minor : major) += QStringLiteral("M%1 0V24").arg(h * 60);
    return QStringLiteral("<path class=\"grid\" d=\"%1\"/><path class=\"grid6\" d=\"%2\"/>").arg(minor, major);
}

// "%.1f" of second / 60.0, as printf writes it, without printf (a busy day
// has a hundred thousand bars, and printf's floating point is most of their
// cost): a tenth of a minute is six seconds, and where a second lies halfway
// between two tenths, the double's own value decides, as it does for printf.
// For a second of zero or more.
char *minutesText(char *p, int second)
{
    int whole = second / 60;
    const int rest = second % 60;
    int tenth = rest / 6;
    const int beyond = rest % 6;
    // At three seconds beyond, second / 60 is halfway: its double lies above,
    // below or (a multiple of a quarter) on it, which the product with 20
    // done without rounding tells; on it, the even tenth is written.
    const double off = beyond == 3 ? std::fma(second / 60.0, 20.0, -double(whole * 20 + tenth * 2 + 1)) : 0;
    if (beyond > 3 || off > 0 || (beyond == 3 && off == 0 && tenth % 2 == 1)) {
        if (++tenth == 10) {
            tenth = 0;
            ++whole;
        }
    }
    char digits[12];
    int n = 0;
    do {
        digits[n++] = char('0' + whole % 10);
        whole /= 10;
    } while (whole > 0);
    while (n > 0)
        *p++ = digits[--n];
    *p++ = '.';
    *p++ = char('0' + tenth);
    return p;
}

char *clockText(char *p, int second)
{
    const int parts[] = {second / 3600, second / 60 % 60, second % 60};
    for (int i = 0; i < 3; ++i) {
        if (i > 0)
            *p++ = ':';
        *p++ = char('0' + parts[i] / 10);
        *p++ = char('0' + parts[i] % 10);
    }
    return p;
}

char *copy(char *p, std::string_view text) { return std::copy(text.begin(), text.end(), p); }

// One stretch's rectangle up to its title's time span: by hand for the
// seconds of a day (and somewhat beyond), through printf otherwise.
qsizetype stretchRect(char (&rect)[200], const char *cls, const PresenceStretch &s)
{
    constexpr int Hours100 = 100 * 3600;
    if (s.From >= 0 && s.To >= 0 && s.From < Hours100 && s.To < Hours100 && std::strlen(cls) < 40) {
        char *p = copy(rect, "<rect class=\"");
        p = copy(p, cls);
        p = minutesText(copy(p, "\" x=\""), s.From);
        p = copy(p, "\" y=\"3\" width=\"");
        p = s.To - s.From < 90 ? copy(p, "1.5") : minutesText(p, s.To - s.From);
        p = copy(p, "\" height=\"18\"><title>");
        p = clockText(copy(clockText(p, s.From), " - "), s.To);
        return p - rect;
    }
    const double width = std::max((s.To - s.From) / 60.0, 1.5);
    const int n = std::snprintf(rect, sizeof rect,
                                "<rect class=\"%s\" x=\"%.1f\" y=\"3\" width=\"%.1f\" height=\"18\"><title>"
                                "%02d:%02d:%02d - %02d:%02d:%02d",
                                cls, s.From / 60.0, width, s.From / 3600, s.From / 60 % 60, s.From % 60, s.To / 3600,
                                s.To / 60 % 60, s.To % 60);
    return qMin(n, int(sizeof rect) - 1);
}

// The bar, written at the end of out: the page of a busy day is tens of
// megabytes, and each bar goes straight into it.
void appendBarSvg(QString &out, const QList<PresenceStretch> &stretches, const QList<PresenceStretch> &unwatched,
                  int end, const QString &className, const QString &label)
{
    out += QStringLiteral("<svg viewBox=\"0 0 1440 24\" role=\"img\" aria-label=\"%1\">").arg(esc(label));
    out += QStringLiteral("<rect class=\"track\" x=\"0\" y=\"3\" width=\"1440\" height=\"18\"/>");
    if (end < SecondsPerDay)
        out += QStringLiteral("<rect class=\"late\" x=\"%1\" y=\"3\" width=\"%2\" height=\"18\"/>")
                   .arg(x(end), x(SecondsPerDay - end));
    for (const PresenceStretch &s : unwatched)
        out += QStringLiteral("<rect class=\"off\" x=\"%1\" y=\"3\" width=\"%2\" height=\"18\"/>")
                   .arg(x(s.From), x(s.To - s.From));
    out += gridLines();
    const QByteArray plain = className.toLatin1();
    const bool presence = className == u"in";
    const QString stopped = QStringLiteral(" (") + QCoreApplication::translate("DayReport", "監視停止") + u')';
    const QLatin1StringView close("</title></rect>");
    for (const PresenceStretch &s : stretches) {
        char rect[200];
        const qsizetype n =
            stretchRect(rect, (s.OpenStart || s.OpenEnd) && presence ? "open" : plain.constData(), s);
        out += QLatin1StringView(rect, n);
        // Ended because Corvane stopped watching, not by a logout.
        if (s.AtStop)
            out += stopped;
        out += close;
    }
    out += QLatin1StringView("</svg>");
}

QString axisSvg()
{
    QString svg = QStringLiteral("<svg viewBox=\"0 0 1440 38\" aria-hidden=\"true\">");
    for (int h = 0; h <= 24; h += 3) {
        const char *anchor = h == 0 ? "start" : h == 24 ? "end" : "middle";
        svg += QStringLiteral("<text class=\"axis\" x=\"%1\" y=\"31\" text-anchor=\"%2\">%3:00</text>")
                   .arg(h * 60)
                   .arg(QLatin1String(anchor))
                   .arg(h);
    }
    return svg + QStringLiteral("</svg>");
}

QString keySwatch(const char *cls, const QString &text)
{
    return QStringLiteral("<svg class=\"key\" viewBox=\"0 0 12 8\" style=\"display:inline;width:1.2em;margin:0 .3em 0 "
                          "1em;vertical-align:middle\"><rect class=\"%1\" width=\"12\" height=\"8\"/></svg>%2")
        .arg(QLatin1String(cls), text);
}

void appendUserRow(QString &out, const ReportRow &row, const QList<PresenceStretch> &unwatched, int end)
{
    const QString name = row.Name.isEmpty() ? QCoreApplication::translate("DayReport", "(名前なし)") : row.Name;
    const bool sinceBefore = !row.Stretches.isEmpty() && row.Stretches.front().OpenStart;
    const bool stillIn = !row.Stretches.isEmpty() && row.Stretches.back().OpenEnd;
    const QString comma = QCoreApplication::translate("DayReport", "、");
    const bool stopped = !row.Stretches.isEmpty() && row.Stretches.back().AtStop;
    QStringList first, last;
    if (row.Stretches.isEmpty())
        first << QCoreApplication::translate("DayReport", "終日不在");
    if (sinceBefore)
        first << QCoreApplication::translate("DayReport", "前日から");
    if (row.FirstLogin >= 0)
        first << clock(row.FirstLogin);
    if (row.LastLogout >= 0 && !stopped)
        last << clock(row.LastLogout);
    if (stopped)
        last << clock(row.Stretches.back().To) + u' ' + QCoreApplication::translate("DayReport", "監視停止");
    // A past day's presence went on into the next; only today's is "still".
    if (stillIn)
        last << (end >= SecondsPerDay ? QCoreApplication::translate("DayReport", "翌日へ")
                                      : QCoreApplication::translate("DayReport", "在席中"));
    for (QStringList *cell : {&first, &last})
        if (cell->isEmpty())
            *cell << QStringLiteral("-");
    out += QStringLiteral("<tr><th>") + esc(name) + QStringLiteral("</th><td class=\"bar\">");
    appendBarSvg(out, row.Stretches, unwatched, end, QStringLiteral("in"), name);
    out += QStringLiteral("</td><td class=\"t\">") + first.join(comma) + QStringLiteral("</td><td class=\"t\">")
        + last.join(comma) + QStringLiteral("</td><td class=\"t\">") + clock(row.Total)
        + QStringLiteral("</td></tr>\n");
}

QString accessTable(const DayReport &report)
{
    if (report.Accesses.isEmpty())
        return QStringLiteral("<p>%1</p>\n")
            .arg(QCoreApplication::translate("DayReport", "アクセスの記録はありません。"));
    QString out = QStringLiteral("<table class=\"access\"><thead><tr>");
    for (const char *head : {QT_TRANSLATE_NOOP("DayReport", "時刻"), QT_TRANSLATE_NOOP("DayReport", "端末"),
                             QT_TRANSLATE_NOOP("DayReport", "ユーザー名"), QT_TRANSLATE_NOOP("DayReport", "共有"),
                             QT_TRANSLATE_NOOP("DayReport", "アカウント"), QT_TRANSLATE_NOOP("DayReport", "ファイル"),
                             QT_TRANSLATE_NOOP("DayReport", "接続時間"), QT_TRANSLATE_NOOP("DayReport", "アクセス時間")})
        out += QStringLiteral("<th>%1</th>").arg(translated(head));
    out += QStringLiteral("</tr></thead><tbody>\n");
    for (const ReportAccess &a : report.Accesses) {
        QStringList files;
        for (const QString &f : a.Files)
            files << esc(f);
        out += QStringLiteral("<tr><td class=\"t\">%1</td><td>%2</td><td>%3</td><td>%4</td><td>%5</td><td>%6</td>"
                              "<td class=\"t\">%7</td><td class=\"t\">%8</td></tr>\n")
                   .arg(clock(a.Second), esc(a.Terminal), esc(a.UserName), esc(a.Share), esc(a.Account),
                        files.join(QStringLiteral("<br>")), esc(a.ConnectTime), esc(a.AccessTime));
    }
    return out + QStringLiteral("</tbody></table>\n");
}

} // namespace

QList<ReportListEntry> ReportListEntries(const WatchListModel &list)
{
    QList<ReportListEntry> out;
    WatchEntry e;
    for (int row = 0; ReadEntry(list, row, e); ++row) {
        const bool separator = e.Kind == KindSeparator || e.ResourceName == SeparatorText;
        out.append({e.UserName, separator, !separator && e.Kind == KindStandard});
    }
    return out;
}

int ReportEnd(QDate day, const QDateTime &now)
{
    if (now.date() > day)
        return SecondsPerDay;
    if (now.date() < day)
        return 0;
    return now.time().msecsSinceStartOfDay() / 1000;
}

DayReport BuildDayReport(const QList<RecordBlock> &records, QDate day, int end, const QList<ReportListEntry> &list,
                         const QList<RunMark> &runs)
{
    DayReport report;
    report.Day = day;
    const QDate first = day.addDays(-DaysLookedBack);
    // Records of several files, or of a clock that was set back, come in any
    // order; within one moment the files' order stands, a start goes before
    // the records it made and a stop after the last ones.
    struct Step {
        QDate Date;
        int Second = 0;
        int Rank = 1; // 0 start, 1 record, 2 stop
        const RecordBlock *Block = nullptr;
    };
    QList<Step> steps;
    steps.reserve(records.size() + runs.size());
    for (const RecordBlock &b : records)
        if (b.Date.isValid() && b.Date <= day && b.Date >= first)
            steps.append({b.Date, b.Second, 1, &b});
    for (const RunMark &m : runs)
        if (m.Date.isValid() && m.Date >= first && m.Date <= day)
            steps.append({m.Date, m.Second, m.Start ? 0 : 2, nullptr});
    // One file written in time order needs no sorting.
    const auto earlier = [](const Step &a, const Step &b) {
        return a.Date != b.Date ? a.Date < b.Date : a.Second != b.Second ? a.Second < b.Second : a.Rank < b.Rank;
    };
    if (!std::is_sorted(steps.begin(), steps.end(), earlier))
        std::stable_sort(steps.begin(), steps.end(), earlier);

    QHash<QString, int> terminals; // list entries carrying each name
    for (const ReportListEntry &e : list)
        if (!e.Separator)
            ++terminals[e.UserName];
    // Each name the records or the list give, with its presence and, once
    // the day has one for it, its row: one look-up for each name of a
    // record. Both lists keep the order in which the records first give the
    // names.
    struct Person {
        QString Name;
        Presence Now;
        qsizetype Row = -1;
    };
    QHash<QString, qsizetype> index;
    QList<Person> people;
    QList<ReportRow> rows;
    const auto personOf = [&](const QString &name) {
        auto it = index.constFind(name);
        if (it == index.cend()) {
            it = index.insert(name, people.size());
            people.append({name, {0, std::max(1, terminals.value(name))}, -1});
        }
        return *it;
    };
    const auto rowOf = [&](qsizetype person) -> ReportRow & {
        Person &p = people[person];
        if (p.Row < 0) {
            p.Row = rows.size();
            rows.append(ReportRow{});
            rows.back().Name = p.Name;
        }
        return rows[p.Row];
    };
    bool midnight = false;
    // Whether Corvane watched: unknown (taken as watching) until the run log
    // says; from a stop to the next start nobody's presence is known.
    bool watching = true;
    int stoppedAt = 0;
    const auto reachDay = [&] {
        if (midnight)
            return;
        midnight = true;
        stoppedAt = 0;
        for (qsizetype i = 0; i < people.size(); ++i) {
            Presence &p = people[i].Now;
            if (p.In > 0) {
                p.From = 0;
                p.SinceBefore = true;
                rowOf(i);
            }
        }
    };
    for (const Step &step : steps) {
        const bool today = step.Date == day;
        if (today)
            reachDay();
        if (!step.Block) {
            // Started or stopped: whoever was in is in no longer, as far as
            // the records can tell (a start after no stop ends the run that
            // ended unseen).
            for (qsizetype i = 0; i < people.size(); ++i) {
                Presence &p = people[i].Now;
                if (p.In > 0 && today)
                    appendStretch(rowOf(i).Stretches, {p.From, step.Second, p.SinceBefore, false, true});
                p.In = 0;
            }
            const bool start = step.Rank == 0;
            if (today && start && !watching && step.Second > stoppedAt)
                report.Unwatched.append({stoppedAt, step.Second, false, false});
            if (!start)
                stoppedAt = step.Second;
            watching = start;
            continue;
        }
        const RecordBlock &b = *step.Block;
        if (b.Kind == RecordKind::Access) {
            if (today)
                addAccesses(report, b);
            continue;
        }
        for (const QString &name : b.Names) {
            const qsizetype person = personOf(name);
            Presence &p = people[person].Now;
            if (b.Kind == RecordKind::Login) {
                if (p.In == 0) {
                    p.From = step.Second;
                    p.SinceBefore = false;
                    if (today) {
                        ReportRow &row = rowOf(person);
                        if (row.FirstLogin < 0)
                            row.FirstLogin = step.Second;
                    }
                }
                p.In = std::min(p.In + 1, p.Cap);
            } else if (p.In > 0 && --p.In == 0 && today) {
                ReportRow &row = rowOf(person);
                appendStretch(row.Stretches, {p.From, step.Second, p.SinceBefore, false, false});
                row.LastLogout = step.Second;
            }
        }
        // A record written after the report's time (a clock running ahead)
        // still belongs on the page.
        if (today)
            end = std::max(end, b.Second);
    }
    reachDay();
    report.End = end = std::clamp(end, 0, SecondsPerDay);
    if (!watching && stoppedAt < end)
        report.Unwatched.append({stoppedAt, end, false, false});
    // A stop or start after the report's time (a run log written on, or a
    // clock set back) is cut at the end like the presence.
    for (PresenceStretch &st : report.Unwatched)
        st.To = std::min(st.To, end);
    report.Unwatched.removeIf([](const PresenceStretch &st) { return st.From >= st.To; });
    for (qsizetype i = 0; i < people.size(); ++i) {
        const Presence &p = people[i].Now;
        if (p.In > 0)
            appendStretch(rowOf(i).Stretches, {p.From, end, p.SinceBefore, true, false});
    }
    for (ReportRow &row : rows) {
        // A stretch can begin after the report's end only with a clock set
        // back; the bar stops at the end.
        for (PresenceStretch &st : row.Stretches)
            st.To = std::min(st.To, end);
        row.Stretches.removeIf([](const PresenceStretch &st) { return st.From >= st.To; });
        for (const PresenceStretch &st : std::as_const(row.Stretches))
            row.Total += st.To - st.From;
    }
    // Every counted entry of the list has a row, present or not.
    for (const ReportListEntry &e : list)
        if (e.Counted)
            rowOf(personOf(e.UserName));
    const auto rowNamed = [&](const QString &name) -> const ReportRow * {
        const auto it = index.constFind(name);
        return it == index.cend() || people[*it].Row < 0 ? nullptr : &rows[people[*it].Row];
    };

    QSet<QString> placed;
    QString heading;
    bool pendingHeading = false;
    // Everyone: the counted entries of the list, or with no list every name
    // the records give.
    QSet<QString> counted;
    QList<const QList<PresenceStretch> *> everyone;
    for (const ReportListEntry &e : list) {
        if (e.Separator) {
            heading = e.UserName;
            pendingHeading = true;
            continue;
        }
        const ReportRow *row = rowNamed(e.UserName);
        if (e.Counted && !counted.contains(e.UserName)) {
            static const QList<PresenceStretch> none;
            counted.insert(e.UserName);
            everyone << (row ? &row->Stretches : &none);
        }
        if (!row || placed.contains(e.UserName))
            continue;
        if (pendingHeading)
            report.Rows.append({true, heading, {}, -1, -1, 0});
        pendingHeading = false;
        placed.insert(e.UserName);
        report.Rows.append(*row);
    }
    bool othersHeading = !list.isEmpty();
    for (const ReportRow &row : std::as_const(rows)) {
        if (placed.contains(row.Name))
            continue;
        if (othersHeading)
            report.Rows.append({true, QCoreApplication::translate("DayReport", "監視リストにない名前"), {}, -1, -1, 0});
        othersHeading = false;
        report.Rows.append(row);
    }

    if (everyone.isEmpty())
        for (const ReportRow &row : std::as_const(rows))
            everyone << &row.Stretches;
    if (!everyone.isEmpty()) {
        QList<PresenceStretch> allIn{{0, end, false, false}};
        for (const QList<PresenceStretch> *s : std::as_const(everyone))
            allIn = intersect(allIn, *s);
        report.AllIn = allIn;
        // While Corvane did not watch, nobody is known to be out.
        report.AllOut = uncovered({everyone, {&report.Unwatched}}, end);
    }
    return report;
}

QString DayReportHtml(const DayReport &report)
{
    // The translation names the page's language; the records' own date text
    // is Japanese.
    const QString language = QCoreApplication::translate("DayReport", "ja", "language code of the page");
    const QString date = language == u"ja"
        ? RecordDateText(report.Day)
        : QLocale(QLocale::English, QLocale::UnitedKingdom).toString(report.Day, QStringLiteral("dddd d MMMM yyyy"));
    const QString title = QCoreApplication::translate("DayReport", "在席レポート %1").arg(date);
    QString html = QStringLiteral("<!DOCTYPE html>\n<html lang=\"%3\"><head><meta charset=\"utf-8\">"
                                  "<title>%1</title><style>%2</style></head><body>\n<h1>%1</h1>\n")
                       .arg(esc(title), QLatin1String(BarStyle), esc(language));
    // Room for the bars at once: a busy day's page is tens of megabytes.
    qsizetype stretches = report.AllIn.size() + report.AllOut.size();
    for (const ReportRow &row : report.Rows)
        stretches += row.Stretches.size();
    html.reserve(html.size() + (report.Rows.size() + 2) * 1500 + stretches * 110 + report.Accesses.size() * 300);
    html += QStringLiteral("<p class=\"when\">%1</p>\n")
                .arg(report.End >= SecondsPerDay
                         ? QCoreApplication::translate("DayReport", "0:00 から 24:00 まで")
                         : QCoreApplication::translate("DayReport", "%1 現在").arg(clock(report.End)));

    if (report.NoRecords) {
        html += QStringLiteral("<p>%1</p>\n").arg(QCoreApplication::translate("DayReport", "この日の記録はありません。"));
    } else if (report.Rows.isEmpty()) {
        html += QStringLiteral("<p>%1</p>\n")
                    .arg(QCoreApplication::translate("DayReport", "この日のログインとログアウトの記録はありません。"));
    } else {
        html += QStringLiteral("<table class=\"presence\"><thead><tr><th>%2</th><th class=\"bar\">%1</th>"
                               "<th>%3</th><th>%4</th><th>%5</th></tr></thead><tbody>\n")
                    .arg(axisSvg(), QCoreApplication::translate("DayReport", "ユーザー名"),
                         QCoreApplication::translate("DayReport", "最初のログイン"),
                         QCoreApplication::translate("DayReport", "最後のログアウト"),
                         QCoreApplication::translate("DayReport", "在席時間"));
        for (const ReportRow &row : report.Rows) {
            if (row.Heading)
                html += QStringLiteral("<tr class=\"group\"><th colspan=\"5\">%1</th></tr>\n").arg(esc(row.Name));
            else
                appendUserRow(html, row, report.Unwatched, report.End);
        }
        const auto summary = [&](const QString &label, const QList<PresenceStretch> &s, const char *cls) {
            html += QStringLiteral("<tr class=\"sum\"><th>") + label + QStringLiteral("</th><td class=\"bar\">");
            appendBarSvg(html, s, report.Unwatched, report.End, QLatin1String(cls), label);
            html += QStringLiteral("</td><td colspan=\"3\">") + stretchesText(s) + QStringLiteral("</td></tr>\n");
        };
        const QString allIn = QCoreApplication::translate("DayReport", "全員在席");
        const QString allOut = QCoreApplication::translate("DayReport", "全員不在");
        summary(allIn, report.AllIn, "allin");
        summary(allOut, report.AllOut, "allout");
        html += QStringLiteral("</tbody></table>\n<p>")
            + keySwatch("in", QCoreApplication::translate("DayReport", "在席"))
            + keySwatch("open", QCoreApplication::translate("DayReport", "前日から、または作成時に在席中"))
            + keySwatch("allin", allIn) + keySwatch("allout", allOut)
            + (report.Unwatched.isEmpty() ? QString()
                                          : keySwatch("off", QCoreApplication::translate("DayReport", "監視停止")))
            + QStringLiteral("</p>\n");
    }

    html += QStringLiteral("<h2>%1</h2>\n").arg(QCoreApplication::translate("DayReport", "共有のアクセス"))
        + accessTable(report);
    if (!report.Notes.isEmpty()) {
        html += QStringLiteral("<h2>%1</h2>\n<ul class=\"notes\">\n")
                    .arg(QCoreApplication::translate("DayReport", "読めなかった記録"));
        for (const QString &note : report.Notes)
            html += QStringLiteral("<li>%1</li>\n").arg(esc(note));
        html += QStringLiteral("</ul>\n");
    }
    // Added in place: the page is too large to be copied for its last line.
    html += QStringLiteral("<p class=\"when\">%1</p>\n</body></html>\n").arg(esc(AppTitle));
    return html;
}

DayReport MakeDayReport(const ProgramSettings &settings, QDate day, const QDateTime &now,
                        const QList<ReportListEntry> &list)
{
    QList<RecordBlock> records;
    QStringList notes;
    QStringList read;
    bool dayHasRecords = false;
    // The day's files, then those of the days before (often the same file
    // under a monthly or yearly name): who was in at midnight. A missing
    // file is no fault: a day without logouts has none.
    for (int back = 0; back <= DaysLookedBack; ++back) {
        const QDate date = day.addDays(-back);
        for (RecordKind kind : {RecordKind::Login, RecordKind::Logout, RecordKind::Access}) {
            // Accesses of the days before tell nothing about presence.
            if (back > 0 && kind == RecordKind::Access)
                continue;
            const RecordTarget target = RecordFilePath(kind, settings, date);
            if (read.contains(target.path))
                continue;
            read << target.path;
            if (!target.valid) {
                if (back == 0)
                    notes << QCoreApplication::translate("DayReport", "ファイル名が不正です: %1").arg(target.name);
                continue;
            }
            if (!QFileInfo::exists(target.path))
                continue;
            dayHasRecords = dayHasRecords || back == 0;
            RecordReading r = ReadRecordFile(target.path);
            records += r.Blocks;
            if (back == 0)
                for (const QString &note : std::as_const(r.Notes))
                    notes << target.name + QStringLiteral(": ") + note;
        }
    }
    DayReport report = BuildDayReport(records, day, ReportEnd(day, now), list, ReadRunMarks(RunLogPath(settings)));
    report.Notes = notes;
    report.NoRecords = !dayHasRecords;
    return report;
}

DayReportTarget DayReportPath(const ProgramSettings &settings, QDate day)
{
    const RecordTarget login = RecordFilePath(RecordKind::Login, settings, day);
    const QString folder = settings.Login.RecordFolder.isEmpty() ? settings.ProgramDir : settings.Login.RecordFolder;
    const QString base = ExpandRecordName(settings.Login.RecordFile, day);
    DayReportTarget target;
    target.name = base + QStringLiteral(".html");
    for (RecordKind kind : {RecordKind::Login, RecordKind::Logout, RecordKind::Access})
        if (RecordFilePath(kind, settings, day).path == folder + target.name)
            target.name = base + QStringLiteral("-report.html");
    target.path = folder + target.name;
    target.valid = login.valid && IsValidRecordName(target.name);
    return target;
}

bool WriteDayReport(const QString &path, const QString &html)
{
    return SafeFile::replace(path, html.toUtf8());
}
