// The network check on WinINet: a session with the agent name "test" opens the check page,
// fresh from the network; the first answer's headers decide.
//
// The proxy is WinINet's own choice (INTERNET_OPEN_TYPE_PRECONFIG): the user's Internet
// settings, and under wine, where those name none, the http_proxy variable as the process
// started with it. Unlike libcurl on Linux, https_proxy, all_proxy and later changes of the
// environment are not read, and the system's "connected" state is not asked first: check
// pages on this machine would count as offline where only the loopback interface is up.
#include "platform/network_check.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace wavlon::platform {
namespace {

using Clock = std::chrono::steady_clock;

std::string g_check_url;

bool is_http_url(const std::string& url) {
    URL_COMPONENTSA parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = 1;  // asks for the host's place without copying it
    return !url.empty() &&
           ::InternetCrackUrlA(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts) &&
           (parts.nScheme == INTERNET_SCHEME_HTTP || parts.nScheme == INTERNET_SCHEME_HTTPS) &&
           parts.dwHostNameLength > 0;
}

bool open_page(const std::string& url, DWORD connect_ms, DWORD total_ms) {
    HINTERNET session = ::InternetOpenA("test", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (session == nullptr) {
        return false;
    }
    ::InternetSetOptionA(session, INTERNET_OPTION_CONNECT_TIMEOUT, &connect_ms, sizeof connect_ms);
    ::InternetSetOptionA(session, INTERNET_OPTION_SEND_TIMEOUT, &total_ms, sizeof total_ms);
    ::InternetSetOptionA(session, INTERNET_OPTION_RECEIVE_TIMEOUT, &total_ms, sizeof total_ms);
    // Any answer will do, a redirect as well; the cache is neither asked nor filled.
    static const char kHeaders[] = "Cache-Control: no-cache\r\nPragma: no-cache\r\n";
    const DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                        INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_AUTO_REDIRECT |
                        INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_UI;
    HINTERNET page =
        ::InternetOpenUrlA(session, url.c_str(), kHeaders, sizeof kHeaders - 1, flags, 0);
    // WinINet takes a connection closed without a word for an old-style answer with no
    // headers; only a status line counts.
    bool answered = false;
    DWORD size = 0;
    if (page != nullptr) {
        ::HttpQueryInfoA(page, HTTP_QUERY_RAW_HEADERS_CRLF, nullptr, &size, nullptr);
        std::string headers(size + 1, '\0');
        answered = ::HttpQueryInfoA(page, HTTP_QUERY_RAW_HEADERS_CRLF, headers.data(), &size,
                                    nullptr) != FALSE &&
                   headers.starts_with("HTTP/");
    }
    if (page != nullptr) {
        ::InternetCloseHandle(page);
    }
    ::InternetCloseHandle(session);
    return answered;
}

// What the check's worker and its caller share.
struct Check {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    bool answered = false;
};

}  // namespace

bool network_available() {
    return network_available_at(g_check_url.empty() ? WAVLON_NETWORK_CHECK_URL : g_check_url);
}

bool network_available_at(const std::string& url, std::chrono::milliseconds connect_timeout,
                          std::chrono::milliseconds total_timeout) {
    if (!is_http_url(url)) {
        return false;
    }
    const auto connect_ms = static_cast<DWORD>(std::max<std::int64_t>(1, connect_timeout.count()));
    const auto total_ms = static_cast<DWORD>(std::max<std::int64_t>(1, total_timeout.count()));
    // WinINet's time-outs bound each phase; a worker lets the whole check end on time even
    // when headers trickle in. It closes its handles itself after the caller has gone.
    auto check = std::make_shared<Check>();
    std::thread([check, url, connect_ms, total_ms] {
        const bool answered = open_page(url, std::min(connect_ms, total_ms), total_ms);
        std::lock_guard lock(check->mutex);
        check->answered = answered;
        check->done = true;
        check->finished.notify_all();
    }).detach();
    std::unique_lock lock(check->mutex);
    check->finished.wait_for(lock, std::chrono::milliseconds(total_ms),
                             [&] { return check->done; });
    return check->answered;
}

void set_network_check_url(std::string url) {
    g_check_url = std::move(url);
}

}  // namespace wavlon::platform
