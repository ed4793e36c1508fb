// The program's own folder as the program finds it, also when the folder's name is GBK bytes
// (unpacked from a Windows archive): this test executable is run again from such a folder,
// where it reports what it sees.
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "runtime/config_file.h"
#include "runtime/file_commands.h"
#include "runtime/program.h"

namespace wavlon::runtime {
namespace {

namespace fs = std::filesystem;

constexpr const char* kReportVariable = "WAVLON_RUN_DIRECTORY_REPORT";

std::string read_bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The child's side, run only by the parent below, in the copy the parent made.
TEST(RunDirectoryChild, DISABLED_ReportsItsFolderAndSetting) {
    const char* report = std::getenv(kReportVariable);
    ASSERT_NE(report, nullptr);
    init_runtime();
    char cwd[4096] = {};
    ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
    const Text folder = run_directory();
    std::ofstream out(report, std::ios::binary);
    out << folder << '\n'
        << read_config_item(folder + "/config.ini", "config", "路径"_gb) << '\n'
        << cwd << '\n';
}

TEST(RunDirectory, ProgramInAGbkNamedFolderReadsItsConfig) {
    std::string root = (fs::temp_directory_path() / "wavlon-run-XXXXXX").string();
    ASSERT_NE(::mkdtemp(root.data()), nullptr);
    const std::string folder = root + "/\xB3\xCC\xD0\xF2";  // 程序
    const std::string music = "/music/\xD2\xF4\xC0\xD6";    // 音乐
    fs::create_directory(folder);
    const fs::path self = fs::read_symlink("/proc/self/exe");
    const fs::path copy = fs::path(folder) / self.filename();
    std::error_code linked;
    fs::create_hard_link(self, copy, linked);
    if (linked) {
        fs::copy_file(self, copy);
    }
    std::ofstream(folder + "/config.ini", std::ios::binary) << "[config]\r\n"
                                                            << "路径"_gb
                                                            << "=" << music << "\r\n";

    const std::string report = root + "/report";
    ::setenv(kReportVariable, report.c_str(), 1);
    const std::string command =
        "'" + copy.native() +
        "' --gtest_also_run_disabled_tests --gtest_filter=RunDirectoryChild.* >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    ::unsetenv(kReportVariable);

    EXPECT_EQ(status, 0);
    EXPECT_EQ(read_bytes(report), folder + "\n" + music + "\n" + folder + "\n");
    fs::remove_all(root);
}

}  // namespace
}  // namespace wavlon::runtime
