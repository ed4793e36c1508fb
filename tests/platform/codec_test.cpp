#include "platform/codec.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>

namespace wavlon::platform {
namespace {

// "中文" in GBK/GB18030 and UTF-8; U+1F600 needs a 4-byte GB18030 sequence.
const Text kGbChinese("\xD6\xD0\xCE\xC4");
const std::string kUtf8Chinese = "\xE4\xB8\xAD\xE6\x96\x87";
const std::string kUtf8Emoji = "\xF0\x9F\x98\x80";

TEST(Codec, GbkTextsKeepTheirBytesThroughUtf8AndUtf16) {
    EXPECT_EQ(gbk_to_utf8(kGbChinese), kUtf8Chinese);
    EXPECT_EQ(utf8_to_gbk(kUtf8Chinese), kGbChinese);
    EXPECT_EQ(utf16_to_gbk(gbk_to_utf16(kGbChinese)), kGbChinese);
    EXPECT_EQ(gbk_to_utf16(kGbChinese), u"中文");
}

TEST(Codec, EveryUnicodeCharacterSurvivesTheRoundTrip) {
    Text gb = utf8_to_gbk(kUtf8Emoji + "a" + kUtf8Chinese);
    EXPECT_EQ(gb.size(), 4u + 1u + 4u);
    EXPECT_EQ(gbk_to_utf8(gb), kUtf8Emoji + "a" + kUtf8Chinese);
    EXPECT_EQ(utf16_to_utf8(utf8_to_utf16(kUtf8Emoji)), kUtf8Emoji);
}

// Two-byte sequences (where GB18030 differs from code page 936 too), four-byte ones in the
// BMP and above it, and the edges of each range, as glibc's GB18030 converter has them.
TEST(Codec, Gb18030SequencesRoundTripThroughUtf8AndUtf16) {
    const std::pair<std::string, std::string> cases[] = {
        {"\xD6\xD0", "中"},
        {"\xA1\xA1", "\u3000"},
        {"\xAA\xA1", "\uE000"},
        {"\xA2\xE3", "€"},
        {"\xA6\xD9", "\uFE10"},
        {"\xA8\xBF", "ǹ"},
        {"\xFE\x50", "\u2E81"},
        {"\xFE\x51", "\U00020087"},
        {"\x81\x30\x81\x30", "\u0080"},
        {"\x81\x30\x84\x36", "¥"},
        {"\x81\x35\xF4\x37", "\uE7C7"},
        {"\x83\x36\x84\x33", "한"},
        {"\x84\x31\xA4\x39", "\uFFFF"},
        {"\x90\x30\x81\x30", "\U00010000"},
        {"\x94\x39\xFC\x36", "😀"},
        {"\xE3\x32\x9A\x35", "\U0010FFFF"},
    };
    for (const auto& [gb, utf8] : cases) {
        EXPECT_EQ(gbk_to_utf8(Text(gb)), utf8) << gb;
        EXPECT_EQ(utf8_to_gbk(utf8), Text(gb)) << utf8;
        EXPECT_EQ(utf16_to_utf8(gbk_to_utf16(Text(gb))), utf8) << gb;
        EXPECT_EQ(utf16_to_gbk(utf8_to_utf16(utf8)), Text(gb)) << utf8;
    }
    // The four-byte form of a character that has a two-byte one reads, but is not written.
    EXPECT_EQ(gbk_to_utf8("\x95\x32\x90\x31"), "\U00020087");
    // A private-use character whose sequence GB18030 gave to another character has none.
    EXPECT_EQ(utf16_to_gbk(u"a\uE78Db"), "a?b");
}

// Every two-byte sequence and every four-byte one of the BMP read, and every character
// written, against a digest of what glibc's GB18030 converter gives for them.
TEST(Codec, EverySequenceConvertsAsGlibcDoes) {
    std::string pairs;
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            if (trail != 0x7F) {
                pairs += static_cast<char>(lead);
                pairs += static_cast<char>(trail);
            }
        }
    }
    std::string four_byte;  // the BMP's sequences and the first ones past them
    for (std::uint32_t linear = 0; linear < 39500; ++linear) {
        four_byte += static_cast<char>(0x81 + linear / 12600);
        four_byte += static_cast<char>(0x30 + linear / 1260 % 10);
        four_byte += static_cast<char>(0x81 + linear / 10 % 126);
        four_byte += static_cast<char>(0x30 + linear % 10);
    }
    std::u16string characters;
    for (char32_t code = 0x80; code <= 0x10FFFF; ++code) {
        if (code < 0x10000 && (code < 0xD800 || code > 0xDFFF)) {
            characters.push_back(static_cast<char16_t>(code));
        } else if (code >= 0x10000) {
            characters.push_back(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
            characters.push_back(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
        }
    }
    auto digest = [](std::string_view bytes) {
        std::uint64_t hash = 14695981039346656037ULL;  // FNV-1a
        for (char c : bytes) {
            hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
        }
        return hash;
    };
    EXPECT_EQ(digest(gbk_to_utf8(Text(pairs))), 12446091816272094978ULL);
    EXPECT_EQ(digest(gbk_to_utf8(Text(four_byte))), 16532363101352166135ULL);
    EXPECT_EQ(digest(utf16_to_gbk(characters).bytes()), 13823829004446499360ULL);
}

TEST(Codec, InvalidInputIsReplacedNotTruncated) {
    // A lone lead byte in the middle and at the end of a GB18030 text.
    EXPECT_EQ(gbk_to_utf8("a\xFF"
                          "b"),
              "a\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(gbk_to_utf8("ab\xD6"), "ab\xEF\xBF\xBD");
    // Invalid UTF-8 in the middle of a text.
    EXPECT_EQ(utf8_to_gbk("x\xC3(y"), "x?(y");
    // An unpaired surrogate in UTF-16.
    std::u16string lone = u"a";
    lone.push_back(static_cast<char16_t>(0xD800));
    lone += u"b";
    EXPECT_EQ(utf16_to_gbk(lone), "a?b");
}

TEST(Codec, EmptyTextsStayEmpty) {
    EXPECT_EQ(gbk_to_utf8(""), "");
    EXPECT_EQ(utf8_to_gbk(""), "");
    EXPECT_TRUE(gbk_to_utf16("").empty());
    EXPECT_EQ(utf16_to_gbk(u""), "");
}

TEST(Codec, Utf8Validity) {
    EXPECT_TRUE(is_valid_utf8(kUtf8Chinese + kUtf8Emoji + "plain"));
    EXPECT_FALSE(is_valid_utf8("\xC0\xAF"));      // overlong "/"
    EXPECT_FALSE(is_valid_utf8("\xED\xA0\x80"));  // surrogate
    EXPECT_FALSE(is_valid_utf8("abc\xE4\xB8"));   // cut short
    EXPECT_FALSE(is_valid_utf8(kGbChinese.bytes()));
}

TEST(Codec, NamedCharsetsDecodeToGb) {
    EXPECT_EQ(charset_to_gbk("utf-8", kUtf8Chinese), kGbChinese);
    EXPECT_EQ(charset_to_gbk("UTF-8", kUtf8Chinese), kGbChinese);
    EXPECT_EQ(charset_to_gbk("big5", "\xA4\xA4"), kGbChinese.substr(0, 2));
    const std::tuple<const char*, std::string, std::string> named[] = {
        {"Shift_JIS", "\x82\xA0", "あ"},
        {"EUC-KR", "\xC7\xD1", "한"},
        {"windows-1252", "\x80", "€"},
        {"ISO-8859-1", "\xE9", "é"},
        {"UTF-16LE", std::string("\x2D\x4E", 2), "中"},
        {"utf-16be", std::string("\x4E\x2D", 2), "中"},
        {"GB2312", "\xD6\xD0", "中"},
        {"gb18030", "\x94\x39\xFC\x36", "😀"},
    };
    for (const auto& [charset, bytes, utf8] : named) {
        EXPECT_EQ(charset_to_gbk(charset, bytes), utf8_to_gbk(utf8)) << charset;
    }
    EXPECT_EQ(charset_to_gbk("no-such-charset", "abc"), std::nullopt);
    EXPECT_EQ(charset_to_gbk("", "abc"), std::nullopt);
}

#ifdef _WIN32
// Names on Windows are UTF-16, held as UTF-8: every one has a text and back.
TEST(Codec, FileNamesAreUtf8) {
    EXPECT_EQ(file_name_to_gbk(kUtf8Chinese + ".mp3"), kGbChinese + ".mp3");
    EXPECT_EQ(gbk_to_file_name(kGbChinese + "/a.mp3"), kUtf8Chinese + "/a.mp3");
    EXPECT_EQ(gbk_to_file_name(utf8_to_gbk(kUtf8Emoji)), kUtf8Emoji);
}
#else
// Names in the bytes of another code page exist only where the file system holds bytes.
TEST(Codec, FileNamesThatAreNotUtf8AreTextsAsTheyStand) {
    EXPECT_EQ(file_name_to_gbk("a.mp3"), "a.mp3");
    EXPECT_EQ(file_name_to_gbk(kUtf8Chinese + ".mp3"), kGbChinese + ".mp3");
    EXPECT_EQ(file_name_to_gbk((kGbChinese + ".mp3").bytes()), kGbChinese + ".mp3");
    EXPECT_EQ(file_name_to_gbk("\xFF\xFE.mp3"), "\xFF\xFE.mp3");
}

// Names made elsewhere next to names made here: a folder whose name is GBK bytes holding a
// file with a UTF-8 name, and the other way round.
TEST(Codec, TextsNameTheFilesTheyReadAs) {
    std::string root = (std::filesystem::temp_directory_path() / "wavlon-names-XXXXXX").string();
    ASSERT_NE(::mkdtemp(root.data()), nullptr);
    const std::string gbk_music = "\xD2\xF4\xC0\xD6";  // 音乐
    const std::string gbk_tune = "\xC7\xFA.mp3";       // 曲.mp3
    std::filesystem::create_directories(root + "/" + gbk_music);
    std::ofstream(root + "/" + gbk_music + "/" + kUtf8Chinese + ".mp3") << "x";
    std::filesystem::create_directories(root + "/" + kUtf8Chinese);
    std::ofstream(root + "/" + kUtf8Chinese + "/" + gbk_tune) << "x";
    std::filesystem::create_directories(root + "/both/" + gbk_music);
    std::filesystem::create_directories(root + "/both/" + gbk_to_utf8(Text(gbk_music)));

    const std::pair<std::string, std::string> cases[] = {
        {root + "/" + gbk_music + "/" + kGbChinese.bytes() + ".mp3",
         root + "/" + gbk_music + "/" + kUtf8Chinese + ".mp3"},
        {root + "/" + kGbChinese.bytes() + "/" + gbk_tune,
         root + "/" + kUtf8Chinese + "/" + gbk_tune},
        {root + "/" + gbk_music, root + "/" + gbk_music},
        // A name yet to be made, also inside a folder named in GBK bytes, is made in UTF-8.
        {root + "/" + gbk_music + "/" + kGbChinese.bytes() + ".txt",
         root + "/" + gbk_music + "/" + kUtf8Chinese + ".txt"},
        {root + "/" + kGbChinese.bytes() + ".txt", root + "/" + kUtf8Chinese + ".txt"},
        // Where both exist, the UTF-8 one is meant.
        {root + "/both/" + gbk_music, root + "/both/" + gbk_to_utf8(Text(gbk_music))},
        {"relative/a.mp3", "relative/a.mp3"},
        {"", ""},
    };
    for (const auto& [text, name] : cases) {
        EXPECT_EQ(gbk_to_file_name(Text(text)), name) << text;
    }
    std::filesystem::remove_all(root);
}
#endif

// UTF-8 strings and texts never turn into each other unseen: only the conversions above, or
// the explicit constructor for bytes that are GB18030 already, make one from the other.
static_assert(!std::is_convertible_v<std::string, Text>);
static_assert(!std::is_convertible_v<std::string_view, TextView>);
static_assert(!std::is_convertible_v<const char*, Text>);
static_assert(!std::is_convertible_v<Text, std::string_view>);
static_assert(!std::is_convertible_v<Text, std::string>);
static_assert(std::is_convertible_v<const char (&)[4], Text>);
template <class T>
concept AddsANumber = requires(T t) {
    t + 5;
};
static_assert(!AddsANumber<Text>);  // a number is not a byte to append

TEST(GbkText, CharBuffersAndLiteralsEndAtTheirFirstZeroByte) {
    char digits[16] = "100";  // a filled-in buffer: the rest are zero bytes
    EXPECT_EQ(Text(digits).size(), 3u);
    EXPECT_EQ(TextView(digits).size(), 3u);
    EXPECT_EQ(Text("a\0b").size(), 1u);
    EXPECT_EQ(Text("a\0b", 3).size(), 3u);
}

TEST(GbkText, JoinsAndComparesByBytes) {
    const Text a = utf8_to_gbk("歌");
    Text joined = a + "-" + TextView(a) + 'x';
    EXPECT_EQ(joined, utf8_to_gbk("歌-歌x"));
    joined += "!";
    EXPECT_TRUE(joined.ends_with('!'));
    EXPECT_LT(Text("a"), Text("b"));
    EXPECT_LT(Text("z"), a);  // bytes compare unsigned: 0xB8 after 'z'
    EXPECT_NE(a, Text("\xB8"));
    EXPECT_EQ(Text(a.bytes()), a);
}

}  // namespace
}  // namespace wavlon::platform
