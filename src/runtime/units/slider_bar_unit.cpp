#include "runtime/units/slider_bar_unit.h"

#include "runtime/units/unit_block.h"

#include <algorithm>

namespace wavlon::units {

using runtime::PropertyType;
using runtime::SliderBarBlock;

namespace {

std::int32_t limited(std::int32_t value) {
    return std::clamp(value, 0, SliderBarUnit::kLimit);
}

std::unique_ptr<runtime::Unit> create_slider(const runtime::UnitCreateParams& params) {
    SliderBarBlock block;
    block.set_range(0, 100, 0);
    if (!params.block.empty()) {
        auto decoded = runtime::decode_block<SliderBarUnit::kTypeId>(params.block);
        auto* stored = std::get_if<SliderBarBlock>(&decoded);
        if (!stored) {
            return nullptr;
        }
        block = *stored;
    }
    block.set_range(limited(block.minimum()), limited(block.maximum()), limited(block.position()));
    return created_or_none(std::make_unique<SliderBarUnit>(params, block));
}

}  // namespace

const PropertyTable<SliderBarUnit>& SliderBarUnit::properties() {
    using Rows = PropertyRows<&SliderBarUnit::m_block>;
    static constexpr auto rows = Rows::list(
        // Stored for the unit; only the range and the position show.
        Rows::numbers<&SliderBarBlock::properties>(8, 16, "setting", PropertyType::kInteger),
        Rows::methods<&SliderBarUnit::minimum, &SliderBarUnit::set_minimum>(kMinimum, "minimum",
                                                                            PropertyType::kInteger),
        Rows::methods<&SliderBarUnit::maximum, &SliderBarUnit::set_maximum>(kMaximum, "maximum",
                                                                            PropertyType::kInteger),
        Rows::methods<&SliderBarUnit::position, &SliderBarUnit::set_position>(
            kPosition, "position", PropertyType::kInteger));
    static constexpr PropertyTable<SliderBarUnit> table(rows);
    return table;
}

const runtime::UnitTypeInfo& SliderBarUnit::type_info() {
    static const runtime::UnitTypeInfo info = describe_unit_type<SliderBarUnit>(
        "滑块条"_gb, "SliderBar", runtime::kTypeRaisesEvents, create_slider);
    return info;
}

void SliderBarUnit::set_minimum(std::int32_t value) {
    m_block.properties[kMinimum - runtime::property::kFirstOwn] = limited(value);
    apply_range();
}

void SliderBarUnit::set_maximum(std::int32_t value) {
    m_block.properties[kMaximum - runtime::property::kFirstOwn] = limited(value);
    apply_range();
}

void SliderBarUnit::set_position(std::int32_t value) {
    m_block.properties[kPosition - runtime::property::kFirstOwn] = limited(value);
    apply_range();
}

std::vector<std::uint8_t> SliderBarUnit::property_data() const {
    return runtime::encode_block(m_block);
}

}  // namespace wavlon::units
