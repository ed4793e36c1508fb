#include "songd/search_text.h"

#include <opencc/opencc.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <utility>

#include "songd/log.h"

namespace wavlon::songd {
namespace {

constexpr char32_t kFirstHan = 0x3400;
constexpr char32_t kLastHan = 0xFAFF;

std::size_t decode(std::string_view text, std::size_t i, char32_t& out);
void encode(char32_t c, std::string& out);
const std::vector<std::pair<char32_t, char32_t>>& simplified_forms();

char32_t fold_character(char32_t c) {
    if (c >= U'A' && c <= U'Z') {
        return c + 0x20;
    }
    if (c < 0x80) {
        return c;
    }
    if (c >= 0xFF01 && c <= 0xFF5E) {
        return fold_character(c - 0xFEE0);  // full-width ASCII
    }
    if (c == 0x3000) {
        return U' ';  // ideographic space
    }
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7)) {
        return c + 0x20;  // Latin-1 capitals
    }
    if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x138 && c != 0x149 && c != 0x17F) {
        // Latin Extended-A alternates capital, small, except around 0x139..0x148 and 0x179..
        bool odd_capitals = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        bool capital = odd_capitals ? (c % 2 == 1) : (c % 2 == 0);
        return capital ? c + 1 : c;
    }
    if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) {
        return c + 0x20;  // Greek
    }
    if (c >= 0x410 && c <= 0x42F) {
        return c + 0x20;  // Cyrillic
    }
    if (c >= 0x400 && c <= 0x40F) {
        return c + 0x50;
    }
    if (c >= kFirstHan && c <= kLastHan) {
        const auto& table = simplified_forms();
        auto found =
            std::lower_bound(table.begin(), table.end(), c,
                             [](const auto& pair, char32_t key) { return pair.first < key; });
        if (found != table.end() && found->first == c) {
            return found->second;
        }
    }
    return c;
}

// Decodes the UTF-8 sequence at `text[i]`; returns its length, 0 when it is not well formed.
std::size_t decode(std::string_view text, std::size_t i, char32_t& out) {
    auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    unsigned char lead = byte(i);
    std::size_t length = lead < 0x80   ? 1
                         : lead < 0xC2 ? 0
                         : lead < 0xE0 ? 2
                         : lead < 0xF0 ? 3
                         : lead < 0xF5 ? 4
                                       : 0;
    if (length == 0 || i + length > text.size()) {
        return 0;
    }
    char32_t value = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            return 0;
        }
        value = (value << 6) | (byte(i + k) & 0x3F);
    }
    out = value;
    return length;
}

void encode(char32_t c, std::string& out) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The Han characters (extension A, the unified block, the compatibility forms) that have a
// simplified form, with that form, sorted: OpenCC's traditional-to-simplified conversion asked
// once for every character. Characters are folded one by one, never as phrases, so that a
// keyword folds as the same characters do inside a longer title.
const std::vector<std::pair<char32_t, char32_t>>& simplified_forms() {
    static const std::vector<std::pair<char32_t, char32_t>> table = [] {
        std::vector<std::pair<char32_t, char32_t>> pairs;
        opencc_t converter = opencc_open(OPENCC_DEFAULT_CONFIG_TRAD_TO_SIMP);
        if (converter == reinterpret_cast<opencc_t>(-1)) {
            log_line(std::string("OpenCC cannot be opened (") + opencc_error() +
                     "); traditional and simplified Chinese are matched as written");
            return pairs;
        }
        // One character a line: no phrase reaches across a line break.
        std::string all;
        std::vector<char32_t> asked;
        for (char32_t c = kFirstHan; c <= kLastHan; ++c) {
            if ((c > 0x4DBF && c < 0x4E00) || (c > 0x9FFF && c < 0xF900)) {
                continue;
            }
            encode(c, all);
            all += '\n';
            asked.push_back(c);
        }
        char* converted = opencc_convert_utf8(converter, all.data(), all.size());
        if (converted != nullptr) {
            std::string_view text(converted);
            std::size_t line = 0;
            for (std::size_t start = 0; start < text.size() && line < asked.size(); ++line) {
                std::size_t end = text.find('\n', start);
                if (end == std::string_view::npos) {
                    end = text.size();
                }
                char32_t simple = 0;
                std::string_view form = text.substr(start, end - start);
                if (decode(form, 0, simple) == form.size() && !form.empty() &&
                    simple != asked[line]) {
                    pairs.emplace_back(asked[line], simple);
                }
                start = end + 1;
            }
            opencc_convert_utf8_free(converted);
        }
        opencc_close(converter);
        return pairs;
    }();
    return table;
}

bool is_space(char32_t c) {
    return c == U' ' || (c >= U'\t' && c <= U'\r');
}

}  // namespace

std::string fold_for_search(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t c = 0;
        std::size_t length = decode(utf8, i, c);
        if (length == 0) {
            out += utf8[i++];
            continue;
        }
        encode(fold_character(c), out);
        i += length;
    }
    return out;
}

std::size_t character_count(std::string_view utf8) {
    return static_cast<std::size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

std::vector<std::string> search_terms(std::string_view keyword) {
    std::string folded = fold_for_search(keyword);
    std::vector<std::string> terms;
    std::string term;
    for (std::size_t i = 0; i < folded.size();) {
        char32_t c = 0;
        std::size_t length = decode(folded, i, c);
        if (length == 0) {
            length = 1;
        }
        if (length == 1 && is_space(static_cast<unsigned char>(folded[i]))) {
            if (!term.empty()) {
                terms.push_back(std::move(term));
            }
            term.clear();
        } else {
            term.append(folded, i, length);
        }
        i += length;
    }
    if (!term.empty()) {
        terms.push_back(std::move(term));
    }
    return terms;
}

}  // namespace wavlon::songd
