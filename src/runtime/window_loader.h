// Loading and closing windows: creating a window and its units from the window's records,
// re-creating a unit whose change needs it, and destroying them again.
//
// User-interface thread only. Creation runs with events suppressed; the window's creation
// event (0) is delivered after every unit exists and before the window is shown.
#pragma once

#include <cstdint>

#include "runtime/live_window.h"

namespace wavlon::runtime {

// Creates the window `window_id` and all its units. A window that already exists is only
// brought to the front (restored when minimised); its creation event does not run again.
// Returns true when the window exists afterwards; false when the template holds no such
// window, a unit could not be created, or the creation routine closed the window again.
// `modal`: every other window is disabled until this one closes.
bool load_window(std::uint32_t window_id, bool modal = false);

// True while the window exists (also while its creation routine runs).
bool window_exists(std::uint32_t window_id);

// Destroys a window at once: its units (last record first, the window last), re-enabling the
// windows it disabled; the message loop ends when no window is left. Nothing happens when
// the window does not exist.
void close_window(std::uint32_t window_id);

// Closing in two steps, for a window the user closes from inside its own event handling:
// begin marks it closing (it still exists), finish destroys it from a safe point. load_window
// finishes a pending close first.
void begin_window_close(std::uint32_t window_id);
void finish_window_close(std::uint32_t window_id);

// ---- Used by the property access and the window table ----

// Creates the unit of `record` anew from its current values (events suppressed): same
// rectangle, parent, enabled state, control id, stacking place, visibility and focus.
void recreate_unit(LiveWindow& window, std::size_t record);
void destroy_window(LiveWindow& window);

}  // namespace wavlon::runtime
