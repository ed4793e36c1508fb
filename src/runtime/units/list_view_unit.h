// The list view unit (type 0x00050004) in report view: rows of text cells under the columns
// stored in the template (a column stored with width 0 stays out of sight until the user
// widens it). Rows and columns count from 0.
//
// Property 35 is the current row: the first selected row, -1 when none is selected. A double
// click on the control raises the common event -3.
#pragma once

#include <optional>

#include "runtime/template_blocks.h"
#include "runtime/units/property_table.h"
#include "widget_unit.h"  // the toolkit's: runtime/units/qt or runtime/units/win

namespace wavlon::units {

class ListViewUnit final : public WithPropertyTable<ListViewUnit, WidgetUnit> {
public:
    static constexpr std::uint32_t kTypeId = runtime::unit_types::kListView;
    static constexpr int kViewType = 8;
    static constexpr int kTextColour = 9;
    static constexpr int kBackground = 10;
    static constexpr int kFont = 11;
    static constexpr int kCurrentRow = 35;

    ListViewUnit(const runtime::UnitCreateParams& params, runtime::ListViewBlock block);
    static const runtime::UnitTypeInfo& type_info();
    static const PropertyTable<ListViewUnit>& properties();

    std::vector<std::uint8_t> property_data() const override;

    // Methods the program calls. An omitted or negative position (or one past the end)
    // appends; the result is the new row's index.
    std::int32_t insert_item(std::optional<std::int32_t> position = std::nullopt,
                             const runtime::Text& text = {},
                             std::optional<std::int32_t> image = std::nullopt,
                             std::optional<std::int32_t> state_image = std::nullopt,
                             std::optional<std::int32_t> indent = std::nullopt,
                             std::optional<std::int32_t> item_data = std::nullopt);
    // Nothing happens for a row or column that does not exist.
    void set_item_text(std::int32_t row, std::int32_t column = 0, const runtime::Text& text = {});
    // The whole text of the cell, however long; empty for a cell that does not exist.
    runtime::Text get_item_text(std::int32_t row, std::int32_t column = 0) const;
    void delete_all_items();
    std::int32_t item_count() const;
    std::int32_t current_row() const;

private:
    void apply_look();
    void apply_columns();
    // Makes `row` the only selected row and the current one; a row that does not exist
    // leaves none selected.
    void select_row(std::int32_t row);

    runtime::ListViewBlock m_block;
    std::vector<std::int32_t> m_kept;  // settings without a control counterpart, kept as written
};

}  // namespace wavlon::units
