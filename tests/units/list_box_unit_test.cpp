#include "runtime/units/list_box_unit.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QListWidget>

#include "runtime/unit_properties.h"
#include "support/main_window_driver.h"

namespace wavlon::testing {
namespace {

using namespace runtime;
using units::ListBoxUnit;

constexpr std::uint32_t kList = 0x16010078;

class ListBox : public UnitWindowTest {
protected:
    void SetUp() override {
        UnitWindowTest::SetUp();
        ListBoxBlock block;
        block.font = make_font("宋体"_gb, 20, true);
        block.background = colour_rgb(236, 236, 236);
        load({{kList,
               record(unit_types::kListBox, "列表框1", {8, 88, 408, 376}, encode_block(block))}});
        m_list = &unit<ListBoxUnit>(kList);
        m_widget = static_cast<QListWidget*>(m_list->widget());
        for (const char* name : {"一.mp3", "二.mp3", "三.mp3"}) {
            m_list->add_item(utf8_to_gbk(name), m_list->item_count() + 1);
        }
    }

    void click_row(int row) { click_list_row(m_widget, row); }
    void key(int code) {
        QKeyEvent press(QEvent::KeyPress, code, Qt::NoModifier);
        send_event(m_widget, press);
    }
    std::int32_t selection() {
        return *read_unit_property(kWindow, kList, ListBoxUnit::kSelection).get<std::int32_t>();
    }

    ListBoxUnit* m_list = nullptr;
    QListWidget* m_widget = nullptr;
};

TEST_F(ListBox, ItemMethodsAnswerWithinAndOutsideTheList) {
    EXPECT_EQ(m_list->item_count(), 3);
    EXPECT_EQ(m_list->add_item("四"_gb), 3);
    EXPECT_EQ(m_list->item_text(1), utf8_to_gbk("二.mp3"));
    EXPECT_EQ(m_list->item_value(2), 3);
    EXPECT_EQ(m_list->item_value(3), 0);  // the default item value
    for (std::int32_t outside : {-1, 4, 1000}) {
        EXPECT_EQ(m_list->item_text(outside), "");
        EXPECT_EQ(m_list->item_value(outside), -1);
        EXPECT_FALSE(m_list->select_item(outside));
    }
    EXPECT_EQ(selection(), -1);
    EXPECT_TRUE(m_list->select_item(2));
    EXPECT_EQ(selection(), 2);
    EXPECT_FALSE(m_list->select_item(-1));
    EXPECT_EQ(selection(), -1);
    m_list->clear_items();
    EXPECT_EQ(m_list->item_count(), 0);
    EXPECT_EQ(selection(), -1);
}

TEST_F(ListBox, ProgramSelectionClearingAddingAndFocusRaiseNothing) {
    m_list->select_item(1);
    write_unit_property(kWindow, kList, ListBoxUnit::kSelection, Value::integer(2));
    m_list->clear_items();
    m_list->add_item("五"_gb, 1);
    m_widget->setFocus();
    QFocusEvent focus(QEvent::FocusIn, Qt::TabFocusReason);
    send_event(m_widget, focus);
    EXPECT_EQ(events_of(kList, 0), 0);
}

TEST_F(ListBox, UserClicksRaiseTheEventEvenOnTheSelectedItem) {
    click_row(1);
    EXPECT_EQ(events_of(kList, 0), 1);
    EXPECT_EQ(selection(), 1);
    click_row(1);
    EXPECT_EQ(events_of(kList, 0), 2);
    click_row(2);
    EXPECT_EQ(events_of(kList, 0), 3);
    EXPECT_EQ(selection(), 2);
}

TEST_F(ListBox, KeyboardMovesRaiseTheEventOnlyWhenTheSelectionMoves) {
    m_list->select_item(1);
    key(Qt::Key_Down);
    EXPECT_EQ(selection(), 2);
    EXPECT_EQ(events_of(kList, 0), 1);
    key(Qt::Key_Down);  // already the last item
    EXPECT_EQ(events_of(kList, 0), 1);
    key(Qt::Key_Home);
    EXPECT_EQ(selection(), 0);
    EXPECT_EQ(events_of(kList, 0), 2);
}

}  // namespace
}  // namespace wavlon::testing
