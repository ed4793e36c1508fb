#include "platform/network_check.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <future>
#include <string>

#include "support/local_http_server.h"

namespace wavlon::platform {
namespace {

using namespace std::chrono_literals;
using testing::HttpReply;
using testing::HttpRequest;
using testing::LocalHttpServer;

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

TEST(NetworkCheck, SendsUncachedGetWithAgentTestAndNoProxy) {
    LocalHttpServer proxy([](const HttpRequest&) { return HttpReply::ok("from proxy"); });
    ::setenv("http_proxy", proxy.url().c_str(), 1);
    ::setenv("HTTP_PROXY", proxy.url().c_str(), 1);
    LocalHttpServer server([](const HttpRequest&) { return HttpReply::ok("page"); });
    bool reachable = network_available_at(server.url("/page?x=1"));
    ::unsetenv("http_proxy");
    ::unsetenv("HTTP_PROXY");

    EXPECT_TRUE(reachable);
    EXPECT_TRUE(proxy.requests().empty());
    ASSERT_EQ(server.requests().size(), 1u);
    const HttpRequest request = server.requests().front();
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.target, "/page?x=1");
    EXPECT_EQ(request.header("User-Agent"), "test");
    EXPECT_EQ(request.header("Cache-Control"), "no-cache");
    EXPECT_EQ(request.header("Pragma"), "no-cache");
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
