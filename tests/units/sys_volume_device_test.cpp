#include "runtime/units/sys_volume_device.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

#include "support/pulse_server.h"
#include "support/qt_app.h"

namespace wavlon::units {
namespace {

using testing::pactl;
using testing::volume_percents;

// Failure values of a device whose parts are both closed; the bounds are checked apart.
void expect_closed(SysVolumeDevice& device) {
    EXPECT_EQ(device.get_mute(), -1);
    EXPECT_FALSE(device.set_mute(true));
    EXPECT_FALSE(device.set_volume(100, 100));
    std::int32_t left = 7;
    std::int32_t right = 8;
    EXPECT_EQ(device.get_volume(left, right), -1);
    EXPECT_EQ(left, 7);
    EXPECT_EQ(right, 8);
    EXPECT_FALSE(device.volume_control().mixer);
    EXPECT_FALSE(device.mute_control().mixer);
}

class SysVolumeDeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        wavlon::testing::qt_application();
        m_device.set_event_callback([this](int event) { m_events.push_back(event); });
    }

    bool wait_for_events(std::size_t count) {
        return wavlon::testing::process_events_until([&] { return m_events.size() >= count; },
                                                     5000);
    }

    wavlon::testing::DefaultSinkGuard m_restore;
    SysVolumeDevice m_device;
    std::vector<int> m_events;
};

TEST_F(SysVolumeDeviceTest, BeforeSelectLineEveryMethodFails) {
    expect_closed(m_device);
    EXPECT_EQ(m_device.get_max_volume(), 0);
    EXPECT_EQ(m_device.get_min_volume(), 0);
    EXPECT_EQ(m_device.volume_control().control_id, 0u);
    EXPECT_EQ(m_device.volume_control().owner, &m_device);
    EXPECT_EQ(m_device.mute_control().owner, &m_device);
}

TEST_F(SysVolumeDeviceTest, SpeakersLineOpensBothParts) {
    ASSERT_EQ(m_device.select_line(4), 1);
    EXPECT_EQ(m_device.get_min_volume(), 0);
    EXPECT_EQ(m_device.get_max_volume(), 65535);
    EXPECT_EQ(m_device.volume_control().channels, 2u);
    EXPECT_NE(m_device.volume_control().control_id, m_device.mute_control().control_id);
    EXPECT_FALSE(m_device.volume_control().name.empty());

    pactl("set-sink-volume @DEFAULT_SINK@ 65536 0");
    std::int32_t left = 0;
    std::int32_t right = 0;
    EXPECT_EQ(m_device.get_volume(left, right), 1);
    EXPECT_EQ(left, 65535);
    EXPECT_EQ(right, 0);
}

TEST_F(SysVolumeDeviceTest, UnsupportedTypeClosesBothPartsButKeepsTheBounds) {
    ASSERT_EQ(m_device.select_line(4), 1);
    for (std::int32_t type : {4105, 0, -1, 4103}) {
        EXPECT_EQ(m_device.select_line(type), 0) << type;
        expect_closed(m_device);
    }
    EXPECT_EQ(m_device.get_max_volume(), 65535);
}

TEST_F(SysVolumeDeviceTest, OtherSupportedTypesOpenTheirLines) {
    for (std::int32_t type : {4104, 4098, 4099, 4100, 4101, 4102, 4106}) {
        EXPECT_EQ(m_device.select_line(type), 1) << type;
    }
    // The wave-out source of the speakers is the default sink too.
    ASSERT_EQ(m_device.select_line(4104), 1);
    ASSERT_TRUE(m_device.set_volume(10000, 10000));
    EXPECT_EQ(volume_percents(pactl("get-sink-volume @DEFAULT_SINK@")), (std::vector{15, 15}));
}

TEST_F(SysVolumeDeviceTest, VolumeSetIsReadBackAndShownByTheServer) {
    ASSERT_EQ(m_device.select_line(4), 1);
    // The volume slider's 2000, times 5.
    ASSERT_TRUE(m_device.set_volume(10000, 10000));
    std::int32_t left = 0;
    std::int32_t right = 0;
    EXPECT_EQ(m_device.get_volume(left, right), 1);
    EXPECT_EQ(left, 10000);
    EXPECT_EQ(right, 10000);
    EXPECT_EQ(volume_percents(pactl("get-sink-volume @DEFAULT_SINK@")), (std::vector{15, 15}));
}

TEST_F(SysVolumeDeviceTest, VolumeOutsideTheBoundsIsRefused) {
    ASSERT_EQ(m_device.select_line(4), 1);
    ASSERT_TRUE(m_device.set_volume(10000, 20000));
    for (auto [left, right] :
         {std::pair{-1, 0}, std::pair{0, -5}, std::pair{65536, 0}, std::pair{0, 2147483647}}) {
        EXPECT_FALSE(m_device.set_volume(left, right)) << left << " " << right;
    }
    std::int32_t left = 0;
    std::int32_t right = 0;
    EXPECT_EQ(m_device.get_volume(left, right), 1);
    EXPECT_EQ(left, 10000);
    EXPECT_EQ(right, 20000);
}

