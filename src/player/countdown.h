// The power-off countdown: a panel of eight units (hidden at start) where the user enters
// hours (编辑框5), minutes (编辑框6) and seconds (编辑框7), starts the count with 按钮9, and
// sees the remaining seconds in 透明标签18 once a second (时钟4). At zero the program asks the
// system to power off, and asks again at every later tick while the request is refused, until
// the user cancels.
//
// The caption of 按钮9 is the state: "倒计时开始" idle, "倒计时ing（点击取消）" counting.
// Event routines, user-interface thread only.
#pragma once

#include <cstdint>
#include <optional>

#include "runtime/text.h"

namespace wavlon::player {

// An entry as a number: the empty text counts as 0, a whole number (full-width digits and
// signs allowed, spaces around it too) as its value held within int32, anything else as
// nullopt.
std::optional<std::int32_t> countdown_entry_value(const runtime::Text& entry);

// hours * 3600 + minutes * 60 + seconds, held within int32 instead of overflowing.
std::int32_t countdown_total(std::int32_t hours, std::int32_t minutes, std::int32_t seconds);

// 按钮7: shows the panel; from the shown panel, hides it and resets it (timer stopped, entries
// emptied and enabled, idle captions).
void toggle_countdown_panel();

// 按钮9: starts the count from the entries, or cancels a running one. A click is ignored when
// the three entries are empty or one of them is not a whole number. Zero or a negative total
// requests the power-off at the first tick.
void toggle_countdown();

// Every tick of 时钟4: one second less; at zero or below, the power-off request.
void countdown_tick();

}  // namespace wavlon::player
