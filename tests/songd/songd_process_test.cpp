// The wavlon-songd program as a process: its exclusive socket, its log, and its start by
// socket activation (systemd-socket-activate standing in for the user's service manager).
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <mutex>
#include <thread>

#include "songd/raw_http.h"
#include "songd/tagged_files.h"

namespace wavlon::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Starts `arguments` (the program first) with standard error into `log`; `listen_fd`, when
// given, is handed over as fd 3 by the LISTEN_FDS protocol.
pid_t spawn(const std::vector<std::string>& arguments, const fs::path& log, int listen_fd = -1) {
    pid_t pid = fork();
    if (pid != 0)
        return pid;
    std::FILE* out = std::fopen(log.c_str(), "a");
    dup2(fileno(out), 2);
    if (listen_fd >= 0) {
        dup2(listen_fd, 3);
        setenv("LISTEN_FDS", "1", 1);
        setenv("LISTEN_PID", std::to_string(getpid()).c_str(), 1);
    }
    std::vector<char*> argv;
    for (const auto& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
}

// The exit status of `pid` once it ended within `timeout`, else -1.
int wait_exit(pid_t pid, std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    int status = 0;
    while (std::chrono::steady_clock::now() < deadline) {
        if (waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        std::this_thread::sleep_for(20ms);
    }
    return -1;
}

bool answers(int port, std::chrono::milliseconds timeout = 20s) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (raw_exchange(port, "GET / HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                                   "\r\nConnection: close\r\n\r\n")
                .status == 200) {
            return true;
        }
        std::this_thread::sleep_for(50ms);
    }
    return false;
}

std::string read_text(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class SongdProcessTest : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(music()); }
    fs::path music() const { return m_folder.path() / "music"; }
    fs::path log() const { return m_folder.path() / "songd.log"; }
    std::vector<std::string> command(const std::string& extra_db = "songd.db") const {
        return {WAVLON_SONGD, "--music", music().string(), "--db",
                (m_folder.path() / extra_db).string()};
    }
    // The same, listening on 127.0.0.1:port.
    std::vector<std::string> command_on(int port, const std::string& extra_db = "songd.db") const {
        auto arguments = command(extra_db);
        arguments.insert(arguments.end(), {"--listen", "127.0.0.1:" + std::to_string(port)});
        return arguments;
    }

    TemporaryFolder m_folder;
};

TEST_F(SongdProcessTest, SecondInstanceOnAUsedAddressSaysSoAndFails) {
    int port = free_port();
    pid_t first = spawn(command_on(port), log());
    ASSERT_TRUE(answers(port));
    pid_t second = spawn(command_on(port, "second.db"), m_folder.path() / "second.log");
    EXPECT_EQ(wait_exit(second, 20s), 1);
    EXPECT_NE(read_text(m_folder.path() / "second.log").find("address in use"), std::string::npos);
    EXPECT_TRUE(answers(port, 2s));  // the first one still has the address to itself
    kill(first, SIGTERM);
    EXPECT_EQ(wait_exit(first, 20s), 0);
}

TEST_F(SongdProcessTest, WhatClientsSendCannotForgeOrColourLogLines) {
    int port = free_port();
    pid_t pid = spawn(command_on(port), log());
    ASSERT_TRUE(answers(port));
    const std::string host = "Host: 127.0.0.1:" + std::to_string(port) + "\r\n";
    raw_exchange(port, "GET /x%0Awavlon-songd:%20forged%1B[2J%FF HTTP/1.1\r\n" + host + "\r\n");
    raw_exchange(port, "POST / HTTP/1.1\r\n" + host +
                           "Content-Length: 33\r\n\r\ninput=a%0D%0Awavlon-songd:%20fake");
    kill(pid, SIGTERM);
    ASSERT_EQ(wait_exit(pid, 20s), 0);
    std::string text = read_text(log());
    EXPECT_EQ(text.find("\nwavlon-songd: forged"), std::string::npos);
    EXPECT_EQ(text.find("\nwavlon-songd: fake"), std::string::npos);
    EXPECT_EQ(text.find('\x1b'), std::string::npos);
    EXPECT_EQ(text.find('\r'), std::string::npos);
    EXPECT_NE(text.find("GET /x\\x0awavlon-songd: forged\\x1b[2J\\xff 404\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find("keyword a\\x0d\\x0awavlon-songd: fake\n"), std::string::npos) << text;
}

// The test plays the service manager's part: it owns the listening socket and starts the
// service through systemd-socket-activate whenever a client knocks while none runs.
TEST_F(SongdProcessTest, SocketActivationStartsTheServiceAndItEndsWhenQuiet) {
    if (system("command -v systemd-socket-activate >/dev/null") != 0)
        GTEST_SKIP() << "systemd-socket-activate is not installed";
    int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 16), 0);
    socklen_t size = sizeof address;
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);
    int port = ntohs(address.sin_port);

    std::atomic<bool> stop{false};
    std::atomic<int> starts{0};
    std::atomic<int> clean_ends{0};
    std::mutex mutex;
    pid_t running = -1;
    std::thread manager([&] {
        while (!stop) {
            std::lock_guard lock(mutex);
            int status = 0;
            if (running > 0 && waitpid(running, &status, WNOHANG) == running) {
                clean_ends += WIFEXITED(status) && WEXITSTATUS(status) == 0;
                running = -1;
            }
            pollfd knock{listener, POLLIN, 0};
            if (running < 0 && poll(&knock, 1, 0) == 1) {
                auto arguments = command();
                arguments.insert(arguments.begin(), "systemd-socket-activate");
                arguments.insert(arguments.end(), {"--idle-exit", "1"});
                running = spawn(arguments, log(), listener);
                ++starts;
            }
            std::this_thread::sleep_for(20ms);
        }
    });

    EXPECT_TRUE(answers(port));
    EXPECT_EQ(starts, 1);
    auto deadline = std::chrono::steady_clock::now() + 20s;
    while (clean_ends == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(50ms);
    EXPECT_EQ(clean_ends, 1) << read_text(log());
    EXPECT_TRUE(answers(port));
    EXPECT_EQ(starts, 2);

    stop = true;
    manager.join();
    if (running > 0) {
        kill(running, SIGTERM);
        wait_exit(running, 20s);
    }
    close(listener);
    std::string text = read_text(log());
    EXPECT_NE(text.find("answering on the socket systemd handed over"), std::string::npos);
    EXPECT_NE(text.find("no connection for 1 s"), std::string::npos);
}

}  // namespace
}  // namespace wavlon::testing
