// System commands: the clock, the message box, the folder dialog, waiting user-interface
// messages, power-off and the network check. Call on the user-interface thread.
#pragma once

#include <cstdint>
#include <optional>

#include "runtime/text.h"
#include "runtime/value.h"

namespace wavlon::runtime {

// The current local time, to the second.
DateTime now();

// Shows `message` (as to_text shows it) in a modal box and returns the button code: OK 0,
// Cancel 1, Abort 2, Retry 3, Ignore 4, Yes 5, No 6. `flags` are the message-box style bits of
// platform/dialogs.h; task-modal (0x2000) is added unless system-modal (0x1000) is asked for.
// The caption defaults to "信息："; `owner` is the native handle of the owning window (0 for
// none).
std::int32_t message_box(const Value& message, std::int32_t flags,
                         const std::optional<Text>& caption = std::nullopt,
                         std::uintptr_t owner = 0);

// Handles every waiting user-interface message, then returns. Does nothing before the
// application object exists.
void process_events();

// The folder dialog, titled `title`, also listing files when `include_files` is true. The
// chosen folder's path, or the empty text when the user cancels.
Text browse_for_folder(const Text& title, bool include_files = false);

// Mode 1 powers the computer off, 2 restarts it, 3 ends the user's session, 4 suspends and 5
// hibernates (platform/power.h). Other modes are false at once; otherwise true when the system
// accepted the request.
bool shut_down_system(std::int32_t mode, bool force = false);

// True when the check page answers (platform/network_check.h). Blocks up to 10 s.
bool network_available();

}  // namespace wavlon::runtime
