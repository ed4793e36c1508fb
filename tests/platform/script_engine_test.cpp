#include "platform/script_engine.h"

#include <gtest/gtest.h>

#include <string>

namespace wavlon::platform {
namespace {

const std::string kSmile = "\xF0\x9F\x98\x80";  // U+1F600, a surrogate pair inside the engine

TEST(ScriptEngine, CharactersOutsideTheBmpCrossBothWays) {
    ScriptEngine engine;
    ASSERT_TRUE(engine.set_global_string("s", "a" + kSmile + "中"));
    EXPECT_EQ(engine.eval_number("s.length"), 4);  // a, a surrogate pair, 中
    EXPECT_EQ(engine.eval_text("s"), "a" + kSmile + "中");
    EXPECT_EQ(engine.eval_text("'" + kSmile + "'.charCodeAt(1)"), "56832");
    EXPECT_EQ(engine.eval_text("'\\ud83d\\ude00'"), kSmile);
    ASSERT_TRUE(engine.add_code("var t = '" + kSmile + "';"));
    EXPECT_EQ(engine.eval_text("t === s.substr(1, 2)"), "true");
}

TEST(ScriptEngine, UnpairedSurrogatesAndBadUtf8BecomeReplacementCharacters) {
    ScriptEngine engine;
    EXPECT_EQ(engine.eval_text("'\\ud83d' + 'x' + '\\ude00'"), "\xEF\xBF\xBDx\xEF\xBF\xBD");
    ASSERT_TRUE(engine.set_global_string("s",
                                         "a\xFF\xED\xA0\x80"
                                         "b"));
    EXPECT_EQ(engine.eval_text("s"),
              "a\xEF\xBF\xBD\xEF\xBF\xBD"
              "b");
}

TEST(ScriptEngine, ResultsConvertToTheAskedKind) {
    ScriptEngine engine;
    EXPECT_EQ(engine.eval_text("1.5 + 1"), "2.5");
    EXPECT_EQ(engine.eval_text("undefined"), "");
    EXPECT_EQ(engine.eval_text("null"), "");
    EXPECT_EQ(engine.eval_text("[1, [2]]"), "1,2");
    EXPECT_EQ(engine.eval_number("'12'"), 12);
    EXPECT_EQ(engine.eval_number("true"), 1);
    EXPECT_EQ(engine.eval_number("'x'"), std::nullopt);
    EXPECT_EQ(engine.eval_number("({})"), std::nullopt);
    EXPECT_EQ(engine.eval_logical("0"), false);
    EXPECT_EQ(engine.eval_logical("'a'"), true);
    ASSERT_TRUE(engine.set_global_number("n", 0.25));
    EXPECT_EQ(engine.eval_number("n * 4"), 1);
    ASSERT_TRUE(engine.delete_global("n"));
    EXPECT_EQ(engine.eval_text("typeof n"), "undefined");
}

TEST(ScriptEngine, ErrorsGiveEmptyResultsAndTheEngineGoesOn) {
    ScriptEngine engine;
    const char* failing[] = {
        "syntax error here", "missing.member", "null.x", "(function f() { return f() + 1 })()",
        "throw 'x'",         "new Array(-1)"};
    for (const char* code : failing) {
        EXPECT_EQ(engine.eval_text(code), std::nullopt) << code;
        EXPECT_FALSE(engine.run(code)) << code;
    }
    EXPECT_FALSE(engine.add_code("function ("));
    EXPECT_TRUE(engine.valid());
    EXPECT_EQ(engine.eval_text("'still' + ' here'"), "still here");
}

TEST(ScriptEngine, MemoryBudgetStopsRunawayGrowth) {
    ScriptEngine engine;
    EXPECT_FALSE(engine.run("var a = [], s = 'x'; for (;;) { s = s + s; a.push(s) }"));
    ASSERT_TRUE(engine.run("a = null; s = null"));
    EXPECT_EQ(engine.eval_text("'ok'"), "ok");
}

TEST(ScriptEngine, CopiesShareOneHeapAndEnginesAreSeparate) {
    ScriptEngine first;
    ScriptEngine copy = first;
    ScriptEngine other;
    ASSERT_TRUE(first.run("var shared = 1"));
    EXPECT_EQ(copy.eval_text("shared"), "1");
    EXPECT_EQ(other.eval_text("typeof shared"), "undefined");
}

}  // namespace
}  // namespace wavlon::platform
