// Bringing the main window forward and closing it from outside the window: for a second
// start of the program and for the desktop's media controls. User-interface thread only.
#pragma once

#include <string>
#include <vector>

namespace wavlon::app {

// True while the main window is loaded (after its creation routine, before it closes).
bool main_window_ready();

// Brings the program forward: the main window, restored if minimised, raised and activated;
// while a modal dialog is open (the offline notice before the window shows, the folder
// dialog), that dialog instead. `activation_token` is the desktop's token for taking the
// focus (Wayland's XDG activation); empty when there is none.
void raise_main_window(const std::string& activation_token);

// Plays the first of `paths` (absolute file names as the system has them) that is a music file
// or a folder with tracks, as player::play_location does; false when none is. Before the main
// window is ready (its creation routine still running) they wait for open_waiting_paths.
bool open_paths(const std::vector<std::string>& paths);

// Opens the paths that came before the main window was ready; called once it is.
void open_waiting_paths();

// Closes the main window as the user's click on its close button does; nothing when it is
// not loaded.
void close_main_window();

}  // namespace wavlon::app
