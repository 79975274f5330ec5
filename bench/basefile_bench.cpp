// Saving and loading a base of a million points. Set KELVORA_NO_THP=1 to
// measure with transparent huge pages switched off for the process.
#include "basefile.h"
#include "pointtable.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <sys/prctl.h>

namespace kelvora {
namespace {

QString randomName(QRandomGenerator& random)
{
    static const QString latin =
        QStringLiteral("abcdefghijklmnopqrstuvwxyz ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    static const QString cyrillic =
        QStringLiteral("абвгдеёжзийклмнопрстуфхцчшщъыьэюя АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЭЮЯ");
    const QString& letters = random.bounded(2) ? latin : cyrillic;
    const int length = 5 + int(random.bounded(26));
    QString name(length, Qt::Uninitialized);
    for (int i = 0; i < length; ++i)
        name[i] = letters[int(random.bounded(letters.size()))];
    return name;
}

// A base of `count` points: Latin and Cyrillic names of 5 to 30 characters,
// a tenth of the points with a description.
void fill(PointTable& table, int count)
{
    QRandomGenerator random(7);
    table.open();
    Field x = table.fieldByName(u"X");
    Field y = table.fieldByName(u"Y");
    Field name = table.fieldByName(u"NAME_EN");
    Field russian = table.fieldByName(u"NAME_RUS");
    Field desc = table.fieldByName(u"DESC");
    Field processed = table.fieldByName(u"OBR");
    for (int i = 0; i < count; ++i) {
        table.append();
        x.setAsInteger(int(random.bounded(20000)));
        y.setAsInteger(int(random.bounded(20000)));
        name.setAsString(randomName(random));
        russian.setAsString(randomName(random));
        if (i % 10 == 0)
            desc.setAsString(randomName(random) + QLatin1Char(' ') + randomName(random));
        processed.setAsBoolean(i % 3 == 0);
        table.post();
    }
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
