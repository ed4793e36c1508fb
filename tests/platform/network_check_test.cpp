#include "platform/network_check.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <future>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "support/environment.h"
#include "support/local_http_server.h"

namespace wavlon::platform {
namespace {

using namespace std::chrono_literals;
using testing::HttpReply;
using testing::HttpRequest;
using testing::LocalHttpServer;

using testing::set_variable;
using testing::unset_variable;

// Sets exactly these proxy variables for its lifetime (every other one libcurl reads is
// removed) and restores the environment afterwards.
class ProxyEnvironment {
public:
    explicit ProxyEnvironment(const std::vector<std::pair<const char*, std::string>>& variables) {
        for (const char* name : kNames) {
            const char* value = std::getenv(name);
            m_saved.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
            unset_variable(name);
        }
        for (const auto& [name, value] : variables) {
            set_variable(name, value);
        }
    }
    ~ProxyEnvironment() {
        for (const auto& [name, value] : m_saved) {
            if (value) {
                set_variable(name, *value);
            } else {
                unset_variable(name);
            }
        }
    }
    ProxyEnvironment(const ProxyEnvironment&) = delete;
    ProxyEnvironment& operator=(const ProxyEnvironment&) = delete;

private:
    static constexpr const char* kNames[] = {"http_proxy",  "HTTP_PROXY", "https_proxy",
                                             "HTTPS_PROXY", "all_proxy",  "ALL_PROXY",
                                             "no_proxy",    "NO_PROXY"};
    std::vector<std::pair<const char*, std::optional<std::string>>> m_saved;
};

// Runs the check on another thread, so that a check that hangs fails the test instead of
// stalling it.
bool check_within_bound(const std::string& url, std::chrono::milliseconds connect,
                        std::chrono::milliseconds total) {
    auto result =
        std::async(std::launch::async, [&] { return network_available_at(url, connect, total); });
    if (result.wait_for(30s) != std::future_status::ready) {
        ADD_FAILURE() << "network check did not return";
        std::abort();  // the check still uses `url`; nothing safe is left to do
    }
    return result.get();
}

TEST(NetworkCheck, AnyHttpAnswerMeansReachable) {
    for (int status : {200, 302, 404, 503}) {
        LocalHttpServer server([&](const HttpRequest&) {
            return HttpReply::status(status, "Whatever", "Location: /elsewhere\r\n", "body");
        });
        EXPECT_TRUE(network_available_at(server.url("/check"))) << status;
    }
}

TEST(NetworkCheck, SendsUncachedGetWithAgentTest) {
    ProxyEnvironment direct({});
    LocalHttpServer server([](const HttpRequest&) { return HttpReply::ok("page"); });
    EXPECT_TRUE(network_available_at(server.url("/page?x=1")));

    ASSERT_EQ(server.requests().size(), 1u);
    const HttpRequest request = server.requests().front();
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.target, "/page?x=1");
    EXPECT_EQ(request.header("User-Agent"), "test");
    EXPECT_EQ(request.header("Cache-Control"), "no-cache");
    EXPECT_EQ(request.header("Pragma"), "no-cache");
}

// Behind a proxy the check page is reachable only through it: a host name that does not
// resolve here stands for the outside world, and the proxy records what it was asked.
TEST(NetworkCheck, ProxyOfTheEnvironmentIsUsed) {
#ifdef _WIN32
    GTEST_SKIP() << "WinINet takes its proxy from the Internet settings; wine's adds the "
                    "http_proxy variable only as it was when the process started";
#endif
    LocalHttpServer proxy([](const HttpRequest& request) {
        return request.method == "CONNECT" ? HttpReply::status(403, "Forbidden")
                                           : HttpReply::ok("from proxy");
    });
    LocalHttpServer direct([](const HttpRequest&) { return HttpReply::ok("page"); });
    const std::string dead = "http://127.0.0.1:" + std::to_string(LocalHttpServer::refused_port());
    const std::string outside = "http://wavlon-check.invalid/page";
    struct Case {
        const char* name;
        std::vector<std::pair<const char*, std::string>> variables;
        std::string url;
        bool reachable;
        std::string proxied;  // the request line's target the proxy saw; "" for none
    };
    const Case cases[] = {
        {"http_proxy", {{"http_proxy", proxy.url()}}, outside, true, outside},
        {"ALL_PROXY", {{"ALL_PROXY", proxy.url()}}, outside, true, outside},
        {"https_proxy tunnels",
         {{"https_proxy", proxy.url()}},
         "https://wavlon-check.invalid/",
         false,
         "wavlon-check.invalid:443"},
        {"proxy that is down", {{"http_proxy", dead}}, direct.url(), false, ""},
        {"no_proxy goes direct",
         {{"http_proxy", dead}, {"no_proxy", "127.0.0.1"}},
         direct.url(),
         true,
         ""},
    };
    std::size_t seen = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ProxyEnvironment environment(c.variables);
        EXPECT_EQ(check_within_bound(c.url, 5s, 10s), c.reachable);
        const std::vector<HttpRequest> requests = proxy.requests();
        if (c.proxied.empty()) {
            EXPECT_EQ(requests.size(), seen);
            continue;
        }
        ASSERT_EQ(requests.size(), seen + 1);
        EXPECT_EQ(requests.back().target, c.proxied);
        if (requests.back().method != "CONNECT") {
            EXPECT_EQ(requests.back().method, "GET");
            EXPECT_EQ(requests.back().header("User-Agent"), "test");
        }
        seen = requests.size();
    }
    EXPECT_EQ(direct.requests().size(), 1u);  // only the no_proxy case reached it
}

