#include "runtime/units/edit_box_unit.h"

#include <QLineEdit>

#include "runtime/event_dispatch.h"
#include "runtime/units/unit_block.h"
#include "unit_look.h"

namespace wavlon::units {

using runtime::EditBoxBlock;
using runtime::PropertyType;

namespace {

QLineEdit* edit_of(const EditBoxUnit& unit) {
    return static_cast<QLineEdit*>(unit.widget());
}

}  // namespace

EditBoxUnit::EditBoxUnit(const runtime::UnitCreateParams& params, runtime::EditBoxBlock block)
    : WithPropertyTable(params, new QLineEdit),
      m_block(std::move(block)),
      m_kept(kept_numbers(properties())) {
    edit_of(*this)->setText(to_qstring(m_block.content));
    apply_look();
    QObject::connect(edit_of(*this), &QLineEdit::textEdited, edit_of(*this),
                     [window = window_id(), unit = unit_id()] {
                         runtime::dispatch_event(window, unit, kChangedEvent);
                     });
}

void EditBoxUnit::apply_look() {
    edit_of(*this)->setFont(m_block.font ? qfont(m_block.font) : QFont());
    edit_of(*this)->setPalette(QPalette());
    set_palette_colour(*edit_of(*this), QPalette::Text, m_block.text_colour);
    set_palette_colour(*edit_of(*this), QPalette::Base, m_block.background);
}

runtime::Text EditBoxUnit::content() const {
    return from_qstring(edit_of(*this)->text());
}

void EditBoxUnit::set_content(const runtime::Text& content) {
    edit_of(*this)->setText(to_qstring(content));
    raise(kChangedEvent);
}

}  // namespace wavlon::units
