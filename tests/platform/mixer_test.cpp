#include "platform/mixer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "support/pulse_server.h"
#include "support/qt_app.h"

namespace wavlon::platform {
namespace {

using testing::pactl;
using testing::volume_percents;
using testing::volume_values;
using Values = std::vector<std::uint32_t>;

// A Mixer on the fixture's server, recording the control ids it reports.
class MixerTest : public ::testing::Test {
protected:
    void SetUp() override {
        wavlon::testing::qt_application();
        m_mixer = Mixer::open(0, [this](std::uint32_t id) { m_changes.push_back(id); });
        ASSERT_TRUE(m_mixer) << "no sound server at PULSE_SERVER";
    }

    std::uint32_t control(std::uint32_t line, MixerControlType type) {
        auto info = m_mixer->control_by_type(line, type);
        return info ? info->control_id : 0;
    }

    bool wait_for_changes(std::size_t count) {
        return wavlon::testing::process_events_until([&] { return m_changes.size() >= count; },
                                                     5000);
    }

    wavlon::testing::DefaultSinkGuard m_restore;
    std::unique_ptr<Mixer> m_mixer;
    std::vector<std::uint32_t> m_changes;
};

TEST_F(MixerTest, ComponentTypesSelectTheDefaultDevices) {
    struct Case {
        std::uint32_t type;
        bool has_line;
    };
    for (Case c :
         {Case{4, true}, Case{4104, true}, Case{4098, true}, Case{4099, true}, Case{4102, true},
          Case{4106, true}, Case{0, false}, Case{4103, false}, Case{4105, false}, Case{8, false}}) {
        auto line = m_mixer->line_by_component_type(c.type);
        EXPECT_EQ(line.has_value(), c.has_line) << c.type;
        if (line) {
            EXPECT_EQ(line->component_type, c.type);
        }
    }
    auto speakers = m_mixer->line_by_component_type(kMixerSpeakers);
    ASSERT_TRUE(speakers);
    EXPECT_EQ(speakers->channels, 2u);  // the fixture's null sink is stereo
    EXPECT_EQ(speakers->connections, 1u);

    auto wave = m_mixer->source_line(speakers->line_id, 0);
    ASSERT_TRUE(wave);
    EXPECT_EQ(wave->component_type, kMixerWaveOut);
    EXPECT_FALSE(m_mixer->source_line(speakers->line_id, 1));
    EXPECT_FALSE(m_mixer->source_line(kMixerWaveOut, 0));

    auto volume = m_mixer->control_by_type(kMixerSpeakers, MixerControlType::Volume);
    ASSERT_TRUE(volume);
    EXPECT_EQ(volume->minimum, 0u);
    EXPECT_EQ(volume->maximum, 65535u);
    EXPECT_FALSE(m_mixer->control_by_type(4105, MixerControlType::Mute));
}

TEST_F(MixerTest, OnlyDeviceZeroExists) {
    EXPECT_FALSE(Mixer::open(1, nullptr));
}

TEST_F(MixerTest, VolumeWrittenIsReadBackAndShownByTheServer) {
    std::uint32_t id = control(kMixerSpeakers, MixerControlType::Volume);
    ASSERT_TRUE(m_mixer->write_values(id, Values{10000, 10000}));
    EXPECT_EQ(m_mixer->read_values(id, 2), (Values{10000, 10000}));
    EXPECT_EQ(volume_percents(pactl("get-sink-volume @DEFAULT_SINK@")), (std::vector{15, 15}));

    // The ends of the range are 0 % and exactly 100 %; one value reads the louder channel.
    ASSERT_TRUE(m_mixer->write_values(id, Values{65535, 0}));
    EXPECT_EQ(volume_values(pactl("get-sink-volume @DEFAULT_SINK@")), (std::vector{65536, 0}));
    EXPECT_EQ(m_mixer->read_values(id, 2), (Values{65535, 0}));
    EXPECT_EQ(m_mixer->read_values(id, 1), (Values{65535}));

    // One value sets every channel.
    ASSERT_TRUE(m_mixer->write_values(id, Values{32768}));
    EXPECT_EQ(m_mixer->read_values(id, 2), (Values{32768, 32768}));

    // Louder than 100 %, set by another program, reads as the maximum.
    pactl("set-sink-volume @DEFAULT_SINK@ 150%");
    EXPECT_EQ(m_mixer->read_values(id, 2), (Values{65535, 65535}));
}

TEST_F(MixerTest, MalformedRequestsAreRefusedAndChangeNothing) {
    std::uint32_t volume = control(kMixerSpeakers, MixerControlType::Volume);
    std::uint32_t mute = control(kMixerSpeakers, MixerControlType::Mute);
    ASSERT_TRUE(m_mixer->write_values(volume, Values{10000, 10000}));
    ASSERT_TRUE(m_mixer->write_values(mute, Values{0}));

    struct Case {
        std::uint32_t id;
        Values values;
    };
    for (const Case& c :
         {Case{volume, {65536, 0}}, Case{volume, {0, 0xFFFFFFFF}}, Case{volume, {}},
          Case{volume, {1, 2, 3}}, Case{mute, {2}}, Case{0, {1}}, Case{0x12345, {1}}}) {
        EXPECT_FALSE(m_mixer->write_values(c.id, c.values)) << c.id;
    }
    EXPECT_EQ(m_mixer->read_values(volume, 2), (Values{10000, 10000}));
    EXPECT_EQ(m_mixer->read_values(mute, 1), (Values{0}));
    EXPECT_FALSE(m_mixer->read_values(volume, 0));
    EXPECT_FALSE(m_mixer->read_values(volume, 3));
    EXPECT_FALSE(m_mixer->read_values(0x12345, 1));
}

TEST_F(MixerTest, MuteWrittenBothWaysIsShownByTheServer) {
    std::uint32_t id = control(kMixerSpeakers, MixerControlType::Mute);
    ASSERT_TRUE(m_mixer->write_values(id, Values{1}));
    EXPECT_EQ(pactl("get-sink-mute @DEFAULT_SINK@"), "Mute: yes\n");
    EXPECT_EQ(m_mixer->read_values(id, 1), (Values{1}));
    ASSERT_TRUE(m_mixer->write_values(id, Values{0}));
    EXPECT_EQ(pactl("get-sink-mute @DEFAULT_SINK@"), "Mute: no\n");
    EXPECT_EQ(m_mixer->read_values(id, 1), (Values{0}));
}

TEST_F(MixerTest, ChangesByOthersAreReportedButOwnChangesAreNot) {
    std::uint32_t volume = control(kMixerSpeakers, MixerControlType::Volume);
    std::uint32_t mute = control(kMixerSpeakers, MixerControlType::Mute);
    ASSERT_TRUE(m_mixer->write_values(volume, Values{20000, 20000}));
    ASSERT_TRUE(m_mixer->write_values(mute, Values{0}));

    // Notifications arrive in order, so by the time the other program's change is reported,
    // any report of the own writes would have come before it.
    pactl("set-sink-volume @DEFAULT_SINK@ 40%");
    ASSERT_TRUE(wait_for_changes(1));
    EXPECT_EQ(m_changes, (std::vector{volume}));

    pactl("set-sink-mute @DEFAULT_SINK@ 1");
    ASSERT_TRUE(wait_for_changes(2));
    EXPECT_EQ(m_changes, (std::vector{volume, mute}));

    // A change event that leaves volume and mute as they were reports nothing.
    pactl("set-sink-volume @DEFAULT_SINK@ 40%");
    pactl("set-sink-mute @DEFAULT_SINK@ 0");
    ASSERT_TRUE(wait_for_changes(3));
    EXPECT_EQ(m_changes, (std::vector{volume, mute, mute}));
}

TEST_F(MixerTest, ListenerMayDestroyTheMixer) {
    std::uint32_t volume = control(kMixerSpeakers, MixerControlType::Volume);
    ASSERT_NE(volume, 0u);
    bool called = false;
    std::unique_ptr<Mixer> doomed;
    doomed = Mixer::open(0, [&](std::uint32_t) {
        doomed.reset();
        called = true;
    });
    ASSERT_TRUE(doomed);
    doomed->control_by_type(kMixerSpeakers, MixerControlType::Volume);
    pactl("set-sink-volume @DEFAULT_SINK@ 33%");
    EXPECT_TRUE(wait_for_changes(1));
    EXPECT_TRUE(wavlon::testing::process_events_until([&] { return called; }, 5000));
    EXPECT_FALSE(doomed);
}

// Devices with one or with six channels, on a server of the test's own so that switching
// the default sink reaches no other suite.
TEST(MixerChannels, MonoAndSurroundDevicesShowAsOneOrTwoChannels) {
    testing::PrivatePulseServer server({
        "module-null-sink sink_name=mono channels=1 channel_map=mono",
        "module-null-sink sink_name=surround channels=6 channel_map=surround-51",
    });
    ASSERT_TRUE(server.running());
    testing::ScopedPulseServer use(server.address());
    auto mixer = Mixer::open(0, nullptr);
    ASSERT_TRUE(mixer);
    auto volume = mixer->control_by_type(kMixerSpeakers, MixerControlType::Volume);
    ASSERT_TRUE(volume);

    server.pactl("set-default-sink mono");
    EXPECT_EQ(mixer->line_by_component_type(kMixerSpeakers)->channels, 1u);
    ASSERT_TRUE(mixer->write_values(volume->control_id, Values{20000}));
    EXPECT_EQ(volume_values(server.pactl("get-sink-volume mono")), (std::vector{20000}));
    EXPECT_EQ(mixer->read_values(volume->control_id, 1), (Values{20000}));
    EXPECT_EQ(mixer->read_values(volume->control_id, 2), (Values{20000, 20000}));

    // surround-51 is front-left, front-right, rear-left, rear-right, front-center, lfe.
    server.pactl("set-default-sink surround");
    EXPECT_EQ(mixer->line_by_component_type(kMixerSpeakers)->channels, 2u);
    ASSERT_TRUE(mixer->write_values(volume->control_id, Values{10000, 30000}));
    EXPECT_EQ(volume_values(server.pactl("get-sink-volume surround")),
              (std::vector{10000, 30000, 10000, 30000, 30000, 30000}));
    server.pactl("set-sink-volume surround 1000 2000 3000 4000 50000 50000");
    EXPECT_EQ(mixer->read_values(volume->control_id, 2), (Values{3000, 4000}));
}

TEST(MixerServerLoss, NoServerFailsFast) {
    testing::ScopedPulseServer use("unix:/tmp/wavlon-no-server-here/native");
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(Mixer::open(0, nullptr));
    // Bounded: a missing server is an answer, not a wait.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

TEST(MixerServerLoss, ServerGoneMidRunGivesFailureValuesUntilItIsBack) {
    wavlon::testing::qt_application();
    testing::PrivatePulseServer server({"module-null-sink sink_name=gone"});
    ASSERT_TRUE(server.running());
    testing::ScopedPulseServer use(server.address());
    std::vector<std::uint32_t> changes;
    auto mixer = Mixer::open(0, [&](std::uint32_t id) { changes.push_back(id); });
    ASSERT_TRUE(mixer);
    auto volume = mixer->control_by_type(kMixerSpeakers, MixerControlType::Volume);
    ASSERT_TRUE(volume);
    ASSERT_TRUE(mixer->read_values(volume->control_id, 2));

    server.kill();
    EXPECT_FALSE(mixer->read_values(volume->control_id, 2));
    EXPECT_FALSE(mixer->write_values(volume->control_id, Values{1, 1}));
    EXPECT_FALSE(mixer->line_by_component_type(kMixerSpeakers));
    EXPECT_FALSE(mixer->connected());

    // Back on the same socket: the handle connects again by itself, its control keeps its id
    // and is watched again.
    server.restart();
    ASSERT_TRUE(server.running());
    ASSERT_TRUE(wavlon::testing::process_events_until([&] { return mixer->connected(); }, 10000));
    ASSERT_TRUE(mixer->write_values(volume->control_id, Values{20000, 20000}));
    EXPECT_EQ(volume_values(server.pactl("get-sink-volume gone")), (std::vector{20000, 20000}));
    EXPECT_EQ(mixer->read_values(volume->control_id, 2), (Values{20000, 20000}));
    server.pactl("set-sink-volume gone 30000");
    EXPECT_TRUE(wavlon::testing::process_events_until([&] { return !changes.empty(); }, 5000));
    EXPECT_EQ(changes, std::vector<std::uint32_t>{volume->control_id});
}

TEST(MixerServerLoss, ServerThatStopsAnsweringFailsWithinTheBound) {
    testing::PrivatePulseServer server({"module-null-sink sink_name=frozen"});
    ASSERT_TRUE(server.running());
    testing::ScopedPulseServer use(server.address());
    auto mixer = Mixer::open(0, nullptr);
    ASSERT_TRUE(mixer);
    auto mute = mixer->control_by_type(kMixerSpeakers, MixerControlType::Mute);
    ASSERT_TRUE(mute);

    server.pause();
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(mixer->read_values(mute->control_id, 1));
    // The connection is given up, so later calls fail at once instead of waiting again.
    EXPECT_FALSE(mixer->connected());
    EXPECT_FALSE(mixer->write_values(mute->control_id, Values{1}));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    // A new handle cannot connect to a server that does not answer either.
    EXPECT_FALSE(Mixer::open(0, nullptr));
    server.resume();
}

}  // namespace
}  // namespace wavlon::platform
