#include "platform/codec.h"

#include <gtest/gtest.h>

namespace wavlon::platform {
namespace {

// "中文" in GBK/GB18030 and UTF-8; U+1F600 needs a 4-byte GB18030 sequence.
const std::string kGbChinese = "\xD6\xD0\xCE\xC4";
const std::string kUtf8Chinese = "\xE4\xB8\xAD\xE6\x96\x87";
const std::string kUtf8Emoji = "\xF0\x9F\x98\x80";

TEST(Codec, GbkTextsKeepTheirBytesThroughUtf8AndUtf16) {
    EXPECT_EQ(gb_to_utf8(kGbChinese), kUtf8Chinese);
    EXPECT_EQ(utf8_to_gb(kUtf8Chinese), kGbChinese);
    EXPECT_EQ(utf16_to_gb(gb_to_utf16(kGbChinese)), kGbChinese);
    EXPECT_EQ(gb_to_utf16(kGbChinese), u"中文");
}

TEST(Codec, EveryUnicodeCharacterSurvivesTheRoundTrip) {
    std::string gb = utf8_to_gb(kUtf8Emoji + "a" + kUtf8Chinese);
    EXPECT_EQ(gb.size(), 4u + 1u + 4u);
    EXPECT_EQ(gb_to_utf8(gb), kUtf8Emoji + "a" + kUtf8Chinese);
    EXPECT_EQ(utf16_to_utf8(utf8_to_utf16(kUtf8Emoji)), kUtf8Emoji);
}

TEST(Codec, InvalidInputIsReplacedNotTruncated) {
    // A lone lead byte in the middle and at the end of a GB18030 text.
    EXPECT_EQ(gb_to_utf8("a\xFF" "b"), "a\xEF\xBF\xBD" "b");
    EXPECT_EQ(gb_to_utf8("ab\xD6"), "ab\xEF\xBF\xBD");
    // Invalid UTF-8 in the middle of a text.
    EXPECT_EQ(utf8_to_gb("x\xC3(y"), "x?(y");
    // An unpaired surrogate in UTF-16.
    std::u16string lone = u"a";
    lone.push_back(static_cast<char16_t>(0xD800));
    lone += u"b";
    EXPECT_EQ(utf16_to_gb(lone), "a?b");
}

TEST(Codec, EmptyTextsStayEmpty) {
    EXPECT_EQ(gb_to_utf8(""), "");
    EXPECT_EQ(utf8_to_gb(""), "");
    EXPECT_TRUE(gb_to_utf16("").empty());
    EXPECT_EQ(utf16_to_gb(u""), "");
}

TEST(Codec, Utf8Validity) {
    EXPECT_TRUE(is_valid_utf8(kUtf8Chinese + kUtf8Emoji + "plain"));
    EXPECT_FALSE(is_valid_utf8("\xC0\xAF"));          // overlong "/"
    EXPECT_FALSE(is_valid_utf8("\xED\xA0\x80"));      // surrogate
    EXPECT_FALSE(is_valid_utf8("abc\xE4\xB8"));       // cut short
    EXPECT_FALSE(is_valid_utf8(kGbChinese));
}

TEST(Codec, NamedCharsetsDecodeToGb) {
    EXPECT_EQ(charset_to_gb("utf-8", kUtf8Chinese), kGbChinese);
    EXPECT_EQ(charset_to_gb("UTF-8", kUtf8Chinese), kGbChinese);
    EXPECT_EQ(charset_to_gb("big5", "\xA4\xA4"), kGbChinese.substr(0, 2));
    EXPECT_EQ(charset_to_gb("no-such-charset", "abc"), std::nullopt);
    EXPECT_EQ(charset_to_gb("", "abc"), std::nullopt);
}

}  // namespace
}  // namespace wavlon::platform
