#include "player/countdown.h"

#include <limits>

#include "app/main_window_units.h"
#include "player/program_state.h"
#include "player/window_units.h"
#include "support/main_window_driver.h"

namespace wavlon::testing {
namespace {

using runtime::gbk_to_utf8;
using runtime::utf8_to_gbk;
namespace u = units;

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

TEST(CountdownEntry, AcceptsWholeNumbersOnly) {
    const std::pair<const char*, std::optional<std::int32_t>> cases[] = {
        {"", 0},     {"3", 3},      {" 7 ", 7},   {"-3", -3},
        {"+4", 4},   {"１２", 12},  {"－５", -5}, {"99999999999", kMax},
        {"abc", {}}, {"12abc", {}}, {"1.5", {}},  {"-", {}},
        {" ", {}},   {"1 2", {}},
    };
    for (auto [entry, value] : cases) {
        EXPECT_EQ(player::countdown_entry_value(utf8_to_gbk(entry)), value) << entry;
    }
}

TEST(CountdownTotal, SaturatesInsteadOfOverflowing) {
    EXPECT_EQ(player::countdown_total(0, 1, 0), 60);
    EXPECT_EQ(player::countdown_total(1, -1, 5), 3545);
    EXPECT_EQ(player::countdown_total(kMax, 0, 0), kMax);
    EXPECT_EQ(player::countdown_total(596523, 14, 8), kMax);  // 2^31 exactly
    EXPECT_EQ(player::countdown_total(kMin, kMin, kMin), kMin);
}

class Countdown : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        start();
        click("按钮7");
    }
    void enter(const char* hours, const char* minutes, const char* seconds) {
        player::set_text(u::编辑框5, u::EditBoxUnit::kContent, utf8_to_gbk(hours));
        player::set_text(u::编辑框6, u::EditBoxUnit::kContent, utf8_to_gbk(minutes));
        player::set_text(u::编辑框7, u::EditBoxUnit::kContent, utf8_to_gbk(seconds));
    }
    static std::string status() {
        return gbk_to_utf8(player::text_of(u::透明标签18, u::TransLabelUnit::kCaption));
    }
    static std::string start_button() {
        return gbk_to_utf8(player::text_of(u::按钮9, u::ButtonUnit::kCaption));
    }
    static std::int32_t interval() { return player::integer_of(u::时钟4, u::TimerUnit::kInterval); }
    // The panel is idle, hidden or shown, with empty enabled entries.
    void expect_idle(bool panel_shown) {
        for (const char* name : {"透明标签14", "透明标签15", "透明标签16", "编辑框5", "编辑框6",
                                 "编辑框7", "按钮9", "透明标签18"}) {
            EXPECT_EQ(widget(name)->isVisible(), panel_shown) << name;
        }
        for (const char* name : {"编辑框5", "编辑框6", "编辑框7"}) {
            EXPECT_TRUE(enabled(name)) << name;
        }
        EXPECT_EQ(player::text_of(u::编辑框5, u::EditBoxUnit::kContent), "");
        EXPECT_EQ(player::text_of(u::编辑框7, u::EditBoxUnit::kContent), "");
        EXPECT_EQ(start_button(), "倒计时开始");
        EXPECT_EQ(status(), "倒计时已停止");
        EXPECT_EQ(interval(), 0);
        EXPECT_TRUE(widget("按钮7")->isVisible());
    }
};

TEST_F(Countdown, PanelButtonShowsAndHidesAnEmptyPanel) {
    expect_idle(true);
    enter("1", "2", "3");
    click("按钮7");
    expect_idle(false);
    click("按钮7");
    expect_idle(true);
}

TEST_F(Countdown, CountsDownAndRequestsPowerOffAtZeroAndAtEveryLaterTick) {
    enter("", "", "2");
    click("按钮9");
    EXPECT_EQ(start_button(), "倒计时ing（点击取消）");
    EXPECT_EQ(interval(), 1000);
    EXPECT_FALSE(enabled("编辑框7"));
    EXPECT_EQ(gbk_to_utf8(player::text_of(u::编辑框7, u::EditBoxUnit::kContent)), "2");
    EXPECT_FALSE(widget("按钮7")->isVisible());
    ASSERT_TRUE(wait_until([&] { return status() == "倒计时：1秒"; }));
    EXPECT_TRUE(m_power.requests.empty());
    ASSERT_TRUE(wait_until([&] { return m_power.requests.size() == 1; }));
    EXPECT_EQ(status(), "倒计时：0秒");
    EXPECT_EQ(m_power.requests[0], platform::PowerRequest::PowerOff);
    EXPECT_FALSE(m_power.forced[0]);
    // Refused: the next tick shows -1 and asks again.
    ASSERT_TRUE(wait_until([&] { return m_power.requests.size() == 2; }));
    EXPECT_EQ(status(), "倒计时：-1秒");
}

TEST_F(Countdown, OneMinuteShowsFiftyNineAfterTheFirstTick) {
    enter("0", "1", "");
    click("按钮9");
    EXPECT_EQ(player::program_state().countdown_seconds, 60);
    EXPECT_TRUE(wait_until([&] { return status() == "倒计时：59秒"; }));
}

TEST_F(Countdown, ZeroRequestsPowerOffAtTheFirstTick) {
    enter("0", "", "");
    click("按钮9");
    ASSERT_TRUE(wait_until([&] { return m_power.requests.size() == 1; }));
    EXPECT_EQ(status(), "倒计时：-1秒");
}

TEST_F(Countdown, CancelStopsTheCountAndResetsThePanel) {
    enter("1", "", "");
    click("按钮9");
    EXPECT_EQ(player::program_state().countdown_seconds, 3600);
    click("按钮9");
    expect_idle(false);
    wait_ms(1200);
    EXPECT_EQ(status(), "倒计时已停止");
    EXPECT_TRUE(m_power.requests.empty());
}

TEST_F(Countdown, ClickIsIgnoredWhenEntriesAreEmptyOrNotWholeNumbers) {
    const std::array<const char*, 3> cases[] = {
        {"", "", ""},
        {"abc", "abc", "abc"},
        {"1x", "", ""},
        {"", "1.5", "2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c[0]) + "|" + c[1] + "|" + c[2]);
        enter(c[0], c[1], c[2]);
        click("按钮9");
        EXPECT_EQ(start_button(), "倒计时开始");
        EXPECT_EQ(interval(), 0);
        EXPECT_TRUE(enabled("编辑框5"));
        EXPECT_TRUE(widget("按钮7")->isVisible());
    }
    wait_ms(1200);
    EXPECT_TRUE(m_power.requests.empty());
}

}  // namespace
}  // namespace wavlon::testing
