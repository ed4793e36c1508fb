#include <gtest/gtest.h>

#include "songd/form_body.h"
#include "songd/search_text.h"
#include "songd/track_tags.h"

namespace wavlon::songd {
namespace {

TEST(FormBody, PercentDecodingIsLenient) {
    struct Case {
        const char* in;
        const char* out;
    };
    const Case cases[] = {
        {"%E5%91%A8", "周"}, {"a+b", "a b"},      {"a%2Bb", "a+b"},
        {"100%", "100%"},    {"%zz%4", "%zz%4"},  {"%4", "%4"},
        {"%%41", "%A"},      {"%e5%91%a8", "周"}, {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(percent_decode(c.in), std::string(c.out)) << c.in;
    EXPECT_EQ(percent_decode("%00x"), std::string("\0x", 2));
    EXPECT_EQ(percent_decode("a+b", false), "a+b");
}

TEST(FormBody, FieldsAreSplitDecodedAndTheFirstOneWins) {
    const std::string body = "input=%E5%91%A8&filter=name&&type&page=2&input=second&=x";
    EXPECT_EQ(form_value(body, "input"), "周");
    EXPECT_EQ(form_value(body, "filter"), "name");
    EXPECT_EQ(form_value(body, "type"), "");
    EXPECT_EQ(form_value(body, "page"), "2");
    EXPECT_EQ(form_value(body, ""), "x");
    EXPECT_EQ(form_value(body, "missing"), std::nullopt);
    EXPECT_TRUE(parse_form("").empty());
    EXPECT_TRUE(parse_form("&&&").empty());
}

TEST(FormBody, PageNumbersBelowOneOrNotNumbersMeanOneAndHugeOnesNoPage) {
    struct Case {
        std::optional<std::string> field;
        std::optional<long> page;
    };
    const Case cases[] = {
        {std::nullopt, 1},
        {"", 1},
        {"1", 1},
        {"7", 7},
        {"0", 1},
        {"-3", 1},
        {"abc", 1},
        {"2x", 1},
        {" 2", 1},
        {"99999999999999999999999", std::nullopt},
        {"9223372036854775807", 9223372036854775807L},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(page_number(c.field), c.page) << c.field.value_or("(missing)");
    }
}

TEST(FormBody, KeywordsOfAnyEncodingBecomeValidUtf8) {
    EXPECT_EQ(to_utf8_lenient("周杰伦"), "周杰伦");
    EXPECT_EQ(to_utf8_lenient("\xD6\xDC\xBD\xDC\xC2\xD7"), "周杰伦");  // GBK from old clients
    EXPECT_EQ(to_utf8_lenient("a\xFF"
                              "b"),
              "a\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(to_utf8_lenient("ab\xE5"), "ab\xEF\xBF\xBD");  // cut off, and no GBK either
    EXPECT_EQ(to_utf8_lenient("\xED\xA0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(SearchText, FoldingIgnoresCaseWidthAndScript) {
    struct Case {
        const char* in;
        const char* out;
    };
    const Case cases[] = {
        {"Jay CHOU", "jay chou"},   {"ＪＡＹ　１２３", "jay 123"},
        {"Ｃｈｏｕ＃", "chou#"},    {"張學友", "张学友"},
        {"ÉLAN Ödön", "élan ödön"}, {"ΑΒΓ Привет", "αβγ привет"},
        {"周杰伦", "周杰伦"},       {"ŁÓDŹ", "łódź"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(fold_for_search(c.in), c.out) << c.in;
    EXPECT_EQ(fold_for_search("a\xFF"), "a\xFF");  // invalid bytes pass unchanged
}

TEST(SearchText, TraditionalAndSimplifiedFormsFoldAlike) {
    const char* pairs[][2] = {
        {"孫燕姿", "孙燕姿"}, {"風繼續吹", "风继续吹"}, {"千千闕歌", "千千阙歌"}, {"輝煌", "辉煌"},
        {"傳奇", "传奇"},     {"張國榮", "张国荣"},     {"媽媽", "妈妈"},         {"陳嫻", "陈娴"},
    };
    for (const auto& pair : pairs) {
        EXPECT_EQ(fold_for_search(pair[0]), fold_for_search(pair[1])) << pair[0];
        EXPECT_EQ(fold_for_search(pair[1]), pair[1]) << pair[1];
    }
}

TEST(SearchText, KeywordsSplitIntoFoldedTermsAtWhiteSpace) {
    EXPECT_EQ(search_terms("  周杰伦　晴天 "), (std::vector<std::string>{"周杰伦", "晴天"}));
    EXPECT_EQ(search_terms("Jay\tChou"), (std::vector<std::string>{"jay", "chou"}));
    EXPECT_TRUE(search_terms(" \t　").empty());
    EXPECT_EQ(character_count("周杰伦a"), 4u);
}

TEST(TagText, FramesAreDecodedAsWhatTheyMostLikelyHold) {
    struct Case {
        const char* name;
        std::string bytes;
        const char* utf8;
    };
    const Case cases[] = {
        {"GBK", "\xD6\xDC\xBD\xDC\xC2\xD7", "周杰伦"},
        {"GBK with ASCII", "\xC7\xE7\xCC\xEC (Live)", "晴天 (Live)"},
        {"Latin-1 before a letter", "Mot\xF6rhead", "Motörhead"},
        {"Latin-1 at the end", "Beyonc\xE9", "Beyoncé"},
        {"Latin-1 pair", "Sigur R\xF3s", "Sigur Rós"},
        {"UTF-8 in a Latin-1 frame", "周", "周"},
        {"ASCII", "Yesterday", "Yesterday"},
        // GBK whose bytes are also well-formed UTF-8 ("ůů", "лл", "ҹҹҹҹ", "̷άά").
        {"GBK read as UTF-8", "\xC5\xAF\xC5\xAF", "暖暖"},
        {"GBK read as Cyrillic", "\xD0\xBB\xD0\xBB", "谢谢"},
        {"GBK, four alike", "\xD2\xB9\xD2\xB9\xD2\xB9\xD2\xB9", "夜夜夜夜"},
        {"GBK artist", "\xCC\xB7\xCE\xAC\xCE\xAC", "谭维维"},
        {"GBK after ASCII", "Love \xC5\xAF\xC5\xAF", "Love 暖暖"},
        {"Latin-1 into GBK's user area",
         "Gr\xFC\xDF"
         "e",
         "Grüße"},
        {"UTF-8 accents inside words",
         "Gr\xC3\xBC\xC3\x9F"
         "e",
         "Grüße"},
        {"UTF-8 accent before a letter", "Mot\xC3\xB6rhead", "Motörhead"},
        {"UTF-8 Cyrillic", "\xD0\x9A\xD0\xB8\xD0\xBD\xD0\xBE", "Кино"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(decode_latin1_field(c.bytes), c.utf8) << c.name;
}

TEST(TagText, FileNamesGiveArtistAndTitle) {
    struct Case {
        std::string path;
        const char* title;
        const char* author;
    };
    const Case cases[] = {
        {"/m/周杰伦 - 晴天.mp3", "晴天", "周杰伦"},
        {"/m/A - B - C.mp3", "B - C", "A"},
        {"/m/Only Title.mp3", "Only Title", ""},
        {"/m/" + std::string("\xD6\xDC\xBD\xDC\xC2\xD7 - \xC7\xE7\xCC\xEC") + ".mp3", "晴天",
         "周杰伦"},
        {"/m/.hidden.mp3", ".hidden", ""},
    };
    for (const Case& c : cases) {
        TrackTags tags = tags_from_file_name(c.path);
        EXPECT_EQ(tags.title, c.title) << c.path;
        EXPECT_EQ(tags.author, c.author) << c.path;
    }
    EXPECT_EQ(playable_extension("/m/a.MP3"), "mp3");
    EXPECT_EQ(playable_extension("/m/a.flac"), "flac");
    EXPECT_EQ(playable_extension("/m/a.txt"), "");
    EXPECT_EQ(playable_extension("/m.mp3/a"), "");
}

}  // namespace
}  // namespace wavlon::songd
