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
#include <csignal>

namespace {

constexpr int kEntries = 100;
constexpr int kTimeOutMs = 200;

using bench::NoEvents;

// The pass's entries: kEntries addresses from first.last + 1 on.
void fillList(WatchListModel &model, const char *first)
{
    for (int i = 1; i <= kEntries; ++i) {
        WatchEntry e;
        e.UserName = QStringLiteral("user%1").arg(i);
        e.ResourceName = QStringLiteral("PC%1").arg(i);
        e.IPCheck = true;
        NormaliseAddress(QStringLiteral("%1.%2").arg(QLatin1String(first)).arg(i), e.Address);
        e.StatusText = StatusUnconfirmed;
        e.ImageIndex = ImageUnconfirmed;
        e.State = StateUnconfirmed;
        AddEntry(e, model);
    }
}

// Passes over the list; every entry is in (present) or out after each.
void passes(benchmark::State &state, WatchListModel &model, bool present)
{
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
        // Every entry changes in the first pass and stays so after it.
        const QStringList &same = present ? engine.LoginList : engine.LogoutList;
        const QStringList &other = present ? engine.LogoutList : engine.LoginList;
        const bool wrong = !other.isEmpty() || (first && same.size() != kEntries);
        first = false;
        if (wrong) {
            state.SkipWithError(present ? "an address did not answer" : "an address answered");
            return;
        }
    }
    state.SetItemsProcessed(state.iterations() * kEntries);
}

// range(0): [TCPIP] Parallel, range(1): Retry, range(2): the checks beyond
// the echo on (address resolution, four TCP ports, which drop here).
void BM_SilentPass(benchmark::State &state)
{
    Settings = ProgramSettings{};
    Settings.TCPIP.TimeOut = kTimeOutMs;
    Settings.TCPIP.TTL = 128;
    Settings.TCPIP.Parallel = state.range(0) != 0;
    Settings.TCPIP.Retry = int(state.range(1));
    if (state.range(2)) {
        Settings.TCPIP.NeighbourCheck = true;
        Settings.TCPIP.TcpPorts = QStringLiteral("445,139,3389,22");
    }
    WatchListModel model;
    fillList(model, "127.0.0");
    passes(state, model, false);
}

// 100 computers on this computer's own network that drop echo requests
// (one peer namespace holding 10.99.0.1-100 behind a veth pair), found by
// address resolution.
void BM_OnLinkPassArp(benchmark::State &state)
{
    Settings = ProgramSettings{};
    Settings.TCPIP.TimeOut = kTimeOutMs;
    Settings.TCPIP.TTL = 128;
    Settings.TCPIP.Parallel = true;
    Settings.TCPIP.Retry = 0;
    Settings.TCPIP.NeighbourCheck = true;
    WatchListModel model;
    fillList(model, "10.99.0");
    passes(state, model, true);
}

void BM_OnLinkFping(benchmark::State &state)
{
    std::string out;
    for (auto _ : state) {
        if (!bench::runPeer(state, {"fping", "-q", "-r", "0", "-t", "200", "-i", "1", "-g", "10.99.0.1", "10.99.0.100"},
                            1, &out))
            return;
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
BENCHMARK(BM_SilentPass)->Args({1, 0, 0})->Args({1, 1, 0})->Args({1, 0, 1})->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_SilentPass)->Args({0, 0, 0})->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_OnLinkPassArp)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_OnLinkFping)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_SilentFping)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

int main(int argc, char **argv)
{
    if (!bench::enterPrivateNamespace(true)) {
        std::fprintf(stderr, "bench_silent needs a private network namespace (run as root)\n");
        return 2;
    }
    // The four ports of the checks beyond the echo drop here, as on a PC
    // whose firewall drops them; and a peer on the local network holds 100
    // addresses and drops echo requests too. Its namespace lives as long as
    // the sleep that holds it.
    std::string peer;
    const int made = bench::runProgram(
        {"sh", "-c",
         "printf 'table inet b {\\n chain in {\\n  type filter hook input priority 0;\\n"
         "  tcp dport { 22, 139, 445, 3389 } drop\\n }\\n}\\n' | nft -f - || exit 1\n"
         "unshare -n sleep 3600 </dev/null >/dev/null 2>&1 & p=$!\n"
         "for i in $(seq 50); do [ \"$(readlink /proc/$p/ns/net)\" != \"$(readlink /proc/self/ns/net)\" ] && break; "
         "sleep 0.02; done\n"
         "ip link add vb type veth peer name vp && ip link set vp netns $p || exit 1\n"
         "nsenter -t $p -n sh -c 'ip link set lo up && ip link set vp up && "
         "for i in $(seq 100); do ip addr add 10.99.0.$i/24 dev vp; done && "
         "echo 1 >/proc/sys/net/ipv4/icmp_echo_ignore_all' || exit 1\n"
         "ip addr add 10.99.0.254/24 dev vb && ip link set vb up || exit 1\n"
         "echo $p\n"},
        &peer);
    if (made != 0) {
        std::fprintf(stderr, "bench_silent could not make its peer (nft, iproute2 and util-linux needed)\n");
        return 2;
    }
    QCoreApplication app(argc, argv);
    ServiceRunning = true;
    const int result = bench::runBenchmarks(argc, argv);
    ::kill(pid_t(std::stol(peer)), SIGKILL);
    return result;
}
