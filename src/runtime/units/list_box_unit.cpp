#include "runtime/units/list_box_unit.h"

#include <QKeyEvent>
#include <QListWidget>
#include <QMouseEvent>

#include <cassert>

#include "runtime/event_dispatch.h"
#include "runtime/units/unit_block.h"
#include "runtime/units/unit_look.h"

namespace wavlon::units {

using runtime::PropertyType;

// Tells user picks from program changes by watching the input events themselves.
class ListBoxWidget final : public QListWidget {
public:
    ListBoxWidget(std::uint32_t window_id, std::uint32_t unit_id)
        : m_window_id(window_id), m_unit_id(unit_id) {}

    std::int32_t selected_row() const {
        const QList<QListWidgetItem*> items = selectedItems();
        return items.isEmpty() ? -1 : row(items.first());
    }

protected:
    void mousePressEvent(QMouseEvent* event) override {
        bool on_item = itemAt(event->position().toPoint()) != nullptr;
        std::int32_t before = selected_row();
        QListWidget::mousePressEvent(event);
        if ((on_item && event->button() == Qt::LeftButton) || selected_row() != before) {
            picked();
        }
    }
    void mouseMoveEvent(QMouseEvent* event) override {
        std::int32_t before = selected_row();
        QListWidget::mouseMoveEvent(event);
        if (selected_row() != before) {
            picked();  // dragging with the button down walks the selection
        }
    }
    void keyPressEvent(QKeyEvent* event) override {
        std::int32_t before = selected_row();
        QListWidget::keyPressEvent(event);
        if (selected_row() != before) {
            picked();
        }
    }

private:
    void picked() { runtime::dispatch_event(m_window_id, m_unit_id, ListBoxUnit::kSelectionEvent); }

    std::uint32_t m_window_id;
    std::uint32_t m_unit_id;
};

const PropertyTable<ListBoxUnit>& ListBoxUnit::properties() {
    using Rows = PropertyRows<&ListBoxUnit::m_block>;
    static constexpr auto rows =
        Rows::list(Rows::kept<&ListBoxUnit::m_kept>(8, 8, "setting", PropertyType::kChoice),
                   Rows::look<&ListBoxUnit::apply_look>(kTextColour, kBackground, kFont),
                   Rows::kept<&ListBoxUnit::m_kept>(12, 15),
                   Rows::methods<&ListBoxUnit::selection, &ListBoxUnit::select_item>(
                       kSelection, "selection", PropertyType::kInteger),
                   Rows::kept<&ListBoxUnit::m_kept>(17, 21));
    static constexpr PropertyTable<ListBoxUnit> table(rows);
    return table;
}

const runtime::UnitTypeInfo& ListBoxUnit::type_info() {
    static const runtime::UnitTypeInfo info = describe_unit_type<ListBoxUnit>(
        "列表框"_gb, "ListBox", runtime::kTypeRaisesEvents, create_unit_with_block<ListBoxUnit>);
    return info;
}

ListBoxUnit::ListBoxUnit(const runtime::UnitCreateParams& params, runtime::ListBoxBlock block)
    : WithPropertyTable(params, new ListBoxWidget(params.window_id, params.unit_id)),
      m_list(static_cast<ListBoxWidget*>(widget())),
      m_block(std::move(block)),
      m_kept(kept_numbers(properties())) {
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setUniformItemSizes(true);
    watch_common_events(m_list->viewport());
    apply_look();
}

void ListBoxUnit::apply_look() {
    m_list->setFont(m_block.font ? qfont(m_block.font) : QFont());
    m_list->setPalette(QPalette());
    set_palette_colour(*m_list, QPalette::Text, m_block.text_colour);
    set_palette_colour(*m_list, QPalette::Base, m_block.background);
}

std::int32_t ListBoxUnit::item_count() const {
    return m_list->count();
}

std::int32_t ListBoxUnit::add_item(const runtime::Text& text, std::int32_t value) {
    m_list->addItem(to_qstring(text));
    m_values.push_back(value);
    return m_list->count() - 1;
}

void ListBoxUnit::add_items(std::span<const runtime::Text> texts,
                            std::span<const std::int32_t> values) {
    assert(texts.size() == values.size());
    QStringList labels;
    labels.reserve(static_cast<qsizetype>(texts.size()));
    for (const runtime::Text& text : texts) {
        labels.append(to_qstring(text));
    }
    // One insertion of all rows: the view lays itself out once.
    m_list->addItems(labels);
    m_values.insert(m_values.end(), values.begin(), values.end());
}

void ListBoxUnit::clear_items() {
    m_list->clear();
    m_values.clear();
}

runtime::Text ListBoxUnit::item_text(std::int32_t index) const {
    QListWidgetItem* item = m_list->item(index);
    return item ? from_qstring(item->text()) : runtime::Text{};
}

std::int32_t ListBoxUnit::item_value(std::int32_t index) const {
    return index >= 0 && static_cast<std::size_t>(index) < m_values.size()
               ? m_values[static_cast<std::size_t>(index)]
               : -1;
}

bool ListBoxUnit::select_item(std::int32_t index) {
    QListWidgetItem* item = m_list->item(index);
    if (!item) {
        m_list->clearSelection();
        return false;
    }
    m_list->setCurrentItem(item);
    item->setSelected(true);
    m_list->scrollToItem(item);
    return true;
}

std::int32_t ListBoxUnit::selection() const {
    return m_list->selected_row();
}

std::vector<std::uint8_t> ListBoxUnit::property_data() const {
    return runtime::encode_block(m_block);
}

}  // namespace wavlon::units
