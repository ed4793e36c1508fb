#include "runtime/units/edit_box_unit.h"

#include <QLineEdit>

#include "runtime/event_dispatch.h"
#include "runtime/units/unit_block.h"
#include "runtime/units/unit_look.h"

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

EditBoxUnit::EditBoxUnit(const runtime::UnitCreateParams& params, runtime::EditBoxBlock block)
    : WithPropertyTable(params, new QLineEdit),
      m_edit(static_cast<QLineEdit*>(widget())),
      m_block(std::move(block)),
      m_kept(kept_numbers(properties())) {
    m_edit->setText(to_qstring(m_block.content));
    apply_look();
    QObject::connect(m_edit, &QLineEdit::textEdited, m_edit,
                     [window = window_id(), unit = unit_id()] {
                         runtime::dispatch_event(window, unit, kChangedEvent);
                     });
}

void EditBoxUnit::apply_look() {
    m_edit->setFont(m_block.font ? qfont(m_block.font) : QFont());
    m_edit->setPalette(QPalette());
    set_palette_colour(*m_edit, QPalette::Text, m_block.text_colour);
    set_palette_colour(*m_edit, QPalette::Base, m_block.background);
}

runtime::Text EditBoxUnit::content() const {
    return from_qstring(m_edit->text());
}

void EditBoxUnit::set_content(const runtime::Text& content) {
    m_edit->setText(to_qstring(content));
    raise(kChangedEvent);
}

std::vector<std::uint8_t> EditBoxUnit::property_data() const {
    EditBoxBlock block = m_block;
    block.content = content();
    return runtime::encode_block(block);
}

}  // namespace wavlon::units
