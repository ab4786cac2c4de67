// The cost of one echo to 127.0.0.1 through Probe::Ping, beside fping
// sending the same number of echoes in the same run.
//
// When the process may, it moves into a private network namespace first
// (only lo), where both socket kinds are permitted and nothing the
// benchmark sends can leave the machine; fping, started from here, runs in
// the same namespace.
//
//   bench_probe [--benchmark_filter=...]
//
// Items per second is echoes per second for every row, so the rows compare
// directly; fping's row includes starting the process once per batch.

#include "probe/Probe.h"

#include <QByteArray>
#include <benchmark/benchmark.h>

#include "BenchSupport.h"

#include <string>

namespace {

bool g_private = false;

void pingLoop(benchmark::State &state, IcmpEcho::Kind kind, qint16 bytes)
{
    Probe icmp;
    icmp.SetEchoKind(kind);
    icmp.SetIPAddr(QStringLiteral("127.0.0.1"));
    icmp.SetSendBytes(bytes);
    if (!icmp.Active(true)) {
        state.SkipWithError(("no echo socket: " + icmp.StatusText().toStdString()).c_str());
        return;
    }
    for (auto _ : state) {
        if (!icmp.Ping()) {
            state.SkipWithError(("echo failed: " + icmp.StatusText().toStdString()).c_str());
            return;
        }
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel(icmp.EchoKind() == IcmpEcho::Kind::PingSocket ? "ping socket" : "raw socket");
}

void BM_Ping(benchmark::State &state)
{
    pingLoop(state, IcmpEcho::Kind::Auto, qint16(state.range(0)));
}

void BM_PingRawSocket(benchmark::State &state)
{
    pingLoop(state, IcmpEcho::Kind::RawSocket, qint16(state.range(0)));
}

void BM_PingPingSocket(benchmark::State &state)
{
    pingLoop(state, IcmpEcho::Kind::PingSocket, qint16(state.range(0)));
}

// What keeping the socket open saves: a fresh socket for every echo.
void BM_PingReopening(benchmark::State &state)
{
    Probe icmp;
    icmp.SetIPAddr(QStringLiteral("127.0.0.1"));
    for (auto _ : state) {
        if (!icmp.Active(true) || !icmp.Ping()) {
            state.SkipWithError(("echo failed: " + icmp.StatusText().toStdString()).c_str());
            return;
        }
    }
    state.SetItemsProcessed(state.iterations());
}

// One fping run of range(0) echoes per iteration, back to back (no period,
// no interval), payload range(1) bytes.
void BM_Fping(benchmark::State &state)
{
    const std::string count = std::to_string(state.range(0));
    const std::string size = std::to_string(state.range(1));
    std::string summary;
    for (auto _ : state) {
        if (!bench::runPeer(state, {"fping", "-q", "-c", count.c_str(), "-b", size.c_str(), "-p", "0", "-i", "0",
                                    "-t", "100", "127.0.0.1"},
                            0, &summary))
            return;
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    while (!summary.empty() && summary.back() == '\n')
        summary.pop_back();
    state.SetLabel(summary);
}

} // namespace

BENCHMARK(BM_Ping)->Arg(0)->Arg(32)->Arg(1024)->UseRealTime();
BENCHMARK(BM_PingRawSocket)->Arg(32)->UseRealTime();
BENCHMARK(BM_PingPingSocket)->Arg(32)->UseRealTime();
BENCHMARK(BM_PingReopening)->UseRealTime();
BENCHMARK(BM_Fping)->Args({1000, 0})->Args({1000, 32})->Args({1000, 1024})->UseRealTime();

int main(int argc, char **argv)
{
    g_private = bench::enterPrivateNamespace(false);
    std::fprintf(stderr, "%s\n",
                 g_private ? "running in a private network namespace (lo only)"
                           : "running on the host's loopback (no right to make a namespace)");
    return bench::runBenchmarks(argc, argv);
}
