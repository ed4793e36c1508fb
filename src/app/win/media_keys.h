// The keyboard's media keys and the program's open dialogs on Windows. User-interface thread
// only.
#pragma once

#include <windows.h>

namespace wavlon::app {

// The main window answers the media keys (WM_APPCOMMAND) from now on; call once it is loaded.
void install_media_keys();
// Acts on one media key's command (APPCOMMAND_MEDIA_...); false for another command.
bool handle_media_key(int command);
// A dialog of the program's thread that is open (the offline notice, the folder dialog);
// nullptr when there is none.
HWND open_dialog();

}  // namespace wavlon::app
