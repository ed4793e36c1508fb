// The runtime's file and settings commands on the Windows file system: names that code page
// 936 cannot hold, the system's attributes, replacement in one step, settings in %APPDATA%.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "runtime/config_file.h"
#include "runtime/config_location.h"
#include "runtime/file_commands.h"
#include "runtime/program.h"
#include "support/temp_folder.h"

namespace wavlon::runtime {
namespace {

namespace fs = std::filesystem;
using testing::all_matches;
using ::testing::ElementsAre;
using testing::path_of;
using testing::TempFolder;

std::string read_bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Korean and an emoji have no code in code page 936; GB18030 gives them four bytes each.
TEST(WindowsFiles, NamesOutsideCodePage936SurviveWritingListingAndSettings) {
    TempFolder root;
    ASSERT_TRUE(fs::create_directory(root.path("음악 🎵")));
    const Text folder = root.text("음악 🎵");
    const Text song = folder + "/" + "노래😀.mp3"_gb;

    ASSERT_TRUE(write_file(song, ByteSet::from_string("tune")));
    EXPECT_EQ(read_bytes(root.path("음악 🎵/노래😀.mp3")), "tune");
    EXPECT_TRUE(file_exists(song));
    EXPECT_THAT(all_matches(folder + "/*.mp3"), ElementsAre("노래😀.mp3"_gb));
    EXPECT_THAT(all_matches(root.text() + "/*.*", kAttributeDirectory), ElementsAre("음악 🎵"_gb));

    const Text settings = folder + "/" + "설정.ini"_gb;
    ASSERT_TRUE(write_config_item(settings, "config", "路径"_gb, folder));
    EXPECT_EQ(read_config_item(settings, "config", "路径"_gb), folder);
    EXPECT_THAT(root.names(), ElementsAre("음악 🎵"));
    close_find();
}

TEST(WindowsFiles, SearchOrdersWithoutCaseAndMasksByTheSystemsAttributes) {
    TempFolder folder;
    for (const char* name : {"b.mp3", "A.MP3", "歌曲.mp3", "readme.txt", "Été.ogg"}) {
        std::ofstream(folder.path(name)) << "x";
    }
    fs::create_directory(folder.path("c.mp3"));
    ASSERT_TRUE(set_file_attributes(folder.text("A.MP3"), kAttributeReadOnly));
    ASSERT_TRUE(set_file_attributes(folder.text("b.mp3"), kAttributeHidden | kAttributeArchive));
    const Text pattern = folder.text() + "/*.mp3";

    EXPECT_THAT(all_matches(pattern), ElementsAre(Text("A.MP3"), Text("b.mp3"), "歌曲.mp3"_gb));
    EXPECT_THAT(all_matches(pattern, kAttributeDirectory), ElementsAre(Text("c.mp3")));
    EXPECT_THAT(all_matches(pattern, kAttributeReadOnly), ElementsAre(Text("A.MP3")));
    EXPECT_THAT(all_matches(pattern, kAttributeHidden), ElementsAre(Text("b.mp3")));
    // (Wine reports the archive bit on every file, also after it was cleared.)
    EXPECT_EQ(file_attributes(folder.text("A.MP3")).value_or(0) & ~kAttributeArchive,
              kAttributeReadOnly);
    EXPECT_EQ(file_attributes(folder.text("b.mp3")), kAttributeHidden | kAttributeArchive);
    EXPECT_EQ(file_attributes(folder.text("c.mp3")), kAttributeDirectory);
    EXPECT_TRUE(file_exists(folder.text() + "/*.TXT"));
    EXPECT_THAT(all_matches(folder.text() + "/" + "éT?.OGG"_gb), ElementsAre("Été.ogg"_gb));

    // A read-only file is not replaced; clearing the bit lets the write through.
    EXPECT_FALSE(write_file(folder.text("A.MP3"), ByteSet::from_string("y")));
    ASSERT_TRUE(set_file_attributes(folder.text("A.MP3"), 0));
    EXPECT_TRUE(write_file(folder.text("A.MP3"), ByteSet::from_string("y")));
    EXPECT_EQ(read_bytes(folder.path("A.MP3")), "y");
}

// A temporary file whose writer still holds it stays; one whose writer is gone is removed.
TEST(WindowsFiles, WritesReplaceInOneStepAndRemoveOnlyAbandonedTemporaries) {
    TempFolder folder;
    const Text out = folder.text("out.bin");
    for (const char* name : {".out.bin.7.tmp", "out.bin.8.tmp", ".out.bin.9.tmp"}) {
        std::ofstream(folder.path(name)) << "partial";
    }
    HANDLE live = CreateFileW(folder.path(".out.bin.9.tmp").c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(live, INVALID_HANDLE_VALUE);

    EXPECT_TRUE(write_file(out, ByteSet::from_string("ab"), ByteSet::from_string("c")));
    EXPECT_TRUE(write_file(out, ByteSet::from_string("new")));
    EXPECT_EQ(read_bytes(folder.path("out.bin")), "new");
    EXPECT_THAT(folder.names(), ElementsAre(".out.bin.9.tmp", "out.bin", "out.bin.8.tmp"));
    CloseHandle(live);

    fs::create_directory(folder.path("dir"));
    EXPECT_FALSE(write_file(folder.text("dir"), ByteSet::from_string("x")));
    EXPECT_FALSE(write_file(folder.text("missing/out"), ByteSet::from_string("x")));
    EXPECT_FALSE(can_write_file(folder.text("dir")));
    EXPECT_TRUE(can_write_file(folder.text("new.ini")));
    EXPECT_THAT(folder.names(), ElementsAre(".out.bin.9.tmp", "dir", "out.bin", "out.bin.8.tmp"));
}

class WindowsSettings : public ::testing::Test {
protected:
    void SetUp() override { SetEnvironmentVariableW(L"APPDATA", m_app_data.path().c_str()); }
    void TearDown() override {
        set_run_directory_for_tests({});
        SetEnvironmentVariableW(L"APPDATA", nullptr);
    }
    TempFolder m_app_data;
};

TEST_F(WindowsSettings, BesideTheProgramWhenItsFolderTakesWrites) {
    TempFolder program;
    set_run_directory_for_tests(program.text());
    EXPECT_EQ(config_file_to_write("config.ini"), program.text("config.ini"));
    EXPECT_EQ(config_file_to_read("config.ini"), program.text("config.ini"));
    EXPECT_EQ(user_config_folder(), m_app_data.text("Wavlon"));
}

// A folder nobody may write to, not even an administrator: wine shows the host's /proc there.
TEST_F(WindowsSettings, ElseInAppDataSeededFromTheFileBesideTheProgram) {
    if (!fs::exists("/proc/version")) {
        GTEST_SKIP() << "no read-only folder with a file in it on this system";
    }
    set_run_directory_for_tests("/proc");
    EXPECT_EQ(config_file_to_read("version"), "/proc/version");
    const Text user_file = config_file_to_write("version");
    EXPECT_EQ(user_file, m_app_data.text("Wavlon/version"));
    EXPECT_EQ(read_bytes(m_app_data.path("Wavlon/version")).substr(0, 5), "Linux");
    EXPECT_EQ(config_file_to_read("version"), user_file);
}

constexpr const wchar_t* kReportVariable = L"WAVLON_RUN_DIRECTORY_REPORT";

// The child's side, run only by the test below, in the copy of this program it made.
TEST(WindowsRunDirectoryChild, DISABLED_ReportsItsFolderAndSetting) {
    wchar_t report[MAX_PATH] = {};
    ASSERT_NE(GetEnvironmentVariableW(kReportVariable, report, MAX_PATH), 0u);
    init_runtime();
    const Text folder = run_directory();
    std::ofstream out(fs::path(report), std::ios::binary);
    out << folder << '\n'
        << read_config_item(folder + "/config.ini", "config", "路径"_gb) << '\n'
        << read_config_item("config.ini", "config", "路径"_gb) << '\n';
}

TEST(WindowsRunDirectory, ProgramInAFolderCodePage936CannotNameReadsItsSettings) {
    TempFolder root;
    ASSERT_TRUE(fs::create_directory(root.path("프로그램 😀")));
    wchar_t self[MAX_PATH] = {};
    ASSERT_NE(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
    const fs::path copy = root.path("프로그램 😀") / fs::path(self).filename();
    fs::copy_file(self, copy);
    std::ofstream(root.path("프로그램 😀/config.ini"), std::ios::binary) << "[config]\r\n"
                                                                        << "路径"_gb
                                                                        << "="
                                                                        << "D:/音乐/노래"_gb
                                                                        << "\r\n";

    SetEnvironmentVariableW(kReportVariable, root.path("report").c_str());
    std::wstring command = L"\"" + copy.wstring() +
                           L"\" --gtest_also_run_disabled_tests --gtest_brief=1"
                           L" --gtest_filter=WindowsRunDirectoryChild.*";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &process));
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exit_code = 1;
    GetExitCodeProcess(process.hProcess, &exit_code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    SetEnvironmentVariableW(kReportVariable, nullptr);

    EXPECT_EQ(exit_code, 0u);
    const Text setting = "D:/音乐/노래"_gb;
    EXPECT_EQ(read_bytes(root.path("report")),
              (root.text("프로그램 😀") + "\n" + setting + "\n" + setting + "\n").bytes());
}

}  // namespace
}  // namespace wavlon::runtime
