// The service's log: one line at a time on standard error, whole lines even from several
// threads. Whatever a client sent can reach a line (paths, keywords), so every line is
// escaped: control bytes, backslashes and bytes that are not UTF-8 are written as \xNN or \\,
// and one call is always one line.
#pragma once

#include <string>
#include <string_view>

namespace wavlon::songd {

void log_line(std::string_view line);
// `bytes` made readable: UTF-8 stays, a GB18030 text (file names of older Chinese systems) is
// converted to UTF-8, anything else is left for log_line to escape.
std::string printable(std::string_view bytes);
// The escaping log_line applies.
std::string escape_for_log(std::string_view bytes);

}  // namespace wavlon::songd
