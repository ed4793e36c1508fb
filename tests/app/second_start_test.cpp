// The whole program, started twice on one X display (Xvfb) with a private session bus: the
// second start hands over to the first and ends, the first comes to the top, and only the
// first plays.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <thread>
#include <vector>

#include "runtime/config_file.h"
#include "support/local_http_server.h"
#include "support/mp3_fixtures.h"
#include "support/private_bus.h"
#include "support/pulse_server.h"
#include "support/qt_app.h"

extern char** environ;

namespace wavlon::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// A child process with its own environment, killed with the object unless it has ended.
class Child {
public:
    Child(const std::vector<std::string>& argv, const std::vector<std::string>& environment) {
        std::vector<char*> args;
        for (const std::string& arg : argv) {
            args.push_back(const_cast<char*>(arg.c_str()));
        }
        args.push_back(nullptr);
        std::vector<char*> env;
        for (const std::string& entry : environment) {
            env.push_back(const_cast<char*>(entry.c_str()));
        }
        env.push_back(nullptr);
        m_pid = ::fork();
        if (m_pid == 0) {
            int null_fd = ::open("/dev/null", O_RDWR);
            ::dup2(null_fd, STDIN_FILENO);
            ::execvpe(args[0], args.data(), env.data());
            ::_exit(127);
        }
    }
    ~Child() {
        if (m_pid > 0 && !m_status) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    pid_t pid() const { return m_pid; }
    // The exit code once the process has ended within `timeout`; -1 for a signal.
    std::optional<int> wait_for_exit(std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!m_status && std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            } else {
                std::this_thread::sleep_for(50ms);
            }
        }
        return m_status;
    }

private:
    pid_t m_pid = -1;
    std::optional<int> m_status;
};

// Xvfb on a free display number of its own choosing.
class VirtualDisplay {
public:
    VirtualDisplay() {
        int ready[2];
        if (::pipe(ready) != 0) {
            return;
        }
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(ready[0]);
            int null_fd = ::open("/dev/null", O_WRONLY);
            ::dup2(null_fd, STDERR_FILENO);
            const std::string fd = std::to_string(ready[1]);
            ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1366x768x24",
                     "-nolisten", "tcp", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(ready[1]);
        // The number comes in two writes, the digits and then a line feed: the pipe stays
        // open until both are there, or Xvfb gives up.
        std::string number;
        pollfd wait{ready[0], POLLIN, 0};
        char c = 0;
        while (::poll(&wait, 1, 20000) == 1 && ::read(ready[0], &c, 1) == 1 && c != '\n') {
            number += c;
        }
        if (c == '\n' && !number.empty()) {
            m_name = ":" + number;
        }
        ::close(ready[0]);
    }
    ~VirtualDisplay() { end(); }
    // The X server goes away under its clients, as at a logout or a crash of the server.
    void end() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
            m_pid = -1;
        }
    }
    const std::string& name() const { return m_name; }

private:
    pid_t m_pid = -1;
    std::string m_name;
};

