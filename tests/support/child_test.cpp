#include "support/child_test.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "support/pulse_server.h"

namespace wavlon::testing {

bool in_test_child() {
    return std::getenv("WAVLON_TEST_CHILD") != nullptr;
}

std::string rerun_current_test(const std::string& prefix) {
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    const std::string filter = std::string(test->test_suite_name()) + "." + test->name();
    return run_command("WAVLON_TEST_CHILD=1 " + prefix + " '" + self +
                       "' --gtest_color=no --gtest_filter='" + filter + "' 2>&1; echo \"exit $?\"");
}

}  // namespace wavlon::testing
