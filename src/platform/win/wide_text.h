// UTF-8, the program's form of names and library texts, and UTF-16, the form the system's
// wide-character interfaces take: the conversions every Windows implementation uses.
#pragma once

#include <string>
#include <string_view>

#include "platform/codec.h"

namespace wavlon::platform {

// Bytes that are not UTF-8 become U+FFFD.
inline std::wstring wide(std::string_view utf8) {
    std::u16string units = utf8_to_utf16(utf8);
    return std::wstring(units.begin(), units.end());
}

inline std::string narrow(std::wstring_view units) {
    return utf16_to_utf8(std::u16string(units.begin(), units.end()));
}

}  // namespace wavlon::platform
