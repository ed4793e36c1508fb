// The start-up sequence as far as the player sees it: the network notice, the search units,
// the volume slider, the track list and its hint; and that closing the window writes nothing.
#include <QCoreApplication>
#include <QWidget>

#include "app/main_window_units.h"
#include "player/window_units.h"
#include "runtime/window_loader.h"
#include "support/main_window_driver.h"
#include "support/mp3_fixtures.h"

namespace wavlon::testing {
namespace {

using runtime::gbk_to_utf8;
namespace u = units;

class StartUp : public MainWindowTest {
protected:
    static std::string status_line() {
        return gbk_to_utf8(player::text_of(u::透明标签11, u::TransLabelUnit::kCaption));
    }
};

TEST_F(StartUp, OfflineShowsTheNoticeBeforeTheWindowAndDisablesTheSearch) {
    const std::string folder = make_folder("music", {"a.mp3"}, mp3_file(Mp3Kind::Short));
    store_folder(folder);
    set_online(false);
    start();
    ASSERT_EQ(m_dialogs.boxes.size(), 1u);
    const FakeDialogs::Box& box = m_dialogs.boxes[0];
    EXPECT_EQ(box.request.text, "请检测网络通讯连接是否正常");
    EXPECT_EQ(box.request.caption, "信息：");
    EXPECT_EQ(box.request.flags, platform::kMessageBoxTaskModal);
    EXPECT_FALSE(box.window_visible);
    EXPECT_TRUE(widget_of_main()->isVisible());
    for (const char* name : {"编辑框3", "超级列表框1", "按钮8"}) {
        EXPECT_FALSE(enabled(name)) << name;
    }
    EXPECT_EQ(status_line(), "状态：网络错误，网络功能不可用");
    EXPECT_EQ(u::列表框1->item_count(), 1);  // local playback is unchanged
}

TEST_F(StartUp, OnlineShowsNoNoticeAndEmptiesTheStatusLine) {
    set_online(true);
    start();
    EXPECT_TRUE(m_dialogs.boxes.empty());
    for (const char* name : {"编辑框3", "超级列表框1", "按钮8"}) {
        EXPECT_TRUE(enabled(name)) << name;
    }
    EXPECT_EQ(status_line(), "");
}

TEST_F(StartUp, StoredFolderIsListedWithNothingSelectedOrPlaying) {
    const std::string folder = make_folder("music", {"a.mp3", "b.mp3"}, mp3_file(Mp3Kind::Short));
    store_folder(folder);
    start();
    EXPECT_EQ(u::列表框1->item_count(), 2);
    EXPECT_EQ(u::列表框1->selection(), -1);
    EXPECT_EQ(player::text_of(u::透明标签3, u::TransLabelUnit::kCaption), "");
    EXPECT_EQ(player::text_of(u::编辑框2, u::EditBoxUnit::kContent), "");
    EXPECT_EQ(player::media_player().get_state(), 0);
    EXPECT_TRUE(wait_until([&] {
        return !enabled("按钮2") && !enabled("按钮3") && !enabled("按钮4") && !enabled("按钮5");
    }));
    EXPECT_TRUE(enabled("按钮6"));
    // The volume slider was set up from the mixer.
    EXPECT_EQ(player::integer_of(u::滑块条2, u::SliderBarUnit::kMaximum), 13107);
}

TEST_F(StartUp, ClosingTheWindowWritesNothing) {
    const std::string folder = make_folder("music", {"a.mp3"}, mp3_file(Mp3Kind::Short));
    store_folder(folder);
    const std::string stored = config_bytes();
    const auto written = std::filesystem::last_write_time(config_path());
    start();
    click_item(0);
    widget_of_main()->close();
    EXPECT_TRUE(wait_until([] { return !runtime::window_exists(u::kMainWindowId); }));
    EXPECT_EQ(config_bytes(), stored);
    EXPECT_EQ(std::filesystem::last_write_time(config_path()), written);
}

}  // namespace
}  // namespace wavlon::testing
