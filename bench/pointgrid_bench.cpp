// The point grid over a large base: opening it, following the cursor and
// painting a screenful, none of which may grow with the table.
#include "datasource.h"
#include "pointgrid.h"
#include "pointlistmodel.h"
#include "pointtable.h"

#include <QApplication>
#include <benchmark/benchmark.h>
#include <random>

namespace kelvora {
namespace {

void fill(PointTable& table, int count)
{
    table.open();
    table.beginBulkLoad(std::size_t(count));
    RecordStore& store = table.bulkStore();
    for (int i = 0; i < count; ++i) {
        const Slot slot = table.bulkAddRecord(0);
        store.setInteger(0, slot, i % 16000);
        store.setInteger(1, slot, i / 16000);
        store.setText(2, slot, QStringLiteral("Point %1").arg(i));
        store.setBoolean(5, slot, i % 2 == 0);
    }
    table.endBulkLoad();
}

void BM_AttachGrid(benchmark::State& state)
{
    PointTable table(QStringLiteral("PointTable"));
    fill(table, int(state.range(0)));
    for (auto _ : state) {
        DataSource source;
        source.attach(table);
        PointGrid grid(source);
        grid.resize(305, 305);
        benchmark::DoNotOptimize(grid.model()->rowCount());
    }
}
BENCHMARK(BM_AttachGrid)->Arg(1000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

// A cursor move from elsewhere, the grid following it, and the cells of a
// screenful read as a paint would.
void BM_FollowCursorAndReadScreen(benchmark::State& state)
{
    PointTable table(QStringLiteral("PointTable"));
    const int count = int(state.range(0));
    fill(table, count);
    DataSource source;
    source.attach(table);
    PointGrid grid(source);
    grid.resize(305, 305);
    std::mt19937 random(7);
    std::uniform_int_distribution<int> rows(0, count - 1);
    const QAbstractItemModel* model = grid.model();
    for (auto _ : state) {
        const int row = rows(random);
        table.setCurrentRow(row);
        for (int r = row; r < std::min(count, row + 25); ++r)
            for (int c = 0; c < PointListModel::ColumnCount; ++c)
                benchmark::DoNotOptimize(model->data(model->index(r, c)));
        benchmark::DoNotOptimize(grid.currentIndex().row());
    }
}
BENCHMARK(BM_FollowCursorAndReadScreen)->Arg(1000)->Arg(1'000'000)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace kelvora

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
