// Text encodings at the platform boundary.
//
// The program's texts are GB18030 byte strings (platform/gbk_text.h). Libraries and the file
// system speak UTF-8, Qt and Windows UTF-16. Every conversion between them happens here (on
// iconv on Linux; on Windows on the system's code page 936, with GB18030's four-byte sequences
// done by the codec), and each has one name, used everywhere in the program. Invalid input
// never truncates or fails a conversion: each byte that cannot be decoded becomes a
// replacement character ("?" in GB18030 output, U+FFFD in UTF-8 and UTF-16 output) and the
// conversion goes on after it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/gbk_text.h"

namespace wavlon::platform {

std::string gbk_to_utf8(TextView text);
Text utf8_to_gbk(std::string_view utf8);
std::u16string gbk_to_utf16(TextView text);
Text utf16_to_gbk(std::u16string_view utf16);
std::u16string utf8_to_utf16(std::string_view utf8);
std::string utf16_to_utf8(std::u16string_view utf16);

// True when `bytes` is well-formed UTF-8.
bool is_valid_utf8(std::string_view bytes);

// File names. On Linux the file system holds bytes: names this program makes are UTF-8, but
// names made elsewhere (unpacked from a Windows archive, say) may carry GBK bytes, which
// already are a text of the program's code page. On Windows names are UTF-16, and the program
// holds them in UTF-8 (platform/files.h widens them): both functions below are then plain
// UTF-8 conversions.

// The text for a name as the file system holds it: valid UTF-8 is converted, any other bytes
// are the text as they stand.
Text file_name_to_gbk(std::string_view name);

// The file-system name of a text. Its UTF-8 form when an entry of that name exists; otherwise
// each "/"-separated part of the path in its UTF-8 form where such an entry exists, else in
// its own bytes where an entry with exactly those bytes exists, else (a name yet to be made)
// in UTF-8. A text of ASCII only is its own name.
std::string gbk_to_file_name(TextView text);

// Converts `bytes` from the named charset (on Linux any name iconv knows, compared
// case-insensitively; on Windows the common web charsets: UTF-8 and UTF-16, the GB family,
// Big5, Shift_JIS, EUC-JP, EUC-KR, KOI8, ISO-8859-n and windows-125x) to GB18030. An unknown
// charset name gives std::nullopt; undecodable bytes are replaced.
std::optional<Text> charset_to_gbk(std::string_view charset, std::string_view bytes);

}  // namespace wavlon::platform
