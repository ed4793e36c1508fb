#include "network/regex_object.h"

#include <gtest/gtest.h>

#include <string>

namespace wavlon::network {
namespace {

using runtime::operator""_gb;
using runtime::Text;

constexpr runtime::TextView kCharsetPattern = "<meta.+?charset=[^\\w]?([-\\w]+)";

TEST(RegexObject, ReadsCharsetFromPageHead) {
    RegexObject regex;
    ASSERT_TRUE(
        regex.execute(kCharsetPattern, "<head><meta charset=\"utf-8\"><title>歌</title>"_gb));
    EXPECT_EQ(regex.match_count(), 1);
    EXPECT_EQ(regex.submatch_count(), 1);
    EXPECT_EQ(regex.get_submatch(1, 1), "utf-8");
    EXPECT_EQ(regex.get_pattern(), kCharsetPattern);
}

TEST(RegexObject, IgnoresCaseUnlessAskedNotTo) {
    const Text head = "<META content=\"text/html; CHARSET=UTF-8\">";
    RegexObject regex;
    ASSERT_TRUE(regex.execute(kCharsetPattern, head));
    EXPECT_EQ(regex.get_submatch(1, 1), "UTF-8");
    ASSERT_TRUE(regex.execute(kCharsetPattern, head, true));
    EXPECT_EQ(regex.match_count(), 0);
    EXPECT_EQ(regex.get_submatch(1, 1), "");
}

TEST(RegexObject, NumbersOutOfRangeGiveEmptyTextAndNoPosition) {
    RegexObject regex;
    ASSERT_TRUE(regex.execute("(a)(x)?", "a"));
    std::int32_t position = 99;
    const std::pair<int, int> out_of_range[] = {{2, 1}, {0, 1}, {-1, 1}, {1, 3}, {1, 0}};
    for (auto [k, j] : out_of_range) {
        position = 99;
        EXPECT_EQ(regex.get_submatch(k, j, &position, true), "") << k << "," << j;
        EXPECT_EQ(position, -1);
    }
    EXPECT_EQ(regex.get_match(2, &position, true), "");
    EXPECT_EQ(position, -1);
    // A group that took no part in the match.
    EXPECT_EQ(regex.get_submatch(1, 2, &position, true), "");
    EXPECT_EQ(position, -1);
    EXPECT_EQ(regex.submatch_count(), 2);
}

TEST(RegexObject, QuoteMarkerStandsForDoubleQuote) {
    const Text page = "<a title=\"x\" href=\"song.mp3\">";
    const Text pattern = "href=#引号([^#引号]*)#引号"_gb;
    RegexObject regex;
    ASSERT_TRUE(regex.execute(pattern, page, false, true, true, true));
    EXPECT_EQ(regex.get_submatch(1, 1), "song.mp3");
    EXPECT_EQ(regex.get_pattern(), "href=\"([^\"]*)\"");
    ASSERT_TRUE(regex.execute(pattern, page));
    EXPECT_EQ(regex.match_count(), 0);
}

TEST(RegexObject, PositionsAreByteOffsetsInTheSubject) {
    RegexObject regex;
    ASSERT_TRUE(regex.execute("abc", "中文abc"_gb));
    std::int32_t position = 0;
    EXPECT_EQ(regex.get_match(1, &position, true), "abc");
    EXPECT_EQ(position, 4);  // two double-byte characters before it, two UTF-16 units

    position = 77;
    regex.get_match(1, &position, false);
    EXPECT_EQ(position, 77);

    // A four-byte character (U+1F600) and an undecodable byte before the match.
    ASSERT_TRUE(regex.execute("b(c)",
                              "\xF0\x9F\x98\x80\xFF"
                              "abc"_gb));
    EXPECT_EQ(regex.get_submatch(1, 1, &position, true), "c");
    EXPECT_EQ(position, 7);
}

TEST(RegexObject, PositionIsTheMatchOwnEvenWhenItsTextAppearsEarlier) {
    RegexObject regex;
    ASSERT_TRUE(regex.execute("a$", "中a中a"_gb));
    std::int32_t position = 0;
    EXPECT_EQ(regex.get_match(1, &position, true), "a");
    EXPECT_EQ(position, 5);
}

TEST(RegexObject, EmptyMatchesAreSteppedOverByCharacter) {
    RegexObject regex;
    ASSERT_TRUE(regex.execute("x*", "中文"_gb));
    ASSERT_EQ(regex.match_count(), 3);
    std::int32_t position = 0;
    for (int k = 1; k <= 3; ++k) {
        EXPECT_EQ(regex.get_match(k, &position, true), "");
        EXPECT_EQ(position, 2 * (k - 1));
    }
}

TEST(RegexObject, MatchTextsKeepTheSubjectBytes) {
    RegexObject regex;
    ASSERT_TRUE(regex.execute("歌."_gb, "一首歌曲，两首歌词"_gb));
    ASSERT_EQ(regex.match_count(), 2);
    EXPECT_EQ(regex.get_match(1), "歌曲"_gb);
    EXPECT_EQ(regex.get_match(2), "歌词"_gb);
}

TEST(RegexObject, ReplaceUsesGroupReferences) {
    RegexObject regex;
    ASSERT_TRUE(regex.execute("(\\w+)=(\\w+)", "歌=1; 曲=a=b"_gb));
    EXPECT_EQ(regex.replace("$2:$1"), "歌=1; 曲=b:a"_gb);
    ASSERT_TRUE(regex.execute("(\\d)", "1中2"_gb, false, true, false));
    EXPECT_EQ(regex.replace("<$1$1>"), "<11>中2"_gb);
    ASSERT_TRUE(regex.execute("z", "中"_gb));
    EXPECT_EQ(regex.replace("y"), "中"_gb);
}

TEST(RegexObject, FailedExecuteLeavesEmptyResults) {
    RegexObject regex;
    EXPECT_EQ(regex.get_pattern(), "");
    EXPECT_EQ(regex.match_count(), 0);
    EXPECT_EQ(regex.replace("x"), "");

    ASSERT_TRUE(regex.execute("a", "a"));
    EXPECT_FALSE(regex.execute("(a", "a"));
    EXPECT_EQ(regex.get_pattern(), "(a");
    EXPECT_EQ(regex.match_count(), 0);
    EXPECT_EQ(regex.submatch_count(), 0);
    EXPECT_EQ(regex.get_match(1), "");
    EXPECT_EQ(regex.replace("x"), "");
}

TEST(RegexObject, CatastrophicPatternFailsInsteadOfHanging) {
    RegexObject regex;
    EXPECT_FALSE(regex.execute("(a+)+$", Text(40, 'a') + "!"));
    EXPECT_EQ(regex.match_count(), 0);
}

TEST(RegexObject, CopyKeepsItsResultsWhenTheOriginalRunsAgain) {
    RegexObject regex;
    ASSERT_TRUE(regex.execute("(b)", "abc"));
    RegexObject copy = regex.copy();
    ASSERT_TRUE(regex.execute("z", "xyz"));
    EXPECT_EQ(copy.get_submatch(1, 1), "b");
    EXPECT_EQ(copy.replace("[$1]"), "a[b]c");
    EXPECT_EQ(copy.get_pattern(), "(b)");
    EXPECT_EQ(regex.get_match(1), "z");
}

}  // namespace
}  // namespace wavlon::network
