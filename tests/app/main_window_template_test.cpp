#include "app/main_window_template.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <tuple>

#include "runtime/template_blocks.h"
#include "runtime/template_format.h"

namespace wavlon::app {
namespace {

using namespace runtime;

constexpr std::uint32_t kNone = 0xFFFFFFFE;  // "no colour given": black expected

struct ExpectedUnit {
    const char* name;
    std::uint32_t id;
    std::uint32_t type;
    int left, top, width, height;
    bool visible, enabled;
    const char* text;  // caption or content, UTF-8
    const char* face;  // nullptr: the default font
    int pixels;
    bool bold;
    std::uint32_t colour;  // text colour
    int event;
    const char* routine;  // nullptr: no binding
};

constexpr std::uint32_t L = unit_types::kTransLabel, B = unit_types::kButton,
                        E = unit_types::kEditBox, T = unit_types::kTimer,
                        S = unit_types::kSliderBar, LB = unit_types::kListBox,
                        LV = unit_types::kListView, MP = unit_types::kMediaPlay,
                        SV = unit_types::kSysVolume;
constexpr std::uint32_t kPurple = 0x800080, kRed = 0x0000FF, kMaroon = 0x000080;

// The main window's units in template order.
// clang-format off
const ExpectedUnit kUnits[] = {
    {"透明标签17", 0x1601858D, L, 544, 632, 192, 24, true, true, "播放进度（可控制）", "微软雅黑", 20, false, kPurple, 0, nullptr},
    {"透明标签18", 0x16018563, L, 544, 384, 136, 16, false, true, "倒计时已停止", "宋体", 16, false, kRed, 0, nullptr},
    {"按钮9", 0x16018559, B, 520, 336, 176, 32, false, true, "倒计时开始", nullptr, 0, false, kNone, 0, "toggle_countdown"},
    {"时钟4", 0x16018551, T, 160, 624, 48, 40, false, true, "", nullptr, 0, false, kNone, 0, "countdown_tick"},
    {"透明标签14", 0x1601854B, L, 456, 240, 16, 24, false, true, "时", "宋体", 16, false, kNone, 0, nullptr},
    {"透明标签15", 0x1601854C, L, 456, 272, 16, 24, false, true, "分", "宋体", 16, false, kNone, 0, nullptr},
    {"透明标签16", 0x1601854D, L, 456, 304, 16, 24, false, true, "秒", "宋体", 16, false, kNone, 0, nullptr},
    {"编辑框5", 0x1601854E, E, 480, 240, 256, 24, false, true, "", nullptr, 0, false, kNone, 0, nullptr},
    {"编辑框6", 0x1601854F, E, 480, 272, 256, 24, false, true, "", nullptr, 0, false, kNone, 0, nullptr},
    {"编辑框7", 0x16018550, E, 480, 304, 256, 24, false, true, "", nullptr, 0, false, kNone, 0, nullptr},
    {"透明标签13", 0x1601854A, L, 912, 72, 232, 16, true, true, "播放列表（双击播放并加入到本地列表）", "宋体", 12, true, kNone, 0, nullptr},
    {"透明标签12", 0x16018549, L, 824, 48, 376, 32, true, true, "搜索网络歌曲，URL地址没有的不能播放", "楷体", 19, true, kPurple, 0, nullptr},
    {"透明标签11", 0x160184D8, L, 896, 472, 256, 32, true, true, "状态：网络错误，网络功能不可用", "新宋体", 16, true, kRed, 0, nullptr},
    {"编辑框4", 0x1601849D, E, 856, 520, 352, 32, false, true, "", nullptr, 0, false, kNone, 0, nullptr},
    {"按钮8", 0x16015901, B, 1136, 8, 96, 32, true, true, "搜索网络歌曲", "微软雅黑", 14, false, kNone, 0, "on_search_clicked"},
    {"编辑框3", 0x16015900, E, 808, 8, 320, 32, true, true, "", nullptr, 0, false, kNone, 0, "on_keyword_changed"},
    {"超级列表框1", 0x160158FF, LV, 808, 88, 416, 376, true, true, "", nullptr, 0, false, kNone, -3, "play_found_song"},
    {"按钮7", 0x160158DF, B, 720, 336, 64, 32, true, true, "定时关机", nullptr, 0, false, kNone, 0, "toggle_countdown_panel"},
    {"按钮6", 0x16015834, B, 576, 56, 40, 24, true, true, "静音", nullptr, 0, false, kNone, 0, "toggle_mute"},
    {"透明标签10", 0x16015832, L, 520, 32, 24, 8, true, true, "LOW", nullptr, 0, false, kNone, 0, nullptr},
    {"透明标签9", 0x16015831, L, 640, 32, 24, 8, true, true, "HIGH", nullptr, 0, false, kNone, 0, nullptr},
    {"透明标签8", 0x16015830, L, 584, 8, 24, 16, true, true, "音量", nullptr, 0, false, kNone, 0, nullptr},
    {"透明标签7", 0x1601582F, L, 216, 608, 48, 16, true, true, "00:00", "宋体", 16, true, kMaroon, 0, nullptr},
    {"透明标签5", 0x1601582D, L, 152, 72, 128, 16, true, true, "播放列表（单击播放）", "宋体", 12, true, kNone, 0, nullptr},
    {"透明标签3", 0x1601582B, L, 24, 48, 376, 32, true, true, "请先点击浏览文件选项找到需播放的文件", "楷体", 19, true, kPurple, 0, nullptr},
    {"透明标签2", 0x1601582A, L, 8, 520, 248, 32, true, true, "2020年4月21日20:25:25", "楷体", 19, false, kRed, 0, nullptr},
    {"透明标签1", 0x16015829, L, 1024, 608, 56, 16, true, true, "00:00", "宋体", 16, true, kMaroon, 0, nullptr},
    {"编辑框1", 0x160157E2, E, 56, 8, 312, 32, true, false, "", "楷体", 20, true, kNone, 0, nullptr},
    {"按钮5", 0x160157DC, B, 640, 168, 80, 40, true, true, "下一首", "微软雅黑", 16, true, kNone, 0, "play_next_track"},
    {"按钮4", 0x160157DB, B, 464, 168, 80, 40, true, true, "上一首", "微软雅黑", 16, true, kNone, 0, "play_previous_track"},
    {"滑块条2", 0x160157AE, S, 544, 24, 96, 32, true, true, "", nullptr, 0, false, kNone, 0, "apply_volume_slider"},
    {"系统音量1", 0x160157AC, SV, 24, 592, 32, 32, false, true, "", nullptr, 0, false, kNone, 0, nullptr},
    {"媒体播放1", 0x16012BFF, MP, 0, 592, 24, 32, false, true, "", nullptr, 0, false, kNone, 0, nullptr},
    {"时钟3", 0x16012BFC, T, 112, 624, 48, 40, false, true, "", nullptr, 0, false, kNone, 0, "update_progress"},
    {"滑块条1", 0x16012BD0, S, 264, 608, 752, 24, true, true, "", nullptr, 0, false, kNone, 0, "seek_to_slider"},
    {"列表框1", 0x16010078, LB, 8, 88, 408, 376, true, true, "", "宋体", 20, true, kNone, 0, "play_selected_track"},
    {"编辑框2", 0x1601001F, E, 56, 8, 312, 32, false, false, "", nullptr, 0, false, kNone, 0, "clear_folder_hint"},
    {"时钟2", 0x16010009, T, 56, 624, 56, 40, false, true, "", nullptr, 0, false, kNone, 0, "update_playback_buttons"},
    {"时钟1", 0x16010008, T, 0, 624, 56, 40, false, true, "", nullptr, 0, false, kNone, 0, "update_clock_label"},
    {"按钮3", 0x16010006, B, 664, 96, 80, 40, true, true, "停 止", "微软雅黑", 16, true, kNone, 0, "stop_playback"},
    {"按钮2", 0x16010005, B, 432, 96, 80, 40, true, true, "播 放", "微软雅黑", 16, true, kNone, 0, "toggle_play_pause"},
    {"按钮1", 0x16010004, B, 376, 8, 104, 32, true, true, "浏览本地目录", "微软雅黑", 16, false, kNone, 0, "choose_music_folder"},
};
// clang-format on

const WindowTemplate& main_template() {
    static const WindowTemplate decoded = [] {
        auto result = decode_template(kMainWindowTemplate);
        if (auto* error = std::get_if<TemplateError>(&result)) {
            ADD_FAILURE() << "offset " << error->offset << ": " << error->what;
            return WindowTemplate{};
        }
        return std::get<WindowTemplate>(result);
    }();
    return decoded;
}

template <class T>
T block_of(const UnitRecord& record) {
    auto decoded = decode_type_block(record.type, record.type_block);
    EXPECT_TRUE(std::holds_alternative<TypeBlock>(decoded)) << gbk_to_utf8(record.name);
    const auto* block = std::get_if<TypeBlock>(&decoded);
    const auto* typed = block != nullptr ? std::get_if<T>(block) : nullptr;
    return typed != nullptr ? *typed : T{};
}

const UnitRecord* find_unit(const char* name) {
    const auto& store = main_template().windows.at(0).store;
    auto it = std::find_if(store.records.begin(), store.records.end(),
                           [&](const UnitRecord& r) { return r.name == utf8_to_gbk(name); });
    return it == store.records.end() ? nullptr : &*it;
}

std::string routine_of(std::uint32_t handler) {
    return handler < kMainWindowRoutines.size() ? kMainWindowRoutines[handler] : "<none>";
}

struct Look {
    Text text;
    FontSetting font;
    std::uint32_t colour = kBlack;
};

Look look_of(const UnitRecord& r) {
    switch (r.type) {
        case unit_types::kTransLabel: {
            auto b = block_of<TransLabelBlock>(r);
            return {b.caption, b.font, b.text_colour};
        }
        case unit_types::kButton: {
            auto b = block_of<ButtonBlock>(r);
            return {b.caption, b.font, kBlack};
        }
        case unit_types::kEditBox: {
            auto b = block_of<EditBoxBlock>(r);
            return {b.content, b.font, b.text_colour};
        }
        case unit_types::kListBox: {
            auto b = block_of<ListBoxBlock>(r);
            return {"", b.font, b.text_colour};
        }
        case unit_types::kListView: {
            auto b = block_of<ListViewBlock>(r);
            return {"", b.font, b.text_colour};
        }
        default:
            return {};
    }
}

TEST(MainWindowTemplate, WindowRecordDescribesTheFixedCentredWindow) {
    const auto& t = main_template();
    ASSERT_EQ(t.windows.size(), 1u);
    const WindowBlock& w = t.windows[0];
    EXPECT_EQ(w.id, 0x52010001u);
    EXPECT_EQ(w.attribute_a, 0u);
    EXPECT_EQ(w.attribute_b, 0x1901000Bu);
    EXPECT_TRUE(w.text1.empty() && w.text2.empty());
    ASSERT_FALSE(w.store.records.empty());
    EXPECT_EQ(w.store.ids[0], 0x06010000u);

    const UnitRecord& own = w.store.records[0];
    EXPECT_EQ(own.type, unit_types::kWindow);
    EXPECT_TRUE(own.name.empty());
    EXPECT_EQ((std::array{own.left, own.top, own.width, own.height}),
              (std::array{50, 50, 1242, 694}));
    EXPECT_EQ(own.flags, kFlagVisible);
    ASSERT_EQ(own.events.size(), 1u);
    EXPECT_EQ(own.events[0].event, 0);
    EXPECT_EQ(routine_of(own.events[0].handler), "on_main_window_created");

    auto form = block_of<WindowFormBlock>(own);
    EXPECT_EQ(form.version, 6u);
    EXPECT_EQ(form.border_style, 2u);
    EXPECT_EQ(form.background, kSystemColour);
    EXPECT_EQ(form.maximise_button, 0u);
    EXPECT_EQ(form.minimise_button, 1u);
    EXPECT_EQ(form.control_box, 1u);
    EXPECT_EQ(form.start_position, 1u);
    EXPECT_EQ(form.movable, 1u);
    EXPECT_EQ(form.top_most, 0u);
    EXPECT_TRUE(form.class_name.empty() && form.picture.empty() && form.icon.empty() &&
                form.sound.empty());
    EXPECT_EQ(form.caption, "Wavlon");
}

TEST(MainWindowTemplate, UnitsAppearInTemplateOrderWithTheirStoredValues) {
    const auto& store = main_template().windows.at(0).store;
    ASSERT_EQ(store.records.size(), std::size(kUnits) + 1);
    for (std::size_t i = 0; i < std::size(kUnits); ++i) {
        const ExpectedUnit& u = kUnits[i];
        const UnitRecord& r = store.records[i + 1];
        SCOPED_TRACE(u.name);
        EXPECT_EQ(gbk_to_utf8(r.name), u.name);
        EXPECT_EQ(store.ids[i + 1], u.id);
        EXPECT_EQ(r.type, u.type);
        EXPECT_EQ((std::array{r.left, r.top, r.width, r.height}),
                  (std::array{u.left, u.top, u.width, u.height}));
        EXPECT_EQ((r.flags & kFlagVisible) != 0, u.visible);
        EXPECT_EQ((r.flags & kFlagDisabled) == 0, u.enabled);
        bool focusable = u.type == B || u.type == E || u.type == LB || u.type == LV || u.type == S;
        EXPECT_EQ((r.flags & kFlagTabStop) != 0, focusable);
        EXPECT_EQ(r.parent, 0u);
        EXPECT_TRUE(r.children.empty());
        EXPECT_EQ(r.event_link, 0u);

        Look look = look_of(r);
        EXPECT_EQ(gbk_to_utf8(look.text), u.text);
        EXPECT_EQ(look.colour, u.colour == kNone ? kBlack : u.colour);
        if (u.face == nullptr) {
            EXPECT_FALSE(look.font.has_value());
        } else {
            EXPECT_TRUE(look.font.has_value());
        }
        if (u.face != nullptr && look.font) {
            EXPECT_EQ(gbk_to_utf8(look.font->face), u.face);
            EXPECT_EQ(look.font->height, -u.pixels);
            EXPECT_EQ(look.font->weight, u.bold ? 700 : 400);
            EXPECT_EQ(look.font->charset, 134);
        }

        if (u.routine == nullptr) {
            EXPECT_TRUE(r.events.empty());
        } else {
            ASSERT_EQ(r.events.size(), 1u);
            EXPECT_EQ(r.events[0].event, u.event);
            EXPECT_EQ(routine_of(r.events[0].handler), u.routine);
        }
    }
}

TEST(MainWindowTemplate, TimersSlidersAndListsCarryTheirSettings) {
    const std::pair<const char*, std::uint32_t> timers[] = {
        {"时钟1", 1000}, {"时钟2", 300}, {"时钟3", 500}, {"时钟4", 0}};
    for (const auto& [name, interval] : timers) {
        ASSERT_NE(find_unit(name), nullptr) << name;
        EXPECT_EQ(block_of<TimerBlock>(*find_unit(name)).interval_ms, interval) << name;
    }
    for (const char* name : {"滑块条1", "滑块条2"}) {
        ASSERT_NE(find_unit(name), nullptr) << name;
        auto slider = block_of<SliderBarBlock>(*find_unit(name));
        EXPECT_EQ((std::array{slider.minimum(), slider.maximum(), slider.position()}),
                  (std::array{0, 100, 0}))
            << name;
    }
    ASSERT_NE(find_unit("列表框1"), nullptr);
    EXPECT_EQ(block_of<ListBoxBlock>(*find_unit("列表框1")).background, colour_rgb(236, 236, 236));
    for (const char* name : {"媒体播放1", "系统音量1"}) {
        EXPECT_LE(find_unit(name)->type_block.size(), 4u) << name;
    }
}

TEST(MainWindowTemplate, ResultListIsAReportWithFourColumns) {
    const UnitRecord* list = find_unit("超级列表框1");
    ASSERT_NE(list, nullptr);
    auto view = block_of<ListViewBlock>(*list);
    EXPECT_EQ(view.view_type, kListViewReport);
    const std::tuple<const char*, ColumnAlignment, std::uint32_t> columns[] = {
        {"序号", ColumnAlignment::kLeft, 0},
        {"歌曲名", ColumnAlignment::kCentre, 100},
        {"歌手", ColumnAlignment::kCentre, 100},
        {"歌曲URL地址", ColumnAlignment::kCentre, 200}};
    ASSERT_EQ(view.columns.size(), std::size(columns));
    for (std::size_t i = 0; i < view.columns.size(); ++i) {
        EXPECT_EQ(gbk_to_utf8(view.columns[i].heading), std::get<0>(columns[i]));
        EXPECT_EQ(view.columns[i].alignment, std::get<1>(columns[i]));
        EXPECT_EQ(view.columns[i].width, std::get<2>(columns[i]));
        EXPECT_EQ(view.columns[i].image, -1);
    }
    // The stored column data is 81 bytes long.
    auto column_block = encode_column_block(view.columns);
    EXPECT_EQ(column_block.size(), 4u + 81u);
    EXPECT_EQ(column_block[0], 81);
}

TEST(MainWindowTemplate, RoutineNamesAreDistinctAndSorted) {
    std::vector<std::string> names(kMainWindowRoutines.begin(), kMainWindowRoutines.end());
    EXPECT_EQ(names.size(), 20u);
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
    EXPECT_EQ(std::adjacent_find(names.begin(), names.end()), names.end());
}

}  // namespace
}  // namespace wavlon::app
