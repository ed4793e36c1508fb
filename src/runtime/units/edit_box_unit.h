// The edit box unit (type 0x00010005): one line of editable text.
//
// Its content-changed event (0) comes for every change the user types and for every write
// of the content by the program, even when the text written equals the text shown.
#pragma once

#include "runtime/template_blocks.h"
#include "runtime/units/property_table.h"
#include "widget_unit.h"  // the toolkit's: runtime/units/qt or runtime/units/win

namespace wavlon::units {

class EditBoxUnit final : public WithPropertyTable<EditBoxUnit, WidgetUnit> {
public:
    static constexpr std::uint32_t kTypeId = runtime::unit_types::kEditBox;
    static constexpr std::int32_t kChangedEvent = 0;
    static constexpr int kContent = 8;
    static constexpr int kTextColour = 10;
    static constexpr int kBackground = 11;
    static constexpr int kFont = 12;

    EditBoxUnit(const runtime::UnitCreateParams& params, runtime::EditBoxBlock block);
    static const runtime::UnitTypeInfo& type_info();
    static const PropertyTable<EditBoxUnit>& properties();

    std::vector<std::uint8_t> property_data() const override;

    runtime::Text content() const;
    // Writes the content and raises the content-changed event.
    void set_content(const runtime::Text& content);

private:
    void apply_look();

    runtime::EditBoxBlock m_block;
    std::vector<std::int32_t> m_kept;  // settings without a control counterpart, kept as written
};

}  // namespace wavlon::units
