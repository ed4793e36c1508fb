// The timer unit (type 0x00010020, non-visual): raises its tick event (0) every `interval`
// milliseconds from the moment it is created; an interval of 0 (or below) does not tick.
#pragma once

#include "runtime/message_loop.h"
#include "runtime/template_blocks.h"
#include "runtime/units/non_visual_unit.h"
#include "runtime/units/property_table.h"

namespace wavlon::units {

class TimerUnit final : public WithPropertyTable<TimerUnit, NonVisualUnit> {
public:
    static constexpr std::uint32_t kTypeId = runtime::unit_types::kTimer;
    static constexpr std::int32_t kTickEvent = 0;
    static constexpr int kInterval = 8;

    TimerUnit(const runtime::UnitCreateParams& params, runtime::TimerBlock block);
    static const runtime::UnitTypeInfo& type_info();
    static const PropertyTable<TimerUnit>& properties();

    std::vector<std::uint8_t> property_data() const override;

    std::int32_t interval() const { return static_cast<std::int32_t>(m_block.interval_ms); }
    void set_interval(std::int32_t milliseconds);
    bool ticking() const { return m_timer.active(); }

private:
    runtime::LoopTimer m_timer;
    runtime::TimerBlock m_block;
};

}  // namespace wavlon::units
