// Sorting and locating at the scale of a large base, the index against the
// plain walk in the same run.
#include "pointtable.h"

#include <QElapsedTimer>
#include <QLocale>
#include <QRandomGenerator>
#include <benchmark/benchmark.h>
#include <map>
#include <memory>

namespace kelvora {
namespace {

constexpr int xField = 0;
constexpr int yField = 1;
constexpr int nameField = 2;
constexpr int russianField = 3;
constexpr int obrField = 5;

QString makeName(QRandomGenerator& random)
{
    static const char* const latin[] = {"ka", "no",  "vo",  "ra",  "mi", "sk", "ol", "te",
                                        "pe", "gor", "lan", "ber", "zu", "ya", "in", "ost"};
    static const char16_t* const cyrillic[] = {u"ка", u"но", u"во", u"ра",  u"ми",  u"ск",
                                               u"ол", u"те", u"Пе", u"гор", u"Лан", u"ёж"};
    QString name;
    const bool russian = random.bounded(4) == 0;
    for (int k = 0, parts = 2 + int(random.bounded(3)); k < parts; ++k)
        name += russian ? QString::fromUtf16(cyrillic[random.bounded(12)])
                        : QString::fromLatin1(latin[random.bounded(16)]);
    name[0] = name[0].toUpper();
    if (random.bounded(2) == 0)
        name += QStringLiteral(" ") + QString::number(random.bounded(1000));
    return name;
}

// Tables filled once per size and kept for every benchmark of the run.
PointTable& tableOf(int count)
{
    static std::map<int, std::unique_ptr<PointTable>> tables;
    auto& table = tables[count];
    if (table)
        return *table;
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    table = std::make_unique<PointTable>(QStringLiteral("PointTable"));
    table->open();
    table->beginBulkLoad(std::size_t(count));
    QRandomGenerator random(42);
    RecordStore& store = table->bulkStore();
    for (int i = 0; i < count; ++i) {
        const Slot slot = table->bulkAddRecord(0);
        store.setInteger(xField, slot, int(random.bounded(16000)));
        store.setInteger(yField, slot, int(random.bounded(12000)));
        store.setText(nameField, slot, makeName(random));
        store.setText(russianField, slot, makeName(random));
        store.setBoolean(obrField, slot, random.bounded(2) == 0);
    }
    table->endBulkLoad();
    return *table;
}

void sortBy(benchmark::State& state, const char* fields)
{
    PointTable& table = tableOf(int(state.range(0)));
    table.setSortFields(QString::fromLatin1(fields));
    for (auto _ : state) {
        table.sort();
        benchmark::DoNotOptimize(table.visibleCount());
    }
    table.setSortFields(QString());
    table.sort();
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_SortByName(benchmark::State& state)
{
    sortBy(state, "NAME_EN");
}
BENCHMARK(BM_SortByName)->Arg(1000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

void BM_SortByX(benchmark::State& state)
{
    sortBy(state, "X");
}
BENCHMARK(BM_SortByX)->Arg(1000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

// Locates existing points by name, or by name and position, picked at random.
void locate(benchmark::State& state, bool withPosition, bool indexed, const char* sortFields)
{
    PointTable& table = tableOf(int(state.range(0)));
    table.setSortFields(QString::fromLatin1(sortFields));
    table.sort();
    QRandomGenerator random(7);
    std::vector<QVariant> keys;
    for (int i = 0; i < 1024; ++i) {
        const Slot slot = table.slotAtRow(int(random.bounded(quint32(table.visibleCount()))));
        const QString name = table.store().text(nameField, slot).toString();
        if (withPosition)
            keys.push_back(QVariantList{name, table.store().integer(xField, slot),
                                        table.store().integer(yField, slot)});
        else
            keys.push_back(name);
    }
    const QString fields = withPosition ? QStringLiteral("NAME_EN;X;Y") : QStringLiteral("NAME_EN");
    // The index is made by the first locate; it is reported apart.
    // Benchmarks run more than once: keep the time of the very first.
    static std::map<std::pair<int, QString>, double> firstTimes;
    const auto run = std::pair(int(state.range(0)), fields + QString::fromLatin1(sortFields));
    QElapsedTimer timer;
    timer.start();
    table.locate(fields, keys[0]);
    if (!firstTimes.count(run))
        firstTimes[run] = double(timer.nsecsElapsed()) / 1e6;
    state.counters["first_locate_ms"] = firstTimes[run];
    std::size_t next = 0;
    std::int64_t found = 0;
    for (auto _ : state) {
        const QVariant& key = keys[next++ & 1023];
        found += indexed ? table.locate(fields, key) : table.locateByScan(fields, key);
    }
    if (found != std::int64_t(state.iterations()))
        state.SkipWithError("a point was not found");
    table.setSortFields(QString());
    table.sort();
}

void BM_LocateName(benchmark::State& state)
{
    locate(state, false, true, "");
}
void BM_LocateNameScan(benchmark::State& state)
{
    locate(state, false, false, "");
}
void BM_LocateNamePosition(benchmark::State& state)
{
    locate(state, true, true, "");
}
void BM_LocateNamePositionScan(benchmark::State& state)
{
    locate(state, true, false, "");
}
void BM_LocateNameSortedByX(benchmark::State& state)
{
    locate(state, false, true, "X");
}
BENCHMARK(BM_LocateName)->Arg(1000)->Arg(1'000'000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LocateNameScan)->Arg(1000)->Arg(1'000'000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LocateNamePosition)->Arg(1000)->Arg(1'000'000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LocateNamePositionScan)->Arg(1000)->Arg(1'000'000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LocateNameSortedByX)->Arg(1000)->Arg(1'000'000)->Unit(benchmark::kMicrosecond);

// The import's pattern: two locates, then an append, on a table that grows.
void BM_LocateTwiceThenAppend(benchmark::State& state)
{
    PointTable& table = tableOf(int(state.range(0)));
    QRandomGenerator random(11);
    Field x = table.fieldByName(u"X");
    Field y = table.fieldByName(u"Y");
    Field name = table.fieldByName(u"NAME_EN");
    const QString byName = QStringLiteral("NAME_EN");
    const QString byNameAndPosition = QStringLiteral("NAME_EN;X;Y");
    table.locate(byName, QString());
    table.locate(byNameAndPosition, QVariantList{QString(), 0, 0});
    const int before = table.visibleCount();
    for (auto _ : state) {
        const QString newName = makeName(random) + QStringLiteral("+");
        const int px = int(random.bounded(16000));
        const int py = int(random.bounded(12000));
        if (!table.locate(byName, newName) &&
            !table.locate(byNameAndPosition, QVariantList{newName, px, py})) {
            table.append();
            x.setAsInteger(px);
            y.setAsInteger(py);
            name.setAsString(newName);
            table.post();
        }
    }
    // Leave the table as the other benchmarks expect it.
    while (table.visibleCount() > before) {
        table.last();
        table.deleteRecord();
    }
}
BENCHMARK(BM_LocateTwiceThenAppend)->Arg(1000)->Arg(1'000'000)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace kelvora

BENCHMARK_MAIN();
