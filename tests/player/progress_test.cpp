#include "player/time_text.h"

#include <algorithm>

#include "app/main_window_units.h"
#include "player/window_units.h"
#include "support/main_window_driver.h"
#include "support/mp3_fixtures.h"

namespace wavlon::testing {
namespace {

using runtime::gbk_to_utf8;
namespace u = units;

TEST(TimeText, ShowsMinutesAndSecondsWithEveryMinuteDigit) {
    const std::pair<std::int64_t, runtime::TextView> cases[] = {
        {0, "00:00"},     {59, "00:59"},    {65432 / 1000, "01:05"}, {600, "10:00"},
        {6000, "100:00"}, {7500, "125:00"}, {32767, "546:07"},       {-1, "00:00"},
    };
    for (auto [seconds, text] : cases) {
        EXPECT_EQ(player::time_text(seconds), text) << seconds;
    }
}

class Progress : public MainWindowTest {
protected:
    void start_playing(Mp3Kind kind) {
        store_folder(make_folder("music", {"a.mp3"}, mp3_file(kind)));
        start();
        click_item(0);
    }
    static std::string elapsed() {
        return gbk_to_utf8(player::text_of(u::透明标签7, u::TransLabelUnit::kCaption));
    }
    static std::int32_t slider(int index) { return player::integer_of(u::滑块条1, index); }
};

TEST_F(Progress, SliderAndLabelsFollowTheTrackAndASeek) {
    start_playing(Mp3Kind::Long);  // 20 minutes
    EXPECT_EQ(gbk_to_utf8(player::text_of(u::透明标签1, u::TransLabelUnit::kCaption)), "20:00");
    EXPECT_EQ(slider(u::SliderBarUnit::kMaximum), 1200);
    EXPECT_EQ(elapsed(), "00:00");
    drag_slider("滑块条1", 600);
    EXPECT_GE(player::media_player().get_position(), 600000);
    EXPECT_TRUE(wait_until([] { return elapsed() == "10:00"; }, 3000)) << elapsed();
    EXPECT_GE(slider(u::SliderBarUnit::kPosition), 600);
}

TEST_F(Progress, MovingTheSliderWhilePausedPlaysOnFromThere) {
    start_playing(Mp3Kind::CbrNoTag);
    ASSERT_TRUE(wait_until([&] { return enabled("按钮2"); }));
    click("按钮2");
    ASSERT_EQ(player::media_player().get_state(), 3);
    drag_slider("滑块条1", 5);
    EXPECT_EQ(player::media_player().get_state(), 1);
    EXPECT_GE(player::media_player().get_position(), 5000);
    EXPECT_EQ(gbk_to_utf8(player::text_of(u::按钮2, u::ButtonUnit::kCaption)), "暂 停");
    EXPECT_EQ(gbk_to_utf8(player::text_of(u::启动窗口, u::WindowUnit::kCaption)), "正在播放：a");
}

// A variable bit rate file without a frame count starts loud and ends quiet: its first frame's
// bit rate would make 6 s look like 1 s, show "00:01" and move on after a second.
TEST_F(Progress, VariableBitRateTrackShowsItsWholeLengthAndPlaysToItsEnd) {
    const std::string folder =
        make_folder("music", {"a.mp3", "b.mp3"}, mp3_file(Mp3Kind::FallingVbrNoTag));
    store_folder(folder);
    start();
    click_item(0);
    EXPECT_EQ(gbk_to_utf8(player::text_of(u::透明标签1, u::TransLabelUnit::kCaption)), "00:06");
    EXPECT_EQ(slider(u::SliderBarUnit::kMaximum), 6);
    std::int32_t reached = 0;  // the furthest position of the first track
    ASSERT_TRUE(wait_until(
        [&] {
            if (u::列表框1->selection() == 0) {
                reached = std::max(reached, player::media_player().get_position());
            }
            return u::列表框1->selection() == 1;
        },
        20000));
    EXPECT_GE(reached, 5500);
    EXPECT_EQ(gbk_to_utf8(player::media_player().record().file_name), folder + "/b.mp3");
    EXPECT_EQ(player::media_player().get_state(), 1);
}

// With 时钟3 stopped only the end of the track itself can start the next one: it does so as
// soon as the first has played to its end, with the captions of a move made by the tick.
TEST_F(Progress, EndOfTrackStartsTheNextWithoutATick) {
    const std::string folder = make_folder("music", {"a.mp3", "b.mp3"}, mp3_file(Mp3Kind::Short));
    store_folder(folder);
    start();
    player::set_integer(u::时钟3, u::TimerUnit::kInterval, 0);
    click_item(0);
    ASSERT_EQ(player::media_player().get_state(), 1);
    ASSERT_TRUE(wait_until([] { return u::列表框1->selection() == 1; }, 20000));
    EXPECT_EQ(gbk_to_utf8(player::media_player().record().file_name), folder + "/b.mp3");
    EXPECT_EQ(player::media_player().get_state(), 1);
    EXPECT_EQ(gbk_to_utf8(player::text_of(u::启动窗口, u::WindowUnit::kCaption)), "正在播放：b");
    // The move was made by the routine of 时钟3: the elapsed time shows the first track's end.
    EXPECT_EQ(elapsed(), "00:03");
}

TEST_F(Progress, NothingOpenShowsZero) {
    start();
    EXPECT_TRUE(wait_until([] { return elapsed() == "00:00"; }, 2000));
    EXPECT_EQ(slider(u::SliderBarUnit::kPosition), 0);
    EXPECT_EQ(slider(u::SliderBarUnit::kMaximum), 100);
}

class Volume : public MainWindowTest {};

TEST_F(Volume, SliderRunsOverTheMixerRangeAndSetsBothChannels) {
    pactl("set-sink-volume @DEFAULT_SINK@ 100% 100%");
    start();
    EXPECT_EQ(player::integer_of(u::滑块条2, u::SliderBarUnit::kMinimum), 0);
    EXPECT_EQ(player::integer_of(u::滑块条2, u::SliderBarUnit::kMaximum), 13107);
    EXPECT_EQ(player::integer_of(u::滑块条2, u::SliderBarUnit::kPosition), 13107);
    drag_slider("滑块条2", 2000);
    std::int32_t left = 0;
    std::int32_t right = 0;
    EXPECT_EQ(player::system_volume().get_volume(left, right), 1);
    EXPECT_EQ(left, 10000);
    EXPECT_EQ(right, 10000);
    EXPECT_EQ(volume_percents(pactl("get-sink-volume @DEFAULT_SINK@")), (std::vector<int>{15, 15}));
}

TEST_F(Volume, MuteButtonSwitchesTheSystemMute) {
    pactl("set-sink-mute @DEFAULT_SINK@ 0");
    start();
    const auto muted = [] {
        return pactl("get-sink-mute @DEFAULT_SINK@").find("yes") != std::string::npos;
    };
    click("按钮6");
    EXPECT_TRUE(wait_until(muted, 2000));
    click("按钮6");
    EXPECT_TRUE(wait_until([&] { return !muted(); }, 2000));
    EXPECT_EQ(gbk_to_utf8(player::text_of(u::按钮6, u::ButtonUnit::kCaption)), "静音");
}

}  // namespace
}  // namespace wavlon::testing
