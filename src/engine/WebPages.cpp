#include "engine/WebPages.h"

#include <QHash>
#include <QSet>

#include <charconv>
#include <chrono>
#include <cmath>
#include <ctime>

namespace WebPages {

namespace {

// --- Escaping ---------------------------------------------------------------

void appendHtml(QByteArray &out, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    for (const char c : utf8) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
}

void appendJsonString(QByteArray &out, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    out += '"';
    qsizetype plain = 0;  // the start of the run not yet copied
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        const unsigned char c = uchar(utf8[i]);
        if (c >= 0x20 && c != '"' && c != '\\')
            continue;
        out.append(utf8.constData() + plain, i - plain);
        plain = i + 1;
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default: {
            static const char hex[] = "0123456789abcdef";
            const char escaped[] = {'\\', 'u', '0', '0', hex[c >> 4], hex[c & 15]};
            out.append(escaped, 6);
        }
        }
    }
    out.append(utf8.constData() + plain, utf8.size() - plain);
    out += '"';
}

// A label value of the exposition format: backslash, double quote and line
// feed escaped, everything else as it stands.
void appendLabelValue(QByteArray &out, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    out += '"';
    qsizetype plain = 0;
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        const char c = utf8[i];
        if (c != '"' && c != '\\' && c != '\n')
            continue;
        out.append(utf8.constData() + plain, i - plain);
        plain = i + 1;
        out += c == '\n' ? "\\n" : c == '"' ? "\\\"" : "\\\\";
    }
    out.append(utf8.constData() + plain, utf8.size() - plain);
    out += '"';
}

void appendNumber(QByteArray &out, quint64 value)
{
    char buf[24];
    const auto end = std::to_chars(buf, buf + sizeof buf, value).ptr;
    out.append(buf, end - buf);
}

void appendNumber(QByteArray &out, double value)
{
    if (std::isnan(value)) {
        out += "NaN";
        return;
    }
    if (std::isinf(value)) {
        out += value > 0 ? "+Inf" : "-Inf";
        return;
    }
    char buf[32];
    const auto end = std::to_chars(buf, buf + sizeof buf, value).ptr;
    out.append(buf, end - buf);
}

void appendTwo(QByteArray &out, unsigned value)
{
    const char digits[] = {char('0' + value / 10 % 10), char('0' + value % 10)};
    out.append(digits, 2);
}

// The offsets from UTC of this computer's time zone, looked up once an
// hour of UTC for one rendering. Qt converts a local QDateTime to UTC and
// its offset through mktime(), which reads /etc/localtime again on every
// call when TZ is unset, as under systemd: 2 to 4 µs an entry, 25 ms for a
// list of ten thousand.
class LocalOffsets {
public:
    int at(qint64 utcSeconds)
    {
        const qint64 hour = utcSeconds >= 0 ? utcSeconds / 3600 : (utcSeconds - 3599) / 3600;
        const auto known = byHour_.constFind(hour);
        if (known != byHour_.cend())
            return *known;
        const time_t t = time_t(hour * 3600);
        tm local{};
        const int offset = ::localtime_r(&t, &local) ? int(local.tm_gmtoff) : 0;
        byHour_.insert(hour, offset);
        return offset;
    }

private:
    QHash<qint64, int> byHour_;
};

// "2024-05-01T09:30:00+09:00": the time as its own offset from UTC tells,
// to the second.
void appendIsoTime(QByteArray &out, const QDateTime &when, LocalOffsets &offsets)
{
    using namespace std::chrono;
    constexpr qint64 Day = 86400;
    constexpr qint64 UnixEpochJulianDay = 2440588;
    qint64 local = 0;  // the wall-clock time, counted as if it were UTC
    int offset = 0;
    bool known = false;
    if (when.timeSpec() == Qt::LocalTime) {
        // The wall clock is what a local QDateTime holds; its offset is the
        // zone's, unambiguous unless the offset changes within a day of it.
        local = (when.date().toJulianDay() - UnixEpochJulianDay) * Day + when.time().msecsSinceStartOfDay() / 1000;
        offset = offsets.at(local - offsets.at(local));
        known = offsets.at(local - Day) == offset && offsets.at(local + Day) == offset;
    }
    if (!known) {
        offset = when.offsetFromUtc();
        local = when.toSecsSinceEpoch() + offset;
    }
    const sys_days day{days{local >= 0 ? local / Day : (local - Day + 1) / Day}};
    const qint64 second = local - qint64(day.time_since_epoch().count()) * Day;
    const year_month_day date{day};
    const int year = int(date.year());
    if (year < 0 || year > 9999) {
        out += "null";
        return;
    }
    out += '"';
    appendTwo(out, unsigned(year / 100));
    appendTwo(out, unsigned(year % 100));
    out += '-';
    appendTwo(out, unsigned(date.month()));
    out += '-';
    appendTwo(out, unsigned(date.day()));
    out += 'T';
    appendTwo(out, unsigned(second / 3600));
    out += ':';
    appendTwo(out, unsigned(second / 60 % 60));
    out += ':';
    appendTwo(out, unsigned(second % 60));
    out += offset < 0 ? '-' : '+';
    const unsigned minutes = unsigned(std::abs(offset) / 60);
    appendTwo(out, minutes / 60);
    out += ':';
    appendTwo(out, minutes % 60);
    out += '"';
}

