#include "runtime/config_file.h"

#ifndef _WIN32
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>

#include "platform/codec.h"
#include "support/temp_folder.h"

namespace wavlon::runtime {
namespace {

namespace fs = std::filesystem;
using testing::TempFolder;

std::string read_bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct ReadCase {
    const char* name;
    std::string content;
    Text section;
    Text key;
    Text default_value;
    Text expected;
};

TEST(ReadConfigText, FollowsProfileFileRules) {
    const Text path = "D:\\音乐\\华语"_gb;
    const ReadCase cases[] = {
        {"windows file with CRLF and GBK bytes",
         ("[config]\r\n" + "路径"_gb + "=" + path + "\r\n").bytes(), "config", "路径"_gb, "", path},
        {"LF only, no final newline", "[s]\nk=v", "s", "k", "", "v"},
        {"names and value trimmed", "  [ Sec ] \r\n\t k \t=  a b \r\n", "sec", "K", "", "a b"},
        {"double quotes removed once", "[s]\nk=\"\"x\"\"", "s", "k", "", "\"x\""},
        {"single quotes removed", "[s]\nk=  ' a '  ", "s", "k", "", " a "},
        {"unbalanced quote kept", "[s]\nk=\"a'", "s", "k", "", "\"a'"},
        {"comments skipped", "[s]\n;k=1\n  # k=2\nk=3\n", "s", "k", "", "3"},
        {"mixed case", "[CONFIG]\nPATH=v\n", "Config", "path", "", "v"},
        {"first match wins", "[s]\nk=1\nK=2\n", "s", "k", "", "1"},
        {"duplicate section searched in order", "[s]\na=1\n[t]\nk=t\n[S]\nk=2\n", "s", "k", "",
         "2"},
        {"other section not used", "[a]\nk=1\n[b]\nj=2\n", "b", "k", "dflt", "dflt"},
        {"item before any section ignored", "k=0\n[s]\n", "s", "k", "d", "d"},
        {"missing section gives default", "[s]\nk=1\n", "t", "k", "d", "d"},
        {"default loses trailing spaces", "", "s", "k", "d  ", "d"},
        {"key without '=' reads as default", "[s]\nk\n", "s", "k", "d", "d"},
        {"empty value", "[s]\nk=\r\n", "s", "k", "d", ""},
        {"empty key ignores default", "[s]\n=1\n", "s", "", "d", ""},
        {"key of spaces and controls", "[s]\n=1\n", "s", " \t\x01", "d", ""},
        {"empty section ignores default", "[s]\nk=1\n", "", "k", "d", ""},
        {"leading control bytes skipped", "[s]\nk=1\n", "\x01 s", "\tk", "", "1"},
        // 0x81 0x41 and 0x81 0x61 are different characters; their trail bytes are not letters.
        {"trail bytes not case-folded", "[s]\n\x81\x61=1\n", "s", "\x81\x41", "d", "d"},
        {"UTF-8 file with byte-order mark", "\xEF\xBB\xBF[配置]\n路径=音乐\n", "配置"_gb, "路径"_gb,
         "", "音乐"_gb},
        {"section header without ']'", "[s\nk=1\n", "s", "k", "d", "d"},
    };
    for (const ReadCase& c : cases) {
        EXPECT_EQ(read_config_text(c.content, c.section, c.key, c.default_value), c.expected)
            << c.name;
    }
}

TEST(ReadConfigText, ValuesAreCutAtTheLimitWithoutSplittingACharacter) {
    EXPECT_EQ(read_config_text("[s]\nk=" + std::string(20000, 'x'), "s", "k"),
              Text(kConfigValueLimit, 'x'));
    const std::string value = std::string(kConfigValueLimit - 1, 'x') + "中"_gb.bytes();
    EXPECT_EQ(read_config_text("[s]\nk=" + value, "s", "k"), Text(kConfigValueLimit - 1, 'x'));
    EXPECT_EQ(read_config_text("", "s", "k", Text(kConfigValueLimit + 1, 'd')).size(),
              kConfigValueLimit);
}

struct EditCase {
    const char* name;
    std::string content;
    Text section;
    std::optional<Text> key;
    std::optional<Text> value;
    std::optional<std::string> expected;
};

TEST(EditConfigText, ChangesOnlyWhatIsAsked) {
    const EditCase cases[] = {
        {"new file", "", "config", "路径"_gb, "/home/歌"_gb,
         ("[config]\r\n" + "路径"_gb + "=" + "/home/歌"_gb + "\r\n").bytes()},
        {"replaced in place, spacing and other lines kept", "; top\n[Config]\n  k = old  \nz=1\n",
         "config", "K", "new", "; top\n[Config]\n  k = new\nz=1\n"},
        {"quoted value replaced", "[s]\r\nk=\"old\"\r\n", "s", "k", "v", "[s]\r\nk=v\r\n"},
        {"empty value stored after '='", "[s]\nk=1\n", "s", "k", "", "[s]\nk=\n"},
        {"item without '=' gets one", "[s]\nk\n", "s", "k", "1", "[s]\nk=1\n"},
        {"added before blank lines of the section", "[a]\nk=1\n\n[b]\nx=2\n", "A", "j", "3",
         "[a]\nk=1\nj=3\r\n\n[b]\nx=2\n"},
        {"added to a section without items", "[a]\n[b]\n", "a", "j", "3", "[a]\nj=3\r\n[b]\n"},
        {"added to a last line without line break", "[a]\nk=1", "a", "j", "2",
         "[a]\nk=1\r\nj=2\r\n"},
        {"section appended", "[a]\nk=1", "b", "x", "2", "[a]\nk=1\r\n[b]\r\nx=2\r\n"},
        {"value that would not read back is quoted", "", "s", "k", " a ", "[s]\r\nk=\" a \"\r\n"},
        {"quoted value is quoted again", "", "s", "k", "'a'", "[s]\r\nk=\"'a'\"\r\n"},
        {"key deleted everywhere in the section", "[a]\r\nk=1\r\nj=2\r\n[A]\r\nK=3\r\n", "a", "k",
         std::nullopt, "[a]\r\nj=2\r\n[A]\r\n"},
        {"section deleted with its lines", "; c\n[a]\nk=1\n\n[b]\nx=2\n[A]\ny=3", "a", std::nullopt,
         std::nullopt, "; c\n[b]\nx=2\n"},
        {"deleting what is missing changes nothing", "[a]\nk=1\n", "b", "k", std::nullopt,
         "[a]\nk=1\n"},
        {"UTF-8 file written in UTF-8", "\xEF\xBB\xBF[s]\nk=1\n", "s", "k", "歌"_gb,
         "\xEF\xBB\xBF[s]\nk=歌\n"},
        {"empty section refused", "", " ", "k", "v", std::nullopt},
        {"empty key refused", "", "s", " ", "v", std::nullopt},
        {"key with '=' refused", "", "s", "a=b", "v", std::nullopt},
        {"key read as a comment refused", "", "s", ";k", "v", std::nullopt},
        {"line break in value refused", "", "s", "k", "a\r\n[x]", std::nullopt},
        {"zero byte in section refused", "", Text("a\0b", 3), "k", "v", std::nullopt},
    };
    for (const EditCase& c : cases) {
        EXPECT_EQ(edit_config_text(c.content, c.section, c.key, c.value), c.expected) << c.name;
    }
}

TEST(ConfigFile, WindowsWrittenFileRoundTrips) {
    TempFolder folder;
    const std::string original = ("; written on Windows\r\n[config]\r\n" + "路径"_gb +
                                  "=D:\\音乐\r\n\r\n[other]\r\nkeep=this\r\n"_gb)
                                     .bytes();
    std::ofstream(folder.path("config.ini"), std::ios::binary) << original;
    const Text file = folder.text("config.ini");

    EXPECT_EQ(read_config_item(file, "config", "路径"_gb), "D:\\音乐"_gb);
    EXPECT_TRUE(write_config_item(file, "config", "路径"_gb, "/home/用户/音乐"_gb));
    EXPECT_EQ(read_config_item(file, "config", "路径"_gb), "/home/用户/音乐"_gb);
    EXPECT_EQ(read_bytes(folder.path("config.ini")),
              ("; written on Windows\r\n[config]\r\n" + "路径"_gb +
               "=/home/用户/音乐\r\n\r\n[other]\r\nkeep=this\r\n"_gb)
                  .bytes());
    EXPECT_EQ(folder.names().size(), 1u);
}

TEST(ConfigFile, MissingFileReadsDefaultAndIsCreatedByWrite) {
    TempFolder folder;
    const Text file = folder.text("config.ini");
    EXPECT_EQ(read_config_item(file, "config", "k", "d"), "d");
    EXPECT_EQ(read_config_item("  ", "config", "k", "d"), "");
    EXPECT_TRUE(write_config_item(file, "config", "k", std::nullopt));
    EXPECT_FALSE(fs::exists(folder.path("config.ini")));  // nothing to delete, nothing made

    EXPECT_TRUE(write_config_item(file, "config", "k", ""));
    EXPECT_EQ(read_bytes(folder.path("config.ini")), "[config]\r\nk=\r\n");
    EXPECT_EQ(read_config_item(file, "config", "k", "d"), "");
}

TEST(ConfigFile, UnwritableLocationFailsCleanly) {
    TempFolder folder;
    EXPECT_FALSE(write_config_item(folder.text("missing/config.ini"), "s", "k", "v"));
    EXPECT_FALSE(write_config_item("/proc/wavlon-config.ini", "s", "k", "v"));
    fs::create_directory(folder.path("dir.ini"));
    EXPECT_FALSE(write_config_item(folder.text("dir.ini"), "s", "k", "v"));
    EXPECT_EQ(read_config_item(folder.text("dir.ini"), "s", "k", "d"), "d");
    EXPECT_EQ(folder.names().size(), 1u);
}

// Write failures part-way and killed writers are made with POSIX resource limits and fork.
#ifndef _WIN32
TEST(ConfigFile, InterruptedWriteKeepsOldFile) {
    TempFolder folder;
    std::ofstream(folder.path("config.ini"), std::ios::binary) << "[s]\r\nk=old\r\n";
    auto previous_handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit previous{};
    ::getrlimit(RLIMIT_FSIZE, &previous);
    rlimit small = previous;
    small.rlim_cur = 8;
    ::setrlimit(RLIMIT_FSIZE, &small);
    bool written = write_config_item(folder.text("config.ini"), "s", "k", Text(100, 'v'));
    ::setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previous_handler);

