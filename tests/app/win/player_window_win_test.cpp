// The whole player on the system's controls under wine: the start-up, the window's units, and a
// user's playing, skipping, pausing, volume, countdown and search through the window.
#include <windows.h>

#include <commctrl.h>

#include "app/win/media_keys.h"
#include "app/win/program_window.h"
#include "platform/codec.h"
#include "player/online_search.h"
#include "player/playback.h"
#include "player/window_units.h"
#include "runtime/live_window.h"
#include "support/mp3_fixtures.h"
#include "support/song_search_service.h"

namespace wavlon::testing {
namespace {

namespace u = units;
using player::PlayState;

std::string utf8(const runtime::Text& text) {
    return platform::gbk_to_utf8(text);
}

using PlayerWindow = ProgramWindowTest;

TEST_F(PlayerWindow, StartsOfflineWithTheNoticeThenShowsTheUnitsAsStored) {
    start();
    ASSERT_EQ(m_dialogs.texts, std::vector<std::string>{"请检测网络通讯连接是否正常"});
    EXPECT_FALSE(m_dialogs.window_shown[0]);  // the notice comes before the window
    HWND window = control(u::启动窗口);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(caption(window), "Wavlon");
    RECT client{};
    GetClientRect(window, &client);

    const runtime::LiveWindow* live = runtime::find_live_window(u::kMainWindowId);
    ASSERT_NE(live, nullptr);
    int shown = 0;
    for (std::size_t i = 1; i < live->block.store.records.size(); ++i) {
        const runtime::UnitRecord& record = live->block.store.records[i];
        SCOPED_TRACE(utf8(record.name));
        HWND unit = units::widget_of(live->unit(i));
        if (unit == nullptr) {  // timers, the media player and the volume have no window
            continue;
        }
        EXPECT_EQ(GetParent(unit), window);
        EXPECT_EQ(GetDlgCtrlID(unit), live->control_ids[i]);
        RECT area{};
        GetWindowRect(unit, &area);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&area), 2);
        EXPECT_EQ(area.left, record.left);
        EXPECT_EQ(area.top, record.top);
        EXPECT_EQ(area.right - area.left, record.width);
        EXPECT_LE(record.left + record.width, client.right);  // the client area holds every unit
        EXPECT_LE(record.top + record.height, client.bottom);
        const bool visible = (record.flags & runtime::kFlagVisible) != 0;
        EXPECT_EQ(IsWindowVisible(unit) != FALSE, visible);
        shown += visible;
        const auto style = static_cast<DWORD>(GetWindowLongW(unit, GWL_STYLE));
        EXPECT_EQ((style & WS_TABSTOP) != 0, (record.flags & runtime::kFlagTabStop) != 0);
    }
    EXPECT_EQ(shown, 26);
    // Offline: the search units are disabled and the red line stays.
    EXPECT_FALSE(IsWindowEnabled(control(u::编辑框3)));
    EXPECT_FALSE(IsWindowEnabled(control(u::超级列表框1)));
    EXPECT_FALSE(IsWindowEnabled(control(u::按钮8)));
    EXPECT_FALSE(IsWindowEnabled(control(u::编辑框1)));  // stored disabled
    EXPECT_EQ(caption(control(u::透明标签11)), "状态：网络错误，网络功能不可用");
    // Fonts by the names the template gives.
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control(u::按钮2), WM_GETFONT, 0, 0)),
               sizeof font, &font);
    EXPECT_EQ(std::wstring(font.lfFaceName), L"微软雅黑");
    EXPECT_EQ(font.lfHeight, -16);
    EXPECT_EQ(font.lfWeight, FW_BOLD);
    // Skin 6 on the system's controls: the window's, an edit field's and the buttons' colours
    // (a list box keeps its stored background), asked of the window as the controls ask it.
    HDC dc = CreateCompatibleDC(nullptr);
    auto background_for = [&](UINT message, HWND unit) {
        SendMessageW(window, message, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(unit));
        return GetBkColor(dc);
    };
    EXPECT_EQ(background_for(WM_CTLCOLORSTATIC, control(u::滑块条2)), RGB(0xe8, 0xed, 0xf3));
    EXPECT_EQ(background_for(WM_CTLCOLOREDIT, control(u::编辑框3)), RGB(0xff, 0xff, 0xff));
    EXPECT_EQ(background_for(WM_CTLCOLORLISTBOX, control(u::列表框1)), RGB(236, 236, 236));
    DeleteDC(dc);
    EXPECT_EQ(GetWindowLongW(control(u::按钮2), GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
    // The clock replaces its placeholder within a second.
    EXPECT_TRUE(
        wait_until([&] { return caption(control(u::透明标签2)) != "2020年4月21日20:25:25"; }));

    // Closing the window ends it and writes nothing.
    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(wait_until([&] { return !runtime::find_live_window(u::kMainWindowId)->exists(); }));
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(std::filesystem::exists(m_root.path("program/config.ini")));
}

TEST_F(PlayerWindow, PlaysSkipsPausesAndStopsThroughTheWindow) {
    store_folder_with({"一.mp3", "二.mp3", "三.mp3"}, mp3_file(Mp3Kind::Short));
    start();
    HWND list = control(u::列表框1);
    ASSERT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), 3);
    // Nothing chosen yet: the transport buttons go grey at the first tick.
    EXPECT_TRUE(wait_until([&] { return !IsWindowEnabled(control(u::按钮2)); }));
    auto playing = [&](const std::string& name) {
        return wait_until([&] {
            return player::playback().state() == PlayState::kPlaying &&
                   caption(control(u::启动窗口)) == "正在播放：" + name;
        });
    };
    auto selected = [&] { return SendMessageW(list, LB_GETCURSEL, 0, 0); };

    click_item(list, 0);
    ASSERT_TRUE(playing("一"));  // the list names a track without its extension
    EXPECT_TRUE(wait_until([&] { return IsWindowEnabled(control(u::按钮5)) != FALSE; }));
    click(control(u::按钮5));
    ASSERT_TRUE(playing("三"));  // the list is in the system's name order
    EXPECT_EQ(selected(), 1);
    click(control(u::按钮5));
    click(control(u::按钮5));  // past the end: back to the first
    ASSERT_TRUE(playing("一"));
    EXPECT_EQ(selected(), 0);
    click(control(u::按钮4));  // before the first: the last
    ASSERT_TRUE(playing("二"));
    EXPECT_EQ(selected(), 2);

    click(control(u::按钮2));
    EXPECT_EQ(player::playback().state(), PlayState::kPaused);
    EXPECT_EQ(caption(control(u::启动窗口)), "暂停播放：二");
    EXPECT_EQ(caption(control(u::按钮2)), "继 续");
    click(control(u::按钮2));
    ASSERT_TRUE(playing("二"));
    EXPECT_EQ(caption(control(u::按钮2)), "暂 停");
    // The progress follows the sound.
    EXPECT_TRUE(wait_until([&] {
        return SendMessageW(control(u::滑块条1), TBM_GETPOS, 0, 0) > 0 &&
               caption(control(u::透明标签7)) != "00:00";
    }));

    click(control(u::按钮3));
    EXPECT_EQ(player::playback().state(), PlayState::kStopped);
    EXPECT_EQ(caption(control(u::启动窗口)), "Wavlon");
    EXPECT_EQ(caption(control(u::按钮2)), "播 放");

    // The keyboard's media keys, as the system hands them to the window.
    app::install_media_keys();
    auto press = [&](int command) {
        HWND window = control(u::启动窗口);
        SendMessageW(window, WM_APPCOMMAND, reinterpret_cast<WPARAM>(window),
                     MAKELPARAM(0, command));
    };
    press(APPCOMMAND_MEDIA_PLAY_PAUSE);
    ASSERT_TRUE(playing("二"));
    ASSERT_TRUE(wait_until([&] { return IsWindowEnabled(control(u::按钮5)) != FALSE; }));
    press(APPCOMMAND_MEDIA_NEXTTRACK);
    ASSERT_TRUE(playing("一"));
    press(APPCOMMAND_MEDIA_STOP);
    EXPECT_EQ(player::playback().state(), PlayState::kStopped);
}

