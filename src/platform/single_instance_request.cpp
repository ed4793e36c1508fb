#include "platform/single_instance_request.h"

namespace wavlon::platform {
namespace {

constexpr std::string_view kRaise = "raise";
constexpr std::size_t kMaxToken = 512;
constexpr std::size_t kMaxPaths = 256;

}  // namespace

std::string format_raise_request(const std::string& token, const std::vector<std::string>& paths) {
    std::string request = std::string(kRaise) + "\n" + token + "\n";
    for (const std::string& path : paths) {
        request.append(path).push_back('\0');
    }
    return request;
}

std::optional<RaiseRequest> parse_raise_request(std::string_view request,
                                                bool (*absolute)(std::string_view path)) {
    const std::size_t first = request.find('\n');
    if (first == std::string_view::npos || request.substr(0, first) != kRaise) {
        return std::nullopt;
    }
    request.remove_prefix(first + 1);
    const std::size_t second = request.find('\n');
    std::string_view token = request.substr(0, second);
    request.remove_prefix(second == std::string_view::npos ? request.size() : second + 1);
    if (token.size() > kMaxToken) {
        return std::nullopt;
    }
    for (char c : token) {
        if (c < 0x21 || c > 0x7e) {
            return std::nullopt;
        }
    }
    RaiseRequest parsed{std::string(token), {}};
    while (!request.empty()) {
        const std::size_t end = request.find('\0');
        if (end == std::string_view::npos || !absolute(request) ||
            parsed.paths.size() == kMaxPaths) {
            return std::nullopt;
        }
        parsed.paths.emplace_back(request.substr(0, end));
        request.remove_prefix(end + 1);
    }
    return parsed;
}

}  // namespace wavlon::platform
