// Start-up: from nothing to the main window shown, in-process under the
// offscreen platform, the four windows made as the program makes them.
#include "forms.h"
#include "scriptedprompts.h"
#include "tfmain.h"

#include <QApplication>
#include <QTest>
#include <benchmark/benchmark.h>
#include <memory>

namespace {

// Tearing the windows down is not timed.
void BM_StartUpToMainWindowShown(benchmark::State& state)
{
    for (auto _ : state) {
        auto forms = std::make_unique<kelvora::Forms>();
        kelvora::Fmain->show();
        if (!QTest::qWaitForWindowExposed(kelvora::Fmain)) {
            state.SkipWithError("the main window was not exposed");
            return;
        }
        state.PauseTiming();
        kelvora::Fmain->close();
        forms.reset();
        QApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StartUpToMainWindowShown)->Iterations(20)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    kelvora::ScriptedPrompts prompts;
    kelvora::setPrompts(&prompts);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
