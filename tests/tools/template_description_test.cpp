#include "tools/template_description.h"

#include <gtest/gtest.h>

#include "runtime/template_blocks.h"

namespace wavlon::tools {
namespace {

using namespace runtime;

// Lines 1-7: a window and one button, complete.
constexpr std::string_view kBase =
    "window 0x52010001\n"
    "    record 0x06010000\n"
    "    rect 0 0 100 100\n"
    "    state visible enabled\n"
    "unit 按钮1 Button 0x16000001\n"
    "    rect 1 2 3 4\n"
    "    state visible enabled tabstop\n";

CompiledTemplate compile_ok(std::string_view source) {
    auto result = compile_description(source, "t.tmpl");
    if (auto* message = std::get_if<std::string>(&result)) {
        ADD_FAILURE() << *message;
        return {};
    }
    return std::get<CompiledTemplate>(result);
}

TEST(TemplateDescription, CompilesRecordsBlocksAndRoutineNumbers) {
    std::string source(kBase);
    source +=
        "    caption \"播 放\"   # trailing comment\n"
        "    event 0 toggle_play_pause\n"
        "# a comment line\n"
        "\n"
        "unit 编辑框2 EditBox 0x1601001F\n"
        "    rect -5 8 312 32\n"
        "    state hidden disabled\n"
        "    event 0 clear_folder_hint\n"
        "unit 超级列表框1 ListView 0x160158FF\n"
        "    rect 0 0 10 10\n"
        "    state visible enabled\n"
        "    view report\n"
        "    column \"say \\\"hi\\\"\" right 7\n"
        "    event -3 toggle_play_pause\n";
    CompiledTemplate result = compile_ok(source);
    ASSERT_EQ(result.window_template.windows.size(), 1u);
    const UnitStore& store = result.window_template.windows[0].store;
    ASSERT_EQ(store.ids,
              (std::vector<std::uint32_t>{0x06010000, 0x16000001, 0x1601001F, 0x160158FF}));
    EXPECT_EQ(store.records[0].type, unit_types::kWindow);
    EXPECT_EQ(store.records[0].flags, kFlagVisible);

    // Distinct routine names, sorted; handlers index them.
    EXPECT_EQ(result.routines,
              (std::vector<std::string>{"clear_folder_hint", "toggle_play_pause"}));
    EXPECT_EQ(store.records[1].events, (std::vector<EventBinding>{{0, 1}}));
    EXPECT_EQ(store.records[2].events, (std::vector<EventBinding>{{0, 0}}));
    EXPECT_EQ(store.records[3].events, (std::vector<EventBinding>{{-3, 1}}));

    EXPECT_EQ(store.records[1].flags, kFlagVisible | kFlagTabStop);
    EXPECT_EQ(store.records[2].flags, kFlagDisabled);
    EXPECT_EQ(store.records[2].left, -5);
    auto button = std::get<ButtonBlock>(
        std::get<TypeBlock>(decode_type_block(unit_types::kButton, store.records[1].type_block)));
    EXPECT_EQ(button.caption, "播 放"_gb);
    // An edit box left at its defaults stores the empty block.
    EXPECT_TRUE(store.records[2].type_block.empty());
    auto view = std::get<ListViewBlock>(
        std::get<TypeBlock>(decode_type_block(unit_types::kListView, store.records[3].type_block)));
    ASSERT_EQ(view.columns.size(), 1u);
    EXPECT_EQ(view.columns[0].heading, "say \"hi\"");
    EXPECT_EQ(view.columns[0].alignment, ColumnAlignment::kRight);
    EXPECT_EQ(view.columns[0].width, 7u);
}

TEST(TemplateDescription, MistakesAreReportedWithFileAndLine) {
    struct Case {
        std::string added;  // appended to the base; its first line is line 8
        std::string message;
    };
    const Case cases[] = {
        {"    colour 1 2 3\n", "t.tmpl:8: unknown key 'colour'"},
        {"    interval 100\n", "t.tmpl:8: 'interval' does not apply to Button"},
        {"    rect 1 2 3 4\n", "t.tmpl:8: 'rect' given twice"},
        {"    caption 播放\n", "t.tmpl:8: expected a text in double quotes, found '播放'"},
        {"    caption \"播放\n", "t.tmpl:8: text has no closing quote"},
        {"    caption \"a\\n\"\n", "t.tmpl:8: unknown escape in text"},
        {"    caption \"\xFF\"\n", "t.tmpl:8: text is not valid UTF-8"},
        {"    font \"宋体\" 12x\n", "t.tmpl:8: '12x' is not a number"},
        {"    font \"一二三四五六七八九十一二三四五六\" 12\n",
         "t.tmpl:8: font face must be 1 to 31 bytes in the template's code page"},
        {"    font \"宋体\" 12 italic\n", "t.tmpl:8: usage: font \"<face>\" <pixel height> [bold]"},
        {"    event 0 a\n    event 0 b\n", "t.tmpl:9: event 0 is bound twice"},
        {"    event 0 play-track\n", "t.tmpl:8: 'play-track' is not a routine name"},
        {"unit 标签1 TransLabel 0x16000002\n    text-colour 256 0 0\n",
         "t.tmpl:9: 256 is out of range 0..255"},
        {"unit 标签1 TransLabel 0x16000002\n    rect 1 2\n",
         "t.tmpl:9: usage: rect <left> <top> <width> <height>"},
        {"unit 标签1 TransLabel 0x16000002\n    rect 0 0 1 1\n",
         "t.tmpl:8: unit 标签1 has no state"},
        {"unit 标签1 TransLabel 0x16000002\n    state visible\n",
         "t.tmpl:9: usage: state visible|hidden enabled|disabled [tabstop]"},
        {"unit 按钮2 Buton 0x16000002\n", "t.tmpl:8: unknown unit type 'Buton'"},
        {"unit 按钮2 Button 0x16000001\n", "t.tmpl:8: unit id 0x16000001 is used twice"},
        {"unit 按钮1 Button 0x16000002\n", "t.tmpl:8: unit name 按钮1 is used twice"},
        {"unit 按钮2 Button 0x00000002\n", "t.tmpl:8: 0x00000002 is not a valid id"},
        {"unit 滑块条1 SliderBar 0x16000002\n    range 0 100 101\n",
         "t.tmpl:9: range needs minimum <= position <= maximum"},
        {"unit 列表1 ListView 0x16000002\n    column \"a\" middle 10\n",
         "t.tmpl:9: unknown column alignment 'middle'"},
        {"    border 2\n", "t.tmpl:8: 'border' does not apply to Button"},
        {"window 0x52010001\n", "t.tmpl:8: window id 0x52010001 is used twice"},
        {"window 0x52010002\n    rect 0 0 1 1\n    state visible enabled\n",
         "t.tmpl:8: window has no record"},
    };
    for (const auto& c : cases) {
        auto result = compile_description(std::string(kBase) + c.added, "t.tmpl");
        ASSERT_TRUE(std::holds_alternative<std::string>(result)) << c.message;
        EXPECT_EQ(std::get<std::string>(result), c.message);
    }
}

TEST(TemplateDescription, UnitsNeedAWindowAndADescriptionNeedsOne) {
    EXPECT_EQ(std::get<std::string>(compile_description("unit 按钮1 Button 0x16000001\n", "a")),
              "a:1: unit before the first window");
    EXPECT_EQ(std::get<std::string>(compile_description("    rect 1 2 3 4\n", "a")),
              "a:1: 'rect' before the first window");
    EXPECT_EQ(std::get<std::string>(compile_description("# nothing\n", "a")),
              "a:1: the description has no window");
}

TEST(TemplateDescription, GeneratedSourceHoldsTheBytesAndNames) {
    std::string source = generate_source(std::vector<std::uint8_t>{0x08, 0xFF},
                                         {"on_main_window_created"}, "main.tmpl");
    EXPECT_NE(source.find("kBytes[2] = {\n    0x08, 0xFF,\n};"), std::string::npos) << source;
    EXPECT_NE(source.find("\"on_main_window_created\","), std::string::npos);
    EXPECT_NE(source.find("kMainWindowRoutines{kRoutineNames}"), std::string::npos);
}

// The units header the compiler writes beside the template.
TEST(UnitsHeader, RolesAreTheCommentLinesDirectlyAboveTheirStatement) {
    CompiledTemplate result = compile_ok(
        "# About the file.\n"
        "\n"
        "# The window.\n"
        "window 0x52010001\n"
        "    name 窗口\n"
        "    id-constant kWindowId\n"
        "    record 0x06010000\n"
        "    rect 0 0 100 100\n"
        "    state visible enabled\n"
        "# A section.\n"
        "\n"
        "# Plays.\n"
        "  # Pauses too.\n"
        "unit 按钮1 Button 0x16000001   # not a role\n"
        "    rect 1 2 3 4\n"
        "    # about the state, not a role\n"
        "    state visible enabled\n"
        "unit 时钟1 Timer 0x16000002\n"
        "    rect 1 2 3 4\n"
        "    state hidden enabled\n");
    ASSERT_EQ(result.names.size(), 1u);
    const NamedWindow& window = result.names[0];
    EXPECT_EQ(window.own.role, std::vector<std::string>{"The window."});
    ASSERT_EQ(window.units.size(), 2u);
    EXPECT_EQ(window.units[0].role, (std::vector<std::string>{"Plays.", "Pauses too."}));
    EXPECT_TRUE(window.units[1].role.empty());

    const std::string header = generate_units_header(result.names, "t.tmpl");
    for (const char* expected : {
             "\nconstexpr std::uint32_t kWindowId = 0x52010001;\n",
             "\n// The window.\ninline constexpr UnitRef<WindowUnit> 窗口{kWindowId, 0};\n",
             "\n// Plays.\n// Pauses too.\n"
             "inline constexpr UnitRef<ButtonUnit> 按钮1{kWindowId, 0x16000001};\n",
             "\n\ninline constexpr UnitRef<TimerUnit> 时钟1{kWindowId, 0x16000002};\n",
             "#include \"runtime/units/timer_unit.h\"\n",
         }) {
        EXPECT_NE(header.find(expected), std::string::npos) << expected << "\nin:\n" << header;
    }
}

// The names become C++ declarations: a name the compiler would reject, or a comment line that
// would join the declaration below it, fails at the description's line instead.
TEST(UnitsHeader, WhatWouldNotCompileIsRefusedAtItsLine) {
    const std::string base =
        "window 0x52010001\n"
        "    record 0x06010000\n"
        "    rect 0 0 100 100\n"
        "    state visible enabled\n";
    struct Case {
        std::string added;  // its first line is line 5
        std::string message;
    };
    const Case cases[] = {
        {"unit 1号 Button 0x16000001\n", "t.tmpl:5: unit name 1号 is not an identifier"},
        {"unit 按钮-1 Button 0x16000001\n", "t.tmpl:5: unit name 按钮-1 is not an identifier"},
        {"    name main-window\n", "t.tmpl:5: window name main-window is not an identifier"},
        {"    id-constant 0x1\n", "t.tmpl:5: id constant 0x1 is not an identifier"},
        {"# under C:\\music\\\nunit 按钮1 Button 0x16000001\n",
         "t.tmpl:6: a comment line above a window or unit ends in a backslash"},
        {"unit 按钮1 Button 0x16000001\n    name 按钮\n",
         "t.tmpl:6: 'name' does not apply to Button"},
    };
    for (const auto& c : cases) {
        auto result = compile_description(base + c.added, "t.tmpl");
        ASSERT_TRUE(std::holds_alternative<std::string>(result)) << c.message;
        EXPECT_EQ(std::get<std::string>(result), c.message);
    }
}

}  // namespace
}  // namespace wavlon::tools
