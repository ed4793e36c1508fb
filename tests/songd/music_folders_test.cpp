// The running service's folders and catalogue as a user meets them: files and folders that
// come, go or break while it runs, and the folders the player chooses.
#include "songd/music_folders.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <thread>

#include "songd/song_service.h"

namespace wavlon::testing {
namespace {

namespace fs = std::filesystem;

void write_song(const fs::path& path, const std::string& title) {
    write_tagged_mp3(path, id3v2_tag(FrameText::Utf8, title, "Band"));
}

std::size_t count_of(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

TEST(RunningCatalogue, ABrokenFileIsReadOnceUntilItChanges) {
    TemporaryFolder folder;
    fs::path music = folder.path() / "music";
    write_song(music / "good.mp3", "Good");
    std::ofstream(music / "broken.mp3") << std::string(100000, '\0');
    ::testing::internal::CaptureStderr();
    {
        RunningSongService service(music);
        std::this_thread::sleep_for(std::chrono::seconds(2));
        std::ofstream(music / "broken.mp3", std::ios::app) << "more";  // changed: read again
        write_song(music / "zz.mp3", "Marker");  // taken after broken.mp3 (paths in order)
        EXPECT_TRUE(service.wait_for_count("marker", 1));
    }
    std::string log = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(count_of(log, "broken.mp3: damaged"), 2u) << log;
}

TEST(RunningCatalogue, LinksAddedAreWalkedOnceAndVanishedFoldersDropped) {
    TemporaryFolder folder;
    fs::path music = folder.path() / "music";
    write_song(music / "real" / "a.mp3", "Inside");
    RunningSongService service(music);
    ASSERT_TRUE(service.wait_for_count("inside", 1));

    fs::create_directory_symlink(music / "real", music / "again");
    write_song(music / "zz.mp3", "Marker");
    ASSERT_TRUE(service.wait_for_count("marker", 1));
    EXPECT_EQ(service.catalogue().search("inside", songd::SearchField::TitleOrAuthor, 1).size(),
              1u);

    fs::rename(music, folder.path() / "gone");  // the whole folder leaves, as with an unmount
    EXPECT_TRUE(service.wait_for_count("band", 0));
}

TEST(RunningCatalogue, ADamagedCatalogueIsRebuiltWhileRunning) {
    TemporaryFolder folder;
    fs::path music = folder.path() / "music";
    for (int i = 0; i < 50; ++i)
        write_song(music / (std::to_string(i) + ".mp3"), "Song " + std::to_string(i));
    RunningSongService service(music);
    ASSERT_TRUE(service.wait_for_count("song", 10));
    service.catalogue().checkpoint();
    {
        std::fstream file(service.database(), std::ios::binary | std::ios::in | std::ios::out);
        file.seekp(4096);
        file << std::string(fs::file_size(service.database()) - 4096, '\0');
    }
    // The first search meets the damage; the catalogue is then built again from the files.
    EXPECT_TRUE(service.wait_for_count("song 49", 1));
    EXPECT_TRUE(fs::exists(service.database() + ".damaged"));
}

// The player's config.ini as the player writes it: GBK bytes, the folder under 路径.
void write_player_config(const fs::path& path, const std::string& gbk_folder) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary)
        << "[config]\r\n\xC2\xB7\xBE\xB6=" << gbk_folder << "\r\nvolume=50\r\n";
}

TEST(RunningCatalogue, ThePlayersFolderIsFollowedAndFoldersAreTakenWhenTheyAppear) {
    TemporaryFolder folder;
    fs::path config = folder.path() / "config" / "wavlon" / "config.ini";
    const std::string root = folder.path().string();
    RunningSongService service(songd::FolderSources{{}, false, config.string()});
    EXPECT_EQ(service.catalogue().track_count(), 0);

    // A folder with a GBK name (音乐) that does not exist yet, then appears.
    write_player_config(config, root + "/\xD2\xF4\xC0\xD6");
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    write_song(folder.path() / "音乐" / "a.mp3", "Alpha");
    EXPECT_TRUE(service.wait_for_count("alpha", 1));

    write_song(folder.path() / "other" / "b.mp3", "Bravo");
    write_player_config(config, root + "/other");
    EXPECT_TRUE(service.wait_for_count("bravo", 1));
    EXPECT_TRUE(service.wait_for_count("alpha", 0));
}

TEST(MusicFolders, TheUsersMusicFolderComesFromUserDirs) {
    TemporaryFolder home;
    const std::string h = home.path().string();
    const char* old_home = std::getenv("HOME");
    const std::string kept_home = old_home != nullptr ? old_home : "";
    const char* old_config = std::getenv("XDG_CONFIG_HOME");
    const std::string kept_config = old_config != nullptr ? old_config : "";
    setenv("HOME", h.c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
    struct Case {
        const char* line;  // in user-dirs.dirs; null: no such file
        std::string folder;
    };
    const Case cases[] = {
        {nullptr, h + "/Music"},
        {"XDG_MUSIC_DIR=\"$HOME/Songs\"", h + "/Songs"},
        {"XDG_MUSIC_DIR=\"/srv/music/\"", "/srv/music"},
        {"XDG_MUSIC_DIR=\"$HOME/\"", h + "/Music"},  // the home folder itself means none
        {"# XDG_MUSIC_DIR=\"/x\"", h + "/Music"},
    };
    for (const Case& c : cases) {
        fs::remove_all(home.path() / ".config");
        if (c.line != nullptr) {
            fs::create_directories(home.path() / ".config");
            std::ofstream(home.path() / ".config" / "user-dirs.dirs") << c.line << "\n";
        }
        EXPECT_EQ(songd::user_music_folder(), c.folder) << (c.line ? c.line : "none");
    }
    setenv("HOME", kept_home.c_str(), 1);
    if (old_config != nullptr)
        setenv("XDG_CONFIG_HOME", kept_config.c_str(), 1);
}

}  // namespace
}  // namespace wavlon::testing
