#include "songd/log.h"

#include <cstdio>
#include <mutex>

#include "songd/form_body.h"

namespace wavlon::songd {

void log_line(std::string_view line) {
    static std::mutex mutex;
    std::lock_guard lock(mutex);
    std::fprintf(stderr, "wavlon-songd: %.*s\n", static_cast<int>(line.size()), line.data());
}

std::string printable(std::string_view bytes) {
    return to_utf8_lenient(bytes);
}

}  // namespace wavlon::songd
