#include "platform/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <vector>

#include "support/qt_app.h"

namespace wavlon::platform {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Role = SingleInstance::Role;

class InstanceFolder : public ::testing::Test {
protected:
    void SetUp() override {
        testing::qt_application();
        std::string pattern = (fs::temp_directory_path() / "wavlon-instance-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_folder = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(m_folder, ignored);
    }
    std::string folder() const { return m_folder.string(); }

    // Collects the tokens of the raise requests the instance receives.
    void collect(SingleInstance& first) {
        first.on_raise_requests([this](const std::string& token, const std::vector<std::string>&) {
            m_tokens.push_back(token);
        });
    }
    bool wait_for_requests(std::size_t count) {
        return testing::process_events_until([&] { return m_tokens.size() >= count; }, 5000);
    }

    fs::path m_folder;
    std::vector<std::string> m_tokens;
};

TEST_F(InstanceFolder, SecondStartReachesTheFirstWithItsToken) {
    SingleInstance first("x11-:5", folder());
    ASSERT_EQ(first.role(), Role::First);
    collect(first);
    SingleInstance second("x11-:5", folder());
    EXPECT_EQ(second.role(), Role::Second);
    EXPECT_TRUE(second.ask_first_to_raise("token-1"));
    EXPECT_TRUE(second.ask_first_to_raise(""));
    ASSERT_TRUE(wait_for_requests(2));
    EXPECT_EQ(m_tokens, (std::vector<std::string>{"token-1", ""}));
}

TEST_F(InstanceFolder, RequestsThatCameBeforeTheLoopAreHandledWhenItRuns) {
    SingleInstance first("wayland-0", folder());
    SingleInstance second("wayland-0", folder());
    ASSERT_TRUE(second.ask_first_to_raise("early"));
    collect(first);
    ASSERT_TRUE(wait_for_requests(1));
    EXPECT_EQ(m_tokens, std::vector<std::string>{"early"});
}

TEST_F(InstanceFolder, AnotherDisplayOrAnotherProcessesEndFreesTheLock) {
    std::optional<SingleInstance> first;
    first.emplace("x11-:1", folder());
    EXPECT_EQ(SingleInstance("x11-:2", folder()).role(), Role::First);
    EXPECT_EQ(SingleInstance("x11-:1", folder()).role(), Role::Second);
    first.reset();
    EXPECT_FALSE(fs::exists(m_folder / "wavlon-x11-:1.socket"));
    EXPECT_EQ(SingleInstance("x11-:1", folder()).role(), Role::First);
}

TEST_F(InstanceFolder, LockOfAKilledProcessIsFreeAndItsSocketReplaced) {
    const pid_t child = ::fork();
    if (child == 0) {
        SingleInstance holder("x11-:3", folder());
        ::kill(::getpid(), SIGKILL);  // no destructor: lock file and socket file stay
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(fs::exists(m_folder / "wavlon-x11-:3.socket"));
    SingleInstance next("x11-:3", folder());
    ASSERT_EQ(next.role(), Role::First);
    collect(next);
    SingleInstance later("x11-:3", folder());
    ASSERT_TRUE(later.ask_first_to_raise("after-crash"));
    ASSERT_TRUE(wait_for_requests(1));
}

TEST_F(InstanceFolder, MalformedRequestsAreIgnored) {
    SingleInstance first("x11-:4", folder());
    collect(first);
    const std::string socket_path = (m_folder / "wavlon-x11-:4.socket").string();
    for (const std::string& request : {std::string("open /etc/passwd\n"), std::string("raise"),
                                       std::string("raise\nbad token\n"),
                                       std::string("raise\n") + std::string(600, 'a') + "\n"}) {
        int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        socket_path.copy(address.sun_path, socket_path.size());
        ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ASSERT_EQ(::write(fd, request.data(), request.size()),
                  static_cast<ssize_t>(request.size()));
        ::close(fd);
    }
    SingleInstance second("x11-:4", folder());
    ASSERT_TRUE(second.ask_first_to_raise("good"));
    ASSERT_TRUE(wait_for_requests(1));
    EXPECT_EQ(m_tokens, std::vector<std::string>{"good"});
}

TEST_F(InstanceFolder, WithoutAUsableFolderThePlayerRunsAlone) {
    EXPECT_EQ(SingleInstance("x11-:0", "").role(), Role::Alone);
    EXPECT_EQ(SingleInstance("x11-:0", folder() + "/missing").role(), Role::Alone);
    SingleInstance alone("x11-:0", "");
    EXPECT_FALSE(alone.ask_first_to_raise("t", {}, 0ms));
}

TEST_F(InstanceFolder, FirstThatNeverListensIsReportedUnreachable) {
    // Holds the lock the way a first instance does, without the socket.
    const int lock = ::open((m_folder / "wavlon-x11-:6.lock").c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_EQ(::flock(lock, LOCK_EX), 0);
    SingleInstance second("x11-:6", folder());
    EXPECT_EQ(second.role(), Role::Second);
    EXPECT_FALSE(second.ask_first_to_raise("t", {}, 200ms));
    ::close(lock);
}

TEST(DisplayKey, NamesTheDisplayNotTheScreen) {
    struct Row {
        const char* wayland;  // nullptr: unset
        const char* x11;
        const char* expected;
    };
    const Row rows[] = {
        {"wayland-0", ":0", "wayland-0"},
        {"/run/user/1000/wayland-1", nullptr, "_run_user_1000_wayland-1"},
        {nullptr, ":1", "x11-:1"},
        {nullptr, ":1.0", "x11-:1"},
        {nullptr, "unix:1.2", "x11-:1"},
        {nullptr, "localhost:10.0", "x11-localhost:10"},
        {"", ":3", "x11-:3"},
        {nullptr, nullptr, "no-display"},
        {nullptr, "host/../x:0", "x11-host_.._x:0"},
    };
    const char* saved_wayland = std::getenv("WAYLAND_DISPLAY");
    const char* saved_x11 = std::getenv("DISPLAY");
    const std::optional<std::string> wayland_before =
        saved_wayland ? std::optional<std::string>(saved_wayland) : std::nullopt;
    const std::optional<std::string> x11_before =
        saved_x11 ? std::optional<std::string>(saved_x11) : std::nullopt;
    auto set = [](const char* name, const char* value) {
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    };
    for (const Row& row : rows) {
        set("WAYLAND_DISPLAY", row.wayland);
        set("DISPLAY", row.x11);
        EXPECT_EQ(display_key(), row.expected) << (row.x11 ? row.x11 : "(no DISPLAY)");
    }
    set("WAYLAND_DISPLAY", wayland_before ? wayland_before->c_str() : nullptr);
    set("DISPLAY", x11_before ? x11_before->c_str() : nullptr);
}

TEST(DefaultInstanceFolder, RuntimeFolderElseAPrivateOneInTmp) {
    const char* saved = std::getenv("XDG_RUNTIME_DIR");
    const std::optional<std::string> before =
        saved ? std::optional<std::string>(saved) : std::nullopt;
    ::setenv("XDG_RUNTIME_DIR", "/run/user/4242", 1);
    EXPECT_EQ(default_instance_folder(), "/run/user/4242");
    ::unsetenv("XDG_RUNTIME_DIR");
    const std::string folder = default_instance_folder();
    EXPECT_EQ(folder, "/tmp/wavlon-" + std::to_string(::geteuid()));
    struct stat st {};
    ASSERT_EQ(::lstat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    before ? ::setenv("XDG_RUNTIME_DIR", before->c_str(), 1) : ::unsetenv("XDG_RUNTIME_DIR");
}

}  // namespace
}  // namespace wavlon::platform
