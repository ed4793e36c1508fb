// Settings files in the INI format, read and written by the rules of Windows profile files.
//
// A file is a run of lines ending in LF or CRLF (a last line without one counts too):
//   [section]        a section header; the name is what stands between "[" and the last "]"
//   key=value        an item of the section above it
//   ; or # ...       a comment; lines that are blank are kept as they are
// Section names and keys are trimmed and compared case-insensitively (ASCII letters only; a
// multibyte character compares byte for byte). A value is trimmed and loses one pair of
// surrounding quotes ("..." or '...'). The first matching item wins; a section that occurs
// twice counts as one, in file order. A line with a key but no "=" is an item without a value,
// which reads as the default.
//
// Bytes are texts of the program's code page (GB18030) and pass through unchanged, so a file
// written in GBK reads the same. A file that starts with a UTF-8 byte-order mark is UTF-8:
// what is read from it is converted to GB18030 and what is written to it to UTF-8.
//
// Files are read whole on every call and written whole: the new content goes to a temporary
// file that then replaces the old one in one step, so the file is never left half-written.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "runtime/text.h"

namespace wavlon::runtime {

// Values returned are at most this many bytes, cut before a character that would not fit.
constexpr std::size_t kConfigValueLimit = 10239;

// The value of `key` in `section` of `file`, or `default_value` (its trailing spaces removed)
// when the file, the section or the key is missing. Leading bytes <= 32 of file, section and
// key are skipped first; when one of them is then empty the result is the empty text.
Text read_config_item(const Text& file, const Text& section, const Text& key,
                      const Text& default_value = {});

// Sets `key` in `section` to `value`: the first matching item is changed in place, else the
// key is added after the last non-blank line of the section, else the section is added at the
// end of the file (new lines end in CRLF). Every other byte of the file stays as it was; a
// missing file is created. A left-out value deletes the key (every copy of it in the section);
// a left-out key deletes the section. A value that would not read back as written (leading or
// trailing spaces, surrounding quotes) is stored in double quotes.
//
// False when the file cannot be read or written, or when a name or value cannot be stored:
// an empty section or key, a line break or zero byte in any of them, or a key holding "=" or
// starting with ";", "#" or "[".
bool write_config_item(const Text& file, const Text& section, const std::optional<Text>& key,
                       const std::optional<Text>& value);

// The same rules on a file's content, for callers that hold it in memory.
Text read_config_text(std::string_view content, TextView section, TextView key,
                      const Text& default_value = {});
// The content after the write, or nullopt when the arguments cannot be stored (see above).
std::optional<std::string> edit_config_text(std::string_view content, TextView section,
                                            const std::optional<Text>& key,
                                            const std::optional<Text>& value);

}  // namespace wavlon::runtime
