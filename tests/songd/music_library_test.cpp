#include "songd/music_library.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>

#include "songd/tagged_files.h"
#include "songd/track_tags.h"
#include "support/mp3_fixtures.h"

namespace wavlon::songd {
namespace {

namespace fs = std::filesystem;
using testing::FrameText;
using testing::id3v1_tag;
using testing::id3v2_tag;
using testing::kGbkQingtian;
using testing::kGbkZhouJielun;
using testing::TemporaryFolder;
using testing::write_tagged_mp3;

TEST(TrackTags, TitleAndArtistComeFromEveryKindOfTag) {
    TemporaryFolder folder;
    struct Case {
        const char* name;
        std::string before;
        std::string after;
        const char* title;
        const char* author;
    };
    const Case cases[] = {
        {"utf8.mp3", id3v2_tag(FrameText::Utf8, "晴天", "周杰伦"), "", "晴天", "周杰伦"},
        {"utf16.mp3", id3v2_tag(FrameText::Utf16, "七里香 𠮷", "周杰伦"), "", "七里香 𠮷",
         "周杰伦"},
        {"gbk.mp3", id3v2_tag(FrameText::Latin1, kGbkQingtian, kGbkZhouJielun), "", "晴天",
         "周杰伦"},
        {"latin1.mp3", id3v2_tag(FrameText::Latin1, "Ace of Spades", "Mot\xF6rhead"), "",
         "Ace of Spades", "Motörhead"},
        {"v1.mp3", "", id3v1_tag(kGbkQingtian, kGbkZhouJielun), "晴天", "周杰伦"},
        {"v2 wins.mp3", id3v2_tag(FrameText::Utf8, "New", "Tag"), id3v1_tag("Old", "Tag"), "New",
         "Tag"},
        {"王菲 - 红豆.mp3", "", "", "红豆", "王菲"},
        {"title only.mp3", id3v2_tag(FrameText::Utf8, "", "Artist"), "", "title only", "Artist"},
    };
    for (const Case& c : cases) {
        fs::path path = folder.path() / c.name;
        write_tagged_mp3(path, c.before, c.after);
        auto tags = read_track_tags(path.string());
        ASSERT_TRUE(tags.has_value()) << c.name;
        EXPECT_EQ(tags->title, c.title) << c.name;
        EXPECT_EQ(tags->author, c.author) << c.name;
    }
    // A file whose name is GBK bytes and that has no tags.
    std::string gbk_name =
        (folder.path() / (kGbkZhouJielun + " - " + kGbkQingtian + ".mp3")).string();
    write_tagged_mp3(gbk_name, "");
    auto tags = read_track_tags(gbk_name);
    ASSERT_TRUE(tags.has_value());
    EXPECT_EQ(tags->title, "晴天");
    EXPECT_EQ(tags->author, "周杰伦");
    // Random bytes named .mp3 are no music.
    EXPECT_FALSE(read_track_tags(testing::random_bytes_file("noise.mp3", 20000)).has_value());
}

class MusicLibraryTest : public ::testing::Test {
protected:
    fs::path music() const { return m_folder.path() / "music"; }
    void write(const std::string& relative, const std::string& title, const std::string& artist) {
        write_tagged_mp3(music() / relative, id3v2_tag(FrameText::Utf8, title, artist));
    }
    std::vector<std::string> found(const std::string& keyword) {
        std::vector<std::string> titles;
        for (const auto& track : m_catalogue.search(keyword, SearchField::TitleOrAuthor, 1)) {
            titles.push_back(track.title);
        }
        return titles;
    }

