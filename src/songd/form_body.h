// Decoding of the search's form bodies ("input=%E5%91%A8&filter=name&type=any&page=1").
//
// Every decoder here is lenient and total: any byte string gives a defined result, nothing
// throws. A "%" not followed by two hexadecimal digits stands for itself, "+" is a space, and
// keys may repeat (the first occurrence wins in form_value).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace wavlon::songd {

// Percent-decodes `text`; with `plus_is_space`, "+" becomes " " (form bodies and queries).
std::string percent_decode(std::string_view text, bool plus_is_space = true);

// Splits a form body at "&" into decoded (key, value) pairs; empty fields are skipped, a field
// without "=" has the empty value.
std::vector<std::pair<std::string, std::string>> parse_form(std::string_view body);

// The decoded value of the first field named `key`, or nullopt when there is none.
std::optional<std::string> form_value(std::string_view body, std::string_view key);

// Turns bytes of unknown encoding into valid UTF-8: well-formed UTF-8 stays as it is, a
// well-formed GB18030 text (what older Chinese clients send) is converted, anything else keeps
// its valid sequences and has every undecodable byte replaced by U+FFFD.
std::string to_utf8_lenient(std::string_view bytes);

// The page number a form field asks for: a decimal number from 1 upwards. Missing, empty,
// non-numeric or below-1 values give 1; values too large for the type give nullopt (a page
// that cannot exist).
std::optional<long> page_number(const std::optional<std::string>& field);

}  // namespace wavlon::songd
