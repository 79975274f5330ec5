// Saving and loading a base of a million points. Set KELVORA_NO_THP=1 to
// measure with transparent huge pages switched off for the process.
#include "basefile.h"
#include "benchdata.h"
#include "pointtable.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <sys/prctl.h>

namespace kelvora {
namespace {

// A base of `count` points from the shared generator.
void fill(PointTable& table, int count)
{
    benchdata::fillTable(table, count);
}

struct Fixture
{
    QTemporaryDir dir{QDir::currentPath() + QStringLiteral("/basefile-bench-XXXXXX")};
    PointTable table{QStringLiteral("PointTable")};
    BaseFileFormat format;
    QString file() const { return dir.filePath(QStringLiteral("bench.Lorvet")); }
};

void BM_SaveBase(benchmark::State& state)
{
    Fixture fixture;
    fill(fixture.table, int(state.range(0)));
    for (auto _ : state)
        saveToFile(fixture.table, fixture.file(), fixture.format);
    const auto bytes = QFileInfo(fixture.file()).size();
    state.counters["file_MB"] = double(bytes) / 1e6;
    state.SetBytesProcessed(state.iterations() * bytes);
}
BENCHMARK(BM_SaveBase)->Arg(1000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

void BM_LoadBase(benchmark::State& state)
{
    Fixture fixture;
    fill(fixture.table, int(state.range(0)));
    saveToFile(fixture.table, fixture.file(), fixture.format);
    fixture.table.close();
    PointTable loaded(QStringLiteral("PointTable"));
    for (auto _ : state) {
        // Closing gives the record memory back, so every load touches fresh pages.
        loaded.close();
        loadFromFile(loaded, fixture.file(), fixture.format);
        benchmark::DoNotOptimize(loaded.visibleCount());
    }
    if (loaded.visibleCount() != state.range(0))
        state.SkipWithError("wrong record count");
    state.SetBytesProcessed(state.iterations() * QFileInfo(fixture.file()).size());
}
BENCHMARK(BM_LoadBase)->Arg(1000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace kelvora

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIntValue("KELVORA_NO_THP") == 1)
        prctl(PR_SET_THP_DISABLE, 1, 0, 0, 0);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
