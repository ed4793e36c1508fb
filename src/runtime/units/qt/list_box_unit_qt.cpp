#include "runtime/units/list_box_unit.h"

#include <QKeyEvent>
#include <QListWidget>
#include <QMouseEvent>

#include <cassert>

#include "runtime/event_dispatch.h"
#include "runtime/units/unit_block.h"
#include "unit_look.h"

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

namespace {

ListBoxWidget* list_of(const ListBoxUnit& unit) {
    return static_cast<ListBoxWidget*>(unit.widget());
}

}  // namespace

ListBoxUnit::ListBoxUnit(const runtime::UnitCreateParams& params, runtime::ListBoxBlock block)
    : WithPropertyTable(params, new ListBoxWidget(params.window_id, params.unit_id)),
      m_block(std::move(block)),
      m_kept(kept_numbers(properties())) {
    list_of(*this)->setSelectionMode(QAbstractItemView::SingleSelection);
    list_of(*this)->setUniformItemSizes(true);
    watch_common_events(list_of(*this)->viewport());
    apply_look();
}

void ListBoxUnit::apply_look() {
    list_of(*this)->setFont(m_block.font ? qfont(m_block.font) : QFont());
    list_of(*this)->setPalette(QPalette());
    set_palette_colour(*list_of(*this), QPalette::Text, m_block.text_colour);
    set_palette_colour(*list_of(*this), QPalette::Base, m_block.background);
}

std::int32_t ListBoxUnit::item_count() const {
    return list_of(*this)->count();
}

std::int32_t ListBoxUnit::add_item(const runtime::Text& text, std::int32_t value) {
    list_of(*this)->addItem(to_qstring(text));
    m_values.push_back(value);
    return list_of(*this)->count() - 1;
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
    list_of(*this)->addItems(labels);
    m_values.insert(m_values.end(), values.begin(), values.end());
}

void ListBoxUnit::clear_items() {
    list_of(*this)->clear();
    m_values.clear();
}

runtime::Text ListBoxUnit::item_text(std::int32_t index) const {
    QListWidgetItem* item = list_of(*this)->item(index);
    return item ? from_qstring(item->text()) : runtime::Text{};
}

bool ListBoxUnit::select_item(std::int32_t index) {
    QListWidgetItem* item = list_of(*this)->item(index);
    if (!item) {
        list_of(*this)->clearSelection();
        return false;
    }
    list_of(*this)->setCurrentItem(item);
    item->setSelected(true);
    list_of(*this)->scrollToItem(item);
    return true;
}

std::int32_t ListBoxUnit::selection() const {
    return list_of(*this)->selected_row();
}

}  // namespace wavlon::units
