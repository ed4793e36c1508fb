// Bringing the main window forward and closing it from outside the window: for a second
// start of the program and for the desktop's media controls. User-interface thread only.
#pragma once

#include <string>

namespace wavlon::app {

// True while the main window is loaded (after its creation routine, before it closes).
bool main_window_ready();

// Brings the program forward: the main window, restored if minimised, raised and activated;
// while a modal dialog is open (the offline notice before the window shows, the folder
// dialog), that dialog instead. `activation_token` is the desktop's token for taking the
// focus (Wayland's XDG activation); empty when there is none.
void raise_main_window(const std::string& activation_token);

// Closes the main window as the user's click on its close button does; nothing when it is
// not loaded.
void close_main_window();

}  // namespace wavlon::app
