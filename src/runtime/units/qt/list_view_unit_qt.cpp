#include "runtime/units/list_view_unit.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QTreeWidget>
#include <algorithm>

#include "runtime/units/unit_block.h"
#include "unit_look.h"

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

namespace {

ListViewWidget* view_of(const ListViewUnit& unit) {
    return static_cast<ListViewWidget*>(unit.widget());
}

}  // namespace

ListViewUnit::ListViewUnit(const runtime::UnitCreateParams& params, runtime::ListViewBlock block)
    : WithPropertyTable(params, new ListViewWidget),
      m_block(std::move(block)),
      m_kept(kept_numbers(properties())) {
    view_of(*this)->setRootIsDecorated(false);
    view_of(*this)->setItemsExpandable(false);
    view_of(*this)->setUniformRowHeights(true);
    view_of(*this)->setSelectionMode(QAbstractItemView::SingleSelection);
    view_of(*this)->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_of(*this)->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_of(*this)->setTextElideMode(Qt::ElideRight);
    watch_common_events(view_of(*this)->viewport());
    apply_columns();
    apply_look();
}

void ListViewUnit::apply_columns() {
    // The columns apply in report view only; other views show one unnamed column.
    bool report = m_block.view_type == runtime::kListViewReport;
    const auto& columns = m_block.columns;
    view_of(*this)->setHeaderHidden(!report);
    view_of(*this)->setColumnCount(report ? std::max<int>(1, static_cast<int>(columns.size())) : 1);
    QHeaderView* header = view_of(*this)->header();
    header->setStretchLastSection(false);
    header->setMinimumSectionSize(0);
    header->setSectionsMovable(false);
    if (!report) {
        return;
    }
    QTreeWidgetItem* heading = view_of(*this)->headerItem();
    for (std::size_t i = 0; i < columns.size(); ++i) {
        int column = static_cast<int>(i);
        heading->setText(column, to_qstring(columns[i].heading));
        heading->setTextAlignment(column, alignment_of(columns[i].alignment));
        header->resizeSection(column,
                              static_cast<int>(std::min<std::uint32_t>(columns[i].width, 32767)));
    }
}

void ListViewUnit::apply_look() {
    view_of(*this)->setFont(m_block.font ? qfont(m_block.font) : QFont());
    view_of(*this)->setPalette(QPalette());
    set_palette_colour(*view_of(*this), QPalette::Text, m_block.text_colour);
    set_palette_colour(*view_of(*this), QPalette::Base, m_block.background);
}

std::int32_t ListViewUnit::insert_item(std::optional<std::int32_t> position,
                                       const runtime::Text& text, std::optional<std::int32_t> image,
                                       std::optional<std::int32_t> state_image,
                                       std::optional<std::int32_t> indent,
                                       std::optional<std::int32_t> item_data) {
    int count = view_of(*this)->topLevelItemCount();
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
    view_of(*this)->insertTopLevelItem(row, item);
    return row;
}

void ListViewUnit::set_item_text(std::int32_t row, std::int32_t column, const runtime::Text& text) {
    QTreeWidgetItem* item = row >= 0 ? view_of(*this)->topLevelItem(row) : nullptr;
    if (item && column >= 0 && column < view_of(*this)->columnCount()) {
        item->setText(column, to_qstring(text));
    }
}

runtime::Text ListViewUnit::get_item_text(std::int32_t row, std::int32_t column) const {
    QTreeWidgetItem* item = row >= 0 ? view_of(*this)->topLevelItem(row) : nullptr;
    if (!item || column < 0 || column >= view_of(*this)->columnCount()) {
        return {};
    }
    return from_qstring(item->text(column));
}

void ListViewUnit::delete_all_items() {
    view_of(*this)->clear();
}

std::int32_t ListViewUnit::item_count() const {
    return view_of(*this)->topLevelItemCount();
}

std::int32_t ListViewUnit::current_row() const {
    for (int row = 0; row < view_of(*this)->topLevelItemCount(); ++row) {
        if (view_of(*this)->topLevelItem(row)->isSelected()) {
            return row;
        }
    }
    return -1;
}

void ListViewUnit::select_row(std::int32_t row) {
    QTreeWidgetItem* item = view_of(*this)->topLevelItem(row);
    view_of(*this)->clearSelection();
    if (item) {
        view_of(*this)->setCurrentItem(item);
        item->setSelected(true);
    }
}

std::vector<std::uint8_t> ListViewUnit::property_data() const {
    runtime::ListViewBlock block = m_block;
    // Widths the user dragged are kept.
    for (std::size_t i = 0;
         i < block.columns.size() && static_cast<int>(i) < view_of(*this)->columnCount(); ++i) {
        block.columns[i].width =
            static_cast<std::uint32_t>(view_of(*this)->header()->sectionSize(static_cast<int>(i)));
    }
    return runtime::encode_block(block);
}

}  // namespace wavlon::units
