#include "support/local_http_server.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace wavlon::testing {

namespace {

// The few calls that differ between POSIX sockets and Winsock. Sockets are kept as int on
// both: Winsock's handles are small numbers too.
#ifdef _WIN32
constexpr int kNoSignal = 0;
constexpr int kShutBoth = SD_BOTH;

int start_sockets() {
    static std::once_flag once;
    std::call_once(once, [] {
        WSADATA data;
        if (::WSAStartup(MAKEWORD(2, 2), &data) != 0) {
            throw std::runtime_error("LocalHttpServer: WSAStartup failed");
        }
    });
    return 0;
}

int new_socket() {
    start_sockets();
    const SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
    return s == INVALID_SOCKET ? -1 : static_cast<int>(s);
}

void close_socket(int fd) {
    ::closesocket(static_cast<SOCKET>(fd));
}

int accept_connection(int listen_fd) {
    const SOCKET s = ::accept(static_cast<SOCKET>(listen_fd), nullptr, nullptr);
    return s == INVALID_SOCKET ? -1 : static_cast<int>(s);
}

int poll_sockets(pollfd* fds, unsigned count, int timeout_ms) {
    return ::WSAPoll(fds, count, timeout_ms);
}

int wake(int fd, char byte) {
    return ::send(static_cast<SOCKET>(fd), &byte, 1, 0);
}
#else
constexpr int kNoSignal = MSG_NOSIGNAL;
constexpr int kShutBoth = SHUT_RDWR;

int new_socket() {
    return ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
}

void close_socket(int fd) {
    ::close(fd);
}

int accept_connection(int listen_fd) {
    return ::accept4(listen_fd, nullptr, nullptr, SOCK_CLOEXEC);
}

int poll_sockets(pollfd* fds, unsigned count, int timeout_ms) {
    return ::poll(fds, count, timeout_ms);
}

int wake(int fd, char byte) {
    return static_cast<int>(::write(fd, &byte, 1));
}
#endif

pollfd poll_entry(int fd, short events) {
    pollfd entry{};
    entry.fd = static_cast<decltype(entry.fd)>(fd);
    entry.events = events;
    return entry;
}

bool iequals(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string trim(const std::string& s) {
    std::size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) {
        return {};
    }
    std::size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

std::string lower(std::string s) {
    for (char& c : s) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return s;
}

sockaddr_in loopback(std::uint16_t port) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return addr;
}

std::uint16_t bound_port(int fd) {
    sockaddr_in addr{};
    socklen_t len = sizeof addr;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        throw std::runtime_error("LocalHttpServer: getsockname failed");
    }
    return ntohs(addr.sin_port);
}

