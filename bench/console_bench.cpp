// Sorting the watch list: 10 000 rows by a text column through the list
// control (keys converted once per sort), beside a comparison that converts
// both texts on every call, which the control must never do.

#include "console/WatchListView.h"
#include "engine/WatchListModel.h"
#include "platform/Cp932.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include "BenchSupport.h"

#include <algorithm>
#include <random>

namespace {

std::vector<WatchListModel::Row> MakeRows(int count)
{
    std::mt19937 random(42);
    std::vector<WatchListModel::Row> rows(static_cast<size_t>(count));
    const QString kana = QStringLiteral("ｱｲｳｴｵ端末営業部");
    for (int i = 0; i < count; ++i) {
        WatchListModel::Row &r = rows[size_t(i)];
        r.texts[0] = kana.mid(int(random() % 5), 4) + QString::number(random() % 1000);
        r.texts[1] = QStringLiteral("PC%1").arg(random() % 100000, 5, 10, QLatin1Char('0'));
        r.texts[2] = QStringLiteral("ﾛｸﾞｲﾝ");
        r.texts[3] = QStringLiteral("WORKGROUP");
        r.dataWord = quint32(i) << 16;
    }
    return rows;
}

void BM_ListSortByText(benchmark::State &state)
{
    WatchListModel model;
    WatchListView list;
    list.SetModel(&model);
    list.SetViewStyle(DragDropListView::vsReport);
    const std::vector<WatchListModel::Row> rows = MakeRows(int(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        model.setRows(rows);
        state.ResumeTiming();
        list.Sort(WatchListModel::ColUserName, 1);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ListSortByText)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_SortConvertingInEveryComparison(benchmark::State &state)
{
    const std::vector<WatchListModel::Row> rows = MakeRows(int(state.range(0)));
    for (auto _ : state) {
        std::vector<WatchListModel::Row> copy = rows;
        std::stable_sort(copy.begin(), copy.end(), [](const auto &a, const auto &b) {
            return CompareBytes(Cp932::encode(a.texts[0]), Cp932::encode(b.texts[0])) < 0;
        });
        benchmark::DoNotOptimize(copy.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SortConvertingInEveryComparison)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return bench::runBenchmarks(argc, argv);
}
