// A watch pass over 100 IP-checked entries that do not answer, with a
// 200 ms time-out: total time, beside fping over the same addresses with
// the same time-out. It runs only in a private network namespace whose
// loopback ignores echo requests (icmp_echo_ignore_all there), and refuses
// to run anywhere else.
//
//   bench_silent [--benchmark_filter=...]

#include "BenchSupport.h"
#include "NoEvents.h"

#include "config/Settings.h"
#include "engine/WatchEngine.h"
#include "engine/WatchList.h"
#include "engine/WatchListModel.h"
#include "platform/EchoBatch.h"
#include "platform/FixtureNetBrowser.h"
#include "probe/Probe.h"
#include "process/ProcessFlags.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <benchmark/benchmark.h>

#include <arpa/inet.h>

namespace {

constexpr int kEntries = 100;
constexpr int kTimeOutMs = 200;

using bench::NoEvents;

// range(0): [TCPIP] Parallel, range(1): Retry.
void BM_SilentPass(benchmark::State &state)
{
    Settings.TCPIP.TimeOut = kTimeOutMs;
    Settings.TCPIP.TTL = 128;
    Settings.TCPIP.Parallel = state.range(0) != 0;
    Settings.TCPIP.Retry = int(state.range(1));
    WatchListModel model;
    for (int i = 1; i <= kEntries; ++i) {
        WatchEntry e;
        e.UserName = QStringLiteral("user%1").arg(i);
        e.ResourceName = QStringLiteral("PC%1").arg(i);
        e.IPCheck = true;
        NormaliseAddress(QStringLiteral("127.0.0.%1").arg(i), e.Address);
        e.StatusText = StatusUnconfirmed;
        e.ImageIndex = ImageUnconfirmed;
        e.State = StateUnconfirmed;
        AddEntry(e, model);
    }
    Probe probe;
    FixtureNetBrowser net{QString()};
    NoEvents events;
    WatchEngine engine(&model, &probe, &net, &events);
    bool first = true;
    for (auto _ : state) {
        QEventLoop loop;
        QObject::connect(&engine, &WatchEngine::PassApplied, &loop, &QEventLoop::quit);
        engine.StartPass(-1);
        loop.exec();
        // Every entry logs out in the first pass and stays out after it.
        const bool wrong = !engine.LoginList.isEmpty() || (first && engine.LogoutList.size() != kEntries);
        first = false;
        if (wrong) {
            state.SkipWithError("an address answered");
            return;
        }
    }
    state.SetItemsProcessed(state.iterations() * kEntries);
}

void BM_SilentFping(benchmark::State &state)
{
    std::string out;
    for (auto _ : state) {
        // -r 0: one request per address, no retries, as the pass sends; fping
        // exits with 1 when some addresses did not answer.
        if (!bench::runPeer(state, {"fping", "-q", "-r", "0", "-t", "200", "-i", "1", "-g", "127.0.0.1", "127.0.0.100"},
                            1, &out))
            return;
    }
    state.SetItemsProcessed(state.iterations() * kEntries);
}

// The same echoes through one batch, all outstanding at once; range(0) is
// the number of retries.
void BM_SilentEchoes(benchmark::State &state)
{
    EchoBatch::Options options;
    options.retries = int(state.range(0));
    for (auto _ : state) {
        EchoBatch batch;
        if (batch.open(EchoBatch::Kind::Auto, options) != EchoBatch::OpenResult::Opened) {
            state.SkipWithError("no echo socket");
            return;
        }
        QList<int> ids;
        for (int i = 1; i <= kEntries; ++i) {
            EchoRequest rq;
            rq.address = ::inet_addr(QStringLiteral("127.0.0.%1").arg(i).toLatin1().constData());
            rq.timeoutMs = kTimeOutMs;
            ids << batch.submit(rq);
        }
        for (int id : ids) {
            const auto reply = batch.wait(id);
            if (!reply || reply->replied) {
                state.SkipWithError("an address answered");
                return;
            }
        }
    }
    state.SetItemsProcessed(state.iterations() * kEntries);
}

// fping with range(0) retries (its default back-off of 1.5 lengthens the
// wait of each retry).
void BM_SilentFpingRetries(benchmark::State &state)
{
    std::string out;
    const std::string retries = std::to_string(state.range(0));
    for (auto _ : state) {
        if (!bench::runPeer(state, {"fping", "-q", "-r", retries.c_str(), "-t", "200", "-i", "1", "-g", "127.0.0.1",
                                    "127.0.0.100"},
                            1, &out))
            return;
    }
    state.SetItemsProcessed(state.iterations() * kEntries);
}

} // namespace

BENCHMARK(BM_SilentEchoes)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_SilentFpingRetries)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_SilentPass)->Args({1, 0})->Args({1, 1})->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_SilentPass)->Args({0, 0})->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_SilentFping)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

int main(int argc, char **argv)
{
    if (!bench::enterPrivateNamespace(true)) {
        std::fprintf(stderr, "bench_silent needs a private network namespace (run as root)\n");
        return 2;
    }
    QCoreApplication app(argc, argv);
    ServiceRunning = true;
    return bench::runBenchmarks(argc, argv);
}
