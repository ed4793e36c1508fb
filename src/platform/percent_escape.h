// Percent-escaping of the bytes an address may not hold as it stands.
#pragma once

#include <string>
#include <string_view>

namespace wavlon::platform {

// `text` with spaces, control bytes, non-ASCII bytes and every character of `also` written as
// "%XX" (upper-case hex); everything else, "%" sequences already there included, is kept.
inline std::string percent_escape(std::string_view text, std::string_view also = {}) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b <= 0x20 || b >= 0x7F || also.find(c) != std::string_view::npos) {
            out += '%';
            out += kHex[b >> 4];
            out += kHex[b & 0x0F];
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace wavlon::platform
