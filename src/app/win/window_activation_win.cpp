// Bringing the main window forward and closing it, on the system's windows.
#include <windows.h>

#include "app/main_window_units.h"
#include "app/transport.h"
#include "app/window_activation.h"
#include "runtime/window_table.h"
#include "widget_unit.h"

namespace wavlon::app {
namespace {

HWND main_window() {
    return main_window_ready() ? units::widget_of(runtime::live_unit(units::kMainWindowId, 0))
                               : nullptr;
}

// A dialog of the program's thread is open (the message box, the folder dialog).
BOOL CALLBACK find_dialog(HWND window, LPARAM found) {
    wchar_t name[8] = {};
    GetClassNameW(window, name, 8);
    if (IsWindowVisible(window) && std::wstring(name) == L"#32770") {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

// The open dialog of the program's thread, nullptr when there is none.
HWND open_dialog() {
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), find_dialog, reinterpret_cast<LPARAM>(&dialog));
    return dialog;
}

void bring_forward(HWND window) {
    if (IsIconic(window)) {
        ShowWindow(window, SW_RESTORE);
    }
    SetForegroundWindow(window);
}

}  // namespace

bool dialog_open() {
    return open_dialog() != nullptr;
}

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
