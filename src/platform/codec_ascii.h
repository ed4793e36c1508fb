// The short way of the codec for texts of ASCII only: bytes below 0x80 are the same characters
// in GB18030, UTF-8 and (widened) UTF-16, so most file names and every time text are only
// widened or narrowed, on every system.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string_view>

namespace wavlon::platform::codec_ascii {

template <class Char>
bool is_ascii(std::basic_string_view<Char> s) {
    return std::all_of(s.begin(), s.end(),
                       [](Char c) { return static_cast<std::uint32_t>(c) < 0x80; });
}

template <class To, class From>
To widen_or_narrow(std::basic_string_view<From> s) {
    To out(s.size(), typename To::value_type{});
    std::transform(s.begin(), s.end(), out.begin(),
                   [](From c) { return static_cast<typename To::value_type>(c); });
    return out;
}

}  // namespace wavlon::platform::codec_ascii
