// A whole watch pass over 1 000 IP-checked entries at 127.0.0.1 to
// 127.0.3.232, per entry, beside the same 1 000 echoes sent straight
// through the probe (the echo exchange alone) and beside fping over the
// same addresses in the same run. The difference between the pass and the
// bare echoes is what the pass adds: the worker's hand-offs to the main
// thread (progress, Result column, publishing the row) and the row updates.
//
// Like bench_probe it moves into a private network namespace first when it
// may (only lo), so nothing it sends can leave the machine; fping, started
// from here, runs in the same namespace.
//
//   bench_pass [--benchmark_filter=...]

#include "config/Settings.h"
#include "engine/WatchEngine.h"
#include "engine/WatchList.h"
#include "engine/WatchListModel.h"
#include "engine/WatchSnapshot.h"
#include "engine/WebEndpoint.h"
#include "platform/FixtureNetBrowser.h"
#include "probe/Probe.h"
#include "process/ProcessFlags.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QThread>
#include <QTimer>
#include <benchmark/benchmark.h>

#include "BenchSupport.h"
#include "NoEvents.h"

#include <arpa/inet.h>
#include <atomic>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int kEntries = 1000;

// 127.0.0.1 + i: the 1 000 addresses end at 127.0.3.232.
QString address(int i)
{
    const int n = i + 1;
    return QStringLiteral("127.0.%1.%2").arg(n / 256).arg(n % 256);
}

using bench::NoEvents;

void fillList(WatchListModel &model)
{
    for (int i = 0; i < kEntries; ++i) {
        WatchEntry e;
        e.UserName = QStringLiteral("user%1").arg(i);
        e.ResourceName = QStringLiteral("PC%1").arg(i);
        e.IPCheck = true;
        NormaliseAddress(address(i), e.Address);
        e.StatusText = StatusUnconfirmed;
        e.ImageIndex = ImageUnconfirmed;
        e.State = StateUnconfirmed;
        AddEntry(e, model);
    }
}

// range(0): a client polls the web endpoint's /api/terminals every second
// while the passes run (a snapshot of the same 1 000 entries is served).
void BM_Pass(benchmark::State &state)
{
    SnapshotBoard board;
    std::unique_ptr<WebEndpoint> web;
    std::atomic<bool> polling{state.range(0) != 0};
    std::thread poller;
    if (polling) {
        auto snapshot = std::make_shared<WatchSnapshot>();
        for (int i = 0; i < kEntries; ++i)
            snapshot->terminals.append({QStringLiteral("PC%1").arg(i), QStringLiteral("user%1").arg(i), {}, address(i),
                                        QStringLiteral("in"), QDateTime::currentDateTime(), QStringLiteral("echo")});
        board.publish(snapshot);
        web = std::make_unique<WebEndpoint>(board, [](QDate) { return QByteArray(); });
        WebSettings settings;
        settings.anyPort = true;
        settings.port = 1;
        if (!web->start(settings).isEmpty()) {
            state.SkipWithError("no endpoint");
            return;
        }
        const quint16 port = web->port();
        poller = std::thread([&polling, port] {
            while (polling) {
                const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
                sockaddr_in a{};
                a.sin_family = AF_INET;
                a.sin_port = htons(port);
                a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
                if (::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0) {
                    const char request[] = "GET /api/terminals HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
                    [[maybe_unused]] ssize_t n = ::write(fd, request, sizeof request - 1);
                    char buffer[65536];
                    while (::read(fd, buffer, sizeof buffer) > 0) {
                    }
                }
                ::close(fd);
                for (int i = 0; i < 10 && polling; ++i)
                    std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
        });
    }
    struct Stop {
        std::atomic<bool> &polling;
        std::thread &poller;
        ~Stop()
        {
            polling = false;
            if (poller.joinable())
                poller.join();
        }
    } stop{polling, poller};
    Settings.TCPIP.TimeOut = 1000;
    Settings.TCPIP.TTL = 128;
    // The installed defaults: echoes all at once, one retry.
    Settings.TCPIP.Parallel = true;
    Settings.TCPIP.Retry = 1;
    WatchListModel model;
    fillList(model);
    Probe probe;
    FixtureNetBrowser net{QString()};
    NoEvents events;
    WatchEngine engine(&model, &probe, &net, &events);
    for (auto _ : state) {
        QEventLoop loop;
        QObject::connect(&engine, &WatchEngine::PassApplied, &loop, &QEventLoop::quit);
        engine.StartPass(-1);
        loop.exec();
        if (engine.LogoutList.size() > 0) {
            state.SkipWithError("an address did not answer");
            return;
        }
    }
    state.SetItemsProcessed(state.iterations() * kEntries);
}

// The echo exchanges of a pass without the pass: the same addresses, the
// same padded texts, one after the other on one thread.
void BM_EchoesAlone(benchmark::State &state)
{
    Probe probe;
    probe.TimeOut = 1000;
    QStringList padded;
    for (int i = 0; i < kEntries; ++i) {
        QString p;
        NormaliseAddress(address(i), p);
        padded << p;
    }
    if (!probe.Active(true)) {
        state.SkipWithError("no echo socket");
        return;
    }
    for (auto _ : state) {
        for (const QString &a : padded) {
            probe.SetIPAddr(a);
            if (!probe.Ping()) {
                state.SkipWithError(("echo failed: " + probe.StatusText().toStdString()).c_str());
                return;
            }
        }
    }
    state.SetItemsProcessed(state.iterations() * kEntries);
}

// One blocking hand-off from a worker thread to the main thread, the unit
// the pass pays four times per IP-checked entry.
void BM_HandOff(benchmark::State &state)
{
    QObject target;
    int calls = 0;
    for (auto _ : state) {
        QThread *t = QThread::create([&] {
            for (int i = 0; i < kEntries; ++i)
                QMetaObject::invokeMethod(&target, [&] { ++calls; }, Qt::BlockingQueuedConnection);
        });
        QEventLoop loop;
        QObject::connect(t, &QThread::finished, &loop, &QEventLoop::quit);
        t->start();
        loop.exec();
        t->wait();
        delete t;
    }
    state.SetItemsProcessed(state.iterations() * kEntries);
}

// fping over the same 1 000 addresses, one echo each, as fast as it sends.
void BM_Fping(benchmark::State &state)
{
    std::string summary;
    for (auto _ : state) {
        if (!bench::runPeer(state,
                            {"fping", "-q", "-i", "0", "-r", "0", "-t", "1000", "-g", "127.0.0.1", "127.0.3.232"}, 0,
                            &summary))
            return;
    }
    state.SetItemsProcessed(state.iterations() * kEntries);
}

} // namespace

BENCHMARK(BM_Pass)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_EchoesAlone)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_HandOff)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Fping)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

int main(int argc, char **argv)
{
    const bool isolated = bench::enterPrivateNamespace(false);
    std::fprintf(stderr, "%s\n",
                 isolated ? "running in a private network namespace (lo only)"
                          : "running on the host's loopback (no right to make a namespace)");
    QCoreApplication app(argc, argv);
    ServiceRunning = true;
    return bench::runBenchmarks(argc, argv);
}
