// send_http_request against real servers on 127.0.0.1: the local HTTP test server, an HTTPS
// server and an authenticating proxy (Python scripts in tests/support), with certificates made
// for the run by openssl.
#include "network/http_request.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/http_client.h"
#include "support/environment.h"
#include "support/local_http_server.h"

namespace wavlon::network {
namespace {

using testing::HttpReply;
using testing::HttpRequest;
using testing::LocalHttpServer;

Text gb(std::string_view utf8) {
    return runtime::utf8_to_gbk(utf8);
}

// The local servers' addresses are ASCII, so their bytes are the same text.
Text send_http_request(const std::string& url, const HttpRequestOptions& options = {}) {
    return network::send_http_request(Text(url), options);
}

#ifdef _WIN32
constexpr bool kWine = true;
#else
constexpr bool kWine = false;
#endif

using testing::set_variable;
using testing::unset_variable;

#ifdef _WIN32
// wine starts a Unix program without the Windows program's pipes, so the helper scripts cannot
// be run from here: the suite's CTest fixture (support/helper-servers.sh) runs them natively
// and leaves each one's port in WAVLON_TEST_HELPERS/<name>.port.
class ScriptServer {
public:
    ScriptServer(const std::string& script, const std::vector<std::string>& args) {
        const char* dir = std::getenv("WAVLON_TEST_HELPERS");
        const std::string name = script == "proxy_server.py"        ? "proxy"
                                 : args.at(0).ends_with("self.pem") ? "untrusted"
                                                                    : "trusted";
        std::ifstream(std::string(dir != nullptr ? dir : "") + "/" + name + ".port") >> m_port;
    }
    int port() const { return m_port; }

private:
    int m_port = 0;
};
#else
const std::filesystem::path kSupportDir = std::filesystem::path(WAVLON_TESTS_DIR) / "support";

// A helper script run with python3. Its first line of output is the port it listens on; it
// stops when its stdin closes.
class ScriptServer {
public:
    ScriptServer(const std::string& script, const std::vector<std::string>& args) {
        // Everything the child needs is made before fork: only exec-safe calls follow it.
        // The system interpreter, as installed with the project's packages; a python3 found on
        // PATH may be a slow version-manager shim.
        std::string python =
            ::access("/usr/bin/python3", X_OK) == 0 ? "/usr/bin/python3" : "python3";
        std::vector<std::string> words{python, (kSupportDir / script).string()};
        words.insert(words.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& word : words) {
            argv.push_back(word.data());
        }
        argv.push_back(nullptr);
        int in[2];
        int out[2];
        if (::pipe(in) != 0 || ::pipe(out) != 0) {
            return;
        }
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(in[0], 0);
            ::dup2(out[1], 1);
            ::close(in[1]);
            ::close(out[0]);
            ::execvp(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(in[0]);
        ::close(out[1]);
        m_stdin = in[1];
        std::string line;
        pollfd fd{out[0], POLLIN, 0};
        char c = 0;
        while (line.find('\n') == std::string::npos && ::poll(&fd, 1, 20000) > 0 &&
               ::read(out[0], &c, 1) == 1) {
            line += c;
        }
        ::close(out[0]);
        m_port = std::atoi(line.c_str());
    }
    ~ScriptServer() {
        if (m_stdin >= 0) {
            ::close(m_stdin);
        }
        if (m_pid <= 0) {
            return;
        }
        for (int i = 0; i < 100; ++i) {
            if (::waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
    ScriptServer(const ScriptServer&) = delete;
    ScriptServer& operator=(const ScriptServer&) = delete;

    int port() const { return m_port; }

private:
    pid_t m_pid = -1;
    int m_stdin = -1;
    int m_port = 0;
};
#endif

// Besides Host and Content-Length, WinHTTP adds "Connection: Keep-Alive" of its own.
std::string joined_names(const HttpRequest& request) {
    std::string names;
    for (const auto& [name, value] : request.headers) {
        if (name != "Host" && name != "Content-Length" && name != "Connection") {
            names += name + ";";
        }
    }
    return names;
}

TEST(HttpRequest, SearchPostSendsBodyExtraHeaderAndDefaultsInOrder) {
    LocalHttpServer server([](const HttpRequest&) { return HttpReply::ok("{\"data\":[]}"); });
    HttpRequestOptions options;
    options.method = 1;
    options.body = "input=a%20b&filter=name&type=netease&page=1";
    options.extra_headers = "X-Requested-With: XMLHttpRequest";
    Text status;
    options.status_out = &status;

    EXPECT_EQ(send_http_request(server.url("/search/"), options), "{\"data\":[]}");
    EXPECT_EQ(status, "200 OK");

    ASSERT_EQ(server.requests().size(), 1u);
    const HttpRequest sent = server.requests()[0];
    EXPECT_EQ(sent.method, "POST");
    EXPECT_EQ(sent.target, "/search/");
    EXPECT_EQ(sent.body, "input=a%20b&filter=name&type=netease&page=1");
    EXPECT_EQ(joined_names(sent),
              "X-Requested-With;User-Agent;Accept;Accept-Encoding;Accept-Language;Content-Type;"
              "Cache-Control;");
    EXPECT_EQ(sent.header("User-Agent"),
              "Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)");
    EXPECT_EQ(sent.header("Accept"), "text/html, application/xhtml+xml, */*");
    EXPECT_EQ(sent.header("Accept-Encoding"), "gbk, GB2312");
    EXPECT_EQ(sent.header("Accept-Language"), "zh-cn");
    EXPECT_EQ(sent.header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(sent.header("Cache-Control"), "no-cache");
}

TEST(HttpRequest, MethodNumbersSelectTheMethodAndOnlyPostGetsAFormType) {
    LocalHttpServer server([](const HttpRequest&) { return HttpReply::ok(""); });
    const std::vector<std::pair<int, std::string>> cases = {
        {0, "GET"},    {2, "HEAD"},  {3, "PUT"}, {4, "OPTIONS"},
        {5, "DELETE"}, {6, "TRACE"}, {8, "GET"}, {-1, "GET"},
    };
    for (const auto& [method, name] : cases) {
        HttpRequestOptions options;
        options.method = method;
        send_http_request("http://127.0.0.1:" + std::to_string(server.port()), options);
        const HttpRequest sent = server.requests().back();
        EXPECT_EQ(sent.method, name) << method;
        EXPECT_EQ(sent.target, "/") << method;
        EXPECT_EQ(sent.header("Content-Type"), "") << method;
    }
}

TEST(HttpRequest, BodyBytesReplaceTheTextBody) {
    LocalHttpServer server([](const HttpRequest&) { return HttpReply::ok(""); });
    HttpRequestOptions options;
    options.method = 3;
    options.body = "text";
    options.body_bytes = ByteSet::from_string(std::string("a\0b\xff", 4));
    send_http_request(server.url(), options);
    EXPECT_EQ(server.requests().at(0).body, std::string("a\0b\xff", 4));
}

TEST(HttpRequest, CallerHeadersReplaceDefaultsAndNamesAreNormalised) {
    LocalHttpServer server([](const HttpRequest&) { return HttpReply::ok(""); });
    HttpRequestOptions options;
    options.method = 1;
    options.extra_headers = "user-agent: x\r\ncontent-type: text/plain\r\nCACHE-CONTROL: y";
    send_http_request(server.url(), options);
    EXPECT_EQ(joined_names(server.requests().at(0)),
              "User-Agent;Content-Type;CACHE-CONTROL;Accept;Accept-Encoding;Accept-Language;");
    EXPECT_EQ(server.requests().at(0).header("User-Agent"), "x");

    options.normalise_headers = false;
    send_http_request(server.url(), options);
    EXPECT_EQ(joined_names(server.requests().at(1)),
              "user-agent;content-type;CACHE-CONTROL;Accept;Accept-Encoding;Accept-Language;");
}

TEST(HttpRequest, WithoutDefaultHeadersOnlyTheCallersAreSent) {
    LocalHttpServer server([](const HttpRequest&) { return HttpReply::ok(""); });
    HttpRequestOptions options;
    options.method = 1;
    options.body = "x=1";
    options.add_default_headers = false;
    options.extra_headers = "X-One: 1";
    send_http_request(server.url(), options);
    const HttpRequest sent = server.requests().at(0);
    EXPECT_EQ(joined_names(sent), "X-One;");
    EXPECT_EQ(sent.header("Expect"), "");
}

TEST(HttpRequest, CookiesGoOutAsPairsOrAsTheirOwnLine) {
    LocalHttpServer server([](const HttpRequest&) { return HttpReply::ok(""); });
    struct Case {
        Text cookies;
        Text extra_headers;
        std::string sent;
    };
    const std::vector<Case> cases = {
        {"a=1", "", "a=1"},
        {"Cookie: a=1; b=2", "", "a=1; b=2"},
        {"a=1", "Cookie: z=9", "z=9"},
    };
    for (const auto& c : cases) {
        HttpRequestOptions options;
        options.cookies = c.cookies;
        options.extra_headers = c.extra_headers;
        send_http_request(server.url(), options);
        EXPECT_EQ(server.requests().back().header("Cookie"), c.sent) << c.cookies;
    }
}

TEST(HttpRequest, SetCookieLinesComeBackInCookiesOut) {
    LocalHttpServer server([](const HttpRequest&) {
        return HttpReply::status(200, "OK",
                                 "Set-Cookie: sid=1; path=/\r\nset-cookie: lang=zh\r\n"
                                 "Set-Cookie: old=deleted; path=/\r\n");
    });
    struct Case {
        Text cookies;
        bool merge;
        Text cookies_out_before;
        Text cookies_out;
    };
    const std::vector<Case> cases = {
        {"", true, "", "sid=1; lang=zh; old=deleted"},
        {"a=1; sid=0; old=2", true, "", "sid=1; lang=zh; a=1"},
        {"Cookie: a=1", true, "", "sid=1; lang=zh; a=1"},
        {"a=1", false, "", "sid=1; lang=zh; old=deleted"},
        {"", true, "x=5", "x=5; sid=1; lang=zh; old=deleted"},
    };
    for (const auto& c : cases) {
        HttpRequestOptions options;
        options.cookies = c.cookies;
        options.auto_merge_cookies = c.merge;
        Text cookies_out = c.cookies_out_before;
        options.cookies_out = &cookies_out;
        send_http_request(server.url(), options);
        EXPECT_EQ(cookies_out, c.cookies_out) << c.cookies;
    }
}

TEST(HttpRequest, RedirectIsReportedWhenNotFollowedAndFollowedOtherwise) {
    LocalHttpServer server([](const HttpRequest& request) {
        if (request.target == "/old") {
            return HttpReply::status(302, "Found", "Location: /new\r\n", "moved");
        }
        return HttpReply::ok("new page");
    });
    Text location = "kept";
    Text status;
    Text headers;
    HttpRequestOptions options;
    options.location_out = &location;
    options.status_out = &status;
    options.headers_out = &headers;

    options.no_redirect = true;
    EXPECT_EQ(send_http_request(server.url("/old"), options), "moved");
    EXPECT_EQ(location, "/new");
    EXPECT_EQ(status, "302 Found");

    location = "kept";
    options.no_redirect = false;
    EXPECT_EQ(send_http_request(server.url("/old"), options), "new page");
    EXPECT_EQ(location, "kept");
    EXPECT_EQ(status, "200 OK");
    EXPECT_TRUE(headers.starts_with("HTTP/1.1 200 OK\r\n")) << headers;
    EXPECT_TRUE(headers.ends_with("\r\n\r\n")) << headers;
    EXPECT_EQ(headers.find("302"), std::string::npos) << headers;
}

TEST(HttpRequest, ServerCredentialsAreSentOnlyWhenBothAreGiven) {
    LocalHttpServer server([](const HttpRequest&) { return HttpReply::ok(""); });
    HttpRequestOptions options;
    options.user = "user";
    options.password = "pa:ss";
    send_http_request(server.url(), options);
    EXPECT_EQ(server.requests().at(0).header("Authorization"), "Basic dXNlcjpwYTpzcw==");

    options.password.clear();
    send_http_request(server.url(), options);
    EXPECT_EQ(server.requests().at(1).header("Authorization"), "");
}

TEST(HttpRequest, ProxyVariablesOfTheEnvironmentAreIgnored) {
    LocalHttpServer server([](const HttpRequest&) { return HttpReply::ok("direct"); });
    std::string dead_proxy = "http://127.0.0.1:" + std::to_string(LocalHttpServer::refused_port());
    set_variable("http_proxy", dead_proxy);
    set_variable("ALL_PROXY", dead_proxy);
    Text result = send_http_request(server.url());
    unset_variable("http_proxy");
    unset_variable("ALL_PROXY");
    EXPECT_EQ(result, "direct");
}

TEST(HttpRequest, NetworkFailuresGiveTheirNumberedTextsAndLeaveOutputsAlone) {
    LocalHttpServer silent([](const HttpRequest&) {
        HttpReply reply;
        reply.mode = HttpReply::Mode::NeverAnswer;
        return reply;
    });
    LocalHttpServer closing([](const HttpRequest&) {
        HttpReply reply;
        reply.mode = HttpReply::Mode::Close;
        return reply;
    });
    struct Case {
        Text url;
        std::string status_utf8;
    };
    const std::vector<Case> cases = {
        {"not a url", "701 解析URL地址失败!"},
        {"ftp://127.0.0.1/", "701 解析URL地址失败!"},
        {"http://", "701 解析URL地址失败!"},
        {Text("http://127.0.0.1:" + std::to_string(LocalHttpServer::refused_port()) + "/"),
         "711 发送请求失败!"},
        {Text(silent.url()), "712 服务器未响应!"},
        {Text(closing.url()), "712 服务器未响应!"},
    };
    for (const auto& c : cases) {
        Text status;
        Text untouched = "kept";
        ByteSet body_bytes = ByteSet::from_string("kept");
        HttpRequestOptions options;
        options.timeout_seconds = 1;
        options.status_out = &status;
        options.headers_out = &untouched;
        options.cookies_out = &untouched;
        options.body_bytes_out = &body_bytes;
        EXPECT_EQ(send_http_request(c.url, options), "") << c.url;
        EXPECT_EQ(status, gb(c.status_utf8)) << c.url;
        EXPECT_EQ(untouched, "kept") << c.url;
        EXPECT_EQ(body_bytes.to_string(), "kept") << c.url;
    }
}

// A server that breaks off after its headers: whatever body bytes arrived are kept, the read
// is reported, and the next request to the same server is answered as usual.
TEST(HttpRequest, BodyCutShortKeepsItsBytesAndReportsTheRead) {
    struct Case {
        const char* name;
        std::string head;
        std::string sent;  // after the head
        HttpReply::Mode mode;
        std::string kept;
    };
    const std::string length_head = "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n";
    const std::string chunked_head = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n";
    const Case cases[] = {
        {"closed after half the length", length_head + "Connection: close\r\n", "abc",
         HttpReply::Mode::Send, "abc"},
        {"reset after half the length", length_head, "abc", HttpReply::Mode::Reset, "abc"},
        {"closed inside a chunk", chunked_head + "Connection: close\r\n", "3\r\nabc\r\n8\r\nde",
         HttpReply::Mode::Send, "abcde"},
        {"garbage for a chunk size", chunked_head, "3\r\nabc\r\nzz\xff\r\n\r\n",
         HttpReply::Mode::Send, "abc"},
        {"reset with no body", length_head, "", HttpReply::Mode::Reset, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bool broken = true;
        LocalHttpServer server([&](const HttpRequest&) {
            if (!std::exchange(broken, false)) {
                return HttpReply::ok("whole");
            }
            HttpReply reply;
            reply.raw = c.head + "\r\n" + c.sent;
            reply.mode = c.mode;
            return reply;
        });
        Text status;
        Text headers;
        ByteSet body_bytes;
        HttpRequestOptions options;
        options.status_out = &status;
        options.headers_out = &headers;
        options.body_bytes_out = &body_bytes;
        EXPECT_EQ(send_http_request(server.url(), options), Text(c.kept));
        // wine's WinHTTP ends a chunked body without an error where the connection breaks or a
        // chunk size is garbage, so only the bytes show the cut there.
        const bool cut_shows = !kWine || c.head.find("chunked") == std::string::npos;
        EXPECT_TRUE(!cut_shows || status == gb("713 读取数据失败!")) << status;
        EXPECT_EQ(headers.bytes(), c.head + "\r\n");
        EXPECT_EQ(body_bytes.to_string(), c.kept);
        EXPECT_EQ(send_http_request(server.url(), options), "whole");
        EXPECT_EQ(status, "200 OK");
    }
}

// Runs send_http_request on another thread, so that a request that never ends fails the test
// instead of stalling it. The bound only guards against a hang.
Text request_within_bound(const Text& url, const HttpRequestOptions& options) {
    auto result = std::async(std::launch::async, [&] { return send_http_request(url, options); });
    if (result.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
        ADD_FAILURE() << "the request did not return";
        std::abort();  // the request still uses `options`; nothing safe is left to do
    }
    return result.get();
}

// A quiet server that answers late still answers within the time-out.
TEST(HttpRequest, AnswerAfterASilenceArrivesWithinTheTimeOut) {
    LocalHttpServer late([](const HttpRequest&) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2500));
        return HttpReply::ok("late");
    });
    for (int seconds : {0, -5, 5}) {
        HttpRequestOptions options;
        options.timeout_seconds = seconds;
        EXPECT_EQ(send_http_request(late.url(), options), "late") << seconds;
    }
}

// An answer that trickles in never holds the caller past the time-out, however steadily its
// bytes come: what arrived by then is kept, as for a read that failed.
TEST(HttpRequest, TimeOutBoundsTheWholeExchange) {
    const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n";
    struct Case {
        const char* name;
        std::size_t drip_from;  // bytes sent at once; the rest one every 300 ms
        std::string status_utf8;
        bool headers;
    };
    const Case cases[] = {
        {"body trickles", head.size() + 3, "713 读取数据失败!", true},
        {"headers trickle", 9, "712 服务器未响应!", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LocalHttpServer trickling([&](const HttpRequest&) {
            HttpReply reply;
            reply.raw = head + std::string(1000, 'x');
            reply.drip_delay = std::chrono::milliseconds(300);
            reply.drip_from = c.drip_from;
            return reply;
        });
        Text status;
        Text headers = "kept";
        ByteSet body_bytes;
        HttpRequestOptions options;
        options.timeout_seconds = 2;
        options.status_out = &status;
        options.headers_out = &headers;
        options.body_bytes_out = &body_bytes;
        const Text body = request_within_bound(Text(trickling.url()), options);
        EXPECT_EQ(status, gb(c.status_utf8));
        if (c.headers) {
            // Three bytes at once, then one every 300 ms for at most 2 s.
            EXPECT_GE(body.size(), 3u);
            EXPECT_LT(body.size(), 1000u);
            EXPECT_EQ(body, Text(body.size(), 'x'));
            EXPECT_EQ(body_bytes.to_string(), body.bytes());
            EXPECT_EQ(headers.bytes(), head);
        } else {
            EXPECT_EQ(body, "");
            EXPECT_EQ(headers, "kept");
        }
        trickling.stop();
    }
}

TEST(HttpRequest, AnswersAreDecodedFromTheirDeclaredCharset) {
    const std::string chinese_utf8 = "中文";
    const Text chinese_gb = gb(chinese_utf8);
    struct Case {
        std::string name;
        std::string content_type;
        std::string body;
        Text expected;
    };
    const std::string utf8_page =
        "<html><head><META http-equiv=\"Content-Type\" content=\"text/html; CHARSET=UTF-8\">"
        "</head><body>" +
        chinese_utf8 + "</body></html>";
    const std::string gbk_page =
        "<html><head><meta charset=\"gbk\"></head><body>" + chinese_gb.bytes() + "</body></html>";
    const std::string json = "{\"data\":[{\"title\":\"" + chinese_utf8 + "\"}]}";
    const std::string late_meta =
        std::string(1100, ' ') + "<meta charset=\"utf-8\">" + chinese_utf8;
    // Characters that GBK has and GB2312 lacks: a strict GB2312 decoder turns them into "?".
    const auto gbk_only_page = [](const std::string& head) {
        return "<html><head>" + head + "</head><body>" + gb("丟喆镕堃").bytes() + "</body></html>";
    };
    const std::vector<Case> cases = {
        {"meta utf-8", "text/html", utf8_page,
         "<html><head><META http-equiv=\"Content-Type\" content=\"text/html; CHARSET=UTF-8\">"
         "</head><body>" +
             chinese_gb + "</body></html>"},
        {"meta gbk", "text/html", gbk_page, Text(gbk_page)},
        {"header utf-8", "application/json; charset=UTF-8", json,
         "{\"data\":[{\"title\":\"" + chinese_gb + "\"}]}"},
        {"header GBK wins over meta", "text/html; charset=\"GBK\"",
         "<meta charset=utf-8>" + chinese_gb.bytes(), "<meta charset=utf-8>" + chinese_gb},
        {"unknown charset", "text/plain; charset=no-such-set", chinese_utf8, Text(chinese_utf8)},
        {"no charset", "text/plain", chinese_utf8, Text(chinese_utf8)},
        {"meta past 1024 bytes", "text/html", late_meta, Text(late_meta)},
        {"meta GB2312", "text/html", gbk_only_page("<meta charset=\"GB2312\">"),
         Text(gbk_only_page("<meta charset=\"GB2312\">"))},
        {"meta Gb2312 in content", "text/html",
         gbk_only_page("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Gb2312\">"),
         Text(gbk_only_page(
             "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Gb2312\">"))},
        {"meta GBK", "text/html", gbk_only_page("<meta charset=GBK>"),
         Text(gbk_only_page("<meta charset=GBK>"))},
        {"header GB2312", "text/html; charset=GB2312", gbk_only_page(""), Text(gbk_only_page(""))},
    };
    for (const auto& c : cases) {
        LocalHttpServer server(
            [&](const HttpRequest&) { return HttpReply::ok(c.body, c.content_type); });
        ByteSet body_bytes;
        HttpRequestOptions options;
        options.body_bytes_out = &body_bytes;
        EXPECT_EQ(send_http_request(server.url(), options), c.expected) << c.name;
        EXPECT_EQ(body_bytes.to_string(), c.body) << c.name;
    }
}

// HTTPS and the proxy, with a CA and certificates made for this run.
class HttpRequestTls : public ::testing::Test {
protected:
#ifdef _WIN32
    // The suite's fixture has made them, in the helper servers' folder.
    static void SetUpTestSuite() {
        const char* dir = std::getenv("WAVLON_TEST_HELPERS");
        s_dir = dir != nullptr ? dir : "";
        s_made = !s_dir.empty() && std::filesystem::exists(file("ca.pem"));
        platform::set_http_extra_ca_file(file("ca.pem"));
    }
    static void TearDownTestSuite() {
        platform::set_http_extra_ca_file("");
    }
    void SetUp() override {
        if (s_dir.empty()) {
            GTEST_SKIP() << "the helper servers start from the suite's CTest fixture";
        }
        ASSERT_TRUE(s_made) << "the fixture made no certificates";
    }
#else
    static void SetUpTestSuite() {
        char pattern[] = "/tmp/wavlon-tls-XXXXXX";
        if (::mkdtemp(pattern) == nullptr) {
            return;
        }
        s_dir = pattern;
        // A CA with a server certificate for 127.0.0.1 that it signed, and a self-signed one.
        const std::string key = " -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2";
        const std::vector<std::string> commands = {
            "openssl req -x509" + key + " -keyout ca.key -out ca.pem -subj '/CN=Wavlon Test CA'",
            "openssl req" + key + " -keyout server.key -out server.csr -subj '/CN=127.0.0.1'",
            "printf 'subjectAltName=IP:127.0.0.1,DNS:localhost\\n' > san.ext",
            "openssl x509 -req -days 2 -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial"
            " -out server.pem -extfile san.ext",
            "openssl req -x509" + key +
                " -keyout self.key -out self.pem -subj '/CN=127.0.0.1'"
                " -addext 'subjectAltName=IP:127.0.0.1'",
        };
        s_made = true;
        for (const auto& command : commands) {
            std::string line = "cd '" + s_dir + "' && " + command + " >/dev/null 2>&1";
            s_made = s_made && std::system(line.c_str()) == 0;
        }
        platform::set_http_extra_ca_file(s_dir + "/ca.pem");
    }
    static void TearDownTestSuite() {
        platform::set_http_extra_ca_file("");
        if (!s_dir.empty()) {
            std::filesystem::remove_all(s_dir);
        }
    }
    void SetUp() override {
        ASSERT_TRUE(s_made) << "openssl could not make the certificates";
    }
#endif

    static std::string file(const char* name) {
        return s_dir + "/" + name;
    }
    static Text https_url(int port, const char* path) {
        return Text("https://127.0.0.1:" + std::to_string(port) + path);
    }

    static inline std::string s_dir;
    static inline bool s_made = false;
};

TEST_F(HttpRequestTls, TrustedCertificateAnswersAndAnUntrustedOneFails) {
    ScriptServer trusted("tls_server.py", {file("server.pem"), file("server.key")});
    ScriptServer untrusted("tls_server.py", {file("self.pem"), file("self.key")});
    Text status;
    HttpRequestOptions options;
    options.status_out = &status;

    EXPECT_EQ(send_http_request(https_url(trusted.port(), "/secure?q=1"), options),
              "secure GET /secure?q=1");
    EXPECT_EQ(status, "200 OK");

    EXPECT_EQ(send_http_request(https_url(untrusted.port(), "/"), options), "");
    EXPECT_EQ(status, gb("711 发送请求失败!"));
}

TEST_F(HttpRequestTls, ProxyForwardsAndTunnelsWithItsCredentials) {
    LocalHttpServer origin([](const HttpRequest& request) {
        return HttpReply::ok("via " + request.header("X-Test-Proxy"));
    });
    ScriptServer tls("tls_server.py", {file("server.pem"), file("server.key")});
    ScriptServer proxy("proxy_server.py", {"proxy-user", "proxy-secret"});
    Text status;
    HttpRequestOptions options;
    options.proxy = Text("127.0.0.1:" + std::to_string(proxy.port()));
    options.proxy_user = "proxy-user";
    options.proxy_password = "proxy-secret";
    options.status_out = &status;

    // wine's WinHTTP sends a proxy the path alone instead of the whole address, and opens no
    // tunnel through a proxy that asks for credentials (the CONNECT stays unanswered).
    if (!kWine) {
        EXPECT_EQ(send_http_request(origin.url("/plain"), options), "via forwarded");
        EXPECT_EQ(origin.requests().at(0).target, "/plain");
        EXPECT_EQ(send_http_request(https_url(tls.port(), "/tunnel"), options),
                  "secure GET /tunnel");
    }

    options.proxy_password = "wrong";
    EXPECT_EQ(send_http_request(origin.url("/plain"), options), "");
    EXPECT_EQ(status, "407 Proxy Authentication Required");
    if (!kWine) {
        EXPECT_EQ(send_http_request(https_url(tls.port(), "/tunnel"), options), "");
        EXPECT_EQ(status, gb("711 发送请求失败!"));
    }
}

}  // namespace
}  // namespace wavlon::network
