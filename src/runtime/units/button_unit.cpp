#include "runtime/units/button_unit.h"

#include "runtime/units/unit_block.h"

namespace wavlon::units {

using runtime::ButtonBlock;
using runtime::PropertyType;

const PropertyTable<ButtonUnit>& ButtonUnit::properties() {
    using Rows = PropertyRows<&ButtonUnit::m_block>;
    static constexpr auto rows =
        Rows::list(Rows::bytes<&ButtonBlock::picture, &ButtonUnit::apply_picture>(
                       kPicture, "picture", PropertyType::kPicture),
                   Rows::number<&ButtonBlock::property9>(9, "property9", PropertyType::kChoice),
                   Rows::methods<&ButtonUnit::caption, &ButtonUnit::set_caption>(
                       kCaption, "caption", PropertyType::kText),
                   Rows::number<&ButtonBlock::property11>(11, "property11", PropertyType::kChoice),
                   Rows::number<&ButtonBlock::property12>(12, "property12", PropertyType::kChoice),
                   Rows::font<&ButtonBlock::font, &ButtonUnit::apply_font>(kFont));
    static constexpr PropertyTable<ButtonUnit> table(rows);
    return table;
}

const runtime::UnitTypeInfo& ButtonUnit::type_info() {
    static const runtime::UnitTypeInfo info = describe_unit_type<ButtonUnit>(
        "按钮"_gb, "Button", runtime::kTypeRaisesEvents, create_unit_with_block<ButtonUnit>);
    return info;
}

std::vector<std::uint8_t> ButtonUnit::property_data() const {
    return runtime::encode_block(m_block);
}

}  // namespace wavlon::units
