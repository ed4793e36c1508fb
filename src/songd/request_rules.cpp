#include "songd/request_rules.h"

#include <algorithm>
#include <charconv>

namespace wavlon::songd {
namespace {

// Digits only: from_chars alone would take a sign.
bool decimal(std::string_view text, std::int64_t& out) {
    if (text.empty() || text.size() > 18 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return false;
    }
    std::from_chars(text.data(), text.data() + text.size(), out);
    return true;
}

}  // namespace

RangeAsk parse_range(std::string_view header, std::int64_t size) {
    if (header.substr(0, 6) != "bytes=") {
        return {};
    }
    std::string_view range = header.substr(6);
    std::size_t dash = range.find('-');
    if (dash == std::string_view::npos) {
        return {};
    }
    std::int64_t first = 0;
    std::int64_t last = 0;
    std::string_view first_text = range.substr(0, dash);
    std::string_view last_text = range.substr(dash + 1);
    if (first_text.empty()) {  // suffix-range: the last N bytes
        if (!decimal(last_text, last)) {
            return {};
        }
        if (last == 0 || size == 0) {
            return {RangeAsk::Unsatisfiable};
        }
        return {RangeAsk::Part, std::max<std::int64_t>(0, size - last), size - 1};
    }
    if (!decimal(first_text, first)) {
        return {};
    }
    if (last_text.empty()) {
        last = size - 1;
    } else if (!decimal(last_text, last) || last < first) {
        return {};
    }
    if (first >= size) {
        return {RangeAsk::Unsatisfiable};
    }
    return {RangeAsk::Part, first, std::min(last, size - 1)};
}

bool split_host(std::string_view header, std::string& name, int& port) {
    std::string_view host = header;
    std::string_view port_text;
    if (!host.empty() && host.front() == '[') {
        std::size_t close = host.find(']');
        if (close == std::string_view::npos) {
            return false;
        }
        if (close + 1 < host.size()) {
            if (host[close + 1] != ':') {
                return false;
            }
            port_text = host.substr(close + 2);
        }
        host = host.substr(0, close + 1);
    } else if (std::size_t colon = host.find(':'); colon != std::string_view::npos) {
        port_text = host.substr(colon + 1);
        host = host.substr(0, colon);
    }
    if (!host.empty() && host.back() == '.') {
        host.remove_suffix(1);
    }
    if (host.empty() || host.size() > 253) {
        return false;
    }
    for (char c : host) {
        bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '.' || c == '-' || c == ':' || c == '[' || c == ']';
        if (!allowed) {
            return false;
        }
    }
    std::int64_t number = 80;
    if (header.back() == ':' || (!port_text.empty() && !decimal(port_text, number)) ||
        number > 65535) {
        return false;
    }
    name.assign(host);
    std::transform(name.begin(), name.end(), name.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    port = static_cast<int>(number);
    return true;
}

bool host_names_us(std::string_view header, const std::vector<std::string>& names,
                   const std::vector<int>& ports) {
    std::string name;
    int port = 0;
    return split_host(header, name, port) &&
           std::find(names.begin(), names.end(), name) != names.end() &&
           std::find(ports.begin(), ports.end(), port) != ports.end();
}

}  // namespace wavlon::songd