// --- The page's texts, Japanese first -----------------------------------------

struct Texts {
    const char *lang;
    const char *heading;      // %1: this computer
    const char *asOf;         // %1: the snapshot's time
    const char *present;      // %1 of %2 logged in
    const char *columns[6];   // user, resource, state, since, seen by, address
    const char *states[5];    // in, out, error, resting, unknown
    const char *seenBy[5];    // echo, browse list, discovery, arp, tcp
    const char *empty;
    const char *report;
    const char *loginTitle;
    const char *tokenLabel;
    const char *loginButton;
    const char *wrongToken;
    const char *loginNeeded;
};

const Texts Japanese{
    "ja",
    "在席一覧 (%1)",
    "%1 現在",
    "在席 %1 / %2 台",
    {"ユーザー名", "端末", "状態", "変化した時刻", "確認方法", "IPアドレス"},
    {"ログイン", "ログアウト", "監視エラー", "お休み", "未確認"},
    {"エコー", "ブラウズリスト", "探索", "ARP", "TCP"},
    "監視リストに端末がありません。",
    "今日の在席レポート",
    "ログイン",
    "トークン",
    "ログイン",
    "トークンが違います。",
    "この画面を見るにはログインしてください。",
};

const Texts English{
    "en",
    "Presence (%1)",
    "as of %1",
    "%1 of %2 logged in",
    {"User", "Terminal", "State", "Since", "Seen by", "Address"},
    {"Logged in", "Logged out", "Watch error", "Resting", "Unconfirmed"},
    {"echo", "browse list", "discovery", "ARP", "TCP"},
    "The watch list holds no terminals.",
    "Today's presence report",
    "Log in",
    "Token",
    "Log in",
    "That token is wrong.",
    "Log in to see this page.",
};

const Texts &textsFor(const QString &language)
{
    return language == u"en" ? English : Japanese;
}

constexpr const char *StateNames[5] = {"in", "out", "error", "resting", "unknown"};
constexpr const char *SeenByNames[5] = {"echo", "browse list", "discovery", "arp", "tcp"};

int indexOf(const char *const (&names)[5], const QString &name)
{
    for (int i = 0; i < 5; ++i)
        if (name == QLatin1String(names[i]))
            return i;
    return -1;
}

QString text(const char *utf8) { return QString::fromUtf8(utf8); }

const char PageStyle[] =
    "body{font-family:sans-serif;margin:.6em;color:#222;background:#fff}"
    "h1{font-size:1.3em;margin:.2em 0}h2{font-size:1.05em;margin:1em 0 .3em}"
    ".when{color:#666;font-size:.9em}.wrap{overflow-x:auto}"
    "table{border-collapse:collapse;width:100%}"
    "th,td{text-align:left;padding:.3em .5em;border-bottom:1px solid #ddd;white-space:nowrap}"
    "th{background:#f3f3f3}tr.in .state{color:#070;font-weight:bold}tr.error .state{color:#b00}"
    "tr.out td,tr.resting td,tr.unknown td{color:#777}"
    "input,button{font-size:1em;padding:.3em}.wrong{color:#b00}";

void appendHead(QByteArray &out, const Texts &t, const QString &title, bool refresh)
{
    out += "<!DOCTYPE html>\n<html lang=\"";
    out += t.lang;
    out += "\"><head><meta charset=\"utf-8\">"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">";
    if (refresh)
        out += "<meta http-equiv=\"refresh\" content=\"10\">";
    out += "<title>";
    appendHtml(out, title);
    out += "</title><style>";
    out += PageStyle;
    out += "</style></head><body>\n";
}