// A connected pair of sockets: writing a byte to [1] wakes every poll() on [0]. A pipe does
// the same on POSIX; Winsock polls sockets only.
bool make_wake_pair(int fds[2]) {
#ifdef _WIN32
    const int listener = new_socket();
    sockaddr_in addr = loopback(0);
    bool ok = listener >= 0 &&
              ::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
              ::listen(listener, 1) == 0;
    if (ok) {
        addr = loopback(bound_port(listener));
        fds[1] = new_socket();
        ok = fds[1] >= 0 && ::connect(fds[1], reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
        const SOCKET accepted = ok ? ::accept(listener, nullptr, nullptr) : INVALID_SOCKET;
        fds[0] = accepted == INVALID_SOCKET ? -1 : static_cast<int>(accepted);
        ok = fds[0] >= 0;
    }
    if (listener >= 0) {
        close_socket(listener);
    }
    return ok;
#else
    return ::pipe2(fds, O_CLOEXEC) == 0;
#endif
}

// Reads one request from a connection. The buffer keeps bytes of a following pipelined
// request. Returns false when the peer closed, the server stops or the request is malformed.
class RequestReader {
public:
    RequestReader(int fd, int wake_fd) : m_fd(fd), m_wake_fd(wake_fd) {}

    bool read(HttpRequest& request, bool& keep_alive) {
        std::size_t end;
        while ((end = m_buffer.find("\r\n\r\n")) == std::string::npos) {
            if (!fill()) {
                return false;
            }
        }
        std::string head = m_buffer.substr(0, end);
        m_buffer.erase(0, end + 4);

        std::size_t line_end = head.find("\r\n");
        std::string request_line = head.substr(0, line_end);
        request.header_block = line_end == std::string::npos ? "" : head.substr(line_end + 2);
        std::size_t sp1 = request_line.find(' ');
        std::size_t sp2 = request_line.rfind(' ');
        if (sp1 == std::string::npos || sp2 == sp1) {
            return false;
        }
        request.method = request_line.substr(0, sp1);
        request.target = request_line.substr(sp1 + 1, sp2 - sp1 - 1);
        std::string version = request_line.substr(sp2 + 1);

        std::size_t pos = 0;
        const std::string& block = request.header_block;
        while (pos < block.size()) {
            std::size_t next = block.find("\r\n", pos);
            std::string line = block.substr(pos, next == std::string::npos ? next : next - pos);
            pos = next == std::string::npos ? block.size() : next + 2;
            std::size_t colon = line.find(':');
            if (colon != std::string::npos) {
                request.headers.emplace_back(line.substr(0, colon), trim(line.substr(colon + 1)));
            }
        }

        std::string connection = lower(request.header("Connection"));
        keep_alive = version == "HTTP/1.1" ? connection.find("close") == std::string::npos
                                           : connection.find("keep-alive") != std::string::npos;

        // Clients that ask before sending a large body wait for this interim answer.
        if (iequals(request.header("Expect"), "100-continue")) {
            static const char kContinue[] = "HTTP/1.1 100 Continue\r\n\r\n";
            if (::send(m_fd, kContinue, sizeof kContinue - 1, kNoSignal) < 0) {
                return false;
            }
        }

        if (lower(request.header("Transfer-Encoding")).find("chunked") != std::string::npos) {
            return read_chunked(request.body);
        }
        std::string length = request.header("Content-Length");
        if (!length.empty()) {
            std::size_t n = 0;
            try {
                n = std::stoul(length);
            } catch (const std::exception&) {
                return false;
            }
            if (!take(n, request.body)) {
                return false;
            }
        }
        return true;
    }

private:
    bool fill() {
        pollfd fds[2] = {poll_entry(m_fd, POLLIN), poll_entry(m_wake_fd, POLLIN)};
        for (;;) {
            int r = poll_sockets(fds, 2, -1);
            if (r < 0 && errno == EINTR) {
                continue;
            }
            if (r < 0 || (fds[1].revents & (POLLIN | POLLHUP)) != 0) {
                return false;
            }
            break;
        }
        char chunk[4096];
        const auto n = ::recv(m_fd, chunk, sizeof chunk, 0);
        if (n <= 0) {
            return false;
        }
        m_buffer.append(chunk, static_cast<std::size_t>(n));
        return true;
    }

    bool take(std::size_t n, std::string& out) {
        while (m_buffer.size() < n) {
            if (!fill()) {
                return false;
            }
        }
        out.append(m_buffer, 0, n);
        m_buffer.erase(0, n);
        return true;
    }

    bool take_line(std::string& line) {
        std::size_t end;
        while ((end = m_buffer.find("\r\n")) == std::string::npos) {
            if (!fill()) {
                return false;
            }
        }
        line = m_buffer.substr(0, end);
        m_buffer.erase(0, end + 2);
        return true;
    }

    bool read_chunked(std::string& body) {
        for (;;) {
            std::string line;
            if (!take_line(line)) {
                return false;
            }
            std::size_t size = 0;
            try {
                size = std::stoul(line, nullptr, 16);
            } catch (const std::exception&) {
                return false;
            }
            if (size == 0) {
                // Trailer lines up to the empty line end the body.
                do {
                    if (!take_line(line)) {
                        return false;
                    }
                } while (!line.empty());
                return true;
            }
            std::string crlf;
            if (!take(size, body) || !take(2, crlf)) {
                return false;
            }
        }
    }

    int m_fd;
    int m_wake_fd;
    std::string m_buffer;
};

// The header value of `name` in a raw response, or "" when missing.
std::string reply_header(const std::string& raw, const std::string& name) {
    std::size_t end = raw.find("\r\n\r\n");
    std::string head = lower(raw.substr(0, end));
    std::string key = "\r\n" + lower(name) + ":";
    std::size_t at = head.find(key);
    if (at == std::string::npos) {
        return {};
    }
    std::size_t value_end = head.find("\r\n", at + key.size());
    return trim(head.substr(at + key.size(), value_end - at - key.size()));
}

// A response keeps the connection usable only when its body has a known end.
bool reply_allows_keep_alive(const std::string& raw) {
    if (reply_header(raw, "Connection").find("close") != std::string::npos) {
        return false;
    }
    return !reply_header(raw, "Content-Length").empty() ||
           reply_header(raw, "Transfer-Encoding").find("chunked") != std::string::npos;
}

}  // namespace

