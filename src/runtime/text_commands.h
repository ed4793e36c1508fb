// Text commands: lengths, cuts, search, replace, split, trim, case and comparison.
//
// Texts are GB18030 bytes (runtime/text.h); lengths and positions count bytes and positions
// are 1-based. text_left, text_right, text_middle and char_code cut by bytes and may split a
// character. Every other command walks the text by characters (1, 2 or 4 bytes, see
// char_size), so a search never matches and a split never cuts inside a character.
//
// Case folding ("ignore case", "case-folded") applies to ASCII letters only; multibyte
// characters are compared as whole units, byte for byte, so a trail byte that happens to be
// a letter is never folded.
//
// The commands change nothing but their result, never read past their arguments and report
// "not found" as position -1; bad arguments (negative counts, positions outside the text) give
// the empty or whole text as each command says.
#pragma once

#include <cstdint>
#include <optional>

#include "runtime/array.h"
#include "runtime/text.h"

namespace wavlon::runtime {

// Byte count of the text.
std::int32_t text_byte_length(TextView text);

// The first min(n, length) bytes; empty for n <= 0.
Text text_left(TextView text, std::int32_t n);
// The last min(n, length) bytes; empty for n <= 0.
Text text_right(TextView text, std::int32_t n);
// n bytes from byte position `start`, cut at the end of the text; empty when start < 1,
// start > length or n <= 0.
Text text_middle(TextView text, std::int32_t start, std::int32_t n);

// Position of the first occurrence of `search` starting at a character boundary at or after
// byte `start` (start < 1 counts as 1), or -1. An empty `search` gives 1 when the scanned part
// is not empty, else -1.
std::int32_t find_text(TextView text, TextView search, std::int32_t start = 1,
                       bool ignore_case = false);

// Position of the last occurrence lying entirely in the first limit - 1 bytes (the whole text
// when `limit` is left out), or -1. An empty `search` gives 1 when that part is not empty.
std::int32_t find_text_reverse(TextView text, TextView search,
                               std::optional<std::int32_t> limit = std::nullopt,
                               bool ignore_case = false);

// The text with occurrences of `search` from byte `start` on (start < 1 counts as 1) replaced
// by `replacement`, at most `count` of them (all when left out; count <= 0 replaces none).
// An empty text or search gives a copy of the text.
Text replace_text(TextView text, TextView search, TextView replacement = {}, std::int32_t start = 1,
                  std::optional<std::int32_t> count = std::nullopt, bool case_sensitive = true);

// Parts of the text between occurrences of `separator`. Empty parts between two separators
// are kept; a trailing separator adds no empty last part. At most `max_parts` parts are
// collected (all when left out; max_parts <= 0 gives none). An empty text gives no parts, an
// empty separator one part holding the whole text.
Array<Text> split_text(TextView text, TextView separator = ",",
                       std::optional<std::int32_t> max_parts = std::nullopt);

// The text without leading and trailing ASCII spaces and full-width spaces (A1 A1).
Text trim_text(TextView text);

// The text with ASCII a-z turned into A-Z; multibyte characters untouched.
Text to_upper(TextView text);

// < 0, 0 or > 0 as a sorts before, with or after b. Characters are compared in turn as
// units (bytes unsigned); ASCII letters are folded to lower case unless `case_sensitive`.
// A text that is a prefix of the other sorts first.
std::int32_t compare_text(TextView a, TextView b, bool case_sensitive = true);

// The text starts with `prefix` (plain byte comparison; every text starts with "").
bool text_begins_with(TextView text, TextView prefix);

// n ASCII spaces; empty for n < 1.
Text spaces(std::int32_t n);

// The byte at 1-based byte `position` as a signed value (-128..127); 0 outside the text.
std::int32_t char_code(TextView text, std::int32_t position = 1);

// A text of the one byte `code & 0xFF`; the empty text when that byte is 0.
Text char_from_code(std::int32_t code);

}  // namespace wavlon::runtime
