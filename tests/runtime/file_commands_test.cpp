#include "runtime/file_commands.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "runtime/text.h"
#include "support/temp_folder.h"

namespace wavlon::runtime {
namespace {

namespace fs = std::filesystem;
using testing::all_matches;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::TempFolder;

std::string read_bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void put(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

class FileSearchTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"a.mp3", "B.MP3", ".hidden.mp3", "readme.txt", "歌曲.mp3"}) {
            put(m_folder.path() / name, "x");
        }
        fs::create_directory(m_folder.path() / "c.mp3");
        put(m_folder.path() / "\xff\xfe.mp3", "not UTF-8");
        put(m_folder.path() / "\xD2\xF4\xC0\xD6.mp3", "GBK bytes");  // 音乐.mp3
    }
    void TearDown() override { close_find(); }

    Text pattern(const Text& file_part) const { return m_folder.text() + "/" + file_part; }
    TempFolder m_folder;
};

TEST_F(FileSearchTest, ListsMatchingFilesInStableCaseInsensitiveOrder) {
    // Dot files count, folders are skipped; names that are not UTF-8 are the texts their bytes
    // are, matched and sorted as the characters they read as (bytes that read as no character
    // sort last).
    EXPECT_THAT(all_matches(pattern("*.mp3")),
                ElementsAre(Text(".hidden.mp3"), Text("a.mp3"), Text("B.MP3"), "歌曲.mp3"_gb,
                            "音乐.mp3"_gb, Text("\xff\xfe.mp3")));
    EXPECT_THAT(all_matches(pattern("*.MP3")),
                ElementsAre(Text(".hidden.mp3"), Text("a.mp3"), Text("B.MP3"), "歌曲.mp3"_gb,
                            "音乐.mp3"_gb, Text("\xff\xfe.mp3")));
    EXPECT_THAT(all_matches(pattern("?.mp3")), ElementsAre(Text("a.mp3"), Text("B.MP3")));
    EXPECT_THAT(all_matches(pattern("歌*"_gb)), ElementsAre("歌曲.mp3"_gb));
    EXPECT_THAT(all_matches(pattern("音?.MP3"_gb)), ElementsAre("音乐.mp3"_gb));
    EXPECT_THAT(all_matches(pattern("*.*")),
                ElementsAre(Text(".hidden.mp3"), Text("a.mp3"), Text("B.MP3"), Text("readme.txt"),
                            "歌曲.mp3"_gb, "音乐.mp3"_gb, Text("\xff\xfe.mp3")));
    EXPECT_THAT(all_matches(pattern("*.wav")), IsEmpty());
    EXPECT_THAT(all_matches(m_folder.text() + "/missing/*.mp3"), IsEmpty());
    EXPECT_THAT(all_matches(pattern("")), IsEmpty());
}

TEST_F(FileSearchTest, MaskSelectsByAttributes) {
    ASSERT_EQ(::chmod((m_folder.path() / "a.mp3").c_str(), 0444), 0);
    struct Case {
        std::int32_t mask;
        std::vector<Text> expected;
    } cases[] = {
        {kAttributeDirectory, {"c.mp3"}},
        {kAttributeReadOnly, {"a.mp3"}},
        {kAttributeArchive,
         {".hidden.mp3", "a.mp3", "B.MP3", "歌曲.mp3"_gb, "音乐.mp3"_gb, "\xff\xfe.mp3"}},
        {0x37,
         {".hidden.mp3", "a.mp3", "B.MP3", "c.mp3", "歌曲.mp3"_gb, "音乐.mp3"_gb, "\xff\xfe.mp3"}},
        {kAttributeHidden | kAttributeSystem, {}},
        {0, {}},
        {0x100, {}},  // reduced to 0
    };
    for (const Case& c : cases) {
        EXPECT_EQ(all_matches(pattern("*.mp3"), c.mask), c.expected) << "mask " << c.mask;
    }
}

