#include "runtime/units/timer_unit.h"

#include "runtime/conversions.h"
#include "runtime/event_dispatch.h"
#include "runtime/units/unit_block.h"

namespace wavlon::units {

using runtime::PropertyType;
using runtime::Value;

const runtime::UnitTypeInfo& TimerUnit::type_info() {
    static const runtime::UnitTypeInfo info = [] {
        runtime::UnitTypeInfo t;
        t.type_id = kTypeId;
        t.name = "时钟"_gb;
        t.english_name = "Timer";
        t.flags = runtime::kTypeNonVisual | runtime::kTypeRaisesEvents;
        t.properties = runtime::common_properties_and({PropertyType::kInteger});
        t.create = create_unit_with_block<TimerUnit, runtime::decode_timer_block>;
        return t;
    }();
    return info;
}

TimerUnit::TimerUnit(const runtime::UnitCreateParams& params, runtime::TimerBlock block)
    : NonVisualUnit(params), m_block(block) {
    QObject::connect(&m_timer, &QTimer::timeout, &m_timer,
                     [window = window_id(), unit = unit_id()] {
                         runtime::dispatch_event(window, unit, kTickEvent);
                     });
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

bool TimerUnit::set_property(int index, const Value& value) {
    if (index == kInterval) {
        set_interval(runtime::to_integer(value));
    }
    return false;
}

Value TimerUnit::get_property(int index) const {
    return index == kInterval ? Value::integer(interval()) : Value{};
}

std::vector<std::uint8_t> TimerUnit::property_data() const {
    return runtime::encode_block(m_block);
}

}  // namespace wavlon::units
