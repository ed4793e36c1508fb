#include "runtime/config_location.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "runtime/file_commands.h"
#include "runtime/program.h"

namespace wavlon::runtime {
namespace {

constexpr std::string_view kProgramFolder = "wavlon";

#ifndef WAVLON_INSTALL_BINDIR
#define WAVLON_INSTALL_BINDIR "/usr/bin"
#endif

Text& installed_folder_override() {
    static Text folder;
    return folder;
}

// The folder with links resolved (/bin is /usr/bin on a merged system); as given when it
// cannot be resolved.
std::string resolved(const std::string& path) {
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real) {
        return path;
    }
    std::string out = real;
    std::free(real);
    return out;
}

bool runs_installed() {
    return resolved(gbk_to_file_name(run_directory_path())) ==
           resolved(gbk_to_file_name(installed_program_folder()));
}

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::string home_folder() {
    std::string home = environment("HOME");
    if (!home.empty()) {
        return home;
    }
    const passwd* entry = ::getpwuid(::geteuid());
    return entry && entry->pw_dir ? std::string(entry->pw_dir) : std::string();
}

// "/" alone becomes the empty text, so that appending "/name" gives "/name".
std::string without_trailing_slashes(std::string path) {
    while (path.ends_with('/')) {
        path.pop_back();
    }
    return path;
}

// Creates `path` and the folders above it that are missing (UTF-8, absolute).
bool make_folders(const std::string& path) {
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
        if (slash == std::string::npos) {
            break;
        }
    }
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool file_present(const Text& name) {
    struct stat st {};
    return ::stat(gbk_to_file_name(name).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

// The whole file, or nothing when it cannot be read.
bool read_file(const Text& name, std::string& content) {
    int fd = ::open(gbk_to_file_name(name).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    char buffer[16384];
    ssize_t n = 0;
    while ((n = ::read(fd, buffer, sizeof buffer)) != 0) {
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            ::close(fd);
            return false;
        }
        content.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return true;
}

Text beside_program(std::string_view name) {
    return run_directory_path() + "/" + Text(name);
}

Text in_user_folder(const Text& folder, std::string_view name) {
    return folder.empty() ? Text() : folder + "/" + Text(name);
}

}  // namespace

Text user_config_folder() {
    std::string base = environment("XDG_CONFIG_HOME");
    if (!base.starts_with('/')) {
        std::string home = home_folder();
        if (!home.starts_with('/')) {
            return {};
        }
        base = without_trailing_slashes(home) + "/.config";
    }
    return file_name_to_gbk(without_trailing_slashes(base) + "/" + std::string(kProgramFolder));
}

Text installed_program_folder() {
    const Text& override_folder = installed_folder_override();
    return override_folder.empty() ? file_name_to_gbk(WAVLON_INSTALL_BINDIR) : override_folder;
}

void set_installed_program_folder_for_tests(Text folder) {
    installed_folder_override() = std::move(folder);
}

Text config_file_to_read(std::string_view name) {
    if (runs_installed()) {
        return in_user_folder(user_config_folder(), name);
    }
    const Text beside = beside_program(name);
    if (can_write_file(beside)) {
        return beside;
    }
    const Text user = in_user_folder(user_config_folder(), name);
    return !user.empty() && file_present(user) ? user : beside;
}

Text config_file_to_write(std::string_view name) {
    if (runs_installed()) {
        // A folder that cannot be made leaves the write to fail on the missing folder.
        const Text folder = user_config_folder();
        if (!folder.empty()) {
            make_folders(gbk_to_file_name(folder));
        }
        return in_user_folder(folder, name);
    }
    const Text beside = beside_program(name);
    if (can_write_file(beside)) {
        return beside;
    }
    const Text folder = user_config_folder();
    if (folder.empty()) {
        return beside;
    }
    const Text user = in_user_folder(folder, name);
    // A folder that cannot be made leaves the write to fail on the missing folder.
    if (make_folders(gbk_to_file_name(folder)) && !file_present(user) && file_present(beside)) {
        std::string content;
        if (read_file(beside, content)) {
            std::string_view part = content;
            write_file_parts(user, {&part, 1});
        }
    }
    return user;
}

}  // namespace wavlon::runtime
