// The keyboard's media keys on Windows. User-interface thread only.
#pragma once

#include <windows.h>

namespace wavlon::app {

// The main window answers the media keys (WM_APPCOMMAND) from now on; call once it is loaded.
void install_media_keys();
// Acts on one media key's command (APPCOMMAND_MEDIA_...); false for another command.
bool handle_media_key(int command);

}  // namespace wavlon::app
