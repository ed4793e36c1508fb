// The transparent label unit (type 0x00050005): one line of text in its own colour and font
// drawn straight onto whatever lies below it; no background of its own. Text that does not fit
// is cut at the label's edges.
#pragma once

#include "runtime/template_blocks.h"
#include "runtime/units/property_table.h"
#include "widget_unit.h"  // the toolkit's: runtime/units/qt or runtime/units/win

namespace wavlon::units {

class TransLabelUnit final : public WithPropertyTable<TransLabelUnit, WidgetUnit> {
public:
    static constexpr std::uint32_t kTypeId = runtime::unit_types::kTransLabel;
    static constexpr int kCaption = 8;
    static constexpr int kFont = 10;
    static constexpr int kTextColour = 11;

    TransLabelUnit(const runtime::UnitCreateParams& params, runtime::TransLabelBlock block);
    static const runtime::UnitTypeInfo& type_info();
    static const PropertyTable<TransLabelUnit>& properties();

    std::vector<std::uint8_t> property_data() const override;

    const runtime::Text& caption() const { return m_block.caption; }
    void set_caption(const runtime::Text& caption);

private:
    void apply_look();

    runtime::TransLabelBlock m_block;
};

}  // namespace wavlon::units