std::string HttpRequest::header(const std::string& name) const {
    for (const auto& [key, value] : headers) {
        if (iequals(key, name)) {
            return value;
        }
    }
    return {};
}

HttpReply HttpReply::ok(const std::string& body, const std::string& content_type,
                        bool content_length) {
    HttpReply reply;
    reply.raw = "HTTP/1.1 200 OK\r\nContent-Type: " + content_type + "\r\n";
    if (content_length) {
        reply.raw += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    } else {
        reply.raw += "Connection: close\r\n";
    }
    reply.raw += "\r\n" + body;
    return reply;
}

HttpReply HttpReply::status(int code, const std::string& reason, const std::string& extra_headers,
                            const std::string& body) {
    HttpReply reply;
    reply.raw = "HTTP/1.1 " + std::to_string(code) + " " + reason + "\r\n" + extra_headers;
    if (!extra_headers.empty() && !extra_headers.ends_with("\r\n")) {
        reply.raw += "\r\n";
    }
    reply.raw += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    return reply;
}

struct LocalHttpServer::Thread {
    std::thread acceptor;
    std::mutex mutex;  // guards connections and fds
    std::vector<std::thread> connections;
    std::vector<int> fds;      // open connection sockets, shut down on stop
    std::mutex handler_mutex;  // handler calls never overlap
    std::condition_variable request_seen;
    bool stopped = false;
};

LocalHttpServer::LocalHttpServer(Handler handler) : m_handler(std::move(handler)) {
    m_listen_fd = new_socket();
    if (m_listen_fd < 0) {
        throw std::runtime_error("LocalHttpServer: socket failed");
    }
    int one = 1;
    ::setsockopt(m_listen_fd, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&one),
                 sizeof one);
    sockaddr_in addr = loopback(0);
    if (::bind(m_listen_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(m_listen_fd, 64) != 0) {
        close_socket(m_listen_fd);
        throw std::runtime_error("LocalHttpServer: cannot listen on 127.0.0.1");
    }
    m_port = bound_port(m_listen_fd);
    if (!make_wake_pair(m_wake_fd)) {
        close_socket(m_listen_fd);
        throw std::runtime_error("LocalHttpServer: pipe failed");
    }
    m_thread = new Thread;
    m_thread->acceptor = std::thread([this] { serve(); });
}

LocalHttpServer::~LocalHttpServer() {
    stop();
    close_socket(m_listen_fd);
    close_socket(m_wake_fd[0]);
    close_socket(m_wake_fd[1]);
    delete m_thread;
}

void LocalHttpServer::stop() {
    {
        std::lock_guard lock(m_thread->mutex);
        if (m_thread->stopped) {
            return;
        }
        m_thread->stopped = true;
        // Shutting the sockets down wakes connection threads blocked in send(); the pipe
        // wakes every poll().
        for (int fd : m_thread->fds) {
            ::shutdown(fd, kShutBoth);
        }
    }
    char byte = 1;
    while (wake(m_wake_fd[1], byte) < 0 && errno == EINTR) {
    }
    m_thread->acceptor.join();
    // No new connection threads start once the acceptor has ended.
    for (std::thread& t : m_thread->connections) {
        t.join();
    }
    m_thread->connections.clear();
}

std::string LocalHttpServer::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

std::vector<HttpRequest> LocalHttpServer::requests() const {
    std::lock_guard lock(m_mutex);
    return m_requests;
}

