#include "runtime/config_location.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "runtime/config_file.h"
#include "runtime/program.h"
#include "support/unprivileged.h"

namespace wavlon::runtime {
namespace {

namespace fs = std::filesystem;

std::optional<std::string> bytes_of(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    return std::string{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_bytes(const fs::path& path, const std::string& bytes, fs::perms mode) {
    std::ofstream(path, std::ios::binary) << bytes;
    fs::permissions(path, mode);
}

// The stored folder as config.ini holds it: GB18030, CRLF lines.
std::string stored(const std::string& folder_utf8, const std::string& before = {}) {
    return before + ("[config]\r\n" + utf8_to_gbk("路径=" + folder_utf8) + "\r\n").bytes();
}

enum class Home { Xdg, XdgUnset, XdgRelative, NoHomeAtAll };

struct Case {
    const char* name;
    fs::perms program_folder;
    std::optional<std::string> beside;  // config.ini beside the program before the run
    fs::perms beside_mode;
    Home home;
    std::optional<std::string> user_before;  // the user's file before the run
    // What the child sees and leaves: the folder read before and after storing /音乐/新.
    std::string read_before;
    bool written;
    std::string read_after;
    std::optional<std::string> beside_after;
    std::optional<std::string> user_after;
    const char* user_file;  // where the user's file is expected, under the test folder
};

constexpr fs::perms kWritable = fs::perms::all;
constexpr fs::perms kReadOnlyFolder = fs::perms::owner_read | fs::perms::owner_exec |
                                      fs::perms::group_read | fs::perms::group_exec |
                                      fs::perms::others_read | fs::perms::others_exec;
constexpr fs::perms kReadOnlyFile =
    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
constexpr fs::perms kWritableFile =
    kReadOnlyFile | fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;

class ConfigLocation : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "wavlon-location-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_root = pattern;
        fs::permissions(m_root, fs::perms::all | fs::perms::sticky_bit);
        fs::create_directories(m_root / "program");
        // Folders the child's user may create in, as it may in its own home.
        for (const char* folder : {"xdg", "home"}) {
            fs::create_directories(m_root / folder);
            testing::give_to_child_user((m_root / folder).string());
        }
    }
    void TearDown() override {
        std::error_code ignored;
        fs::permissions(m_root / "program", kWritable, ignored);
        fs::remove_all(m_root, ignored);
    }

    // Lays out the case, runs the read, the write and the read again as the child's user.
    std::string run(const Case& c) {
        const fs::path program = m_root / "program";
        if (c.beside) {
            write_bytes(program / "config.ini", *c.beside, c.beside_mode);
        }
        if (c.user_before) {
            fs::create_directories(m_root / "xdg/wavlon");
            write_bytes(m_root / "xdg/wavlon/config.ini", *c.user_before, kWritableFile);
            testing::give_to_child_user((m_root / "xdg/wavlon").string());
            testing::give_to_child_user((m_root / "xdg/wavlon/config.ini").string());
        }
        fs::permissions(program, c.program_folder);
        const fs::path root = m_root;
        const Home home = c.home;
        const bool installed = m_installed;
        return testing::run_unprivileged([root, home, installed] {
            set_run_directory_for_tests(utf8_to_gbk((root / "program").string()));
            // A build whose install folder is this program's folder.
            set_installed_program_folder_for_tests(
                utf8_to_gbk((root / (installed ? "program" : "elsewhere")).string()));
            ::unsetenv("XDG_CONFIG_HOME");
            ::unsetenv("HOME");
            if (home == Home::Xdg) {
                ::setenv("XDG_CONFIG_HOME", (root / "xdg").c_str(), 1);
            } else if (home == Home::XdgRelative) {
                ::setenv("XDG_CONFIG_HOME", "xdg", 1);
            }
            if (home != Home::NoHomeAtAll) {
                ::setenv("HOME", (root / "home").c_str(), 1);
            }
            const Text section = "config";
            const Text key = utf8_to_gbk("路径");
            const Text before = read_config_item(config_file_to_read("config.ini"), section, key);
            const bool written = write_config_item(config_file_to_write("config.ini"), section, key,
                                                   utf8_to_gbk("/音乐/新"));
            const Text after = read_config_item(config_file_to_read("config.ini"), section, key);
            return gbk_to_utf8(before) + "|" + (written ? "written" : "refused") + "|" +
                   gbk_to_utf8(after);
        });
    }

    // Runs the case and checks what it read and where the file went.
    void expect_case(const Case& c) {
        EXPECT_EQ(run(c),
                  c.read_before + "|" + (c.written ? "written" : "refused") + "|" + c.read_after);
        EXPECT_EQ(bytes_of(m_root / "program/config.ini"), c.beside_after);
        EXPECT_EQ(bytes_of(m_root / c.user_file), c.user_after);
    }

    fs::path m_root;
    bool m_installed = false;
};

TEST_F(ConfigLocation, BesideTheProgramWhenWritableElseTheUsersFolder) {
    const std::string old_file = stored("/旧", "; mine\r\n");
    const Case cases[] = {
        {"writable folder: written beside, byte for byte", kWritable, std::nullopt, kWritableFile,
         Home::Xdg, std::nullopt, "", true, "/音乐/新", stored("/音乐/新"), std::nullopt,
         "xdg/wavlon/config.ini"},
        {"writable folder and file: edited in place", kWritable, old_file, kWritableFile, Home::Xdg,
         std::nullopt, "/旧", true, "/音乐/新", stored("/音乐/新", "; mine\r\n"), std::nullopt,
         "xdg/wavlon/config.ini"},
        {"read-only folder: the user's file is made", kReadOnlyFolder, std::nullopt, kWritableFile,
         Home::Xdg, std::nullopt, "", true, "/音乐/新", std::nullopt, stored("/音乐/新"),
         "xdg/wavlon/config.ini"},
        {"read-only folder and file: read, then seeded into the user's file", kReadOnlyFolder,
         old_file, kReadOnlyFile, Home::Xdg, std::nullopt, "/旧", true, "/音乐/新", old_file,
         stored("/音乐/新", "; mine\r\n"), "xdg/wavlon/config.ini"},
        {"read-only file in a writable folder: seeded too", kWritable, old_file, kReadOnlyFile,
         Home::Xdg, std::nullopt, "/旧", true, "/音乐/新", old_file,
         stored("/音乐/新", "; mine\r\n"), "xdg/wavlon/config.ini"},
        {"the user's file, once there, wins over the one beside", kReadOnlyFolder, old_file,
         kReadOnlyFile, Home::Xdg, stored("/用户"), "/用户", true, "/音乐/新", old_file,
         stored("/音乐/新"), "xdg/wavlon/config.ini"},
        {"XDG_CONFIG_HOME unset: ~/.config", kReadOnlyFolder, old_file, kReadOnlyFile,
         Home::XdgUnset, std::nullopt, "/旧", true, "/音乐/新", old_file,
         stored("/音乐/新", "; mine\r\n"), "home/.config/wavlon/config.ini"},
        {"XDG_CONFIG_HOME relative: ignored", kReadOnlyFolder, std::nullopt, kWritableFile,
         Home::XdgRelative, std::nullopt, "", true, "/音乐/新", std::nullopt, stored("/音乐/新"),
         "home/.config/wavlon/config.ini"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        expect_case(c);
        if (!c.user_before && c.user_after) {
            struct stat st {};
            ASSERT_EQ(::stat((m_root / c.user_file).parent_path().c_str(), &st), 0);
            EXPECT_EQ(st.st_mode & 0777, 0700u);
        }
        if (!c.user_after) {
            EXPECT_FALSE(fs::exists(m_root / "xdg/wavlon"));
            EXPECT_FALSE(fs::exists(m_root / "home/.config"));
        }
        TearDown();
        SetUp();
    }
}

// Run from the folder it was installed to, the program keeps its settings in the user's
// folder, also when it could write beside itself (root in /usr/bin).
TEST_F(ConfigLocation, InstalledProgramAlwaysUsesTheUsersFolder) {
    m_installed = true;
    const Case cases[] = {
        {"writable install folder, no file yet", kWritable, std::nullopt, kWritableFile, Home::Xdg,
         std::nullopt, "", true, "/音乐/新", std::nullopt, stored("/音乐/新"),
         "xdg/wavlon/config.ini"},
        {"the user's file is read, a stray one beside is not", kWritable, stored("/旁"),
         kWritableFile, Home::Xdg, stored("/用户"), "/用户", true, "/音乐/新", stored("/旁"),
         stored("/音乐/新"), "xdg/wavlon/config.ini"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        expect_case(c);
        TearDown();
        SetUp();
    }
}

TEST_F(ConfigLocation, NoUserFolderToBeHadRefusesTheWriteAndLosesNothing) {
    // A folder in the way of the user's settings folder.
    std::ofstream(m_root / "xdg/wavlon") << "not a folder";
    const std::string old_file = stored("/旧");
    const Case c{"", kReadOnlyFolder, old_file, kReadOnlyFile, Home::Xdg,    std::nullopt,
                 "", false,           "",       old_file,      std::nullopt, ""};
    EXPECT_EQ(run(c), "/旧|refused|/旧");
    EXPECT_EQ(bytes_of(m_root / "program/config.ini"), old_file);
    EXPECT_EQ(bytes_of(m_root / "xdg/wavlon"), "not a folder");
}

TEST_F(ConfigLocation, WithoutAnyHomeTheFileBesideIsStillRead) {
    if (!testing::drops_privileges()) {
        GTEST_SKIP() << "needs root: the password database's home of 'nobody' is used";
    }
    const std::string old_file = stored("/旧");
    const Case c{"", kReadOnlyFolder, old_file, kReadOnlyFile, Home::NoHomeAtAll, std::nullopt,
                 "", false,           "",       old_file,      std::nullopt,      ""};
    // nobody's home (/nonexistent) cannot be made, so the write is refused.
    EXPECT_EQ(run(c), "/旧|refused|/旧");
    EXPECT_EQ(bytes_of(m_root / "program/config.ini"), old_file);
}

TEST(UserConfigFolder, FollowsTheXdgRules) {
    struct Row {
        const char* xdg;  // nullptr: unset
        const char* home;
        const char* expected;
    };
    const Row rows[] = {
        {"/x/config", "/h", "/x/config/wavlon"},  {"/x/config/", "/h", "/x/config/wavlon"},
        {nullptr, "/h", "/h/.config/wavlon"},     {"", "/h", "/h/.config/wavlon"},
        {"relative", "/h/", "/h/.config/wavlon"}, {"/x/用户", "/h", "/x/用户/wavlon"},
    };
    const char* saved_xdg = std::getenv("XDG_CONFIG_HOME");
    const char* saved_home = std::getenv("HOME");
    const std::string xdg_before = saved_xdg ? saved_xdg : "";
    const std::string home_before = saved_home ? saved_home : "";
    for (const Row& row : rows) {
        SCOPED_TRACE(row.xdg ? row.xdg : "(unset)");
        if (row.xdg) {
            ::setenv("XDG_CONFIG_HOME", row.xdg, 1);
        } else {
            ::unsetenv("XDG_CONFIG_HOME");
        }
        ::setenv("HOME", row.home, 1);
        EXPECT_EQ(gbk_to_utf8(user_config_folder()), row.expected);
    }
    saved_xdg ? ::setenv("XDG_CONFIG_HOME", xdg_before.c_str(), 1) : ::unsetenv("XDG_CONFIG_HOME");
    saved_home ? ::setenv("HOME", home_before.c_str(), 1) : ::unsetenv("HOME");
}

}  // namespace
}  // namespace wavlon::runtime