TEST_F(PlayerWindow, VolumeSliderSetsTheMixerAndTheCountdownAsksForThePowerOff) {
    start();
    HWND volume = control(u::滑块条2);
    const auto high = static_cast<int>(SendMessageW(volume, TBM_GETRANGEMAX, 0, 0));
    ASSERT_GT(high, 100);  // the mixer's range, in steps of five
    for (int value : {high / 4, high}) {
        drag_slider(volume, value);
        std::int32_t left = -1;
        std::int32_t right = -1;
        player::system_volume().get_volume(left, right);
        EXPECT_EQ(left, value * 5);
        EXPECT_EQ(right, value * 5);
    }

    click(control(u::按钮7));
    ASSERT_TRUE(IsWindowVisible(control(u::编辑框7)));
    type_text(control(u::编辑框7), L"1");
    click(control(u::按钮9));
    EXPECT_EQ(caption(control(u::按钮9)), "倒计时ing（点击取消）");
    ASSERT_TRUE(wait_until([&] { return !m_power.requests.empty(); }));
    EXPECT_EQ(m_power.requests[0], platform::PowerRequest::PowerOff);
    EXPECT_EQ(caption(control(u::透明标签18)), "倒计时：0秒");
}

TEST_F(PlayerWindow, SearchListsFoundSongsAndAFoundSongsAddressReachesMci) {
    SongSearchService service;
    search::set_search_service_url_for_tests(service.url());
    set_online(true);
    start();
    EXPECT_TRUE(m_dialogs.texts.empty());
    EXPECT_EQ(caption(control(u::透明标签11)), "");
    HWND results = control(u::超级列表框1);
    type_text(control(u::编辑框3), L"歌");
    click(control(u::按钮8));
    ASSERT_TRUE(wait_until([&] { return SendMessageW(results, LVM_GETITEMCOUNT, 0, 0) > 0; }));
    const std::string title = utf8(u::超级列表框1->get_item_text(0, 1));
    const std::string address = utf8(u::超级列表框1->get_item_text(0, 3));
    EXPECT_EQ(title, "歌1.1");
    EXPECT_EQ(utf8(u::超级列表框1->get_item_text(0, 2)), "歌手1");
    EXPECT_EQ(address, service.url("/song/1/1.mp3"));

    // Wine's MCI cannot play a web address: the routine hands MCI the address all the same,
    // and the song joins the local list.
    double_click_row(results, 0);
    EXPECT_TRUE(
        wait_until([&] { return utf8(player::media_player().record().file_name) == address; }));
    EXPECT_EQ(SendMessageW(control(u::列表框1), LB_GETCOUNT, 0, 0), 1);
}

}  // namespace
}  // namespace wavlon::testing
