#include "runtime/text_commands.h"

#include <gtest/gtest.h>

#include <vector>

namespace wavlon::runtime {
namespace {

// GBK characters whose trail byte is an ASCII letter: 0x81 0x61 and 0x81 0x41.
const Text kTrailLowerA = "\x81\x61";
const Text kTrailUpperA = "\x81\x41";
// A four-byte GB18030 character whose second byte is the digit "9".
const Text kFourByte = "\x94\x39\xFC\x36";

std::vector<Text> parts_of(const Array<Text>& array) {
    return array.items();
}

TEST(TextCommands, ByteCutsClampToTheTextAndMaySplitCharacters) {
    EXPECT_EQ(text_left("abc", 5), "abc");
    EXPECT_EQ(text_left("abc", 0), "");
    EXPECT_EQ(text_left("abc", -2), "");
    EXPECT_EQ(text_right("abc", 2), "bc");
    EXPECT_EQ(text_right("abc", 9), "abc");
    EXPECT_EQ(text_right("abc", 0), "");
    EXPECT_EQ(text_middle("abcdef", 2, 3), "bcd");
    EXPECT_EQ(text_middle("abcdef", 5, 10), "ef");
    EXPECT_EQ(text_middle("abcdef", 0, 2), "");
    EXPECT_EQ(text_middle("abcdef", 7, 1), "");
    EXPECT_EQ(text_middle("abcdef", 1, 0), "");
    // Byte positions, not characters: the middle of 中 comes out alone.
    EXPECT_EQ(text_middle("a中"_gb, 3, 1), "\xD0");
    EXPECT_EQ(text_byte_length("a中"_gb), 3);
}

struct FindCase {
    const char* name;
    Text text;
    Text search;
    std::int32_t start;
    bool ignore_case;
    std::int32_t expected;
};

TEST(TextCommands, FindTextMatchesOnlyAtCharacterBoundaries) {
    const std::vector<FindCase> cases = {
        {"letter after double-byte", "a中b"_gb, "b", 1, false, 4},
        {"trail byte alone", "a中b"_gb, "\xD0", 1, false, -1},
        {"lead byte alone", "a中b"_gb, "\xD6", 1, false, -1},
        {"digit inside four-byte", kFourByte + "9", "9", 1, false, 5},
        {"empty in empty", "", "", 1, false, -1},
        {"empty in text", "abc", "", 1, false, 1},
        {"empty past end", "abc", "", 4, false, -1},
        {"start below one", "abcabc", "bc", -3, false, 2},
        {"start skips first", "abcabc", "bc", 3, false, 5},
        {"start past end", "abc", "c", 4, false, -1},
        {"exact case", "ABC", "bc", 1, false, -1},
        {"ignore case", "ABC", "bc", 1, true, 2},
        {"trail letters not folded", kTrailLowerA, kTrailUpperA, 1, true, -1},
        {"trail letter not a letter", kTrailLowerA + "a", "A", 1, true, 3},
        {"search longer than text", "ab", "abc", 1, false, -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(find_text(c.text, c.search, c.start, c.ignore_case), c.expected) << c.name;
    }
}

TEST(TextCommands, FindTextReverseKeepsTheMatchInsideTheLimit) {
    EXPECT_EQ(find_text_reverse("abcabc", "bc"), 5);
    EXPECT_EQ(find_text_reverse("abcabc", "bc", 7), 5);
    EXPECT_EQ(find_text_reverse("abcabc", "bc", 6), 2);  // "bc" at 5 would end past byte 5
    EXPECT_EQ(find_text_reverse("abcabc", "bc", 2), -1);
    EXPECT_EQ(find_text_reverse("abcabc", "bc", 0), -1);
    EXPECT_EQ(find_text_reverse("abcabc", "bc", 1000), 5);
    EXPECT_EQ(find_text_reverse("abcabc", "BC", std::nullopt, true), 5);
    EXPECT_EQ(find_text_reverse("abc", ""), 1);
    EXPECT_EQ(find_text_reverse("", ""), -1);
    EXPECT_EQ(find_text_reverse("dir\\中\\x.mp3"_gb, "\\"), 7);
    // A limit inside 中 does not turn its lead byte into a match.
    EXPECT_EQ(find_text_reverse("a中"_gb, "\xD6", 3), -1);
    EXPECT_EQ(find_text_reverse(kTrailLowerA + kTrailLowerA, "a", std::nullopt, true), -1);
}

TEST(TextCommands, ReplaceTextHonoursStartCountAndCase) {
    EXPECT_EQ(replace_text("a-b-c", "-", "+"), "a+b+c");
    EXPECT_EQ(replace_text("a-b-c", "-"), "abc");
    EXPECT_EQ(replace_text("a-b-c-d", "-", "+", 3), "a-b+c+d");
    EXPECT_EQ(replace_text("a-b-c-d", "-", "+", 1, 2), "a+b+c-d");
    EXPECT_EQ(replace_text("a-b-c", "-", "+", 1, 0), "a-b-c");
    EXPECT_EQ(replace_text("a-b-c", "-", "+", 99), "a-b-c");
    EXPECT_EQ(replace_text("Xx", "x", "y", 1, std::nullopt, true), "Xy");
    EXPECT_EQ(replace_text("Xx", "x", "y", 1, std::nullopt, false), "yy");
    EXPECT_EQ(replace_text("aaa", "aa", "b"), "ba");
    EXPECT_EQ(replace_text("", "a", "b"), "");
    EXPECT_EQ(replace_text("abc", "", "b"), "abc");
    // Bytes inside a character are never replaced, whatever they look like.
    EXPECT_EQ(replace_text("中中"_gb, "\xD0\xD6", "!"), "中中"_gb);
    EXPECT_EQ(replace_text(kTrailLowerA + "a", "a", "!", 1, std::nullopt, false),
              kTrailLowerA + "!");
}

TEST(TextCommands, SplitTextKeepsInnerEmptyPartsButNoTrailingOne) {
    using Parts = std::vector<Text>;
    EXPECT_EQ(parts_of(split_text("a,,b")), (Parts{"a", "", "b"}));
    EXPECT_EQ(parts_of(split_text("a,b,")), (Parts{"a", "b"}));
    EXPECT_EQ(parts_of(split_text(",a")), (Parts{"", "a"}));
    EXPECT_EQ(parts_of(split_text("a,b,c", ",", 2)), (Parts{"a", "b"}));
    EXPECT_EQ(parts_of(split_text("a,b,c", ",", 0)), Parts{});
    EXPECT_EQ(parts_of(split_text("a,b,c", ",", -1)), Parts{});
    EXPECT_EQ(parts_of(split_text("", ",")), Parts{});
    EXPECT_EQ(parts_of(split_text("a,b", "")), (Parts{"a,b"}));
    EXPECT_EQ(parts_of(split_text("k: v\r\nx: y\r\n", "\r\n")), (Parts{"k: v", "x: y"}));
    EXPECT_EQ(parts_of(split_text("中中"_gb, "\xD0\xD6")), (Parts{"中中"_gb}));
    EXPECT_EQ(parts_of(split_text(kFourByte + "9x", "9")), (Parts{kFourByte, "x"}));
}

TEST(TextCommands, TrimTextRemovesAsciiAndFullWidthSpacesOnly) {
    const Text wide_space = "\xA1\xA1";
    EXPECT_EQ(trim_text("  a b  "), "a b");
    EXPECT_EQ(trim_text(wide_space + " 中 "_gb + wide_space), "中"_gb);
    EXPECT_EQ(trim_text("   "), "");
    EXPECT_EQ(trim_text(""), "");
    EXPECT_EQ(trim_text("\ta\n"), "\ta\n");
    // 啊 (B0 A1) followed by a lone A1: the last two bytes look like a full-width space but
    // straddle a character boundary.
    EXPECT_EQ(trim_text("\xB0\xA1\xA1"), "\xB0\xA1\xA1");
}

TEST(TextCommands, ToUpperChangesAsciiLettersOnly) {
    EXPECT_EQ(to_upper("content-type: x1"), "CONTENT-TYPE: X1");
    EXPECT_EQ(to_upper(kTrailLowerA + "a" + kFourByte), kTrailLowerA + "A" + kFourByte);
}

TEST(TextCommands, CompareTextOrdersByCharactersWithOptionalFolding) {
    struct Case {
        Text a;
        Text b;
        bool case_sensitive;
        int sign;
    };
    const std::vector<Case> cases = {
        {"abc", "abc", true, 0},
        {"abc", "ABC", false, 0},
        {"abc", "ABC", true, 1},
        {"ab", "abc", true, -1},
        {"", "", true, 0},
        {"", "a", false, -1},
        {"z", "中"_gb, true, -1},
        {"中"_gb, "啊"_gb, false, 1},
        {kTrailLowerA, kTrailUpperA, false, 1},
        {"\x81", "\x81\x40", true, -1},
    };
    for (const auto& c : cases) {
        std::int32_t r = compare_text(c.a, c.b, c.case_sensitive);
        EXPECT_EQ((r > 0) - (r < 0), c.sign) << gbk_to_utf8(c.a) << " vs " << gbk_to_utf8(c.b);
        std::int32_t back = compare_text(c.b, c.a, c.case_sensitive);
        EXPECT_EQ((back > 0) - (back < 0), -c.sign);
    }
}

TEST(TextCommands, SmallTextCommandsAtTheirEdges) {
    EXPECT_TRUE(text_begins_with("Set-Cookie: a", "Set-Cookie"));
    EXPECT_FALSE(text_begins_with("set-cookie: a", "Set-Cookie"));
    EXPECT_TRUE(text_begins_with("a", ""));
    EXPECT_FALSE(text_begins_with("", "a"));

    EXPECT_EQ(spaces(3), "   ");
    EXPECT_EQ(spaces(0), "");
    EXPECT_EQ(spaces(-5), "");

    EXPECT_EQ(char_code("A中"_gb), 65);
    EXPECT_EQ(char_code("A中"_gb, 2), -42);  // 0xD6
    EXPECT_EQ(char_code("A", 0), 0);
    EXPECT_EQ(char_code("A", 2), 0);
    EXPECT_EQ(char_code("", 1), 0);

    EXPECT_EQ(char_from_code(65), "A");
    EXPECT_EQ(char_from_code(0x1D6), "\xD6");
    EXPECT_EQ(char_from_code(-1), "\xFF");
    EXPECT_EQ(char_from_code(0), "");
    EXPECT_EQ(char_from_code(0x100), "");
}

}  // namespace
}  // namespace wavlon::runtime
