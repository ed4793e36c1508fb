#include "player/playback.h"

#include "app/main_window_units.h"
#include "player/window_units.h"
#include "support/fatal_capture.h"
#include "support/main_window_driver.h"
#include "support/mp3_fixtures.h"

namespace wavlon::testing {
namespace {

using runtime::gbk_to_utf8;
namespace u = units;

constexpr std::int32_t kPlaying = 1, kStopped = 2, kPaused = 3;

class Playback : public MainWindowTest {
protected:
    // Starts with the folder of these tracks stored.
    std::string start_with(const std::vector<std::string>& files, Mp3Kind kind) {
        const std::string folder = make_folder("music", files, mp3_file(kind));
        store_folder(folder);
        start();
        return folder;
    }
    static std::string play_button() {
        return gbk_to_utf8(player::text_of(u::按钮2, u::ButtonUnit::kCaption));
    }
    static std::string window_caption() {
        return gbk_to_utf8(player::text_of(u::启动窗口, u::WindowUnit::kCaption));
    }
    static std::string current_name() {
        return gbk_to_utf8(player::text_of(u::编辑框1, u::EditBoxUnit::kContent));
    }
    static std::string opened_file() {
        return gbk_to_utf8(player::media_player().record().file_name);
    }
    static std::int32_t state() { return player::media_player().get_state(); }
    static std::int32_t position() { return player::media_player().get_position(); }
    static std::int32_t selection() { return u::列表框1->selection(); }
    bool wait_for_position(std::int32_t ms) {
        return wait_until([&] { return position() >= ms; });
    }
};

TEST_F(Playback, ClickingATrackPlaysItAndShowsItsName) {
    const std::string folder = start_with({"a.mp3", "b.mp3"}, Mp3Kind::Short);
    EXPECT_EQ(selection(), -1);
    EXPECT_TRUE(wait_until([&] { return !enabled("按钮2") && !enabled("按钮3"); }));
    click_item(1);
    EXPECT_EQ(state(), kPlaying);
    EXPECT_EQ(opened_file(), folder + "/b.mp3");
    EXPECT_EQ(play_button(), "暂 停");
    EXPECT_EQ(window_caption(), "正在播放：b");
    EXPECT_EQ(current_name(), "b");
    EXPECT_EQ(gbk_to_utf8(player::text_of(u::编辑框2, u::EditBoxUnit::kContent)),
              folder + "/b.mp3");
    EXPECT_EQ(gbk_to_utf8(player::text_of(u::透明标签1, u::TransLabelUnit::kCaption)), "00:03");
    EXPECT_EQ(player::integer_of(u::滑块条1, u::SliderBarUnit::kMaximum), 3);
    EXPECT_EQ(player::text_of(u::透明标签3, u::TransLabelUnit::kCaption), "");
    EXPECT_TRUE(wait_until([&] { return enabled("按钮2") && enabled("按钮5"); }));
}

TEST_F(Playback, PauseThenPlayContinuesFromThePausePoint) {
    start_with({"a.mp3"}, Mp3Kind::CbrNoTag);
    click_item(0);
    ASSERT_TRUE(wait_until([&] { return enabled("按钮2"); }));
    ASSERT_TRUE(wait_for_position(1000));
    click("按钮2");
    EXPECT_EQ(state(), kPaused);
    EXPECT_EQ(play_button(), "继 续");
    EXPECT_EQ(window_caption(), "暂停播放：a");
    const std::int32_t paused_at = position();
    wait_ms(700);
    EXPECT_EQ(position(), paused_at);
    click("按钮2");
    EXPECT_EQ(state(), kPlaying);
    EXPECT_EQ(play_button(), "暂 停");
    EXPECT_EQ(window_caption(), "正在播放：a");
    EXPECT_GE(position(), paused_at - 100);
    click("按钮2");  // pauses again: resuming cleared the device's pause flag
    EXPECT_EQ(state(), kPaused);
}

TEST_F(Playback, StopThenPlayStartsTheTrackFromItsBeginning) {
    start_with({"a.mp3"}, Mp3Kind::CbrNoTag);
    click_item(0);
    ASSERT_TRUE(wait_until([&] { return enabled("按钮3"); }));
    ASSERT_TRUE(wait_for_position(1500));
    click("按钮3");
    EXPECT_EQ(state(), kStopped);
    EXPECT_EQ(play_button(), "播 放");
    EXPECT_EQ(window_caption(), "Wavlon");
    click("按钮2");
    EXPECT_EQ(state(), kPlaying);
    EXPECT_EQ(play_button(), "暂 停");
    EXPECT_LT(position(), 1000);
}

// Every move between stopped, playing and paused, from the buttons and the progress slider,
// shows the same two captions for the same state.
TEST_F(Playback, CaptionsFollowEveryMoveBetweenTheStates) {
    start_with({"a.mp3", "b.mp3"}, Mp3Kind::CbrNoTag);
    click_item(0);
    ASSERT_TRUE(wait_until([&] { return enabled("按钮2"); }));
    struct Step {
        const char* unit;
        std::int32_t state;
        const char* button;
        const char* caption;
    };
    const Step steps[] = {
        {"按钮2", kPaused, "继 续", "暂停播放：a"}, {"按钮3", kStopped, "播 放", "Wavlon"},
        {"按钮3", kStopped, "播 放", "Wavlon"},     {"滑块条1", kPlaying, "暂 停", "正在播放：a"},
        {"按钮2", kPaused, "继 续", "暂停播放：a"}, {"按钮5", kPlaying, "暂 停", "正在播放：b"},
        {"按钮3", kStopped, "播 放", "Wavlon"},     {"按钮2", kPlaying, "暂 停", "正在播放：b"},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.unit);
        if (std::string_view(step.unit) == "滑块条1") {
            drag_slider(step.unit, 2);
        } else {
            click(step.unit);
        }
        EXPECT_EQ(state(), step.state);
        EXPECT_EQ(play_button(), step.button);
        EXPECT_EQ(window_caption(), step.caption);
    }
}

TEST_F(Playback, NextAndPreviousWrapAroundAtBothEnds) {
    struct Case {
        int clicked;  // -1: no track picked
        const char* button;
        int selected;
        const char* file;
    };
    const Case cases[] = {
        {1, "按钮5", 2, "c.mp3"}, {1, "按钮4", 0, "a.mp3"},  {2, "按钮5", 0, "a.mp3"},
        {0, "按钮4", 2, "c.mp3"}, {-1, "按钮5", 0, "a.mp3"}, {-1, "按钮4", 2, "c.mp3"},
    };
    const std::string folder = start_with({"a.mp3", "b.mp3", "c.mp3"}, Mp3Kind::Short);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.clicked) + " " + c.button);
        if (c.clicked >= 0) {
            click_item(c.clicked);
        } else {
            u::列表框1->select_item(-1);
        }
        ASSERT_TRUE(wait_until([&] { return enabled(c.button); }));
        click(c.button);
        EXPECT_EQ(selection(), c.selected);
        EXPECT_EQ(opened_file(), folder + "/" + c.file);
        EXPECT_EQ(state(), kPlaying);
        const std::string name(c.file, 1);
        EXPECT_EQ(window_caption(), "正在播放：" + name);
        EXPECT_EQ(current_name(), name);
        EXPECT_EQ(play_button(), "暂 停");
    }
}

