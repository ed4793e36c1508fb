// The player's online search against the real song service, through the real main window:
// a keyword typed as an input method commits it, the search button clicked, the found song
// double-clicked and sought in as the user does.
#include <gtest/gtest.h>

#include <QApplication>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTreeWidget>
#include "app/main_window_units.h"
#include "player/online_search.h"
#include "player/window_units.h"
#include "runtime/config_file.h"
#include "songd/song_service.h"
#include "support/main_window_driver.h"
#include "support/pulse_server.h"

namespace wavlon::testing {
namespace {

namespace u = units;

class SongServiceWindow : public MainWindowTest {
protected:
    void TearDown() override {
        search::set_search_service_url_for_tests({});
        MainWindowTest::TearDown();
    }
    void type_keyword(const std::string& utf8) { type_text("编辑框3", utf8); }
    // Starts the window with the search pointed at `url`, then searches for `keyword`.
    void start_and_search(const std::string& url, const std::string& keyword) {
        search::set_search_service_url_for_tests(url);
        start();
        ASSERT_TRUE(enabled("按钮8"));
        type_keyword(keyword);
        click("按钮8");
    }
    static std::string cell(int row, int column) {
        return runtime::gbk_to_utf8(u::超级列表框1->get_item_text(row, column));
    }
};

TEST_F(SongServiceWindow, KeywordFindsPagesPlaysAndSeeksInAFoundSong) {
    TemporaryFolder music;
    for (int i = 1; i <= 12; ++i) {
        char title[16];
        std::snprintf(title, sizeof title, "歌%02d", i);
        write_tagged_mp3(music.path() / (std::to_string(i) + ".mp3"),
                         id3v2_tag(FrameText::Latin1, title, kGbkZhouJielun), {}, true);
    }
    write_tagged_mp3(music.path() / "other.mp3", id3v2_tag(FrameText::Utf8, "红豆", "王菲"));
    RunningSongService service(music.path());
    set_online(true);
    start_and_search(service.url(), "周杰伦");
    ASSERT_EQ(u::超级列表框1->item_count(), 10);
    EXPECT_EQ(cell(0, 0), "1");
    EXPECT_EQ(cell(0, 1), "歌01");
    EXPECT_EQ(cell(0, 2), "周杰伦");
    EXPECT_EQ(cell(0, 3).rfind(service.url("/song/"), 0), 0u) << cell(0, 3);
    EXPECT_EQ(runtime::gbk_to_utf8(player::text_of(u::按钮8, u::ButtonUnit::kCaption)), "加载更多");

    click("按钮8");
    ASSERT_EQ(u::超级列表框1->item_count(), 12);
    EXPECT_EQ(cell(10, 0), "1");
    EXPECT_EQ(cell(11, 1), "歌12");
    click("按钮8");  // past the end: nothing more
    EXPECT_EQ(u::超级列表框1->item_count(), 12);

    double_click_result(11);
    ASSERT_TRUE(wait_until([] { return player::media_player().get_state() == 1; }));
    EXPECT_EQ(runtime::gbk_to_utf8(player::text_of(u::启动窗口, u::WindowUnit::kCaption)),
              "歌12-周杰伦");
    EXPECT_NE(pactl("list short sink-inputs"), "");

    // Seeking asks the service for a range of the song.
    drag_slider("滑块条1", 6);
    EXPECT_TRUE(wait_until([] { return player::media_player().get_position() >= 6000; }))
        << player::media_player().get_position();
    EXPECT_EQ(player::media_player().get_state(), 1);
}

// The service address in config.ini (key "service") replaces the built-in one for the check
// and the search; a value that is not an http(s) address is ignored.
TEST_F(SongServiceWindow, ServiceAddressFromTheSettings) {
    TemporaryFolder built_in_music, household_music;
    write_tagged_mp3(built_in_music.path() / "a.mp3", id3v2_tag(FrameText::Utf8, "红豆", "王菲"));
    write_tagged_mp3(household_music.path() / "b.mp3",
                     id3v2_tag(FrameText::Utf8, "红豆", "方大同"));
    RunningSongService built_in(built_in_music.path()), household(household_music.path());
    struct Case {
        std::string setting;
        bool online;  // the check page of the built-in address answers
        const char* singer;
    };
    const Case cases[] = {
        {household.url(), false, "方大同"},
        {"ftp://127.0.0.1/", true, "王菲"},
        {"http:///no-host", true, "王菲"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.setting);
        store_folder("");
        ASSERT_TRUE(runtime::write_config_item(runtime::utf8_to_gbk(config_path().string()),
                                               "config", "service",
                                               runtime::utf8_to_gbk(c.setting)));
        set_online(c.online);
        start_and_search(built_in.url(), "红豆");
        ASSERT_EQ(u::超级列表框1->item_count(), 1);
        EXPECT_EQ(cell(0, 2), c.singer);
        TearDown();
        SetUp();
    }
}

}  // namespace
}  // namespace wavlon::testing
