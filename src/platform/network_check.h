// Whether the internet answers: one HTTP GET of a known page.
//
// Blocks the calling thread until the answer's headers arrive or a time-out passes. Any HTTP
// answer, whatever its status, means reachable; the body is never downloaded. The request goes
// through the proxy that the environment names, as libcurl reads it (http_proxy for http,
// https_proxy for https, all_proxy for both, no_proxy for the hosts reached directly), and
// directly when none is named.
#pragma once

#include <chrono>
#include <string>

namespace wavlon::platform {

constexpr std::chrono::milliseconds kNetworkConnectTimeout{5000};
constexpr std::chrono::milliseconds kNetworkTotalTimeout{10000};

// Requests the check page (the build setting WAVLON_NETWORK_CHECK_URL, or the address set with
// set_network_check_url) with the agent name "test" and no caching on the way.
bool network_available();

// The same check against `url`: connecting may take `connect_timeout`, the whole request up to
// the end of the headers `total_timeout`. False for a malformed URL or one that is not http or
// https, a refused or failed connection, a failed TLS handshake, or a time-out.
bool network_available_at(const std::string& url,
                          std::chrono::milliseconds connect_timeout = kNetworkConnectTimeout,
                          std::chrono::milliseconds total_timeout = kNetworkTotalTimeout);

// Points network_available at another page (tests use a local server); the empty string
// restores the build setting. Call on the user-interface thread.
void set_network_check_url(std::string url);

}  // namespace wavlon::platform