TEST_F(Playback, NextTrackStartsByItselfWhenOneEnds) {
    const std::string folder = start_with({"a.mp3", "b.mp3"}, Mp3Kind::Short);
    click_item(0);
    ASSERT_TRUE(wait_until([&] { return selection() == 1; }, 10000));
    EXPECT_EQ(opened_file(), folder + "/b.mp3");
    EXPECT_EQ(state(), kPlaying);
    EXPECT_EQ(window_caption(), "正在播放：b");
    EXPECT_EQ(current_name(), "b");
}

// A damaged file in a folder of good ones is skipped on the next tick, whether the user
// clicked it or the move at a track's end reached it.
TEST_F(Playback, UnplayableTrackIsSkipped) {
    const std::string folder = make_folder("music", {"a.mp3", "c.mp3"}, mp3_file(Mp3Kind::Short));
    make_folder("music", {"b.mp3"}, "");
    store_folder(folder);
    start();
    for (int clicked : {1, 0}) {  // b itself, then a, which moves on to b at its end
        SCOPED_TRACE(clicked);
        click_item(clicked);
        if (clicked == 1) {
            EXPECT_EQ(play_button(), "暂 停");
            EXPECT_EQ(window_caption(), "Wavlon");  // not playing, so the caption stays
        }
        ASSERT_TRUE(wait_until([&] { return selection() == 2; }, 8000));
        EXPECT_EQ(opened_file(), folder + "/c.mp3");
        EXPECT_EQ(state(), kPlaying);
        EXPECT_EQ(window_caption(), "正在播放：c");
        EXPECT_EQ(current_name(), "c");
        click("按钮3");
    }
}

// A list of nothing but damaged files is tried once, then the player rests as a stopped one.
TEST_F(Playback, ListOfUnplayableTracksStopsAfterOnePass) {
    const std::string folder = make_folder("music", {"x.mp3", "y.mp3", "z.mp3"}, "");
    store_folder(folder);
    start();
    click_item(0);
    ASSERT_TRUE(wait_until([&] { return play_button() == "播 放"; }, 5000));
    EXPECT_EQ(window_caption(), "Wavlon");
    EXPECT_EQ(selection(), 2);
    wait_ms(1500);
    EXPECT_EQ(selection(), 2);  // no second pass
    EXPECT_EQ(play_button(), "播 放");
    // The user can still try again by hand: the same pass runs once more.
    ASSERT_TRUE(wait_until([&] { return enabled("按钮5"); }));
    click("按钮5");
    EXPECT_EQ(selection(), 0);
    EXPECT_EQ(play_button(), "暂 停");
    ASSERT_TRUE(wait_until([&] { return play_button() == "播 放"; }, 5000));
}

TEST_F(Playback, LoadingAFolderAfterAnUnplayableTrackStartsNothing) {
    start_with({"a.mp3", "b.mp3"}, Mp3Kind::Short);
    const std::string broken = make_folder("broken", {"x.mp3", "y.mp3"}, "");
    m_dialogs.folders.push_back(broken);
    click("按钮1");
    click_item(0);
    EXPECT_NE(state(), kPlaying);
    // Loading a playable folder before the next tick does not start it unasked, although the
    // slider's maximum is still the 0 of the unplayable track.
    const std::string good = make_folder("good", {"g.mp3"}, mp3_file(Mp3Kind::Short));
    m_dialogs.folders.push_back(good);
    click("按钮1");
    wait_ms(1200);
    EXPECT_EQ(state(), 0);
    EXPECT_EQ(selection(), -1);
}

TEST_F(Playback, StepsWithoutAnyTrackDoNothing) {
    start();
    const std::string text = fatal_text_of([] {
        player::play_next_track();
        player::play_previous_track();
    });
    EXPECT_EQ(text, "");
    EXPECT_EQ(opened_file(), "");
    EXPECT_EQ(play_button(), "播 放");
}

}  // namespace
}  // namespace wavlon::testing
