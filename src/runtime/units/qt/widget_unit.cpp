#include "widget_unit.h"

#include <QEvent>

#include "runtime/event_dispatch.h"
#include "unit_look.h"

namespace wavlon::units {

// Turns Qt's input events into the common unit events.
class WidgetUnit::CommonEvents final : public QObject {
public:
    explicit CommonEvents(WidgetUnit& unit)
        : m_window_id(unit.m_window_id), m_unit_id(unit.m_unit_id) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonDblClick) {
            runtime::dispatch_event(m_window_id, m_unit_id, kDoubleClickEvent);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::uint32_t m_window_id;
    std::uint32_t m_unit_id;
};

WidgetUnit::WidgetUnit(const runtime::UnitCreateParams& params, QWidget* widget)
    : m_window_id(params.window_id),
      m_unit_id(params.unit_id),
      m_widget(widget),
      m_common_events(new CommonEvents(*this)) {
    widget->setObjectName(to_qstring(params.record->name));
    widget->hide();
    if (auto* window_unit = dynamic_cast<WidgetUnit*>(params.window)) {
        widget->setParent(window_unit->client_area());
    }
    if (params.window) {  // a window places itself
        set_rect(params.rect);
    }
    widget->setEnabled(!params.disabled);
    // Without a tab stop a unit still takes the focus when clicked, but Tab passes it by.
    if (params.tab_stop) {
        widget->setFocusPolicy(Qt::StrongFocus);
    } else if (widget->focusPolicy() & Qt::TabFocus) {
        widget->setFocusPolicy(Qt::ClickFocus);
    }
    watch_common_events(widget);
}

WidgetUnit::~WidgetUnit() {
    delete m_common_events;
    if (m_widget) {
        QObject::disconnect(m_widget, nullptr, nullptr, nullptr);  // no signal reaches a dead unit
        m_widget->hide();
        m_widget->deleteLater();
    }
}

void WidgetUnit::watch_common_events(QObject* target) {
    target->installEventFilter(m_common_events);
}

runtime::UnitRect WidgetUnit::rect() const {
    QRect geometry = m_widget->geometry();
    return {geometry.x(), geometry.y(), geometry.width(), geometry.height()};
}

void WidgetUnit::set_rect(const runtime::UnitRect& rect) {
    m_widget->setGeometry(rect.left, rect.top, rect.width, rect.height);
}

bool WidgetUnit::visible() const {
    return !m_widget->isHidden();
}

void WidgetUnit::set_visible(bool visible) {
    m_widget->setVisible(visible);
}

bool WidgetUnit::enabled() const {
    return !m_widget->testAttribute(Qt::WA_ForceDisabled);
}

void WidgetUnit::set_enabled(bool enabled) {
    m_widget->setEnabled(enabled);
}

void WidgetUnit::set_parent(runtime::Unit& parent) {
    auto* parent_unit = dynamic_cast<WidgetUnit*>(&parent);
    if (!parent_unit || parent_unit == this) {
        return;
    }
    bool was_hidden = m_widget->isHidden();
    QRect geometry = m_widget->geometry();
    m_widget->setParent(parent_unit->client_area());
    m_widget->setGeometry(geometry);
    m_widget->setVisible(!was_hidden);
}

void WidgetUnit::raise_to_top() {
    m_widget->raise();
}

void WidgetUnit::stack_under(runtime::Unit& above) {
    if (QWidget* other = widget_of(&above); other && other != m_widget) {
        m_widget->stackUnder(other);
    }
}

bool WidgetUnit::has_focus() const {
    return m_widget->hasFocus();
}

void WidgetUnit::take_focus() {
    m_widget->setFocus(Qt::OtherFocusReason);
}

runtime::Value WidgetUnit::raise(std::int32_t event) const {
    return runtime::dispatch_event(m_window_id, m_unit_id, event);
}

QWidget* widget_of(runtime::Unit* unit) {
    auto* widget_unit = dynamic_cast<WidgetUnit*>(unit);
    return widget_unit ? widget_unit->widget() : nullptr;
}

bool names_a_unit_window(std::int32_t handle) {
    return handle != 0 && QWidget::find(static_cast<WId>(static_cast<std::uint32_t>(handle)));
}

}  // namespace wavlon::units
