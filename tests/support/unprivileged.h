// Runs a piece of a test in a child process that file permissions apply to.
//
// Root ignores permission bits, so a folder that refuses writes to a user does not refuse
// them to a test run as root (as CI runs). The child drops to the user "nobody" when the
// test runs as root, and stays the same user otherwise. Only the child changes its
// environment and the runtime's settings.
#pragma once

#include <functional>
#include <string>

namespace wavlon::testing {

// True when children started by run_unprivileged drop from root to "nobody".
bool drops_privileges();

// Runs `work` in a forked child as described above and returns what it returned. A child
// that cannot drop its privileges, or that does not end normally, gives a text starting with
// "child failed:".
std::string run_unprivileged(const std::function<std::string()>& work);

// Makes a file or folder the test made usable by the child's user: owned by it when the
// child drops to "nobody", left as it is otherwise.
void give_to_child_user(const std::string& path);

}  // namespace wavlon::testing
