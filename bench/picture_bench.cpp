// Map pictures: decoding large JPEGs against djpeg on the same file, and
// drawing one full-HD rectangle of a loaded map at 100 %, 75 %, 50 % and fit.
// The pictures are made here: a smooth gradient with noise, quality 90.
#include "mappicture.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>
#include <map>
#include <memory>
#include <random>
#include <vector>

namespace {

QTemporaryDir& workDir()
{
    static QTemporaryDir dir;
    return dir;
}

QString makeJpeg(int side)
{
    static std::map<int, QString> made;
    if (auto it = made.find(side); it != made.end())
        return it->second;
    const QString path = workDir().filePath(QStringLiteral("map%1.jpg").arg(side));
    FILE* out = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (!out)
        std::abort();
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, out);
    cinfo.image_width = JDIMENSION(side);
    cinfo.image_height = JDIMENSION(side);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 90, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::minstd_rand random(side);
    std::vector<JSAMPLE> row(std::size_t(side) * 3);
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            const unsigned noise = random() & 63;
            row[std::size_t(x) * 3] = JSAMPLE((x * 255 / side + noise) & 0xff);
            row[std::size_t(x) * 3 + 1] = JSAMPLE((y * 255 / side + noise) & 0xff);
            row[std::size_t(x) * 3 + 2] = JSAMPLE(((x + y) * 127 / side + noise * 2) & 0xff);
        }
        JSAMPROW p = row.data();
        jpeg_write_scanlines(&cinfo, &p, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::fclose(out);
    made[side] = path;
    return path;
}

const kelvora::MapPicture& loaded(int side)
{
    static std::map<int, kelvora::MapPicture> pictures;
    auto it = pictures.find(side);
    if (it == pictures.end())
        it = pictures.emplace(side, kelvora::MapPicture::load(makeJpeg(side))).first;
    return it->second;
}

void BM_DecodeJpeg(benchmark::State& state)
{
    const QString path = makeJpeg(int(state.range(0)));
    for (auto _ : state) {
        kelvora::MapPicture picture = kelvora::MapPicture::load(path);
        benchmark::DoNotOptimize(picture);
    }
}

void BM_Djpeg(benchmark::State& state)
{
    const QString path = makeJpeg(int(state.range(0)));
    const QByteArray command = "djpeg -outfile /dev/null '" + QFile::encodeName(path) + "'";
    for (auto _ : state) {
        if (std::system(command.constData()) != 0) {
            state.SkipWithError("djpeg failed");
            break;
        }
    }
}

// Draws a full-HD view of the picture at `zoom` (0 = fit to 1080 rows),
// panned to the middle.
void drawView(benchmark::State& state, double zoom)
{
    const int side = int(state.range(0));
    const kelvora::MapPicture& picture = loaded(side);
    QImage target(1920, 1080, QImage::Format_ARGB32_Premultiplied);
    const double scale = zoom > 0 ? zoom : 1080.0 / side;
    const QRectF view(0, 0, std::min(1920.0, side * scale), std::min(1080.0, side * scale));
    const QRectF source((side - view.width() / scale) / 2, (side - view.height() / scale) / 2,
                        view.width() / scale, view.height() / scale);
    {
        // The first draw at a zoom may build its reduced copy; panning is what
        // is measured.
        QPainter painter(&target);
        picture.draw(painter, view, source);
    }
    int step = 0;
    for (auto _ : state) {
        QPainter painter(&target);
        const QRectF panned = source.translated((step++ % 8) * 16 / scale, 0);
        picture.draw(painter, view, panned);
    }
}

void BM_Draw100(benchmark::State& state)
{
    drawView(state, 1.0);
}
void BM_Draw75(benchmark::State& state)
{
    drawView(state, 0.75);
}
void BM_Draw50(benchmark::State& state)
{
    drawView(state, 0.5);
}
void BM_DrawFit(benchmark::State& state)
{
    drawView(state, 0);
}

// The Time column is wall time, the figure to compare: djpeg spends its time
// in a child process, which the CPU column does not see.
BENCHMARK(BM_DecodeJpeg)->Arg(1000)->Arg(8000)->Arg(16000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Djpeg)->Arg(1000)->Arg(8000)->Arg(16000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Draw100)->Arg(1000)->Arg(16000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Draw75)->Arg(1000)->Arg(16000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Draw50)->Arg(1000)->Arg(16000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawFit)->Arg(1000)->Arg(16000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
