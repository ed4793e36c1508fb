#include "runtime/units/trans_label_unit.h"

#include "runtime/units/unit_block.h"

namespace wavlon::units {

using runtime::PropertyType;
using runtime::TransLabelBlock;

const PropertyTable<TransLabelUnit>& TransLabelUnit::properties() {
    using Rows = PropertyRows<&TransLabelUnit::m_block>;
    static constexpr auto rows = Rows::list(
        Rows::methods<&TransLabelUnit::caption, &TransLabelUnit::set_caption>(kCaption, "caption",
                                                                              PropertyType::kText),
        Rows::number<&TransLabelBlock::property9>(9, "property9", PropertyType::kChoice),
        Rows::font<&TransLabelBlock::font, &TransLabelUnit::apply_look>(kFont),
        Rows::number<&TransLabelBlock::text_colour, &TransLabelUnit::apply_look>(
            kTextColour, "text colour", PropertyType::kColour),
        Rows::number<&TransLabelBlock::property12>(12, "property12", PropertyType::kChoice),
        Rows::number<&TransLabelBlock::property13>(13, "property13", PropertyType::kLogical),
        Rows::number<&TransLabelBlock::property14>(14, "property14", PropertyType::kChoice));
    static constexpr PropertyTable<TransLabelUnit> table(rows);
    return table;
}

const runtime::UnitTypeInfo& TransLabelUnit::type_info() {
    static const runtime::UnitTypeInfo info =
        describe_unit_type<TransLabelUnit>("透明标签"_gb, "TransLabel", runtime::kTypeRaisesEvents,
                                           create_unit_with_block<TransLabelUnit>);
    return info;
}

std::vector<std::uint8_t> TransLabelUnit::property_data() const {
    return runtime::encode_block(m_block);
}

}  // namespace wavlon::units
