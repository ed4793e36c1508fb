// Resident memory of the idle main window, as start-up leaves it with a stored folder of 1,000
// tracks, after 5 s of its timers. bench/player_bench.sh runs it in a process of its own and
// sets it beside its floor, `bare_window_probe idle`.
//
// Needs QT_QPA_PLATFORM=offscreen (or a display) and a sound server.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/application.h"
#include "app/main_window_units.h"
#include "bench_window.h"
#include "platform/dialogs.h"
#include "platform/network_check.h"
#include "runtime/config_file.h"
#include "runtime/program.h"
#include "runtime/window_loader.h"

namespace {

namespace fs = std::filesystem;
using wavlon::runtime::from_utf8;

// One line of /proc/self/status in KiB ("VmRSS", "VmHWM").
double status_kib(const std::string& key) {
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(key + ":", 0) == 0) {
            return std::strtod(line.c_str() + key.size() + 1, nullptr);
        }
    }
    return 0;
}

void run_event_loop(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

constexpr int kIdleMs = 5000;

void BM_IdleWindowResident(benchmark::State& state) {
    wavlon::bench::application();
    const fs::path work =
        fs::temp_directory_path() / ("wavlon_idle_memory_" + std::to_string(getpid()));
    fs::create_directories(work / "program");
    fs::create_directories(work / "music");
    for (int i = 0; i < 1000; ++i) {
        std::ofstream(work / "music" / ("track " + std::to_string(i) + ".mp3"));
    }
    static wavlon::bench::AnswerOk dialogs;
    wavlon::platform::set_dialog_backend(&dialogs);
    wavlon::platform::set_network_check_url("http://127.0.0.1:9/");  // refused: offline at once
    wavlon::runtime::set_run_directory_for_tests(from_utf8((work / "program").string()));
    wavlon::runtime::write_config_item(from_utf8((work / "program/config.ini").string()), "config",
                                       from_utf8("路径"), from_utf8((work / "music").string()));
    wavlon::app::prepare_main_window();
    wavlon::app::load_main_window();
    for (auto _ : state) {
        run_event_loop(kIdleMs);
    }
    state.counters["rss_kib"] = status_kib("VmRSS");
    state.counters["peak_kib"] = status_kib("VmHWM");
    wavlon::runtime::close_window(wavlon::units::kMainWindowId);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    wavlon::platform::set_dialog_backend(nullptr);
    std::error_code ignored;
    fs::remove_all(work, ignored);
}
BENCHMARK(BM_IdleWindowResident)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
