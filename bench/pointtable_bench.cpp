// Appending, posting and walking points at the scale of a large base.
#include "pointtable.h"

#include <benchmark/benchmark.h>

namespace kelvora {
namespace {

void fill(PointTable& table, int count)
{
    table.open();
    Field x = table.fieldByName(u"X");
    Field y = table.fieldByName(u"Y");
    Field name = table.fieldByName(u"NAME_EN");
    Field russian = table.fieldByName(u"NAME_RUS");
    Field processed = table.fieldByName(u"OBR");
    const QString latin = QStringLiteral("Point of interest ");
    const QString cyrillic = QStringLiteral("Пункт ");
    for (int i = 0; i < count; ++i) {
        table.append();
        x.setAsInteger(i % 16000);
        y.setAsInteger(i / 16000);
        name.setAsString(latin + QString::number(i));
        russian.setAsString(cyrillic + QString::number(i));
        processed.setAsBoolean(i % 2 == 0);
        table.post();
    }
}

void BM_AppendAndPost(benchmark::State& state)
{
    for (auto _ : state) {
        PointTable table(QStringLiteral("PointTable"));
        fill(table, int(state.range(0)));
        benchmark::DoNotOptimize(table.visibleCount());
        state.PauseTiming();
        state.counters["bytes_per_point"] =
            double(table.store().memoryBytes()) / double(state.range(0));
        table.close();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_AppendAndPost)->Arg(1000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

void BM_WalkWithFirstNext(benchmark::State& state)
{
    PointTable table(QStringLiteral("PointTable"));
    fill(table, int(state.range(0)));
    Field x = table.fieldByName(u"X");
    for (auto _ : state) {
        std::int64_t sum = 0;
        for (table.first(); !table.eof(); table.next())
            sum += x.asInteger();
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_WalkWithFirstNext)->Arg(1000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

void BM_EditAndPostInTheMiddle(benchmark::State& state)
{
    PointTable table(QStringLiteral("PointTable"));
    fill(table, int(state.range(0)));
    table.setCurrentRow(int(state.range(0) / 2));
    Field name = table.fieldByName(u"NAME_EN");
    int round = 0;
    for (auto _ : state) {
        table.edit();
        name.setAsString(QStringLiteral("Edited %1").arg(++round));
        table.post();
    }
}
BENCHMARK(BM_EditAndPostInTheMiddle)->Arg(1000)->Arg(1'000'000)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace kelvora

BENCHMARK_MAIN();