class SecondStart : public ::testing::Test {
protected:
    void SetUp() override {
        qt_application();
        ASSERT_FALSE(m_display.name().empty()) << "Xvfb did not start";
        std::string pattern = (fs::temp_directory_path() / "wavlon-second-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_root = pattern;
        for (const char* folder : {"program", "music", "run", "home", "config"}) {
            fs::create_directories(m_root / folder);
        }
        fs::permissions(m_root / "run", fs::perms::owner_all);
        // The program as a portable copy, with a music folder of two tracks stored beside it.
        fs::copy_file(WAVLON_TEST_PROGRAM, m_root / "program/wavlon");
        for (const char* name : {"a.mp3", "b.mp3"}) {
            fs::copy_file(mp3_file(Mp3Kind::CbrNoTag), m_root / "music" / name);
        }
        ASSERT_TRUE(runtime::write_config_item(
            runtime::utf8_to_gbk((m_root / "program/config.ini").string()), "config",
            runtime::utf8_to_gbk("路径"), runtime::utf8_to_gbk((m_root / "music").string())));
        m_client = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(
            QString::fromStdString(m_bus.address()), QStringLiteral("second-start-client")));
    }
    void TearDown() override {
        m_client.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("second-start-client"));
        std::error_code ignored;
        fs::remove_all(m_root, ignored);
    }

    std::vector<std::string> environment() const {
        std::vector<std::string> env;
        for (char** entry = environ; *entry; ++entry) {
            const std::string_view e(*entry);
            bool replaced = false;
            for (const char* name :
                 {"DISPLAY=", "WAYLAND_DISPLAY=", "QT_QPA_PLATFORM=", "DBUS_SESSION_BUS_ADDRESS=",
                  "XDG_RUNTIME_DIR=", "XDG_CONFIG_HOME=", "HOME=", "http_proxy=", "https_proxy=",
                  "all_proxy=", "HTTP_PROXY=", "HTTPS_PROXY=", "ALL_PROXY="}) {
                replaced = replaced || e.starts_with(name);
            }
            if (!replaced) {
                env.emplace_back(e);
            }
        }
        env.push_back("DISPLAY=" + m_display.name());
        env.push_back("QT_QPA_PLATFORM=xcb");
        env.push_back("DBUS_SESSION_BUS_ADDRESS=" + m_bus.address());
        env.push_back("XDG_RUNTIME_DIR=" + (m_root / "run").string());
        env.push_back("XDG_CONFIG_HOME=" + (m_root / "config").string());
        env.push_back("HOME=" + (m_root / "home").string());
        env.push_back("WAVLON_TEST_CHECK_URL=" + m_check_page.url());
        return env;
    }
    std::unique_ptr<Child> start_player(const std::vector<std::string>& arguments = {}) {
        std::vector<std::string> argv{(m_root / "program/wavlon").string()};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        return std::make_unique<Child>(argv, environment());
    }
    // Starts the player and waits for its window; the window's id.
    std::string start_and_wait(std::unique_ptr<Child>& player,
                               const std::vector<std::string>& arguments = {}) {
        player = start_player(arguments);
        if (!wait_until([&] { return stacked("Wavlon").size() == 1; })) {
            return {};
        }
        // The window shows once its creation routine has run.
        wait_until([&] { return !title(stacked("Wavlon").front()).empty(); });
        return stacked("Wavlon").front();
    }
    std::string title(const std::string& window) {
        const std::string line = x11("xprop -id " + window + " _NET_WM_NAME");
        const std::size_t quote = line.find('"');
        return quote == std::string::npos ? std::string()
                                          : line.substr(quote + 1, line.rfind('"') - quote - 1);
    }
    void click_first_track(const std::string& window) {
        x11("xdotool mousemove --window " + window + " 60 96 click 1");
    }
    // Runs an X client tool on the test's display and returns its output.
    std::string x11(const std::string& command) {
        return run_command("DISPLAY=" + m_display.name() + " " + command + " 2>/dev/null");
    }
    // The top-level windows of that class (its id and title line), top first, as
    // xwininfo lists them.
    std::vector<std::string> stacked(const std::string& window_class) {
        std::vector<std::string> ids;
        std::istringstream lines(x11("xwininfo -root -children"));
        for (std::string line; std::getline(lines, line);) {
            if (line.find("\"" + window_class + "\")") != std::string::npos) {
                std::istringstream words(line);
                std::string id;
                words >> id;
                ids.push_back(id);
            }
        }
        return ids;
    }
    // True when the topmost window of class `upper` lies above every window of class `lower`.
    bool above(const std::string& upper, const std::string& lower) {
        std::istringstream lines(x11("xwininfo -root -children"));
        for (std::string line; std::getline(lines, line);) {
            if (line.find("\"" + upper + "\")") != std::string::npos) {
                return true;
            }
            if (line.find("\"" + lower + "\")") != std::string::npos) {
                return false;
            }
        }
        return false;
    }
    bool wait_until(const std::function<bool()>& done, int ms = 20000) {
        return process_events_until(done, ms);
    }

    VirtualDisplay m_display;
    PrivateBus m_bus;
    LocalHttpServer m_check_page{[](const HttpRequest&) { return HttpReply::ok("up"); }};
    std::unique_ptr<QDBusConnection> m_client;
    fs::path m_root;
};

