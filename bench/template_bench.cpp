// Decoding the main window's stored template, as the runtime does once at start-up, and
// decoding every type-specific block of it, as unit creation does.
#include <benchmark/benchmark.h>

#include <variant>

#include "app/main_window_template.h"
#include "runtime/template_blocks.h"
#include "runtime/template_format.h"

namespace {

using namespace wavlon;

void decode_main_window_template(benchmark::State& state) {
    for (auto _ : state) {
        auto decoded = runtime::decode_template(app::kMainWindowTemplate);
        benchmark::DoNotOptimize(decoded);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(app::kMainWindowTemplate.size()));
}
BENCHMARK(decode_main_window_template);

void decode_main_window_blocks(benchmark::State& state) {
    auto decoded = runtime::decode_template(app::kMainWindowTemplate);
    if (!std::holds_alternative<runtime::WindowTemplate>(decoded)) {
        state.SkipWithError("the main window template does not decode");
        return;
    }
    const auto& records = std::get<runtime::WindowTemplate>(decoded).windows.at(0).store.records;
    for (auto _ : state) {
        for (const auto& record : records) {
            auto block = runtime::decode_type_block(record.type, record.type_block);
            benchmark::DoNotOptimize(block);
        }
    }
}
BENCHMARK(decode_main_window_blocks);

}  // namespace
