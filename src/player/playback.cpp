#include "player/playback.h"

#include "app/main_window_units.h"
#include "player/program_state.h"
#include "player/progress.h"
#include "player/window_units.h"
#include "runtime/media_play_state.h"

namespace wavlon::player {

using runtime::operator""_gb;
using runtime::Text;
namespace u = units;
using namespace runtime::media_play;

namespace {

std::int32_t selection() {
    return integer_of(u::列表框1, u::ListBoxUnit::kSelection);
}

void set_play_button(const Text& caption) {
    set_text(u::按钮2, u::ButtonUnit::kCaption, caption);
}

// Slider maximum: the open track's length in whole seconds (0 when it could not be opened).
void set_progress_range() {
    set_integer(u::滑块条1, u::SliderBarUnit::kMaximum, media_player().get_length() / 1000);
}

void set_transport_buttons_enabled(bool enabled) {
    set_disabled(u::按钮2, !enabled);
    set_disabled(u::按钮3, !enabled);
    set_disabled(u::按钮4, !enabled);
    set_disabled(u::按钮5, !enabled);
}

// The location next to the selected item, and the item to select with it.
struct AdjacentTrack {
    Text location;
    std::int32_t item = -1;
};

std::optional<AdjacentTrack> adjacent_track(Direction direction) {
    const std::int32_t selected = selection();
    const std::int32_t count = u::列表框1->item_count();
    std::optional<Text> location;
    std::int32_t item = 0;
    if (direction == Direction::kPrevious) {
        if (selected <= 0) {
            location = track_path(program_state().track_paths.size());
            item = count - 1;
        } else {
            location = track_path(std::int64_t{u::列表框1->item_value(selected)} - 1);
            item = selected - 1;
        }
    } else {
        if (selected == -1 || selected + 1 >= count) {
            location = track_path(1);
            item = 0;
        } else {
            location = track_path(std::int64_t{u::列表框1->item_value(selected)} + 1);
            item = selected + 1;
        }
    }
    if (!location) {
        return std::nullopt;
    }
    return AdjacentTrack{*location, item};
}

}  // namespace

Text selected_track_name() {
    return u::列表框1->item_text(selection());
}

void play_selected_track() {
    const std::int32_t selected = selection();
    if (selected < 0) {
        return;
    }
    // An item whose value names no entry of track_paths has nothing to play.
    const std::optional<Text> location = track_path(u::列表框1->item_value(selected));
    if (!location) {
        return;
    }
    set_play_button("暂 停"_gb);
    program_state().skip_if_unplayable = true;
    program_state().unplayable_in_a_row = 0;
    media_player().open(*location);
    media_player().play(kFromCurrentPosition);
    set_progress_range();
    set_text(u::编辑框2, u::EditBoxUnit::kContent, *location);
    if (media_player().get_state() == kPlaying) {
        set_window_caption("正在播放："_gb + selected_track_name());
    }
    set_text(u::透明标签1, u::TransLabelUnit::kCaption, format_total_time());
    set_text(u::编辑框1, u::EditBoxUnit::kContent, selected_track_name());
}

bool play_adjacent_track(Direction direction) {
    const std::optional<AdjacentTrack> next = adjacent_track(direction);
    if (!next) {
        return false;
    }
    program_state().skip_if_unplayable = true;
    media_player().open(next->location);
    media_player().play(kFromCurrentPosition);
    // Selecting from the program raises no selection event, so play_selected_track stays out.
    u::列表框1->select_item(next->item);
    set_progress_range();
    set_text(u::透明标签1, u::TransLabelUnit::kCaption, format_total_time());
    set_window_caption("正在播放："_gb + selected_track_name());
    set_play_button("暂 停"_gb);
    return true;
}

void play_previous_track() {
    if (play_adjacent_track(Direction::kPrevious)) {
        set_text(u::编辑框1, u::EditBoxUnit::kContent, selected_track_name());
    }
}

void play_next_track() {
    if (play_adjacent_track(Direction::kNext)) {
        set_text(u::编辑框1, u::EditBoxUnit::kContent, selected_track_name());
    }
}

void skip_unplayable_track() {
    ProgramState& state = program_state();
    if (++state.unplayable_in_a_row < u::列表框1->item_count()) {
        play_next_track();
        return;
    }
    // One pass through the list opened nothing: stop rather than cycle through it forever.
    state.skip_if_unplayable = false;
    state.unplayable_in_a_row = 0;
    set_play_button("播 放"_gb);
    set_window_caption("Wavlon"_gb);
}

void toggle_play_pause() {
    // The state is asked afresh for each case, in this order.
    if (media_player().get_state() == kStopped) {
        media_player().play(kFromCurrentPosition);
        set_window_caption("正在播放："_gb + selected_track_name());
        set_play_button("暂 停"_gb);
    } else if (media_player().get_state() == kPlaying) {
        media_player().toggle_pause();
        set_window_caption("暂停播放："_gb + selected_track_name());
        set_play_button("继 续"_gb);
    } else if (media_player().get_state() == kPaused) {
        // play continues from the pause point and clears the device's pause flag, so the next
        // press pauses again.
        media_player().play(kFromCurrentPosition);
        set_window_caption("正在播放："_gb + selected_track_name());
        set_play_button("暂 停"_gb);
    }
}

void stop_playback() {
    media_player().stop();
    set_play_button("播 放"_gb);
    set_window_caption("Wavlon"_gb);
}

void update_playback_buttons() {
    set_transport_buttons_enabled(!text_of(u::编辑框2, u::EditBoxUnit::kContent).empty());
}

void clear_folder_hint() {
    set_text(u::透明标签3, u::TransLabelUnit::kCaption, {});
}

}  // namespace wavlon::player
