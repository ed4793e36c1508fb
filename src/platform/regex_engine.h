// Regular expressions on PCRE2 with ECMAScript-like syntax.
//
// Patterns and subjects are UTF-8. The dialect follows ECMAScript where PCRE2 can: \uhhhh and
// \u{h...} escapes, a back reference to a group that took no part matches the empty text,
// "[]" matches nothing and "[^]" any character, "$" without multi-line matches only at the
// very end. \w, \d and \s are ASCII-only; ignore-case folds Unicode letters.
//
// Matching is bounded: a pattern that needs more backtracking than the engine's limits
// allows fails (std::nullopt) instead of running for a long time. A compiled expression never
// changes and may be shared between threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wavlon::platform {

struct RegexOptions {
    bool ignore_case = false;
    bool multiline = false;  // "^" and "$" also match at line breaks
    bool global = false;     // find every match, not only the first
};

// A span of the subject in bytes, [begin, end). `matched` is false for a group that took no
// part in the match; its span is then empty.
struct RegexRange {
    std::size_t begin = 0;
    std::size_t end = 0;
    bool matched = false;

    std::string_view in(std::string_view subject) const {
        return matched ? subject.substr(begin, end - begin) : std::string_view{};
    }
};

struct RegexMatch {
    RegexRange whole;
    std::size_t first_index = 0;     // UTF-16 code units of the subject before the match
    std::vector<RegexRange> groups;  // groups 1..n at indexes 0..n-1
};

class RegexEngine {
public:
    // Compiles `pattern`; std::nullopt for a bad pattern (or one that is not valid UTF-8).
    static std::optional<RegexEngine> compile(std::string_view pattern,
                                              const RegexOptions& options);

    const std::string& pattern() const { return m_pattern; }
    const RegexOptions& options() const { return m_options; }
    std::size_t group_count() const { return m_group_count; }

    // The matches in `subject`, left to right: all of them when global (an empty match is
    // stepped over by one character), else at most one. std::nullopt when a match limit was
    // hit. Invalid UTF-8 in the subject never matches inside a malformed sequence.
    std::optional<std::vector<RegexMatch>> find_all(std::string_view subject) const;

    // `subject` with its matches (as find_all finds them) replaced by the expanded
    // `replacement`; std::nullopt when a match limit was hit.
    std::optional<std::string> replace(std::string_view subject,
                                       std::string_view replacement) const;

private:
    struct Code;
    RegexEngine(std::shared_ptr<const Code> code, std::string pattern, RegexOptions options,
                std::size_t group_count);

    std::shared_ptr<const Code> m_code;
    std::string m_pattern;
    RegexOptions m_options;
    std::size_t m_group_count = 0;
};

// Expands the references in `replacement` for one match of `subject`: "$$" a dollar sign,
// "$&" the match, "$`" the text before it, "$'" the text after it, "$n" and "$nn" group n
// (1..99; two digits are taken when that group exists, a group that took no part gives the
// empty text). Any other "$" stands for itself. Works on any ASCII-compatible byte encoding.
std::string expand_replacement(std::string_view replacement, std::string_view subject,
                               const RegexMatch& match);

// `subject` with each match replaced by its expansion of `replacement`; matches must be in
// order and not overlap.
std::string replace_matches(std::string_view subject, const std::vector<RegexMatch>& matches,
                            std::string_view replacement);

}  // namespace wavlon::platform
