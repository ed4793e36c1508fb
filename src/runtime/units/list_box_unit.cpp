#include "runtime/units/list_box_unit.h"

#include "runtime/units/unit_block.h"

namespace wavlon::units {

using runtime::PropertyType;

const PropertyTable<ListBoxUnit>& ListBoxUnit::properties() {
    using Rows = PropertyRows<&ListBoxUnit::m_block>;
    static constexpr auto rows =
        Rows::list(Rows::kept<&ListBoxUnit::m_kept>(8, 8, "setting", PropertyType::kChoice),
                   Rows::look<&ListBoxUnit::apply_look>(kTextColour, kBackground, kFont),
                   Rows::kept<&ListBoxUnit::m_kept>(12, 15),
                   Rows::methods<&ListBoxUnit::selection, &ListBoxUnit::select_item>(
                       kSelection, "selection", PropertyType::kInteger),
                   Rows::kept<&ListBoxUnit::m_kept>(17, 21));
    static constexpr PropertyTable<ListBoxUnit> table(rows);
    return table;
}

const runtime::UnitTypeInfo& ListBoxUnit::type_info() {
    static const runtime::UnitTypeInfo info = describe_unit_type<ListBoxUnit>(
        "列表框"_gb, "ListBox", runtime::kTypeRaisesEvents, create_unit_with_block<ListBoxUnit>);
    return info;
}

std::int32_t ListBoxUnit::item_value(std::int32_t index) const {
    return index >= 0 && static_cast<std::size_t>(index) < m_values.size()
               ? m_values[static_cast<std::size_t>(index)]
               : -1;
}

std::vector<std::uint8_t> ListBoxUnit::property_data() const {
    return runtime::encode_block(m_block);
}

}  // namespace wavlon::units
