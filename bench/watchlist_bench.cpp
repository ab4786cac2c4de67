// Loading and saving a watch-list file of 10 000 entries, beside reading
// the same file and decoding it (loading's floor), and encoding the same
// text and writing it through a temporary file (saving's floor).
//
//   bench_watchlist [--benchmark_filter=...]
//   bench_watchlist --write-list COUNT PATH
//       writes a list of COUNT IP-checked entries at 127.0.0.1 onward to
//       PATH (bench/run gives it to a running corvane) and exits.

#include "engine/WatchList.h"
#include "engine/WatchListModel.h"
#include "platform/Cp932.h"

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include "BenchSupport.h"

#include <cstring>

namespace {

QTemporaryDir *scratch = nullptr;

// 127.0.0.1 + i.
QString loopback(int i)
{
    const int n = i + 1;
    return QStringLiteral("127.%1.%2.%3").arg(n >> 16 & 0xFF).arg(n >> 8 & 0xFF).arg(n & 0xFF);
}

void fill(WatchListModel &model, int count)
{
    for (int i = 0; i < count; ++i) {
        WatchEntry e;
        e.UserName = QStringLiteral("利用者%1").arg(i);
        e.ResourceName = QStringLiteral("PC%1").arg(i, 5, 10, QLatin1Char('0'));
        e.IPCheck = true;
        NormaliseAddress(loopback(i), e.Address);
        e.Domain = QStringLiteral("WORKGROUP");
        e.Provider = QStringLiteral("Microsoft Windows Network");
        e.LoginAction = QStringLiteral("login.wav");
        e.StatusText = StatusUnconfirmed;
        e.ImageIndex = ImageUnconfirmed;
        e.State = StateUnconfirmed;
        AddEntry(e, model);
    }
}

QString listPath() { return scratch->path() + QStringLiteral("/Krovan.NT"); }

void BM_LoadList(benchmark::State &state)
{
    for (auto _ : state) {
        WatchListModel model;
        if (!LoadList(model, listPath()) || model.rowCount() != state.range(0)) {
            state.SkipWithError("the list did not load");
            return;
        }
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_ReadAndDecodeFile(benchmark::State &state)
{
    for (auto _ : state) {
        QFile f(listPath());
        if (!f.open(QIODevice::ReadOnly)) {
            state.SkipWithError("no file");
            return;
        }
        const QStringList lines = Cp932::decode(f.readAll()).split(QStringLiteral("\r\n"));
        benchmark::DoNotOptimize(lines.size());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_SaveList(benchmark::State &state)
{
    WatchListModel model;
    fill(model, int(state.range(0)));
    const QString out = scratch->path() + QStringLiteral("/saved.NT");
    for (auto _ : state) {
        if (!SaveList(model, out)) {
            state.SkipWithError("the list was not saved");
            return;
        }
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_EncodeAndWriteFile(benchmark::State &state)
{
    QFile f(listPath());
    if (!f.open(QIODevice::ReadOnly)) {
        state.SkipWithError("no file");
        return;
    }
    const QString text = Cp932::decode(f.readAll());
    const QString out = scratch->path() + QStringLiteral("/bare.NT");
    for (auto _ : state) {
        const QByteArray bytes = Cp932::encode(text);
        QSaveFile file(out);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
            state.SkipWithError("write failed");
            return;
        }
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

} // namespace

BENCHMARK(BM_LoadList)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadAndDecodeFile)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SaveList)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EncodeAndWriteFile)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 4 && std::strcmp(argv[1], "--write-list") == 0) {
        WatchListModel model;
        fill(model, QByteArray(argv[2]).toInt());
        return SaveList(model, QString::fromLocal8Bit(argv[3])) ? 0 : 1;
    }
    QTemporaryDir dir;
    if (!dir.isValid())
        return 2;
    scratch = &dir;
    {
        WatchListModel model;
        fill(model, 10000);
        if (!SaveList(model, listPath()))
            return 2;
    }
    const int rc = bench::runBenchmarks(argc, argv);
    scratch = nullptr;
    return rc;
}
