// The keyboard's media keys on Windows: the system sends WM_APPCOMMAND to the window that has
// the focus, which passes it on to the main window. Each key acts as the button it stands for
// (play/pause 按钮2, stop 按钮3, previous 按钮4, next 按钮5), only while that button is
// enabled, no dialog of the program is open and the runtime is not holding events back, just
// as a user could click it. With no track current, play/pause picks the selected item of
// 列表框1, or else its first, as a click on it would.
#include <windows.h>

#include "app/main_window_units.h"
#include "app/win/media_keys.h"
#include "app/window_activation.h"
#include "player/playback.h"
#include "player/window_units.h"
#include "runtime/event_suppression.h"
#include "runtime/window_table.h"
#include "widget_unit.h"

namespace wavlon::app {
namespace {

namespace u = units;
using player::playback;

// True when a dialog of the program's thread is open (the message box, the folder dialog).
BOOL CALLBACK find_dialog(HWND window, LPARAM found) {
    wchar_t name[8] = {};
    GetClassNameW(window, name, 8);
    if (IsWindowVisible(window) && std::wstring(name) == L"#32770") {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

template <class T>
bool usable(const u::UnitRef<T>& button) {
    return !player::logical_of(button, runtime::property::kDisabled) && open_dialog() == nullptr &&
           !runtime::events_suppressed();
}

void play_or_pause() {
    if (!playback().has_track()) {
        if (u::列表框1->item_count() > 0 && open_dialog() == nullptr &&
            !runtime::events_suppressed()) {
            const std::int32_t selected = u::列表框1->selection();
            u::列表框1->select_item(selected >= 0 ? selected : 0);
            playback().play_selected();
        }
        return;
    }
    if (usable(u::按钮2)) {
        playback().play_or_pause();
    }
}

}  // namespace

HWND open_dialog() {
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), find_dialog, reinterpret_cast<LPARAM>(&dialog));
    return dialog;
}

bool handle_media_key(int command) {
    if (!main_window_ready()) {
        return false;
    }
    switch (command) {
        case APPCOMMAND_MEDIA_PLAY_PAUSE:
            play_or_pause();
            return true;
        case APPCOMMAND_MEDIA_STOP:
            if (usable(u::按钮3)) {
                playback().stop();
            }
            return true;
        case APPCOMMAND_MEDIA_NEXTTRACK:
            if (usable(u::按钮5)) {
                playback().step(player::Direction::kNext);
            }
            return true;
        case APPCOMMAND_MEDIA_PREVIOUSTRACK:
            if (usable(u::按钮4)) {
                playback().step(player::Direction::kPrevious);
            }
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
