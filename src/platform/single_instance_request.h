// The request a second start sends the first instance, the same on every system: "raise" LF
// activation token LF, then each path (UTF-8) followed by a zero byte. A token is printable
// ASCII; a path is absolute, as the system writes one. Anything else is malformed.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wavlon::platform {

constexpr std::size_t kMaxRaiseRequest = 256 * 1024;

struct RaiseRequest {
    std::string token;
    std::vector<std::string> paths;
};

std::string format_raise_request(const std::string& token, const std::vector<std::string>& paths);

// `absolute` says whether a path is absolute on this system.
std::optional<RaiseRequest> parse_raise_request(std::string_view request,
                                                bool (*absolute)(std::string_view path));

}  // namespace wavlon::platform
