#include "runtime/units/timer_unit.h"

#include "runtime/event_dispatch.h"
#include "runtime/units/unit_block.h"

namespace wavlon::units {

using runtime::PropertyType;

const PropertyTable<TimerUnit>& TimerUnit::properties() {
    using Rows = PropertyRows<&TimerUnit::m_block>;
    static constexpr auto rows =
        Rows::list(Rows::methods<&TimerUnit::interval, &TimerUnit::set_interval>(
            kInterval, "interval", PropertyType::kInteger));
    static constexpr PropertyTable<TimerUnit> table(rows);
    return table;
}

const runtime::UnitTypeInfo& TimerUnit::type_info() {
    static const runtime::UnitTypeInfo info = describe_unit_type<TimerUnit>(
        "时钟"_gb, "Timer", runtime::kTypeNonVisual | runtime::kTypeRaisesEvents,
        create_unit_with_block<TimerUnit>);
    return info;
}

TimerUnit::TimerUnit(const runtime::UnitCreateParams& params, runtime::TimerBlock block)
    : WithPropertyTable(params),
      m_timer([window = window_id(), unit = unit_id()] {
          runtime::dispatch_event(window, unit, kTickEvent);
      }),
      m_block(block) {
    set_interval(interval());
}

void TimerUnit::set_interval(std::int32_t milliseconds) {
    m_block.interval_ms = static_cast<std::uint32_t>(std::max(milliseconds, 0));
    if (milliseconds > 0) {
        m_timer.start(milliseconds);  // restarts the period, as a new setting does
    } else {
        m_timer.stop();
    }
}

std::vector<std::uint8_t> TimerUnit::property_data() const {
    return runtime::encode_block(m_block);
}

}  // namespace wavlon::units
