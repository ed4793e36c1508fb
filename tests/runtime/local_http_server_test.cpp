#include "support/local_http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace wavlon::testing {
namespace {

using namespace std::chrono_literals;

// A blocking client socket connected to 127.0.0.1:port.
class Client {
public:
    explicit Client(std::uint16_t port) {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(port);
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        m_connected = ::connect(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    }
    ~Client() { ::close(m_fd); }
    bool connected() const { return m_connected; }
    void send(const std::string& bytes) {
        ASSERT_EQ(::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(bytes.size()));
    }
    // Reads until `size` bytes arrived, the peer closed, or nothing came for `idle`.
    std::string receive(std::size_t size, std::chrono::milliseconds idle = 5000ms) {
        std::string out;
        while (out.size() < size) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(idle.count())) <= 0) {
                break;
            }
            char buf[4096];
            ssize_t n = ::recv(m_fd, buf, sizeof buf, 0);
            if (n <= 0) {
                m_closed = true;
                break;
            }
            out.append(buf, static_cast<std::size_t>(n));
        }
        return out;
    }
    bool closed() const { return m_closed; }

private:
    int m_fd;
    bool m_connected = false;
    bool m_closed = false;
};

TEST(LocalHttpServer, ParsesRequestAndKeepsConnectionAliveForNextRequest) {
    LocalHttpServer server([](const HttpRequest& r) { return HttpReply::ok("got " + r.body); });
    Client client(server.port());
    ASSERT_TRUE(client.connected());
    client.send("POST /a?x=1 HTTP/1.1\r\nHost: h\r\ncontent-length: 5\r\nX-Y:  z \r\n\r\nhello");
    std::string expected = HttpReply::ok("got hello").raw;
    EXPECT_EQ(client.receive(expected.size()), expected);

    client.send("GET /b HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n0\r\n\r\n");
    expected = HttpReply::ok("got abc").raw;
    EXPECT_EQ(client.receive(expected.size()), expected);

    auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].target, "/a?x=1");
    EXPECT_EQ(requests[0].header("X-y"), "z");
    EXPECT_EQ(requests[0].header("Missing"), "");
    EXPECT_EQ(requests[0].header_block, "Host: h\r\ncontent-length: 5\r\nX-Y:  z ");
    EXPECT_EQ(requests[1].target, "/b");
    EXPECT_EQ(requests[1].body, "abc");
}

TEST(LocalHttpServer, ReplyWithoutLengthClosesTheConnection) {
    LocalHttpServer server([](const HttpRequest&) { return HttpReply::ok("body", "a/b", false); });
    Client client(server.port());
    client.send("GET / HTTP/1.1\r\n\r\n");
    EXPECT_EQ(client.receive(1 << 20), HttpReply::ok("body", "a/b", false).raw);
    EXPECT_TRUE(client.closed());
}

TEST(LocalHttpServer, CloseModeHangsUpWithoutAnswer) {
    LocalHttpServer server([](const HttpRequest&) {
        HttpReply reply;
        reply.mode = HttpReply::Mode::Close;
        return reply;
    });
    Client client(server.port());
    client.send("GET / HTTP/1.1\r\n\r\n");
    EXPECT_EQ(client.receive(1), "");
    EXPECT_TRUE(client.closed());
}

TEST(LocalHttpServer, DripSendsWholeReply) {
    LocalHttpServer server([](const HttpRequest&) {
        HttpReply reply = HttpReply::status(404, "Not Found", "X-A: 1\r\n", "no");
        reply.drip_delay = 1ms;
        return reply;
    });
    Client client(server.port());
    client.send("GET / HTTP/1.1\r\n\r\n");
    const std::string expected = "HTTP/1.1 404 Not Found\r\nX-A: 1\r\nContent-Length: 2\r\n\r\nno";
    EXPECT_EQ(client.receive(expected.size()), expected);
}

TEST(LocalHttpServer, DestructorReturnsWithUnansweredAndDrippingConnections) {
    Client* held = nullptr;
    Client* dripping = nullptr;
    {
        LocalHttpServer server([](const HttpRequest& r) {
            HttpReply reply = HttpReply::ok(std::string(1000, 'x'));
            if (r.target == "/never") {
                reply.mode = HttpReply::Mode::NeverAnswer;
            } else {
                reply.drip_delay = 10s;
            }
            return reply;
        });
        held = new Client(server.port());
        dripping = new Client(server.port());
        held->send("GET /never HTTP/1.1\r\n\r\n");
        dripping->send("GET /drip HTTP/1.1\r\n\r\n");
        ASSERT_TRUE(server.wait_for_requests(2, 5s));
        EXPECT_EQ(held->receive(1, 100ms), "");
    }
    // The server is gone: both connections were closed rather than left hanging.
    EXPECT_EQ(held->receive(1), "");
    EXPECT_TRUE(held->closed());
    dripping->receive(1 << 20);
    EXPECT_TRUE(dripping->closed());
    delete held;
    delete dripping;
}

TEST(LocalHttpServer, RefusedPortRefusesConnections) {
    Client client(LocalHttpServer::refused_port());
    EXPECT_FALSE(client.connected());
}

}  // namespace
}  // namespace wavlon::testing
