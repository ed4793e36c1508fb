#include "runtime/units/media_play_device.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <regex>
#include <thread>

#include "platform/media_control.h"
#include "support/local_http_server.h"
#include "support/mp3_fixtures.h"

namespace wavlon::units {
namespace {

using testing::Mp3Kind;
using namespace std::chrono_literals;
using Commands = std::vector<std::string>;

bool eventually(const std::function<bool()>& condition) {
    auto end = std::chrono::steady_clock::now() + 10s;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

// Records the command strings the device sends; `commands()` hands over and forgets them.
class MediaPlayDeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::set_media_command_observer(
            [this](const std::string& text) { m_seen.push_back(text); });
    }
    void TearDown() override { platform::set_media_command_observer({}); }

    Commands commands() { return std::exchange(m_seen, {}); }
    // The command `text` with "@" standing for the device's alias.
    std::string with_alias(const MediaPlayDevice& device, std::string text) {
        for (std::size_t at; (at = text.find('@')) != std::string::npos;) {
            text.replace(at, 1, device.record().alias);
        }
        return text;
    }
    Commands with_alias(const MediaPlayDevice& device, const Commands& texts) {
        Commands out;
        for (const std::string& t : texts) {
            out.push_back(with_alias(device, t));
        }
        return out;
    }

private:
    Commands m_seen;
};

TEST_F(MediaPlayDeviceTest, EachDeviceHasItsOwnAliasOfThirtyTwoHexDigits) {
    MediaPlayDevice first;
    MediaPlayDevice second;
    EXPECT_TRUE(std::regex_match(first.record().alias, std::regex("[0-9a-f]{32}")))
        << first.record().alias;
    EXPECT_NE(first.record().alias, second.record().alias);
    EXPECT_EQ(first.record().pause_flag, 0);
    EXPECT_EQ(first.record().video_window, 0);
    EXPECT_EQ(first.record().file_name, "");
}

TEST_F(MediaPlayDeviceTest, BeforeAnyOpenEveryQueryGivesItsFailureValue) {
    MediaPlayDevice device;
    EXPECT_EQ(device.get_state(), 0);
    EXPECT_EQ(device.get_position(), -1);
    EXPECT_EQ(device.get_length(), 0);
    EXPECT_EQ(device.get_length_seconds(), 0);
    EXPECT_FALSE(device.toggle_pause());
    EXPECT_FALSE(device.stop());
    EXPECT_EQ(
        commands(),
        with_alias(device, Commands{"status @ mode", "status @ position", "status @ window handle",
                                    "set @ time format milliseconds", "status @ length",
                                    "status @ window handle", "set @ time format milliseconds",
                                    "status @ length", "pause @", "stop @"}));
}

TEST_F(MediaPlayDeviceTest, OpenChoosesTheDeviceTypeByExtension) {
    struct Case {
        runtime::Text name;
        runtime::Text extension;
        const char* type;
        int video_flag;
    };
    const Case cases[] = {
        {"/m/TRACK.MP3", "mp3", "MPEGvideo", 0},
        {"http://host/a.b/song.mp3?x=1", "mp3", "MPEGvideo", 0},
        {"/m/clip.avi", "avi", "avivideo", 1},
        {"/m/ding.Wav", "wav", "waveaudio", 0},
        {"/m/track01.cda", "cda", "cdaudio", 0},
        {"/m/x.ra", "ra", "MPEGvideo", 1},
        {"/m/movie.rmvb", "rmv", "MPEGvideo", 1},  // only three characters are compared
        {"/m/tune.midi", "mid", "Sequencer", 0},
        {"/m/tune.rmi", "rmi", "Sequencer", 1},
        {"/m/song.WMA", "wma", "MPEGvideo2", 1},
        {"/m/list.wvx", "wvx", "MPEGvideo2", 1},
        {"/m/song.ogg", "ogg", "MPEGvideo", 1},
        {"README", "rea", "MPEGvideo", 1},  // no ".": the first three characters
        {"/m/name.", "", "MPEGvideo", 1},
        {"\xB8\xE8\xC7\xFA\xC3\xFB", "\xB8\xE8\xC7\xFA\xC3\xFB", "MPEGvideo", 1},
        // A second byte in the range of "A".."Z" is part of a character, not a letter.
        {"/m/x.\x81\x41\x81\x41\x81\x41\x81\x41", "\x81\x41\x81\x41\x81\x41", "MPEGvideo", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MediaPlayDevice device;
        commands();  // the previous device's closing
        device.open(c.name);
        EXPECT_EQ(device.record().file_name, c.name);
        EXPECT_EQ(device.record().extension, c.extension);
        EXPECT_EQ(device.record().video_flag, c.video_flag);
        EXPECT_EQ(commands(),
                  with_alias(device, Commands{"close @", "open \"" + runtime::to_utf8(c.name) +
                                                             "\" type " + c.type + " alias @"}));
    }
}

TEST_F(MediaPlayDeviceTest, OpeningAnMp3FileMakesItReadyAtItsStart) {
    MediaPlayDevice device;
    std::string path = testing::mp3_copy_named(Mp3Kind::Short, "TRACK.MP3");
    ASSERT_TRUE(device.open(path));
    EXPECT_EQ(device.get_state(), 2);
    EXPECT_EQ(device.get_position(), 0);
    EXPECT_NEAR(device.get_length(), 3000, 150);
    EXPECT_EQ(device.get_length_seconds(), device.get_length() / 1000);
    Commands sent = commands();
    ASSERT_GE(sent.size(), 2u);
    EXPECT_EQ(sent[1], with_alias(device, "open \"" + path + "\" type MPEGvideo alias @"));
}

TEST_F(MediaPlayDeviceTest, FileNamesAndAddressesReachThePlayerWhole) {
    testing::LocalHttpServer server([](const testing::HttpRequest& request) {
        return testing::mp3_reply(
            request, testing::read_file_bytes(testing::mp3_file(Mp3Kind::Short)), true);
    });
    MediaPlayDevice device;
    EXPECT_TRUE(device.open(runtime::from_utf8(server.url("/songs/song.mp3?id=7"))));
    EXPECT_NEAR(device.get_length(), 3000, 150);
    std::string path = testing::mp3_copy_named(Mp3Kind::Short, "歌曲.mp3");
    EXPECT_TRUE(device.open(runtime::from_utf8(path)));
    EXPECT_EQ(device.get_state(), 2);
}

TEST_F(MediaPlayDeviceTest, FailedOpenLeavesNothingOpen) {
    MediaPlayDevice device;
    ASSERT_TRUE(device.open(testing::mp3_file(Mp3Kind::Short)));
    EXPECT_FALSE(device.open(testing::random_bytes_file("noise.mp3", 32 * 1024)));
    EXPECT_EQ(device.record().extension, "mp3");
    EXPECT_EQ(device.get_state(), 0);
    EXPECT_EQ(device.get_position(), -1);
    EXPECT_EQ(device.get_length(), 0);
    EXPECT_FALSE(device.play(-1));
}

TEST_F(MediaPlayDeviceTest, SecondOpenClosesTheFirstUnderTheSameAlias) {
    MediaPlayDevice device;
    ASSERT_TRUE(device.open(testing::mp3_file(Mp3Kind::Long)));
    ASSERT_TRUE(device.open(testing::mp3_file(Mp3Kind::Short)));
    EXPECT_NEAR(device.get_length(), 3000, 150);
    Commands sent = commands();
    ASSERT_GE(sent.size(), 4u);
    EXPECT_EQ(sent[2], with_alias(device, "close @"));
    EXPECT_TRUE(device.close());
    EXPECT_FALSE(device.close());
}

TEST_F(MediaPlayDeviceTest, PlayStartsAtTheBeginningOrAtTheGivenPosition) {
    MediaPlayDevice device;
    ASSERT_TRUE(device.open(testing::mp3_file(Mp3Kind::Long)));
    // Positions are checked against a minute's margin, far beyond any scheduling delay.
    ASSERT_TRUE(device.play(-1));
    EXPECT_EQ(device.get_state(), 1);
    ASSERT_TRUE(eventually([&] { return device.get_position() > 100; }));
    EXPECT_LT(device.get_position(), 60000);

    ASSERT_TRUE(device.play(90000));
    EXPECT_GE(device.get_position(), 90000);
    EXPECT_LT(device.get_position(), 150000);

    commands();
    ASSERT_TRUE(device.stop());
    EXPECT_EQ(commands(), with_alias(device, Commands{"stop @", "seek @ to start"}));
    EXPECT_EQ(device.get_state(), 2);
    EXPECT_EQ(device.get_position(), 0);
    ASSERT_TRUE(device.play(-1));
    ASSERT_TRUE(eventually([&] { return device.get_position() > 100; }));
    EXPECT_LT(device.get_position(), 60000);
}

TEST_F(MediaPlayDeviceTest, TogglePauseAlternatesAndPlayClearsThePauseFlag) {
    MediaPlayDevice device;
    ASSERT_TRUE(device.open(testing::mp3_file(Mp3Kind::Long)));
    ASSERT_TRUE(device.play(-1));
    commands();
    EXPECT_TRUE(device.toggle_pause());
    EXPECT_EQ(device.get_state(), 3);
    EXPECT_TRUE(device.toggle_pause());
    EXPECT_EQ(device.get_state(), 1);
    EXPECT_TRUE(device.toggle_pause());
    EXPECT_EQ(device.get_state(), 3);
    EXPECT_EQ(commands(),
              with_alias(device, Commands{"pause @", "status @ mode", "resume @", "status @ mode",
                                          "pause @", "status @ mode"}));

    // Paused, play continues from the pause point and the next toggle pauses again.
    std::int32_t paused_at = device.get_position();
    ASSERT_TRUE(device.play(-1));
    EXPECT_EQ(device.record().pause_flag, 0);
    EXPECT_GE(device.get_position(), paused_at);
    EXPECT_LT(device.get_position(), paused_at + 60000);
    commands();
    EXPECT_TRUE(device.toggle_pause());
    EXPECT_EQ(commands(), with_alias(device, Commands{"pause @"}));
}

TEST_F(MediaPlayDeviceTest, PlayWithAWindowSendsItOnlyWhenItIsAWindow) {
    MediaPlayDevice device;
    device.set_window_check([](std::int32_t handle) { return handle == 77; });
    ASSERT_TRUE(device.open(testing::mp3_file(Mp3Kind::Short)));
    commands();
    EXPECT_TRUE(device.play(-1, 99));
    EXPECT_TRUE(device.play(1000, 77));
    EXPECT_EQ(device.record().video_window, 77);
    EXPECT_EQ(commands(),
              with_alias(device, Commands{"play @", "window @ handle 77", "play @ from 1000"}));
    // A name that is not audio by its extension gets the stored window after opening.
    std::string clip = testing::mp3_copy_named(Mp3Kind::Short, "clip.avi");
    ASSERT_TRUE(device.open(clip));
    EXPECT_EQ(commands(),
              with_alias(device, Commands{"close @", "open \"" + clip + "\" type avivideo alias @",
                                          "window @ handle 77"}));
}

TEST_F(MediaPlayDeviceTest, EmptyAliasFailsEverything) {
    MediaPlayDevice device{runtime::Text()};
    EXPECT_FALSE(device.open(testing::mp3_file(Mp3Kind::Short)));
    EXPECT_FALSE(device.play(-1));
    EXPECT_FALSE(device.toggle_pause());
    EXPECT_FALSE(device.stop());
    EXPECT_FALSE(device.close());
    EXPECT_EQ(device.get_state(), 0);
    EXPECT_EQ(device.get_position(), -1);
    EXPECT_EQ(device.get_length(), 0);
}

TEST_F(MediaPlayDeviceTest, DestroyingTheDeviceClosesIt) {
    std::string alias;
    {
        MediaPlayDevice device;
        alias = device.record().alias;
        ASSERT_TRUE(device.open(testing::mp3_file(Mp3Kind::Short)));
        ASSERT_TRUE(device.play(-1));
        commands();
    }
    EXPECT_EQ(commands(), Commands{"close " + alias});
    EXPECT_FALSE(platform::send_media_command("status " + alias + " mode"));
}

}  // namespace
}  // namespace wavlon::units
