// The media player unit (type 0x00040006, non-visual): the unit around one MediaPlayDevice.
// It has no properties of its own and raises no events; the program calls the device's
// methods.
#pragma once

#include "runtime/template_blocks.h"
#include "runtime/units/media_play_device.h"
#include "runtime/units/non_visual_unit.h"

namespace wavlon::units {

class MediaPlayUnit final : public NonVisualUnit {
public:
    static constexpr std::uint32_t kTypeId = runtime::unit_types::kMediaPlay;

    explicit MediaPlayUnit(const runtime::UnitCreateParams& params);
    static const runtime::UnitTypeInfo& type_info();

    bool set_property(int, const runtime::Value&) override { return false; }
    runtime::Value get_property(int) const override { return {}; }
    std::vector<std::uint8_t> property_data() const override { return {}; }

    MediaPlayDevice& device() { return m_device; }
    MediaPlayDevice* operator->() { return &m_device; }

private:
    MediaPlayDevice m_device;
};

}  // namespace wavlon::units
