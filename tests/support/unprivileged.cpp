#include "support/unprivileged.h"

#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

namespace wavlon::testing {
namespace {

bool unprivileged_ids(uid_t& uid, gid_t& gid) {
    const passwd* nobody = ::getpwnam("nobody");
    if (!nobody) {
        return false;
    }
    uid = nobody->pw_uid;
    gid = nobody->pw_gid;
    return true;
}

}  // namespace

bool drops_privileges() {
    return ::geteuid() == 0;
}

std::string run_unprivileged(const std::function<std::string()>& work) {
    int out[2];
    if (::pipe(out) != 0) {
        return "child failed: no pipe";
    }
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(out[0]);
        std::string result;
        uid_t uid = 0;
        gid_t gid = 0;
        if (drops_privileges() &&
            (!unprivileged_ids(uid, gid) || ::setgroups(0, nullptr) != 0 ||
             ::setresgid(gid, gid, gid) != 0 || ::setresuid(uid, uid, uid) != 0)) {
            result = "child failed: cannot become nobody";
        } else {
            result = work();
        }
        for (std::size_t done = 0; done < result.size();) {
            const ssize_t n = ::write(out[1], result.data() + done, result.size() - done);
            if (n <= 0) {
                break;
            }
            done += static_cast<std::size_t>(n);
        }
        ::_exit(0);
    }
    ::close(out[1]);
    if (pid < 0) {
        ::close(out[0]);
        return "child failed: no fork";
    }
    std::string result;
    char buffer[4096];
    for (ssize_t n = 0; (n = ::read(out[0], buffer, sizeof buffer)) > 0;) {
        result.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(out[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return "child failed: ended abnormally";
    }
    return result;
}

void give_to_child_user(const std::string& path) {
    uid_t uid = 0;
    gid_t gid = 0;
    if (drops_privileges() && unprivileged_ids(uid, gid)) {
        [[maybe_unused]] int ignored = ::chown(path.c_str(), uid, gid);
    }
}

}  // namespace wavlon::testing
