// Replay driver for fuzz targets built without libFuzzer: feeds every file of the corpus
// folder, then mutations of them (bit flips, truncations, splices, random bytes) for a fixed
// number of runs with a fixed seed, so a run is repeatable.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

std::vector<std::vector<std::uint8_t>> read_corpus(const std::filesystem::path& dir) {
    std::vector<std::vector<std::uint8_t>> corpus;
    std::error_code error;
    if (!std::filesystem::is_directory(dir, error)) {
        return corpus;
    }
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.is_regular_file()) {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    for (const auto& file : files) {
        std::ifstream in(file, std::ios::binary);
        corpus.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return corpus;
}

void run(const std::vector<std::uint8_t>& input) {
    // A copy of exactly the input's size, so reads past the end hit the allocation's edge.
    auto* copy = new std::uint8_t[input.size() + 0];
    if (!input.empty()) {
        std::memcpy(copy, input.data(), input.size());
    }
    LLVMFuzzerTestOneInput(copy, input.size());
    delete[] copy;
}

}  // namespace

int main(int argc, char** argv) {
    std::filesystem::path corpus_dir = argc > 1 ? argv[1] : "";
    long runs = 10000;
    for (int i = 2; i < argc; ++i) {
        if (std::strncmp(argv[i], "--runs=", 7) == 0) {
            runs = std::strtol(argv[i] + 7, nullptr, 10);
        }
    }
    auto corpus = read_corpus(corpus_dir);
    for (const auto& input : corpus) {
        run(input);
    }
    if (corpus.empty()) {
        corpus.push_back({});
    }
    std::mt19937 rng(20261208);
    for (long r = 0; r < runs; ++r) {
        std::vector<std::uint8_t> input = corpus[rng() % corpus.size()];
        int edits = 1 + static_cast<int>(rng() % 8);
        for (int e = 0; e < edits; ++e) {
            switch (rng() % 6) {
                case 0:  // flip a bit
                    if (!input.empty()) {
                        input[rng() % input.size()] ^= static_cast<std::uint8_t>(1u << (rng() % 8));
                    }
                    break;
                case 1:  // truncate
                    if (!input.empty()) {
                        input.resize(rng() % input.size());
                    }
                    break;
                case 2:  // insert random bytes
                {
                    std::size_t at = input.empty() ? 0 : rng() % (input.size() + 1);
                    std::size_t n = 1 + rng() % 8;
                    for (std::size_t k = 0; k < n; ++k) {
                        input.insert(input.begin() + static_cast<long>(at),
                                     static_cast<std::uint8_t>(rng()));
                    }
                    break;
                }
                case 3:  // set a byte to an interesting value
                    if (!input.empty()) {
                        static const std::uint8_t values[] = {0, 0x7F, 0x80, 0xFF, '%', '"',
                                                              '\\', '[', '{', 0x30, 0x81};
                        input[rng() % input.size()] = values[rng() % sizeof values];
                    }
                    break;
                case 4:  // splice with another corpus entry
                {
                    const auto& other = corpus[rng() % corpus.size()];
                    if (!other.empty()) {
                        std::size_t from = rng() % other.size();
                        input.insert(input.end(), other.begin() + static_cast<long>(from),
                                     other.end());
                    }
                    break;
                }
                default:  // overwrite four bytes with a large little-endian number
                    if (input.size() >= 4) {
                        std::size_t at = rng() % (input.size() - 3);
                        std::uint32_t v = (rng() % 2) ? 0xFFFFFFFFu : static_cast<std::uint32_t>(rng());
                        std::memcpy(input.data() + at, &v, 4);
                    }
                    break;
            }
        }
        run(input);
    }
    std::printf("replayed %zu corpus inputs and %ld generated inputs\n", corpus.size(), runs);
    return 0;
}
