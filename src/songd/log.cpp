#include "songd/log.h"

#include <cstdio>
#include <mutex>

#include "songd/form_body.h"

namespace wavlon::songd {
namespace {

// Length of the well-formed UTF-8 sequence at `at` (shortest form, no surrogates), else 0.
std::size_t utf8_length(std::string_view bytes, std::size_t at, char32_t& code) {
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    unsigned char lead = byte(at);
    std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || lead > 0xF4 || at + length > bytes.size()) {
        return 0;
    }
    code = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) {
            return 0;
        }
        code = (code << 6) | (byte(at + i) & 0x3F);
    }
    const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < smallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        return 0;
    }
    return length;
}

}  // namespace

std::string escape_for_log(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    char hex[8];
    for (std::size_t at = 0; at < bytes.size();) {
        auto byte = static_cast<unsigned char>(bytes[at]);
        char32_t code = 0;
        std::size_t length = byte >= 0x80 ? utf8_length(bytes, at, code) : 1;
        // C1 controls and the Unicode line separators end or colour lines on some terminals.
        bool printable_code = byte < 0x80
                                  ? (byte >= 0x20 && byte < 0x7F)
                                  : length > 0 && code > 0x9F && code != 0x2028 && code != 0x2029;
        if (byte == '\\') {
            out += "\\\\";
            ++at;
        } else if (printable_code) {
            out.append(bytes.substr(at, length));
            at += length;
        } else {
            std::snprintf(hex, sizeof hex, "\\x%02x", byte);
            out += hex;
            ++at;
        }
    }
    return out;
}

void log_line(std::string_view line) {
    static std::mutex mutex;
    std::string escaped = escape_for_log(line);
    std::lock_guard lock(mutex);
    std::fprintf(stderr, "wavlon-songd: %s\n", escaped.c_str());
}

std::string printable(std::string_view bytes) {
    static constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
    std::string converted = to_utf8_lenient(bytes);
    // A text that only decodes with replacements is shown byte for byte (escaped) instead.
    if (converted.find(kReplacement) != std::string::npos &&
        bytes.find(kReplacement) == std::string_view::npos) {
        return std::string(bytes);
    }
    return converted;
}

}  // namespace wavlon::songd