QString sinceText(const QDateTime &since, const QDateTime &taken)
{
    if (!since.isValid())
        return {};
    return since.toString(since.date() == taken.date() ? QStringLiteral("HH:mm:ss")
                                                       : QStringLiteral("yyyy-MM-dd HH:mm"));
}

} // namespace

QByteArray ListPage(const WatchSnapshot &snapshot)
{
    const Texts &t = textsFor(snapshot.language);
    QByteArray out;
    out.reserve(1024 + snapshot.terminals.size() * 200);
    const QString heading = text(t.heading).arg(snapshot.computer);
    appendHead(out, t, heading, true);
    out += "<h1>";
    appendHtml(out, heading);
    out += "</h1>\n<p class=\"when\">";
    qsizetype present = 0;
    for (const TerminalState &terminal : snapshot.terminals)
        present += terminal.state == u"in";
    if (snapshot.taken.isValid()) {
        appendHtml(out, text(t.asOf).arg(snapshot.taken.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))));
        out += " &middot; ";
    }
    appendHtml(out, text(t.present).arg(present).arg(snapshot.terminals.size()));
    out += "</p>\n";

    if (snapshot.terminals.isEmpty()) {
        out += "<p>";
        out += t.empty;
        out += "</p>\n";
    }
    // One table for each run of entries under the same separator, in list
    // order, as the console shows them.
    for (qsizetype i = 0; i < snapshot.terminals.size();) {
        const QString &group = snapshot.terminals[i].group;
        if (!group.isEmpty()) {
            out += "<h2>";
            appendHtml(out, group);
            out += "</h2>\n";
        }
        out += "<div class=\"wrap\"><table><thead><tr>";
        for (const char *column : t.columns) {
            out += "<th>";
            out += column;
            out += "</th>";
        }
        out += "</tr></thead><tbody>\n";
        for (; i < snapshot.terminals.size() && snapshot.terminals[i].group == group; ++i) {
            const TerminalState &terminal = snapshot.terminals[i];
            const int state = indexOf(StateNames, terminal.state);
            const int seenBy = indexOf(SeenByNames, terminal.seenBy);
            out += "<tr class=\"";
            out += state >= 0 ? StateNames[state] : "unknown";
            out += "\"><td>";
            appendHtml(out, terminal.user);
            out += "</td><td>";
            appendHtml(out, terminal.resource);
            out += "</td><td class=\"state\">";
            if (state >= 0)
                out += t.states[state];
            else
                appendHtml(out, terminal.state);
            out += "</td><td>";
            appendHtml(out, sinceText(terminal.since, snapshot.taken));
            out += "</td><td>";
            if (seenBy >= 0)
                out += t.seenBy[seenBy];
            else
                appendHtml(out, terminal.seenBy);
            out += "</td><td>";
            appendHtml(out, terminal.address);
            out += "</td></tr>\n";
        }
        out += "</tbody></table></div>\n";
    }
    out += "<p class=\"when\"><a href=\"/report\">";
    out += t.report;
    out += "</a></p>\n</body></html>\n";
    return out;
}

QByteArray TerminalsJson(const WatchSnapshot &snapshot)
{
    QByteArray out;
    out.reserve(16 + snapshot.terminals.size() * 160);
    out += '[';
    bool first = true;
    LocalOffsets offsets;
    for (const TerminalState &terminal : snapshot.terminals) {
        out += first ? "\n{\"resource\":" : ",\n{\"resource\":";
        first = false;
        appendJsonString(out, terminal.resource);
        out += ",\"user\":";
        appendJsonString(out, terminal.user);
        out += ",\"group\":";
        appendJsonString(out, terminal.group);
        out += ",\"address\":";
        appendJsonString(out, terminal.address);
        out += ",\"state\":";
        appendJsonString(out, terminal.state);
        out += ",\"since\":";
        if (terminal.since.isValid())
            appendIsoTime(out, terminal.since, offsets);
        else
            out += "null";
        out += ",\"seen_by\":";
        appendJsonString(out, terminal.seenBy);
        out += '}';
    }
    out += "\n]\n";
    return out;
}

