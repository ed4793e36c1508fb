#include "runtime/units/list_view_unit.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QTreeWidget>
#include <algorithm>

#include "runtime/units/unit_block.h"
#include "runtime/units/unit_look.h"

namespace wavlon::units {

using runtime::ListViewBlock;
using runtime::PropertyType;

namespace {

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

const PropertyTable<ListViewUnit>& ListViewUnit::properties() {
    using Rows = PropertyRows<&ListViewUnit::m_block>;
    static constexpr auto rows =
        Rows::list(Rows::number<&ListViewBlock::view_type, &ListViewUnit::apply_columns>(
                       kViewType, "view type", PropertyType::kChoice),
                   Rows::look<&ListViewUnit::apply_look>(kTextColour, kBackground, kFont),
                   Rows::kept<&ListViewUnit::m_kept>(12, 34),
                   Rows::methods<&ListViewUnit::current_row, &ListViewUnit::select_row>(
                       kCurrentRow, "current row", PropertyType::kInteger),
                   Rows::kept<&ListViewUnit::m_kept>(36, 38));
    static constexpr PropertyTable<ListViewUnit> table(rows);
    return table;
}

const runtime::UnitTypeInfo& ListViewUnit::type_info() {
    static const runtime::UnitTypeInfo info =
        describe_unit_type<ListViewUnit>("超级列表框"_gb, "ListView", runtime::kTypeRaisesEvents,
                                         create_unit_with_block<ListViewUnit>);
    return info;
}

ListViewUnit::ListViewUnit(const runtime::UnitCreateParams& params, runtime::ListViewBlock block)
    : WithPropertyTable(params, new ListViewWidget),
      m_view(static_cast<ListViewWidget*>(widget())),
      m_block(std::move(block)),
      m_kept(kept_numbers(properties())) {
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

void ListViewUnit::select_row(std::int32_t row) {
    QTreeWidgetItem* item = m_view->topLevelItem(row);
    m_view->clearSelection();
    if (item) {
        m_view->setCurrentItem(item);
        item->setSelected(true);
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