    TemporaryFolder m_folder;
    Catalogue m_catalogue{(m_folder.path() / "songd.db").string()};
};

TEST_F(MusicLibraryTest, ScansRecursivelyAndSkipsWhatIsNoMusic) {
    write("a.mp3", "Alpha", "Band");
    write("sub/deeper/b.MP3", "Beta", "Band");
    write_tagged_mp3(music() / "c.ogg.txt", "");
    std::ofstream(music() / "broken.mp3") << std::string(5000, '\x01');
    fs::create_directories(music() / "folder.mp3");

    MusicLibrary library(m_catalogue, {music().string()});
    ScanReport report = library.scan_all();
    EXPECT_EQ(report.files, 2);
    EXPECT_EQ(report.indexed, 2);
    EXPECT_EQ(report.skipped, 1);
    EXPECT_EQ(found("band"), (std::vector<std::string>{"Alpha", "Beta"}));
}

TEST_F(MusicLibraryTest, RescansReadOnlyWhatChangedAndDropWhatIsGone) {
    write("a.mp3", "Alpha", "");
    write("b.mp3", "Beta", "");
    write("old/c.mp3", "Gamma", "");
    MusicLibrary library(m_catalogue, {music().string()});
    library.scan_all();

    write("b.mp3", "Beta Two", "");  // rewritten: another size
    fs::remove(music() / "a.mp3");
    fs::remove_all(music() / "old");
    write("new.mp3", "Delta", "");
    ScanReport report = library.scan_all();
    EXPECT_EQ(report.files, 2);
    EXPECT_EQ(report.indexed, 2);
    EXPECT_EQ(report.removed, 2);
    EXPECT_EQ(m_catalogue.track_count(), 2);
    EXPECT_EQ(found("beta"), (std::vector<std::string>{"Beta Two"}));

    // Nothing changed: nothing read.
    EXPECT_EQ(library.scan_all().indexed, 0);
    // A catalogue opened again by a restarted service is just as current.
    MusicLibrary restarted(m_catalogue, {music().string()});
    EXPECT_EQ(restarted.scan_all().indexed, 0);
}

TEST_F(MusicLibraryTest, RefreshTakesOneFileOrFolderAtATime) {
    write("a.mp3", "Alpha", "");
    MusicLibrary library(m_catalogue, {music().string()});
    library.scan_all();

    write("album/x.mp3", "Xray", "");
    write("album/y.mp3", "Yankee", "");
    EXPECT_EQ(library.refresh((music() / "album").string()).indexed, 2);
    write("b.mp3", "Bravo", "");
    EXPECT_EQ(library.refresh((music() / "b.mp3").string()).indexed, 1);
    EXPECT_EQ(m_catalogue.track_count(), 4);

    fs::remove_all(music() / "album");
    EXPECT_EQ(library.refresh((music() / "album").string()).removed, 2);
    fs::remove(music() / "a.mp3");
    EXPECT_EQ(library.refresh((music() / "a.mp3").string()).removed, 1);
    EXPECT_EQ(found("bravo"), (std::vector<std::string>{"Bravo"}));
    EXPECT_EQ(m_catalogue.track_count(), 1);
}

TEST_F(MusicLibraryTest, LinksAreFollowedOnlyInsideTheMusicFolders) {
    write("real/a.mp3", "Inside", "");
    write_tagged_mp3(m_folder.path() / "elsewhere" / "secret.mp3",
                     id3v2_tag(FrameText::Utf8, "Secret", ""));
    fs::create_directory_symlink(music() / "real", music() / "again");  // same folder twice
    fs::create_directory_symlink(music(), music() / "real" / "loop");   // a loop
    fs::create_directory_symlink(m_folder.path() / "elsewhere", music() / "out");
    fs::create_symlink(m_folder.path() / "elsewhere" / "secret.mp3", music() / "s.mp3");
    fs::create_symlink(music() / "real" / "a.mp3", music() / "link.mp3");

    MusicLibrary library(m_catalogue, {music().string()});
    library.scan_all();
    EXPECT_TRUE(found("secret").empty());
    EXPECT_EQ(found("inside").size(), 2u);  // the file and the link to it, once each
    for (const auto& track : m_catalogue.search("inside", SearchField::TitleOrAuthor, 1))
        EXPECT_EQ(track.path.find("/again/"), std::string::npos);  // by its own path first

    EXPECT_TRUE(library.is_servable((music() / "real" / "a.mp3").string()));
    EXPECT_TRUE(library.is_servable((music() / "link.mp3").string()));
    EXPECT_FALSE(library.is_servable((music() / "s.mp3").string()));
    EXPECT_FALSE(library.is_servable((music() / "out" / "secret.mp3").string()));
    EXPECT_FALSE(library.is_servable((music() / ".." / "elsewhere" / "secret.mp3").string()));
    EXPECT_FALSE(library.is_servable((music() / "real").string()));
}

TEST_F(MusicLibraryTest, FoldersThatDoNotExistAreLeftOutAndGbkNamesAreIndexed) {
    const std::string gbk_folder = (music() / kGbkZhouJielun).string();
    write_tagged_mp3(gbk_folder + "/" + kGbkQingtian + ".mp3", "");
    MusicLibrary library(m_catalogue, {music().string(), (music() / "missing").string()});
    EXPECT_EQ(library.roots().size(), 1u);
    library.scan_all();
    auto tracks = m_catalogue.search("晴天", SearchField::TitleOrAuthor, 1);
    ASSERT_EQ(tracks.size(), 1u);
    EXPECT_EQ(tracks[0].path, gbk_folder + "/" + kGbkQingtian + ".mp3");
    EXPECT_TRUE(library.is_servable(tracks[0].path));
}

}  // namespace
}  // namespace wavlon::songd
