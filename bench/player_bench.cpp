// The player's costs through the real main window, each beside a floor measured in the same
// run: listing a folder of 10,000 or 50,000 tracks against readdir + match + sort, idle CPU
// with the window's timers against plain Qt timers of the same periods (with and without a
// label redrawn each second as the clock is), and playing one file
// through the window (bench/player_bench.sh runs that case under /usr/bin/time beside
// gst-launch-1.0, mpg123 and a headless audacious).
//
// Run through bench/player_bench.sh, which prints the ratios. Needs QT_QPA_PLATFORM=offscreen
// (or a display) and a sound server; the folder dialog and message box answer by themselves.
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <fnmatch.h>
#include <strings.h>
#include <sys/resource.h>

#include <QApplication>
#include <QEventLoop>
#include <QLabel>
#include <QTimer>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/main_window_units.h"
#include "bench_window.h"
#include "player/music_folder.h"
#include "player/playback.h"
#include "player/program_state.h"
#include "player/window_units.h"
#include "runtime/conversions.h"
#include "runtime/system_commands.h"
#include "unit_look.h"

namespace {

namespace fs = std::filesystem;
using wavlon::runtime::utf8_to_gbk;

using wavlon::bench::application;
using wavlon::bench::close_window;
using wavlon::bench::folder_of_tracks;
using wavlon::bench::load_window_with;
using wavlon::bench::work_folder;

// A folder of range(0) empty .mp3 files listed into the track list.
void BM_ScanTracks(benchmark::State& state) {
    const auto count = static_cast<int>(state.range(0));
    const fs::path folder = folder_of_tracks("tracks_" + std::to_string(count), count);
    load_window_with(work_folder() / "none");
    const auto text = utf8_to_gbk(folder.string());
    for (auto _ : state) {
        wavlon::units::列表框1->clear_items();
        wavlon::player::program_state().track_paths.clear();
        wavlon::player::scan_music_folder(text);
    }
    state.counters["items"] = wavlon::units::列表框1->item_count();
    close_window();
}
BENCHMARK(BM_ScanTracks)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond);

// Floor: the same folder read, matched and sorted with nothing else.
void BM_ReaddirMatchSortFloor(benchmark::State& state) {
    const auto count = static_cast<int>(state.range(0));
    const fs::path folder = folder_of_tracks("tracks_" + std::to_string(count), count);
    for (auto _ : state) {
        std::vector<std::string> names;
        DIR* dir = opendir(folder.c_str());
        while (dirent* entry = readdir(dir)) {
            if (fnmatch("*.mp3", entry->d_name, FNM_CASEFOLD) == 0) {
                names.emplace_back(entry->d_name);
            }
        }
        closedir(dir);
        std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
            return strcasecmp(a.c_str(), b.c_str()) < 0;
        });
        benchmark::DoNotOptimize(names.data());
    }
}
BENCHMARK(BM_ReaddirMatchSortFloor)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond);

