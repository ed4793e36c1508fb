#include "songd/catalogue.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <fstream>
#include <functional>
#include <iterator>

#include "songd/tagged_files.h"

namespace wavlon::songd {
namespace {

using testing::TemporaryFolder;

class CatalogueTest : public ::testing::Test {
protected:
    std::string db_path() const { return (m_folder.path() / "songd.db").string(); }
    void add(const std::string& path, const std::string& title, const std::string& author) {
        m_catalogue->put(path, {1, 1}, title, author);
    }
    std::vector<std::string> titles(const std::string& keyword,
                                    SearchField field = SearchField::TitleOrAuthor,
                                    std::int64_t page = 1) {
        std::vector<std::string> out;
        for (const auto& track : m_catalogue->search(keyword, field, page)) {
            out.push_back(track.title);
        }
        return out;
    }

    TemporaryFolder m_folder;
    std::unique_ptr<Catalogue> m_catalogue = std::make_unique<Catalogue>(db_path());
};

TEST_F(CatalogueTest, ChineseKeywordsOfOneTwoAndMoreCharactersMatchSubstrings) {
    add("/m/1.mp3", "晴天", "周杰伦");
    add("/m/2.mp3", "七里香", "周杰伦");
    add("/m/3.mp3", "红豆", "王菲");
    add("/m/4.mp3", "天天想你", "张雨生");
    struct Case {
        const char* keyword;
        std::vector<std::string> titles;
    };
    const Case cases[] = {
        {"天", {"天天想你", "晴天"}},  // title prefix before title containing
        {"晴天", {"晴天"}},
        {"周杰", {"七里香", "晴天"}},
        {"周杰伦", {"七里香", "晴天"}},
        {"里香", {"七里香"}},
        {"七里香", {"七里香"}},
        {"王", {"红豆"}},
        {"周杰伦 晴天", {"晴天"}},
        {"晴天 周杰伦", {"晴天"}},
        {"王菲 晴天", {}},
        {"周 豆", {}},  // each term in some track, both in none
        {"周杰伦 红豆", {}},
        {"东", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(titles(c.keyword), c.titles) << c.keyword;
}

TEST_F(CatalogueTest, LatinKeywordsIgnoreCaseWidthAndTraditionalForms) {
    add("/m/1.mp3", "Yesterday Once More", "Carpenters");
    add("/m/2.mp3", "吻别", "张学友");
    add("/m/3.mp3", "Tonight", "FT Island");
    EXPECT_EQ(titles("YESTERDAY"), (std::vector<std::string>{"Yesterday Once More"}));
    EXPECT_EQ(titles("ｙｅｓ"), (std::vector<std::string>{"Yesterday Once More"}));
    EXPECT_EQ(titles("carp"), (std::vector<std::string>{"Yesterday Once More"}));
    EXPECT_EQ(titles("張學友"), (std::vector<std::string>{"吻别"}));
    EXPECT_EQ(titles("ft"), (std::vector<std::string>{"Tonight"}));
    EXPECT_EQ(titles("\"quoted\" OR x*"), std::vector<std::string>{});  // no FTS syntax leaks
}

TEST_F(CatalogueTest, AuthorFilterLooksAtTheArtistOnly) {
    add("/m/1.mp3", "王菲的歌", "别人");
    add("/m/2.mp3", "红豆", "王菲");
    EXPECT_EQ(titles("王菲"), (std::vector<std::string>{"王菲的歌", "红豆"}));
    EXPECT_EQ(titles("王菲", SearchField::Author), (std::vector<std::string>{"红豆"}));
}

TEST_F(CatalogueTest, BestMatchesComeFirstAndEqualOnesInAStableOrder) {
    add("/m/a.mp3", "Love Story", "X");
    add("/m/b.mp3", "My Love", "Y");
    add("/m/c.mp3", "Love", "Z");
    add("/m/d.mp3", "Song", "Love Band");
    add("/m/e.mp3", "Other", "Lovers");
    add("/m/f.mp3", "Love", "A");
    EXPECT_EQ(titles("love"),
              (std::vector<std::string>{"Love", "Love", "Love Story", "My Love", "Other", "Song"}));
    // Equal titles: by artist.
    auto tracks = m_catalogue->search("love", SearchField::TitleOrAuthor, 1);
    ASSERT_GE(tracks.size(), 2u);
    EXPECT_EQ(tracks[0].author, "A");
    EXPECT_EQ(tracks[1].author, "Z");
}

TEST_F(CatalogueTest, PagesHoldTenAndEndWithAnEmptyPage) {
    for (int i = 1; i <= 23; ++i) {
        char title[32];
        std::snprintf(title, sizeof title, "歌曲%02d", i);
        add("/m/" + std::to_string(i) + ".mp3", title, "歌手");
    }
    EXPECT_EQ(titles("歌手", SearchField::TitleOrAuthor, 1).size(), 10u);
    EXPECT_EQ(titles("歌手", SearchField::TitleOrAuthor, 2).front(), "歌曲11");
    EXPECT_EQ(titles("歌手", SearchField::TitleOrAuthor, 3),
              (std::vector<std::string>{"歌曲21", "歌曲22", "歌曲23"}));
    EXPECT_TRUE(titles("歌手", SearchField::TitleOrAuthor, 4).empty());
    EXPECT_TRUE(titles("歌手", SearchField::TitleOrAuthor, 0).empty());
    EXPECT_TRUE(titles("歌手", SearchField::TitleOrAuthor, INT64_MAX).empty());
    EXPECT_TRUE(titles("   ").empty());
}

TEST_F(CatalogueTest, IdsOfRemovedFilesAreNeverGivenAgain) {
    add("/m/a.mp3", "A", "");
    add("/m/b.mp3", "B", "");
    std::int64_t b = m_catalogue->search("b", SearchField::TitleOrAuthor, 1).at(0).id;
    EXPECT_TRUE(m_catalogue->remove("/m/b.mp3"));
    EXPECT_FALSE(m_catalogue->remove("/m/b.mp3"));
    add("/m/c.mp3", "C", "");
    EXPECT_GT(m_catalogue->search("c", SearchField::TitleOrAuthor, 1).at(0).id, b);
    EXPECT_FALSE(m_catalogue->track(b).has_value());

    // An update keeps the id.
    std::int64_t a = m_catalogue->search("a", SearchField::TitleOrAuthor, 1).at(0).id;
    m_catalogue->put("/m/a.mp3", {2, 2}, "A2", "");
    EXPECT_EQ(m_catalogue->track(a)->title, "A2");
}

// The trigram entries are written at the end of a transaction and the in-memory index is
// brought up to date on commit: a file put twice and one removed within a transaction must
// leave both indexes agreeing with the table, also after reopening.
TEST_F(CatalogueTest, SearchesFollowUpdatesAndRemovalsInTransactions) {
    {
        Catalogue::Batch batch(*m_catalogue);
        add("/m/a.mp3", "晴天了", "周杰伦");
        add("/m/b.mp3", "七里香", "周杰伦");
        m_catalogue->put("/m/a.mp3", {2, 2}, "雨天了", "周杰伦", true);
        EXPECT_TRUE(m_catalogue->remove("/m/b.mp3"));
        add("/m/c.mp3", "红豆", "王菲");
    }
    auto check = [&] {
        EXPECT_EQ(titles("晴天了"), std::vector<std::string>{});
        EXPECT_EQ(titles("晴"), std::vector<std::string>{});
        EXPECT_EQ(titles("雨天了"), (std::vector<std::string>{"雨天了"}));
        EXPECT_EQ(titles("天"), (std::vector<std::string>{"雨天了"}));
        EXPECT_EQ(titles("七里香"), std::vector<std::string>{});
        EXPECT_EQ(titles("周杰伦"), (std::vector<std::string>{"雨天了"}));
        EXPECT_EQ(titles("王"), (std::vector<std::string>{"红豆"}));
    };
    check();
    m_catalogue->put("/m/c.mp3", {3, 3}, "后来", "刘若英");  // outside a batch
    EXPECT_EQ(titles("红豆"), std::vector<std::string>{});
    EXPECT_EQ(titles("刘若英"), (std::vector<std::string>{"后来"}));
    m_catalogue->put("/m/c.mp3", {1, 1}, "红豆", "王菲");

    m_catalogue.reset();
    m_catalogue = std::make_unique<Catalogue>(db_path());
    check();
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(db_path().c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, "INSERT INTO tracks_fts(tracks_fts) VALUES('integrity-check')",
                           nullptr, nullptr, nullptr),
              SQLITE_OK)
        << sqlite3_errmsg(db);
    sqlite3_close(db);
}

TEST_F(CatalogueTest, RemovingAFolderTakesEverythingBelowItAndNothingBeside) {
    add("/m/x/1.mp3", "one", "");
    add("/m/x/y/2.mp3", "two", "");
    add("/m/x0/3.mp3", "three", "");
    add("/m/xx.mp3", "four", "");
    EXPECT_EQ(m_catalogue->remove_under("/m/x"), 2);
    EXPECT_EQ(m_catalogue->track_count(), 2);
    EXPECT_EQ(m_catalogue->stamps("/m").size(), 2u);
}

std::string file_bytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void run_sql(const std::string& path, const char* sql) {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

TEST_F(CatalogueTest, SurvivesReopeningAndSetsAsideWhatIsNotASoundCatalogue) {
    for (int i = 0; i < 300; ++i)
        add("/m/" + std::to_string(i) + ".mp3", "Kept " + std::to_string(i), "");
    m_catalogue.reset();
    m_catalogue = std::make_unique<Catalogue>(db_path());
    EXPECT_EQ(m_catalogue->track_count(), 300);
    m_catalogue.reset();
    const std::string ours = file_bytes(db_path());

    struct Case {
        const char* name;
        std::function<void(const std::string&)> make;
        const char* aside;
    };
    const Case cases[] = {
        {"a zeroed page",
         [&](const std::string& path) {
             std::string bytes = ours;
             std::fill_n(bytes.begin() + 4096 * 3, 4096, '\0');
             std::ofstream(path, std::ios::binary) << bytes;
         },
         ".damaged"},
        {"another program's database",
         [](const std::string& path) {
             run_sql(path, "CREATE TABLE notes(text); PRAGMA user_version=0");
         },
         ".not-a-catalogue"},
        {"a database with a table of that name",
         [](const std::string& path) {
             run_sql(path, "CREATE TABLE tracks(x); PRAGMA user_version=7");
         },
         ".not-a-catalogue"},
        {"an older catalogue",
         [](const std::string& path) {
             run_sql(path, "CREATE TABLE tracks(x); PRAGMA user_version=4");
         },
         ".old-version"},
        {"no database at all",
         [](const std::string& path) { std::ofstream(path) << std::string(8192, 'x'); },
         ".not-a-catalogue"},
    };
    for (const Case& c : cases) {
        TemporaryFolder folder;
        std::string path = (folder.path() / "songd.db").string();
        c.make(path);
        std::string before = file_bytes(path);
        Catalogue catalogue(path);
        EXPECT_EQ(catalogue.track_count(), 0) << c.name;
        EXPECT_EQ(file_bytes(path + c.aside), before) << c.name;  // set aside untouched
        catalogue.put("/m/b.mp3", {1, 1}, "Fresh", "");
        EXPECT_EQ(catalogue.search("fresh", SearchField::TitleOrAuthor, 1).size(), 1u) << c.name;
    }
    // A second foreign file does not replace the first one set aside.
    TemporaryFolder folder;
    std::string path = (folder.path() / "songd.db").string();
    for (const char* text : {"first", "second"}) {
        std::ofstream(path, std::ios::trunc) << text;
        Catalogue catalogue(path);
    }
    EXPECT_EQ(file_bytes(path + ".not-a-catalogue"), "first");
    EXPECT_EQ(file_bytes(path + ".not-a-catalogue.1"), "second");
}

TEST_F(CatalogueTest, DamageMetWhileRunningIsToldAndRebuilt) {
    for (int i = 0; i < 300; ++i)
        add("/m/" + std::to_string(i) + ".mp3", "Song " + std::to_string(i), "Band");
    m_catalogue->checkpoint();
    std::atomic<int> told{0};
    m_catalogue->set_damage_listener([&] { ++told; });
    {
        // Every page but the first zeroed under the running catalogue.
        std::fstream file(db_path(), std::ios::binary | std::ios::in | std::ios::out);
        file.seekp(4096);
        file << std::string(std::filesystem::file_size(db_path()) - 4096, '\0');
    }
    try {
        EXPECT_TRUE(titles("song").empty());
    } catch (const CatalogueError&) {
        // a failed search is as good: the damage was met
    }
    EXPECT_TRUE(m_catalogue->damaged());
    EXPECT_EQ(told, 1);
    m_catalogue->rebuild();
    EXPECT_FALSE(m_catalogue->damaged());
    EXPECT_TRUE(std::filesystem::exists(db_path() + ".damaged"));
    add("/m/new.mp3", "Song again", "Band");
    EXPECT_EQ(titles("song"), (std::vector<std::string>{"Song again"}));
}

// A read that fails part way is an error, never a short answer: the scan would take the
// files it did not see as new or gone.
TEST_F(CatalogueTest, AFailingReadIsAnErrorForTheWriterAndNothingFoundForSearches) {
    add("/m/a.mp3", "Alpha", "");
    run_sql(db_path(), "DROP TABLE tracks_fts; DROP TABLE tracks");
    EXPECT_THROW(m_catalogue->stamps(), CatalogueError);
    EXPECT_THROW(m_catalogue->put("/m/b.mp3", {1, 1}, "Beta", ""), CatalogueError);
    EXPECT_EQ(m_catalogue->track_count(), 0);
    EXPECT_FALSE(m_catalogue->track(1).has_value());
    EXPECT_TRUE(titles("alpha").empty());
    EXPECT_TRUE(titles("a").empty());
}

TEST_F(CatalogueTest, PathsThatAreNotUtf8AreKeptByteForByte) {
    const std::string gbk_path = "/m/\xC7\xE7\xCC\xEC.mp3";
    m_catalogue->put(gbk_path, {5, 6}, "晴天", "");
    auto tracks = m_catalogue->search("晴天", SearchField::TitleOrAuthor, 1);
    ASSERT_EQ(tracks.size(), 1u);
    EXPECT_EQ(tracks[0].path, gbk_path);
    EXPECT_EQ(m_catalogue->stamp(gbk_path), (FileStamp{5, 6}));
}

}  // namespace
}  // namespace wavlon::songd
