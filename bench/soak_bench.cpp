// A long run through the real main window: a folder of short tracks played end to end, the
// progress tick moving from each track to the next by itself, as a listener leaves the player
// running all day. Reported: the process's resident memory, open file descriptors and threads
// once the first 50 tracks have played and again at the end, so that growth shows.
//
// Run through bench/soak_bench.sh, which makes the folder (WAVLON_SOAK_FOLDER). Needs
// QT_QPA_PLATFORM=offscreen (or a display) and a sound server.
#include <benchmark/benchmark.h>

#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/main_window_units.h"
#include "player/playback.h"
#include "bench_window.h"

namespace {

namespace fs = std::filesystem;

// A field of /proc/self/status in kB (or a plain count), -1 when missing.
long status_field(const std::string& name) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(name + ":", 0) == 0)
            return std::stol(line.substr(name.size() + 1));
    }
    return -1;
}

long open_descriptors() {
    long count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

struct Sample {
    long rss_kib = 0;
    long descriptors = 0;
    long threads = 0;
};

Sample sample() {
    return {status_field("VmRSS"), open_descriptors(), status_field("Threads")};
}

void BM_PlayFolderEndToEnd(benchmark::State& state) {
    const char* folder = std::getenv("WAVLON_SOAK_FOLDER");
    if (folder == nullptr) {
        state.SkipWithError("set WAVLON_SOAK_FOLDER to a folder of short MP3 files");
        return;
    }
    wavlon::bench::load_window_with(folder);
    auto& list = wavlon::units::列表框1;
    const std::int32_t count = list->item_count();
    if (count < 60) {
        state.SkipWithError("the folder needs at least 60 tracks");
        return;
    }
    for (auto _ : state) {
        list->select_item(0);
        wavlon::player::play_selected_track();
        Sample after_warm_up;
        std::int32_t played = 1;
        std::int32_t last = 0;
        auto last_change = std::chrono::steady_clock::now();
        bool stalled = false;
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            const std::int32_t now = list->selection();
            if (now != last) {
                // Back at the first track: the whole folder has played.
                if (now < last) {
                    loop.quit();
                    return;
                }
                played += now - last;
                last = now;
                last_change = std::chrono::steady_clock::now();
                if (played == 51)
                    after_warm_up = sample();
            } else if (std::chrono::steady_clock::now() - last_change > std::chrono::seconds(30)) {
                stalled = true;  // no track change for 30 s: the run is stuck
                loop.quit();
            }
        });
        poll.start(100);
        loop.exec();
        Sample end = sample();
        wavlon::player::stop_playback();
        if (stalled) {
            state.SkipWithError(("stalled after " + std::to_string(played) + " tracks").c_str());
            break;
        }
        state.counters["tracks"] = played;
        state.counters["rss_after_50_kib"] = static_cast<double>(after_warm_up.rss_kib);
        state.counters["rss_end_kib"] = static_cast<double>(end.rss_kib);
        state.counters["rss_growth_kib"] =
            static_cast<double>(end.rss_kib - after_warm_up.rss_kib);
        state.counters["fds_after_50"] = static_cast<double>(after_warm_up.descriptors);
        state.counters["fds_end"] = static_cast<double>(end.descriptors);
        state.counters["threads_after_50"] = static_cast<double>(after_warm_up.threads);
        state.counters["threads_end"] = static_cast<double>(end.threads);
    }
    wavlon::bench::close_window();
}
BENCHMARK(BM_PlayFolderEndToEnd)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
