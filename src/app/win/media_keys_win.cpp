// The keyboard's media keys on Windows: the system sends WM_APPCOMMAND to the window that has
// the focus, which passes it on to the main window. Each key acts as the button it stands for
// (play/pause 按钮2, stop 按钮3, previous 按钮4, next 按钮5) under the transport's conditions
// (app/transport.h), as MPRIS does on Linux.
#include <windows.h>

#include "app/main_window_units.h"
#include "app/transport.h"
#include "app/win/media_keys.h"
#include "app/window_activation.h"
#include "player/playback.h"
#include "player/window_units.h"
#include "runtime/window_table.h"
#include "widget_unit.h"

namespace wavlon::app {
namespace {

namespace u = units;
using player::playback;

void play_or_pause() {
    if (pick_track()) {
        return;
    }
    act_as_click(transport_state().can_play_pause, [] { playback().play_or_pause(); });
}

}  // namespace

bool handle_media_key(int command) {
    if (!main_window_ready()) {
        return false;
    }
    switch (command) {
        case APPCOMMAND_MEDIA_PLAY_PAUSE:
            play_or_pause();
            return true;
        case APPCOMMAND_MEDIA_STOP:
            act_as_click(transport_state().can_stop, [] { playback().stop(); });
            return true;
        case APPCOMMAND_MEDIA_NEXTTRACK:
            act_as_click(transport_state().can_go_next,
                         [] { playback().step(player::Direction::kNext); });
            return true;
        case APPCOMMAND_MEDIA_PREVIOUSTRACK:
            act_as_click(transport_state().can_go_previous,
                         [] { playback().step(player::Direction::kPrevious); });
            return true;
        default:
            return false;  // volume keys and the rest: the system's
    }
}

void install_media_keys() {
    auto* window = dynamic_cast<units::WidgetUnit*>(runtime::live_unit(u::kMainWindowId, 0));
    if (window == nullptr) {
        return;
    }
    window->on_own_message([](UINT message, WPARAM, LPARAM lparam, LRESULT& result) {
        if (message != WM_APPCOMMAND || !handle_media_key(GET_APPCOMMAND_LPARAM(lparam))) {
            return false;
        }
        result = TRUE;
        return true;
    });
}

}  // namespace wavlon::app
