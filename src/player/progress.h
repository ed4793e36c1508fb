// Progress and seeking: the progress slider 滑块条1 (whole seconds; its maximum is the track's
// length), the elapsed time 透明标签7 and the total time 透明标签1, and the move to the next
// track when one has played to its end.
//
// Event routines, user-interface thread only.
#pragma once

#include <cstdint>
#include <functional>

#include "runtime/text.h"

namespace wavlon::player {

// Minutes ":" seconds, each at least two digits: 65 s reads "01:05", 6000 s "100:00".
// Negative seconds read as 0.
runtime::Text time_text(std::int64_t seconds);

// The open track's length as time_text; "00:00" when nothing is open.
runtime::Text format_total_time();

// Every tick of 时钟3: the slider follows the device's position and 透明标签7 shows it; while
// a track is current, the slider's maximum and 透明标签1 follow a length the device corrects.
// When the position reaches the maximum of a track that is open and playing, paused or
// stopped at its end, the next one starts; a track the list started that could not be opened
// is skipped (skip_unplayable_track).
void update_progress();

// The user moved 滑块条1: the track plays on from the slider's position, also when it was
// paused or stopped.
void seek_to_slider();

// Runs `observer` after every seek_to_slider, whoever moved the slider (the desktop's media
// controls announce seeks); an empty one stops that.
void set_seek_observer(std::function<void()> observer);

}  // namespace wavlon::player
