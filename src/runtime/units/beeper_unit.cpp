#include "runtime/units/beeper_unit.h"

#include "runtime/units/property_table.h"
#include "runtime/units/unit_block.h"

namespace wavlon::units {

const runtime::UnitTypeInfo& BeeperUnit::type_info() {
    static const runtime::UnitTypeInfo info = describe_unit_type<BeeperUnit>(
        "蜂鸣器"_gb, "Beeper", runtime::kTypeNonVisual, create_unit<BeeperUnit>);
    return info;
}

}  // namespace wavlon::units
