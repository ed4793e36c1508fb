#include "runtime/units/edit_box_unit.h"

#include "runtime/units/unit_block.h"

namespace wavlon::units {

using runtime::EditBoxBlock;
using runtime::PropertyType;

const PropertyTable<EditBoxUnit>& EditBoxUnit::properties() {
    using Rows = PropertyRows<&EditBoxUnit::m_block>;
    static constexpr auto rows = Rows::list(
        Rows::methods<&EditBoxUnit::content, &EditBoxUnit::set_content>(kContent, "content",
                                                                        PropertyType::kText),
        Rows::kept<&EditBoxUnit::m_kept>(9, 9, "setting", PropertyType::kChoice),
        Rows::look<&EditBoxUnit::apply_look>(kTextColour, kBackground, kFont),
        // The type's further settings (selection, limits, input modes) are plain integers here.
        Rows::kept<&EditBoxUnit::m_kept>(13, 28));
    static constexpr PropertyTable<EditBoxUnit> table(rows);
    return table;
}

const runtime::UnitTypeInfo& EditBoxUnit::type_info() {
    static const runtime::UnitTypeInfo info = describe_unit_type<EditBoxUnit>(
        "编辑框"_gb, "EditBox", runtime::kTypeRaisesEvents, create_unit_with_block<EditBoxUnit>);
    return info;
}

std::vector<std::uint8_t> EditBoxUnit::property_data() const {
    EditBoxBlock block = m_block;
    block.content = content();
    return runtime::encode_block(block);
}

}  // namespace wavlon::units
