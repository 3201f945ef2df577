// How long the user waits for the window: from creating the window and its session, through the
// start-up checks against the simulated demo station, until the window is shown and exposed.
// Runs on the offscreen platform so it needs no display.
#include "extract/NativeFileSystem.h"
#include "qt/MainFrm.h"
#include "sim/SimulatedBaseStation.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

namespace {

void BM_WindowStartup(benchmark::State& state) {
    const z83::sim::Scenario scenario = z83::sim::demoScenario();
    z83::NativeFileSystem fileSystem;
    for (auto _ : state) {
        auto window = std::make_unique<z83::qt::MainFrm>(
            [&scenario] { return std::make_unique<z83::sim::SimulatedBaseStation>(scenario); }, fileSystem,
            [](int) {});
        if (window->start() || !QTest::qWaitForWindowExposed(window.get())) {
            state.SkipWithError("the window did not open");
            break;
        }
        // Not unloaded: unloading waits a second on purpose, and it is not part of starting.
        state.PauseTiming();
        window.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_WindowStartup)->Unit(benchmark::kMillisecond);

// The offscreen platform warns about every window feature it lacks; that is noise in a timing run.
void quietPlatformWarnings(QtMsgType type, const QMessageLogContext& /*context*/, const QString& message) {
    if (type == QtWarningMsg && message.startsWith(QLatin1String("This plugin does not support")))
        return;
    std::fprintf(stderr, "%s\n", qPrintable(message));
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Start-up reads the remembered ID; keep the user's own settings out of it.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());

    // The benchmark library takes its own options; Qt gets only the program name.
    static int qtArgc = 1;
    static char* qtArgv[] = {argv[0], nullptr};
    qInstallMessageHandler(quietPlatformWarnings);
    QApplication application(qtArgc, qtArgv);

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
