// A fresh folder under the system's temporary folder, removed with everything in it when the
// test ends; names inside it are given and answered in UTF-8 on either system.
#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "platform/codec.h"
#include "runtime/file_commands.h"

namespace wavlon::testing {

using platform::Text;

inline std::filesystem::path path_of(std::string_view utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

class TempFolder {
public:
    TempFolder() {
        std::random_device random;
        do {
            m_path = std::filesystem::temp_directory_path() /
                     ("wavlon-files-" + std::to_string(random()));
        } while (!std::filesystem::create_directory(m_path));
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::filesystem::path path(std::string_view utf8 = {}) const {
        return utf8.empty() ? m_path : m_path / path_of(utf8);
    }
    // The path as a text of the program, with "/" between folders.
    Text text(std::string_view utf8 = {}) const {
        const std::u8string name = path(utf8).generic_u8string();
        return platform::utf8_to_gbk(std::string(name.begin(), name.end()));
    }
    // Names in the folder (UTF-8), sorted: what a test left behind.
    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (const auto& entry : std::filesystem::directory_iterator(m_path)) {
            const std::u8string name = entry.path().filename().u8string();
            out.emplace_back(name.begin(), name.end());
        }
        std::sort(out.begin(), out.end());
        return out;
    }

private:
    std::filesystem::path m_path;
};

// Every name find_file gives for `pattern`, in its order.
inline std::vector<Text> all_matches(const Text& pattern, std::optional<std::int32_t> mask = {}) {
    std::vector<Text> out;
    for (Text name = runtime::find_file(pattern, mask); !name.empty();
         name = runtime::find_file({}, mask)) {
        out.push_back(name);
    }
    return out;
}

}  // namespace wavlon::testing
