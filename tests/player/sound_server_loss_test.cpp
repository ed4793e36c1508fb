// The sound server going away under the running player, and coming back: the window stays
// responsive while it is gone, reconnection waits between attempts, and once the server
// answers again tracks play and the volume slider and mute button act on it.
#include <QCoreApplication>
#include <QElapsedTimer>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "app/main_window_units.h"
#include "player/window_units.h"
#include "support/main_window_driver.h"
#include "support/mp3_fixtures.h"

namespace wavlon::testing {
namespace {

using Clock = std::chrono::steady_clock;
namespace u = units;

constexpr std::int32_t kPlaying = 1;

// Listens on a Unix socket where the sound server was and hangs up on every caller, counting
// them: each is one connection attempt of a client.
class HangUpSocket {
public:
    explicit HangUpSocket(const std::string& path) : m_path(path) {
        m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        ::unlink(path.c_str());
        if (m_fd < 0 || ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(m_fd, 64) != 0) {
            return;
        }
        m_listening = true;
        m_thread = std::thread([this] {
            while (!m_stop.load()) {
                pollfd p{m_fd, POLLIN, 0};
                if (::poll(&p, 1, 50) > 0) {
                    int client = ::accept(m_fd, nullptr, nullptr);
                    if (client >= 0) {
                        ++m_calls;
                        ::close(client);
                    }
                }
            }
        });
    }
    ~HangUpSocket() {
        m_stop.store(true);
        if (m_thread.joinable()) {
            m_thread.join();
        }
        if (m_fd >= 0) {
            ::close(m_fd);
        }
        ::unlink(m_path.c_str());
    }
    HangUpSocket(const HangUpSocket&) = delete;
    HangUpSocket& operator=(const HangUpSocket&) = delete;

    bool listening() const { return m_listening; }
    int calls() const { return m_calls.load(); }

private:
    std::string m_path;
    int m_fd = -1;
    bool m_listening = false;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_calls{0};
    std::thread m_thread;
};

class SoundServerLoss : public MainWindowTest {
protected:
    // Runs the event loop (timers tick) for `ms`; returns the longest the loop was held.
    static std::chrono::milliseconds longest_stall(int ms) {
        QElapsedTimer total;
        total.start();
        auto last = Clock::now();
        std::chrono::milliseconds longest{0};
        while (total.elapsed() < ms) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            auto now = Clock::now();
            longest = std::max(longest,
                               std::chrono::duration_cast<std::chrono::milliseconds>(now - last));
            last = now;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return longest;
    }
    template <class Action>
    static std::chrono::milliseconds timed(Action action) {
        auto start = Clock::now();
        action();
        return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    }
    // How many of the player's mixer handles the server has as clients.
    static int player_clients(const PrivatePulseServer& server) {
        const std::string clients = server.pactl("list clients");
        int count = 0;
        for (std::size_t at = 0;
             (at = clients.find("application.name = \"Wavlon\"", at)) != std::string::npos; ++at) {
            ++count;
        }
        return count;
    }
};

TEST_F(SoundServerLoss, PlayerOutlivesTheServerAndUsesItAgainWhenItIsBack) {
    PrivatePulseServer server({"module-null-sink sink_name=lost"});
    ASSERT_TRUE(server.running());
    ScopedPulseServer use(server.address());
    store_folder(make_folder("music", {"a.mp3", "b.mp3"}, mp3_file(Mp3Kind::Long)));
    start();
    const int mixers = player_clients(server);
    ASSERT_GE(mixers, 1);
    click_item(0);
    ASSERT_EQ(player::media_player().get_state(), kPlaying);
    ASSERT_FALSE(own_sink_inputs_corked().empty());

    // Gone mid-track. Where its socket was, something now hangs up on every caller, so each
    // reconnection attempt can be counted.
    server.kill();
    {
        HangUpSocket socket(server.address().substr(std::string("unix:").size()));
        ASSERT_TRUE(socket.listening());
        // The progress and button timers keep running; nothing holds the window longer than
        // the mixer's request bound.
        EXPECT_LT(longest_stall(3000), std::chrono::milliseconds(2500));
        EXPECT_LT(timed([&] { drag_slider("滑块条2", 1000); }), std::chrono::seconds(3));
        EXPECT_LT(timed([&] { click("按钮6"); }), std::chrono::seconds(3));
        // Opening a track cannot play it now, and gives up within the open's bound.
        EXPECT_LT(timed([&] { click_item(1); }), std::chrono::seconds(8));
        EXPECT_LT(longest_stall(1000), std::chrono::milliseconds(2500));
        // Attempts wait longer and longer between them: a handful in these seconds, not a
        // stream of them.
        EXPECT_LE(socket.calls(), 25);
    }

    server.restart();
    ASSERT_TRUE(server.running());
    EXPECT_TRUE(wait_until([&] { return player_clients(server) >= mixers; }, 15000))
        << "the mixer did not reconnect";

    click_item(1);
    EXPECT_EQ(player::media_player().get_state(), kPlaying);
    EXPECT_EQ(own_sink_inputs_corked(), std::vector<bool>{false});

    drag_slider("滑块条2", 6000);
    EXPECT_EQ(volume_values(server.pactl("get-sink-volume lost")), (std::vector{30000, 30000}));
    const bool muted = server.pactl("get-sink-mute lost").find("yes") != std::string::npos;
    click("按钮6");
    EXPECT_EQ(server.pactl("get-sink-mute lost").find("yes") != std::string::npos, !muted);
    click("按钮6");
    EXPECT_EQ(server.pactl("get-sink-mute lost").find("yes") != std::string::npos, muted);
}

}  // namespace
}  // namespace wavlon::testing
