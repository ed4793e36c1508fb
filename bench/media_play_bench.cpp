// Playback through the media player device, as the program drives it.
//
// The file comes from WAVLON_BENCH_FILE (bench/media_bench.sh makes one and also runs the
// whole-file case under /usr/bin/time beside other players). Sound goes to the default output.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "runtime/units/media_play_device.h"

namespace {

using namespace std::chrono_literals;
using wavlon::units::MediaPlayDevice;

const char* bench_file() {
    return std::getenv("WAVLON_BENCH_FILE");
}

// Opens the benchmark's file and plays it from the start; false, with the benchmark marked
// skipped, when no file is named or it does not open.
bool open_and_play(benchmark::State& state, MediaPlayDevice& device) {
    if (bench_file() == nullptr) {
        state.SkipWithError("set WAVLON_BENCH_FILE to an MP3 file");
        return false;
    }
    if (!device.open(wavlon::runtime::file_name_to_gbk(bench_file())) || !device.play(-1)) {
        state.SkipWithError("the file does not open");
        return false;
    }
    return true;
}

// From open to the first advance of the position: what a click on a track waits for.
void BM_OpenToPlaying(benchmark::State& state) {
    MediaPlayDevice device;
    for (auto _ : state) {
        if (!open_and_play(state, device)) {
            return;
        }
        while (device.get_position() <= 0) {
            std::this_thread::sleep_for(1ms);
        }
    }
    device.close();
}
BENCHMARK(BM_OpenToPlaying)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);

// The whole file at its own pace, polled like the program's progress timer; for CPU time and
// memory, measured around the process.
void BM_PlayWholeFile(benchmark::State& state) {
    MediaPlayDevice device;
    for (auto _ : state) {
        if (!open_and_play(state, device)) {
            return;
        }
        do {
            std::this_thread::sleep_for(500ms);
            device.get_position();
        } while (device.get_state() == 1);
    }
}
BENCHMARK(BM_PlayWholeFile)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

}  // namespace
