#include "runtime/units/edit_box_unit.h"

#include <QLineEdit>

#include "runtime/conversions.h"
#include "runtime/event_dispatch.h"
#include "runtime/font_value.h"
#include "runtime/units/unit_block.h"
#include "runtime/units/unit_look.h"

namespace wavlon::units {

using runtime::PropertyType;
using runtime::Value;

namespace {

constexpr int kPropertyCount = 29;

}  // namespace

const runtime::UnitTypeInfo& EditBoxUnit::type_info() {
    static const runtime::UnitTypeInfo info = [] {
        runtime::UnitTypeInfo t;
        t.type_id = kTypeId;
        t.name = "编辑框"_gb;
        t.english_name = "EditBox";
        t.flags = runtime::kTypeRaisesEvents;
        t.properties = runtime::common_properties_and({
            PropertyType::kText,
            PropertyType::kChoice,
            PropertyType::kColour,
            PropertyType::kBackColour,
            PropertyType::kFont,
        });
        // The type's further settings (selection, limits, input modes) are plain integers here.
        t.properties.resize(kPropertyCount, {PropertyType::kInteger, 0});
        t.create = create_unit_with_block<EditBoxUnit, runtime::decode_edit_box_block>;
        return t;
    }();
    return info;
}

EditBoxUnit::EditBoxUnit(const runtime::UnitCreateParams& params, runtime::EditBoxBlock block)
    : WidgetUnit(params, new QLineEdit),
      m_edit(static_cast<QLineEdit*>(widget())),
      m_block(std::move(block)),
      m_other(kPropertyCount) {
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

bool EditBoxUnit::set_property(int index, const Value& value) {
    switch (index) {
        case kContent:
            set_content(runtime::to_text(value));
            return false;  // the routine may have destroyed this unit: nothing more here
        case kTextColour:
            m_block.text_colour = static_cast<std::uint32_t>(runtime::to_integer(value));
            apply_look();
            break;
        case kBackground:
            m_block.background = static_cast<std::uint32_t>(runtime::to_integer(value));
            apply_look();
            break;
        case kFont:
            m_block.font = runtime::font_from_value(value);
            apply_look();
            break;
        default:
            m_other.set(index, value);
            break;
    }
    return false;
}

Value EditBoxUnit::get_property(int index) const {
    switch (index) {
        case kContent:
            return Value::text(content());
        case kTextColour:
            return Value::integer(static_cast<std::int32_t>(m_block.text_colour));
        case kBackground:
            return Value::integer(static_cast<std::int32_t>(m_block.background));
        case kFont:
            return runtime::font_value(m_block.font);
        default:
            return m_other.get(index);
    }
}

std::vector<std::uint8_t> EditBoxUnit::property_data() const {
    runtime::EditBoxBlock block = m_block;
    block.content = content();
    return runtime::encode_block(block);
}

}  // namespace wavlon::units
