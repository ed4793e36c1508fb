// RegexObject: one regular expression run over one subject text, its matches kept for
// reading.
//
// The syntax is ECMAScript-like (see platform/regex_engine.h). Subjects and results are
// GB18030 texts; match and group numbers are 1-based; positions are 0-based byte offsets in
// the subject. A bad pattern, a pattern that exceeds the engine's match limit, or a number out
// of range gives the empty value (false, 0, the empty text) and nothing else.
//
// Copies share the expression and the matches (they never change after `execute`) and keep
// their own copy of the subject. Not thread-safe; used on the user-interface thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "runtime/text.h"

namespace wavlon::network {

using runtime::TextView;

class RegexObject {
public:
    // Compiles `pattern` and collects its matches in `subject` (all of them when global,
    // else the first). With quote_marker every "#引号" in the pattern stands for a double
    // quote. True when the pattern compiled and the search ran, even without a match.
    bool execute(TextView pattern, TextView subject, bool case_sensitive = false,
                 bool multiline = true, bool global = true, bool quote_marker = false);

    // The pattern of the last `execute` (after quote-marker replacement); empty before one.
    runtime::Text get_pattern() const;
    // The subject with the kept matches replaced by `replacement`, in which $$, $&, $`, $'
    // and $1..$99 refer to a dollar sign, the match, the text before and after it, and a
    // group. Empty when the last `execute` failed or there was none.
    runtime::Text replace(TextView replacement) const;
    std::int32_t match_count() const;
    // The text of match k. With want_position, *position receives the match's byte offset
    // (-1 when there is no such match); without it *position is left alone.
    runtime::Text get_match(std::int32_t k, std::int32_t* position = nullptr,
                            bool want_position = false) const;
    // The text of group j of match k; a group that took no part in the match is empty (its
    // position -1).
    runtime::Text get_submatch(std::int32_t k, std::int32_t j, std::int32_t* position = nullptr,
                               bool want_position = false) const;
    // The number of groups of the first match; 0 when there is no match.
    std::int32_t submatch_count() const;

    RegexObject copy() const { return *this; }

private:
    struct State;
    std::shared_ptr<const State> m_state;
    runtime::Text m_subject;
};

}  // namespace wavlon::network
