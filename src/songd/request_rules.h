// What the service reads from request headers, as pure functions: byte ranges and the Host a
// client names the service by.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace wavlon::songd {

// What a Range header asks of a file of `size` bytes, read as RFC 9110 says: a header that is
// not one well-formed "bytes=" byte range (another unit, first > last, spaces, several ranges)
// is ignored and the whole file served; a well-formed one is answered in part (clamped to the
// file) or, when it starts past the end, as unsatisfiable.
struct RangeAsk {
    enum Kind { Whole, Part, Unsatisfiable } kind = Whole;
    std::int64_t first = 0;
    std::int64_t last = 0;  // inclusive
};
RangeAsk parse_range(std::string_view header, std::int64_t size);

// A Host header split into a lower-case name ("[::1]" keeps its brackets, a final "." is
// dropped) and a port (80 when none is given). False when it is not a host[:port].
bool split_host(std::string_view header, std::string& name, int& port);

// True when `header` names this service: one of `names` (see own_host_names) and one of
// `ports`.
bool host_names_us(std::string_view header, const std::vector<std::string>& names,
                   const std::vector<int>& ports);

}  // namespace wavlon::songd
