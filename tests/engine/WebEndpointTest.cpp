// The HTTP endpoint over real sockets: on loopback for what a browser,
// curl and Prometheus read and for hostile clients (foreign Host names,
// traversal, oversized and slow requests, too many connections), and from a
// second network namespace across a veth pair for the token.

#include "engine/WebEndpoint.h"
#include "engine/WebPages.h"

#include "platform/RunTool.h"
#include "support/NetNamespace.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTimeZone>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <mutex>
#include <thread>

inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QByteArray &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }

namespace {

using namespace std::chrono_literals;

const QString Hostile = QStringLiteral("<script>\"x\\y\nz</script>");
const QByteArray Token = "s3cret-Token+/=long";

WatchSnapshotPtr sampleSnapshot(const QString &language)
{
    const QTimeZone tokyo(9 * 3600);
    auto s = std::make_shared<WatchSnapshot>();
    s->taken = QDateTime(QDate(2024, 5, 1), QTime(12, 0), tokyo);
    s->computer = QStringLiteral("OFFICE-PC");
    s->language = language;
    s->terminals = {
        {"PC01", "tanaka", "", "192.168.1.10", "in", QDateTime(QDate(2024, 5, 1), QTime(9, 30), tokyo), "echo"},
        {"PC02", Hostile, "営業", "192.168.1.11", "out", {}, ""},
        {"PC03", "suzuki", "営業", "", "resting", {}, ""},
        {"PC04", "sato", "営業", "", "error", {}, ""},
        {"PC05", "ito", "営業", "", "unknown", {}, ""},
    };
    s->sessions = {{"tanaka", "PC01", "share,docs", 125, 5}};
    s->lastPassSeconds = 0.25;
    s->passes = 42;
    s->events = {3, 2, 1, 1, 0, 7};
    return s;
}

// --- A plain client on blocking sockets, every wait bounded ----------------

socklen_t socketAddress(const char *ip, quint16 port, sockaddr_storage *address)
{
    *address = {};
    auto *v4 = reinterpret_cast<sockaddr_in *>(address);
    auto *v6 = reinterpret_cast<sockaddr_in6 *>(address);
    if (::inet_pton(AF_INET, ip, &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(port);
        return sizeof *v4;
    }
    if (::inet_pton(AF_INET6, ip, &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(port);
        return sizeof *v6;
    }
    return 0;
}

// from: the source address (another loopback address stands for another
// host).
int connectTo(const char *ip, quint16 port, const char *from = nullptr)
{
    sockaddr_storage address{}, source{};
    const socklen_t length = socketAddress(ip, port, &address);
    const socklen_t sourceLength = from ? socketAddress(from, 0, &source) : 0;
    if (length == 0 || (from && sourceLength == 0))
        return -1;
    const int fd = ::socket(address.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const timeval wait{5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait);
    if ((from && ::bind(fd, reinterpret_cast<sockaddr *>(&source), sourceLength) != 0)
        || ::connect(fd, reinterpret_cast<sockaddr *>(&address), length) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

struct Reply {
    int status = 0;  // 0: no answer
    bool sentAll = false;  // the whole request went out
    QByteArray head;
    QByteArray body;

    QByteArray header(const QByteArray &name) const
    {
        for (const QByteArray &line : head.split('\n')) {
            const qsizetype colon = line.indexOf(':');
            if (colon > 0 && line.left(colon).toLower() == name.toLower())
                return line.mid(colon + 1).trimmed();
        }
        return {};
    }
};

// Everything the server sends until it closes (at most 10 s).
Reply readReply(int fd)
{
    QByteArray all;
    char buf[65536];
    const auto until = std::chrono::steady_clock::now() + 10s;
    while (std::chrono::steady_clock::now() < until) {
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0)
            break;
        all.append(buf, n);
    }
    Reply reply;
    const qsizetype end = all.indexOf("\r\n\r\n");
    if (!all.startsWith("HTTP/1.1 ") || end < 0)
        return reply;
    reply.status = all.mid(9, 3).toInt();
    reply.head = all.left(end);
    reply.body = all.mid(end + 4);
    return reply;
}

Reply exchange(const char *ip, quint16 port, const QByteArray &request, const char *from = nullptr)
{
    const int fd = connectTo(ip, port, from);
    if (fd < 0)
        return {};
    qsizetype sent = 0;
    while (sent < request.size()) {
        const ssize_t n = ::send(fd, request.constData() + sent, size_t(request.size() - sent), MSG_NOSIGNAL);
        if (n <= 0)
            break;
        sent += n;
    }
    Reply reply = readReply(fd);
    reply.sentAll = sent == request.size();
    ::close(fd);
    return reply;
}

QByteArray get(const QByteArray &path, const QByteArray &more = {}, const QByteArray &host = "localhost")
{
    return "GET " + path + " HTTP/1.1\r\nHost: " + host + "\r\n" + more + "\r\n";
}

QByteArray loginRequest(const QByteArray &token)
{
    const QByteArray body = "token=" + token.toPercentEncoding();
    return "POST /login HTTP/1.1\r\nHost: 10.9.0.1\r\nContent-Type: application/x-www-form-urlencoded\r\n"
           "Content-Length: "
        + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

// Whether the server has closed the connection (or sent something), without
// waiting.
bool closedByServer(int fd)
{
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, 0) > 0;
}

class WebEndpointTest : public ::testing::Test {
protected:
    void SetUp() override { board.publish(sampleSnapshot(QStringLiteral("ja"))); }

    quint16 start(WebSettings settings = {}, WebLimits limits = {})
    {
        web = std::make_unique<WebEndpoint>(
            board,
            [this](QDate day) {
                std::lock_guard lock(mutex);
                reportDays << day;
                return "<p>report " + day.toString(Qt::ISODate).toUtf8() + "</p>";
            },
            limits);
        settings.anyPort = true;
        EXPECT_EQ(web->start(settings), QString());
        return web->port();
    }
    Reply ask(const QByteArray &request) { return exchange("127.0.0.1", web->port(), request); }
    QList<QDate> days()
    {
        std::lock_guard lock(mutex);
        return reportDays;
    }

    SnapshotBoard board;
    std::mutex mutex;
    QList<QDate> reportDays;
    std::unique_ptr<WebEndpoint> web;
};

// --- What it serves -----------------------------------------------------------

TEST_F(WebEndpointTest, TerminalsAsJson)
{
    start();
    const Reply r = ask(get("/api/terminals"));
    ASSERT_EQ(r.status, 200);
    EXPECT_EQ(r.header("content-type"), "application/json; charset=utf-8");
    QJsonParseError error;
    const QJsonArray list = QJsonDocument::fromJson(r.body, &error).array();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << r.body.constData();
    ASSERT_EQ(list.size(), 5);
    const QJsonObject first = list[0].toObject();
    EXPECT_EQ(first.value("resource").toString(), "PC01");
    EXPECT_EQ(first.value("user").toString(), "tanaka");
    EXPECT_EQ(first.value("group").toString(), "");
    EXPECT_EQ(first.value("address").toString(), "192.168.1.10");
    EXPECT_EQ(first.value("state").toString(), "in");
    EXPECT_EQ(first.value("since").toString(), "2024-05-01T09:30:00+09:00");
    EXPECT_EQ(first.value("seen_by").toString(), "echo");
    const QJsonObject second = list[1].toObject();
    EXPECT_EQ(second.value("user").toString(), Hostile);
    EXPECT_EQ(second.value("group").toString(), "営業");
    EXPECT_TRUE(second.value("since").isNull());
}

TEST_F(WebEndpointTest, AccessSessionsAsJson)
{
    start();
    const Reply r = ask(get("/api/access"));
    ASSERT_EQ(r.status, 200);
    const QJsonArray list = QJsonDocument::fromJson(r.body).array();
    ASSERT_EQ(list.size(), 1);
    const QJsonObject session = list[0].toObject();
    EXPECT_EQ(session.value("user").toString(), "tanaka");
    EXPECT_EQ(session.value("terminal").toString(), "PC01");
    EXPECT_EQ(session.value("shares").toArray(), QJsonArray({"share", "docs"}));
    EXPECT_EQ(session.value("connected_seconds").toInt(), 125);
    EXPECT_EQ(session.value("idle_seconds").toInt(), 5);
}

TEST_F(WebEndpointTest, ListPageInTheConsolesLanguageWithEveryNameEscaped)
{
    start();
    Reply r = ask(get("/"));
    ASSERT_EQ(r.status, 200);
    EXPECT_EQ(r.header("content-type"), "text/html; charset=utf-8");
    EXPECT_TRUE(r.header("content-security-policy").startsWith("default-src 'none'; style-src 'unsafe-inline'"));
    EXPECT_EQ(r.header("x-content-type-options"), "nosniff");
    EXPECT_EQ(r.header("cache-control"), "no-store");
    EXPECT_EQ(r.header("referrer-policy"), "no-referrer");
    const QString page = QString::fromUtf8(r.body);
    EXPECT_TRUE(page.contains(u"<html lang=\"ja\""));
    EXPECT_TRUE(page.contains(u"<meta http-equiv=\"refresh\" content=\"10\">"));
    EXPECT_TRUE(page.contains(u"name=\"viewport\""));
    EXPECT_TRUE(page.contains(u"<h2>営業</h2>"));
    EXPECT_TRUE(page.contains(u"<td>tanaka</td><td>PC01</td><td class=\"state\">ログイン</td><td>09:30:00</td>"
                              u"<td>エコー</td><td>192.168.1.10</td>"));
    EXPECT_TRUE(page.contains(u"&lt;script&gt;&quot;x\\y\nz&lt;/script&gt;"));
    EXPECT_FALSE(page.contains(u"<script"));
    EXPECT_FALSE(page.contains(u"src=")) << "nothing loaded from elsewhere";

    board.publish(sampleSnapshot(QStringLiteral("en")));
    r = ask(get("/"));
    EXPECT_TRUE(r.body.contains("<html lang=\"en\""));
    EXPECT_TRUE(r.body.contains("<td class=\"state\">Logged in</td>"));
    EXPECT_TRUE(r.body.contains("<td class=\"state\">Resting</td>"));
}

TEST_F(WebEndpointTest, MetricsReadByPrometheusParsers)
{
    start();
    const Reply r = ask(get("/metrics"));
    ASSERT_EQ(r.status, 200);
    EXPECT_EQ(r.header("content-type"), "text/plain; version=0.0.4; charset=utf-8");

    bool checked = false;
    if (QFile::exists(QStringLiteral("/usr/bin/promtool"))) {
        const ToolRun lint = RunTool(QStringLiteral("/usr/bin/promtool"),
                                     {QStringLiteral("check"), QStringLiteral("metrics")}, 20000,
                                     ToolChannels::Merged, r.body);
        EXPECT_TRUE(lint.Succeeded()) << lint.output.constData();
        checked = true;
    }
    const char *script = "import json, sys\n"
                         "from prometheus_client.parser import text_string_to_metric_families\n"
                         "print(json.dumps([[s.name, s.labels, s.value]\n"
                         "    for f in text_string_to_metric_families(sys.stdin.read()) for s in f.samples]))\n";
    const ToolRun parsed =
        RunTool(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QString::fromLatin1(script)}, 20000,
                ToolChannels::Separate, r.body);
    if (parsed.errors.contains("No module named 'prometheus_client'") || !parsed.started) {
        if (!checked)
            GTEST_SKIP() << "neither promtool nor python3-prometheus-client is installed (tools/install-deps --test)";
        return;
    }
    ASSERT_TRUE(parsed.Succeeded()) << parsed.errors.constData();
    const auto value = [&](const QString &name, const QJsonObject &labels) {
        for (const QJsonValue &sample : QJsonDocument::fromJson(parsed.output).array())
            if (sample[0] == name && sample[1].toObject() == labels)
                return sample[2].toDouble();
        return -1.0;
    };
    EXPECT_EQ(value("corvane_terminal_present", {{"resource", "PC01"}, {"user", "tanaka"}, {"group", ""}}), 1);
    EXPECT_EQ(value("corvane_terminal_present", {{"resource", "PC02"}, {"user", Hostile}, {"group", "営業"}}), 0);
    for (const char *state : {"in", "out", "error", "resting", "unknown"})
        EXPECT_EQ(value("corvane_terminals", {{"state", state}}), 1) << state;
    EXPECT_EQ(value("corvane_pass_duration_seconds", {}), 0.25);
    EXPECT_EQ(value("corvane_passes_total", {}), 42);
    EXPECT_EQ(value("corvane_events_total", {{"kind", "all-login"}}), 1);
    EXPECT_EQ(value("corvane_events_total", {{"kind", "access"}}), 7);
    EXPECT_EQ(value("corvane_access_sessions", {}), 1);
}

TEST_F(WebEndpointTest, DayReportsOfTodayAndOfAGivenDay)
{
    start();
    Reply r = ask(get("/report"));
    ASSERT_EQ(r.status, 200);
    EXPECT_TRUE(r.header("content-security-policy").startsWith("default-src 'none'"));
    r = ask(get("/report/2024-02-29"));
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.body, "<p>report 2024-02-29</p>");
    for (const char *path : {"/report/2023-02-29", "/report/2024-2-01", "/report/2024-02-01x", "/report/+024-02-01",
                             "/report/"})
        EXPECT_EQ(ask(get(path)).status, 404) << path;
    ASSERT_EQ(days().size(), 2);
    EXPECT_EQ(days()[0], QDate::currentDate());
}

// A list read in a zone with summer time: each since keeps the offset of
// its own instant, on both sides of a change and in the hour that repeats.
bool sinceOffsetsRightInBerlin()
{
    ::setenv("TZ", "Europe/Berlin", 1);
    ::tzset();
    const std::pair<const char *, const char *> cases[] = {
        {"2024-01-15T10:00:00Z", "2024-01-15T11:00:00+01:00"},
        {"2024-03-31T00:59:59Z", "2024-03-31T01:59:59+01:00"},
        {"2024-03-31T01:00:00Z", "2024-03-31T03:00:00+02:00"},
        {"2024-07-01T10:00:00Z", "2024-07-01T12:00:00+02:00"},
        {"2024-10-27T00:30:00Z", "2024-10-27T02:30:00+02:00"},
        {"2024-10-27T01:30:00Z", "2024-10-27T02:30:00+01:00"},
    };
    WatchSnapshot snapshot;
    for (const auto &[utc, expected] : cases) {
        TerminalState t;
        t.since = QDateTime::fromMSecsSinceEpoch(
            QDateTime::fromString(QString::fromLatin1(utc), Qt::ISODate).toMSecsSinceEpoch());
        snapshot.terminals << t;
    }
    const QByteArray json = WebPages::TerminalsJson(snapshot);
    bool all = true;
    for (const auto &[utc, expected] : cases)
        if (!json.contains(QByteArray("\"since\":\"") + expected + '"')) {
            std::cerr << utc << " is not " << expected << '\n';
            all = false;
        }
    return all;
}

TEST(WebPagesTime, SinceKeepsItsOffsetAcrossSummerTimeChanges)
{
    // _exit: the forked child holds the memory of threads it does not have.
    EXPECT_EXIT(::_exit(sinceOffsetsRightInBerlin() ? 0 : 1), ::testing::ExitedWithCode(0), "");
}

// --- Refusals -----------------------------------------------------------------

TEST_F(WebEndpointTest, WithoutTokenOnlyLoopbackNamesAreAnswered)
{
    const quint16 port = start();
    const QByteArray p = QByteArray::number(port);
    for (const QByteArray &host :
         QList<QByteArray>{"localhost", "localhost:" + p, "127.0.0.1:" + p, "127.0.0.5", "[::1]:" + p})
        EXPECT_EQ(ask(get("/api/terminals", {}, host)).status, 200) << host.constData();
    // A page of another site whose name now resolves to 127.0.0.1.
    for (const QByteArray &host : QList<QByteArray>{"rebind.example", "rebind.example:" + p, "127.0.0.1.rebind.example",
                                                    "localhost.rebind.example", "[::1].rebind.example", "10.0.0.1"})
        EXPECT_EQ(ask(get("/api/terminals", {}, host)).status, 403) << host.constData();
    EXPECT_EQ(ask("GET /api/terminals HTTP/1.1\r\n\r\n").status, 400);
    EXPECT_EQ(ask("GET /api/terminals HTTP/1.0\r\n\r\n").status, 403);
}

TEST_F(WebEndpointTest, NoPathLeadsOutsideTheFixedRoutes)
{
    start();
    for (const char *path : {"/../etc/passwd", "/%2e%2e/", "/%2E%2E/etc/passwd", "/api/../metrics",
                                  "/api%2fterminals", "/metrics/", "//metrics", "/report/../../etc/passwd",
                                  "/report/..%2f..%2fetc%2fpasswd", "/index.html", "/login", "*",
                                  "http://localhost/metrics"})
        EXPECT_EQ(ask(get(path)).status, 404) << path;
    EXPECT_EQ(ask(get("/metrics?name[]=x")).status, 200) << "a query changes nothing";
}

TEST_F(WebEndpointTest, OnlyReadingMethods)
{
    start();
    const Reply r = ask("POST / HTTP/1.1\r\nHost: localhost\r\nContent-Length: 0\r\n\r\n");
    EXPECT_EQ(r.status, 405);
    EXPECT_EQ(r.header("allow"), "GET, HEAD");
    for (const QByteArray method : {"PUT", "DELETE", "OPTIONS", "TRACE"})
        EXPECT_EQ(ask(method + " /metrics HTTP/1.1\r\nHost: localhost\r\n\r\n").status, 405) << method.constData();
    const Reply head = ask("HEAD /metrics HTTP/1.1\r\nHost: localhost\r\n\r\n");
    EXPECT_EQ(head.status, 200);
    EXPECT_TRUE(head.body.isEmpty());
    EXPECT_GT(head.header("content-length").toInt(), 0);
}

TEST_F(WebEndpointTest, OversizedRequestsAreRefusedAndHarmNothing)
{
    start();
    EXPECT_EQ(ask(get("/" + QByteArray(9000, 'a'))).status, 414);
    // Blank lines may come before a request, but a flood of them is no
    // request at all: they count against the request line.
    EXPECT_EQ(ask("\r\n\r\n" + get("/api/terminals")).status, 200);
    EXPECT_EQ(ask(QByteArray(1024 * 1024, '\n')).status, 400);
    // A client that sends all of its request before it reads, as most do,
    // still gets the answer.
    const Reply r = ask(get("/", "X-Fill: " + QByteArray(16 * 1024 * 1024, 'b') + "\r\n"));
    EXPECT_EQ(r.status, 431);
    EXPECT_TRUE(r.sentAll);
    QByteArray lines;
    for (int i = 0; i < 65; ++i)
        lines += "X-Line-" + QByteArray::number(i) + ": 1\r\n";
    EXPECT_EQ(ask(get("/", lines)).status, 431);
    EXPECT_EQ(ask(get("/", "Content-Length: 10\r\n") + "0123456789").status, 413) << "only a login has a body";
    EXPECT_EQ(ask(get("/", "Transfer-Encoding: chunked\r\n") + "5\r\nhello\r\n0\r\n\r\n").status, 501);

    WebEndpoint guarded(board, {});
    WebSettings settings;
    settings.anyPort = true;
    settings.token = QString::fromLatin1(Token);
    ASSERT_EQ(guarded.start(settings), QString());
    const QByteArray body = "token=" + QByteArray(5000, 'c');
    EXPECT_EQ(exchange("127.0.0.1", guarded.port(),
                       "POST /login HTTP/1.1\r\nHost: localhost\r\nContent-Type: application/x-www-form-urlencoded\r\n"
                       "Content-Length: "
                           + QByteArray::number(body.size()) + "\r\n\r\n" + body)
                  .status,
              413);

    EXPECT_EQ(ask(get("/api/terminals")).status, 200);
}

TEST_F(WebEndpointTest, SlowClientIsCutWhileOthersAreAnswered)
{
    WebLimits limits;
    limits.requestTime = 2s;
    start({}, limits);
    const QByteArray request = get("/");
    const int slow = connectTo("127.0.0.1", web->port());
    ASSERT_GE(slow, 0);
    ASSERT_EQ(::send(slow, request.constData(), 1, MSG_NOSIGNAL), 1);

    EXPECT_EQ(ask(get("/api/terminals")).status, 200);
    EXPECT_FALSE(closedByServer(slow)) << "answered while the slow one still waits";

    bool cut = false;
    for (qsizetype i = 1; i < request.size() && i < 10 && !cut; ++i) {
        std::this_thread::sleep_for(1s);
        cut = closedByServer(slow) || ::send(slow, request.constData() + i, 1, MSG_NOSIGNAL) != 1;
    }
    EXPECT_TRUE(cut);
    EXPECT_EQ(readReply(slow).status, 0) << "cut without an answer";
    ::close(slow);
}

TEST_F(WebEndpointTest, ConnectionsBeyondTheLimitAreTurnedAway)
{
    WebLimits limits;
    limits.connections = 3;
    const quint16 port = start({}, limits);
    int idle[3];
    for (int &fd : idle)
        ASSERT_GE(fd = connectTo("127.0.0.1", port), 0);
    EXPECT_EQ(ask({}).status, 503);
    for (const int fd : idle)
        ::close(fd);
    int status = 0;
    for (int i = 0; i < 50 && status != 200; ++i) {
        std::this_thread::sleep_for(20ms);
        status = ask(get("/")).status;
    }
    EXPECT_EQ(status, 200) << "a closed connection frees its place";
}

// Idle connections from one host take that host's share, not everyone's.
TEST_F(WebEndpointTest, OneHostCannotTakeEveryConnection)
{
    const quint16 port = start();
    std::vector<int> held;
    for (int i = 0; i < 32; ++i)
        if (const int fd = connectTo("127.0.0.1", port, "127.0.0.2"); fd >= 0)
            held.push_back(fd);
    EXPECT_EQ(exchange("127.0.0.1", port, get("/"), "127.0.0.3").status, 200);
    EXPECT_EQ(exchange("127.0.0.1", port, get("/"), "127.0.0.2").status, 503);
    const auto open = std::count_if(held.begin(), held.end(), [](int fd) { return !closedByServer(fd); });
    EXPECT_EQ(open, 8);
    for (const int fd : held)
        ::close(fd);
}

// Headers trickled in are cut at their own limit, long before the
// request's.
TEST_F(WebEndpointTest, HeadersMustArriveSoonAfterTheAccept)
{
    WebLimits limits;
    limits.headerTime = 1s;
    start({}, limits);
    const QByteArray request = get("/", "X-Slow: " + QByteArray(200, 'x') + "\r\n");
    const int slow = connectTo("127.0.0.1", web->port());
    ASSERT_GE(slow, 0);
    bool cut = false;
    for (qsizetype i = 0; i < 40 && !cut; ++i) {  // 8 s of the request's 10
        cut = closedByServer(slow) || ::send(slow, request.constData() + i, 1, MSG_NOSIGNAL) != 1;
        std::this_thread::sleep_for(200ms);
    }
    EXPECT_TRUE(cut);
    EXPECT_EQ(readReply(slow).status, 0);
    ::close(slow);
}

// A guesser gets five misses, then 429 for a wait that doubles with each
// miss after it; the right token waits too, else the 429 would tell it
// apart. A success starts the count anew; other hosts are never held up.
TEST_F(WebEndpointTest, GuessingTheTokenIsThrottledPerHost)
{
    WebSettings settings;
    settings.token = QString::fromLatin1(Token);
    WebLimits limits;
    limits.firstWait = 300ms;
    const quint16 port = start(settings, limits);
    const char *guesser = "127.0.0.2";
    const auto from = [&](const char *source, const QByteArray &request) {
        return exchange("127.0.0.1", port, request, source);
    };
    const auto bearer = [](const QByteArray &token) { return get("/metrics", "Authorization: Bearer " + token + "\r\n"); };
    const auto waitOut = [&] {
        int status = 429;
        for (int i = 0; i < 50 && status == 429; ++i) {
            std::this_thread::sleep_for(100ms);
            status = from(guesser, get("/metrics")).status;
        }
        return status;
    };

    testing::internal::CaptureStderr();
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(from(guesser, bearer("guess" + QByteArray::number(i))).status, 401);
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(from(guesser, loginRequest("guess")).status, 401);
    const Reply r = from(guesser, bearer(Token));
    EXPECT_EQ(r.status, 429);
    EXPECT_FALSE(r.header("retry-after").isEmpty());
    EXPECT_EQ(from(guesser, loginRequest(Token)).status, 429);
    EXPECT_EQ(from("127.0.0.3", bearer(Token)).status, 200);
    const QList<QByteArray> said = QByteArray::fromStdString(testing::internal::GetCapturedStderr()).split('\n');
    const auto naming = std::count_if(said.begin(), said.end(), [&](const QByteArray &l) { return l.contains(guesser); });
    EXPECT_EQ(naming, 1) << "one journal line when the throttling starts";
    EXPECT_TRUE(said.join('\n').contains("5 failed")) << said.join('\n').constData();

    EXPECT_EQ(waitOut(), 401);
    EXPECT_EQ(from(guesser, bearer("again")).status, 401);
    EXPECT_EQ(from(guesser, bearer(Token)).status, 429) << "after a wait one miss is enough";
    EXPECT_EQ(waitOut(), 401);
    EXPECT_EQ(from(guesser, bearer(Token)).status, 200);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(from(guesser, bearer("guess")).status, 401);
    EXPECT_EQ(from(guesser, bearer(Token)).status, 200) << "the success started the count anew";
}

// --- Starting -----------------------------------------------------------------

TEST_F(WebEndpointTest, StartTellsWhyItCannotListen)
{
    const quint16 port = start();
    WebEndpoint second(board, {});
    WebSettings settings;
    settings.port = port;
    EXPECT_TRUE(second.start(settings).contains(QString::number(port)));
    EXPECT_EQ(second.port(), 0);

    settings.anyPort = true;
    settings.address = QStringLiteral("office.example");
    EXPECT_FALSE(second.start(settings).isEmpty());
    settings.address = QStringLiteral("127.0.0.1");
    settings.certFile = QStringLiteral("/nonexistent/cert.pem");
    EXPECT_FALSE(second.start(settings).isEmpty()) << "a certificate without its key";
    settings.keyFile = QStringLiteral("/nonexistent/key.pem");
    EXPECT_TRUE(second.start(settings).contains(settings.certFile));
    EXPECT_EQ(second.port(), 0);

    settings = {};
    settings.anyPort = true;
    settings.token = QStringLiteral("fifteen-letters");
    EXPECT_TRUE(second.start(settings).contains(u"16")) << "a token that guessing finds";
    EXPECT_EQ(second.port(), 0);

    EXPECT_EQ(web->start({}), QString());
    EXPECT_EQ(web->port(), 0);
    EXPECT_EQ(connectTo("127.0.0.1", port), -1) << "port 0 stops it";
}

TEST_F(WebEndpointTest, HttpsWithCertificateAndKey)
{
    TempDir dir;
    const ToolRun made = RunTool(
        QStringLiteral("openssl"),
        {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout",
         dir.path("key.pem"), "-out", dir.path("cert.pem"), "-days", "2", "-subj", "/CN=127.0.0.1", "-addext",
         "subjectAltName=IP:127.0.0.1"},
        20000, ToolChannels::Merged);
    if (!made.started)
        GTEST_SKIP() << "openssl is not installed (tools/install-deps --test)";
    ASSERT_TRUE(made.Succeeded()) << made.output.constData();
    WebSettings settings;
    settings.token = QString::fromLatin1(Token);
    settings.certFile = dir.path("cert.pem");
    settings.keyFile = dir.path("key.pem");
    const quint16 port = start(settings);
    ASSERT_NE(port, 0);

    QSslSocket client;
    QSslConfiguration configuration = client.sslConfiguration();
    configuration.setCaCertificates(QSslCertificate::fromPath(settings.certFile));
    client.setSslConfiguration(configuration);
    client.connectToHostEncrypted(QStringLiteral("127.0.0.1"), port);
    ASSERT_TRUE(client.waitForEncrypted(5000)) << client.errorString().toStdString();
    client.write(get("/api/terminals", "Authorization: Bearer " + Token + "\r\n"));
    QByteArray answer;
    for (int i = 0; i < 100 && client.state() == QAbstractSocket::ConnectedState; ++i) {
        client.waitForReadyRead(100);
        answer += client.readAll();
    }
    answer += client.readAll();
    EXPECT_TRUE(answer.startsWith("HTTP/1.1 200 OK\r\n")) << answer.left(200).constData();

    EXPECT_EQ(exchange("127.0.0.1", port, get("/api/terminals", "Authorization: Bearer " + Token + "\r\n")).status, 0)
        << "no plain HTTP beside HTTPS";
}

// --- The token, from another machine ------------------------------------------

TEST(WebEndpointNetwork, TokenOpensTheEndpointToAnotherMachine)
{
    NetNamespace::run({}, [] {
        const NetNamespace here = NetNamespace::current();
        const NetNamespace peer = NetNamespace::create();
        ASSERT_TRUE(NetNamespace::link(here, "vhere", "10.9.0.1/24", peer, "vpeer", "10.9.0.2/24"));
        SnapshotBoard board;
        board.publish(sampleSnapshot(QStringLiteral("en")));
        WebEndpoint web(board, {});
        WebSettings settings;
        settings.anyPort = true;
        settings.address = QStringLiteral("10.9.0.1");
        settings.token = QString::fromLatin1(Token);
        ASSERT_EQ(web.start(settings), QString());
        const quint16 port = web.port();
        const auto fromPeer = [&](const QByteArray &request) {
            return peer.inside([&] { return exchange("10.9.0.1", port, request); });
        };
        const QByteArray host = "10.9.0.1:" + QByteArray::number(port);

        Reply r = fromPeer(get("/api/terminals", {}, host));
        EXPECT_EQ(r.status, 401);
        EXPECT_EQ(r.header("www-authenticate"), "Bearer realm=\"corvane\"");
        EXPECT_EQ(fromPeer(get("/metrics", "Authorization: Bearer wrong\r\n", host)).status, 401);
        EXPECT_EQ(fromPeer(get("/metrics", "Authorization: Bearer " + Token + "x\r\n", host)).status, 401);
        EXPECT_EQ(fromPeer(get("/metrics", "Authorization: Basic " + Token.toBase64() + "\r\n", host)).status, 401);
        EXPECT_EQ(fromPeer(get("/metrics", "Authorization: Bearer " + Token + "\r\n", host)).status, 200);

        r = fromPeer(get("/", {}, host));
        EXPECT_EQ(r.status, 401);
        EXPECT_TRUE(r.body.contains("<a href=\"/login\">")) << "a browser is shown the way to the form";
        EXPECT_TRUE(fromPeer(get("/login", {}, host)).body.contains("<form method=\"post\" action=\"/login\">"));
        EXPECT_EQ(fromPeer(loginRequest("wrong")).status, 401);
        r = fromPeer(loginRequest(Token));
        ASSERT_EQ(r.status, 303);
        const QByteArray cookie = r.header("set-cookie");
        EXPECT_TRUE(cookie.contains("; HttpOnly")) << cookie.constData();
        EXPECT_TRUE(cookie.contains("; SameSite=Strict")) << cookie.constData();
        EXPECT_FALSE(cookie.contains(Token)) << cookie.constData();
        EXPECT_FALSE(cookie.contains(Token.toPercentEncoding())) << cookie.constData();
        const QByteArray session = cookie.left(cookie.indexOf(';'));
        r = fromPeer(get("/", "Cookie: theme=dark; " + session + "\r\n", host));
        EXPECT_EQ(r.status, 200);
        EXPECT_TRUE(r.body.contains("tanaka"));
        QByteArray forged = session;
        forged[forged.size() - 1] = forged.endsWith('0') ? '1' : '0';
        EXPECT_EQ(fromPeer(get("/", "Cookie: " + forged + "\r\n", host)).status, 401);
    });
}

TEST(WebEndpointNetwork, WithoutTokenNothingBeyondLoopbackListens)
{
    NetNamespace::run({}, [] {
        const NetNamespace here = NetNamespace::current();
        const NetNamespace peer = NetNamespace::create();
        ASSERT_TRUE(NetNamespace::link(here, "vhere", "10.9.0.1/24", peer, "vpeer", "10.9.0.2/24"));
        SnapshotBoard board;
        WebEndpoint web(board, {});
        WebSettings settings;
        settings.anyPort = true;
        settings.address = QStringLiteral("10.9.0.1");
        ASSERT_EQ(web.start(settings), QString());
        const quint16 port = web.port();
        EXPECT_EQ(peer.inside([&] { return connectTo("10.9.0.1", port); }), -1);
        EXPECT_EQ(exchange("127.0.0.1", port, get("/api/terminals")).status, 200);
    });
}

// A host of IPv6 holds a whole /64: changing addresses inside it gains it
// no guesses (nor connections: the same source counts both).
TEST(WebEndpointNetwork, AnIpv6HostIsItsWholeSlash64)
{
    NetNamespace::run({}, [] {
        const NetNamespace here = NetNamespace::current();
        for (const char *cidr : {"2001:db8:0:1::1/64", "2001:db8:0:1::2/64", "2001:db8:0:1::3/64", "2001:db8:0:2::1/64"})
            ASSERT_TRUE(here.ip({"-6", "addr", "add", cidr, "dev", "lo", "nodad"}));
        SnapshotBoard board;
        WebEndpoint web(board, {});
        WebSettings settings;
        settings.anyPort = true;
        settings.address = QStringLiteral("::");
        settings.token = QString::fromLatin1(Token);
        ASSERT_EQ(web.start(settings), QString());
        const quint16 port = web.port();
        const auto bearer = [&](const char *from, const QByteArray &token) {
            return exchange("2001:db8:0:1::1", port, get("/metrics", "Authorization: Bearer " + token + "\r\n"), from)
                .status;
        };
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(bearer(i % 2 ? "2001:db8:0:1::2" : "2001:db8:0:1::3", "guess"), 401);
        EXPECT_EQ(bearer("2001:db8:0:1::2", Token), 429);
        EXPECT_EQ(bearer("2001:db8:0:2::1", Token), 200);
    });
}

} // namespace
