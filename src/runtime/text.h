// Texts: GB18030 byte strings, the program's own text form (platform/gbk_text.h).
//
// A Text holds the bytes without a terminator; the empty Text is the null text of the value
// model. Lengths and positions count bytes, positions are 1-based. A character is 1 byte
// (below 0x80), 4 bytes (lead byte, then 0x30-0x39) or 2 bytes; commands that walk a text
// step by characters so that they never split one.
//
// The conversions to and from UTF-8 and file-system names are the platform's
// (platform/codec.h), under the same names here.
//
// Source literals are UTF-8. `"播 放"_gb` converts one once and keeps the result for the
// whole run, so captions and messages cost nothing after their first use.
#pragma once

#include <algorithm>
#include <concepts>
#include <cstddef>
#include <string>
#include <string_view>

#include "platform/codec.h"

namespace wavlon::runtime {

using platform::Text;
using platform::TextView;

using platform::file_name_to_gbk;
using platform::gbk_to_file_name;
using platform::gbk_to_utf8;
using platform::utf8_to_gbk;

// Size in bytes of the character that starts at byte `i` of `s` (0-based, i < s.size()).
// A lead byte at the very end counts as a character of its own, so walking never reads past
// the text.
inline std::size_t char_size(TextView s, std::size_t i) {
    auto b = static_cast<unsigned char>(s[i]);
    if (b < 0x80 || i + 1 >= s.size()) {
        return 1;
    }
    auto second = static_cast<unsigned char>(s[i + 1]);
    if (second >= 0x30 && second <= 0x39 && i + 3 < s.size()) {
        return 4;
    }
    return 2;
}

// The decimal digits of n as a text (ASCII: the same bytes in every code page).
template <std::integral T>
Text decimal(T n) {
    return Text(std::to_string(n));
}

namespace detail {
template <std::size_t N>
struct Utf8Literal {
    char bytes[N]{};
    constexpr Utf8Literal(const char (&s)[N]) { std::copy_n(s, N, bytes); }
    constexpr std::string_view view() const { return {bytes, N - 1}; }
};
}  // namespace detail

// A UTF-8 source literal as a Text, converted on first use only.
template <detail::Utf8Literal S>
const Text& operator""_gb() {
    static const Text text = utf8_to_gbk(S.view());
    return text;
}

}  // namespace wavlon::runtime
