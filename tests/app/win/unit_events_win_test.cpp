// Which input raises a unit's event on the system's controls: a user's pick, drag or typing
// does; the program's own writes and input that changes nothing do not. The program relies on
// it: 列表框1's event plays the chosen track, the sliders' seek and set the volume.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "runtime/event_dispatch.h"
#include "runtime/message_loop.h"
#include "runtime/template_blocks.h"
#include "runtime/template_format.h"
#include "runtime/units/edit_box_unit.h"
#include "runtime/units/list_box_unit.h"
#include "runtime/units/slider_bar_unit.h"
#include "runtime/units/standard_units.h"
#include "runtime/units/unit_access.h"
#include "runtime/window_loader.h"
#include "runtime/window_table.h"

namespace wavlon::testing {
namespace {

using namespace runtime;

constexpr std::uint32_t kWindow = 0x52010001;
constexpr std::uint32_t kList = 0x16010001;
constexpr std::uint32_t kSlider = 0x16010002;
constexpr std::uint32_t kEdit = 0x16010003;

SliderBarBlock slider_block() {
    SliderBarBlock block;
    block.set_range(0, 100, 0);
    return block;
}

class UnitEvents : public ::testing::Test {
protected:
    void SetUp() override {
        units::register_standard_units();
        WindowBlock block;
        block.id = kWindow;
        UnitRecord own;
        own.type = unit_types::kWindow;
        own.width = 640;
        own.height = 480;
        own.flags = kFlagVisible;
        own.type_block = encode_block(WindowFormBlock{});
        block.store.ids = {0x06010000, kList, kSlider, kEdit};
        block.store.records = {
            own,
            unit(unit_types::kListBox, "list", {10, 10, 200, 200}, encode_block(ListBoxBlock{})),
            unit(unit_types::kSliderBar, "slider", {220, 10, 300, 30},
                 encode_block(slider_block())),
            unit(unit_types::kEditBox, "edit", {220, 60, 300, 24}, encode_block(EditBoxBlock{}))};
        WindowTemplate window_template;
        window_template.windows.push_back(block);
        static const char* const kNames[] = {"event"};
        install_window_template(encode_template(window_template), kNames,
                                [this](std::string_view) -> Routine {
                                    return [this](std::span<const Value>) {
                                        events.push_back(current_event_source()->unit_id);
                                        return Value{};
                                    };
                                });
        ASSERT_TRUE(load_window(kWindow));
        list = units::widget_of(live_unit(kWindow, kList));
        auto& items = units::unit_as<units::ListBoxUnit>(kWindow, kList);
        for (const char* name : {"a", "b", "c"}) {
            items.add_item(Text(std::string(name)));
        }
        events.clear();
    }
    void TearDown() override {
        uninstall_window_template();
        process_pending_events();
    }
    static UnitRecord unit(std::uint32_t type, const char* name, UnitRect rect,
                           std::vector<std::uint8_t> block) {
        UnitRecord record;
        record.type = type;
        record.name = Text(std::string(name));
        record.left = rect.left;
        record.top = rect.top;
        record.width = rect.width;
        record.height = rect.height;
        record.flags = kFlagVisible | kFlagTabStop;
        record.events = {{0, 0}};
        record.type_block = std::move(block);
        return record;
    }
    int events_of(std::uint32_t unit_id) const {
        return static_cast<int>(std::count(events.begin(), events.end(), unit_id));
    }
    LPARAM item_point(int row) const {
        RECT item{};
        SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(row),
                     reinterpret_cast<LPARAM>(&item));
        return MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
    }
    void click(LPARAM at) {
        SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageW(list, WM_LBUTTONUP, 0, at);
    }

    HWND list = nullptr;
    std::vector<std::uint32_t> events;
};

TEST_F(UnitEvents, ListBoxRaisesForAPickAndAMoveOnly) {
    auto& items = units::unit_as<units::ListBoxUnit>(kWindow, kList);
    struct Step {
        const char* what;
        std::function<void()> input;
        int events;
        int selection;
    };
    const Step steps[] = {
        {"the program selects", [&] { items.select_item(1); }, 0, 1},
        {"a click on an item", [&] { click(item_point(0)); }, 1, 0},
        {"a click on the selected item again", [&] { click(item_point(0)); }, 1, 0},
        {"the down key", [&] { SendMessageW(list, WM_KEYDOWN, VK_DOWN, 0); }, 1, 1},
        {"the up key", [&] { SendMessageW(list, WM_KEYDOWN, VK_UP, 0); }, 1, 0},
        {"the up key on the first item", [&] { SendMessageW(list, WM_KEYDOWN, VK_UP, 0); }, 0, 0},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        events.clear();
        step.input();
        process_pending_events();
        EXPECT_EQ(events_of(kList), step.events);
        EXPECT_EQ(items.selection(), step.selection);
    }
}

TEST_F(UnitEvents, SliderAndEditBoxRaiseForTheUsersChangesOnly) {
    auto& slider = units::unit_as<units::SliderBarUnit>(kWindow, kSlider);
    HWND track = units::widget_of(live_unit(kWindow, kSlider));
    HWND window = GetParent(track);
    slider.set_maximum(100);
    slider.set_position(500);  // held at the limit the unit allows, shown at the range's end
    EXPECT_EQ(events_of(kSlider), 0);
    auto notify = [&](WORD code, int at) {
        SendMessageW(window, WM_HSCROLL, MAKEWPARAM(code, at), reinterpret_cast<LPARAM>(track));
    };
    // A press and release of the thumb where it is moves nothing.
    notify(TB_THUMBPOSITION, 100);
    notify(TB_ENDTRACK, 0);
    EXPECT_EQ(events_of(kSlider), 0);
    SendMessageW(track, TBM_SETPOS, TRUE, 40);
    notify(TB_THUMBTRACK, 40);
    notify(TB_THUMBPOSITION, 40);
    notify(TB_ENDTRACK, 0);
    EXPECT_EQ(events_of(kSlider), 1);
    EXPECT_EQ(slider.position(), 40);

    auto& edit = units::unit_as<units::EditBoxUnit>(kWindow, kEdit);
    HWND field = units::widget_of(live_unit(kWindow, kEdit));
    edit.set_content(Text("abc"));  // a program's write raises it once, through the unit
    EXPECT_EQ(events_of(kEdit), 1);
    SendMessageW(field, WM_CHAR, L'd', 1);
    EXPECT_EQ(events_of(kEdit), 2);
    EXPECT_EQ(edit.content(), Text("abcd"));
}

}  // namespace
}  // namespace wavlon::testing
