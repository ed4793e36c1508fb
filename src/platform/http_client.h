// One synchronous HTTP/1.1 exchange on libcurl.
//
// Every call makes its own handle and frees it before returning; nothing is shared between
// calls, so calls on different threads do not interfere. The call blocks its thread for the
// whole exchange, and never longer than the time-out: the connection (resolve, connect, TLS,
// proxy tunnel) and everything after it, redirects included, must be done within it. An
// exchange that runs out of time ends as if the connection had broken at that moment.
//
// What the client does not do by itself: it keeps no cookies, sends no "Expect:", no
// "Accept:" and no form Content-Type of its own, asks for no compression and decodes none,
// and uses no proxy unless one is given (proxy variables in the environment are ignored).
// Server certificates are verified against the system's CA store.
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace wavlon::platform {

struct HttpClientRequest {
    std::string method = "GET";  // GET, POST, HEAD or any other token sent as it stands
    std::string url;             // UTF-8, scheme http or https
    // Header lines "Name: value"; bytes are sent as they stand. Line breaks inside a line
    // split it; lines without a name are not sent.
    std::vector<std::string> header_lines;
    std::string body;        // sent when not empty (and always, possibly empty, with POST)
    std::string proxy;       // "host:port" of an HTTP proxy; empty: connect directly
    std::string proxy_user;  // Basic credentials for the proxy, used when the user is set
    std::string proxy_password;
    std::string user;  // Basic credentials for the server, used when the user is set
    std::string password;
    bool follow_redirects = true;
    std::chrono::milliseconds timeout{30000};  // bounds the whole exchange
};

enum class HttpOutcome {
    kOk,             // a complete final response was read
    kSetupFailed,    // libcurl could not be prepared for the request
    kBadUrl,         // the URL does not parse, has no host, or its scheme is not http(s)
    kConnectFailed,  // resolve, connect, TLS (including an untrusted certificate) or proxy tunnel
    kNoResponse,     // connected, but no whole final response header came before the end or
                     // the time-out
    kReadFailed,     // the final response's headers arrived, its body did not arrive whole
                     // (cut off, or not done within the time-out)
};

struct HttpClientResult {
    HttpOutcome outcome = HttpOutcome::kSetupFailed;
    // True when the final response's header block arrived whole (kOk and kReadFailed).
    bool headers_received = false;
    // The final response's raw header block as received: status line, header lines, the empty
    // line, each ending in CR LF. Interim (1xx) and redirect responses are not part of it.
    std::string header_block;
    std::string body;  // the bytes received, as far as they came
};

HttpClientResult http_perform(const HttpClientRequest& request);

// Trusts the CA certificates in the PEM file `path` besides the system's CA directory, for
// every later request of the process; an empty path restores the system store alone. For
// tests that run their own TLS servers. Thread-safe.
void set_http_extra_ca_file(std::string path);

// Largest body kept; a longer one ends the read with kReadFailed and the bytes so far.
inline constexpr std::size_t kHttpMaxBodyBytes = std::size_t{256} << 20;

}  // namespace wavlon::platform