TEST_F(SecondStart, HandsOverToTheFirstWhichComesToTheTopAndAloneKeepsPlaying) {
    auto first = start_player();
    ASSERT_TRUE(wait_until([&] {
        return m_client->interface()->isServiceRegistered(
            QStringLiteral("org.mpris.MediaPlayer2.wavlon"));
    })) << "the first player did not come up";
    ASSERT_TRUE(wait_until([&] { return stacked("Wavlon").size() == 1; }));
    const std::string window = stacked("Wavlon").front();
    // The window class the desktop entry names (StartupWMClass), and the window's icon.
    EXPECT_NE(x11("xprop -id " + window + " WM_CLASS").find("\"wavlon\", \"Wavlon\""),
              std::string::npos);
    EXPECT_NE(x11("xprop -id " + window + " _NET_WM_ICON").find("Icon ("), std::string::npos);

    // A click on the first track, as the user would.
    click_first_track(window);
    ASSERT_TRUE(
        wait_until([&] { return sink_inputs_corked(first->pid()) == std::vector<bool>{false}; }));

    // Another window on top of the player.
    Child cover({"xlogo", "-geometry", "1366x768+0+0"},
                {"DISPLAY=" + m_display.name(), "PATH=/usr/bin:/bin"});
    ASSERT_TRUE(wait_until([&] { return above("XLogo", "Wavlon"); }))
        << x11("xwininfo -root -children");

    auto second = start_player();
    EXPECT_EQ(second->wait_for_exit(20s), std::optional<int>(0));
    EXPECT_TRUE(wait_until([&] { return above("Wavlon", "XLogo"); }))
        << x11("xwininfo -root -children");
    EXPECT_EQ(stacked("Wavlon").size(), 1u);
    EXPECT_EQ(sink_inputs_corked(first->pid()), std::vector<bool>{false});
    EXPECT_TRUE(sink_inputs_corked(second->pid()).empty());

    // Quit through the media-player interface ends the first one normally.
    QDBusMessage quit = QDBusMessage::createMethodCall(
        QStringLiteral("org.mpris.MediaPlayer2.wavlon"), QStringLiteral("/org/mpris/MediaPlayer2"),
        QStringLiteral("org.mpris.MediaPlayer2"), QStringLiteral("Quit"));
    m_client->call(quit, QDBus::Block, 5000);
    EXPECT_EQ(first->wait_for_exit(20s), std::optional<int>(0));
}

// "Open with": the file given on the command line plays, from its own folder's listing,
// whether this start is the first or hands over to a running player.
TEST_F(SecondStart, FileGivenOnTheCommandLinePlays) {
    fs::create_directories(m_root / "other");
    for (const char* name : {"x.mp3", "y.mp3"}) {
        fs::copy_file(mp3_file(Mp3Kind::CbrNoTag), m_root / "other" / name);
    }
    const std::string stored = runtime::gbk_to_utf8(
        runtime::read_config_item(runtime::utf8_to_gbk((m_root / "program/config.ini").string()),
                                  "config", runtime::utf8_to_gbk("路径"), ""));

    std::unique_ptr<Child> first;
    const std::string window = start_and_wait(first, {(m_root / "other/y.mp3").string()});
    ASSERT_FALSE(window.empty());
    EXPECT_TRUE(wait_until([&] { return title(window) == "正在播放：y"; })) << title(window);
    EXPECT_TRUE(
        wait_until([&] { return sink_inputs_corked(first->pid()) == std::vector<bool>{false}; }));

    // A second start with a folder (relative to its own folder) and a name that is nothing:
    // the folder's first track plays in the first player.
    auto second =
        std::make_unique<Child>(std::vector<std::string>{"/bin/sh", "-c",
                                                         "cd " + m_root.string() +
                                                             " && exec program/wavlon missing.mp3 "
                                                             "file://" +
                                                             (m_root / "music").string()},
                                environment());
    EXPECT_EQ(second->wait_for_exit(20s), std::optional<int>(0));
    EXPECT_TRUE(wait_until([&] { return title(window) == "正在播放：a"; })) << title(window);
    EXPECT_EQ(sink_inputs_corked(first->pid()), std::vector<bool>{false});
    // Nothing was chosen in the folder dialog: the stored folder stays.
    EXPECT_EQ(runtime::gbk_to_utf8(runtime::read_config_item(
                  runtime::utf8_to_gbk((m_root / "program/config.ini").string()), "config",
                  runtime::utf8_to_gbk("路径"), "")),
              stored);
}

// The session ends under a playing player (the display server goes away, or the session
// manager sends SIGTERM or SIGHUP): the player ends by itself, without a crash, and leaves
// its settings as they were.
TEST_F(SecondStart, PlayerEndsQuietlyWhenTheSessionEnds) {
    const std::string settings = (m_root / "program/config.ini").string();
    const auto settings_bytes = [&] {
        std::ifstream in(settings, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const std::string before = settings_bytes();
    for (const int signal : {SIGTERM, SIGHUP, 0}) {  // 0: the X server ends
        SCOPED_TRACE(signal);
        std::unique_ptr<Child> player;
        const std::string window = start_and_wait(player);
        ASSERT_FALSE(window.empty());
        click_first_track(window);
        ASSERT_TRUE(wait_until(
            [&] { return sink_inputs_corked(player->pid()) == std::vector<bool>{false}; }));
        if (signal != 0) {
            ::kill(player->pid(), signal);
        } else {
            m_display.end();
        }
        const std::optional<int> status = player->wait_for_exit(10s);
        ASSERT_TRUE(status.has_value()) << "still running";
        EXPECT_GE(*status, 0) << "ended by a signal";
        if (signal != 0) {
            EXPECT_EQ(*status, 0);
        }
        EXPECT_EQ(settings_bytes(), before);
    }
}

}  // namespace
}  // namespace wavlon::testing
