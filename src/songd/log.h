// The service's log: one line at a time on standard error, whole lines even from several
// threads. Texts that are not UTF-8 (file names in GBK) are made printable first.
#pragma once

#include <string>
#include <string_view>

namespace wavlon::songd {

void log_line(std::string_view line);
// `bytes` as printable UTF-8 (see to_utf8_lenient).
std::string printable(std::string_view bytes);

}  // namespace wavlon::songd
