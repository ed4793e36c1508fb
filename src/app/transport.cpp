#include "app/transport.h"

#include "app/main_window_units.h"
#include "app/window_activation.h"
#include "player/playback.h"
#include "player/window_units.h"

namespace wavlon::app {
namespace {

namespace u = units;

template <class T>
bool usable(const u::UnitRef<T>& button) {
    return !player::logical_of(button, runtime::property::kDisabled) && !dialog_open();
}

}  // namespace

TransportState transport_state() {
    TransportState state;
    if (!main_window_ready()) {
        return state;
    }
    state.can_play_pause = usable(u::按钮2);
    state.has_track = player::playback().has_track();
    state.can_play = state.can_play_pause ||
                     (!state.has_track && u::列表框1->item_count() > 0 && !dialog_open());
    state.can_stop = usable(u::按钮3);
    state.can_go_previous = usable(u::按钮4);
    state.can_go_next = usable(u::按钮5);
    return state;
}

bool pick_track() {
    const TransportState now = transport_state();
    if (now.has_track || !now.can_play) {
        return false;
    }
    act_as_click(true, [] {
        const std::int32_t selected = u::列表框1->selection();
        u::列表框1->select_item(selected >= 0 ? selected : 0);
        player::playback().play_selected();
    });
    return true;
}

}  // namespace wavlon::app
