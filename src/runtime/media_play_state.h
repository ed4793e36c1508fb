// The numbers the media player unit exchanges with the program: what get_state answers, and
// the position that play takes to mean "from where the device stands". The unit's device
// (runtime/units/media_play_device.h) gives and takes exactly these; every caller compares
// against these names rather than against the bare numbers.
#pragma once

#include <cstdint>

namespace wavlon::runtime::media_play {

// get_state: nothing open (or a mode the unit has no number for).
inline constexpr std::int32_t kNothingOpen = 0;
inline constexpr std::int32_t kPlaying = 1;
// Also the state of a track that has played to its end.
inline constexpr std::int32_t kStopped = 2;
inline constexpr std::int32_t kPaused = 3;

// play: start from the current position (continues a paused track) instead of a given ms.
inline constexpr std::int32_t kFromCurrentPosition = -1;

}  // namespace wavlon::runtime::media_play
