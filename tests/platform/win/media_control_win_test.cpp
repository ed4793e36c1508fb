// The media command strings on the system's MCI, playing real MP3 files on the suite's sound
// server.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/media_control.h"
#include "support/mp3_fixtures.h"

namespace wavlon::platform {
namespace {

using wavlon::testing::Mp3Kind;

// The file's absolute Windows path, UTF-8.
std::string windows_path(const std::string& path) {
    std::filesystem::path full =
        std::filesystem::absolute(std::filesystem::path(std::u8string(path.begin(), path.end())));
    std::u8string text = full.u8string();
    return std::string(text.begin(), text.end());
}

std::string answer(const std::string& command) {
    std::string text;
    return send_media_command(command, &text) ? text : "<failed>";
}

long long number(const std::string& command) {
    return std::stoll(answer(command));
}

bool wait_until(const std::function<bool()>& done, int ms = 5000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        Sleep(20);
    }
    return true;
}

class MediaControlWinTest : public ::testing::Test {
protected:
    void SetUp() override {
        set_media_end_listener([this] { ++m_ends; });
        set_media_command_observer([this](const std::string& c) { m_commands.push_back(c); });
    }
    void TearDown() override {
        send_media_command("close song");
        set_media_end_listener(nullptr);
        set_media_command_observer(nullptr);
    }

    std::atomic<int> m_ends{0};
    std::vector<std::string> m_commands;
};

TEST_F(MediaControlWinTest, PlaysPausesSeeksStopsAndTellsTheEnd) {
    std::string path = windows_path(wavlon::testing::mp3_file(Mp3Kind::Short));
    ASSERT_TRUE(open_media("MPEGvideo", path, "song"));
    EXPECT_EQ(m_commands.back(), "open \"" + path + "\" type MPEGvideo alias song");
    EXPECT_TRUE(send_media_command("set song time format milliseconds"));
    EXPECT_NEAR(number("status song length"), 3000, 100);
    EXPECT_EQ(answer("status song mode"), "stopped");
    EXPECT_EQ(number("status song position"), 0);

    ASSERT_TRUE(send_media_command("play song"));
    EXPECT_EQ(answer("status song mode"), "playing");
    ASSERT_TRUE(wait_until([] { return number("status song position") > 300; }));

    ASSERT_TRUE(send_media_command("pause song"));
    EXPECT_EQ(answer("status song mode"), "paused");
    long long paused_at = number("status song position");
    Sleep(300);
    EXPECT_NEAR(number("status song position"), paused_at, 50);
    ASSERT_TRUE(send_media_command("resume song"));
    EXPECT_EQ(answer("status song mode"), "playing");

    ASSERT_TRUE(send_media_command("stop song"));
    EXPECT_EQ(answer("status song mode"), "stopped");
    ASSERT_TRUE(send_media_command("seek song to start"));
    EXPECT_EQ(number("status song position"), 0);
    EXPECT_EQ(m_ends, 0);

    // Played to its end: the listener hears of it and the device stands stopped at the end.
    ASSERT_TRUE(send_media_command("play song from 2500"));
    ASSERT_TRUE(wait_until([this] { return m_ends > 0; })) << "no end notice";
    EXPECT_EQ(m_ends, 1);
    EXPECT_EQ(answer("status song mode"), "stopped");

    // "play" at the end starts the song again.
    ASSERT_TRUE(send_media_command("play song"));
    EXPECT_EQ(answer("status song mode"), "playing");
    EXPECT_LT(number("status song position"), 1000);
    EXPECT_TRUE(send_media_command("close song"));
    EXPECT_EQ(answer("status song mode"), "<failed>");
}

TEST_F(MediaControlWinTest, NamesOutsideTheSystemCodePageOpen) {
    // Hangul has no place in code page 936.
    std::string path = windows_path(wavlon::testing::mp3_copy_named(Mp3Kind::Short, "노래 歌.mp3"));
    ASSERT_TRUE(open_media("MPEGvideo", path, "song"));
    EXPECT_NEAR(number("status song length"), 3000, 100);
}

TEST_F(MediaControlWinTest, WhatCannotBeDoneFails) {
    // Longer noise holds frame headers by chance, which wine's decoder takes for MPEG audio.
    std::string corrupt = windows_path(wavlon::testing::random_bytes_file("corrupt.mp3", 100));
    std::string empty = windows_path(wavlon::testing::random_bytes_file("empty.mp3", 0));
    std::string good = windows_path(wavlon::testing::mp3_file(Mp3Kind::Short));
    EXPECT_FALSE(open_media("MPEGvideo", corrupt, "song"));
    EXPECT_FALSE(open_media("MPEGvideo", empty, "song"));
    EXPECT_FALSE(open_media("MPEGvideo", corrupt + ".missing", "song"));
    EXPECT_FALSE(open_media("MPEGvideo", good, ""));
    EXPECT_FALSE(send_media_command("status song mode"));
    EXPECT_FALSE(send_media_command("play nothing"));
    EXPECT_FALSE(send_media_command("fly song"));

    ASSERT_TRUE(open_media("MPEGvideo", good, "song"));
    EXPECT_FALSE(open_media("MPEGvideo", good, "SONG")) << "an alias open already";
    EXPECT_NEAR(number("status song length"), 3000, 100);
    EXPECT_TRUE(missing_media_plugins([](const char*) { return false; }).empty());
}

}  // namespace
}  // namespace wavlon::platform
