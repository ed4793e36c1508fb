// The part every windowed Qt unit shares: a widget that carries the unit's template name as
// its object name, its rectangle, visibility, enabled state, stacking and focus, and the
// events common to all units (-3 double-click).
//
// Ownership: the unit owns its widget. Destroying the unit hides the widget and deletes it
// from the event loop (deleteLater), because the unit may go while one of the widget's own
// signals is being delivered. User-interface thread only.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include "runtime/unit.h"

namespace wavlon::units {

using runtime::operator""_gb;

// Events that every windowed unit has.
constexpr std::int32_t kDoubleClickEvent = -3;

class WidgetUnit : public runtime::Unit {
public:
    // `widget` is created by the subclass (parentless or not); the unit takes it over, puts
    // it into the window's client area (when there is a window) and keeps it hidden.
    WidgetUnit(const runtime::UnitCreateParams& params, QWidget* widget);
    ~WidgetUnit() override;

    QWidget* widget() const { return m_widget; }
    // Qt always makes the widget.
    bool created() const { return true; }
    // Where units placed inside this one go (the widget itself unless a subclass says so).
    virtual QWidget* client_area() const { return m_widget; }

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

protected:
    // Raises one of the unit's events through the dispatcher. Callers return right after:
    // the routine may have destroyed this unit.
    runtime::Value raise(std::int32_t event) const;
    // Also listens for the common events on `target` (a scroll area's viewport).
    void watch_common_events(QObject* target);

private:
    class CommonEvents;

    std::uint32_t m_window_id;
    std::uint32_t m_unit_id;
    QPointer<QWidget> m_widget;
    CommonEvents* m_common_events;
};

// The widget of a unit, or nullptr when it is not a Qt windowed unit.
QWidget* widget_of(runtime::Unit* unit);

// True when `handle` names the native window of one of the program's widgets.
bool names_a_unit_window(std::int32_t handle);

}  // namespace wavlon::units
