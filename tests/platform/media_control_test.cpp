#include "platform/media_control.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <future>
#include <optional>
#include <thread>

#include "support/local_http_server.h"
#include "support/mp3_fixtures.h"
#include "support/pulse_server.h"

namespace wavlon::platform {
namespace {

using testing::Mp3Kind;
using testing::own_sink_inputs_corked;
using namespace std::chrono_literals;

constexpr const char* kAlias = "9f1c2e3d4b5a69788796a5b4c3d2e1f0";

std::string answer_of(const std::string& command) {
    std::string answer;
    send_media_command(command, &answer);
    return answer;
}

std::int64_t number_of(const std::string& command) {
    std::string answer = answer_of(command);
    EXPECT_FALSE(answer.empty()) << command;
    return answer.empty() ? -1 : std::stoll(answer);
}

std::string mode() {
    return answer_of(std::string("status ") + kAlias + " mode");
}
std::int64_t position() {
    return number_of(std::string("status ") + kAlias + " position");
}
std::int64_t length() {
    return number_of(std::string("status ") + kAlias + " length");
}
bool command(const std::string& verb, const std::string& rest = "") {
    return send_media_command(verb + " " + kAlias + rest);
}

// Polls `condition` until it holds or `limit` passes: playback proceeds on its own threads.
bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds limit = 10s) {
    auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

// Closes the test alias whatever a test leaves open.
class MediaControl : public ::testing::Test {
protected:
    void TearDown() override { send_media_command(std::string("close ") + kAlias); }
    static bool open(const std::string& element) {
        return open_media("MPEGvideo", element, kAlias);
    }
};

std::int64_t tolerance(std::int64_t expected) {
    return std::max<std::int64_t>(150, expected / 200);
}

const Mp3Kind kAllKinds[] = {Mp3Kind::CbrNoTag, Mp3Kind::Vbr, Mp3Kind::Mono, Mp3Kind::Short,
                             Mp3Kind::Long};

TEST_F(MediaControl, LengthOfEveryFileKindFromDisk) {
    for (Mp3Kind kind : {Mp3Kind::CbrNoTag, Mp3Kind::Vbr, Mp3Kind::Mono, Mp3Kind::Short,
                         Mp3Kind::Long, Mp3Kind::FallingVbrNoTag}) {
        SCOPED_TRACE(testing::mp3_kind_name(kind));
        ASSERT_TRUE(open(testing::mp3_file(kind)));
        EXPECT_NEAR(length(), testing::mp3_sound_length_ms(kind),
                    tolerance(testing::mp3_sound_length_ms(kind)));
        EXPECT_EQ(mode(), "stopped");
        EXPECT_EQ(position(), 0);
        ASSERT_TRUE(command("close"));
    }
}

TEST_F(MediaControl, LengthOfEveryFileKindOverHttpWithAndWithoutContentLength) {
    testing::LocalHttpServer server([](const testing::HttpRequest& request) {
        bool with_length = request.target.rfind("/sized/", 0) == 0;
        for (Mp3Kind kind : kAllKinds) {
            if (request.target.ends_with(std::string("/") + testing::mp3_kind_name(kind) +
                                         ".mp3")) {
                return testing::mp3_reply(
                    request, testing::read_file_bytes(testing::mp3_file(kind)), with_length);
            }
        }
        return testing::HttpReply::status(404, "Not Found");
    });
    for (const char* folder : {"/sized/", "/unsized/"}) {
        for (Mp3Kind kind : kAllKinds) {
            SCOPED_TRACE(std::string(folder) + testing::mp3_kind_name(kind));
            std::int64_t expected = testing::mp3_sound_length_ms(kind);
            ASSERT_TRUE(
                open(server.url(folder + std::string(testing::mp3_kind_name(kind)) + ".mp3")));
            EXPECT_NEAR(length(), expected, tolerance(expected));
            EXPECT_EQ(mode(), "stopped");
            ASSERT_TRUE(command("close"));
        }
    }
}

// Over the network a variable bit rate without a frame count can only be estimated at first
// (a server does not hand out the whole file to count its frames): the estimate must not hold
// the position back, the length stays ahead of the position, and the end makes it exact.
TEST_F(MediaControl, EstimatedStreamLengthGivesWayAndTheEndMakesItExact) {
    testing::LocalHttpServer server([](const testing::HttpRequest& request) {
        return testing::mp3_reply(
            request, testing::read_file_bytes(testing::mp3_file(Mp3Kind::FallingVbrNoTag)),
            request.target == "/sized.mp3");
    });
    const std::int64_t sound = testing::mp3_sound_length_ms(Mp3Kind::FallingVbrNoTag);
    for (const char* path : {"/sized.mp3", "/unsized.mp3"}) {
        SCOPED_TRACE(path);
        ASSERT_TRUE(open(server.url(path)));
        ASSERT_TRUE(command("play"));
        std::int64_t furthest = 0;
        bool length_kept_ahead = true;
        ASSERT_TRUE(eventually(
            [&] {
                std::int64_t at = position();
                furthest = std::max(furthest, at);
                if (mode() == "stopped") {
                    return true;
                }
                length_kept_ahead = length_kept_ahead && length() >= at;
                return false;
            },
            20s));
        EXPECT_TRUE(length_kept_ahead);
        EXPECT_GE(furthest, sound - 1000);
        EXPECT_NEAR(length(), sound, 300);
        EXPECT_EQ(position(), length());
        ASSERT_TRUE(command("close"));
    }
}

// A file far too large to count its frames while opening (a terabyte, sparse: the falling
// file, then nothing): the count stops in time and the rest of the length is estimated. The
// bound only guards against a hang.
TEST_F(MediaControl, HugeFileWithoutFrameCountOpensWithinItsTimeOut) {
    namespace fs = std::filesystem;
    const fs::path huge = fs::temp_directory_path() / ("wavlon-huge-" + std::to_string(::getpid()));
    fs::copy_file(testing::mp3_file(Mp3Kind::FallingVbrNoTag), huge);
    fs::resize_file(huge, std::uintmax_t{1} << 40);
    auto opened = std::async(std::launch::async, [&] { return open(huge.string()); });
    if (opened.wait_for(60s) != std::future_status::ready) {
        ADD_FAILURE() << "open did not return";
        std::abort();  // the open still runs; nothing safe is left to do
    }
    EXPECT_TRUE(opened.get());
    EXPECT_GE(length(), testing::mp3_sound_length_ms(Mp3Kind::FallingVbrNoTag));
    EXPECT_TRUE(command("close"));
    fs::remove(huge);
}

TEST_F(MediaControl, PlayPauseResumeStopAndSeekKeepTheirPositions) {
    ASSERT_TRUE(open(testing::mp3_file(Mp3Kind::Long)));
    // Positions are checked against a margin of a minute, far beyond any scheduling delay.
    ASSERT_TRUE(command("play", " from 90000"));
    EXPECT_EQ(mode(), "playing");
    EXPECT_GE(position(), 90000);
    ASSERT_TRUE(eventually([] { return position() > 90200; }));
    EXPECT_LT(position(), 150000);

    ASSERT_TRUE(command("pause"));
    EXPECT_EQ(mode(), "paused");
    std::int64_t paused_at = position();
    std::this_thread::sleep_for(300ms);
    EXPECT_NEAR(position(), paused_at, 20);

    ASSERT_TRUE(command("resume"));
    EXPECT_EQ(mode(), "playing");
    ASSERT_TRUE(eventually([&] { return position() > paused_at + 200; }));

    ASSERT_TRUE(command("stop"));
    EXPECT_EQ(mode(), "stopped");
    EXPECT_GT(position(), paused_at);
    ASSERT_TRUE(command("seek", " to start"));
    EXPECT_EQ(mode(), "stopped");
    EXPECT_EQ(position(), 0);

    ASSERT_TRUE(command("play"));
    EXPECT_EQ(mode(), "playing");
    ASSERT_TRUE(eventually([] { return position() > 200; }));
    EXPECT_LT(position(), 60000);
}

TEST_F(MediaControl, PauseWhileStoppedThenPlayContinuesFromTheSamePoint) {
    ASSERT_TRUE(open(testing::mp3_file(Mp3Kind::Long)));
    ASSERT_TRUE(command("play", " from 300000"));
    ASSERT_TRUE(command("stop"));
    ASSERT_TRUE(command("pause"));
    EXPECT_EQ(mode(), "paused");
    ASSERT_TRUE(command("play"));
    ASSERT_TRUE(eventually([] { return position() > 300100; }));
    EXPECT_LT(position(), 360000);
}

TEST_F(MediaControl, EndOfStreamStopsAtTheLengthAndPlayStartsAgain) {
    ASSERT_TRUE(open(testing::mp3_file(Mp3Kind::Short)));
    std::int64_t total = length();
    ASSERT_TRUE(command("play", " from " + std::to_string(total - 400)));
    ASSERT_TRUE(eventually([] { return mode() == "stopped"; }));
    EXPECT_EQ(position(), total);
    EXPECT_EQ(length(), total);

    // Play without a position at the end starts from the beginning instead of ending at once.
    ASSERT_TRUE(command("play"));
    EXPECT_EQ(mode(), "playing");
    EXPECT_LT(position(), total - 400);
    ASSERT_TRUE(eventually([] { return mode() == "stopped"; }));
    EXPECT_EQ(position(), total);

    // Paused at the end, resuming has nothing left to play.
    ASSERT_TRUE(command("pause"));
    ASSERT_TRUE(command("resume"));
    EXPECT_EQ(mode(), "stopped");
}

TEST_F(MediaControl, PositionsOutsideTheStreamAreRefused) {
    ASSERT_TRUE(open(testing::mp3_file(Mp3Kind::Short)));
    std::int64_t total = length();
    EXPECT_FALSE(command("play", " from -1"));
    EXPECT_FALSE(command("play", " from " + std::to_string(total + 1)));
    EXPECT_EQ(mode(), "stopped");
    EXPECT_EQ(position(), 0);
    EXPECT_TRUE(command("play", " from " + std::to_string(total)));
    ASSERT_TRUE(eventually([] { return mode() == "stopped"; }));
    EXPECT_EQ(position(), total);
}

TEST_F(MediaControl, SourcesThatCannotBeOpenedFail) {
    testing::LocalHttpServer server(
        [](const testing::HttpRequest&) { return testing::HttpReply::status(404, "Not Found"); });
    std::string folder = std::filesystem::path(testing::mp3_file(Mp3Kind::Short)).parent_path();
    struct Case {
        const char* what;
        std::string type;
        std::string element;
    };
    const Case cases[] = {
        {"missing file", "MPEGvideo", folder + "/no such file.mp3"},
        {"random bytes", "MPEGvideo", testing::random_bytes_file("corrupt.mp3", 64 * 1024)},
        {"empty file", "MPEGvideo", testing::random_bytes_file("empty.mp3", 0)},
        {"folder", "MPEGvideo", folder},
        {"empty name", "MPEGvideo", ""},
        {"no CD device", "cdaudio", testing::mp3_file(Mp3Kind::Short)},
        {"not found", "MPEGvideo", server.url("/missing.mp3")},
        {"refused", "MPEGvideo",
         "http://127.0.0.1:" + std::to_string(testing::LocalHttpServer::refused_port()) + "/a.mp3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_FALSE(open_media(c.type, c.element, kAlias));
        std::string answer = "unchanged";
        EXPECT_FALSE(send_media_command(std::string("status ") + kAlias + " mode", &answer));
        EXPECT_EQ(answer, "");
        EXPECT_FALSE(send_media_command(std::string("status ") + kAlias + " position"));
        EXPECT_FALSE(send_media_command(std::string("status ") + kAlias + " length"));
        EXPECT_FALSE(command("close"));
    }
}

TEST_F(MediaControl, EveryDeviceTypeButCdAudioPlaysTheFile) {
    for (const char* type : {"MPEGvideo", "MPEGvideo2", "waveaudio", "avivideo", "Sequencer"}) {
        SCOPED_TRACE(type);
        EXPECT_TRUE(open_media(type, testing::mp3_file(Mp3Kind::Short), kAlias));
        EXPECT_TRUE(command("close"));
    }
}

TEST_F(MediaControl, SecondOpenUnderTheSameAliasFailsAndKeepsTheFirst) {
    ASSERT_TRUE(open(testing::mp3_file(Mp3Kind::Long)));
    EXPECT_FALSE(open(testing::mp3_file(Mp3Kind::Short)));
    EXPECT_NEAR(length(), testing::mp3_sound_length_ms(Mp3Kind::Long), 10000);
    // Aliases compare without case, like the command words.
    std::string upper = kAlias;
    for (char& c : upper) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    EXPECT_FALSE(open_media("MPEGvideo", testing::mp3_file(Mp3Kind::Short), upper));
    EXPECT_TRUE(send_media_command("status " + upper + " mode"));
}

TEST_F(MediaControl, MalformedCommandsAndUnknownAliasesFail) {
    ASSERT_TRUE(open(testing::mp3_file(Mp3Kind::Short)));
    const std::string a = kAlias;
    for (const std::string& text :
         std::vector<std::string>{"",
                                  "   ",
                                  "play",
                                  "jump " + a,
                                  "status " + a,
                                  "status " + a + " volume",
                                  "play " + a + " from",
                                  "play " + a + " from ten",
                                  "play " + a + " from 12x",
                                  "play " + a + " to 100",
                                  "set " + a + " time format frames",
                                  "window " + a + " handle",
                                  "seek " + a + " to end",
                                  "status other mode",
                                  "play other",
                                  "close other",
                                  "open \"unterminated type MPEGvideo alias x",
                                  "open a.mp3 type MPEGvideo",
                                  "open a.mp3 alias x",
                                  "stop " + a + " now"}) {
        SCOPED_TRACE(text);
        std::string answer = "unchanged";
        EXPECT_FALSE(send_media_command(text, &answer));
        EXPECT_EQ(answer, "");
    }
    EXPECT_EQ(mode(), "stopped");
}

TEST_F(MediaControl, CommandWordsIgnoreCaseAndAnswerTheirValues) {
    ASSERT_TRUE(open(testing::mp3_file(Mp3Kind::Short)));
    std::string answer;
    EXPECT_TRUE(send_media_command(std::string("STATUS ") + kAlias + " Mode", &answer));
    EXPECT_EQ(answer, "stopped");
    EXPECT_TRUE(command("set", " time format milliseconds"));
    EXPECT_EQ(answer_of(std::string("status ") + kAlias + " window handle"), "0");
    EXPECT_TRUE(command("window", " handle 4242"));
    EXPECT_EQ(answer_of(std::string("status ") + kAlias + " window handle"), "4242");
    EXPECT_TRUE(send_media_command(std::string("play ") + kAlias + "  from  +0"));
    EXPECT_EQ(mode(), "playing");
}

TEST_F(MediaControl, OpenCommandStringTakesQuotedNamesWithSpacesAndNonAscii) {
    std::string path = testing::mp3_copy_named(Mp3Kind::Short, "一首 歌.mp3");
    EXPECT_TRUE(send_media_command("open \"" + path + "\" type MPEGvideo alias " + kAlias));
    EXPECT_NEAR(length(), 3000, 150);
    EXPECT_TRUE(command("close"));
    EXPECT_TRUE(send_media_command(std::string("open ") + testing::mp3_file(Mp3Kind::Short) +
                                   " alias " + kAlias + " type waveaudio"));
}

TEST_F(MediaControl, AddressesWithSpacesAndNonAsciiAreEscaped) {
    testing::LocalHttpServer server([](const testing::HttpRequest& request) {
        if (request.target != "/my%20songs/%E6%AD%8C.mp3") {
            return testing::HttpReply::status(404, "Not Found");
        }
        return testing::mp3_reply(
            request, testing::read_file_bytes(testing::mp3_file(Mp3Kind::Short)), true);
    });
    EXPECT_TRUE(open(server.url("/my songs/歌.mp3")));
}

TEST_F(MediaControl, StreamWithoutRangesStartsAgainOnlyFromTheStart) {
    std::string bytes = testing::read_file_bytes(testing::mp3_file(Mp3Kind::Long));
    testing::LocalHttpServer server([&](const testing::HttpRequest& request) {
        return testing::mp3_reply(request, bytes, false);
    });
    ASSERT_TRUE(open(server.url("/song.mp3")));
    ASSERT_TRUE(command("play"));
    ASSERT_TRUE(eventually([] { return position() > 300; }));
    EXPECT_FALSE(command("play", " from 600000"));
    ASSERT_TRUE(command("stop"));
    ASSERT_TRUE(command("seek", " to start"));
    EXPECT_EQ(position(), 0);
    ASSERT_TRUE(command("play"));
    ASSERT_TRUE(eventually([] { return position() > 100; }));
    EXPECT_LT(position(), 60000);
}

TEST_F(MediaControl, StreamErrorEndsStopped) {
    std::string bytes = testing::read_file_bytes(testing::mp3_file(Mp3Kind::Long));
    // The start of the file trickles out and the connection ends early; asked for the rest,
    // the server fails.
    testing::LocalHttpServer server([&](const testing::HttpRequest& request) {
        if (!request.header("Range").empty()) {
            return testing::HttpReply::status(500, "Internal Server Error");
        }
        testing::HttpReply reply = testing::mp3_reply(request, bytes, true);
        reply.raw.resize(reply.raw.find("\r\n\r\n") + 4 + 6 * 1024);
        reply.raw.insert(reply.raw.find("\r\n") + 2, "Connection: close\r\n");
        reply.drip_delay = 1ms;
        return reply;
    });
    ASSERT_TRUE(open(server.url("/song.mp3")));
    ASSERT_TRUE(command("play"));
    EXPECT_EQ(mode(), "playing");
    ASSERT_TRUE(eventually([] { return mode() == "stopped"; }, 30s));
    EXPECT_LT(position(), 60000);
}

TEST_F(MediaControl, CommandsReachTheObserverInOrder) {
    std::vector<std::string> seen;
    set_media_command_observer([&](const std::string& text) { seen.push_back(text); });
    open_media("MPEGvideo", "/no/such.mp3", kAlias);
    send_media_command(std::string("status ") + kAlias + " mode");
    set_media_command_observer({});
    send_media_command("close x");
    EXPECT_EQ(seen, (std::vector<std::string>{
                        std::string("open \"/no/such.mp3\" type MPEGvideo alias ") + kAlias,
                        std::string("status ") + kAlias + " mode"}));
}

TEST(MediaPlugins, EachMissingPluginIsNamed) {
    auto all_but = [](std::vector<std::string> missing) {
        return [missing](const char* name) {
            return std::find(missing.begin(), missing.end(), name) == missing.end();
        };
    };
    EXPECT_TRUE(missing_media_plugins(all_but({})).empty());
    EXPECT_EQ(missing_media_plugins(all_but({"pulsesink", "souphttpsrc"})),
              (std::vector<std::string>{
                  "wavlon: GStreamer element \"pulsesink\" is missing (package "
                  "gstreamer1.0-plugins-good); sound goes to another audio output",
                  "wavlon: GStreamer element \"souphttpsrc\" is missing (package "
                  "gstreamer1.0-plugins-good); http and https addresses cannot be played"}));
    // Another MP3 decoder stands in for mpg123audiodec.
    EXPECT_TRUE(missing_media_plugins(all_but({"mpg123audiodec"})).empty());
    EXPECT_EQ(missing_media_plugins(all_but({"mpg123audiodec", "avdec_mp3"})),
              (std::vector<std::string>{
                  "wavlon: GStreamer element \"mpg123audiodec\" is missing (package "
                  "gstreamer1.0-plugins-good); MP3 files cannot be played"}));
}

TEST_F(MediaControl, PlaysToTheSoundServerAndCorksWhilePaused) {
    ASSERT_NE(std::getenv("PULSE_SERVER"), nullptr) << "run through ctest: it starts the server";
    ASSERT_TRUE(open(testing::mp3_file(Mp3Kind::Long)));
    ASSERT_TRUE(command("play"));
    EXPECT_TRUE(eventually([] { return own_sink_inputs_corked() == std::vector<bool>{false}; }));
    ASSERT_TRUE(command("pause"));
    EXPECT_TRUE(eventually([] { return own_sink_inputs_corked() == std::vector<bool>{true}; }));
    ASSERT_TRUE(command("resume"));
    EXPECT_TRUE(eventually([] { return own_sink_inputs_corked() == std::vector<bool>{false}; }));
    ASSERT_TRUE(command("close"));
    EXPECT_TRUE(eventually([] { return own_sink_inputs_corked().empty(); }));
}

}  // namespace
}  // namespace wavlon::platform