bool LocalHttpServer::wait_for_requests(std::size_t count, std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    return m_thread->request_seen.wait_for(lock, timeout,
                                           [&] { return m_requests.size() >= count; });
}

std::uint16_t LocalHttpServer::refused_port() {
    // A port the kernel just handed out and that is bound but not listening refuses
    // connections while this socket lives; after closing, it stays free for a long while
    // since ports are handed out in rising order.
    int fd = new_socket();
    sockaddr_in addr = loopback(0);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        throw std::runtime_error("LocalHttpServer: cannot find a free port");
    }
    std::uint16_t port = bound_port(fd);
    close_socket(fd);
    return port;
}

void LocalHttpServer::serve() {
    for (;;) {
        pollfd fds[2] = {poll_entry(m_listen_fd, POLLIN), poll_entry(m_wake_fd[0], POLLIN)};
        int r = poll_sockets(fds, 2, -1);
        if (r < 0 && errno == EINTR) {
            continue;
        }
        if (r < 0 || fds[1].revents != 0) {
            return;
        }
        int fd = accept_connection(m_listen_fd);
        if (fd < 0) {
            continue;
        }
        std::lock_guard lock(m_thread->mutex);
        if (m_thread->stopped) {
            close_socket(fd);
            return;
        }
        m_thread->fds.push_back(fd);
        m_thread->connections.emplace_back([this, fd] { serve_connection(fd); });
    }
}

bool LocalHttpServer::wait_for_stop(std::chrono::milliseconds delay) {
    pollfd fd = poll_entry(m_wake_fd[0], POLLIN);
    int r = poll_sockets(&fd, 1, static_cast<int>(delay.count()));
    return r > 0;
}

void LocalHttpServer::serve_connection(int fd) {
    RequestReader reader(fd, m_wake_fd[0]);
    bool reset = false;
    for (;;) {
        HttpRequest request;
        bool keep_alive = false;
        if (!reader.read(request, keep_alive)) {
            break;
        }
        {
            std::lock_guard lock(m_mutex);
            m_requests.push_back(request);
        }
        m_thread->request_seen.notify_all();
        HttpReply reply;
        {
            std::lock_guard lock(m_thread->handler_mutex);
            reply = m_handler(request);
        }
        if (reply.mode == HttpReply::Mode::Close) {
            break;
        }
        if (reply.mode == HttpReply::Mode::NeverAnswer) {
            // Hold the connection open, unanswered, until the server stops.
            wait_for_stop(std::chrono::milliseconds(-1));
            break;
        }
        bool sent = true;
        const std::size_t at_once = reply.drip_delay.count() > 0
                                        ? std::min(reply.drip_from, reply.raw.size())
                                        : reply.raw.size();
        std::size_t done = 0;
        while (sent && done < at_once) {
            const auto n = ::send(fd, reply.raw.data() + done, at_once - done, kNoSignal);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            sent = n > 0;
            done += sent ? static_cast<std::size_t>(n) : 0;
        }
        for (std::size_t i = at_once; i < reply.raw.size() && sent; ++i) {
            if (i > 0 && wait_for_stop(reply.drip_delay)) {
                sent = false;
                break;
            }
            sent = ::send(fd, reply.raw.data() + i, 1, kNoSignal) == 1;
        }
        if (sent && reply.mode == HttpReply::Mode::Reset) {
            // Time for the client to take in what was sent; then close with no linger, which
            // resets the connection instead of ending it.
            reset = !wait_for_stop(std::chrono::milliseconds(200));
            linger no_linger{1, 0};
            ::setsockopt(fd, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&no_linger),
                         sizeof no_linger);
            break;
        }
        if (!sent || !keep_alive || !reply_allows_keep_alive(reply.raw)) {
            break;
        }
    }
    std::lock_guard lock(m_thread->mutex);
    auto& fds = m_thread->fds;
    fds.erase(std::remove(fds.begin(), fds.end(), fd), fds.end());
    if (!reset) {
        ::shutdown(fd, kShutBoth);
    }
    close_socket(fd);
}

}  // namespace wavlon::testing
