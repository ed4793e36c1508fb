#include "runtime/units/button_unit.h"

#include <QPixmap>
#include <QPushButton>

#include "runtime/event_dispatch.h"
#include "runtime/units/unit_block.h"
#include "runtime/units/unit_look.h"

namespace wavlon::units {

using runtime::ButtonBlock;
using runtime::PropertyType;

const PropertyTable<ButtonUnit>& ButtonUnit::properties() {
    using Rows = PropertyRows<&ButtonUnit::m_block>;
    static constexpr auto rows =
        Rows::list(Rows::bytes<&ButtonBlock::picture, &ButtonUnit::apply_picture>(
                       kPicture, "picture", PropertyType::kPicture),
                   Rows::number<&ButtonBlock::property9>(9, "property9", PropertyType::kChoice),
                   Rows::methods<&ButtonUnit::caption, &ButtonUnit::set_caption>(
                       kCaption, "caption", PropertyType::kText),
                   Rows::number<&ButtonBlock::property11>(11, "property11", PropertyType::kChoice),
                   Rows::number<&ButtonBlock::property12>(12, "property12", PropertyType::kChoice),
                   Rows::font<&ButtonBlock::font, &ButtonUnit::apply_font>(kFont));
    static constexpr PropertyTable<ButtonUnit> table(rows);
    return table;
}

const runtime::UnitTypeInfo& ButtonUnit::type_info() {
    static const runtime::UnitTypeInfo info = describe_unit_type<ButtonUnit>(
        "按钮"_gb, "Button", runtime::kTypeRaisesEvents, create_unit_with_block<ButtonUnit>);
    return info;
}

ButtonUnit::ButtonUnit(const runtime::UnitCreateParams& params, ButtonBlock block)
    : WithPropertyTable(params, new QPushButton),
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

void ButtonUnit::apply_font() {
    m_button->setFont(m_block.font ? qfont(m_block.font) : QFont());
}

void ButtonUnit::set_caption(const runtime::Text& caption) {
    m_block.caption = caption;
    m_button->setText(to_qstring(caption));
}

std::vector<std::uint8_t> ButtonUnit::property_data() const {
    return runtime::encode_block(m_block);
}

}  // namespace wavlon::units
