// The reading of one search answer: a page of 100 songs is percent-decoded, parsed, and every
// row's three cells are read from the document (300 get_text calls), as a search click does.
#include <benchmark/benchmark.h>

#include <string>

#include "network/json_document.h"
#include "network/text_helpers.h"
#include "runtime/text.h"

namespace {

using wavlon::network::JsonDocument;

std::string hundred_songs() {
    std::string json = "{\"code\":200,\"data\":[";
    for (int i = 0; i < 100; ++i) {
        const std::string n = std::to_string(i);
        json += i ? "," : "";
        json +=
            "{\"title\":\"\\u4e03\\u91cc\\u9999 " + n + "\",\"author\":\"\\u5468\\u6770\\u4f26\"";
        json += ",\"url\":\"http://127.0.0.1:8765/song/" + n + ".mp3?id=%41" + n + "\"}";
    }
    return json + "]}";
}

void ReadHundredRowAnswer(benchmark::State& state) {
    const std::string answer = hundred_songs();
    for (auto _ : state) {
        JsonDocument document;
        document.parse(wavlon::network::url_decode(wavlon::runtime::TextView(answer), false));
        const std::int32_t count = document.get_count("data");
        std::size_t bytes = 0;
        for (std::int32_t i = 0; i < count; ++i) {
            const wavlon::runtime::Text element = "data[" + wavlon::runtime::decimal(i) + "].";
            bytes += document.get_text(element + "title").size();
            bytes += document.get_text(element + "author").size();
            bytes += document.get_text(element + "url").size();
        }
        benchmark::DoNotOptimize(bytes);
    }
}
BENCHMARK(ReadHundredRowAnswer)->Unit(benchmark::kMillisecond);

}  // namespace
