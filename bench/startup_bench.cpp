// Start-up: from loading the main window (its creation routine with skin, network check,
// volume slider and a stored folder of 1,000 tracks) to the window on screen, beside a floor
// measured in the same run: a plain Qt 6 window of the same size shown and painted.
//
// Run through bench/player_bench.sh, which prints the ratio. Needs QT_QPA_PLATFORM=offscreen
// (or a display) and a sound server.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QWidget>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/application.h"
#include "app/main_window_units.h"
#include "platform/dialogs.h"
#include "platform/network_check.h"
#include "player/program_state.h"
#include "runtime/config_file.h"
#include "runtime/program.h"
#include "runtime/window_loader.h"
#include "bench_window.h"

namespace {

using wavlon::bench::application;

// Shows the window and lets it paint once.
void settle(QWidget* window) {
    window->repaint();
    QCoreApplication::processEvents();
}

void BM_StartUpWithThousandTracks(benchmark::State& state) {
    wavlon::bench::prepare_window_with(wavlon::bench::folder_of_tracks("music", 1000));
    for (auto _ : state) {
        wavlon::app::load_main_window();
        settle(
            wavlon::units::widget_of(wavlon::runtime::live_unit(wavlon::units::kMainWindowId, 0)));
        state.PauseTiming();
        wavlon::bench::close_window();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StartUpWithThousandTracks)->Unit(benchmark::kMillisecond);

// Floor: a bare top-level widget of the window's size.
void BM_MinimalQtWindowFloor(benchmark::State& state) {
    application();
    for (auto _ : state) {
        QWidget window;
        window.resize(1242, 694);
        window.setWindowTitle(QStringLiteral("Wavlon"));
        window.show();
        settle(&window);
    }
}
BENCHMARK(BM_MinimalQtWindowFloor)->Unit(benchmark::kMillisecond);

}  // namespace
