#include "runtime/units/media_play_device.h"

#include <gst/gst.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <thread>

#include "platform/media_control.h"
#include "support/child_test.h"
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
            text.replace(at, 1, device.record().alias.bytes());
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
    EXPECT_TRUE(std::regex_match(first.record().alias.bytes(), std::regex("[0-9a-f]{32}")))
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
                  with_alias(device, Commands{"close @", "open \"" + runtime::gbk_to_utf8(c.name) +
                                                             "\" type " + c.type + " alias @"}));
    }
}

TEST_F(MediaPlayDeviceTest, OpeningAnMp3FileMakesItReadyAtItsStart) {
    MediaPlayDevice device;
    std::string path = testing::mp3_copy_named(Mp3Kind::Short, "TRACK.MP3");
    ASSERT_TRUE(device.open(runtime::file_name_to_gbk(path)));
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
    EXPECT_TRUE(device.open(runtime::utf8_to_gbk(server.url("/songs/song.mp3?id=7"))));
    EXPECT_NEAR(device.get_length(), 3000, 150);
    std::string path = testing::mp3_copy_named(Mp3Kind::Short, "歌曲.mp3");
    EXPECT_TRUE(device.open(runtime::utf8_to_gbk(path)));
    EXPECT_EQ(device.get_state(), 2);
}

TEST_F(MediaPlayDeviceTest, FailedOpenLeavesNothingOpen) {
    MediaPlayDevice device;
    ASSERT_TRUE(device.open(runtime::file_name_to_gbk(testing::mp3_file(Mp3Kind::Short))));
    EXPECT_FALSE(
        device.open(runtime::file_name_to_gbk(testing::random_bytes_file("noise.mp3", 32 * 1024))));
    EXPECT_EQ(device.record().extension, "mp3");
    EXPECT_EQ(device.get_state(), 0);
    EXPECT_EQ(device.get_position(), -1);
    EXPECT_EQ(device.get_length(), 0);
    EXPECT_FALSE(device.play(-1));
}

TEST_F(MediaPlayDeviceTest, SecondOpenClosesTheFirstUnderTheSameAlias) {
    MediaPlayDevice device;
    ASSERT_TRUE(device.open(runtime::file_name_to_gbk(testing::mp3_file(Mp3Kind::Long))));
    ASSERT_TRUE(device.open(runtime::file_name_to_gbk(testing::mp3_file(Mp3Kind::Short))));
    EXPECT_NEAR(device.get_length(), 3000, 150);
    Commands sent = commands();
    ASSERT_GE(sent.size(), 4u);
    EXPECT_EQ(sent[2], with_alias(device, "close @"));
    EXPECT_TRUE(device.close());
    EXPECT_FALSE(device.close());
}

TEST_F(MediaPlayDeviceTest, PlayStartsAtTheBeginningOrAtTheGivenPosition) {
    MediaPlayDevice device;
    ASSERT_TRUE(device.open(runtime::file_name_to_gbk(testing::mp3_file(Mp3Kind::Long))));
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
    ASSERT_TRUE(device.open(runtime::file_name_to_gbk(testing::mp3_file(Mp3Kind::Long))));
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
    ASSERT_TRUE(device.open(runtime::file_name_to_gbk(testing::mp3_file(Mp3Kind::Short))));
    commands();
    EXPECT_TRUE(device.play(-1, 99));
    EXPECT_TRUE(device.play(1000, 77));
    EXPECT_EQ(device.record().video_window, 77);
    EXPECT_EQ(commands(),
              with_alias(device, Commands{"play @", "window @ handle 77", "play @ from 1000"}));
    // A name that is not audio by its extension gets the stored window after opening.
    std::string clip = testing::mp3_copy_named(Mp3Kind::Short, "clip.avi");
    ASSERT_TRUE(device.open(runtime::file_name_to_gbk(clip)));
    EXPECT_EQ(commands(),
              with_alias(device, Commands{"close @", "open \"" + clip + "\" type avivideo alias @",
                                          "window @ handle 77"}));
}

