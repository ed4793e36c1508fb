// The button unit (type 0x0001000B): a push button whose click (event 0) the user makes.
#pragma once

#include "runtime/template_blocks.h"
#include "runtime/units/property_table.h"
#include "widget_unit.h"  // the toolkit's: runtime/units/qt or runtime/units/win

namespace wavlon::units {

class ButtonUnit final : public WithPropertyTable<ButtonUnit, WidgetUnit> {
public:
    static constexpr std::uint32_t kTypeId = runtime::unit_types::kButton;
    static constexpr std::int32_t kClickEvent = 0;
    static constexpr int kPicture = 8;
    static constexpr int kCaption = 10;
    static constexpr int kFont = 13;

    ButtonUnit(const runtime::UnitCreateParams& params, runtime::ButtonBlock block);
    static const runtime::UnitTypeInfo& type_info();
    static const PropertyTable<ButtonUnit>& properties();

    std::vector<std::uint8_t> property_data() const override;

    const runtime::Text& caption() const { return m_block.caption; }
    void set_caption(const runtime::Text& caption);

private:
    void apply_picture();
    void apply_font();

    runtime::ButtonBlock m_block;
};

}  // namespace wavlon::units
