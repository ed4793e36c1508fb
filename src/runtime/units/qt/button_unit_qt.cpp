#include "runtime/units/button_unit.h"

#include <QPixmap>
#include <QPushButton>

#include "runtime/event_dispatch.h"
#include "runtime/units/unit_block.h"
#include "unit_look.h"

namespace wavlon::units {

using runtime::ButtonBlock;
using runtime::PropertyType;

namespace {

QPushButton* button_of(const ButtonUnit& unit) {
    return static_cast<QPushButton*>(unit.widget());
}

}  // namespace

ButtonUnit::ButtonUnit(const runtime::UnitCreateParams& params, ButtonBlock block)
    : WithPropertyTable(params, new QPushButton), m_block(std::move(block)) {
    button_of(*this)->setAutoDefault(false);
    button_of(*this)->setText(to_qstring(m_block.caption));
    if (m_block.font) {
        button_of(*this)->setFont(qfont(m_block.font));
    }
    apply_picture();
    // Only the user clicks: the program never calls click().
    QObject::connect(button_of(*this), &QPushButton::clicked, button_of(*this),
                     [window = window_id(), unit = unit_id()] {
                         runtime::dispatch_event(window, unit, kClickEvent);
                     });
}

void ButtonUnit::apply_picture() {
    QPixmap picture;
    if (!m_block.picture.empty()) {
        picture.loadFromData(m_block.picture.data(), static_cast<uint>(m_block.picture.size()));
    }
    button_of(*this)->setIcon(QIcon(picture));
    button_of(*this)->setIconSize(picture.size());
}

void ButtonUnit::apply_font() {
    button_of(*this)->setFont(m_block.font ? qfont(m_block.font) : QFont());
}

void ButtonUnit::set_caption(const runtime::Text& caption) {
    m_block.caption = caption;
    button_of(*this)->setText(to_qstring(caption));
}

}  // namespace wavlon::units
