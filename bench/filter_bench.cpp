// The map's proximity search over a large base: assigning the filter,
// moving to the first visible point and counting the visible points, beside
// a hand-written loop over plain X and Y arrays computing the same predicate.
#include "pointtable.h"

#include <benchmark/benchmark.h>
#include <cstdint>
#include <vector>

namespace kelvora {
namespace {

constexpr int centreX = 8000;
constexpr int centreY = 8000;
constexpr int radius = 400;

// Points spread over a 16000 x 16000 picture, the same for every run.
std::vector<std::int32_t> coordinates(std::size_t count, std::uint32_t seed)
{
    std::vector<std::int32_t> values(count);
    std::uint32_t state = seed;
    for (std::int32_t& value : values) {
        state = state * 1664525u + 1013904223u;
        value = std::int32_t((state >> 8) % 16000);
    }
    return values;
}

QString proximityText()
{
    return QStringLiteral("(X-%1)*(X-%1)+(Y-%2)*(Y-%2)<=%3")
        .arg(centreX)
        .arg(centreY)
        .arg(radius * radius);
}

void runFilter(benchmark::State& state, const QString& text)
{
    const std::size_t count = std::size_t(state.range(0));
    const std::vector<std::int32_t> xs = coordinates(count, 1);
    const std::vector<std::int32_t> ys = coordinates(count, 2);
    PointTable table(QStringLiteral("PointTable"));
    table.open();
    table.beginBulkLoad(count);
    const int x = table.fieldIndex(u"X");
    const int y = table.fieldIndex(u"Y");
    for (std::size_t i = 0; i < count; ++i) {
        const Slot slot = table.bulkAddRecord(0);
        table.bulkStore().setInteger(x, slot, xs[i]);
        table.bulkStore().setInteger(y, slot, ys[i]);
    }
    table.endBulkLoad();
    table.setFiltered(true);
    int visible = 0;
    for (auto _ : state) {
        table.setFilter(text);
        table.first();
        visible = table.recordCount();
        benchmark::DoNotOptimize(visible);
    }
    state.counters["visible"] = visible;
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
void BM_ProximityFilter(benchmark::State& state)
{
    runFilter(state, proximityText());
}
BENCHMARK(BM_ProximityFilter)->Arg(1000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

// The same sum written so that the general block evaluator runs it.
void BM_GeneralFilter(benchmark::State& state)
{
    runFilter(state, proximityText().replace(QStringLiteral("<="), QStringLiteral("+0<=")));
}
BENCHMARK(BM_GeneralFilter)->Arg(1000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

// The same predicate over separate arrays, collecting the visible positions
// as the table does.
void BM_HandWrittenLoop(benchmark::State& state)
{
    const std::size_t count = std::size_t(state.range(0));
    const std::vector<std::int32_t> xs = coordinates(count, 1);
    const std::vector<std::int32_t> ys = coordinates(count, 2);
    std::vector<std::uint32_t> visible(count);
    const double cx = centreX;
    const double cy = centreY;
    const double limit = double(radius) * radius;
    std::size_t found = 0;
    for (auto _ : state) {
        found = 0;
        for (std::size_t i = 0; i < count; ++i) {
            const double dx = double(xs[i]) - cx;
            const double dy = double(ys[i]) - cy;
            visible[found] = std::uint32_t(i);
            found += dx * dx + dy * dy <= limit;
        }
        benchmark::DoNotOptimize(found);
        benchmark::DoNotOptimize(visible.data());
    }
    state.counters["visible"] = double(found);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_HandWrittenLoop)->Arg(1000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace kelvora

BENCHMARK_MAIN();
