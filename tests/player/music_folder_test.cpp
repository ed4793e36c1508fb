#include "player/music_folder.h"

#include <sys/mount.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "app/main_window_units.h"
#include "player/program_state.h"
#include "player/window_units.h"
#include "runtime/program.h"
#include "runtime/window_loader.h"
#include "support/child_test.h"
#include "support/main_window_driver.h"
#include "support/mp3_fixtures.h"

namespace wavlon::testing {
namespace {

using runtime::Text;
using runtime::utf8_to_gbk;
namespace u = units;

class MusicFolder : public MainWindowTest {
protected:
    std::vector<std::pair<std::string, std::int32_t>> items() {
        std::vector<std::pair<std::string, std::int32_t>> out;
        for (std::int32_t i = 0; i < u::列表框1->item_count(); ++i) {
            out.emplace_back(runtime::gbk_to_utf8(u::列表框1->item_text(i)),
                             u::列表框1->item_value(i));
        }
        return out;
    }
    std::vector<std::string> paths() {
        std::vector<std::string> out;
        for (const Text& path : player::program_state().track_paths) {
            out.push_back(runtime::gbk_to_utf8(path));
        }
        return out;
    }
    std::string hint() {
        return runtime::gbk_to_utf8(player::text_of(u::透明标签3, u::TransLabelUnit::kCaption));
    }
    std::string short_mp3() { return mp3_file(Mp3Kind::Short); }
};

using Items = std::vector<std::pair<std::string, std::int32_t>>;
using Paths = std::vector<std::string>;
constexpr const char* kHint = "请先点击浏览文件选项找到需播放的文件";

TEST(DisplayName, KeepsTheFileNameUpToItsFirstDot) {
    const std::pair<const char*, const char*> cases[] = {
        {"a.mp3", "a"},       {"01.Intro.mp3", "01"}, {".mp3", ""},         {"Song.MP3", "Song"},
        {"sub/x.y.mp3", "x"}, {"no dot", "no dot"},   {"歌曲.mp3", "歌曲"},
    };
    for (auto [name, shown] : cases) {
        EXPECT_EQ(runtime::gbk_to_utf8(player::display_name(utf8_to_gbk(name))), shown) << name;
    }
}

TEST_F(MusicFolder, ChosenFolderListsItsMp3FilesAndSkipsSubFolders) {
    start();
    const std::string folder = make_folder(
        "music", {"b.mp3", "a.MP3", "c.mp3/", "notes.txt", "01.Intro.mp3"}, short_mp3());
    m_dialogs.folders.push_back(folder);
    click("按钮1");
    EXPECT_EQ(m_dialogs.folder_titles, std::vector<std::string>{"请选择音乐文件存放目录"});
    EXPECT_EQ(items(), (Items{{"01", 1}, {"a", 2}, {"b", 3}}));
    EXPECT_EQ(paths(), (Paths{folder + "/01.Intro.mp3", folder + "/a.MP3", folder + "/b.mp3"}));
    EXPECT_EQ(runtime::gbk_to_utf8(player::read_stored_music_folder()), folder);
}

TEST_F(MusicFolder, ChoosingTheSameFolderAgainGivesTheSameListNotADoubledOne) {
    start();
    const std::string folder = make_folder("music", {"a.mp3", "b.mp3"}, short_mp3());
    m_dialogs.folders = {folder, folder};
    click("按钮1");
    click("按钮1");
    EXPECT_EQ(items(), (Items{{"a", 1}, {"b", 2}}));
    EXPECT_EQ(paths(), (Paths{folder + "/a.mp3", folder + "/b.mp3"}));
}

TEST_F(MusicFolder, StoredFolderAndFileNamesKeepTheirChineseCharacters) {
    const std::string folder = make_folder("音乐 文件夹", {"歌曲.mp3"}, short_mp3());
    store_folder(folder);
    start();
    EXPECT_EQ(items(), (Items{{"歌曲", 1}}));
    EXPECT_EQ(paths(), Paths{folder + "/歌曲.mp3"});
    // The stored bytes are the program's code page, as a file written on Windows holds them.
    EXPECT_NE(config_bytes().find(utf8_to_gbk(folder).bytes()), std::string::npos);
}

// Files unpacked from a Windows archive carry GBK bytes in their names, and so may the music
// folder and the program's own folder: such tracks are listed, play, and are found again
// through config.ini at the next start.
TEST_F(MusicFolder, TracksNamedInGbkBytesListPlayAndSurviveTheSettings) {
    namespace fs = std::filesystem;
    const fs::path program = m_root / "\xB3\xCC\xD0\xF2";  // 程序
    const fs::path music = m_root / "\xD2\xF4\xC0\xD6";    // 音乐
    const std::string song = "\xB8\xE8\xC7\xFA.mp3";       // 歌曲.mp3
    fs::create_directories(program);
    fs::create_directories(music);
    fs::copy_file(short_mp3(), music / song);
    fs::copy_file(short_mp3(), music / "b.mp3");
    runtime::set_run_directory_for_tests(Text(program.native()));  // its bytes are its text
    m_dialogs.folders.push_back(music.native());
    start();
    click("按钮1");
    EXPECT_EQ(items(), (Items{{"b", 1}, {"歌曲", 2}}));

    // Stored as the folder's own bytes, which are its text, beside the program.
    std::ifstream in(program / "config.ini", std::ios::binary);
    const std::string stored{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_NE(stored.find(utf8_to_gbk("路径").bytes() + "=" + music.native()), std::string::npos)
        << stored;

    runtime::close_window(u::kMainWindowId);
    player::program_state().track_paths.clear();
    start();
    ASSERT_EQ(items(), (Items{{"b", 1}, {"歌曲", 2}}));
    click_item(1);
    EXPECT_EQ(player::media_player().get_state(), 1);
    EXPECT_EQ(player::media_player().record().file_name, Text(music.native() + "/" + song));
    EXPECT_EQ(runtime::gbk_to_utf8(player::text_of(u::启动窗口, u::WindowUnit::kCaption)),
              "正在播放：歌曲");
    EXPECT_EQ(runtime::gbk_to_utf8(player::text_of(u::透明标签1, u::TransLabelUnit::kCaption)),
              "00:03");
    EXPECT_TRUE(wait_until([] { return player::media_player().get_position() > 0; }));
}

TEST_F(MusicFolder, CancelledDialogKeepsStoredFolderListAndPlayback) {
    const std::string folder = make_folder("music", {"a.mp3", "b.mp3"}, short_mp3());
    store_folder(folder);
    start();
    click_item(1);
    ASSERT_EQ(player::media_player().get_state(), 1);
    const std::string stored = config_bytes();
    click("按钮1");  // the dialog is cancelled
    EXPECT_EQ(m_dialogs.folder_titles.size(), 1u);
    EXPECT_EQ(player::media_player().get_state(), 1);
    EXPECT_EQ(items(), (Items{{"a", 1}, {"b", 2}}));
    EXPECT_EQ(config_bytes(), stored);
    EXPECT_EQ(runtime::gbk_to_utf8(player::text_of(u::编辑框1, u::EditBoxUnit::kContent)), "b");
}

TEST_F(MusicFolder, StartWithoutAStoredFolderListsNothingAndShowsTheHint) {
    for (bool with_empty_key : {false, true}) {
        SCOPED_TRACE(with_empty_key ? "empty stored folder" : "no config.ini");
        if (with_empty_key) {
            store_folder("");
        }
        start();
        EXPECT_EQ(u::列表框1->item_count(), 0);
        EXPECT_TRUE(player::program_state().track_paths.empty());
        EXPECT_EQ(hint(), kHint);
        runtime::close_window(u::kMainWindowId);
    }
}

TEST_F(MusicFolder, ChosenFolderSurvivesARestartWhenConfigBesideTheProgramIsReadOnly) {
    const std::string first = make_folder("first", {"a.mp3"}, short_mp3());
    const std::string second = make_folder("second", {"x.mp3"}, short_mp3());
    store_folder(first);
    std::filesystem::permissions(config_path(), std::filesystem::perms::owner_read |
                                                    std::filesystem::perms::group_read |
                                                    std::filesystem::perms::others_read);
    const std::string beside = config_bytes();
    start();
    EXPECT_EQ(items(), (Items{{"a", 1}}));  // still read
    m_dialogs.folders.push_back(second);
    click("按钮1");
    EXPECT_EQ(items(), (Items{{"x", 1}}));
    EXPECT_EQ(config_bytes(), beside);
    EXPECT_EQ(read_file_bytes(user_config_path().string()),
              ("[config]\r\n" + utf8_to_gbk("路径=" + second) + "\r\n").bytes());
    runtime::close_window(u::kMainWindowId);
    player::program_state().track_paths.clear();  // a new run starts with none
    start();                                      // and lists the folder chosen last
    EXPECT_EQ(items(), (Items{{"x", 1}}));
}

// A full file system under the program: a 64 KiB tmpfs filled to the last byte. Mounting one
// needs a mount namespace, so the test runs itself again inside one of its own (unshare) and
// checks there; nothing is mounted where other tests could see it.
TEST_F(MusicFolder, FullDiskKeepsTheStoredFolderByteForByteAndListsTheChosenOne) {
    namespace fs = std::filesystem;
    if (!in_test_child()) {
        const std::string output = rerun_current_test("unshare --user --map-root-user --mount");
        if (output.rfind("unshare: ", 0) == 0) {
            GTEST_SKIP() << "no mount namespace for a tmpfs: " << output;
        }
        EXPECT_NE(output.find("[  PASSED  ] 1 test"), std::string::npos) << output;
        EXPECT_NE(output.find("exit 0"), std::string::npos) << output;
        return;
    }

    ASSERT_EQ(::mount("wavlon", m_program.c_str(), "tmpfs", 0, "size=64k"), 0)
        << std::strerror(errno);
    const std::string first = make_folder("first", {"a.mp3"}, short_mp3());
    const std::string second = make_folder("second", {"x.mp3", "y.mp3"}, short_mp3());
    store_folder(first);
    start();
    ASSERT_EQ(items(), (Items{{"a", 1}}));
    {
        std::ofstream filler(m_program / "filler", std::ios::binary);
        const std::string block(4096, 'f');
        while (filler.write(block.data(), block.size())) {
        }
    }
    const std::string stored = config_bytes();
    std::set<std::string> entries;
    for (const fs::directory_entry& entry : fs::directory_iterator(m_program)) {
        entries.insert(entry.path().filename().string());
    }

    m_dialogs.folders.push_back(second);
    click("按钮1");
    EXPECT_EQ(config_bytes(), stored);
    std::set<std::string> after;
    for (const fs::directory_entry& entry : fs::directory_iterator(m_program)) {
        after.insert(entry.path().filename().string());
    }
    EXPECT_EQ(after, entries);  // no temporary file left behind
    EXPECT_EQ(items(), (Items{{"x", 1}, {"y", 2}}));
    EXPECT_EQ(paths(), (Paths{second + "/x.mp3", second + "/y.mp3"}));
    click_item(1);
    EXPECT_EQ(player::media_player().record().file_name, Text(second + "/y.mp3"));
    runtime::close_window(u::kMainWindowId);
    ::umount(m_program.c_str());
}

TEST_F(MusicFolder, LoadingAFolderForgetsTheCurrentTrackAndUnmutes) {
    const std::string first = make_folder("first", {"a.mp3"}, short_mp3());
    const std::string second = make_folder("second", {"x.mp3", "y.mp3"}, short_mp3());
    store_folder(first);
    start();
    click_item(0);
    ASSERT_TRUE(wait_until([&] { return enabled("按钮3"); }));
    pactl("set-sink-mute @DEFAULT_SINK@ 1");
    m_dialogs.folders.push_back(second);
    click("按钮1");
    EXPECT_EQ(player::media_player().get_state(), 0);  // closed
    EXPECT_EQ(items(), (Items{{"x", 1}, {"y", 2}}));
    EXPECT_EQ(runtime::gbk_to_utf8(player::read_stored_music_folder()), second);
    EXPECT_EQ(player::text_of(u::编辑框1, u::EditBoxUnit::kContent), "");
    EXPECT_EQ(player::text_of(u::编辑框2, u::EditBoxUnit::kContent), "");
    EXPECT_EQ(runtime::gbk_to_utf8(player::text_of(u::按钮2, u::ButtonUnit::kCaption)), "播 放");
    EXPECT_EQ(runtime::gbk_to_utf8(player::text_of(u::透明标签1, u::TransLabelUnit::kCaption)),
              "00:00");
    EXPECT_EQ(hint(), "");
    EXPECT_NE(pactl("get-sink-mute @DEFAULT_SINK@").find("no"), std::string::npos);
    EXPECT_TRUE(wait_until([&] { return !enabled("按钮2") && !enabled("按钮5"); }));
    EXPECT_TRUE(enabled("按钮6"));
}

}  // namespace
}  // namespace wavlon::testing
