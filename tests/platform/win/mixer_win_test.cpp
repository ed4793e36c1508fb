// The system volume on the winmm mixer functions, on the suite's sound server.
#include <windows.h>

#include <mmsystem.h>

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "platform/mixer.h"

namespace wavlon::platform {
namespace {

using Values = std::vector<std::uint32_t>;

// Handles the thread's window messages for `ms`.
void pump_messages(int ms) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&message);
        }
        Sleep(10);
    }
}

class MixerWinTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_mixer = Mixer::open(0, [this](std::uint32_t id) { m_changes.push_back(id); });
        ASSERT_TRUE(m_mixer) << "no mixer device";
        auto speakers = m_mixer->line_by_component_type(kMixerSpeakers);
        ASSERT_TRUE(speakers);
        m_speakers = speakers->line_id;
        auto volume = m_mixer->control_by_type(m_speakers, MixerControlType::Volume);
        auto mute = m_mixer->control_by_type(m_speakers, MixerControlType::Mute);
        ASSERT_TRUE(volume && mute);
        m_volume = volume->control_id;
        m_mute = mute->control_id;
    }
    void TearDown() override {
        if (m_mixer) {
            m_mixer->write_values(m_mute, Values{0});
        }
    }

    std::unique_ptr<Mixer> m_mixer;
    std::uint32_t m_speakers = 0;
    std::uint32_t m_volume = 0;
    std::uint32_t m_mute = 0;
    std::vector<std::uint32_t> m_changes;
};

TEST_F(MixerWinTest, LinesAndControlsAreTheSystems) {
    auto speakers = m_mixer->line_by_component_type(kMixerSpeakers);
    EXPECT_EQ(speakers->component_type, kMixerSpeakers);
    EXPECT_EQ(speakers->channels, 2u);
    ASSERT_GE(speakers->connections, 1u);
    auto wave = m_mixer->source_line(m_speakers, 0);
    ASSERT_TRUE(wave);
    EXPECT_EQ(wave->component_type, kMixerWaveOut);
    EXPECT_FALSE(m_mixer->source_line(m_speakers, speakers->connections));
    EXPECT_FALSE(m_mixer->line_by_component_type(4105));

    auto volume = m_mixer->control_by_type(m_speakers, MixerControlType::Volume);
    EXPECT_EQ(volume->minimum, 0u);
    EXPECT_EQ(volume->maximum, 65535u);
    EXPECT_FALSE(Mixer::open(mixerGetNumDevs(), nullptr));
}

TEST_F(MixerWinTest, VolumeAndMuteRoundTrip) {
    for (Values values : {Values{10000, 10000}, Values{0, 0}, Values{65535, 65535}}) {
        ASSERT_TRUE(m_mixer->write_values(m_volume, values));
        EXPECT_EQ(m_mixer->read_values(m_volume, 2), values);
        EXPECT_EQ(m_mixer->read_values(m_volume, 1), Values{values[0]});
    }
    EXPECT_FALSE(m_mixer->write_values(m_volume, Values{65536, 0}));
    EXPECT_EQ(m_mixer->read_values(m_volume, 2), (Values{65535, 65535}));
    EXPECT_FALSE(m_mixer->read_values(m_volume, 3));
    EXPECT_FALSE(m_mixer->read_values(12345, 1));

    for (std::uint32_t on : {1u, 0u}) {
        ASSERT_TRUE(m_mixer->write_values(m_mute, Values{on}));
        EXPECT_EQ(m_mixer->read_values(m_mute, 1), Values{on});
    }
    EXPECT_FALSE(m_mixer->write_values(m_mute, Values{2}));
    pump_messages(200);
    EXPECT_TRUE(m_changes.empty()) << "own writes are not reported";
}

TEST_F(MixerWinTest, AChangeFromOutsideIsReported) {
    auto other = Mixer::open(0, nullptr);
    ASSERT_TRUE(other);
    auto volume = other->control_by_type(m_speakers, MixerControlType::Volume);
    ASSERT_TRUE(m_mixer->write_values(m_volume, Values{20000, 20000}));
    ASSERT_TRUE(other->write_values(volume->control_id, Values{30000, 30000}));
    pump_messages(1000);
    if (m_changes.empty()) {
        GTEST_SKIP() << "wine's mixer never sends MM_MIXM_CONTROL_CHANGE";
    }
    EXPECT_EQ(m_changes, Values{m_volume});
}

// The notice the system sends every handle after a change, posted by hand to both windows:
// only the handle that did not make the change passes it on, once.
TEST_F(MixerWinTest, ANoticeIsPassedOnOnlyForAnotherHandlesChange) {
    std::vector<std::uint32_t> other_changes;
    auto other = Mixer::open(0, [&](std::uint32_t id) { other_changes.push_back(id); });
    ASSERT_TRUE(other);
    auto volume = other->control_by_type(m_speakers, MixerControlType::Volume);
    ASSERT_TRUE(other->write_values(volume->control_id, Values{40000, 40000}));
    for (int twice = 0; twice < 2; ++twice) {
        HWND window = nullptr;
        while ((window = FindWindowExW(HWND_MESSAGE, window, L"WavlonMixerNotify", nullptr))) {
            PostMessageW(window, MM_MIXM_CONTROL_CHANGE, 0, static_cast<LPARAM>(m_volume));
            PostMessageW(window, MM_MIXM_CONTROL_CHANGE, 0, 4242);
        }
    }
    pump_messages(300);
    EXPECT_EQ(m_changes, Values{m_volume});
    EXPECT_TRUE(other_changes.empty());
}

}  // namespace
}  // namespace wavlon::platform