    EXPECT_FALSE(written);
    EXPECT_EQ(read_bytes(folder.path("config.ini")), "[s]\r\nk=old\r\n");
    EXPECT_EQ(folder.names().size(), 1u);
}

std::set<std::string> entries(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

// Writers killed in the middle of their writes leave temporary files; the next read or write
// of the settings removes those, and only those: not a write still going on (a live process
// holding its file), not other files that merely look alike.
TEST(ConfigFile, TemporariesOfKilledWritersAreRemoved) {
    for (const bool by_read : {true, false}) {
        SCOPED_TRACE(by_read ? "read" : "write");
        TempFolder folder;
        const Text file = folder.text("config.ini");
        ASSERT_TRUE(write_config_item(file, "config", "k", "first"));
        std::mt19937 random(by_read ? 1 : 2);
        for (int kill = 0; kill < 25; ++kill) {
            const pid_t writer = ::fork();
            if (writer == 0) {
                for (int i = 0;; ++i) {
                    write_config_item(file, "config", "k", Text(std::to_string(i)));
                }
            }
            ::usleep(200 + random() % 3000);
            ::kill(writer, SIGKILL);
            ::waitpid(writer, nullptr, 0);
        }
        // A write of another process that is still going on, and names that are not ours.
        const std::string live = ".config.ini.42.tmp";
        std::ofstream(folder.path(live.c_str())) << "partial";
        int pipe_fds[2];
        ASSERT_EQ(::pipe(pipe_fds), 0);
        const pid_t holder = ::fork();
        if (holder == 0) {
            int fd = ::open(folder.path(live.c_str()).c_str(), O_RDONLY);
            ::flock(fd, LOCK_EX);
            [[maybe_unused]] ssize_t sent = ::write(pipe_fds[1], "x", 1);
            ::pause();
        }
        char ready = 0;
        ASSERT_EQ(::read(pipe_fds[0], &ready, 1), 1);
        const std::set<std::string> foreign = {"config.ini.7.tmp", ".config.ini.7x.tmp",
                                               ".config.ini.1234567.tmp", ".other.ini.7.tmp",
                                               ".config.ini.7.tmp.bak"};
        for (const std::string& name : foreign) {
            std::ofstream(folder.path(name.c_str())) << "x";
        }

        if (by_read) {
            EXPECT_FALSE(read_config_item(file, "config", "k", "").empty());
        } else {
            EXPECT_TRUE(write_config_item(file, "config", "k", "last"));
        }
        std::set<std::string> expected = foreign;
        expected.insert({"config.ini", live});
        EXPECT_EQ(entries(folder.path("")), expected);
        ::kill(holder, SIGKILL);
        ::waitpid(holder, nullptr, 0);
        ::close(pipe_fds[0]);
        ::close(pipe_fds[1]);
    }
}
#endif

}  // namespace
}  // namespace wavlon::runtime
