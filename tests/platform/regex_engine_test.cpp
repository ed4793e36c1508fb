#include "platform/regex_engine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace wavlon::platform {
namespace {

constexpr RegexOptions kDefault{.ignore_case = true, .multiline = true, .global = true};

RegexEngine compiled(std::string_view pattern, RegexOptions options = kDefault) {
    auto engine = RegexEngine::compile(pattern, options);
    EXPECT_TRUE(engine.has_value()) << pattern;
    return engine ? *engine : *RegexEngine::compile("(?!)", options);
}

// The matched texts of `pattern` in `subject`.
std::vector<std::string> texts(std::string_view pattern, std::string_view subject,
                               RegexOptions options = kDefault) {
    std::vector<std::string> out;
    auto matches = compiled(pattern, options).find_all(subject);
    EXPECT_TRUE(matches.has_value());
    for (const auto& m : matches.value_or(std::vector<RegexMatch>{})) {
        out.emplace_back(m.whole.in(subject));
    }
    return out;
}

using Texts = std::vector<std::string>;

TEST(RegexEngine, FindsCharsetOfMetaElementIgnoringCase) {
    const std::string head =
        "<html><head><META http-equiv=\"Content-Type\" "
        "content=\"text/html; CHARSET=UTF-8\"></head>";
    auto engine = compiled("<meta.+?charset=[^\\w]?([-\\w]+)");
    auto matches = engine.find_all(head);
    ASSERT_TRUE(matches && matches->size() == 1);
    EXPECT_EQ(engine.group_count(), 1u);
    EXPECT_EQ((*matches)[0].groups[0].in(head), "UTF-8");

    RegexOptions exact = kDefault;
    exact.ignore_case = false;
    EXPECT_EQ(compiled("<meta.+?charset=", exact).find_all(head)->size(), 0u);
}

TEST(RegexEngine, FirstIndexCountsUtf16Units) {
    auto engine = compiled("abc");
    const std::string subject =
        "中文abc\xF0\x9F\x98\x80"
        "abc";  // U+1F600 is two units
    auto matches = engine.find_all(subject);
    ASSERT_TRUE(matches && matches->size() == 2);
    EXPECT_EQ((*matches)[0].first_index, 2u);
    EXPECT_EQ((*matches)[0].whole.begin, 6u);
    EXPECT_EQ((*matches)[1].first_index, 7u);
    EXPECT_EQ((*matches)[1].whole.begin, 13u);
}

TEST(RegexEngine, GlobalSearchStepsOverEmptyMatchesByOneCharacter) {
    EXPECT_EQ(texts("a*", "baaac"), (Texts{"", "aaa", "", ""}));
    EXPECT_EQ(texts("x*", "中\xF0\x9F\x98\x80"), (Texts{"", "", ""}));
    EXPECT_EQ(texts("", ""), (Texts{""}));
    RegexOptions once = kDefault;
    once.global = false;
    EXPECT_EQ(texts("a", "aaa", once), (Texts{"a"}));
}

TEST(RegexEngine, FollowsEcmaScriptDialect) {
    RegexOptions single = kDefault;
    single.multiline = false;
    EXPECT_EQ(texts("^b", "a\nb"), (Texts{"b"}));
    EXPECT_EQ(texts("^b", "a\nb", single), Texts{});
    EXPECT_EQ(texts("a$", "a\n", single), Texts{});  // "$" only at the very end
    EXPECT_EQ(texts("\\u4e2d+", "x中中y"), (Texts{"中中"}));
    EXPECT_EQ(texts("\\u{1F600}", "\xF0\x9F\x98\x80"), (Texts{"\xF0\x9F\x98\x80"}));
    EXPECT_EQ(texts("a[^]b", "a\nb"), (Texts{"a\nb"}));
    EXPECT_EQ(texts("a[]b", "ab"), Texts{});
    EXPECT_EQ(texts("(a)?b\\1", "b"), (Texts{"b"}));        // unset group matches empty
    EXPECT_EQ(texts("\\w+", "中abc_1"), (Texts{"abc_1"}));  // \w is ASCII only
    EXPECT_EQ(texts("\\d", "１2"), (Texts{"2"}));
    EXPECT_EQ(texts("é", "É"), (Texts{"É"}));
}

TEST(RegexEngine, UnsetGroupIsEmptyAndUnmatched) {
    auto engine = compiled("(x)?(b)");
    auto matches = engine.find_all("ab");
    ASSERT_TRUE(matches && matches->size() == 1);
    const RegexMatch& m = (*matches)[0];
    ASSERT_EQ(m.groups.size(), 2u);
    EXPECT_FALSE(m.groups[0].matched);
    EXPECT_EQ(m.groups[0].in("ab"), "");
    EXPECT_EQ(m.groups[1].in("ab"), "b");
}

TEST(RegexEngine, BadPatternsFailToCompile) {
    for (const char* pattern : {"(", "a{2,1}", "[b-a]", "(?<", "\\", "*a", "\xFF"}) {
        EXPECT_FALSE(RegexEngine::compile(pattern, kDefault).has_value()) << pattern;
    }
}

TEST(RegexEngine, CatastrophicPatternHitsLimitInsteadOfHanging) {
    auto engine = compiled("(a+)+$");
    const std::string subject = std::string(40, 'a') + "!";
    EXPECT_FALSE(engine.find_all(subject).has_value());
    EXPECT_FALSE(engine.replace(subject, "x").has_value());
    EXPECT_FALSE(compiled("(x+x+)+y").find_all(std::string(40, 'x') + "!y").has_value());
}

TEST(RegexEngine, InvalidUtf8SubjectIsSearchedAroundBadBytes) {
    const std::string subject =
        "\xFF"
        "abc\xC3"
        "abc";
    EXPECT_EQ(texts("abc", subject), (Texts{"abc", "abc"}));
    EXPECT_EQ(texts(".", "\xFF"), Texts{});
}

TEST(RegexEngine, ReplacementExpandsReferences) {
    struct Case {
        const char* pattern;
        const char* replacement;
        const char* expected;
    };
    const Case cases[] = {
        {"(\\w+)=(\\w+)", "$2=$1", "1=a; 2=b"},
        {"(\\w+)=(\\w+)", "[$&]", "[a=1]; [b=2]"},
        {"(\\w+)=(\\w+)", "$$1", "$1; $1"},
        {"(\\w+)=(\\w+)", "$10", "a0; b0"},  // no group 10: group 1, then "0"
        {"(\\w+)=(\\w+)", "$0$3$x$", "$0$3$x$; $0$3$x$"},
        {";", "$'|$`", "a=1 b=2|a=1 b=2"},
        {"(x)?=", "<$1>", "a<>1; b<>2"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(compiled(c.pattern).replace("a=1; b=2", c.replacement), c.expected)
            << c.pattern << " / " << c.replacement;
    }
    RegexOptions once = kDefault;
    once.global = false;
    EXPECT_EQ(compiled("\\d", once).replace("a1b2", "#"), "a#b2");
}

TEST(RegexEngine, TwoDigitReferenceUsedWhenThatGroupExists) {
    std::string pattern;
    for (int i = 0; i < 12; ++i) {
        pattern += "(.)";
    }
    EXPECT_EQ(compiled(pattern).replace("abcdefghijkl", "$12$1"), "la");
}

}  // namespace
}  // namespace wavlon::platform
