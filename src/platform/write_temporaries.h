// Names of the temporary files that replace_file (platform/files.h) writes beside a target:
// "." + target name + "." + up to six digits + ".tmp".
#pragma once

#include <algorithm>
#include <string>
#include <string_view>

namespace wavlon::platform {

inline std::string temporary_name(const std::string& base, unsigned number) {
    return "." + base + "." + std::to_string(number % 1000000) + ".tmp";
}

inline bool is_temporary_of(std::string_view entry, std::string_view base) {
    if (!entry.starts_with('.') || !entry.ends_with(".tmp") || entry.size() < base.size() + 7) {
        return false;
    }
    entry.remove_prefix(1);
    entry.remove_suffix(4);
    if (!entry.starts_with(base) || entry[base.size()] != '.') {
        return false;
    }
    std::string_view digits = entry.substr(base.size() + 1);
    return !digits.empty() && digits.size() <= 6 &&
           std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The folder part with its trailing separator (empty for a bare name) and the name.
inline void split_path(const std::string& path, std::string& folder, std::string& base,
                       std::string_view separators) {
    std::size_t slash = path.find_last_of(separators);
    folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    base = slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace wavlon::platform