TEST_F(MediaPlayDeviceTest, EmptyAliasFailsEverything) {
    MediaPlayDevice device{runtime::Text()};
    EXPECT_FALSE(device.open(runtime::file_name_to_gbk(testing::mp3_file(Mp3Kind::Short))));
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
        alias = device.record().alias.bytes();
        ASSERT_TRUE(device.open(runtime::file_name_to_gbk(testing::mp3_file(Mp3Kind::Short))));
        ASSERT_TRUE(device.play(-1));
        commands();
    }
    EXPECT_EQ(commands(), Commands{"close " + alias});
    EXPECT_FALSE(platform::send_media_command("status " + alias + " mode"));
}

// A WAV file of one second of silence (16-bit mono, 8 kHz): playable without any MP3 plugin.
std::string silent_wav() {
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("wavlon_silence_" + std::to_string(::getpid()) + ".wav"))
                                 .string();
    auto le = [](std::uint32_t v, int bytes) {
        std::string out;
        for (int i = 0; i < bytes; ++i) {
            out += static_cast<char>((v >> (8 * i)) & 0xFF);
        }
        return out;
    };
    const std::uint32_t data = 16000;
    std::ofstream out(path, std::ios::binary);
    out << "RIFF" << le(36 + data, 4) << "WAVEfmt " << le(16, 4) << le(1, 2) << le(1, 2)
        << le(8000, 4) << le(16000, 4) << le(2, 2) << le(16, 2) << "data" << le(data, 4)
        << std::string(data, '\0');
    return path;
}

// GStreamer without its MP3 decoder: a registry of its own, built in a new process from the
// system's plugins less mpg123. Opening an MP3 fails as any failed open does, the missing
// element is named once on standard error however often it is needed, and other files play.
TEST(MediaPlayDeviceWithoutMp3Decoder, OpenFailsAndTheMissingPluginIsNamedOnce) {
    namespace fs = std::filesystem;
    const std::string missing =
        "wavlon: GStreamer element \"mpg123audiodec\" is missing (package "
        "gstreamer1.0-plugins-good); MP3 files cannot be played";
    if (!testing::in_test_child()) {
        gst_init(nullptr, nullptr);
        GstPlugin* mpg123 = gst_registry_find_plugin(gst_registry_get(), "mpg123");
        if (mpg123 == nullptr) {
            GTEST_SKIP() << "GStreamer has no mpg123 plugin to take away";
        }
        const fs::path decoder = gst_plugin_get_filename(mpg123);
        gst_object_unref(mpg123);
        const fs::path system = decoder.parent_path();
        std::string pattern = (fs::temp_directory_path() / "wavlon_gst_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        const fs::path root = pattern;
        fs::create_directories(root / "plugins");
        for (const fs::directory_entry& plugin : fs::directory_iterator(system)) {
            const std::string name = plugin.path().filename().string();
            if (name.ends_with(".so") && plugin.path() != decoder) {
                fs::create_symlink(plugin.path(), root / "plugins" / name);
            }
        }
        const std::string output = testing::rerun_current_test(
            "GST_PLUGIN_SYSTEM_PATH_1_0='" + (root / "plugins").string() +
            "' GST_PLUGIN_PATH_1_0= GST_REGISTRY_1_0='" + (root / "registry.bin").string() + "'");
        fs::remove_all(root);
        EXPECT_NE(output.find("[  PASSED  ] 1 test"), std::string::npos) << output;
        EXPECT_NE(output.find("exit 0"), std::string::npos) << output;
        std::size_t named = 0;
        for (std::size_t at = 0; (at = output.find(missing, at)) != std::string::npos; ++at) {
            ++named;
        }
        EXPECT_EQ(named, 1u) << output;
        return;
    }

    MediaPlayDevice device;
    for (Mp3Kind kind : {Mp3Kind::Short, Mp3Kind::Vbr}) {
        EXPECT_FALSE(device.open(runtime::file_name_to_gbk(testing::mp3_file(kind))));
        EXPECT_EQ(device.get_state(), 0);
        EXPECT_EQ(device.get_position(), -1);
        EXPECT_EQ(device.get_length(), 0);
        EXPECT_FALSE(device.play(-1));
    }
    const std::string wav = silent_wav();
    EXPECT_TRUE(device.open(runtime::file_name_to_gbk(wav)));
    EXPECT_NEAR(device.get_length(), 1000, 50);
    EXPECT_TRUE(device.play(-1));
    EXPECT_TRUE(device.close());
    std::filesystem::remove(wav);
}

}  // namespace
}  // namespace wavlon::units
