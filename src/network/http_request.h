// send_http_request: one complete HTTP or HTTPS exchange, answering with the body as a text.
//
// Blocks the calling thread for the whole exchange; keeps no state between calls. Every
// failure gives the empty text and, when asked for, a numbered error text in `status_out`
// ("711 发送请求失败!" when the host cannot be resolved or reached, the TLS handshake fails or
// the certificate is not trusted; "712 服务器未响应!" when the connection ends or stalls before
// the answer). Out parameters not reached before a failure keep what they held.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "runtime/byte_set.h"
#include "runtime/text.h"

namespace wavlon::network {

using runtime::ByteSet;
using runtime::Text;
using runtime::TextView;

// The options after the URL, in their order. Out parameters are the caller's variables,
// written by the routine when not null.
struct HttpRequestOptions {
    // 0 GET, 1 POST, 2 HEAD, 3 PUT, 4 OPTIONS, 5 DELETE, 6 TRACE, 7 CONNECT; others GET.
    std::int32_t method = 0;
    Text body;  // sent as its bytes stand
    // "name=value; name2=value2", or a whole "Cookie: ..." line.
    Text cookies;
    // Receives the cookies of the answer's Set-Cookie lines, appended to what it held and
    // joined with "; " (merged with `cookies` when auto_merge_cookies).
    Text* cookies_out = nullptr;
    Text extra_headers;           // header lines separated by "\r\n"
    Text* headers_out = nullptr;  // the answer's raw header block
    bool no_redirect = false;
    Text user;  // Basic credentials for the server, used when both are set
    Text password;
    Text proxy;       // HTTP proxy as host:port; empty: none
    Text proxy_user;  // Basic credentials for the proxy, used when both are set
    Text proxy_password;
    // Bounds the whole exchange, from connecting to the body's last byte; below 1 means 30
    // seconds. What arrived by then is kept, as for a read that failed ("713 读取数据失败!").
    std::int32_t timeout_seconds = 0;
    Text* location_out = nullptr;  // the value of a "Location: " header of the answer
    // The status code and reason phrase ("200 OK"), or the numbered error text.
    Text* status_out = nullptr;
    ByteSet* body_bytes_out = nullptr;  // the body exactly as received
    bool auto_merge_cookies = true;
    bool add_default_headers = true;  // complete the request with browser-like headers
    ByteSet body_bytes;               // when not empty, sent instead of `body`
    bool normalise_headers = true;    // header names in canonical case (content-type: Content-Type)
};

Text send_http_request(const Text& url, const HttpRequestOptions& options = {});

// The pieces of send_http_request that work on texts alone, open for tests and fuzzing.

// The request's header block: the caller's lines, the default headers they lack, names in
// canonical case, and the Cookie line.
Text assemble_request_headers(const HttpRequestOptions& options);

// What the routine reads from an answer's raw header block.
struct ResponseHeaderInfo {
    Text status;                   // the status line after "HTTP/x.y ": "200 OK"
    Text cookies;                  // the Set-Cookie name=value items, each followed by "; "
    std::optional<Text> location;  // the last "Location: " value, when there is one
    Text charset;                  // the charset parameter of the last Content-Type, unquoted
};
ResponseHeaderInfo parse_response_headers(TextView block);

// The cookie list handed back: `received` without its final "; ", merged with the cookies
// that were sent when `merge` is on and some were.
Text finish_cookies(Text received, TextView sent, bool merge);

// The charset that a page declares in a meta element within its first 1024 bytes.
Text meta_charset(TextView body);

// The body decoded to a text from the header's charset, else from the page's meta charset;
// as received when neither names one, when it is gbk or gb2312 (in any case), or when it is
// unknown.
Text decode_body(std::string_view body, TextView header_charset);

// The failures the routine reports in `status_out`, each with its own text.
enum class HttpFailure {
    kPlatform,          // 700
    kUrl,               // 701: the address does not parse or is not http(s)
    kSession,           // 702: the client could not be prepared
    kConnection,        // 703
    kRequest,           // 704
    kTimeouts,          // 705
    kCertificateFlags,  // the one text without a number; certificates are verified instead
    kCredentials,       // 707
    kCookieFeature,     // 708
    kRedirectSetting,   // 709
    kHeaders,           // 710
    kSend,              // 711: resolve, connect or TLS failed
    kNoResponse,        // 712: the connection ended or stalled before the answer
    kRead,              // 713: the body did not arrive whole, or no header block came
};
Text http_failure_text(HttpFailure failure);

}  // namespace wavlon::network
