#include "runtime/units/sys_volume_unit.h"

#include "runtime/event_dispatch.h"
#include "runtime/units/property_table.h"
#include "runtime/units/unit_block.h"

namespace wavlon::units {

const runtime::UnitTypeInfo& SysVolumeUnit::type_info() {
    static const runtime::UnitTypeInfo info = describe_unit_type<SysVolumeUnit>(
        "系统音量"_gb, "SysVolume", runtime::kTypeNonVisual | runtime::kTypeRaisesEvents,
        create_unit<SysVolumeUnit>);
    return info;
}

SysVolumeUnit::SysVolumeUnit(const runtime::UnitCreateParams& params) : NonVisualUnit(params) {
    m_device.set_event_callback([window = window_id(), unit = unit_id()](int event) {
        runtime::dispatch_event(window, unit, event);
    });
}

}  // namespace wavlon::units
