#include "runtime/units/list_view_unit.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QTreeWidget>
#include <algorithm>

#include "runtime/conversions.h"
#include "runtime/font_value.h"
#include "runtime/units/unit_block.h"
#include "runtime/units/unit_look.h"

namespace wavlon::units {

using runtime::PropertyType;
using runtime::Value;

namespace {

constexpr int kPropertyCount = 39;
constexpr int kDataRole = Qt::UserRole;
constexpr int kImageRole = Qt::UserRole + 1;
constexpr int kStateImageRole = Qt::UserRole + 2;
constexpr int kIndentRole = Qt::UserRole + 3;

Qt::Alignment alignment_of(runtime::ColumnAlignment alignment) {
    switch (alignment) {
        case runtime::ColumnAlignment::kCentre:
            return Qt::AlignHCenter | Qt::AlignVCenter;
        case runtime::ColumnAlignment::kRight:
            return Qt::AlignRight | Qt::AlignVCenter;
        default:
            return Qt::AlignLeft | Qt::AlignVCenter;
    }
}

}  // namespace

// A press on empty space clears the selection, as the platform's list views do, so that a
// double click there names no row.
class ListViewWidget final : public QTreeWidget {
protected:
    void mousePressEvent(QMouseEvent* event) override {
        if (!indexAt(event->position().toPoint()).isValid()) {
            clearSelection();
        }
        QTreeWidget::mousePressEvent(event);
    }
};

const runtime::UnitTypeInfo& ListViewUnit::type_info() {
    static const runtime::UnitTypeInfo info = [] {
        runtime::UnitTypeInfo t;
        t.type_id = kTypeId;
        t.name = "超级列表框"_gb;
        t.english_name = "ListView";
        t.flags = runtime::kTypeRaisesEvents;
        t.properties =
            runtime::common_properties_and({PropertyType::kChoice, PropertyType::kColour,
                                            PropertyType::kBackColour, PropertyType::kFont});
        t.properties.resize(kPropertyCount, {PropertyType::kInteger, 0});
        t.create = create_unit_with_block<ListViewUnit, runtime::decode_list_view_block>;
        return t;
    }();
    return info;
}

ListViewUnit::ListViewUnit(const runtime::UnitCreateParams& params, runtime::ListViewBlock block)
    : WidgetUnit(params, new ListViewWidget),
      m_view(static_cast<ListViewWidget*>(widget())),
      m_block(std::move(block)),
      m_other(kPropertyCount) {
    m_view->setRootIsDecorated(false);
    m_view->setItemsExpandable(false);
    m_view->setUniformRowHeights(true);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setTextElideMode(Qt::ElideRight);
    watch_common_events(m_view->viewport());
    apply_columns();
    apply_look();
}

QTreeWidget* ListViewUnit::tree() const {
    return m_view;
}

void ListViewUnit::apply_columns() {
    // The columns apply in report view only; other views show one unnamed column.
    bool report = m_block.view_type == runtime::kListViewReport;
    const auto& columns = m_block.columns;
    m_view->setHeaderHidden(!report);
    m_view->setColumnCount(report ? std::max<int>(1, static_cast<int>(columns.size())) : 1);
    QHeaderView* header = m_view->header();
    header->setStretchLastSection(false);
    header->setMinimumSectionSize(0);
    header->setSectionsMovable(false);
    if (!report) {
        return;
    }
    QTreeWidgetItem* heading = m_view->headerItem();
    for (std::size_t i = 0; i < columns.size(); ++i) {
        int column = static_cast<int>(i);
        heading->setText(column, to_qstring(columns[i].heading));
        heading->setTextAlignment(column, alignment_of(columns[i].alignment));
        header->resizeSection(column,
                              static_cast<int>(std::min<std::uint32_t>(columns[i].width, 32767)));
    }
}

void ListViewUnit::apply_look() {
    m_view->setFont(m_block.font ? qfont(m_block.font) : QFont());
    m_view->setPalette(QPalette());
    set_palette_colour(*m_view, QPalette::Text, m_block.text_colour);
    set_palette_colour(*m_view, QPalette::Base, m_block.background);
}

std::int32_t ListViewUnit::insert_item(std::optional<std::int32_t> position,
                                       const runtime::Text& text, std::optional<std::int32_t> image,
                                       std::optional<std::int32_t> state_image,
                                       std::optional<std::int32_t> indent,
                                       std::optional<std::int32_t> item_data) {
    int count = m_view->topLevelItemCount();
    int row = !position || *position < 0 || *position > count ? count : *position;
    auto* item = new QTreeWidgetItem;
    item->setText(0, to_qstring(text));
    item->setData(0, kImageRole, std::max(image.value_or(-1), -1));
    // Stored as (value + 1), values below -1 counting as -1.
    item->setData(0, kStateImageRole, std::max(state_image.value_or(-1), -1) + 1);
    item->setData(0, kIndentRole, std::max(indent.value_or(0), 0));
    item->setData(0, kDataRole, item_data.value_or(0));
    for (std::size_t i = 0; i < m_block.columns.size(); ++i) {
        item->setTextAlignment(static_cast<int>(i), alignment_of(m_block.columns[i].alignment));
    }
    m_view->insertTopLevelItem(row, item);
    return row;
}

void ListViewUnit::set_item_text(std::int32_t row, std::int32_t column, const runtime::Text& text) {
    QTreeWidgetItem* item = row >= 0 ? m_view->topLevelItem(row) : nullptr;
    if (item && column >= 0 && column < m_view->columnCount()) {
        item->setText(column, to_qstring(text));
    }
}

runtime::Text ListViewUnit::get_item_text(std::int32_t row, std::int32_t column) const {
    QTreeWidgetItem* item = row >= 0 ? m_view->topLevelItem(row) : nullptr;
    if (!item || column < 0 || column >= m_view->columnCount()) {
        return {};
    }
    return from_qstring(item->text(column));
}

void ListViewUnit::delete_all_items() {
    m_view->clear();
}

std::int32_t ListViewUnit::item_count() const {
    return m_view->topLevelItemCount();
}

std::int32_t ListViewUnit::current_row() const {
    for (int row = 0; row < m_view->topLevelItemCount(); ++row) {
        if (m_view->topLevelItem(row)->isSelected()) {
            return row;
        }
    }
    return -1;
}

bool ListViewUnit::set_property(int index, const Value& value) {
    auto number = [&] { return static_cast<std::uint32_t>(runtime::to_integer(value)); };
    switch (index) {
        case kViewType:
            m_block.view_type = number();
            apply_columns();
            break;
        case kTextColour:
            m_block.text_colour = number();
            apply_look();
            break;
        case kBackground:
            m_block.background = number();
            apply_look();
            break;
        case kFont:
            m_block.font = runtime::font_from_value(value);
            apply_look();
            break;
        case kCurrentRow: {
            QTreeWidgetItem* item = m_view->topLevelItem(runtime::to_integer(value));
            m_view->clearSelection();
            if (item) {
                m_view->setCurrentItem(item);
                item->setSelected(true);
            }
            break;
        }
        default:
            m_other.set(index, value);
            break;
    }
    return false;
}

Value ListViewUnit::get_property(int index) const {
    switch (index) {
        case kViewType:
            return Value::integer(static_cast<std::int32_t>(m_block.view_type));
        case kTextColour:
            return Value::integer(static_cast<std::int32_t>(m_block.text_colour));
        case kBackground:
            return Value::integer(static_cast<std::int32_t>(m_block.background));
        case kFont:
            return runtime::font_value(m_block.font);
        case kCurrentRow:
            return Value::integer(current_row());
        default:
            return m_other.get(index);
    }
}

std::vector<std::uint8_t> ListViewUnit::property_data() const {
    runtime::ListViewBlock block = m_block;
    // Widths the user dragged are kept.
    for (std::size_t i = 0; i < block.columns.size() && static_cast<int>(i) < m_view->columnCount();
         ++i) {
        block.columns[i].width =
            static_cast<std::uint32_t>(m_view->header()->sectionSize(static_cast<int>(i)));
    }
    return runtime::encode_block(block);
}

}  // namespace wavlon::units
