// A small HTTP/1.1 server on 127.0.0.1 for tests: real sockets, one thread, one handler.
//
// The handler sees each request (method, target, headers, body) and returns the raw bytes to
// send back, or asks for special behaviour (never answer, drip bytes slowly, close without
// answering). Every request is recorded for the test to inspect.
//
// Each connection is served on its own thread, so a connection held open (NeverAnswer) or a
// slow drip does not block other clients. The handler runs on those threads, one call at a
// time. Connections stay open for further requests (keep-alive) when the client wants it and
// the reply has a Content-Length or chunked body; "Expect: 100-continue" is answered, and
// request bodies may use Content-Length or chunked encoding.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace wavlon::testing {

struct HttpRequest {
    std::string method;
    std::string target;        // as sent: path and query
    std::string header_block;  // raw header lines after the request line, CRLF-separated
    std::vector<std::pair<std::string, std::string>> headers;  // in order, names as sent
    std::string body;
    std::string header(const std::string& name) const;  // case-insensitive; "" when missing
};

struct HttpReply {
    std::string raw;  // bytes written as they stand (status line, headers, body)
    // Reset: `raw` is sent, then after a short pause the connection is reset (TCP RST), as
    // when the server process dies mid-answer.
    enum class Mode { Send, Close, NeverAnswer, Reset } mode = Mode::Send;
    // With a non-zero delay, `raw` is written one byte at a time with this pause between,
    // from byte `drip_from` on; the bytes before it go out at once.
    std::chrono::milliseconds drip_delay{0};
    std::size_t drip_from = 0;

    // A complete response with Content-Length (or without, closing the connection, when
    // `content_length` is false).
    static HttpReply ok(const std::string& body, const std::string& content_type = "text/plain",
                        bool content_length = true);
    static HttpReply status(int code, const std::string& reason,
                            const std::string& extra_headers = "", const std::string& body = "");
};

class LocalHttpServer {
public:
    using Handler = std::function<HttpReply(const HttpRequest&)>;

    // Listens on 127.0.0.1 on a free port. Throws std::runtime_error when it cannot.
    explicit LocalHttpServer(Handler handler);
    // Stops (see stop()).
    ~LocalHttpServer();
    LocalHttpServer(const LocalHttpServer&) = delete;
    LocalHttpServer& operator=(const LocalHttpServer&) = delete;

    std::uint16_t port() const { return m_port; }
    std::string url(const std::string& path = "/") const;  // http://127.0.0.1:<port><path>
    std::vector<HttpRequest> requests() const;
    // Waits until at least `count` requests have arrived; false when `timeout` passed first.
    bool wait_for_requests(std::size_t count, std::chrono::milliseconds timeout);

    // Stops accepting, closes every open connection (also NeverAnswer and dripping ones) and
    // joins all threads; returns promptly. Idempotent. The handler is not called afterwards.
    void stop();

    // A port on 127.0.0.1 where nothing listens (connections are refused).
    static std::uint16_t refused_port();

private:
    void serve();
    void serve_connection(int fd);
    // Sleeps up to `delay` (forever when negative); true when the server is stopping.
    bool wait_for_stop(std::chrono::milliseconds delay);
    Handler m_handler;
    int m_listen_fd = -1;
    int m_wake_fd[2] = {-1, -1};
    std::uint16_t m_port = 0;
    mutable std::mutex m_mutex;
    std::vector<HttpRequest> m_requests;
    struct Thread;
    Thread* m_thread = nullptr;
};

}  // namespace wavlon::testing
