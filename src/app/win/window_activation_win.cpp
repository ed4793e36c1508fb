// Bringing the main window forward and closing it, on the system's windows.
#include <windows.h>

#include "app/main_window_units.h"
#include "app/win/media_keys.h"
#include "app/window_activation.h"
#include "runtime/window_table.h"
#include "widget_unit.h"

namespace wavlon::app {
namespace {

HWND main_window() {
    return main_window_ready() ? units::widget_of(runtime::live_unit(units::kMainWindowId, 0))
                               : nullptr;
}

void bring_forward(HWND window) {
    if (IsIconic(window)) {
        ShowWindow(window, SW_RESTORE);
    }
    SetForegroundWindow(window);
}

}  // namespace

void raise_main_window(const std::string& /*activation_token*/) {
    // An open dialog comes forward instead of the window it blocks.
    if (HWND dialog = open_dialog(); dialog != nullptr) {
        bring_forward(dialog);
        return;
    }
    if (HWND window = main_window(); window != nullptr && IsWindowVisible(window)) {
        bring_forward(window);
    }
}

void close_main_window() {
    if (HWND window = main_window()) {
        SendMessageW(window, WM_CLOSE, 0, 0);
    }
}

}  // namespace wavlon::app
