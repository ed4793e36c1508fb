#include "runtime/units/sys_volume_unit.h"

#include "runtime/event_dispatch.h"

namespace wavlon::units {

const runtime::UnitTypeInfo& SysVolumeUnit::type_info() {
    static const runtime::UnitTypeInfo info = [] {
        runtime::UnitTypeInfo t;
        t.type_id = kTypeId;
        t.name = "系统音量"_gb;
        t.english_name = "SysVolume";
        t.flags = runtime::kTypeNonVisual | runtime::kTypeRaisesEvents;
        t.create = [](const runtime::UnitCreateParams& params) -> std::unique_ptr<runtime::Unit> {
            return std::make_unique<SysVolumeUnit>(params);
        };
        return t;
    }();
    return info;
}

SysVolumeUnit::SysVolumeUnit(const runtime::UnitCreateParams& params) : NonVisualUnit(params) {
    m_device.set_event_callback([window = window_id(), unit = unit_id()](int event) {
        runtime::dispatch_event(window, unit, event);
    });
}

}  // namespace wavlon::units
