#include "songd/listen_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>

namespace wavlon::songd {
namespace {

constexpr int kFirstPassedFd = 3;

std::string numeric_host(const sockaddr* address, socklen_t length) {
    char host[NI_MAXHOST];
    if (getnameinfo(address, length, host, sizeof host, nullptr, 0, NI_NUMERICHOST) != 0) {
        return {};
    }
    std::string text = host;
    // A scoped IPv6 address ("fe80::1%eth0") is written without its zone in a Host header.
    return text.substr(0, text.find('%'));
}

long environment_number(const char* name) {
    const char* text = std::getenv(name);
    long value = -1;
    if (text == nullptr) {
        return -1;
    }
    auto [end, error] = std::from_chars(text, text + std::strlen(text), value);
    return error == std::errc{} && *end == '\0' ? value : -1;
}

}  // namespace

int inherited_listen_socket(std::string& error) {
    long pid = environment_number("LISTEN_PID");
    long count = environment_number("LISTEN_FDS");
    unsetenv("LISTEN_PID");
    unsetenv("LISTEN_FDS");
    unsetenv("LISTEN_FDNAMES");
    if (pid != static_cast<long>(getpid()) || count < 1) {
        return -1;
    }
    int fd = kFirstPassedFd;
    int listening = 0;
    int type = 0;
    socklen_t size = sizeof listening;
    socklen_t type_size = sizeof type;
    if (getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &size) != 0 || listening == 0 ||
        getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &type_size) != 0 || type != SOCK_STREAM) {
        error = "the socket handed over is not a listening stream socket";
        return -1;
    }
    fcntl(fd, F_SETFD, FD_CLOEXEC);
    return fd;
}

int open_listen_socket(const std::string& host, int port, std::string& error) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    std::string shown = (host.find(':') != std::string::npos ? "[" + host + "]" : host) + ":" +
                        std::to_string(port);
    int status = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (status != 0) {
        error = "cannot listen on " + shown + ": " + gai_strerror(status);
        return -1;
    }
    int fd = socket(found->ai_family, found->ai_socktype | SOCK_CLOEXEC, found->ai_protocol);
    int one = 1;
    // SO_REUSEADDR lets a restart bind while old connections linger in TIME_WAIT; on Linux it
    // never lets two sockets listen on one address (SO_REUSEPORT would).
    if (fd < 0 || setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) != 0 ||
        bind(fd, found->ai_addr, found->ai_addrlen) != 0 || listen(fd, SOMAXCONN) != 0) {
        int cause = errno;
        error =
            "cannot listen on " + shown + ": " +
            (cause == EADDRINUSE ? std::string("address in use (is wavlon-songd running already?)")
                                 : std::string(std::strerror(cause)));
        if (fd >= 0) {
            close(fd);
        }
        fd = -1;
    }
    freeaddrinfo(found);
    return fd;
}

bool socket_address(int fd, std::string& host, int& port) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return false;
    }
    host = numeric_host(reinterpret_cast<sockaddr*>(&address), length);
    if (address.ss_family == AF_INET) {
        port = ntohs(reinterpret_cast<sockaddr_in*>(&address)->sin_port);
    } else if (address.ss_family == AF_INET6) {
        port = ntohs(reinterpret_cast<sockaddr_in6*>(&address)->sin6_port);
    } else {
        return false;
    }
    return !host.empty();
}

std::vector<std::string> own_host_names() {
    std::vector<std::string> names = {"localhost", "localhost.localdomain", "127.0.0.1", "[::1]"};
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) == 0 && name[0] != '\0') {
        names.push_back(name);
        names.push_back(std::string(name) + ".local");
    }
    ifaddrs* interfaces = nullptr;
    if (getifaddrs(&interfaces) == 0) {
        for (ifaddrs* it = interfaces; it != nullptr; it = it->ifa_next) {
            if (it->ifa_addr == nullptr) {
                continue;
            }
            int family = it->ifa_addr->sa_family;
            if (family != AF_INET && family != AF_INET6) {
                continue;
            }
            socklen_t length = family == AF_INET ? sizeof(sockaddr_in) : sizeof(sockaddr_in6);
            std::string host = numeric_host(it->ifa_addr, length);
            if (!host.empty()) {
                names.push_back(family == AF_INET6 ? "[" + host + "]" : host);
            }
        }
        freeifaddrs(interfaces);
    }
    for (auto& entry : names) {
        std::transform(entry.begin(), entry.end(), entry.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    }
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

}  // namespace wavlon::songd
