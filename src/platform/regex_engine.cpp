#include "platform/regex_engine.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <algorithm>

namespace wavlon::platform {
namespace {

// Backtracking budget per search call. Page heads and answers need a tiny fraction of it;
// a pattern with nested quantifiers over a long subject hits it in well under a second.
constexpr std::uint32_t kMatchLimit = 2'000'000;
constexpr std::uint32_t kDepthLimit = 50'000;
constexpr std::uint32_t kHeapLimitKib = 64 * 1024;

// PCRE2 rejects a null pointer even with length 0 in some versions.
PCRE2_SPTR as_pcre(std::string_view s) {
    return reinterpret_cast<PCRE2_SPTR>(s.empty() ? "" : s.data());
}

std::size_t utf8_char_length(std::string_view s, std::size_t i) {
    auto b = static_cast<unsigned char>(s[i]);
    std::size_t n = b < 0xC0 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    // A malformed or cut sequence counts as one byte so a step never skips valid text.
    for (std::size_t k = 1; k < n; ++k) {
        if (i + k >= s.size() || (static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) {
            return 1;
        }
    }
    return n;
}

}  // namespace

struct RegexEngine::Code {
    pcre2_code* code = nullptr;
    pcre2_match_context* context = nullptr;

    Code() = default;
    Code(const Code&) = delete;
    Code& operator=(const Code&) = delete;
    ~Code() {
        pcre2_match_context_free(context);
        pcre2_code_free(code);
    }
};

RegexEngine::RegexEngine(std::shared_ptr<const Code> code, std::string pattern,
                         RegexOptions options, std::size_t group_count)
    : m_code(std::move(code)),
      m_pattern(std::move(pattern)),
      m_options(options),
      m_group_count(group_count) {}

std::optional<RegexEngine> RegexEngine::compile(std::string_view pattern,
                                                const RegexOptions& options) {
    std::uint32_t flags = PCRE2_UTF | PCRE2_MATCH_INVALID_UTF | PCRE2_ALT_BSUX |
                          PCRE2_MATCH_UNSET_BACKREF | PCRE2_ALLOW_EMPTY_CLASS;
    if (options.ignore_case) {
        flags |= PCRE2_CASELESS;
    }
    flags |= options.multiline ? PCRE2_MULTILINE : PCRE2_DOLLAR_ENDONLY;

    pcre2_compile_context* compile_context = pcre2_compile_context_create(nullptr);
    if (compile_context == nullptr) {
        return std::nullopt;
    }
    pcre2_set_compile_extra_options(compile_context, PCRE2_EXTRA_ALT_BSUX);
    pcre2_set_newline(compile_context, PCRE2_NEWLINE_ANYCRLF);
    int error = 0;
    PCRE2_SIZE error_offset = 0;
    auto code = std::make_shared<Code>();
    code->code = pcre2_compile(as_pcre(pattern), pattern.size(), flags, &error, &error_offset,
                               compile_context);
    pcre2_compile_context_free(compile_context);
    if (code->code == nullptr) {
        return std::nullopt;
    }
    code->context = pcre2_match_context_create(nullptr);
    if (code->context == nullptr) {
        return std::nullopt;
    }
    pcre2_set_match_limit(code->context, kMatchLimit);
    pcre2_set_depth_limit(code->context, kDepthLimit);
    pcre2_set_heap_limit(code->context, kHeapLimitKib);
    std::uint32_t captures = 0;
    pcre2_pattern_info(code->code, PCRE2_INFO_CAPTURECOUNT, &captures);
    return RegexEngine(std::move(code), std::string(pattern), options, captures);
}

std::optional<std::vector<RegexMatch>> RegexEngine::find_all(std::string_view subject) const {
    std::unique_ptr<pcre2_match_data, decltype(&pcre2_match_data_free)> data(
        pcre2_match_data_create_from_pattern(m_code->code, nullptr), &pcre2_match_data_free);
    if (!data) {
        return std::nullopt;
    }
    std::vector<RegexMatch> matches;
    std::size_t start = 0;
    std::size_t counted_to = 0;  // first_index is counted incrementally up to here
    std::size_t units = 0;
    while (start <= subject.size()) {
        int rc = pcre2_match(m_code->code, as_pcre(subject), subject.size(), start, 0, data.get(),
                             m_code->context);
        if (rc == PCRE2_ERROR_NOMATCH) {
            break;
        }
        if (rc < 0) {
            return std::nullopt;
        }
        const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(data.get());
        RegexMatch match;
        match.whole = {ovector[0], std::max(ovector[0], ovector[1]), true};
        for (; counted_to < match.whole.begin; ++counted_to) {
            auto b = static_cast<unsigned char>(subject[counted_to]);
            units += (b & 0xC0) != 0x80 ? 1 : 0;
            units += b >= 0xF0 ? 1 : 0;  // outside the BMP: a surrogate pair
        }
        match.first_index = units;
        for (std::size_t g = 1; g <= m_group_count; ++g) {
            PCRE2_SIZE begin = ovector[2 * g];
            PCRE2_SIZE end = ovector[2 * g + 1];
            if (begin == PCRE2_UNSET || end < begin) {
                match.groups.push_back({});
            } else {
                match.groups.push_back({begin, end, true});
            }
        }
        std::size_t end = match.whole.end;
        bool empty = match.whole.begin == end;
        matches.push_back(std::move(match));
        if (!m_options.global) {
            break;
        }
        if (!empty) {
            start = end;
        } else if (end < subject.size()) {
            start = end + utf8_char_length(subject, end);
        } else {
            break;
        }
    }
    return matches;
}

std::optional<std::string> RegexEngine::replace(std::string_view subject,
                                                std::string_view replacement) const {
    auto matches = find_all(subject);
    if (!matches) {
        return std::nullopt;
    }
    return replace_matches(subject, *matches, replacement);
}

std::string expand_replacement(std::string_view replacement, std::string_view subject,
                               const RegexMatch& match) {
    auto digit = [&](std::size_t i) -> int {
        if (i >= replacement.size() || replacement[i] < '0' || replacement[i] > '9') {
            return -1;
        }
        return replacement[i] - '0';
    };
    std::size_t groups = match.groups.size();
    std::string out;
    for (std::size_t i = 0; i < replacement.size(); ++i) {
        char c = replacement[i];
        if (c != '$' || i + 1 >= replacement.size()) {
            out += c;
            continue;
        }
        char next = replacement[i + 1];
        if (next == '$') {
            out += '$';
            ++i;
        } else if (next == '&') {
            out += match.whole.in(subject);
            ++i;
        } else if (next == '`') {
            out += subject.substr(0, match.whole.begin);
            ++i;
        } else if (next == '\'') {
            out += subject.substr(match.whole.end);
            ++i;
        } else if (int first = digit(i + 1); first >= 0) {
            int second = digit(i + 2);
            std::size_t two = second >= 0 ? static_cast<std::size_t>(first * 10 + second) : 0;
            if (two >= 1 && two <= groups) {
                out += match.groups[two - 1].in(subject);
                i += 2;
            } else if (first >= 1 && static_cast<std::size_t>(first) <= groups) {
                out += match.groups[static_cast<std::size_t>(first) - 1].in(subject);
                i += 1;
            } else {
                out += c;
            }
        } else {
            out += c;
        }
    }
    return out;
}

std::string replace_matches(std::string_view subject, const std::vector<RegexMatch>& matches,
                            std::string_view replacement) {
    std::string out;
    std::size_t copied = 0;
    for (const RegexMatch& match : matches) {
        out += subject.substr(copied, match.whole.begin - copied);
        out += expand_replacement(replacement, subject, match);
        copied = match.whole.end;
    }
    out += subject.substr(copied);
    return out;
}

}  // namespace wavlon::platform
