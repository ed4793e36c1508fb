#include "runtime/units/trans_label_unit.h"

#include <QLabel>

#include "runtime/conversions.h"
#include "runtime/font_value.h"
#include "runtime/units/unit_block.h"
#include "runtime/units/unit_look.h"

namespace wavlon::units {

using runtime::PropertyType;
using runtime::Value;

namespace {

std::uint32_t as_number(const Value& value) {
    return static_cast<std::uint32_t>(runtime::to_integer(value));
}

}  // namespace

const runtime::UnitTypeInfo& TransLabelUnit::type_info() {
    static const runtime::UnitTypeInfo info = [] {
        runtime::UnitTypeInfo t;
        t.type_id = kTypeId;
        t.name = "透明标签"_gb;
        t.english_name = "TransLabel";
        t.flags = runtime::kTypeRaisesEvents;
        t.properties = runtime::common_properties_and({
            PropertyType::kText,
            PropertyType::kChoice,
            PropertyType::kFont,
            PropertyType::kColour,
            PropertyType::kChoice,
            PropertyType::kLogical,
            PropertyType::kChoice,
        });
        t.create = create_unit_with_block<TransLabelUnit, runtime::decode_trans_label_block>;
        return t;
    }();
    return info;
}

TransLabelUnit::TransLabelUnit(const runtime::UnitCreateParams& params,
                               runtime::TransLabelBlock block)
    : WidgetUnit(params, new QLabel),
      m_label(static_cast<QLabel*>(widget())),
      m_block(std::move(block)) {
    m_label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_label->setTextFormat(Qt::PlainText);
    m_label->setWordWrap(false);
    m_label->setAutoFillBackground(false);
    m_label->setAttribute(Qt::WA_TranslucentBackground);
    m_label->setText(to_qstring(m_block.caption));
    apply_look();
}

void TransLabelUnit::apply_look() {
    if (m_block.font) {
        m_label->setFont(qfont(m_block.font));
    } else {
        m_label->setFont(QFont());  // nothing set: the window's font
    }
    QPalette palette = m_label->palette();
    palette.setColor(QPalette::WindowText, qcolour(m_block.text_colour & 0x00FFFFFF));
    m_label->setPalette(palette);
}

void TransLabelUnit::set_caption(const runtime::Text& caption) {
    m_block.caption = caption;
    m_label->setText(to_qstring(caption));
}

bool TransLabelUnit::set_property(int index, const Value& value) {
    switch (index) {
        case kCaption:
            set_caption(runtime::to_text(value));
            break;
        case 9:
            m_block.property9 = as_number(value);
            break;
        case kFont:
            m_block.font = runtime::font_from_value(value);
            apply_look();
            break;
        case kTextColour:
            m_block.text_colour = as_number(value);
            apply_look();
            break;
        case 12:
            m_block.property12 = as_number(value);
            break;
        case 13:
            m_block.property13 = as_number(value);
            break;
        case 14:
            m_block.property14 = as_number(value);
            break;
        default:
            break;
    }
    return false;
}

Value TransLabelUnit::get_property(int index) const {
    auto number = [](std::uint32_t v) { return Value::integer(static_cast<std::int32_t>(v)); };
    switch (index) {
        case kCaption:
            return Value::text(m_block.caption);
        case 9:
            return number(m_block.property9);
        case kFont:
            return runtime::font_value(m_block.font);
        case kTextColour:
            return number(m_block.text_colour);
        case 12:
            return number(m_block.property12);
        case 13:
            return number(m_block.property13);
        case 14:
            return number(m_block.property14);
        default:
            return {};
    }
}

std::vector<std::uint8_t> TransLabelUnit::property_data() const {
    return runtime::encode_block(m_block);
}

}  // namespace wavlon::units
