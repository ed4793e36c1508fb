// The system volume and mute through 系统音量1 on the speakers line (the master volume).
//
// 滑块条2 holds the mixer's volume divided by 5, so that the slider's range stays within what
// a slider holds (65535 becomes 13107). The slider shows the system volume as it was at
// start-up; later changes by other programs are not followed. Event routines, user-interface
// thread only; without a mixer they change nothing.
#pragma once

namespace wavlon::player {

// Start-up: opens the speakers line and sets 滑块条2's range and position from it.
void init_volume_slider();

// The user moved 滑块条2: both channels take the slider's value times 5.
void apply_volume_slider();

// 按钮6: mutes when unmuted, unmutes when muted. The caption stays "静音".
void toggle_mute();

}  // namespace wavlon::player
