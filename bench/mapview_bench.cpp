// The map view's presses in the main window: a right press that filters the
// base around the spot, a drag release that pans and repaints, and a zoom
// change with its repaint. The argument is the number of points; the map is
// a 4000 x 4000 picture at 50 % (drawing larger maps is measured by
// bench_picture). Each command ends with the view drawn into a pixmap, which
// draws it whether or not the window is exposed.
#include "forms.h"
#include "pointtable.h"
#include "tfmain.h"

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QScrollArea>
#include <QScrollBar>
#include <QTableView>
#include <QToolButton>
#include <benchmark/benchmark.h>
#include <memory>
#include <random>

namespace {

using kelvora::TFmain;

// The main window at 50 % of the picture with `count` points scattered on it.
TFmain& window(int count)
{
    static int filled = -1;
    TFmain& main = *kelvora::Fmain;
    if (filled == count)
        return main;
    if (filled < 0) {
        constexpr int side = 4000;
        QImage image(side, side, QImage::Format_RGB32);
        for (int y = 0; y < side; ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < side; ++x)
                line[x] = qRgb(x & 255, y & 255, (x ^ y) & 255);
        }
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "BMP");
        main.IMGMAP->setPicture(kelvora::MapPicture::fromData(
            reinterpret_cast<const unsigned char*>(bytes.constData()),
            static_cast<std::size_t>(bytes.size()), QStringLiteral("bmp")));
        main.ToolButton2->setChecked(true);
        main.ToolButton2Click();
        main.show();
    }
    kelvora::PointTable& table = main.pointTable();
    table.close();
    table.open();
    std::mt19937 random(7);
    std::uniform_int_distribution<int> coordinate(0, 3999);
    table.holdNotifications();
    for (int i = 0; i < count; ++i) {
        table.append();
        table.fieldByName(u"X").setAsInteger(coordinate(random));
        table.fieldByName(u"Y").setAsInteger(coordinate(random));
        table.fieldByName(u"NAME_EN").setAsString(QStringLiteral("P%1").arg(i));
        table.post();
    }
    table.releaseNotifications();
    filled = count;
    return main;
}

void BM_RightPressFilters(benchmark::State& state)
{
    TFmain& main = window(static_cast<int>(state.range(0)));
    int x = 100;
    for (auto _ : state) {
        main.IMGMAPMouseDown(Qt::RightButton, Qt::NoModifier, x, 700);
        benchmark::DoNotOptimize(main.DBMAP->viewport()->grab());
        x = x == 100 ? 1500 : 100;
    }
    main.MAPSEARCHREFRESHClick();
}

void BM_DragReleaseRepaints(benchmark::State& state)
{
    TFmain& main = window(static_cast<int>(state.range(0)));
    int dx = 300;
    for (auto _ : state) {
        main.IMGMAPMouseDown(Qt::LeftButton, Qt::NoModifier, 500, 500);
        main.IMGMAPMouseUp(Qt::LeftButton, 500 + dx, 500 + dx);
        benchmark::DoNotOptimize(main.ScrollBox1->viewport()->grab());
        dx = -dx;
    }
}

void BM_ZoomChangeRepaints(benchmark::State& state)
{
    TFmain& main = window(static_cast<int>(state.range(0)));
    bool half = true;
    for (auto _ : state) {
        if (half)
            main.ToolButton4Click();
        else
            main.ToolButton2Click();
        benchmark::DoNotOptimize(main.ScrollBox1->viewport()->grab());
        half = !half;
    }
    main.ToolButton2Click();
}

BENCHMARK(BM_RightPressFilters)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DragReleaseRepaints)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZoomChangeRepaints)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    auto windows = std::make_unique<kelvora::Forms>();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    windows.reset();
    return 0;
}
