#include "widget_unit.h"

#include "runtime/event_dispatch.h"
#include "unit_look.h"

namespace wavlon::units {

namespace {

DWORD style_of(const runtime::UnitCreateParams& params, const ControlClass& control) {
    DWORD style = control.style;
    if (params.disabled) {
        style |= WS_DISABLED;
    }
    if (params.window != nullptr) {
        style |= WS_CHILD | WS_CLIPSIBLINGS;
        // (A top-level window's WS_TABSTOP bit would be its maximise box.)
        if (params.tab_stop) {
            style |= WS_TABSTOP;
        }
    }
    return style;
}

}  // namespace

WidgetUnit::WidgetUnit(const runtime::UnitCreateParams& params, const ControlClass& control,
                       const std::wstring& text)
    : m_window_id(params.window_id), m_unit_id(params.unit_id) {
    auto* window_unit = dynamic_cast<WidgetUnit*>(params.window);
    HWND parent = window_unit ? window_unit->client_area() : nullptr;
    const runtime::UnitRect& r = params.rect;
    m_handle = CreateWindowExW(
        control.ex_style, control.name, text.c_str(), style_of(params, control), r.left, r.top,
        r.width, r.height, parent,
        parent ? reinterpret_cast<HMENU>(static_cast<INT_PTR>(params.control_id)) : nullptr,
        GetModuleHandleW(nullptr), nullptr);
    if (m_handle == nullptr) {
        return;  // created() answers false: the create routine gives no unit
    }
    SetWindowLongPtrW(m_handle, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    m_original = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        m_handle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WidgetUnit::subclass_procedure)));
    SendMessageW(m_handle, WM_SETFONT, reinterpret_cast<WPARAM>(default_unit_font()), FALSE);
}

WidgetUnit::~WidgetUnit() {
    if (m_handle != nullptr) {
        // No message reaches a dead unit.
        SetWindowLongPtrW(m_handle, GWLP_USERDATA, 0);
        SetWindowLongPtrW(m_handle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_original));
        DestroyWindow(m_handle);
    }
}

LRESULT CALLBACK WidgetUnit::subclass_procedure(HWND window, UINT message, WPARAM wparam,
                                                LPARAM lparam) {
    WidgetUnit* unit = unit_of_control(window);
    if (unit == nullptr) {
        return DefWindowProcW(window, message, wparam, lparam);
    }
    LRESULT result = 0;
    if (message == WM_LBUTTONDBLCLK) {
        // The control sees the double click first, then the program hears of it.
        result = unit->call_original(message, wparam, lparam);
        unit->raise(kDoubleClickEvent);
        return result;
    }
    if (unit->m_own_handler && unit->m_own_handler(message, wparam, lparam, result)) {
        return result;
    }
    return unit->call_original(message, wparam, lparam);
}

LRESULT WidgetUnit::call_original(UINT message, WPARAM wparam, LPARAM lparam) const {
    return m_original ? CallWindowProcW(m_original, m_handle, message, wparam, lparam)
                      : DefWindowProcW(m_handle, message, wparam, lparam);
}

bool WidgetUnit::handle_parent_message(UINT message, WPARAM wparam, LPARAM lparam,
                                       LRESULT& result) {
    return m_parent_handler && m_parent_handler(message, wparam, lparam, result);
}

void WidgetUnit::look_changed() {
    if (m_look_handler) {
        m_look_handler();
    }
    InvalidateRect(m_handle, nullptr, TRUE);
}

runtime::UnitRect WidgetUnit::rect() const {
    RECT r{};
    GetWindowRect(m_handle, &r);
    if (HWND parent = GetParent(m_handle);
        parent && (GetWindowLongW(m_handle, GWL_STYLE) & WS_CHILD)) {
        MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    }
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

void WidgetUnit::set_rect(const runtime::UnitRect& rect) {
    // Not the old place's pixels: a transparent label would carry its background along.
    SetWindowPos(m_handle, nullptr, rect.left, rect.top, rect.width, rect.height,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOCOPYBITS);
}

bool WidgetUnit::visible() const {
    return (GetWindowLongW(m_handle, GWL_STYLE) & WS_VISIBLE) != 0;
}

void WidgetUnit::set_visible(bool visible) {
    ShowWindow(m_handle, visible ? SW_SHOWNA : SW_HIDE);
}

bool WidgetUnit::enabled() const {
    return IsWindowEnabled(m_handle) != FALSE;
}

void WidgetUnit::set_enabled(bool enabled) {
    EnableWindow(m_handle, enabled ? TRUE : FALSE);
}

void WidgetUnit::set_parent(runtime::Unit& parent) {
    auto* parent_unit = dynamic_cast<WidgetUnit*>(&parent);
    if (parent_unit == nullptr || parent_unit == this) {
        return;
    }
    runtime::UnitRect where = rect();
    SetParent(m_handle, parent_unit->client_area());
    set_rect(where);
}

void WidgetUnit::raise_to_top() {
    SetWindowPos(m_handle, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void WidgetUnit::stack_under(runtime::Unit& above) {
    if (HWND other = widget_of(&above); other != nullptr && other != m_handle) {
        SetWindowPos(m_handle, other, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
}

bool WidgetUnit::has_focus() const {
    HWND focus = GetFocus();
    return focus != nullptr && (focus == m_handle || IsChild(m_handle, focus));
}

void WidgetUnit::take_focus() {
    SetFocus(m_handle);
}

runtime::Value WidgetUnit::raise(std::int32_t event) const {
    return runtime::dispatch_event(m_window_id, m_unit_id, event);
}

WidgetUnit* unit_of_control(HWND control) {
    if (control == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<WidgetUnit*>(GetWindowLongPtrW(control, GWLP_USERDATA));
}

HWND widget_of(runtime::Unit* unit) {
    auto* widget_unit = dynamic_cast<WidgetUnit*>(unit);
    return widget_unit ? widget_unit->handle() : nullptr;
}

bool names_a_unit_window(std::int32_t handle) {
    // Window handles are 32-bit values sign-extended on 64-bit Windows.
    auto window = reinterpret_cast<HWND>(static_cast<INT_PTR>(handle));
    return handle != 0 && IsWindow(window) &&
           GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId();
}

}  // namespace wavlon::units
