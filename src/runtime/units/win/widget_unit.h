// The part every windowed Win32 unit shares: a child control of the window's client area (or
// the top-level window itself) carrying the unit's rectangle, visibility, enabled state,
// stacking and focus, and the events common to all units (-3 double-click).
//
// A control's notifications (WM_COMMAND, WM_NOTIFY, WM_HSCROLL, WM_CTLCOLOR...) go to its
// parent window; the window unit hands each to the unit whose control sent it, whose type
// listens through `on_parent_message`. The unit's pointer sits in the control's
// GWLP_USERDATA; the control is subclassed so that a type can also see its own messages
// (`on_own_message`) and every unit reports its double clicks.
//
// Ownership: the unit owns its control and destroys it with itself. User-interface thread
// only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "runtime/unit.h"

namespace wavlon::units {

using runtime::operator""_gb;

// Events that every windowed unit has.
constexpr std::int32_t kDoubleClickEvent = -3;

// How a control is made: its window class, its own styles, extended styles.
struct ControlClass {
    const wchar_t* name;
    DWORD style = 0;
    DWORD ex_style = 0;
};

class WidgetUnit : public runtime::Unit {
public:
    // Creates the control as a hidden child of the window's client area (or, for the window
    // unit itself, `params.window` is null and the subclass passes a top-level class), with
    // the record's control id, WS_DISABLED and WS_TABSTOP from the record's flags.
    WidgetUnit(const runtime::UnitCreateParams& params, const ControlClass& control,
               const std::wstring& text = {});
    ~WidgetUnit() override;
    WidgetUnit(const WidgetUnit&) = delete;
    WidgetUnit& operator=(const WidgetUnit&) = delete;

    HWND handle() const { return m_handle; }
    // False when the system refused the control: the type's create routine then fails.
    bool created() const { return m_handle != nullptr; }
    // Where units placed inside this one go.
    virtual HWND client_area() const { return m_handle; }

    runtime::UnitRect rect() const override;
    void set_rect(const runtime::UnitRect& rect) override;
    bool visible() const override;
    void set_visible(bool visible) override;
    bool enabled() const override;
    void set_enabled(bool enabled) override;
    void set_parent(runtime::Unit& parent) override;
    void raise_to_top() override;
    void stack_under(runtime::Unit& above) override;
    bool has_focus() const override;
    void take_focus() override;

    std::uint32_t window_id() const { return m_window_id; }
    std::uint32_t unit_id() const { return m_unit_id; }

    // A handler answers true when it handled the message, with the answer in `result`.
    using MessageHandler =
        std::function<bool(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result)>;
    // Messages the control sends its parent about itself.
    void on_parent_message(MessageHandler handler) { m_parent_handler = std::move(handler); }
    bool handle_parent_message(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result);
    // The control's own messages, before its class sees them.
    void on_own_message(MessageHandler handler) { m_own_handler = std::move(handler); }
    // The control's class procedure, for messages a handler passes on.
    LRESULT call_original(UINT message, WPARAM wparam, LPARAM lparam) const;
    // The skin or a colour changed: the unit applies its look again and repaints.
    void on_look_change(std::function<void()> apply) { m_look_handler = std::move(apply); }
    void look_changed();

protected:
    // Raises one of the unit's events through the dispatcher. Callers return right after:
    // the routine may have destroyed this unit.
    runtime::Value raise(std::int32_t event) const;

private:
    static LRESULT CALLBACK subclass_procedure(HWND window, UINT message, WPARAM wparam,
                                               LPARAM lparam);

    std::uint32_t m_window_id;
    std::uint32_t m_unit_id;
    HWND m_handle = nullptr;
    WNDPROC m_original = nullptr;
    MessageHandler m_parent_handler;
    MessageHandler m_own_handler;
    std::function<void()> m_look_handler;
};

// The unit whose control this is; nullptr for a window that is not a unit's.
WidgetUnit* unit_of_control(HWND control);

// The window of a unit, or nullptr when it is not a windowed unit.
HWND widget_of(runtime::Unit* unit);

// True when `handle` names a window of one of the program's windowed units.
bool names_a_unit_window(std::int32_t handle);

}  // namespace wavlon::units
