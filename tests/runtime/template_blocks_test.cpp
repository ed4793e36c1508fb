#include "runtime/template_blocks.h"

#include <gtest/gtest.h>

namespace wavlon::runtime {
namespace {

std::vector<std::uint8_t> words(std::initializer_list<std::uint32_t> values) {
    std::vector<std::uint8_t> out;
    for (std::uint32_t v : values) {
        for (int shift = 0; shift < 32; shift += 8) {
            out.push_back(static_cast<std::uint8_t>(v >> shift));
        }
    }
    return out;
}

std::vector<std::uint8_t> operator+(std::vector<std::uint8_t> a,
                                    const std::vector<std::uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::vector<std::uint8_t> text_bytes(std::string_view s) {
    return {s.begin(), s.end()};
}

TEST(TemplateBlocks, FontBlockHasTheLogicalFontLayout) {
    auto bytes = encode_font_block(make_font("宋体"_gb, 16, true));
    ASSERT_EQ(bytes.size(), 64u);
    auto expected = words({60, static_cast<std::uint32_t>(-16), 0, 0, 0, 700}) +
                    std::vector<std::uint8_t>{0, 0, 0, 134, 0, 0, 0, 0} +
                    std::vector<std::uint8_t>{0xCB, 0xCE, 0xCC, 0xE5};
    expected.resize(64, 0);
    EXPECT_EQ(bytes, expected);
    EXPECT_EQ(encode_font_block(std::nullopt), words({0}));

    auto decoded = std::get<FontSetting>(decode_font_block(bytes));
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(decoded->pixel_size(), 16);
    EXPECT_TRUE(decoded->bold());
    EXPECT_EQ(decoded->face, "宋体"_gb);
}

TEST(TemplateBlocks, FontFaceBytesAfterTheTerminatorAreIgnored) {
    auto bytes = encode_font_block(make_font("A", 12, false));
    bytes.back() = 0x7F;  // garbage after "A\0"
    EXPECT_EQ(std::get<FontSetting>(decode_font_block(bytes))->face, "A");
}

TEST(TemplateBlocks, MainWindowBlockHasTheStoredFieldOrder) {
    WindowFormBlock form;
    form.caption = "Wavlon";
    auto expected = words({6, 2, 1, 0xFF000000}) +  // version, border, field, background
                    words({0, 1, 1, 1, 1}) +        // max, min, control box, start, movable
                    words({0, 0, 1, 0, 0}) + words({1, 0, 0, 0, 0}) +  // values, top-most
                    words({0, 0, 0, 0}) +  // class name, picture, icon, sound
                    words({6}) + text_bytes("Wavlon") + words({0});
    EXPECT_EQ(encode_block(form), expected);
    EXPECT_EQ(std::get<WindowFormBlock>(decode_block<unit_types::kWindow>(expected)), form);
}

TEST(TemplateBlocks, OlderWindowBlocksReadWithDefaultsForLaterFields) {
    for (std::uint32_t version = 0; version <= kMaxWindowBlockVersion; ++version) {
        WindowFormBlock form;
        form.version = version;
        form.caption = "v";
        if (version >= 6) {
            form.class_name = "cls";
        }
        auto bytes = encode_block(form);
        EXPECT_EQ(bytes.size(), 4 * (14 + (version >= 2) + 2 * (version >= 3) + (version >= 4) +
                                     (version >= 5) + (version >= 6) + 5) +
                                    1 + (version >= 6 ? 3 : 0))
            << "version " << version;
        auto decoded = decode_block<unit_types::kWindow>(bytes);
        ASSERT_TRUE(std::holds_alternative<WindowFormBlock>(decoded)) << "version " << version;
        EXPECT_EQ(std::get<WindowFormBlock>(decoded), form) << "version " << version;
    }
}

TEST(TemplateBlocks, EmptyEditAndListBoxBlocksMeanDefaults) {
    EXPECT_EQ(std::get<EditBoxBlock>(decode_block<unit_types::kEditBox>({})), EditBoxBlock{});
    EXPECT_EQ(std::get<ListBoxBlock>(decode_block<unit_types::kListBox>({})), ListBoxBlock{});
    EXPECT_EQ(EditBoxBlock{}.background, kSystemColour);
    EXPECT_FALSE(ListBoxBlock{}.font.has_value());
}

TEST(TemplateBlocks, DamagedBlocksReportWhereAndWhat) {
    auto label = encode_block(TransLabelBlock{});
    auto list_view = encode_block(ListViewBlock{});  // ends in an empty column block
    auto with_column = [&](std::vector<std::uint8_t> column) {
        auto bytes = list_view;
        bytes.resize(bytes.size() - 4);
        return bytes + words({static_cast<std::uint32_t>(column.size())}) + column;
    };
    auto column = [](std::uint32_t alignment, std::vector<std::uint8_t> heading) {
        return std::vector<std::uint8_t>{0} + words({0xFFFFFFFF, alignment, 100}) + heading;
    };
    std::vector<std::uint8_t> long_face = words({60}) + std::vector<std::uint8_t>(60, 'x');

    struct Case {
        const char* name;
        std::uint32_t type;
        std::vector<std::uint8_t> bytes;
        std::size_t offset;
        std::string what;
    };
    const Case cases[] = {
        {"window version 7", unit_types::kWindow, words({7}) + encode_block(WindowFormBlock{}), 0,
         "unsupported window block version 7"},
        {"window cut in its caption", unit_types::kWindow,
         words({1, 2, 1, 0, 0, 1, 1, 1, 1, 0, 0, 1, 0, 0, 0, 0, 0, 9}) + text_bytes("Wav"), 68,
         "caption length past the end"},
        {"label version 2", unit_types::kTransLabel, words({2}) + label, 0,
         "unsupported TransLabel block version 2"},
        {"empty label", unit_types::kTransLabel, {}, 0, "block version past the end"},
        {"label with trailing bytes", unit_types::kTransLabel, label + words({0}), label.size(),
         "trailing bytes after TransLabel block"},
        {"button version 0", unit_types::kButton, words({0, 0, 0, 0, 0, 0, 0}), 0,
         "unsupported Button block version 0"},
        {"timer without interval", unit_types::kTimer, words({1}), 4,
         "timer interval past the end"},
        {"slider version 2", unit_types::kSliderBar, words({2}), 0,
         "unsupported SliderBar block version 2"},
        {"edit box version 1", unit_types::kEditBox, words({1, 0, 0, 0, 0}), 0,
         "unsupported EditBox block version 1"},
        {"list box font of 61 bytes", unit_types::kListBox, words({3, 0, 0, 61}), 12,
         "font size 61 is neither 0 nor 60"},
        {"list box font face without terminator", unit_types::kListBox,
         words({3, 0, 0}) + long_face, 12 + 4 + 28, "font face has no terminator"},
        {"column alignment 3", unit_types::kListView, with_column(column(3, {'a', 0})),
         list_view.size() + 5, "column alignment 3 is not 0, 1 or 2"},
        {"column heading without terminator", unit_types::kListView,
         with_column(column(1, {'a', 'b'})), list_view.size() + 13,
         "column heading has no terminator"},
    };
    for (const auto& c : cases) {
        auto decoded = decode_type_block(c.type, c.bytes);
        ASSERT_TRUE(std::holds_alternative<TemplateError>(decoded)) << c.name;
        EXPECT_EQ(std::get<TemplateError>(decoded).offset, c.offset) << c.name;
        EXPECT_EQ(std::get<TemplateError>(decoded).what, c.what) << c.name;
    }

    // A column block whose length claims one byte more than the block holds.
    auto cut = with_column(column(0, {'a', 0}));
    cut.resize(cut.size() - 1);
    auto decoded = decode_block<unit_types::kListView>(cut);
    ASSERT_TRUE(std::holds_alternative<TemplateError>(decoded));
    EXPECT_EQ(std::get<TemplateError>(decoded).offset, list_view.size() - 4);
    EXPECT_EQ(std::get<TemplateError>(decoded).what, "column data length past the end");
}

TEST(TemplateBlocks, TypesWithoutSettingsKeepTheirBytes) {
    for (std::uint32_t type : {unit_types::kMediaPlay, unit_types::kSysVolume, 0x00020001u}) {
        std::vector<std::uint8_t> bytes{1, 0, 0, 0};
        auto decoded = decode_type_block(type, bytes);
        ASSERT_TRUE(std::holds_alternative<TypeBlock>(decoded));
        EXPECT_EQ(encode_type_block(std::get<TypeBlock>(decoded)), bytes);
    }
}

}  // namespace
}  // namespace wavlon::runtime
