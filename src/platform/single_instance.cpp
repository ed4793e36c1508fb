#include "platform/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QSocketNotifier>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <thread>

#include "platform/single_instance_request.h"

namespace wavlon::platform {
namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::string file_name_part(std::string_view text) {
    std::string out;
    for (char c : text) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                     c == '.' || c == '-' || c == '_' || c == ':';
        out += plain ? c : '_';
    }
    return out;
}

bool socket_address(const std::string& path, sockaddr_un& address) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path) {
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

bool send_all(int fd, std::string_view data) {
    while (!data.empty()) {
        ssize_t n = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool absolute(std::string_view path) {
    return path.starts_with('/');
}

}  // namespace

struct SingleInstance::State {
    void accept_requests();

    int lock_fd = -1;
    int listen_fd = -1;
    std::string socket_path;
    std::unique_ptr<QSocketNotifier> notifier;
    RaiseHandler on_raise;
};

std::string display_key() {
    const std::string wayland = environment("WAYLAND_DISPLAY");
    if (!wayland.empty()) {
        return file_name_part(wayland);
    }
    const std::string x11 = environment("DISPLAY");
    if (x11.empty()) {
        return "no-display";
    }
    const std::size_t colon = x11.rfind(':');
    std::string host = colon == std::string::npos ? std::string() : x11.substr(0, colon);
    std::string number = colon == std::string::npos ? x11 : x11.substr(colon + 1);
    if (host == "unix") {
        host.clear();
    }
    number = number.substr(0, number.find('.'));
    return "x11-" + file_name_part(host + ":" + number);
}

std::string default_instance_folder() {
    const std::string runtime_folder = environment("XDG_RUNTIME_DIR");
    if (runtime_folder.starts_with('/')) {
        return runtime_folder;
    }
    const std::string folder = "/tmp/wavlon-" + std::to_string(::geteuid());
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        return {};
    }
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid() ||
        (st.st_mode & 0022) != 0) {
        return {};
    }
    return folder;
}

SingleInstance::SingleInstance(const std::string& key, const std::string& folder)
    : m_state(std::make_unique<State>()) {
    if (folder.empty() || key.empty()) {
        return;
    }
    const std::string base = folder + "/wavlon-" + key;
    m_state->lock_fd =
        ::open((base + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (m_state->lock_fd < 0) {
        return;
    }
    if (::flock(m_state->lock_fd, LOCK_EX | LOCK_NB) != 0) {
        m_role = errno == EWOULDBLOCK ? Role::Second : Role::Alone;
        ::close(m_state->lock_fd);
        m_state->lock_fd = -1;
        m_state->socket_path = base + ".socket";
        return;
    }
    m_role = Role::First;
    // Holding the lock makes any socket file there a leftover of an instance that has ended.
    sockaddr_un address{};
    if (!socket_address(base + ".socket", address)) {
        return;
    }
    ::unlink(address.sun_path);
    m_state->listen_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (m_state->listen_fd < 0) {
        return;
    }
    if (::bind(m_state->listen_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_state->listen_fd, 8) != 0) {
        ::close(m_state->listen_fd);
        m_state->listen_fd = -1;
        return;
    }
    m_state->socket_path = address.sun_path;
}

SingleInstance::~SingleInstance() {
    m_state->notifier.reset();
    if (m_state->listen_fd >= 0) {
        ::close(m_state->listen_fd);
        ::unlink(m_state->socket_path.c_str());
    }
    if (m_state->lock_fd >= 0) {
        ::close(m_state->lock_fd);
    }
}

bool SingleInstance::ask_first_to_raise(const std::string& activation_token,
                                        const std::vector<std::string>& paths,
                                        std::chrono::milliseconds timeout) {
    sockaddr_un address{};
    if (m_role != Role::Second || !socket_address(m_state->socket_path, address)) {
        return false;
    }
    const std::string request = format_raise_request(activation_token, paths);
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            return false;
        }
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
            bool sent = send_all(fd, request);
            ::close(fd);
            return sent;
        }
        ::close(fd);
        // The first instance takes the lock a moment before it listens.
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

void SingleInstance::on_raise_requests(RaiseHandler on_raise) {
    m_state->on_raise = std::move(on_raise);
    if (m_state->listen_fd < 0 || m_state->notifier) {
        return;
    }
    m_state->notifier =
        std::make_unique<QSocketNotifier>(m_state->listen_fd, QSocketNotifier::Read);
    QObject::connect(m_state->notifier.get(), &QSocketNotifier::activated, m_state->notifier.get(),
                     [state = m_state.get()] { state->accept_requests(); });
    m_state->accept_requests();
}

void SingleInstance::State::accept_requests() {
    for (;;) {
        int fd = ::accept4(listen_fd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            return;  // EAGAIN: none waiting
        }
        // A requester writes its few bytes and closes; one that stalls is dropped after 1 s.
        timeval limit{1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        std::string request;
        char buffer[256];
        while (request.size() < kMaxRaiseRequest) {
            ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                break;
            }
            request.append(buffer, static_cast<std::size_t>(n));
        }
        ::close(fd);
        if (std::optional<RaiseRequest> parsed = parse_raise_request(request, absolute);
            parsed && on_raise) {
            on_raise(parsed->token, parsed->paths);
        }
    }
}

}  // namespace wavlon::platform