double cpu_seconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Runs the event loop for the given time.
void run_event_loop(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

// The CPU time of 30 s of the event loop (steady_cpu_seconds), after 3 s to settle: a window shown
// just before paints for the first time (fonts loaded, texts shaped) in its first turns of the
// loop, and that is the start-up's cost, not the idle window's.
[[gnu::noinline]] double steady_cpu_seconds() {
    const double before = cpu_seconds();
    run_event_loop(30000);
    return cpu_seconds() - before;
}

double idle_cpu_seconds() {
    run_event_loop(3000);
    const double cpu = steady_cpu_seconds();
    benchmark::DoNotOptimize(cpu);
    return cpu;
}

void BM_IdleWindowThirtySeconds(benchmark::State& state) {
    load_window_with(folder_of_tracks("thousand", 1000));
    for (auto _ : state) {
        state.counters["cpu_s"] = idle_cpu_seconds();
    }
    close_window();
}
BENCHMARK(BM_IdleWindowThirtySeconds)->Iterations(1)->Unit(benchmark::kSecond);

// Four Qt timers with the window's periods (the countdown's stopped); the 1 s one calls
// `on_second`, the others empty slots.
std::vector<std::unique_ptr<QTimer>> window_timers(const std::function<void()>& on_second) {
    std::vector<std::unique_ptr<QTimer>> timers;
    for (int period : {1000, 300, 500, 0}) {
        auto& timer = timers.emplace_back(std::make_unique<QTimer>());
        QObject::connect(timer.get(), &QTimer::timeout,
                         period == 1000 ? on_second : std::function<void()>([] {}));
        if (period > 0) {
            timer->start(period);
        }
    }
    return timers;
}

// Floor: the window's timers with empty slots.
void BM_IdleQtTimersFloor(benchmark::State& state) {
    application();
    auto timers = window_timers([] {});
    for (auto _ : state) {
        state.counters["cpu_s"] = idle_cpu_seconds();
    }
}
BENCHMARK(BM_IdleQtTimersFloor)->Iterations(1)->Unit(benchmark::kSecond);

// Floor with the clock: the same timers, and a bare window whose one label, in the clock
// label's font, place and colour, is given the clock's text every second. The window redraws
// that label each second as the program must; the difference to the plain timers is what
// drawing the changing time costs any Qt window.
void BM_IdleQtTimersAndClockFloor(benchmark::State& state) {
    load_window_with(folder_of_tracks("thousand", 1000));
    QWidget* clock = wavlon::units::透明标签2->widget();
    const QFont font = clock->font();
    const QPalette palette = clock->palette();
    const QRect place = clock->geometry();
    const QSize size = clock->window()->size();
    close_window();

    QWidget window;
    window.resize(size);
    auto* label = new QLabel(&window);
    label->setFont(font);
    label->setPalette(palette);
    label->setGeometry(place);
    label->setAttribute(Qt::WA_TranslucentBackground);
    window.show();
    auto timers = window_timers([label] {
        using namespace wavlon::runtime;
        label->setText(wavlon::units::to_qstring(to_text(Value::date_time(now()))));
    });
    for (auto _ : state) {
        state.counters["cpu_s"] = idle_cpu_seconds();
    }
}
BENCHMARK(BM_IdleQtTimersAndClockFloor)->Iterations(1)->Unit(benchmark::kSecond);

// One pass of WAVLON_BENCH_FILE through the window, as a click on its track plays it.
void BM_PlayThroughWindow(benchmark::State& state) {
    const char* file = std::getenv("WAVLON_BENCH_FILE");
    if (file == nullptr) {
        state.SkipWithError("set WAVLON_BENCH_FILE to an MP3 file");
        return;
    }
    const fs::path folder = work_folder() / "play";
    fs::create_directories(folder);
    fs::copy_file(file, folder / "track.mp3", fs::copy_options::overwrite_existing);
    load_window_with(folder);
    auto& device = wavlon::player::media_player();
    for (auto _ : state) {
        wavlon::units::列表框1->select_item(0);
        wavlon::player::play_selected_track();
        if (device.get_state() != 1) {
            state.SkipWithError("the track did not start");
            break;
        }
        const std::int32_t length = device.get_length();
        // Ends at the end of the file, before the progress tick starts it over. The harness
        // sleeps until a second before the end and only then looks every 50 ms: polling all
        // the way (1,200 position queries a minute) cost as much as the player's own ticks.
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (device.get_state() != 1 || device.get_position() >= length - 50) {
                loop.quit();
            }
        });
        QTimer::singleShot(std::max(0, length - device.get_position() - 1000), &poll,
                           [&] { poll.start(50); });
        loop.exec();
    }
    close_window();
}
BENCHMARK(BM_PlayThroughWindow)->Iterations(1)->Unit(benchmark::kSecond);

// The window alone for as long as the play benchmark plays (WAVLON_BENCH_SECONDS, default
// 60): the same start-up and folder, nothing played. bench/player_bench.sh times both whole
// processes, and the difference is what playing costs beyond the window's own start-up and
// timers.
void BM_WindowForPlayLength(benchmark::State& state) {
    const char* seconds = std::getenv("WAVLON_BENCH_SECONDS");
    const int length_ms = (seconds != nullptr ? std::atoi(seconds) : 60) * 1000;
    const fs::path folder = work_folder() / "play";
    fs::create_directories(folder);
    if (const char* file = std::getenv("WAVLON_BENCH_FILE")) {
        fs::copy_file(file, folder / "track.mp3", fs::copy_options::overwrite_existing);
    }
    load_window_with(folder);
    for (auto _ : state) {
        run_event_loop(length_ms);
    }
    close_window();
}
BENCHMARK(BM_WindowForPlayLength)->Iterations(1)->Unit(benchmark::kSecond);

// Two tracks that follow each other by themselves (WAVLON_BENCH_FIRST, WAVLON_BENCH_SECOND):
// the first is clicked, the second starts when the first ends, and plays for a second more.
// bench/gap_bench.sh records the sink's monitor meanwhile and measures the silence between.
void BM_TwoTracksInARow(benchmark::State& state) {
    const char* first = std::getenv("WAVLON_BENCH_FIRST");
    const char* second = std::getenv("WAVLON_BENCH_SECOND");
    if (first == nullptr || second == nullptr) {
        state.SkipWithError("set WAVLON_BENCH_FIRST and WAVLON_BENCH_SECOND to MP3 files");
        return;
    }
    const fs::path folder = work_folder() / "gap";
    fs::create_directories(folder);
    fs::copy_file(first, folder / "1.mp3", fs::copy_options::overwrite_existing);
    fs::copy_file(second, folder / "2.mp3", fs::copy_options::overwrite_existing);
    load_window_with(folder);
    for (auto _ : state) {
        wavlon::units::列表框1->select_item(0);
        wavlon::player::play_selected_track();
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (wavlon::units::列表框1->selection() == 1) {
                QTimer::singleShot(1000, &loop, &QEventLoop::quit);
                poll.stop();
            }
        });
        poll.start(50);
        loop.exec();
    }
    wavlon::player::media_player().stop();
    close_window();
}
BENCHMARK(BM_TwoTracksInARow)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
