// What the web endpoint costs for a watch list of 10 000 entries: rendering
// /api/terminals and /metrics (each to stay under 20 ms) and the page, and
// one whole request for /api/terminals over loopback, connection to close.

#include "engine/WebEndpoint.h"
#include "engine/WebPages.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>

#include "BenchSupport.h"

#include <arpa/inet.h>
#include <netinet/in.h>

namespace {

WatchSnapshotPtr listOf(int count)
{
    auto s = std::make_shared<WatchSnapshot>();
    s->taken = QDateTime::currentDateTime();
    s->computer = QStringLiteral("OFFICE-PC");
    s->language = QStringLiteral("ja");
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    static const char *const states[] = {"in", "out", "error", "resting", "unknown"};
    for (int i = 0; i < count; ++i) {
        TerminalState t;
        t.resource = QStringLiteral("PC%1").arg(i, 5, 10, QLatin1Char('0'));
        t.user = QStringLiteral("利用者%1").arg(i);
        t.group = QStringLiteral("第%1課").arg(i / 50);
        t.address = QStringLiteral("10.%1.%2.%3").arg(i >> 16 & 0xFF).arg(i >> 8 & 0xFF).arg(i & 0xFF);
        t.state = QLatin1String(states[i % 5]);
        if (i % 3 != 0)
            t.since = QDateTime::fromMSecsSinceEpoch(now - i * 1000LL);
        if (t.state == u"in")
            t.seenBy = QStringLiteral("echo");
        s->terminals.append(t);
    }
    return s;
}

void BM_TerminalsJson(benchmark::State &state)
{
    const WatchSnapshotPtr s = listOf(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(WebPages::TerminalsJson(*s));
}
BENCHMARK(BM_TerminalsJson)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_Metrics(benchmark::State &state)
{
    const WatchSnapshotPtr s = listOf(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(WebPages::Metrics(*s));
}
BENCHMARK(BM_Metrics)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_ListPage(benchmark::State &state)
{
    const WatchSnapshotPtr s = listOf(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(WebPages::ListPage(*s));
}
BENCHMARK(BM_ListPage)->Arg(10000)->Unit(benchmark::kMillisecond);

// GET /api/terminals on 127.0.0.1: connect, send, read to the close.
void BM_Request(benchmark::State &state)
{
    SnapshotBoard board;
    board.publish(listOf(int(state.range(0))));
    WebEndpoint web(board, {});
    WebSettings settings;
    settings.anyPort = true;
    if (!web.start(settings).isEmpty()) {
        state.SkipWithError("the endpoint did not start");
        return;
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(web.port());
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    static const char request[] = "GET /api/terminals HTTP/1.1\r\nHost: localhost\r\n\r\n";
    char buf[65536];
    size_t bytes = 0;
    for (auto _ : state) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const timeval wait{5, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
        if (::connect(fd, reinterpret_cast<sockaddr *>(&to), sizeof to) != 0
            || ::send(fd, request, sizeof request - 1, MSG_NOSIGNAL) != ssize_t(sizeof request - 1)) {
            ::close(fd);
            state.SkipWithError("the request did not go out");
            return;
        }
        ssize_t n;
        while ((n = ::recv(fd, buf, sizeof buf, 0)) > 0)
            bytes += size_t(n);
        ::close(fd);
    }
    state.SetBytesProcessed(int64_t(bytes));
}
BENCHMARK(BM_Request)->Arg(10)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    return bench::runBenchmarks(argc, argv);
}
