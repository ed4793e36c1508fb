// The window unit on Win32: a top-level window of the program's own class whose client area
// holds the units' controls and passes each control's notifications to its unit.
#include <algorithm>

#include "platform/win/skin_look.h"
#include "runtime/message_loop.h"
#include "runtime/units/window_unit.h"
#include "runtime/window_loader.h"
#include "unit_look.h"

namespace wavlon::units {

namespace {

constexpr wchar_t kDefaultClass[] = L"WavlonWindow";
// Marks the program's windows for the message loop's dialog keys.
constexpr wchar_t kWindowMark[] = L"Wavlon.Window";

WindowUnit* window_unit_of(HWND window) {
    return dynamic_cast<WindowUnit*>(unit_of_control(window));
}

// The control a notification came from.
HWND notifying_control(UINT message, LPARAM lparam) {
    switch (message) {
        case WM_COMMAND:
        case WM_HSCROLL:
        case WM_VSCROLL:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORSTATIC:
            return reinterpret_cast<HWND>(lparam);
        case WM_NOTIFY:
            return reinterpret_cast<const NMHDR*>(lparam)->hwndFrom;
        case WM_DRAWITEM:
            return reinterpret_cast<const DRAWITEMSTRUCT*>(lparam)->hwndItem;
        default:
            return nullptr;
    }
}

BOOL CALLBACK tell_child(HWND child, LPARAM) {
    if (WidgetUnit* unit = unit_of_control(child)) {
        unit->look_changed();
    }
    return TRUE;
}

LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    WindowUnit* unit = window_unit_of(window);
    if (unit == nullptr) {
        return DefWindowProcW(window, message, wparam, lparam);
    }
    if (HWND control = lparam != 0 ? notifying_control(message, lparam) : nullptr) {
        LRESULT result = 0;
        if (WidgetUnit* sender = unit_of_control(control);
            sender && sender->handle_parent_message(message, wparam, lparam, result)) {
            return result;
        }
        if (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC) {
            // Static parts (a slider's background): the window's own colours.
            return paint_colours(reinterpret_cast<HDC>(wparam), look_colour(LookRole::kWindowText),
                                 look_colour(LookRole::kWindow, unit->background()));
        }
    }
    switch (message) {
        case WM_ERASEBKGND: {
            RECT area{};
            GetClientRect(window, &area);
            FillRect(reinterpret_cast<HDC>(wparam), &area,
                     solid_brush(look_colour(LookRole::kWindow, unit->background())));
            return 1;
        }
        case WM_CLOSE: {
            const std::uint32_t id = unit->window_id();
            runtime::begin_window_close(id);
            // Units go from the message loop, not from inside the window's own messages.
            runtime::post_to_message_loop([id] { runtime::finish_window_close(id); });
            return 0;
        }
        case WM_SHOWWINDOW:
            unit->frame_changed();
            break;
        case WM_GETMINMAXINFO: {
            // The system holds windows to the screen's size; the stored size (and the room the
            // units need) may be larger on a small screen.
            DefWindowProcW(window, message, wparam, lparam);
            auto* limits = reinterpret_cast<MINMAXINFO*>(lparam);
            limits->ptMaxTrackSize = {runtime::kMaxUnitExtent, runtime::kMaxUnitExtent};
            return 0;
        }
        default:
            if (message == platform::look_changed_message()) {
                EnumChildWindows(window, tell_child, 0);
                InvalidateRect(window, nullptr, TRUE);
                return 0;
            }
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

// The program's window class under `name`, registered on first use.
const wchar_t* window_class(const std::wstring& name) {
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    HINSTANCE instance = GetModuleHandleW(nullptr);
    if (!GetClassInfoExW(instance, name.c_str(), &existing)) {
        WNDCLASSEXW window_class{};
        window_class.cbSize = sizeof(window_class);
        window_class.style = CS_DBLCLKS;
        window_class.lpfnWndProc = window_procedure;
        window_class.hInstance = instance;
        // The program's icon is its resource 1; the system's when the program has none.
        window_class.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
        if (window_class.hIcon == nullptr) {
            window_class.hIcon = LoadIconW(nullptr, kApplicationIcon);
        }
        window_class.hCursor = LoadCursorW(nullptr, kArrowCursor);
        window_class.lpszClassName = name.c_str();
        RegisterClassExW(&window_class);
    }
    static std::wstring kept;  // the name outlives the call
    kept = name;
    return kept.c_str();
}

bool resizable(std::uint32_t border) {
    return border == 1 || border == 3 || border == 5;
}

DWORD frame_style(const runtime::WindowFormBlock& block, bool fixed) {
    if (block.border_style == 0) {
        return WS_POPUP;
    }
    // Not WS_CLIPCHILDREN: the background shows through the transparent labels.
    DWORD style = WS_OVERLAPPED | WS_BORDER;
    if (!block.caption.empty() || block.control_box) {
        style |= WS_CAPTION;
    }
    if (block.control_box) {
        style |= WS_SYSMENU;
    }
    if (block.minimise_button) {
        style |= WS_MINIMIZEBOX;
    }
    if (block.maximise_button && !fixed) {
        style |= WS_MAXIMIZEBOX;
    }
    if (resizable(block.border_style)) {
        style |= WS_THICKFRAME;
    }
    return style;
}

DWORD frame_ex_style(const runtime::WindowFormBlock& block) {
    DWORD style = WS_EX_CONTROLPARENT;
    if (block.border_style == 3 || block.border_style == 4) {
        style |= WS_EX_TOOLWINDOW;
    }
    if (block.border_style == 5 || block.border_style == 6) {
        style |= WS_EX_CLIENTEDGE;
    }
    if (block.top_most) {
        style |= WS_EX_TOPMOST;
    }
    return style;
}

bool fixed_border(std::uint32_t border) {
    return border == 2 || border == 4 || border == 6;
}

}  // namespace

WindowUnit::WindowUnit(const runtime::UnitCreateParams& params, runtime::WindowFormBlock block)
    : WithPropertyTable(
          params,
          ControlClass{window_class(block.class_name.empty() ? std::wstring(kDefaultClass)
                                                             : to_wide(block.class_name)),
                       frame_style(block, fixed_border(block.border_style)), frame_ex_style(block)},
          to_wide(block.caption)),
      m_block(std::move(block)),
      m_outer(params.rect) {
    SetPropW(handle(), kWindowMark, reinterpret_cast<HANDLE>(1));
    apply_window_flags();
    set_rect(m_outer);
}

WindowUnit::~WindowUnit() {
    if (IsWindow(handle())) {
        RemovePropW(handle(), kWindowMark);
    }
}

void WindowUnit::apply_caption() {
    SetWindowTextW(handle(), to_wide(m_block.caption).c_str());
}

void WindowUnit::apply_background() {
    InvalidateRect(handle(), nullptr, TRUE);
}

runtime::UnitRect WindowUnit::rect() const {
    RECT outer{};
    GetWindowRect(handle(), &outer);
    return {outer.left, outer.top, outer.right - outer.left, outer.bottom - outer.top};
}

void WindowUnit::set_rect(const runtime::UnitRect& rect) {
    m_outer = rect;
    SetWindowPos(handle(), nullptr, rect.left, rect.top, rect.width, rect.height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    frame_changed();
}

runtime::UnitRect WindowUnit::client_size() const {
    RECT client{};
    GetClientRect(handle(), &client);
    return {0, 0, std::max<LONG>(client.right, 1), std::max<LONG>(client.bottom, 1)};
}

void WindowUnit::frame_changed() {
    if (IsIconic(handle())) {
        return;  // a minimised window has no client area to measure; it follows when restored
    }
    // A frame thicker than the stored one must not clip a unit: the window grows until its
    // client area holds every unit.
    runtime::UnitRect inside = client_size();
    int grow_x = std::max(0, m_units_extent.width - inside.width);
    int grow_y = std::max(0, m_units_extent.height - inside.height);
    if (grow_x == 0 && grow_y == 0) {
        return;
    }
    RECT outer{};
    GetWindowRect(handle(), &outer);
    SetWindowPos(handle(), nullptr, 0, 0, outer.right - outer.left + grow_x,
                 outer.bottom - outer.top + grow_y, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void WindowUnit::on_units_created() {
    int right = 0;
    int bottom = 0;
    for (HWND child = GetWindow(handle(), GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        if (WidgetUnit* unit = unit_of_control(child)) {
            runtime::UnitRect area = unit->rect();
            right = std::max(right, area.left + area.width);
            bottom = std::max(bottom, area.top + area.height);
        }
    }
    m_units_extent = {0, 0, right, bottom};
    frame_changed();
}

void WindowUnit::apply_window_flags() {
    const bool fixed = fixed_size();
    // The states the system and the loader keep in the style stay as they are.
    constexpr DWORD kKept = WS_VISIBLE | WS_DISABLED | WS_MINIMIZE | WS_MAXIMIZE;
    constexpr DWORD kFrameExStyles =
        WS_EX_CONTROLPARENT | WS_EX_TOOLWINDOW | WS_EX_CLIENTEDGE | WS_EX_TOPMOST;
    const auto style = static_cast<DWORD>(GetWindowLongW(handle(), GWL_STYLE));
    const auto ex_style = static_cast<DWORD>(GetWindowLongW(handle(), GWL_EXSTYLE));
    SetWindowLongPtrW(handle(), GWL_STYLE,
                      static_cast<LONG_PTR>(frame_style(m_block, fixed) | (style & kKept)));
    SetWindowLongPtrW(
        handle(), GWL_EXSTYLE,
        static_cast<LONG_PTR>(frame_ex_style(m_block) | (ex_style & ~kFrameExStyles)));
    // A window that is not movable loses the move entry of its system menu.
    GetSystemMenu(handle(), TRUE);
    if (!m_block.movable) {
        if (HMENU menu = GetSystemMenu(handle(), FALSE)) {
            DeleteMenu(menu, SC_MOVE, MF_BYCOMMAND);
        }
    }
    SetWindowPos(handle(), m_block.top_most ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void WindowUnit::apply_frame() {
    apply_window_flags();
    frame_changed();
}

void WindowUnit::show_window() {
    frame_changed();
    if (m_block.start_position == 1) {
        MONITORINFO monitor{};
        monitor.cbSize = sizeof(monitor);
        if (GetMonitorInfoW(MonitorFromWindow(handle(), MONITOR_DEFAULTTOPRIMARY), &monitor)) {
            const RECT& work = monitor.rcWork;
            runtime::UnitRect outer = rect();
            SetWindowPos(handle(), nullptr, (work.left + work.right) / 2 - outer.width / 2,
                         (work.top + work.bottom) / 2 - outer.height / 2, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    if (m_block.start_position == 2) {
        ShowWindow(handle(), SW_SHOWMINIMIZED);
    } else if (m_block.start_position == 3 && !fixed_size()) {
        ShowWindow(handle(), SW_SHOWMAXIMIZED);
    } else {
        ShowWindow(handle(), SW_SHOW);
    }
    SetForegroundWindow(handle());
}

void WindowUnit::bring_to_front() {
    if (IsIconic(handle())) {
        ShowWindow(handle(), SW_RESTORE);
    } else {
        SetForegroundWindow(handle());
    }
}

void WindowUnit::adopt_children(runtime::Unit& old) {
    auto* old_window = dynamic_cast<WindowUnit*>(&old);
    if (old_window == nullptr) {
        return;
    }
    // Collected first, bottom to top: moving a child changes the list being walked, and each
    // one moved goes on top, so the stacking comes out as it was.
    std::vector<HWND> children;
    HWND first = GetWindow(old_window->handle(), GW_CHILD);
    for (HWND child = first ? GetWindow(first, GW_HWNDLAST) : nullptr; child != nullptr;
         child = GetWindow(child, GW_HWNDPREV)) {
        children.push_back(child);
    }
    for (HWND child : children) {
        if (WidgetUnit* unit = unit_of_control(child)) {
            unit->set_parent(*this);
        }
    }
    m_units_extent = old_window->m_units_extent;
}

}  // namespace wavlon::units
