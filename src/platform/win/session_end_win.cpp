// The session's end on Windows. The system asks every top-level window before a log-off or
// shutdown (WM_QUERYENDSESSION) and then tells it (WM_ENDSESSION); "taskkill" without /F
// closes the top-level windows (WM_CLOSE); Ctrl+C and Ctrl+Break reach a console program
// through its control handler. A hidden top-level window of the user-interface thread takes
// them all, so that `on_end` runs there, as the signals' handler does on other systems.
#include <windows.h>

#include "platform/session_end.h"

namespace wavlon::platform {
namespace {

constexpr wchar_t kWindowClass[] = L"WavlonSessionEnd";
constexpr UINT kEnd = WM_APP + 1;

std::function<void()>* g_on_end = nullptr;
HWND g_window = nullptr;

LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_QUERYENDSESSION:
            return TRUE;  // the player never holds the session up
        case WM_ENDSESSION:
            // The process may be ended as soon as this returns: the program's end runs now.
            if (wparam) {
                (*g_on_end)();
            }
            return 0;
        case WM_CLOSE:
        case kEnd:
            (*g_on_end)();
            return 0;  // the window stays for the next request
        default:
            return DefWindowProcW(window, message, wparam, lparam);
    }
}

BOOL WINAPI console_control(DWORD event) {
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
        // Called on a thread of its own: the request goes to the user-interface thread.
        PostMessageW(g_window, kEnd, 0, 0);
        return TRUE;
    }
    return FALSE;
}

}  // namespace

bool on_session_end(std::function<void()> on_end) {
    if (g_window != nullptr) {
        return false;
    }
    WNDCLASSW description{};
    description.lpfnWndProc = procedure;
    description.hInstance = GetModuleHandleW(nullptr);
    description.lpszClassName = kWindowClass;
    if (RegisterClassW(&description) == 0) {
        return false;
    }
    // Lives as long as the process: the session may end at any time until it does.
    g_on_end = new std::function<void()>(std::move(on_end));
    g_window = CreateWindowExW(0, kWindowClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                               description.hInstance, nullptr);
    if (g_window == nullptr) {
        return false;
    }
    SetConsoleCtrlHandler(console_control, TRUE);
    return true;
}

}  // namespace wavlon::platform
