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

// From open to the first advance of the position: what a click on a track waits for.
void BM_OpenToPlaying(benchmark::State& state) {
    if (bench_file() == nullptr) {
        state.SkipWithError("set WAVLON_BENCH_FILE to an MP3 file");
        return;
    }
    MediaPlayDevice device;
    for (auto _ : state) {
        if (!device.open(wavlon::runtime::file_name_to_gbk(bench_file())) || !device.play(-1)) {
            state.SkipWithError("the file does not open");
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
    if (bench_file() == nullptr) {
        state.SkipWithError("set WAVLON_BENCH_FILE to an MP3 file");
        return;
    }
    MediaPlayDevice device;
    for (auto _ : state) {
        if (!device.open(wavlon::runtime::file_name_to_gbk(bench_file())) || !device.play(-1)) {
            state.SkipWithError("the file does not open");
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
