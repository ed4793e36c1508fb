#include "runtime/units/trans_label_unit.h"

#include <QLabel>

#include "runtime/units/unit_block.h"
#include "unit_look.h"

namespace wavlon::units {

using runtime::PropertyType;
using runtime::TransLabelBlock;

namespace {

QLabel* label_of(const TransLabelUnit& unit) {
    return static_cast<QLabel*>(unit.widget());
}

}  // namespace

TransLabelUnit::TransLabelUnit(const runtime::UnitCreateParams& params,
                               runtime::TransLabelBlock block)
    : WithPropertyTable(params, new QLabel), m_block(std::move(block)) {
    label_of(*this)->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label_of(*this)->setTextFormat(Qt::PlainText);
    label_of(*this)->setWordWrap(false);
    label_of(*this)->setAutoFillBackground(false);
    label_of(*this)->setAttribute(Qt::WA_TranslucentBackground);
    label_of(*this)->setText(to_qstring(m_block.caption));
    apply_look();
}

void TransLabelUnit::apply_look() {
    if (m_block.font) {
        label_of(*this)->setFont(qfont(m_block.font));
    } else {
        label_of(*this)->setFont(QFont());  // nothing set: the window's font
    }
    QPalette palette = label_of(*this)->palette();
    palette.setColor(QPalette::WindowText, qcolour(m_block.text_colour & 0x00FFFFFF));
    label_of(*this)->setPalette(palette);
}

void TransLabelUnit::set_caption(const runtime::Text& caption) {
    m_block.caption = caption;
    label_of(*this)->setText(to_qstring(caption));
}

}  // namespace wavlon::units
