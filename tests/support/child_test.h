// Running the current test again in a process of its own, for faults that need a fresh
// process (a different GStreamer registry) or one set up differently (a mount namespace).
//
// The test calls rerun_current_test() when in_test_child() is false and checks the child's
// output; the child, started with WAVLON_TEST_CHILD=1, runs the same test and takes the
// other branch.
#pragma once

#include <string>

namespace wavlon::testing {

// True in the process that rerun_current_test() started.
bool in_test_child();

// Runs the current test alone in a new process of this test program, by the shell, with
// `prefix` put before the command (environment assignments, a wrapper such as unshare).
// Returns the child's standard output and standard error, then a last line "exit <status>".
std::string rerun_current_test(const std::string& prefix);

}  // namespace wavlon::testing