TEST(NetworkCheck, HeadersSufficeWithoutTheBody) {
    // The body is announced but never sent: waiting for it would last the whole time-out.
    LocalHttpServer server([](const HttpRequest&) {
        HttpReply reply;
        reply.raw = "HTTP/1.1 200 OK\r\nContent-Length: 1000000\r\n\r\nfirst bytes";
        return reply;
    });
    EXPECT_TRUE(check_within_bound(server.url(), 5s, 120s));
}

TEST(NetworkCheck, NoAnswerMeansUnreachable) {
    LocalHttpServer silent([](const HttpRequest&) {
        HttpReply reply;
        reply.mode = HttpReply::Mode::NeverAnswer;
        return reply;
    });
    EXPECT_FALSE(check_within_bound(silent.url(), 1s, 300ms));

    LocalHttpServer hang_up([](const HttpRequest&) {
        HttpReply reply;
        reply.mode = HttpReply::Mode::Close;
        return reply;
    });
    EXPECT_FALSE(network_available_at(hang_up.url()));

    const std::string refused =
        "http://127.0.0.1:" + std::to_string(LocalHttpServer::refused_port()) + "/";
    EXPECT_FALSE(network_available_at(refused));
    EXPECT_FALSE(network_available_at("file:///etc/hostname"));
    EXPECT_FALSE(network_available_at("not a url"));
}

// The forms a check address may take, each reaching the server with the target it names (or
// nothing, for an address that names no reachable port).
TEST(NetworkCheck, AddressFormsReachTheirTarget) {
    ProxyEnvironment direct({});
    LocalHttpServer server([](const HttpRequest&) { return HttpReply::ok("page"); });
    const std::string port = server.url().substr(std::string("http://127.0.0.1:").size());
    const std::string authority = "127.0.0.1:" + port.substr(0, port.find('/'));
    const std::pair<std::string, std::string> cases[] = {
        {"http://" + authority, "/"},
        {"HTTP://" + authority + "/a/b", "/a/b"},
        {"http://" + authority + "?q=1", "/?q=1"},
        {"http://127.0.0.1:99999/", ""},
    };
    for (const auto& [url, target] : cases) {
        const std::size_t before = server.requests().size();
        EXPECT_EQ(network_available_at(url, 1s, 2s), !target.empty()) << url;
        if (!target.empty()) {
            ASSERT_EQ(server.requests().size(), before + 1) << url;
            EXPECT_EQ(server.requests().back().target, target) << url;
        }
    }
}

TEST(NetworkCheck, CheckPageCanBeRedirectedForTests) {
    LocalHttpServer server([](const HttpRequest&) { return HttpReply::ok("page"); });
    set_network_check_url(server.url("/start"));
    EXPECT_TRUE(network_available());
    set_network_check_url("");
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests().front().target, "/start");
}

}  // namespace
}  // namespace wavlon::platform
