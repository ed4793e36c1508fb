// Playback control: the routines that start, pause, resume, stop and step through the tracks
// of 列表框1 on 媒体播放1, and keep what the user sees in step with the device: the caption of
// 按钮2 ("播 放", "暂 停", "继 续"), the window caption, the current track's name (编辑框1)
// and location (编辑框2), the total time (透明标签1) and the progress slider's range.
//
// Event routines, user-interface thread only. A track that cannot be opened is not reported:
// its length reads 0 and nothing plays. When it was started from the list, the next progress
// tick skips it (skip_unplayable_track); a found song that cannot be opened starts nothing.
#pragma once

#include "runtime/text.h"

namespace wavlon::player {

enum class Direction { kPrevious, kNext };

// The text of 列表框1's selected item, read now; the empty text without a selection.
runtime::Text selected_track_name();

// Selection of 列表框1 changed by the user: plays the chosen track.
void play_selected_track();

// Plays the track before or after the selected one, wrapping at both ends, and selects it.
// Returns false, doing nothing, when there is no track to open.
bool play_adjacent_track(Direction direction);

// 按钮4 / 按钮5, and the progress tick at the end of a track.
void play_previous_track();
void play_next_track();

// The progress tick found the list's current track unopened: plays the next one, or, once
// every track of the list has failed in a row, leaves the player stopped ("播 放", "Wavlon").
void skip_unplayable_track();

// 按钮2: play when stopped, pause when playing, continue when paused; nothing when no track
// is open.
void toggle_play_pause();

// 按钮3: back to the start of the track; 按钮2 reads "播 放", the window "Wavlon".
void stop_playback();

// Every tick of 时钟2: 按钮2 to 按钮5 are enabled exactly while a track is current.
void update_playback_buttons();

// Every write of 编辑框2's content: the empty-list hint goes.
void clear_folder_hint();

}  // namespace wavlon::player
