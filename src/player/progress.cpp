#include "player/progress.h"

#include <algorithm>
#include <string>

#include "app/main_window_units.h"
#include "player/playback.h"
#include "player/program_state.h"
#include "player/window_units.h"
#include "runtime/media_play_state.h"

namespace wavlon::player {

using runtime::operator""_gb;
using runtime::Text;
namespace u = units;
using runtime::media_play::kNothingOpen;
using runtime::media_play::kPlaying;
using runtime::media_play::kStopped;

namespace {

constexpr std::int32_t kSliderLimit = 32767;  // the slider holds no larger value

std::function<void()>& seek_observer() {
    static std::function<void()> observer;
    return observer;
}

// A field of a time text: two digits at least, every digit of a larger number.
Text time_field(std::int64_t value) {
    Text digits = runtime::decimal(value);
    return value < 10 ? "0" + digits : digits;
}

std::int32_t slider_value(int index) {
    return integer_of(u::滑块条1, index);
}

// A stream's length can change while it plays: an estimate at first (its size at its first
// frames' bit rate), exact once it has ended. The slider's range and the total time follow it.
void follow_length() {
    const std::int32_t length = std::min(media_player().get_length() / 1000, kSliderLimit);
    if (length > 0 && length != slider_value(u::SliderBarUnit::kMaximum)) {
        set_integer(u::滑块条1, u::SliderBarUnit::kMaximum, length);
        set_text(u::透明标签1, u::TransLabelUnit::kCaption, format_total_time());
    }
}

// Whether the open track has played to its end: the slider's position has reached its maximum
// (the track's length), during the last partial second or after the device stopped there.
// A track that could not be opened leaves nothing open and never ends (see
// could_not_be_opened for what happens to it instead). A maximum of 0 is a length under a second,
// or one not known yet (a stream): only a device stopped with a known length has ended such a
// track.
bool has_reached_its_end() {
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
bool could_not_be_opened() {
    return program_state().skip_if_unplayable &&
           slider_value(u::SliderBarUnit::kPosition) == slider_value(u::SliderBarUnit::kMaximum) &&
           media_player().get_state() == kNothingOpen;
}

}  // namespace

Text time_text(std::int64_t seconds) {
    seconds = std::max<std::int64_t>(seconds, 0);
    return time_field(seconds / 60) + ":" + time_field(seconds % 60);
}

Text format_total_time() {
    return time_text(media_player().get_length_seconds());
}

void update_progress() {
    // -1 (nothing open) becomes 0 by truncation.
    set_integer(u::滑块条1, u::SliderBarUnit::kPosition, media_player().get_position() / 1000);
    // Only a current track moves on by itself. After a folder was loaded nothing is current,
    // and a maximum of 0 left by an unplayable track must not start the new list unasked.
    const bool track_is_current = !text_of(u::编辑框2, u::EditBoxUnit::kContent).empty();
    if (track_is_current) {
        follow_length();
        ProgramState& state = program_state();
        if (has_reached_its_end()) {
            play_next_track();
        } else if (could_not_be_opened()) {
            skip_unplayable_track();
        } else if (state.unplayable_in_a_row != 0 && media_player().get_state() != kNothingOpen) {
            state.unplayable_in_a_row = 0;  // a track opened: the run of failures is over
        }
    }
    // The position written above: a track started just now does not change it.
    const std::int32_t elapsed = slider_value(u::SliderBarUnit::kPosition);
    set_text(u::透明标签7, u::TransLabelUnit::kCaption, time_text(elapsed));
}

void seek_to_slider() {
    // The slider holds at most 32767 s, so the milliseconds fit.
    const std::int32_t seconds = slider_value(u::SliderBarUnit::kPosition);
    media_player().play(seconds * 1000);
    if (media_player().get_state() == kPlaying) {
        set_text(u::按钮2, u::ButtonUnit::kCaption, "暂 停"_gb);
        set_window_caption("正在播放："_gb + selected_track_name());
    }
    if (seek_observer()) {
        seek_observer()();
    }
}

void set_seek_observer(std::function<void()> observer) {
    seek_observer() = std::move(observer);
}

}  // namespace wavlon::player
