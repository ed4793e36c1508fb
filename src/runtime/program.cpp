#include "runtime/program.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/files.h"
#include "runtime/event_suppression.h"

namespace wavlon::runtime {
namespace {

Text g_run_directory;
std::vector<void (*)()> g_end_routines;

// The folder's name as a text, also when it is not UTF-8 (a folder unpacked from a Windows
// archive with GBK bytes in its name).
Text find_run_directory() {
    return file_name_to_gbk(platform::program_folder());
}

}  // namespace

void init_runtime() {
    g_run_directory = find_run_directory();
    if (!platform::change_directory(gbk_to_file_name(g_run_directory))) {
        std::perror("wavlon: cannot enter the program's directory");
    }
}

const Text& run_directory_path() {
    if (g_run_directory.empty()) {
        g_run_directory = find_run_directory();
    }
    return g_run_directory;
}

void set_run_directory_for_tests(Text directory) {
    g_run_directory = std::move(directory);
}

void register_end_routine(void (*routine)()) {
    if (std::find(g_end_routines.begin(), g_end_routines.end(), routine) == g_end_routines.end()) {
        g_end_routines.push_back(routine);
    }
}

void end_program(int code) {
    raise_event_suppression();
    for (auto routine : g_end_routines) {
        routine();
    }
    std::fflush(nullptr);
    std::_Exit(code);
}

}  // namespace wavlon::runtime
