#include "network/json_document.h"

#include <gtest/gtest.h>

#include <string>

namespace wavlon::network {
namespace {

using runtime::operator""_gb;
using runtime::Text;
using runtime::TextView;

const Text kSmile = "\xF0\x9F\x98\x80"_gb;  // U+1F600 as GB18030

TEST(JsonDocument, ReadsSongRecordsByPath) {
    JsonDocument doc;
    ASSERT_TRUE(doc.parse(R"({"code":200,"data":[{"title":"t","author":"b","url":"u"}]})"));
    EXPECT_EQ(doc.get_count("data"), 1);
    EXPECT_EQ(doc.get_text("data[0].author"), "b");
    EXPECT_EQ(doc.get_text("da.data[0].title"), "t");
    EXPECT_EQ(doc.get_element_text("data", 0, true), R"({"title":"t","author":"b","url":"u"})");
    EXPECT_EQ(doc.get_number("code"), 200);
    EXPECT_EQ(doc.get_text("code"), "200");
}

TEST(JsonDocument, PathsAreResolvedAgainstTheName) {
    JsonDocument doc;
    ASSERT_TRUE(doc.parse("[10, 20, 30]"));
    EXPECT_EQ(doc.get_text("[2]"), "30");
    EXPECT_EQ(doc.get_count(""), 3);

    ASSERT_TRUE(doc.parse(R"({"data":{"x":1},"a-b":2})"));
    const std::pair<Text, Text> resolved[] = {
        {"data", "da.data"},  // begins with the letters of the name but is a member
        {"da.data", "da.data"},       {"", "da"}, {"[0]", "da[0]"}, {"da[\"a-b\"]", "da[\"a-b\"]"},
        {"da.missing", "da.missing"},
    };
    for (const auto& [path, full] : resolved) {
        Text rewritten = path;
        doc.resolve_path(rewritten);
        EXPECT_EQ(rewritten, full);
    }
    Text path = "data.x";
    EXPECT_TRUE(doc.resolve_path(path));
    path = "data.y";
    EXPECT_FALSE(doc.resolve_path(path));
    EXPECT_EQ(doc.get_text("[\"a-b\"]"), "2");
}

TEST(JsonDocument, MissingPathsGiveEmptyValues) {
    JsonDocument doc;
    ASSERT_TRUE(doc.parse(R"({"a":{"b":null}})"));
    for (TextView path : std::initializer_list<TextView>{"nope", "a.b", "a.b.c", "x.y.z"}) {
        EXPECT_EQ(doc.get_text(path), "") << path;
        EXPECT_EQ(doc.get_type(path), kJsonNull) << path;
        EXPECT_EQ(doc.get_count(path), 0) << path;
        EXPECT_EQ(doc.get_number(path), 0) << path;
        EXPECT_EQ(doc.get_element_text(path, 0), "") << path;
    }
}

TEST(JsonDocument, TypeCodes) {
    JsonDocument doc;
    ASSERT_TRUE(doc.parse(R"({"b":true,"n":1.5,"o":{},"a":[],"s":"x","z":null})"));
    const std::pair<Text, std::int32_t> cases[] = {
        {"b", kJsonBoolean}, {"n", kJsonNumber}, {"o", kJsonObject}, {"a", kJsonArray},
        {"s", kJsonString},  {"z", kJsonNull},   {"", kJsonObject},  {"get__count", kJsonNull},
    };
    for (const auto& [path, type] : cases) {
        EXPECT_EQ(doc.get_type(path), type) << path;
    }
}

TEST(JsonDocument, TextThatIsNotJsonLeavesNullDocument) {
    for (TextView text :
         std::initializer_list<TextView>{"", "{", "{'a':1}", "undefined", "null", "{\"a\":1} x",
                                         "[1,]", "function(){}", "1 + 1"}) {
        JsonDocument doc;
        EXPECT_FALSE(doc.parse(text)) << text;
        EXPECT_EQ(doc.get_count("data"), 0);
        EXPECT_EQ(doc.get_text("data"), "");
        EXPECT_EQ(doc.to_json(), "null");
    }
}

TEST(JsonDocument, ScriptInTheAnswerNeverRuns) {
    JsonDocument doc;
    // Would hang the program if it ran.
    EXPECT_FALSE(doc.parse("(function(){while(1){}})()"));
    EXPECT_FALSE(doc.parse(R"({"a":1}; this.x=1)"));
    EXPECT_FALSE(doc.parse("get__count = function(){ return 99 }, [1]"));
    EXPECT_EQ(doc.get_type("x"), kJsonNull);
    platform::ScriptEngine engine = doc.get_engine();
    EXPECT_EQ(engine.eval_text("typeof x"), "undefined");
    ASSERT_TRUE(doc.parse("[1]"));
    EXPECT_EQ(doc.get_count(""), 1);

    // Values and paths are no way in either.
    EXPECT_TRUE(doc.set_value("v", "'); this.y = ('"));
    EXPECT_TRUE(doc.push("list", "'); this.y = ('"));
    EXPECT_TRUE(doc.set_element("list", 1, "x'); this.y = ('"));
    EXPECT_FALSE(doc.set_json("v", "this.y = 1"));
    EXPECT_EQ(engine.eval_text("typeof y"), "undefined");
    for (TextView path :
         std::initializer_list<TextView>{"a;this.y=1", "a(1)", "a[b]", "a.b()", "a[\"x\"+y]",
                                         "a..b", "1a", "a[1", "a['x\\'']"}) {
        EXPECT_EQ(doc.get_text(path), "") << path;
        EXPECT_FALSE(doc.set_value(path, "1")) << path;
        Text rewritten(path);
        EXPECT_FALSE(doc.resolve_path(rewritten));
    }
}

TEST(JsonDocument, UnicodeSurvivesInAndOut) {
    JsonDocument doc;
    ASSERT_TRUE(doc.parse(R"({"a":"\u6b4c\u66f2","b":"歌手","c":"\ud83d\ude00","d":"x😀y"})"_gb));
    EXPECT_EQ(doc.get_text("a"), "歌曲"_gb);
    EXPECT_EQ(doc.get_text("b"), "歌手"_gb);
    EXPECT_EQ(doc.get_text("c"), kSmile);
    EXPECT_EQ(doc.get_text("d"), "x"_gb + kSmile + "y");
    EXPECT_EQ(doc.get_text("d", true), "\"x"_gb + kSmile + "y\"");

    ASSERT_TRUE(doc.set_value("e", kSmile + "歌"_gb));
    EXPECT_EQ(doc.get_text("e"), kSmile + "歌"_gb);
    ASSERT_TRUE(doc.set_value("名字"_gb, "v"));
    EXPECT_EQ(doc.get_text("名字"_gb), "v");
}

TEST(JsonDocument, BackslashConvention) {
    JsonDocument doc;
    ASSERT_TRUE(doc.set_value("x", "a\\n'\"\r\n"));
    EXPECT_EQ(doc.get_text("x"), "a\\n'\"\r\n");
    // The stored backslash comes out unescaped in JSON, the other characters escaped.
    EXPECT_EQ(doc.to_json(), R"({"x":"a\n'\"\r\n"})");

    // A backslash that arrives as JSON is a real backslash.
    ASSERT_TRUE(doc.parse(R"({"p":"C:\\music"})"));
    EXPECT_EQ(doc.get_text("p"), "C:\\music");
    EXPECT_EQ(doc.to_json(), R"({"p":"C:\\music"})");
}

TEST(JsonDocument, PushCreatesArray) {
    JsonDocument doc;
    ASSERT_TRUE(doc.push("list", "1"));
    ASSERT_TRUE(doc.push("list", "1", true));
    ASSERT_TRUE(doc.push("list", R"({"a":[true]})", true));
    EXPECT_EQ(doc.to_json_at("list"), R"(["1",1,{"a":[true]}])");
    EXPECT_FALSE(doc.push("list", "{bad", true));
    EXPECT_EQ(doc.get_count("list"), 3);
    ASSERT_TRUE(doc.set_value("s", "text"));
    ASSERT_TRUE(doc.push("s", "2", true));
    EXPECT_EQ(doc.to_json_at("s"), "[2]");
}

TEST(JsonDocument, MemberNames) {
    JsonDocument doc;
    ASSERT_TRUE(doc.parse(R"({"title":1,"作者":2,"arr":[1],"s":"x"})"_gb));
    runtime::Array<Text> names{"stale"};
    EXPECT_EQ(doc.get_member_names("", names), 4);
    EXPECT_EQ(names, (runtime::Array<Text>{"title", "作者"_gb, "arr", "s"}));
    for (TextView path : std::initializer_list<TextView>{"arr", "s", "missing"}) {
        EXPECT_EQ(doc.get_member_names(path, names), 0) << path;
        EXPECT_TRUE(names.empty());
    }
}

TEST(JsonDocument, SetValueWithJsonMergesIntoExistingValue) {
    JsonDocument doc;
    ASSERT_TRUE(doc.parse(R"({"o":{"s":"a","n":1,"z":null,"in":{"k":1}},"a":[1]})"));
    ASSERT_TRUE(doc.set_value("o", R"({"s":"b","n":2,"z":3,"in":{"j":2},"new":true})", true));
    EXPECT_EQ(doc.to_json_at("o"), R"({"s":"b","n":2,"z":3,"in":{"k":1,"j":2},"new":true})");
    ASSERT_TRUE(doc.set_value("a", "[2,3]", true));
    ASSERT_TRUE(doc.set_value("a", "4", true));
    EXPECT_EQ(doc.to_json_at("a"), "[1,2,3,4]");
    ASSERT_TRUE(doc.set_value("fresh", "", true));
    EXPECT_EQ(doc.to_json_at("fresh"), "{}");
    ASSERT_TRUE(doc.set_value("o.n", "7", true));
    EXPECT_EQ(doc.get_number("o.n"), 7);
    EXPECT_FALSE(doc.set_value("o", "{oops", true));
    EXPECT_EQ(doc.get_text("o.s"), "b");
}

TEST(JsonDocument, ElementsAndRemoval) {
    JsonDocument doc;
    ASSERT_TRUE(doc.parse(R"({"a":[1,"two",{"k":"v"}],"b":1})"));
    EXPECT_EQ(doc.get_element_text("a", 0), "1");
    EXPECT_EQ(doc.get_element_text("a", 1), "two");
    EXPECT_EQ(doc.get_element_text("a", 1, true), "\"two\"");
    EXPECT_EQ(doc.get_element_text("a", 9), "");
    ASSERT_TRUE(doc.set_element("a", 0, "one"));
    ASSERT_TRUE(doc.set_element("a", 3, "[4]", true));
    ASSERT_TRUE(doc.remove_element("a", 1));
    EXPECT_EQ(doc.to_json_at("a"), R"(["one",{"k":"v"},[4]])");
    EXPECT_FALSE(doc.remove_element("b", 0));
    ASSERT_TRUE(doc.remove("b"));
    EXPECT_EQ(doc.get_type("b"), kJsonNull);
    ASSERT_TRUE(doc.set_json("c", R"({"x":[1]})"));
    EXPECT_EQ(doc.get_count("c.x"), 1);
    ASSERT_TRUE(doc.clear());
    EXPECT_EQ(doc.to_json(), "{}");
}

TEST(JsonDocument, NumbersKeepFullPrecision) {
    JsonDocument doc;
    ASSERT_TRUE(doc.set_number("id", 9007199254740991.0));
    ASSERT_TRUE(doc.set_number("f", -0.1));
    EXPECT_EQ(doc.get_number("id"), 9007199254740991.0);
    EXPECT_EQ(doc.to_json(), R"({"id":9007199254740991,"f":-0.1})");
    ASSERT_TRUE(doc.set_value("s", "12.5"));
    EXPECT_EQ(doc.get_number("s"), 12.5);
}

TEST(JsonDocument, ObjectsAreIndependentCopiesAndCopySharesTheEngine) {
    JsonDocument doc;
    ASSERT_TRUE(doc.parse(R"({"data":[{"t":"a"},{"t":"b"}]})"));
    ASSERT_TRUE(doc.set_value("data[1].p", "C:\\x"));
    JsonDocument second = doc.get_element_object("data", 1);
    EXPECT_EQ(second.get_text("t"), "b");
    EXPECT_EQ(second.get_text("p"), "C:\\x");
    JsonDocument list = doc.get_object("data");
    EXPECT_EQ(list.get_count(""), 2);
    ASSERT_TRUE(second.set_value("t", "changed"));
    EXPECT_EQ(doc.get_text("data[1].t"), "b");
    EXPECT_EQ(doc.get_object("missing").to_json(), "null");

    JsonDocument shared = doc.copy();
    ASSERT_TRUE(shared.set_value("data[0].t", "z"));
    EXPECT_EQ(doc.get_text("data[0].t"), "z");
}

TEST(JsonDocument, PagingAnswerWithHundredRecords) {
    std::string answer = R"({"code":200,"data":[)";
    for (int i = 0; i < 100; ++i) {
        answer += (i ? "," : "") + std::string(R"({"title":"歌曲)") + std::to_string(i) +
                  R"(","author":"歌手\u0041","url":"http:\/\/127.0.0.1\/)" + std::to_string(i) +
                  R"(.mp3"})";
    }
    answer += "]}";
    JsonDocument doc;
    ASSERT_TRUE(doc.parse(runtime::utf8_to_gbk(answer)));
    ASSERT_EQ(doc.get_count("data"), 100);
    for (int i : {0, 57, 99}) {
        const Text row = "data[" + runtime::decimal(i) + "].";
        EXPECT_EQ(doc.get_text(row + "title"), "歌曲"_gb + runtime::decimal(i));
        EXPECT_EQ(doc.get_text(row + "author"), "歌手A"_gb);
        EXPECT_EQ(doc.get_text(row + "url"), "http://127.0.0.1/" + runtime::decimal(i) + ".mp3");
    }
}

TEST(JsonDocument, HostileAnswersFailCleanly) {
    JsonDocument doc;
    EXPECT_FALSE(doc.parse(Text(100000, '[') + Text(100000, ']')));
    EXPECT_FALSE(doc.parse(Text("{\"a\":\"\xFF\xFE\"") + Text(3, '\0')));
    EXPECT_FALSE(doc.parse(Text("[\"a\0b\"]", 7)));
    ASSERT_TRUE(doc.parse(R"({"data":[1]})"));
    EXPECT_EQ(doc.get_count("data"), 1);
}

}  // namespace
}  // namespace wavlon::network
