// The network check. The usual check page is the song service's plain-HTTP address, reached
// directly: that check is a GET over a socket of our own, so that starting the player does not
// load libcurl and its TLS stacks. An https page, a host name to resolve, or a proxy named by
// the environment go to the libcurl check in the "net" module (module_loader.h).
#include "platform/network_check.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string_view>

#include "platform/module_loader.h"

namespace wavlon::platform {
namespace {

using Clock = std::chrono::steady_clock;

std::string g_check_url;

struct PlainAddress {
    std::string host;  // a numeric IPv4 or IPv6 address, without brackets
    std::string port = "80";
    std::string host_header;
    std::string target;
};

bool is_digits(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// "http://<numeric address>[:port][/path]" with nothing a parser could disagree about; every
// other address is left to libcurl.
std::optional<PlainAddress> plain_address(std::string_view url) {
    constexpr std::string_view kScheme = "http://";
    if (url.size() <= kScheme.size() || url.find_first_of(" \t\r\n\\#@%") != std::string::npos) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < kScheme.size(); ++i) {
        if ((url[i] | 0x20) != kScheme[i]) {
            return std::nullopt;
        }
    }
    url.remove_prefix(kScheme.size());
    const std::size_t path_at = std::min(url.find_first_of("/?"), url.size());
    PlainAddress address;
    address.host_header = std::string(url.substr(0, path_at));
    const std::string_view rest = url.substr(path_at);
    address.target = std::string(rest.starts_with("/") ? "" : "/") + std::string(rest);
    std::string_view authority = url.substr(0, path_at);
    std::size_t colon = authority.rfind(':');
    if (authority.starts_with("[")) {
        const std::size_t close = authority.find(']');
        if (close == std::string_view::npos) {
            return std::nullopt;
        }
        address.host = std::string(authority.substr(1, close - 1));
        colon = close + 1 < authority.size() && authority[close + 1] == ':' ? close + 1
                                                                            : std::string::npos;
        if (colon == std::string::npos && close + 1 != authority.size()) {
            return std::nullopt;
        }
    } else {
        address.host = std::string(authority.substr(0, colon));
    }
    if (colon != std::string_view::npos) {
        const std::string_view port = authority.substr(colon + 1);
        if (!is_digits(port) || port.size() > 5 || std::atoi(std::string(port).c_str()) > 65535) {
            return std::nullopt;
        }
        address.port = std::string(port);
    }
    unsigned char bytes[16];
    if (inet_pton(AF_INET, address.host.c_str(), bytes) != 1 &&
        inet_pton(AF_INET6, address.host.c_str(), bytes) != 1) {
        return std::nullopt;
    }
    return address;
}

// libcurl would send an http request through any of these.
bool proxy_named() {
    for (const char* name : {"http_proxy", "all_proxy", "ALL_PROXY"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            return true;
        }
    }
    return false;
}

class Socket {
public:
    explicit Socket(int fd) : m_fd(fd) {}
    ~Socket() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

// Waits until `fd` is ready for `events` or the deadline has passed.
bool wait_for(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            return false;
        }
        pollfd entry{fd, events, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(left.count()));
        if (ready > 0) {
            return true;
        }
        if (ready < 0 && errno != EINTR) {
            return false;
        }
    }
}

bool connect_within(int fd, const addrinfo& to, Clock::time_point deadline) {
    if (::connect(fd, to.ai_addr, to.ai_addrlen) == 0) {
        return true;
    }
    if (errno != EINPROGRESS || !wait_for(fd, POLLOUT, deadline)) {
        return false;
    }
    int error = 0;
    socklen_t size = sizeof error;
    return ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
}

// Whether `received` holds a whole final header block; interim (1xx) blocks are skipped.
bool has_final_headers(std::string& received) {
    for (;;) {
        std::size_t end = received.find("\r\n\r\n");
        std::size_t blank = 4;
        if (const std::size_t bare = received.find("\n\n"); bare < end) {
            end = bare;
            blank = 2;
        }
        if (end == std::string::npos || !received.starts_with("HTTP/")) {
            return false;
        }
        const std::size_t space = received.find(' ');
        if (space == std::string::npos || space + 1 >= end || received[space + 1] != '1') {
            return true;
        }
        received.erase(0, end + blank);
    }
}

bool exchange(int fd, const PlainAddress& address, Clock::time_point deadline) {
    const std::string request = "GET " + address.target +
                                " HTTP/1.1\r\nHost: " + address.host_header +
                                "\r\nUser-Agent: test\r\nAccept: */*\r\n"
                                "Cache-Control: no-cache\r\nPragma: no-cache\r\n\r\n";
    std::size_t sent = 0;
    while (sent < request.size()) {
        if (!wait_for(fd, POLLOUT, deadline)) {
            return false;
        }
        const ssize_t n = ::send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        }
        sent += n > 0 ? static_cast<std::size_t>(n) : 0;
    }
    std::string received;
    char chunk[4096];
    while (wait_for(fd, POLLIN, deadline)) {
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
            return false;  // closed before the headers were whole
        }
        received.append(chunk, static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
        if (has_final_headers(received)) {
            return true;
        }
    }
    return false;
}

bool plain_check(const PlainAddress& address, std::chrono::milliseconds connect_timeout,
                 std::chrono::milliseconds total_timeout) {
    const Clock::time_point start = Clock::now();
    const Clock::time_point total_deadline = start + total_timeout;
    const Clock::time_point connect_deadline = std::min(total_deadline, start + connect_timeout);
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (::getaddrinfo(address.host.c_str(), address.port.c_str(), &hints, &found) != 0) {
        return false;
    }
    std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> list(found, ::freeaddrinfo);
    for (const addrinfo* to = found; to != nullptr; to = to->ai_next) {
        Socket socket(::socket(to->ai_family, to->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
        if (socket.fd() >= 0 && connect_within(socket.fd(), *to, connect_deadline)) {
            return exchange(socket.fd(), address, total_deadline);
        }
    }
    return false;
}

using CheckEntry = bool (*)(const std::string*, std::int64_t, std::int64_t);

}  // namespace

bool network_available() {
    return network_available_at(g_check_url.empty() ? WAVLON_NETWORK_CHECK_URL : g_check_url);
}

bool network_available_at(const std::string& url, std::chrono::milliseconds connect_timeout,
                          std::chrono::milliseconds total_timeout) {
    if (std::optional<PlainAddress> address = plain_address(url); address && !proxy_named()) {
        return plain_check(*address, connect_timeout, total_timeout);
    }
    static const auto check =
        reinterpret_cast<CheckEntry>(module_entry("net", "wavlon_network_available_at"));
    return check != nullptr && check(&url, connect_timeout.count(), total_timeout.count());
}

void set_network_check_url(std::string url) {
    g_check_url = std::move(url);
}

}  // namespace wavlon::platform
