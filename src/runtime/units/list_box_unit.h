// The list box unit (type 0x0001000F): a list of texts, each with an integer value, one of
// which may be selected.
//
// Its selection event (0) comes only when the user picks an item: a click on an item (also on
// the one already selected) or a keyboard move that changes the selection. Selecting,
// clearing or adding items from the program, and taking the focus, raise nothing.
#pragma once

#include <span>
#include <vector>

#include "runtime/template_blocks.h"
#include "runtime/units/property_table.h"
#include "widget_unit.h"  // the toolkit's: runtime/units/qt or runtime/units/win

namespace wavlon::units {

class ListBoxUnit final : public WithPropertyTable<ListBoxUnit, WidgetUnit> {
public:
    static constexpr std::uint32_t kTypeId = runtime::unit_types::kListBox;
    static constexpr std::int32_t kSelectionEvent = 0;
    static constexpr int kTextColour = 9;
    static constexpr int kBackground = 10;
    static constexpr int kFont = 11;
    static constexpr int kSelection = 16;

    ListBoxUnit(const runtime::UnitCreateParams& params, runtime::ListBoxBlock block);
    static const runtime::UnitTypeInfo& type_info();
    static const PropertyTable<ListBoxUnit>& properties();

    std::vector<std::uint8_t> property_data() const override;

    // Methods the program calls. Indexes count from 0.
    std::int32_t item_count() const;
    // Index of the new last item.
    std::int32_t add_item(const runtime::Text& text, std::int32_t value = 0);
    // Appends the items in order, as add_item would one by one, with the list laid out and
    // repainted once rather than after each. `values` holds one value per text.
    void add_items(std::span<const runtime::Text> texts, std::span<const std::int32_t> values);
    void clear_items();
    // The empty text when the index is out of range.
    runtime::Text item_text(std::int32_t index) const;
    // -1 when the index is out of range.
    std::int32_t item_value(std::int32_t index) const;
    // True when the item became the selection; an index out of range (-1 too) clears the
    // selection and answers false.
    bool select_item(std::int32_t index);
    // The selected item's index, -1 for none.
    std::int32_t selection() const;

private:
    void apply_look();

    runtime::ListBoxBlock m_block;
    std::vector<std::int32_t> m_kept;    // settings without a control counterpart, kept as written
    std::vector<std::int32_t> m_values;  // the items' values, in item order
};

}  // namespace wavlon::units
