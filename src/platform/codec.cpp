#include "platform/codec.h"

#include <iconv.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>

#include "platform/codec_ascii.h"

namespace wavlon::platform {
namespace {

constexpr const char* kGb = "GB18030";
constexpr const char* kUtf8 = "UTF-8";
constexpr const char* kUtf16 = "UTF-16LE";

// One iconv descriptor per (from, to) pair and thread, opened on first use.
class Converter {
public:
    Converter(const char* from, const char* to) : m_cd(iconv_open(to, from)) {}
    ~Converter() {
        if (valid()) {
            iconv_close(m_cd);
        }
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool valid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

    // Converts all of `in`; each undecodable input unit of `skip` bytes becomes `replacement`.
    std::string run(std::string_view in, std::string_view replacement, size_t skip) {
        std::string out;
        out.reserve(in.size() * 2 + 8);
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        char* src = const_cast<char*>(in.data());
        size_t src_left = in.size();
        char buffer[4096];
        while (src_left > 0) {
            char* dst = buffer;
            size_t dst_left = sizeof buffer;
            size_t rc = iconv(m_cd, &src, &src_left, &dst, &dst_left);
            out.append(buffer, static_cast<size_t>(dst - buffer));
            if (rc != static_cast<size_t>(-1)) {
                continue;
            }
            if (errno == E2BIG) {
                continue;
            }
            // EILSEQ (bad input) or EINVAL (incomplete sequence at the end): replace and go on.
            out.append(replacement);
            size_t step = std::min(skip, src_left);
            src += step;
            src_left -= step;
            iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        }
        char* dst = buffer;
        size_t dst_left = sizeof buffer;
        iconv(m_cd, nullptr, nullptr, &dst, &dst_left);
        out.append(buffer, static_cast<size_t>(dst - buffer));
        return out;
    }

private:
    iconv_t m_cd;
};

Converter& converter(const char* from, const char* to) {
    thread_local std::map<std::pair<std::string, std::string>, std::unique_ptr<Converter>> cache;
    auto& slot = cache[{from, to}];
    if (!slot) {
        slot = std::make_unique<Converter>(from, to);
    }
    return *slot;
}

// The converter for one fixed pair, looked up once per thread.
template <const char* const& from, const char* const& to>
Converter& fixed_converter() {
    thread_local Converter& cached = converter(from, to);
    return cached;
}

using codec_ascii::is_ascii;
using codec_ascii::widen_or_narrow;

const std::string_view kReplacementUtf8 = "\xEF\xBF\xBD";
const std::string_view kReplacementUtf16("\xFD\xFF", 2);

std::u16string to_u16(const std::string& bytes) {
    std::u16string out(bytes.size() / 2, u'\0');
    std::memcpy(out.data(), bytes.data(), out.size() * 2);
    return out;
}

std::string_view as_bytes(std::u16string_view s) {
    return {reinterpret_cast<const char*>(s.data()), s.size() * 2};
}

}  // namespace

std::string gbk_to_utf8(TextView text) {
    std::string_view gb = text.bytes();
    if (gb.empty()) {
        return {};
    }
    if (is_ascii(gb)) {
        return std::string(gb);
    }
    return fixed_converter<kGb, kUtf8>().run(gb, kReplacementUtf8, 1);
}

Text utf8_to_gbk(std::string_view utf8) {
    if (utf8.empty()) {
        return {};
    }
    if (is_ascii(utf8)) {
        return Text(utf8);
    }
    return Text(fixed_converter<kUtf8, kGb>().run(utf8, "?", 1));
}

std::u16string gbk_to_utf16(TextView text) {
    std::string_view gb = text.bytes();
    if (gb.empty()) {
        return {};
    }
    if (is_ascii(gb)) {
        return widen_or_narrow<std::u16string>(gb);
    }
    return to_u16(fixed_converter<kGb, kUtf16>().run(gb, kReplacementUtf16, 1));
}

Text utf16_to_gbk(std::u16string_view utf16) {
    if (utf16.empty()) {
        return {};
    }
    if (is_ascii(utf16)) {
        return Text(widen_or_narrow<std::string>(utf16));
    }
    return Text(fixed_converter<kUtf16, kGb>().run(as_bytes(utf16), "?", 2));
}

std::u16string utf8_to_utf16(std::string_view utf8) {
    if (utf8.empty()) {
        return {};
    }
    if (is_ascii(utf8)) {
        return widen_or_narrow<std::u16string>(utf8);
    }
    return to_u16(fixed_converter<kUtf8, kUtf16>().run(utf8, kReplacementUtf16, 1));
}

std::string utf16_to_utf8(std::u16string_view utf16) {
    if (utf16.empty()) {
        return {};
    }
    if (is_ascii(utf16)) {
        return widen_or_narrow<std::string>(utf16);
    }
    return fixed_converter<kUtf16, kUtf8>().run(as_bytes(utf16), kReplacementUtf8, 2);
}

bool is_valid_utf8(std::string_view s) {
    size_t i = 0;
    while (i < s.size()) {
        auto b = static_cast<unsigned char>(s[i]);
        size_t n = 0;
        uint32_t cp = 0;
        if (b < 0x80) {
            ++i;
            continue;
        } else if ((b & 0xE0) == 0xC0) {
            n = 1;
            cp = b & 0x1F;
        } else if ((b & 0xF0) == 0xE0) {
            n = 2;
            cp = b & 0x0F;
        } else if ((b & 0xF8) == 0xF0) {
            n = 3;
            cp = b & 0x07;
        } else {
            return false;
        }
        for (size_t k = 1; k <= n; ++k) {
            if (i + k >= s.size()) {
                return false;
            }
            auto c = static_cast<unsigned char>(s[i + k]);
            if ((c & 0xC0) != 0x80) {
                return false;
            }
            cp = (cp << 6) | (c & 0x3F);
        }
        // Overlong forms, surrogates and values above U+10FFFF are not UTF-8.
        if ((n == 1 && cp < 0x80) || (n == 2 && cp < 0x800) || (n == 3 && cp < 0x10000) ||
            (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) {
            return false;
        }
        i += n + 1;
    }
    return true;
}

Text file_name_to_gbk(std::string_view name) {
    return is_valid_utf8(name) ? utf8_to_gbk(name) : Text(name);
}

std::string gbk_to_file_name(TextView text) {
    std::string_view gb = text.bytes();
    auto exists = [](const std::string& path) {
        struct stat st {};
        return ::lstat(path.c_str(), &st) == 0;
    };
    if (is_ascii(gb)) {
        return std::string(gb);
    }
    std::string utf8 = gbk_to_utf8(text);
    if (exists(utf8)) {
        return utf8;
    }
    // "/" is never part of a multibyte character, so the parts split cleanly.
    std::string name;
    std::size_t start = 0;
    for (;;) {
        std::size_t end = gb.find('/', start);
        std::string_view part = gb.substr(start, end == std::string_view::npos ? end : end - start);
        if (is_ascii(part)) {
            name += part;
        } else if (std::string converted = gbk_to_utf8(TextView(part)); exists(name + converted)) {
            name += converted;
        } else if (exists(name + std::string(part))) {
            name += part;
        } else {
            name += converted;
        }
        if (end == std::string_view::npos) {
            return name;
        }
        name += '/';
        start = end + 1;
    }
}

std::optional<Text> charset_to_gbk(std::string_view charset, std::string_view bytes) {
    std::string name(charset);
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (name.empty()) {
        return std::nullopt;
    }
    Converter& conv = converter(name.c_str(), kGb);
    if (!conv.valid()) {
        return std::nullopt;
    }
    return Text(conv.run(bytes, "?", 1));
}

}  // namespace wavlon::platform
