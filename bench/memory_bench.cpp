// Resident memory: a base of points loaded, and a map picture open, each
// measured as the VmRSS growth of a fresh child process over its own empty
// start, so nothing the benchmark itself made (the generated points, other
// tables) is counted.
#include "basefile.h"
#include "benchdata.h"
#include "mappicture.h"
#include "pointtable.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

QTemporaryDir& workDir()
{
    static QTemporaryDir dir(QDir::currentPath() + QStringLiteral("/memory-bench-XXXXXX"));
    return dir;
}

QByteArray selfPath()
{
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    return length > 0 ? QByteArray(path, int(length)) : QByteArray();
}

struct Measured
{
    double emptyMB = 0;
    double grownMB = 0;
    double ms = 0;
    bool ok = false;
};

// Runs this program again in `mode` on `file`; it prints three numbers.
Measured measureInChild(const char* mode, const QString& file)
{
    const QByteArray command = "QT_QPA_PLATFORM=offscreen '" + selfPath() + "' " + mode + " '" +
                               QFile::encodeName(file) + "'";
    Measured result;
    if (FILE* child = popen(command.constData(), "r")) {
        result.ok =
            std::fscanf(child, "%lf %lf %lf", &result.emptyMB, &result.grownMB, &result.ms) == 3;
        result.ok = pclose(child) == 0 && result.ok;
    }
    return result;
}

void report(benchmark::State& state, const Measured& m)
{
    if (!m.ok) {
        state.SkipWithError("the measuring child failed");
        return;
    }
    state.counters["load_ms"] = m.ms;
    state.counters["empty_program_MB"] = m.emptyMB;
    state.counters["resident_growth_MB"] = m.grownMB;
}

void BM_ResidentWithPoints(benchmark::State& state)
{
    const int count = int(state.range(0));
    const QString file = workDir().filePath(QStringLiteral("points%1.Lorvet").arg(count));
    if (!QFileInfo::exists(file)) {
        kelvora::PointTable table(QStringLiteral("PointTable"));
        benchdata::fillTable(table, count);
        kelvora::saveToFile(table, file, kelvora::BaseFileFormat());
    }
    Measured m;
    for (auto _ : state) {
        m = measureInChild("--measure-points", file);
        report(state, m);
    }
    if (m.ok)
        state.counters["bytes_per_point"] = m.grownMB * 1024 * 1024 / count;
}
// The time is that of the whole child, start-up included; load_ms is the load.
BENCHMARK(BM_ResidentWithPoints)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ResidentWithPoints)->Arg(1'000'000)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_ResidentWithMap(benchmark::State& state)
{
    const QString file = benchdata::jpegMap(int(state.range(0)));
    for (auto _ : state)
        report(state, measureInChild("--measure-map", file));
}
BENCHMARK(BM_ResidentWithMap)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ResidentWithMap)->Arg(8000)->Arg(16000)->Iterations(1)->Unit(benchmark::kMillisecond);

double megabytes(std::int64_t bytes)
{
    return double(bytes) / (1024.0 * 1024.0);
}

// The child: loads one thing and prints the empty and grown resident size
// in MiB and the load time in ms.
int measure(int argc, char** argv)
{
    QGuiApplication application(argc, argv);
    const QString file = QFile::decodeName(argv[2]);
    const std::int64_t empty = benchdata::residentBytes();
    QElapsedTimer timer;
    timer.start();
    kelvora::PointTable table(QStringLiteral("PointTable"));
    kelvora::MapPicture picture;
    if (std::strcmp(argv[1], "--measure-points") == 0)
        kelvora::loadFromFile(table, file, kelvora::BaseFileFormat());
    else
        picture = kelvora::MapPicture::load(file);
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    const std::int64_t grown = benchdata::residentBytes();
    std::printf("%f %f %f\n", megabytes(empty), megabytes(grown - empty), ms);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strncmp(argv[1], "--measure-", 10) == 0)
        return measure(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