TEST_F(FileSearchTest, EndedSearchStaysClosedAndNewPatternRestarts) {
    EXPECT_EQ(find_file(pattern("?.mp3")), "a.mp3");
    EXPECT_EQ(find_file(pattern("*.txt")), "readme.txt");  // replaces the first search
    EXPECT_EQ(find_file({}), "");
    EXPECT_FALSE(current_file_search().is_open());
    EXPECT_EQ(find_file({}), "");

    EXPECT_EQ(find_file(pattern("?.mp3")), "a.mp3");
    close_find();
    EXPECT_EQ(find_file({}), "");
}

TEST_F(FileSearchTest, RoutineScopeKeepsCallersSearch) {
    EXPECT_EQ(find_file(pattern("?.mp3")), "a.mp3");
    {
        FileSearchScope routine;
        EXPECT_EQ(find_file({}), "");
        EXPECT_EQ(find_file(pattern("*.txt")), "readme.txt");
    }
    EXPECT_EQ(find_file({}), "B.MP3");
}

TEST(FileSearch, RootPatternSearchesRoot) {
    FileSearch search;
    std::vector<Text> found;
    for (Text name = search.find("/tm?", kAttributeDirectory); !name.empty();
         name = search.find({}, kAttributeDirectory)) {
        found.push_back(name);
    }
    EXPECT_THAT(found, ElementsAre(Text("tmp")));
}

TEST_F(FileSearchTest, FileExistsMatchesFilesFoldersAndWildcards) {
    EXPECT_TRUE(file_exists(pattern("a.mp3")));
    EXPECT_TRUE(file_exists(pattern("c.mp3")));
    EXPECT_TRUE(file_exists(m_folder.text()));
    EXPECT_TRUE(file_exists(pattern("*.TXT")));
    EXPECT_FALSE(file_exists(pattern("*.wav")));
    EXPECT_FALSE(file_exists(pattern("missing.mp3")));
    EXPECT_FALSE(file_exists(""));
}

// A folder unpacked from a Windows archive keeps GBK bytes in its name: the text that lists
// it names it in every command.
TEST(FileNames, FolderNamedInGbkBytesIsSearchedReadAndWritten) {
    TempFolder root;
    const fs::path raw = root.path() / "\xD2\xF4\xC0\xD6";  // 音乐
    fs::create_directory(raw);
    put(raw / "a.mp3", "a");
    put(raw / "\xC7\xFA.mp3", "tune");  // 曲.mp3
    ASSERT_THAT(all_matches(root.text() + "/*.*", kAttributeDirectory), ElementsAre("音乐"_gb));
    const Text folder = root.text() + "/" + "音乐"_gb;

    EXPECT_THAT(all_matches(folder + "/*.mp3"), ElementsAre(Text("a.mp3"), "曲.mp3"_gb));
    EXPECT_TRUE(file_exists(folder + "/" + "曲.mp3"_gb));
    EXPECT_TRUE(file_exists(folder + "/*.mp3"));
    EXPECT_EQ(file_attributes(folder), kAttributeDirectory);
    ASSERT_TRUE(set_file_attributes(folder + "/" + "曲.mp3"_gb, kAttributeReadOnly));
    EXPECT_EQ(fs::status(raw / "\xC7\xFA.mp3").permissions() & fs::perms::owner_write,
              fs::perms::none);
    ASSERT_TRUE(write_file(folder + "/new.txt", ByteSet::from_string("new")));
    EXPECT_EQ(read_bytes(raw / "new.txt"), "new");
}

