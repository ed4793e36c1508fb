#include "songd/raw_http.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

namespace wavlon::testing {
namespace {

sockaddr_in loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

}  // namespace

std::string header_value(const std::string& head, const std::string& name) {
    std::string key = "\r\n" + name + ": ";
    std::size_t at = head.find(key);
    if (at == std::string::npos)
        return {};
    at += key.size();
    return head.substr(at, head.find("\r\n", at) - at);
}

RawConnection::RawConnection(int port) {
    m_fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = loopback(port);
    if (connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(m_fd);
        m_fd = -1;
    }
}

RawConnection::~RawConnection() {
    if (m_fd >= 0)
        close(m_fd);
}

bool RawConnection::send(const std::string& bytes) {
    for (std::size_t sent = 0; sent < bytes.size();) {
        ssize_t n = ::send(m_fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

std::vector<RawAnswer> RawConnection::read_answers(std::size_t count, int timeout_ms) {
    std::vector<RawAnswer> answers;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    bool open = m_fd >= 0;
    while (answers.size() < count) {
        std::size_t head_end = m_pending.find("\r\n\r\n");
        if (head_end != std::string::npos) {
            RawAnswer answer;
            answer.head = m_pending.substr(0, head_end + 2);
            std::string length = answer.header("Content-Length");
            std::size_t size = length.empty() ? 0 : std::stoul(length);
            if (m_pending.size() >= head_end + 4 + size) {
                answer.status = std::stoi(m_pending.substr(9, 3));
                answer.body = m_pending.substr(head_end + 4, size);
                m_pending.erase(0, head_end + 4 + size);
                answers.push_back(answer);
                continue;
            }
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd ready{m_fd, POLLIN, 0};
        if (!open || left.count() <= 0 || poll(&ready, 1, static_cast<int>(left.count())) <= 0)
            break;
        char buffer[65536];
        ssize_t n = recv(m_fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            open = false;
        else
            m_pending.append(buffer, static_cast<std::size_t>(n));
    }
    return answers;
}

bool RawConnection::closed_within(int timeout_ms) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (m_fd >= 0) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd ready{m_fd, POLLIN, 0};
        if (left.count() <= 0 || poll(&ready, 1, static_cast<int>(left.count())) <= 0)
            return false;
        char buffer[4096];
        if (recv(m_fd, buffer, sizeof buffer, 0) <= 0)
            return true;
    }
    return true;
}

RawAnswer raw_exchange(int port, const std::string& request) {
    RawConnection connection(port);
    connection.send(request);
    auto answers = connection.read_answers();
    return answers.empty() ? RawAnswer{} : answers.front();
}

int free_port() {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = loopback(0);
    socklen_t size = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    close(fd);
    return ntohs(address.sin_port);
}

}  // namespace wavlon::testing