QByteArray AccessJson(const WatchSnapshot &snapshot)
{
    QByteArray out = "[";
    bool first = true;
    for (const SessionState &session : snapshot.sessions) {
        out += first ? "\n{\"user\":" : ",\n{\"user\":";
        first = false;
        appendJsonString(out, session.user);
        out += ",\"terminal\":";
        appendJsonString(out, session.terminal);
        out += ",\"shares\":[";
        const QStringList shares = session.shares.split(u',', Qt::SkipEmptyParts);
        for (qsizetype i = 0; i < shares.size(); ++i) {
            if (i > 0)
                out += ',';
            appendJsonString(out, shares[i]);
        }
        out += "],\"connected_seconds\":";
        out += QByteArray::number(session.connectedSeconds);
        out += ",\"idle_seconds\":";
        out += QByteArray::number(session.idleSeconds);
        out += '}';
    }
    out += "\n]\n";
    return out;
}

QByteArray Metrics(const WatchSnapshot &snapshot)
{
    QByteArray out;
    out.reserve(2048 + snapshot.terminals.size() * 100);
    out += "# HELP corvane_terminal_present Whether the terminal of the watch list is logged in (1) or not (0).\n"
           "# TYPE corvane_terminal_present gauge\n";
    std::array<quint64, 5> counts{};
    // Two entries alike in resource, user and group would be one series
    // twice, which a scrape refuses whole: the first of them stands.
    QSet<QByteArray> seen;
    seen.reserve(snapshot.terminals.size());
    QByteArray labels;
    for (const TerminalState &terminal : snapshot.terminals) {
        const int state = indexOf(StateNames, terminal.state);
        if (state >= 0)
            ++counts[size_t(state)];
        labels.clear();
        labels += "{resource=";
        appendLabelValue(labels, terminal.resource);
        labels += ",user=";
        appendLabelValue(labels, terminal.user);
        labels += ",group=";
        appendLabelValue(labels, terminal.group);
        labels += '}';
        const qsizetype before = seen.size();
        seen.insert(labels);
        if (seen.size() == before)
            continue;
        out += "corvane_terminal_present";
        out += labels;
        out += state == 0 ? " 1\n" : " 0\n";
    }
    out += "# HELP corvane_terminals Terminals of the watch list by state.\n"
           "# TYPE corvane_terminals gauge\n";
    for (size_t i = 0; i < counts.size(); ++i) {
        out += "corvane_terminals{state=\"";
        out += StateNames[i];
        out += "\"} ";
        appendNumber(out, counts[i]);
        out += '\n';
    }
    out += "# HELP corvane_pass_duration_seconds How long the last watch pass took.\n"
           "# TYPE corvane_pass_duration_seconds gauge\n"
           "corvane_pass_duration_seconds ";
    appendNumber(out, snapshot.lastPassSeconds);
    out += "\n# HELP corvane_passes_total Watch passes since the start.\n"
           "# TYPE corvane_passes_total counter\n"
           "corvane_passes_total ";
    appendNumber(out, snapshot.passes);
    out += "\n# HELP corvane_events_total Events since the start, by kind.\n"
           "# TYPE corvane_events_total counter\n";
    for (size_t i = 0; i < snapshot.events.size(); ++i) {
        out += "corvane_events_total{kind=\"";
        out += CountedEventNames[i];
        out += "\"} ";
        appendNumber(out, snapshot.events[i]);
        out += '\n';
    }
    out += "# HELP corvane_access_sessions Sessions on this computer's shares.\n"
           "# TYPE corvane_access_sessions gauge\n"
           "corvane_access_sessions ";
    appendNumber(out, quint64(snapshot.sessions.size()));
    out += '\n';
    return out;
}

QByteArray LoginPage(const QString &language, bool wrongToken)
{
    const Texts &t = textsFor(language);
    QByteArray out;
    appendHead(out, t, text(t.loginTitle), false);
    out += "<h1>";
    out += t.loginTitle;
    out += "</h1>\n";
    if (wrongToken) {
        out += "<p class=\"wrong\">";
        out += t.wrongToken;
        out += "</p>\n";
    }
    out += "<form method=\"post\" action=\"/login\"><p><label>";
    out += t.tokenLabel;
    out += "<br><input type=\"password\" name=\"token\" autocomplete=\"current-password\" autofocus required>"
           "</label></p><p><button type=\"submit\">";
    out += t.loginButton;
    out += "</button></p></form>\n</body></html>\n";
    return out;
}

QByteArray LoginNeededPage(const QString &language)
{
    const Texts &t = textsFor(language);
    QByteArray out;
    appendHead(out, t, text(t.loginTitle), false);
    out += "<p>";
    out += t.loginNeeded;
    out += "</p>\n<p><a href=\"/login\">";
    out += t.loginButton;
    out += "</a></p>\n</body></html>\n";
    return out;
}

} // namespace WebPages
