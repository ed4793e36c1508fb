#include "runtime/units/list_view_unit.h"

#include "runtime/units/unit_block.h"

namespace wavlon::units {

using runtime::ListViewBlock;
using runtime::PropertyType;

const PropertyTable<ListViewUnit>& ListViewUnit::properties() {
    using Rows = PropertyRows<&ListViewUnit::m_block>;
    static constexpr auto rows =
        Rows::list(Rows::number<&ListViewBlock::view_type, &ListViewUnit::apply_columns>(
                       kViewType, "view type", PropertyType::kChoice),
                   Rows::look<&ListViewUnit::apply_look>(kTextColour, kBackground, kFont),
                   Rows::kept<&ListViewUnit::m_kept>(12, 34),
                   Rows::methods<&ListViewUnit::current_row, &ListViewUnit::select_row>(
                       kCurrentRow, "current row", PropertyType::kInteger),
                   Rows::kept<&ListViewUnit::m_kept>(36, 38));
    static constexpr PropertyTable<ListViewUnit> table(rows);
    return table;
}

const runtime::UnitTypeInfo& ListViewUnit::type_info() {
    static const runtime::UnitTypeInfo info =
        describe_unit_type<ListViewUnit>("超级列表框"_gb, "ListView", runtime::kTypeRaisesEvents,
                                         create_unit_with_block<ListViewUnit>);
    return info;
}

}  // namespace wavlon::units
