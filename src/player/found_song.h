// Playing a song found by the online search: the double-click routine of 超级列表框1, whose
// rows hold (number, title, singer, song address).
//
// Event routine, user-interface thread only. Only http and https addresses are opened; any
// other address (a local path, a file: or other scheme typed into a service's answer) is not
// handed to the media player, and the song is then treated as one that could not be opened.
#pragma once

#include <cstdint>

#include "runtime/text.h"

namespace wavlon::player {

// True when `address` starts with "http://" or "https://" (scheme in any case).
bool is_web_address(runtime::TextView address);

// Plays the current row of 超级列表框1: the window caption reads "title-singer", 按钮2 "暂 停";
// the address goes into 编辑框2 and 编辑框4, is appended to track_paths and listed in 列表框1
// as "title - singer" (value: its 1-based position), and the slider's range and the total time
// follow the opened song. A song that cannot be opened (or is refused) plays nothing and
// starts no other track. Does nothing without a current row. Returns 0 for the dispatcher.
std::int32_t play_found_song();

}  // namespace wavlon::player
