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
    wavlon::bench::load_window_with(wavlon::bench::folder_of_tracks("music", 1000));
    for (auto _ : state) {
        run_event_loop(kIdleMs);
    }
    state.counters["rss_kib"] = status_kib("VmRSS");
    state.counters["peak_kib"] = status_kib("VmHWM");
    wavlon::bench::close_window();
}
BENCHMARK(BM_IdleWindowResident)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
