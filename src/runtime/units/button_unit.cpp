#include "runtime/units/button_unit.h"

#include <QPixmap>
#include <QPushButton>

#include "runtime/conversions.h"
#include "runtime/event_dispatch.h"
#include "runtime/font_value.h"
#include "runtime/units/unit_block.h"
#include "runtime/units/unit_look.h"

namespace wavlon::units {

using runtime::PropertyType;
using runtime::Value;

const runtime::UnitTypeInfo& ButtonUnit::type_info() {
    static const runtime::UnitTypeInfo info = [] {
        runtime::UnitTypeInfo t;
        t.type_id = kTypeId;
        t.name = "按钮"_gb;
        t.english_name = "Button";
        t.flags = runtime::kTypeRaisesEvents;
        t.properties = runtime::common_properties_and({
            PropertyType::kPicture,
            PropertyType::kChoice,
            PropertyType::kText,
            PropertyType::kChoice,
            PropertyType::kChoice,
            PropertyType::kFont,
        });
        t.create = create_unit_with_block<ButtonUnit, runtime::decode_button_block>;
        return t;
    }();
    return info;
}

ButtonUnit::ButtonUnit(const runtime::UnitCreateParams& params, runtime::ButtonBlock block)
    : WidgetUnit(params, new QPushButton),
      m_button(static_cast<QPushButton*>(widget())),
      m_block(std::move(block)) {
    m_button->setAutoDefault(false);
    m_button->setText(to_qstring(m_block.caption));
    if (m_block.font) {
        m_button->setFont(qfont(m_block.font));
    }
    apply_picture();
    // Only the user clicks: the program never calls click().
    QObject::connect(m_button, &QPushButton::clicked, m_button,
                     [window = window_id(), unit = unit_id()] {
                         runtime::dispatch_event(window, unit, kClickEvent);
                     });
}

void ButtonUnit::apply_picture() {
    QPixmap picture;
    if (!m_block.picture.empty()) {
        picture.loadFromData(m_block.picture.data(), static_cast<uint>(m_block.picture.size()));
    }
    m_button->setIcon(QIcon(picture));
    m_button->setIconSize(picture.size());
}

void ButtonUnit::set_caption(const runtime::Text& caption) {
    m_block.caption = caption;
    m_button->setText(to_qstring(caption));
}

bool ButtonUnit::set_property(int index, const Value& value) {
    auto number = [&] { return static_cast<std::uint32_t>(runtime::to_integer(value)); };
    switch (index) {
        case kPicture: {
            const runtime::ByteSet* bytes = value.get<runtime::ByteSet>();
            m_block.picture = bytes ? bytes->bytes() : std::vector<std::uint8_t>{};
            apply_picture();
            break;
        }
        case 9:
            m_block.property9 = number();
            break;
        case kCaption:
            set_caption(runtime::to_text(value));
            break;
        case 11:
            m_block.property11 = number();
            break;
        case 12:
            m_block.property12 = number();
            break;
        case kFont:
            m_block.font = runtime::font_from_value(value);
            m_button->setFont(m_block.font ? qfont(m_block.font) : QFont());
            break;
        default:
            break;
    }
    return false;
}

Value ButtonUnit::get_property(int index) const {
    auto number = [](std::uint32_t v) { return Value::integer(static_cast<std::int32_t>(v)); };
    switch (index) {
        case kPicture:
            return Value::byte_set(runtime::ByteSet(m_block.picture));
        case 9:
            return number(m_block.property9);
        case kCaption:
            return Value::text(m_block.caption);
        case 11:
            return number(m_block.property11);
        case 12:
            return number(m_block.property12);
        case kFont:
            return runtime::font_value(m_block.font);
        default:
            return {};
    }
}

std::vector<std::uint8_t> ButtonUnit::property_data() const {
    return runtime::encode_block(m_block);
}

}  // namespace wavlon::units
