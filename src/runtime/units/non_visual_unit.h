// The part non-visual units share (timers, the media player, the system volume): no window of
// their own, never shown; the rectangle and states are kept as written.
#pragma once

#include "runtime/unit.h"

namespace wavlon::units {

using runtime::operator""_gb;

class NonVisualUnit : public runtime::Unit {
public:
    explicit NonVisualUnit(const runtime::UnitCreateParams& params)
        : m_window_id(params.window_id), m_unit_id(params.unit_id), m_rect(params.rect) {}

    runtime::UnitRect rect() const override { return m_rect; }
    void set_rect(const runtime::UnitRect& rect) override { m_rect = rect; }
    bool visible() const override { return false; }
    void set_visible(bool) override {}
    bool enabled() const override { return m_enabled; }
    void set_enabled(bool enabled) override { m_enabled = enabled; }

    std::uint32_t window_id() const { return m_window_id; }
    std::uint32_t unit_id() const { return m_unit_id; }

private:
    std::uint32_t m_window_id;
    std::uint32_t m_unit_id;
    runtime::UnitRect m_rect;
    bool m_enabled = true;
};

}  // namespace wavlon::units