TEST_F(SysVolumeDeviceTest, MuteBothWaysIsShownByTheServer) {
    ASSERT_EQ(m_device.select_line(4), 1);
    ASSERT_TRUE(m_device.set_mute(true));
    EXPECT_EQ(m_device.get_mute(), 1);
    EXPECT_EQ(pactl("get-sink-mute @DEFAULT_SINK@"), "Mute: yes\n");
    ASSERT_TRUE(m_device.set_mute(false));
    EXPECT_EQ(m_device.get_mute(), 0);
    EXPECT_EQ(pactl("get-sink-mute @DEFAULT_SINK@"), "Mute: no\n");
}

TEST_F(SysVolumeDeviceTest, ChangesByAnotherProgramRaiseTheirEvents) {
    ASSERT_EQ(m_device.select_line(4), 1);
    ASSERT_TRUE(m_device.set_volume(20000, 20000));
    ASSERT_TRUE(m_device.set_mute(false));

    pactl("set-sink-volume @DEFAULT_SINK@ 25%");
    ASSERT_TRUE(wait_for_events(1));
    pactl("set-sink-mute @DEFAULT_SINK@ 1");
    ASSERT_TRUE(wait_for_events(2));
    // The device's own writes above raised nothing: they would have arrived first.
    EXPECT_EQ(m_events,
              (std::vector{SysVolumeDevice::kVolumeChanged, SysVolumeDevice::kMuteChanged}));
}

TEST_F(SysVolumeDeviceTest, OwnChangesRaiseNoEvent) {
    ASSERT_EQ(m_device.select_line(4), 1);
    ASSERT_TRUE(m_device.set_volume(30000, 30000));
    ASSERT_TRUE(m_device.set_mute(true));
    ASSERT_TRUE(m_device.set_mute(false));
    ASSERT_TRUE(m_device.set_volume(12345, 23456));
    // Marker changes from outside, one per part: each part reports in order, so once both
    // markers are here any event of the own writes would be too.
    pactl("set-sink-volume @DEFAULT_SINK@ 10%");
    pactl("set-sink-mute @DEFAULT_SINK@ 1");
    auto count = [&](int event) { return std::count(m_events.begin(), m_events.end(), event); };
    ASSERT_TRUE(wavlon::testing::process_events_until(
        [&] {
            return count(SysVolumeDevice::kVolumeChanged) > 0 &&
                   count(SysVolumeDevice::kMuteChanged) > 0;
        },
        5000));
    EXPECT_EQ(m_events.size(), 2u);
}

TEST_F(SysVolumeDeviceTest, EventRoutineMayDestroyTheDevice) {
    auto device = std::make_unique<SysVolumeDevice>();
    ASSERT_EQ(device->select_line(4), 1);
    int seen = -1;
    device->set_event_callback([&](int event) {
        seen = event;
        device.reset();
    });
    pactl("set-sink-mute @DEFAULT_SINK@ toggle");
    EXPECT_TRUE(wavlon::testing::process_events_until([&] { return !device; }, 5000));
    EXPECT_EQ(seen, SysVolumeDevice::kMuteChanged);
}

// The one-channel rule, on a server of the test's own with a mono default sink.
TEST(SysVolumeDeviceMono, OneChannelLineUsesLeftAlone) {
    wavlon::testing::qt_application();
    wavlon::testing::PrivatePulseServer server(
        {"module-null-sink sink_name=mono channels=1 channel_map=mono"});
    ASSERT_TRUE(server.running());
    wavlon::testing::ScopedPulseServer use(server.address());
    SysVolumeDevice device;
    ASSERT_EQ(device.select_line(4), 1);
    EXPECT_EQ(device.volume_control().channels, 1u);

    // The right value is not written, so even one out of range does not matter.
    ASSERT_TRUE(device.set_volume(20000, 99999));
    EXPECT_EQ(wavlon::testing::volume_values(server.pactl("get-sink-volume mono")),
              (std::vector{20000}));
    std::int32_t left = 0;
    std::int32_t right = 0;
    EXPECT_EQ(device.get_volume(left, right), 1);
    EXPECT_EQ(left, 20000);
    EXPECT_EQ(right, -1);

    // A server that goes away: the variables become -1 and every call fails.
    server.kill();
    left = 0;
    right = 0;
    EXPECT_EQ(device.get_volume(left, right), -1);
    EXPECT_EQ(left, -1);
    EXPECT_EQ(right, -1);
    EXPECT_EQ(device.get_mute(), -1);
    EXPECT_FALSE(device.set_mute(true));
    EXPECT_FALSE(device.set_volume(1, 1));
}

TEST(SysVolumeDeviceNoServer, SelectLineFailsFastAndEveryMethodFails) {
    wavlon::testing::ScopedPulseServer use("unix:/tmp/wavlon-no-server-here/native");
    SysVolumeDevice device;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(device.select_line(4), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    expect_closed(device);
    EXPECT_EQ(device.get_max_volume(), 0);
    EXPECT_EQ(device.get_min_volume(), 0);
}

}  // namespace
}  // namespace wavlon::units
