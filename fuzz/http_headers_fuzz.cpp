// Fuzz target for the header handling of the HTTP request routine: the parsing of a received
// raw header block (status, Set-Cookie, Location, Content-Type charset), the cookie list
// handed back, the request header assembly and the charset step, on arbitrary bytes.
//
// Input: a header block, optionally followed by a zero byte and a cookie list / header name.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "network/http_request.h"
#include "network/text_helpers.h"

using namespace wavlon::network;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    std::size_t zero = input.find('\0');
    // The bytes are taken as texts, as the headers of an answer are.
    const TextView block(input.substr(0, zero));
    const TextView extra(zero == std::string_view::npos ? "" : input.substr(zero + 1));

    ResponseHeaderInfo info = parse_response_headers(block);
    // Values come from single lines: none may carry a line break into the caller's texts.
    if (info.status.find("\r\n") != Text::npos ||
        (info.location && info.location->find("\r\n") != Text::npos) ||
        info.charset.find(';') != Text::npos) {
        std::abort();
    }
    if (!info.cookies.empty() && !info.cookies.ends_with("; ")) {
        std::abort();
    }
    if (finish_cookies(info.cookies, extra, false).ends_with("; ")) {
        std::abort();
    }
    finish_cookies(info.cookies, extra, true);

    normalise_header_names(block);
    get_header_value(block, extra);

    HttpRequestOptions options;
    options.method = static_cast<std::int32_t>(size % 9);
    options.extra_headers = Text(block);
    options.cookies = Text(extra);
    options.add_default_headers = (size & 1) == 0;
    options.normalise_headers = (size & 2) == 0;
    assemble_request_headers(options);

    decode_body(block.bytes(), info.charset);
    return 0;
}
