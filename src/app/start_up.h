// The main window's own routines: the start-up sequence and the clock label.
// Both run on the user-interface thread from the event dispatcher.
#pragma once

namespace wavlon::app {

// The window's creation routine, run before the window is first shown: skin 6, the network
// check (offline: the notice, then the search units stay disabled and the red status line
// stays), the volume slider, the stored music folder's track list and its hint, and the status
// line emptied when online.
void on_main_window_created();

// Every tick of 时钟1: the current date and time into 透明标签2.
void update_clock_label();

}  // namespace wavlon::app
