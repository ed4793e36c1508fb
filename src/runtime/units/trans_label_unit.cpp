#include "runtime/units/trans_label_unit.h"

#include <QLabel>

#include "runtime/units/unit_block.h"
#include "runtime/units/unit_look.h"

namespace wavlon::units {

using runtime::PropertyType;
using runtime::TransLabelBlock;

const PropertyTable<TransLabelUnit>& TransLabelUnit::properties() {
    using Rows = PropertyRows<&TransLabelUnit::m_block>;
    static constexpr auto rows = Rows::list(
        Rows::methods<&TransLabelUnit::caption, &TransLabelUnit::set_caption>(kCaption, "caption",
                                                                              PropertyType::kText),
        Rows::number<&TransLabelBlock::property9>(9, "property9", PropertyType::kChoice),
        Rows::font<&TransLabelBlock::font, &TransLabelUnit::apply_look>(kFont),
        Rows::number<&TransLabelBlock::text_colour, &TransLabelUnit::apply_look>(
            kTextColour, "text colour", PropertyType::kColour),
        Rows::number<&TransLabelBlock::property12>(12, "property12", PropertyType::kChoice),
        Rows::number<&TransLabelBlock::property13>(13, "property13", PropertyType::kLogical),
        Rows::number<&TransLabelBlock::property14>(14, "property14", PropertyType::kChoice));
    static constexpr PropertyTable<TransLabelUnit> table(rows);
    return table;
}

const runtime::UnitTypeInfo& TransLabelUnit::type_info() {
    static const runtime::UnitTypeInfo info =
        describe_unit_type<TransLabelUnit>("透明标签"_gb, "TransLabel", runtime::kTypeRaisesEvents,
                                           create_unit_with_block<TransLabelUnit>);
    return info;
}

TransLabelUnit::TransLabelUnit(const runtime::UnitCreateParams& params,
                               runtime::TransLabelBlock block)
    : WithPropertyTable(params, new QLabel),
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

std::vector<std::uint8_t> TransLabelUnit::property_data() const {
    return runtime::encode_block(m_block);
}

}  // namespace wavlon::units
