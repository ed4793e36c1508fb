// The HTTP client on libcurl, in the "net" module (module_loader.h); http_client.cpp loads it.
#include "platform/http_client.h"

#include <curl/curl.h>

#include "platform/module_loader.h"
#include "platform/percent_escape.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string_view>

namespace wavlon::platform {

namespace {

constexpr long kMaxRedirects = 10;
constexpr std::size_t kMaxHeaderBlockBytes = std::size_t{1} << 20;
constexpr const char* kSystemCaDirectory = "/etc/ssl/certs";

void init_curl_once() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool iequals(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

bool starts_with_icase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && iequals(text.substr(0, prefix.size()), prefix);
}

// Spaces, control bytes and non-ASCII bytes are not valid in a URL as sent; browsers and the
// platform's own HTTP stack percent-encode them, so a typed address with them still works.
std::string escape_url(std::string_view url) {
    return percent_escape(url);
}

bool is_acceptable_url(const std::string& url) {
    std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> handle(curl_url(), curl_url_cleanup);
    if (!handle || curl_url_set(handle.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK) {
        return false;
    }
    char* scheme = nullptr;
    char* host = nullptr;
    bool ok = curl_url_get(handle.get(), CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
              curl_url_get(handle.get(), CURLUPART_HOST, &host, 0) == CURLUE_OK &&
              (iequals(scheme, "http") || iequals(scheme, "https")) && host[0] != '\0';
    curl_free(scheme);
    curl_free(host);
    return ok;
}

// Splits the caller's lines at any line break and keeps those with a name before a ":".
// A line with an empty value is turned into libcurl's "Name;" form, which sends "Name:"
// instead of removing a header of libcurl's own.
std::vector<std::string> header_lines_for_curl(const std::vector<std::string>& lines) {
    std::vector<std::string> out;
    for (const auto& raw : lines) {
        std::size_t start = 0;
        while (start <= raw.size()) {
            std::size_t end = raw.find_first_of("\r\n", start);
            if (end == std::string::npos) {
                end = raw.size();
            }
            std::string line = raw.substr(start, end - start);
            start = end + 1;
            std::size_t colon = line.find(':');
            if (colon == std::string::npos || colon == 0) {
                continue;
            }
            std::string_view value = std::string_view(line).substr(colon + 1);
            if (value.find_first_not_of(" \t") == std::string_view::npos) {
                line = line.substr(0, colon) + ";";
            }
            out.push_back(std::move(line));
        }
    }
    return out;
}

bool has_header(const std::vector<std::string>& lines, std::string_view name) {
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
        std::size_t end = line.find_first_of(":;");
        return iequals(std::string_view(line).substr(0, end), name);
    });
}

struct Transfer {
    bool connected = false;  // a connection stands and the current request is being sent
    std::string block;
    bool block_complete = false;
    std::string body;

