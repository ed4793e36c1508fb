#include "player/playback.h"

#include <algorithm>

#include "app/main_window_units.h"
#include "player/program_state.h"
#include "player/time_text.h"
#include "player/window_units.h"
#include "runtime/media_play_state.h"

namespace wavlon::player {

using runtime::operator""_gb;
using runtime::Text;
namespace u = units;
using namespace runtime::media_play;

namespace {

constexpr std::int32_t kSliderLimit = 32767;  // the slider holds no larger value

std::int32_t selection() {
    return integer_of(u::列表框1, u::ListBoxUnit::kSelection);
}

std::int32_t slider_value(int index) {
    return integer_of(u::滑块条1, index);
}

Text button_caption(PlayState state) {
    switch (state) {
        case PlayState::kPlaying:
            return "暂 停"_gb;
        case PlayState::kPaused:
            return "继 续"_gb;
        case PlayState::kStopped:
            break;
    }
    return "播 放"_gb;
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

Playback& playback() {
    static Playback model;
    return model;
}

bool Playback::has_track() const {
    return !text_of(u::编辑框2, u::EditBoxUnit::kContent).empty();
}

PlayState Playback::state() const {
    const std::int32_t state = media_player().get_state();
    return state == kPlaying  ? PlayState::kPlaying
           : state == kPaused ? PlayState::kPaused
                              : PlayState::kStopped;
}

Text Playback::track_name() const {
    return text_of(u::编辑框1, u::EditBoxUnit::kContent);
}

Text Playback::opened_location() const {
    return media_player().record().file_name;
}

std::int32_t Playback::position_ms() const {
    return media_player().get_position();
}

std::int32_t Playback::length_ms() const {
    return media_player().get_length();
}

bool Playback::can_seek() const {
    return media_player().get_state() != kNothingOpen && media_player().get_length() > 0;
}

void Playback::show(const Shown& shown) {
    if (shown.button) {
        set_text(u::按钮2, u::ButtonUnit::kCaption, button_caption(*shown.button));
    }
    if (shown.position_s) {
        set_integer(u::滑块条1, u::SliderBarUnit::kPosition, *shown.position_s);
    }
    if (shown.length_ms) {
        set_integer(u::滑块条1, u::SliderBarUnit::kMaximum, *shown.length_ms / 1000);
        set_text(u::透明标签1, u::TransLabelUnit::kCaption, format_total_time());
    }
    if (shown.total_time) {
        set_text(u::透明标签1, u::TransLabelUnit::kCaption, *shown.total_time);
    }
    if (shown.caption) {
        set_window_caption(*shown.caption);
    }
    if (shown.location) {
        // Raises 编辑框2's change event, whose routine empties the hint.
        set_text(u::编辑框2, u::EditBoxUnit::kContent, *shown.location);
    }
    if (shown.name) {
        set_text(u::编辑框1, u::EditBoxUnit::kContent, *shown.name);
    }
    if (shown.elapsed_s) {
        set_text(u::透明标签7, u::TransLabelUnit::kCaption, time_text(*shown.elapsed_s));
    }
}

Text Playback::selected_name() {
    return u::列表框1->item_text(selection());
}

Text Playback::caption(PlayState state) {
    switch (state) {
        case PlayState::kPlaying:
            return "正在播放："_gb + selected_name();
        case PlayState::kPaused:
            return "暂停播放："_gb + selected_name();
        case PlayState::kStopped:
            break;
    }
    return "Wavlon"_gb;
}

void Playback::play_selected() {
    const std::int32_t selected = selection();
    if (selected < 0) {
        return;
    }
    // An item whose value names no entry of track_paths has nothing to play.
    const std::optional<Text> location = track_path(u::列表框1->item_value(selected));
    if (!location) {
        return;
    }
    show({.button = PlayState::kPlaying});
    program_state().skip_if_unplayable = true;
    program_state().unplayable_in_a_row = 0;
    media_player().open(*location);
    media_player().play(kFromCurrentPosition);
    // The caption names the track only once the device plays it.
    show({.length_ms = media_player().get_length(),
          .caption = media_player().get_state() == kPlaying
                         ? std::optional<Text>(caption(PlayState::kPlaying))
                         : std::nullopt,
          .location = *location,
          .name = selected_name()});
}

bool Playback::step(Direction direction) {
    const std::optional<AdjacentTrack> next = adjacent_track(direction);
    if (!next) {
        return false;
    }
    program_state().skip_if_unplayable = true;
    media_player().open(next->location);
    media_player().play(kFromCurrentPosition);
    // Selecting from the program raises no selection event, so play_selected stays out; the
    // location in 编辑框2 stays that of the track last started from the list or the search.
    u::列表框1->select_item(next->item);
    show({.button = PlayState::kPlaying,
          .length_ms = media_player().get_length(),
          .caption = caption(PlayState::kPlaying),
          .name = selected_name()});
    return true;
}

void Playback::play_found(const Text& title, const Text& singer, const Text& address,
                          bool may_open) {
    show({.button = PlayState::kPlaying, .caption = title + "-" + singer, .location = address});
    set_text(u::编辑框4, u::EditBoxUnit::kContent, address);
    // A found song that cannot be opened starts nothing in its place.
    program_state().skip_if_unplayable = false;
    // The previous song is closed either way, so that a refused address reads like one that
    // failed to open (length 0).
    if (may_open) {
        media_player().open(text_of(u::编辑框4, u::EditBoxUnit::kContent));
        media_player().play(kFromCurrentPosition);
    } else {
        media_player().close();
    }
    show({.length_ms = media_player().get_length()});
    program_state().track_paths.append(address);
    const Text name = title + " - " + singer;
    u::列表框1->add_item(name, u::列表框1->item_count() + 1);
    show({.name = name});
}

void Playback::play_or_pause() {
    // The state is asked afresh for each case, in this order.
    if (media_player().get_state() == kStopped) {
        media_player().play(kFromCurrentPosition);
        show({.button = PlayState::kPlaying, .caption = caption(PlayState::kPlaying)});
    } else if (media_player().get_state() == kPlaying) {
        media_player().toggle_pause();
        show({.button = PlayState::kPaused, .caption = caption(PlayState::kPaused)});
    } else if (media_player().get_state() == kPaused) {
        // play continues from the pause point and clears the device's pause flag, so the next
        // press pauses again.
        media_player().play(kFromCurrentPosition);
        show({.button = PlayState::kPlaying, .caption = caption(PlayState::kPlaying)});
    }
}

void Playback::stop() {
    media_player().stop();
    show({.button = PlayState::kStopped, .caption = caption(PlayState::kStopped)});
}

void Playback::seek_to_slider() {
    // The slider holds at most 32767 s, so the milliseconds fit.
    media_player().play(slider_value(u::SliderBarUnit::kPosition) * 1000);
    if (media_player().get_state() == kPlaying) {
        show({.button = PlayState::kPlaying, .caption = caption(PlayState::kPlaying)});
    }
    if (m_seek_observer) {
        m_seek_observer();
    }
}

void Playback::seek(std::int32_t seconds) {
    show({.position_s = std::clamp(seconds, 0, kSliderLimit)});
    seek_to_slider();
}

void Playback::follow_device() {
    // -1 (nothing open) becomes 0 by truncation.
    show({.position_s = media_player().get_position() / 1000});
    // Only a current track moves on by itself. After a folder was loaded nothing is current,
    // and a maximum of 0 left by an unplayable track must not start the new list unasked.
    if (has_track()) {
        follow_length();
        ProgramState& state = program_state();
        if (has_reached_its_end()) {
            play_next_at_end();
        } else if (could_not_be_opened()) {
            skip_unplayable_track();
        } else if (state.unplayable_in_a_row != 0 && media_player().get_state() != kNothingOpen) {
            state.unplayable_in_a_row = 0;  // a track opened: the run of failures is over
        }
    }
    // The position written above: a track started just now does not change it.
    show({.elapsed_s = slider_value(u::SliderBarUnit::kPosition)});
}

void Playback::forget_track() {
    media_player().close();
    program_state().skip_if_unplayable = false;
    program_state().unplayable_in_a_row = 0;
    show({.button = PlayState::kStopped,
          .total_time = time_text(0),
          .location = Text{},
          .name = Text{}});
}

void Playback::set_seek_observer(std::function<void()> observer) {
    m_seek_observer = std::move(observer);
}

void Playback::play_next_at_end() {
    step(Direction::kNext);
}

void Playback::skip_unplayable_track() {
    ProgramState& state = program_state();
    if (++state.unplayable_in_a_row < u::列表框1->item_count()) {
        step(Direction::kNext);
        return;
    }
    // One pass through the list opened nothing: stop rather than cycle through it forever.
    state.skip_if_unplayable = false;
    state.unplayable_in_a_row = 0;
    show({.button = PlayState::kStopped, .caption = caption(PlayState::kStopped)});
}

// A stream's length can change while it plays: an estimate at first (its size at its first
// frames' bit rate), exact once it has ended. The slider's range and the total time follow it.
void Playback::follow_length() {
    const std::int32_t length = media_player().get_length();
    const std::int32_t seconds = std::min(length / 1000, kSliderLimit);
    if (seconds > 0 && seconds != slider_value(u::SliderBarUnit::kMaximum)) {
        show({.length_ms = length});
    }
}

// Whether the open track has played to its end: the slider's position has reached its maximum
// (the track's length), during the last partial second or after the device stopped there.
// A track that could not be opened leaves nothing open and never ends (could_not_be_opened
// tells what happens to it instead). A maximum of 0 is a length under a second, or one not
// known yet (a stream): only a device stopped with a known length has ended such a track.
bool Playback::has_reached_its_end() const {
    const std::int32_t maximum = slider_value(u::SliderBarUnit::kMaximum);
    if (slider_value(u::SliderBarUnit::kPosition) != maximum) {
        return false;
    }
    const std::int32_t state = media_player().get_state();
    if (state == kNothingOpen) {
        return false;
    }
    return maximum > 0 || (state == kStopped && media_player().get_length() > 0);
}

// Whether the current track is one the list started and the device could not open: the
// position (0) has reached the maximum its length of 0 gave, as for a track that ended.
bool Playback::could_not_be_opened() const {
    return program_state().skip_if_unplayable &&
           slider_value(u::SliderBarUnit::kPosition) == slider_value(u::SliderBarUnit::kMaximum) &&
           media_player().get_state() == kNothingOpen;
}

void play_selected_track() {
    playback().play_selected();
}

void play_previous_track() {
    playback().step(Direction::kPrevious);
}

void play_next_track() {
    playback().step(Direction::kNext);
}

void toggle_play_pause() {
    playback().play_or_pause();
}

void stop_playback() {
    playback().stop();
}

void update_progress() {
    playback().follow_device();
}

void seek_to_slider() {
    playback().seek_to_slider();
}

void update_playback_buttons() {
    const bool disabled = !playback().has_track();
    set_disabled(u::按钮2, disabled);
    set_disabled(u::按钮3, disabled);
    set_disabled(u::按钮4, disabled);
    set_disabled(u::按钮5, disabled);
}

void clear_folder_hint() {
    set_text(u::透明标签3, u::TransLabelUnit::kCaption, {});
}

}  // namespace wavlon::player
