// The skin attached on Windows, for the units that paint with its colours.
//
// The Win32 engine keeps what a Qt palette and style sheet carry on Linux as plain colours:
// the units ask for a role's colour when they paint (window background, texts, edit and list
// fields, buttons, selection, borders). Attaching a skin tells every top-level window of the
// thread with the message `look_changed_message()`. User-interface thread only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/skin_engine.h"

namespace wavlon::platform {

// The skin attached last, its colours already shifted; nullptr before any.
const Skin* attached_skin();
// A role's colour (0xRRGGBB) in the attached skin; nullopt without a skin or the role.
std::optional<std::uint32_t> skin_colour(std::string_view role);
// The registered message sent to the thread's windows after a skin was attached.
UINT look_changed_message();

}  // namespace wavlon::platform
