// What the user waits for in the main window, measured in-process from the
// command to the affected view drawn: a right press that filters the base
// around the spot, a drag release that pans, a zoom change, a title click
// that sorts, one incremental-search keystroke, and opening the map picture
// with its same-named base. The argument is the number of points, from the
// shared generator; with 1,000,000 points the map is the 16000 x 16000 JPEG
// at 50 %, with fewer a 1000 x 1000 one (the smoke run). Each command ends
// with the view drawn into a pixmap, which draws it whether or not the
// window is exposed.
#include "basecommands.h"
#include "basefile.h"
#include "benchdata.h"
#include "forms.h"
#include "pointgrid.h"
#include "pointtable.h"
#include "scriptedprompts.h"
#include "tfmain.h"
#include "tfsettings.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileInfo>
#include <QKeyEvent>
#include <QRadioButton>
#include <QScrollArea>
#include <QToolButton>
#include <benchmark/benchmark.h>
#include <memory>

namespace {

using kelvora::TFmain;

kelvora::ScriptedPrompts& scripted()
{
    static kelvora::ScriptedPrompts prompts;
    return prompts;
}

int mapSide(int count)
{
    return count >= 1000000 ? 16000 : 1000;
}

// The map picture for `count` points and, beside it, its same-named base.
QString mapWithBase(int count)
{
    const QString picture = benchdata::jpegMap(mapSide(count));
    const QFileInfo info(picture);
    const QString base =
        info.absolutePath() + u'/' + info.completeBaseName() + QStringLiteral(".Lorvet");
    static int written = -1;
    if (written != count) {
        kelvora::PointTable table(QStringLiteral("PointTable"));
        benchdata::fillTable(table, count);
        kelvora::saveToFile(table, base, kelvora::Fmain->baseCommands().format());
        written = count;
    }
    return picture;
}

void openMap(TFmain& main, int count)
{
    scripted().chooseFile(mapWithBase(count));
    main.ToolButton1Click();
}

// The main window at 50 % of the map with its base of `count` points open.
TFmain& window(int count)
{
    static int opened = -1;
    TFmain& main = *kelvora::Fmain;
    if (opened != count) {
        kelvora::Fsettings->BASEOPENWITHIMG()->setChecked(true);
        kelvora::Fsettings->BASEPATHISPICT()->setChecked(true);
        main.show();
        openMap(main, count);
        main.ToolButton2->setChecked(true);
        main.ToolButton2Click();
        if (main.pointTable().recordCount() != count)
            std::abort(); // the same-named base did not open
        opened = count;
    }
    return main;
}

void BM_RightPressToFilteredGrid(benchmark::State& state)
{
    TFmain& main = window(int(state.range(0)));
    int x = 100;
    for (auto _ : state) {
        main.IMGMAPMouseDown(Qt::RightButton, Qt::NoModifier, x, 700);
        benchmark::DoNotOptimize(main.DBMAP->viewport()->grab());
        x = x == 100 ? 400 : 100;
    }
    main.MAPSEARCHREFRESHClick();
}

void BM_DragReleaseRepaints(benchmark::State& state)
{
    TFmain& main = window(int(state.range(0)));
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
    TFmain& main = window(int(state.range(0)));
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

// A title click sorts by its column; two columns take turns so that every
// click really sorts. Columns: 0 X, 1 Y, 2 NAME_EN, 3 NAME_RUS.
void titleClicks(benchmark::State& state, int first, int second)
{
    TFmain& main = window(int(state.range(0)));
    bool toFirst = true;
    for (auto _ : state) {
        main.DBMAPTitleBtnClick(toFirst ? first : second);
        benchmark::DoNotOptimize(main.DBMAP->viewport()->grab());
        toFirst = !toFirst;
    }
}

void BM_TitleClickSortsByName(benchmark::State& state)
{
    titleClicks(state, 2, 3);
}

void BM_TitleClickSortsByX(benchmark::State& state)
{
    titleClicks(state, 0, 1);
}

void typeKey(QWidget* target, int key, const QString& text)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &press);
}

// One keystroke of the incremental search in the name column. `found`: the
// first letter of the last point's name, so the search runs until it finds
// it; otherwise a letter no name starts with, so the whole list is looked
// through, the slowest keystroke there is.
void searchKeystroke(benchmark::State& state, bool found)
{
    TFmain& main = window(int(state.range(0)));
    kelvora::PointGrid* grid = main.DBMAP;
    grid->setFocus();
    grid->setCurrentIndex(grid->model()->index(0, 2));
    kelvora::PointTable& table = main.pointTable();
    table.last();
    const QString name = table.fieldByName(u"NAME_EN").asString();
    const QString letter = found ? name.left(1) : QStringLiteral("#");
    for (auto _ : state) {
        state.PauseTiming();
        table.first();
        typeKey(grid, Qt::Key_Escape, QString()); // ends the search before
        state.ResumeTiming();
        typeKey(grid, letter.isEmpty() ? int(Qt::Key_A) : int(letter.at(0).unicode()), letter);
        benchmark::DoNotOptimize(grid->viewport()->grab());
    }
    typeKey(grid, Qt::Key_Escape, QString());
}

void BM_SearchKeystrokeFound(benchmark::State& state)
{
    searchKeystroke(state, true);
}

void BM_SearchKeystrokeNoMatch(benchmark::State& state)
{
    searchKeystroke(state, false);
}

// Last, as it replaces the window's base with a freshly loaded one.
void BM_OpenMapWithBase(benchmark::State& state)
{
    TFmain& main = window(int(state.range(0)));
    for (auto _ : state) {
        openMap(main, int(state.range(0)));
        benchmark::DoNotOptimize(main.ScrollBox1->viewport()->grab());
    }
    if (main.pointTable().recordCount() != state.range(0))
        state.SkipWithError("the same-named base did not open");
}

#define KELVORA_INTERACTIVE(name)                                                                  \
    BENCHMARK(name)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMillisecond)
KELVORA_INTERACTIVE(BM_RightPressToFilteredGrid);
KELVORA_INTERACTIVE(BM_DragReleaseRepaints);
KELVORA_INTERACTIVE(BM_ZoomChangeRepaints);
KELVORA_INTERACTIVE(BM_TitleClickSortsByName);
KELVORA_INTERACTIVE(BM_TitleClickSortsByX);
KELVORA_INTERACTIVE(BM_SearchKeystrokeFound);
KELVORA_INTERACTIVE(BM_SearchKeystrokeNoMatch);
KELVORA_INTERACTIVE(BM_OpenMapWithBase);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    kelvora::setPrompts(&scripted());
    auto windows = std::make_unique<kelvora::Forms>();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    windows.reset();
    return 0;
}
