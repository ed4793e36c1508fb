#include "network/http_request.h"

#include <array>
#include <chrono>

#include "platform/codec.h"
#include "platform/http_client.h"
#include "runtime/text_commands.h"
#include "network/regex_object.h"
#include "network/text_helpers.h"

namespace wavlon::network {

namespace {

using runtime::operator""_gb;
using runtime::find_text;

constexpr TextView kCrLf = "\r\n";
constexpr std::int32_t kDefaultTimeoutSeconds = 30;
// Charset declarations are looked for only near the top of a page.
constexpr std::size_t kMetaScanBytes = 1024;

struct DefaultHeader {
    TextView probe;
    TextView line;
    bool post_only;
};

constexpr std::array kDefaultHeaders = {
    DefaultHeader{"User-Agent: ",
                  "User-Agent: Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; "
                  "Trident/5.0)\r\n",
                  false},
    DefaultHeader{"Accept: ", "Accept: text/html, application/xhtml+xml, */*\r\n", false},
    DefaultHeader{"Accept-Encoding: ", "Accept-Encoding: gbk, GB2312\r\n", false},
    DefaultHeader{"Accept-Language: ", "Accept-Language: zh-cn\r\n", false},
    DefaultHeader{"Content-Type:", "Content-Type: application/x-www-form-urlencoded\r\n", true},
    DefaultHeader{"Cache-Control: ", "Cache-Control: no-cache\r\n", false},
};

constexpr std::array<const char*, 8> kMethodNames = {"GET",     "POST",   "HEAD",  "PUT",
                                                     "OPTIONS", "DELETE", "TRACE", "CONNECT"};

bool iequals(TextView a, TextView b) {
    return a.size() == b.size() && runtime::compare_text(a, b, false) == 0;
}

bool starts_with_icase(TextView text, TextView prefix) {
    return text.size() >= prefix.size() && iequals(text.substr(0, prefix.size()), prefix);
}

bool contains_icase(TextView text, TextView part) {
    return find_text(text, part, 1, true) > 0;
}

// Calls `visit` with every line of a "\r\n"-separated block (the part after the last break
// too, when it is not empty).
template <typename Visit>
void for_each_line(TextView block, Visit visit) {
    while (!block.empty()) {
        std::size_t end = block.find(kCrLf);
        visit(block.substr(0, end));
        if (end == TextView::npos) {
            break;
        }
        block.remove_prefix(end + kCrLf.size());
    }
}

// The charset parameter of a Content-Type value, without quotes; empty when there is none.
Text charset_parameter(TextView value) {
    std::int32_t at = find_text(value, "charset=", 1, true);
    if (at < 1) {
        return {};
    }
    TextView rest = value.substr(static_cast<std::size_t>(at) - 1 + 8);
    std::size_t end = rest.find_first_of("; \t");
    rest = rest.substr(0, end);
    while (!rest.empty() && (rest.front() == '"' || rest.front() == '\'')) {
        rest.remove_prefix(1);
    }
    while (!rest.empty() && (rest.back() == '"' || rest.back() == '\'')) {
        rest.remove_suffix(1);
    }
    return Text(rest);
}

const char* method_name(std::int32_t method) {
    if (method < 0 || method >= static_cast<std::int32_t>(kMethodNames.size())) {
        return kMethodNames[0];
    }
    return kMethodNames[static_cast<std::size_t>(method)];
}

// A "Cookie:" line handed in as the cookie list is a list once its name is gone, so it can
// be merged item by item like a plain one.
TextView cookie_items(TextView cookies) {
    TextView trimmed = cookies.substr(std::min(cookies.size(), cookies.find_first_not_of(' ')));
    if (starts_with_icase(trimmed, "Cookie:")) {
        return trimmed.substr(7);
    }
    return cookies;
}

}  // namespace

Text http_failure_text(HttpFailure failure) {
    static const std::array<Text, 14> texts = {
        "700 当前系统不支持WinHttp服务!"_gb,
        "701 解析URL地址失败!"_gb,
        "702 创建WinHttp会话失败!"_gb,
        "703 创建WinHttp连接失败!"_gb,
        "704 创建WinHttp请求失败!"_gb,
        "705 设置超时时间失败!"_gb,
        "忽略错误/证书错误  失败！"_gb,
        "707 设置代理凭证失败!"_gb,
        "708 禁止自动设置Cookies失败!"_gb,
        "709 重定向设置失败!"_gb,
        "710 设置协议头失败!"_gb,
        "711 发送请求失败!"_gb,
        "712 服务器未响应!"_gb,
        "713 读取数据失败!"_gb,
    };
    return texts.at(static_cast<std::size_t>(failure));
}

Text assemble_request_headers(const HttpRequestOptions& options) {
    Text h = options.extra_headers;
    if (!h.empty()) {
        h += kCrLf;
    }
    if (options.add_default_headers) {
        for (const auto& row : kDefaultHeaders) {
            if (row.post_only && options.method != 1) {
                continue;
            }
            if (!contains_icase(h, row.probe)) {
                h += row.line;
            }
        }
    }
    if (options.normalise_headers) {
        h = normalise_header_names(h);
    }
    // The client manages the connection itself; a keep-alive request adds nothing.
    if (find_text(h, "Connection") > 0 && get_header_value(h, "Connection") == "keep-alive") {
        h = runtime::replace_text(h, "Connection: keep-alive\r\n");
    }
    if (!options.cookies.empty() && !contains_icase(h, "Cookie:")) {
        if (contains_icase(options.cookies, "Cookie:")) {
            h += Text(kCrLf) + options.cookies + Text(kCrLf);
        } else {
            h += "\r\nCookie: " + options.cookies + Text(kCrLf);
        }
    }
    return h;
}

ResponseHeaderInfo parse_response_headers(TextView block) {
    ResponseHeaderInfo info;
    TextView status_line = block.substr(0, block.find(kCrLf));
    if (status_line.size() > 9) {
        info.status = Text(status_line.substr(9));
    }
    for_each_line(block, [&](TextView line) {
        std::size_t colon = line.find(':');
        TextView name = line.substr(0, colon);
        TextView value = colon == TextView::npos ? TextView{} : line.substr(colon + 1);
        // Header names are case-insensitive; servers send "set-cookie" as well.
        if (colon != TextView::npos && iequals(name, "Set-Cookie")) {
            Text item = runtime::trim_text(value.substr(0, value.find(';')));
            if (!item.empty()) {
                info.cookies += item + "; ";
            }
        }
        if (starts_with_icase(line, "Location: ")) {
            info.location = Text(line.substr(10));
        }
        if (colon != TextView::npos && iequals(runtime::trim_text(name), "Content-Type")) {
            info.charset = charset_parameter(value);
        }
    });
    return info;
}

Text finish_cookies(Text received, TextView sent, bool merge) {
    if (received.ends_with("; ")) {
        received.resize(received.size() - 2);
    }
    if (merge && !sent.empty()) {
        return merge_cookies(cookie_items(sent), received);
    }
    return received;
}

Text meta_charset(TextView body) {
    RegexObject regex;
    if (!regex.execute("<meta.+?charset=[^\\w]?([-\\w]+)", body.substr(0, kMetaScanBytes))) {
        return {};
    }
    return regex.get_submatch(1, 1);
}

Text decode_body(std::string_view body, TextView header_charset) {
    const Text name = header_charset.empty() ? meta_charset(TextView(body)) : Text(header_charset);
    // GBK and GB2312 pages already are texts of the program's code page. Handing "GB2312" to
    // the converter would decode it strictly and turn the characters that only GBK has into
    // "?", so both names, in any case, keep the bytes as they came.
    if (name.empty() || iequals(name, "gbk") || iequals(name, "gb2312")) {
        return Text(body);
    }
    auto decoded = platform::charset_to_gbk(name.bytes(), body);
    return decoded ? std::move(*decoded) : Text(body);
}

Text send_http_request(const Text& url, const HttpRequestOptions& options) {
    auto fail = [&](HttpFailure failure) {
        if (options.status_out != nullptr) {
            *options.status_out = http_failure_text(failure);
        }
        return Text();
    };

    platform::HttpClientRequest request;
    request.method = method_name(options.method);
    request.url = runtime::gbk_to_utf8(url);
    // Header lines, body and credentials go out in the texts' own bytes.
    request.header_lines.push_back(assemble_request_headers(options).bytes());
    request.body =
        options.body_bytes.empty() ? options.body.bytes() : options.body_bytes.to_string();
    request.follow_redirects = !options.no_redirect;
    if (!options.user.empty() && !options.password.empty()) {
        request.user = options.user.bytes();
        request.password = options.password.bytes();
    }
    request.proxy = options.proxy.bytes();
    if (!options.proxy.empty() && !options.proxy_user.empty() && !options.proxy_password.empty()) {
        request.proxy_user = options.proxy_user.bytes();
        request.proxy_password = options.proxy_password.bytes();
    }
    std::int32_t seconds =
        options.timeout_seconds >= 1 ? options.timeout_seconds : kDefaultTimeoutSeconds;
    request.timeout = std::chrono::seconds(seconds);

    platform::HttpClientResult result = platform::http_perform(request);
    switch (result.outcome) {
        case platform::HttpOutcome::kOk:
        case platform::HttpOutcome::kReadFailed:
            break;
        case platform::HttpOutcome::kSetupFailed:
            return fail(HttpFailure::kSession);
        case platform::HttpOutcome::kBadUrl:
            return fail(HttpFailure::kUrl);
        case platform::HttpOutcome::kConnectFailed:
            return fail(HttpFailure::kSend);
        case platform::HttpOutcome::kNoResponse:
            return fail(HttpFailure::kNoResponse);
    }
    // A body cut short keeps its bytes; the failure stays visible in status_out.
    const bool read_failed = result.outcome == platform::HttpOutcome::kReadFailed;
    if (!result.headers_received) {
        return fail(HttpFailure::kRead);
    }
    const Text header_block(std::move(result.header_block));
    if (options.headers_out != nullptr) {
        *options.headers_out = header_block;
    }
    ResponseHeaderInfo info = parse_response_headers(header_block);
    if (options.status_out != nullptr) {
        *options.status_out = read_failed ? http_failure_text(HttpFailure::kRead) : info.status;
    }
    if (options.cookies_out != nullptr) {
        // What the variable already held stays a list of its own items.
        Text received = *options.cookies_out;
        if (!received.empty() && !info.cookies.empty() && !received.ends_with("; ")) {
            received += received.ends_with(';') ? TextView(" ") : TextView("; ");
        }
        *options.cookies_out =
            finish_cookies(received + info.cookies, options.cookies, options.auto_merge_cookies);
    }
    if (options.location_out != nullptr && info.location) {
        *options.location_out = *info.location;
    }
    if (options.body_bytes_out != nullptr) {
        *options.body_bytes_out = ByteSet::from_string(result.body);
    }
    return decode_body(result.body, info.charset);
}

}  // namespace wavlon::network
