// The beeper unit (non-visual): stores no settings and has no properties.
#pragma once

#include "runtime/template_blocks.h"
#include "runtime/units/non_visual_unit.h"

namespace wavlon::units {

class BeeperUnit final : public NonVisualUnit {
public:
    static constexpr std::uint32_t kTypeId = runtime::unit_types::kBeeper;

    using NonVisualUnit::NonVisualUnit;
    static const runtime::UnitTypeInfo& type_info();

    bool set_property(int, const runtime::Value&) override { return false; }
    runtime::Value get_property(int) const override { return {}; }
    std::vector<std::uint8_t> property_data() const override { return {}; }
};

}  // namespace wavlon::units
