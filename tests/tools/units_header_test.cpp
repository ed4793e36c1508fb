#include <gtest/gtest.h>

#include "tools/template_description.h"

namespace wavlon::tools {
namespace {

CompiledTemplate compile_ok(std::string_view source) {
    auto result = compile_description(source, "t.tmpl");
    if (auto* message = std::get_if<std::string>(&result)) {
        ADD_FAILURE() << *message;
        return {};
    }
    return std::get<CompiledTemplate>(result);
}

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
