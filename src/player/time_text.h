// Time texts of the progress display: minutes ":" seconds.
#pragma once

#include <cstdint>

#include "runtime/text.h"

namespace wavlon::player {

// Minutes ":" seconds, each at least two digits: 65 s reads "01:05", 6000 s "100:00".
// Negative seconds read as 0.
runtime::Text time_text(std::int64_t seconds);

// The length of what 媒体播放1 has open as time_text; "00:00" when nothing is open.
runtime::Text format_total_time();

}  // namespace wavlon::player
