// The words of a media command string, as both media layers read them: words are separated by
// blanks, a word in double quotes may hold blanks, and keywords and aliases compare without
// regard to ASCII case.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wavlon::platform {

// std::nullopt when a quote is not closed.
std::optional<std::vector<std::string>> split_media_words(const std::string& command);

// `s` with A-Z made a-z; other bytes as they are.
std::string ascii_lower(std::string_view s);

}  // namespace wavlon::platform
