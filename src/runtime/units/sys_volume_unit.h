// The system volume unit (type 0x00040001, non-visual): the unit around one SysVolumeDevice.
// It has no properties of its own; a volume or mute change made by another program raises
// event 0 (volume) or 1 (mute).
#pragma once

#include "runtime/template_blocks.h"
#include "runtime/units/non_visual_unit.h"
#include "runtime/units/sys_volume_device.h"

namespace wavlon::units {

class SysVolumeUnit final : public NonVisualUnit {
public:
    static constexpr std::uint32_t kTypeId = runtime::unit_types::kSysVolume;

    explicit SysVolumeUnit(const runtime::UnitCreateParams& params);
    static const runtime::UnitTypeInfo& type_info();

    bool set_property(int, const runtime::Value&) override { return false; }
    runtime::Value get_property(int) const override { return {}; }
    std::vector<std::uint8_t> property_data() const override { return {}; }

    SysVolumeDevice& device() { return m_device; }
    SysVolumeDevice* operator->() { return &m_device; }

private:
    SysVolumeDevice m_device;
};

}  // namespace wavlon::units
