#include "network/text_helpers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace wavlon::network {
namespace {

using runtime::operator""_gb;

ByteSet bytes(std::initializer_list<int> values) {
    std::vector<std::uint8_t> v;
    for (int b : values) {
        v.push_back(static_cast<std::uint8_t>(b));
    }
    return ByteSet(std::move(v));
}

TEST(CodePages, Utf16CarriesTerminatorUnlessDropped) {
    EXPECT_EQ(to_utf16("中a"_gb), bytes({0x2D, 0x4E, 0x61, 0x00, 0x00, 0x00}));
    EXPECT_EQ(to_utf16("中a"_gb, true), bytes({0x2D, 0x4E, 0x61, 0x00}));
    EXPECT_TRUE(to_utf16("").empty());
    EXPECT_TRUE(to_utf16("", true).empty());
}

TEST(CodePages, FromUtf16EndsAtFirstZeroAndIgnoresOddByte) {
    EXPECT_EQ(from_utf16(bytes({0x2D, 0x4E, 0x61, 0x00, 0x00, 0x00, 0x62, 0x00})), "中a"_gb);
    EXPECT_EQ(from_utf16(bytes({0x61, 0x00, 0x62})), "a");
    EXPECT_EQ(from_utf16(ByteSet{}), "");
}

TEST(CodePages, CharactersOutsideTheBmpSurviveEveryRoute) {
    const Text text = "歌\xF0\x9F\x98\x80"_gb;  // a Han character and U+1F600
    EXPECT_EQ(from_utf16(to_utf16(text)), text);
    EXPECT_EQ(gbk_to_utf8(text), "歌\xF0\x9F\x98\x80");
    EXPECT_EQ(utf8_to_gbk(gbk_to_utf8(text)), text);
}

struct EncodeCase {
    std::string text;
    bool keep_unreserved;
    bool utf8;
    Text expected;
};

TEST(UrlEncode, EncodesEveryByteExceptKeptUnreserved) {
    const EncodeCase cases[] = {
        {"a b/c", true, false, "a%20b%2Fc"},
        {"a b/c", false, false, "%61%20%62%2F%63"},
        {"\n", true, false, "%0A"},
        {"-.09AZaz_~* ", true, false, "-.09AZaz%5F%7E%2A%20"},
        {"中", true, true, "%E4%B8%AD"},
        {"中", true, false, "%D6%D0"},
        {"", true, true, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(url_encode(runtime::utf8_to_gbk(c.text), c.keep_unreserved, c.utf8), c.expected)
            << c.text;
    }
}

TEST(UrlDecode, DecodesOnlyPercentWithTwoHexDigits) {
    const std::pair<Text, Text> cases[] = {
        {"%41", "A"},           {"%4a%4A", "JJ"}, {"a+b%20c", "a+b c"},
        {"100%", "100%"},       {"%4", "%4"},     {"%", "%"},
        {"%zz1", "%zz1"},       {"%%41", "%A"},   {"x%00y", "x%00y"},
        {"%D6%D0", "\xD6\xD0"},
    };
    for (const auto& [input, expected] : cases) {
        EXPECT_EQ(url_decode(input, false), expected) << input;
    }
}

TEST(UrlDecode, Utf8OptionConvertsDecodedBytes) {
    EXPECT_EQ(url_decode("%e4%b8%ad", true), "中"_gb);
    EXPECT_EQ(url_decode("x%E4%B8%AD%41", true), "x中A"_gb);
    EXPECT_EQ(url_decode(url_encode("歌 曲/1"_gb, true, true), true), "歌 曲/1"_gb);
}

struct CutCase {
    Text text;
    Text separator;
    std::int32_t start;
    bool ignore_case;
    Text before;
    Text after;
};

TEST(TextCuts, BeforeAndAfterFollowTheirSearchDirection) {
    const CutCase cases[] = {
        // start 0: before uses the first occurrence, after the last.
        {"a=1=2", "=", 0, false, "a", "2"},
        {"a=1=2", "=", 3, false, "a=1", "2"},
        // Negative starts flip the direction.
        {"a=1=2", "=", -1, false, "a=1", "1=2"},
        {"a=1=2", "=", -3, false, "a", "1=2"},
        {"k:v", "x", 0, false, "", ""},
        {"NameXvalue", "x", 0, true, "Name", "value"},
        {"NameXvalue", "x", 0, false, "", ""},
        {"", "=", 0, false, "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(text_before(c.text, c.separator, c.start, c.ignore_case), c.before)
            << c.text << " " << c.start;
    }
    // After: start counts back from the end for start >= 0.
    EXPECT_EQ(text_after("a=1=2", "=", 0), "2");
    EXPECT_EQ(text_after("a=1=2", "=", 2), "1=2");
    EXPECT_EQ(text_after("a=1=2", "=", -1), "1=2");
    EXPECT_EQ(text_after("a=1=2", "=", -3), "2");
    EXPECT_EQ(text_after("NameXvalue", "x", 0, true), "value");
    EXPECT_EQ(text_after("k:v", "x", 0), "");
}

TEST(TextCuts, NeverSplitADoubleByteCharacter) {
    // The trail byte of 中 (D6 D0) is not a match for the separator "\xD0".
    const Text text = "中=值"_gb;
    EXPECT_EQ(text_before(text, "="), "中"_gb);
    EXPECT_EQ(text_after(text, "="), "值"_gb);
    EXPECT_EQ(text_before(text, "\xD0"), "");
}

TEST(TextBetween, CutsBetweenMarkers) {
    EXPECT_EQ(text_between("Set-Cookie: sid=1; path=/", "Set-Cookie:", ";"), " sid=1");
    EXPECT_EQ(text_between("<a href=\"x.mp3\">", "href=#引号"_gb, "#引号"_gb), "x.mp3");
    EXPECT_EQ(text_between("[1][2]", "[", "]", 2), "2");
    EXPECT_EQ(text_between("[1][2]", "[", "]", 7), "");
    EXPECT_EQ(text_between("<A>x</a>", "<a>", "</A>", 0, true), "x");
    EXPECT_EQ(text_between("<a>x", "<a>", "</a>"), "");
    EXPECT_EQ(text_between("x</a>", "<a>", "</a>"), "");
    EXPECT_EQ(text_between("ab", "b", "c"), "");
}

TEST(HeaderNames, OnlyFirstLettersOfWordsChange) {
    EXPECT_EQ(normalise_header_names("content-type: x"), "Content-Type: x");
    EXPECT_EQ(normalise_header_names("X-Requested-With: XMLHttpRequest"),
              "X-Requested-With: XMLHttpRequest");
    EXPECT_EQ(normalise_header_names("CACHE-CONTROL: y"), "CACHE-CONTROL: y");
    EXPECT_EQ(normalise_header_names("user-agent:x\r\nreferer:  a:b"),
              "User-Agent:x\r\nReferer:  a:b");
    EXPECT_EQ(normalise_header_names("x--y-: 1"), "X--Y-: 1");
    EXPECT_EQ(capitalise_first("中a"_gb), "中a"_gb);
    EXPECT_EQ(capitalise_first(""), "");
}

TEST(HeaderNames, DropsLinesWithoutColon) {
    EXPECT_EQ(normalise_header_names("a: 1\r\n\r\nno colon\r\nb: 2\r\n"), "A: 1\r\nB: 2");
    EXPECT_EQ(normalise_header_names("\r\n"), "");
    EXPECT_EQ(normalise_header_names(""), "");
}

TEST(HeaderValue, LastMatchingLineWins) {
    const Text block = "HTTP/1.1 200 OK\r\nLocation: /a\r\nContent-Type: text/html\r\nLocation: /b";
    EXPECT_EQ(get_header_value(block, "Location"), "/b");
    EXPECT_EQ(get_header_value(block, "Content-Type"), "text/html");
    EXPECT_EQ(get_header_value(block, "location"), "");
    EXPECT_EQ(get_header_value(block, "Server"), "");
}

TEST(HeaderValue, LongerNameOrNameInsideValueDoesNotConfuse) {
    EXPECT_EQ(get_header_value("Connection: keep-alive\r\nConnection-X: 1", "Connection"),
              "keep-alive");
    EXPECT_EQ(get_header_value("Location: /go?to=Location: x", "Location"), "/go?to=Location: x");
}

TEST(Cookies, NewReplaceOldAndDeletedAreDropped) {
    const std::tuple<Text, Text, Text> cases[] = {
        {"a=1; b=2", "b=3; c=deleted", "b=3; a=1"},
        {"a=1", "", "a=1"},
        {"", "a=1", "a=1"},
        {"", "", ""},
        {" a=1; ", "a=2;", "a=2"},
        {"a=1; flag", "flag; b=2", "flag; b=2; a=1"},
        {"a=1", "a=deleted", ""},
        {"a=1; a=1", "b=1; b=1", "b=1; a=1"},
        {"x = 1", "x=2", "x=2"},
    };
    for (const auto& [old_list, new_list, expected] : cases) {
        EXPECT_EQ(merge_cookies(old_list, new_list), expected) << old_list << " + " << new_list;
    }
}

TEST(Duplicates, KeepFirstOccurrence) {
    EXPECT_EQ(remove_duplicates("a,b,a,,c,", ",", true), "a,b,,c");
    EXPECT_EQ(remove_duplicates("", ",", true), "");
    EXPECT_EQ(remove_duplicates("abca", "", false), "abc");
    EXPECT_EQ(remove_duplicates("中a中\r\n\r\n"_gb, "|", false), "中|a|\r\n"_gb);
}

}  // namespace
}  // namespace wavlon::network
