// Stateless text routines the HTTP request and the online search are built from: code-page
// conversion, percent-encoding, cutting texts at markers, header names and values, cookie
// lists.
//
// Texts are GB18030 byte strings (runtime::Text) unless a routine says otherwise. Positions
// are 1-based byte positions as the runtime's text commands count them; a two-byte character
// counts as two. No routine reports an error: empty or malformed input gives an empty or
// shortened result, never a crash or a read past the input.
#pragma once

#include <cstdint>
#include <string_view>

#include "runtime/byte_set.h"
#include "runtime/text.h"

namespace wavlon::network {

using runtime::ByteSet;
using runtime::Text;
using runtime::TextView;

// The text as UTF-16LE bytes followed by a 2-byte zero terminator (left out with
// drop_terminator). The empty text gives the empty byte-set.
ByteSet to_utf16(TextView text, bool drop_terminator = false);
// UTF-16LE bytes (an odd last byte is ignored) as a text, ending at the first zero unit.
Text from_utf16(const ByteSet& bytes);
// Text to UTF-8 bytes, and back: the platform's conversions (platform/codec.h).
using platform::gbk_to_utf8;
using platform::utf8_to_gbk;

// Percent-encodes every byte ("%" and two upper-case hex digits). With keep_unreserved the
// bytes "-", ".", digits and ASCII letters stay as they are. With utf8 the text is first
// converted to UTF-8.
Text url_encode(TextView text, bool keep_unreserved, bool utf8);
// Turns "%" followed by two hexadecimal digits (either case) into that byte; anything else,
// including a lone or trailing "%" and "%00", is copied as it stands. With utf8 the decoded
// bytes are read as UTF-8 and converted to a text.
Text url_decode(TextView text, bool utf8);

// Everything before the separator. start >= 0: first occurrence at or after position start
// (0 counts as 1); start < 0: last occurrence, searching backward from the end (-1) or from
// position length - |start| + 1. Empty when the separator is not found.
Text text_before(TextView text, TextView separator, std::int32_t start = 0,
                 bool ignore_case = false);
// Everything after the separator. start >= 0: last occurrence, searching backward from
// position length - start + 1 (0 finds the last one); start < 0: first occurrence at or after
// position |start|. Empty when the separator is not found.
Text text_after(TextView text, TextView separator, std::int32_t start = 0,
                bool ignore_case = false);
// The text between the first opening marker found from position start and the first closing
// marker after it. "#引号" in either marker stands for a double quote. Empty when either
// marker is missing.
Text text_between(TextView text, TextView opening, TextView closing, std::int32_t start = 0,
                  bool ignore_case = false);

// The first character upper-cased (ASCII letters only), the rest unchanged.
Text capitalise_first(TextView text);
// Rewrites each header line's name with an upper-case first letter in every "-"-separated
// word; the rest of the line from the first ":" on is kept. Lines without ":" are dropped.
// Lines are joined with "\r\n", without a final one.
Text normalise_header_names(TextView block);
// The value of the last line of the "\r\n"-separated block that starts with `name` (exact
// case): the text after its last name + ": ". Empty when no line matches.
Text get_header_value(TextView block, TextView name);
// Merges two "; "-separated cookie lists: items of new_list replace items of old_list with
// the same name, old items without a replacement follow the new ones, items whose value is
// "deleted" are dropped, and duplicates are removed.
Text merge_cookies(TextView old_list, TextView new_list);
// Keeps the first occurrence of each item. Items are the parts between separators, or with
// by_separator false single characters (a two- or four-byte character and a "\r\n" pair each
// count as one). The kept items are joined with the separator.
Text remove_duplicates(TextView text, TextView separator, bool by_separator);

}  // namespace wavlon::network
