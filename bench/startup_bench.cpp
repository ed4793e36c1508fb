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

namespace fs = std::filesystem;
using wavlon::runtime::from_utf8;

using wavlon::bench::AnswerOk;
using wavlon::bench::application;

// Shows the window and lets it paint once.
void settle(QWidget* window) {
    window->repaint();
    QCoreApplication::processEvents();
}

void BM_StartUpWithThousandTracks(benchmark::State& state) {
    application();
    const fs::path work =
        fs::temp_directory_path() / ("wavlon_startup_bench_" + std::to_string(getpid()));
    fs::create_directories(work / "program");
    fs::create_directories(work / "music");
    for (int i = 0; i < 1000; ++i) {
        std::ofstream(work / "music" / ("track " + std::to_string(i) + ".mp3"));
    }
    AnswerOk dialogs;
    wavlon::platform::set_dialog_backend(&dialogs);
    wavlon::platform::set_network_check_url("http://127.0.0.1:9/");  // refused: offline at once
    wavlon::runtime::set_run_directory_for_tests(from_utf8((work / "program").string()));
    wavlon::runtime::write_config_item(from_utf8((work / "program/config.ini").string()), "config",
                                       from_utf8("路径"), from_utf8((work / "music").string()));
    wavlon::app::prepare_main_window();
    for (auto _ : state) {
        wavlon::app::load_main_window();
        settle(
            wavlon::units::widget_of(wavlon::runtime::live_unit(wavlon::units::kMainWindowId, 0)));
        state.PauseTiming();
        wavlon::runtime::close_window(wavlon::units::kMainWindowId);
        wavlon::player::program_state().track_paths.clear();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        state.ResumeTiming();
    }
    wavlon::platform::set_dialog_backend(nullptr);
    std::error_code ignored;
    fs::remove_all(work, ignored);
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
