#include "player/found_song.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTreeWidget>

#include "app/main_window_units.h"
#include "player/program_state.h"
#include "player/window_units.h"
#include "support/local_http_server.h"
#include "support/main_window_driver.h"
#include "support/mp3_fixtures.h"
#include "support/pulse_server.h"

namespace wavlon::testing {
namespace {

using runtime::gbk_to_utf8;
namespace u = units;

constexpr std::int32_t kPlaying = 1;

class FoundSong : public MainWindowTest {
protected:
    // Starts online (the result list is disabled offline) with two local tracks listed and
    // none selected.
    void start_with_two_tracks() {
        set_online(true);
        store_folder(make_folder("music", {"a.mp3", "b.mp3"}, mp3_file(Mp3Kind::Short)));
        start();
        ASSERT_EQ(u::列表框1->item_count(), 2);
    }
    // A search result row as the search writes it.
    static void add_result(const std::string& title, const std::string& singer,
                           const std::string& url) {
        const std::int32_t row = u::超级列表框1->insert_item();
        u::超级列表框1->set_item_text(row, 0, "1");
        u::超级列表框1->set_item_text(row, 1, runtime::utf8_to_gbk(title));
        u::超级列表框1->set_item_text(row, 2, runtime::utf8_to_gbk(singer));
        u::超级列表框1->set_item_text(row, 3, runtime::utf8_to_gbk(url));
    }
    static std::string text(const u::UnitRef<u::EditBoxUnit>& box) {
        return gbk_to_utf8(player::text_of(box, u::EditBoxUnit::kContent));
    }
    static std::string window_caption() {
        return gbk_to_utf8(player::text_of(u::启动窗口, u::WindowUnit::kCaption));
    }
    static std::string total_time() {
        return gbk_to_utf8(player::text_of(u::透明标签1, u::TransLabelUnit::kCaption));
    }
    static std::int32_t slider_maximum() {
        return player::integer_of(u::滑块条1, u::SliderBarUnit::kMaximum);
    }

    LocalHttpServer m_songs{[](const HttpRequest& request) {
        return mp3_reply(request, read_file_bytes(mp3_file(Mp3Kind::CbrNoTag)), true);
    }};
};

TEST_F(FoundSong, DoubleClickPlaysTheSongAndAppendsItToTheTrackList) {
    start_with_two_tracks();
    const std::string url = m_songs.url("/song.mp3");
    add_result("T", "S", url);
    double_click_result(0);

    EXPECT_EQ(player::media_player().get_state(), kPlaying);
    EXPECT_EQ(window_caption(), "T-S");
    EXPECT_EQ(gbk_to_utf8(player::text_of(u::按钮2, u::ButtonUnit::kCaption)), "暂 停");
    EXPECT_EQ(text(u::编辑框2), url);
    EXPECT_EQ(text(u::编辑框4), url);
    EXPECT_EQ(text(u::编辑框1), "T - S");
    ASSERT_EQ(player::program_state().track_paths.size(), 3);
    EXPECT_EQ(gbk_to_utf8(player::program_state().track_paths.at(3)), url);
    ASSERT_EQ(u::列表框1->item_count(), 3);
    EXPECT_EQ(gbk_to_utf8(u::列表框1->item_text(2)), "T - S");
    EXPECT_EQ(u::列表框1->item_value(2), 3);
    EXPECT_EQ(u::列表框1->selection(), -1);
    EXPECT_EQ(slider_maximum(), 10);
    EXPECT_EQ(total_time(), "00:10");
    EXPECT_TRUE(wait_until([] { return player::media_player().get_position() > 0; }));
    EXPECT_NE(pactl("list short sink-inputs"), "");
}

TEST_F(FoundSong, AddressesThatAreNotWebAddressesAreNeverOpened) {
    start_with_two_tracks();
    add_result("W", "S", m_songs.url("/song.mp3"));
    const std::string local = mp3_file(Mp3Kind::Short);
    const std::string addresses[] = {local, "file://" + local, "", "httpx://127.0.0.1/a.mp3"};
    for (const std::string& address : addresses) {
        add_result("L", "S", address);
    }
    double_click_result(0);
    ASSERT_EQ(player::media_player().get_state(), kPlaying);

    for (int row = 1; row <= 4; ++row) {
        const std::string& address = addresses[row - 1];
        double_click_result(row);
        // The song before is closed, and the refused one reads like a track that did not open.
        EXPECT_NE(player::media_player().get_state(), kPlaying) << address;
        EXPECT_EQ(slider_maximum(), 0) << address;
        EXPECT_EQ(total_time(), "00:00") << address;
        EXPECT_EQ(window_caption(), "L-S") << address;
        EXPECT_EQ(text(u::编辑框2), address);
        EXPECT_EQ(gbk_to_utf8(player::program_state().track_paths.at(
                      player::program_state().track_paths.size())),
                  address);
        EXPECT_EQ(u::列表框1->item_value(u::列表框1->item_count() - 1), row + 3);
    }
}

// However long the window then runs, nothing else starts in place of a song that cannot be
// played: neither the first local track nor the one that played before.
TEST_F(FoundSong, SongThatCannotBePlayedStartsNoOtherTrack) {
    LocalHttpServer gone([](const HttpRequest&) { return HttpReply::status(404, "Not Found"); });
    start_with_two_tracks();
    struct Case {
        const char* name;
        std::string address;
        int local_item;  // the local track playing before; -1 for none
    };
    const Case cases[] = {
        {"404", gone.url("/gone.mp3"), -1},
        {"file address", "file://" + mp3_file(Mp3Kind::Short), -1},
        {"404 after a local track", gone.url("/gone.mp3"), 1},
    };
    int row = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.local_item >= 0) {
            click_item(c.local_item);
            ASSERT_EQ(player::media_player().get_state(), kPlaying);
        }
        const std::string title = std::string("D") + std::to_string(row);
        add_result(title, "S", c.address);
        double_click_result(row++);
        wait_ms(3000);
        EXPECT_NE(player::media_player().get_state(), kPlaying);
        EXPECT_EQ(pactl("list short sink-inputs"), "");
        EXPECT_EQ(u::列表框1->selection(), c.local_item);
        EXPECT_EQ(window_caption(), title + "-S");
        EXPECT_EQ(text(u::编辑框1), title + " - S");
        EXPECT_EQ(text(u::编辑框4), c.address);
        EXPECT_EQ(gbk_to_utf8(u::列表框1->item_text(u::列表框1->item_count() - 1)), title + " - S");
    }
}

TEST_F(FoundSong, NothingHappensWithoutACurrentRow) {
    start_with_two_tracks();
    add_result("T", "S", m_songs.url("/song.mp3"));
    const std::string caption = window_caption();
    EXPECT_EQ(player::play_found_song(), 0);
    EXPECT_EQ(window_caption(), caption);
    EXPECT_EQ(player::program_state().track_paths.size(), 2);
    EXPECT_EQ(u::列表框1->item_count(), 2);
}

TEST(WebAddress, OnlyHttpAndHttpsInAnyCaseCount) {
    EXPECT_TRUE(player::is_web_address("http://a/b.mp3"));
    EXPECT_TRUE(player::is_web_address("HTTPS://a/b.mp3"));
    EXPECT_FALSE(player::is_web_address("http:/a"));
    EXPECT_FALSE(player::is_web_address("ftp://a/b.mp3"));
    EXPECT_FALSE(player::is_web_address("/home/u/b.mp3"));
    EXPECT_FALSE(player::is_web_address("http"));
}

}  // namespace
}  // namespace wavlon::testing