    bool final_headers() const {
        // An interim (1xx) block is followed by the real one; only a complete non-1xx counts.
        if (!block_complete) {
            return false;
        }
        std::size_t space = block.find(' ');
        return space == std::string::npos || space + 1 >= block.size() || block[space + 1] != '1';
    }
};

int on_prereq(void* data, char*, char*, int, int) {
    auto* t = static_cast<Transfer*>(data);
    // Called once per request, redirects included: the header block starts again.
    t->connected = true;
    t->block.clear();
    t->block_complete = false;
    t->body.clear();
    return CURL_PREREQFUNC_OK;
}

std::size_t on_header(char* data, std::size_t size, std::size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    std::size_t n = size * count;
    std::string_view line(data, n);
    if (starts_with_icase(line, "HTTP/")) {
        t->block.clear();
        t->block_complete = false;
    } else if (t->block_complete) {
        return n;  // trailers after a chunked body are not part of the header block
    }
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) {
        line.remove_suffix(1);
    }
    if (t->block.size() + line.size() + 2 > kMaxHeaderBlockBytes) {
        return 0;
    }
    t->block.append(line).append("\r\n");
    if (line.empty()) {
        t->block_complete = true;
    }
    return n;
}

std::size_t on_body(char* data, std::size_t size, std::size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    std::size_t n = size * count;
    if (t->body.size() + n > kHttpMaxBodyBytes) {
        return 0;
    }
    t->body.append(data, n);
    return n;
}

HttpOutcome outcome_of(CURLcode code, const Transfer& t) {
    if (code == CURLE_OK && t.final_headers()) {
        return HttpOutcome::kOk;
    }
    switch (code) {
        case CURLE_URL_MALFORMAT:
        case CURLE_UNSUPPORTED_PROTOCOL:
            if (!t.connected) {
                return HttpOutcome::kBadUrl;
            }
            break;
        case CURLE_FAILED_INIT:
        case CURLE_OUT_OF_MEMORY:
            if (!t.connected) {
                return HttpOutcome::kSetupFailed;
            }
            break;
        default:
            break;
    }
    if (!t.connected) {
        return HttpOutcome::kConnectFailed;
    }
    return t.final_headers() ? HttpOutcome::kReadFailed : HttpOutcome::kNoResponse;
}

struct CurlDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct SlistDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

// The caller's lines, and empty lines that keep libcurl from adding headers of its own.
curl_slist* build_header_list(const std::vector<std::string>& header_lines) {
    std::vector<std::string> lines = header_lines_for_curl(header_lines);
    for (const char* name : {"Accept", "Content-Type", "Expect"}) {
        if (!has_header(lines, name)) {
            lines.push_back(std::string(name) + ":");
        }
    }
    curl_slist* list = nullptr;
    for (const auto& line : lines) {
        curl_slist* next = curl_slist_append(list, line.c_str());
        if (next == nullptr) {
            curl_slist_free_all(list);
            return nullptr;
        }
        list = next;
    }
    return list;
}

bool configure(CURL* h, const HttpClientRequest& request, const std::string& url,
               const std::string& ca_file, curl_slist* header_list, Transfer& transfer) {
    std::string proxy = request.proxy;
    if (!proxy.empty() && proxy.find("://") == std::string::npos) {
        proxy = "http://" + proxy;
    }
    const long timeout_ms = static_cast<long>(std::max<std::int64_t>(1, request.timeout.count()));

    // libcurl copies string options; the body is read from `request` during the transfer.
    bool ok = true;
    auto set = [&](CURLoption option, auto value) {
        ok = ok && curl_easy_setopt(h, option, value) == CURLE_OK;
    };
    set(CURLOPT_URL, url.c_str());
    set(CURLOPT_PROTOCOLS_STR, "http,https");
    set(CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    set(CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    set(CURLOPT_NOSIGNAL, 1L);
    set(CURLOPT_HTTPHEADER, header_list);
    set(CURLOPT_FOLLOWLOCATION, request.follow_redirects ? 1L : 0L);
    set(CURLOPT_MAXREDIRS, kMaxRedirects);
    // The time-out bounds the connection and, as well, the whole exchange: an answer that
    // trickles in a byte at a time must not hold the caller for longer.
    set(CURLOPT_CONNECTTIMEOUT_MS, timeout_ms);
    set(CURLOPT_TIMEOUT_MS, timeout_ms);
    // An empty proxy (and no exceptions) also keeps proxy variables of the environment out.
    set(CURLOPT_PROXY, proxy.c_str());
    set(CURLOPT_NOPROXY, "");
    set(CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    if (!proxy.empty() && !request.proxy_user.empty()) {
        set(CURLOPT_PROXYAUTH, static_cast<unsigned long>(CURLAUTH_BASIC));
        set(CURLOPT_PROXYUSERNAME, request.proxy_user.c_str());
        set(CURLOPT_PROXYPASSWORD, request.proxy_password.c_str());
    }
    if (!request.user.empty()) {
        set(CURLOPT_HTTPAUTH, static_cast<unsigned long>(CURLAUTH_BASIC));
        set(CURLOPT_USERNAME, request.user.c_str());
        set(CURLOPT_PASSWORD, request.password.c_str());
    }
    if (!ca_file.empty()) {
        set(CURLOPT_CAINFO, ca_file.c_str());
        set(CURLOPT_CAPATH, kSystemCaDirectory);
    }

    // POST and HEAD use libcurl's own modes so that redirects change the method the way
    // browsers do; every other method is sent by name.
    const bool has_body = !request.body.empty();
    if (request.method == "POST") {
        set(CURLOPT_POST, 1L);
    } else if (request.method == "HEAD") {
        set(CURLOPT_NOBODY, 1L);
    } else if (request.method == "GET" && !has_body) {
        set(CURLOPT_HTTPGET, 1L);
    } else {
        set(CURLOPT_CUSTOMREQUEST, request.method.c_str());
    }
    if (request.method == "POST" || (has_body && request.method != "HEAD")) {
        set(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
        set(CURLOPT_POSTFIELDS, request.body.data());
    }

    void* data = &transfer;
    set(CURLOPT_PREREQFUNCTION, &on_prereq);
    set(CURLOPT_PREREQDATA, data);
    set(CURLOPT_HEADERFUNCTION, &on_header);
    set(CURLOPT_HEADERDATA, data);
    set(CURLOPT_WRITEFUNCTION, &on_body);
    set(CURLOPT_WRITEDATA, data);
    return ok;
}

HttpClientResult perform(const HttpClientRequest& request, const std::string& ca_file) {
    init_curl_once();
    HttpClientResult result;
    const std::string url = escape_url(request.url);
    if (!is_acceptable_url(url)) {
        result.outcome = HttpOutcome::kBadUrl;
        return result;
    }
    Transfer transfer;
    std::unique_ptr<curl_slist, SlistDeleter> header_list(build_header_list(request.header_lines));
    std::unique_ptr<CURL, CurlDeleter> handle(curl_easy_init());
    if (!handle || !header_list ||
        !configure(handle.get(), request, url, ca_file, header_list.get(), transfer)) {
        return result;
    }
    CURLcode code = curl_easy_perform(handle.get());
    handle.reset();
    result.outcome = outcome_of(code, transfer);
    result.headers_received = transfer.final_headers();
    if (result.headers_received) {
        result.header_block = std::move(transfer.block);
    }
    result.body = std::move(transfer.body);
    return result;
}

}  // namespace
}  // namespace wavlon::platform

// `extra_ca_file`: a PEM file trusted besides the system's store, or empty.
WAVLON_MODULE_ENTRY void wavlon_http_perform(const wavlon::platform::HttpClientRequest* request,
                                             const std::string* extra_ca_file,
                                             wavlon::platform::HttpClientResult* result) {
    *result = wavlon::platform::perform(*request, *extra_ca_file);
}
