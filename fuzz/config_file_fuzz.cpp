// Reads and edits settings files made of arbitrary bytes, and checks that an edit reads back:
// a value that was set is read as set, a deleted key or section reads as the default. Every
// piece of the input lives in a heap block of exactly its own size, so a read past its end is
// caught by the address sanitizer.
//
// Input: an operation byte (low two bits: 0 and 3 set, 1 delete the key, 2 delete the
// section; bit 0x80: also write the edit to a real file, for some of these inputs), then section,
// key and value, each ended by a zero byte, then the file's content.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz_input.h"
#include "runtime/config_file.h"

namespace {

using namespace wavlon::runtime;
using wavlon::fuzz::check;
using wavlon::fuzz::Piece;

std::string_view next_field(std::string_view& input) {
    std::size_t end = input.find('\0');
    std::string_view field = input.substr(0, end);
    input.remove_prefix(end == std::string_view::npos ? input.size() : end + 1);
    return field;
}

bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// Names the reader and the writer see alike: the reader also skips leading control bytes.
bool plain_name(std::string_view name) {
    std::size_t first = 0;
    while (first < name.size() && is_blank(name[first])) {
        ++first;
    }
    return first < name.size() && static_cast<unsigned char>(name[first]) > 32;
}

void write_through_file(std::string_view content, std::string_view section,
                        const std::optional<Text>& key, const std::optional<Text>& value,
                        const std::optional<std::string>& expected) {
    // One folder for the whole run, removed when the program ends.
    static const struct Folder {
        Folder() {
            std::string pattern =
                (std::filesystem::temp_directory_path() / "wavlon-config-fuzz-XXXXXX").string();
            path = ::mkdtemp(pattern.data());
        }
        ~Folder() {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        }
        std::string path;
    } folder;
    const std::string path = folder.path + "/config.ini";
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(content.data(), static_cast<std::streamsize>(content.size()));
    bool written = write_config_item(utf8_to_gbk(path), Text(section), key, value);
    check(written == expected.has_value());
    std::ifstream in(path, std::ios::binary);
    std::string stored{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    check(stored == (expected ? *expected : std::string(content)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    const int operation = data[0] & 3;
    const bool to_file = (data[0] & 0x80) != 0;
    Piece section(next_field(input));
    Piece key(next_field(input));
    Piece value(next_field(input));
    Piece content(input);

    Text read =
        read_config_text(content.view(), TextView(section.view()), TextView(key.view()), "default");
    check(read.size() <= kConfigValueLimit);

    std::optional<Text> key_arg = operation == 2 ? std::nullopt : std::optional<Text>(key.view());
    std::optional<Text> value_arg =
        operation == 1 || operation == 2 ? std::nullopt : std::optional<Text>(value.view());
    std::optional<std::string> edited =
        edit_config_text(content.view(), TextView(section.view()), key_arg, value_arg);
    if (edited && plain_name(section.view()) && plain_name(key.view()) &&
        !content.view().starts_with("\xEF\xBB\xBF")) {
        Text back =
            read_config_text(*edited, TextView(section.view()), TextView(key.view()), "default");
        if (value_arg) {
            check(value_arg->size() > kConfigValueLimit || back == *value_arg);
        } else {
            check(back == "default");
        }
    }
    // Real files are slow (each write is flushed to disk): one request in 50 goes through one.
    static unsigned file_requests = 0;
    if (to_file && file_requests++ % 50 == 0) {
        write_through_file(content.view(), section.view(), key_arg, value_arg, edited);
    }
    return 0;
}
