// Importing a base into one of the same size without questions: a half of
// the points already there, a quarter under a known name elsewhere (added
// beside it) and a quarter new. The load of the import file is counted.
#include "basefile.h"
#include "baseimport.h"
#include "pointtable.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <map>
#include <stdexcept>

namespace kelvora {
namespace {

class NoQuestions : public BaseImport::Questions
{
public:
    BaseImport::ReplaceAnswer askReplace(const QString&) override
    {
        throw std::logic_error("no question expected");
    }
    bool askAdd(const QString&) override { throw std::logic_error("no question expected"); }
};

void fill(PointTable& table, int count, bool imported)
{
    table.open();
    for (int i = 0; i < count; ++i) {
        const int kind = i % 4;
        table.append();
        table.fieldByName(u"X").setAsInteger(imported && kind == 2 ? i + 1 : i);
        table.fieldByName(u"Y").setAsInteger(2 * i);
        table.fieldByName(u"NAME_EN")
            .setAsString(
                (imported && kind == 3 ? QStringLiteral("M%1") : QStringLiteral("N%1")).arg(i));
        table.fieldByName(u"NAME_RUS").setAsString(QStringLiteral("Точка %1").arg(i));
        table.post();
    }
}

struct Files
{
    QString base;
    QString import;
};

const Files& filesOf(int count)
{
    static QTemporaryDir dir;
    static std::map<int, Files> files;
    auto found = files.find(count);
    if (found != files.end())
        return found->second;
    Files made{dir.filePath(QStringLiteral("base%1.Lorvet").arg(count)),
               dir.filePath(QStringLiteral("import%1.Lorvet").arg(count))};
    PointTable base(QStringLiteral("Base"));
    fill(base, count, false);
    saveToFile(base, made.base, BaseFileFormat());
    PointTable import(QStringLiteral("Import"));
    fill(import, count, true);
    saveToFile(import, made.import, BaseFileFormat());
    return files.emplace(count, made).first->second;
}

void BM_ImportWithoutQuestions(benchmark::State& state)
{
    const int count = int(state.range(0));
    const Files& files = filesOf(count);
    const BaseFileFormat format;
    PointTable table(QStringLiteral("PointTable"));
    PointTable impBase(QStringLiteral("IMPBase"));
    NoQuestions questions;
    BaseImport::Hooks hooks;
    hooks.choices = [] {
        return BaseImport::Choices{true, false, BaseImport::NameRule::Add};
    };
    for (auto _ : state) {
        state.PauseTiming();
        table.close();
        loadFromFile(table, files.base, format);
        state.ResumeTiming();
        BaseImport import(table, impBase, questions, hooks);
        if (!import.run(files.import, format))
            state.SkipWithError("import failed");
        benchmark::DoNotOptimize(table.recordCount());
    }
    state.counters["records"] = double(table.recordCount());
}
BENCHMARK(BM_ImportWithoutQuestions)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace kelvora

BENCHMARK_MAIN();
