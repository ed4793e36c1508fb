// The network check on libcurl, in the "net" module (module_loader.h): used where the check
// page is https or a proxy is named. network_check.cpp loads it.
#include "platform/network_check.h"

#include <curl/curl.h>

#include "platform/module_loader.h"

#include <memory>
#include <mutex>
#include <string_view>

namespace wavlon::platform {
namespace {

struct HeaderState {
    bool status_seen = false;
    bool complete = false;
};

// Ends the transfer at the blank line after the final headers: the answer is known by then,
// and the page's body is of no interest. Interim answers (1xx) are followed by more headers.
std::size_t on_header(char* data, std::size_t size, std::size_t count, void* user) {
    auto* state = static_cast<HeaderState*>(user);
    std::string_view line(data, size * count);
    if (line.starts_with("HTTP/")) {
        state->status_seen = true;
        state->complete = false;
        if (line.size() > 9 && line[9] == '1') {
            state->status_seen = false;  // 1xx: the real answer comes next
        }
        return line.size();
    }
    if ((line == "\r\n" || line == "\n") && state->status_seen) {
        state->complete = true;
        return 0;  // aborts the transfer
    }
    return line.size();
}

// Never called in practice: the header callback has ended the transfer before any body.
std::size_t discard_body(char*, std::size_t, std::size_t, void*) {
    return 0;
}

bool check(const std::string& url, std::chrono::milliseconds connect_timeout,
           std::chrono::milliseconds total_timeout) {
    static std::once_flag global_init;
    std::call_once(global_init, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });

    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), curl_easy_cleanup);
    if (!curl) {
        return false;
    }
    curl_slist* headers = nullptr;
    headers = curl_slist_append(headers, "Cache-Control: no-cache");
    headers = curl_slist_append(headers, "Pragma: no-cache");
    std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> header_list(headers,
                                                                            curl_slist_free_all);
    HeaderState state;
    CURL* handle = curl.get();
    // No proxy option is set: libcurl then takes the proxy that the user's environment names
    // (http_proxy, https_proxy, all_proxy, no_proxy), as the system's own connection settings
    // would give it. Behind a proxy, that is the only way out.
    bool configured =
        curl_easy_setopt(handle, CURLOPT_URL, url.c_str()) == CURLE_OK &&
        curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK &&
        curl_easy_setopt(handle, CURLOPT_USERAGENT, "test") == CURLE_OK &&
        curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers) == CURLE_OK &&
        // A proxy's answer to opening a tunnel is not the page's answer.
        curl_easy_setopt(handle, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L) == CURLE_OK &&
        curl_easy_setopt(handle, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1) == CURLE_OK &&
        curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L) == CURLE_OK &&
        curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS,
                         static_cast<long>(connect_timeout.count())) == CURLE_OK &&
        curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, static_cast<long>(total_timeout.count())) ==
            CURLE_OK &&
        curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, on_header) == CURLE_OK &&
        curl_easy_setopt(handle, CURLOPT_HEADERDATA, &state) == CURLE_OK &&
        curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, discard_body) == CURLE_OK;
    if (!configured) {
        return false;
    }
    CURLcode result = curl_easy_perform(handle);
    if (state.complete) {
        return true;
    }
    long status = 0;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    return result == CURLE_OK && status > 0;
}

}  // namespace
}  // namespace wavlon::platform

WAVLON_MODULE_ENTRY bool wavlon_network_available_at(const std::string* url,
                                                     std::int64_t connect_timeout_ms,
                                                     std::int64_t total_timeout_ms) {
    return wavlon::platform::check(*url, std::chrono::milliseconds(connect_timeout_ms),
                                   std::chrono::milliseconds(total_timeout_ms));
}
