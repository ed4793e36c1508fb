#include "runtime/template_format.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "runtime/template_blocks.h"

namespace wavlon::runtime {
namespace {

UnitRecord unit(std::uint32_t type, const Text& name, const TypeBlock& block) {
    UnitRecord r;
    r.type = type;
    r.name = name;
    r.left = 10;
    r.top = -20;
    r.width = 300;
    r.height = 40;
    r.flags = kFlagVisible | kFlagTabStop;
    r.type_block = encode_type_block(block);
    return r;
}

WindowFormBlock window_form(const Text& caption) {
    WindowFormBlock form;
    form.caption = caption;
    form.icon = {1, 2, 3};
    form.class_name = "wavlon-main";
    return form;
}

// Two windows; the first holds a unit of every type, a container with children, a unit
// with a custom cursor and tag, and a menu item; the second is an older window block.
WindowTemplate synthetic_template() {
    WindowTemplate t;
    WindowBlock main;
    main.id = 0x52010001;
    main.attribute_b = 0x1901000B;
    main.text1 = "first";
    auto add = [&](std::uint32_t id, UnitRecord r) {
        main.store.ids.push_back(id);
        main.store.records.push_back(std::move(r));
    };
    UnitRecord own = unit(unit_types::kWindow, "", window_form("窗口标题"_gb));
    own.events = {{0, 3}, {3, kNoHandler}};
    add(0x06010000, own);

    TransLabelBlock label;
    label.text_colour = colour_rgb(128, 0, 128);
    label.font = make_font("微软雅黑"_gb, 20, false);
    label.caption = "播放进度（可控制）"_gb;
    UnitRecord label_record = unit(unit_types::kTransLabel, "透明标签1"_gb, label);
    label_record.tag = "a tag";
    label_record.cursor = {8, 0, 0, 0, 1, 2, 3, 4};
    label_record.parent = 0x16000010;
    add(0x16000001, label_record);

    ButtonBlock button;
    button.picture = {0xFF, 0xD8};
    button.font = make_font("宋体"_gb, 16, true);
    button.caption = "播 放"_gb;
    UnitRecord button_record = unit(unit_types::kButton, "按钮1"_gb, button);
    button_record.events = {{0, 0}};
    button_record.event_link = 0x16000005;
    add(0x16000002, button_record);

    add(0x16000003, unit(unit_types::kTimer, "时钟1"_gb, TimerBlock{1, 1000}));
    SliderBarBlock slider;
    slider.set_range(-5, 100, 7);
    slider.properties[0] = 1;
    add(0x16000004, unit(unit_types::kSliderBar, "滑块条1"_gb, slider));

    EditBoxBlock edit;
    edit.font = make_font("楷体"_gb, 20, true);
    edit.content = "内容"_gb;
    add(0x16000005, unit(unit_types::kEditBox, "编辑框1"_gb, edit));
    UnitRecord empty_edit = unit(unit_types::kEditBox, "编辑框2"_gb, OpaqueBlock{});
    add(0x16000006, empty_edit);

    ListBoxBlock list;
    list.background = colour_rgb(236, 236, 236);
    add(0x16000007, unit(unit_types::kListBox, "列表框1"_gb, list));

    ListViewBlock view;
    view.columns = {{0, -1, ColumnAlignment::kLeft, 0, "序号"_gb},
                    {1, 4, ColumnAlignment::kRight, 200, "歌曲URL地址"_gb}};
    UnitRecord view_record = unit(unit_types::kListView, "超级列表框1"_gb, view);
    view_record.events = {{-3, 1}};
    add(0x16000008, view_record);

    add(0x16000009, unit(unit_types::kMediaPlay, "媒体播放1"_gb, OpaqueBlock{}));
    add(0x1600000A, unit(unit_types::kSysVolume, "系统音量1"_gb, OpaqueBlock{{1, 0, 0, 0}}));
    UnitRecord container = unit(0x00010010, "选择夹1"_gb, OpaqueBlock{{9, 9}});
    container.children = {0x16000001, 0, 0x16000002};
    add(0x16000010, container);

    UnitRecord menu;
    menu.type = kMenuItemType;
    menu.name = "菜单1"_gb;
    menu.menu_fields = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    menu.menu_text = "打开"_gb;
    menu.menu_handler = 2;
    add(0x26000001, menu);
    t.windows.push_back(main);

    WindowBlock second;
    second.id = 0x52010002;
    second.text2 = "second";
    WindowFormBlock old_form = window_form("旧窗口"_gb);
    old_form.version = 3;
    old_form.class_name.clear();
    second.store.ids = {0x06010001};
    second.store.records = {unit(unit_types::kWindow, "", old_form)};
    t.windows.push_back(second);
    return t;
}

std::size_t find_bytes(const std::vector<std::uint8_t>& haystack,
                       const std::vector<std::uint8_t>& needle) {
    auto it = std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end());
    EXPECT_NE(it, haystack.end());
    return static_cast<std::size_t>(it - haystack.begin());
}

void put_u32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        bytes[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

TemplateError error_of(const std::vector<std::uint8_t>& bytes) {
    auto decoded = decode_template(bytes);
    if (!std::holds_alternative<TemplateError>(decoded)) {
        ADD_FAILURE() << "decoded without error";
        return {};
    }
    return std::get<TemplateError>(decoded);
}

TEST(TemplateFormat, WrittenTemplateReadsBackEqualAndRewritesToTheSameBytes) {
    WindowTemplate t = synthetic_template();
    auto bytes = encode_template(t);
    auto decoded = decode_template(bytes);
    ASSERT_TRUE(std::holds_alternative<WindowTemplate>(decoded))
        << std::get<TemplateError>(decoded).what;
    EXPECT_EQ(std::get<WindowTemplate>(decoded), t);
    EXPECT_EQ(encode_template(std::get<WindowTemplate>(decoded)), bytes);
}

TEST(TemplateFormat, EveryTypeBlockReadsBackAsWritten) {
    WindowTemplate t = synthetic_template();
    for (const auto& record : t.windows[0].store.records) {
        if (record.is_menu_item() || record.type_block.empty()) {
            continue;
        }
        auto decoded = decode_type_block(record.type, record.type_block);
        ASSERT_TRUE(std::holds_alternative<TypeBlock>(decoded)) << gbk_to_utf8(record.name);
        EXPECT_EQ(encode_type_block(std::get<TypeBlock>(decoded)), record.type_block)
            << gbk_to_utf8(record.name);
    }
}

// The window directory and the first window's store, as a reader of the layout finds them.
struct Layout {
    std::size_t store_count;   // u32 record count
    std::size_t store_length;  // u32 L
    std::size_t offsets;       // first record offset
    std::size_t records;       // first byte after the offset array
};

Layout first_store_layout(const WindowTemplate& t) {
    const WindowBlock& w = t.windows[0];
    std::size_t at = 4 + 8 * t.windows.size() + 8 + 4 + w.text1.size() + 4 + w.text2.size();
    std::size_t n = w.store.records.size();
    return {at, at + 4, at + 8 + 4 * n, at + 8 + 8 * n};
}

TEST(TemplateFormat, DamagedTemplatesReportWhereAndWhat) {
    const WindowTemplate t = synthetic_template();
    const auto good = encode_template(t);
    const Layout layout = first_store_layout(t);
    const std::size_t window_block = find_bytes(good, t.windows[0].store.records[0].type_block);
    const std::size_t button_font =
        find_bytes(good, encode_font_block(make_font("宋体"_gb, 16, true)));

    struct Case {
        const char* name;
        std::size_t patch_at;
        std::uint32_t value;
        std::size_t offset;
        const char* what;
    };
    const Case cases[] = {
        {"directory not a multiple of 8", 0, 12, 0,
         "window directory length 12 is not a multiple of 8"},
        {"directory past the end", 0, 0x7FFFFFF8, 0, "window directory past the end"},
        {"duplicate window id", 8, 0x52010001, 8, "duplicate window id 0x52010001"},
        {"store length past the end", layout.store_length, 0x00FFFFFF, layout.store_length,
         "unit store length past the end"},
        {"record count overruns the store", layout.store_count, 0x10000000, layout.store_count,
         "record count 268435456 overruns the unit store"},
        {"empty store", layout.store_count, 0, layout.store_count,
         "unit store has no window record"},
        {"record offset past the store", layout.offsets + 4, 0x00100000, layout.offsets + 4,
         "record offset past the unit store"},
        {"record length past the store", layout.records, 0x00100000, layout.records,
         "record length past the unit store"},
        {"window block version 7", window_block, 7, window_block,
         "unsupported window block version 7"},
        {"font of 59 bytes", button_font, 59, button_font, "font size 59 is neither 0 nor 60"},
    };
    for (const auto& c : cases) {
        auto bytes = good;
        put_u32(bytes, c.patch_at, c.value);
        TemplateError error = error_of(bytes);
        EXPECT_EQ(error.offset, c.offset) << c.name;
        EXPECT_EQ(error.what, c.what) << c.name;
    }
}

TEST(TemplateFormat, RecordFieldsCannotRunPastTheirRecord) {
    // A window record whose child count claims more ids than the record holds.
    WindowTemplate t;
    WindowBlock w;
    w.id = 0x52010001;
    w.store.ids = {0x06010000};
    w.store.records = {unit(unit_types::kWindow, "", WindowFormBlock{})};
    w.store.records[0].name = "名";
    t.windows = {w};
    auto bytes = encode_template(t);
    const Layout layout = first_store_layout(t);
    // type, link, 16 reserved, name (3 bytes) and terminator, comment terminator, slot,
    // rect, slot, parent: the child count follows.
    std::size_t record = layout.records + 4;
    std::size_t child_count = record + 4 + 4 + 16 + 4 + 1 + 4 + 16 + 4 + 4;
    put_u32(bytes, child_count, 0x40000000);
    TemplateError error = error_of(bytes);
    EXPECT_EQ(error.offset, child_count);
    EXPECT_EQ(error.what, "child count 1073741824 overruns the record");

    // The same record cut short so that the name has no terminator inside it.
    bytes = encode_template(t);
    put_u32(bytes, layout.records, 4 + 4 + 16 + 2);
    error = error_of(bytes);
    EXPECT_EQ(error.offset, record + 24);
    EXPECT_EQ(error.what, "unit name has no terminator");
}

TEST(TemplateFormat, TrailingBytesAfterTheLastWindowAreAnError) {
    auto bytes = encode_template(synthetic_template());
    std::size_t end = bytes.size();
    bytes.push_back(0);
    TemplateError error = error_of(bytes);
    EXPECT_EQ(error.offset, end);
    EXPECT_EQ(error.what, "trailing bytes after the last window");
}

TEST(TemplateFormat, EveryTruncationFailsInsideTheInput) {
    const auto good = encode_template(synthetic_template());
    for (std::size_t size = 0; size < good.size(); ++size) {
        // An exact-size copy, so that a read past the end would leave the allocation.
        std::vector<std::uint8_t> cut(good.begin(),
                                      good.begin() + static_cast<std::ptrdiff_t>(size));
        auto decoded = decode_template(cut);
        ASSERT_TRUE(std::holds_alternative<TemplateError>(decoded)) << "size " << size;
        EXPECT_LE(std::get<TemplateError>(decoded).offset, size) << "size " << size;
    }
}

TEST(TemplateFormat, EverySingleByteCorruptionDecodesOrFailsCleanly) {
    const auto good = encode_template(synthetic_template());
    for (std::size_t i = 0; i < good.size(); ++i) {
        for (std::uint8_t value : {std::uint8_t{0x00}, std::uint8_t{0xFF}}) {
            auto bytes = good;
            bytes[i] = value;
            auto decoded = decode_template(bytes);
            if (auto* t = std::get_if<WindowTemplate>(&decoded)) {
                // What decodes must also write and read back unchanged.
                auto again = decode_template(encode_template(*t));
                ASSERT_TRUE(std::holds_alternative<WindowTemplate>(again)) << "byte " << i;
                EXPECT_EQ(std::get<WindowTemplate>(again), *t) << "byte " << i;
            } else {
                EXPECT_LE(std::get<TemplateError>(decoded).offset, bytes.size()) << "byte " << i;
            }
        }
    }
}

}  // namespace
}  // namespace wavlon::runtime
