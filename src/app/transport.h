// The player's transport as the window's buttons offer it, for the controls outside the window
// (MPRIS on Linux, the media keys on Windows): each command only while its button is enabled
// and no dialog of the program is open, just as a user could click it, and nothing at all
// while the runtime holds events back. User-interface thread only.
#pragma once

#include "runtime/event_suppression.h"

namespace wavlon::app {

// True while a dialog of the program is open (the offline notice, the folder dialog): the
// toolkit's answer (window_activation_qt.cpp, win/window_activation_win.cpp).
bool dialog_open();

struct TransportState {
    bool can_play_pause = false;   // 按钮2 usable
    bool can_play = false;         // 按钮2 usable, or a track to pick (see pick_track)
    bool can_stop = false;         // 按钮3
    bool can_go_previous = false;  // 按钮4
    bool can_go_next = false;      // 按钮5
    bool has_track = false;        // 编辑框2 holds a location
};
// Everything off while the main window is not loaded.
TransportState transport_state();

// With no track current, plays the selected item of 列表框1, or else its first, as a click on
// it would. False when a track is current or there is nothing to pick: the caller's command
// then applies.
bool pick_track();

// Runs `action` when `usable`, as a click would run it: not while the runtime holds events back.
template <class Action>
void act_as_click(bool usable, Action action) {
    if (usable && !runtime::events_suppressed()) {
        action();
    }
}

}  // namespace wavlon::app
