#include "runtime/units/list_view_unit.h"

#include <QHeaderView>
#include <QTreeWidget>

#include "runtime/unit_properties.h"
#include "support/main_window_driver.h"

namespace wavlon::testing {
namespace {

using namespace runtime;
using units::ListViewUnit;

constexpr std::uint32_t kView = 0x160158FF;

ListViewBlock result_list_block() {
    ListViewBlock block;
    block.columns = {
        {0, -1, ColumnAlignment::kLeft, 0, "序号"_gb},
        {0, -1, ColumnAlignment::kCentre, 100, "歌曲名"_gb},
        {0, -1, ColumnAlignment::kCentre, 100, "歌手"_gb},
        {0, -1, ColumnAlignment::kCentre, 200, "歌曲URL地址"_gb},
    };
    return block;
}

class ListView : public UnitWindowTest {
protected:
    void SetUp() override {
        UnitWindowTest::SetUp();
        load({{kView, record(unit_types::kListView, "超级列表框1", {8, 8, 416, 376},
                             encode_block(result_list_block()))}});
        m_view = &unit<ListViewUnit>(kView);
    }
    std::int32_t current_row() {
        return *read_unit_property(kWindow, kView, ListViewUnit::kCurrentRow).get<std::int32_t>();
    }
    void double_click_row(int row) {
        double_click_tree_row(static_cast<QTreeWidget*>(m_view->widget()), row);
    }

    ListViewUnit* m_view = nullptr;
};

TEST_F(ListView, StoredColumnsShowInReportViewWithTheNumberColumnOutOfSight) {
    QTreeWidget* tree = static_cast<QTreeWidget*>(m_view->widget());
    ASSERT_EQ(tree->columnCount(), 4);
    EXPECT_FALSE(tree->isHeaderHidden());
    const char* headings[] = {"序号", "歌曲名", "歌手", "歌曲URL地址"};
    const int widths[] = {0, 100, 100, 200};
    for (int column = 0; column < 4; ++column) {
        EXPECT_EQ(tree->headerItem()->text(column).toStdString(), headings[column]);
        EXPECT_EQ(tree->header()->sectionSize(column), widths[column]);
    }
}

TEST_F(ListView, InsertItemAppendsOrInsertsAndAnswersTheRowIndex) {
    m_view->delete_all_items();  // on an empty list: nothing happens
    EXPECT_EQ(m_view->insert_item(), 0);
    for (int i = 1; i < 5; ++i) {
        m_view->insert_item(std::nullopt, utf8_to_gbk(std::to_string(i)));
    }
    EXPECT_EQ(m_view->insert_item(), 5);
    EXPECT_EQ(m_view->insert_item(-7, "末"_gb), 6);
    EXPECT_EQ(m_view->insert_item(99, "外"_gb), 7);
    EXPECT_EQ(m_view->insert_item(1, "插"_gb), 1);
    EXPECT_EQ(m_view->get_item_text(1), "插"_gb);
    EXPECT_EQ(m_view->get_item_text(2), "1");
    EXPECT_EQ(m_view->item_count(), 9);
    m_view->delete_all_items();
    EXPECT_EQ(m_view->item_count(), 0);
}

TEST_F(ListView, CellsHoldTextsOfAnyLength) {
    std::int32_t row = m_view->insert_item();
    Text long_text;
    for (int i = 0; i < 1000; ++i) {
        long_text += "歌"_gb;  // 2000 bytes in all
    }
    ASSERT_EQ(long_text.size(), 2000u);
    m_view->set_item_text(row, 3, long_text);
    m_view->set_item_text(row, 1, "标题"_gb);
    EXPECT_EQ(m_view->get_item_text(row, 3), long_text);
    EXPECT_EQ(m_view->get_item_text(row, 1), "标题"_gb);
    // Cells that do not exist: nothing written, the empty text read.
    m_view->set_item_text(row, 4, "x");
    m_view->set_item_text(5, 1, "x");
    EXPECT_EQ(m_view->get_item_text(row, 4), "");
    EXPECT_EQ(m_view->get_item_text(-1, 0), "");
    EXPECT_EQ(m_view->get_item_text(row, 2), "");
}

TEST_F(ListView, DoubleClickRaisesMinusThreeWithTheClickedRowCurrent) {
    for (int i = 0; i < 3; ++i) {
        m_view->insert_item(std::nullopt, utf8_to_gbk(std::to_string(i)));
    }
    EXPECT_EQ(current_row(), -1);
    double_click_row(2);
    EXPECT_EQ(events_of(kView, -3), 1);
    EXPECT_EQ(current_row(), 2);
    EXPECT_EQ(events_of(kView, 0), 0);
}

}  // namespace
}  // namespace wavlon::testing
