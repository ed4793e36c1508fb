#include "app/event_table.h"

#include <type_traits>
#include <vector>

#include "app/start_up.h"
#include "player/countdown.h"
#include "player/found_song.h"
#include "player/music_folder.h"
#include "player/online_search.h"
#include "player/playback.h"
#include "player/volume.h"

namespace wavlon::app {
namespace {

using runtime::Value;

// The routines take no arguments; one without a result hands back the empty value.
template <auto routine>
Value call(std::span<const Value>) {
    if constexpr (std::is_void_v<decltype(routine())>) {
        routine();
        return {};
    } else {
        return routine();
    }
}

// clang-format off
const std::vector<EventTableRow>& rows() {
    static const std::vector<EventTableRow> table = {
        // unit         event  routine name               routine
        {"启动窗口",    0,     "on_main_window_created",  call<on_main_window_created>},
        {"时钟1",       0,     "update_clock_label",      call<update_clock_label>},
        {"按钮1",       0,     "choose_music_folder",     call<player::choose_music_folder>},
        {"列表框1",     0,     "play_selected_track",     call<player::play_selected_track>},
        {"按钮2",       0,     "toggle_play_pause",       call<player::toggle_play_pause>},
        {"按钮3",       0,     "stop_playback",           call<player::stop_playback>},
        {"按钮4",       0,     "play_previous_track",     call<player::play_previous_track>},
        {"按钮5",       0,     "play_next_track",         call<player::play_next_track>},
        {"时钟2",       0,     "update_playback_buttons", call<player::update_playback_buttons>},
        {"编辑框2",     0,     "clear_folder_hint",       call<player::clear_folder_hint>},
        {"时钟3",       0,     "update_progress",         call<player::update_progress>},
        {"滑块条1",     0,     "seek_to_slider",          call<player::seek_to_slider>},
        {"滑块条2",     0,     "apply_volume_slider",     call<player::apply_volume_slider>},
        {"按钮6",       0,     "toggle_mute",             call<player::toggle_mute>},
        {"按钮7",       0,     "toggle_countdown_panel",  call<player::toggle_countdown_panel>},
        {"按钮9",       0,     "toggle_countdown",        call<player::toggle_countdown>},
        {"时钟4",       0,     "countdown_tick",          call<player::countdown_tick>},
        {"编辑框3",     0,     "on_keyword_changed",      call<search::on_keyword_changed>},
        {"按钮8",       0,     "on_search_clicked",       call<search::on_search_clicked>},
        {"超级列表框1", -3,    "play_found_song",
         [](std::span<const Value>) { return Value::integer(player::play_found_song()); }},
    };
    return table;
}
// clang-format on

}  // namespace

std::span<const EventTableRow> main_window_event_table() {
    return rows();
}

runtime::Routine find_routine(std::string_view name) {
    for (const EventTableRow& row : rows()) {
        if (name == row.routine_name) {
            return row.routine;
        }
    }
    return {};
}

}  // namespace wavlon::app