TEST(WriteFile, WritesPartsInOrderAndReplacesContent) {
    TempFolder folder;
    Text name = folder.text("out.bin");
    EXPECT_TRUE(write_file(name, ByteSet::from_string("ab"), ByteSet(), ByteSet::from_string("c")));
    EXPECT_EQ(read_bytes(folder.path() / "out.bin"), "abc");

    ASSERT_EQ(::chmod((folder.path() / "out.bin").c_str(), 0640), 0);
    std::vector<ByteSet> parts{ByteSet::from_string("new")};
    EXPECT_TRUE(write_file(name, parts));
    EXPECT_EQ(read_bytes(folder.path() / "out.bin"), "new");
    EXPECT_EQ(fs::status(folder.path() / "out.bin").permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

    EXPECT_TRUE(write_file(name));
    EXPECT_EQ(read_bytes(folder.path() / "out.bin"), "");
    EXPECT_THAT(folder.names(), ElementsAre("out.bin"));
}

TEST(WriteFile, WritesThroughSymbolicLink) {
    TempFolder folder;
    put(folder.path() / "target", "old");
    fs::create_symlink("target", folder.path() / "link");
    EXPECT_TRUE(write_file(folder.text("link"), ByteSet::from_string("new")));
    EXPECT_TRUE(fs::is_symlink(folder.path() / "link"));
    EXPECT_EQ(read_bytes(folder.path() / "target"), "new");
}

TEST(WriteFile, RefusedTargetsLeaveNothingBehind) {
    TempFolder folder;
    put(folder.path() / "locked", "keep");
    ASSERT_EQ(::chmod((folder.path() / "locked").c_str(), 0444), 0);
    fs::create_directory(folder.path() / "dir");

    EXPECT_FALSE(write_file(folder.text("locked"), ByteSet::from_string("x")));
    EXPECT_FALSE(write_file(folder.text("dir"), ByteSet::from_string("x")));
    EXPECT_FALSE(write_file(folder.text("missing/out"), ByteSet::from_string("x")));
    EXPECT_FALSE(write_file("/proc/wavlon-test-out", ByteSet::from_string("x")));
    EXPECT_FALSE(write_file("", ByteSet::from_string("x")));
    EXPECT_EQ(read_bytes(folder.path() / "locked"), "keep");
    EXPECT_THAT(folder.names(), ElementsAre("dir", "locked"));
}

TEST(WriteFile, FailedWriteKeepsOldContent) {
    TempFolder folder;
    put(folder.path() / "out", "old content");
    // A file-size limit makes the write itself fail part-way, even for a privileged user.
    auto previous_handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit previous{};
    ::getrlimit(RLIMIT_FSIZE, &previous);
    rlimit small = previous;
    small.rlim_cur = 4;
    ::setrlimit(RLIMIT_FSIZE, &small);
    bool written = write_file(folder.text("out"), ByteSet::from_string("much longer content"));
    ::setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previous_handler);

    EXPECT_FALSE(written);
    EXPECT_EQ(read_bytes(folder.path() / "out"), "old content");
    EXPECT_THAT(folder.names(), ElementsAre("out"));
}

TEST(SetFileAttributes, ReadOnlyBitTogglesWritePermission) {
    TempFolder folder;
    put(folder.path() / "f", "x");
    ASSERT_EQ(::chmod((folder.path() / "f").c_str(), 0664), 0);
    Text name = folder.text("f");

    EXPECT_EQ(file_attributes(name), kAttributeArchive);
    EXPECT_TRUE(set_file_attributes(name, kAttributeReadOnly | kAttributeHidden));
    EXPECT_EQ(file_attributes(name), kAttributeArchive | kAttributeReadOnly);
    EXPECT_EQ(fs::status(folder.path() / "f").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_FALSE(write_file(name, ByteSet::from_string("y")));

    EXPECT_TRUE(set_file_attributes(name, kAttributeHidden | kAttributeArchive));
    EXPECT_EQ(file_attributes(name), kAttributeArchive);
    EXPECT_TRUE(write_file(name, ByteSet::from_string("y")));

    EXPECT_TRUE(set_file_attributes(folder.text(), kAttributeReadOnly));  // folders unchanged
    EXPECT_EQ(file_attributes(folder.text()), kAttributeDirectory);
    EXPECT_FALSE(set_file_attributes(folder.text("missing"), 0));
    EXPECT_EQ(file_attributes(folder.text("missing")), std::nullopt);
}

}  // namespace
}  // namespace wavlon::runtime
